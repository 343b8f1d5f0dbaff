// A check of PLY files before assimp reads them.
#pragma once

#include <optional>
#include <string>

namespace importer {

// Why the file at path cannot be given to assimp's PLY reader, if it is a PLY file (it starts with
// "ply", in any case, after any empty lines) that the reader would not return from, or only after
// minutes: its header never ends (no line of it starts with end_header: the file is cut short, or
// not a PLY file at all), or it declares more elements of a kind than the file has bytes. nullopt
// for every other file.
std::optional<std::string> PlyHeaderProblem(const std::string& path);

}  // namespace importer
