#include "format/vla_reader.h"

#include <cmath>
#include <cstring>
#include <string>

namespace vlo {

bool VlaReadResult::Valid() const {
    for (const auto& f : findings)
        if (f.severity == Finding::Severity::Error) return false;
    return true;
}

bool LooksLikeVla(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kVlaMagic && std::memcmp(bytes.data(), kVlaMagic, sizeof kVlaMagic) == 0;
}

VlaReadResult ReadVla(std::span<const std::uint8_t> bytes) {
    VlaReadResult r;
    VlaAnimation& a = r.animation;
    auto error = [&](std::string text) { r.findings.push_back({Finding::Severity::Error, std::move(text)}); };
    r.fileSize = bytes.size();
    if (bytes.size() < sizeof(AnimationHeader)) {
        error("file too short for the animation header (" + std::to_string(bytes.size()) + " bytes)");
        return r;
    }
    std::memcpy(&a.header, bytes.data(), sizeof(AnimationHeader));
    const AnimationHeader& h = a.header;
    if (!LooksLikeVla(bytes)) {
        error("not a VLA file: the magic is not VANM");
        return r;
    }
    if (h.one != 1 || h.two != 2) error("header words after the magic are not 1 and 2");
    if (h.frameRate <= 0) error("frame rate " + std::to_string(h.frameRate) + " is not positive");
    // Every count is bounded by the file size, which keeps the size arithmetic below from overflowing.
    if (h.numBones > bytes.size() || h.numFrames > bytes.size() || h.numMarkers > bytes.size()) {
        error("header counts (" + std::to_string(h.numBones) + " bones, " + std::to_string(h.numFrames) + " frames, " +
              std::to_string(h.numMarkers) + " markers) cannot fit a file of " + std::to_string(bytes.size()) + " bytes");
        return r;
    }
    if (a.FileSize() != bytes.size()) {
        error("file size " + std::to_string(bytes.size()) + " does not match the header's " + std::to_string(h.numBones) +
              " bones, " + std::to_string(h.numFrames) + " frames and " + std::to_string(h.numMarkers) + " markers (" +
              std::to_string(a.FileSize()) + " bytes)");
        return r;
    }
    if (h.numFrames == 0) error("the animation has no frames");
    if (h.numBones == 0) error("the animation has no bones");
    const std::uint8_t* p = bytes.data() + sizeof(AnimationHeader);
    auto take = [&](void* out, std::size_t n) {
        if (n != 0) std::memcpy(out, p, n);  // an empty vector may have no storage to copy into
        p += n;
    };
    a.frames.resize(h.numFrames);
    a.keys.resize(std::size_t(h.numFrames) * h.numBones);
    std::size_t badQuats = 0, badRoots = 0, badFlags = 0;
    for (std::uint32_t k = 0; k < h.numFrames; ++k) {
        VlaFrameHeader& f = a.frames[k];
        take(&f, sizeof f);
        if (h.numBones != 0) take(&a.Key(k, 0), sizeof(BoneKey) * std::size_t(h.numBones));
        if (f.flags & ~kKnownFrameFlags)
            if (badFlags++ == 0) error("frame " + std::to_string(k) + " has flag bits other than the four key frames");
        if (!IsFinite(f.rootPosition) || !std::isfinite(f.rootRotation) || f.rootRotation < 0.0f ||
            f.rootRotation > 6.2831855f)
            if (badRoots++ == 0) error("frame " + std::to_string(k) + " has a non-finite or out-of-range root track");
        for (std::uint32_t b = 0; b < h.numBones; ++b) {
            const BoneKey& q = a.Key(k, b);
            const float len = QuaternionLength(q.x, q.y, q.z, q.w);
            if (!std::isfinite(len) || !IsUnitLength(len))
                if (badQuats++ == 0)
                    error("frame " + std::to_string(k) + " bone " + std::to_string(b) + " quaternion has length " +
                          std::to_string(len));
        }
    }
    if (badQuats > 1) error(std::to_string(badQuats) + " quaternions in all are not of unit length");
    if (badRoots > 1) error(std::to_string(badRoots) + " frames in all have bad root tracks");
    if (badFlags > 1) error(std::to_string(badFlags) + " frames in all have unknown flag bits");
    a.markers.resize(h.numMarkers);
    for (std::uint32_t m = 0; m < h.numMarkers; ++m) {
        VlaMarkerTrack& marker = a.markers[m];
        take(&marker.header, sizeof marker.header);
        if (!ZeroPadded(marker.header.name))
            error("marker " + std::to_string(m) + " name field has bytes after its terminating zero");
        marker.positions.resize(h.numFrames);
        take(marker.positions.data(), sizeof(Vec3) * std::size_t(h.numFrames));
        for (const Vec3& v : marker.positions)
            if (!IsFinite(v)) {
                error("marker " + std::to_string(m) + " has a non-finite position");
                break;
            }
    }
    return r;
}

}  // namespace vlo
