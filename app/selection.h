// Choosing what to export in an imported scene, as a user selects it in the host before exporting.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/export_settings.h"
#include "host/character.h"
#include "standin/scene.h"

namespace app {

struct SelectionRequest {
    std::string select;  // an object's name; a group or dummy attaches every mesh below it
    bool all = false;    // attach every mesh of the scene (but the yardstick)
    vlo::ExportMode mode = vlo::ExportMode::Shape;
    std::string sceneName;  // names the attached object of --all
    std::string input;      // names the file in messages
};

struct Selection {
    std::string problem;    // why nothing could be selected; "" on success
    bool needsChoice = false;  // the problem is that several objects could be meant
    std::vector<std::string> warnings;
    // The node the user named; the selected node is another when meshes below it were attached.
    standin::Node* named = nullptr;
    // The nodes whose meshes a model takes: the selected node, or those attached into it. None for
    // an animation.
    std::vector<standin::Node*> meshSources{};
};

// Selects exactly one node (attaching several into a new one where asked). A name may be a path from
// the scene's top ("Group/Cube1"); a plain name that several objects share takes the first in
// depth-first order, with a warning naming the others by path. Without a name: the one mesh of the
// scene, or for an animation the one skeleton root.
Selection ChooseSelection(standin::Scene& scene, const SelectionRequest& request);

// A node's path from the scene's top: "Group/Cube1".
std::string PathOf(const standin::Node& node);

// The selected node, or null.
standin::Node* SelectedNode(standin::Scene& scene);

// The Skin modifier's interface on node's stack, or null.
ISkin* SkinOf(standin::Node& node);

// The top-level nodes that skinned meshes' bones hang from.
std::set<standin::Node*> SkeletonRoots(standin::Scene& scene);

bool IsYardstick(standin::Node& node);

// The height along its own Z of the object named "yardstick" (any case), as the export measures it;
// nullopt without one, or for one without height.
std::optional<float> YardstickHeight(standin::Scene& scene);

}  // namespace app
