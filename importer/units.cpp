#include "importer/units.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>

namespace importer {
namespace {

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
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
    std::smatch m;
    static const std::regex kUnit(R"(<unit\b[^>]*\bmeter\s*=\s*["']([^"']+)["'])");
    if (std::regex_search(head, m, kUnit)) {
        const std::string text = m[1].str();
        char* end = nullptr;
        const double metres = std::strtod(text.c_str(), &end);
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
