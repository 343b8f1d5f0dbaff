#include "importer/reader_traps.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace importer {
namespace {

// The line of text that starts at at (ended by \n, \r or the text's end), and where the next one
// starts.
std::string_view LineAt(std::string_view text, std::size_t& at) {
    const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    const std::string_view line = text.substr(at, end - at);
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
    while (at < text.size()) {
        const std::vector<std::string_view> words = Words(LineAt(text, at));
        if (words.empty()) continue;
        if (words[0] == "end_header") return std::nullopt;
        // Each element takes at least one byte (a line in text; one without properties is of no use).
        if (words[0] == "element" && words.size() >= 3 && LeadingNumber(words[2]) > text.size())
            return "its PLY header declares " + std::string(words[2]) + " '" + std::string(words[1]) +
                   "' elements, more than its " + std::to_string(text.size()) + " bytes could hold (the file is damaged)";
    }
    return "its PLY header has no end_header line (the file is cut short, or not a PLY file)";
}

// Named .dae, or "<COLLADA" (in any case) in its first kilobyte.
bool IsCollada(const std::string& path, std::string_view text) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return s;
    };
    return lower(std::filesystem::path(path).extension().string()) == ".dae" ||
           lower(std::string(text.substr(0, 1024))).find("<collada") != std::string::npos;
}

// The COLLADA elements whose text is a list of whole numbers, which assimp's reader counts through
// without end when one of them is not a number.
bool IsIndexList(std::string_view tag) { return tag == "p" || tag == "vcount" || tag == "v" || tag == "h"; }

bool InWholeNumbers(char c) {
    return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '-' || c == '+';
}

// N of count="N" in a tag's attributes (in either quotes), N one or more digits; none otherwise.
std::optional<std::uint64_t> WholeNumberCount(std::string_view attributes) {
    const std::size_t at = attributes.find("count=");
    if (at == std::string_view::npos || at + 7 > attributes.size()) return std::nullopt;
    const char quote = attributes[at + 6];
    if (quote != '"' && quote != '\'') return std::nullopt;
    const std::size_t end = attributes.find(quote, at + 7);
    if (end == std::string_view::npos || end == at + 7) return std::nullopt;
    std::uint64_t count = 0;
    for (std::size_t i = at + 7; i < end; ++i) {
        if (attributes[i] < '0' || attributes[i] > '9') return std::nullopt;
        // Beyond what any file could hold: kept at the limit rather than wrapped round.
        count = std::min<std::uint64_t>(count * 10 + std::uint64_t(attributes[i] - '0'), UINT64_MAX / 16);
    }
    return count;
}

// The values of an array's text: runs of anything but white space (and control characters, which
// no value holds). Counted where a value starts, without a branch per character: arrays are most of
// a COLLADA file's bytes.
std::uint64_t ValuesIn(std::string_view list) {
    if (list.empty()) return 0;
    auto space = [](char c) { return std::uint64_t(static_cast<unsigned char>(c) <= ' '); };
    std::uint64_t values = 1 - space(list[0]);
    for (std::size_t i = 1; i < list.size(); ++i) values += space(list[i - 1]) & (1 - space(list[i]));
    return values;
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
        const bool empty = text[tagEnd - 1] == '/';  // <p/>, <float_array count="0"/>
        const std::size_t listStart = tagEnd + 1;
        const std::size_t listEnd = empty ? listStart : std::min(text.find('<', listStart), text.size());
        if (array) {
            // An array must hold as many values as it says: assimp's reader reads an array by its
            // count and the file's indices into it by their own, outside it when it holds fewer.
            const std::optional<std::uint64_t> count = WholeNumberCount(text.substr(at, tagEnd - at));
            if (!count)
                return "its COLLADA <" + std::string(tag) + "> on line " + LineOf(text, at) +
                       " has no count that is a whole number (the file is damaged)";
            const std::uint64_t values = ValuesIn(text.substr(listStart, listEnd - listStart));
            if (values != *count)
                return "its COLLADA <" + std::string(tag) + "> on line " + LineOf(text, at) + " holds " +
                       std::to_string(values) + (values == 1 ? " value" : " values") + " where its count says " +
                       std::to_string(*count) + " (the file is damaged)";
            at = listEnd;
            continue;
        }
        at = listStart;
        if (empty) continue;
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
    // The file's pages as the system holds them, mapped rather than copied: most files are looked
    // at in their first bytes only, and a COLLADA text of tens of megabytes is read in a few
    // milliseconds before assimp reads it again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;  // assimp says why it cannot read it
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
        problem = ColladaListProblem(text);
    }
    ::munmap(pages, text.size());
    return problem;
}

}  // namespace importer
