#!/usr/bin/env bash
# Measures the performance targets and prints one table (docs/performance.md explains it).
#   scripts/bench.sh [REPETITIONS]   (default 7)
# Builds Release with the benchmarks into build-bench, makes the workloads once into
# build-bench/workloads (Blender for the FBX files, bench/workloads/make_gltf_workloads.py for the
# glTF ones; delete the folder to make them again), then runs bench/bench_report.py.
set -euo pipefail
cd "$(dirname "$0")/.."
reps=${1:-7}
scripts/install-deps.sh --bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVLO_BUILD_BENCH=ON -DVLO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench
work=build-bench/workloads
if [[ ! -f $work/humanoid_60x10k.glb ]]; then
  mkdir -p "$work"
  echo "== making the workloads (about a minute)"
  blender --background --factory-startup --python bench/workloads/make_blender_workloads.py -- "$work" >"$work/blender.log" 2>&1 ||
    { tail -20 "$work/blender.log"; exit 1; }
  python3 bench/workloads/make_gltf_workloads.py "$work"
fi
python3 bench/workloads/make_manifest.py . "$work/build64" >/dev/null
echo "== $(nproc) cores, $(date -u +%Y-%m-%d), $reps repetitions, medians"
python3 bench/bench_report.py build-bench "$work" --reps "$reps"
