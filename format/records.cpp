#include "format/records.h"

namespace vlo {

std::size_t FittingLength(const char* text, std::size_t size) {
    if (!text) return 0;
    std::size_t length = 0;
    while (length < size && text[length] != '\0') ++length;
    if (length < size || text[length] == '\0') return length;
    // Cut inside a character (its next byte continues it): the cut moves back to the character's start.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    return length;
}

std::string FileNamePart(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    if (slash != std::string_view::npos) return std::string(path.substr(slash + 1));
    // A colon marks a drive only as the second character ("C:Grass.tga"); elsewhere it is part of the name.
    return std::string(path.size() >= 2 && path[1] == ':' ? path.substr(2) : path);
}

}  // namespace vlo
