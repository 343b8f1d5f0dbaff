#include "importer/used_files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "format/vlo_reader.h"
#include "importer/gltf_facts.h"
#include "importer/lower_case.h"

namespace importer {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    vlo::ReadFileBytes(path, bytes, error);
    return std::string(bytes.begin(), bytes.end());
}

// The files a glTF file's buffers and images name (their uris decoded).
std::vector<std::string> GltfUris(const std::string& json) {
    std::vector<std::string> uris;
    const auto doc = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
    if (!doc.is_object()) return uris;
    for (const char* list : {"buffers", "images"}) {
        const auto it = doc.find(list);
        if (it == doc.end() || !it->is_array()) continue;
        for (const auto& entry : *it)
            if (entry.is_object() && entry.contains("uri") && entry["uri"].is_string()) {
                const std::string uri = entry["uri"];
                if (uri.rfind("data:", 0) != 0) uris.push_back(GltfUriPath(uri));
            }
    }
    return uris;
}

std::vector<std::string> ObjLibraries(const std::string& bytes) {
    std::vector<std::string> names;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("mtllib", 0) != 0) continue;
        std::istringstream words(line.substr(6));
        for (std::string name; words >> name;) names.push_back(name);
    }
    return names;
}

}  // namespace

std::vector<std::string> UsedFiles(const std::string& path, const std::vector<std::string>& textures,
                                   const std::string& gltfJson) {
    const fs::path folder = fs::absolute(path).parent_path();
    const std::string ext = LowerCaseExtension(path);
    std::vector<std::string> references = textures;
    if (ext == "gltf" || ext == "glb") {
        const auto uris = GltfUris(gltfJson);
        references.insert(references.end(), uris.begin(), uris.end());
    } else if (ext == "obj") {
        const auto libraries = ObjLibraries(ReadAll(path));
        references.insert(references.end(), libraries.begin(), libraries.end());
    }
    std::vector<std::string> files{fs::absolute(path).lexically_normal().string()};
    auto add = [&files](const fs::path& candidate) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) files.push_back(fs::absolute(candidate).lexically_normal().string());
    };
    for (std::string reference : references) {
        std::replace(reference.begin(), reference.end(), '\\', '/');
        const fs::path stored(reference);
        add(stored.is_absolute() ? stored : folder / stored);
        add(folder / stored.filename());
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

}  // namespace importer
