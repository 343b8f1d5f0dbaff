// The files a scene file is made of, so that nothing the scene needs is ever overwritten and a build
// knows what to watch.
#pragma once

#include <string>
#include <vector>

namespace importer {

// path itself and the files it references that exist: a glTF file's buffers and images (gltfFiles,
// GltfFacts::files, read with its other facts), OBJ material libraries, and the textures given (as
// the scene stores them, and by their file name beside the scene). Absolute, normalised, sorted,
// each once.
std::vector<std::string> UsedFiles(const std::string& path, const std::vector<std::string>& textures,
                                   const std::vector<std::string>& gltfFiles);

}  // namespace importer
