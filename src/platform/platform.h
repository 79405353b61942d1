// The seam to the operating system. The win32 build implements it with the Windows API, the
// portable build with the standard library; nothing else in the core knows the OS.
#pragma once

#include <cstdint>
#include <string>

namespace mirevane::platform {

// Profile lookups with the Windows profile functions' rules: names matched without regard
// to letter case and surrounding blanks, first section and first key win.
// The integer as GetPrivateProfileIntA gives it (unsigned; the caller takes it as signed).
uint32_t ProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t defaultValue);
// The text as GetPrivateProfileStringA gives it into a 256-character buffer: at most 255
// characters; the default when the file, section or key is absent.
std::string ProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& defaultText);

// The path as this system's file functions take it. Profiles name gauge files the Windows
// way (Gauge0 = gauges\brake): the Windows build passes a path as it is, the portable build
// reads a backslash as the separator, so both open the same file.
std::string FilePath(const std::string& path);

// Whether any file-system entry, a directory included, stands at exactly this path.
bool PathExists(const std::string& path);

// Whether this byte starts a double-byte character of the ANSI code page (never, portably).
bool IsLeadByte(unsigned char byte) noexcept;

// Puts the zero-terminated text on the clipboard as CF_TEXT. False when the memory block
// could not be allocated or locked.
bool CopyTextToClipboard(const char* text);
// The CF_TEXT now on the clipboard; empty when there is none or the clipboard cannot be
// opened. Lets tests and the companion tool see what a copy left there.
std::string ClipboardText();

} // namespace mirevane::platform
