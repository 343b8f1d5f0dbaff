// The length unit a scene file states, so that every scene arrives in metres.
#pragma once

#include <optional>
#include <string>

namespace importer {

struct FileUnit {
    double metresPerUnit = 1.0;
    bool stated = false;  // the file states its unit (else metres are assumed)
    std::string words;    // for --list: "centimetres, UnitScaleFactor 1"
};

// The name of a unit of metresPerUnit metres ("centimetres", "inches", "units of 0.25 m").
std::string UnitName(double metresPerUnit);

// A number as a user reads it: six significant digits, no trailing zeros ("29.97", "100", "1e-05").
std::string Number(double v);

// FBX: UnitScaleFactor is the unit in centimetres; a file without it is in centimetres.
FileUnit FbxUnit(std::optional<double> unitScaleFactor);
// COLLADA: the <unit meter="..."> of the file at path (metres when it has none).
FileUnit ColladaUnit(const std::string& path);
// A format that states no unit; says which and why.
FileUnit AssumedMetres(const std::string& why);

}  // namespace importer
