// Reading and validating VLO model files. The reader never trusts the bytes: every size, count and
// index is checked against the buffer before use, so truncated or corrupted files give findings,
// never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/records.h"
#include "format/vlo_model.h"

namespace vlo {

struct Finding {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::string text;
};

// Where things lie in a file that was read: what the reader saw beyond the model itself.
struct VloLayout {
    std::uint64_t fileSize = 0;
    std::uint32_t objectChunkSize = 0;
    std::uint32_t chunkCount = 0;           // as the object's chunk list header counts them
    std::vector<std::uint32_t> chunkOrder;  // chunk types in file order
    bool Has(std::uint32_t type) const;
};

struct VloReadResult {
    VloModel model;  // the records read; text-only fields stay empty
    VloLayout layout;
    std::vector<Finding> findings;
    bool Valid() const;
};

// Parses and checks every invariant of the format: headers and magic words, chunk sizes, order and
// presence, counts (at most 65535 vertices), index ranges, grouping of polygons by texture id, finite
// values, unit quaternions, zero-padded name fields, bone ids and parents, link ids and weights, and
// link records that repeat their vertex's normal and position. Broken rules are errors; normals that
// are not unit length and link weights that do not sum to one are warnings.
VloReadResult ReadVlo(std::span<const std::uint8_t> bytes);

// Reads a whole file (in one read when it can tell its size); false with a message when it cannot be
// read.
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

const char* ChunkTypeName(std::uint32_t type);

}  // namespace vlo
