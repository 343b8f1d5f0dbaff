// Animated scene files: clips into node tracks, and the sampled keys against the file's own key
// data, as numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <random>

#include "format/vla_reader.h"
#include "importer/animation.h"
#include "importer/gltf_facts.h"
#include "importer/importer.h"
#include "scene_files.h"
#include "test_support.h"
#include "ui/controls.h"

namespace {

// Exports the animation of the skeleton under root as a user would (the options dialog's Animation
// mode) and reads the written file back; none when nothing was written.
std::optional<vlo::VlaReadResult> ExportAnimation(standin::Scene& scene, const std::string& root, const std::string& out) {
    scene.FindByName(root)->SetSelected(true);
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_ANIMATION);
        d.Click(IDOK);
    });
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!support::Export(scene, desktop, out).outcome.written || !vlo::ReadFileBytes(out, bytes, error)) return std::nullopt;
    return vlo::ReadVla(bytes);
}

// A turn by degrees about the file's X axis (Y up) as a key of the written file: the host's
// quaternion convention, (-sin(a/2), 0, 0, cos(a/2)).
Quat AboutFileX(double degrees) {
    const double h = degrees * std::numbers::pi / 360.0;
    return Quat(float(-std::sin(h)), 0, 0, float(std::cos(h)));
}

// Expects the written key to be the rotation q (q and -q are the same rotation).
void ExpectSame(const vlo::BoneKey& key, const Quat& q, const std::string& what) {
    const float dot = key.x * q.x + key.y * q.y + key.z * q.z + key.w * q.w;
    EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5) << what << ": key (" << key.x << ", " << key.y << ", " << key.z << ", " << key.w
                                            << ") vs (" << q.x << ", " << q.y << ", " << q.z << ", " << q.w << ")";
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

TEST(AnimationImport, KeyTimesSetOnFramesLandOnTheirTicks) {
    using importer::KeyTicks;
    using importer::KeyTimePrecision;
    // glTF keeps float seconds, which assimp turns into float milliseconds: every frame of ten
    // thousand, at the common rates, comes back on its own tick.
    for (const int fps : {24, 25, 30, 60}) {
        const int ticksPerFrame = 4800 / fps;
        for (int frame = 0; frame <= 10000; ++frame) {
            const float ms = float(double(frame) / fps) * 1000.0f;
            ASSERT_EQ(KeyTicks(double(ms) / 1000.0, 0, KeyTimePrecision::Float), double(frame * ticksPerFrame))
                << frame << " at " << fps << " fps";
        }
    }
    // FBX counts 46,186,158,000 ticks a second; a take moved to start at frame 1 of 24 fps.
    for (std::int64_t frame = 0; frame <= 10000; ++frame) {
        const double seconds = double(frame * 1924423250) / 46186158000.0;
        ASSERT_EQ(KeyTicks(seconds, 1.0 / 24, KeyTimePrecision::Double), double((frame + 1) * 200)) << frame;
    }
    // Times that are not on a tick stay where they are: a seventh of a second (a float time), a
    // hundredth of a tick past one second (beyond a float's error there), a millionth of a tick in a
    // double time, 0.4 of a tick at 400 s (where a float's step is 0.15 ticks).
    const double seventh = double(1.0f / 7.0f);
    EXPECT_EQ(KeyTicks(seventh, 0, KeyTimePrecision::Float), seventh * 4800);
    EXPECT_EQ(KeyTicks(1.0 + 0.01 / 4800, 0, KeyTimePrecision::Float), (1.0 + 0.01 / 4800) * 4800);
    EXPECT_EQ(KeyTicks(1.0 + 1e-6 / 4800, 0, KeyTimePrecision::Double), (1.0 + 1e-6 / 4800) * 4800);
    EXPECT_EQ(KeyTicks(400.0 + 0.4 / 4800, 0, KeyTimePrecision::Float), (400.0 + 0.4 / 4800) * 4800);

    // Key times that come in order go out in order, however close to a tick and its reach they fall.
    std::mt19937 random(7);
    std::vector<double> seconds;
    for (int i = 0; i < 20000; ++i) {
        const double tick = double(random() % 4'000'000);
        const double off = std::ldexp(double(random() % 2001) - 1000.0, -int(random() % 40));
        seconds.push_back((tick + off / 1000.0) / 4800);
    }
    std::sort(seconds.begin(), seconds.end());
    for (const auto precision : {KeyTimePrecision::Float, KeyTimePrecision::Double})
        for (const double offset : {0.0, 1.0 / 24, -3.5})
            for (std::size_t i = 1; i < seconds.size(); ++i)
                ASSERT_LE(KeyTicks(seconds[i - 1], offset, precision), KeyTicks(seconds[i], offset, precision))
                    << seconds[i - 1] << " then " << seconds[i];

    // A channel's keys, as assimp gives a glTF's (milliseconds of float seconds), become a track
    // whose keys lie on the frames' ticks.
    aiVectorKey positions[3];
    aiQuatKey rotations[3];
    for (int i = 0; i < 3; ++i) {
        const double ms = double(float(double(i + 1) / 24) * 1000.0f);
        positions[i] = aiVectorKey(ms, aiVector3D(float(i), 0, 0));
        rotations[i] = aiQuatKey(ms, aiQuaternion());
    }
    aiNodeAnim channel;
    channel.mNumPositionKeys = channel.mNumRotationKeys = 3;
    channel.mPositionKeys = positions;
    channel.mRotationKeys = rotations;
    const standin::TransformTrack track = importer::TrackFromChannel(channel, 1000, 0, KeyTimePrecision::Float, Matrix3());
    channel.mPositionKeys = nullptr;  // the arrays are the test's, not the channel's to free
    channel.mRotationKeys = nullptr;
    channel.mNumPositionKeys = channel.mNumRotationKeys = 0;
    ASSERT_EQ(track.position.size(), 3u);
    ASSERT_EQ(track.rotation.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(track.position[std::size_t(i)].time, (i + 1) * 200.0);
        EXPECT_EQ(track.rotation[std::size_t(i)].time, (i + 1) * 200.0);
    }
}

TEST(AnimationImport, GltfStepsHoldTheirKeysAndTheClipSpansTheFilesOwnKeys) {
    support::TempDir dir;
    const std::string file = dir.File("steps.gltf");
    support::WriteSteppedGltf(file);
    standin::Scene scene;
    importer::ImportOptions options;
    options.pose = importer::SkeletonPose::File;
    const auto r = importer::ImportFile(file, scene, options);
    ASSERT_TRUE(r.ok) << r.error;
    // The keys lie on frames 1 to 13; the keys assimp adds at time 0 for the channels a node does not
    // have do not stretch the clip to frame 0.
    EXPECT_EQ(r.info.firstFrame, 1);
    EXPECT_EQ(r.info.lastFrame, 13);
    const bool warned = std::any_of(r.info.warnings.begin(), r.info.warnings.end(), [](const std::string& w) {
        return w.find("node 'Tip': the file's translation keys are cubic splines") != std::string::npos;
    });
    EXPECT_TRUE(warned);

    const auto written = ExportAnimation(scene, "Hips", dir.File("steps.VLA"));
    ASSERT_TRUE(written && written->Valid());
    const auto& vla = *written;
    ASSERT_EQ(vla.animation.frames.size(), 13u);
    // The stepped bone (bone 1, the node without a name, which assimp calls "nodes[1]") holds each
    // key until the frame of the next: 0 degrees on frames 1-6, 30 on 7-12, 60 on 13 (a turn by a
    // about X has |x| = sin(a/2)).
    auto turn = [&](std::size_t frame) { return std::fabs(vla.animation.Key(frame - 1, 1).x); };
    for (std::size_t frame = 1; frame <= 13; ++frame) {
        const float expected = frame < 7 ? 0.0f : (frame < 13 ? 0.2588190f : 0.5f);
        EXPECT_NEAR(turn(frame), expected, 1e-5) << "frame " << frame;
    }
}

TEST(AnimationImport, GltfFactsOfMalformedAnimationsAreLeftOut) {
    auto animationFacts = [](const std::string& json) { return importer::ReadGltfFacts(json).animations; };
    EXPECT_TRUE(animationFacts("not json").empty());
    EXPECT_TRUE(animationFacts(R"({"animations": 3})").empty());
    // Wrong types and indices out of range: each animation is still listed, with what could be read.
    const auto facts = animationFacts(R"({
      "nodes": [{"name": 7}, {"name": "Arm"}],
      "accessors": [{"min": ["a"], "max": [1]}, {"min": [0.5], "max": [2]}],
      "animations": [
        {"samplers": [{"input": 0, "interpolation": "STEP"}, {"input": 9}, "x"],
         "channels": [{"sampler": 0, "target": {"node": 0, "path": "rotation"}},
                      {"sampler": 5, "target": {"node": 1, "path": "rotation"}},
                      {"sampler": 0, "target": {"node": "1", "path": "scale"}},
                      {"sampler": 0, "target": {"node": 1, "path": 4}},
                      {"sampler": 0}]},
        {"samplers": [{"input": 1, "interpolation": "CUBICSPLINE"}],
         "channels": [{"sampler": 0, "target": {"node": 1, "path": "scale"}}]},
        "neither"
      ]})");
    ASSERT_EQ(facts.size(), 3u);
    EXPECT_FALSE(facts[0].span);  // a sampler's input states no usable min
    ASSERT_EQ(facts[0].nodes.size(), 1u);
    EXPECT_EQ(facts[0].nodes.at("nodes[0]").rotation, importer::GltfInterpolation::Step);  // a name that is no text
    ASSERT_TRUE(facts[1].span);
    EXPECT_EQ(*facts[1].span, std::pair(0.5, 2.0));
    EXPECT_EQ(facts[1].nodes.at("Arm").scale, importer::GltfInterpolation::CubicSpline);
    EXPECT_EQ(facts[1].nodes.at("Arm").rotation, importer::GltfInterpolation::Linear);
    EXPECT_TRUE(facts[2].nodes.empty());
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
    const auto written = ExportAnimation(scene, "Hips", dir.File("swing.VLA"));
    ASSERT_TRUE(written && written->Valid());
    const auto& vla = *written;
    ASSERT_EQ(vla.animation.header.numBones, 3u);  // Hips, Spine, Head

    // The file's keys: Spine turns about the file's X axis through 0, 60 and 150 degrees at 0, 0.5
    // and 1.2 s; Head about its Y axis from 0 to -90 degrees between 0.1 and 0.9 s; each turn is
    // linear in time between keys (a slerp about one axis). In the file (Y up, the host's quaternion
    // convention) a turn by a about X is (-sin(a/2), 0, 0, cos(a/2)) and about Y (0, -sin(a/2), 0,
    // cos(a/2)).
    auto spineDegrees = [](double t) { return t <= 0.5 ? 120.0 * t : 60.0 + 90.0 * (std::min(t, 1.2) - 0.5) / 0.7; };
    auto headDegrees = [](double t) { return -90.0 * std::clamp((t - 0.1) / 0.8, 0.0, 1.0); };
    auto aboutY = [](double degrees) {
        const double h = degrees * std::numbers::pi / 360.0;
        return Quat(0, float(-std::sin(h)), 0, float(std::cos(h)));
    };
    ASSERT_EQ(vla.animation.frames.size(), 37u);  // 1.2 s at 30 fps
    for (std::size_t k = 0; k < vla.animation.frames.size(); ++k) {
        const double t = double(k) / 30.0;
        ExpectSame(vla.animation.Key(k, 1), AboutFileX(spineDegrees(t)), "Spine frame " + std::to_string(k));
        ExpectSame(vla.animation.Key(k, 2), aboutY(headDegrees(t)), "Head frame " + std::to_string(k));
        // The root only travels: its key is the identity and its track the travel along X.
        ExpectSame(vla.animation.Key(k, 0), Quat(0, 0, 0, 1), "Hips frame " + std::to_string(k));
        EXPECT_NEAR(vla.animation.frames[k].rootPosition.x, std::min(2.0, 2.0 * t / 1.2), 1e-4);
    }
    // The keys themselves, as numbers: Spine at 60 and 150 degrees, Head at -45 and -90.
    ExpectSame(vla.animation.Key(15, 1), Quat(-0.5f, 0, 0, 0.8660254f), "Spine at 0.5 s");
    ExpectSame(vla.animation.Key(36, 1), Quat(-0.9659258f, 0, 0, 0.2588190f), "Spine at 1.2 s");
    ExpectSame(vla.animation.Key(15, 2), Quat(0, 0.3826834f, 0, 0.9238795f), "Head at 0.5 s");
    ExpectSame(vla.animation.Key(27, 2), Quat(0, 0.7071068f, 0, 0.7071068f), "Head at 0.9 s");
}

TEST(AnimationImport, LongClipsGiveEveryBoneItsOwnKeys) {
    // Enough keys (24,000, where 20,000 are worth a second thread) that the clip's channels are
    // converted on two threads: every bone must still get its own channel, and all of it.
    support::TempDir dir;
    const std::string file = dir.File("long.gltf");
    constexpr int kBones = 8, kFrames = 3000;
    support::WriteLongChainGltf(file, kBones, kFrames);
    standin::Scene scene;
    importer::ImportOptions options;
    options.pose = importer::SkeletonPose::File;
    ASSERT_TRUE(importer::ImportFile(file, scene, options).ok);
    const auto written = ExportAnimation(scene, "Root", dir.File("long.VLA"));
    ASSERT_TRUE(written && written->Valid());
    const auto& vla = written->animation;
    ASSERT_EQ(vla.header.numBones, unsigned(kBones + 1));  // Root, then Bone1 to Bone8
    ASSERT_EQ(vla.frames.size(), std::size_t(kFrames));
    for (const int k : {0, 1, 1499, 1500, 2998, 2999})
        for (int j = 1; j <= kBones; ++j)
            ExpectSame(vla.Key(std::size_t(k), std::size_t(j)), AboutFileX(support::LongChainDegrees(j, k)),
                       "Bone" + std::to_string(j) + " frame " + std::to_string(k));
}

}  // namespace
