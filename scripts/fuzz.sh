#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and fuzzes each on a copy of the committed
# seed corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   each target for SECONDS (default 60)
#   scripts/fuzz.sh --ci                    a fixed seed and a fixed number of runs per target, so the
#                                           same code always gives the same result (what CI runs)
set -euo pipefail
cd "$(dirname "$0")/.."
ci=false
if [[ "${1:-}" == "--ci" ]]; then ci=true; shift; fi
seconds=${1:-60}
[[ $# -gt 0 ]] && shift
targets=("$@")
((${#targets[@]})) || targets=(vlo_reader vla_reader keyframes importer exporter fbx_reader)
declare -A ci_runs=([vlo_reader]=200000 [vla_reader]=300000 [keyframes]=300000 [importer]=300 [exporter]=3000 [fbx_reader]=200000)
scripts/install-deps.sh --fuzz
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLO_FUZZ=ON -DVLO_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp UBSAN_OPTIONS=halt_on_error=1
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t
  rm -rf "$work" build-fuzz/artifacts/$t-*
  mkdir -p "$work" build-fuzz/artifacts
  cp fuzz/corpus/$t/* "$work"/
  if $ci; then budget=(-seed=1 -runs="${ci_runs[$t]}"); else budget=(-max_total_time="$seconds"); fi
  echo "== fuzz_$t ${budget[*]}"
  set +e
  build-fuzz/fuzz/fuzz_$t "$work" "${budget[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix=build-fuzz/artifacts/$t- -print_final_stats=1 >build-fuzz/fuzz_$t.log 2>&1
  status=$?
  set -e
  grep -E '^#[0-9]+.*(INITED|DONE)|stat::(number_of_executed_units|peak_rss_mb)' build-fuzz/fuzz_$t.log || true
  if [[ $status -ne 0 ]] || ls build-fuzz/artifacts/$t-* >/dev/null 2>&1; then
    grep -E 'ERROR|SUMMARY|runtime error|invalid output' build-fuzz/fuzz_$t.log | head -20
    echo "fuzz_$t found a failure; the input is in build-fuzz/artifacts"
    exit 1
  fi
done
