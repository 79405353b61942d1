#include "panel/panel_picture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace mirevane::tool {
namespace {

// The most one allocation of the decoder may take: the rows of a picture of the most pixels
// (64 million) at 16 bits a channel, with a filter byte each. Beyond it the decoder is told
// there is no memory: a PNG of a few bytes can claim chunks of gigabytes, which the decoder
// would reserve before finding that the file holds nothing of them.
constexpr std::size_t kMostDecoderBytes = (std::size_t{64} << 20) * 8 + (std::size_t{16} << 20);

void* BoundedAllocation(std::size_t size) {
    return size <= kMostDecoderBytes ? std::malloc(size) : nullptr;
}

void* BoundedReallocation(void* memory, std::size_t size) {
    return size <= kMostDecoderBytes ? std::realloc(memory, size) : nullptr;
}

} // namespace
} // namespace mirevane::tool

// stb_image decodes from memory only, and only the formats a cab's pictures come in; its
// messages are the readable ones. Its code is compiled here and nowhere else.
#define STBI_NO_STDIO
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_ONLY_JPEG
#define STBI_FAILURE_USERMSG
#define STBI_MALLOC(size) mirevane::tool::BoundedAllocation(size)
#define STBI_REALLOC(memory, size) mirevane::tool::BoundedReallocation(memory, size)
#define STBI_FREE(memory) std::free(memory)
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace mirevane::tool {
namespace {

constexpr int kLongestSide = 16384;
constexpr long long kMostPixels = 64LL * 1024 * 1024;

const stbi_uc* Data(const std::string& bytes) {
    return reinterpret_cast<const stbi_uc*>(bytes.data());
}

// The stb_image of Debian 12 (2.27) builds a JPEG Huffman table without checking that its 16
// code counts add up to at most 256, and writes past the table's arrays when they do not
// (found by fuzzing; later stb versions refuse such a table). Every table the decoder reads
// follows a DHT marker, bytes FF C4 however it reaches them: each such place in a JPEG is read
// as a table here and the picture refused when one would overflow. A file that is no JPEG
// does not start with FF and never reaches that code.
bool HasOversizedHuffmanTable(const std::string& bytes) {
    if (bytes.empty() || static_cast<unsigned char>(bytes[0]) != 0xFF) {
        return false;
    }
    // As the decoder reads past the end: zeros.
    const auto byte = [&](std::size_t at) -> int {
        return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0;
    };
    for (std::size_t marker = bytes.find("\xFF\xC4"); marker != std::string::npos;
         marker = bytes.find("\xFF\xC4", marker + 1)) {
        std::size_t at = marker + 2;
        long left = (byte(at) << 8 | byte(at + 1)) - 2;
        at += 2;
        while (left > 0 && at < bytes.size()) {
            const int kind = byte(at++);
            if (kind >> 4 > 1 || (kind & 15) > 3) {
                break; // the decoder refuses this table before building it
            }
            long codes = 0;
            for (int i = 0; i < 16; ++i) {
                codes += byte(at++);
            }
            if (codes > 256) {
                return true;
            }
            at += static_cast<std::size_t>(codes);
            left -= 17 + codes;
        }
    }
    return false;
}

// The size from the picture's header, refused when too large to decode: a few bytes can
// claim a picture of gigabytes.
std::pair<int, int> CheckedSize(const std::string& bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        throw std::runtime_error("the file is too large for a picture");
    }
    if (HasOversizedHuffmanTable(bytes)) {
        throw std::runtime_error("Corrupt JPEG: a Huffman table of more than 256 codes");
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(Data(bytes), static_cast<int>(bytes.size()), &width, &height,
                               &channels)) {
        // The size reader tries every format and says only that none fits; the decoder reads
        // the same header of the format the bytes claim and stops there, before any pixel,
        // with its reason ("BMP type not supported: RLE").
        stbi_image_free(stbi_load_from_memory(Data(bytes), static_cast<int>(bytes.size()), &width,
                                              &height, &channels, 4));
        throw std::runtime_error(stbi_failure_reason());
    }
    // A bitmap stored top row first gives its height negative.
    width = std::abs(width);
    height = std::abs(height);
    if (width == 0 || height == 0) {
        throw std::runtime_error("the picture is " + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels: it has none to draw");
    }
    if (width > kLongestSide || height > kLongestSide ||
        static_cast<long long>(width) * height > kMostPixels) {
        throw std::runtime_error("the picture is " + std::to_string(width) + " x " +
                                 std::to_string(height) +
                                 " pixels: over 16384 a side or 64 million pixels is not decoded");
    }
    return {width, height};
}

void AppendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
}

} // namespace

std::pair<int, int> PictureSize(const std::string& bytes) {
    return CheckedSize(bytes);
}

Picture DecodePicture(const std::string& bytes) {
    CheckedSize(bytes);
    int width = 0;
    int height = 0;
    int channels = 0;
    // A GIF decodes to its first frame, as a still picture shows it.
    const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(Data(bytes), static_cast<int>(bytes.size()), &width, &height,
                              &channels, 4),
        stbi_image_free);
    if (!pixels) {
        throw std::runtime_error(stbi_failure_reason());
    }
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(pixels.get(), pixels.get() + static_cast<std::size_t>(width) * height * 4);
    return picture;
}

void CutTransparentColour(Picture& picture, PanelColour colour) {
    for (std::size_t i = 0; i + 3 < picture.rgba.size(); i += 4) {
        if (picture.rgba[i] == colour.red && picture.rgba[i + 1] == colour.green &&
            picture.rgba[i + 2] == colour.blue) {
            picture.rgba[i + 3] = 0;
        }
    }
}

void Tint(Picture& picture, PanelColour tint) {
    const uint8_t factors[3] = {tint.red, tint.green, tint.blue};
    for (std::size_t i = 0; i + 3 < picture.rgba.size(); i += 4) {
        for (std::size_t k = 0; k < 3; ++k) {
            picture.rgba[i + k] =
                static_cast<uint8_t>((picture.rgba[i + k] * factors[k] + 127) / 255);
        }
    }
}

std::string EncodePng(const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.rgba.size() != static_cast<std::size_t>(picture.width) * picture.height * 4) {
        throw std::invalid_argument("no picture to encode");
    }
    std::string png;
    if (!stbi_write_png_to_func(AppendBytes, &png, picture.width, picture.height, 4,
                                picture.rgba.data(), picture.width * 4)) {
        throw std::runtime_error("the picture could not be encoded as PNG");
    }
    return png;
}

double OpaqueReach(const Picture& picture, PanelPoint pivot, double scale) {
    // Within a row the farthest opaque pixel is its first or its last, and the farthest point
    // of a pixel is one of its corners.
    double farthest = 0.0;
    const auto reach = [&](int x, int y) {
        const double dx = std::max(std::fabs(x - pivot.x), std::fabs(x + 1 - pivot.x));
        const double dy = std::max(std::fabs(y - pivot.y), std::fabs(y + 1 - pivot.y));
        farthest = std::max(farthest, std::hypot(dx, dy));
    };
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.rgba.data() + static_cast<std::size_t>(y) * picture.width * 4;
        int first = -1;
        int last = -1;
        for (int x = 0; x < picture.width; ++x) {
            if (row[x * 4 + 3] > 0) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (first >= 0) {
            reach(first, y);
            reach(last, y);
        }
    }
    return farthest * std::fabs(scale);
}

} // namespace mirevane::tool
