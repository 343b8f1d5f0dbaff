// The stand-in host's transforms: node transforms computed from the parent's, once per time, and
// keyed tracks (and the importer's turn of them into host axes) that sample in constant time per
// frame without changing a bit of the result.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "importer/convert.h"
#include "importer/host_axes.h"
#include "standin/scene.h"
#include "standin/track.h"

namespace {

TEST(StandInTransforms, NodeTMIsLocalTimesTheParentsAndFollowsEveryEdit) {
    standin::Scene scene;
    standin::Node& a = scene.CreateNode("A");
    standin::Node& b = a.AddChild("B");
    standin::Node& c = b.AddChild("C");
    const Matrix3 la = RotateZMatrix(0.3f) * TransMatrix({1, 2, 3});
    const Matrix3 lb = RotateXMatrix(-0.7f) * TransMatrix({0, 5, 0});
    const Matrix3 lc = RotateYMatrix(1.1f) * TransMatrix({0, 0, 2});
    a.SetLocalTM(la), b.SetLocalTM(lb), c.SetLocalTM(lc);
    EXPECT_EQ(c.GetNodeTM(0), lc * (lb * la));
    EXPECT_EQ(c.GetParentTM(0), lb * la);

    // An edit of an ancestor after the transforms were computed.
    b.SetLocalTM(TransMatrix({0, 6, 0}));
    EXPECT_EQ(c.GetNodeTM(0), lc * (TransMatrix({0, 6, 0}) * la));
    // A track: each time asked gives that time's transform, in any order.
    a.SetLocalTrack([](TimeValue t) { return TransMatrix({float(t), 0, 0}); });
    for (TimeValue t : {160, 0, 320, 160})
        EXPECT_EQ(c.GetNodeTM(t).GetTrans(), (Point3(0, 0, 2) * (TransMatrix({0, 6, 0}) * TransMatrix({float(t), 0, 0}))))
            << t;
    // A new parent.
    c.Reparent(a);
    EXPECT_EQ(c.Parent(), &a);
    EXPECT_FLOAT_EQ(c.GetNodeTM(0).GetTrans().y, 6.0f);  // kept where it was at time 0
}

TEST(StandInTransforms, ADeepChainIsWalkedWithoutRecursion) {
    standin::Scene scene;
    standin::Node* n = &scene.CreateNode("0");
    for (int i = 1; i < 200000; ++i) {
        n = &n->AddChild(std::to_string(i));
        n->SetLocalTM(TransMatrix({0, 0, 1}));
    }
    EXPECT_EQ(n->GetNodeTM(0).GetTrans(), Point3(0, 0, 199999));
}

TEST(TrackSampler, SamplesExactlyAsEvaluateInEveryTimeOrder) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-2, 2);
    standin::TransformTrack track;
    track.base = RotateXMatrix(0.4f) * ScaleMatrix({1, 2, 1}) * TransMatrix({1, 0, 0});
    double time = -300;
    for (int k = 0; k < 50; ++k) {
        time += k % 7 == 3 ? 0 : 37.5;  // some keys share a time
        const Quat q = Quat(RotateZMatrix(value(rng)) * RotateXMatrix(value(rng)));
        track.rotation.push_back({time, q});
        track.position.push_back({time, {value(rng), value(rng), value(rng)}});
    }
    track.positionMode = standin::Interpolation::Step;  // scale has no keys: from base
    standin::TrackSampler sampler(track);
    std::vector<double> times;
    for (double t = -400; t < time + 100; t += 12.5) times.push_back(t);  // forwards, on and between keys
    for (double t = time + 100; t > -400; t -= 30) times.push_back(t);    // backwards
    for (int i = 0; i < 200; ++i) times.push_back(std::uniform_real_distribution<double>(-400, time + 100)(rng));
    for (double t : times) ASSERT_EQ(sampler.At(t), track.Evaluate(t)) << t;
}

// Bit for bit, signed zeros included (== takes -0 for +0); a NaN matches any NaN.
bool SameBits(float x, float y) { return std::isnan(x) ? std::isnan(y) : std::memcmp(&x, &y, sizeof x) == 0; }

bool SameBits(const Matrix3& a, const Matrix3& b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            if (!SameBits(a[r][c], b[r][c])) return false;
    return true;
}

TEST(TrackSampler, ComposesScaleRotationTranslationBitForBit) {
    // A keyed transform is ScaleMatrix(s) * rotation * TransMatrix(p): zero parts keep the signs the
    // products give them, and parts that overflow or are not numbers stay so.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    const Quat rotations[] = {{0, 0, 0, 1}, {-0.0f, 0, 0, 1}, {0, -0.0f, 0.70710677f, 0.70710677f},
                              {0.1f, 0.2f, 0.3f, 0.927f}, {1, 1, 1, 1}, {0, 0, nan, 1}};
    const Point3 scales[] = {{1, 1, 1}, {2, -0.5f, 3}, {0, 1, -0.0f}, {big, 1, 1}, {inf, 1, 1}};
    const Point3 positions[] = {{1, 2, 3}, {-0.0f, 0, -0.0f}, {inf, -inf, 0}, {nan, 1, 1}};
    for (const Quat& q : rotations)
        for (const Point3& s : scales)
            for (const Point3& p : positions) {
                standin::TransformTrack track;
                track.rotation.push_back({0, q});
                track.scale.push_back({0, s});
                track.position.push_back({0, p});
                ASSERT_TRUE(SameBits(track.Evaluate(0), ScaleMatrix(s) * q.MakeMatrix() * TransMatrix(p)))
                    << q.x << " " << q.y << " " << q.z << " " << q.w << " / " << s.x << " " << s.y << " " << s.z << " / "
                    << p.x << " " << p.y << " " << p.z;
            }
}

bool SameBits(const Quat& a, const Quat& b) {
    return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z) && SameBits(a.w, b.w);
}

TEST(Slerp, AtWeightZeroIsTheBlendWithWeightsOneAndZeroBitForBit) {
    // A sample on a key blends the key with the next at weights 1 and 0 (in double precision, the
    // next turned to the shorter arc), then divides by the length unless it is 1 or 0: zero parts
    // take the signs that blend gives them, and non-finite parts on either side stay so.
    auto blendAtZero = [](const Quat& a, Quat b) {
        if (double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w < 0) b = Quat(-b.x, -b.y, -b.z, -b.w);
        const Quat r(float(1.0 * a.x + 0.0 * b.x), float(1.0 * a.y + 0.0 * b.y), float(1.0 * a.z + 0.0 * b.z),
                     float(1.0 * a.w + 0.0 * b.w));
        const float len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w);
        if (len == 1.0f) return r;
        return len > 0 ? Quat(r.x / len, r.y / len, r.z / len, r.w / len) : a;
    };
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float special[] = {0.0f, -0.0f, 1e-40f, -1e-45f, std::numeric_limits<float>::max(), -inf, inf, nan, 1, -1};
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> ordinary(-1, 1), chance(0, 1);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(special) - 1);
    auto part = [&] { return chance(rng) < 0.1f ? special[pick(rng)] : ordinary(rng); };
    for (int n = 0; n < 50000; ++n) {
        const Quat a(part(), part(), part(), part()), b(part(), part(), part(), part());
        ASSERT_TRUE(SameBits(standin::Slerp(a, b, 0), blendAtZero(a, b)))
            << n << ": " << a.x << " " << a.y << " " << a.z << " " << a.w << " / " << b.x << " " << b.y << " " << b.z
            << " " << b.w;
    }
}

TEST(HostAxesTransform, TurnsIntoHostAxesBitForBit) {
    // Parts are moved for a node below the top (rest the identity) of a Y-up or a Z-up file; a top
    // node's rest, or a zero translation of -0 where it is added, takes the products.
    const Matrix3 yUp = importer::YUpToZUp(), identity;
    Matrix3 minusZeroShift;
    minusZeroShift.SetTrans({-0.0f, 0, 0});
    Matrix3 yUpMinusZeroShift = yUp;
    yUpMinusZeroShift.SetTrans({0, 0, -0.0f});
    const struct {
        Matrix3 rest, toHost;
        bool movesParts;
    } cases[] = {{identity, yUp, true},
                 {identity, identity, true},
                 {ScaleMatrix({0.01f, 0.01f, 0.01f}), yUp, false},
                 {minusZeroShift, yUp, false},
                 {identity, yUpMinusZeroShift, false}};
    // Ordinary parts, mixed with zeros of both signs, subnormals, the extremes, infinities and NaN,
    // more often in the translation (whose zeros become +0 when parts are moved).
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float special[] = {0.0f, -0.0f, 1e-40f, -1e-45f, std::numeric_limits<float>::max(), -inf, inf, nan, 1, -1};
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> ordinary(-3, 3), chance(0, 1);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(special) - 1);
    for (const auto& c : cases) {
        const Matrix3 fromHost = Inverse(c.toHost);
        const importer::HostAxesTransform inHostAxes(c.rest, c.toHost, fromHost);
        EXPECT_EQ(inHostAxes.MovesParts(), c.movesParts);
        for (int n = 0; n < 20000; ++n) {
            Matrix3 m;
            for (int r = 0; r < 4; ++r)
                for (int col = 0; col < 3; ++col)
                    m.SetRow(r, [&] {
                        Point3 row = m[r];
                        row[col] = chance(rng) < (r < 3 ? 0.03f : 0.3f) ? special[pick(rng)] : ordinary(rng);
                        return row;
                    }());
            ASSERT_TRUE(SameBits(inHostAxes(m), fromHost * (m * c.rest) * c.toHost))
                << n << ": " << m[0].x << " " << m[0].y << " " << m[0].z << " / " << m[1].x << " " << m[1].y << " "
                << m[1].z << " / " << m[2].x << " " << m[2].y << " " << m[2].z << " / " << m[3].x << " " << m[3].y
                << " " << m[3].z;
        }
    }
}

}  // namespace
