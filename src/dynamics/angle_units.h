// The units a needle angle passes through on its way to the panel, named once.
#pragma once

namespace mirevane {

constexpr double kPi = 3.141592653589793;
// 180 / pi, as the double nearest to it.
constexpr double kDegreesPerRadian = 57.29577951308232;

// Table angles, developer angles and the clipboard text are written without this offset; the
// needle scale adds it to every angle it gives, which is the reference the host's needle
// images are drawn in. A cab builder therefore never writes it.
constexpr double kNeedleOffsetDegrees = 180.0;

// A panel entry that shows a needle holds its angle in thousandths of a degree: the host reads
// 32-bit integers, and a thousandth keeps the image's motion smooth.
constexpr double kPanelUnitsPerDegree = 1000.0;

} // namespace mirevane
