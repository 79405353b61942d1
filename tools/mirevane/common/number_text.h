// Numbers as the tool writes them: the same characters from every C runtime, because they
// come from std::to_chars and not from printf.
#pragma once

#include <string>

namespace mirevane::tool {

// 17 significant digits, enough to give back the same double: "180", "0.30000000000000004".
std::string Digits17(double value);
// The shortest text that reads back as the same double: "2.5", "0.1".
std::string Shortest(double value);
// Rounded to a few significant digits, for axis labels and summaries: "12.5", "1e+03".
std::string Rounded(double value, int significantDigits);
// A count and its noun, the noun in the plural unless the count is 1: "1 warning", "3 points".
std::string Counted(int count, const char* noun);
// A finite number written alone (blanks around it allowed), read in the classic locale.
bool ReadNumber(const std::string& text, double& number);

} // namespace mirevane::tool
