#include "importer/yardstick.h"

#include <cstdio>

#include "host/mesh.h"
#include "host/node_walk.h"

namespace importer {

void PresentYardstickUpright(standin::Scene& scene, std::vector<std::string>& warnings) {
    auto* yardstick = static_cast<standin::Node*>(FindNodeByName(&scene.Root(), "yardstick"));
    if (!yardstick) return;
    Object* object = yardstick->GetObjectRef();
    if (!object || object->ClassID() != triObjectClassID) return;  // a dummy or a modified object: measured as it is
    Mesh& mesh = static_cast<TriObject*>(object)->mesh;

    Matrix3 turn = yardstick->GetObjTMAfterWSM(0);
    turn.NoTrans();
    // Normals follow the inverse transpose of the turn.
    const Matrix3 inverse = Inverse(turn);
    for (int i = 0; i < mesh.getNumVerts(); ++i) {
        if (mesh.hasSpecifiedNormal(i)) {
            const Point3 n = mesh.specifiedNormal(i);
            mesh.setSpecifiedNormal(i, Normalize(Point3(DotProd(n, inverse[0]), DotProd(n, inverse[1]), DotProd(n, inverse[2]))));
        }
        mesh.verts[std::size_t(i)] = mesh.verts[std::size_t(i)] * turn;
    }
    std::vector<std::pair<standin::Node*, Matrix3>> children;
    for (standin::Node* c : yardstick->Children()) children.push_back({c, c->GetNodeTM(0)});
    const Point3 place = yardstick->GetNodeTM(0).GetTrans();
    yardstick->SetLocalTrack(nullptr);
    yardstick->SetObjectOffset(Matrix3());
    yardstick->SetWorldTM(TransMatrix(place));
    for (auto& [child, world] : children) {
        child->SetLocalTrack(nullptr);
        child->SetWorldTM(world);
    }

    Box3 box;
    object->GetDeformBBox(0, box);
    if (box.IsEmpty()) return;
    const Point3 size = box.Width();
    if (size.z < size.x || size.z < size.y) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "the object '%s' is %g tall and %g x %g across: its longest side is not upright, but the scale "
                      "is its height (stand it upright, or use --scale unit)",
                      yardstick->Name().c_str(), double(size.z), double(size.x), double(size.y));
        warnings.push_back(text);
    }
}

}  // namespace importer
