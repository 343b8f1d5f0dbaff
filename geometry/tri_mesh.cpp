#include "geometry/tri_mesh.h"

#include <algorithm>
#include <cmath>

namespace vlo {

TriMeshHandle::~TriMeshHandle() {
    if (owned_ && tri_) tri_->DeleteThis();
}

TriMeshStatus TriMeshHandle::Obtain(INode* node, TimeValue t) {
    const ObjectState os = node->EvalWorldState(t, TRUE);
    if (!os.obj || os.obj->SuperClassID() != GEOMOBJECT_CLASS_ID) return TriMeshStatus::ObjectStateFailure;
    Object* obj = node->EvalWorldState(t, TRUE).obj;
    if (!obj->CanConvertToType(triObjectClassID)) return TriMeshStatus::ConversionFailure;
    Object* converted = obj->ConvertToType(t, triObjectClassID);
    owned_ = converted != obj;
    tri_ = static_cast<TriObject*>(converted);
    if (!tri_) {
        owned_ = false;
        return TriMeshStatus::ConversionFailure;
    }
    return TriMeshStatus::Ok;
}

bool IsMirrored(const Matrix3& m) { return DotProd(CrossProd(m.GetRow(0), m.GetRow(1)), m.GetRow(2)) < 0.0f; }

bool ScalesUnevenly(const Matrix3& m) {
    const Point3 axes[3] = {m.GetRow(0), m.GetRow(1), m.GetRow(2)};
    float lengths[3];
    for (int i = 0; i < 3; ++i) {
        lengths[i] = axes[i].Length();
        if (!std::isfinite(lengths[i]) || lengths[i] == 0.0f) return false;
    }
    constexpr float kNoise = 1e-4f;
    const auto [shortest, longest] = std::minmax({lengths[0], lengths[1], lengths[2]});
    if (longest - shortest > kNoise * longest) return true;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        if (std::fabs(DotProd(axes[i], axes[j])) > kNoise * lengths[i] * lengths[j]) return true;
    }
    return false;
}

NormalTransform::NormalTransform(const Matrix3& objectTM) : rotation_(objectTM) {
    rotation_.NoTrans();
    rotation_.NoScale();
    if (!ScalesUnevenly(objectTM)) return;  // the rotation's normals, as ever
    const Point3 axes[3] = {objectTM.GetRow(0), objectTM.GetRow(1), objectTM.GetRow(2)};
    // The inverse transpose is the cofactor matrix over the determinant; only its sign matters here.
    cofactors_[0] = CrossProd(axes[1], axes[2]);
    cofactors_[1] = CrossProd(axes[2], axes[0]);
    cofactors_[2] = CrossProd(axes[0], axes[1]);
    if (DotProd(axes[0], cofactors_[0]) < 0.0f)
        for (Point3& row : cofactors_) row = -row;
    uneven_ = true;
}

Point3 NormalTransform::Tilted(const Point3& unitNormal) const {
    const Point3 rotated = Rotated(unitNormal);
    const Point3 n = unitNormal.x * cofactors_[0] + unitNormal.y * cofactors_[1] + unitNormal.z * cofactors_[2];
    const float len = n.Length();
    if (!(len > 0.0f && std::isfinite(len))) return rotated;
    // A face along the stretch's own axes keeps its direction: it keeps the rotation's bits too.
    const Point3 tilted = n / len;
    constexpr float kSameDirection = 1e-5f;
    return Length(tilted - rotated) <= kSameDirection ? rotated : tilted;
}

Point3 GetVertexNormal(Mesh& mesh, int f, const RVertex& rv) {
    const DWORD sg = mesh.faces[f].smGroup;
    Point3 n;
    if (rv.rFlags & SPECIFIED_NORMAL) {
        n = rv.rn.getNormal();
    } else {
        const DWORD count = rv.rFlags & NORCT_MASK;
        if (count == 0 || sg == 0) {
            n = mesh.getFaceNormal(f);
        } else if (count == 1) {
            n = rv.rn.getNormal();
        } else {
            n = mesh.getFaceNormal(f);  // no entry shares a bit with the face
            for (DWORD i = 0; i < count && rv.ern; ++i)
                if (rv.ern[i].getSmGroup() & sg) n = rv.ern[i].getNormal();
        }
    }
    return Normalize(n);
}

}  // namespace vlo
