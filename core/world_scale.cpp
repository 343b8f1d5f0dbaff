#include "core/world_scale.h"

#include <cmath>

#include "host/node_walk.h"

namespace vlo {

float ComputeWorldScale(Interface& host, ScaleMode mode, NoticeSink& notices) {
    if (mode == ScaleMode::Unit) return 1.0f;
    INode* yardstick = FindNodeByName(host.GetRootNode(), "yardstick");
    if (!yardstick) {
        notices.Report(Notice::Warning("Did not find an object named 'yardstick'"));
        return 1.0f;
    }
    const ObjectState os = yardstick->EvalWorldState(0, TRUE);
    if (!os.obj) {
        notices.Report(Notice::Warning("The object named 'yardstick' has no geometry to measure; using 1 unit = 1 metre"));
        return 1.0f;
    }
    Box3 box;
    os.obj->GetDeformBBox(0, box, nullptr, FALSE);
    const float height = box.pmax.z - box.pmin.z;
    // A flat, empty or non-finite yardstick would make every position infinite or undefined.
    if (box.IsEmpty() || !std::isfinite(height) || !(height > 0.0f)) {
        notices.Report(Notice::Warning("The object named 'yardstick' has no height; using 1 unit = 1 metre"));
        return 1.0f;
    }
    return height;
}

}  // namespace vlo
