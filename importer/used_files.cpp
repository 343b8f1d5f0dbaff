#include "importer/used_files.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "format/vlo_reader.h"
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
                                   const std::vector<std::string>& gltfFiles) {
    const fs::path folder = fs::absolute(path).parent_path();
    std::vector<std::string> references = textures;
    references.insert(references.end(), gltfFiles.begin(), gltfFiles.end());
    if (LowerCaseExtension(path) == "obj") {
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
