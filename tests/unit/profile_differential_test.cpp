// The portable profile reader against the Windows profile functions, on a corpus of awkward
// profiles (tests/data/profiles). The Windows build asks both readers every lookup of
// lookups.txt and compares them; it also records the Windows answers in expected.txt
// (MIREVANE_RECORD_PROFILE_ANSWERS=1), which the native build, having no Windows functions,
// checks the portable reader against.
#include "config/profile_key_screen.h"
#include "platform/platform.h"
#include "platform/portable/profile_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace mirevane {
namespace {

const std::filesystem::path kCorpus = std::filesystem::path(MIREVANE_TEST_DATA) / "profiles";

struct Lookup {
    std::string file;
    std::string section;
    std::string key;
    std::string textDefault;
    int32_t intDefault = 0;
};

struct Answer {
    std::string text;
    int32_t integer = 0;
};

bool operator==(const Answer& a, const Answer& b) {
    return a.text == b.text && a.integer == b.integer;
}

// Fields are separated by '|'; "\\", "\|" and "\xHH" spell a backslash, a bar and any byte.
std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '|') {
            fields.emplace_back();
        } else if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'x') {
            fields.back() += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (line[i] == '\\' && i + 1 < line.size()) {
            fields.back() += line[++i];
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

std::string Escape(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '|') {
            escaped += '\\';
            escaped += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            escaped += hex;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string Describe(const Lookup& lookup) {
    return Escape(lookup.file) + "|" + Escape(lookup.section) + "|" + Escape(lookup.key) + "|" +
           Escape(lookup.textDefault) + "|" + std::to_string(lookup.intDefault);
}

// The meaningful lines of a corpus list, split into fields; '#' starts a note line.
std::vector<std::vector<std::string>> ReadTable(const std::string& name, std::size_t width) {
    std::ifstream in(kCorpus / name, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << (kCorpus / name).string();
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        rows.push_back(SplitFields(line));
        EXPECT_EQ(rows.back().size(), width) << name << ": " << line;
        rows.back().resize(width);
    }
    return rows;
}

Lookup ToLookup(const std::vector<std::string>& row) {
    return {row[0], row[1], row[2], row[3], static_cast<int32_t>(std::stol(row[4]))};
}

std::vector<Lookup> ReadLookups() {
    std::vector<Lookup> lookups;
    for (const auto& row : ReadTable("lookups.txt", 5)) {
        lookups.push_back(ToLookup(row));
    }
    return lookups;
}

struct Recorded {
    Lookup lookup;
    Answer answer;
};

std::vector<Recorded> ReadExpected() {
    std::vector<Recorded> expected;
    for (const auto& row : ReadTable("expected.txt", 7)) {
        expected.push_back({ToLookup(row), {row[5], static_cast<int32_t>(std::stol(row[6]))}});
    }
    return expected;
}

// A full path: under Wine a relative one would be looked up in the Windows directory.
std::string CorpusPath(const std::string& file) {
    return std::filesystem::absolute(kCorpus / file).string();
}

using IntReader = uint32_t (*)(const std::string&, const std::string&, const std::string&, int32_t);
using TextReader = std::string (*)(const std::string&, const std::string&, const std::string&,
                                   const std::string&);

Answer Ask(const Lookup& lookup, IntReader readInt, TextReader readText) {
    const std::string path = CorpusPath(lookup.file);
    return {readText(path, lookup.section, lookup.key, lookup.textDefault),
            static_cast<int32_t>(readInt(path, lookup.section, lookup.key, lookup.intDefault))};
}

Answer AskPortable(const Lookup& lookup) {
    return Ask(lookup, portable::ProfileInt, portable::ProfileText);
}

::testing::AssertionResult SameAnswer(const Lookup& lookup, const Answer& expected,
                                      const Answer& actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << Describe(lookup) << "\n  expected text \"" << Escape(expected.text) << "\", int "
           << expected.integer << "\n  portable text \"" << Escape(actual.text) << "\", int "
           << actual.integer;
}

TEST(ProfileCorpus, EveryProfileIsLookedUp) {
    std::set<std::string> lookedUp;
    for (const Lookup& lookup : ReadLookups()) {
        lookedUp.insert(lookup.file);
    }
    std::size_t profiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
        if (entry.path().extension() == ".ini") {
            ++profiles;
            EXPECT_EQ(lookedUp.count(entry.path().filename().string()), 1u)
                << entry.path().filename().string() << " has no lookup in lookups.txt";
        }
    }
    EXPECT_GE(profiles, 30u);
}

TEST(ProfileCorpus, RecordedAnswersCoverEveryLookupInOrder) {
    const std::vector<Lookup> lookups = ReadLookups();
    const std::vector<Recorded> expected = ReadExpected();
    ASSERT_EQ(expected.size(), lookups.size())
        << "expected.txt is stale: record it again from the Windows build";
    for (std::size_t i = 0; i < lookups.size(); ++i) {
        EXPECT_EQ(Describe(expected[i].lookup), Describe(lookups[i])) << "line " << i + 1;
    }
}

TEST(ProfileDifferential, PortableReaderGivesTheRecordedWindowsAnswers) {
    for (const Recorded& recorded : ReadExpected()) {
        EXPECT_TRUE(SameAnswer(recorded.lookup, recorded.answer, AskPortable(recorded.lookup)));
    }
}

// Load skips the lookups of keys the screen rules out: each must give what a lookup of the
// same key in a file without it gives, on every awkward profile.
TEST(ProfileDifferential, ScreenedOutKeysGiveTheAnswerOfAnAbsentKey) {
    std::size_t screenedOut = 0;
    for (const Recorded& recorded : ReadExpected()) {
        const ProfileKeyScreen screen(CorpusPath(recorded.lookup.file));
        if (screen.MayHold(recorded.lookup.key)) {
            continue;
        }
        ++screenedOut;
        Lookup absentKey = recorded.lookup;
        absentKey.file = "empty_file.ini";
        EXPECT_EQ(recorded.answer.integer, recorded.lookup.intDefault) << Describe(recorded.lookup);
        EXPECT_TRUE(SameAnswer(recorded.lookup, recorded.answer, AskPortable(absentKey)));
    }
    EXPECT_GE(screenedOut, 20u) << "the corpus hardly exercises the screen";
}

#ifdef _WIN32

Answer AskWindows(const Lookup& lookup) {
    return Ask(lookup, platform::ProfileInt, platform::ProfileText);
}

// The corpus holds bytes beyond ASCII, which the Windows functions read through the ANSI
// code page; the answers are those of a single-byte one, Wine's default.
bool SingleByteCodePage() {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (platform::IsLeadByte(static_cast<unsigned char>(byte))) {
            return false;
        }
    }
    return true;
}

TEST(ProfileDifferential, PortableReaderAgreesWithTheWindowsFunctions) {
    if (!SingleByteCodePage()) {
        GTEST_SKIP() << "the ANSI code page is a double-byte one; run with a Western locale";
    }
    for (const Lookup& lookup : ReadLookups()) {
        EXPECT_TRUE(SameAnswer(lookup, AskWindows(lookup), AskPortable(lookup)));
    }
}

// Keeps expected.txt honest: it holds what the Windows functions answer, nothing typed in.
TEST(ProfileDifferential, WindowsFunctionsGiveTheRecordedAnswers) {
    if (!SingleByteCodePage()) {
        GTEST_SKIP() << "the ANSI code page is a double-byte one; run with a Western locale";
    }
    const std::vector<Lookup> lookups = ReadLookups();
    const char* record = std::getenv("MIREVANE_RECORD_PROFILE_ANSWERS");
    if (record != nullptr && std::string(record) == "1") {
        std::ofstream out(kCorpus / "expected.txt", std::ios::binary);
        out << "# Recorded from the Windows profile functions by profile_differential_test\n"
               "# (MIREVANE_RECORD_PROFILE_ANSWERS=1): lookup of lookups.txt|text|int\n";
        for (const Lookup& lookup : lookups) {
            const Answer answer = AskWindows(lookup);
            out << Describe(lookup) << "|" << Escape(answer.text) << "|" << answer.integer << "\n";
        }
        ASSERT_TRUE(out.flush()) << "cannot write expected.txt";
    }
    const std::vector<Recorded> expected = ReadExpected();
    ASSERT_EQ(expected.size(), lookups.size());
    for (std::size_t i = 0; i < lookups.size(); ++i) {
        const Answer windows = AskWindows(lookups[i]);
        EXPECT_EQ(Escape(windows.text), Escape(expected[i].answer.text)) << Describe(lookups[i]);
        EXPECT_EQ(windows.integer, expected[i].answer.integer) << Describe(lookups[i]);
    }
}

#endif

} // namespace
} // namespace mirevane
