// A check of a COLLADA text for the damage assimp's COLLADA reader does not survive, made before
// assimp reads it.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace importer {

// Why the COLLADA text cannot be given to assimp; nullopt when none of these is found (the file
// may still be damaged in ways assimp reports itself):
//  - a list of indices or counts (<p>, <vcount>, <v>, <h>) with something other than whole numbers:
//    assimp's reader counts through it for ever;
//  - an array (<float_array>, <Name_array>...) without a count that is a whole number, or holding
//    another number of values than its count: assimp reads it by its count, and outside it;
//  - an <accessor> whose count, offset and stride reach past the end of its array;
//  - a skin whose <vertex_weights> has another number of counts in <vcount> than its count says,
//    fewer than its mesh's vertices, or a <v> pair naming a joint or weight its sources do not
//    hold: assimp reads those outside its arrays (crashes, or an assertion that ends the program).
std::optional<std::string> ColladaProblem(std::string_view text);

// A skin's bind shape matrix (the mesh's place in the skin's space, which assimp folds into the
// bones' inverse bind matrices but not into the mesh), as the file writes it: 16 numbers, row by row.
using BindShape = std::array<double, 16>;

// What ColladaProblem finds, and, when the text has no problem, the bind shape matrix of each node
// that instantiates a skin whose bind shape matrix is not the identity, by the node's name as
// assimp gives it with COLLADA names (its name, else its id).
struct ColladaScan {
    std::optional<std::string> problem;
    std::map<std::string, BindShape> bindShapes;
};
ColladaScan ScanCollada(std::string_view text);

}  // namespace importer
