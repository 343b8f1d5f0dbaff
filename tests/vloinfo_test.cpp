// vloinfo as a checker: every rule of both formats, held to an independent reading of the layouts on
// thousands of damaged files; the text beside a file; pairing an animation with a model; its output.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "format/info_text.h"
#include "format/vla_writer.h"
#include "format/vlo_writer.h"
#include "format_fixtures.h"
#include "layout_check.h"
#include "scene_files.h"
#include "test_support.h"
#include "tool_runs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using InfoRun = support::ToolRun;
InfoRun Info(const std::vector<std::string>& args) { return support::RunVloInfo(args); }

std::string Write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// One random damage of a file, as storage, transfer or a faulty tool does it.
Bytes Damage(Bytes b, std::mt19937& rng) {
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    static const std::uint32_t kWords[] = {0, 1, 0xFFFFFFFF, 0x7FC00000 /* NaN */, 0x3F800000 /* 1.0f */,
                                           0x80000000 /* -0.0f */, 0x00010000, 0x42C80000 /* 100.0f */};
    switch (pick(6)) {
        case 0: b[pick(b.size())] ^= std::uint8_t(1u << pick(8)); break;
        case 1: b[pick(b.size())] = std::uint8_t(pick(256)); break;
        case 2: {
            const std::size_t at = pick(b.size() / 4) * 4;
            const std::uint32_t w = kWords[pick(std::size(kWords))];
            std::memcpy(&b[at], &w, 4);
            break;
        }
        case 3: b.resize(pick(b.size())); break;
        case 4:
            for (std::size_t n = 1 + pick(64); n > 0; --n) b.push_back(std::uint8_t(pick(256)));
            break;
        default: {  // a 12-byte span copied from elsewhere in the file
            const std::size_t from = pick(b.size() - 12), to = pick(b.size() - 12);
            std::memmove(&b[to], &b[from], 12);
            break;
        }
    }
    return b;
}

TEST(VloInfoChecks, DamagedFilesGetTheVerdictOfAnIndependentReadingOfTheLayouts) {
    support::TempDir dir;
    vlo::VloModel shape = support::EveryChunkModel();
    shape.flags = 0, shape.bones.clear(), shape.links.clear();
    const std::vector<std::pair<std::string, Bytes>> files = {{"every.vlo", vlo::EncodeVlo(support::EveryChunkModel())},
                                                              {"shape.vlo", vlo::EncodeVlo(shape)},
                                                              {"small.vla", vlo::EncodeVla(support::SmallAnimation())}};
    std::mt19937 rng(20261207);
    for (const auto& [name, good] : files) {
        const bool isVla = name.ends_with(".vla");
        ASSERT_TRUE(isVla ? layout::VlaIsValid(good) : layout::VloIsValid(good)) << name;
        ASSERT_EQ(Info({Write(dir.File(name), good)}).status, 0) << name;
        int valid = 0, invalid = 0, disagreements = 0;
        for (int run = 0; run < 3000; ++run) {
            const Bytes bad = Damage(good, rng);
            const bool expected = isVla ? layout::VlaIsValid(bad) : layout::VloIsValid(bad);
            const InfoRun r = Info({Write(dir.File(name), bad)});
            ASSERT_NE(r.status, 2) << r.err;
            (expected ? valid : invalid)++;
            if ((r.status == 0) != expected && ++disagreements <= 5) {
                Write(dir.File("disagreement.bin"), bad);
                ADD_FAILURE() << name << " run " << run << ": vloinfo says " << (r.status == 0 ? "valid" : "invalid")
                              << ", the layouts say " << (expected ? "valid" : "invalid") << "\n"
                              << r.out;
            }
        }
        EXPECT_EQ(disagreements, 0) << name;
        // Both verdicts are exercised: harmless changes to values, and broken rules.
        EXPECT_GT(valid, 200) << name;
        EXPECT_GT(invalid, 1500) << name;
    }
}

// The model's file after change, and vloinfo's findings for it.
struct Checked {
    int status;
    std::string text;
};
Checked CheckModel(const std::function<void(vlo::VloModel&)>& change, std::vector<std::string> flags = {}) {
    support::TempDir dir;
    vlo::VloModel m = support::EveryChunkModel();
    change(m);
    flags.insert(flags.begin(), Write(dir.File("m.vlo"), vlo::EncodeVlo(m)));
    const InfoRun r = Info(flags);
    return {r.status, r.out};
}

TEST(VloInfoChecks, NameFieldsArePaddedWithZeros) {
    auto garbageAfterName = [](char* field) { field[std::strlen(field) + 2] = 'q'; };
    const std::vector<std::pair<std::string, std::function<void(vlo::VloModel&)>>> cases = {
        {"texture name field has bytes after its terminating zero", [&](auto& m) { garbageAfterName(m.textures[1].name); }},
        {"sound name field has bytes", [&](auto& m) { garbageAfterName(m.sound->name); }},
        {"bump map name field has bytes", [&](auto& m) { garbageAfterName(m.bumpMap->name); }},
        {"specular map name field has bytes", [&](auto& m) { garbageAfterName(m.specularMap->name); }},
        {"bone 0 name field has bytes", [&](auto& m) { garbageAfterName(m.bones[0].name); }},
        {"marker 0 name field has bytes", [&](auto& m) { garbageAfterName(m.markers[0].name); }},
    };
    for (const auto& [message, change] : cases) {
        const Checked c = CheckModel(change);
        EXPECT_EQ(c.status, 1) << message;
        EXPECT_NE(c.text.find("error: " + message), std::string::npos) << c.text;
    }
    // Names that fill their field have no zero at all, and are fine: the 40-character bone, the
    // 32-character marker.
    EXPECT_EQ(CheckModel([](auto&) {}).status, 0);
}

TEST(VloInfoChecks, LinkRecordsRepeatTheirVertexFloatForFloat) {
    Checked c = CheckModel([](auto& m) { m.links[2].position.y = std::nextafter(m.links[2].position.y, 9.0f); });
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.text.find("error: vertex links 2 does not repeat its vertex's normal and position"), std::string::npos);
    c = CheckModel([](auto& m) { m.links[3].normal.x = -0.0f; });  // +0 in the vertex: other bits
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.text.find("vertex links 3 does not repeat"), std::string::npos) << c.text;
}

TEST(VloInfoChecks, NormalsAndWeightsAreWarningsThatStrictTurnsIntoFailure) {
    auto stretch = [](vlo::VloModel& m) {
        for (std::size_t i = 1; i < 4; ++i) {
            m.vertices[i].normal = {0, 1.5f, 0};
            m.links[i].normal = m.vertices[i].normal;
            m.links[i].weights[1] = 0.5f;
        }
    };
    const Checked c = CheckModel(stretch);
    EXPECT_EQ(c.status, 0) << c.text;
    // Reported once each, with a count of the records like it.
    EXPECT_NE(c.text.find("warning: vertex 1 normal has length 1.500000 (and 2 more vertices)\n"), std::string::npos)
        << c.text;
    EXPECT_NE(c.text.find("warning: vertex links 1 weights sum to 1.250000, not 1 (and 2 more link records)\n"),
              std::string::npos);
    EXPECT_EQ(CheckModel(stretch, {"--strict"}).status, 1);
}

TEST(VloInfoChecks, CountsRotationsAndEmptyChunksFollowTheFormat) {
    Checked c = CheckModel([](auto& m) { m.bones[1].rotation[3] = 0.9f; });
    EXPECT_NE(c.text.find("error: bone 1 rotation is not a unit quaternion"), std::string::npos) << c.text;
    c = CheckModel([](auto& m) { m.markers.clear(); });  // no chunk at all: fine
    EXPECT_EQ(c.status, 0) << c.text;
    c = CheckModel([](auto& m) {
        m.vertices.resize(65536, m.vertices[0]);
        m.links.resize(65536, m.links[0]);
        m.tangents.resize(65536, m.tangents[0]);
    });
    EXPECT_NE(c.text.find("error: 65536 vertices: 16-bit polygon indices reach only 65535"), std::string::npos) << c.text;

    // A chunk the writer leaves out when empty is an error when present with no records.
    Bytes bytes = vlo::EncodeVlo(support::EveryChunkModel());
    support::TempDir dir;
    const std::size_t markers = bytes.size() - (12 + 4 + 2 * 44);
    std::vector<std::uint8_t> empty(bytes.begin(), bytes.begin() + std::ptrdiff_t(markers) + 12 + 4);
    const std::uint32_t count = 0, chunkSize = 16, objectSize = std::uint32_t(empty.size() - 16);
    std::memcpy(&empty[markers + 8], &chunkSize, 4);
    std::memcpy(&empty[markers + 12], &count, 4);
    std::memcpy(&empty[24], &objectSize, 4);
    const InfoRun r = Info({Write(dir.File("e.vlo"), empty)});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("error: the dummy markers chunk holds no markers"), std::string::npos) << r.out;
}

TEST(VloInfoChecks, ModelFlagsAreNamedAndUnknownBitsShownAndRefused) {
    Checked c = CheckModel([](auto&) {});
    EXPECT_EQ(c.status, 0) << c.text;
    EXPECT_NE(c.text.find("  flags:    no-collisions hierarchy semi-transparent\n"), std::string::npos) << c.text;
    c = CheckModel([](auto& m) { m.flags = vlo::kFlagHierarchy | 0x41; });
    EXPECT_EQ(c.status, 1) << c.text;
    EXPECT_NE(c.text.find("  flags:    hierarchy unknown 0x41\n"), std::string::npos) << c.text;
    EXPECT_NE(c.text.find("error: object header has unknown flag bits set"), std::string::npos) << c.text;
}

TEST(VloInfoChecks, AnimationFlagsHoldOnlyTheFourKeyFrameBits) {
    support::TempDir dir;
    vlo::VlaAnimation a = support::SmallAnimation();
    a.frames[1].flags = 0x10;
    a.frames[2].flags |= 0x100;
    InfoRun r = Info({Write(dir.File("a.vla"), vlo::EncodeVla(a))});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("error: frame 1 has flag bits other than the four key frames"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("error: 2 frames in all have unknown flag bits"), std::string::npos) << r.out;

    a = support::SmallAnimation();
    a.markers[0].header.name[6] = 'x';
    a.header.frameRate = 0;
    r = Info({Write(dir.File("a.vla"), vlo::EncodeVla(a))});
    EXPECT_NE(r.out.find("error: marker 0 name field has bytes after its terminating zero"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("error: frame rate 0 is not positive"), std::string::npos) << r.out;
}

// ---- the text beside, pairing and output ----------------------------------------------------------

class VloInfoOutput : public ::testing::Test {
protected:
    void SetUp() override {
        Write(dir.File("swing.VLA"), vlo::EncodeVla(support::SmallAnimation()));
        vlo::VloModel rig = support::EveryChunkModel();
        rig.bones.pop_back();  // two bones, as the animation
        for (auto& l : rig.links) l.boneIds[0] = l.boneIds[0] % 2;
        Write(dir.File("rig.VLO"), vlo::EncodeVlo(rig));
        vlo::VloModel shape = support::EveryChunkModel();
        shape.flags = 0, shape.bones.clear(), shape.links.clear();
        Write(dir.File("prop.VLO"), vlo::EncodeVlo(shape));
    }
    support::TempDir dir;
};

TEST_F(VloInfoOutput, KeyFramesByNameOnTheTimelineTheUserGives) {
    InfoRun r = Info({dir.File("swing.VLA")});
    EXPECT_NE(r.out.find("  key frames (frame index from 0): 0 ADDRESS_BALL, 2 MOUSE_SWING_START+TOP_OF_SWING, "
                         "3 BALL_STRUCK\n"),
              std::string::npos)
        << r.out;
    r = Info({dir.File("swing.VLA"), "--first-frame", "1", "--frame", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("frames:   4 at 24 fps, timeline frames 1 to 4\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("key frames: 1 ADDRESS_BALL, 3 MOUSE_SWING_START+TOP_OF_SWING, 4 BALL_STRUCK\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("  frame 3: flags 0x6 MOUSE_SWING_START+TOP_OF_SWING, root (1, 0, 1) turned 1.5\n"),
              std::string::npos)
        << r.out;
    // Frames outside the file, and --frame without an animation, are usage errors with nothing printed.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{dir.File("swing.VLA"), "--frame", "4"},
          {dir.File("swing.VLA"), "--frame", "0", "--first-frame", "1"},
          {dir.File("rig.VLO"), "--frame", "0"}}) {
        r = Info(args);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("error: "), std::string::npos);
    }
    EXPECT_NE(Info({dir.File("swing.VLA"), "--frame", "4"}).err.find("holds frames 0 to 3 (counted from 0; see "
                                                                     "--first-frame): there is no frame 4"),
              std::string::npos);
}

TEST_F(VloInfoOutput, SignedZerosReadAsZero) {
    vlo::VlaAnimation a = support::SmallAnimation();
    a.frames.back().rootPosition = {-0.0f, -0.0f, 1};
    a.frames.back().rootRotation = -0.0f;
    a.keys[a.keys.size() - 2] = {-0.0f, -0.0f, -0.0f, 1};
    Write(dir.File("still.VLA"), vlo::EncodeVla(a));
    const InfoRun r = Info({dir.File("still.VLA"), "--frame", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("root:     travels to (0, 0, 1), turned 0 rad at the last frame\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("    0 bone: (0, 0, 0, 1)\n"), std::string::npos) << r.out;
    // The values, not the first line: it names the file, whose random folder name may hold "-0".
    const std::size_t values = r.out.find('\n');
    ASSERT_NE(values, std::string::npos);
    for (std::size_t at = r.out.find("-0", values); at != std::string::npos; at = r.out.find("-0", at + 1))
        EXPECT_EQ(r.out[at + 2], '.') << "a negative zero at " << at << " of\n" << r.out;  // -0.8 is fine
}

TEST_F(VloInfoOutput, JsonIsAllThereIsOnStdout) {
    InfoRun r = Info({dir.File("swing.VLA"), dir.File("rig.VLO"), "--json", "--frame", "2", "--first-frame", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);  // throws on anything but JSON
    const nlohmann::json& anim = j[0];
    EXPECT_EQ(anim["keyFrames"][1], nlohmann::json::parse(R"({"index": 2, "frame": 3, "flags": 6,
                                                              "names": ["MOUSE_SWING_START", "TOP_OF_SWING"]})"));
    EXPECT_EQ(anim["frame"]["index"], 1);
    EXPECT_EQ(anim["frame"]["keys"][1]["name"], "Bone1");
    EXPECT_EQ(anim["frame"]["keys"][1]["rotation"], nlohmann::json::parse("[0.0, 0.6000000238418579, 0.0, -0.800000011920929]"));
    EXPECT_EQ(anim["pairedWith"], dir.File("rig.VLO"));

    r = Info({dir.File("swing.VLA"), "--full"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--full: lists every record and needs --json"), std::string::npos) << r.err;
    r = Info({dir.Path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(dir.Path() + " is a folder"), std::string::npos) << r.err;
}

TEST_F(VloInfoOutput, AnAnimationPairsOnlyWithSkinnedModelsOfItsBoneCount) {
    InfoRun r = Info({dir.File("swing.VLA"), dir.File("rig.VLO"), "--frame", "1"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("  bones pair with the 2 bones of " + dir.File("rig.VLO") + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("    1 Bone1: (0, 0.6, 0, -0.8)\n"), std::string::npos) << r.out;

    r = Info({dir.File("swing.VLA"), dir.File("prop.VLO")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("warning: none of the models given has bones (they were exported as shapes)"), std::string::npos)
        << r.out;
    EXPECT_EQ(Info({dir.File("swing.VLA"), dir.File("prop.VLO"), "--strict"}).status, 1);

    Write(dir.File("every.VLO"), vlo::EncodeVlo(support::EveryChunkModel()));  // three bones
    r = Info({dir.File("swing.VLA"), dir.File("every.VLO")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("error: it animates 2 bones but " + dir.File("every.VLO") + " has 3: they are not of one "
                                                                                      "skeleton"),
              std::string::npos)
        << r.out;
}

TEST(VloInfoText, TheTextBesideAFileMustDescribeIt) {
    support::TempDir dir;
    const std::string scene = dir.File("scene.gltf"), model = dir.File("box.VLO"), text = dir.File("box.TXT");
    support::WriteGltf(scene);
    ASSERT_EQ(support::RunVloExport({scene, "--select", "Box", "-o", model}).status, 0);
    InfoRun r = Info({model});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("warning"), std::string::npos) << r.out;

    std::string txt = support::ReadText(text);
    const std::size_t at = txt.find("   Num Polys    = 12\r\n");
    ASSERT_NE(at, std::string::npos) << txt;
    txt.replace(at, 22, "   Num Polys    = 14\r\n");
    std::ofstream(text, std::ios::binary) << txt;
    r = Info({model});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("warning: the information file " + text + " does not describe this file: it reads '   Num "
                                                                   "Polys    = 14' where the file gives '   Num Polys "
                                                                   "   = 12' (is it left from another export?)"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Info({model, "--strict"}).status, 1);

    // An animation's text: its header and flags.
    const vlo::VlaAnimation a = support::SmallAnimation();
    Write(dir.File("swing.VLA"), vlo::EncodeVla(a));
    std::ofstream(dir.File("swing.TXT"), std::ios::binary) << vlo::AnimationText(a, "swing.VLA", "swing.TXT");
    EXPECT_EQ(Info({dir.File("swing.VLA"), "--strict"}).status, 0);
    vlo::VlaAnimation other = a;
    other.frames[3].flags = 0;
    std::ofstream(dir.File("swing.TXT"), std::ios::binary) << vlo::AnimationText(other, "swing.VLA", "swing.TXT");
    r = Info({dir.File("swing.VLA")});
    EXPECT_NE(r.out.find("it reads '003 - 0' where the file gives '003 - 1'"), std::string::npos) << r.out;
}

}  // namespace
