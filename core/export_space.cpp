#include "core/export_space.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vlo {

ExportSpace::ExportSpace(const Point3& origin, float worldScale, bool swapYZ, Recentring recentring)
    : origin_(origin), worldScale_(worldScale), inverseScale_(1.0f / worldScale), swapYZ_(swapYZ),
      recentring_(recentring) {}

Vec3 ExportSpace::Point(const Vec3& world) const {
    Vec3 p{world.x - origin_.x, world.y - origin_.y, world.z - origin_.z};
    if (swapYZ_) std::swap(p.y, p.z);
    return {p.x * inverseScale_, p.y * inverseScale_, p.z * inverseScale_};
}

Vec3 ExportSpace::Offset(const Point3& v) const {
    Vec3 p{v.x, v.y, v.z};
    if (swapYZ_) std::swap(p.y, p.z);
    return {p.x * inverseScale_, p.y * inverseScale_, p.z * inverseScale_};
}

Vec3 ExportSpace::Direction(const Vec3& v) const {
    return swapYZ_ ? Vec3{v.x, v.z, v.y} : v;
}

Quat ExportSpace::UnitFromExtremeParts(const Quat& q) {
    if (!IsFinite(q)) return q;
    // Measured against the largest part first.
    const float largest = std::max({std::fabs(q.x), std::fabs(q.y), std::fabs(q.z), std::fabs(q.w)});
    if (!(largest > 0.0f)) return q;
    const Quat scaled = Scaled(q, largest);
    return Scaled(scaled, QuaternionLength(scaled.x, scaled.y, scaled.z, scaled.w));
}

void ExportSpace::Wind(ModelPolygon& polygon) const {
    if (swapYZ_) std::swap(polygon.verts[1], polygon.verts[2]);
}

Vec3 ExportSpace::Recentre(std::vector<ModelVertex>& vertices) const {
    if (recentring_ == Recentring::None || vertices.empty()) return {};
    // The sum in double precision, in vertex order; the centre rounded to single precision.
    double sum[3] = {0, 0, 0};
    for (const ModelVertex& v : vertices) {
        sum[0] += v.position.x;
        sum[1] += v.position.y;
        sum[2] += v.position.z;
    }
    const float k = 1.0f / float(vertices.size());
    const float c[3] = {float(k * sum[0]), float(k * sum[1]), float(k * sum[2])};
    for (ModelVertex& v : vertices) {
        v.position.x -= c[0];
        v.position.y -= c[1];
        v.position.z -= c[2];
    }
    if (recentring_ != Recentring::Base) return {-c[0], -c[1], -c[2]};
    float minY = 1e30f;
    for (const ModelVertex& v : vertices)
        if (!(minY < v.position.y)) minY = v.position.y;
    for (ModelVertex& v : vertices) v.position.y -= minY;
    return {-c[0], -c[1] - minY, -c[2]};
}

}  // namespace vlo
