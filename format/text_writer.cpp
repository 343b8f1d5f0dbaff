#include "format/text_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
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
    // The common case, a value that came from a float, with up to 6 decimals: value x 10^decimals is
    // exact in a double (24 bits of mantissa times at most 15625 x 2^6), so rounding it to an integer
    // (to nearest, ties to even, as printf rounds the exact value) gives printf's digits.
    static constexpr double kScale[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6};
    if (decimals >= 0 && decimals <= 6 && double(float(value)) == value && std::fabs(value) < 1e12) {
        const double scaled = std::nearbyint(value * kScale[decimals]);
        const auto units = static_cast<std::uint64_t>(std::fabs(scaled));
        const auto scale = static_cast<std::uint64_t>(kScale[decimals]);
        if (std::signbit(value)) text_ += '-';
        char digits[24];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, units / scale);
        text_.append(digits, std::size_t(end - digits));
        if (decimals > 0) {
            char fraction[8] = {'.', '0', '0', '0', '0', '0', '0', '0'};
            std::uint64_t rest = units % scale;
            for (int i = decimals; i > 0; --i, rest /= 10) fraction[i] = char('0' + rest % 10);
            text_.append(fraction, std::size_t(decimals) + 1);
        }
        return *this;
    }
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
