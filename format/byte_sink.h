// Where the file writers put their bytes: a position that can be moved back to patch a header, and
// writes that overwrite or extend from there.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace vlo {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes size bytes at the current position (overwriting, then extending) and moves past them.
    virtual void Write(const void* data, std::size_t size) = 0;
    virtual std::uint64_t Tell() const = 0;
    // Moves the position to an offset at or before the end.
    virtual void Seek(std::uint64_t position) = 0;

    template <class T>
    void WriteRecord(const T& record) {
        Write(&record, sizeof(T));
    }
};

// A sink that keeps the bytes in memory; the writers build whole files in one of these.
class MemorySink final : public ByteSink {
public:
    void Write(const void* data, std::size_t size) override {
        if (position_ + size > bytes_.size()) bytes_.resize(position_ + size);
        if (size != 0) std::memcpy(bytes_.data() + position_, data, size);
        position_ += size;
    }
    std::uint64_t Tell() const override { return position_; }
    void Seek(std::uint64_t position) override { position_ = position <= bytes_.size() ? position : bytes_.size(); }
    // Room for size bytes, so that a file of known size is built without reallocating.
    void Reserve(std::size_t size) { bytes_.reserve(size); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// A sink that hands its bytes on in blocks of about 64 KiB as they come (to a file, say), so that a
// large file is never held whole. It cannot move back: Seek only to the current position.
class StreamSink final : public ByteSink {
public:
    using Out = std::function<void(const void* data, std::size_t size)>;
    explicit StreamSink(Out out) : out_(std::move(out)) {}
    void Write(const void* data, std::size_t size) override {
        position_ += size;
        if (size >= kBlock) {  // large writes pass straight through
            Flush();
            out_(data, size);
            return;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        buffer_.insert(buffer_.end(), bytes, bytes + size);
        if (buffer_.size() >= kBlock) Flush();
    }
    std::uint64_t Tell() const override { return position_; }
    void Seek(std::uint64_t position) override {
        if (position != position_) std::abort();  // a writer that patches headers needs a MemorySink
    }
    // Hands on what is buffered.
    void Flush() {
        if (!buffer_.empty()) out_(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

private:
    static constexpr std::size_t kBlock = 1 << 16;
    Out out_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t position_ = 0;
};

}  // namespace vlo
