#include "studio/api.h"

#include "common/tool_error.h"
#include "studio/request_guard.h"
#include "studio/session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>

namespace mirevane::tool {
namespace {

using nlohmann::json;

// A request that cannot be taken: the status and why.
struct BadRequest {
    int status;
    std::string message;
};

const json& Field(const json& body, const char* name) {
    if (!body.is_object() || !body.contains(name)) {
        throw BadRequest{400, std::string("the request has no field '") + name + "'"};
    }
    return body.at(name);
}

int Integer(const json& body, const char* name) {
    const json& v = Field(body, name);
    if (!v.is_number_integer() || v.get<int64_t>() < -1000000 || v.get<int64_t>() > 1000000) {
        throw BadRequest{400, std::string("'") + name + "' is not a whole number"};
    }
    return v.get<int>();
}

double Number(const json& v, const std::string& what) {
    if (!v.is_number() || !std::isfinite(v.get<double>())) {
        throw BadRequest{400, what + " is not a finite number"};
    }
    return v.get<double>();
}

std::string Text(const json& body, const char* name) {
    const json& v = Field(body, name);
    if (!v.is_string()) {
        throw BadRequest{400, std::string("'") + name + "' is not text"};
    }
    return v.get<std::string>();
}

json Edit(Session& session, const json& body) {
    const int gauge = Integer(body, "gauge");
    Workspace& ws = session.workspace();
    if (body.contains("rows")) {
        const json& rows = body.at("rows");
        if (rows.is_null()) {
            ws.SetTable(gauge, std::nullopt);
        } else if (!rows.is_array() || rows.size() > 10000) {
            throw BadRequest{400, "'rows' is not a list of at most 10000 [value, angle] pairs"};
        } else {
            std::vector<TableRow> table;
            for (const json& row : rows) {
                if (!row.is_array() || row.size() != 2) {
                    throw BadRequest{400, "a table row is [value, angle]"};
                }
                table.push_back({Number(row[0], "a row's value"), Number(row[1], "a row's angle")});
            }
            ws.SetTable(gauge, table);
        }
    } else {
        const std::string section = Text(body, "section");
        const std::string key = Text(body, "key");
        const json& value = Field(body, "value");
        if (!value.is_null() && !value.is_string()) {
            throw BadRequest{400, "'value' is the text of the profile line, or null"};
        }
        ws.SetSetting(gauge, section, key,
                      value.is_null() ? std::nullopt
                                      : std::optional<std::string>(value.get<std::string>()));
    }
    return session.View(false);
}

json Save(Session& session, const json& body) {
    bool replace = false;
    if (body.is_object() && body.contains("replaceBackups")) {
        if (!body.at("replaceBackups").is_boolean()) {
            throw BadRequest{400, "'replaceBackups' is true or false"};
        }
        replace = body.at("replaceBackups").get<bool>();
    }
    const SaveOutcome outcome = session.workspace().Save(replace);
    return {{"saved", outcome.saved},
            {"written", outcome.written},
            {"conflicts", outcome.conflicts},
            {"backupsInTheWay", outcome.backupsInTheWay},
            {"view", session.View(false)}};
}

json Angle(Session& session, const json& body) {
    const int gauge = Integer(body, "gauge");
    const double x = Number(Field(body, "x"), "'x'");
    const double y = Number(Field(body, "y"), "'y'");
    const double near = Number(Field(body, "near"), "'near'");
    return {{"angle", session.TableAngleAt(gauge, x, y, near)}};
}

// Text from the cab's files need not be UTF-8: such bytes are shown as U+FFFD.
std::string Dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

Point PointOf(const json& v, const std::string& what) {
    if (!v.is_array() || v.size() != 2) {
        throw BadRequest{400, what + " is [x, y]"};
    }
    return {Number(v[0], what + "'s x"), Number(v[1], what + "'s y")};
}

bool Flag(const json& body, const char* name) {
    if (!body.contains(name)) {
        return false;
    }
    if (!body.at(name).is_boolean()) {
        throw BadRequest{400, std::string("'") + name + "' is true or false"};
    }
    return body.at(name).get<bool>();
}

json Calibrate(Session& session, const json& body) {
    const int gauge = Integer(body, "gauge");
    // On the panel's picture the gauge's needle gives the hub.
    const bool onPanel = Flag(body, "panel");
    const Point hub = onPanel ? Point{} : PointOf(Field(body, "hub"), "'hub'");
    std::vector<DialMark> marks;
    std::vector<Point> rim;
    const json& markList = Field(body, "marks");
    const json& rimList = Field(body, "rim");
    if (!markList.is_array() || !rimList.is_array() || markList.size() + rimList.size() > 1000) {
        throw BadRequest{400, "'marks' and 'rim' are lists of at most 1000 points together"};
    }
    for (const json& m : markList) {
        if (!m.is_array() || m.size() != 3) {
            throw BadRequest{400, "a mark is [value, x, y]"};
        }
        marks.push_back({Number(m[0], "a mark's value"),
                         {Number(m[1], "a mark's x"), Number(m[2], "a mark's y")}});
    }
    for (const json& p : rimList) {
        rim.push_back(PointOf(p, "a rim point"));
    }
    CalibrationRequest request{hub, std::move(marks), std::move(rim), Flag(body, "replace"),
                               std::nullopt};
    if (body.contains("turns") && !body.at("turns").is_null()) {
        request.turns = Number(body.at("turns"), "'turns'");
    }
    return session.Calibrate(gauge, std::move(request), onPanel);
}

// The value of `key` in a query string (key=value&...), its %XX and + decoded; nothing when
// absent. A broken escape is refused rather than read some other way.
std::optional<std::string> QueryValue(const std::string& query, const std::string& key) {
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        start = end + 1;
        if (pair.compare(0, key.size() + 1, key + "=") != 0) {
            continue;
        }
        std::string value;
        for (std::size_t i = key.size() + 1; i < pair.size(); ++i) {
            if (pair[i] == '+') {
                value += ' ';
            } else if (pair[i] != '%') {
                value += pair[i];
            } else {
                const auto digit = [&](std::size_t k) {
                    const char c = k < pair.size() ? pair[k] : '\0';
                    const char* at =
                        c == '\0' ? nullptr : std::strchr("0123456789abcdef", std::tolower(c));
                    return at == nullptr ? -1 : static_cast<int>(at - "0123456789abcdef");
                };
                const int high = digit(i + 1);
                const int low = digit(i + 2);
                if (high < 0 || low < 0) {
                    throw BadRequest{400, "the query has a broken %-escape"};
                }
                value += static_cast<char>(high * 16 + low);
                i += 2;
            }
        }
        return value;
    }
    return std::nullopt;
}

ApiReply PictureReply(Session& session, const std::string& query) {
    const std::optional<std::string> name = QueryValue(query, "name");
    if (!name) {
        throw BadRequest{400, "the request has no name=: the picture as the panel file names it"};
    }
    ServedPicture picture = session.ServePicture(*name);
    if (picture.status != 200) {
        throw BadRequest{picture.status, picture.message};
    }
    return {200, std::move(picture.png), "image/png"};
}

// The picture goes into an attribute of the dial's SVG as it is, so it must be exactly a
// base64 data: URI of a PNG or JPEG picture: nothing else can close the attribute or smuggle
// markup, and the first bytes show it is the picture it claims to be.
constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string PictureUri(const json& body) {
    const std::string uri = Text(body, "picture");
    static const std::pair<std::string, std::string> kKinds[] = {
        {"data:image/png;base64,", "\x89PNG\r\n\x1a\n"},
        {"data:image/jpeg;base64,", "\xff\xd8\xff"}};
    for (const auto& [prefix, signature] : kKinds) {
        if (uri.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string digits = uri.substr(prefix.size());
        const auto value = [](char c) -> int {
            const char* at = std::strchr(kBase64Digits, c);
            return c != '\0' && at != nullptr ? static_cast<int>(at - kBase64Digits) : -1;
        };
        const std::size_t padding = digits.size() - digits.find_last_not_of('=') - 1;
        bool valid = !digits.empty() && digits.size() % 4 == 0 && padding <= 2;
        for (std::size_t i = 0; valid && i < digits.size() - padding; ++i) {
            valid = value(digits[i]) >= 0;
        }
        std::string head;
        for (std::size_t i = 0; valid && i + 4 <= digits.size() && head.size() < 12; i += 4) {
            if (digits[i + 2] == '=' || digits[i + 3] == '=') {
                break; // the padded last group: the signatures lie before it
            }
            const auto group =
                static_cast<uint32_t>(value(digits[i]) << 18 | value(digits[i + 1]) << 12 |
                                      value(digits[i + 2]) << 6 | value(digits[i + 3]));
            head += static_cast<char>(group >> 16 & 0xff);
            head += static_cast<char>(group >> 8 & 0xff);
            head += static_cast<char>(group & 0xff);
        }
        if (!valid || head.compare(0, signature.size(), signature) != 0) {
            throw BadRequest{400, "'picture' is not a PNG or JPEG picture in base64"};
        }
        return uri;
    }
    throw BadRequest{400, "'picture' is a data: URI of image/png or image/jpeg in base64"};
}

double Positive(const json& body, const char* name) {
    const double v = Number(Field(body, name), std::string("'") + name + "'");
    if (!(v > 0) || v > 1e6) {
        throw BadRequest{400, std::string("'") + name + "' is above 0 and at most 1000000 pixels"};
    }
    return v;
}

json Face(Session& session, const json& body) {
    const int gauge = Integer(body, "gauge");
    DialFace face;
    face.dataUri = PictureUri(body);
    face.width = Positive(body, "width");
    face.height = Positive(body, "height");
    const Point hub = PointOf(Field(body, "hub"), "'hub'");
    if (std::abs(hub.x) > 1e6 || std::abs(hub.y) > 1e6) {
        throw BadRequest{400, "'hub' lies more than 1000000 pixels away"};
    }
    face.hubX = hub.x;
    face.hubY = hub.y;
    face.radius = Positive(body, "radius");
    return session.ShowFace(gauge, std::move(face));
}

// What each refusal of the workspace is to the page: the one place that knows HTTP's words for
// them. A switch, so that a new reason without a status does not compile clean.
int StatusOf(RefusalReason reason) {
    switch (reason) {
    case RefusalReason::kNoSuchGauge:
        return 404;
    case RefusalReason::kNotAKey:
    case RefusalReason::kGaugeListKey:
        return 400;
    case RefusalReason::kOutsideTheCab:
        return 403;
    case RefusalReason::kSaveInProgress:
        return 409;
    case RefusalReason::kBadValue:
    case RefusalReason::kLeadsOutOfTheCab:
    case RefusalReason::kUnreadableByPlugin:
    case RefusalReason::kNotReplaceable:
        return 422;
    case RefusalReason::kPrivateFolderFailed:
        break;
    }
    return 500;
}

ApiReply Reply(int status, const std::string& message) {
    return {status, Dump(json{{"error", message}})};
}

} // namespace

ApiReply HandleApi(Session& session, const std::string& method, const std::string& target,
                   const std::string& body) {
    try {
        if (body.size() > kMostRequestBytes) {
            return Reply(413, "the request is larger than the studio reads");
        }
        const std::size_t question = target.find('?');
        const std::string path = target.substr(0, question);
        const std::string query = question == std::string::npos ? "" : target.substr(question + 1);
        if (path == "/api/view" || path == "/api/picture") {
            if (method != "GET") {
                return Reply(405, "use GET for " + path);
            }
            return path == "/api/view" ? ApiReply{200, Dump(session.View(true))}
                                       : PictureReply(session, query);
        }
        const bool known = path == "/api/edit" || path == "/api/save" || path == "/api/reload" ||
                           path == "/api/angle" || path == "/api/calibrate" || path == "/api/face";
        if (!known) {
            return Reply(404, "no such request: " + path);
        }
        if (method != "POST") {
            return Reply(405, "use POST for " + path);
        }
        const json request = json::parse(body.empty() ? "{}" : body, nullptr, false);
        if (request.is_discarded() || !request.is_object()) {
            return Reply(400, "the body is not a JSON object");
        }
        if (path == "/api/edit") {
            return {200, Dump(Edit(session, request))};
        }
        if (path == "/api/save") {
            const json outcome = Save(session, request);
            return {outcome.at("saved").get<bool>() ? 200 : 409, Dump(outcome)};
        }
        if (path == "/api/reload") {
            session.workspace().Reload();
            return {200, Dump(session.View(false))};
        }
        if (path == "/api/calibrate") {
            return {200, Dump(Calibrate(session, request))};
        }
        if (path == "/api/face") {
            return {200, Dump(Face(session, request))};
        }
        return {200, Dump(Angle(session, request))};
    } catch (const BadRequest& e) {
        return Reply(e.status, e.message);
    } catch (const EditRefused& e) {
        return Reply(StatusOf(e.reason()), e.what());
    } catch (const InputError& e) {
        return Reply(500, e.Line()); // a save that could not write: nothing half-written
    } catch (const json::exception& e) {
        return Reply(400, std::string("the request does not read: ") + e.what());
    } catch (const std::exception& e) {
        return Reply(500, std::string("the studio failed: ") + e.what());
    }
}

} // namespace mirevane::tool
