// STUB: replaced by the elliptic gauge.
#include "dynamics/ellipse_gauge.h"

namespace mirevane {

void CEllipseGauge::AddPanelIndex(int32_t panelIndex) { panelIndices_.push_back(panelIndex); }
void CEllipseGauge::Setup(int32_t, double, double, double) {}
void CEllipseGauge::SetDamping(double naturalFrequency, double dampingRatio) noexcept {
    damping_.SetParameters(naturalFrequency, dampingRatio);
}
void CEllipseGauge::Render(double, int32_t, int32_t*) noexcept {}

} // namespace mirevane
