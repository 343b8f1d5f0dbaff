// ASCII lower case for the importer's comparisons of names and file extensions, where case does not
// matter (.FBX is .fbx). Bytes outside ASCII are left as they are.
#pragma once

#include <cctype>
#include <filesystem>
#include <string>

namespace importer {

inline std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The file name's extension in lower case, without its dot ("" for none).
inline std::string LowerCaseExtension(const std::string& path) {
    const std::string ext = Lower(std::filesystem::path(path).extension().string());
    return ext.empty() ? ext : ext.substr(1);
}

}  // namespace importer
