// Animated scene files: clips into node tracks, and the sampled keys against assimp's own
// interpolation of the same key data.
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cmath>

#include "format/vla_reader.h"
#include "importer/convert.h"
#include "importer/importer.h"
#include "scene_files.h"
#include "test_support.h"
#include "ui/controls.h"

namespace {

// assimp's own evaluation of a rotation channel at time (in the channel's ticks).
aiQuaternion AssimpRotation(const aiNodeAnim& ch, double time) {
    if (time <= ch.mRotationKeys[0].mTime) return ch.mRotationKeys[0].mValue;
    for (unsigned i = 0; i + 1 < ch.mNumRotationKeys; ++i) {
        const auto& a = ch.mRotationKeys[i];
        const auto& b = ch.mRotationKeys[i + 1];
        if (time <= b.mTime) {
            aiQuaternion out;
            aiQuaternion::Interpolate(out, a.mValue, b.mValue, ai_real((time - a.mTime) / (b.mTime - a.mTime)));
            return out.Normalize();
        }
    }
    return ch.mRotationKeys[ch.mNumRotationKeys - 1].mValue;
}

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

TEST(AnimationImport, EveryFrameAndBoneMatchesAssimpsInterpolation) {
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

    Assimp::Importer reader;
    const aiScene* source = reader.ReadFile(file, 0);
    ASSERT_NE(source, nullptr);
    const aiAnimation& clip = *source->mAnimations[0];
    const Matrix3 c = importer::YUpToZUp(), ci = Inverse(c);
    for (std::size_t k = 0; k < vla.animation.frames.size(); ++k) {
        const double ms = double(k) / 30.0 * clip.mTicksPerSecond;
        for (unsigned ch = 0; ch < clip.mNumChannels; ++ch) {
            const aiNodeAnim& channel = *clip.mChannels[ch];
            const std::string name = channel.mNodeName.C_Str();
            if (channel.mNumRotationKeys < 2) continue;
            const std::size_t bone = name == "Spine" ? 1 : 2;
            // The file's local rotation at this time, in host axes and the host's quaternion
            // convention, Y and Z swapped as the file stores it.
            const aiMatrix3x3 m = AssimpRotation(channel, ms).GetMatrix();
            Quat expected(ci * importer::ToMatrix3(aiMatrix4x4(m)) * c);
            std::swap(expected.y, expected.z);
            const auto& key = vla.animation.Key(k, bone);
            const float dot = key.x * expected.x + key.y * expected.y + key.z * expected.z + key.w * expected.w;
            EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-4) << name << " frame " << k;
            EXPECT_NEAR(std::fabs(key.x), std::fabs(expected.x), 1e-4) << name << " frame " << k;
            EXPECT_NEAR(std::fabs(key.y), std::fabs(expected.y), 1e-4) << name << " frame " << k;
            EXPECT_NEAR(std::fabs(key.z), std::fabs(expected.z), 1e-4) << name << " frame " << k;
        }
        // The root only travels: its key is the identity and its track the travel along X.
        EXPECT_NEAR(std::fabs(vla.animation.Key(k, 0).w), 1.0f, 1e-5);
        EXPECT_NEAR(vla.animation.frames[k].rootPosition.x, std::min(2.0, 2.0 * (double(k) / 30.0) / 1.2), 1e-4);
    }
}

}  // namespace
