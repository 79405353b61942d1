// The check report as text for a person or as JSON for a program; the same content.
#pragma once

#include "check.h"

#include <string>

namespace mirevane::tool {

std::string CheckText(const CheckReport& report);
std::string CheckJson(const CheckReport& report);

} // namespace mirevane::tool
