// check: settings of an elliptic gauge that the plug-in takes otherwise than written, or that
// leave its needle misbehaving. What the plug-in made of them is read off the gauge it built
// (the damping's frequency and ratio, the clamped flattening), not worked out again here.
#include "check/context.h"

#include "common/number_text.h"
#include "config/profile_access.h"
#include "platform/platform.h"

namespace mirevane::tool {
namespace {

// A line that sets the key but does not read as a number has a diagnostic of its own, which
// says what the setting keeps and what follows from it.
bool WrittenButUnread(const Where& where, const char* section, const char* key) {
    double ignored = 0.0;
    return where.line > 0 &&
           !ParseWholeDouble(platform::ProfileText(where.file, section, key, ""), ignored);
}

} // namespace

void Checker::CheckOvalNeedle(const GaugeUnderCheck& c) {
    const GaugeSummary& gauge = c.summary;
    const SettingsModel& s = c.settings;
    const std::string frequency = "NaturalFreq = " + Shortest(s.NaturalFreq);
    const Where frequencyLine = Locate(c.profile, "Damping", "NaturalFreq");
    if (s.NaturalFreq != 0.0 && gauge.naturalFrequency == 0.0) {
        Add("damping-switched-off", frequencyLine,
            frequency + (s.NaturalFreq < 0.0 ? " is below 0" : " is not a finite number") +
                ": the plug-in switches the damping off, as NaturalFreq = 0 does, and " + c.name +
                "'s needle follows its value undamped");
    } else if (gauge.naturalFrequency > 0.0 && gauge.dampingRatio == 0.0) {
        const Where ratioLine = Locate(c.profile, "Damping", "DampingRatio");
        if (!WrittenButUnread(ratioLine, "Damping", "DampingRatio")) {
            const std::string cause =
                s.DampingRatio == 0.0
                    ? (ratioLine.line > 0 ? "DampingRatio = 0" : "no DampingRatio (0)")
                    : "DampingRatio = " + Shortest(s.DampingRatio) + ", which counts as 0,";
            Add("damping-never-settles", ratioLine.line > 0 ? ratioLine : frequencyLine,
                cause + " with " + frequency + ": " + c.name +
                    "'s needle is not damped at all and swings about its value for ever; "
                    "DampingRatio = 1 settles it without overshoot");
        }
    }
    if (!(s.Flattening >= 0.0 && s.Flattening <= 1.0)) {
        const std::string consequence =
            gauge.flattening == 1.0 ? "the oval collapses to a line along RotateAngle: " + c.name +
                                          "'s needle points only along it, one way or the other"
                                    : c.name + " is drawn on a round dial";
        Add("flattening-clamped", Locate(c.profile, "Ellipse", "Flattening"),
            "Flattening = " + Shortest(s.Flattening) +
                " is outside 0 to 1: the plug-in counts it as " + Shortest(gauge.flattening) +
                ", so " + consequence);
    }
}

} // namespace mirevane::tool
