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

}  // namespace vlo
