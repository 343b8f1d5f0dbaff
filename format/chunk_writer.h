// Chunks with back-patched sizes: a chunk is begun with a provisional header (size 12), its payload
// written, and then the header rewritten with the real size by seeking back.
#pragma once

#include <cstdint>

#include "format/byte_sink.h"
#include "format/records.h"

namespace vlo {

class ChunkWriter {
public:
    explicit ChunkWriter(ByteSink& sink) : sink_(sink) {}

    // Writes a provisional chunk header and returns the chunk's start position.
    std::uint64_t Begin(std::uint32_t type);
    // Rewrites the header begun at start with size = current position - start, then returns to the end.
    void End(std::uint64_t start, std::uint32_t type);
    // Writes header and payload of a chunk holding one record.
    template <class T>
    void WriteSingle(std::uint32_t type, const T& record) {
        const auto start = Begin(type);
        sink_.WriteRecord(record);
        End(start, type);
    }
    // Writes a chunk holding a u32 count and then the records.
    template <class T>
    void WriteCounted(std::uint32_t type, const T* records, std::uint32_t count) {
        const auto start = Begin(type);
        sink_.WriteRecord(count);
        if (count != 0) sink_.Write(records, sizeof(T) * count);
        End(start, type);
    }

private:
    ByteSink& sink_;
};

}  // namespace vlo
