// Shape exports end to end: scenes built in the stand-in host, exported through DoExport with the
// options dialog answered by a script, and the files read back with the reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "test_support.h"
#include "ui/controls.h"

using support::AddBox;
using support::Export;
using support::Options;
using support::WorldOrigin;

namespace {

using vlo::OriginMode;

class ShapeExport : public ::testing::Test {
protected:
    support::TempDir dir;
    standin::Scene scene;
    std::string out = dir.File("model.vlo");
};

TEST_F(ShapeExport, CubeWithSixSmoothingGroupsHas24VerticesAndOneGroupHas8) {
    AddBox(scene, "Box", {2, 2, 2}, /*sixGroups=*/true, /*mapped=*/false);
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.outcome.written);
    ASSERT_TRUE(e.file.Valid()) << e.file.findings.front().text;
    EXPECT_EQ(e.file.model.vertices.size(), 24u);
    EXPECT_EQ(e.file.model.polygons.size(), 12u);

    standin::Scene smooth;
    AddBox(smooth, "Box", {2, 2, 2}, /*sixGroups=*/false, /*mapped=*/false);
    auto s = Export(smooth, dir.File("smooth.vlo"), WorldOrigin());
    ASSERT_TRUE(s.file.Valid());
    EXPECT_EQ(s.file.model.vertices.size(), 8u);
    for (const auto& v : s.file.model.vertices) {
        EXPECT_EQ(v.u, 0.0f);
        EXPECT_EQ(v.v, 0.0f);
        // A corner shared by three perpendicular faces averages to the diagonal.
        EXPECT_NEAR(std::fabs(v.normal.x), 1 / std::sqrt(3.0f), 1e-5);
    }
    for (const auto& p : s.file.model.polygons) EXPECT_EQ(p.textureId, -1);
    EXPECT_NE(s.text.find("   Num Index Buffers = 1\r\n      Index Buffer 0) Texture Index = -1; Num Polys = 12\r\n"),
              std::string::npos);
}

TEST_F(ShapeExport, FileLayoutMatchesItsSizesAndHeaders) {
    AddBox(scene, "Box", {2, 2, 2}, true, false);
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    const auto& m = e.file.model;
    // No textures, sound, maps or markers: vertices and polygons only.
    EXPECT_EQ(e.file.layout.chunkCount, 2u);
    EXPECT_EQ(e.bytes.size(), 68 + (12 + 4 + 32 * 24) + (12 + 4 + 8 * 12));
    EXPECT_EQ(e.file.layout.objectChunkSize, e.bytes.size() - 16);
    EXPECT_EQ(m.flags, 0u);
    EXPECT_EQ(std::memcmp(e.bytes.data() + 28, "OBJ3", 4), 0);
}

TEST_F(ShapeExport, FlagsFollowTheCheckBoxesAndAreListedLast) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    Options o = WorldOrigin();
    o.noCollisions = true;
    o.semiTransparent = true;
    auto e = Export(scene, out, o);
    ASSERT_TRUE(e.file.Valid());
    EXPECT_EQ(e.file.model.flags, 0x2u | 0x8u);
    const std::string tail = "\r\nFLAG: No Collisions\r\nFLAG: Semi Transparent\r\n\r\n";
    ASSERT_GE(e.text.size(), tail.size());
    EXPECT_EQ(e.text.substr(e.text.size() - tail.size()), tail);
}

TEST_F(ShapeExport, MultiMaterialFacesAreRegroupedByTextureId) {
    auto& multi = scene.Make<standin::MultiMaterial>("Multi");
    for (const char* n : {"A.tga", "B.tga", "C.tga"}) {
        auto& sub = scene.Make<standin::StdMaterial>(std::string("Sub") + n);
        sub.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>(n, std::string("C:\\maps\\") + n));
        multi.subs.push_back(&sub);
    }
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, true, nullptr, {0, 1, 2, 3, 4, 5});
    box.SetMaterial(&multi);
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    const auto& m = e.file.model;
    ASSERT_EQ(m.textures.size(), 3u);
    EXPECT_STREQ(m.textures[0].name, "A.tga");
    EXPECT_STREQ(m.textures[2].name, "C.tga");
    // Material ids 0..5 give texture ids 0,1,2,0,1,2: four faces per texture, in face order.
    std::vector<int> ids;
    for (const auto& p : m.polygons) ids.push_back(p.textureId);
    EXPECT_EQ(ids, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_NE(e.text.find("      Index Buffer 2) Texture Index = 2; Num Polys = 4\r\n"), std::string::npos);
    EXPECT_EQ(e.file.layout.chunkCount, 5u);  // three textures, vertices, polygons
    // The mapped corners take the flipped v.
    std::set<std::pair<float, float>> uvs;
    for (const auto& v : m.vertices) uvs.insert({v.u, v.v});
    EXPECT_TRUE(uvs.count({0.0f, 1.0f}) && uvs.count({1.0f, 0.0f}));
}

TEST_F(ShapeExport, SubMaterialWithoutBitmapShiftsLaterTextureIds) {
    auto& multi = scene.Make<standin::MultiMaterial>("Multi");
    auto& a = scene.Make<standin::StdMaterial>("A");
    a.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("a", "A.tga"));
    auto& none = scene.Make<standin::StdMaterial>("None");
    none.SetMap(ID_DI, &scene.Make<standin::ProceduralTexture>("checker"));
    auto& c = scene.Make<standin::StdMaterial>("C");
    c.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("c", "/maps/C.tga"));
    multi.subs = {&a, &none, &c};
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, true, nullptr, {1, 2, 1, 2, 1, 2});
    box.SetMaterial(&multi);
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    ASSERT_EQ(e.file.model.textures.size(), 2u);
    EXPECT_STREQ(e.file.model.textures[1].name, "C.tga");
    // Material id 1 -> texture 1 (C), material id 2 -> texture 0 (A).
    EXPECT_EQ(e.file.model.polygons.front().textureId, 0);
    EXPECT_EQ(e.file.model.polygons.back().textureId, 1);
}

// Different image files that the model would name alike are named in a warning, since the game finds
// one file by that name for all of them. The same file written with other slashes or case is no
// clash, nor is a map that the file does not get.
TEST_F(ShapeExport, DifferentImagesOfOneFileNameAreNamed) {
    auto& multi = scene.Make<standin::MultiMaterial>("Multi");
    for (const char* path : {"D:\\art\\wood\\diffuse.png", "d:/ART/WOOD/Diffuse.png", "D:/art/metal/diffuse.png", "grip.png"}) {
        auto& sub = scene.Make<standin::StdMaterial>(path);
        sub.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>(path, path));
        multi.subs.push_back(&sub);
    }
    static_cast<standin::StdMaterial*>(multi.subs[0])->SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("b", "D:/art/bumps/grip.png"));
    AddBox(scene, "Box", {1, 1, 1}, true, true, nullptr, {0, 1, 2, 3, 0, 1}).SetMaterial(&multi);
    const std::string diffuse = "The textures D:\\art\\wood\\diffuse.png and D:/art/metal/diffuse.png are different files, "
                                "but the model stores both as diffuse.png: the game finds one file by that name for both "
                                "(give each image file a name of its own)";
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    EXPECT_EQ(e.file.model.textures.size(), 4u);
    EXPECT_EQ(e.Texts("Warning"), std::vector<std::string>{diffuse});
    Options bump = WorldOrigin();
    bump.bump = true;
    auto withBump = Export(scene, out, bump);
    ASSERT_TRUE(withBump.file.model.bumpMap);
    EXPECT_EQ(withBump.Texts("Warning"),
              (std::vector<std::string>{diffuse, "The textures grip.png and D:/art/bumps/grip.png are different files, but "
                                                 "the model stores both as grip.png: the game finds one file by that name "
                                                 "for both (give each image file a name of its own)"}));
}

TEST_F(ShapeExport, MirroredObjectReversesCornerOrder) {
    auto& box = AddBox(scene, "Box", {2, 2, 2}, true, false);
    box.SetLocalTM(ScaleMatrix({-1, 1, 1}));
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    // Face 0 is (0, 2, 3) of the box; mirrored, its third corner (vertex 3 at (1,1,0)) comes first.
    const auto& first = e.file.model.vertices[0].position;
    EXPECT_FLOAT_EQ(first.x, -1.0f);
    EXPECT_FLOAT_EQ(first.y, 1.0f);
    EXPECT_FLOAT_EQ(first.z, 0.0f);
    // Mirrored triangles keep facing outwards: the bottom face's winding still gives -z.
    const auto& m = e.file.model;
    const auto& p = m.polygons[0];
    auto P = [&](int i) { return Point3(m.vertices[i].position.x, m.vertices[i].position.y, m.vertices[i].position.z); };
    const Point3 n = CrossProd(P(p.verts[1]) - P(p.verts[0]), P(p.verts[2]) - P(p.verts[0]));
    EXPECT_LT(n.z, 0.0f);
}

TEST_F(ShapeExport, MirroredWithSwapStoresCorners201) {
    auto& box = AddBox(scene, "Box", {2, 2, 2}, true, false);
    box.SetLocalTM(ScaleMatrix({-1, 1, 1}));
    auto e = Export(scene, out, WorldOrigin(true));
    ASSERT_TRUE(e.file.Valid());
    // Taken as corners 2, 1, 0 (new vertices 0, 1, 2); the swap exchanges the last two: 0, 2, 1,
    // which are the face's corners 2, 0, 1.
    const auto& p = e.file.model.polygons[0];
    EXPECT_EQ(p.verts[0], 0);
    EXPECT_EQ(p.verts[1], 2);
    EXPECT_EQ(p.verts[2], 1);
}

// An object stretched unevenly tilts its faces: every corner's normal stays perpendicular to its face
// as written, whether the stretch comes before the turn, after it (a shear) or mirrors. An object
// scaled evenly keeps the very normals of its unscaled self.
TEST_F(ShapeExport, UnevenlyScaledObjectsKeepTheirNormalsOnTheirFaces) {
    const Matrix3 turn = RotateZMatrix(0.5f) * RotateXMatrix(0.3f);
    const Matrix3 stretch = ScaleMatrix({1, 3, 0.5f});
    for (const Matrix3& tm : {stretch * turn, turn * stretch, turn * ScaleMatrix({-2, 1, 1})}) {
        standin::Scene stretched;
        AddBox(stretched, "Box", {2, 2, 2}, /*sixGroups=*/true, /*mapped=*/false).SetLocalTM(tm);
        auto e = Export(stretched, out, WorldOrigin());
        ASSERT_TRUE(e.file.Valid());
        const auto& m = e.file.model;
        auto at = [&](int i) { return Point3(m.vertices[i].position.x, m.vertices[i].position.y, m.vertices[i].position.z); };
        for (const auto& p : m.polygons) {
            const Point3 face = Normalize(CrossProd(at(p.verts[1]) - at(p.verts[0]), at(p.verts[2]) - at(p.verts[0])));
            for (int k = 0; k < 3; ++k) {
                const vlo::Vec3& n = m.vertices[p.verts[k]].normal;
                EXPECT_NEAR(DotProd(face, Point3(n.x, n.y, n.z)), 1.0f, 1e-5f);
            }
        }
    }
    standin::Scene plain, scaled;
    AddBox(plain, "Box", {2, 2, 2}, true, false).SetLocalTM(turn);
    AddBox(scaled, "Box", {2, 2, 2}, true, false).SetLocalTM(ScaleMatrix({2, 2, 2}) * turn);
    const auto a = Export(plain, out, WorldOrigin()).file.model.vertices;
    const auto b = Export(scaled, out, WorldOrigin()).file.model.vertices;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(std::memcmp(&a[i].normal, &b[i].normal, sizeof a[i].normal), 0) << "vertex " << i;
}

TEST_F(ShapeExport, SwapExchangesYAndZOfPositionsAndNormals) {
    auto& box = AddBox(scene, "Box", {2, 4, 6}, true, false);
    box.SetLocalTM(TransMatrix({10, 20, 30}));
    auto e = Export(scene, out, WorldOrigin(true));
    ASSERT_TRUE(e.file.Valid());
    float maxY = -1e9f, maxZ = -1e9f;
    bool upNormal = false;
    for (const auto& v : e.file.model.vertices) {
        maxY = std::max(maxY, v.position.y);
        maxZ = std::max(maxZ, v.position.z);
        upNormal |= v.normal.y == 1.0f;  // the host's +Z top face points along the file's +Y
    }
    EXPECT_FLOAT_EQ(maxY, 36.0f);
    EXPECT_FLOAT_EQ(maxZ, 22.0f);
    EXPECT_TRUE(upNormal);
}

TEST_F(ShapeExport, OriginModes) {
    standin::Node& parent = scene.CreateDummyNode("Parent", Box3());
    parent.SetLocalTM(TransMatrix({1, 2, 3}));
    auto& box = AddBox(scene, "Box", {2, 2, 2}, true, false, &parent);
    box.SetLocalTM(TransMatrix({5, 0, 10}));  // world (5, 1, 13) to (7, 3, 15)

    auto minMax = [](const vlo::VloModel& m, int axis) {
        float lo = 1e30f, hi = -1e30f;
        for (const auto& v : m.vertices) {
            const float c = axis == 0 ? v.position.x : (axis == 1 ? v.position.y : v.position.z);
            lo = std::min(lo, c);
            hi = std::max(hi, c);
        }
        return std::pair{lo, hi};
    };

    Options o;
    o.origin = OriginMode::Pivot;
    o.swapYZ = false;
    auto pivot = Export(scene, dir.File("pivot.vlo"), o);
    ASSERT_TRUE(pivot.file.Valid());
    // Relative to the parent's position (1, 2, 3), not the node's own pivot.
    EXPECT_FLOAT_EQ(minMax(pivot.file.model, 0).first, 5.0f - 1.0f);
    EXPECT_FLOAT_EQ(minMax(pivot.file.model, 2).first, 13.0f - 3.0f);

    o.origin = OriginMode::Center;
    auto center = Export(scene, dir.File("center.vlo"), o);
    ASSERT_TRUE(center.file.Valid());
    for (int axis = 0; axis < 3; ++axis) {
        const auto [lo, hi] = minMax(center.file.model, axis);
        EXPECT_NEAR(lo + hi, 0.0f, 1e-5) << axis;
    }

    o.origin = OriginMode::Base;
    o.swapYZ = true;
    auto base = Export(scene, dir.File("base.vlo"), o);
    ASSERT_TRUE(base.file.Valid());
    EXPECT_EQ(minMax(base.file.model, 1).first, 0.0f);  // the lowest vertex stands on y = 0
    EXPECT_NEAR(minMax(base.file.model, 0).first + minMax(base.file.model, 0).second, 0.0f, 1e-5);
    EXPECT_NEAR(minMax(base.file.model, 2).first + minMax(base.file.model, 2).second, 0.0f, 1e-5);

    o.origin = OriginMode::World;
    o.swapYZ = false;
    auto world = Export(scene, dir.File("world.vlo"), o);
    ASSERT_TRUE(world.file.Valid());
    // World coordinates, unmoved: from (5, 1, 13), 2 across on each axis.
    const float low[3] = {5.0f, 1.0f, 13.0f};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_FLOAT_EQ(minMax(world.file.model, axis).first, low[axis]) << axis;
        EXPECT_FLOAT_EQ(minMax(world.file.model, axis).second, low[axis] + 2.0f) << axis;
    }
}

TEST_F(ShapeExport, OriginAtCenterOfAnEmptyMeshIsTheWorldOrigin) {
    scene.CreateMeshNode("Empty").SetSelected(true);
    scene.CreateDummyNode("Marker", Box3()).SetLocalTM(TransMatrix({1, 2, 3}));
    Options o;
    o.origin = OriginMode::Center;
    o.swapYZ = false;
    auto e = Export(scene, out, o);
    ASSERT_TRUE(e.file.Valid());
    EXPECT_TRUE(e.file.model.vertices.empty());
    ASSERT_EQ(e.file.model.markers.size(), 1u);
    EXPECT_FLOAT_EQ(e.file.model.markers[0].position.x, 1.0f);
    EXPECT_FLOAT_EQ(e.file.model.markers[0].position.z, 3.0f);
    EXPECT_NE(e.text.find("   Num Vertices = 0\r\n"), std::string::npos);
}

TEST_F(ShapeExport, YardstickScalesPositionsButNotNormals) {
    auto& box = AddBox(scene, "Box", {2, 2, 500}, true, false);
    (void)box;
    scene.CreateDummyNode("YardStick", [] {
        Box3 b;
        b += Point3(0, 0, 0);
        b += Point3(1, 1, 100);
        return b;
    }());
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    EXPECT_TRUE(e.Texts("Warning").empty());
    float top = 0;
    for (const auto& v : e.file.model.vertices) {
        top = std::max(top, v.position.z);
        EXPECT_NEAR(std::sqrt(v.normal.x * v.normal.x + v.normal.y * v.normal.y + v.normal.z * v.normal.z), 1.0f, 1e-5);
    }
    EXPECT_FLOAT_EQ(top, 5.0f);
    EXPECT_NE(e.text.find("3DS Scale: 1m == 100.000000 (All positions"), std::string::npos);
}

TEST_F(ShapeExport, YardstickProblemsWarnAndUseScaleOne) {
    AddBox(scene, "Box", {2, 2, 2}, true, false);
    Options o = WorldOrigin();
    o.scale = vlo::ScaleMode::Yardstick;
    auto missing = Export(scene, dir.File("a.vlo"), o);
    EXPECT_EQ(missing.Texts("Warning"), std::vector<std::string>{"Did not find an object named 'yardstick'"});
    EXPECT_TRUE(missing.outcome.written);

    scene.CreateDummyNode("yardstick", [] {
        Box3 b;
        b += Point3(0, 0, 5);
        b += Point3(1, 1, 5);
        return b;
    }());
    auto flat = Export(scene, dir.File("b.vlo"), o);
    ASSERT_EQ(flat.Texts("Warning").size(), 1u);
    EXPECT_NE(flat.Texts("Warning")[0].find("has no height"), std::string::npos);
    ASSERT_TRUE(flat.file.Valid());
    EXPECT_EQ(flat.outcome.exporter->Result().model->text.worldScale, 1.0f);

    // "1 unit = 1 metre" looks for no yardstick at all.
    o.scale = vlo::ScaleMode::Unit;
    auto unit = Export(scene, dir.File("c.vlo"), o);
    EXPECT_TRUE(unit.Texts("Warning").empty());
}

TEST_F(ShapeExport, RootLevelDummiesAreMarkersInChildOrder) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    scene.CreateDummyNode("Pin", Box3()).SetLocalTM(TransMatrix({0, 0, 2}));
    const std::string longName(40, 'M');
    scene.CreateDummyNode(longName, Box3()).SetLocalTM(TransMatrix({1, 2, 3}));
    auto& group = scene.CreateDummyNode("Group", Box3());
    scene.CreateDummyNode("Nested", Box3(), &group);
    auto e = Export(scene, out, WorldOrigin(true));
    ASSERT_TRUE(e.file.Valid());
    const auto& markers = e.file.model.markers;
    ASSERT_EQ(markers.size(), 3u);  // Pin, the long one, Group; never Nested
    EXPECT_EQ(vlo::FieldText(markers[0].name), "Pin");
    EXPECT_EQ(std::string(markers[1].name, 32), longName.substr(0, 32));  // no terminating zero
    EXPECT_EQ(vlo::FieldText(markers[2].name), "Group");
    EXPECT_FLOAT_EQ(markers[1].position.y, 3.0f);  // swapped
    EXPECT_FLOAT_EQ(markers[1].position.z, 2.0f);
    EXPECT_NE(e.text.find("   " + longName.substr(0, 32) + "    1.000000, 3.000000, 2.000000\r\n"), std::string::npos);
}

TEST_F(ShapeExport, MoreThan64DummiesAreAllMarkers) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    for (int i = 0; i < 100; ++i) scene.CreateDummyNode("D" + std::to_string(i), Box3());
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    ASSERT_EQ(e.file.model.markers.size(), 100u);
    EXPECT_EQ(vlo::FieldText(e.file.model.markers[99].name), "D99");
}

TEST_F(ShapeExport, RemovedMarkersAreNotWritten) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    scene.CreateDummyNode("A", Box3());
    scene.CreateDummyNode("B", Box3());
    scene.CreateDummyNode("C", Box3());
    Options o = WorldOrigin();
    o.removeMarkers = {"A", "C"};
    auto e = Export(scene, out, o);
    ASSERT_EQ(e.file.model.markers.size(), 1u);
    EXPECT_EQ(vlo::FieldText(e.file.model.markers[0].name), "B");
}

void AddMaps(standin::Scene& scene, standin::Node& node, int bumps) {
    auto& mtl = scene.Make<standin::StdMaterial>("Mat");
    mtl.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("d", "C:\\maps\\Grass.TGA"));
    mtl.SetMap(ID_SH, &scene.Make<standin::BitmapTexture>("s", "Gloss.tga"));
    if (bumps == 1) {
        mtl.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("b", "D:/art/Bump.tga"));
        node.SetMaterial(&mtl);
        return;
    }
    auto& multi = scene.Make<standin::MultiMaterial>("Multi");
    auto& second = scene.Make<standin::StdMaterial>("Mat2");
    mtl.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("b", "Bump1.tga"));
    second.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("b2", "Bump2.tga"));
    multi.subs = {&mtl, &second};
    node.SetMaterial(&multi);
}

TEST_F(ShapeExport, BumpAndSpecularChunksWhenExactlyOneMapEach) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, true);
    AddMaps(scene, box, 1);
    Options o = WorldOrigin();
    o.bump = o.specular = true;
    auto e = Export(scene, out, o);
    ASSERT_TRUE(e.file.Valid()) << e.file.findings.front().text;
    const auto& m = e.file.model;
    ASSERT_TRUE(m.bumpMap && m.specularMap);
    EXPECT_STREQ(m.bumpMap->name, "Bump.tga");
    EXPECT_STREQ(m.specularMap->name, "Gloss.tga");
    EXPECT_EQ(m.tangents.size(), m.vertices.size());
    EXPECT_EQ(e.file.layout.chunkOrder, (std::vector<std::uint32_t>{vlo::kChunkTexture, vlo::kChunkVertices, vlo::kChunkPolygons,
                                                        vlo::kChunkBumpMap, vlo::kChunkTangents, vlo::kChunkSpecularMap}));
    EXPECT_TRUE(e.Texts().empty());

    // Both options off: no map chunk and no message, whatever the material holds.
    auto off = Export(scene, dir.File("off.vlo"), WorldOrigin());
    EXPECT_FALSE(off.file.model.bumpMap || off.file.model.specularMap);
    EXPECT_TRUE(off.Texts().empty());
}

TEST_F(ShapeExport, TwoBumpMapsOrNoneAreReportedAndLeftOut) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, true);
    AddMaps(scene, box, 2);
    Options o = WorldOrigin();
    o.bump = true;
    auto e = Export(scene, out, o);
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"Currently only support one bump map (found 2)"});
    ASSERT_TRUE(e.file.Valid());
    EXPECT_FALSE(e.file.model.bumpMap);
    EXPECT_FALSE(e.file.layout.Has(vlo::kChunkTangents));

    standin::Scene plain;
    AddBox(plain, "Box", {1, 1, 1}, true, true);
    o.specular = true;
    auto none = Export(plain, dir.File("none.vlo"), o);
    EXPECT_EQ(none.Texts(), (std::vector<std::string>{"Currently only support one bump map (found 0)",
                                                      "Currently only support one specular map (found 0)"}));
    EXPECT_TRUE(none.outcome.written);
}

TEST_F(ShapeExport, SoundChunkComesBeforeTheVertices) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    standin::Desktop desktop;
    desktop.QueueOpenFile("d:\\game\\sounds\\swing\\whoosh.wav");
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_SHAPE);
        d.Click(IDC_SELECT_SOUND);
        d.Click(IDOK);
    });
    auto e = Export(scene, desktop, out);
    ASSERT_TRUE(e.file.Valid());
    ASSERT_TRUE(e.file.model.sound);
    EXPECT_STREQ(e.file.model.sound->name, "SWING\\WHOOSH.WAV");
    EXPECT_EQ(e.file.layout.chunkOrder[0], vlo::kChunkSound);
    EXPECT_NE(e.text.find("Sound File\r\n==========\r\n\r\n"), std::string::npos);
}

TEST_F(ShapeExport, SameSceneExportedTwiceGivesIdenticalBytes) {
    auto& box = AddBox(scene, "Box", {1, 2, 3}, false, true);
    AddMaps(scene, box, 1);
    scene.CreateDummyNode("Pin", Box3());
    Options o;
    o.bump = true;
    auto a = Export(scene, dir.File("a.vlo"), o);
    auto b = Export(scene, dir.File("b.vlo"), o);
    ASSERT_TRUE(a.outcome.written && b.outcome.written);
    EXPECT_EQ(a.bytes, b.bytes);
}

TEST_F(ShapeExport, PlusAndMinusZeroWeldAndUvUlpDoesNot) {
    standin::Node& node = scene.CreateMeshNode("Tri");
    node.SetSelected(true);
    Mesh& m = standin::Scene::TriOf(node).mesh;
    m.verts = {{0.0f, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-0.0f, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.tVerts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {std::nextafter(0.0f, 1.0f), 0, 0}};
    Face a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2;
    b.v[0] = 3, b.v[1] = 4, b.v[2] = 5;
    a.smGroup = b.smGroup = 0;
    m.faces = {a, b};
    TVFace ta, tb;
    ta.t[0] = 0, ta.t[1] = 1, ta.t[2] = 2;
    tb.t[0] = 0, tb.t[1] = 1, tb.t[2] = 3;  // the last corner's u is one ulp off
    m.tvFace = {ta, tb};
    auto& mtl = scene.Make<standin::StdMaterial>("M");
    mtl.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("t", "t.tga"));
    node.SetMaterial(&mtl);
    auto e = Export(scene, out, WorldOrigin());
    ASSERT_TRUE(e.file.Valid());
    // -0 welds with +0 (corner 0 of both faces); the ulp apart u gives a fourth vertex.
    EXPECT_EQ(e.file.model.vertices.size(), 4u);
    EXPECT_EQ(e.file.model.polygons[1].verts[0], 0);
}

TEST_F(ShapeExport, CancelledDialogWritesNothingAndReportsSuccess) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    Options o;
    o.cancel = true;
    auto e = Export(scene, out, o);
    EXPECT_EQ(e.outcome.doExportResult, TRUE);
    EXPECT_FALSE(e.exists);
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());
}

TEST_F(ShapeExport, CancelDuringTheMarkerScanStopsBeforeTheDialog) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    standin::Desktop desktop;
    standin::HostInterface ip(scene, desktop);
    ip.cancelAfterChecks = 0;
    VloExporter exporter;
    app::LoadExporterModule();
    EXPECT_EQ(exporter.DoExport(out.c_str(), nullptr, &ip), FALSE);
    EXPECT_TRUE(desktop.Dialogs().empty());
    EXPECT_TRUE(desktop.Messages().empty());
}

TEST_F(ShapeExport, NothingSelected) {
    AddBox(scene, "Box", {1, 1, 1}, true, false).SetSelected(false);
    auto e = Export(scene, out);
    EXPECT_EQ(e.outcome.doExportResult, FALSE);
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"No model selected. Please select the model and try again"});
    EXPECT_TRUE(e.outcome.messages[0].ownedByMainWindow);
    EXPECT_EQ(e.outcome.messages[0].type, 0x30u);
}

TEST_F(ShapeExport, DummySelectedShowsObjectStateErrorTwice) {
    scene.CreateDummyNode("Dummy", Box3()).SetSelected(true);
    auto e = Export(scene, out, Options{});
    EXPECT_EQ(e.Texts(), (std::vector<std::string>{"Error with Object State", "Error with Object State"}));
    EXPECT_FALSE(e.exists);
}

TEST_F(ShapeExport, UnconvertibleObjectAndUnwritablePath) {
    auto& spline = scene.CreateNode("Line");
    spline.SetObject(&scene.Make<standin::SplineObject>());
    spline.SetSelected(true);
    auto e = Export(scene, out, WorldOrigin());
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"Failed to obtain a tri object"});
    EXPECT_FALSE(e.exists);

    standin::Scene boxScene;
    AddBox(boxScene, "Box", {1, 1, 1}, true, false);
    auto bad = Export(boxScene, dir.File("no/such/folder/model.vlo"), WorldOrigin());
    EXPECT_EQ(bad.Texts(), std::vector<std::string>{"Failed to create the file: " + dir.File("no/such/folder/model.vlo") +
                                                    " (No such file or directory)"});
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());  // no .TXT either
}

TEST_F(ShapeExport, ConvertedObjectIsDeletedAndEditableMeshIsNot) {
    auto& node = scene.CreateNode("Poly");
    auto& poly = scene.Make<standin::PolyObject>();
    poly.mesh = standin::Scene::TriOf(AddBox(scene, "Source", {1, 1, 1}, true, false)).mesh;
    scene.FindByName("Source")->SetSelected(false);
    node.SetObject(&poly);
    node.SetSelected(true);
    auto e = Export(scene, out, Options{});  // origin at base converts once more for the centroid
    ASSERT_TRUE(e.file.Valid());
    EXPECT_EQ(poly.conversions, 2);
    EXPECT_EQ(poly.liveConversions, 0);
    EXPECT_EQ(e.file.model.vertices.size(), 24u);
}

TEST_F(ShapeExport, HierarchyModeNeedsASkin) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    Options o;
    o.mode = vlo::ExportMode::Hierarchy;
    auto e = Export(scene, out, o);
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"Neither Physique modifier nor Skin modifier found on selected object"});
    EXPECT_FALSE(e.exists);
}

}  // namespace
