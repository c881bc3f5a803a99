#include "plugin/host/unit_settings.h"

#include <cmath>
#include <cstring>

#include "plugin/host/host_abi.h"
#include "plugin/host/services.h"

namespace pelmora {
namespace {
const UnitSettings kFallbackUnits{};
const UnitSettings* g_current = nullptr;
}  // namespace

void UnitSettings::classify(double u, std::int16_t& code, double& perUnit) {
    if (!(u > 0.0) || !std::isfinite(u) || !std::isfinite(0.0254 / u)) {
        // No usable record (a host without the service leaves it zeroed, and
        // a value too close to zero overflows the division just the same):
        // dividing by it would put infinities into the file. Lengths then
        // stay in the host's internal unit, the millimetre.
        perUnit = 0.001;
        code = kUnitMillimetre;
    } else if (u > 2.53 && u < 2.55) {
        perUnit = 0.01;
        code = kUnitCentimetre;
    } else if (u > 25.3 && u < 25.5) {
        perUnit = 0.001;
        code = kUnitMillimetre;
    } else if (u > 0.0253 && u < 0.0255) {
        perUnit = 1.0;
        code = kUnitMetre;
    } else if (u > 0.99 && u < 1.01) {
        perUnit = 0.0254;
        code = kUnitInch;
    } else {
        perUnit = 0.0254 / u;
        code = kUnitOther;
    }
}

void UnitSettings::detect() {
    std::memset(hostRecord, 0, sizeof hostRecord);
    host::getUnitRecord(hostRecord);
    double unitsPerInch = 0.0;
    std::memcpy(&unitsPerInch, hostRecord + host::kUnitsPerInchOffset, sizeof unitsPerInch);
    classify(unitsPerInch, unitCode, metresPerUnit);
    setCurrentUnits(this);
}

double UnitSettings::toMetres(double hostLength) const { return host::toDocumentLength(hostLength) * metresPerUnit; }

const UnitSettings& currentUnits() { return g_current ? *g_current : kFallbackUnits; }
void setCurrentUnits(const UnitSettings* units) { g_current = units; }
double toMetres(double hostLength) { return currentUnits().toMetres(hostLength); }

}  // namespace pelmora
