#include "importer/reader_traps.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool IsCollada(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == ".dae") return true;
    std::ifstream in(path, std::ios::binary);
    std::string start(1024, '\0');
    in.read(start.data(), std::streamsize(start.size()));
    start.resize(std::size_t(in.gcount()));
    std::transform(start.begin(), start.end(), start.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return start.find("<collada") != std::string::npos;
}

// The COLLADA elements whose text is a list of whole numbers, which assimp's reader counts through
// without end when one of them is not a number.
bool IsIndexList(std::string_view tag) { return tag == "p" || tag == "vcount" || tag == "v" || tag == "h"; }

bool InWholeNumbers(char c) {
    return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '-' || c == '+';
}

// Whether a tag's attributes hold count="N", N one or more digits (in either quotes).
bool WholeNumberCount(std::string_view attributes) {
    const std::size_t at = attributes.find("count=");
    if (at == std::string_view::npos || at + 7 > attributes.size()) return false;
    const char quote = attributes[at + 6];
    if (quote != '"' && quote != '\'') return false;
    const std::size_t end = attributes.find(quote, at + 7);
    if (end == std::string_view::npos || end == at + 7) return false;
    for (std::size_t i = at + 7; i < end; ++i)
        if (attributes[i] < '0' || attributes[i] > '9') return false;
    return true;
}

std::string LineOf(std::string_view text, std::size_t at) {
    return std::to_string(1 + std::count(text.begin(), text.begin() + std::ptrdiff_t(at), '\n'));
}

// The first array without a whole-number count, or list of indices or counts with something other than
// whole numbers in it. The file is read as tags and text, skipping comments; only the text of those
// lists is looked at, the rest is passed over from one '<' to the next.
std::optional<std::string> ColladaListProblem(std::string_view text) {
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        ++at;
        if (text.substr(at, 3) == "!--") {
            at = text.find("-->", at + 3);
            if (at == std::string_view::npos) break;
            continue;
        }
        const std::size_t nameEnd = std::min(text.find_first_of(">/ \t\r\n", at), text.size());
        const std::string_view tag = text.substr(at, nameEnd - at);
        at = nameEnd;
        const bool array = tag.size() > 6 && tag.substr(tag.size() - 6) == "_array";
        if (!IsIndexList(tag) && !array) continue;
        const std::size_t tagEnd = text.find('>', at);
        if (tagEnd == std::string_view::npos) break;
        // An array without a count that is a whole number: assimp's reader would read outside it.
        if (array && !WholeNumberCount(text.substr(at, tagEnd - at)))
            return "its COLLADA <" + std::string(tag) + "> on line " + LineOf(text, at) +
                   " has no count that is a whole number (the file is damaged)";
        at = tagEnd + 1;
        if (array) continue;
        if (text[tagEnd - 1] == '/') continue;  // an empty element: <p/>
        const std::size_t listEnd = std::min(text.find('<', at), text.size());
        // Looked at without a branch per character first (lists are long): where one is wrong, again
        // to find it.
        bool whole = true;
        for (std::size_t i = at; i < listEnd; ++i) whole &= InWholeNumbers(text[i]);
        if (whole) {
            at = listEnd;
            continue;
        }
        for (; at < listEnd; ++at)
            if (!InWholeNumbers(text[at]))
                return "its COLLADA <" + std::string(tag) + "> list on line " + LineOf(text, at) +
                       " holds something other than whole numbers (the file is damaged)";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReaderTrap(const std::string& path) {
    if (std::optional<std::string> ply = PlyHeaderProblem(path)) return ply;
    if (!IsCollada(path)) return std::nullopt;
    // The file's pages as the system holds them, mapped rather than copied: a text file of tens of
    // megabytes is read in a few milliseconds, before assimp reads it again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;  // assimp says why it cannot read it
    struct stat info {};
    void* pages = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        pages = ::mmap(nullptr, std::size_t(info.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (pages == MAP_FAILED) return std::nullopt;
    const std::size_t size = std::size_t(info.st_size);
    std::optional<std::string> problem = ColladaListProblem({static_cast<const char*>(pages), size});
    ::munmap(pages, size);
    return problem;
}

}  // namespace importer
