#!/usr/bin/env bash
# The main job: installs what is missing, builds, exports the bundled flag-pin sample and checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVLO_BUILD_TESTS=OFF
cmake --build build-release
mkdir -p out
build-release/vloexport samples/flagpin.gltf -o out/flagpin.VLO --origin world
build-release/vloinfo out/flagpin.VLO
