#include "dynamics/needle_scale.h"

#include "devmode/clipboard_text.h"
#include "dynamics/scale_table_file.h"
#include "platform/platform.h"

#include <algorithm>
#include <cmath>

namespace mirevane {

void NeedleScale::LoadTable(const std::string& path) {
    LoadTableFile(path, table_);
}

void NeedleScale::SetValueStep(double step) noexcept {
    valueStep_ = std::fabs(step);
}

void NeedleScale::SetAngleStep(double step) noexcept {
    angleStep_ = std::fabs(step);
}

void NeedleScale::SetRotateStep(double step) noexcept {
    rotateStep_ = step;
}

void NeedleScale::SetDeveloperEnabled(int32_t enabled) noexcept {
    developerEnabled_ = enabled != 0;
}

double NeedleScale::ToAngle(double value) noexcept {
    switch (mode_) {
    case AdjustMode::Value:
        return Interpolate(fixedValue_) + 180.0;
    case AdjustMode::Angle:
        return fixedAngle_ + 180.0;
    case AdjustMode::Rotate:
        rotation_ += rotateStep_;
        return rotation_ + 180.0;
    case AdjustMode::None:
        break;
    }
    return Interpolate(value) + 180.0;
}

double NeedleScale::Interpolate(double x) const noexcept {
    if (table_.size() < 2) {
        return 0.0;
    }
    // hi: the first point whose key is greater than x, kept inside the table so that values
    // beyond either end follow the outermost segment. No key is greater than NaN, so NaN
    // lands on the last segment and gives NaN. The search halves without branching on the
    // comparison: a moving needle would make those branches hard to predict.
    const std::pair<double, double>* first = table_.data();
    std::size_t count = table_.size();
    while (count > 1) {
        const std::size_t half = count / 2;
        first = x < first[half].first ? first : first + half;
        count -= half;
    }
    const std::pair<double, double>* const upper = first + (x < first->first ? 0 : 1);
    const auto* const hi = std::clamp(upper, table_.data() + 1, table_.data() + table_.size() - 1);
    const auto lo = hi - 1;
    return (lo->second - hi->second) * (x - hi->first) / (lo->first - hi->first) + hi->second;
}

void NeedleScale::CopyValueToClipboard() const {
    if (mode_ != AdjustMode::Angle) {
        return;
    }
    platform::CopyTextToClipboard(FormatClipboardAngle(fixedAngle_).c_str());
}

void NeedleScale::AdjustIncrementSmall() noexcept {
    Adjust(valueStep_ / 10, angleStep_ * 0.1);
}

void NeedleScale::AdjustDecrementSmall() noexcept {
    Adjust(-(valueStep_ / 10), -(angleStep_ * 0.1));
}

void NeedleScale::AdjustIncrementMedium() noexcept {
    Adjust(valueStep_, angleStep_);
}

void NeedleScale::AdjustDecrementMedium() noexcept {
    Adjust(-valueStep_, -angleStep_);
}

void NeedleScale::AdjustIncrementLarge() noexcept {
    Adjust(valueStep_ * 10, angleStep_ * 10);
}

void NeedleScale::AdjustDecrementLarge() noexcept {
    Adjust(-(valueStep_ * 10), -(angleStep_ * 10));
}

void NeedleScale::Adjust(double valueDelta, double angleDelta) noexcept {
    if (mode_ == AdjustMode::Value) {
        fixedValue_ += valueDelta;
    } else if (mode_ == AdjustMode::Angle) {
        fixedAngle_ += angleDelta;
    }
}

void NeedleScale::SwitchAdjustMode() noexcept {
    if (!developerEnabled_) {
        return;
    }
    switch (mode_) {
    case AdjustMode::None:
        mode_ = AdjustMode::Angle;
        break;
    case AdjustMode::Angle:
        mode_ = AdjustMode::Value;
        break;
    case AdjustMode::Value:
        mode_ = AdjustMode::Rotate;
        break;
    case AdjustMode::Rotate:
        mode_ = AdjustMode::None;
        rotation_ = 0.0;
        break;
    }
}

void NeedleScale::ResetAdjustValue() noexcept {
    if (mode_ == AdjustMode::Value) {
        fixedValue_ = 0.0;
    } else if (mode_ == AdjustMode::Angle) {
        fixedAngle_ = 0.0;
    }
}

} // namespace mirevane
