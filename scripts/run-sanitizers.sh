#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan), runs the whole
# test suite, then the programs over the bundled sample in every mode. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLO_SANITIZE=ON >/dev/null
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp
ctest --test-dir build-asan --output-on-failure -j2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for sample in samples/*.gltf tests/data/*.fbx tests/data/artist/*.{fbx,glb,dae,obj}; do
  for mode in shape hierarchy animation; do
    # Models attach every mesh; an animation samples the scene's skeleton (--all is for models).
    ext=VLO; all=--all; [[ $mode == animation ]] && ext=VLA all=
    set +e
    build-asan/vloexport "$sample" $all -o "$out/sample.$ext" --mode "$mode" -q 2>"$out/err"
    status=$?
    set -e
    # 0 written; 1 refused; 2 not usable that way; 3 needs a choice. Anything else (a crash, a
    # sanitizer abort) fails.
    if [[ $status -gt 3 ]] || grep -q -E 'Sanitizer|runtime error' "$out/err"; then
      echo "vloexport $sample --mode $mode: status $status"; cat "$out/err"; exit 1
    fi
    if [[ $status -eq 0 ]]; then build-asan/vloinfo "$out/sample.$ext" >/dev/null; fi
    echo "vloexport $sample --mode $mode: status $status"
  done
done
