// Pieces of the importer's messages.
#pragma once

#include <string>
#include <vector>

namespace importer {

// names as "a, b, c".
inline std::string CommaList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
    return list;
}

}  // namespace importer
