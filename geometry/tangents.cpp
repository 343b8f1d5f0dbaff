#include "geometry/tangents.h"

#include <cmath>

#include "host/geom.h"

namespace vlo {
namespace {

Point3 P(const Vec3& v) { return {v.x, v.y, v.z}; }
Vec3 V(const Point3& p) { return {p.x, p.y, p.z}; }

// A unit vector perpendicular to n: n crossed with the axis it is least aligned with.
Point3 AnyPerpendicular(const Point3& n) {
    const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    const Point3 axis = (ax <= ay && ax <= az) ? Point3(1, 0, 0) : (ay <= az ? Point3(0, 1, 0) : Point3(0, 0, 1));
    const Point3 t = Normalize(CrossProd(n, axis));
    return t.LengthSquared() > 0.0f && IsFinite(t) ? t : Point3(1, 0, 0);
}

}  // namespace

std::vector<TangentFrame> BuildTangentFrames(const std::vector<ModelVertex>& vertices,
                                             const std::vector<ModelPolygon>& polygons) {
    const std::size_t n = vertices.size();
    std::vector<Point3> tan1(n), tan2(n);
    for (const ModelPolygon& poly : polygons) {
        const int i0 = poly.verts[0], i1 = poly.verts[1], i2 = poly.verts[2];
        if (std::size_t(i0) >= n || std::size_t(i1) >= n || std::size_t(i2) >= n) continue;
        const ModelVertex &v0 = vertices[i0], &v1 = vertices[i1], &v2 = vertices[i2];
        const float x1 = v1.position.x - v0.position.x, x2 = v2.position.x - v0.position.x;
        const float y1 = v1.position.y - v0.position.y, y2 = v2.position.y - v0.position.y;
        const float z1 = v1.position.z - v0.position.z, z2 = v2.position.z - v0.position.z;
        const float s1 = v1.u - v0.u, s2 = v2.u - v0.u;
        const float t1 = v1.v - v0.v, t2 = v2.v - v0.v;
        const float r = 1.0f / (s1 * t2 - s2 * t1);
        const Point3 sdir((t2 * x1 - t1 * x2) * r, (t2 * y1 - t1 * y2) * r, (t2 * z1 - t1 * z2) * r);
        const Point3 tdir((s1 * x2 - s2 * x1) * r, (s1 * y2 - s2 * y1) * r, (s1 * z2 - s2 * z1) * r);
        if (!std::isfinite(r) || !IsFinite(sdir) || !IsFinite(tdir)) continue;  // degenerate in texture space
        tan1[i0] += sdir;
        tan1[i1] += sdir;
        tan1[i2] += sdir;
        tan2[i0] += tdir;
        tan2[i1] += tdir;
        tan2[i2] += tdir;
    }

    std::vector<TangentFrame> frames;
    frames.reserve(n);
    for (std::size_t a = 0; a < n; ++a) {
        const Point3 normal = P(vertices[a].normal);
        const Point3& t = tan1[a];
        Point3 tangent = Normalize(t - normal * DotProd(normal, t));
        if (!IsFinite(tangent) || tangent.LengthSquared() == 0.0f) tangent = AnyPerpendicular(normal);
        const float w = DotProd(CrossProd(normal, t), tan2[a]) < 0.0f ? -1.0f : 1.0f;
        const Point3 binormal = CrossProd(normal, tangent) * w;
        frames.push_back({V(tangent), V(binormal)});
    }
    return frames;
}

}  // namespace vlo
