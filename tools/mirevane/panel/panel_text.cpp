#include "panel/panel_text.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace mirevane::tool {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

bool IsUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        uint32_t code = 0;
        uint32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i < static_cast<std::size_t>(length)) {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

#ifdef _WIN32

std::string Utf8FromCodePage932(const std::string& bytes) {
    if (bytes.empty()) {
        return {};
    }
    // Without MB_ERR_INVALID_CHARS an undefined sequence becomes the default character
    // instead of failing the whole text.
    const int size = static_cast<int>(bytes.size());
    const int wideLength = MultiByteToWideChar(932, 0, bytes.data(), size, nullptr, 0);
    if (wideLength <= 0) {
        return kReplacement;
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(932, 0, bytes.data(), size, wide.data(), wideLength);
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, text.data(), length, nullptr, nullptr);
    return text;
}

#else

std::string Utf8FromCodePage932(const std::string& bytes) {
    const iconv_t convert = iconv_open("UTF-8", "CP932");
    if (convert == reinterpret_cast<iconv_t>(-1)) {
        // A C library without the code page: the ASCII bytes still read.
        std::string text;
        for (const char c : bytes) {
            text += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : kReplacement;
        }
        return text;
    }
    std::string text;
    std::string in = bytes;
    char* from = in.data();
    std::size_t left = in.size();
    char buffer[4096];
    while (left > 0) {
        char* to = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t result = iconv(convert, &from, &left, &to, &room);
        text.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An undefined or cut-short sequence: one byte becomes U+FFFD and the rest reads.
            text += kReplacement;
            ++from;
            --left;
            iconv(convert, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(convert);
    return text;
}

#endif

} // namespace mirevane::tool
