#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need (root, or sudo).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libassimp-dev libcli11-dev nlohmann-json3-dev libtoml11-dev libstb-dev chromium blender python3-numpy libgtest-dev libgmock-dev libssl-dev)
for option in "$@"; do
  case "$option" in
    --bench) packages+=(libbenchmark-dev libmeshoptimizer-dev assimp-utils blender python3) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
  esac
done
missing=()
for p in "${packages[@]}"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p"); done
if ((${#missing[@]})); then
  sudo=""; [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
