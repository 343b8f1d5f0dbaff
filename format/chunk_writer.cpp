#include "format/chunk_writer.h"

namespace vlo {

std::uint64_t ChunkWriter::Begin(std::uint32_t type) {
    const std::uint64_t start = sink_.Tell();
    ChunkHeader header;
    header.type = type;
    sink_.WriteRecord(header);
    return start;
}

void ChunkWriter::End(std::uint64_t start, std::uint32_t type) {
    const std::uint64_t end = sink_.Tell();
    ChunkHeader header;
    header.type = type;
    header.size = std::uint32_t(end - start);
    sink_.Seek(start);
    sink_.WriteRecord(header);
    sink_.Seek(end);
}

}  // namespace vlo
