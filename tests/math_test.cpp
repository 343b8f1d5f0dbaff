// Host math conventions, the host's buildNormals, the weld index and tangent frames.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "geometry/tangents.h"
#include "geometry/weld.h"
#include "host/geom.h"
#include "host/mesh.h"

namespace {

constexpr float kPi = 3.14159265358979f;

void ExpectNear(const Point3& a, const Point3& b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(HostMath, RowVectorsAndComposition) {
    const Matrix3 r = RotateZMatrix(kPi / 2);
    ExpectNear(Point3(1, 0, 0) * r, {0, 1, 0});  // +90 degrees about Z takes X to Y
    const Matrix3 m = r * TransMatrix({5, 0, 0});  // rotate first, then move
    ExpectNear(Point3(1, 0, 0) * m, {5, 1, 0});
    const Matrix3 inv = Inverse(m);
    ExpectNear((Point3(1, 2, 3) * m) * inv, {1, 2, 3});
    EXPECT_FALSE(IsFinite(Inverse(ScaleMatrix({0, 1, 1}))[0]));
}

TEST(HostMath, QuaternionIsTheConjugateOfTheColumnVectorConvention) {
    const float a = 0.7f;
    const Quat qz(RotateZMatrix(a));
    EXPECT_NEAR(qz.z, -std::sin(a / 2), 1e-6);
    EXPECT_NEAR(qz.w, std::cos(a / 2), 1e-6);
    const Quat qx(RotateXMatrix(a)), qy(RotateYMatrix(a));
    EXPECT_NEAR(qx.x, -std::sin(a / 2), 1e-6);
    EXPECT_NEAR(qy.y, -std::sin(a / 2), 1e-6);
    // Round trip through the matrix, including a rotation near 180 degrees (the non-trace branches).
    for (const Matrix3& m : {RotateXMatrix(3.1f) * RotateYMatrix(0.3f), RotateYMatrix(-3.0f), RotateZMatrix(3.14f)}) {
        const Matrix3 back = Quat(m).MakeMatrix();
        for (int i = 0; i < 3; ++i) ExpectNear(back[i], m[i]);
    }
}

TEST(HostMath, NormalizeLeavesTheZeroVectorAlone) {
    EXPECT_EQ(Normalize(Point3(0, 0, 0)), Point3(0, 0, 0));
    ExpectNear(Normalize(Point3(0, 3, 4)), {0, 0.6f, 0.8f});
}

Mesh TwoFacesAtAnEdge(DWORD sg0, DWORD sg1, MtlID mat1 = 0) {
    // Two triangles meeting at a right angle along the edge (0,0,0)-(1,0,0).
    Mesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Face a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2, a.smGroup = sg0;  // normal +Z
    b.v[0] = 0, b.v[1] = 1, b.v[2] = 3, b.smGroup = sg1;  // normal -Y
    b.setMatID(mat1);
    m.faces = {a, b};
    m.buildNormals();
    return m;
}

TEST(BuildNormals, SmoothingGroupsShareNormalsOnlyWhenTheyOverlap) {
    Mesh shared = TwoFacesAtAnEdge(1, 3);
    ASSERT_EQ(shared.rVerts[0].rFlags & NORCT_MASK, 1u);
    ExpectNear(shared.rVerts[0].rn.normal, Normalize(Point3(0, -1, 1)));  // equal corner angles (90 degrees)
    EXPECT_EQ(shared.rVerts[0].rn.smGroup, 3u);

    Mesh split = TwoFacesAtAnEdge(1, 2);
    ASSERT_EQ(split.rVerts[0].rFlags & NORCT_MASK, 2u);
    ExpectNear(split.rVerts[0].ern[0].normal, {0, 0, 1});
    ExpectNear(split.rVerts[0].ern[1].normal, {0, -1, 0});

    // A copy's vertices must point into the copy's own normals, so they outlive the original.
    Mesh copy = split;
    split = TwoFacesAtAnEdge(0, 0);
    ASSERT_EQ(copy.rVerts[0].rFlags & NORCT_MASK, 2u);
    ExpectNear(copy.rVerts[0].ern[0].normal, {0, 0, 1});
    ExpectNear(copy.rVerts[0].ern[1].normal, {0, -1, 0});
    Mesh assigned;
    assigned = copy;
    copy = Mesh();
    ExpectNear(assigned.rVerts[0].ern[1].normal, {0, -1, 0});

    Mesh materials = TwoFacesAtAnEdge(1, 1, 7);
    EXPECT_EQ(materials.rVerts[0].rFlags & NORCT_MASK, 2u);

    Mesh none = TwoFacesAtAnEdge(0, 0);
    EXPECT_EQ(none.rVerts[0].rFlags & NORCT_MASK, 0u);
    ExpectNear(none.faceNormals[1], {0, -1, 0});
}

TEST(BuildNormals, CornerAnglesWeightTheAverage) {
    // Vertex 0 has a 90 degree corner in face a (normal +Z) and a 45 degree corner in face b.
    Mesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 1}};
    Face a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2, a.smGroup = 1;
    b.v[0] = 0, b.v[1] = 1, b.v[2] = 3, b.smGroup = 1;  // normal -Y, corner at 0 is 45 degrees
    m.faces = {a, b};
    m.buildNormals();
    const Point3 expected = Normalize(Point3(0, 0, 1) * (kPi / 2) + Point3(0, -1, 0) * (kPi / 4));
    ExpectNear(m.rVerts[0].rn.normal, expected);
}

TEST(BuildNormals, SpecifiedNormalsWin) {
    Mesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    Face a;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2, a.smGroup = 1;
    m.faces = {a};
    m.setSpecifiedNormal(1, {0, 2, 0});
    m.buildNormals();
    EXPECT_EQ(m.rVerts[1].rFlags, SPECIFIED_NORMAL | 1u);
    ExpectNear(m.rVerts[1].rn.normal, {0, 1, 0});
    ExpectNear(m.rVerts[0].rn.normal, {0, 0, 1});
}

TEST(BuildNormals, CleanUpsKeepTextureFacesParallel) {
    Mesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.tVerts = {{0, 0, 0}, {1, 0, 0}};
    Face good, degenerate, outOfRange;
    good.v[0] = 0, good.v[1] = 1, good.v[2] = 2;
    degenerate.v[0] = 0, degenerate.v[1] = 0, degenerate.v[2] = 2;
    outOfRange.v[0] = 0, outOfRange.v[1] = 1, outOfRange.v[2] = 9;
    TVFace t0, t1, t2;
    t0.t[2] = 1;
    t1.t[2] = 1;
    t2.t[2] = 1;
    m.faces = {degenerate, outOfRange, good};
    m.tvFace = {t1, t2, t0};
    EXPECT_TRUE(m.RemoveDegenerateFaces());
    EXPECT_TRUE(m.RemoveIllegalFaces());
    ASSERT_EQ(m.faces.size(), 1u);
    ASSERT_EQ(m.tvFace.size(), 1u);
    EXPECT_EQ(m.faces[0].v[2], 2u);
    EXPECT_FALSE(m.RemoveIllegalFaces());
}

// Random corner streams with many exact duplicates, signed zeros and NaNs.
TEST(Weld, HashIndexNumbersExactlyAsTheLinearSearch) {
    std::mt19937 rng(12345);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int round = 0; round < 20; ++round) {
        std::uniform_int_distribution<int> pick(0, 6);
        std::vector<vlo::ModelVertex> pool(std::size_t(50 + round * 40));
        for (auto& v : pool) {
            auto value = [&] {
                switch (pick(rng)) {
                    case 0: return 0.0f;
                    case 1: return -0.0f;
                    case 2: return round % 3 == 0 ? nan : 1.0f;
                    default: return float(pick(rng)) * 0.25f;
                }
            };
            v.position = {value(), value(), value()};
            v.normal = {value(), value(), value()};
            v.u = value();
            v.v = value();
        }
        std::vector<vlo::ModelVertex> hashed, batched, linear;
        vlo::VertexWelder welder(hashed);
        std::uniform_int_distribution<std::size_t> corner(0, pool.size() - 1);
        std::vector<vlo::ModelVertex> corners;
        std::vector<std::uint32_t> expected;
        for (int i = 0; i < 3000; ++i) {
            const vlo::ModelVertex& v = pool[corner(rng)];
            corners.push_back(v);
            expected.push_back(vlo::FindOrAddVertexLinear(linear, v));
            ASSERT_EQ(welder.FindOrAdd(v), expected.back()) << "round " << round << " corner " << i;
        }
        ASSERT_EQ(hashed.size(), linear.size());
        // The batched weld, in uneven batches (shorter and longer than its look-ahead), from a small
        // table that grows between a slot's fetch and its lookup.
        vlo::VertexWelder batch(batched);
        std::vector<std::uint32_t> indices(corners.size());
        for (std::size_t at = 0, n = 1; at < corners.size(); at += n, n = n * 3 % 97 + 1) {
            n = std::min(n, corners.size() - at);
            batch.FindOrAdd(corners.data() + at, n, indices.data() + at);
        }
        ASSERT_EQ(indices, expected) << "round " << round;
        ASSERT_EQ(batched.size(), linear.size());
    }
}

TEST(Weld, NaNNeverMatchesAndSignedZerosDo) {
    std::vector<vlo::ModelVertex> out;
    vlo::VertexWelder welder(out);
    vlo::ModelVertex a, b;
    a.position = {0.0f, 1, 2};
    b.position = {-0.0f, 1, 2};
    EXPECT_EQ(welder.FindOrAdd(a), 0u);
    EXPECT_EQ(welder.FindOrAdd(b), 0u);
    vlo::ModelVertex n = a;
    n.u = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(welder.FindOrAdd(n), 1u);
    EXPECT_EQ(welder.FindOrAdd(n), 2u);
    EXPECT_EQ(out.size(), 3u);
}

std::vector<vlo::TangentFrame> QuadFrames(bool mirrorU) {
    // Unit quad in XY, normal +Z; u along x (or against it), v along y.
    std::vector<vlo::ModelVertex> v(4);
    const float us[4] = {0, 1, 1, 0}, vs[4] = {0, 0, 1, 1};
    const float xs[4] = {0, 1, 1, 0}, ys[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        v[std::size_t(i)].position = {xs[i], ys[i], 0};
        v[std::size_t(i)].normal = {0, 0, 1};
        v[std::size_t(i)].u = mirrorU ? 1 - us[i] : us[i];
        v[std::size_t(i)].v = vs[i];
    }
    std::vector<vlo::ModelPolygon> p(2);
    p[0].verts[0] = 0, p[0].verts[1] = 1, p[0].verts[2] = 2;
    p[1].verts[0] = 0, p[1].verts[1] = 2, p[1].verts[2] = 3;
    return vlo::BuildTangentFrames(v, p);
}

TEST(Tangents, PlanarQuadAndItsMirroredMapping) {
    for (const auto& f : QuadFrames(false)) {
        EXPECT_FLOAT_EQ(f.tangent.x, 1.0f);
        EXPECT_FLOAT_EQ(f.binormal.y, 1.0f);
    }
    for (const auto& f : QuadFrames(true)) {
        EXPECT_FLOAT_EQ(f.tangent.x, -1.0f);
        EXPECT_FLOAT_EQ(f.binormal.y, 1.0f);  // w = -1 flips N x T back to +Y
    }
}

TEST(Tangents, TangentIsMadePerpendicularToTheNormal) {
    std::vector<vlo::ModelVertex> v(3);
    v[0].position = {0, 0, 0};
    v[1].position = {1, 0, 1};  // the texture's u direction leans along the normal
    v[2].position = {0, 1, 0};
    v[1].u = 1;
    v[2].v = 1;
    for (auto& x : v) x.normal = {0, 0, 1};
    std::vector<vlo::ModelPolygon> p(1);
    p[0].verts[0] = 0, p[0].verts[1] = 1, p[0].verts[2] = 2;
    const auto frames = vlo::BuildTangentFrames(v, p);
    EXPECT_FLOAT_EQ(frames[0].tangent.z, 0.0f);
    EXPECT_FLOAT_EQ(frames[0].tangent.x, 1.0f);
}

}  // namespace
