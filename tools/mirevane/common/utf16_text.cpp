#include "common/utf16_text.h"

#include "platform/platform.h"

#include <algorithm>
#include <fstream>

namespace mirevane::tool {

bool LooksLikeUtf16(const std::string& text) {
    if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
        return true;
    }
    const auto nuls = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\0'));
    return text.size() >= 2 && nuls * 3 >= text.size();
}

bool FileLooksLikeUtf16(const std::string& path) {
    std::ifstream in(platform::FilePath(path), std::ios::binary);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return LooksLikeUtf16(head);
}

} // namespace mirevane::tool
