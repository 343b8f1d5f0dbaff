// A whole Shape export of a 60,025-vertex model from an OBJ file, beside assimp's import of the same
// file alone, so the exporter's cost reads as a ratio of the import.
#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/plugin_host.h"
#include "ui/controls.h"
#include "importer/importer.h"

namespace {

namespace fs = std::filesystem;

// A smooth, mapped height field of n x n vertices with normals, written once per process.
const std::string& ModelFile() {
    static const std::string path = [] {
        const int n = 245;
        const std::string file = (fs::temp_directory_path() / "vlo_bench_60k.obj").string();
        std::ofstream out(file);
        out << "o Terrain\n";
        char line[128];
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const float u = float(x) / float(n - 1), w = float(y) / float(n - 1);
                std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn 0 1 0\n", u * 100,
                              std::sin(u * 6) * std::cos(w * 6), w * 100, u, w);
                out << line;
            }
        for (int y = 0; y + 1 < n; ++y)
            for (int x = 0; x + 1 < n; ++x) {
                const int a = y * n + x + 1, b = a + 1, c = a + n + 1, d = a + n;
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, d, d, d, c, c, c, b, b, b);
                out << line;
            }
        return file;
    }();
    return path;
}

void BM_AssimpImportOnly(benchmark::State& state) {
    for (auto _ : state) {
        Assimp::Importer reader;
        const aiScene* scene = reader.ReadFile(ModelFile(), aiProcess_Triangulate);
        benchmark::DoNotOptimize(scene);
        if (!scene) state.SkipWithError("import failed");
    }
}

void BM_ImportAndShapeExport(benchmark::State& state) {
    const std::string out = (fs::temp_directory_path() / "vlo_bench_60k.vlo").string();
    std::size_t vertices = 0;
    for (auto _ : state) {
        standin::Scene scene;
        if (!importer::ImportFile(ModelFile(), scene).ok) state.SkipWithError("import failed");
        scene.FindByName("Terrain")->SetSelected(true);
        standin::Desktop desktop;
        desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
            d.Click(IDC_MODE_SHAPE);
            d.Click(IDOK);
        });
        const auto outcome = app::RunExport(scene, desktop, out);
        if (!outcome.written) state.SkipWithError("export failed");
        vertices = outcome.exporter->Result().model->vertices.size();
    }
    state.counters["vertices"] = double(vertices);
}

}  // namespace

BENCHMARK(BM_AssimpImportOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportAndShapeExport)->Unit(benchmark::kMillisecond);
