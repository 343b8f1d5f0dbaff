#include "geometry/origin.h"

#include "geometry/tri_mesh.h"

namespace vlo {

Point3 ComputeOrigin(INode& node, ExportMode mode, OriginMode originMode, INode* skeletonRoot, TimeValue t,
                     NoticeSink& notices) {
    if (mode == ExportMode::Hierarchy) return skeletonRoot ? skeletonRoot->GetNodeTM(t).GetTrans() : Point3(0, 0, 0);
    if (originMode == OriginMode::World) return Point3(0, 0, 0);
    if (originMode == OriginMode::Pivot) return node.GetParentNode()->GetNodeTM(t).GetTrans();
    TriMeshHandle tri;
    switch (tri.Obtain(&node, t)) {
        case TriMeshStatus::ObjectStateFailure: notices.Report(Notice::Error("Error with Object State")); return {};
        case TriMeshStatus::ConversionFailure: return {};
        case TriMeshStatus::Ok: break;
    }
    const Mesh& mesh = tri.GetMesh();
    const Matrix3 tm = node.GetNodeTM(t);
    const int n = mesh.getNumVerts();
    if (n == 0) return {};
    Point3 origin(0, 0, 0);
    for (int i = 0; i < n; ++i) origin += mesh.getVert(i) * tm;
    const float k = 1.0f / float(n);
    origin *= k;
    return origin;
}

}  // namespace vlo
