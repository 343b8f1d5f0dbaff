// The importer on one small file per format: names, transforms, materials, textures, user
// properties and dummies as they arrive in the stand-in scene.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "importer/collada_check.h"
#include "importer/gltf_facts.h"
#include "importer/importer.h"
#include "importer/units.h"
#include "scene_files.h"
#include "test_support.h"
#include "ui/controls.h"

#ifndef VLO_TEST_DATA_DIR
#error "VLO_TEST_DATA_DIR must name the folder of the test data files"
#endif

namespace {

void ExpectNear(const Point3& a, const Point3& b, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tol) << "x";
    EXPECT_NEAR(a.y, b.y, tol) << "y";
    EXPECT_NEAR(a.z, b.z, tol) << "z";
}

standin::Node& Get(standin::Scene& scene, const std::string& name) {
    standin::Node* n = scene.FindByName(name);
    if (!n) throw std::runtime_error("no node " + name);
    return *n;
}

const Mesh& MeshOf(standin::Node& n) { return standin::Scene::TriOf(n).mesh; }

// The node's vertices in world space.
std::vector<Point3> WorldVertices(standin::Node& n) {
    std::vector<Point3> out;
    for (const Point3& v : MeshOf(n).verts) out.push_back(v * n.GetObjTMAfterWSM(0));
    return out;
}

float TopZ(standin::Node& n) {
    float top = -1e30f;
    for (const Point3& p : WorldVertices(n)) top = std::max(top, p.z);
    return top;
}

// The world vertex farthest from the node's pivot.
Point3 Farthest(standin::Node& n) {
    const Point3 pivot = n.GetNodeTM(0).GetTrans();
    Point3 best = pivot;
    for (const Point3& p : WorldVertices(n))
        if ((p - pivot).Length() > (best - pivot).Length()) best = p;
    return best;
}

std::string TextureIn(Mtl* m, int slot) {
    Texmap* t = m ? m->GetSubTexmap(slot) : nullptr;
    return t ? static_cast<BitmapTex*>(t)->GetMapName() : "";
}

TEST(Importer, GltfNodesMaterialsAndExtras) {
    support::TempDir dir;
    const std::string path = dir.File("scene.gltf");
    support::WriteGltf(path);
    standin::Scene scene;
    const auto r = importer::ImportFile(path, scene);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.info.upAxis, 'Y');

    // The Y-up file arrives Z-up: the box's top (file y = 1) is at host z = 1, and the object's own Z
    // is the file's up.
    standin::Node& box = Get(scene, "Box");
    EXPECT_FLOAT_EQ(TopZ(box), 1.0f);
    float objectTop = 0;
    for (const Point3& v : MeshOf(box).verts) objectTop = std::max(objectTop, v.z);
    EXPECT_FLOAT_EQ(objectTop, 1.0f);
    ASSERT_EQ(box.GetMtl()->ClassID(), MULTI_CLASS_ID);
    EXPECT_EQ(box.GetMtl()->NumSubMtls(), 2);
    EXPECT_STREQ(box.GetMtl()->GetSubMtl(1)->GetName(), "Stone");
    EXPECT_EQ(TextureIn(box.GetMtl()->GetSubMtl(0), ID_DI), "grass.png");
    EXPECT_EQ(TextureIn(box.GetMtl()->GetSubMtl(1), ID_DI), "textures/stone.png");
    EXPECT_EQ(TextureIn(box.GetMtl()->GetSubMtl(1), ID_BU), "stone_n.png");  // its uri escapes the "_"
    const Mesh& m = MeshOf(box);
    EXPECT_EQ(m.faces.size(), 12u);
    EXPECT_EQ(m.faces.front().getMatID(), 0);
    EXPECT_EQ(m.faces.back().getMatID(), 1);
    EXPECT_TRUE(m.hasSpecifiedNormal(0));
    EXPECT_EQ(m.tvFace.size(), m.faces.size());

    // A child turned 90 degrees about the file's Y (the host's Z): its +X goes to the host's -Y... as
    // file +X -> file -Z -> host +Y.
    standin::Node& spin = Get(scene, "Spin");
    EXPECT_EQ(spin.Parent(), &Get(scene, "Group"));
    ExpectNear(VectorTransform(spin.GetNodeTM(0), {1, 0, 0}), {0, 1, 0});

    // Empty nodes are dummies; extras arrive as user properties.
    EXPECT_EQ(Get(scene, "Group").GetObjectRef()->ClassID(), DUMMY_CLASS_ID);
    MSTR props;
    Get(scene, "Group").GetUserPropBuffer(props);
    EXPECT_NE(props.find("KEYFRAME 12 BALL_STRUCK"), std::string::npos) << props;
    ExpectNear(Get(scene, "Pin").GetNodeTM(0).GetTrans(), {1, -3, 2});
}

// A glTF's paths are uris: escapes name the file's own bytes (Blender writes "Golf%20Ball.png"); what
// is no escape, or would be a control character, stays as written.
TEST(Importer, GltfUrisNameTheirFilesByTheirEscapes) {
    using importer::GltfUriPath;
    EXPECT_EQ(GltfUriPath("Golf%20Ball%20Dimples%20%C3%A9.png"), "Golf Ball Dimples \xC3\xA9.png");
    EXPECT_EQ(GltfUriPath("maps/a%2520b.png"), "maps/a%20b.png");  // an escaped '%' is decoded once
    EXPECT_EQ(GltfUriPath("%2e%2E%2Fup.png"), "../up.png");        // either case of hex digit
    for (const char* kept : {"100%.png", "a%2", "a%", "%zz.png", "%4g.png", "nul%00.png", "bell%07.png", "del%7F.png"})
        EXPECT_EQ(GltfUriPath(kept), kept);
}

// A glTF whose buffer and image uris escape a space, as glTF writers may: the files are read and
// known by their own names.
TEST(Importer, GltfBuffersAndImagesAreFoundByTheirEscapedUris) {
    support::TempDir dir;
    const float corners[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::ofstream(dir.File("tee box.bin"), std::ios::binary).write(reinterpret_cast<const char*>(corners), sizeof corners);
    std::ofstream(dir.File("tee grass.png")) << "PNG";
    std::ofstream(dir.File("tee.gltf")) << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
  "nodes": [{"name": "Tee", "mesh": 0}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "material": 0}]}],
  "materials": [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}],
  "textures": [{"source": 0}], "images": [{"uri": "tee%20grass.png"}],
  "buffers": [{"uri": "tee%20box.bin", "byteLength": 36}],
  "bufferViews": [{"buffer": 0, "byteLength": 36}],
  "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]}]})";
    standin::Scene scene;
    const auto r = importer::ImportFile(dir.File("tee.gltf"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(MeshOf(Get(scene, "Tee")).faces.size(), 1u);
    EXPECT_EQ(TextureIn(Get(scene, "Tee").GetMtl(), ID_DI), "tee grass.png");
    EXPECT_TRUE(r.info.warnings.empty()) << r.info.warnings.front();  // the image is beside the scene
    for (const char* used : {"tee box.bin", "tee grass.png", "tee.gltf"})
        EXPECT_NE(std::find(r.usedFiles.begin(), r.usedFiles.end(), dir.File(used)), r.usedFiles.end()) << used;
}

// A material's texture transform (KHR_texture_transform, which Blender writes for a Mapping node)
// moves the texture coordinates of its meshes, so the texture lies as the file shows it: scaled,
// then turned, then moved, in the file's texture space (v down from the top).
TEST(Importer, GltfTextureTransformsPlaceTheTextureAsTheFileDoes) {
    support::TempDir dir;
    const float data[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, /* uvs */ 0, 0, 1, 0, 0, 1};
    std::ofstream(dir.File("tri.bin"), std::ios::binary).write(reinterpret_cast<const char*>(data), sizeof data);
    for (const char* png : {"turf.png", "turf_n.png", "sand.png"}) std::ofstream(dir.File(png)) << "PNG";
    std::ofstream(dir.File("tri.gltf")) << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
  "nodes": [{"name": "Turf", "mesh": 0}, {"name": "Sand", "mesh": 1}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "material": 0}]},
             {"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "material": 1}]}],
  "materials": [
    {"name": "Turf", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0, "extensions": {"KHR_texture_transform":
        {"offset": [0.5, 0.25], "rotation": 1.5707963267948966, "scale": [2, 3]}}}},
     "normalTexture": {"index": 1, "extensions": {"KHR_texture_transform": {"scale": [8, 8]}}}},
    {"name": "Sand", "pbrMetallicRoughness": {"baseColorTexture": {"index": 2, "texCoord": 1}}}],
  "textures": [{"source": 0}, {"source": 1}, {"source": 2}],
  "images": [{"uri": "turf.png"}, {"uri": "turf_n.png"}, {"uri": "sand.png"}],
  "extensionsUsed": ["KHR_texture_transform"], "extensionsRequired": ["KHR_texture_transform"],
  "buffers": [{"uri": "tri.bin", "byteLength": 60}],
  "bufferViews": [{"buffer": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 24}],
  "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
                {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"}]})";
    standin::Scene scene;
    const auto r = importer::ImportFile(dir.File("tri.gltf"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    // File (u, v) -> (0.5 + 3v, 0.25 - 2u); the host's v runs up from the bottom (1 - v).
    const Mesh& turf = MeshOf(Get(scene, "Turf"));
    ASSERT_EQ(turf.tVerts.size(), 3u);
    ExpectNear(turf.tVerts[0], {0.5f, 0.75f, 0});
    ExpectNear(turf.tVerts[1], {0.5f, 2.75f, 0});
    ExpectNear(turf.tVerts[2], {3.5f, 0.75f, 0});
    // A material without a transform keeps the file's coordinates; one on another UV map, or with a
    // normal map placed otherwise, is said.
    const Mesh& sand = MeshOf(Get(scene, "Sand"));
    ExpectNear(sand.tVerts[1], {1, 1, 0});
    const std::vector<std::string> expected = {
        "material 'Turf': its normal map lies otherwise than its base colour texture (a texture transform or UV map "
        "of its own), but a model's maps share one placement: the base colour's (give both maps one placement)",
        "material 'Sand': its base colour texture lies on UV map 1, but a model has one UV map and takes the first "
        "(place the texture on the first)"};
    EXPECT_EQ(r.info.warnings, expected);
}

TEST(Importer, GltfBoxStandingOnTheGroundExportsUprightWithTheDefaults) {
    support::TempDir dir;
    support::WriteGltf(dir.File("scene.gltf"));
    standin::Scene scene;
    ASSERT_TRUE(importer::ImportFile(dir.File("scene.gltf"), scene).ok);
    Get(scene, "Box").SetSelected(true);
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_SHAPE);  // Shape, every other option as the dialog starts
        d.Click(IDOK);
    });
    auto e = support::Export(scene, desktop, dir.File("box.vlo"));
    ASSERT_TRUE(e.file.Valid());
    float minY = 1e9f, maxY = -1e9f;
    bool upNormal = false;
    for (const auto& v : e.file.model.vertices) {
        minY = std::min(minY, v.position.y);
        maxY = std::max(maxY, v.position.y);
        upNormal |= v.normal.y > 0.99f;
    }
    EXPECT_FLOAT_EQ(minY, 0.0f);
    EXPECT_FLOAT_EQ(maxY, 1.0f);  // upright: the file's +Y is the model's +Y
    EXPECT_TRUE(upNormal);
}

TEST(Importer, TurnedGltfNodeAndUpAxisOverride) {
    support::TempDir dir;
    support::WriteGltf(dir.File("turned.gltf"), /*turned=*/true);
    standin::Scene scene;
    ASSERT_TRUE(importer::ImportFile(dir.File("turned.gltf"), scene).ok);
    // Turned +90 degrees about the file's X: the file's +Y (the object's up, host +Z in object axes)
    // goes to file +Z, which is host -Y; moved to file (0, 0, -3), host (0, 3, 0).
    const Matrix3 tm = Get(scene, "Box").GetNodeTM(0);
    ExpectNear(VectorTransform(tm, {0, 0, 1}), {0, -1, 0});
    ExpectNear(tm.GetTrans(), {0, 3, 0});

    standin::Scene asZ;
    importer::ImportOptions options;
    options.up = importer::UpAxis::Z;
    const auto r = importer::ImportFile(dir.File("turned.gltf"), asZ, options);
    EXPECT_EQ(r.info.upAxis, 'Z');
    ExpectNear(Get(asZ, "Pin").GetNodeTM(0).GetTrans(), {1, 2, 3});
}

TEST(Importer, ObjGroupsMaterialsAndTextureNames) {
    support::TempDir dir;
    support::WriteObj(dir.Path());
    standin::Scene scene;
    const auto r = importer::ImportFile(dir.File("scene.obj"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    standin::Node& box = Get(scene, "Box");
    const Mesh& m = MeshOf(box);
    EXPECT_EQ(m.faces.size(), 12u);  // six quads, triangulated
    ASSERT_EQ(box.GetMtl()->NumSubMtls(), 2);
    EXPECT_EQ(TextureIn(box.GetMtl()->GetSubMtl(0), ID_DI), ".\\maps\\red.tga");
    EXPECT_EQ(m.faces[0].getMatID(), 0);
    EXPECT_EQ(m.faces[11].getMatID(), 1);
    // Y-up by default: the file's y = 1 is the host's z = 1.
    EXPECT_FLOAT_EQ(TopZ(box), 1.0f);
    standin::Node& tri = Get(scene, "Tri");
    EXPECT_EQ(MeshOf(tri).faces.size(), 1u);
    EXPECT_STREQ(tri.GetMtl()->GetName(), "Blue");
    EXPECT_TRUE(MeshOf(tri).tvFace.empty());  // no texture coordinates in the file

    // A texture that is not beside the scene file is named, and so is a file beside it whose name
    // differs in letter case alone, which a file system that ignores case would take for it.
    std::ofstream(dir.File("RED.TGA")) << "TGA";
    standin::Scene cased;
    const auto said = importer::ImportFile(dir.File("scene.obj"), cased).info.warnings;
    const std::pair<const char*, const char*> expected[] = {
        {"red.tga (stored as .\\maps\\red.tga)", ", only RED.TGA (which differs in letter case)"}, {"blue.tga", ""}};
    for (const auto& [texture, other] : expected)
        EXPECT_NE(std::find(said.begin(), said.end(), std::string("texture ") + texture + " is not beside the scene file" +
                                                          other + "; the game will look for it under that name"),
                  said.end())
            << texture;

    // Materials that no library the reader could read defines are named, with why.
    auto undefined = [&](const std::string& obj) {
        standin::Scene other;
        std::vector<std::string> said;
        for (const std::string& w : importer::ImportFile(dir.File(obj), other).info.warnings)
            if (w.find("no material library defines") != std::string::npos) said.push_back(w);
        return said;
    };
    EXPECT_TRUE(undefined("scene.obj").empty());
    std::filesystem::rename(dir.File("scene.mtl"), dir.File("kept.mtl"));
    EXPECT_EQ(undefined("scene.obj"),
              std::vector<std::string>{"its faces use materials that no material library defines (Red, Blue): those faces "
                                       "have no texture (the material library scene.mtl it names cannot be read: keep it "
                                       "beside the scene file)"});
    std::ofstream(dir.File("green.obj")) << "mtllib kept.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Green\nf 1 2 3\n"
                                            "usemtl Red\nf 1 2 3\n";
    EXPECT_EQ(undefined("green.obj"), std::vector<std::string>{"its faces use materials that no material library defines "
                                                               "(Green): those faces have no texture (add them to its "
                                                               "material library)"});
}

TEST(Importer, ColladaSkinsPlaceTheirMeshByTheNodeThatHoldsThem) {
    // A skin's bind shape matrix belongs to the node that instantiates it (by its name, else its id,
    // nested or not); an identity, or a matrix that is not 16 numbers, places nothing.
    const std::string text = R"(<COLLADA><library_controllers>
      <controller id="moved"><skin source="#m"><bind_shape_matrix>1 0 0 0 0 1 0 0 0 0 1 0.5 0 0 0 1</bind_shape_matrix></skin></controller>
      <controller id="still"><skin source="#m"><bind_shape_matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</bind_shape_matrix></skin></controller>
      <controller id="bad"><skin source="#m"><bind_shape_matrix>1 0 0 x</bind_shape_matrix></skin></controller>
    </library_controllers><library_visual_scenes><visual_scene id="s">
      <node id="Rig" name="Rig"><node id="body-id" name="Body"><instance_controller url="#moved"/></node>
        <node id="CapId"><instance_controller url="#moved"/></node></node>
      <node name="Still"><instance_controller url="#still"/></node>
      <node name="Bad"><instance_controller url="#bad"/></node>
    </visual_scene></library_visual_scenes></COLLADA>)";
    const importer::ColladaScan scan = importer::ScanCollada(text);
    EXPECT_FALSE(scan.problem);
    ASSERT_EQ(scan.bindShapes.size(), 2u);
    EXPECT_EQ(scan.bindShapes.count("Body"), 1u);
    EXPECT_EQ(scan.bindShapes.count("CapId"), 1u);
    EXPECT_EQ(scan.bindShapes.at("Body")[11], 0.5);
}

TEST(Importer, ColladaTransformsAndEmptyNodes) {
    support::TempDir dir;
    support::WriteCollada(dir.File("scene.dae"));
    standin::Scene scene;
    const auto r = importer::ImportFile(dir.File("scene.dae"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    standin::Node& box = Get(scene, "Box");
    // Z-up file: translated to (4, 0, 0), turned 90 degrees about Z: +X goes to +Y.
    const Matrix3 tm = box.GetNodeTM(0);
    ExpectNear(tm.GetTrans(), {4, 0, 0});
    ExpectNear(VectorTransform(tm, {1, 0, 0}), {0, 1, 0});
    EXPECT_EQ(MeshOf(box).faces.size(), 2u);
    EXPECT_STREQ(box.GetMtl()->GetName(), "Paint");
    standin::Node& empty = Get(scene, "Empty");
    EXPECT_EQ(empty.GetObjectRef()->ClassID(), DUMMY_CLASS_ID);
    ExpectNear(empty.GetNodeTM(0).GetTrans(), {4, 0, 2});
}

TEST(Importer, FbxRotationsAboutEachAxisMaterialsAndCustomProperties) {
    // importer_scene.fbx is written by tests/data/make_fbx.py (Blender, Z-up, in centimetres: the
    // importer brings it to metres).
    standin::Scene scene;
    const auto r = importer::ImportFile(std::string(VLO_TEST_DATA_DIR) + "/importer_scene.fbx", scene);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.info.upAxis, 'Y');
    // Cubes with a spike at local (1, 1, 3), turned +90 degrees about X, Y and Z in the authoring
    // (Z-up) frame: the spikes land where the author saw them, in metres.
    EXPECT_EQ(r.info.metresPerUnit, 0.01);
    ExpectNear(Farthest(Get(scene, "TurnX")), {1, -3, 1});
    ExpectNear(Farthest(Get(scene, "TurnY")), {8, 1, -1});
    ExpectNear(Farthest(Get(scene, "TurnZ")), {-1, 6, 3});

    standin::Node& tx = Get(scene, "TurnX");
    ASSERT_EQ(tx.GetMtl()->ClassID(), MULTI_CLASS_ID);
    EXPECT_EQ(TextureIn(tx.GetMtl()->GetSubMtl(0), ID_DI), "red.png");
    EXPECT_EQ(TextureIn(tx.GetMtl()->GetSubMtl(1), ID_DI), "blue.png");
    EXPECT_EQ(Get(scene, "TurnY").GetMtl()->ClassID(), DMTL_CLASS_ID);

    standin::Node& marker = Get(scene, "Marker");
    EXPECT_EQ(marker.GetObjectRef()->ClassID(), DUMMY_CLASS_ID);
    MSTR props;
    marker.GetUserPropBuffer(props);
    EXPECT_EQ(props, "KEYFRAME 12 BALL_STRUCK");  // a property whose value reads as a key frame
    ExpectNear(marker.GetNodeTM(0).GetTrans(), {1, 2, 3});
}

TEST(Importer, UnreadableFilesGiveAnError) {
    support::TempDir dir;
    standin::Scene scene;
    EXPECT_FALSE(importer::ImportFile(dir.File("missing.gltf"), scene).ok);
    {
        std::ofstream(dir.File("broken.gltf")) << "{\"asset\": {\"version\": \"2.0\"}, \"nodes\": [";
    }
    const auto broken = importer::ImportFile(dir.File("broken.gltf"), scene);
    EXPECT_FALSE(broken.ok);
    EXPECT_NE(broken.error.find("broken.gltf"), std::string::npos);
    {
        std::ofstream(dir.File("empty.obj")) << "";
    }
    EXPECT_FALSE(importer::ImportFile(dir.File("empty.obj"), scene).ok);
}

}  // namespace

namespace {

ISkin* SkinOn(standin::Node& node) {
    auto* derived = static_cast<IDerivedObject*>(node.GetObjectRef());
    return derived->SuperClassID() == GEN_DERIVOB_CLASS_ID
               ? static_cast<ISkin*>(derived->GetModifier(0)->GetInterface(I_SKIN))
               : nullptr;
}

TEST(ImporterSkins, BonesWeightsAndTheBindPose) {
    support::TempDir dir;
    support::WriteSkinnedGltf(dir.File("rig.gltf"));
    standin::Scene scene;
    const auto r = importer::ImportFile(dir.File("rig.gltf"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.info.skeletonPose, "bind pose");
    standin::Node& body = Get(scene, "Body");
    ISkin* skin = SkinOn(body);
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->GetNumBones(), 3);  // every joint of the skin, the unweighted Tip too
    EXPECT_STREQ(skin->GetBone(0)->GetName(), "Hips");
    ISkinContextData* ctx = skin->GetContextInterface(&body);
    ASSERT_EQ(ctx->GetNumPoints(), 4);
    ASSERT_EQ(ctx->GetNumAssignedBones(2), 2);
    EXPECT_FLOAT_EQ(ctx->GetBoneWeight(2, 0), 0.25f);  // assignments listed per bone: Hips first
    EXPECT_STREQ(skin->GetBone(ctx->GetAssignedBone(2, 1))->GetName(), "Spine");
    EXPECT_FLOAT_EQ(ctx->GetBoneWeight(2, 1), 0.75f);
    // Bind pose: Spine unrotated at file (0, 2, 0) = host (0, 0, 2); Tip follows it.
    const Matrix3 spine = Get(scene, "Spine").GetNodeTM(0);
    ExpectNear(spine.GetTrans(), {0, 0, 2});
    ExpectNear(VectorTransform(spine, {1, 0, 0}), {1, 0, 0});
    ExpectNear(Get(scene, "Tip").GetNodeTM(0).GetTrans(), {0, 0, 3});
    EXPECT_EQ(Get(scene, "Hips").GetObjectRef(), nullptr);  // skeleton nodes are no dummies

    standin::Scene filePose;
    importer::ImportOptions options;
    options.pose = importer::SkeletonPose::File;
    ASSERT_TRUE(importer::ImportFile(dir.File("rig.gltf"), filePose, options).ok);
    // The file turns Spine 90 degrees about the file's Z (the host's -Y): +X goes to file +Y, host +Z.
    ExpectNear(VectorTransform(Get(filePose, "Spine").GetNodeTM(0), {1, 0, 0}), {0, 0, 1});
}

TEST(ImporterSkins, BipedRootShowsTheBindPoseInFigureMode) {
    support::TempDir dir;
    support::WriteSkinnedGltf(dir.File("rig.gltf"));
    standin::Scene scene;
    importer::ImportOptions options;
    options.bipedRoot = "Hips";
    ASSERT_TRUE(importer::ImportFile(dir.File("rig.gltf"), scene, options).ok);
    standin::Node& spine = Get(scene, "Spine");
    ExpectNear(VectorTransform(spine.GetNodeTM(0), {1, 0, 0}), {0, 0, 1});  // the file's pose
    Control* c = Get(scene, "Hips").GetTMController();
    ASSERT_TRUE(c && c->ClassID() == BIPBODY_CONTROL_CLASS_ID);
    auto* biped = static_cast<IBipedExport*>(c->GetInterface(I_BIPINTERFACE));
    biped->BeginFigureMode(0);
    ExpectNear(VectorTransform(spine.GetNodeTM(0), {1, 0, 0}), {1, 0, 0});
    biped->EndFigureMode(0);
    ExpectNear(VectorTransform(spine.GetNodeTM(0), {1, 0, 0}), {0, 0, 1});

    // Exported as a hierarchy, the bones are read in figure mode.
    Get(scene, "Body").SetSelected(true);
    support::Options o;
    o.mode = vlo::ExportMode::Hierarchy;
    auto e = support::Export(scene, dir.File("rig.vlo"), o);
    ASSERT_TRUE(e.file.Valid()) << (e.Texts().empty() ? "" : e.Texts()[0]);
    ASSERT_EQ(e.file.model.bones.size(), 3u);
    EXPECT_EQ(vlo::FieldText(e.file.model.bones[2].name), "Tip");
    EXPECT_NEAR(e.file.model.bones[1].rotation[3], 1.0f, 1e-6);  // unrotated in the bind pose
    const auto& links = e.file.model.links;
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[2].numLinks, 2);
    EXPECT_FLOAT_EQ(links[2].weights[0], 0.25f);
    EXPECT_EQ(links[2].boneIds[1], 1);
}

TEST(ColladaUnits, TheUnitElementsMeterAttributeIsTheUnit) {
    support::TempDir dir;
    const std::string path = dir.File("unit.dae");
    auto unitOf = [&](const std::string& asset) {
        std::ofstream(path) << "<?xml version=\"1.0\"?>\n<COLLADA>\n  <asset>" << asset << "</asset>\n</COLLADA>\n";
        return importer::ColladaUnit(path);
    };
    EXPECT_EQ(unitOf("<unit name=\"centimeter\" meter=\"0.01\"/>").metresPerUnit, 0.01);
    EXPECT_EQ(unitOf("<unit meter = '0.0254'\n name='inch'/>").words, "inches, COLLADA unit 0.0254 m");
    EXPECT_EQ(unitOf("<units meter=\"5\"/><unit meter=\"2\"/>").metresPerUnit, 2);  // another element first
    EXPECT_EQ(unitOf("<unit parameter=\"3\" meter=\"0.5\"/>").metresPerUnit, 0.5);  // not a meter attribute
    for (const char* unstated : {"", "<unit name=\"meter\"/>", "<unit meter=\"abc\"/>", "<unit meter=\"\"/>",
                                 "<unit meter=\"-1\"/>", "<unit/> meter=\"3\""}) {
        const importer::FileUnit unit = unitOf(unstated);
        EXPECT_FALSE(unit.stated) << unstated;
        EXPECT_EQ(unit.metresPerUnit, 1.0) << unstated;
    }
}

}  // namespace
