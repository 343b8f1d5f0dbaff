// The scene whose model is pinned byte for byte, shared by the golden test (which compares) and the
// golden_update program (which rewrites the pinned file after the bytes were checked by hand).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

// The pinned model's file in the golden folder.
std::string GoldenTinyModelPath();

// A textured triangle lifted 1 unit, with a marker, exported with the world origin and the
// no-collisions flag: the file's bytes, or empty when the export failed.
std::vector<std::uint8_t> ExportGoldenTinyModel();

}  // namespace support
