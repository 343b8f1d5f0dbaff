// The build's page: a static index.html with a preview sheet per asset, its counts, diagnostics and
// verification figures; sortable and filterable in the browser without a server.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/records.h"

namespace tools {

struct PageAsset {
    std::string name;      // as the manifest names it
    std::string output;    // the written data file
    std::string input;     // the scene it came from (its folder holds the textures)
    nlohmann::json report; // the asset's report entry
    // For an animation: the bones of its skeleton as its export made them (lengths in metres), when
    // the export ran in this build; and a skinned model of the same scene and bones, when the build
    // has one. Either lets the sheet pose it.
    std::vector<vlo::BoneRecord> skeleton;
    std::string skinnedModel;
};

// Why the build page may not be written into dir, "" when it may: dir is no folder, or its
// index.html is a page that is not an earlier build page (a site of the user's).
std::string BuildPageProblem(const std::string& dir);

// Writes DIR/index.html and DIR/sheets/*.png (the sheets drawn on jobs threads). False with the
// reason when the folder or the page cannot be written; a sheet that cannot be drawn leaves its
// row without a picture.
bool WriteBuildPage(const std::string& dir, const std::string& title, const std::vector<PageAsset>& assets,
                    const nlohmann::json& summary, int jobs, std::string& error);

}  // namespace tools
