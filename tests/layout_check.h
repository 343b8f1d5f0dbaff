// A second reading of the VLO and VLA layouts, written from the byte tables alone (raw offsets, no
// record types or constants of the exporter), to hold the readers to: a file is valid here exactly
// when it breaks no rule of its format. The damaged-file test and the reader fuzz targets compare
// the readers' verdicts with these.
#pragma once

#include <cstdint>
#include <span>

namespace layout {

bool VloIsValid(std::span<const std::uint8_t> bytes);
bool VlaIsValid(std::span<const std::uint8_t> bytes);

}  // namespace layout
