#include "format/text_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace vlo {

void TextWriter::Printf(const char* format, ...) {
    // Most lines fit the stack buffer: one formatting pass, no allocation.
    char stack[512];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(stack, sizeof stack, format, args);
    va_end(args);
    if (length < 0) {
        va_end(copy);
        return;
    }
    if (std::size_t(length) < sizeof stack) {
        Append(stack, std::size_t(length));
    } else {
        std::string heap(std::size_t(length), '\0');
        std::vsnprintf(heap.data(), heap.size() + 1, format, copy);
        Append(heap.data(), heap.size());
    }
    va_end(copy);
}

void TextWriter::Append(const char* text, std::size_t length) {
    for (const char* end = text + length; text != end;) {
        const char* newline = static_cast<const char*>(std::memchr(text, '\n', std::size_t(end - text)));
        const char* stop = newline ? newline : end;
        text_.append(text, stop);
        if (!newline) break;
        text_ += "\r\n";
        text = newline + 1;
    }
}

}  // namespace vlo
