// Random stand-in scenes through the whole exporter in every mode: meshes with NaN, infinity, huge and
// tiny values, degenerate and duplicate faces and out-of-range indices, random hierarchies with dummy
// markers, random skins and random animation tracks. Every run ends with either a file the readers
// validate, or no file and an error message.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <span>

#include "app/plugin_host.h"
#include "format/vla_reader.h"
#include "format/vlo_reader.h"
#include "standin/modifiers.h"
#include "standin/track.h"
#include "ui/controls.h"

namespace {

float AnyFloat(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
        case 0: return std::numeric_limits<float>::quiet_NaN();
        case 1: return std::numeric_limits<float>::infinity();
        case 2: return 3e38f;
        case 3: return 1e-38f;
        case 4: return -0.0f;
        default: return float(in.ConsumeIntegralInRange<int>(-1000, 1000)) / 8.0f;
    }
}

Point3 AnyPoint(FuzzedDataProvider& in) { return {AnyFloat(in), AnyFloat(in), AnyFloat(in)}; }

Matrix3 AnyTransform(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return TransMatrix(AnyPoint(in));
    return ScaleMatrix(AnyPoint(in)) * RotateZMatrix(AnyFloat(in)) * TransMatrix(AnyPoint(in));
}

bool Validates(const std::string& path, bool animation) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!vlo::ReadFileBytes(path, bytes, error)) return false;
    const auto findings = animation ? vlo::ReadVla(bytes).findings : vlo::ReadVlo(bytes).findings;
    bool valid = true;
    for (const auto& f : findings)
        if (f.severity == vlo::Finding::Severity::Error) {
            std::fprintf(stderr, "invalid output: %s\n", f.text.c_str());
            valid = false;
        }
    return valid;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static const std::string dir = [] {
        char pattern[] = "/tmp/vlo-fuzz-export-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    standin::Scene scene;
    std::vector<standin::Node*> nodes;
    const int numNodes = in.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < numNodes; ++i) {
        standin::Node* parent = nodes.empty() || in.ConsumeBool() ? nullptr : nodes[in.ConsumeIntegralInRange<std::size_t>(0, nodes.size() - 1)];
        auto& n = in.ConsumeBool() ? scene.CreateDummyNode("D" + std::to_string(i), Box3(), parent)
                                   : scene.CreateNode(in.ConsumeBool() ? "yardstick" : "N" + std::to_string(i), parent);
        n.SetLocalTM(AnyTransform(in));
        if (in.ConsumeBool()) {
            standin::TransformTrack t;
            for (int k = in.ConsumeIntegralInRange<int>(0, 3); k > 0; --k) {
                t.position.push_back({double(in.ConsumeIntegralInRange<int>(-500, 5000)), AnyPoint(in)});
                t.rotation.push_back({double(in.ConsumeIntegralInRange<int>(-500, 5000)),
                                      Quat(AnyFloat(in), AnyFloat(in), AnyFloat(in), AnyFloat(in))});
            }
            std::sort(t.position.begin(), t.position.end(), [](auto& a, auto& b) { return a.time < b.time; });
            std::sort(t.rotation.begin(), t.rotation.end(), [](auto& a, auto& b) { return a.time < b.time; });
            n.SetLocalTrack([t](TimeValue time) { return t.Evaluate(time); });
        }
        n.SetUserProps(in.ConsumeRandomLengthString(64));
        nodes.push_back(&n);
    }
    auto& mesh = scene.CreateMeshNode("Mesh", nodes.empty() || in.ConsumeBool() ? nullptr : nodes.back());
    mesh.SetLocalTM(AnyTransform(in));
    Mesh& m = standin::Scene::TriOf(mesh).mesh;
    const int numVerts = in.ConsumeIntegralInRange<int>(0, 12);
    for (int i = 0; i < numVerts; ++i) m.verts.push_back(AnyPoint(in));
    const bool mapped = in.ConsumeBool();
    if (mapped)
        for (int i = 0; i < numVerts; ++i) m.tVerts.push_back(AnyPoint(in));
    const int numFaces = in.ConsumeIntegralInRange<int>(0, 16);
    for (int f = 0; f < numFaces; ++f) {
        Face face;
        TVFace tv;
        for (int k = 0; k < 3; ++k) {
            face.v[k] = in.ConsumeIntegralInRange<DWORD>(0, DWORD(numVerts + 1));
            tv.t[k] = in.ConsumeIntegralInRange<DWORD>(0, DWORD(numVerts + 1));
        }
        face.smGroup = in.ConsumeIntegral<DWORD>();
        face.setMatID(in.ConsumeIntegral<MtlID>());
        m.faces.push_back(face);
        if (mapped) m.tvFace.push_back(tv);
    }
    for (int i = 0; i < numVerts; ++i)
        if (in.ConsumeBool()) m.setSpecifiedNormal(i, AnyPoint(in));
    if (in.ConsumeBool()) {
        auto& mtl = scene.Make<standin::StdMaterial>(in.ConsumeRandomLengthString(300));
        mtl.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>("d", in.ConsumeRandomLengthString(300)));
        mtl.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("b", in.ConsumeRandomLengthString(40)));
        mesh.SetMaterial(&mtl);
    }
    if (!nodes.empty() && in.ConsumeBool()) {
        auto& skin = scene.Make<standin::SkinModifier>();
        skin.skinned = &mesh;
        for (standin::Node* n : nodes)
            if (in.ConsumeBool()) skin.bones.push_back(n);
        skin.points.resize(std::size_t(numVerts));
        for (auto& p : skin.points)
            for (int j = in.ConsumeIntegralInRange<int>(0, 6); j > 0; --j)
                p.push_back({in.ConsumeIntegralInRange<int>(-1, int(skin.bones.size())), AnyFloat(in)});
        standin::AddModifiers(scene, mesh, {&skin});
    }
    scene.animRange = {in.ConsumeIntegralInRange<int>(-1000, 1000), in.ConsumeIntegralInRange<int>(-1000, 4000)};
    const auto mode = vlo::ExportMode(in.ConsumeIntegralInRange<int>(0, 2));
    const bool animation = mode == vlo::ExportMode::Animation;
    (animation && !nodes.empty() ? *nodes[0] : mesh).SetSelected(true);
    const auto origin = vlo::OriginMode(in.ConsumeIntegralInRange<int>(0, 3));
    const bool swap = in.ConsumeBool(), bump = in.ConsumeBool(), zero = in.ConsumeBool();

    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [&](standin::DialogDriver& d) {
        d.Click(ui::ControlOf(mode));
        d.Click(ui::ControlOf(origin));
        d.SetCheck(IDC_SWAP_YZ, swap);
        d.SetCheck(IDC_EXPORT_BUMP, bump);
        d.SetCheck(IDC_ZERO_ROOT_ROTATION, zero);
        d.Click(IDOK);
    });
    const std::string path = dir + "/out.VLO";
    const std::string written = animation ? dir + "/out.VLA" : path;
    const auto outcome = app::RunExport(scene, desktop, path);
    const bool exists = std::filesystem::exists(written);
    if (outcome.written != exists) __builtin_trap();                        // success means a file, and only then
    if (exists && !Validates(written, animation)) __builtin_trap();       // every file validates
    if (!outcome.written && outcome.messages.empty()) __builtin_trap();     // a failure always says why
    std::filesystem::remove(written);
    std::filesystem::remove(dir + "/out.TXT");
    return 0;
}
