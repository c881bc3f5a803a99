#include "plugin/payloads/property_value.h"

#include <cstring>

#include "plugin/host/services.h"

namespace pelmora {

bool PropertyValue::fetch(HostHandle object, std::int32_t property) {
    std::memset(raw_.payload, 0, sizeof raw_.payload);
    raw_.tag = kNoTag;
    if (host::getObjectProperty(object, property, &raw_)) return true;
    // A host that answers false may still have touched the value: make sure
    // nothing it left behind reads as a given property.
    raw_.tag = kNoTag;
    return false;
}

bool PropertyValue::read(bool& out) const {
    if (raw_.tag != kPropertyBool) return false;
    out = raw_.payload[0] != 0;
    return true;
}

bool PropertyValue::read(std::int16_t& out) const {
    if (raw_.tag != kPropertyInt16) return false;
    std::memcpy(&out, raw_.payload, sizeof out);
    return true;
}

bool PropertyValue::read(double& out) const {
    if (raw_.tag != kPropertyDouble) return false;
    std::memcpy(&out, raw_.payload, sizeof out);
    return true;
}

bool PropertyValue::read(HostPoint& out) const {
    if (raw_.tag != kPropertyPoint) return false;
    double xyz[3];
    std::memcpy(xyz, raw_.payload, sizeof xyz);
    out = HostPoint{xyz[0], xyz[1], xyz[2]};
    return true;
}

namespace {
template <class T>
T propertyAs(HostHandle object, std::int32_t property, T value) {
    PropertyValue fetched;
    if (fetched.fetch(object, property)) fetched.read(value);
    return value;
}
}  // namespace

bool boolProperty(HostHandle object, std::int32_t property, bool fallback) {
    return propertyAs(object, property, fallback);
}
std::int16_t int16Property(HostHandle object, std::int32_t property, std::int16_t fallback) {
    return propertyAs(object, property, fallback);
}
double doubleProperty(HostHandle object, std::int32_t property, double fallback) {
    return propertyAs(object, property, fallback);
}
HostPoint pointProperty(HostHandle object, std::int32_t property) {
    return propertyAs(object, property, HostPoint{0.0, 0.0, 0.0});
}

}  // namespace pelmora
