// Tells, from one read of a profile's bytes, which keys the file cannot hold, so that Load
// asks the profile functions only about keys that may be there. A profile has a handful of
// the format's hundred keys, and every lookup opens and parses the file afresh.
#pragma once

#include <string>
#include <string_view>

namespace mirevane {

class ProfileKeyScreen {
public:
    // Reads the file once. A file that cannot be read, or one too large or not of single
    // bytes to screen, screens nothing.
    explicit ProfileKeyScreen(const std::string& path);

    // False only when no lookup of this key name can find it in the file: the name, without
    // its surrounding blanks, occurs nowhere in the bytes, letter case aside. A byte beyond
    // ASCII counts as any character, since the profile functions compare names in the
    // ANSI code page.
    bool MayHold(std::string_view key) const;

private:
    std::string content_; // ASCII letters lowered
    bool screens_ = false;
    bool asciiOnly_ = true;
};

} // namespace mirevane
