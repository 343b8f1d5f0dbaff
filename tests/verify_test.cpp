// Verification of written files against their scene, reports against their schema, and vloinfo diff.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <functional>

#include "app/export_job.h"
#include "app/verify.h"
#include "format/vla_writer.h"
#include "format/vlo_writer.h"
#include "scene_files.h"
#include "standin/modifiers.h"
#include "test_support.h"
#include "tool_runs.h"
#include "ui/controls.h"

#ifndef VLO_SOURCE_DIR
#error "VLO_SOURCE_DIR must name the source folder"
#endif

namespace {

using nlohmann::json;

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A skinned arm (Skin, three bones) exported as a hierarchy, and the model the exporter made.
struct SkinnedArm {
    standin::Scene scene;
    standin::Node* mesh = nullptr;
    support::TempDir dir;
    std::string file = dir.File("arm.VLO");
    support::Exported e;

    SkinnedArm() {
        standin::Node& shoulder = scene.CreateNode("Shoulder");
        shoulder.SetLocalTM(TransMatrix({0, 0, 10}));
        standin::Node& elbow = shoulder.AddChild("Elbow");
        elbow.SetLocalTM(RotateZMatrix(0.3f) * TransMatrix({10, 0, 0}));
        mesh = &scene.CreateMeshNode("ArmMesh");
        Mesh& m = standin::Scene::TriOf(*mesh).mesh;
        m.verts = {{0, -1, 10}, {4, 1, 10}, {10, -1, 10}, {10, 1, 10}, {16, -1, 10}, {20, 1, 10}};
        for (const auto& t : {std::array<DWORD, 3>{0, 2, 1}, {1, 2, 3}, {2, 4, 3}, {3, 4, 5}}) {
            Face f;
            f.v[0] = t[0], f.v[1] = t[1], f.v[2] = t[2], f.smGroup = 1;
            m.faces.push_back(f);
        }
        auto& skin = scene.Make<standin::SkinModifier>();
        skin.skinned = mesh;
        skin.bones = {&shoulder, &elbow};
        skin.points = {{{0, 1.0f}}, {{0, 1.0f}}, {{0, 0.5f}, {1, 0.5f}}, {{0, 0.25f}, {1, 0.75f}}, {{1, 1.0f}}, {{1, 1.0f}}};
        standin::AddModifiers(scene, *mesh, {&skin});
        mesh->SetSelected(true);
        support::Options o;
        o.mode = vlo::ExportMode::Hierarchy;
        e = support::Export(scene, file, o);
    }
    const vlo::VloModel& Made() const { return *e.outcome.exporter->Result().model; }
    app::Verification Verify(const vlo::VloModel& written) {
        Write(dir.File("damaged.VLO"), vlo::EncodeVlo(written));
        return app::VerifyModel(dir.File("damaged.VLO"), Made(), *mesh, e.outcome.exporter->settings);
    }
};

bool Mentions(const app::Verification& v, const std::string& text) {
    for (const std::string& f : v.failures)
        if (f.find(text) != std::string::npos) return true;
    return false;
}

TEST(Verify, AnExportMatchesItsSceneAndEveryDamageIsCaught) {
    SkinnedArm arm;
    ASSERT_TRUE(arm.e.outcome.written);
    const app::Verification good = app::VerifyModel(arm.file, arm.Made(), *arm.mesh, arm.e.outcome.exporter->settings);
    EXPECT_TRUE(good.Passed()) << (good.failures.empty() ? "" : good.failures.front());
    EXPECT_EQ(good.triangles, 4u);
    EXPECT_EQ(good.corners, 12u);
    EXPECT_LT(good.worstPosition, 1e-6);
    EXPECT_EQ(good.weightedVertices, arm.Made().vertices.size());
    EXPECT_GT(good.modelSize, 0.1);

    // A vertex moved by a thousandth of the model: caught, and the file no longer reads back as made.
    vlo::VloModel moved = arm.Made();
    moved.vertices[2].position.y += float(good.modelSize * 1e-3);
    moved.links[2].position = moved.vertices[2].position;  // a consistent file, but not the scene
    app::Verification v = arm.Verify(moved);
    EXPECT_FALSE(v.readsBack);
    EXPECT_TRUE(Mentions(v, "a corner lies")) << v.failures.front();
    // Two polygons exchanged: their corners are not where the triangles are.
    vlo::VloModel swapped = arm.Made();
    std::swap(swapped.polygons[0], swapped.polygons[3]);
    v = arm.Verify(swapped);
    EXPECT_TRUE(Mentions(v, "a corner lies")) << (v.failures.empty() ? "" : v.failures.back());
    // A weight moved to another bone, and a weight lost.
    vlo::VloModel weights = arm.Made();
    for (vlo::VertexLinks& l : weights.links)
        if (l.numLinks == 2) l.weights[1] = 0.1f;
    v = arm.Verify(weights);
    EXPECT_TRUE(Mentions(v, "weights or bones that the file does not give")) << (v.failures.empty() ? "" : v.failures.back());
    EXPECT_GT(v.worstWeight, 0.3);
    // A polygon dropped.
    vlo::VloModel fewer = arm.Made();
    fewer.polygons.pop_back();
    EXPECT_TRUE(Mentions(arm.Verify(fewer), "1 of 4 source triangles"));
}

TEST(Verify, AnimationKeysAndRootTravelAgainstTheScene) {
    standin::Scene scene;
    auto& root = scene.CreateNode("Root");
    root.SetSelected(true);
    root.SetLocalTrack([](TimeValue t) { return RotateZMatrix(0.002f * float(t)) * TransMatrix({0.05f * float(t), 0, 50}); });
    auto& arm = root.AddChild("Arm");
    arm.SetLocalTrack([](TimeValue t) { return RotateXMatrix(0.001f * float(t)) * TransMatrix({0, 5, 0}); });
    scene.animRange = {0, 10 * 160};
    support::TempDir dir;
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_ANIMATION);
        d.SetCheck(IDC_ZERO_ROOT_ROTATION, true);
        d.Click(IDOK);
    });
    const auto e = support::Export(scene, desktop, dir.File("walk.VLA"));
    ASSERT_TRUE(e.outcome.written);
    const vlo::VlaAnimation& made = *e.outcome.exporter->Result().animation;
    const auto& settings = e.outcome.exporter->settings;
    app::Verification v = app::VerifyAnimation(dir.File("walk.VLA"), made, root, settings);
    EXPECT_TRUE(v.Passed()) << (v.failures.empty() ? "" : v.failures.front());
    EXPECT_EQ(v.samples, 11u);
    EXPECT_LT(v.worstRotation, 1e-5);

    vlo::VlaAnimation turned = made;
    turned.Key(5, 1) = {0.0f, 0.0998f, 0.0f, 0.995f};  // about 0.2 rad off
    Write(dir.File("bad.VLA"), vlo::EncodeVla(turned));
    v = app::VerifyAnimation(dir.File("bad.VLA"), made, root, settings);
    EXPECT_TRUE(Mentions(v, "a bone's rotation differs")) << (v.failures.empty() ? "" : v.failures.front());
    vlo::VlaAnimation moved = made;
    moved.frames[7].rootPosition.x += 0.01f;
    Write(dir.File("bad.VLA"), vlo::EncodeVla(moved));
    EXPECT_TRUE(Mentions(app::VerifyAnimation(dir.File("bad.VLA"), made, root, settings), "the root's travel"));
}

// The subset of JSON Schema the report's schema uses: type, required, properties, items, enum.
void CheckAgainst(const json& schema, const json& value, const std::string& at) {
    if (schema.contains("type")) {
        const std::string type = schema["type"];
        const bool ok = type == "object"    ? value.is_object()
                        : type == "array"   ? value.is_array()
                        : type == "string"  ? value.is_string()
                        : type == "integer" ? value.is_number_integer()
                        : type == "number"  ? value.is_number()
                        : type == "boolean" ? value.is_boolean()
                                            : false;
        EXPECT_TRUE(ok) << at << " is not " << type << ": " << value.dump();
    }
    if (schema.contains("enum")) {
        EXPECT_NE(std::find(schema["enum"].begin(), schema["enum"].end(), value), schema["enum"].end()) << at;
    }
    if (schema.contains("required")) {
        for (const auto& key : schema["required"]) EXPECT_TRUE(value.contains(key)) << at << " lacks " << key;
    }
    if (schema.contains("properties") && value.is_object())
        for (const auto& [key, sub] : schema["properties"].items())
            if (value.contains(key)) CheckAgainst(sub, value[key], at + "." + key);
    if (schema.contains("items") && value.is_array())
        for (std::size_t i = 0; i < value.size(); ++i) CheckAgainst(schema["items"], value[i], at + "[" + std::to_string(i) + "]");
}

TEST(Report, SingleExportsFollowTheSchemaWithTheirVerification) {
    support::TempDir dir;
    support::WriteSkinnedGltf(dir.File("rig.gltf"));
    const support::ToolRun r = support::RunVloExport({dir.File("rig.gltf"), "--mode", "hierarchy", "--select", "Body", "-o",
                                                      dir.File("rig.VLO"), "--verify", "--report", dir.File("r.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    const json report = json::parse(std::ifstream(dir.File("r.json")));
    const json schema = json::parse(std::ifstream(std::string(VLO_SOURCE_DIR) + "/docs/report.schema.json"));
    CheckAgainst(schema, report, "report");
    const json& asset = report["assets"][0];
    EXPECT_EQ(asset["status"], "exported");
    EXPECT_EQ(asset["options"]["mode"], "hierarchy");
    EXPECT_EQ(asset["counts"]["bones"], 3);
    EXPECT_TRUE(asset["verification"]["passed"].get<bool>());
    EXPECT_GT(asset["verification"]["weightedVertices"].get<int>(), 0);
    EXPECT_EQ(report["summary"]["exported"], 1);

    // A failed export reports its diagnostics and no outputs.
    support::RunVloExport({dir.File("rig.gltf"), "--select", "Nope", "-o", dir.File("x.VLO"), "--report", dir.File("r.json")});
    const json failed = json::parse(std::ifstream(dir.File("r.json")));
    CheckAgainst(schema, failed, "report");
    EXPECT_EQ(failed["assets"][0]["status"], "failed");
    EXPECT_EQ(failed["assets"][0]["diagnostics"][0]["severity"], "error");
}

TEST(Report, TakesTheNameOfNoFileButAnEarlierReport) {
    support::TempDir dir;
    const std::string scene = dir.File("rig.gltf"), model = dir.File("rig.VLO");
    support::WriteSkinnedGltf(scene);
    const std::string sceneText = support::ReadText(scene);
    std::ofstream(dir.File("notes.json")) << "{\"mine\": 1}";
    // The scene, a file of the user's, the output and its text (not there yet): each refused before
    // anything is written.
    for (const std::string& report : {scene, dir.File("notes.json"), model, dir.Path() + "/./rig.TXT"}) {
        const support::ToolRun r = support::RunVloExport({scene, "--select", "Body", "-o", model, "--report", report});
        EXPECT_EQ(r.status, app::kExitUsage) << report;
        EXPECT_NE(r.err.find("error: --report " + report + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("; nothing was written (name another file)"), std::string::npos) << r.err;
        EXPECT_FALSE(support::Exists(model));
    }
    EXPECT_EQ(support::ReadText(scene), sceneText);
    EXPECT_EQ(support::ReadText(dir.File("notes.json")), "{\"mine\": 1}");
    // An earlier report is replaced; so is an earlier build's, and a build refuses the manifest.
    ASSERT_EQ(support::RunVloExport({scene, "--select", "Body", "-o", model, "--report", dir.File("r.json")}).status, 0);
    ASSERT_EQ(support::RunVloExport({scene, "--select", "Body", "-o", model, "--report", dir.File("r.json")}).status, 0);
    std::ofstream(dir.File("art.toml")) << "[[asset]]\ninput = \"rig.gltf\"\noutput = \"b.VLO\"\nselect = \"Body\"\n";
    EXPECT_EQ(support::RunVloExport({"build", dir.File("art.toml"), "--report", dir.File("r.json")}).status, 0);
    const support::ToolRun build = support::RunVloExport({"build", dir.File("art.toml"), "--report", dir.File("art.toml")});
    EXPECT_EQ(build.status, app::kExitUsage);
    EXPECT_NE(build.err.find("a file that is no report is there, left as it is"), std::string::npos) << build.err;
    EXPECT_EQ(json::parse(std::ifstream(dir.File("r.json")))["summary"]["exported"], 1);
}

// An export whose file does not match its scene is refused after the check of the held file, before
// it replaces anything: nothing is written and an earlier file of its name stays.
TEST(Verify, AFailedCheckWritesNothingAndKeepsTheEarlierFile) {
    support::TempDir dir;
    support::WriteGltf(dir.File("scene.gltf"));
    std::ofstream(dir.File("box.VLO")) << "earlier";
    app::ExportRequest request;
    request.input = dir.File("scene.gltf");
    request.output = dir.File("box.VLO");
    request.select = "Box";
    request.verify = true;
    request.tolerances = {-1, -1, -1, -1, -1, -1};  // every difference, even none, lies past them
    const app::ExportResult r = app::ExportFile(request);
    EXPECT_EQ(r.status, app::kExitExportFailed);
    ASSERT_FALSE(r.diagnostics.empty());
    EXPECT_EQ(r.diagnostics.back().text, "the written file does not match the scene: nothing was written");
    EXPECT_TRUE(std::any_of(r.diagnostics.begin(), r.diagnostics.end(), [](const app::Diagnostic& d) {
        return d.level == app::Diagnostic::Level::Error && d.text.rfind("verification: ", 0) == 0;
    }));
    EXPECT_FALSE(r.model);
    EXPECT_EQ(support::ReadText(dir.File("box.VLO")), "earlier");
    EXPECT_EQ(support::ListDir(dir.Path()), (std::vector<std::string>{"box.VLO", "scene.gltf"}));
}

TEST(VloInfoDiff, ChangesByMeaningWithWhereTheyAre) {
    SkinnedArm arm;
    ASSERT_TRUE(arm.e.outcome.written);
    auto diff = [&](const vlo::VloModel& b, std::vector<std::string> extra = {}) {
        Write(arm.dir.File("b.VLO"), vlo::EncodeVlo(b));
        std::vector<std::string> args = {"diff", arm.file, arm.dir.File("b.VLO")};
        args.insert(args.end(), extra.begin(), extra.end());
        return support::RunVloInfo(args);
    };
    support::ToolRun r = diff(arm.Made());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("no differences"), std::string::npos) << r.out;

    vlo::VloModel b = arm.Made();
    b.vertices[4].position.x += 0.25f;
    b.links[4].position = b.vertices[4].position;  // a link record repeats its vertex
    for (float& c : b.bones[1].rotation) c = -c;  // the same rotation: no difference
    vlo::CopyBounded(b.bones[1].name, "Forearm");
    r = diff(b);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("vertex positions: changed by up to 0.25 (vertex 4)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bones (name<parent): [Shoulder<-1, Elbow<0] -> [Shoulder<-1, Forearm<0]"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("bone rotations"), std::string::npos) << r.out;
    vlo::CopyBounded(b.bones[1].name, "Elbow");
    EXPECT_EQ(diff(b, {"--tolerance", "0.3"}).status, 0);
    const json j = json::parse(diff(b, {"--json"}).out);
    EXPECT_FALSE(j["same"].get<bool>());
    EXPECT_EQ(j["differences"][0]["where"], "vertex 4");

    // Animations: the key that changed, by frame and bone; a model and an animation do not compare.
    vlo::VlaAnimation a;
    a.header.numBones = 2, a.header.numFrames = 3, a.header.frameRate = 30;
    a.frames.resize(3);
    a.keys.assign(6, vlo::BoneKey{});
    Write(arm.dir.File("a.VLA"), vlo::EncodeVla(a));
    a.Key(2, 1) = {0.6f, 0, 0, 0.8f};
    a.frames[1].flags = 4;
    Write(arm.dir.File("a2.VLA"), vlo::EncodeVla(a));
    r = support::RunVloInfo({"diff", arm.dir.File("a.VLA"), arm.dir.File("a2.VLA")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("key-frame flags: differ at frames 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(frame 2, bone 1)"), std::string::npos) << r.out;
    EXPECT_EQ(support::RunVloInfo({"diff", arm.file, arm.dir.File("a.VLA")}).status, 2);
    // A folder is no file to compare (its reading ended the program).
    r = support::RunVloInfo({"diff", arm.file, arm.dir.Path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(arm.dir.Path() + " is a folder, not a file"), std::string::npos) << r.err;
}

}  // namespace
