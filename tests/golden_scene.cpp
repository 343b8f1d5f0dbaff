#include "golden_scene.h"

#include "test_support.h"

#ifndef VLO_GOLDEN_DIR
#error "VLO_GOLDEN_DIR must name the folder of the golden files"
#endif

namespace support {

std::string GoldenTinyModelPath() { return std::string(VLO_GOLDEN_DIR) + "/tiny.vlo"; }

std::vector<std::uint8_t> ExportGoldenTinyModel() {
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

    TempDir dir;
    Options o;
    o.origin = vlo::OriginMode::World;
    o.noCollisions = true;
    const Exported e = Export(scene, dir.File("tiny.vlo"), o);
    return e.file.Valid() ? e.bytes : std::vector<std::uint8_t>{};
}

}  // namespace support
