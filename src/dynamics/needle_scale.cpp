#include "dynamics/needle_scale.h"

#include "dynamics/angle_units.h"

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
        return Interpolate(fixedValue_) + kNeedleOffsetDegrees;
    case AdjustMode::Angle:
        return fixedAngle_ + kNeedleOffsetDegrees;
    case AdjustMode::Rotate:
        rotation_ += rotateStep_;
        return rotation_ + kNeedleOffsetDegrees;
    case AdjustMode::None:
        break;
    }
    return Interpolate(value) + kNeedleOffsetDegrees;
}

double NeedleScale::Interpolate(double x) const noexcept {
    if (table_.size() < 2) {
        return 0.0;
    }
    // hi: the first point whose key is greater than x, kept inside the table so that values
    // beyond either end follow the outermost segment. No key is greater than NaN, so NaN
    // lands on the last segment and gives NaN.
    const std::size_t last = table_.size() - 1;
    std::size_t h = std::min(segmentHint_, last);
    const bool aboveLower = h == 1 || !(x < table_[h - 1].first);
    const bool belowUpper = h == last || x < table_[h].first;
    if (!(aboveLower && belowUpper)) {
        const auto upper =
            std::upper_bound(table_.begin(), table_.end(), x,
                             [](double value, const std::pair<double, double>& point) {
                                 return value < point.first;
                             });
        h = std::clamp<std::size_t>(static_cast<std::size_t>(upper - table_.begin()), 1, last);
        segmentHint_ = h;
    }
    const auto hi = table_.begin() + static_cast<std::ptrdiff_t>(h);
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
