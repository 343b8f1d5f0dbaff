// One byte-exact model: the bytes are the contract with the game, so they are pinned here.
// Regenerate with VLO_UPDATE_GOLDEN=1 only after checking the new bytes by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "test_support.h"

#ifndef VLO_GOLDEN_DIR
#error "VLO_GOLDEN_DIR must name the folder of the golden files"
#endif

namespace {

TEST(Golden, TinyTexturedTriangleWithMarker) {
    standin::Scene scene;
    auto& node = scene.CreateMeshNode("Tri");
    node.SetSelected(true);
    node.SetLocalTM(TransMatrix({0, 0, 1}));
    Mesh& m = standin::Scene::TriOf(node).mesh;
    m.verts = {{0, 0, 0}, {2, 0, 0}, {0, 0, 2}};
    m.tVerts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    Face f;
    f.v[0] = 0, f.v[1] = 1, f.v[2] = 2, f.smGroup = 1;
    m.faces = {f};
    TVFace t;
    t.t[0] = 0, t.t[1] = 1, t.t[2] = 2;
    m.tvFace = {t};
    auto& mtl = scene.Make<standin::StdMaterial>("Flag");
    mtl.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("Map", "C:\\art\\Flag.tga"));
    node.SetMaterial(&mtl);
    scene.CreateDummyNode("Hole", Box3()).SetLocalTM(TransMatrix({1, 2, 3}));

    support::TempDir dir;
    support::Options o;
    o.origin = vlo::OriginMode::World;
    o.noCollisions = true;
    auto e = support::Export(scene, dir.File("tiny.vlo"), o);
    ASSERT_TRUE(e.file.Valid());

    const std::string golden = std::string(VLO_GOLDEN_DIR) + "/tiny.vlo";
    if (std::getenv("VLO_UPDATE_GOLDEN")) {
        std::ofstream(golden, std::ios::binary).write(reinterpret_cast<const char*>(e.bytes.data()),
                                                      std::streamsize(e.bytes.size()));
    }
    std::vector<std::uint8_t> expected;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(golden, expected, error)) << error;
    EXPECT_EQ(e.bytes, expected);
}

}  // namespace
