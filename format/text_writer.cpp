#include "format/text_writer.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace vlo {
namespace {

constexpr std::size_t kBlock = 1 << 16;

}  // namespace

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

TextWriter& TextWriter::Int(long long value, int width, char pad) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    const std::size_t length = std::size_t(end - digits);
    if (std::size_t(width) > length) {
        const std::size_t fill = std::size_t(width) - length;
        if (pad == '0' && value < 0) {  // the sign comes before the zeros: "-01"
            text_ += '-';
            text_.append(fill, '0');
            text_.append(digits + 1, length - 1);
            return *this;
        }
        text_.append(fill, pad);
    }
    text_.append(digits, length);
    return *this;
}

TextWriter& TextWriter::Fixed(double value, int decimals) {
    // Room for the largest double's 309 integer digits, a sign, a point and the decimals.
    char digits[400];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    text_.append(digits, std::size_t(end - digits));
    return *this;
}

TextWriter& TextWriter::Hex(unsigned value) {
    char digits[12];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, 16);
    text_.append(digits, std::size_t(end - digits));
    return *this;
}

TextWriter& TextWriter::EndLine() {
    text_ += "\r\n";
    if (sink_ && text_.size() >= kBlock) Flush();
    return *this;
}

void TextWriter::Flush() {
    if (!sink_ || text_.empty()) return;
    sink_(text_);
    text_.clear();
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
    if (sink_ && text_.size() >= kBlock) Flush();
}

}  // namespace vlo
