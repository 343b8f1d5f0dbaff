#include "format/vlo_writer.h"

#include <algorithm>

#include "format/chunk_writer.h"

namespace vlo {
namespace {

std::uint32_t Count(std::size_t n) { return std::uint32_t(n); }

}  // namespace

void WriteVlo(const VloModel& m, ByteSink& sink) {
    sink.WriteRecord(BlockHeader{kBlockMagic, 1, 0, 16});
    ChunkWriter chunks(sink);
    const std::uint64_t objectStart = chunks.Begin(kChunkObject);

    // The object header and the chunk list header are completed once the chunks are counted.
    const std::uint64_t headerStart = sink.Tell();
    sink.WriteRecord(ObjectHeader{});
    const std::uint64_t listStart = sink.Tell();
    sink.WriteRecord(BlockHeader{kBlockMagic, 0, 0, 16});
    std::uint32_t n = 0;

    if (m.IsHierarchy()) {
        chunks.WriteCounted(kChunkHierarchy, m.bones.data(), Count(m.bones.size()));
        ++n;
    }
    for (const TextureName& t : m.textures) {
        chunks.WriteSingle(kChunkTexture, t);
        ++n;
    }
    if (m.sound) {
        chunks.WriteSingle(kChunkSound, *m.sound);
        ++n;
    }
    chunks.WriteCounted(kChunkVertices, m.vertices.data(), Count(m.vertices.size()));
    ++n;
    if (m.IsHierarchy()) {
        chunks.WriteCounted(kChunkVertexLinks, m.links.data(), Count(m.links.size()));
        ++n;
    }
    chunks.WriteCounted(kChunkPolygons, m.polygons.data(), Count(m.polygons.size()));
    ++n;
    if (m.bumpMap) {
        chunks.WriteSingle(kChunkBumpMap, *m.bumpMap);
        chunks.WriteCounted(kChunkTangents, m.tangents.data(), Count(m.tangents.size()));
        n += 2;
    }
    if (m.specularMap) {
        chunks.WriteSingle(kChunkSpecularMap, *m.specularMap);
        ++n;
    }
    if (!m.markers.empty()) {
        chunks.WriteCounted(kChunkMarkers, m.markers.data(), Count(m.markers.size()));
        ++n;
    }

    const std::uint64_t end = sink.Tell();
    sink.Seek(listStart);
    sink.WriteRecord(BlockHeader{kBlockMagic, n, 0, 16});
    sink.Seek(headerStart);
    ObjectHeader header;
    header.flags = m.flags;
    sink.WriteRecord(header);
    sink.Seek(end);
    chunks.End(objectStart, kChunkObject);
}

std::vector<std::uint8_t> EncodeVlo(const VloModel& m) {
    MemorySink sink;
    sink.Reserve(68 + 16 * 6 + sizeof(BoneRecord) * m.bones.size() + sizeof(TextureName) * (m.textures.size() + 3) +
                 sizeof(ModelVertex) * m.vertices.size() + sizeof(VertexLinks) * m.links.size() +
                 sizeof(ModelPolygon) * m.polygons.size() + sizeof(TangentFrame) * m.tangents.size() +
                 sizeof(MarkerRecord) * m.markers.size() + 12 * 12);
    WriteVlo(m, sink);
    return sink.Take();
}

std::pair<Vec3, Vec3> VloModel::VertexBounds() const {
    Vec3 lo = vertices.front().position, hi = lo;
    for (const ModelVertex& v : vertices) {
        const Vec3& p = v.position;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    return {lo, hi};
}

std::vector<IndexBuffer> IndexBuffersOf(const std::vector<ModelPolygon>& polygons) {
    std::vector<IndexBuffer> runs;
    for (const ModelPolygon& p : polygons) {
        if (runs.empty() || runs.back().textureId != p.textureId) runs.push_back({p.textureId, 0});
        ++runs.back().numPolys;
    }
    return runs;
}

}  // namespace vlo
