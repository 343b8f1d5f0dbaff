#include "geometry/weld.h"

#include <cstring>

namespace vlo {
namespace {

// The vertex's eight floats as bits, with -0 folded onto +0 so that equal floats give equal keys;
// false when a component is NaN (such a vertex equals nothing).
bool KeyOf(const ModelVertex& v, std::uint32_t (&key)[8]) {
    static_assert(sizeof(ModelVertex) == sizeof key);
    std::memcpy(key, &v, sizeof key);
    std::uint32_t nan = 0;
    for (std::uint32_t& w : key) {
        const std::uint32_t magnitude = w & 0x7FFFFFFFu;
        nan |= magnitude > 0x7F800000u;
        w = magnitude == 0 ? 0 : w;
    }
    return nan == 0;
}

std::uint64_t HashOf(const std::uint32_t (&key)[8]) {
    std::uint64_t h = 0;
    for (int i = 0; i < 8; i += 2) {
        const std::uint64_t pair = std::uint64_t(key[i]) | (std::uint64_t(key[i + 1]) << 32);
        h = (h ^ pair) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 32);
}

// The slot's tag: the hash's top 32 bits, never 0 (0 marks an empty slot).
std::uint64_t TagOf(std::uint64_t hash) { return (hash >> 32 | 1) << 32; }

std::size_t TableSizeFor(std::size_t vertices) {
    std::size_t size = 1024;
    while (size < vertices * 2) size *= 2;
    return size;
}

}  // namespace

bool VerticesEqual(const ModelVertex& a, const ModelVertex& b) {
    return a.position.x == b.position.x && a.position.y == b.position.y && a.position.z == b.position.z &&
           a.normal.x == b.normal.x && a.normal.y == b.normal.y && a.normal.z == b.normal.z && a.u == b.u &&
           a.v == b.v;
}

VertexWelder::VertexWelder(std::vector<ModelVertex>& out, std::size_t expectedCorners) : vertices_(out) {
    vertices_.clear();
    // Smooth meshes weld to about a sixth of their corners, hard-edged ones to many more: start at a
    // third and grow when half full.
    vertices_.reserve(expectedCorners / 3);
    slots_.assign(TableSizeFor(expectedCorners / 3), 0);
    mask_ = slots_.size() - 1;
}

void VertexWelder::Grow() {
    slots_.assign(slots_.size() * 2, 0);
    mask_ = slots_.size() - 1;
    for (std::size_t i = 0; i < vertices_.size(); ++i) {
        const Hashed h = HashedOf(vertices_[i]);
        if (!h.hashable) continue;
        // No two indexed vertices are equal (FindOrAdd appends only unmatched ones), so each gets a slot.
        std::size_t s = h.hash & mask_;
        while (slots_[s] != 0) s = (s + 1) & mask_;
        slots_[s] = TagOf(h.hash) | i;
    }
}

VertexWelder::Hashed VertexWelder::HashedOf(const ModelVertex& v) {
    std::uint32_t key[8];
    const bool hashable = KeyOf(v, key);
    return {hashable, hashable ? HashOf(key) : 0};
}

std::uint32_t VertexWelder::FindOrAdd(const ModelVertex& v) { return FindOrAdd(v, HashedOf(v)); }

void VertexWelder::FindOrAdd(const ModelVertex* vertices, std::size_t count, std::uint32_t* indices) {
    // Hashes are taken (and their slots fetched) kAhead vertices before their lookup; a slot fetched
    // before the table grows is merely a wasted fetch, as the lookup indexes the table as it is then.
    constexpr std::size_t kAhead = 16;
    Hashed ahead[kAhead];
    auto prepare = [&](std::size_t i) {
        ahead[i % kAhead] = HashedOf(vertices[i]);
        __builtin_prefetch(&slots_[ahead[i % kAhead].hash & mask_]);
    };
    for (std::size_t i = 0; i < count && i < kAhead; ++i) prepare(i);
    for (std::size_t i = 0; i < count; ++i) {
        indices[i] = FindOrAdd(vertices[i], ahead[i % kAhead]);
        if (i + kAhead < count) prepare(i + kAhead);
    }
}

std::uint32_t VertexWelder::FindOrAdd(const ModelVertex& v, const Hashed& h) {
    if (!h.hashable) {  // equals nothing: always a new vertex, never indexed
        vertices_.push_back(v);
        return std::uint32_t(vertices_.size() - 1);
    }
    const std::uint64_t tag = TagOf(h.hash);
    std::size_t s = h.hash & mask_;
    for (std::uint64_t slot; (slot = slots_[s]) != 0; s = (s + 1) & mask_) {
        const auto index = std::uint32_t(slot);
        if ((slot & ~0xFFFFFFFFull) == tag && VerticesEqual(vertices_[index], v)) return index;
    }
    vertices_.push_back(v);
    const auto index = std::uint32_t(vertices_.size() - 1);
    slots_[s] = tag | index;
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
