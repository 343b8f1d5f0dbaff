// The export origin and the move of the finished buffers into export space.
#include "geometry/tri_mesh.h"
#include "plugin/exporter.h"

void VloExporter::ComputeOrigin(INode* node, int frame) {
    const TimeValue t = frame * pxInterface->GetTicksPerFrame();
    if (exportMode == IDC_MODE_HIERARCHY) {
        origin = pxBipedRoot ? pxBipedRoot->GetNodeTM(t).GetTrans() : Point3(0, 0, 0);
        return;
    }
    origin = Point3(0, 0, 0);
    if (originMode == IDC_ORIGIN_WORLD) return;
    if (originMode == IDC_ORIGIN_PIVOT) {
        origin = node->GetParentNode()->GetNodeTM(t).GetTrans();
        return;
    }
    // Centre and base start from the centroid of the mesh vertices under the node transform.
    vlo::TriMeshHandle tri;
    switch (tri.Obtain(node, t)) {
        case vlo::TriMeshStatus::ObjectStateFailure: ShowError("Error with Object State"); return;
        case vlo::TriMeshStatus::ConversionFailure: return;
        case vlo::TriMeshStatus::Ok: break;
    }
    Mesh& mesh = tri.GetMesh();
    mesh.buildNormals();
    const Matrix3 tm = node->GetNodeTM(t);
    const int n = mesh.getNumVerts();
    if (n == 0) return;  // no vertices: the origin stays (0, 0, 0)
    for (int i = 0; i < n; ++i) origin += mesh.getVert(i) * tm;
    const float k = 1.0f / float(n);
    origin *= k;
}

void VloExporter::TransformToExportSpace() {
    const float inverseScale = 1.0f / worldScale;
    for (vlo::ModelVertex& v : vertices) {
        v.position.x -= origin.x;
        v.position.y -= origin.y;
        v.position.z -= origin.z;
        if (swapYZ) {
            std::swap(v.position.y, v.position.z);
            std::swap(v.normal.y, v.normal.z);
        }
        v.position.x *= inverseScale;
        v.position.y *= inverseScale;
        v.position.z *= inverseScale;
    }
    if (swapYZ) {
        for (vlo::ModelPolygon& p : polygons) std::swap(p.verts[1], p.verts[2]);
        for (vlo::TangentFrame& f : tangents) {
            std::swap(f.tangent.y, f.tangent.z);
            std::swap(f.binormal.y, f.binormal.z);
        }
    }
    if (exportMode != IDC_MODE_SHAPE || vertices.empty()) return;
    if (originMode != IDC_ORIGIN_CENTER && originMode != IDC_ORIGIN_BASE) return;

    double sum[3] = {0, 0, 0};
    for (const vlo::ModelVertex& v : vertices) {
        sum[0] += v.position.x;
        sum[1] += v.position.y;
        sum[2] += v.position.z;
    }
    const float k = 1.0f / float(vertices.size());
    const float c[3] = {float(k * sum[0]), float(k * sum[1]), float(k * sum[2])};
    for (vlo::ModelVertex& v : vertices) {
        v.position.x -= c[0];
        v.position.y -= c[1];
        v.position.z -= c[2];
    }
    if (originMode == IDC_ORIGIN_BASE) {
        float minY = 1e30f;
        for (const vlo::ModelVertex& v : vertices)
            if (!(minY < v.position.y)) minY = v.position.y;
        for (vlo::ModelVertex& v : vertices) v.position.y -= minY;
    }
}
