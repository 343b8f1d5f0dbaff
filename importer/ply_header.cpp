#include "importer/ply_header.h"

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace importer {
namespace {

// The next line of in (ended by \n, \r or the file's end), its first 256 bytes: header lines are
// short. False at the end of the file.
bool NextLine(std::istream& in, std::string& line) {
    line.clear();
    bool any = false;
    for (char c; in.get(c);) {
        any = true;
        if (c == '\n' || c == '\r') return true;
        if (line.size() < 256) line += c;
    }
    return any;
}

// The words of a line, between spaces and tabs (what assimp's reader takes for spaces).
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : line + ' ') {
        if (c != ' ' && c != '\t') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

// The number its leading digits make, at most UINT64_MAX.
std::uint64_t LeadingNumber(const std::string& text) {
    std::uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        const std::uint64_t digit = std::uint64_t(c - '0');
        if (n > (UINT64_MAX - digit) / 10) return UINT64_MAX;
        n = n * 10 + digit;
    }
    return n;
}

}  // namespace

std::optional<std::string> PlyHeaderProblem(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    // The magic word at the start of the first line that is not empty (assimp's reader skips empty
    // lines too); other files are read no further.
    char c = '\n';
    while ((c == '\n' || c == '\r') && in.get(c)) {
    }
    for (int i = 0; i < 3; ++i, in.get(c))
        if (!in || std::tolower(static_cast<unsigned char>(c)) != "ply"[i]) return std::nullopt;
    in.unget();
    std::string line;
    NextLine(in, line);
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    while (NextLine(in, line)) {
        const std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        if (words[0] == "end_header") return std::nullopt;
        // Each element takes at least one byte (a line in text; one without properties is of no use).
        if (words[0] == "element" && words.size() >= 3 && !error && LeadingNumber(words[2]) > bytes)
            return "its PLY header declares " + words[2] + " '" + words[1] + "' elements, more than its " +
                   std::to_string(bytes) + " bytes could hold (the file is damaged)";
    }
    return "its PLY header has no end_header line (the file is cut short, or not a PLY file)";
}

}  // namespace importer
