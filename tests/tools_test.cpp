// vloexport and vloinfo as a user runs them: flags, exit statuses, files left behind.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "scene_files.h"
#include "app/export_job.h"
#include "test_support.h"
#include "tool_runs.h"

namespace {

using support::ToolRun;
ToolRun Export(const std::vector<std::string>& args) { return support::RunVloExport(args); }
ToolRun Info(const std::vector<std::string>& args) { return support::RunVloInfo(args); }

class Tools : public ::testing::Test {
protected:
    void SetUp() override { support::WriteGltf(scene); }
    support::TempDir dir;
    std::string scene = dir.File("scene.gltf");
    std::string out = dir.File("out.vlo");
};

TEST_F(Tools, SeveralMeshesNeedASelection) {
    const ToolRun r = Export({scene, "-o", out});
    EXPECT_EQ(r.status, app::kExitNeedsChoice);
    EXPECT_NE(r.err.find("2 mesh objects"), std::string::npos);
    EXPECT_NE(r.err.find("\n  Box"), std::string::npos);
    EXPECT_NE(r.err.find("\n  Group/Spin"), std::string::npos);  // by path, as --select takes it
    EXPECT_FALSE(support::Exists(out));
    // Neither is skinned: a skinned model cannot be made of either, so none is offered.
    const ToolRun skinned = Export({scene, "-o", out, "--mode", "hierarchy"});
    EXPECT_EQ(skinned.status, app::kExitUsage);
    EXPECT_NE(skinned.err.find("error: none of the 2 mesh objects in " + scene + " is skinned: a skinned model is made "
                               "of a mesh bound to a skeleton (use --mode shape for a static model)"),
              std::string::npos)
        << skinned.err;
    EXPECT_FALSE(support::Exists(out));
}

TEST_F(Tools, FlagsReachTheDialog) {
    const std::string sound = dir.File("sounds");
    std::filesystem::create_directories(sound + "/swing");
    std::ofstream(sound + "/swing/whoosh.wav") << "RIFF";
    const ToolRun r = Export({scene, "-o", out, "--select", "Box", "--origin", "world", "--no-swap-yz", "--no-collisions",
                          "--semi-transparent", "--bump", "--sound", sound + "/swing/whoosh.wav", "--remove-marker", "Group"});
    ASSERT_EQ(r.status, 0) << r.err;
    const ToolRun info = Info({out, "--json"});
    ASSERT_EQ(info.status, 0) << info.out;
    const auto j = nlohmann::json::parse(info.out);
    EXPECT_TRUE(j["flags"]["noCollisions"].get<bool>());
    EXPECT_TRUE(j["flags"]["semiTransparent"].get<bool>());
    EXPECT_EQ(j["sound"], "SWING\\WHOOSH.WAV");
    EXPECT_EQ(j["bumpMap"], "stone_n.png");
    ASSERT_EQ(j["markers"].size(), 1u);
    EXPECT_EQ(j["markers"][0]["name"], "Pin");
    EXPECT_EQ(j["textures"], nlohmann::json::array({"grass.png", "stone.png"}));
    // No swap, world origin: the host's Z-up file stays Z-up; the cube's top is at z = 1.
    EXPECT_FLOAT_EQ(j["bounds"]["max"][2].get<float>(), 1.0f);
    // A Y-swapped export of the same cube puts its top at y = 1 instead.
    const ToolRun swapped = Export({scene, "-o", dir.File("s.vlo"), "--select", "Box", "--origin", "world", "--no-markers"});
    ASSERT_EQ(swapped.status, 0);
    const auto js = nlohmann::json::parse(Info({dir.File("s.vlo"), "--json"}).out);
    EXPECT_FLOAT_EQ(js["bounds"]["max"][1].get<float>(), 1.0f);
    EXPECT_TRUE(js["markers"].empty());
}

TEST_F(Tools, AllAndGroupSelectionsAttachMeshes) {
    ASSERT_EQ(Export({scene, "-o", out, "--all"}).status, 0);
    auto j = nlohmann::json::parse(Info({out, "--json"}).out);
    EXPECT_EQ(j["counts"]["polygons"], 12 + 6);
    EXPECT_EQ(j["textures"].size(), 2u);

    ASSERT_EQ(Export({scene, "-o", out, "--select", "Group"}).status, 0);  // a group: the meshes below it
    j = nlohmann::json::parse(Info({out, "--json"}).out);
    EXPECT_EQ(j["counts"]["polygons"], 6);
}

TEST_F(Tools, ListShowsTheTreeWithTypes) {
    const ToolRun r = Export({scene, "--list"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("read as Y-up"), std::string::npos);
    EXPECT_NE(r.out.find("  Box  [mesh, 48 vertices, 12 triangles"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Group  [dummy]\n    Spin  [mesh"), std::string::npos) << r.out;
}

TEST_F(Tools, ErrorsGiveTheRightStatusAndNoFile) {
    EXPECT_EQ(Export({}).status, app::kExitUsage);
    EXPECT_EQ(Export({scene, "-o", out, "--mode", "sideways"}).status, app::kExitUsage);
    EXPECT_EQ(Export({dir.File("missing.fbx"), "-o", out}).status, app::kExitUsage);
    const ToolRun missing = Export({scene, "-o", out, "--select", "Nope"});
    EXPECT_EQ(missing.status, app::kExitUsage);
    EXPECT_NE(missing.err.find("no object named 'Nope' in " + scene + " (--list shows the objects)"), std::string::npos)
        << missing.err;
    // A name in another case, or the start of names, is offered; nothing is taken for it.
    const ToolRun near = Export({scene, "-o", out, "--select", "box"});
    EXPECT_EQ(near.status, app::kExitUsage);
    EXPECT_NE(near.err.find("no object named 'box' in " + scene + "; did you mean Box? (--list"), std::string::npos)
        << near.err;
    EXPECT_NE(Export({scene, "-o", out, "--select", "SP"}).err.find("; did you mean Group/Spin?"), std::string::npos);
    // So is the option nearest in spelling for one the program does not have, and a stray argument is named.
    const std::vector<std::pair<std::vector<std::string>, std::string>> misspelt = {
        {{scene, "--orign", "world"}, "error: unknown option --orign (did you mean --origin?)\n"},
        {{scene, "--no-swap-zy=1"}, "error: unknown option --no-swap-zy (did you mean --no-swap-yz?)\n"},
        {{scene, "-O", out}, "error: unknown option -O (did you mean -o?)\n"},
        {{scene, "-x"}, "error: unknown option -x\n"},
        {{scene, "--frobnicate"}, "error: unknown option --frobnicate\n"},
        {{scene, "second.fbx", "third.fbx"}, "error: unexpected arguments 'second.fbx', 'third.fbx'\n"}};
    for (const auto& [args, said] : misspelt) {
        const ToolRun r = Export(args);
        EXPECT_EQ(r.status, app::kExitUsage) << args[1];
        EXPECT_EQ(r.err.rfind(said, 0), 0u) << r.err;
    }
    EXPECT_EQ(Info({"--jsn", out}).err.rfind("error: unknown option --jsn (did you mean --json?)\n", 0), 0u);
    const ToolRun dummy = Export({scene, "-o", out, "--select", "Pin"});
    EXPECT_EQ(dummy.status, app::kExitExportFailed);
    EXPECT_NE(dummy.err.find("error: Error with Object State (Pin is an empty, not a mesh) [object 'Pin'] (2 times)"),
              std::string::npos)
        << dummy.err;
    EXPECT_FALSE(support::Exists(out));
}

TEST_F(Tools, PinnedCreationTimeGivesByteIdenticalOutputs) {
    for (const char* name : {"a.vlo", "b.vlo"})
        ASSERT_EQ(Export({scene, "-o", dir.File(name), "--select", "Box", "--created-at", "0"}).status, 0);
    EXPECT_EQ(support::ReadText(dir.File("a.vlo")), support::ReadText(dir.File("b.vlo")));
    std::string ta = support::ReadText(dir.File("a.TXT")), tb = support::ReadText(dir.File("b.TXT"));
    EXPECT_NE(ta.find("Created: [01/01/1970 00:00:00]"), std::string::npos);
    // The texts differ only in the file names they mention.
    for (auto* t : {&ta, &tb})
        for (const char* n : {"a.", "b."})
            for (std::size_t at; (at = t->find(dir.File(n))) != std::string::npos;) t->replace(at, dir.File(n).size(), "X.");
    EXPECT_EQ(ta, tb);
}

TEST(VloInfo, ValidTruncatedAndCorruptedFiles) {
    support::TempDir dir;
    support::WriteGltf(dir.File("scene.gltf"));
    const std::string good = dir.File("good.vlo");
    ASSERT_EQ(Export({dir.File("scene.gltf"), "-o", good, "--select", "Box", "--no-markers"}).status, 0);
    const ToolRun ok = Info({good});
    EXPECT_EQ(ok.status, 0);
    EXPECT_NE(ok.out.find("valid VLO model"), std::string::npos);
    EXPECT_NE(ok.out.find("vertices: 24"), std::string::npos) << ok.out;
    EXPECT_NE(ok.out.find("polygons: 12"), std::string::npos) << ok.out;

    const std::string bytes = support::ReadText(good);
    auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir.File(name), std::ios::binary) << content;
        return dir.File(name);
    };
    // Every truncation is reported as invalid, never a crash.
    for (std::size_t n = 0; n < bytes.size(); n += 7) EXPECT_EQ(Info({write("t.vlo", bytes.substr(0, n))}).status, 1) << n;
    // Single flipped bytes anywhere in the headers and counts are caught.
    for (std::size_t at : {0u, 5u, 17u, 29u, 32u, 56u, 72u, 76u}) {
        std::string bad = bytes;
        bad[at] = char(bad[at] ^ 0x40);
        EXPECT_EQ(Info({write("c.vlo", bad)}).status, 1) << at;
    }
    // A vertex index out of range.
    std::string badIndex = bytes;
    const std::size_t polygons = bytes.size() - 12 * 8;  // the last chunk's records (12 polygons)
    badIndex[polygons] = char(0xFF);
    badIndex[polygons + 1] = char(0x7F);
    const ToolRun r = Info({write("i.vlo", badIndex), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("uses vertex 32767 of 24"), std::string::npos) << r.out;
    EXPECT_EQ(Info({dir.File("missing.vlo")}).status, 2);
}

}  // namespace

namespace {

TEST(ToolsHierarchy, SkinnedModelsAndTheShapeWarning) {
    support::TempDir dir;
    const std::string rig = dir.File("rig.gltf"), out = dir.File("rig.vlo");
    support::WriteSkinnedGltf(rig);
    const ToolRun list = Export({rig, "--list"});
    EXPECT_NE(list.out.find("Body  [mesh, 4 vertices, 2 triangles, material 'Material #0', skinned to 3 bones]"),
              std::string::npos) << list.out;
    EXPECT_NE(list.out.find("Hips  [node, skeleton root]"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("skeletons in bind pose"), std::string::npos);

    const ToolRun shape = Export({rig, "-o", out});
    EXPECT_EQ(shape.status, 0);
    EXPECT_NE(shape.err.find("warning: object 'Body' is skinned"), std::string::npos) << shape.err;

    const ToolRun hierarchy = Export({rig, "-o", out, "--mode", "hierarchy"});
    ASSERT_EQ(hierarchy.status, 0) << hierarchy.err;
    EXPECT_EQ(hierarchy.err, "");
    const ToolRun info = Info({out, "--json", "--full"});
    ASSERT_EQ(info.status, 0) << info.out;
    const auto j = nlohmann::json::parse(info.out);
    EXPECT_TRUE(j["flags"]["hierarchy"].get<bool>());
    ASSERT_EQ(j["bones"].size(), 3u);
    EXPECT_EQ(j["bones"][1]["name"], "Spine");
    EXPECT_EQ(j["bones"][1]["parent"], 0);
    EXPECT_EQ(j["vertexLinks"][2]["weights"], nlohmann::json::array({0.25, 0.75}));

    // A rig whose skin is missing: the exporter's message, no file.
    const ToolRun noSkin = Export({rig, "-o", dir.File("x.vlo"), "--mode", "hierarchy", "--select", "Tip"});
    EXPECT_EQ(noSkin.status, app::kExitExportFailed);
    EXPECT_FALSE(support::Exists(dir.File("x.vlo")));
}

}  // namespace

namespace {

TEST(ToolsAnimation, VlaOutputsAnimateTheSkeletonRoot) {
    support::TempDir dir;
    const std::string file = dir.File("swing.gltf");
    support::WriteAnimatedGltf(file);
    const ToolRun list = Export({file, "--list"});
    EXPECT_NE(list.out.find("clip 1: 'Swing', frames 0 to 36 at 30 fps, 3 animated nodes\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("clip 2: 'Idle'"), std::string::npos);
    EXPECT_NE(list.out.find("no clip applied: choose one with --clip NAME or NUMBER"), std::string::npos);
    // Two clips: the animation export asks which.
    const ToolRun unchosen = Export({file, "-o", dir.File("swing.VLA")});
    EXPECT_EQ(unchosen.status, app::kExitNeedsChoice) << unchosen.err;
    EXPECT_NE(unchosen.err.find("choose one with --clip NAME or NUMBER:\n  1 'Swing' (frames 0 to 36)"), std::string::npos)
        << unchosen.err;

    const ToolRun run = Export({file, "-o", dir.File("swing.VLA"), "--clip", "1", "--keyframe", "0:ADDRESS_BALL", "--keyframe",
                                "12:top_of_swing", "--keyframe", "30:BALL_STRUCK"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("wrote " + dir.File("swing") + ".VLA: root 'Hips', 3 bones, 37 frames (0 to 36 at 30 fps, "
                                                          "clip 'Swing'), 1 marker\n"),
              std::string::npos)
        << run.out;
    const ToolRun info = Info({dir.File("swing.VLA"), "--json"});
    ASSERT_EQ(info.status, 0) << info.out;
    const auto j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["header"]["frames"], 37);
    EXPECT_EQ(j["keyFrames"], nlohmann::json::parse(R"([{"index": 0, "flags": 8, "names": ["ADDRESS_BALL"]},
                                                        {"index": 12, "flags": 4, "names": ["TOP_OF_SWING"]},
                                                        {"index": 30, "flags": 1, "names": ["BALL_STRUCK"]}])"));
    EXPECT_EQ(j["markers"], nlohmann::json::array({"Ball"}));

    const ToolRun idle = Export({file, "-o", dir.File("idle.VLA"), "--clip", "Idle", "--fps", "24", "--range", "0:4"});
    ASSERT_EQ(idle.status, 0) << idle.err;
    EXPECT_NE(idle.out.find("5 frames (0 to 4 at 24 fps, clip 'Idle')"), std::string::npos) << idle.out;

    EXPECT_EQ(Export({file, "-o", dir.File("x.VLA"), "--keyframe", "12:FOLLOW_THROUGH"}).status, app::kExitUsage);
    EXPECT_EQ(Export({file, "-o", dir.File("x.VLA"), "--clip", "Dance"}).status, app::kExitUsage);
    EXPECT_EQ(Export({file, "-o", dir.File("x.VLA"), "--clip", "Swing", "--range", "9"}).status, app::kExitUsage);
    EXPECT_FALSE(support::Exists(dir.File("x.VLA")));
}

TEST(ToolsAnimation, ModelAndAnimationOfOneSkeletonPairTheirBones) {
    support::TempDir dir;
    const std::string rig = dir.File("rig.gltf");
    support::WriteSkinnedGltf(rig);
    ASSERT_EQ(Export({rig, "-o", dir.File("rig.vlo"), "--mode", "hierarchy"}).status, 0);
    ASSERT_EQ(Export({rig, "-o", dir.File("rig.VLA"), "--range", "0:2"}).status, 0);
    const ToolRun both = Info({dir.File("rig.VLA"), dir.File("rig.vlo"), "--frame", "1"});
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_NE(both.out.find("bones pair with the 3 bones of " + dir.File("rig.vlo")), std::string::npos) << both.out;
    EXPECT_NE(both.out.find("    1 Spine: ("), std::string::npos) << both.out;

    // A static model has no bones to pair with.
    support::WriteGltf(dir.File("box.gltf"));
    ASSERT_EQ(Export({dir.File("box.gltf"), "-o", dir.File("box.vlo"), "--select", "Box"}).status, 0);
    const ToolRun shape = Info({dir.File("rig.VLA"), dir.File("box.vlo")});
    EXPECT_EQ(shape.status, 0) << shape.err;
    EXPECT_NE(shape.out.find("warning: none of the models given has bones"), std::string::npos) << shape.out;
    EXPECT_EQ(shape.out.find("bones pair"), std::string::npos) << shape.out;
}

}  // namespace
