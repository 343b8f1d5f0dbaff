// Animated scene files: clips into node tracks, and the sampled keys against the file's own key
// data, as numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "format/vla_reader.h"
#include "importer/importer.h"
#include "scene_files.h"
#include "test_support.h"
#include "ui/controls.h"

namespace {

TEST(AnimationImport, ClipsRangeAndFrameRate) {
    support::TempDir dir;
    support::WriteAnimatedGltf(dir.File("swing.gltf"));
    // Two clips and an export that samples the animation: the user chooses.
    standin::Scene unchosen;
    importer::ImportOptions sampled;
    sampled.needsClip = true;
    const auto choice = importer::ImportFile(dir.File("swing.gltf"), unchosen, sampled);
    EXPECT_EQ(choice.failure, importer::ImportResult::Failure::NeedsChoice);
    EXPECT_NE(choice.error.find("1 'Swing' (frames 0 to 36)\n  2 'Idle'"), std::string::npos) << choice.error;

    standin::Scene scene;
    sampled.clip = "swing";  // any case
    const auto r = importer::ImportFile(dir.File("swing.gltf"), scene, sampled);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.info.clips.size(), 2u);
    EXPECT_EQ(r.info.clips[1].name, "Idle");
    EXPECT_EQ(r.info.clips[0].lastFrame, 36);
    EXPECT_EQ(r.info.clip, "Swing");
    // Keys at 0, 0.1, 0.5, 0.9 and 1.2 s lie on the 30 fps grid, not on 24's or 25's.
    EXPECT_EQ(r.info.fps, 30);
    EXPECT_EQ(r.info.lastFrame, 36);
    EXPECT_EQ(scene.animRange.End(), 36 * 160);
    // Hips moves 2 units along the file's +X (the host's +X) over 1.2 s; halfway it is at 1.
    EXPECT_NEAR(scene.FindByName("Hips")->GetNodeTM(18 * 160).GetTrans().x, 1.0f, 1e-5);

    standin::Scene idle;
    importer::ImportOptions options;
    options.clip = "2";  // by its number in the list
    options.fps = 24;
    options.range = std::pair{-2, 5};
    const auto ri = importer::ImportFile(dir.File("swing.gltf"), idle, options);
    ASSERT_TRUE(ri.ok);
    EXPECT_EQ(idle.frameRate, 24);
    EXPECT_EQ(idle.animRange.Start(), -2 * 200);
    EXPECT_EQ(idle.animRange.End(), 5 * 200);

    options.clip = "Dance";
    standin::Scene none;
    const auto missing = importer::ImportFile(dir.File("swing.gltf"), none, options);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.failure, importer::ImportResult::Failure::BadOption);
    EXPECT_NE(missing.error.find("no animation clip 'Dance'"), std::string::npos);
    options.clip = "1";
    options.fps = 7;
    EXPECT_FALSE(importer::ImportFile(dir.File("swing.gltf"), none, options).ok);
}

TEST(AnimationImport, SkeletonReadAtAGivenFrame) {
    support::TempDir dir;
    support::WriteAnimatedGltf(dir.File("swing.gltf"));
    standin::Scene scene;
    importer::ImportOptions options;
    options.pose = importer::SkeletonPose::Frame;
    options.poseFrame = 18;
    options.clip = "Swing";
    const auto r = importer::ImportFile(dir.File("swing.gltf"), scene, options);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.info.skeletonPose, "the pose of frame 18");
    standin::Node* hips = scene.FindByName("Hips");
    EXPECT_FALSE(hips->Track());  // held still in that pose
    EXPECT_NEAR(hips->GetNodeTM(0).GetTrans().x, 1.0f, 1e-5);
    EXPECT_NEAR(hips->GetNodeTM(99 * 160).GetTrans().x, 1.0f, 1e-5);
}

TEST(AnimationImport, EveryFrameAndBoneFollowsTheFilesKeys) {
    support::TempDir dir;
    const std::string file = dir.File("swing.gltf");
    support::WriteAnimatedGltf(file);
    standin::Scene scene;
    importer::ImportOptions options;
    options.pose = importer::SkeletonPose::File;
    options.clip = "Swing";
    ASSERT_TRUE(importer::ImportFile(file, scene, options).ok);
    scene.FindByName("Hips")->SetSelected(true);
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_ANIMATION);
        d.Click(IDOK);
    });
    const std::string out = dir.File("swing.VLA");
    const auto e = support::Export(scene, desktop, out);
    ASSERT_TRUE(e.outcome.written);
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(out, bytes, error));
    const auto vla = vlo::ReadVla(bytes);
    ASSERT_TRUE(vla.Valid());
    ASSERT_EQ(vla.animation.header.numBones, 3u);  // Hips, Spine, Head

    // The file's keys: Spine turns about the file's X axis through 0, 60 and 150 degrees at 0, 0.5
    // and 1.2 s; Head about its Y axis from 0 to -90 degrees between 0.1 and 0.9 s; each turn is
    // linear in time between keys (a slerp about one axis). In the file (Y up, the host's quaternion
    // convention) a turn by a about X is (-sin(a/2), 0, 0, cos(a/2)) and about Y (0, -sin(a/2), 0,
    // cos(a/2)).
    auto spineDegrees = [](double t) { return t <= 0.5 ? 120.0 * t : 60.0 + 90.0 * (std::min(t, 1.2) - 0.5) / 0.7; };
    auto headDegrees = [](double t) { return -90.0 * std::clamp((t - 0.1) / 0.8, 0.0, 1.0); };
    auto aboutX = [](double degrees) {
        const double h = degrees * std::numbers::pi / 360.0;
        return Quat(float(-std::sin(h)), 0, 0, float(std::cos(h)));
    };
    auto aboutY = [](double degrees) {
        const double h = degrees * std::numbers::pi / 360.0;
        return Quat(0, float(-std::sin(h)), 0, float(std::cos(h)));
    };
    auto expectSame = [](const vlo::BoneKey& key, const Quat& q, const std::string& what) {
        const float dot = key.x * q.x + key.y * q.y + key.z * q.z + key.w * q.w;
        EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5) << what << ": key (" << key.x << ", " << key.y << ", " << key.z << ", "
                                                << key.w << ") vs (" << q.x << ", " << q.y << ", " << q.z << ", " << q.w
                                                << ")";
    };
    ASSERT_EQ(vla.animation.frames.size(), 37u);  // 1.2 s at 30 fps
    for (std::size_t k = 0; k < vla.animation.frames.size(); ++k) {
        const double t = double(k) / 30.0;
        expectSame(vla.animation.Key(k, 1), aboutX(spineDegrees(t)), "Spine frame " + std::to_string(k));
        expectSame(vla.animation.Key(k, 2), aboutY(headDegrees(t)), "Head frame " + std::to_string(k));
        // The root only travels: its key is the identity and its track the travel along X.
        expectSame(vla.animation.Key(k, 0), Quat(0, 0, 0, 1), "Hips frame " + std::to_string(k));
        EXPECT_NEAR(vla.animation.frames[k].rootPosition.x, std::min(2.0, 2.0 * t / 1.2), 1e-4);
    }
    // The keys themselves, as numbers: Spine at 60 and 150 degrees, Head at -45 and -90.
    expectSame(vla.animation.Key(15, 1), Quat(-0.5f, 0, 0, 0.8660254f), "Spine at 0.5 s");
    expectSame(vla.animation.Key(36, 1), Quat(-0.9659258f, 0, 0, 0.2588190f), "Spine at 1.2 s");
    expectSame(vla.animation.Key(15, 2), Quat(0, 0.3826834f, 0, 0.9238795f), "Head at 0.5 s");
    expectSame(vla.animation.Key(27, 2), Quat(0, 0.7071068f, 0, 0.7071068f), "Head at 0.9 s");
}

}  // namespace
