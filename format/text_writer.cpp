#include "format/text_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace vlo {
namespace {

constexpr std::size_t kBlock = 1 << 16;
// Lines spread over threads: blocks of this many lines (about 100 KiB of text), at most this many
// blocks held at once, so the text in memory stays bounded whatever the count.
constexpr std::size_t kLinesPerBlock = 2048;
constexpr std::size_t kBlocksInFlight = 8;
// How many lanes take blocks: as many as the spread runs at once, up to this.
constexpr std::size_t kLanes = 8;

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
    char digits[24] = {};
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    const std::size_t length = std::size_t(end - digits);
    const std::size_t fill = std::size_t(width) > length ? std::size_t(width) - length : 0;
    // Room for the whole digit buffer: copying it whole is one fixed-size move, the characters after
    // the number are overwritten by the next piece.
    char* out = Room(fill + sizeof digits);
    if (fill > 0 && pad == '0' && value < 0) {  // the sign comes before the zeros: "-01"
        *out = '-';
        std::memset(out + 1, '0', fill);
        std::memcpy(out + 1 + fill, digits + 1, sizeof digits - 1);
    } else {
        for (std::size_t i = 0; i < fill; ++i) out[i] = pad;
        std::memcpy(out + fill, digits, sizeof digits);
    }
    used_ += fill + length;
    return *this;
}

namespace {

// value rounded to a whole number, ties to even (as nearbyint in the default rounding mode): adding
// and taking away 1.5 x 2^52 leaves the nearest integer for any |value| below 2^51.
double RoundToEven(double value) {
    constexpr double kMagic = 6755399441055744.0;
    return std::fabs(value) < 2251799813685248.0 ? (value + kMagic) - kMagic : std::nearbyint(value);
}

constexpr std::uint64_t Pow10(int n) { return n == 0 ? 1 : 10 * Pow10(n - 1); }

// "%.Df" of a value that came from a float, |value| < 1e12, into out; returns the length. With the
// number of decimals fixed at compile time the splitting into digits divides by constants.
template <int D>
std::size_t FixedFromFloat(double value, char* out) {
    constexpr std::uint64_t kScale = Pow10(D);
    // value x 10^D is exact in a double (24 bits of mantissa times at most 15625 x 2^6), so rounding
    // it to an integer (to nearest, ties to even, as printf rounds the exact value) gives printf's
    // digits.
    const auto units = static_cast<std::uint64_t>(std::fabs(RoundToEven(value * double(kScale))));
    char* p = out;
    if (std::signbit(value)) *p++ = '-';
    p = std::to_chars(p, p + 20, units / kScale).ptr;
    if constexpr (D > 0) {
        *p = '.';
        std::uint64_t rest = units % kScale;
        for (int i = D; i > 0; --i, rest /= 10) p[i] = char('0' + rest % 10);
        p += D + 1;
    }
    return std::size_t(p - out);
}

}  // namespace

TextWriter& TextWriter::Fixed(double value, int decimals) {
    // The common case: a value that came from a float, with up to 6 decimals.
    if (decimals >= 0 && decimals <= 6 && double(float(value)) == value && std::fabs(value) < 1e12) {
        // A sign, 13 integer digits, a point and 6 decimals.
        char* out = Room(32);
        switch (decimals) {
            case 0: used_ += FixedFromFloat<0>(value, out); break;
            case 1: used_ += FixedFromFloat<1>(value, out); break;
            case 2: used_ += FixedFromFloat<2>(value, out); break;
            case 3: used_ += FixedFromFloat<3>(value, out); break;
            case 4: used_ += FixedFromFloat<4>(value, out); break;
            case 5: used_ += FixedFromFloat<5>(value, out); break;
            default: used_ += FixedFromFloat<6>(value, out); break;
        }
        return *this;
    }
    // Room for the largest double's 309 integer digits, a sign, a point and the decimals.
    char digits[400];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    return Str(std::string_view(digits, std::size_t(end - digits)));
}

TextWriter& TextWriter::Hex(unsigned value) {
    char* out = Room(8);
    used_ += std::size_t(std::to_chars(out, out + 8, value, 16).ptr - out);
    return *this;
}

TextWriter& TextWriter::EndLine() {
    std::memcpy(Room(2), "\r\n", 2);
    used_ += 2;
    if (sink_ && used_ >= kBlock) Flush();
    return *this;
}

std::string TextWriter::Take() {
    buffer_.resize(used_);
    used_ = 0;
    return std::move(buffer_);
}

void TextWriter::Flush() {
    if (!sink_ || used_ == 0) return;
    sink_(Text());
    used_ = 0;
}

void TextWriter::InBlocks(std::size_t count,
                          const std::function<void(TextWriter&, std::size_t, std::size_t)>& write) {
    if (!forEach_ || count <= kLinesPerBlock) {
        write(*this, 0, count);
        return;
    }
    // An ordered pipeline over the whole run: each lane takes the next block, formats it into its
    // slot, and the lane that finds the oldest unwritten block finished hands it on, with every
    // finished block after it, while the other lanes go on formatting. Block k uses slot k % slots,
    // which is free once block k - slots has been handed on, so at most `slots` blocks are held. A
    // lane waits only for a block claimed before its own; the lane formatting the oldest unwritten
    // block never waits, so the pipeline always moves, also when the lanes run one after another.
    // The slots' buffers are kept for every later run of lines.
    const std::size_t blockCount = (count + kLinesPerBlock - 1) / kLinesPerBlock;
    const std::size_t slots = std::min(kBlocksInFlight, blockCount);
    if (blocks_.size() < slots) blocks_.resize(slots);
    std::vector<char> finished(slots, 0);  // slot holds a formatted block not yet handed on
    std::size_t claimed = 0, handedOn = 0;
    bool handing = false;  // a lane is handing blocks on
    std::mutex lock;
    std::condition_variable room;
    auto handOn = [this](TextWriter& block) {
        if (sink_) {  // as it is, after the text before it
            Flush();
            sink_(block.Text());
        } else {
            Str(block.Text());
        }
        block.used_ = 0;
    };
    auto lane = [&](std::size_t) {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            const std::size_t k = claimed;
            if (k == blockCount) return;
            ++claimed;
            room.wait(held, [&] { return k < handedOn + slots; });
            held.unlock();
            TextWriter& block = blocks_[k % slots];
            write(block, k * kLinesPerBlock, std::min(count, (k + 1) * kLinesPerBlock));
            held.lock();
            finished[k % slots] = 1;
            if (handing) continue;
            handing = true;
            while (handedOn < blockCount && finished[handedOn % slots]) {
                TextWriter& next = blocks_[handedOn % slots];
                held.unlock();
                handOn(next);
                held.lock();
                finished[handedOn % slots] = 0;
                ++handedOn;
                room.notify_all();
            }
            handing = false;
        }
    };
    forEach_(kLanes, lane);
}

void TextWriter::Grow(std::size_t n) {
    // Doubling: a text kept in memory costs amortised constant time per character.
    buffer_.resize(std::max({buffer_.size() * 2, used_ + n, std::size_t(256)}));
}

void TextWriter::Append(const char* text, std::size_t length) {
    for (const char* end = text + length; text != end;) {
        const char* newline = static_cast<const char*>(std::memchr(text, '\n', std::size_t(end - text)));
        const char* stop = newline ? newline : end;
        Str(std::string_view(text, std::size_t(stop - text)));
        if (!newline) break;
        Str("\r\n");
        text = newline + 1;
    }
    if (sink_ && used_ >= kBlock) Flush();
}

}  // namespace vlo
