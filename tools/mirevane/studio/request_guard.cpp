#include "studio/request_guard.h"

#include "common/random_hex.h"
#include "config/text.h"

namespace mirevane::tool {
namespace {

// Compares without stopping at the first difference, so the time taken tells nothing of how
// much of a guessed token was right.
bool SameToken(const std::string& given, const std::string& token) {
    unsigned char difference = given.size() == token.size() ? 0 : 1;
    for (std::size_t i = 0; i < token.size(); ++i) {
        difference |= static_cast<unsigned char>(token[i] ^ (i < given.size() ? given[i] : 0));
    }
    return difference == 0 && !token.empty();
}

bool IsLoopbackAuthority(const std::string& text, int port) {
    const std::string p = ":" + std::to_string(port);
    return SameName(text, "127.0.0.1" + p) || SameName(text, "localhost" + p);
}

} // namespace

Verdict Admit(const RequestFacts& request, const std::string& token, int port) {
    if (!IsLoopbackAuthority(request.host, port)) {
        return {403, "Host '" + request.host + "' is not this studio's address"};
    }
    const bool changes = request.method != "GET" && request.method != "HEAD";
    if ((changes || request.hasOrigin) &&
        !(request.hasOrigin && request.origin.compare(0, 7, "http://") == 0 &&
          IsLoopbackAuthority(request.origin.substr(7), port))) {
        return {403, "a request from another page (Origin '" + request.origin + "') is refused"};
    }
    if (!SameToken(request.token, token)) {
        return {403, "the studio's token is missing or wrong: open the address the studio "
                     "printed"};
    }
    return {};
}

std::string NewToken() {
    return RandomHex(8);
}

} // namespace mirevane::tool
