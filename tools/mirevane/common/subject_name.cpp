#include "common/subject_name.h"

#include "gauges/vehicle_quantity.h"

namespace mirevane::tool {
namespace {

const VehicleQuantityRow* QuantityOf(const Subject& subject) {
    return subject.kind() == Subject::kVehicle ? FindVehicleQuantity(subject.index()) : nullptr;
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
    const VehicleQuantityRow* q = QuantityOf(subject);
    return q != nullptr ? q->keyword : "nothing";
}

std::string SubjectUnit(const Subject& subject) {
    const VehicleQuantityRow* q = QuantityOf(subject);
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
    const VehicleQuantityRow* q = QuantityOf(subject);
    return q != nullptr ? q->meaning : "nothing (always 0)";
}

} // namespace mirevane::tool
