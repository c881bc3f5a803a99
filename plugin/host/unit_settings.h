// Conversion of host lengths to metres, detected once per export from the
// host's unit record and reachable process-wide while the export runs.
#pragma once

#include <cstdint>

namespace pelmora {

enum UnitCode : std::int16_t {
    kUnitMetre = 1,
    kUnitCentimetre = 2,
    kUnitMillimetre = 3,
    kUnitInch = 4,
    kUnitOther = 7,
};

struct UnitSettings {
    std::uint8_t hostRecord[32] = {};
    std::int16_t unitCode = kUnitInch;
    double metresPerUnit = 0.0254;

    // Reads the host's unit record (service 269) and picks the unit from its
    // document units per inch. Makes these settings the current ones.
    void detect();
    // Host length -> metres (service 82 for document units, then the factor).
    double toMetres(double hostLength) const;

    // Classifies a units-per-inch value, bounds strict, first match wins.
    static void classify(double unitsPerInch, std::int16_t& code, double& metresPerUnit);
};

// The settings of the running export; a default (inch) record outside one.
const UnitSettings& currentUnits();
void setCurrentUnits(const UnitSettings* units);

// Shorthand for currentUnits().toMetres(length).
double toMetres(double hostLength);

}  // namespace pelmora
