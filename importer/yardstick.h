// The yardstick as the artist sees it: upright, in the scene's units.
#pragma once

#include <string>
#include <vector>

#include "standin/scene.h"

namespace importer {

// Bakes the rotation and scale of the object named "yardstick" (any case; the first in depth-first
// order) at time 0 into its mesh and leaves it world-aligned at the same place, so that its height
// along its own Z axis is the height the artist sees, whatever axes the authoring tool wrote the
// object in. Children keep their place. Warns when its longest side is not the upright one.
void PresentYardstickUpright(standin::Scene& scene, std::vector<std::string>& warnings);

}  // namespace importer
