#include "geometry/tri_mesh.h"

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
