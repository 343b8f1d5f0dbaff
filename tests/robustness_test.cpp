// Bad input and failing disks: every refusal names the problem and leaves no file behind, and an
// existing good file survives a failed export unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "geometry/tangents.h"
#include "test_support.h"

using support::AddBox;
using support::Export;
using support::Options;

namespace {

Options World() { return support::WorldOrigin(false); }

class Robustness : public ::testing::Test {
protected:
    support::TempDir dir;
    standin::Scene scene;
};

TEST_F(Robustness, PathOf260CharactersIsRefusedAndNothingIsWritten) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    std::string path = dir.Path() + "/";
    path += std::string(260 - path.size() - 4, 'p') + ".vlo";
    ASSERT_EQ(path.size(), 260u);
    auto e = Export(scene, path, World());
    ASSERT_EQ(e.Texts().size(), 1u);
    EXPECT_NE(e.Texts()[0].find("too long (260 characters"), std::string::npos);
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());

    // 259 characters still fit.
    path.erase(path.size() - 5, 1);
    auto ok = Export(scene, path, World());
    EXPECT_TRUE(ok.outcome.written);
}

TEST_F(Robustness, TextureNameOf260CharactersIsRefusedByNameOnlyWhereItIsWritten) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, true);
    auto& mtl = scene.Make<standin::StdMaterial>("M");
    const std::string name = std::string(256, 't') + ".tga";
    mtl.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("bump", "C:\\maps\\" + name));
    box.SetMaterial(&mtl);
    // Bump maps not exported: the long name is never written and does not matter.
    auto off = Export(scene, dir.File("off.vlo"), World());
    EXPECT_TRUE(off.exists) << (off.Texts().empty() ? "" : off.Texts()[0]);
    EXPECT_TRUE(off.Texts().empty());

    Options bump = World();
    bump.bump = true;
    auto e = Export(scene, dir.File("m.vlo"), bump);
    ASSERT_EQ(e.Texts().size(), 1u);
    EXPECT_NE(e.Texts()[0].find(name), std::string::npos);
    EXPECT_FALSE(e.exists);
    EXPECT_EQ(support::ListDir(dir.Path()), (std::vector<std::string>{"off.TXT", "off.vlo"}));

    // The same long diffuse name in two sub-materials is named once.
    auto& multi = scene.Make<standin::MultiMaterial>("Multi");
    for (int i = 0; i < 2; ++i) {
        auto& sub = scene.Make<standin::StdMaterial>("S");
        sub.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("d", name));
        multi.subs.push_back(&sub);
    }
    box.SetMaterial(&multi);
    auto twice = Export(scene, dir.File("twice.vlo"), World());
    ASSERT_EQ(twice.Texts().size(), 1u);
    EXPECT_EQ(twice.Texts()[0].find(name), twice.Texts()[0].rfind(name));
}

// A strip of n separate triangles: 3n distinct vertices.
standin::Node& AddTriangles(standin::Scene& scene, int n) {
    auto& node = scene.CreateMeshNode("Big");
    Mesh& m = standin::Scene::TriOf(node).mesh;
    for (int i = 0; i < n; ++i) {
        const float x = float(i);
        m.verts.insert(m.verts.end(), {{x, 0, 0}, {x + 0.5f, 0, 0}, {x, 1, 0}});
        Face f;
        f.v[0] = DWORD(3 * i), f.v[1] = DWORD(3 * i + 1), f.v[2] = DWORD(3 * i + 2);
        m.faces.push_back(f);
    }
    node.SetSelected(true);
    return node;
}

TEST_F(Robustness, MoreThan65535VerticesIsRefusedWithTheCount) {
    AddTriangles(scene, 21846);  // 65538 vertices
    auto e = Export(scene, dir.File("big.vlo"), World());
    ASSERT_EQ(e.Texts().size(), 1u);
    EXPECT_NE(e.Texts()[0].find("'Big': 65538 welded vertices"), std::string::npos) << e.Texts()[0];
    EXPECT_FALSE(e.exists);
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());

    standin::Scene fits;
    AddTriangles(fits, 21845);  // 65535 vertices: the largest model that fits
    auto ok = Export(fits, dir.File("fits.vlo"), World());
    ASSERT_TRUE(ok.file.Valid());
    EXPECT_EQ(ok.file.model.vertices.size(), 65535u);
}

TEST_F(Robustness, NonFiniteVerticesAreRefused) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, false);
    standin::Scene::TriOf(box).mesh.verts[0].x = std::numeric_limits<float>::quiet_NaN();
    auto e = Export(scene, dir.File("nan.vlo"), World());
    ASSERT_EQ(e.Texts().size(), 1u);
    EXPECT_NE(e.Texts()[0].find("'Box'"), std::string::npos);
    EXPECT_FALSE(e.exists);
}

TEST_F(Robustness, DotInAFolderNameKeepsTheTextBesideTheModel) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    const std::string folder = dir.File("v1.2");
    std::filesystem::create_directory(folder);
    auto e = Export(scene, folder + "/ball.vlo", World());
    ASSERT_TRUE(e.outcome.written);
    EXPECT_EQ(support::ListDir(folder), (std::vector<std::string>{"ball.TXT", "ball.vlo"}));
    EXPECT_EQ(support::ListDir(dir.Path()), std::vector<std::string>{"v1.2"});
    // No dot at all: ".TXT" is appended.
    auto plain = Export(scene, folder + "/ball", World());
    EXPECT_TRUE(support::Exists(folder + "/ball.TXT") && support::Exists(folder + "/ball"));
}

TEST_F(Robustness, EveryFailingFileOperationLeavesThePreviousFilesUntouched) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, true);
    auto& mtl = scene.Make<standin::StdMaterial>("M");
    mtl.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("d", "d.tga"));
    mtl.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("b", "b.tga"));
    mtl.SetMap(ID_SH, &scene.Make<standin::BitmapTexture>("s", "s.tga"));
    box.SetMaterial(&mtl);
    scene.CreateDummyNode("Pin", Box3());
    Options o = World();
    o.bump = o.specular = true;

    // Count the operations of a good export, then fail each one in turn.
    vlo::IoFaultPlan count;
    support::TempDir scratch;
    ASSERT_TRUE(Export(scene, scratch.File("m.vlo"), o, &count).outcome.written);
    ASSERT_GE(count.count, 6);  // at least a write, a flush and a close for each of the two files
    const std::string path = dir.File("m.vlo");
    support::CheckEveryFailingOperation(count.count, path, dir.File("m.TXT"),
                                        [&](vlo::IoFaultPlan& plan) { return Export(scene, path, o, &plan); });
}

TEST_F(Robustness, TangentFramesAreFiniteForDegenerateMappings) {
    // All texture coordinates equal: every triangle is degenerate in texture space.
    std::vector<vlo::ModelVertex> v(4);
    v[0].position = {0, 0, 0};
    v[1].position = {1, 0, 0};
    v[2].position = {0, 1, 0};
    v[3].position = {0, 0, 0};
    for (int i = 0; i < 3; ++i) v[std::size_t(i)].normal = {0, 0, 1};
    v[3].normal = {0, 0, 0};  // a zero normal too
    std::vector<vlo::ModelPolygon> p(2);
    p[0].verts[0] = 0, p[0].verts[1] = 1, p[0].verts[2] = 2;
    p[1].verts[0] = 3, p[1].verts[1] = 3, p[1].verts[2] = 3;
    const auto frames = vlo::BuildTangentFrames(v, p);
    ASSERT_EQ(frames.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& t = frames[i].tangent;
        EXPECT_TRUE(std::isfinite(t.x) && std::isfinite(t.y) && std::isfinite(t.z));
        EXPECT_NEAR(t.x * t.x + t.y * t.y + t.z * t.z, 1.0f, 1e-6);
        EXPECT_NEAR(t.z, 0.0f, 1e-6);  // perpendicular to the normal (0, 0, 1)
        const auto& b = frames[i].binormal;
        EXPECT_TRUE(std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.z));
    }
    EXPECT_TRUE(std::isfinite(frames[3].tangent.x) && std::isfinite(frames[3].binormal.x));
}

TEST_F(Robustness, UnmappedModelWithBumpMapWritesFiniteTangents) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, /*mapped=*/false);
    auto& mtl = scene.Make<standin::StdMaterial>("M");
    mtl.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("b", "b.tga"));
    box.SetMaterial(&mtl);
    Options o = World();
    o.bump = true;
    auto e = Export(scene, dir.File("m.vlo"), o);
    ASSERT_TRUE(e.file.Valid()) << e.file.findings.front().text;
    EXPECT_EQ(e.file.model.tangents.size(), 24u);
}

TEST_F(Robustness, LongMaterialNamesAreCutTo255InTheListing) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, false);
    // A quote, a control byte and a non-ASCII byte inside the 255 kept, 300 letters after them.
    box.SetMaterial(&scene.Make<standin::StdMaterial>("a\"b\x01" "c\xC3" + std::string(300, 'n')));
    auto e = Export(scene, dir.File("m.vlo"), World());
    EXPECT_NE(e.text.find("\t*MATERIAL_NAME \"a'b_c_" + std::string(255 - 6, 'n') + "\"\r\n"), std::string::npos)
        << e.text.substr(0, 2000);
}

}  // namespace
