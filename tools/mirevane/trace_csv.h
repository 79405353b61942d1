// The trace as CSV: one row per frame after Elapse, the panel entries the gauges can write,
// the text a copy put on the clipboard, and with detail every gauge's stages.
#pragma once

#include "replay.h"

#include <string>

namespace mirevane::tool {

// Lines end with a bare LF and doubles carry 17 significant digits, so that every build of
// the tool writes the same bytes for the same frames.
std::string TraceCsv(const Trace& trace, bool detail);

} // namespace mirevane::tool
