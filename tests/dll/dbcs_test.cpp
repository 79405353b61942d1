// Paths on a Japanese system (ANSI code page 932). The character 表 is the two bytes 0x95
// 0x5C there, and its trail byte is a backslash: a byte-wise scan would take it for a
// separator and look for the configuration in a folder that does not exist.
//
// Run only by the ctest entry that starts Wine with code page 932; every test first makes
// sure that it really runs on that code page.
#include "loading/library_path.h"
#include "plugin/host_records.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace mirevane::test {
namespace {

// 表 in code page 932, and a half-width katakana, a single byte above 0x7F.
const std::string kHyou = "\x95\x5C";
const std::string kHalfWidthA = "\xB1";

class CodePage932 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8 under Wine";
        ASSERT_TRUE(IsDBCSLeadByte(0x95));
        ASSERT_FALSE(IsDBCSLeadByte(0xB1));
    }
};

struct SplitCase {
    std::string path;
    std::string directory;
    std::string baseName;
};

TEST_F(CodePage932, TheSplitStepsOverTrailBytes) {
    const SplitCase cases[] = {
        // The folder 表: its trail byte is not the last separator anyway.
        {"C:\\" + kHyou + "\\Mirevane.dll", "\\" + kHyou + "\\", "Mirevane"},
        // The library named 表: a byte-wise scan would end the directory inside the name.
        {"C:\\" + kHyou + "\\" + kHyou + ".dll", "\\" + kHyou + "\\", kHyou},
        {"C:\\dir\\" + kHyou + kHyou + ".b.dll", "\\dir\\", kHyou + kHyou + ".b"},
        {"C:\\dir\\" + kHyou, "\\dir\\", kHyou},
        {"C:/dir/" + kHyou + ".dll", "/dir/", kHyou},
        // The dot before 表 stays the last one: a.表 has the extension .表.
        {"C:\\dir\\a." + kHyou, "\\dir\\", "a"},
        // A single-byte character above 0x7F is not a lead byte: the separator after it counts.
        {"C:\\" + kHalfWidthA + "\\g.dll", "\\" + kHalfWidthA + "\\", "g"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.path);
        const LibraryPath parts = LibraryPath::Split(c.path);
        EXPECT_EQ(parts.drive, "C:");
        EXPECT_EQ(parts.directory, c.directory);
        EXPECT_EQ(parts.baseName, c.baseName);
        EXPECT_EQ(parts.MainProfile(), "C:" + c.directory + c.baseName + ".ini");
    }
    // Without a drive and a directory the whole name is the base name.
    EXPECT_EQ(LibraryPath::Split(kHyou + ".dll").baseName, kHyou);
    EXPECT_EQ(LibraryPath::Split(kHyou + ".dll").directory, "");
}

// Writes a file under an ANSI path, byte for byte.
void WriteAnsi(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot create " + path);
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size()) {
        throw std::runtime_error("cannot write " + path);
    }
}

// A copy of the DLL under an ANSI path, loaded the way a host on this code page does.
class AnsiLibrary {
public:
    explicit AnsiLibrary(const std::string& path) {
        if (!CopyFileA(MIREVANE_DLL, path.c_str(), FALSE)) {
            throw std::runtime_error("cannot copy the DLL to " + path);
        }
        module_ = LoadLibraryA(path.c_str());
        if (module_ == nullptr) {
            throw std::runtime_error("LoadLibraryA failed for " + path);
        }
        load_ = reinterpret_cast<Load>(reinterpret_cast<void*>(GetProcAddress(module_, "Load")));
        elapse_ =
            reinterpret_cast<Elapse>(reinterpret_cast<void*>(GetProcAddress(module_, "Elapse")));
        if (load_ == nullptr || elapse_ == nullptr) {
            FreeLibrary(module_);
            throw std::runtime_error("exports not found in " + path);
        }
    }
    ~AnsiLibrary() { FreeLibrary(module_); }
    AnsiLibrary(const AnsiLibrary&) = delete;
    AnsiLibrary& operator=(const AnsiLibrary&) = delete;

    // Load, then one frame at 50 km/h, bc 4 and mr 500; the panel as the frame left it.
    std::array<int32_t, 256> LoadAndRunOneFrame() const {
        load_();
        std::array<int32_t, 256> panel{};
        std::array<int32_t, 256> sound{};
        AtsVehicleState state{};
        state.speed = 50.0f;
        state.bc = 4.0f;
        state.mr = 500.0f;
        elapse_(state, panel.data(), sound.data());
        return panel;
    }

private:
    using Load = void(__stdcall*)();
    using Elapse = AtsHandles(__stdcall*)(AtsVehicleState, int32_t*, int32_t*);
    HMODULE module_ = nullptr;
    Load load_ = nullptr;
    Elapse elapse_ = nullptr;
};

// A folder 表 holding three profiles, each with its table:
//   Mirevane.ini  speed on entry 30, points (0,0) (100,270); names the further file 表
//   表.ini        bc on entry 31, points (0,0) (10,100); names the further file oil
//   oil.ini       mr on entry 32, points (0,0) (1000,100)
class CodePage932Load : public CodePage932 {
protected:
    void SetUp() override {
        CodePage932::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << "error " << GetLastError();
        WriteAnsi(folder_ + "\\Mirevane.ini",
                  "[PanelIndex]\nNeedle=30\n[FileName]\nGauge0=" + kHyou + "\n");
        WriteAnsi(folder_ + "\\Mirevane.csv", "0,0\n100,270\n");
        WriteAnsi(folder_ + "\\" + kHyou + ".ini",
                  "[SubjectKey]\nSubject=bc\n[PanelIndex]\nNeedle=31\n[FileName]\nGauge0=oil\n");
        WriteAnsi(folder_ + "\\" + kHyou + ".csv", "0,0\n10,100\n");
        WriteAnsi(folder_ + "\\oil.ini", "[SubjectKey]\nSubject=mr\n[PanelIndex]\nNeedle=32\n");
        WriteAnsi(folder_ + "\\oil.csv", "0,0\n1000,100\n");
    }

    TempDir temp_;
    // The temporary folder's own path is plain ASCII; only the new folder carries 表.
    const std::string folder_ = temp_.path().string() + "\\" + kHyou;
};

TEST_F(CodePage932Load, ALibraryInAFolderNamedHyouFindsItsProfileAndTables) {
    AnsiLibrary library(folder_ + "\\Mirevane.dll");
    const auto panel = library.LoadAndRunOneFrame();
    EXPECT_EQ(panel[30], 315000); // 50 km/h: 135 degrees, plus 180
    EXPECT_EQ(panel[31], 220000); // bc 4: 40 degrees, plus 180
    EXPECT_EQ(panel[32], 0);      // oil is named only in 表.ini, whose file names are not read
}

TEST_F(CodePage932Load, ALibraryNamedHyouFindsTheFurtherGaugeFilesInItsFolder) {
    // 表.dll reads 表.ini as its main profile, and oil.ini beside it. A scan that took the
    // trail byte of 表 for a separator would end the folder inside the library's name and
    // look for 表oil.ini instead.
    AnsiLibrary library(folder_ + "\\" + kHyou + ".dll");
    const auto panel = library.LoadAndRunOneFrame();
    EXPECT_EQ(panel[30], 0);
    EXPECT_EQ(panel[31], 220000);
    EXPECT_EQ(panel[32], 230000); // mr 500: 50 degrees, plus 180
}

} // namespace
} // namespace mirevane::test
