// The in-memory image of one profile: one field per key of the format (config/profile_format.h
// says, per key, its section, type, default and meaning). Construction gives the defaults;
// each ReadProfile lays one more profile over what the model holds.
#pragma once

#include "devmode/developer_actions.h"

#include <array>
#include <cstdint>
#include <string>

namespace mirevane {

constexpr int kFurtherGaugeCount = 16;
constexpr int kEllipsePanelCount = 64;

// The lookups that reading one profile makes, one call per key of the format: the seam
// between the settings model and the profile files. value holds the field's current value
// and is the lookup's default, so a key the profile lacks leaves it as it was.
class ProfileLookups {
public:
    virtual ~ProfileLookups() = default;
    virtual void Text(const std::string& section, const std::string& key, std::string& value) = 0;
    virtual void Int(const std::string& section, const std::string& key, int32_t& value) = 0;
    virtual void Double(const std::string& section, const std::string& key, double& value) = 0;
};

class SettingsModel {
public:
    // Under every profile, relative to the process's current directory (the host's working
    // directory), not the library's folder.
    static constexpr const char* kFallbackProfile = "./Ats.ini";

    // Every field at its default; reads nothing. Load never copies a model; the tool keeps
    // copies of the models Load reports.
    SettingsModel();

    // Lays the profile over what the model holds; false, with nothing changed, when no
    // file-system entry stands at the path. The empty path names the fallback profile.
    bool ReadProfile(const std::string& path);
    // Every key of the format through `lookups`, once each, in the format's order.
    void Read(ProfileLookups& lookups);

    // One field per key, in reading order, each with its unit and meaning. Their defaults
    // are the format's (config/profile_format.cpp), which the constructor sets.
    std::string Subject;                               // [SubjectKey] where the value comes from
    std::array<std::string, kFurtherGaugeCount> Gauge; // [FileName] further gauge files, no ext.
    int32_t Needle{};                                  // [PanelIndex] panel entry of a plain needle
    std::array<int32_t, kEllipsePanelCount> Ellipse{}; // [PanelIndex] entry of division k
    double Period{};       // [Vibration] s per tremble cycle at 10 km/h; 0: no tremble
    double Amplitude{};    // [Vibration] largest tremble, in the subject's unit; 0: none
    double Threshold{};    // [Vibration] no tremble above this value; subject's unit, 0: none
    double NaturalFreq{};  // [Damping] rad/s of the needle's spring; 0: undamped
    double DampingRatio{}; // [Damping] 1: critically damped; below 1 overshoots
    double Flattening{};   // [Ellipse] 0: round dial, toward 1: flatter oval
    double RotateAngle{};  // [Ellipse] degrees the oval's long axis is turned
    int32_t Division{};    // [Ellipse] needle images; 2 or more makes the gauge elliptic
    double StandbyAngle{}; // [Ellipse] degrees as the panel shows them, of parked images
    int32_t Enabled{};     // [DeveloperMode] non-zero: developer keys may switch modes
    std::array<std::string, kDeveloperKeyCount> DeveloperKeys; // [KeyIndex] host key names
    double Angle{};          // [StepValue] degrees per developer angle step
    double Value{};          // [StepValue] subject units per developer value step
    double Rotate{};         // [StepValue] degrees per frame in rotate mode
    int32_t MaxArrayIndex{}; // [Advanced] largest panel/sound index read; negative: 255
};

} // namespace mirevane
