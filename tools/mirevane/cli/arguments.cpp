#include "cli/arguments.h"

#include "common/diagnostic_line.h"
#include "common/diagnostics.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h> // needs windows.h first
#endif

namespace mirevane::tool {
namespace {

#ifdef _WIN32
constexpr const char* kOutOfReach = "a cab there is out of the host's reach, whose plug-in "
                                    "finds its files through the ANSI file functions";

// The text in the code page, or false when the code page lacks one of its letters.
bool Spelt(UINT codePage, const std::wstring& text, std::string& spelt) {
    BOOL lacking = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr,
                                         0, nullptr, &lacking);
    if (size <= 0 || lacking) {
        return false;
    }
    spelt.assign(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, spelt.data(), size,
                        nullptr, nullptr);
    spelt.pop_back(); // the terminating zero
    return true;
}

// The path's short (8.3) form, or "" when it has none: for a file not written yet, its
// folder's short form and its own name.
std::wstring ShortForm(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD size = GetShortPathNameW(path.c_str(), buffer, MAX_PATH * 4);
    if (size > 0 && size < MAX_PATH * 4) {
        return buffer;
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0) {
        return L"";
    }
    const std::wstring folder = ShortForm(path.substr(0, slash));
    return folder.empty() ? L"" : folder + path.substr(slash);
}

void Warn(const std::string& file, const std::string& why, std::vector<std::string>& warnings) {
    const DiagnosticKind& kind = DiagnosticOf("path-code-page");
    warnings.push_back(DiagnosticLine({file, 0, 0, kind.severity, why, kind.code}));
}

// Whether the argument names a file or folder, or the library of a main profile that exists
// (the host's path to the plug-in names a library that need not be there).
bool Names(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const std::size_t dot = path.find_last_of(L'.');
    return dot != std::wstring::npos && _wcsicmp(path.c_str() + dot, L".dll") == 0 &&
           GetFileAttributesW((path.substr(0, dot) + L".ini").c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One argument the code page cannot spell: its short form when that spells, else argv's.
std::string Respelt(UINT codePage, const std::wstring& wide, const std::string& given,
                    std::vector<std::string>& warnings) {
    // An option may carry its value: --out=PATH.
    const std::size_t equals = wide.rfind(L"--", 0) == 0 ? wide.find(L'=') : std::wstring::npos;
    const std::wstring head = equals == std::wstring::npos ? L"" : wide.substr(0, equals + 1);
    const std::wstring path = wide.substr(head.size());
    const std::string page = std::to_string(codePage);
    std::string headText;
    std::string spelt;
    Spelt(codePage, head, headText);
    if (Spelt(codePage, ShortForm(path), spelt) && !spelt.empty()) {
        Warn(spelt,
             "the system's code page " + page +
                 " cannot spell this path, taken here by its short name: " + kOutOfReach,
             warnings);
        return headText + spelt;
    }
    Warn(given,
         "the system's code page " + page +
             " cannot spell this path, and it has no short name: neither this tool nor "
             "the host can open it",
         warnings);
    return given;
}
#endif

} // namespace

CommandLine ReadCommandLine(int argc, char** argv) {
    CommandLine line;
    line.arguments.assign(argv, argv + argc);
#ifdef _WIN32
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return line;
    }
    const UINT codePage = GetACP();
    std::string spelt;
    for (int i = 1; i < argc && i < count; ++i) {
        std::string& argument = line.arguments[static_cast<std::size_t>(i)];
        if (!Spelt(codePage, wide[i], spelt)) {
            argument = Respelt(codePage, wide[i], argument, line.warnings);
            continue;
        }
        // Spelt, but relative to a folder that is not: the host would not find it either.
        wchar_t full[MAX_PATH * 4];
        const DWORD size = GetFullPathNameW(wide[i], MAX_PATH * 4, full, nullptr);
        if (size == 0 || size >= MAX_PATH * 4 || Spelt(codePage, full, spelt)) {
            continue;
        }
        if (Names(wide[i])) {
            Warn(argument,
                 "the system's code page " + std::to_string(codePage) +
                     " cannot spell the folder this path is in: " + kOutOfReach,
                 line.warnings);
        }
    }
    LocalFree(wide);
#endif
    return line;
}

} // namespace mirevane::tool
