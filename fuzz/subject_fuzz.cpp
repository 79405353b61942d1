// The subject parser on any text. Whatever the text, the subject selects a known quantity or
// a panel or sound entry 0..255, and reading it touches nothing outside the host's arrays.
// Where a second, plain reading of the text is easy (a keyword, or "panel"/"sound" followed
// by decimal digits alone) the two must agree.
#include "fuzz_check.h"
#include "gauges/subject.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string>

namespace mirevane {
namespace {

std::string Lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string Raised(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

struct Expected {
    bool known = false;
    int32_t kind = 0;
    int32_t index = 0;
};

// The plain reading: only texts whose meaning needs no number parser.
Expected PlainReading(const std::string& text) {
    static const char* const kKeywords[] = {"kmph", "bc", "mr", "sap", "bp", "er", "am", "amabs"};
    const std::string lower = Lowered(text);
    for (int32_t i = 0; i < 8; ++i) {
        if (lower == kKeywords[i]) {
            return {true, Subject::kVehicle, i + 1};
        }
    }
    const bool panel = lower.rfind("panel", 0) == 0;
    const bool sound = !panel && lower.rfind("sound", 0) == 0;
    if (!panel && !sound) {
        return {true, Subject::kVehicle, 0};
    }
    const std::string rest = lower.substr(5);
    if (rest.find('.') != std::string::npos) {
        return {true, Subject::kVehicle, 0};
    }
    // Up to nine digits: exact in a double and in a long.
    if (rest.empty() || rest.size() > 9) {
        return {};
    }
    long number = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') {
            return {};
        }
        number = number * 10 + (c - '0');
    }
    if (number > 255) {
        return {true, Subject::kVehicle, 0};
    }
    return {true, panel ? Subject::kPanel : Subject::kSound, static_cast<int32_t>(number)};
}

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    const std::string text(reinterpret_cast<const char*>(data), size);

    Subject subject;
    subject.Parse(text);
    const std::string shown =
        "kind " + std::to_string(subject.kind()) + ", index " + std::to_string(subject.index());
    FUZZ_REQUIRE(subject.maxIndex() == 255, shown);
    if (subject.kind() == Subject::kVehicle) {
        FUZZ_REQUIRE(subject.index() >= 0 && subject.index() <= 8, shown);
    } else {
        FUZZ_REQUIRE(subject.kind() == Subject::kPanel || subject.kind() == Subject::kSound, shown);
        FUZZ_REQUIRE(subject.index() >= 0 && subject.index() <= 255, shown);
    }

    const Expected expected = PlainReading(text);
    if (expected.known) {
        FUZZ_REQUIRE(subject.kind() == expected.kind && subject.index() == expected.index,
                     shown + "; expected kind " + std::to_string(expected.kind) + ", index " +
                         std::to_string(expected.index));
    }

    // Letter case never matters.
    Subject raised;
    raised.Parse(Raised(text));
    FUZZ_REQUIRE(raised.kind() == subject.kind() && raised.index() == subject.index(), shown);

    // Exactly 256 entries on the heap: a read past either end is a sanitizer report.
    auto panel = std::make_unique<int32_t[]>(256);
    auto sound = std::make_unique<int32_t[]>(256);
    for (int32_t i = 0; i < 256; ++i) {
        panel[i] = 1000 + i;
        sound[i] = -1000 - i;
    }
    AtsVehicleState state{};
    state.speed = -3.0f;
    state.bc = 1.0f;
    state.mr = 2.0f;
    state.er = 3.0f;
    state.bp = 4.0f;
    state.sap = 5.0f;
    state.current = -6.0f;
    for (const int32_t maxIndex : {0, 100, 255, 256, 1 << 30}) {
        subject.SetMaxIndex(maxIndex);
        const double value = subject.Value(state, panel.get(), sound.get());
        double wanted = 0.0;
        if (subject.kind() != Subject::kVehicle) {
            if (subject.index() <= maxIndex) {
                wanted = subject.kind() == Subject::kPanel ? 1000 + subject.index()
                                                           : -1000 - subject.index();
            }
        } else {
            const double quantities[] = {0, 3, 1, 2, 5, 4, 3, -6, 6};
            wanted = quantities[subject.index()];
        }
        FUZZ_REQUIRE(value == wanted, shown + ", maxIndex " + std::to_string(maxIndex));
    }
    return 0;
}
