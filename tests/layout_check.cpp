#include "layout_check.h"

#include <cmath>
#include <cstring>
#include <map>

namespace layout {
namespace {

class Bytes {
public:
    explicit Bytes(std::span<const std::uint8_t> b) : b_(b) {}
    std::uint64_t Size() const { return b_.size(); }
    bool Has(std::uint64_t at, std::uint64_t n) const { return at <= b_.size() && n <= b_.size() - at; }
    std::uint32_t U32(std::uint64_t at) const { return Get<std::uint32_t>(at); }
    std::int32_t I32(std::uint64_t at) const { return Get<std::int32_t>(at); }
    std::uint16_t U16(std::uint64_t at) const { return Get<std::uint16_t>(at); }
    std::int16_t I16(std::uint64_t at) const { return Get<std::int16_t>(at); }
    float F32(std::uint64_t at) const { return Get<float>(at); }
    std::uint8_t U8(std::uint64_t at) const { return b_[at]; }
    bool Finite(std::uint64_t at, int count) const {
        for (int i = 0; i < count; ++i)
            if (!std::isfinite(F32(at + 4 * std::uint64_t(i)))) return false;
        return true;
    }
    bool Same(std::uint64_t a, std::uint64_t b, std::uint64_t n) const {
        return std::memcmp(b_.data() + a, b_.data() + b, n) == 0;
    }
    // A name field: every byte after the first zero is zero; needZero: the field must hold a zero.
    bool Name(std::uint64_t at, std::uint64_t n, bool needZero) const {
        std::uint64_t i = 0;
        while (i < n && b_[at + i] != 0) ++i;
        if (i == n) return !needZero;
        for (; i < n; ++i)
            if (b_[at + i] != 0) return false;
        return true;
    }
    bool UnitQuaternion(std::uint64_t at) const {
        double sum = 0;
        for (int i = 0; i < 4; ++i) sum += double(F32(at + 4 * i)) * F32(at + 4 * i);
        return std::fabs(std::sqrt(sum) - 1.0) <= 1e-3;
    }

private:
    template <class T>
    T Get(std::uint64_t at) const {
        T v;
        std::memcpy(&v, b_.data() + at, sizeof v);
        return v;
    }
    std::span<const std::uint8_t> b_;
};

// The chunks of a model's list: type word, rank in file order, record size (0: a 260-byte name).
struct ChunkKind {
    int rank;
    std::uint64_t record;
};
const std::map<std::uint32_t, ChunkKind> kChunks = {
    {0x04E888FD, {1, 76}}, {0xF9798DD3, {2, 0}},  {0x367157F3, {3, 0}},  {0x4426EF42, {4, 32}},
    {0x056D3448, {5, 48}}, {0x10FE44E1, {6, 8}},  {0xF59A355A, {7, 0}},  {0x900D89F6, {8, 24}},
    {0xD2EDFCD1, {9, 0}},  {0xC8710AB0, {10, 44}},
};
constexpr std::uint32_t kHierarchy = 0x04E888FD, kTexture = 0xF9798DD3, kVertices = 0x4426EF42, kLinks = 0x056D3448,
                        kPolygons = 0x10FE44E1, kBump = 0xF59A355A, kTangents = 0x900D89F6, kMarkers = 0xC8710AB0;

struct Counted {
    std::uint64_t at = 0;  // first record
    std::uint64_t count = 0;
};

bool VloChunksValid(const Bytes& f, std::uint32_t flags, std::uint32_t listed) {
    std::map<std::uint32_t, Counted> found;
    std::map<std::uint32_t, std::uint64_t> names;  // name chunks by type
    std::uint64_t chunks = 0;
    int lastRank = 0;
    for (std::uint64_t at = 68; at < f.Size();) {
        if (!f.Has(at, 12) || f.U32(at) != 0x8A3DDA02) return false;
        const std::uint32_t type = f.U32(at + 4), size = f.U32(at + 8);
        if (size < 12 || !f.Has(at, size)) return false;
        const auto kind = kChunks.find(type);
        if (kind == kChunks.end()) return false;
        const int rank = kind->second.rank;
        if (rank < lastRank || (rank == lastRank && type != kTexture)) return false;
        lastRank = rank;
        const std::uint64_t payload = at + 12, payloadSize = size - 12u;
        if (kind->second.record == 0) {
            if (payloadSize != 260 || !f.Name(payload, 260, true)) return false;
            ++names[type];
        } else {
            if (payloadSize < 4) return false;
            const std::uint64_t count = f.U32(payload);
            if (payloadSize != 4 + count * kind->second.record) return false;
            found[type] = {payload + 4, count};
        }
        ++chunks;
        at += size;
    }
    if (chunks != listed) return false;
    if (!found.count(kVertices) || !found.count(kPolygons)) return false;
    const bool hierarchy = (flags & 0x4) != 0;
    if (hierarchy != (found.count(kHierarchy) == 1) || hierarchy != (found.count(kLinks) == 1)) return false;
    if ((names[kBump] == 1) != (found.count(kTangents) == 1)) return false;
    const std::uint64_t textures = names[kTexture];

    const Counted vertices = found[kVertices];
    const std::uint64_t v = vertices.count;
    if (v > 65535) return false;
    for (std::uint64_t i = 0; i < v; ++i)
        if (!f.Finite(vertices.at + 32 * i, 8)) return false;
    const Counted polygons = found[kPolygons];
    int lastTexture = -1;
    for (std::uint64_t i = 0; i < polygons.count; ++i) {
        const std::uint64_t p = polygons.at + 8 * i;
        for (int k = 0; k < 3; ++k)
            if (f.U16(p + 2 * k) >= v) return false;
        const int texture = f.I16(p + 6);
        if (texture < -1 || texture >= std::int64_t(textures) || texture < lastTexture) return false;
        lastTexture = texture;
    }
    if (found.count(kTangents)) {
        const Counted tangents = found[kTangents];
        if (tangents.count != v) return false;
        for (std::uint64_t i = 0; i < v; ++i)
            if (!f.Finite(tangents.at + 24 * i, 6)) return false;
    }
    std::uint64_t bones = 0;
    if (found.count(kHierarchy)) {
        const Counted h = found[kHierarchy];
        bones = h.count;
        if (bones == 0) return false;
        for (std::uint64_t i = 0; i < bones; ++i) {
            const std::uint64_t b = h.at + 76 * i;
            const int parent = f.I16(b + 2);
            if (f.I16(b) != std::int64_t(i)) return false;
            if (i == 0 ? parent != -1 : (parent < 0 || std::uint64_t(parent) >= i)) return false;
            if (!f.Name(b + 4, 32, false) || !f.Finite(b + 36, 10) || !f.UnitQuaternion(b + 48)) return false;
        }
    }
    if (found.count(kLinks)) {
        const Counted links = found[kLinks];
        if (links.count != v) return false;
        for (std::uint64_t i = 0; i < v; ++i) {
            const std::uint64_t l = links.at + 48 * i, vertex = vertices.at + 32 * i;
            const std::int32_t used = f.I32(l);
            if (used < 1 || used > 4 || !f.Finite(l + 20, 4)) return false;
            for (int k = 0; k < 4; ++k) {
                if (k >= used && f.F32(l + 20 + 4 * k) != 0.0f) return false;
                if (k < used && f.U8(l + 4 + k) != 0xFF && f.U8(l + 4 + k) >= bones) return false;
            }
            if (!f.Same(l + 8, vertex + 12, 12) || !f.Same(l + 36, vertex, 12)) return false;
        }
    }
    if (found.count(kMarkers)) {
        const Counted markers = found[kMarkers];
        if (markers.count == 0) return false;
        for (std::uint64_t i = 0; i < markers.count; ++i)
            if (!f.Name(markers.at + 44 * i, 32, false) || !f.Finite(markers.at + 44 * i + 32, 3)) return false;
    }
    return true;
}

}  // namespace

bool VloIsValid(std::span<const std::uint8_t> bytes) {
    const Bytes f(bytes);
    if (!f.Has(0, 68)) return false;
    // File block: one chunk.
    if (f.U32(0) != 0x40A41481 || f.U32(4) != 1 || f.U32(8) != 0 || f.U32(12) != 16) return false;
    // Object chunk: the rest of the file.
    if (f.U32(16) != 0x8A3DDA02 || f.U32(20) != 0x20D39DC1 || f.U32(24) != f.Size() - 16) return false;
    // Object header: signature, flags 0x2 | 0x4 | 0x8 at most, 16 zero bytes.
    if (std::memcmp(bytes.data() + 28, "OBJ3", 4) != 0 || (f.U32(32) & ~0xEu) != 0) return false;
    for (int i = 36; i < 52; ++i)
        if (f.U8(i) != 0) return false;
    // The object's chunk list.
    if (f.U32(52) != 0x40A41481 || f.U32(60) != 0 || f.U32(64) != 16) return false;
    return VloChunksValid(f, f.U32(32), f.U32(56));
}

bool VlaIsValid(std::span<const std::uint8_t> bytes) {
    const Bytes f(bytes);
    if (!f.Has(0, 28) || std::memcmp(bytes.data(), "VANM", 4) != 0) return false;
    if (f.U32(4) != 1 || f.U32(8) != 2 || f.I32(20) <= 0) return false;
    const std::uint64_t bones = f.U32(12), frames = f.U32(16), markers = f.U32(24);
    if (bones == 0 || frames == 0) return false;
    // 32-bit counts: the products fit 64 bits (each below 2^32 * 2^36).
    const unsigned __int128 size = 28 + (unsigned __int128)frames * (20 + 16 * bones) +
                                   (unsigned __int128)markers * (32 + 12 * frames);
    if (size != f.Size()) return false;
    std::uint64_t at = 28;
    for (std::uint64_t k = 0; k < frames; ++k, at += 20 + 16 * bones) {
        if ((f.U32(at) & ~0xFu) != 0 || !f.Finite(at + 4, 4)) return false;
        const float turn = f.F32(at + 16);
        if (turn < 0.0f || turn > 6.2831855f) return false;
        for (std::uint64_t b = 0; b < bones; ++b)
            if (!f.UnitQuaternion(at + 20 + 16 * b)) return false;
    }
    for (std::uint64_t m = 0; m < markers; ++m, at += 32 + 12 * frames)
        if (!f.Name(at, 32, false) || !f.Finite(at + 32, int(3 * frames))) return false;
    return true;
}

}  // namespace layout
