// Number series as the dial page's data holds them: seven significant digits, and a run of
// three or more equal numbers written [number, count], so that parked images and resting
// needles shrink to a few characters.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>

namespace mirevane::tool {

// Seven digits: more than a dial can show, and JSON has no NaN (null instead). A whole number
// as an integer: "4", not "4.0".
nlohmann::ordered_json PageNumber(double value);

class RunArray {
public:
    void Add(const nlohmann::ordered_json& value);
    nlohmann::ordered_json Finish();

private:
    void Flush();

    nlohmann::ordered_json out_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json current_;
    std::size_t count_ = 0;
};

} // namespace mirevane::tool
