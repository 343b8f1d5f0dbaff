// Skinned models: bone lists, vertex links from Physique and Skin, biped figure mode, and the rigs
// that must be refused.
#include <gtest/gtest.h>

#include <cmath>

#include "app/selection.h"
#include "standin/character.h"
#include "standin/modifiers.h"
#include "test_support.h"

namespace {

constexpr auto kHierarchy = vlo::ExportMode::Hierarchy;

struct Arm {
    standin::Node* shoulder;
    standin::Node* elbow;
    standin::Node* hand;
    standin::Node* mesh;
};

// A two-bone arm: Shoulder at (0, 0, 10), Elbow 10 along +X from it, Hand 10 further; a mesh of six
// vertices along the arm (x = 0, 4, 10, 10, 16, 20 at z = 10, two triangles on each side of y = 0).
Arm MakeArm(standin::Scene& scene) {
    Arm arm;
    arm.shoulder = &scene.CreateNode("Shoulder");
    arm.shoulder->SetLocalTM(TransMatrix({0, 0, 10}));
    arm.elbow = &arm.shoulder->AddChild("Elbow");
    arm.elbow->SetLocalTM(TransMatrix({10, 0, 0}));
    arm.hand = &arm.elbow->AddChild("Hand");
    arm.hand->SetLocalTM(TransMatrix({10, 0, 0}));
    arm.mesh = &scene.CreateMeshNode("ArmMesh");
    Mesh& m = standin::Scene::TriOf(*arm.mesh).mesh;
    m.verts = {{0, -1, 10}, {4, 1, 10}, {10, -1, 10}, {10, 1, 10}, {16, -1, 10}, {20, 1, 10}};
    const DWORD tris[4][3] = {{0, 2, 1}, {1, 2, 3}, {2, 4, 3}, {3, 4, 5}};
    for (const auto& t : tris) {
        Face f;
        f.v[0] = t[0], f.v[1] = t[1], f.v[2] = t[2], f.smGroup = 1;
        m.faces.push_back(f);
    }
    arm.mesh->SetSelected(true);
    return arm;
}

standin::PhysiqueModifier& AddPhysique(standin::Scene& scene, const Arm& arm) {
    auto& phy = scene.Make<standin::PhysiqueModifier>();
    phy.skinned = arm.mesh;
    phy.Bind(0, {{arm.shoulder, 1.0f}});
    phy.Bind(1, {{arm.shoulder, 1.0f}});
    phy.Bind(2, {{arm.shoulder, 0.5f}, {arm.elbow, 0.00005f}, {arm.elbow, 0.5f}});
    phy.Bind(3, {{arm.shoulder, 0.25f}, {arm.elbow, 0.75f}});
    phy.Bind(4, {{arm.elbow, 1.0f}});
    phy.Bind(5, {{arm.elbow, 0.6f}, {arm.hand, 0.4f}});
    standin::AddModifiers(scene, *arm.mesh, {&phy});
    return phy;
}

standin::SkinModifier& AddSkin(standin::Scene& scene, const Arm& arm) {
    auto& skin = scene.Make<standin::SkinModifier>();
    skin.skinned = arm.mesh;
    skin.bones = {arm.shoulder, arm.elbow, arm.hand};
    skin.points = {{{0, 1.0f}}, {{0, 1.0f}}, {{0, 0.5f}, {1, 0.5f}}, {{0, 0.25f}, {1, 0.75f}}, {{1, 1.0f}},
                   {{1, 0.6f}, {2, 0.4f}}};
    standin::AddModifiers(scene, *arm.mesh, {&skin});
    return skin;
}

// A selected one-triangle mesh, (0, 0, 0), (1, 0, 0) and (0, 1, 0) moved by at, whose three vertices
// are bound to bone with full weight.
void SkinnedTriangle(standin::Scene& scene, standin::Node& bone, const std::string& name = "M", const Point3& at = {}) {
    auto& mesh = scene.CreateMeshNode(name);
    Mesh& m = standin::Scene::TriOf(mesh).mesh;
    m.verts = {at, at + Point3(1, 0, 0), at + Point3(0, 1, 0)};
    Face f;
    f.v[0] = 0, f.v[1] = 1, f.v[2] = 2;
    m.faces = {f};
    mesh.SetSelected(true);
    auto& skin = scene.Make<standin::SkinModifier>();
    skin.skinned = &mesh;
    skin.bones = {&bone};
    skin.points = {{{0, 1}}, {{0, 1}}, {{0, 1}}};
    standin::AddModifiers(scene, mesh, {&skin});
}

support::Options HierarchyOptions(bool swap = true) {
    support::Options o;
    o.mode = kHierarchy;
    o.swapYZ = swap;
    return o;
}

class Hierarchy : public ::testing::Test {
protected:
    support::TempDir dir;
    standin::Scene scene;
    std::string out = dir.File("arm.vlo");
};

void ExpectArmFile(const support::Exported& e) {
    ASSERT_TRUE(e.outcome.written) << (e.Texts().empty() ? "" : e.Texts()[0]);
    ASSERT_TRUE(e.file.Valid()) << e.file.findings.front().text;
    const auto& m = e.file.model;
    EXPECT_EQ(m.flags, 0x4u);
    EXPECT_EQ(e.file.layout.chunkOrder, (std::vector<std::uint32_t>{vlo::kChunkHierarchy, vlo::kChunkVertices, vlo::kChunkVertexLinks,
                                                        vlo::kChunkPolygons}));
    ASSERT_EQ(m.bones.size(), 3u);
    EXPECT_EQ(vlo::FieldText(m.bones[1].name), "Elbow");
    EXPECT_EQ(m.bones[2].parentId, 1);
    EXPECT_FLOAT_EQ(m.bones[1].offset.x, 10.0f);
    EXPECT_FLOAT_EQ(m.bones[2].position.x, 20.0f);  // relative to the root bone
    // Vertices relative to the hierarchy root (0, 0, 10), swapped: the shoulder vertex (0,-1,10) -> (0, 0, -1).
    EXPECT_FLOAT_EQ(m.vertices[0].position.y, 0.0f);
    ASSERT_EQ(m.links.size(), m.vertices.size());
    // Vertex order follows first appearance: 0, 2, 1, 3, 4, 5 of the mesh.
    EXPECT_EQ(m.links[0].numLinks, 1);
    EXPECT_EQ(m.links[0].weights[0], 1.0f);
    EXPECT_EQ(m.links[1].numLinks, 2);  // the middle, unreal 0.00005 link is dropped
    EXPECT_EQ(m.links[1].boneIds[0], 0);
    EXPECT_EQ(m.links[1].boneIds[1], 1);
    EXPECT_FLOAT_EQ(m.links[5].weights[1], 0.4f);
    EXPECT_EQ(m.links[5].boneIds[1], 2);
    for (std::size_t i = 0; i < m.links.size(); ++i) {
        EXPECT_EQ(m.links[i].position.x, m.vertices[i].position.x);  // the chunk carries the vertex itself
        EXPECT_EQ(m.links[i].normal.y, m.vertices[i].normal.y);
        for (int k = m.links[i].numLinks; k < 4; ++k) EXPECT_EQ(m.links[i].weights[k], 0.0f);
    }
}

TEST_F(Hierarchy, PhysiqueArm) {
    const Arm arm = MakeArm(scene);
    auto& phy = AddPhysique(scene, arm);
    auto e = support::Export(scene, out, HierarchyOptions());
    ExpectArmFile(e);
    EXPECT_TRUE(phy.convertedToRigid && phy.blendingAllowed);
    EXPECT_EQ(phy.outstanding, 0);  // every vertex interface was given back
    EXPECT_NE(e.text.find("\r\nExporting hierarchy\r\n\r\nNum Bones = 3\r\nBone: Shoulder (Id 0) ROOT! Offset: 0.00, 0.00, 0.00\r\n"
                          "Bone: Elbow (Id 1) Parent: Shoulder (Id 0) Offset: 10.00, 0.00, 0.00\r\n"),
              std::string::npos);
    EXPECT_NE(e.text.find("Vertex 1 : Linked to 2 Bones:  0) Shoulder (0) [10.00, 10.00, -1.00] (0.500) 1) Elbow (1) "
                          "[10.00, 10.00, -1.00] (0.500)\r\n"),
              std::string::npos);
    EXPECT_NE(e.text.find("FLAG: Is Hierarchy\r\n"), std::string::npos);
}

TEST_F(Hierarchy, PositionsRebuiltFromPhysiqueOffsetsMatchTheVertices) {
    const Arm arm = MakeArm(scene);
    AddPhysique(scene, arm);
    auto e = support::Export(scene, out, HierarchyOptions());
    ASSERT_TRUE(e.outcome.written);
    const vlo::VloModel& m = *e.outcome.exporter->Result().model;
    // Each link's offset times its bone's transform, back in export space, is the vertex: the origin of
    // a skinned model is its root bone, the shoulder at (0, 0, 10).
    ASSERT_EQ(m.text.linkPositions.size(), m.vertices.size());
    for (std::size_t i = 0; i < m.vertices.size(); ++i) {
        const auto& rebuilt = m.text.linkPositions[i];  // world, swapped
        const auto& v = m.vertices[i].position;         // export space: minus origin, swapped, scaled
        EXPECT_NEAR(rebuilt.x, v.x, 1e-4);
        EXPECT_NEAR(rebuilt.y - 10.0f, v.y, 1e-4);
        EXPECT_NEAR(rebuilt.z, v.z, 1e-4);
    }
}

TEST_F(Hierarchy, SkinArmGivesTheSameLinks) {
    const Arm arm = MakeArm(scene);
    auto& skin = AddSkin(scene, arm);
    skin.initTMAvailable = false;
    auto e = support::Export(scene, out, HierarchyOptions());
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"Error calling GetSkinInitTM"});
    ExpectArmFile(e);
}

TEST_F(Hierarchy, PhysiqueWinsAndModifiersAreFoundDownTheStack) {
    const Arm arm = MakeArm(scene);
    auto& phy = scene.Make<standin::PhysiqueModifier>();
    phy.skinned = arm.mesh;
    for (int i = 0; i < 6; ++i) phy.Bind(i, {{arm.hand, 1.0f}});
    auto& skin = scene.Make<standin::SkinModifier>();
    skin.skinned = arm.mesh;
    standin::AddModifiers(scene, *arm.mesh, {&scene.Make<standin::OtherModifier>(), &skin, &phy}, /*nested=*/true);
    auto e = support::Export(scene, out, HierarchyOptions());
    ASSERT_TRUE(e.file.Valid());
    for (const auto& l : e.file.model.links) EXPECT_EQ(l.boneIds[0], 2);  // all on the hand: Physique was used
}

TEST_F(Hierarchy, BipedWithFootstepsInFigureMode) {
    auto& root = scene.CreateNode("Bip01");
    root.SetLocalTM(TransMatrix({0, 0, 10}));
    standin::BipedExport biped;
    standin::MakeBipedRoot(scene, root, &biped);
    auto& spine = root.AddChild("Bip01 Spine");
    spine.SetLocalTM(RotateZMatrix(0.5f) * TransMatrix({5, 0, 0}));  // the animated pose
    biped.SetFigurePose(spine, TransMatrix({0, 0, 5}));              // the skinning pose: straight up
    auto& steps = root.AddChild("Bip01 Footsteps");
    standin::MakeFootsteps(scene, steps);
    auto& stepChild = steps.AddChild("Step 1");
    auto& mesh = scene.CreateMeshNode("Body");
    Mesh& m = standin::Scene::TriOf(mesh).mesh;
    m.verts = {{0, 0, 10}, {1, 0, 10}, {0, 1, 15}};
    Face f;
    f.v[0] = 0, f.v[1] = 1, f.v[2] = 2;
    m.faces = {f};
    mesh.SetSelected(true);
    auto& skin = scene.Make<standin::SkinModifier>();
    skin.skinned = &mesh;
    skin.bones = {&root, &spine, &stepChild};
    skin.points = {{{0, 1.0f}}, {{0, 1.0f}}, {{1, 0.5f}, {2, 0.5f}}};
    standin::AddModifiers(scene, mesh, {&skin});

    auto e = support::Export(scene, out, HierarchyOptions(false));
    ASSERT_TRUE(e.file.Valid()) << (e.file.findings.empty() ? "" : e.file.findings[0].text);
    const auto& bones = e.file.model.bones;
    ASSERT_EQ(bones.size(), 2u);  // the footsteps and everything below them are left out
    EXPECT_EQ(vlo::FieldText(bones[1].name), "Bip01 Spine");
    EXPECT_FLOAT_EQ(bones[1].offset.z, 5.0f);  // read in figure mode
    EXPECT_FLOAT_EQ(bones[1].offset.x, 0.0f);
    // A link to a bone outside the bone list is 0xFF, and the text says so.
    EXPECT_EQ(e.file.model.links[2].boneIds[1], 0xFF);
    EXPECT_NE(e.text.find(" 1) <no bone> (-1) "), std::string::npos);
    // Figure mode is entered once for the whole export and left after it; non-uniform scale removal
    // is on only around the pass.
    EXPECT_EQ(biped.Calls(), (std::vector<std::string>{"BeginFigureMode", "RemoveNonUniformScale(TRUE)",
                                                       "RemoveNonUniformScale(FALSE)", "EndFigureMode"}));
    EXPECT_FALSE(biped.InFigureMode());
    EXPECT_FLOAT_EQ(spine.GetNodeTM(0).GetTrans().x, 5.0f);  // the scene is back in its animated pose
}

TEST_F(Hierarchy, ChildrenInNameOrderAndLongNames) {
    auto& root = scene.CreateNode("Root");
    root.AddChild("b");
    root.AddChild("a");
    root.AddChild("B");
    const std::string longName(40, 'L');
    auto& lng = root.AddChild(longName);
    lng.SetLocalTM(TransMatrix({1, 2, 3}));
    SkinnedTriangle(scene, lng);
    auto e = support::Export(scene, out, HierarchyOptions());
    ASSERT_TRUE(e.file.Valid());
    std::vector<std::string> names;
    for (const auto& b : e.file.model.bones) names.push_back(std::string(b.name, strnlen(b.name, 32)));
    EXPECT_EQ(names, (std::vector<std::string>{"Root", "B", longName.substr(0, 32), "a", "b"}));
    EXPECT_EQ(std::string(e.file.model.bones[2].name, 32), longName.substr(0, 32));  // no terminating zero
    // Swapped: local (1, 2, 3) is stored as (1, 3, 2).
    EXPECT_FLOAT_EQ(e.file.model.bones[2].offset.y, 3.0f);
    EXPECT_FLOAT_EQ(e.file.model.bones[2].offset.z, 2.0f);
    EXPECT_NE(e.text.find("Bone: " + longName.substr(0, 32) + " (Id 2) Parent: Root (Id 0)"), std::string::npos);
}

TEST_F(Hierarchy, RotationsAreTheHostQuaternionSwapped) {
    auto& root = scene.CreateNode("Root");
    root.SetLocalTM(RotateZMatrix(1.0f));
    SkinnedTriangle(scene, root);
    auto e = support::Export(scene, out, HierarchyOptions());
    ASSERT_TRUE(e.file.Valid());
    const float* q = e.file.model.bones[0].rotation;
    // Quat(RotateZMatrix(1)) = (0, 0, -sin 0.5, cos 0.5); swapped: (0, -sin 0.5, 0, cos 0.5).
    EXPECT_NEAR(q[1], -std::sin(0.5f), 1e-6);
    EXPECT_NEAR(q[2], 0.0f, 1e-6);
    EXPECT_NEAR(q[3], std::cos(0.5f), 1e-6);
}

// A rig modelled at another size and scaled as a whole (a centimetre rig scaled by 0.01, or scaled
// unevenly and turned) gives the bones of the same rig modelled at its size: offsets count in scene
// lengths along the parent's axes, not in the parent's own units.
TEST_F(Hierarchy, BonesUnderAScaledParentKeepTheirLengths) {
    auto bonesOf = [&](const Point3& scale, float turn) {
        standin::Scene s;
        Arm arm = MakeArm(s);
        arm.shoulder->SetLocalTM(ScaleMatrix(scale) * RotateZMatrix(turn) * TransMatrix({0, 0, 10}));
        arm.elbow->SetLocalTM(TransMatrix({10 / scale.x, 0, 0}));
        arm.hand->SetLocalTM(TransMatrix({10 / scale.x, 0, 0}));
        AddSkin(s, arm);
        auto e = support::Export(s, out, HierarchyOptions(false));
        EXPECT_TRUE(e.file.Valid());
        return e.file.model.bones;
    };
    for (const float turn : {0.0f, 0.7f}) {
        const auto plain = bonesOf({1, 1, 1}, turn);
        ASSERT_EQ(plain.size(), 3u);
        EXPECT_FLOAT_EQ(plain[1].offset.x, 10.0f);
        for (const Point3& scale : {Point3(0.01f, 0.01f, 0.01f), Point3(0.5f, 0.25f, 2.0f)}) {
            const auto scaled = bonesOf(scale, turn);
            ASSERT_EQ(scaled.size(), plain.size());
            for (std::size_t b = 0; b < plain.size(); ++b) {
                EXPECT_NEAR(scaled[b].offset.x, plain[b].offset.x, 1e-4f) << "bone " << b << ", scale x " << scale.x;
                EXPECT_NEAR(scaled[b].offset.y, plain[b].offset.y, 1e-4f) << "bone " << b;
                EXPECT_NEAR(scaled[b].position.x, plain[b].position.x, 1e-4f) << "bone " << b;
                EXPECT_NEAR(scaled[b].position.y, plain[b].position.y, 1e-4f) << "bone " << b;
            }
        }
    }
}

TEST_F(Hierarchy, WeldedVertexKeepsTheLinksOfItsLastSuccessfulCorner) {
    const Arm arm = MakeArm(scene);
    Mesh& m = standin::Scene::TriOf(*arm.mesh).mesh;
    m.verts.push_back(m.verts[2]);  // vertex 6: same place as vertex 2
    Face f;
    f.v[0] = 6, f.v[1] = 4, f.v[2] = 3, f.smGroup = 1;  // same normal as face 2, which uses vertex 2
    m.faces.push_back(f);
    auto& skin = AddSkin(scene, arm);
    skin.points.push_back({{2, 1.0f}});  // vertex 6 entirely on the hand
    auto e = support::Export(scene, out, HierarchyOptions());
    ASSERT_TRUE(e.file.Valid());
    EXPECT_EQ(e.file.model.vertices.size(), 6u);  // welded
    const auto& links = e.file.model.links[1];   // the vertex of mesh vertices 2 and 6
    EXPECT_EQ(links.numLinks, 1);
    EXPECT_EQ(links.boneIds[0], 2);

    // A corner whose links cannot be read is reported and the export goes on: its welded vertex keeps
    // the links of the corner that could be read.
    standin::Scene physiqueScene;
    const Arm parm = MakeArm(physiqueScene);
    Mesh& pm = standin::Scene::TriOf(*parm.mesh).mesh;
    pm.verts.push_back(pm.verts[2]);
    pm.faces.push_back(f);
    auto& phy = AddPhysique(physiqueScene, parm);
    auto& a = parm.hand->AddChild("F1");
    auto& b = parm.hand->AddChild("F2");
    phy.Bind(6, {{parm.shoulder, 0.2f}, {parm.elbow, 0.2f}, {parm.hand, 0.2f}, {&a, 0.2f}, {&b, 0.2f}});
    auto p = support::Export(physiqueScene, dir.File("p.vlo"), HierarchyOptions());
    EXPECT_EQ(p.Texts(), (std::vector<std::string>{"Error: Blended vertex with more than 4 (real) links",
                                                   "Vertex 6 Apparently has 5 links"}));
    ASSERT_TRUE(p.exists);
    ASSERT_TRUE(p.file.Valid());
    EXPECT_EQ(p.file.model.links[1].numLinks, 2);  // mesh vertex 2's: shoulder and elbow
}

TEST_F(Hierarchy, MoreThanFourLinks) {
    const Arm arm = MakeArm(scene);
    auto& extra1 = arm.hand->AddChild("F1");
    auto& extra2 = arm.hand->AddChild("F2");
    auto& extra3 = arm.hand->AddChild("F3");
    auto& skin = AddSkin(scene, arm);
    skin.bones.insert(skin.bones.end(), {&extra1, &extra2, &extra3});
    skin.points[5] = {{0, 0.1f}, {1, 0.1f}, {2, 0.2f}, {3, 0.2f}, {4, 0.3f}, {5, 0.1f}};
    auto e = support::Export(scene, out, HierarchyOptions());
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"Error: Blended vertex with more than 4 (real) links [continuing]"});
    ASSERT_TRUE(e.file.Valid());
    const auto& l = e.file.model.links[5];
    EXPECT_EQ(l.numLinks, 4);
    EXPECT_FLOAT_EQ(l.weights[0], 0.1f + 0.3f);
    EXPECT_FLOAT_EQ(l.weights[1], 0.1f + 0.1f);
    EXPECT_FLOAT_EQ(l.weights[3], 0.2f);

    standin::Scene physiqueScene;
    const Arm parm = MakeArm(physiqueScene);
    auto& phy = AddPhysique(physiqueScene, parm);
    auto& a = parm.hand->AddChild("F1");
    auto& b = parm.hand->AddChild("F2");
    auto& c = parm.hand->AddChild("F3");
    phy.Bind(5, {{parm.shoulder, 0.2f}, {parm.elbow, 0.2f}, {parm.hand, 0.2f}, {&a, 0.2f}, {&b, 0.1f}, {&c, 0.1f}});
    auto p = support::Export(physiqueScene, dir.File("p.vlo"), HierarchyOptions());
    const auto texts = p.Texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Error: Blended vertex with more than 4 (real) links");
    EXPECT_EQ(texts[1], "Vertex 5 Apparently has 6 links");
    EXPECT_NE(texts.back().find("have no usable bone links"), std::string::npos);
    EXPECT_FALSE(p.exists);
}

TEST_F(Hierarchy, WeightsOutsideZeroToOne) {
    const Arm arm = MakeArm(scene);
    auto& phy = AddPhysique(scene, arm);
    phy.Bind(5, {{arm.elbow, 1.5f}, {arm.hand, -0.5f}});
    auto e = support::Export(scene, out, HierarchyOptions());
    EXPECT_EQ(e.Texts(), (std::vector<std::string>{"Warning: Vertex weight more than one? Continuing",
                                                   "Warning: Vertex weight less than zero? Continuing"}));
    ASSERT_TRUE(e.file.Valid());
    EXPECT_EQ(e.file.model.links[5].numLinks, 1);
    EXPECT_FLOAT_EQ(e.file.model.links[5].weights[0], 1.5f);  // Physique keeps it

    standin::Scene skinScene;
    const Arm sarm = MakeArm(skinScene);
    auto& skin = AddSkin(skinScene, sarm);
    skin.points[5] = {{1, 1.5f}, {2, -0.5f}, {0, 0.0001f}};
    auto s = support::Export(skinScene, dir.File("s.vlo"), HierarchyOptions());
    EXPECT_TRUE(s.Texts().empty());
    ASSERT_TRUE(s.file.Valid());
    EXPECT_EQ(s.file.model.links[5].numLinks, 1);  // negative dropped; exactly 0.0001 is no real link
    EXPECT_FLOAT_EQ(s.file.model.links[5].weights[0], 1.0f);  // Skin clamps
}

TEST_F(Hierarchy, RigsThatAreRefused) {
    // Bones under two top-level nodes.
    const Arm arm = MakeArm(scene);
    auto& other = scene.CreateNode("OtherRoot");
    auto& skin = AddSkin(scene, arm);
    skin.bones.push_back(&other);
    skin.points[0] = {{0, 1.0f}, {3, 0.0f}};  // even a weightless assignment counts
    auto two = support::Export(scene, out, HierarchyOptions());
    EXPECT_EQ(two.Texts(), std::vector<std::string>{"Vertices are mapped to more than one hierarchy"});
    EXPECT_FALSE(two.exists);

    // A missing bone before the root is set is reported and tolerated; after it, it fails.
    skin.points[0] = {{7, 1.0f}};
    skin.points[1] = {{0, 1.0f}};
    auto early = support::Export(scene, out, HierarchyOptions());
    EXPECT_EQ(early.Texts().front(), "NULL pxBoneNode");
    skin.points[0] = {{0, 1.0f}};
    skin.points[1] = {{7, 1.0f}};
    auto late = support::Export(scene, out, HierarchyOptions());
    EXPECT_EQ(late.Texts(), (std::vector<std::string>{"NULL pxBoneNode", "Vertices are mapped to more than one hierarchy"}));
    EXPECT_FALSE(late.exists);

    // Every assignment names no node: no root, a clear error, no file.
    standin::Scene empty;
    const Arm earm = MakeArm(empty);
    auto& none = AddSkin(empty, earm);
    for (auto& p : none.points) p = {{9, 1.0f}};
    auto noRoot = support::Export(empty, out, HierarchyOptions());
    ASSERT_FALSE(noRoot.Texts().empty());
    EXPECT_NE(noRoot.Texts().back().find("is bound to a bone"), std::string::npos);
    EXPECT_FALSE(noRoot.exists);

    // Physique failures.
    standin::Scene p1;
    const Arm parm = MakeArm(p1);
    auto& phy = AddPhysique(p1, parm);
    phy.wrongTypeVertex = 3;
    EXPECT_EQ(support::Export(p1, out, HierarchyOptions()).Texts(), std::vector<std::string>{"Vertex type not RIGID_TYPE"});
    phy.wrongTypeVertex = -1;
    phy.brokenVertex = 2;
    EXPECT_EQ(support::Export(p1, out, HierarchyOptions()).Texts(),
              std::vector<std::string>{"Failed to retrieve an export interface for a particular vertex"});
    phy.brokenVertex = -1;
    phy.context = false;
    EXPECT_EQ(support::Export(p1, out, HierarchyOptions()).Texts(),
              std::vector<std::string>{"Failed to retrieve Physique Context Export Interface"});
    EXPECT_EQ(phy.outstanding, 0);
    EXPECT_FALSE(support::Exists(out));
}

// Meshes attached into one skinned model (--all, or a group's meshes) keep their bones and weights;
// a mesh without a skin among them is named before anything is attached.
TEST_F(Hierarchy, AttachedSkinnedMeshesKeepTheirLinksAndAnUnskinnedOneIsNamed) {
    const Arm arm = MakeArm(scene);
    AddSkin(scene, arm);
    const auto alone = support::Export(scene, dir.File("alone.vlo"), HierarchyOptions());
    ASSERT_TRUE(alone.file.Valid());
    ASSERT_EQ(alone.file.model.links.size(), 6u);

    SkinnedTriangle(scene, *arm.hand, "Glove", {30, 0, 10});
    app::SelectionRequest all;
    all.all = true;
    all.mode = kHierarchy;
    all.sceneName = "Golfer";
    ASSERT_EQ(app::ChooseSelection(scene, all).problem, "");
    const auto attached = support::Export(scene, out, HierarchyOptions());
    ASSERT_TRUE(attached.file.Valid()) << (attached.file.findings.empty() ? "" : attached.file.findings[0].text);
    const auto& links = attached.file.model.links;
    ASSERT_EQ(links.size(), 9u);
    // The arm's vertices come first, linked as the arm alone; the glove's to the hand alone.
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(std::memcmp(&links[i], &alone.file.model.links[i], sizeof links[i]), 0) << i;
    for (std::size_t i = 6; i < 9; ++i) {
        EXPECT_GE(attached.file.model.vertices[i].position.x, 30.0f) << i;
        EXPECT_EQ(links[i].numLinks, 1) << i;
        EXPECT_EQ(links[i].boneIds[0], 2) << i;
        EXPECT_EQ(links[i].weights[0], 1.0f) << i;
    }

    standin::Scene mixed;
    const Arm other = MakeArm(mixed);
    AddSkin(mixed, other);
    standin::Node& gear = mixed.CreateNode("Gear");
    SkinnedTriangle(mixed, *other.hand, "Glove", {30, 0, 10});
    mixed.FindByName("Glove")->Reparent(gear);
    Mesh& cap = standin::Scene::TriOf(mixed.CreateMeshNode("Cap", &gear)).mesh;
    cap.verts = {{0, 0, 30}, {1, 0, 30}, {0, 1, 30}};
    cap.faces = {Face()};
    cap.faces[0].v[0] = 0, cap.faces[0].v[1] = 1, cap.faces[0].v[2] = 2;
    EXPECT_EQ(app::ChooseSelection(mixed, all).problem,
              "a skinned model moves every vertex with its bones, and 1 of the 3 meshes it would attach has no skin "
              "(Gear/Cap): bind it to the skeleton, or --select a group that holds the skinned meshes alone");
    app::SelectionRequest group = all;
    group.all = false;
    group.select = "Gear";
    EXPECT_NE(app::ChooseSelection(mixed, group).problem.find("1 of the 2 meshes it would attach has no skin (Gear/Cap)"),
              std::string::npos);
}

TEST_F(Hierarchy, MoreThan255BonesAreRefused) {
    auto& root = scene.CreateNode("Root");
    for (int i = 0; i < 255; ++i) root.AddChild("Bone" + std::to_string(i));
    SkinnedTriangle(scene, root);
    auto e = support::Export(scene, out, HierarchyOptions());
    ASSERT_EQ(e.Texts().size(), 1u);
    EXPECT_NE(e.Texts()[0].find("has 256 bones"), std::string::npos);
    EXPECT_FALSE(e.exists);
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());
}

}  // namespace
