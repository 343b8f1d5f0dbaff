#include "format/chunk_writer.h"

namespace vlo {

std::uint64_t ChunkWriter::Begin(std::uint32_t type) {
    const std::uint64_t start = file_.Tell();
    ChunkHeader header;
    header.type = type;
    file_.WriteRecord(header);
    return start;
}

void ChunkWriter::End(std::uint64_t start, std::uint32_t type) {
    const std::uint64_t end = file_.Tell();
    ChunkHeader header;
    header.type = type;
    header.size = std::uint32_t(end - start);
    file_.Seek(start);
    file_.WriteRecord(header);
    file_.Seek(end);
}

}  // namespace vlo
