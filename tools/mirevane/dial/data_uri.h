// A picture inside a page: its bytes as a data: URI, which the page's content policy admits
// where it forbids every fetch.
#pragma once

#include <string>

namespace mirevane::tool {

// "data:image/png;base64,..." for mediaType "image/png".
std::string DataUri(const std::string& mediaType, const std::string& bytes);

} // namespace mirevane::tool
