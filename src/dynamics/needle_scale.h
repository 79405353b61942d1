// A gauge's value-to-angle converter: a calibration table with linear interpolation, and the
// developer overrides (fixed value, fixed angle, continuous rotation) that calibrate a dial.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mirevane {

enum class AdjustMode : int32_t { None = 0, Value = 1, Angle = 2, Rotate = 3 };

class NeedleScale {
public:
    // Set-up, at Load; may allocate.
    void LoadTable(const std::string& path);
    void SetValueStep(double step) noexcept;
    void SetAngleStep(double step) noexcept;
    void SetRotateStep(double step) noexcept;
    void SetDeveloperEnabled(int32_t enabled) noexcept;

    // Per frame: the needle angle in degrees with 180 added. Advances the rotation in Rotate
    // mode, so it is called exactly once per gauge and frame.
    double ToAngle(double value) noexcept;
    // The table lookup alone; fewer than two points give 0.
    double Interpolate(double value) const noexcept;

    // Developer actions, one per key binding, on a key press.
    void CopyValueToClipboard() const;
    void AdjustIncrementSmall() noexcept;
    void AdjustDecrementSmall() noexcept;
    void AdjustIncrementMedium() noexcept;
    void AdjustDecrementMedium() noexcept;
    void AdjustIncrementLarge() noexcept;
    void AdjustDecrementLarge() noexcept;
    void SwitchAdjustMode() noexcept;
    void ResetAdjustValue() noexcept;

    // Calibration points sorted by value, keys unique.
    const std::vector<std::pair<double, double>>& table() const noexcept { return table_; }
    AdjustMode mode() const noexcept { return mode_; }
    double fixedValue() const noexcept { return fixedValue_; }
    double fixedAngle() const noexcept { return fixedAngle_; }
    double valueStep() const noexcept { return valueStep_; }
    double angleStep() const noexcept { return angleStep_; }
    double rotateStep() const noexcept { return rotateStep_; }
    bool developerEnabled() const noexcept { return developerEnabled_; }

private:
    // Adds to the fixed value in Value mode or the fixed angle in Angle mode; else nothing.
    void Adjust(double valueDelta, double angleDelta) noexcept;

    std::vector<std::pair<double, double>> table_;
    // The upper point of the segment the last value fell in. A needle moves little from one
    // frame to the next, so the search usually ends at once; the result never depends on it.
    mutable std::size_t segmentHint_ = 1;
    double fixedValue_ = 0.0;
    double valueStep_ = 0.0;
    double fixedAngle_ = 0.0;
    double angleStep_ = 0.0;
    double rotation_ = 0.0;
    double rotateStep_ = 0.0;
    AdjustMode mode_ = AdjustMode::None;
    bool developerEnabled_ = false;
};

} // namespace mirevane
