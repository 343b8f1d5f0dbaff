// Builds the information text files: printf-style lines, each "\n" written as "\r\n" (the host
// writes its text files in text mode). The text is kept in memory, or handed to a sink in blocks as
// it grows, so that a large text is never held whole.
//
// The per-record lines are built from pieces (Int, Fixed, Hex, Str) that give exactly the characters
// of the printf conversion each names, without parsing a format string per value. Long runs of such
// lines (Lines) can be formatted on several threads; the text is the same whatever their number.
#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vlo {

class TextWriter {
public:
    using Sink = std::function<void(std::string_view block)>;

    // The text stays in memory: Text(), Take().
    TextWriter() = default;
    // The text goes to sink in blocks of about 64 KiB; Flush() hands on the rest.
    explicit TextWriter(Sink sink) : sink_(std::move(sink)) {}

    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // "%s": text holds no line end.
    TextWriter& Str(std::string_view text) {
        std::memcpy(Room(text.size()), text.data(), text.size());
        used_ += text.size();
        return *this;
    }
    // "%d" with width 0, "%5d" with width 5 and pad ' ', "%03d" with width 3 and pad '0'.
    TextWriter& Int(long long value, int width = 0, char pad = ' ');
    // "%.Nf" with N decimals ("%f" is 6) of value (a float is passed as printf receives it: as double).
    TextWriter& Fixed(double value, int decimals);
    // "%x".
    TextWriter& Hex(unsigned value);
    // "\n", written as "\r\n".
    TextWriter& EndLine();

    // Runs work(i) once for every i in [0, count), in any order, on any threads; returns when every
    // call has returned.
    using ForEach = std::function<void(std::size_t count, const std::function<void(std::size_t)>& work)>;
    // From now on Lines formats its lines in blocks spread over forEach.
    void SpreadLinesWith(ForEach forEach) { forEach_ = std::move(forEach); }

    // count lines, line i written by line(out, i), where out is this writer or one of a block of
    // lines: the text is the same as line(*this, i) for every i in order. line must only write to out
    // and read what no other line changes.
    template <class Line>
    void Lines(std::size_t count, Line&& line) {
        InBlocks(count, [&line](TextWriter& out, std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) line(out, i);
        });
    }

    // The text so far (the part not yet handed to the sink); valid until the next write.
    std::string_view Text() const { return {buffer_.data(), used_}; }
    std::string Take();
    // Hands the text kept so far to the sink, when there is one.
    void Flush();

private:
    // Where the next n characters go: at least n bytes of room after the text.
    char* Room(std::size_t n) {
        if (buffer_.size() - used_ < n) Grow(n);
        return buffer_.data() + used_;
    }
    void Grow(std::size_t n);
    void Append(const char* text, std::size_t length);
    // write(out, begin, end) writes lines [begin, end) to out: all of them to this writer, or blocks
    // of them to writers of their own, formatted by lanes spread over forEach_ and taken in order.
    void InBlocks(std::size_t count, const std::function<void(TextWriter&, std::size_t, std::size_t)>& write);

    // Pieces are written straight into the buffer: buffer_ is the storage (its size the room), used_
    // the length of the text in it.
    std::string buffer_;
    std::size_t used_ = 0;
    Sink sink_;
    ForEach forEach_;
    std::vector<TextWriter> blocks_;  // the slots for blocks of Lines, when spread over forEach_
};

}  // namespace vlo
