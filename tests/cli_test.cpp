// What vloexport promises its users: error only when nothing was written, files that are not
// overwritten when they should not be, nothing dropped without a warning, and its exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/wait.h>

#include "app/export_job.h"
#include "app/selection.h"
#include "format/vla_reader.h"
#include "format/vlo_reader.h"
#include "scene_files.h"
#include "test_support.h"
#include "tool_runs.h"
#include "tools/export_flags.h"

namespace {

namespace fs = std::filesystem;

using support::ToolRun;
ToolRun Export(const std::vector<std::string>& args) { return support::RunVloExport(args); }

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        support::WriteGltf(scene);
        support::WriteSkinnedGltf(rig);
        support::WriteAnimatedGltf(swing);
        fs::create_directory(dir.File("textures"));
        for (const char* texture : {"grass.png", "stone.png", "textures/stone.png", "stone_n.png"})
            std::ofstream(dir.File(texture)) << "PNG";
        inputs = support::ListDir(dir.Path());
    }
    support::TempDir dir;
    std::string scene = dir.File("scene.gltf"), rig = dir.File("rig.gltf"), swing = dir.File("swing.gltf");
    std::string out = dir.File("out.VLO");
    std::vector<std::string> inputs;  // the folder's files before a test
};

TEST_F(Cli, ErrorMeansNothingWasWrittenEverythingElseIsAWarning) {
    // A message box after which the export goes on, whatever its caption, is a warning.
    ToolRun r = Export({scene, "--select", "Spin", "--bump", "--origin", "world", "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.Lines("error: ").empty()) << r.err;
    EXPECT_EQ(r.Lines("warning: "),
              (std::vector<std::string>{"warning: 1 empty lies below the exported object and is no marker (Group/Spin/Tip): "
                                        "markers are the empties at the top of the scene (clear their parent, keeping "
                                        "their place, to export them)",
                                        "warning: Currently only support one bump map (found 0) (--bump needs exactly one "
                                        "bump (normal) map in the object's material) [object 'Spin']"}));
    EXPECT_TRUE(support::Exists(out));
    // Leaving every marker out, the user is not told which empty is none.
    r = Export({scene, "--select", "Spin", "--no-markers", "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.Lines("warning: ").empty()) << r.err;

    // A failure is an error, in the host's words with their meaning after them, and writes nothing.
    r = Export({scene, "--select", "Box", "--mode", "hierarchy", "-o", dir.File("h.VLO")});
    EXPECT_EQ(r.status, app::kExitExportFailed);
    EXPECT_NE(r.err.find("error: Neither Physique modifier nor Skin modifier found on selected object (the object has "
                         "no skin: use --mode shape, or bind it to an armature) [object 'Box']"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(support::Exists(dir.File("h.VLO")));
    EXPECT_FALSE(support::Exists(dir.File("h.TXT")));
}

TEST_F(Cli, NamesWithSeveralDotsKeepThemAndNeverShareAFile) {
    // Two clips of one golfer, named by the user: two animations, each with its own text.
    for (const std::string clip : {"swing", "idle"}) {
        const ToolRun r = Export({swing, "--mode", "animation", "--clip", clip, "-o", dir.File("golfer." + clip + ".VLA")});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("wrote " + dir.File("golfer." + clip + ".VLA") + ":", 0), 0u) << r.out;
    }
    const ToolRun model = Export({scene, "--select", "Box", "-o", dir.File("box.v2.VLO")});
    EXPECT_EQ(model.status, 0) << model.err;
    std::vector<std::string> written;
    for (const std::string& f : support::ListDir(dir.Path()))
        if (std::find(inputs.begin(), inputs.end(), f) == inputs.end()) written.push_back(f);
    EXPECT_EQ(written, (std::vector<std::string>{"box.v2.TXT", "box.v2.VLO", "golfer.idle.TXT", "golfer.idle.VLA",
                                                 "golfer.swing.TXT", "golfer.swing.VLA"}));
}

TEST_F(Cli, StrictTurnsWarningsIntoFailure) {
    const ToolRun r = Export({scene, "--select", "Spin", "--bump", "--origin", "world", "--strict", "-o", out});
    EXPECT_EQ(r.status, app::kExitExportFailed);
    EXPECT_NE(r.err.find("warning: Currently only support one bump map"), std::string::npos);
    EXPECT_NE(r.err.find("error: --strict: the warnings above fail the export; nothing was written"), std::string::npos)
        << r.err;
    EXPECT_EQ(support::ListDir(dir.Path()), inputs);
    // Without warnings, --strict changes nothing.
    const ToolRun clean = Export({scene, "--select", "Box", "--origin", "world", "--strict", "-o", out});
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(clean.err, "");
}

TEST_F(Cli, TheInputAndTheFilesItUsesAreNeverOverwritten) {
    const std::string before = support::ReadText(scene);
    ToolRun r = Export({scene, "--select", "Box", "-o", scene, "--force"});
    EXPECT_EQ(r.status, app::kExitUsage);
    EXPECT_NE(r.err.find("error: the output " + scene + " is the scene file or a file it uses: nothing was written"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(support::ReadText(scene), before);

    // A texture the scene uses, even by another spelling of its path.
    r = Export({scene, "--select", "Box", "-o", dir.Path() + "/./grass.png", "--force"});
    EXPECT_EQ(r.status, app::kExitUsage);
    EXPECT_NE(r.err.find("is the scene file or a file it uses"), std::string::npos) << r.err;
    EXPECT_EQ(support::ReadText(dir.File("grass.png")), "PNG");

    // Only .VLO and .VLA (any case) unless forced.
    r = Export({scene, "--select", "Box", "-o", dir.File("box.obj")});
    EXPECT_EQ(r.status, app::kExitUsage);
    EXPECT_NE(r.err.find("error: the output " + dir.File("box.obj") + " is not a .VLO or .VLA file (--force writes it "
                                                                        "all the same)"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(support::Exists(dir.File("box.obj")));
    EXPECT_EQ(Export({scene, "--select", "Box", "-o", dir.File("box.vlo")}).status, 0);
    EXPECT_EQ(Export({scene, "--select", "Box", "-o", dir.File("box.obj"), "--force"}).status, 0);
    EXPECT_TRUE(support::Exists(dir.File("box.obj")));

    // An animation goes to the file named: a .VLA of any case is that file itself, and any other name
    // is refused, forced or not, rather than writing the .VLA beside it over whatever is there.
    std::ofstream(dir.File("group.VLA")) << "notes";
    for (const std::vector<std::string>& force : {std::vector<std::string>{}, {"--force"}}) {
        std::vector<std::string> args = {scene, "--select", "Group", "--mode", "animation", "-o", dir.File("group.VLO")};
        args.insert(args.end(), force.begin(), force.end());
        r = Export(args);
        EXPECT_EQ(r.status, app::kExitUsage);
        EXPECT_NE(r.err.find("error: the output " + dir.File("group.VLO") +
                             " is not a .VLA file: the animation would be written to " + dir.File("group.VLA") +
                             ", which was not named; nothing was written (name that output)"),
                  std::string::npos)
            << r.err;
    }
    r = Export({scene, "--select", "Group", "--mode", "animation", "-o", dir.File("group.vla")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("wrote " + dir.File("group.vla")), std::string::npos) << r.out;
    EXPECT_EQ(support::ReadText(dir.File("group.vla")).substr(0, 4), "VANM");
    EXPECT_EQ(support::ReadText(dir.File("group.VLA")), "notes");
    EXPECT_FALSE(support::Exists(dir.File("group.VLO")));
}

TEST_F(Cli, ReadOnlyOutputsStayAndReplacedOnesKeepTheirPermissions) {
    std::ofstream(out) << "previous";
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read);
    ToolRun r = Export({scene, "--select", "Box", "-o", out});
    EXPECT_EQ(r.status, app::kExitExportFailed);
    EXPECT_NE(r.err.find("error: Failed to create the file: " + out + " (Permission denied)"), std::string::npos)
        << r.err;
    EXPECT_EQ(support::ReadText(out), "previous");
    std::vector<std::string> files = inputs;
    files.insert(std::lower_bound(files.begin(), files.end(), "out.VLO"), "out.VLO");
    EXPECT_EQ(support::ListDir(dir.Path()), files);  // no text, no temporary file

    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    r = Export({scene, "--select", "Box", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(support::ReadText(out), "previous");
    EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(Cli, OnlyAnEarlierExportsInformationFileIsReplaced) {
    const std::string text = dir.File("out.TXT");
    const std::string kept = "warning: The information file " + text + " is not written: a file of that name holds other text";
    // Notes of the user's that happen to share the text's name stay; the model is still written.
    std::ofstream(text) << "VLO notes: ask for a taller pin\n";
    ToolRun r = Export({scene, "--select", "Box", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(kept), std::string::npos) << r.err;
    EXPECT_EQ(support::ReadText(text), "VLO notes: ask for a taller pin\n");
    EXPECT_TRUE(support::Exists(out));
    // An empty file holds nothing to keep; an earlier export's text, model's or animation's, is
    // replaced by the next.
    std::ofstream{text};
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{scene, "--select", "Box", "-o", out}, {swing, "--clip", "Swing", "-o", dir.File("out.VLA")},
          {scene, "--select", "Box", "-o", out}}) {
        const std::string before = support::ReadText(text);
        r = Export(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find(kept), std::string::npos) << r.err;
        EXPECT_NE(support::ReadText(text), before);
    }
    // --strict makes the kept file's warning a failure: nothing is written.
    std::ofstream(text) << "notes";
    const std::string model = support::ReadText(out);
    r = Export({scene, "--select", "Box", "-o", out, "--strict", "--created-at", "0"});
    EXPECT_EQ(r.status, app::kExitExportFailed);
    EXPECT_EQ(support::ReadText(text), "notes");
    EXPECT_EQ(support::ReadText(out), model);
}

TEST_F(Cli, AnInformationFileThatCannotBeMadeIsAWarning) {
    fs::create_directory(dir.File("out.TXT"));  // a folder where the text would go
    const ToolRun r = Export({scene, "--select", "Box", "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.Lines("error: ").empty()) << r.err;
    EXPECT_NE(r.err.find("warning: The information file " + dir.File("out.TXT") + " cannot be created"), std::string::npos)
        << r.err;
    EXPECT_TRUE(support::Exists(out));
    EXPECT_TRUE(fs::is_directory(dir.File("out.TXT")));
}

TEST_F(Cli, FileSystemFailuresNameThePathAndTheReason) {
    ToolRun r = Export({dir.Path(), "-o", out});
    EXPECT_EQ(r.status, app::kExitUsage);
    EXPECT_NE(r.err.find("it is a folder, not a scene file"), std::string::npos) << r.err;
    // A pipe would be read until its writer closes it, a device for ever.
    const std::string pipe = dir.File("scene.gltf.pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& notAFile : {pipe, std::string("/dev/zero")}) {
        r = Export({notAFile, "-o", out});
        EXPECT_EQ(r.status, app::kExitUsage);
        EXPECT_NE(r.err.find("error: cannot read " + notAFile + ": it is a pipe or a device, not a scene file"),
                  std::string::npos)
            << r.err;
    }
    // Nor is a pipe that the scene file names: an OBJ's material library, a glTF's buffer. The program
    // waited on it for ever, so here it runs on its own under a time limit (timeout's status 124).
    std::ofstream(dir.File("pipe.obj")) << "mtllib scene.gltf.pipe\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::string gltf = support::ReadText(scene);
    gltf.replace(gltf.find(R"("uri": "data:)"), 13, R"("uri": "scene.gltf.pipe", "unread": "data:)");
    std::ofstream(dir.File("pipe.gltf")) << gltf;
    for (const auto& [input, status] : {std::pair{dir.File("pipe.obj"), 0}, {dir.File("pipe.gltf"), app::kExitUsage}}) {
        const std::string command = "timeout 20 '" VLOEXPORT_PATH "' '" + input + "' --all -o '" + out + "' 2> /dev/null";
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), status) << input;
    }
    fs::remove(out), fs::remove(dir.File("out.TXT"));
    r = Export({dir.File("none.gltf"), "-o", out});
    EXPECT_NE(r.err.find("error: cannot read " + dir.File("none.gltf") + ": no such file"), std::string::npos) << r.err;
    EXPECT_FALSE(support::Exists(out));
    r = Export({scene, "--select", "Box", "-o", dir.File("out/m.VLO")});
    EXPECT_EQ(r.status, app::kExitExportFailed);
    EXPECT_NE(r.err.find("error: Failed to create the file: " + dir.File("out/m.VLO") +
                         " (No such file or directory) [object 'Box']"),
              std::string::npos)
        << r.err;
}

TEST_F(Cli, WhatAModelOrAnAnimationCannotHoldIsSaidOfWhatItTakes) {
    const std::string faces = dir.File("faces.gltf");
    support::WriteShapeKeyGltf(faces);
    // Each is named, and the model has the mesh's basis shape, as from every format.
    ToolRun r = Export({faces, "--select", "Face", "--origin", "world", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string face = "warning: " + faces + ": node 'Face': ";
    EXPECT_EQ(r.Lines("warning: "),
              (std::vector<std::string>{face + "1 shape key left out (Smile): the model has the mesh's basis shape (to "
                                               "export the shape you see, apply the shape keys first: 'Apply All Shape "
                                               "Keys' in Blender)",
                                        face + "1 UV map after the first left out: a model has one (make the one its "
                                               "textures use the first)",
                                        face + "its vertex colours are left out: a model has none (bake them into its "
                                               "texture to keep them)"}));
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(out, bytes, error)) << error;
    const vlo::VloReadResult vlo = vlo::ReadVlo(bytes);
    ASSERT_EQ(vlo.model.vertices.size(), 4u);
    for (const vlo::ModelVertex& v : vlo.model.vertices) EXPECT_TRUE(v.position.y == 0.0f || v.position.y == 1.0f) << v.position.y;

    // An export of another object of the scene hears nothing of them, so --strict lets it through.
    r = Export({faces, "--select", "Plain", "--origin", "world", "--strict", "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.Lines("warning: ").empty()) << r.err;

    // An animation of the skeleton hears of what it leaves out of the clip instead (Flag is one of its
    // markers).
    r = Export({faces, "--select", "Hips", "--mode", "animation", "--clip", "Talk", "-o", dir.File("talk.VLA")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.Lines("warning: "),
              (std::vector<std::string>{"warning: " + faces + ": clip 'Talk': its shape key animation of Face is left "
                                                              "out: an animation holds the bones' turns and the root's "
                                                              "travel only",
                                        "warning: bone 'Spine' is scaled in the clip (its keyed scales lie up to 0.866 "
                                        "apart), but an animation holds the bones' turns and the root's travel only: "
                                        "its scaling is left out (keep the bones' scale as it is) [object 'Hips']",
                                        "warning: the clip also drives 'Plain', neither bones of 'Hips' nor markers: "
                                        "their motion is left out (parent what should move with the skeleton to one of "
                                        "its bones, or export an animation of its own with --select) [object 'Hips']"}));

    // The listing of the scene tells everything; a clip of shape keys alone has its frames and rate
    // from their keys.
    r = Export({faces, "--list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.Lines(face).size(), 3u) << r.err;
    EXPECT_NE(r.out.find("clip 2: 'Smile', frames 0 to 3 at 24 fps"), std::string::npos) << r.out;
}

TEST_F(Cli, TwoRigsWithBonesOfOneNameAreTwoSkeletonsAndTheirSharedKeysAreNamed) {
    const std::string rigs = dir.File("rigs.gltf");
    support::WriteTwoRigsGltf(rigs);
    // The keys of Right's "Bone" make both armatures skeletons, so neither is a marker of the other
    // or of itself; which "Bone" the keys are for, the names cannot tell.
    const ToolRun r = Export({rigs, "--select", "Right", "-o", dir.File("right.VLA")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.Lines("warning: "),
              (std::vector<std::string>{"warning: bone 'Bone': the clip gives its keys by the name 'Bone', which 2 nodes "
                                        "of the scene share, so they may be another's (give the bones of each skeleton "
                                        "names of their own) [object 'Right']",
                                        "warning: the clip also drives 'Left/Bone', neither bones of 'Right' nor markers: "
                                        "their motion is left out (parent what should move with the skeleton to one of "
                                        "its bones, or export an animation of its own with --select) [object 'Right']"}));
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(dir.File("right.VLA"), bytes, error)) << error;
    const vlo::VlaReadResult vla = vlo::ReadVla(bytes);
    ASSERT_TRUE(vla.Valid());
    EXPECT_EQ(vla.animation.header.numBones, 2u);
    EXPECT_TRUE(vla.animation.markers.empty());

    // Each body is skinned to the bone of its own armature, as Blender shows it.
    for (const std::string side : {"Left", "Right"}) {
        const ToolRun body = Export({rigs, "--mode", "hierarchy", "--select", side + "Body", "-o", out});
        ASSERT_EQ(body.status, 0) << body.err;
        ASSERT_TRUE(vlo::ReadFileBytes(out, bytes, error)) << error;
        const vlo::VloReadResult vlo = vlo::ReadVlo(bytes);
        ASSERT_TRUE(vlo.Valid());
        std::vector<std::string> bones;
        for (const auto& bone : vlo.model.bones) bones.push_back(vlo::FieldText(bone.name));
        EXPECT_EQ(bones, (std::vector<std::string>{side, "Bone"})) << side;
    }
    // Without a selection, a skinned model is to be made of one of the two skinned meshes.
    const ToolRun unchosen = Export({rigs, "--mode", "hierarchy", "-o", out});
    EXPECT_EQ(unchosen.status, app::kExitNeedsChoice);
    EXPECT_NE(unchosen.err.find("holds 2 skinned meshes; choose one with --select NAME:\n  LeftBody\n  RightBody\n"),
              std::string::npos)
        << unchosen.err;
}

TEST_F(Cli, ASkeletonOfMoreBonesThanAModelHoldsSaysWhichToLeaveOut) {
    const std::string rig = dir.File("rigify.gltf");
    support::WriteManyBonesGltf(rig, 255);  // with its root, 256
    const ToolRun r = Export({rig, "--mode", "hierarchy", "-o", out});
    EXPECT_EQ(r.status, app::kExitExportFailed);
    EXPECT_EQ(r.Lines("error: "),
              std::vector<std::string>{"error: The hierarchy under 'Rig' has 256 bones; a skinned model holds at most 255. "
                                       "Nothing was exported (leave out the control and helper bones, which move no "
                                       "vertex: Blender's FBX exporter has 'Only Deform Bones', its glTF exporter 'Export "
                                       "Deformation Bones Only') [object 'Body']"});
    EXPECT_FALSE(support::Exists(out));
    support::WriteManyBonesGltf(rig, 254);
    EXPECT_EQ(Export({rig, "--mode", "hierarchy", "-o", out}).status, 0);
}

TEST_F(Cli, VerticesBlenderBindsToItsNeutralJointHaveNoWeightAsInItsOtherFormats) {
    // From Blender's glTF exporter the joint goes, as the leaf bones of its FBX exporter do, and the
    // vertices on it have no weight: refused as the same scene's FBX file is.
    const std::string blender = dir.File("blender.gltf"), other = dir.File("other.gltf");
    support::WriteNeutralBoneGltf(blender, "Khronos glTF Blender I/O v3.4.50");
    ToolRun r = Export({blender, "--mode", "hierarchy", "-o", out});
    EXPECT_EQ(r.status, app::kExitExportFailed) << r.err;
    EXPECT_EQ(r.Lines("warning: " + blender),
              std::vector<std::string>{"warning: " + blender + ": the joint 'neutral_bone' that Blender's glTF "
                                       "exporter adds for vertices without weights is left out, so those vertices "
                                       "have none (weight every vertex of a skinned mesh to a bone)"});
    EXPECT_NE(r.err.find("error: Object 'Body': 2 of 4 vertices have no usable bone links"), std::string::npos) << r.err;
    EXPECT_FALSE(support::Exists(out));

    // Another tool's joint of that name is a bone like any other.
    support::WriteNeutralBoneGltf(other, "another tool");
    r = Export({other, "--mode", "hierarchy", "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(out, bytes, error)) << error;
    EXPECT_EQ(vlo::ReadVlo(bytes).model.bones.size(), 3u);
}

TEST_F(Cli, KeyFramesMarkersAndRangesThatDoNotApplySaySo) {
    const std::string anim = dir.File("swing.VLA");
    ToolRun r = Export({swing, "--clip", "Swing", "--keyframe", "99:BALL_STRUCK", "-o", anim});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the key frame BALL_STRUCK at frame 99 lies outside the exported frames 0 to 36: no "
                         "frame is flagged"),
              std::string::npos)
        << r.err;

    // Key frames typed into the root's properties are read in order up to the first entry that does not
    // read; that entry and one naming no key frame are said, and flag nothing.
    std::string text = support::ReadText(swing);
    const std::string hips = R"({"name": "Hips", )";
    ASSERT_NE(text.find(hips), std::string::npos);
    text.insert(text.find(hips) + hips.size(), R"("extras": {"UserProperties": "KEYFRAME 3 TOP_OF_SWING\r\nKEYFRAME )"
                                               R"(5 FOLLOW_THROUGH\r\nKEYFRAME x BALL_STRUCK\r\nKEYFRAME 9 BALL_STRUCK"}, )");
    std::ofstream(dir.File("typed.gltf")) << text;
    r = Export({dir.File("typed.gltf"), "--clip", "Swing", "-o", anim});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.Lines("warning: the key frame entry"),
              (std::vector<std::string>{"warning: the key frame entry 'KEYFRAME 5 FOLLOW_THROUGH' names no key frame "
                                        "(BALL_STRUCK, MOUSE_SWING_START, TOP_OF_SWING, ADDRESS_BALL): ignored [object 'Hips']",
                                        "warning: the key frame entry 'KEYFRAME x BALL_STRUCK' does not read (KEYFRAME "
                                        "FRAME NAME): it and every entry after it are ignored [object 'Hips']"}))
        << r.err;
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(anim, bytes, error)) << error;
    const vlo::VlaReadResult typed = vlo::ReadVla(bytes);
    ASSERT_GT(typed.animation.frames.size(), 9u);
    for (std::size_t f = 0; f < typed.animation.frames.size(); ++f)
        EXPECT_EQ(typed.animation.frames[f].flags, f == 3 ? vlo::KeyFrameBit(vlo::kTopOfSwing) : 0u) << f;

    r = Export({swing, "--clip", "Swing", "--range", "0:50", "-o", anim});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the frames 0 to 50 reach past the clip 'Swing' (frames 0 to 36)"), std::string::npos)
        << r.err;

    r = Export({scene, "--select", "Box", "--remove-marker", "pin", "--add-marker", "Box", "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: --remove-marker: no marker named 'pin'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("warning: --add-marker: no marker named 'Box'"), std::string::npos) << r.err;
}

// A frame range of hundreds of millions of frames asks for more memory than the process may have: the
// export fails with the range, and leaves no file, finished or not (it used to end the program and
// leave its unfinished files behind). The program runs on its own under a limit of its address space.
TEST_F(Cli, MemoryThatRunsOutFailsTheExportAndLeavesNoFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "ASan's allocator ends the process when memory runs out instead of throwing";
#else
    const std::string command = "ulimit -v 2000000; '" VLOEXPORT_PATH "' '" + swing +
                                "' --clip Swing --fps 4800 --range 0:400000000 -o '" + dir.File("long.VLA") + "' 2> '" +
                                dir.File("err.txt") + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), app::kExitExportFailed);
    EXPECT_EQ(support::ReadText(dir.File("err.txt")),
              "error: not enough memory to export " + swing +
                  " over the 400000001 frames of --range 0:400000000; nothing was written (export fewer frames)\n");
    fs::remove(dir.File("err.txt"));
    EXPECT_EQ(support::ListDir(dir.Path()), inputs);
#endif
}

TEST_F(Cli, NamesCutTo32BytesAreReportedAndKeepWholeCharacters) {
    std::string text = support::ReadText(swing);
    // The marker's 32nd byte is the first of the two of "ä": the field keeps the 31 before it.
    const std::string spine = "SpineOfAGolferWithAVeryLongName_40chars", ball = "BallMarkerWhoseNameIsLongerThan\xC3\xA4_32Bytes";
    for (auto [from, to] : {std::pair{std::string("\"name\": \"Spine\""), "\"name\": \"" + spine + "\""},
                            std::pair{std::string("\"name\": \"Ball\""), "\"name\": \"" + ball + "\""}}) {
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    std::ofstream(swing) << text;
    const ToolRun r = Export({swing, "--clip", "Swing", "-o", dir.File("long.VLA")});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string cut = " names longer than 32 bytes are cut to the first 32 bytes in the file (ending on a whole "
                            "character): ";
    EXPECT_NE(r.err.find("warning: bone" + cut + spine + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("warning: marker" + cut + ball + "\n"), std::string::npos) << r.err;
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(dir.File("long.VLA"), bytes, error)) << error;
    const vlo::VlaReadResult vla = vlo::ReadVla(bytes);
    ASSERT_TRUE(vla.Valid());
    ASSERT_EQ(vla.animation.markers.size(), 1u);
    EXPECT_EQ(vlo::FieldText(vla.animation.markers[0].header.name), "BallMarkerWhoseNameIsLongerThan");
}

// A skeleton stretched unevenly shears its bones as they turn, which bone turns cannot hold: the
// skinned model and the animation say so, naming the node that stretches it. One scaled evenly (a
// rig modelled at another size) is no stretch.
TEST_F(Cli, ASkeletonStretchedUnevenlyIsNamed) {
    const std::string stretched = "warning: the skeleton is stretched unevenly by 'Hips' (scaled by 1 to 1.3 along its "
                                  "axes): bones only turn, so the bones' turns are the nearest to its stretched poses "
                                  "(apply the scale to the armature: Object > Apply > Scale in Blender) [object 'Hips']";
    for (const auto& [scale, says] : {std::pair{"[1, 1.3, 1]", true}, std::pair{"[0.01, 0.01, 0.01]", false}}) {
        for (const std::string& file : {rig, swing}) {
            std::string text = support::ReadText(file);
            const std::string hips = R"("name": "Hips", "translation": [0, 1, 0])";
            const std::size_t at = text.find(hips);
            ASSERT_NE(at, std::string::npos) << file;
            text.insert(at + hips.size(), std::string(R"(, "scale": )") + scale);
            std::ofstream(file + ".scaled.gltf") << text;
        }
        const std::vector<std::string> runs[] = {
            {rig + ".scaled.gltf", "--mode", "hierarchy", "--select", "Body", "-o", dir.File("body.VLO")},
            {swing + ".scaled.gltf", "--clip", "Swing", "-o", dir.File("swing.VLA")}};
        for (const std::vector<std::string>& run : runs) {
            const ToolRun r = Export(run);
            EXPECT_EQ(r.status, 0) << r.err;
            const auto warnings = r.Lines("warning: ");
            EXPECT_EQ(std::count(warnings.begin(), warnings.end(), stretched), says ? 1 : 0) << run[0] << ": " << r.err;
        }
    }
}

TEST(CliSelection, ASharedNameTakesTheFirstAndSaysHowToPickAnother) {
    standin::Scene scene;
    standin::Node& a = scene.CreateNode("A");
    standin::Node& b = scene.CreateNode("B");
    support::AddBox(scene, "Cube", {1, 1, 1}, false, false, &a);
    standin::Node& second = support::AddBox(scene, "Cube", {1, 1, 1}, false, false, &b);
    app::SelectionRequest request;
    request.select = "Cube";
    app::Selection s = app::ChooseSelection(scene, request);
    ASSERT_EQ(s.problem, "");
    EXPECT_EQ(app::PathOf(*app::SelectedNode(scene)), "A/Cube");
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_NE(s.warnings[0].find("A/Cube"), std::string::npos) << s.warnings[0];
    EXPECT_NE(s.warnings[0].find("B/Cube"), std::string::npos) << s.warnings[0];

    request.select = "B/Cube";
    s = app::ChooseSelection(scene, request);
    ASSERT_EQ(s.problem, "");
    EXPECT_TRUE(s.warnings.empty());
    EXPECT_EQ(app::SelectedNode(scene), &second);
}

TEST_F(Cli, ExitStatusesVersionAndTheDefaultOutput) {
    ToolRun r = Export({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "vloexport " + std::string(app::kVersion) + "\n");
    r = Export({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"--mode hierarchy", "--clip Swing", "Exit status: 0", "3 the input needs a choice"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text;

    EXPECT_EQ(Export({scene}).status, app::kExitNeedsChoice);  // two meshes
    EXPECT_EQ(Export({swing, "--mode", "animation"}).status, app::kExitNeedsChoice);  // two clips
    const ToolRun noMesh = Export({swing});
    EXPECT_EQ(noMesh.status, app::kExitUsage);
    EXPECT_NE(noMesh.err.find("no mesh objects in " + swing + " (to export the animation of a skeleton: --mode animation)"),
              std::string::npos)
        << noMesh.err;

    // Without -o: the input's name in the current folder, .VLA for an animation.
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    const ToolRun model = Export({scene, "--select", "Box"});
    const ToolRun animation = Export({swing, "--clip", "Idle", "--mode", "animation"});
    fs::current_path(previous);
    EXPECT_EQ(model.status, 0) << model.err;
    EXPECT_EQ(animation.status, 0) << animation.err;
    EXPECT_TRUE(support::Exists(dir.File("scene.VLO")));
    EXPECT_TRUE(support::Exists(dir.File("swing.VLA")));
}

TEST_F(Cli, AnAnimationIsMadeFromTheSelectedNodeAndOneThatNothingMovesSaysSo) {
    const std::string vla = dir.File("a.VLA");
    // --all gathers meshes into a model: an animation asked for with it is refused, not made of them.
    ToolRun r = Export({swing, "--all", "--mode", "animation", "--clip", "Swing", "-o", vla});
    EXPECT_EQ(r.status, app::kExitUsage);
    EXPECT_NE(r.err.find("error: --all attaches meshes into one model"), std::string::npos) << r.err;
    EXPECT_FALSE(support::Exists(vla));

    // A selected group is the animation's root itself, not its meshes gathered into a new object;
    // nothing moves it here, and the warning says so.
    r = Export({scene, "--select", "Group", "--mode", "animation", "-o", vla});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.Lines("warning: every frame"),
              std::vector<std::string>{"warning: every frame of the animation holds the same pose: " + scene +
                                       " has no animation (frames 0 to 100 at 30 fps are the default range; --range "
                                       "sets others) [object 'Group']"});
    r = Export({scene, "--select", "Group", "--mode", "animation", "--range", "3:4", "-o", vla});
    EXPECT_EQ(r.Lines("warning: every frame"),
              std::vector<std::string>{"warning: every frame of the animation holds the same pose: " + scene +
                                       " has no animation [object 'Group']"});

    // A clip that moves the skeleton, or only a bone below its root, gives no such warning; one that
    // moves other nodes does. The root's travel is the animation's own: no bone is said to move.
    for (const char* clip : {"Swing", "Idle"}) {
        r = Export({swing, "--select", "Hips", "--mode", "animation", "--clip", clip, "-o", vla});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.Lines("warning: every frame").empty()) << clip << ": " << r.err;
        EXPECT_TRUE(r.Lines("warning: bone").empty()) << clip << ": " << r.err;
    }
    // Nor does a node above the root: its motion carries the root's.
    r = Export({swing, "--select", "Spine", "--mode", "animation", "--clip", "Swing", "-o", vla});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.Lines("warning: the clip also drives").empty()) << r.err;
    r = Export({swing, "--select", "Ball", "--mode", "animation", "--clip", "Idle", "-o", vla});
    EXPECT_EQ(r.Lines("warning: every frame"),
              std::vector<std::string>{"warning: every frame of the animation holds the same pose: the clip 'Idle' "
                                       "moves neither it nor its bones (--clip picks another) [object 'Ball']"});
}

TEST_F(Cli, ValuesAreCheckedWhenTheFlagsAreRead) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{rig, "--mode", "hierarchy", "--pose", "12abc"},
                                                 {swing, "--range", "5"},
                                                 {swing, "--range", "5:x"},
                                                 {swing, "--keyframe", "12"},
                                                 {swing, "--keyframe", "x:BALL_STRUCK"},
                                                 {swing, "--fps", "0"},
                                                 {scene, "--all", "--select", "Box"}}) {
        const ToolRun r = Export(args);
        EXPECT_EQ(r.status, app::kExitUsage) << args[1] << " " << args[2];
        EXPECT_NE(r.err.find("error: "), std::string::npos);
        EXPECT_EQ(support::ListDir(dir.Path()), inputs);
    }
}

TEST(CliValues, FrameRangesTakeBlanksAndSignsButNothingElse) {
    using Range = std::optional<std::pair<int, int>>;
    EXPECT_EQ(tools::ParseRange("1:60"), Range({1, 60}));
    EXPECT_EQ(tools::ParseRange(" -5 :+12\t"), Range({-5, 12}));
    EXPECT_EQ(tools::ParseRange("0:999999999"), Range({0, 999999999}));
    for (const char* bad : {"", ":", "1:", ":5", "1:1000000000", "1.5:3", "1:3x", "0x10:20", "1 2:3", "--1:2", "1:2:3"})
        EXPECT_EQ(tools::ParseRange(bad), std::nullopt) << "'" << bad << "'";
}

}  // namespace

namespace {

// The model written at path, read back; its findings say why when it cannot be read.
vlo::VloReadResult ReadModel(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!vlo::ReadFileBytes(path, bytes, error)) ADD_FAILURE() << path << ": " << error;
    return vlo::ReadVlo(bytes);
}

// Vertex data, weights and rotation keys stored as integers (gltfpack's quantized files, the
// normalized weights of engines' exporters) give the model and the animation their float twin
// gives, byte for byte; assimp alone reads such integers as floats and made a model squashed to a
// point, weights that bind nothing and rotations that are not finite.
TEST(CliGltf, IntegerDataGivesTheModelAndAnimationOfItsFloatTwin) {
    support::TempDir dir;
    for (const bool integers : {false, true}) {
        const std::string name = integers ? "integers" : "floats";
        support::WriteIntegerDataGltf(dir.File(name + ".gltf"), integers);
        ToolRun r = Export({dir.File(name + ".gltf"), "--mode", "hierarchy", "--created-at", "0", "-o", dir.File(name + ".VLO")});
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_TRUE(r.Lines("warning: ").empty()) << name << ": " << r.err;
        r = Export({dir.File(name + ".gltf"), "--created-at", "0", "-o", dir.File(name + ".VLA")});
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    }
    const vlo::VloReadResult model = ReadModel(dir.File("floats.VLO"));
    EXPECT_TRUE(model.Valid());
    EXPECT_EQ(model.model.vertices.size(), 4u);
    EXPECT_EQ(support::ReadText(dir.File("integers.VLO")), support::ReadText(dir.File("floats.VLO")));
    EXPECT_EQ(support::ReadText(dir.File("integers.VLA")), support::ReadText(dir.File("floats.VLA")));
}

// A skin without inverse bind matrices binds its mesh to its joints as they stand (the format takes
// identities); assimp's reader crashed on it.
TEST(CliGltf, ASkinWithoutInverseBindMatricesIsRead) {
    support::TempDir dir;
    support::WriteIntegerDataGltf(dir.File("rig.gltf"), false);
    std::string text = support::ReadText(dir.File("rig.gltf"));
    const std::string matrices = R"("inverseBindMatrices": 9, )";
    ASSERT_NE(text.find(matrices), std::string::npos);
    text.erase(text.find(matrices), matrices.size());
    std::ofstream(dir.File("rig.gltf")) << text;
    const ToolRun r = Export({dir.File("rig.gltf"), "--mode", "hierarchy", "-o", dir.File("rig.VLO")});
    ASSERT_EQ(r.status, 0) << r.err;
    const vlo::VloReadResult rig = ReadModel(dir.File("rig.VLO"));
    EXPECT_TRUE(rig.Valid());
    EXPECT_EQ(rig.model.vertices.size(), 4u);
}

// A Draco-compressed mesh (KHR_draco_mesh_compression, required) is read: a plate of two triangles,
// (0, 0, 0) to (1, 2, 0), encoded by draco_encoder (its positions quantized to 11 bits), with 16-bit
// indices and with 32-bit ones (which assimp's reader alone lost: "Invalid accessor without data").
TEST(CliGltf, DracoCompressedMeshesAreRead) {
    support::TempDir dir;
    for (const int indexType : {5123, 5125}) {
        std::ofstream(dir.File("plate.gltf")) << R"({"asset": {"version": "2.0"},
  "extensionsUsed": ["KHR_draco_mesh_compression"], "extensionsRequired": ["KHR_draco_mesh_compression"],
  "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "Plate", "mesh": 0}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1,
    "extensions": {"KHR_draco_mesh_compression": {"bufferView": 0, "attributes": {"POSITION": 0}}}}]}],
  "accessors": [{"componentType": 5126, "count": 4, "type": "VEC3", "min": [0, 0, 0], "max": [1, 2, 0]},
                {"componentType": )" + std::to_string(indexType) + R"(, "count": 6, "type": "SCALAR"}],
  "bufferViews": [{"buffer": 0, "byteLength": 83}],
  "buffers": [{"byteLength": 83, "uri": "data:application/octet-stream;base64,RFJBQ08CAgEBAAAABAIAAgAAAR//AREB/wAAAQAJAwAAAgEBAQAMAwEgIwEgAwDwg/h/AADwfwAAAAAAAAD/BwAAAAAAAAAAAAAAAAAAAAAAQAs="}]})";
        const ToolRun r = Export({dir.File("plate.gltf"), "--origin", "world", "-o", dir.File("plate.VLO")});
        ASSERT_EQ(r.status, 0) << indexType << ": " << r.err;
        const vlo::VloReadResult plate = ReadModel(dir.File("plate.VLO"));
        EXPECT_EQ(plate.model.vertices.size(), 4u) << indexType;
        EXPECT_EQ(plate.model.polygons.size(), 2u) << indexType;
        float tallest = 0;
        for (const auto& v : plate.model.vertices) tallest = std::max(tallest, v.position.y);
        EXPECT_NEAR(tallest, 2.0f, 1e-3f) << indexType;
    }
}

// Embedded images are extracted under the file names the model stores, inside the folder asked for:
// a name in the scene file can hold a path but leads nowhere else, and nothing is replaced that is
// there already, the export's own files and an earlier image of the same name among them.
TEST(CliGltf, EmbeddedImagesAreExtractedInsideTheFolderAskedFor) {
    support::TempDir dir;
    fs::create_directories(dir.File("out/maps"));
    // A triangle twice, with two materials, whose images hold "\x89PNG image" and "\x89PNG other".
    auto exportWith = [&](const std::string& first, const std::string& second, const std::string& folder) {
        std::ofstream(dir.File("tri.gltf")) << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
  "nodes": [{"name": "Tri", "mesh": 0}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "material": 0},
                             {"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "material": 1}]}],
  "materials": [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
                {"pbrMetallicRoughness": {"baseColorTexture": {"index": 1}}}],
  "textures": [{"source": 0}, {"source": 1}],
  "images": [{"name": ")" + first + R"(", "mimeType": "image/png", "uri": "data:image/png;base64,iVBORyBpbWFnZQ=="},
             {"name": ")" + second + R"(", "mimeType": "image/png", "uri": "data:image/png;base64,iVBORyBvdGhlcg=="}],
  "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
                {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"}],
  "bufferViews": [{"buffer": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 24}],
  "buffers": [{"byteLength": 60, "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/"}]})";
        const ToolRun r =
            Export({dir.File("tri.gltf"), "--extract-textures", dir.File(folder), "-o", dir.File("out/tri.VLO")});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.Lines("warning: ");
    };
    EXPECT_EQ(exportWith("..", "../up.png", "out/maps"),
              std::vector<std::string>{"warning: the embedded image named '..' is not written: not a plain file name "
                                       "(give the image a file name in the scene)"});
    std::vector<std::string> textures;
    for (const vlo::TextureName& t : ReadModel(dir.File("out/tri.VLO")).model.textures)
        textures.push_back(vlo::FieldText(t.name));
    EXPECT_EQ(textures, (std::vector<std::string>{"..", "up.png"}));
    EXPECT_EQ(support::ListDir(dir.File("out/maps")), std::vector<std::string>{"up.png"});
    EXPECT_EQ(support::ReadText(dir.File("out/maps/up.png")), "\x89PNG other");
    // A drive before a name without a folder is no part of the file name: the image is written under
    // the name the model stores (it used to be refused for its colon, or written as "D:c.png").
    EXPECT_EQ(exportWith("C:b.png", "D:c", "out/drives"), std::vector<std::string>{});
    textures.clear();
    for (const vlo::TextureName& t : ReadModel(dir.File("out/tri.VLO")).model.textures)
        textures.push_back(vlo::FieldText(t.name));
    EXPECT_EQ(textures, (std::vector<std::string>{"b.png", "c.png"}));
    EXPECT_EQ(support::ListDir(dir.File("out/drives")), (std::vector<std::string>{"b.png", "c.png"}));

    // The export's own file stays as it is.
    EXPECT_EQ(exportWith("tri.TXT", "a/same.png", "out"),
              std::vector<std::string>{"warning: the embedded image tri.TXT is not written: the export writes " +
                                       dir.File("out/tri.TXT") + " (extract the textures into another folder)"});
    EXPECT_EQ(support::ReadText(dir.File("out/tri.TXT")).find("PNG"), std::string::npos);
    // Two images of one file name are two files: the later gets a number (it used to be left out,
    // and the model named the first image for both).
    fs::remove(dir.File("out/same.png"));
    EXPECT_EQ(exportWith("b/same.png", "a/Same.png", "out"),
              std::vector<std::string>{"warning: " + dir.File("tri.gltf") + ": two embedded images are named Same.png: the "
                                       "later is stored as Same-1.png, so that each is a file of its own (give each image "
                                       "a name of its own)"});
    textures.clear();
    for (const vlo::TextureName& t : ReadModel(dir.File("out/tri.VLO")).model.textures)
        textures.push_back(vlo::FieldText(t.name));
    EXPECT_EQ(textures, (std::vector<std::string>{"same.png", "Same-1.png"}));
    EXPECT_EQ(support::ReadText(dir.File("out/same.png")), "\x89PNG image");
    EXPECT_EQ(support::ReadText(dir.File("out/Same-1.png")), "\x89PNG other");
    // A folder of the image's name is left as it is, unread (its reading ended the program).
    fs::remove(dir.File("out/maps/up.png"));
    fs::create_directory(dir.File("out/maps/up.png"));
    EXPECT_EQ(exportWith("..", "../up.png", "out/maps").back(),
              "warning: " + dir.File("out/maps/up.png") + " exists with other content: left as it is");
    EXPECT_TRUE(fs::is_directory(dir.File("out/maps/up.png")));
    EXPECT_EQ(support::ListDir(dir.Path()), (std::vector<std::string>{"out", "tri.gltf"}));
}

// A glTF that requires an extension the exporter cannot read is refused by the extension's name,
// with what to do, instead of assimp's account of a buffer without a uri; one whose integer data
// reaches past its buffer is refused by the accessor, one whose JSON does not parse by where it
// stops. Extensions of materials are read.
TEST(CliGltf, RequiredExtensionsAndDamagedIntegerDataAreNamed) {
    support::TempDir dir;
    support::WriteIntegerDataGltf(dir.File("quantized.gltf"), true);
    const std::string quantized = support::ReadText(dir.File("quantized.gltf"));
    auto variant = [&](const std::string& name, const std::string& from, const std::string& to) {
        std::string text = quantized;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        std::ofstream(dir.File(name)) << text;
        return dir.File(name);
    };
    const std::string required = R"("extensionsRequired": ["KHR_mesh_quantization"])";
    ToolRun r = Export({variant("packed.gltf", required, R"("extensionsRequired": ["KHR_mesh_quantization", "EXT_meshopt_compression"])"),
                        "-o", dir.File("packed.VLO")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("error: cannot read " + dir.File("packed.gltf") +
                         ": it requires glTF extensions the exporter cannot read: EXT_meshopt_compression (gltfpack writes "
                         "it for -c and -cc: pack the file without them)"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(support::Exists(dir.File("packed.VLO")));

    r = Export({variant("cut.gltf", R"("count": 4, "type": "VEC2")", R"("count": 400, "type": "VEC2")"), "-o", dir.File("cut.VLO")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(": accessor 2 reaches past its buffer view"), std::string::npos) << r.err;
    EXPECT_FALSE(support::Exists(dir.File("cut.VLO")));

    // JSON that is no UTF-8 is no glTF: assimp's reader took it and read the integer data past its
    // buffer.
    r = Export({variant("latin.gltf", R"("name": "Twist")", "\"n\xe1me\": \"Twist\""), "-o", dir.File("latin.VLO")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(": its glTF JSON does not parse: parse error at line 14, column 22: syntax error while parsing "
                         "object key - invalid string: ill-formed UTF-8 byte\n"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(support::Exists(dir.File("latin.VLO")));
    // A number past a double is refused as well (it ended the process with an uncaught exception).
    r = Export({variant("huge.gltf", R"("translation": [0, 1, 0])", R"("translation": [0, 1e400, 0])"), "-o", dir.File("huge.VLO")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(": its glTF JSON does not parse: number overflow parsing '1e400'\n"), std::string::npos) << r.err;

    // A buffer that the file names is read only from a plain file: a folder, or a device read without
    // end, is refused by the buffer's name.
    for (const std::string uri : {".", "/dev/zero"}) {
        r = Export({variant("elsewhere.gltf", R"("uri": "data:application/octet-stream;base64,)",
                            R"("uri": ")" + uri + R"(", "unread": ")"),
                    "-o", dir.File("elsewhere.VLO")});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(": buffer 0 (" + uri + "): not a file\n"), std::string::npos) << r.err;
    }

    r = Export({variant("shiny.gltf", required, R"("extensionsRequired": ["KHR_mesh_quantization", "KHR_materials_emissive_strength"])"),
                "--mode", "hierarchy", "-o", dir.File("shiny.VLO")});
    EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
