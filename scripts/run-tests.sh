#!/usr/bin/env bash
# All tests: installs what is missing, builds with warnings as errors, runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-Werror
cmake --build build
ctest --test-dir build --output-on-failure -j2
