#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for SECONDS (default 60) on a
# copy of the committed seed corpus. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(vlo_reader vla_reader keyframes importer exporter)
command -v clang++ >/dev/null || { sudo=""; [[ $(id -u) -eq 0 ]] || sudo=sudo; $sudo apt-get install -y -qq clang libclang-rt-14-dev; }
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLO_FUZZ=ON -DVLO_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work" build-fuzz/artifacts
  cp -n fuzz/corpus/$t/* "$work"/ 2>/dev/null || true
  echo "== fuzz_$t for ${seconds}s"
  LSAN_OPTIONS=suppressions=fuzz/lsan.supp UBSAN_OPTIONS=halt_on_error=1 build-fuzz/fuzz/fuzz_$t "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -artifact_prefix=build-fuzz/artifacts/$t- -print_final_stats=1 2>&1 | grep -E '^(#[0-9]+.*(DONE|INITED)|stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|ERROR|Done)' || true
  if ls build-fuzz/artifacts/$t-* >/dev/null 2>&1; then echo "fuzz_$t found a failure: build-fuzz/artifacts"; exit 1; fi
done
