// Animation exports from stand-in scenes with known motion, read back with the VLA reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <span>

#include "format/output_file.h"
#include "format/vla_reader.h"
#include "standin/character.h"
#include "standin/modifiers.h"
#include "standin/track.h"
#include "test_support.h"
#include "ui/controls.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr auto kAnimation = vlo::ExportMode::Animation;

struct AnimExport {
    support::Exported e;
    vlo::VlaReadResult vla;
    std::string text;
};

AnimExport ExportAnim(standin::Scene& scene, const std::string& vlaPath, support::Options o = {},
                      vlo::IoFaultPlan* faults = nullptr) {
    o.mode = kAnimation;
    AnimExport a;
    a.e = support::Export(scene, vlaPath, o, faults);
    // The animation goes to the path with its extension replaced by ".VLA" (or kept, when it is that in any case).
    const std::string written = vlo::AnimationFileName(vlaPath);
    if (support::Exists(written)) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        vlo::ReadFileBytes(written, bytes, error);
        a.vla = vlo::ReadVla(bytes);
    }
    return a;
}

// Whether two keys hold the same bits.
bool SameKey(const vlo::BoneKey& a, const vlo::BoneKey& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Compares quaternions up to sign.
void ExpectSameRotation(const vlo::BoneKey& k, const Quat& q, float tol = 1e-5f) {
    const float dot = k.x * q.x + k.y * q.y + k.z * q.z + k.w * q.w;
    EXPECT_NEAR(std::fabs(dot), 1.0f, tol) << "key (" << k.x << ", " << k.y << ", " << k.z << ", " << k.w << ") vs ("
                                           << q.x << ", " << q.y << ", " << q.z << ", " << q.w << ")";
}

// A root that walks 100 units along +X over frames 0..10 while turning from facing +X to facing +Y,
// at height 50.
standin::Node& WalkingRoot(standin::Scene& scene) {
    auto& root = scene.CreateNode("Root");
    root.SetSelected(true);
    standin::TransformTrack track;
    track.position = {{0, {0, 0, 50}}, {1600, {100, 0, 50}}};
    track.rotation = {{0, Quat(RotateZMatrix(0))}, {1600, Quat(RotateZMatrix(kPi / 2))}};
    root.SetLocalTrack([track](TimeValue t) { return track.Evaluate(t); });
    scene.animRange = {0, 10 * 160};
    return root;
}

class Animation : public ::testing::Test {
protected:
    support::TempDir dir;
    standin::Scene scene;
    std::string out = dir.File("walk.VLA");
};

TEST_F(Animation, RootWalksAStraightLineAndTurnsAQuarter) {
    WalkingRoot(scene);
    support::Options o;
    o.swapYZ = false;
    auto a = ExportAnim(scene, out, o);
    ASSERT_TRUE(a.e.outcome.written) << (a.e.Texts().empty() ? "" : a.e.Texts()[0]);
    ASSERT_TRUE(a.vla.Valid()) << a.vla.findings.front().text;
    const auto& frames = a.vla.animation.frames;
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_EQ(a.vla.animation.header.frameRate, 30);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        EXPECT_NEAR(frames[k].rootPosition.x, 10.0f * float(k), 1e-4);
        EXPECT_NEAR(frames[k].rootPosition.y, 0.0f, 1e-4);
        EXPECT_NEAR(frames[k].rootPosition.z, 50.0f, 1e-4);  // the height is absolute
        // The root's own turn is taken out of its key by the root angle: the key stays the identity.
        ExpectSameRotation(a.vla.animation.Key(k, 0), Quat());
    }
    EXPECT_EQ(frames[0].rootRotation, 0.0f);
    EXPECT_TRUE(std::signbit(frames[0].rootRotation));  // -acos(1): negative zero
    EXPECT_NEAR(frames[10].rootRotation, 3 * kPi / 2, 1e-5);  // a quarter turn counter-clockwise
    EXPECT_NE(a.e.text.find("\r\n\r\nRoot Rot\r\n000 - -0.000\r\n"), std::string::npos);
    EXPECT_NE(a.e.text.find("010 - 4.712\r\n"), std::string::npos);
}

TEST_F(Animation, ZeroInitialRootRotationTurnsTheTrackButNotTheAngles) {
    WalkingRoot(scene);
    support::Options o;
    o.swapYZ = false;
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_ANIMATION);
        d.SetCheck(IDC_SWAP_YZ, false);
        d.SetCheck(IDC_ZERO_ROOT_ROTATION, true);
        d.Click(IDOK);
    });
    auto e = support::Export(scene, desktop, out);
    ASSERT_TRUE(e.outcome.written);
    const auto& frames = e.outcome.exporter->Result().animation->frames;
    // The heading +X is a quarter turn from +Y: the first step along +X is turned onto +Y; the angles
    // are the same as without the option.
    EXPECT_NEAR(frames[1].rootPosition.x, 0.0f, 1e-4);
    EXPECT_NEAR(frames[1].rootPosition.y, 10.0f, 1e-4);
    EXPECT_NEAR(frames[10].rootRotation, 3 * kPi / 2, 1e-5);
}

TEST_F(Animation, BonesSpinningAboutEachAxis) {
    auto& root = scene.CreateNode("Root");
    root.SetSelected(true);
    Matrix3 (*const rotate[3])(float) = {RotateXMatrix, RotateYMatrix, RotateZMatrix};
    for (int axis = 0; axis < 3; ++axis) {
        auto& bone = root.AddChild(std::string("Spin") + char('X' + axis));
        bone.SetLocalTrack([axis, rotate](TimeValue t) { return rotate[axis](float(t) / 160.0f * 0.3f) * TransMatrix({1, 0, 0}); });
    }
    scene.animRange = {0, 20 * 160};
    auto a = ExportAnim(scene, out);  // swapped
    ASSERT_TRUE(a.vla.Valid());
    // The host's quaternion of a turn by a about an axis is (-sin(a/2) along the axis, cos(a/2)); the
    // file swaps y and z: host Y spins land in z, host Z spins in y.
    for (std::size_t k = 0; k < a.vla.animation.frames.size(); ++k) {
        const float s = -std::sin(0.15f * float(k)), c = std::cos(0.15f * float(k));
        ExpectSameRotation(a.vla.animation.Key(k, 1), Quat(s, 0, 0, c));
        ExpectSameRotation(a.vla.animation.Key(k, 2), Quat(0, 0, s, c));
        ExpectSameRotation(a.vla.animation.Key(k, 3), Quat(0, s, 0, c));
    }
    // Frame 5: a turn of 1.5 rad.
    ExpectSameRotation(a.vla.animation.Key(5, 1), Quat(-0.6816388f, 0, 0, 0.7316889f));
    ExpectSameRotation(a.vla.animation.Key(5, 2), Quat(0, 0, -0.6816388f, 0.7316889f));
    ExpectSameRotation(a.vla.animation.Key(5, 3), Quat(0, -0.6816388f, 0, 0.7316889f));
}

TEST_F(Animation, RangesAreWholeFramesTruncatedTowardZero) {
    WalkingRoot(scene);
    scene.animRange = {-100, 800};  // frames 0 (not -1) to 5
    auto a = ExportAnim(scene, out);
    EXPECT_EQ(a.vla.animation.header.numFrames, 6u);

    scene.animRange = {0, 80};  // less than one frame, but not empty
    auto one = ExportAnim(scene, dir.File("one.vla"));
    ASSERT_TRUE(one.vla.Valid());
    EXPECT_EQ(one.vla.fileSize, 28u + 20 + 16);

    scene.animRange = {0, 0};
    auto empty = ExportAnim(scene, dir.File("empty.vla"));
    EXPECT_EQ(empty.e.Texts(), std::vector<std::string>{"No animation interval to export"});
    EXPECT_FALSE(support::Exists(dir.File("empty.vla")));
    EXPECT_FALSE(support::Exists(dir.File("empty.TXT")));
}

TEST_F(Animation, FileSizeForTwentyBonesSixtyOneFramesTwoMarkers) {
    auto& root = scene.CreateNode("Root");
    root.SetSelected(true);
    standin::Node* parent = &root;
    for (int i = 1; i < 20; ++i) parent = &parent->AddChild("B" + std::to_string(i));
    scene.CreateDummyNode("Ball", Box3());
    scene.CreateDummyNode(std::string(40, 'm'), Box3());
    scene.animRange = {0, 60 * 160};
    auto a = ExportAnim(scene, out);
    ASSERT_TRUE(a.vla.Valid());
    EXPECT_EQ(a.vla.fileSize, 28u + 61 * 340 + 2 * 764);
    const auto& h = a.vla.animation.header;
    EXPECT_EQ(h.numBones, 20u);
    EXPECT_EQ(h.numMarkers, 2u);
    EXPECT_EQ(std::string(a.vla.animation.markers[0].header.name, 32), std::string("Ball") + std::string(28, '\0'));
    EXPECT_EQ(std::string(a.vla.animation.markers[1].header.name, 32), std::string(32, 'm'));
    EXPECT_NE(a.e.text.find("Marker: " + std::string(40, 'm') + "\r\n"), std::string::npos);  // whole in the text
}

TEST_F(Animation, MarkerTracksFollowTheRoot) {
    auto& root = WalkingRoot(scene);
    (void)root;
    auto& above = scene.CreateDummyNode("Above", Box3());
    standin::TransformTrack t;
    t.position = {{0, {0, 0, 90}}, {1600, {100, 0, 90}}};  // stays above the root
    above.SetLocalTrack([t](TimeValue time) { return t.Evaluate(time); });
    scene.CreateDummyNode("Ahead", Box3()).SetLocalTM(TransMatrix({0, 10, 0}));
    support::Options o;
    o.swapYZ = false;
    auto a = ExportAnim(scene, out, o);
    ASSERT_TRUE(a.vla.Valid());
    for (const auto& p : a.vla.animation.markers[0].positions) {
        EXPECT_NEAR(p.x, 0, 1e-4);
        EXPECT_NEAR(p.y, 0, 1e-4);
        EXPECT_EQ(p.z, 0.0f);
    }
    // At frame 0 the fixed marker is 10 units along +Y of the root; at frame 10 the root is at
    // (100, 0) facing +Y and the marker is at (-100, 10) from it, turned by the root angle 3 pi / 2.
    const auto& ahead = a.vla.animation.markers[1].positions;
    EXPECT_NEAR(ahead[0].y, 10.0f, 1e-4);
    const Point3 expected = Point3(-100, 10, 0) * RotateZMatrix(3 * kPi / 2);
    EXPECT_NEAR(ahead[10].x, expected.x, 1e-3);
    EXPECT_NEAR(ahead[10].y, expected.y, 1e-3);
}

TEST_F(Animation, KeyFrameFlagsAndTheReferenceTime) {
    auto& root = WalkingRoot(scene);
    root.SetUserProps("KEYFRAME 0 ADDRESS_BALL\nKEYFRAME 3 MOUSE_SWING_START\nKEYFRAME 6 TOP_OF_SWING\n"
                      "KEYFRAME 9 BALL_STRUCK\nKEYFRAME 9 TOP_OF_SWING_X");
    auto a = ExportAnim(scene, out);
    ASSERT_TRUE(a.vla.Valid());
    std::vector<std::uint32_t> flags;
    for (const auto& f : a.vla.animation.frames) flags.push_back(f.flags);
    EXPECT_EQ(flags, (std::vector<std::uint32_t>{0x8, 0, 0, 0x2, 0, 0, 0x4, 0, 0, 0x1, 0}));
    EXPECT_NE(a.e.text.find("\r\nFlags\r\n000 - 8\r\n"), std::string::npos);

    // With ADDRESS_BALL at frame 5 the root travel is measured from frame 5.
    root.SetUserProps("KEYFRAME 5 ADDRESS_BALL");
    support::Options o;
    o.swapYZ = false;
    auto ref = ExportAnim(scene, dir.File("ref.vla"), o);
    EXPECT_NEAR(ref.vla.animation.frames[5].rootPosition.x, 0.0f, 1e-4);
    EXPECT_NEAR(ref.vla.animation.frames[0].rootPosition.x, -50.0f, 1e-4);
}

TEST_F(Animation, UndefinedHeadingNeverWritesNaN) {
    auto& root = scene.CreateNode("Root");
    root.SetSelected(true);
    // Exact axes, so that the heading (the X axis on the ground) is exactly undefined at frames 10
    // and 11: facing -Y up to frame 9, the X axis straight up at 10 and 11, facing +Y from 12.
    const Matrix3 facingMinusY({0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0});
    const Matrix3 xAxisUp({0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 0});
    const Matrix3 facingPlusY({0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, 0});
    root.SetLocalTrack([=](TimeValue time) {
        const int frame = time / 160;
        return frame < 10 ? facingMinusY : (frame < 12 ? xAxisUp : facingPlusY);
    });
    scene.animRange = {0, 20 * 160};
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_ANIMATION);
        d.SetCheck(IDC_SWAP_YZ, false);
        d.SetCheck(IDC_ZERO_ROOT_ROTATION, true);
        d.Click(IDOK);
    });
    root.SetUserProps("KEYFRAME 10 ADDRESS_BALL");  // the reference heading itself is undefined
    auto e = support::Export(scene, desktop, out);
    ASSERT_TRUE(e.outcome.written);
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(out, bytes, error)) << error;
    const auto vla = vlo::ReadVla(bytes);
    ASSERT_TRUE(vla.Valid()) << vla.findings.front().text;
    ASSERT_EQ(vla.animation.frames.size(), 21u);
    // The undefined reference heading counts as +X (and, for the zero-initial-rotation turn, as +Y:
    // no turn). Facing -Y is a quarter turn from +X; frames 10 and 11 keep frame 9's heading instead
    // of falling back to +X; facing +Y is three quarters.
    for (std::size_t k = 0; k < 21; ++k)
        EXPECT_NEAR(vla.animation.frames[k].rootRotation, k < 12 ? 1.5707964f : 4.712389f, 1e-6f) << k;
}

// A scene whose transforms turn non-finite on some frame must not put NaN into the game's file: the
// export names the first such frame and what is wrong there, and writes nothing.
TEST_F(Animation, NonFiniteTransformsAreRefusedAtTheirFirstFrame) {
    const float inf = std::numeric_limits<float>::infinity();
    // On overflowFrame the root and the arm are each scaled by 1e20: finite apiece, not their product.
    auto refusal = [&](int badBoneFrame, int badMarkerFrame, int badRootFrame, int overflowFrame = -1) {
        standin::Scene s;
        auto& root = s.CreateNode("Root");
        root.SetSelected(true);
        const Matrix3 big = ScaleMatrix({1e20f, 1e20f, 1e20f});
        auto scaled = [=](TimeValue t) { return t / 160 == overflowFrame ? big : Matrix3(); };
        root.SetLocalTrack([=](TimeValue t) {
            return scaled(t) * TransMatrix({t / 160 == badRootFrame ? inf : 0.0f, 0, 0});
        });
        root.AddChild("Arm").SetLocalTrack([=](TimeValue t) {
            return t / 160 == badBoneFrame ? Matrix3({inf, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0})
                                           : scaled(t) * RotateXMatrix(0.1f);
        });
        s.CreateDummyNode("Flag", Box3()).SetLocalTrack([=](TimeValue t) {
            return TransMatrix({t / 160 == badMarkerFrame ? inf : 1.0f, 2, 0});
        });
        s.animRange = {0, 20 * 160};
        auto a = ExportAnim(s, out);
        EXPECT_FALSE(a.e.outcome.written);
        EXPECT_FALSE(support::Exists(out));
        EXPECT_FALSE(support::Exists(dir.File("walk.TXT")));
        const auto texts = a.e.Texts();
        return texts.empty() ? std::string() : texts.front();
    };
    const std::string arm = "the rotation of bone 'Arm', whose transform is not finite there (a value beyond a float's "
                            "range, or scales whose product is: keep them smaller). Nothing was exported";
    EXPECT_EQ(refusal(7, -1, -1), "The animation has a non-finite value at frame 7: " + arm);
    EXPECT_EQ(refusal(-1, -1, -1, 5), "The animation has a non-finite value at frame 5: " + arm);
    EXPECT_EQ(refusal(7, 3, -1),
              "The animation has a non-finite value at frame 3: the position of marker 'Flag'. Nothing was exported");
    EXPECT_EQ(refusal(-1, -1, 20),
              "The animation has a non-finite value at frame 20: the root's position or heading. Nothing was exported");
}

// A bone scaled to nothing on some frame leaves the rotations of the bones below it undefined there:
// the refusal names the bone scaled, not only the first bone whose key it spoils.
TEST_F(Animation, BonesUnderABoneScaledToNothingAreRefusedNamingIt) {
    auto refusal = [&](const Point3& scaleAtFrame4) {
        standin::Scene s;
        auto& root = s.CreateNode("Root");
        root.SetSelected(true);
        auto& upper = root.AddChild("Upper");
        upper.SetLocalTrack([=](TimeValue t) {
            return (t == 4 * 160 ? ScaleMatrix(scaleAtFrame4) : Matrix3()) * RotateZMatrix(0.2f) * TransMatrix({0, 0, 1});
        });
        upper.AddChild("Lower").AddChild("Tip").SetLocalTM(RotateXMatrix(0.3f) * TransMatrix({0, 0, 1}));
        s.animRange = {0, 8 * 160};
        const auto a = ExportAnim(s, out);
        EXPECT_FALSE(a.e.outcome.written);
        const auto texts = a.e.Texts();
        return texts.empty() ? std::string() : texts.front();
    };
    const std::string named = "The animation has a non-finite value at frame 4: the rotation of bone 'Lower', which has "
                              "none while 'Upper' above it is scaled to nothing (the file holds no scale: keep it above "
                              "zero). Nothing was exported";
    EXPECT_EQ(refusal({0, 0, 0}), named);
    EXPECT_EQ(refusal({1, 0, 1}), named);
}

// A leaf bone scaled to nothing on some frames has no rotation there: its keys hold its rotation of the
// nearest frame where it has one, with a warning naming it, and every other key is as without the
// flattening.
TEST_F(Animation, ALeafBoneScaledToNothingHoldsItsRotationWithAWarning) {
    struct Outcome {
        std::vector<vlo::BoneKey> tipKeys;  // per frame 0..8
        std::vector<std::string> warnings;
    };
    // Tip turns about X frame by frame; on the frames flat() picks it is scaled by scale.
    auto exportWith = [&](const std::function<bool(int)>& flat, const Point3& scale) {
        standin::Scene s;
        auto& root = s.CreateNode("Root");
        root.SetSelected(true);
        auto& upper = root.AddChild("Upper");
        upper.SetLocalTM(RotateZMatrix(0.2f) * TransMatrix({0, 0, 1}));
        upper.AddChild("Tip").SetLocalTrack([=](TimeValue t) {
            return (flat(t / 160) ? ScaleMatrix(scale) : Matrix3()) * RotateXMatrix(0.3f + float(t) / 1600.0f) *
                   TransMatrix({0, 0, 1});
        });
        s.animRange = {0, 8 * 160};
        const auto a = ExportAnim(s, out);
        EXPECT_TRUE(a.e.outcome.written);
        EXPECT_TRUE(a.vla.Valid());
        Outcome o{{}, a.e.Texts("Warning")};
        for (std::size_t k = 0; a.vla.Valid() && k < a.vla.animation.frames.size(); ++k) {
            o.tipKeys.push_back(a.vla.animation.Key(k, 2));
            EXPECT_TRUE(SameKey(a.vla.animation.Key(k, 1), a.vla.animation.Key(0, 1))) << k;  // Upper stays put
        }
        return o;
    };
    const Outcome plain = exportWith([](int) { return false; }, {1, 1, 1});
    ASSERT_EQ(plain.tipKeys.size(), 9u);
    EXPECT_TRUE(plain.warnings.empty());
    // held[k]: the frame whose unflattened key frame k must hold.
    auto expectHeld = [&](const Outcome& o, const std::vector<int>& held) {
        ASSERT_EQ(o.tipKeys.size(), held.size());
        for (std::size_t k = 0; k < held.size(); ++k)
            EXPECT_TRUE(SameKey(o.tipKeys[k], plain.tipKeys[std::size_t(held[k])])) << "frame " << k;
    };
    for (const Point3& scale : {Point3(0, 0, 0), Point3(1, 0, 1), Point3(1, 1, 1e-25f)}) {
        const Outcome once = exportWith([](int f) { return f == 4; }, scale);
        expectHeld(once, {0, 1, 2, 3, 3, 5, 6, 7, 8});
        EXPECT_EQ(once.warnings, std::vector<std::string>{
                                     "Bone 'Tip' is scaled to nothing at frame 4, where it has no rotation: its key there "
                                     "repeats its rotation at frame 3 (the file holds no scale: keep it above zero)"});
    }
    const Outcome runs = exportWith([](int f) { return f < 2 || f == 5 || f == 6; }, {0, 0, 0});
    expectHeld(runs, {2, 2, 2, 3, 4, 4, 4, 7, 8});
    EXPECT_EQ(runs.warnings, std::vector<std::string>{
                                 "Bone 'Tip' is scaled to nothing on 4 frames from frame 0 to frame 6, where it has no "
                                 "rotation: its keys there repeat its rotation at the nearest earlier frame where it has "
                                 "one, or at frame 2 for those before it (the file holds no scale: keep it above zero)"});
    const Outcome later = exportWith([](int f) { return f == 3 || f == 4; }, {0, 0, 0});
    expectHeld(later, {0, 1, 2, 2, 2, 5, 6, 7, 8});
    EXPECT_EQ(later.warnings, std::vector<std::string>{
                                  "Bone 'Tip' is scaled to nothing on 2 frames from frame 3 to frame 4, where it has no "
                                  "rotation: its keys there repeat its rotation at the nearest earlier frame where it has "
                                  "one (the file holds no scale: keep it above zero)"});
    const Outcome always = exportWith([](int) { return true; }, {0, 0, 0});
    EXPECT_EQ(always.warnings, std::vector<std::string>{
                                   "Bone 'Tip' is scaled to nothing on every frame, where it has no rotation: its keys "
                                   "hold whatever its transform gives (the file holds no scale: keep it above zero)"});
}

// A bone under a parent with an axis scaled next to nothing (where the host leaves the axis
// unnormalised) gets a relative rotation of enormous parts; the file still holds unit rotations.
TEST_F(Animation, BonesUnderANearlyFlatParentGetUnitRotations) {
    auto& root = scene.CreateNode("Root");
    root.SetSelected(true);
    auto& arm = root.AddChild("Arm");
    arm.SetLocalTM(ScaleMatrix({1, 1e-37f, 1}) * RotateZMatrix(0.1f));
    arm.AddChild("Hand").SetLocalTM(TransMatrix({0, 0, 1}));
    scene.animRange = {0, 2 * 160};
    const auto a = ExportAnim(scene, out);
    ASSERT_TRUE(a.e.outcome.written);
    EXPECT_TRUE(a.vla.findings.empty()) << a.vla.findings.front().text;
    for (std::size_t b = 0; b < 3; ++b) {
        const vlo::BoneKey& k = a.vla.animation.Key(0, b);
        EXPECT_NEAR(std::sqrt(k.x * k.x + k.y * k.y + k.z * k.z + k.w * k.w), 1.0f, 1e-5f) << b;
    }
}

TEST_F(Animation, AFramesKeysDoNotDependOnTheRangeAroundIt) {
    // A tree of bones turning at their own rates under a root that travels without turning, so the
    // root motion's reference does not turn the keys. Long enough that the keys of a range are
    // made in several parts; the ranges start at different frames, so the parts fall differently.
    auto& root = scene.CreateNode("Root");
    root.SetSelected(true);
    root.SetLocalTrack([](TimeValue t) { return TransMatrix({float(t) / 160.0f, 0, 0}); });
    for (int limb = 0; limb < 3; ++limb) {
        standin::Node* parent = &root;
        for (int segment = 0; segment < 3; ++segment) {
            const float rate = 0.01f * float(1 + limb * 3 + segment);
            parent = &parent->AddChild("Limb" + std::to_string(limb) + "_" + std::to_string(segment));
            parent->SetLocalTrack([=](TimeValue t) {
                const float a = rate * float(t) / 160.0f;
                return RotateXMatrix(a) * RotateYMatrix(0.5f * a) * RotateZMatrix(0.25f * a) * TransMatrix({1, 0, 0});
            });
        }
    }
    const int lastFrame = 1999, split = 777;
    scene.animRange = {0, lastFrame * 160};
    const auto whole = ExportAnim(scene, out);
    ASSERT_TRUE(whole.vla.Valid());
    ASSERT_EQ(whole.vla.animation.frames.size(), std::size_t(lastFrame + 1));
    const std::size_t bones = whole.vla.animation.header.numBones;
    ASSERT_EQ(bones, 10u);

    for (const auto& [first, last] : {std::pair{0, split - 1}, std::pair{split, lastFrame}, std::pair{1234, 1234}}) {
        scene.animRange = {first * 160, last * 160 + 80};
        const auto part = ExportAnim(scene, dir.File("part.VLA"));
        ASSERT_TRUE(part.vla.Valid());
        ASSERT_EQ(part.vla.animation.frames.size(), std::size_t(last - first + 1));
        for (std::size_t k = 0; k < part.vla.animation.frames.size(); ++k)
            for (std::size_t b = 0; b < bones; ++b)
                ASSERT_TRUE(SameKey(part.vla.animation.Key(k, b), whole.vla.animation.Key(std::size_t(first) + k, b)))
                    << "frame " << first + int(k) << ", bone " << b;
    }
}

TEST_F(Animation, BipedIsTakenInAndOutOfFigureModeBeforeThePass) {
    auto& root = WalkingRoot(scene);
    standin::BipedExport biped;
    standin::MakeBipedRoot(scene, root, &biped);
    biped.SetFigurePose(root, TransMatrix({0, 0, 99}));
    auto& steps = root.AddChild("Footsteps");
    standin::MakeFootsteps(scene, steps);
    auto a = ExportAnim(scene, out);
    ASSERT_TRUE(a.vla.Valid());
    // Into figure mode and out before the pass; the bone list then reads each bone in figure mode.
    EXPECT_EQ(biped.Calls(), (std::vector<std::string>{"BeginFigureMode", "EndFigureMode", "RemoveNonUniformScale(TRUE)",
                                                       "BeginFigureMode", "EndFigureMode", "RemoveNonUniformScale(FALSE)"}));
    EXPECT_EQ(a.vla.animation.header.numBones, 1u);  // the footsteps are no bone
    // The samples are the animation, not the figure pose: 100 units of travel by frame 10 (turned
    // by the zero-initial-rotation option, which a biped root starts with).
    const auto& p = a.vla.animation.frames[10].rootPosition;
    EXPECT_NEAR(std::hypot(p.x, p.z), 100.0f, 1e-3);
    EXPECT_TRUE(a.e.outcome.exporter->settings.zeroInitialRootRotation);
    // No origin is computed for an animation: no "Error with Object State" for the skeleton root.
    EXPECT_TRUE(a.e.Texts().empty());
}

TEST_F(Animation, FailuresLeaveNoFiles) {
    auto& root = WalkingRoot(scene);
    standin::MakeFootsteps(scene, root);  // the root itself is footsteps: no bones
    auto a = ExportAnim(scene, out);
    EXPECT_EQ(a.e.Texts(), std::vector<std::string>{"Failed to create internal bone structure"});
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());

    standin::Scene broken;
    auto& b = broken.CreateNode("Bip01");
    b.SetSelected(true);
    standin::MakeBipedRoot(broken, b, nullptr);
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_ANIMATION);
        d.Click(IDOK);
    });
    auto e = support::Export(broken, desktop, out);
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"Failed to obtain BIP export interface"});
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());

    // A good skeleton, exported into a folder that does not exist: the path and the system's reason.
    standin::Scene good;
    WalkingRoot(good);
    const std::string missing = dir.File("no/such/dir/a.vla");
    auto bad = ExportAnim(good, missing);
    EXPECT_EQ(bad.e.Texts(), std::vector<std::string>{"Failed to create the file: Filename: " + dir.File("no/such/dir/a.vla") +
                                                      " (No such file or directory)"});
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());
}

TEST_F(Animation, EveryFailingFileOperationLeavesThePreviousFilesUntouched) {
    WalkingRoot(scene);
    scene.CreateDummyNode("Ball", Box3());
    vlo::IoFaultPlan count;
    support::TempDir scratch;
    ASSERT_TRUE(ExportAnim(scene, scratch.File("walk.vla"), {}, &count).e.outcome.written);
    support::CheckEveryFailingOperation(count.count, out, dir.File("walk.TXT"),
                                        [&](vlo::IoFaultPlan& plan) { return ExportAnim(scene, out, {}, &plan).e; });
}

TEST_F(Animation, TextLinesInOrder) {
    WalkingRoot(scene).AddChild("Arm").SetLocalTM(TransMatrix({0, 5, 0}));
    scene.animRange = {0, 160};
    auto a = ExportAnim(scene, out);
    const std::string expected =
        "VLA (Animation) Output Information\r\n\r\n"
        "VLA File:  " + out + "\r\n"
        "This File: " + dir.File("walk.TXT") + "\r\n\r\n"
        "\r\nNum Bones = 2\r\n"
        "Bone: Root (Id 0) ROOT! Offset: 0.00, 0.00, 0.00\r\n"
        "Bone: Arm (Id 1) Parent: Root (Id 0) Offset: 0.00, 0.00, 5.00\r\n"
        "\r\n\r\nHeader\r\n======\r\n\r\n  Num Bones : 2\r\n  Num Frames: 2\r\n  Frame Rate: 30\r\n\r\n"
        "Flags\r\n000 - 0\r\n001 - 0\r\n"
        "\r\n\r\nRoot Pos\r\n000 - 0.000, 50.000, 0.000\r\n001 - 10.000, 50.000, 0.000\r\n";
    ASSERT_GE(a.e.text.size(), expected.size());
    EXPECT_EQ(a.e.text.substr(0, expected.size()), expected);
    EXPECT_EQ(a.e.text.substr(a.e.text.size() - 17), "\r\n\r\nMarkers\r\n\r\n\r\n");
}

}  // namespace

namespace {

TEST(VlaReader, TruncatedCorruptAndImpossibleFiles) {
    support::TempDir dir;
    standin::Scene scene;
    auto& root = WalkingRoot(scene);
    root.AddChild("Arm");
    scene.CreateDummyNode("Ball", Box3());
    ASSERT_TRUE(ExportAnim(scene, dir.File("a.VLA")).vla.Valid());
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(dir.File("a.VLA"), bytes, error));
    for (std::size_t n = 0; n < bytes.size(); n += 5)
        EXPECT_FALSE(vlo::ReadVla(std::span(bytes.data(), n)).Valid()) << n;
    auto corrupt = bytes;
    corrupt[12] = 0xFF, corrupt[13] = 0xFF, corrupt[14] = 0xFF, corrupt[15] = 0x7F;  // 2^31 bones
    const auto huge = vlo::ReadVla(corrupt);
    ASSERT_FALSE(huge.Valid());
    EXPECT_NE(huge.findings[0].text.find("cannot fit"), std::string::npos);
    corrupt = bytes;
    const float half = 0.5f;
    std::memcpy(corrupt.data() + 28 + 20 + 12, &half, 4);  // bone 0's w of frame 0
    const auto stretched = vlo::ReadVla(corrupt);
    ASSERT_FALSE(stretched.Valid());
    EXPECT_NE(stretched.findings[0].text.find("quaternion has length"), std::string::npos);
    corrupt = bytes;
    corrupt[0] = 'X';
    EXPECT_FALSE(vlo::ReadVla(corrupt).Valid());
}

}  // namespace
