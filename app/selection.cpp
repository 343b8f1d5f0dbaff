#include "app/selection.h"

#include <strings.h>

#include "host/node_walk.h"
#include "standin/attach.h"

namespace app {
namespace {

standin::Node* TopLevel(standin::Scene& scene, standin::Node* n) {
    return static_cast<standin::Node*>(TopLevelAncestor(n, &scene.Root()));
}

std::vector<standin::Node*> MeshesBesidesYardstick(standin::Node& below) {
    std::vector<standin::Node*> meshes;
    for (standin::Node* n : standin::MeshNodesBelow(below))
        if (!IsYardstick(*n)) meshes.push_back(n);
    return meshes;
}

Selection Choice(std::string problem) { return {std::move(problem), true, {}}; }
Selection Problem(std::string problem) { return {std::move(problem), false, {}}; }

// The node a --select names: a path from the top, or a name (the first in depth-first order).
standin::Node* Named(standin::Scene& scene, const std::string& name, std::vector<std::string>& warnings) {
    if (name.find('/') != std::string::npos) {
        standin::Node* node = &scene.Root();
        std::size_t from = 0;
        while (node && from <= name.size()) {
            const std::size_t slash = std::min(name.find('/', from), name.size());
            const std::string part = name.substr(from, slash - from);
            standin::Node* next = nullptr;
            for (standin::Node* child : node->Children())
                if (child->Name() == part) {
                    next = child;
                    break;
                }
            node = next;
            from = slash + 1;
        }
        if (node) return node;
    }
    std::vector<standin::Node*> matches;
    for (standin::Node* n : scene.AllNodes())
        if (n->Name() == name) matches.push_back(n);
    if (matches.size() > 1) {
        std::string others;
        for (std::size_t i = 1; i < matches.size(); ++i) others += (i > 1 ? ", " : "") + PathOf(*matches[i]);
        warnings.push_back(std::to_string(matches.size()) + " objects are named '" + name + "'; " + PathOf(*matches[0]) +
                           " was taken (choose another by its path: " + others + ")");
    }
    return matches.empty() ? nullptr : matches[0];
}

// Names an artist may have meant by a --select that names no node: those that begin with it, in any
// case (Blender writes an OBJ object as "Object_Mesh" and numbers copies "Cube.001"). At most
// three, by path, in depth-first order.
std::string NearNames(standin::Scene& scene, const std::string& name) {
    std::vector<std::string> near;
    for (standin::Node* n : scene.AllNodes())
        if (n->Parent() && strncasecmp(n->Name().c_str(), name.c_str(), name.size()) == 0) near.push_back(PathOf(*n));
    if (near.size() > 3) {
        const std::size_t more = near.size() - 3;
        near.resize(3);
        near.push_back(std::to_string(more) + " more");
    }
    std::string list;
    for (std::size_t i = 0; i < near.size(); ++i) list += (i == 0 ? "" : i + 1 < near.size() ? ", " : " or ") + near[i];
    return list;
}

Selection ChooseSkeleton(standin::Scene& scene, const SelectionRequest& r) {
    // The skeleton to sample: the one skeleton root (of skins, bipeds or animated nodes).
    std::set<standin::Node*> roots = SkeletonRoots(scene);
    for (standin::Node* n : scene.Root().Children())
        if (n->GetTMController() && n->GetTMController()->ClassID() == BIPBODY_CONTROL_CLASS_ID) roots.insert(n);
    if (roots.empty())
        for (standin::Node* n : scene.AllNodes())
            if (n->Track()) roots.insert(TopLevel(scene, n));
    if (roots.size() == 1) {
        (*roots.begin())->SetSelected(true);
        return {};
    }
    if (roots.empty()) return Problem("no skeleton or animated object in " + r.input + " to export as an animation");
    std::string names;
    for (standin::Node* n : scene.AllNodes())
        if (roots.count(n)) names += "\n  " + n->Name();
    return Choice(r.input + " holds " + std::to_string(roots.size()) + " skeleton roots; choose one with --select NAME:" +
                  names);
}

}  // namespace

bool IsYardstick(standin::Node& n) { return strcasecmp(n.Name().c_str(), "yardstick") == 0; }

ISkin* SkinOf(standin::Node& node) {
    Modifier* skin = FindModifier(&node, SKIN_CLASSID);
    return skin ? static_cast<ISkin*>(skin->GetInterface(I_SKIN)) : nullptr;
}

std::set<standin::Node*> SkeletonRoots(standin::Scene& scene) {
    std::set<standin::Node*> roots;
    for (standin::Node* n : scene.AllNodes())
        if (ISkin* skin = SkinOf(*n))
            for (int i = 0; i < skin->GetNumBones(); ++i)
                if (standin::Node* top = TopLevel(scene, static_cast<standin::Node*>(skin->GetBone(i)))) roots.insert(top);
    return roots;
}

std::optional<float> YardstickHeight(standin::Scene& scene) {
    INode* yardstick = FindNodeByName(&scene.Root(), "yardstick");
    Object* obj = yardstick ? yardstick->EvalWorldState(0).obj : nullptr;
    if (!obj) return std::nullopt;
    Box3 box;
    obj->GetDeformBBox(0, box);
    const float height = box.pmax.z - box.pmin.z;
    if (box.IsEmpty() || !(height > 0.0f)) return std::nullopt;
    return height;
}

standin::Node* SelectedNode(standin::Scene& scene) {
    for (standin::Node* n : scene.AllNodes())
        if (n->Selected()) return n;
    return nullptr;
}

std::string PathOf(const standin::Node& node) {
    std::string path = node.Name();
    // The scene's root, the one node without a parent, is no part of a path.
    for (const standin::Node* up = node.Parent(); up && up->Parent(); up = up->Parent()) path = up->Name() + "/" + path;
    return path;
}

namespace {

// A skinned model moves every vertex with its bones, so meshes without a skin cannot be attached into
// one beside skinned meshes: they are named before anything is attached (each of their vertices would
// otherwise fail on its own). "" when every mesh is skinned, or none is (the exporter then says that
// the object has no skin).
std::string UnskinnedAmongSkinned(const std::vector<standin::Node*>& meshes) {
    std::string unskinned;
    std::size_t count = 0;
    for (standin::Node* n : meshes)
        if (!SkinOf(*n)) unskinned += (count++ ? ", " : "") + PathOf(*n);
    if (count == 0 || count == meshes.size()) return "";
    return "a skinned model moves every vertex with its bones, and " + std::to_string(count) + " of the " +
           std::to_string(meshes.size()) + " meshes it would attach " + (count == 1 ? "has" : "have") + " no skin (" +
           unskinned + "): bind " + (count == 1 ? "it" : "them") +
           " to the skeleton, or --select a group that holds the skinned meshes alone";
}

}  // namespace

Selection ChooseSelection(standin::Scene& scene, const SelectionRequest& r) {
    for (standin::Node* n : scene.AllNodes()) n->SetSelected(false);
    if (r.all) {
        if (r.mode == vlo::ExportMode::Animation)
            return Problem("--all attaches meshes into one model, and an animation is made from a skeleton: leave "
                           "--all out to take the scene's skeleton, or --select its root");
        const auto meshes = MeshesBesidesYardstick(scene.Root());
        if (meshes.empty()) return Problem("no mesh objects in " + r.input);
        if (r.mode == vlo::ExportMode::Hierarchy)
            if (std::string mixed = UnskinnedAmongSkinned(meshes); !mixed.empty()) return Problem(std::move(mixed));
        standin::AttachMeshes(scene, meshes, r.sceneName);
        Selection attached;
        attached.meshSources = meshes;
        return attached;
    }
    if (!r.select.empty()) {
        Selection chosen;
        standin::Node* node = Named(scene, r.select, chosen.warnings);
        if (!node) {
            const std::string near = NearNames(scene, r.select);
            return Problem("no object named '" + r.select + "' in " + r.input +
                           (near.empty() ? "" : "; did you mean " + near + "?") + " (--list shows the objects)");
        }
        chosen.named = node;
        const auto meshes = standin::MeshNodesBelow(*node);
        // An animation is sampled from the node itself and the bones below it; a model gathers the
        // meshes below a group.
        if (r.mode == vlo::ExportMode::Animation || standin::HasMesh(*node) || node->Children().empty() || meshes.empty()) {
            node->SetSelected(true);  // the exporter reports what it cannot export
            if (r.mode != vlo::ExportMode::Animation) chosen.meshSources = {node};
        } else {
            if (r.mode == vlo::ExportMode::Hierarchy)
                if (std::string mixed = UnskinnedAmongSkinned(meshes); !mixed.empty()) return Problem(std::move(mixed));
            standin::AttachMeshes(scene, meshes, node->Name() + " (attached)");
            chosen.meshSources = meshes;
        }
        return chosen;
    }
    if (r.mode == vlo::ExportMode::Animation) return ChooseSkeleton(scene, r);
    auto meshes = MeshesBesidesYardstick(scene.Root());
    // A skinned model is made of a skinned mesh: the static meshes beside it (a cap parented to a
    // bone) are none of the choice. A scene of one mesh without a skin is left to the exporter,
    // which says so; of several, none could be chosen.
    std::string kind = " mesh objects; choose one with --select NAME or attach them all with --all:";
    if (r.mode == vlo::ExportMode::Hierarchy) {
        std::vector<standin::Node*> skinned;
        for (standin::Node* n : meshes)
            if (SkinOf(*n)) skinned.push_back(n);
        if (!skinned.empty()) {
            meshes = std::move(skinned);
            kind = " skinned meshes; choose one with --select NAME:";
        } else if (meshes.size() > 1) {
            return Problem("none of the " + std::to_string(meshes.size()) + " mesh objects in " + r.input +
                           " is skinned: a skinned model is made of a mesh bound to a skeleton (use --mode shape for "
                           "a static model)");
        }
    }
    if (meshes.size() == 1) {
        meshes[0]->SetSelected(true);
        Selection only;
        only.meshSources = meshes;
        return only;
    }
    if (meshes.empty())
        return Problem("no mesh objects in " + r.input + " (to export the animation of a skeleton: --mode animation)");
    std::string names;
    for (standin::Node* n : meshes) names += "\n  " + PathOf(*n);
    return Choice(r.input + " holds " + std::to_string(meshes.size()) + kind + names);
}

}  // namespace app
