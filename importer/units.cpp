#include "importer/units.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace importer {

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The quoted value of a meter="..." attribute starting at `at` (the m of "meter"), or nullopt.
std::optional<std::string> MeterValue(const std::string& text, std::size_t at) {
    if (text.compare(at, 5, "meter") != 0 || (at > 0 && IsWordChar(text[at - 1]))) return std::nullopt;
    std::size_t i = at + 5;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i == text.size() || text[i] != '=') return std::nullopt;
    ++i;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i == text.size() || (text[i] != '"' && text[i] != '\'')) return std::nullopt;
    const std::size_t start = i + 1, end = text.find_first_of("\"'", start);
    if (end == std::string::npos || end == start) return std::nullopt;
    return text.substr(start, end - start);
}

// The meter attribute of the first <unit> element that has one. Within an element the last such
// attribute counts.
std::optional<std::string> UnitMeterText(const std::string& text) {
    for (std::size_t tag = text.find("<unit"); tag != std::string::npos; tag = text.find("<unit", tag + 1)) {
        const std::size_t body = tag + 5;
        if (body < text.size() && IsWordChar(text[body])) continue;  // <units>, <unit_x>: other elements
        const std::size_t close = std::min(text.find('>', body), text.size());
        for (std::size_t at = close; at-- > body;)
            if (auto value = MeterValue(text, at)) return value;
    }
    return std::nullopt;
}

}  // namespace

std::string UnitName(double m) {
    struct Named {
        double metres;
        const char* name;
    };
    constexpr Named kUnits[] = {{1, "metres"},        {0.01, "centimetres"}, {0.001, "millimetres"}, {1000, "kilometres"},
                                {0.0254, "inches"},   {0.3048, "feet"},      {0.9144, "yards"},      {0.1, "decimetres"},
                                {1609.344, "miles"}};
    for (const Named& u : kUnits)
        if (std::fabs(m - u.metres) <= 1e-9 * u.metres) return u.name;
    return "units of " + Number(m) + " m";
}

FileUnit FbxUnit(std::optional<double> unitScaleFactor) {
    FileUnit unit;
    unit.stated = unitScaleFactor && *unitScaleFactor > 0 && std::isfinite(*unitScaleFactor);
    const double centimetres = unit.stated ? *unitScaleFactor : 1.0;
    unit.metresPerUnit = centimetres / 100.0;
    unit.words = UnitName(unit.metresPerUnit) + (unit.stated ? ", UnitScaleFactor " + Number(centimetres)
                                                             : " (the file states no UnitScaleFactor: FBX's centimetres)");
    return unit;
}

FileUnit ColladaUnit(const std::string& path) {
    FileUnit unit;
    // The unit stands in the asset block at the start of the file.
    std::ifstream in(path, std::ios::binary);
    std::string head(65536, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(std::size_t(in.gcount()));
    if (const std::optional<std::string> text = UnitMeterText(head)) {
        char* end = nullptr;
        const double metres = std::strtod(text->c_str(), &end);
        if (end && *end == '\0' && metres > 0 && std::isfinite(metres)) {
            unit.metresPerUnit = metres;
            unit.stated = true;
        }
    }
    unit.words = UnitName(unit.metresPerUnit) + (unit.stated ? ", COLLADA unit " + Number(unit.metresPerUnit) + " m"
                                                              : " (the file states no unit: COLLADA's metres)");
    return unit;
}

FileUnit AssumedMetres(const std::string& why) {
    FileUnit unit;
    unit.words = "metres (" + why + ")";
    return unit;
}

}  // namespace importer
