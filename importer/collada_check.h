// A check of a COLLADA text for the damage assimp's COLLADA reader does not survive, made before
// assimp reads it.
#pragma once

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

}  // namespace importer
