// The selected node as a triangle mesh, and how one face corner is taken into world space.
#pragma once

#include "host/mesh.h"

namespace vlo {

enum class TriMeshStatus { Ok, ObjectStateFailure, ConversionFailure };

// A triangle-mesh object obtained from a node; deletes it on destruction when the conversion made a
// new object (owned), leaves it alone when it is the node's own object.
class TriMeshHandle {
public:
    TriMeshHandle() = default;
    ~TriMeshHandle();
    TriMeshHandle(const TriMeshHandle&) = delete;
    TriMeshHandle& operator=(const TriMeshHandle&) = delete;

    // Evaluates node at t and converts the result to a triangle mesh. ObjectStateFailure: no object,
    // or not a geometric object; ConversionFailure: not convertible, or the conversion gave null.
    TriMeshStatus Obtain(INode* node, TimeValue t);
    Mesh& GetMesh() { return tri_->mesh; }

private:
    TriObject* tri_ = nullptr;
    bool owned_ = false;
};

// True when the transform mirrors: (row0 x row1) . row2 < 0. NaN gives false.
bool IsMirrored(const Matrix3& m);

// The unit normal of face f's corner at render vertex rv: a specified normal, the face normal (no
// smoothing group or no normals), the single normal, or the last normal sharing a smoothing-group bit
// with the face; the face normal when none shares a bit.
Point3 GetVertexNormal(Mesh& mesh, int f, const RVertex& rv);

}  // namespace vlo
