// vloexport build: every asset of a manifest, in parallel, incrementally, each verified, with progress,
// a summary and an optional report; and vloexport ninja: the same assets as a Ninja file.
#pragma once

#include <ostream>
#include <string>

namespace tools {

struct BuildOptions {
    std::string manifest;
    int jobs = 0;         // 0: one per core
    bool force = false;   // rebuild every asset
    bool dryRun = false;  // resolve and check every asset; write nothing
    std::string report;   // a JSON report file, or ""
    std::string html;     // a folder for the build's page (index.html and the preview sheets), or ""
    bool terminal = false;  // stderr is a terminal: one progress line, rewritten
};

// Exit status 0 when every asset is exported or up to date, 1 when any failed (the others are still
// built), 2 when the manifest does not read.
int RunBuild(const BuildOptions& options, std::ostream& out, std::ostream& err);

// Writes a Ninja file with one edge per asset (its scene and the files the scene uses as inputs, both
// outputs, a vloexport command with the asset's options). vloexport names the program to run.
int RunNinja(const std::string& manifest, const std::string& output, const std::string& vloexport, std::ostream& out,
             std::ostream& err);

}  // namespace tools
