// Per-vertex tangent frames for bump mapping, by the per-triangle texture-space method.
#pragma once

#include <vector>

#include "format/records.h"

namespace vlo {

// One frame per vertex, in vertex order. Each triangle's texture-space directions (u and v) are
// summed at its three vertices; a vertex's tangent is its u-sum made perpendicular to the normal and
// of unit length; its binormal is normal x tangent, negated where the v-sum points the other way
// (mirrored mapping).
//
// Guarantees finite frames for finite normals: triangles whose texture coordinates are degenerate
// (zero area in texture space) or give non-finite directions are left out of the sums, and a vertex
// without a usable tangent sum gets a unit vector perpendicular to its normal instead ((1, 0, 0) for a
// zero normal).
std::vector<TangentFrame> BuildTangentFrames(const std::vector<ModelVertex>& vertices,
                                             const std::vector<ModelPolygon>& polygons);

}  // namespace vlo
