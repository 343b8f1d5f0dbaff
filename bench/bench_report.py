#!/usr/bin/env python3
"""Runs the performance targets side by side and prints one table: each target, what was measured,
the ratio or figure, and whether it is met.

  bench_report.py BUILD_DIR WORKLOADS_DIR [--reps N]

Process-level rows run our export and its references (assimp's bare import of the same file, and
`assimp export` to GLB for the model) as separate processes, interleaved in a shuffled order for
each repetition, and compare medians of wall time and of peak resident memory. In-process rows come
from vlo_bench (Google Benchmark, repetitions interleaved at random), compared by their medians."""
import argparse
import json
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time


def run(command):
    """Wall seconds and peak RSS (KiB) of one process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    error = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), error))
    return seconds, usage.ru_maxrss


def processes(build, workloads, reps, out):
    """{workload: {tool: (median seconds, median KiB)}} for every workload file."""
    results = {}
    for name in sorted(os.listdir(workloads)):
        if not name.endswith((".fbx", ".glb")) or not os.path.isfile(os.path.join(workloads, name)):
            continue
        path = os.path.join(workloads, name)
        animation = "x10k" in name
        commands = {
            "import": [os.path.join(build, "bench", "vlo_import_only"), path],
            "export": [os.path.join(build, "vloexport"), path, "-q", "--created-at", "0", "-o",
                       os.path.join(out, "out." + ("VLA" if animation else "VLO"))]
                      + (["--mode", "animation"] if animation else []),
        }
        if not animation:
            commands["assimp export"] = ["assimp", "export", path, os.path.join(out, "out.glb")]
        samples = {tool: [] for tool in commands}
        for _ in range(reps):
            order = list(commands)
            random.shuffle(order)
            for tool in order:
                samples[tool].append(run(commands[tool]))
        results[name] = {tool: (statistics.median(s for s, _ in runs), statistics.median(m for _, m in runs))
                         for tool, runs in samples.items()}
    return results


def in_process(build, workloads, reps):
    """{benchmark name: (median real time in ms, median items per second or None)}."""
    with tempfile.NamedTemporaryFile(suffix=".json") as report:
        subprocess.run([os.path.join(build, "bench", "vlo_bench"), "--benchmark_repetitions=%d" % reps,
                        "--benchmark_enable_random_interleaving=true", "--benchmark_report_aggregates_only=true",
                        "--benchmark_format=json", "--benchmark_out=" + report.name, "--benchmark_out_format=json"],
                       check=True, stdout=subprocess.DEVNULL, env=dict(os.environ, VLO_BENCH_WORKLOADS=workloads))
        data = json.load(open(report.name))
    medians = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        medians[b["run_name"]] = (b["real_time"] * scale, b.get("items_per_second"))
    return medians


def builds(build, workloads, reps):
    """Median seconds of a 64-asset manifest built one asset at a time (ninja -j1: one vloexport process
    after the other), built with vloexport build -j2, and found up to date."""
    folder = os.path.join(workloads, "build64")
    manifest = os.path.join(folder, "art.toml")
    vloexport = os.path.join(build, "vloexport")
    ninja_file = os.path.join(folder, "build.ninja")
    subprocess.run([vloexport, "ninja", manifest, "-o", ninja_file, "--vloexport", vloexport], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    outputs = os.path.join(folder, "build")

    def clean():
        subprocess.run(["rm", "-rf", outputs, os.path.join(folder, ".art.toml.cache"), os.path.join(folder, ".ninja_log")])
        os.makedirs(outputs)

    times = {"one by one": [], "build -j2": [], "up to date": []}
    for _ in range(reps):
        for tool in random.sample(["one by one", "build -j2"], 2):
            clean()
            command = ["ninja", "-C", folder, "-f", "build.ninja", "-j1"] if tool == "one by one" else [vloexport, "build", manifest, "-j2"]
            times[tool].append(run(command)[0])
            if tool == "build -j2":
                times["up to date"].append(run([vloexport, "build", manifest, "-j2"])[0])
    return {tool: statistics.median(t) for tool, t in times.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("workloads")
    parser.add_argument("--reps", type=int, default=7)
    args = parser.parse_args()
    random.seed(1)
    rows = []

    def row(target, measured, value, limit, unit="x"):
        met = value <= limit
        rows.append((target, measured, ("%.2f%s" % (value, unit)) if unit == "x" else ("%.1f %s" % (value, unit)),
                     ("%.2f%s" % (limit, unit)) if unit == "x" else ("%g %s" % (limit, unit)),
                     "met" if met else "gap %.2fx" % (value / limit)))

    with tempfile.TemporaryDirectory() as out:
        proc = processes(args.build, args.workloads, args.reps, out)
    built = builds(args.build, args.workloads, args.reps)
    bench = in_process(args.build, args.workloads, args.reps)

    for name, r in proc.items():
        export, imported = r["export"], r["import"]
        kind = "animation" if "x10k" in name else "Shape export"
        row("%s %s / bare import" % (kind, name), "%.3f s / %.3f s" % (export[0], imported[0]),
            export[0] / imported[0], 2.0 if "x10k" in name else 1.5)
        if "assimp export" in r:
            row("Shape export %s / assimp export to GLB" % name, "%.3f s / %.3f s" % (export[0], r["assimp export"][0]),
                export[0] / r["assimp export"][0], 0.6)
        row("peak memory %s / bare import" % name, "%.1f MB / %.1f MB" % (export[1] / 1024, imported[1] / 1024),
            export[1] / imported[1], 1.5)
    for name in sorted(bench):
        if name.startswith("BM_Sampling/"):
            row("sampling alone %s" % name.split("/", 1)[1], "", bench[name][0], 30, "ms")
    weld, remap = bench.get("BM_WeldHashIndex/245"), bench.get("BM_WeldMeshoptRemap/245")
    if weld and remap:
        row("weld / meshoptimizer remap (357,216 corners)", "%.2f ms / %.2f ms" % (weld[0], remap[0]),
            weld[0] / remap[0], 1.1)

    def per_item(small, large, what):
        a, b = bench.get(small), bench.get(large)
        if a and b and a[1] and b[1]:
            row("linear: cost per %s, %s vs %s" % (what, large.split("/")[-1], small.split("/")[-1]),
                "%.0f vs %.0f per s" % (b[1], a[1]), a[1] / b[1], 1.5)

    per_item("BM_WeldHashIndex/71", "BM_WeldHashIndex/224", "corner (5k vs 50k vertices)")
    per_item("SamplingPerFrame/100", "SamplingPerFrame/10000", "frame")
    per_item("ExportPerMarker/100", "ExportPerMarker/1000", "marker")
    per_item("ExportPerBone/25", "ExportPerBone/255", "bone")

    row("build of 64 assets: one by one / vloexport build -j2", "%.3f s / %.3f s" % (built["one by one"], built["build -j2"]),
        built["build -j2"] / built["one by one"], 1 / 1.7)
    row("build of 64 assets, all up to date", "", built["up to date"], 0.5, "s")

    widths = [max(len(str(r[i])) for r in rows + [("target", "measured", "value", "limit", "status")])
              for i in range(5)]
    line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
    print(line(("target", "measured", "value", "limit", "status")))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))


if __name__ == "__main__":
    main()
