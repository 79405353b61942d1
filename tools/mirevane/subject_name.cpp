#include "subject_name.h"

#include <iterator>

namespace mirevane::tool {
namespace {

struct Quantity {
    const char* keyword;
    const char* unit;
    const char* meaning;
};

// By quantity number, 1..8, as the subject grammar numbers them.
constexpr Quantity kQuantities[] = {
    {"kmph", "km/h", "speed (magnitude)"},    {"bc", "kPa", "brake cylinder pressure"},
    {"mr", "kPa", "main reservoir pressure"}, {"sap", "kPa", "straight air pipe pressure"},
    {"bp", "kPa", "brake pipe pressure"},     {"er", "kPa", "equalising reservoir pressure"},
    {"am", "A", "motor current (signed)"},    {"amabs", "A", "motor current (magnitude)"},
};

const Quantity* QuantityOf(const Subject& subject) {
    const int32_t n = subject.index();
    if (subject.kind() != Subject::kVehicle || n < 1 ||
        n > static_cast<int32_t>(std::size(kQuantities))) {
        return nullptr;
    }
    return &kQuantities[n - 1];
}

} // namespace

std::string SubjectName(const Subject& subject) {
    switch (subject.kind()) {
    case Subject::kPanel:
        return "panel" + std::to_string(subject.index());
    case Subject::kSound:
        return "sound" + std::to_string(subject.index());
    default:
        break;
    }
    const Quantity* q = QuantityOf(subject);
    return q != nullptr ? q->keyword : "nothing";
}

std::string SubjectUnit(const Subject& subject) {
    const Quantity* q = QuantityOf(subject);
    return q != nullptr ? q->unit : "";
}

std::string SubjectMeaning(const Subject& subject) {
    switch (subject.kind()) {
    case Subject::kPanel:
        return "panel entry " + std::to_string(subject.index());
    case Subject::kSound:
        return "sound entry " + std::to_string(subject.index());
    default:
        break;
    }
    const Quantity* q = QuantityOf(subject);
    return q != nullptr ? q->meaning : "nothing (always 0)";
}

} // namespace mirevane::tool
