// The FBX reader on binary and ASCII files: what it reads of the takes and settings, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "format/vlo_reader.h"
#include "importer/fbx_reader.h"
#include "importer/file_pages.h"
#include "test_support.h"

#ifndef VLO_SOURCE_DIR
#error "VLO_SOURCE_DIR must name the project's folder"
#endif

namespace {

std::string SeedPath(const std::string& name) { return std::string(VLO_SOURCE_DIR) + "/fuzz/corpus/fbx_reader/" + name; }

std::vector<std::uint8_t> Seed(const std::string& name) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(vlo::ReadFileBytes(SeedPath(name), bytes, error)) << error;
    return bytes;
}

// The file's bytes for its facts are read whole into pages of their own; an empty file has none,
// and a file that is not there is said so.
TEST(FbxReader, FilePagesHoldTheWholeFile) {
    importer::FilePages pages;
    std::string error;
    ASSERT_TRUE(pages.Read(SeedPath("tiny_binary.fbx"), error)) << error;
    const std::vector<std::uint8_t> expected = Seed("tiny_binary.fbx");
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(std::equal(pages.Bytes().begin(), pages.Bytes().end(), expected.begin(), expected.end()));

    support::TempDir dir;
    std::ofstream(dir.File("empty.fbx")).close();
    EXPECT_TRUE(pages.Read(dir.File("empty.fbx"), error));
    EXPECT_TRUE(pages.Bytes().empty());
    EXPECT_FALSE(pages.Read(dir.File("missing.fbx"), error));
    EXPECT_EQ(error, "cannot open " + dir.File("missing.fbx"));
    EXPECT_TRUE(pages.Bytes().empty());
}

TEST(FbxReader, TakesFrameRateUnitAndCreatorFromBinaryAndAscii) {
    std::string error;
    const auto binary = importer::ReadFbx(Seed("tiny_binary.fbx"), error);
    ASSERT_TRUE(binary) << error;
    const auto facts = importer::ReadFbxFacts(*binary);
    ASSERT_EQ(facts.takes.size(), 1u);
    EXPECT_EQ(facts.takes[0].name, "Rig|Swing");
    EXPECT_NEAR(facts.takes[0].start, 1.0 / 24, 1e-9);
    EXPECT_NEAR(facts.takes[0].stop, 59.0 / 24, 1e-9);
    EXPECT_EQ(facts.frameRate, 24.0);  // TimeMode 11
    EXPECT_EQ(facts.unitScaleFactor, 1.0);
    EXPECT_EQ(facts.creator.rfind("Blender", 0), 0u);

    const auto ascii = importer::ReadFbx(Seed("tiny_ascii.fbx"), error);
    ASSERT_TRUE(ascii) << error;
    const auto text = importer::ReadFbxFacts(*ascii);
    ASSERT_EQ(text.takes.size(), 1u);
    EXPECT_EQ(text.takes[0].name, "Take 001");
    EXPECT_NEAR(text.takes[0].start, 1.0 / 30, 1e-9);
    EXPECT_EQ(text.frameRate, 30.0);  // TimeMode 6
    EXPECT_EQ(text.unitScaleFactor, 100.0);
    // Arrays are skipped, their node kept.
    ASSERT_NE(ascii->Find("Objects"), nullptr);
    EXPECT_NE(ascii->Find("Objects")->Child("Geometry")->Child("Vertices"), nullptr);
}

TEST(FbxReader, ATimeModeThatNamesNoModeGivesNoFrameRate) {
    // Fuzzing found a TimeMode of 99999999999999999999 (read as the largest 64-bit integer, 2^63 as a
    // double) converted back to an integer: undefined behaviour. Negative, huge, past-the-end and
    // non-numeric values name no mode either.
    for (const char* mode : {"99999999999999999999", "9223372036854775807", "1e90", "-1e90", "-1", "19", "19.5",
                             "nan", "inf"}) {
        const std::string text = std::string("GlobalSettings:  {\n\tProperties70:  {\n\t\tP: \"TimeMode\", \"enum\", \"\", \"\",") +
                                 mode + "\n\t}\n}\n";
        std::string error;
        const auto doc = importer::ReadFbx(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), error);
        ASSERT_TRUE(doc) << mode << ": " << error;
        EXPECT_FALSE(importer::ReadFbxFacts(*doc).frameRate) << mode;
    }
}

TEST(FbxReader, DamagedFilesGiveAnErrorNeverACrash) {
    const auto bytes = Seed("tiny_binary.fbx");
    std::string error;
    // Every cut of the file either still reads (cut in its closing record) or says why not.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        error.clear();
        const auto doc = importer::ReadFbx(std::span(bytes.data(), n), error);
        if (!doc) {
            EXPECT_FALSE(error.empty()) << n;
        }
    }
    // A node whose end points back into itself.
    auto loop = bytes;
    loop[27] = 0, loop[28] = 0, loop[29] = 0, loop[30] = 0;
    loop[27] = 30;
    EXPECT_FALSE(importer::ReadFbx(loop, error));
    // Nodes nested beyond any real file.
    std::string deep;
    for (int i = 0; i < 100; ++i) deep += "N: {\n";
    for (int i = 0; i < 100; ++i) deep += "}\n";
    EXPECT_FALSE(importer::ReadFbx(std::span(reinterpret_cast<const std::uint8_t*>(deep.data()), deep.size()), error));
    EXPECT_NE(error.find("nested deeper"), std::string::npos) << error;
}

}  // namespace
