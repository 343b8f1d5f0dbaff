// The weld against meshoptimizer's vertex remap on the same corner stream (the reference for an
// exact-duplicate index), and the linear search it replaces.
#include <benchmark/benchmark.h>
#include <meshoptimizer.h>

#include <cmath>
#include <vector>

#include "geometry/weld.h"

namespace {

// The corner stream of a smooth, mapped grid of n x n vertices: 6 corners per quad, each vertex
// shared by up to six triangles.
std::vector<vlo::ModelVertex> GridCorners(int n) {
    std::vector<vlo::ModelVertex> grid(std::size_t(n) * std::size_t(n));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            vlo::ModelVertex& v = grid[std::size_t(y * n + x)];
            const float u = float(x) / float(n - 1), w = float(y) / float(n - 1);
            v.position = {u * 10, w * 10, std::sin(u * 6) * std::cos(w * 6)};
            v.normal = {0, 0, 1};
            v.u = u;
            v.v = w;
        }
    std::vector<vlo::ModelVertex> corners;
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x)
            for (int k : {0, 1, n + 1, 0, n + 1, n}) corners.push_back(grid[std::size_t(y * n + x + k)]);
    return corners;
}

// The weld as the exporter runs it: the whole corner stream in one batch.
void BM_WeldHashIndex(benchmark::State& state) {
    const auto corners = GridCorners(int(state.range(0)));
    std::vector<std::uint32_t> indices(corners.size());
    for (auto _ : state) {
        std::vector<vlo::ModelVertex> out;
        vlo::VertexWelder welder(out, corners.size());
        welder.FindOrAdd(corners.data(), corners.size(), indices.data());
        benchmark::DoNotOptimize(indices.data());
    }
    state.counters["corners"] = double(corners.size());
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(corners.size()));
}

void BM_WeldMeshoptRemap(benchmark::State& state) {
    const auto corners = GridCorners(int(state.range(0)));
    std::vector<unsigned> remap(corners.size());
    for (auto _ : state) {
        const std::size_t unique = meshopt_generateVertexRemap(remap.data(), nullptr, corners.size(), corners.data(),
                                                               corners.size(), sizeof(vlo::ModelVertex));
        benchmark::DoNotOptimize(unique);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(corners.size()));
}

void BM_WeldLinearSearch(benchmark::State& state) {
    const auto corners = GridCorners(int(state.range(0)));
    for (auto _ : state) {
        std::vector<vlo::ModelVertex> out;
        std::uint32_t sum = 0;
        for (const auto& c : corners) sum += vlo::FindOrAddVertexLinear(out, c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(corners.size()));
}

}  // namespace

// 245 x 245 = 60,025 vertices, 357,216 corners; 71 x 71 and 224 x 224 (about 5,000 and 50,000
// vertices) give the cost per corner at two sizes.
BENCHMARK(BM_WeldHashIndex)->Arg(245)->Arg(71)->Arg(224)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WeldMeshoptRemap)->Arg(245)->Unit(benchmark::kMillisecond);
// The linear search the weld replaces, on a small grid only (it is quadratic).
BENCHMARK(BM_WeldLinearSearch)->Arg(40)->Unit(benchmark::kMicrosecond);
