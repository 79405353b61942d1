// A needle on an oval or perspective dial, drawn with several needle images of stepped
// lengths (divisions): damped, mapped onto an ellipse, shown on the image whose length fits.
#pragma once

#include "dynamics/damping_object.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace mirevane {

class CEllipseGauge {
public:
    // Set-up, at Load, in this order.
    void AddPanelIndex(int32_t panelIndex);
    void Setup(int32_t division, double flattening, double rotateAngleDegrees,
               double standbyAngleDegrees);
    void SetDamping(double naturalFrequency, double dampingRatio) noexcept;

    // Per frame: writes this gauge's division entries of the host panel (0..255 only).
    void Render(double angleDegrees, int32_t timeMilliseconds, int32_t* panel) noexcept;
    // Parks every image at the standby angle on the next Render.
    void RequestStandby() noexcept { standbyRequest_ = true; }

    const std::vector<int32_t>& panelIndices() const noexcept { return panelIndices_; }
    // Upper boundary of each division's folded angle (degrees) -> its panel index, ascending.
    const std::vector<std::pair<double, int32_t>>& divisionTable() const noexcept {
        return divisionTable_;
    }
    int32_t divisionCount() const noexcept { return divisionCount_; }
    double flattening() const noexcept { return flattening_; }
    double rotateAngle() const noexcept { return rotateAngle_; }
    double standbyAngle() const noexcept { return standbyAngle_; }
    const CDampingObject& damping() const noexcept { return damping_; }
    int32_t previousEntry() const noexcept { return previousEntry_; }

    // The geometry Render draws with, also for drawing the dial in the companion tool.
    // Length of division k's image of n, as a fraction of the major semi-axis: evenly from 1
    // (k = 0) down to the minor semi-axis (k = n - 1).
    static double NeedleLength(int32_t k, int32_t n, double minorAxis) noexcept;
    // An angle (radians, as damped) measured from the major axis either way, 0..90 degrees.
    double FoldedAngleDegrees(double angleRadians) const noexcept;
    // The direction (degrees) of the ellipse point whose parameter angle is angleRadians.
    double DrawnAngleDegrees(double angleRadians) const noexcept;
    // The panel entry of the first division whose boundary reaches the folded angle, else
    // the last division's; -1 with no division table.
    int32_t SelectedEntry(double foldedDegrees) const noexcept;

private:
    // Adds a division boundary as an ordered map would: an existing key is kept.
    void InsertBoundary(double keyDegrees, int32_t panelIndex);

    CDampingObject damping_;
    std::vector<int32_t> panelIndices_;
    std::vector<std::pair<double, int32_t>> divisionTable_;
    int32_t previousEntry_ = -1;
    int32_t previousTime_ = 0;
    bool hasPreviousTime_ = false;
    int32_t divisionCount_ = 2;
    double flattening_ = 0.0;
    double rotateAngle_ = 0.0;
    double standbyAngle_ = 180.0;
    double minorAxis_ = 1.0;       // 1 - flattening
    double rotateRadians_ = 0.0;   // rotate angle * pi / 180
    int32_t parkedValue_ = 180000; // the standby angle as a panel value
    // Set at construction: a fresh host panel would otherwise show every image at angle 0.
    bool standbyRequest_ = true;
};

} // namespace mirevane
