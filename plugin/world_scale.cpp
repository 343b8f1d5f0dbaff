// World scale: scene units per metre, measured from an object named "yardstick".
#include <cmath>
#include <strings.h>

#include <vector>

#include "plugin/exporter.h"

void VloExporter::ComputeWorldScale() {
    worldScale = 1.0f;
    if (scaleMode == IDC_SCALE_UNIT) return;
    INode* yardstick = FindNodeByName(pxInterface->GetRootNode(), "yardstick");
    if (!yardstick) {
        ShowWarning("Did not find an object named 'yardstick'");
        return;
    }
    const ObjectState os = yardstick->EvalWorldState(0, TRUE);
    if (!os.obj) {
        ShowWarning("The object named 'yardstick' has no geometry to measure; using 1 unit = 1 metre");
        return;
    }
    Box3 box;
    os.obj->GetDeformBBox(0, box, nullptr, FALSE);
    const float height = box.pmax.z - box.pmin.z;
    // A flat, empty or non-finite yardstick would make every position infinite or undefined.
    if (box.IsEmpty() || !std::isfinite(height) || !(height > 0.0f)) {
        ShowWarning("The object named 'yardstick' has no height; using 1 unit = 1 metre");
        return;
    }
    worldScale = height;
}

INode* VloExporter::FindNodeByName(INode* node, const char* name) {
    // Depth-first pre-order from node itself, children in index order; iterative for any depth.
    std::vector<INode*> stack;
    if (node) stack.push_back(node);
    while (!stack.empty()) {
        INode* n = stack.back();
        stack.pop_back();
        if (const char* own = n->GetName(); own && strcasecmp(own, name) == 0) return n;
        for (int i = n->NumberOfChildren() - 1; i >= 0; --i)
            if (INode* child = n->GetChildNode(i)) stack.push_back(child);
    }
    return nullptr;
}
