// Welding of mesh corners into vertices by exact equality.
//
// Two vertices are equal when position, normal and texture coordinate are equal component by
// component as floats: +0 equals -0, and a vertex with a NaN component equals nothing (not even
// itself). Vertices are numbered by first appearance, so the result is exactly that of a linear
// search from the first vertex, in expected constant time per corner.
#pragma once

#include <cstdint>
#include <vector>

#include "format/records.h"

namespace vlo {

class VertexWelder {
public:
    // Empties out, then appends each new vertex to it. out stays owned by the caller and must be
    // changed by no one else while the welder is used. expectedCorners sizes the table up front
    // (0: grow from small).
    explicit VertexWelder(std::vector<ModelVertex>& out, std::size_t expectedCorners = 0);

    // Index of the first equal vertex in out, or of the vertex appended for v.
    std::uint32_t FindOrAdd(const ModelVertex& v);

    // FindOrAdd of each of count vertices in order, their indices into indices: the same numbering,
    // faster on large meshes because each vertex's table slot is fetched from memory while the
    // vertices before it are looked up.
    void FindOrAdd(const ModelVertex* vertices, std::size_t count, std::uint32_t* indices);

private:
    // A vertex's key hash; a vertex with a NaN has none (it equals nothing and is never indexed).
    struct Hashed {
        bool hashable = false;
        std::uint64_t hash = 0;
    };
    static Hashed HashedOf(const ModelVertex& v);
    void Grow();
    std::uint32_t FindOrAdd(const ModelVertex& v, const Hashed& h);

    std::vector<ModelVertex>& vertices_;
    // Open addressing, linear probing: each slot holds a vertex index (low 32 bits) and the top 32
    // bits of its key's hash, so that a probe compares vertices only when the hashes agree. 0 is empty
    // (the tag is never 0).
    std::vector<std::uint64_t> slots_;
    std::size_t mask_ = 0;
    std::size_t indexed_ = 0;
};

// The reference: a linear search from the first vertex with the same equality.
std::uint32_t FindOrAddVertexLinear(std::vector<ModelVertex>& vertices, const ModelVertex& v);

// The weld's equality: position, normal and texture coordinate equal as floats (+0 == -0, NaN never).
bool VerticesEqual(const ModelVertex& a, const ModelVertex& b);

}  // namespace vlo
