// Scenes as artists export them from Blender with its default settings (tests/data/artist, written by
// tests/data/make_artist_scenes.py): the same scene gives the same model from every format, in metres,
// on the artist's timeline, with the same bones and the key frames typed into custom properties.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <set>

#include "app/export_job.h"
#include "importer/properties.h"
#include "scene_files.h"
#include "test_support.h"

#ifndef VLO_TEST_DATA_DIR
#error "VLO_TEST_DATA_DIR must name the folder of the test data files"
#endif

namespace {

std::string Artist(const std::string& name) { return std::string(VLO_TEST_DATA_DIR) + "/artist/" + name; }

app::ExportResult ExportAs(app::ExportRequest request) {
    if (request.output.empty()) request.output = "/dev/null/unused";
    return app::ExportFile(request);
}

app::ExportRequest Request(const std::string& input, const std::string& output) {
    app::ExportRequest r;
    r.input = input;
    r.output = output;
    r.choices.origin = vlo::OriginMode::World;
    return r;
}

float Height(const vlo::VloModel& m) {
    float lo = 1e30f, hi = -1e30f;
    for (const auto& v : m.vertices) {
        lo = std::min(lo, v.position.y);
        hi = std::max(hi, v.position.y);
    }
    return hi - lo;
}

bool Says(const app::ExportResult& r, const std::string& text) {
    for (const auto& d : r.diagnostics)
        if (d.text.find(text) != std::string::npos) return true;
    return false;
}

TEST(ArtistFiles, TheCrateIsOneAndAHalfMetresTallFromEveryFormatAndUnit) {
    support::TempDir dir;
    for (const std::string unit : {"m", "cm"})
        for (const std::string yardstick : {"yard", "none"})
            for (const std::string file : {".fbx", "_z.fbx", ".glb", ".dae", ".obj"}) {
                const std::string name = "box_" + unit + "_" + yardstick + file;
                auto request = Request(Artist(name), dir.File("crate.vlo"));
                request.select = "Crate";
                const app::ExportResult r = ExportAs(request);
                ASSERT_EQ(r.status, 0) << name << ": " << (r.diagnostics.empty() ? "" : r.diagnostics[0].text);
                // glTF and OBJ state no unit and Blender writes its own numbers into them: a centimetre
                // scene without a yardstick comes out in centimetres.
                const bool unknowable = unit == "cm" && yardstick == "none" && (file == ".glb" || file == ".obj");
                EXPECT_NEAR(Height(*r.model), unknowable ? 150.0f : 1.5f, unknowable ? 0.15f : 1e-3f) << name;
            }
}

TEST(ArtistFiles, FileUnitsKeepTheFilesOwnNumbersAndTheListSaysWhich) {
    support::TempDir dir;
    auto request = Request(Artist("box_m_none.fbx"), dir.File("raw.vlo"));
    request.select = "Crate";
    request.import.fileUnits = true;
    const auto raw = ExportAs(request);
    ASSERT_EQ(raw.status, 0);
    EXPECT_NEAR(Height(*raw.model), 150.0f, 0.01f);  // Blender writes FBX in centimetres
    EXPECT_EQ(raw.scene.unit, "centimetres, UnitScaleFactor 1");
    EXPECT_EQ(raw.scene.metresPerUnit, 1.0);

    request.import.fileUnits = false;
    request.input = Artist("box_cm_yard.dae");
    const auto dae = ExportAs(request);
    EXPECT_EQ(dae.scene.unit, "centimetres, COLLADA unit 0.01 m");
}

TEST(ArtistFiles, AYardstickLyingDownIsMeasuredStandingUpAndWarnsAboutIt) {
    support::TempDir dir;
    // A yardstick 1 unit long lying along X, 0.1 tall: its height is still what the export divides by.
    std::ofstream(dir.File("lying.obj")) << "o Crate\nv 0 0 0\nv 1 0 0\nv 0 2 0\nf 1 2 3\n"
                                            "o yardstick\nv 0 0 0\nv 1 0 0\nv 1 0.1 0\nv 0 0.1 0\nf 4 5 6\nf 4 6 7\n";
    auto request = Request(dir.File("lying.obj"), dir.File("lying.vlo"));
    request.select = "Crate";
    const auto r = ExportAs(request);
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(Says(r, "its longest side is not upright")) << app::FormatDiagnostic(r.diagnostics.at(0));
    EXPECT_NEAR(Height(*r.model), 2.0f / 0.1f, 1e-2);
}

TEST(ArtistFiles, TheRigIsTheSameFromEveryFormatOnTheArtistsTimeline) {
    support::TempDir dir;
    for (const std::string file : {"rig.fbx", "rig.glb", "rig.dae"}) {
        auto request = Request(Artist(file), dir.File("swing.vla"));
        request.mode = vlo::ExportMode::Animation;
        const auto r = ExportAs(request);
        ASSERT_EQ(r.status, 0) << file << ": " << app::FormatDiagnostic(r.diagnostics.at(0));
        const vlo::VlaAnimation& a = *r.animation;
        // Frames 1 to 60 of Blender's timeline, at its 24 fps; the rig without its skinned sleeve.
        EXPECT_EQ(r.firstFrame, 1) << file;
        EXPECT_EQ(r.lastFrame, 60) << file;
        EXPECT_EQ(a.header.numFrames, 60u) << file;
        EXPECT_EQ(a.header.frameRate, 24) << file;
        std::vector<std::string> bones;
        for (const auto& b : a.text.bones) bones.push_back(vlo::FieldText(b.name));
        EXPECT_EQ(bones, (std::vector<std::string>{"Rig", "Base", "Arm"})) << file;
        // The arm turns a quarter turn about X: halfway (frame 30, index 29) by 43.5 of 59 steps' worth.
        const vlo::BoneKey& arm = a.Key(59, 2);
        EXPECT_NEAR(std::fabs(arm.x), std::sqrt(0.5f), 1e-4) << file;
        // The bone Base rises 1 m, which the animation cannot hold; the arm only turns.
        EXPECT_TRUE(Says(r, "bone 'Base' moves in the clip (its keyed places lie up to 1.000 m apart)")) << file;
        EXPECT_FALSE(Says(r, "bone 'Arm' moves")) << file;
        if (file == "rig.dae") continue;  // Blender's COLLADA exporter writes no custom properties
        // KEYFRAME = "12 TOP_OF_SWING" and kf2 = "KEYFRAME 30 BALL_STRUCK" on the artist's frames.
        EXPECT_EQ(a.frames[11].flags, vlo::KeyFrameBit(vlo::kTopOfSwing)) << file;
        EXPECT_EQ(a.frames[29].flags, vlo::KeyFrameBit(vlo::kBallStruck)) << file;
        EXPECT_TRUE(Says(r, "the property kf3 = 45 BALL_STRUK does not read as a key frame")) << file;
    }
}

TEST(ArtistFiles, TheSkinnedSleeveStandsWhereBlenderShowsItInEveryFormat) {
    // The sleeve spans heights 0 to 2 m in Blender. Blender's COLLADA exporter writes the object's
    // place into the skin's bind shape matrix (1 m up), which assimp leaves out of the mesh.
    support::TempDir dir;
    for (const std::string file : {"rig.fbx", "rig.glb", "rig.dae"})
        for (const vlo::ExportMode mode : {vlo::ExportMode::Shape, vlo::ExportMode::Hierarchy}) {
            auto request = Request(Artist(file), dir.File("sleeve.vlo"));
            request.mode = mode;
            request.select = "Sleeve";
            const auto r = ExportAs(request);
            ASSERT_EQ(r.status, 0) << file;
            const auto [lo, hi] = r.model->VertexBounds();
            EXPECT_NEAR(lo.y, 0.0f, 1e-4) << file;
            EXPECT_NEAR(hi.y, 2.0f, 1e-4) << file;
            if (mode == vlo::ExportMode::Hierarchy) {
                // Blender's automatic weights add up to 0.994 on each vertex of the FBX: its own
                // rounding, scaled to 1 without a word.
                EXPECT_FALSE(Says(r, "its bone weights add up to")) << file;
                for (const vlo::VertexLinks& l : r.model->links)
                    EXPECT_FLOAT_EQ(std::accumulate(l.weights, l.weights + l.numLinks, 0.0f), 1.0f) << file;
                ASSERT_EQ(r.model->bones.size(), 3u) << file;
                EXPECT_NEAR(r.model->bones[2].offset.y, 1.0f, 1e-4) << file;  // the arm 1 m above the base
            }
        }
}

// Weights painted by hand that do not add up to 1 (Blender's FBX exporter writes them so, its glTF
// exporter scaled) deform the vertex as Blender shows it only when scaled to add up to 1: both files
// give the same links, and the FBX says what was scaled.
TEST(ArtistFiles, HandPaintedWeightsAreScaledAsBlenderDeformsThemInEveryFormat) {
    // The kinds of link a model holds: bones and their weights, whichever vertices have them.
    using LinkKinds = std::set<std::pair<std::vector<int>, std::vector<float>>>;
    support::TempDir dir;
    std::vector<LinkKinds> links;
    for (const std::string file : {"painted.fbx", "painted.glb"}) {
        auto request = Request(Artist(file), dir.File("tube.vlo"));
        request.mode = vlo::ExportMode::Hierarchy;
        request.select = "Tube";
        const auto r = ExportAs(request);
        ASSERT_EQ(r.status, 0) << file;
        auto& kinds = links.emplace_back();
        for (const vlo::VertexLinks& l : r.model->links)
            kinds.insert({std::vector<int>(l.boneIds, l.boneIds + l.numLinks),
                          std::vector<float>(l.weights, l.weights + l.numLinks)});
        EXPECT_EQ(Says(r, "node 'Tube': its bone weights add up to 0.6 to 0.8 on every vertex, not 1: they are scaled "
                          "to add up to 1, as Blender deforms them"),
                  file == "painted.fbx")
            << file;
    }
    // The bottom ring 0.5 and 0.3 to Lower and Upper, the top ring 0.6 to Upper.
    const LinkKinds expected{{{1, 2}, {0.625f, 0.375f}}, {{2}, {1.0f}}};
    EXPECT_EQ(links.at(0), expected);
    EXPECT_EQ(links.at(1), expected);
}

// Two images of one file name in two folders (wood/diffuse.png and metal/diffuse.png): from the FBX
// that refers to the files, the model would name them alike; the FBX that embeds them names both by
// the one name, so that every material gets the first. Each says so; one embedded image does not.
TEST(ArtistFiles, ImagesOfOneFileNameAreNamedWhetherReferredToOrEmbedded) {
    support::TempDir dir;
    const auto refers = ExportAs(Request(Artist("clash.fbx"), dir.File("club.vlo")));
    ASSERT_EQ(refers.status, 0);
    EXPECT_TRUE(Says(refers, "The textures wood/diffuse.png and metal/diffuse.png are different files, but the model "
                             "stores both as diffuse.png"));
    const auto embeds = ExportAs(Request(Artist("clash_embedded.fbx"), dir.File("club.vlo")));
    ASSERT_EQ(embeds.status, 0);
    EXPECT_TRUE(Says(embeds, "the scene file embeds 2 different images named diffuse.png, and its materials name them "
                             "by that name alone: every material gets the first of them"));
    const auto flag = ExportAs(Request(Artist("flag.fbx"), dir.File("flag.vlo")));
    ASSERT_EQ(flag.status, 0);
    EXPECT_FALSE(Says(flag, "different images"));
}

// The rig packed by gltfpack (integers for positions, normals, UVs, weights and rotation keys; a
// texture transform scaling the UVs back) gives the sleeve of the unpacked file, to the packing's
// precision.
TEST(ArtistFiles, APackedGltfGivesTheSleeveOfItsSource) {
    support::TempDir dir;
    std::vector<vlo::VloModel> sleeves;
    for (const std::string file : {"rig.glb", "rig_packed.glb"}) {
        auto request = Request(Artist(file), dir.File("sleeve.vlo"));
        request.mode = vlo::ExportMode::Hierarchy;
        const auto r = ExportAs(request);
        ASSERT_EQ(r.status, 0) << file << ": " << app::FormatDiagnostic(r.diagnostics.at(0));
        sleeves.push_back(*r.model);
    }
    const vlo::VloModel &source = sleeves[0], &packed = sleeves[1];
    ASSERT_EQ(packed.vertices.size(), source.vertices.size());
    const auto [lo, hi] = source.VertexBounds();
    const auto [packedLo, packedHi] = packed.VertexBounds();
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR((&packedLo.x)[axis], (&lo.x)[axis], 1e-3) << axis;
        EXPECT_NEAR((&packedHi.x)[axis], (&hi.x)[axis], 1e-3) << axis;
    }
    // The texture spans the same part of the image, and as many vertices hang on the arm alone.
    auto uvSpan = [](const vlo::VloModel& m) {
        std::array<float, 4> span = {1e30f, 1e30f, -1e30f, -1e30f};
        for (const auto& v : m.vertices) span = {std::min(span[0], v.u), std::min(span[1], v.v), std::max(span[2], v.u), std::max(span[3], v.v)};
        return span;
    };
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(uvSpan(packed)[i], uvSpan(source)[i], 1e-3) << i;
    auto onArm = [](const vlo::VloModel& m) {
        std::size_t n = 0;
        for (const auto& link : m.links) n += link.numLinks == 1 && vlo::FieldText(m.bones[link.boneIds[0]].name) == "Arm";
        return n;
    };
    EXPECT_GT(onArm(source), 0u);
    EXPECT_EQ(onArm(packed), onArm(source));
}

TEST(ArtistFiles, AColladaSkinBelowAMovedArmatureBindsItsBoneWhereTheFilePutsIt) {
    // The armature "Rig" stands at (1, 2, 0), its bone 1 m above it; the skinned triangle's node lies
    // inside the armature, its bind shape matrix 0.5 m up, as Blender's COLLADA exporter writes it.
    // The inverse bind matrix is the bone's place in the file's world.
    support::TempDir dir;
    const std::string file = dir.File("moved.dae");
    std::ofstream(file) << R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit meter="1"/><up_axis>Z_UP</up_axis></asset>
<library_geometries><geometry id="tri" name="tri"><mesh>
 <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array><technique_common>
  <accessor source="#pa" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
 <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
 <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
</mesh></geometry></library_geometries>
<library_controllers><controller id="skin"><skin source="#tri">
 <bind_shape_matrix>1 0 0 0 0 1 0 0 0 0 1 0.5 0 0 0 1</bind_shape_matrix>
 <source id="j"><Name_array id="ja" count="1">Bone</Name_array><technique_common>
  <accessor source="#ja" count="1" stride="1"><param name="JOINT" type="name"/></accessor></technique_common></source>
 <source id="b"><float_array id="ba" count="16">1 0 0 -1 0 1 0 -2 0 0 1 -1 0 0 0 1</float_array><technique_common>
  <accessor source="#ba" count="1" stride="16"><param name="TRANSFORM" type="float4x4"/></accessor></technique_common></source>
 <source id="w"><float_array id="wa" count="1">1</float_array><technique_common>
  <accessor source="#wa" count="1" stride="1"><param name="WEIGHT" type="float"/></accessor></technique_common></source>
 <joints><input semantic="JOINT" source="#j"/><input semantic="INV_BIND_MATRIX" source="#b"/></joints>
 <vertex_weights count="3"><input semantic="JOINT" source="#j" offset="0"/><input semantic="WEIGHT" source="#w" offset="1"/>
  <vcount>1 1 1</vcount><v>0 0 0 0 0 0</v></vertex_weights>
</skin></controller></library_controllers>
<library_visual_scenes><visual_scene id="scene">
 <node id="Rig" name="Rig"><matrix>1 0 0 1 0 1 0 2 0 0 1 0 0 0 0 1</matrix>
  <node id="Rig_Bone" name="Bone" sid="Bone" type="JOINT"><matrix>1 0 0 0 0 1 0 0 0 0 1 1 0 0 0 1</matrix></node>
  <node id="Body" name="Body"><matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix>
   <instance_controller url="#skin"><skeleton>#Rig_Bone</skeleton></instance_controller></node>
 </node>
</visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>)";
    auto request = Request(file, dir.File("body.vlo"));
    request.mode = vlo::ExportMode::Hierarchy;
    request.select = "Body";
    const auto r = ExportAs(request);
    ASSERT_EQ(r.status, 0) << app::FormatDiagnostic(r.diagnostics.at(0));
    ASSERT_EQ(r.model->bones.size(), 2u);
    // The bone 1 m above the armature (the game's Y up), not moved by the armature a second time.
    EXPECT_NEAR(r.model->bones[1].position.x, 0.0f, 1e-5);
    EXPECT_NEAR(r.model->bones[1].position.y, 1.0f, 1e-5);
    EXPECT_NEAR(r.model->bones[1].position.z, 0.0f, 1e-5);
    // The triangle 0.5 m above the armature's feet, around it.
    const auto [lo, hi] = r.model->VertexBounds();
    EXPECT_NEAR(lo.y, 0.5f, 1e-5);
    EXPECT_NEAR(hi.y, 0.5f, 1e-5);
    EXPECT_NEAR(lo.x, 0.0f, 1e-5);
    EXPECT_NEAR(hi.x, 1.0f, 1e-5);
}

TEST(ArtistFiles, RangesAndClipsCountOnTheTimeline) {
    support::TempDir dir;
    auto request = Request(Artist("rig.glb"), dir.File("part.vla"));
    request.mode = vlo::ExportMode::Animation;
    request.import.range = std::pair{12, 20};
    request.import.clip = "SWING";
    const auto r = ExportAs(request);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.animation->header.numFrames, 9u);
    EXPECT_EQ(r.animation->frames[0].flags, vlo::KeyFrameBit(vlo::kTopOfSwing));  // frame 12 is the first
    request.import.clip = "2";
    EXPECT_EQ(ExportAs(request).status, app::kExitUsage);  // the file has one clip

    // Blender names the FBX take "Rig|Swing": the action's name picks it, as it does in the glTF.
    auto fbx = Request(Artist("rig.fbx"), dir.File("part.vla"));
    fbx.mode = vlo::ExportMode::Animation;
    fbx.import.clip = "swing";
    const auto taken = ExportAs(fbx);
    ASSERT_EQ(taken.status, 0) << app::FormatDiagnostic(taken.diagnostics.at(0));
    EXPECT_EQ(taken.scene.clip, "Rig|Swing");
    EXPECT_EQ(taken.animation->header.numFrames, 60u);
    EXPECT_FALSE(Says(taken, "the clip gives its keys by the name"));
    fbx.import.clip = "Rig";  // the object's name is not the action's
    EXPECT_EQ(ExportAs(fbx).status, app::kExitUsage);

    // One action on two armatures is two takes, "Left|Swing" and "Right|Swing": the action's name
    // asks for the choice, the whole name makes it.
    fbx.input = Artist("two.fbx");
    fbx.import.clip = "Swing";
    auto shared = ExportAs(fbx);
    EXPECT_EQ(shared.status, app::kExitNeedsChoice);
    ASSERT_FALSE(shared.diagnostics.empty());
    EXPECT_EQ(shared.diagnostics.back().text.rfind("several clips are the action 'Swing'", 0), 0u)
        << shared.diagnostics.back().text;
    fbx.import.clip = "right|swing";
    fbx.select = "Right";
    shared = ExportAs(fbx);
    ASSERT_EQ(shared.status, 0) << app::FormatDiagnostic(shared.diagnostics.at(0));
    EXPECT_EQ(shared.scene.clip, "Right|Swing");
    // Both armatures have a bone "Bone", and FBX keys name their node only: which one's keys they
    // are cannot be told.
    EXPECT_TRUE(Says(shared, "bone 'Bone': the clip gives its keys by the name 'Bone', which 2 nodes of the scene "
                             "share, so they may be another's (give the bones of each skeleton names of their own)"));
    EXPECT_TRUE(Says(shared, "the clip also drives 'Left/Bone', neither bones of 'Right'"));  // by its path

    // Actions kept on NLA tracks: Blender's FBX writes a take per strip ("Idle") and per action
    // ("Golfer|Idle"), all from time 0; each spans the frames it has on the timeline, as in the glTF.
    for (const std::string file : {"strips.fbx", "strips.glb"})
        for (const auto& [clip, last] : {std::pair{"Idle", 20}, {"Swing", 40}, {"Golfer|Swing", 40}}) {
            if (file == "strips.glb" && std::string(clip).find('|') != std::string::npos) continue;
            auto strips = Request(Artist(file), dir.File("strip.vla"));
            strips.mode = vlo::ExportMode::Animation;
            strips.import.clip = clip;
            const auto r = ExportAs(strips);
            ASSERT_EQ(r.status, 0) << file << " " << clip;
            EXPECT_EQ(r.scene.clip, clip) << file;
            EXPECT_EQ(r.firstFrame, 1) << file << " " << clip;
            EXPECT_EQ(r.lastFrame, last) << file << " " << clip;
        }
}

// Blender's NTSC rate, 29.97 fps, is no whole number of the host's ticks: the scene's frames become
// the host's at 30 fps, each key on the frame it was set on, with a warning, whether the file states
// the rate (FBX) or its keys lie on its grid (COLLADA); a static model of the scene is no concern of
// its rate (both used to be refused from FBX). --fps 30 keeps the keys' seconds.
TEST(ArtistFiles, AnNtscSceneKeepsItsFramesAt30Fps) {
    support::TempDir dir;
    // The bone's turn from frame 1 to frame, in degrees.
    auto turn = [](const vlo::VlaAnimation& a, std::size_t frame) {
        const vlo::BoneKey &from = a.Key(0, 1), &to = a.Key(frame - 1, 1);
        const double dot = from.x * to.x + from.y * to.y + from.z * to.z + from.w * to.w;
        return 2 * std::acos(std::min(1.0, std::fabs(dot))) * 180 / 3.14159265358979;
    };
    for (const std::string file : {"ntsc.fbx", "ntsc.dae"}) {
        auto request = Request(Artist(file), dir.File("turn.VLA"));
        request.mode = vlo::ExportMode::Animation;
        auto r = ExportAs(request);
        ASSERT_EQ(r.status, 0) << file << ": " << app::FormatDiagnostic(r.diagnostics.at(0));
        EXPECT_TRUE(Says(r, "the file's frame rate, 29.97 fps, is no whole number of the host's 4800 ticks per second: "
                            "clip '" + r.scene.clip + "' plays at 30 fps, each key on the frame it was set on (--fps 30 "
                            "keeps the keys' seconds instead)"))
            << file;
        EXPECT_EQ(r.firstFrame, 1) << file;
        EXPECT_EQ(r.lastFrame, 300) << file;
        ASSERT_EQ(r.animation->header.numFrames, 300u) << file;
        EXPECT_NEAR(turn(*r.animation, 151), 90.0 * 150 / 299, 1e-3) << file;
        EXPECT_NEAR(turn(*r.animation, 300), 90.0, 1e-3) << file;
        request.import.fps = 30;
        r = ExportAs(request);
        ASSERT_EQ(r.status, 0) << file;
        EXPECT_FALSE(Says(r, "29.97")) << file;
        EXPECT_NEAR(turn(*r.animation, 300), 90.0 * (299 * 0.999) / 299, 1e-3) << file;  // a tenth of a frame short
    }
    auto model = Request(Artist("ntsc.fbx"), dir.File("ball.VLO"));
    model.select = "Ball";
    const auto r = ExportAs(model);
    EXPECT_EQ(r.status, 0) << app::FormatDiagnostic(r.diagnostics.at(0));
}

TEST(ArtistFiles, BlenderLeafBonesAreLeftOutWithAWarning) {
    support::TempDir dir;
    auto request = Request(Artist("rig.fbx"), dir.File("rig.vlo"));
    request.mode = vlo::ExportMode::Hierarchy;
    request.select = "Sleeve";
    const auto r = ExportAs(request);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.model->bones.size(), 3u);
    EXPECT_TRUE(Says(r, "left out (Arm_end)"));
}

TEST(ArtistFiles, AClipsShapeKeyAnimationIsNamedByTheObjectItAnimates) {
    // assimp names an FBX file's shape key channel "Face*0"; the artist's object is "Face", as from glTF.
    support::TempDir dir;
    auto request = Request(Artist("talk.fbx"), dir.File("talk.VLA"));
    request.mode = vlo::ExportMode::Animation;
    const auto r = ExportAs(request);
    ASSERT_EQ(r.status, 0);
    ASSERT_TRUE(r.animation);
    EXPECT_EQ(r.animation->header.numBones, 2u);
    EXPECT_TRUE(Says(r, "clip 'Head|HeadAction': its shape key animation of Face is left out"));
    EXPECT_FALSE(Says(r, "Face*"));
}

TEST(ArtistFiles, AVertexWithMoreThanFourWeightsIsExportedWithAWarningThatSaysWhatToDo) {
    // Blade's first vertex: F0 to F3 at 0.1 each and F4 at 0.6.
    support::TempDir dir;
    auto request = Request(Artist("fan.fbx"), dir.File("fan.vlo"));
    request.mode = vlo::ExportMode::Hierarchy;
    const auto r = ExportAs(request);
    ASSERT_EQ(r.status, 0);
    const app::Diagnostic* fold = nullptr;
    for (const auto& d : r.diagnostics)
        if (d.text == "Error: Blended vertex with more than 4 (real) links [continuing]") fold = &d;
    ASSERT_NE(fold, nullptr);
    EXPECT_EQ(fold->level, app::Diagnostic::Level::Warning);
    EXPECT_EQ(fold->object, "Blade");
    EXPECT_NE(fold->explanation.find("Weights > Limit Total"), std::string::npos) << fold->explanation;
    // What the warning describes: the vertex keeps F0 to F3, and F4's weight went to F0.
    const vlo::VloModel& m = *r.model;
    std::vector<std::string> bones;
    for (const auto& b : m.bones) bones.push_back(vlo::FieldText(b.name));
    ASSERT_EQ(bones, (std::vector<std::string>{"Fan", "F0", "F1", "F2", "F3", "F4"}));
    bool found = false;
    for (const auto& links : m.links) {
        if (links.numLinks != 4) continue;
        found = true;
        EXPECT_EQ(std::vector<int>(links.boneIds, links.boneIds + 4), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_NEAR(links.weights[0], 0.7f, 1e-6);
    }
    EXPECT_TRUE(found);
}

TEST(ArtistFiles, ASkeletonSelectedForASkinnedModelNamesTheMeshSkinnedToIt) {
    support::TempDir dir;
    auto request = Request(Artist("rig.fbx"), dir.File("rig.vlo"));
    request.mode = vlo::ExportMode::Hierarchy;
    request.select = "Rig";
    auto r = ExportAs(request);
    EXPECT_EQ(r.status, app::kExitExportFailed);
    ASSERT_FALSE(r.diagnostics.empty());
    EXPECT_EQ(r.diagnostics.back().explanation,
              "Rig is part of a skeleton, not a skinned mesh: select the mesh skinned to it (--select Sleeve)");
    // A bone below the root is as much the skeleton; a mesh without a skin keeps the plain advice.
    request.select = "Arm";
    r = ExportAs(request);
    ASSERT_FALSE(r.diagnostics.empty());
    EXPECT_NE(r.diagnostics.back().explanation.find("(--select Sleeve)"), std::string::npos);
    // A skeleton with a prop on a bone: the prop is attached as a group's meshes are, and the advice
    // is still about the skeleton the user named.
    request = Request(Artist("prop.fbx"), dir.File("prop.vlo"));
    request.mode = vlo::ExportMode::Hierarchy;
    request.select = "Rig";
    r = ExportAs(request);
    EXPECT_EQ(r.status, app::kExitExportFailed);
    ASSERT_FALSE(r.diagnostics.empty());
    EXPECT_EQ(r.diagnostics.back().explanation,
              "Rig is part of a skeleton, not a skinned mesh: select the mesh skinned to it (--select Sleeve)");
    // Not selected at all, the skinned model is the scene's one skinned mesh, not the prop beside it.
    request.select.clear();
    r = ExportAs(request);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.object, "Sleeve");
    request = Request(Artist("box_m_none.fbx"), dir.File("box.vlo"));
    request.mode = vlo::ExportMode::Hierarchy;
    request.select = "Crate";
    r = ExportAs(request);
    ASSERT_FALSE(r.diagnostics.empty());
    EXPECT_EQ(r.diagnostics.back().explanation, "the object has no skin: use --mode shape, or bind it to an armature");
}

TEST(ArtistFiles, TexturesMissingAndEmbeddedAreNamedAndEmbeddedOnesCanBeExtracted) {
    support::TempDir dir;
    auto fbx = Request(Artist("rig.fbx"), dir.File("a.vlo"));
    fbx.mode = vlo::ExportMode::Hierarchy;
    fbx.select = "Sleeve";
    EXPECT_TRUE(Says(ExportAs(fbx), "texture sleeve.png is not beside the scene file"));
    // An animation writes no texture names: the missing texture is none of its business.
    fbx.mode = vlo::ExportMode::Animation;
    fbx.output = dir.File("a.vla");
    const auto animation = ExportAs(fbx);
    ASSERT_EQ(animation.status, 0);
    EXPECT_FALSE(Says(animation, "texture sleeve.png"));

    auto glb = Request(Artist("rig.glb"), dir.File("b.vlo"));
    glb.select = "Sleeve";
    EXPECT_TRUE(Says(ExportAs(glb), "texture sleeve.png is embedded in the scene file"));
    // Asked to write the image out, the export does so instead of advising it.
    glb.extractTexturesTo = dir.File("maps");
    const auto r = ExportAs(glb);
    ASSERT_EQ(r.status, 0);
    EXPECT_FALSE(Says(r, "embedded in the scene file"));
    ASSERT_EQ(r.model->textures.size(), 1u);
    EXPECT_EQ(vlo::FieldText(r.model->textures[0].name), "sleeve.png");
    const std::string png = support::ReadText(dir.File("maps/sleeve.png"));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // A second extraction finds the same image there and leaves it; another image is not replaced.
    std::ofstream(dir.File("maps/sleeve.png"), std::ios::binary) << "mine";
    EXPECT_TRUE(Says(ExportAs(glb), "exists with other content: left as it is"));
    EXPECT_EQ(support::ReadText(dir.File("maps/sleeve.png")), "mine");

    // An FBX made with "Embed Textures" refers to its image by the file name it was embedded from.
    auto embedded = Request(Artist("flag.fbx"), dir.File("flag.vlo"));
    EXPECT_TRUE(Says(ExportAs(embedded), "texture flag cloth.png is embedded in the scene file"));
    embedded.extractTexturesTo = dir.File("flag maps");
    const auto flag = ExportAs(embedded);
    ASSERT_EQ(flag.status, 0);
    ASSERT_EQ(flag.model->textures.size(), 1u);
    EXPECT_EQ(vlo::FieldText(flag.model->textures[0].name), "flag cloth.png");
    EXPECT_EQ(support::ReadText(dir.File("flag maps/flag cloth.png")).substr(1, 3), "PNG");

    // An export that writes no model writes no image either: a refused one, and a dry run.
    auto unwritten = glb;
    unwritten.extractTexturesTo = dir.File("unwritten");
    unwritten.output = dir.File("c.vlo");
    unwritten.select = "Nothing";
    EXPECT_EQ(ExportAs(unwritten).status, app::kExitUsage);
    unwritten.select = "Sleeve";
    unwritten.dryRun = true;
    EXPECT_EQ(ExportAs(unwritten).status, 0);
    EXPECT_FALSE(support::Exists(dir.File("unwritten")));
    EXPECT_FALSE(support::Exists(dir.File("c.vlo")));
}

// A Mapping node tiles the green's texture 4 x 4 and moves it by (0.5, 0.25); Blender's FBX exporter
// writes it as the texture's transform, which the model's coordinates take on. Another program's
// texture transforms follow conventions of their own: they are named, not applied.
TEST(ArtistFiles, ATiledTextureLiesAsInBlenderAndAnotherProgramsTilingIsNamed) {
    support::TempDir dir;
    auto spans = [](const vlo::VloModel& m) {
        float lo[2] = {1e30f, 1e30f}, hi[2] = {-1e30f, -1e30f};
        for (const auto& v : m.vertices) {
            lo[0] = std::min(lo[0], v.u), hi[0] = std::max(hi[0], v.u);
            lo[1] = std::min(lo[1], v.v), hi[1] = std::max(hi[1], v.v);
        }
        return std::vector<float>{lo[0], hi[0], lo[1], hi[1]};
    };
    const auto blender = ExportAs(Request(Artist("tiled.fbx"), dir.File("green.vlo")));
    ASSERT_EQ(blender.status, 0);
    // Blender's u from 0.5 to 4.5 and v from 0.25 to 4.25; the model's v runs down (1 - v).
    const std::vector<float> tiled = spans(*blender.model);
    const std::vector<float> expected = {0.5f, 4.5f, -3.25f, 0.75f};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(tiled[i], expected[i], 1e-5) << i;
    EXPECT_FALSE(Says(blender, "places its texture"));

    // The same file as another program's: its name made another of as many letters, so the file holds.
    std::string bytes = support::ReadText(Artist("tiled.fbx"));
    for (std::size_t at = bytes.find("Blender"); at != std::string::npos; at = bytes.find("Blender", at))
        bytes.replace(at, 7, "Modeler");
    std::ofstream(dir.File("other.fbx"), std::ios::binary) << bytes;
    const auto other = ExportAs(Request(dir.File("other.fbx"), dir.File("other.vlo")));
    ASSERT_EQ(other.status, 0);
    EXPECT_EQ(spans(*other.model), (std::vector<float>{0, 1, 0, 1}));
    EXPECT_TRUE(Says(other, "material 'Turf': the file places its texture by a transform of its own (tiling, offset or "
                            "turn), which is left out"));
}

TEST(ArtistFiles, UnusableFileNormalsAreComputedAndAnObjHasNoEmpties) {
    support::TempDir dir;
    // An object line before a group leaves assimp an empty node; the zero normal says nothing.
    std::ofstream(dir.File("flat.obj")) << "o Holder\ng Tri\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 0\nvn 0 0 1\n"
                                           "f 1//1 2//2 3//1\n";
    auto request = Request(dir.File("flat.obj"), dir.File("flat.vlo"));
    request.all = true;
    const auto r = ExportAs(request);
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(Says(r, "2 normals of the file have no length or are not finite"));
    EXPECT_TRUE(r.model->markers.empty());  // "Holder" is no dummy marker
    for (const auto& v : r.model->vertices) EXPECT_NEAR(std::fabs(v.normal.z), 1.0f, 1e-6);  // the face's normal

    // A loose edge, as Blender's OBJ exporter writes it: the line is left out, and its vertices,
    // which have no normals in the file, are not counted as unusable ones.
    std::ofstream(dir.File("wire.obj")) << "o Plate\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 3 0 0\nv 3 0 2\nvn 0 0 1\n"
                                           "f 1//1 2//1 3//1\nl 4 5\n";
    const auto wire = ExportAs(Request(dir.File("wire.obj"), dir.File("wire.vlo")));
    ASSERT_EQ(wire.status, 0);
    EXPECT_TRUE(Says(wire, "node 'Plate': 1 point or line primitives left out (a model holds triangles only)"));
    EXPECT_FALSE(Says(wire, "normals of the file")) << app::FormatDiagnostic(wire.diagnostics.at(0));
}

TEST(ArtistFiles, MarkersOffTheModelAndImplausibleSizesAreNamed) {
    support::TempDir dir;
    support::WriteGltf(dir.File("scene.gltf"));  // a unit cube "Box" and a top-level empty "Pin"
    app::ExportRequest request;
    request.input = dir.File("scene.gltf");
    request.output = dir.File("box.vlo");
    request.select = "Box";
    const auto base = ExportAs(request);  // the default origin: base
    ASSERT_EQ(base.status, 0);
    EXPECT_TRUE(Says(base, "the markers are not moved with the model by --origin base"));
    request.choices.origin = vlo::OriginMode::World;
    EXPECT_FALSE(Says(ExportAs(request), "markers are not moved"));

    std::ofstream(dir.File("tower.obj")) << "v 0 0 0\nv 1 0 0\nv 0 2000 0\nf 1 2 3\n";
    auto tower = Request(dir.File("tower.obj"), dir.File("tower.vlo"));
    tower.all = true;
    EXPECT_TRUE(Says(ExportAs(tower), "the model is 2000 m tall"));
    // A flat sign 2 m wide has no height but a plausible size; a speck of half a millimetre has not.
    std::ofstream(dir.File("sign.obj")) << "v 0 0 0\nv 2 0 0\nv 0 0 1\nf 1 2 3\n";
    auto sign = Request(dir.File("sign.obj"), dir.File("sign.vlo"));
    sign.all = true;
    const auto flat = ExportAs(sign);
    ASSERT_EQ(flat.status, 0);
    EXPECT_FALSE(Says(flat, "check its scale"));
    std::ofstream(dir.File("speck.obj")) << "v 0 0 0\nv 0.0005 0 0\nv 0 0.0002 0\nf 1 2 3\n";
    auto speck = Request(dir.File("speck.obj"), dir.File("speck.vlo"));
    speck.all = true;
    EXPECT_TRUE(Says(ExportAs(speck), "the model is 0.0005 m across at its widest: check its scale"));

    // A model of more vertices than the file holds says how to get under the limit.
    std::ofstream many(dir.File("many.obj"));
    for (int i = 0; i < 21846; ++i) many << "v " << i << " 0 0\nv " << i << ".5 0 0\nv " << i << " 1 0\n";
    for (int i = 0; i < 21846; ++i) many << "f " << 3 * i + 1 << " " << 3 * i + 2 << " " << 3 * i + 3 << "\n";
    many.close();
    auto big = Request(dir.File("many.obj"), dir.File("many.vlo"));
    big.all = true;
    const auto refused = ExportAs(big);
    EXPECT_EQ(refused.status, app::kExitExportFailed);
    ASSERT_FALSE(refused.diagnostics.empty());
    EXPECT_NE(refused.diagnostics.back().text.find("65538 welded vertices"), std::string::npos);
    EXPECT_NE(refused.diagnostics.back().explanation.find("split the model into parts and export each (--select)"),
              std::string::npos)
        << app::FormatDiagnostic(refused.diagnostics.back());
}

TEST(ArtistFiles, KeyFramePropertiesReadAsArtistsTypeThem) {
    EXPECT_EQ(importer::KeyFrameLine("10 BALL_STRUCK"), "KEYFRAME 10 BALL_STRUCK");
    EXPECT_EQ(importer::KeyFrameLine(" keyframe  -3 address_ball "), "KEYFRAME -3 ADDRESS_BALL");
    EXPECT_EQ(importer::KeyFrameLine("10 FOLLOW_THROUGH"), "");
    EXPECT_EQ(importer::KeyFrameLine("ten BALL_STRUCK"), "");
    const auto text = importer::UserPropertyText({{"UserProperties", "user text"},
                                                  {"KEYFRAME1", "12 TOP_OF_SWING"},
                                                  {"kf", "KEYFRAME 3 ADDRESS_BALL\nKEYFRAME 30 BALL_STRUCK"},
                                                  {"note", "green"},
                                                  {"KeyFrame2", "30 BALL"}});
    EXPECT_EQ(text.text, "user text\r\nKEYFRAME 12 TOP_OF_SWING\r\nKEYFRAME 3 ADDRESS_BALL\r\nKEYFRAME 30 BALL_STRUCK\r\n"
                         "note = green\r\nKeyFrame2 = 30 BALL");
    EXPECT_EQ(text.unread, std::vector<std::string>{"KeyFrame2 = 30 BALL"});
}

}  // namespace
