#include "config/profile_format.h"

namespace mirevane {
namespace {

// Key names go to the lookup padded with trailing blanks to a fixed width, as the profile
// functions have always been called by this plug-in. The functions trim names, so a profile
// writes none; keeping the calls unchanged keeps them the ones known to work on the host.
constexpr std::size_t kPad = 17;

template <class T, T SettingsModel::*member> SettingField One(SettingsModel& m, int) {
    return &(m.*member);
}

std::vector<SettingRow> BuildRows() {
    using T = SettingType;
    using S = SettingScope;
    std::vector<SettingRow> rows = {
        {"SubjectKey", "Subject", 1, kPad, T::kText, "kmph", "",
         "where the gauge's value comes from: a vehicle quantity's keyword, or panelN or soundN "
         "for entry N (0 to 255) of the host's panel or sound array",
         S::kOwnGauge, One<std::string, &SettingsModel::Subject>},
        {"FileName", "Gauge", kFurtherGaugeCount, 14, T::kText, "null", "",
         "name, without .ini, of a further gauge file beside the library; a name whose file "
         "does not exist builds no gauge",
         S::kMainProfile, [](SettingsModel& m, int k) -> SettingField { return &m.Gauge[k]; }},
        {"PanelIndex", "Needle", 1, kPad, T::kInt, "-1", "",
         "panel entry (0 to 255) that shows a plain needle, in thousandths of a degree; ignored "
         "by an elliptic gauge",
         S::kOwnGauge, One<int32_t, &SettingsModel::Needle>},
        {"PanelIndex", "Ellipse", kEllipsePanelCount, kPad, T::kInt, "-1", "",
         "panel entry (0 to 255) of needle image k of an elliptic gauge, from the longest image "
         "(Ellipse0) to the shortest",
         S::kOwnGauge, [](SettingsModel& m, int k) -> SettingField { return &m.Ellipse[k]; }},
        {"Vibration", "Period", 1, kPad, T::kDouble, "0", "s",
         "duration of one tremble cycle at 10 km/h (half as long at 20 km/h: the tremble "
         "follows the distance travelled); 0 switches the tremble off",
         S::kOwnGauge, One<double, &SettingsModel::Period>},
        {"Vibration", "Amplitude", 1, kPad, T::kDouble, "0", kSubjectUnit,
         "largest tremble added to the value; the tremble works on the value's magnitude, so a "
         "negative value shows as positive; 0 switches the tremble off",
         S::kOwnGauge, One<double, &SettingsModel::Amplitude>},
        {"Vibration", "Threshold", 1, kPad, T::kDouble, "0", kSubjectUnit,
         "above this magnitude the value does not tremble; 0: no limit", S::kOwnGauge,
         One<double, &SettingsModel::Threshold>},
        {"Damping", "NaturalFreq", 1, kPad, T::kDouble, "0", "rad/s",
         "natural frequency of the needle's mass and spring on an elliptic gauge: higher is "
         "quicker; 0 leaves the needle undamped",
         S::kOwnGauge, One<double, &SettingsModel::NaturalFreq>},
        {"Damping", "DampingRatio", 1, kPad, T::kDouble, "0", "",
         "1 settles without overshoot, below 1 overshoots and swings, above 1 creeps", S::kOwnGauge,
         One<double, &SettingsModel::DampingRatio>},
        {"Ellipse", "Flattening", 1, kPad, T::kDouble, "0", "",
         "how oval the dial looks, 0 (round) to 1 (a line): the short axis is 1 - Flattening "
         "times the long one",
         S::kOwnGauge, One<double, &SettingsModel::Flattening>},
        {"Ellipse", "RotateAngle", 1, kPad, T::kDouble, "0", "degrees",
         "angle by which the oval's long axis is turned", S::kOwnGauge,
         One<double, &SettingsModel::RotateAngle>},
        {"Ellipse", "Division", 1, 10, T::kInt, "0", "",
         "number of needle images of stepped lengths; 2 or more makes the gauge elliptic "
         "(drawn on Ellipse0 and following), below 2 a plain needle",
         S::kOwnGauge, One<int32_t, &SettingsModel::Division>},
        {"Ellipse", "StandbyAngle", 1, kPad, T::kDouble, "180", "degrees",
         "angle, as the panel shows it (no 180 added), at which idle needle images are parked",
         S::kOwnGauge, One<double, &SettingsModel::StandbyAngle>},
        {"DeveloperMode", "Enabled", 1, kPad, T::kInt, "0", "",
         "non-zero lets the SwitchAdjustMode key take the needles into calibration modes; "
         "leave it 0 in a shipped cab",
         S::kEveryGauge, One<int32_t, &SettingsModel::Enabled>},
    };
    // One key per developer action, named after it, its default the action's default key.
    rows.push_back({"KeyIndex", "", kDeveloperKeyCount, kPad, T::kKeyName, "", "",
                    "host key name that runs the developer action of this name; any other "
                    "text binds no key",
                    S::kMainProfile, [](SettingsModel& m, int k) -> SettingField {
                        return &m.DeveloperKeys[static_cast<std::size_t>(k)];
                    }});
    const std::vector<SettingRow> tail = {
        {"StepValue", "Angle", 1, kPad, T::kDouble, "1", "degrees",
         "angle step of the developer keys in angle mode (the small keys take a tenth, the "
         "large ones ten)",
         S::kEveryGauge, One<double, &SettingsModel::Angle>},
        {"StepValue", "Value", 1, kPad, T::kDouble, "10", kSubjectUnit,
         "value step of the developer keys in value mode (the small keys take a tenth, the "
         "large ones ten)",
         S::kEveryGauge, One<double, &SettingsModel::Value>},
        {"StepValue", "Rotate", 1, kPad, T::kDouble, "1", "degrees per frame",
         "how far the needles turn each frame in rotate mode; negative turns backwards",
         S::kEveryGauge, One<double, &SettingsModel::Rotate>},
        {"Advanced", "MaxArrayIndex", 1, kPad, T::kInt, "255", "",
         "largest panel or sound entry the subject may read; a subject beyond it reads 0; "
         "negative keeps 255",
         S::kOwnGauge, One<int32_t, &SettingsModel::MaxArrayIndex>},
    };
    rows.insert(rows.end(), tail.begin(), tail.end());
    return rows;
}

std::string Padded(std::string name, std::size_t width) {
    if (name.size() < width) {
        name.append(width - name.size(), ' ');
    }
    return name;
}

} // namespace

const std::vector<SettingRow>& ProfileFormatRows() {
    static const std::vector<SettingRow> rows = BuildRows();
    return rows;
}

const std::vector<SettingKey>& ProfileFormat() {
    static const std::vector<SettingKey> keys = [] {
        std::vector<SettingKey> all;
        for (const SettingRow& row : ProfileFormatRows()) {
            for (int k = 0; k < row.count; ++k) {
                std::string name = row.count == 1 ? row.name : row.name + std::to_string(k);
                std::string defaultText = row.defaultText;
                if (row.type == SettingType::kKeyName) {
                    const DeveloperAction& action = kDeveloperActions[static_cast<std::size_t>(k)];
                    name = action.name;
                    defaultText = action.defaultKey;
                }
                all.push_back({&row, k, name, Padded(name, row.padTo), defaultText});
            }
        }
        return all;
    }();
    return keys;
}

const std::vector<std::string>& ProfileSections() {
    static const std::vector<std::string> sections = [] {
        std::vector<std::string> names;
        for (const SettingRow& row : ProfileFormatRows()) {
            if (names.empty() || names.back() != row.section) {
                names.push_back(row.section);
            }
        }
        return names;
    }();
    return sections;
}

} // namespace mirevane
