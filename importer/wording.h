// Pieces of messages: lists of names and counts of things.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace importer {

// names as "a, b, c".
inline std::string CommaList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
    return list;
}

// n with the word for that many: "1 value", "12 values", "1 vertex", "3 vertices".
inline std::string CountOf(std::size_t n, const std::string& one, const std::string& many = "") {
    return std::to_string(n) + " " + (n == 1 ? one : many.empty() ? one + "s" : many);
}

}  // namespace importer
