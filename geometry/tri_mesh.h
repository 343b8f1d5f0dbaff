// The selected node as a triangle mesh, and how one face corner is taken into world space.
#pragma once

#include <cmath>

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

// True when the transform stretches its axes unevenly or shears them: their lengths differ, or they
// do not stand at right angles, by more than a float's noise. An axis of no length or not finite
// gives false.
bool ScalesUnevenly(const Matrix3& m);

// How an object's transform turns its mesh's unit normals into world space. A transform that scales
// every axis alike (mirrored or not) turns them by its rotation alone, so ordinary objects keep their
// bits. One that stretches the mesh unevenly (an object scaled unevenly, or a rotated child of such
// a parent) tilts its surfaces: their normals are turned by the inverse transpose of its axes and
// made unit length, the normals of the surface as the scene draws it; a normal that this leaves in
// the rotation's direction (a face along the stretch's axes) keeps the rotation's bits. A normal
// that comes out of no length or not finite (a transform that flattens the mesh, or overflows)
// falls back to the rotation's, and a zero normal to +Z: no zero normal reaches a file.
class NormalTransform {
public:
    explicit NormalTransform(const Matrix3& objectTM);
    Point3 operator()(const Point3& unitNormal) const { return uneven_ ? Tilted(unitNormal) : Rotated(unitNormal); }

private:
    // The normal turned by the rotation. A sheared transform has no pure rotation part and stretches
    // the normal; only then is it made unit length again, so the normals of ordinary transforms are
    // exactly the rotated ones.
    Point3 Rotated(const Point3& normal) const {
        const Point3 n = VectorTransform(rotation_, normal);
        const float len = n.Length();
        if (len == 0.0f) return Point3(0, 0, 1);
        return len > 0.0f && std::fabs(len - 1.0f) > 1e-4f ? n / len : n;
    }
    Point3 Tilted(const Point3& unitNormal) const;

    Matrix3 rotation_;
    Point3 cofactors_[3];  // rows of the axes' cofactor matrix, signed by their determinant
    bool uneven_ = false;
};

// The unit normal of face f's corner at render vertex rv: a specified normal, the face normal (no
// smoothing group or no normals), the single normal, or the last normal sharing a smoothing-group bit
// with the face; the face normal when none shares a bit.
Point3 GetVertexNormal(Mesh& mesh, int f, const RVertex& rv);

}  // namespace vlo
