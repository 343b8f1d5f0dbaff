#include "importer/uv_placement.h"

#include <cmath>

namespace importer {

std::pair<float, float> UvPlacement::operator()(float u, float v) const {
    const double du = u, dv = v;
    return {float(uu * du + uv * dv + u0), float(vu * du + vv * dv + v0)};
}

UvPlacement PlacementOfGltf(const GltfUvTransform& t) {
    // In the file's space (v down): u' = ou + c su u + s sv v, v' = ov - s su u + c sv v. With the
    // file's v = 1 - v and v' = 1 - (the file's v'):
    const double c = std::cos(t.rotation), s = std::sin(t.rotation);
    UvPlacement p;
    p.uu = c * t.scaleU;
    p.uv = -s * t.scaleV;
    p.u0 = t.offsetU + s * t.scaleV;
    p.vu = s * t.scaleU;
    p.vv = c * t.scaleV;
    p.v0 = 1.0 - t.offsetV - c * t.scaleV;
    return p;
}

UvPlacement PlacementOfBlenderFbx(const aiUVTransform& t) {
    // u' = tu + c u / su - s v / sv, v' = tv + s u / su + c v / sv: the Mapping's turn is the
    // transform's negated.
    const double c = std::cos(-double(t.mRotation)), s = std::sin(-double(t.mRotation));
    const double su = t.mScaling.x != 0 ? 1.0 / t.mScaling.x : 1.0, sv = t.mScaling.y != 0 ? 1.0 / t.mScaling.y : 1.0;
    UvPlacement p;
    p.uu = c * su;
    p.uv = -s * sv;
    p.u0 = t.mTranslation.x;
    p.vu = s * su;
    p.vv = c * sv;
    p.v0 = t.mTranslation.y;
    return p;
}

bool Moves(const aiUVTransform& t) {
    return t.mScaling.x != 1 || t.mScaling.y != 1 || t.mTranslation.x != 0 || t.mTranslation.y != 0 || t.mRotation != 0;
}

}  // namespace importer
