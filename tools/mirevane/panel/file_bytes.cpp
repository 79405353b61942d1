#include "panel/file_bytes.h"

#include <fstream>
#include <iterator>

namespace mirevane::tool {

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace mirevane::tool
