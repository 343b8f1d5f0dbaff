#include "geometry/weld.h"

#include <cmath>
#include <cstring>

namespace vlo {
namespace {

constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

// The float's bits with -0 folded onto +0, so equal floats hash equally.
std::uint32_t KeyBits(float f) {
    if (f == 0.0f) return 0;
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

bool HasNaN(const ModelVertex& v) {
    return std::isnan(v.position.x) || std::isnan(v.position.y) || std::isnan(v.position.z) ||
           std::isnan(v.normal.x) || std::isnan(v.normal.y) || std::isnan(v.normal.z) || std::isnan(v.u) ||
           std::isnan(v.v);
}

}  // namespace

bool VerticesEqual(const ModelVertex& a, const ModelVertex& b) {
    return a.position.x == b.position.x && a.position.y == b.position.y && a.position.z == b.position.z &&
           a.normal.x == b.normal.x && a.normal.y == b.normal.y && a.normal.z == b.normal.z && a.u == b.u &&
           a.v == b.v;
}

VertexWelder::VertexWelder(std::vector<ModelVertex>& out) : vertices_(out) {
    vertices_.clear();
    slots_.assign(1024, kEmpty);
    mask_ = slots_.size() - 1;
}

std::uint64_t VertexWelder::Hash(const ModelVertex& v) const {
    const float f[8] = {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z, v.u, v.v};
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    for (float x : f) {
        h ^= KeyBits(x);
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    return h;
}

void VertexWelder::Grow() {
    slots_.assign(slots_.size() * 2, kEmpty);
    mask_ = slots_.size() - 1;
    for (std::size_t i = 0; i < vertices_.size(); ++i) {
        if (HasNaN(vertices_[i])) continue;
        // No two indexed vertices are equal (FindOrAdd appends only unmatched ones), so each gets a slot.
        std::size_t s = Hash(vertices_[i]) & mask_;
        while (slots_[s] != kEmpty) s = (s + 1) & mask_;
        slots_[s] = std::uint32_t(i);
    }
}

std::uint32_t VertexWelder::FindOrAdd(const ModelVertex& v) {
    if (HasNaN(v)) {  // equals nothing: always a new vertex, never indexed
        vertices_.push_back(v);
        return std::uint32_t(vertices_.size() - 1);
    }
    std::size_t s = Hash(v) & mask_;
    while (slots_[s] != kEmpty) {
        if (VerticesEqual(vertices_[slots_[s]], v)) return slots_[s];
        s = (s + 1) & mask_;
    }
    vertices_.push_back(v);
    const auto index = std::uint32_t(vertices_.size() - 1);
    slots_[s] = index;
    if (++indexed_ * 2 > slots_.size()) Grow();
    return index;
}

std::uint32_t FindOrAddVertexLinear(std::vector<ModelVertex>& vertices, const ModelVertex& v) {
    for (std::size_t i = 0; i < vertices.size(); ++i)
        if (VerticesEqual(vertices[i], v)) return std::uint32_t(i);
    vertices.push_back(v);
    return std::uint32_t(vertices.size() - 1);
}

}  // namespace vlo
