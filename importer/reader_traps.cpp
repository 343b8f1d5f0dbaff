#include "importer/reader_traps.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "importer/collada_check.h"
#include "importer/lower_case.h"

namespace importer {
namespace {

// The line of text at at, as assimp's reader takes lines: one runs to the first \n, \r, \0 or \f,
// which is consumed; a line that would start with one of them is skipped up to the next \n (so
// "\r\n" ends one line, but in "\n\rend_header\n" the end_header line is lost). Sets at to where
// the next line starts.
std::string_view LineAt(std::string_view text, std::size_t& at) {
    static constexpr std::string_view kLineEnds("\n\r\0\f", 4);
    if (at < text.size() && kLineEnds.find(text[at]) != std::string_view::npos)
        at = std::min(text.find('\n', at), text.size() - 1) + 1;
    const std::size_t end = std::min(text.find_first_of(kLineEnds, std::min(at, text.size())), text.size());
    const std::string_view line = text.substr(std::min(at, text.size()), end - std::min(at, text.size()));
    at = end + 1;
    return line;
}

// The words of a line, between spaces and tabs (what assimp's reader takes for spaces).
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    for (std::size_t at = 0; (at = line.find_first_not_of(" \t", at)) != std::string_view::npos;) {
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

// The number its leading digits make, at most UINT64_MAX.
std::uint64_t LeadingNumber(std::string_view text) {
    std::uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        const std::uint64_t digit = std::uint64_t(c - '0');
        if (n > (UINT64_MAX - digit) / 10) return UINT64_MAX;
        n = n * 10 + digit;
    }
    return n;
}

std::optional<std::string> PlyHeaderProblem(std::string_view text) {
    // The magic word at the start of the first line that is not empty (assimp's reader skips empty
    // lines too).
    std::size_t at = std::min(text.find_first_not_of("\r\n"), text.size());
    if (text.size() - at < 3) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != "ply"[i]) return std::nullopt;
    LineAt(text, at);
    std::set<std::string_view> elements;
    while (at < text.size()) {
        const std::vector<std::string_view> words = Words(LineAt(text, at));
        if (words.empty()) continue;
        if (words[0] == "end_header") return std::nullopt;
        if (words[0] != "element") continue;
        // assimp's reader writes past the arrays of an element declared twice.
        if (words.size() >= 2 && !elements.insert(words[1]).second)
            return "its PLY header declares the element '" + std::string(words[1]) + "' twice (the file is damaged)";
        // Each element takes at least one byte (a line in text; one without properties is of no use).
        if (words.size() >= 3 && LeadingNumber(words[2]) > text.size())
            return "its PLY header declares " + std::string(words[2]) + " '" + std::string(words[1]) +
                   "' elements, more than its " + std::to_string(text.size()) + " bytes could hold (the file is damaged)";
        // assimp's reader takes the count of an element of a kind it does not know from the start of
        // its name: a name that starts with a number (a damaged line) is a count too.
        if (words.size() >= 2 && LeadingNumber(words[1]) > text.size())
            return "its PLY header names an element '" + std::string(words[1]) +
                   "', whose leading number assimp's reader takes for its count, more than its " +
                   std::to_string(text.size()) + " bytes could hold (the file is damaged)";
    }
    return "its PLY header has no end_header line (the file is cut short, is no PLY file, or a stray carriage return "
           "before the line hides it from assimp's reader)";
}

// Named .dae, or "<COLLADA" (in any case) in its first kilobyte.
bool IsCollada(const std::string& path, std::string_view text) {
    return LowerCaseExtension(path) == "dae" || Lower(std::string(text.substr(0, 1024))).find("<collada") != std::string::npos;
}

}  // namespace

std::optional<std::string> ReaderTrap(const std::string& path, std::map<std::string, BindShape>* bindShapes) {
    // The file's pages as the system holds them, mapped rather than copied: most files are looked
    // at in their first bytes only, and a COLLADA text of tens of megabytes is read in a few
    // milliseconds before assimp reads it again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string(std::strerror(errno));  // "Permission denied", where assimp gives no reason
    struct stat info {};
    void* pages = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        pages = ::mmap(nullptr, std::size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (pages == MAP_FAILED) return std::nullopt;
    const std::string_view text(static_cast<const char*>(pages), std::size_t(info.st_size));
    std::optional<std::string> problem = PlyHeaderProblem(text);
    if (!problem && IsCollada(path, text)) {
        ::madvise(pages, text.size(), MADV_WILLNEED);
        ColladaScan scan = ScanCollada(text);
        problem = std::move(scan.problem);
        if (bindShapes) *bindShapes = std::move(scan.bindShapes);
    }
    ::munmap(pages, text.size());
    return problem;
}

}  // namespace importer
