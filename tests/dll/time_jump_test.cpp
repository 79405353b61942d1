// The real DLL fed the frames of scenarios whose time jumps back (a restart, a jump to another
// place) or wraps past the 32-bit range, as the tool makes them: every panel entry it writes
// equals the tool's replay of the same frames through the core.
#include "dll/host_library.h"
#include "replay/replay.h"
#include "replay/scenario.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace mirevane::test {
namespace {

// A speedometer on entry 20 and a damped oval bc gauge on entries 30 and 31.
void WriteCab(const TempDir& cab) {
    cab.Write("Mirevane.ini", "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 20\n"
                              "[FileName]\nGauge0 = oval\n");
    cab.Write("Mirevane.csv", "0,0\n100,270\n");
    cab.Write("oval.ini", "[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 2\n"
                          "Flattening = 0.5\n[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n"
                          "[Damping]\nNaturalFreq = 2\nDampingRatio = 0.3\n");
    cab.Write("oval.csv", "0,0\n500,270\n");
}

// Each frame's panel entries as the tool's replay leaves them.
class PanelLog : public tool::FrameConsumer {
public:
    void Begin(const tool::RunHeader& run) override { columns = run.panelColumns; }
    void Take(const tool::FrameRecord& frame) override {
        rows.emplace_back(frame.panel, frame.panel + columns.size());
    }
    void End() override {}

    std::vector<int32_t> columns;
    std::vector<std::vector<int32_t>> rows;
};

struct JumpCase {
    const char* name;
    const char* scenario;
    std::optional<double> fps;
};

constexpr const char* kBack400 =
    "time,speed,bc\n0,0,0\n3000,50,200\n5000,80,300\n4600,70,250\n8000,60,200\n";
constexpr const char* kBackToZero =
    "time,speed,bc,initialize\n0,0,0,\n4000,50,300,\n0,30,100,1\n3000,20,0,\n";
constexpr const char* kWrap =
    "time,speed,bc\n2147481000,10,100\n2147483000,40,300\n-2147483000,60,200\n"
    "-2147481000,20,0\n";

const JumpCase kCases[] = {
    {"back 400 ms, a frame per row", kBack400, std::nullopt},
    {"back 400 ms, 20 frames a second", kBack400, 20.0},
    {"back to 0 with Initialize", kBackToZero, 20.0},
    {"a wrap past 2147483647", kWrap, 20.0},
};

TEST(TimeJumps, TheDllWritesWhatTheToolReplays) {
    for (const JumpCase& c : kCases) {
        TempDir cab;
        WriteCab(cab);
        tool::Scenario scenario = tool::Scenario::Parse(c.scenario, c.name, c.fps);
        PanelLog tool;
        tool::Replay(cab / "Mirevane.dll", scenario, false, {&tool});

        HostLibrary dll(cab.path());
        dll->Load();
        std::array<int32_t, 256> panel{};
        std::array<int32_t, 256> sound{};
        tool::Frame frame;
        std::size_t f = 0;
        scenario.Rewind();
        while (scenario.Next(frame)) {
            if (frame.initialize) {
                dll->Initialize(0);
            }
            // The record the host fills, from the frame the tool made.
            AtsVehicleState state{};
            state.location = frame.location;
            state.speed = static_cast<float>(frame.speed);
            state.time = frame.time;
            state.bc = static_cast<float>(frame.bc);
            dll->Elapse(state, panel.data(), sound.data());
            ASSERT_LT(f, tool.rows.size()) << c.name;
            for (std::size_t k = 0; k < tool.columns.size(); ++k) {
                ASSERT_EQ(panel[static_cast<std::size_t>(tool.columns[k])], tool.rows[f][k])
                    << c.name << ": frame " << f << " (host time " << frame.time << "), entry "
                    << tool.columns[k];
            }
            ++f;
        }
        EXPECT_EQ(f, tool.rows.size()) << c.name;
        EXPECT_GT(f, 3u) << c.name;
        dll->Dispose();
    }
}

} // namespace
} // namespace mirevane::test
