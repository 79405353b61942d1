// Check's warnings that say what the plug-in will do with a line, against the plug-in itself:
// the same files loaded by CMirevane::Load and one frame through Elapse must do what the
// warning says, so that check and the plug-in cannot drift apart unseen.
#include "check/check.h"
#include "gauges/c_mirevane.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace mirevane::tool {
namespace {

struct Claim {
    const char* code;
    std::map<std::string, std::string> files; // the cab, Cab.ini its main profile
    const char* says;                         // the words of the warning about the plug-in
    AtsVehicleState state;
    std::pair<int, int32_t> hostEntry; // what the host wrote into the panel before the frame
    int entry;                         // the entry the warning is about
    int32_t drawn; // what the plug-in writes there as the warning has it, worked out by hand
};

AtsVehicleState Speed(float kmph, float amperes = 0) {
    AtsVehicleState state{};
    state.speed = kmph;
    state.current = amperes;
    return state;
}

const char kSpeedometer[] = "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 20\n";

TEST(CheckAgreesWithThePluginTest, WhatAWarningSaysThePluginDoes) {
    const Claim claims[] = {
        // 50 km/h: gauge 0's table gives 135 degrees, gauge 1's 45; each + 180.
        {"panel-written-twice",
         {{"Cab.ini", std::string(kSpeedometer) + "[FileName]\nGauge0 = second\n"},
          {"Cab.csv", "0,0\n100,270\n"},
          {"second.ini", kSpeedometer},
          {"second.csv", "0,0\n100,90\n"}},
         "gauge 1's value remains",
         Speed(50),
         {0, 0},
         20,
         225000}, // 315000 were gauge 0's value to remain
        // The host holds 50 in entry 12, beyond MaxArrayIndex: read as 0, drawn at 0 + 180.
        {"max-index-below-subject",
         {{"Cab.ini", "[SubjectKey]\nSubject = panel12\n[PanelIndex]\nNeedle = 20\n"
                      "[Advanced]\nMaxArrayIndex = 10\n"},
          {"Cab.csv", "0,0\n100,270\n"}},
         "reads 0 every frame",
         Speed(0),
         {12, 50},
         20,
         180000}, // 315000 were 50 read
        // -50 A through the table -100 -> -90, 100 -> 90, at the vibration's phase 0 (no
        // distance run yet): 45 + 180 as a positive value, -45 + 180 as written.
        {"vibration-drops-sign",
         {{"Cab.ini", "[SubjectKey]\nSubject = am\n[PanelIndex]\nNeedle = 20\n"
                      "[Vibration]\nPeriod = 1\nAmplitude = 5\n"},
          {"Cab.csv", "-100,-90\n100,90\n"}},
         "negative am value as a positive one",
         Speed(0, -50),
         {0, 0},
         20,
         225000}, // 135000 were the sign kept
    };
    for (const Claim& c : claims) {
        SCOPED_TRACE(c.code);
        test::TempDir folder;
        for (const auto& [name, text] : c.files) {
            folder.Write(name, text);
        }
        const CheckReport report = RunCheck(folder / "Cab.dll");
        int found = 0;
        for (const Diagnostic& d : report.diagnostics) {
            if (std::string(d.kind->code) == c.code) {
                ++found;
                EXPECT_NE(d.message.find(c.says), std::string::npos) << d.message;
            }
        }
        EXPECT_EQ(found, 1);

        CMirevane plugin;
        plugin.Load(folder / "Cab.dll");
        std::array<int32_t, 256> panel{};
        const std::array<int32_t, 256> sound{};
        panel[static_cast<std::size_t>(c.hostEntry.first)] = c.hostEntry.second;
        plugin.Elapse(c.state, panel.data(), sound.data());
        EXPECT_EQ(panel[static_cast<std::size_t>(c.entry)], c.drawn);
    }
}

} // namespace
} // namespace mirevane::tool
