// In-process measures on the workload files that scripts/bench.sh makes (VLO_BENCH_WORKLOADS names
// their folder): assimp's bare import of each file beside our whole export of it, and the sampling of
// the animations alone; plus the per-item costs at two sizes that show whether anything grows faster
// than its input.
#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "anim/sampling.h"
#include "app/export_job.h"
#include "app/plugin_host.h"
#include "app/selection.h"
#include "core/notice.h"
#include "importer/importer.h"
#include "skin/bones.h"
#include "skin/figure_mode.h"
#include "standin/modifiers.h"
#include "standin/scene.h"
#include "standin/track.h"
#include "ui/controls.h"

namespace {

namespace fs = std::filesystem;

std::string Workloads() {
    const char* dir = std::getenv("VLO_BENCH_WORKLOADS");
    return dir ? dir : "build-bench/workloads";
}

bool IsAnimation(const std::string& name) { return name.find("x10k") != std::string::npos; }

void BareImport(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        Assimp::Importer reader;
        const aiScene* scene = reader.ReadFile(path, aiProcess_Triangulate);
        if (!scene) state.SkipWithError("import failed");
        benchmark::DoNotOptimize(scene);
    }
}

// The export vloexport runs for the file: a Shape model, or the animation of its one clip.
void Export(benchmark::State& state, const std::string& path) {
    const fs::path out = fs::temp_directory_path() / ("vlo_bench_" + fs::path(path).stem().string());
    for (auto _ : state) {
        app::ExportRequest request;
        request.input = path;
        request.output = out.string() + (IsAnimation(path) ? ".VLA" : ".VLO");
        request.mode = IsAnimation(path) ? vlo::ExportMode::Animation : vlo::ExportMode::Shape;
        request.import.needsClip = IsAnimation(path);
        request.createdAt = 0;
        const app::ExportResult r = app::ExportFile(request);
        if (r.status != app::kExitOk) state.SkipWithError("export failed");
    }
}

struct IgnoreNotices final : vlo::NoticeSink {
    void Report(const vlo::Notice&) override {}
};

// The skeleton of an animation file, imported once, and the request its export samples with.
struct Skeleton {
    standin::Scene scene;
    vlo::BoneList bones;
    std::vector<INode*> markers;
    vlo::FrameRange range;
    vlo::ExportSpace space{Point3(0, 0, 0), 1.0f, true};

    explicit Skeleton(const std::string& path, int frames = 0) {
        importer::ImportOptions options;
        options.needsClip = true;
        if (frames) options.range = std::pair{0, frames - 1};
        const importer::ImportResult imported = importer::ImportFile(path, scene, options);
        app::SelectionRequest select;
        select.mode = vlo::ExportMode::Animation;
        select.input = path;
        if (!imported.ok || !app::ChooseSelection(scene, select).problem.empty()) return;
        vlo::FigureMode figure;
        IgnoreNotices notices;
        bones = vlo::BuildBoneList(app::SelectedNode(scene), figure, notices);
        range.ticksPerFrame = scene.TicksPerFrame();
        range.startTime = scene.animRange.Start();
        range.startFrame = scene.animRange.Start() / range.ticksPerFrame;
        range.endFrame = scene.animRange.End() / range.ticksPerFrame;
    }
    vlo::Samples Sample() const {
        return vlo::SampleSkeleton({bones.nodes, markers, range, range.startTime, false, space});
    }
};

void Sampling(benchmark::State& state, const std::string& path) {
    const Skeleton skeleton(path);
    if (skeleton.bones.nodes.empty()) return state.SkipWithError("no skeleton");
    for (auto _ : state) benchmark::DoNotOptimize(skeleton.Sample());
    state.counters["frames"] = skeleton.range.Count();
    state.counters["bones"] = double(skeleton.bones.nodes.size());
}

// Sampling of the humanoid with four markers (dummies at the scene's top level, as the exporter
// collects them): each marker's place is taken around the root on every frame.
void SamplingWithMarkers(benchmark::State& state) {
    Skeleton skeleton(Workloads() + "/humanoid_60x10k.glb");
    if (skeleton.bones.nodes.empty()) return state.SkipWithError("no workload");
    for (int i = 0; i < 4; ++i) {
        auto& marker = skeleton.scene.CreateDummyNode("Marker" + std::to_string(i), Box3());
        marker.SetLocalTM(TransMatrix({float(i), 1, 0}));
        skeleton.markers.push_back(&marker);
    }
    for (auto _ : state) benchmark::DoNotOptimize(skeleton.Sample());
}

// Sampling cost per frame at state.range(0) frames of the chain.
void SamplingPerFrame(benchmark::State& state) {
    const Skeleton skeleton(Workloads() + "/chain_100x10k.glb", int(state.range(0)));
    if (skeleton.bones.nodes.empty()) return state.SkipWithError("no workload");
    for (auto _ : state) benchmark::DoNotOptimize(skeleton.Sample());
    state.SetItemsProcessed(std::int64_t(state.iterations()) * skeleton.range.Count());
}

// A Shape export of a stand-in model with state.range(0) root-level markers and a small box.
void ExportPerMarker(benchmark::State& state) {
    standin::Scene scene;
    auto& box = scene.CreateMeshNode("Box");
    Mesh& mesh = standin::Scene::TriOf(box).mesh;
    mesh.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    Face f;
    f.v[0] = 0, f.v[1] = 1, f.v[2] = 2, f.smGroup = 1;
    mesh.faces = {f};
    box.SetSelected(true);
    for (int i = 0; i < state.range(0); ++i)
        scene.CreateDummyNode("Marker" + std::to_string(i), Box3()).SetLocalTM(TransMatrix({float(i), 0, 0}));
    const std::string out = (fs::temp_directory_path() / "vlo_bench_markers.VLO").string();
    for (auto _ : state) {
        standin::Desktop desktop;
        desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) { d.Click(IDOK); });
        if (!app::RunExport(scene, desktop, out).written) state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * state.range(0));
}

// A skinned export of a chain of state.range(0) bones, each weighting one vertex.
void ExportPerBone(benchmark::State& state) {
    const int bones = int(state.range(0));
    standin::Scene scene;
    standin::Node* bone = &scene.CreateNode("Bone0");
    std::vector<standin::Node*> chain{bone};
    for (int i = 1; i < bones; ++i) {
        bone = &bone->AddChild("Bone" + std::to_string(i));
        bone->SetLocalTM(TransMatrix({0, 0, 1}));
        chain.push_back(bone);
    }
    auto& body = scene.CreateMeshNode("Body");
    Mesh& mesh = standin::Scene::TriOf(body).mesh;
    for (int i = 0; i < bones; ++i) {
        mesh.verts.push_back({0, 0, float(i)});
        mesh.verts.push_back({1, 0, float(i)});
        mesh.verts.push_back({0, 1, float(i)});
        Face f;
        f.v[0] = DWORD(3 * i), f.v[1] = DWORD(3 * i + 1), f.v[2] = DWORD(3 * i + 2), f.smGroup = 1;
        mesh.faces.push_back(f);
    }
    auto& skin = scene.Make<standin::SkinModifier>();
    skin.skinned = &body;
    skin.bones.assign(chain.begin(), chain.end());
    for (int i = 0; i < bones; ++i)
        for (int c = 0; c < 3; ++c) skin.points.push_back({{i, 1.0f}});
    standin::AddModifiers(scene, body, {&skin});
    body.SetSelected(true);
    const std::string out = (fs::temp_directory_path() / "vlo_bench_bones.VLO").string();
    for (auto _ : state) {
        standin::Desktop desktop;
        desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
            d.Click(IDC_MODE_HIERARCHY);
            d.Click(IDOK);
        });
        if (!app::RunExport(scene, desktop, out).written) state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * bones);
}

const bool registered = [] {
    if (!fs::is_directory(Workloads())) return false;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(Workloads()))
        if (entry.path().extension() == ".fbx" || entry.path().extension() == ".glb") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const std::string name = file.filename().string(), path = file.string();
        benchmark::RegisterBenchmark(("BM_BareImport/" + name).c_str(), BareImport, path)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Export/" + name).c_str(), Export, path)->Unit(benchmark::kMillisecond);
        if (IsAnimation(name))
            benchmark::RegisterBenchmark(("BM_Sampling/" + name).c_str(), Sampling, path)->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

BENCHMARK(SamplingPerFrame)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(SamplingWithMarkers)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportPerMarker)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportPerBone)->Arg(25)->Arg(255)->Unit(benchmark::kMillisecond);
