// Checks of scene files that assimp's readers would not return from, made before assimp reads them.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "importer/collada_check.h"

namespace importer {

// Why the file at path cannot be given to assimp, if it is one its readers would not return from
// (or only after minutes, growing their memory meanwhile); nullopt for every other file:
//  - a PLY file (it starts with "ply", in any case, after any empty lines) whose header never ends
//    (no line of it starts with end_header: the file is cut short, or not a PLY file at all), or
//    declares more elements of a kind than the file has bytes (by its count, or by a name that
//    starts with a number, which assimp's reader takes for the count);
//  - a COLLADA file (named .dae, or with "<COLLADA" in its first kilobyte) with the damage
//    ColladaProblem finds;
//  - a file that cannot be opened: the system's reason ("Permission denied").
// Of a COLLADA file that has none of these, bindShapes (when given) gets the skins' bind shape
// matrices that ScanCollada finds, read in the same pass.
std::optional<std::string> ReaderTrap(const std::string& path, std::map<std::string, BindShape>* bindShapes = nullptr);

}  // namespace importer
