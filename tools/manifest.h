// Build manifests: a TOML file listing a game's assets, each an export with vloexport's options as
// keys (the long flags without their dashes), over [defaults] that every asset starts from.
//
//     [defaults]
//     origin = "world"
//     [[asset]]
//     input = "art/flagpin.gltf"      # paths relative to the manifest's folder
//     output = "build/flagpin.VLO"
//     select = "FlagPin"
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/export_flags.h"

namespace tools {

struct ManifestAsset {
    std::string name;   // its output, as the manifest gives it: names the asset in messages
    ExportFlags flags;  // paths made absolute; defaults applied
    int line = 0;       // where the asset's table starts
};

struct Manifest {
    std::string path;    // absolute
    std::string folder;  // the folder paths are relative to
    std::vector<ManifestAsset> assets;
};

// Reads and checks a manifest: every key known and of the right type, every value valid, an input
// on every asset, no two assets writing the same file. nullopt with the problems ("FILE:LINE: ...",
// one per line) when it does not read.
std::optional<Manifest> ReadManifest(const std::string& path, std::string& problems);

// An asset's options as manifest keys with their values (the defaults left out), for reports and
// cache keys: two assets with equal options give equal JSON.
nlohmann::json OptionsJson(const ExportFlags& flags);

// The vloexport arguments (after the input) that make the same export.
std::vector<std::string> CommandLine(const ExportFlags& flags);

}  // namespace tools
