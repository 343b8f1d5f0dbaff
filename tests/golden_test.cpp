// One byte-exact model: the bytes are the contract with the game, so they are pinned here. After a
// deliberate change, check the new bytes by hand and rewrite the file with the update-golden target.
#include <gtest/gtest.h>

#include "format/vlo_reader.h"
#include "golden_scene.h"

namespace {

TEST(Golden, TinyTexturedTriangleWithMarker) {
    const std::vector<std::uint8_t> bytes = support::ExportGoldenTinyModel();
    ASSERT_FALSE(bytes.empty());
    std::vector<std::uint8_t> expected;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(support::GoldenTinyModelPath(), expected, error)) << error;
    EXPECT_EQ(bytes, expected);
}

}  // namespace
