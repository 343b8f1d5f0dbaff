// Chunks with back-patched sizes: a chunk is begun with a provisional header (size 12), its payload
// written, and then the header rewritten with the real size by seeking back. Every operation goes
// through the OutputFile, which checks it.
#pragma once

#include <cstdint>

#include "format/output_file.h"
#include "format/records.h"

namespace vlo {

class ChunkWriter {
public:
    explicit ChunkWriter(OutputFile& file) : file_(file) {}

    // Writes a provisional chunk header and returns the chunk's start position.
    std::uint64_t Begin(std::uint32_t type);
    // Rewrites the header begun at start with size = current position - start, then returns to the end.
    void End(std::uint64_t start, std::uint32_t type);
    // Writes header and payload of a chunk holding one record.
    template <class T>
    void WriteSingle(std::uint32_t type, const T& record) {
        const auto start = Begin(type);
        file_.WriteRecord(record);
        End(start, type);
    }
    // Writes a chunk holding a u32 count and then the records.
    template <class T>
    void WriteCounted(std::uint32_t type, const T* records, std::uint32_t count) {
        const auto start = Begin(type);
        file_.WriteRecord(count);
        if (count != 0) file_.Write(records, sizeof(T) * count);
        End(start, type);
    }

    OutputFile& File() { return file_; }

private:
    OutputFile& file_;
};

}  // namespace vlo
