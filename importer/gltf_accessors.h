// glTF data that assimp's glTF reader does not read as the file means it.
//
// glTF lets a file store vertex attributes, bone weights and animation keys as integers: texture
// coordinates, colours and weights as normalized bytes or shorts (the core format), positions and
// normals too with KHR_mesh_quantization (gltfpack's default), rotation keys as normalized shorts.
// assimp reads every such accessor as if it held floats and gives garbage without an error: a
// model squashed to a point, weights that bind no vertex, rotations that are not finite. It also
// reads a sparse accessor whose buffer view states a stride past the end of what it allocated,
// crashes on a skin without inverse bind matrices (which the format makes identities), and loses
// the indices of a Draco-compressed mesh that states 32-bit ones. The import therefore hands assimp
// a copy of such a file with dense float accessors, every skin's matrices and 16-bit Draco indices
// where they fit.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <vector>

namespace importer {

// The object at index of the document's list ("accessors", "nodes", ...), when index names one.
const nlohmann::json* GltfElement(const nlohmann::json& doc, const char* list, const nlohmann::json& index);

// The accessors of a glTF document that assimp misreads: those of vertex attributes but the joint
// indices (of meshes and their shape keys) and of animation keys that hold integers or sparse
// values. In index order.
std::vector<std::size_t> AccessorsAssimpMisreads(const nlohmann::json& doc);

// The extensions a glTF document requires that the import cannot read, each with what to do.
std::vector<std::string> UnreadableRequiredExtensions(const nlohmann::json& doc);

// Whether assimp must be given GltfCopyForAssimp of the document instead of the file: some accessor
// is one it misreads, some skin has no inverse bind matrices, or a Draco mesh of at most 65,536
// vertices states 32-bit indices.
bool AssimpNeedsACopy(const nlohmann::json& doc);

// The bytes of the glTF or GLB file at path with every accessor AccessorsAssimpMisreads names
// turned into dense floats (normalized integers scaled into -1..1 or 0..1 as the format defines,
// other integers as they are, sparse substitutions applied) held in a buffer of their own, identity
// inverse bind matrices for every skin without its own, and the 32-bit indices of small Draco meshes
// stated as 16-bit ones (the decoder gives them either way); every other part of the file is kept as
// it is. Nothing, with why, when the file or a buffer it names cannot be read or an accessor
// reaches outside its buffer.
std::optional<std::string> GltfCopyForAssimp(const std::string& path, std::string& why);

}  // namespace importer
