// The game's space: where every position, direction and rotation of both files is taken. A world
// position has the export origin subtracted, its Y and Z exchanged when the axes are swapped (the
// host is Z-up, the game Y-up) and is divided by the world scale (scene units per metre); a Shape
// model with its origin at the centre or base is then re-centred on its own vertices.
#pragma once

#include <cmath>
#include <vector>

#include "format/records.h"
#include "host/geom.h"

namespace vlo {

class ExportSpace {
public:
    enum class Recentring {
        None,
        Centre,  // the mean of the vertices moves to 0
        Base,    // the same, then the lowest vertex moves to y = 0
    };

    // Origin 0, scale 1, axes kept.
    ExportSpace() = default;
    // worldScale: scene units per metre (positive).
    ExportSpace(const Point3& origin, float worldScale, bool swapYZ, Recentring recentring = Recentring::None);

    // A world position: minus the origin, axes, divided by the scale.
    Vec3 Point(const Vec3& world) const;
    Vec3 Point(const Point3& world) const { return Point(Vec3{world.x, world.y, world.z}); }
    // A displacement (a bone's offset, a track's travel): axes, divided by the scale; no origin.
    Vec3 Offset(const Point3& v) const;
    // A direction (normal, tangent): axes only.
    Vec3 Direction(const Vec3& v) const;
    Vec3 Direction(const Point3& v) const { return Direction(Vec3{v.x, v.y, v.z}); }
    // A host quaternion: made unit length when it is not (within 1e-5), then axes only (Y and Z
    // exchanged, no sign change). Every rotation of both files goes through here, every bone of every
    // frame of an animation among them, so the common case is defined here, to be inlined.
    BoneKey Rotation(const Quat& q) const {
        // A degenerate transform (an axis scaled to nothing, or so near it that the host keeps it
        // unnormalised) has no proper rotation; its quaternion is made unit length all the same, so
        // that the files hold rotations only.
        Quat r = q;
        const float len = QuaternionLength(q.x, q.y, q.z, q.w);
        if (std::isfinite(len) && len > 0.0f) {
            if (std::fabs(len - 1.0f) > 1e-5f) r = Scaled(q, len);
        } else {
            r = UnitFromExtremeParts(q);
        }
        return swapYZ_ ? BoneKey{r.x, r.z, r.y, r.w} : BoneKey{r.x, r.y, r.z, r.w};
    }
    // The corner order of a triangle: the axis swap mirrors the space, so the second and third corners
    // are exchanged to keep its front face.
    void Wind(ModelPolygon& polygon) const;
    // Re-centres a finished vertex array (already in this space) as the recentring says; returns how
    // far the vertices moved (0 without re-centring).
    Vec3 Recentre(std::vector<ModelVertex>& vertices) const;

    float WorldScale() const { return worldScale_; }
    float InverseScale() const { return inverseScale_; }
    bool SwapsYZ() const { return swapYZ_; }
    const Point3& Origin() const { return origin_; }

private:
    static Quat Scaled(const Quat& q, float divisor) {
        return Quat(q.x / divisor, q.y / divisor, q.z / divisor, q.w / divisor);
    }
    // A quaternion without a finite length other than zero, made unit length when its parts are
    // finite (their squares overflow or vanish in single precision); other ones as they are.
    static Quat UnitFromExtremeParts(const Quat& q);

    Point3 origin_;
    float worldScale_ = 1.0f;
    float inverseScale_ = 1.0f;
    bool swapYZ_ = false;
    Recentring recentring_ = Recentring::None;
};

}  // namespace vlo
