// Verification of a written export against the scene it came from: the file is read back with the
// reader and compared record for record with what the exporter made, then with the scene itself,
// recomputed here from the host's mesh, skin and transforms the way the file's rules describe them.
#pragma once

#include <string>
#include <vector>

#include "core/export_settings.h"
#include "format/vla_animation.h"
#include "format/vlo_model.h"
#include "standin/scene.h"

namespace app {

struct Tolerances {
    double relativePosition = 1e-4;  // of the model's size (its largest extent)
    double direction = 1e-4;         // normals, as unit vectors
    double uv = 1e-4;
    double weight = 1e-4;
    double rotation = 1e-4;          // radians
    double rootPosition = 1e-4;      // metres
};

struct Verification {
    bool checked = false;
    bool readsBack = false;  // the file read back valid, with the records the exporter made
    // Models: every source corner against its polygon's vertex in the file.
    std::size_t corners = 0, triangles = 0;
    std::size_t missingTriangles = 0;  // source triangles without their polygon (or with another texture)
    double modelSize = 0;              // the largest extent of the vertices, in file units
    double worstPosition = 0, worstNormal = 0, worstUv = 0;
    // Skins: per weighted vertex, the file's weights against the source's real weights.
    std::size_t weightedVertices = 0, unaccountedWeights = 0;  // vertices whose weights or bones differ
    double worstWeight = 0;
    // Animations: every bone below the root on every frame, and the root's travel.
    std::size_t samples = 0;
    double worstRotation = 0, worstRootPosition = 0;
    std::vector<std::string> failures;  // what lies past the tolerances, in words
    bool Passed() const { return checked && readsBack && failures.empty(); }
};

// file: the data file written (or held); made: what the exporter made. node: the exported object
// (or skeleton root) in scene; settings: the export's choices.
Verification VerifyModel(const std::string& file, const vlo::VloModel& made, standin::Node& node,
                         const vlo::ExportSettings& settings, const Tolerances& tolerances = {});
Verification VerifyAnimation(const std::string& file, const vlo::VlaAnimation& made, standin::Node& root,
                             const vlo::ExportSettings& settings, const Tolerances& tolerances = {});

}  // namespace app
