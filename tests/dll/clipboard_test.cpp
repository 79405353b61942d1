// The copy key through the real Mirevane.dll: what a press leaves on the Windows clipboard,
// read back the way another program would read it.
#include "dll/host_library.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace mirevane::test {
namespace {

constexpr int32_t kS = 0;
constexpr int32_t kA1 = 1;
constexpr int32_t kB1 = 3;
constexpr int32_t kB2 = 4;
constexpr int32_t kD = 7;

const char* const kKnownText = "put there by another program";

// The CF_TEXT block on the clipboard, byte for byte.
struct ClipboardBlock {
    bool present = false;
    std::vector<unsigned char> bytes;
    std::string text() const {
        return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
    }
};

ClipboardBlock ReadClipboard() {
    ClipboardBlock block;
    if (!OpenClipboard(nullptr)) {
        return block;
    }
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const unsigned char*>(GlobalLock(data))) {
            block.present = true;
            block.bytes.assign(bytes, bytes + GlobalSize(data));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return block;
}

void PutOnClipboard(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    ASSERT_NE(block, nullptr);
    std::memcpy(GlobalLock(block), text, size);
    GlobalUnlock(block);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_TEXT, block), nullptr);
    CloseClipboard();
}

// How far the clipboard's sequence number moves for one text put on it, whatever the
// system counts per call.
DWORD SequenceStepsPerWrite() {
    const DWORD before = GetClipboardSequenceNumber();
    PutOnClipboard(kKnownText);
    return GetClipboardSequenceNumber() - before;
}

// The block a copy leaves: the text and its zero at the start, 128 bytes longer than the
// text, zero after it.
void ExpectWholeBlock(const ClipboardBlock& block, const std::string& text) {
    ASSERT_TRUE(block.present);
    EXPECT_EQ(block.text(), text);
    EXPECT_EQ(block.bytes.size(), text.size() + 128);
    for (std::size_t i = text.size(); i < block.bytes.size(); ++i) {
        ASSERT_EQ(block.bytes[i], 0) << "byte " << i;
    }
}

class DllClipboard : public testing::Test {
protected:
    // Gauge 0 from Mirevane.ini beside the library: a plain needle on panel entry 0, the
    // developer switch on, and whatever sections the test adds.
    void Load(const std::string& sections) {
        folder_.Write("Mirevane.ini",
                      "[PanelIndex]\nNeedle = 0\n[DeveloperMode]\nEnabled = 1\n" + sections);
        folder_.Write("Mirevane.csv", "0,0\n100,270\n");
        library_ = std::make_unique<HostLibrary>(folder_.path());
        library_->exports().Load();
    }

    void Press(const std::vector<int32_t>& keys) {
        for (int32_t key : keys) {
            library_->exports().KeyDown(key);
        }
    }

    int32_t Frame(int index = 0) {
        panel_.fill(-1);
        AtsVehicleState state{};
        state.speed = 50.0f;
        library_->exports().Elapse(state, panel_.data(), sound_.data());
        return panel_[index];
    }

    TempDir folder_;
    std::unique_ptr<HostLibrary> library_;
    std::array<int32_t, 256> panel_{};
    std::array<int32_t, 256> sound_{};
};

// A fixed angle reached by key presses, and the text a copy must leave for it.
struct CopyRow {
    const char* angleStep;
    std::vector<int32_t> keys;
    const char* text;
};

void PrintTo(const CopyRow& row, std::ostream* out) {
    *out << row.text;
}

const CopyRow kCopyRows[] = {
    {"1", {}, "0"},
    {"1", {kA1, kA1, kA1}, "0.3"},
    {"270", {kB1}, "270"},
    {"45", {kB2}, "-45"},
    {"123.4567", {kB1}, "123.457"},
    {"0.0001", {kB1}, "0.0001"},
    {"0.0001", {kA1}, "1e-005"},
    {"999999.5", {kB1}, "1e+006"},
    {"1234567", {kB2}, "-1.23457e+006"},
};

class CopiedText : public DllClipboard, public testing::WithParamInterface<CopyRow> {};

TEST_P(CopiedText, StandsAtTheStartOfAZeroFilledBlock128BytesLonger) {
    Load(std::string("[StepValue]\nAngle = ") + GetParam().angleStep + "\n");
    Press({kD});
    Press(GetParam().keys);
    PutOnClipboard(kKnownText);
    Press({kS});

    ExpectWholeBlock(ReadClipboard(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, CopiedText, testing::ValuesIn(kCopyRows));

TEST_F(DllClipboard, CopyShowsTheSameAngleTheNeedleShows) {
    Load("[StepValue]\nAngle = 270\n");
    Press({kD, kB1});
    EXPECT_EQ(Frame(), 450000);
    Press({kS});
    EXPECT_EQ(ReadClipboard().text(), "270");
    EXPECT_EQ(Frame(), 450000);
}

TEST_F(DllClipboard, EveryGaugeInAngleModeWritesAndTheLastOneStays) {
    folder_.Write("second.ini", "[PanelIndex]\nNeedle = 1\n");
    folder_.Write("second.csv", "0,0\n100,270\n");
    Load("[FileName]\nGauge0 = second\n");
    Press({kD, kB1});
    EXPECT_EQ(Frame(0), 181000);
    EXPECT_EQ(Frame(1), 181000) << "the further gauge was not built";

    const DWORD perWrite = SequenceStepsPerWrite();
    ASSERT_GT(perWrite, 0u) << "the clipboard keeps no sequence number here";
    const DWORD before = GetClipboardSequenceNumber();
    Press({kS});
    EXPECT_EQ(GetClipboardSequenceNumber() - before, 2 * perWrite);
    EXPECT_EQ(ReadClipboard().text(), "1");
}

TEST_F(DllClipboard, CopyOutsideAngleModeLeavesTheClipboardUntouched) {
    Load("");
    const struct {
        const char* mode;
        std::vector<int32_t> keys;
    } modes[] = {{"None", {}}, {"Value", {kD, kD, kB1}}, {"Rotate", {kD}}};
    for (const auto& mode : modes) {
        Press(mode.keys);
        Frame();
        PutOnClipboard(kKnownText);
        const DWORD before = GetClipboardSequenceNumber();
        Press({kS});
        EXPECT_EQ(GetClipboardSequenceNumber(), before) << mode.mode;
        EXPECT_EQ(ReadClipboard().text(), kKnownText) << mode.mode;
    }
}

// While another program holds the clipboard the copy makes its calls once and goes on: no
// waiting for the clipboard, nothing left open. Windows refuses the data and keeps the old
// text; Wine lets SetClipboardData take the block although OpenClipboard failed, and keeps a
// copy of its own, so the block must then arrive whole.
TEST_F(DllClipboard, ClipboardHeldElsewhereNeitherBlocksNorBreaksTheNextCopy) {
    Load("");
    Press({kD, kB1});
    PutOnClipboard(kKnownText);

    constexpr std::chrono::seconds kHoldAtMost{10};
    enum { kStarting, kHeld, kRefused };
    std::atomic<int> holderState{kStarting};
    std::atomic<bool> release{false};
    // Opened for a window, as a program does: an open without one would be shared with
    // the plug-in's own window-less open.
    std::thread holder([&] {
        HWND window = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        if (window == nullptr || !OpenClipboard(window)) {
            holderState = kRefused;
        } else {
            holderState = kHeld;
            const auto giveUp = std::chrono::steady_clock::now() + kHoldAtMost;
            while (!release && std::chrono::steady_clock::now() < giveUp) {
                std::this_thread::yield();
            }
            CloseClipboard();
        }
        if (window != nullptr) {
            DestroyWindow(window);
        }
    });
    while (holderState == kStarting) {
        std::this_thread::yield();
    }
    const auto start = std::chrono::steady_clock::now();
    if (holderState == kHeld) {
        Press({kS});
    }
    const auto pressTook = std::chrono::steady_clock::now() - start;
    release = true;
    holder.join();
    ASSERT_EQ(holderState, kHeld) << "the other thread could not open the clipboard";
    // A copy takes milliseconds; one that waited for the clipboard would last until the
    // holder gives up. Half that time separates the two even on a loaded machine.
    EXPECT_LT(pressTook, kHoldAtMost / 2);

    const ClipboardBlock block = ReadClipboard();
    if (block.text() != kKnownText) {
        ExpectWholeBlock(block, "1");
    }
    // Nothing was left open or half-done: the next copy goes through.
    PutOnClipboard(kKnownText);
    Press({kS});
    ExpectWholeBlock(ReadClipboard(), "1");
}

} // namespace
} // namespace mirevane::test
