// A cab folder laid out from fuzz bytes, for the targets that load a whole configuration. The
// input is split at lines "%%" into the main profile and table, two further gauge files with
// their tables (a.ini, a.csv, b.ini, b.csv) and the fallback profile ./Ats.ini; a part that is
// absent leaves its file absent. Parts after these are the target's own.
#pragma once

#include "fuzz_check.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirevane::fuzz {

class FuzzCab {
public:
    static constexpr std::size_t kFirstOwnPart = 7;

    FuzzCab() {
        // No stray ./Ats.ini: the working directory is a folder of this target's own.
        std::filesystem::current_path(work_.path());
    }

    // Writes the files of this input over those of the last; returns all its parts.
    std::vector<std::string_view> Lay(const uint8_t* data, std::size_t size) const {
        static const char* const kFiles[] = {"Mirevane.ini", "Mirevane.csv", "a.ini",
                                             "a.csv",        "b.ini",        "b.csv"};
        const std::vector<std::string_view> parts =
            SplitInput(std::string_view(reinterpret_cast<const char*>(data), size), "\n%%\n");
        std::error_code ignored;
        for (std::size_t i = 0; i < std::size(kFiles); ++i) {
            std::filesystem::remove(library_.path() / kFiles[i], ignored);
            if (i < parts.size()) {
                library_.Write(kFiles[i], std::string(parts[i]));
            }
        }
        std::filesystem::remove(work_.path() / "Ats.ini", ignored);
        if (std::size(kFiles) < parts.size()) {
            work_.Write("Ats.ini", std::string(parts[std::size(kFiles)]));
        }
        return parts;
    }

    std::string library() const { return (library_.path() / "Mirevane.dll").string(); }

private:
    test::TempDir library_;
    test::TempDir work_;
};

// How every target that loads a cab starts: the one cab folder of this process (a fuzzer runs
// its inputs one after another), laid out from this input. own: the parts after the cab's
// files, the target's own.
struct LaidCab {
    const FuzzCab& cab;
    std::vector<std::string_view> own;
};

inline LaidCab LayCab(const uint8_t* data, std::size_t size) {
    static const FuzzCab cab;
    const std::vector<std::string_view> parts = cab.Lay(data, size);
    return {cab,
            parts.size() > FuzzCab::kFirstOwnPart
                ? std::vector<std::string_view>(parts.begin() + FuzzCab::kFirstOwnPart, parts.end())
                : std::vector<std::string_view>()};
}

} // namespace mirevane::fuzz
