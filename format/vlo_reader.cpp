#include "format/vlo_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

namespace vlo {
namespace {

// Position of each chunk type in the required file order; textures may repeat.
int ChunkRank(std::uint32_t type) {
    switch (type) {
        case kChunkHierarchy: return 1;
        case kChunkTexture: return 2;
        case kChunkSound: return 3;
        case kChunkVertices: return 4;
        case kChunkVertexLinks: return 5;
        case kChunkPolygons: return 6;
        case kChunkBumpMap: return 7;
        case kChunkTangents: return 8;
        case kChunkSpecularMap: return 9;
        case kChunkMarkers: return 10;
        default: return 0;
    }
}

// Offsets of the fixed parts every file starts with.
constexpr std::uint64_t kObjectChunkAt = sizeof(BlockHeader);
constexpr std::uint64_t kObjectHeaderAt = kObjectChunkAt + sizeof(ChunkHeader);
constexpr std::uint64_t kChunkListAt = kObjectHeaderAt + sizeof(ObjectHeader);
constexpr std::uint64_t kFirstChunkAt = kChunkListAt + sizeof(BlockHeader);

// A warning that may hold for many records is reported once: the first record's, with a count of
// the others.
class RecurringWarning {
public:
    explicit RecurringWarning(const char* others) : others_(others) {}
    template <class MakeText>
    void Add(MakeText makeText) {
        if (count_++ == 0) first_ = makeText();
    }
    void Report(std::vector<Finding>& findings) const {
        if (count_ == 0) return;
        findings.push_back({Finding::Severity::Warning, count_ == 1 ? first_
                                                                    : first_ + " (and " + std::to_string(count_ - 1) + " more " +
                                                                          others_ + ")"});
    }

private:
    const char* others_;
    std::string first_;
    std::size_t count_ = 0;
};

class Parser {
public:
    Parser(std::span<const std::uint8_t> bytes, VloReadResult& result) : bytes_(bytes), r_(result) {}

    void Run();

private:
    template <class T>
    bool Read(std::uint64_t offset, T& out) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return false;
        std::memcpy(&out, bytes_.data() + offset, sizeof(T));
        return true;
    }
    template <class T>
    bool ReadArray(std::uint64_t offset, std::uint64_t count, std::vector<T>& out) const {
        if (offset > bytes_.size() || count > (bytes_.size() - offset) / sizeof(T)) return false;
        out.resize(count);
        if (count) std::memcpy(out.data(), bytes_.data() + offset, count * sizeof(T));
        return true;
    }
    void Error(std::string text) { r_.findings.push_back({Finding::Severity::Error, std::move(text)}); }

    bool ReadChunk(std::uint64_t start, std::uint64_t limit, std::uint64_t& next);
    void ReadName(const char* what, std::uint64_t payload, std::uint64_t payloadSize, TextureName& out);
    template <class T>
    bool ReadCounted(const char* what, std::uint64_t payload, std::uint64_t payloadSize, std::vector<T>& out);
    void CheckModel();

    std::span<const std::uint8_t> bytes_;
    VloReadResult& r_;
};

void Parser::Run() {
    VloLayout& layout = r_.layout;
    layout.fileSize = bytes_.size();
    BlockHeader file;
    if (!Read(0, file)) return Error("file too short for its header (" + std::to_string(bytes_.size()) + " bytes)");
    if (file.magic != kBlockMagic) return Error("not a VLO file: wrong magic word in the file header");
    if (file.chunkCount != 1) Error("file header counts " + std::to_string(file.chunkCount) + " chunks, expected 1");
    if (file.reserved != 0 || file.headerSize != 16) Error("file header has wrong reserved or size fields");

    ChunkHeader object;
    if (!Read(kObjectChunkAt, object)) return Error("file truncated in the object chunk header");
    if (object.magic != kChunkMagic || object.type != kChunkObject) return Error("the first chunk is not an object chunk");
    layout.objectChunkSize = object.size;
    if (std::uint64_t(object.size) + kObjectChunkAt != bytes_.size())
        Error("object chunk size " + std::to_string(object.size) + " does not match the file size " +
              std::to_string(bytes_.size()) + " minus 16");
    const std::uint64_t objectEnd = std::min<std::uint64_t>(bytes_.size(), kObjectChunkAt + std::uint64_t(object.size));

    ObjectHeader header;
    if (!Read(kObjectHeaderAt, header)) return Error("file truncated in the object header");
    if (std::memcmp(header.signature, ObjectHeader{}.signature, 4) != 0) Error("object header signature is not OBJ3");
    r_.model.flags = header.flags;
    if (header.flags & ~kKnownObjectFlags)
        Error("object header has unknown flag bits set");
    for (auto b : header.reserved)
        if (b != 0) {
            Error("object header reserved bytes are not zero");
            break;
        }

    BlockHeader list;
    if (!Read(kChunkListAt, list)) return Error("file truncated in the chunk list header");
    if (list.magic != kBlockMagic || list.headerSize != 16 || list.reserved != 0) Error("chunk list header is corrupt");
    layout.chunkCount = list.chunkCount;

    std::uint64_t at = kFirstChunkAt;
    std::uint32_t found = 0;
    while (at < objectEnd) {
        std::uint64_t next = 0;
        if (!ReadChunk(at, objectEnd, next)) break;
        ++found;
        at = next;
    }
    if (found != list.chunkCount)
        Error("chunk list counts " + std::to_string(list.chunkCount) + " chunks but " + std::to_string(found) +
              " were found");
    CheckModel();
}

void Parser::ReadName(const char* what, std::uint64_t payload, std::uint64_t payloadSize, TextureName& out) {
    if (payloadSize != sizeof(TextureName) || !Read(payload, out)) {
        Error(std::string(what) + " chunk has payload size " + std::to_string(payloadSize) + ", expected 260");
        return;
    }
    if (std::memchr(out.name, 0, sizeof(out.name)) == nullptr)
        Error(std::string(what) + " name is not zero-terminated");
    else if (!ZeroPadded(out.name))
        Error(std::string(what) + " name field has bytes after its terminating zero");
}

template <class T>
bool Parser::ReadCounted(const char* what, std::uint64_t payload, std::uint64_t payloadSize, std::vector<T>& out) {
    std::uint32_t count = 0;
    if (payloadSize < 4 || !Read(payload, count)) {
        Error(std::string(what) + " chunk too small for its count");
        return false;
    }
    if (payloadSize != 4 + std::uint64_t(count) * sizeof(T)) {
        Error(std::string(what) + " chunk size does not match its count " + std::to_string(count));
        return false;
    }
    return ReadArray(payload + 4, count, out);
}

bool Parser::ReadChunk(std::uint64_t start, std::uint64_t limit, std::uint64_t& next) {
    VloLayout& layout = r_.layout;
    VloModel& m = r_.model;
    ChunkHeader h;
    if (!Read(start, h) || start + sizeof(h) > limit) {
        Error("truncated chunk header at offset " + std::to_string(start));
        return false;
    }
    if (h.magic != kChunkMagic) {
        Error("bad chunk magic at offset " + std::to_string(start));
        return false;
    }
    if (h.size < 12 || start + h.size > limit) {
        Error("chunk at offset " + std::to_string(start) + " has size " + std::to_string(h.size) +
              " beyond the object chunk");
        return false;
    }
    next = start + h.size;
    const int rank = ChunkRank(h.type);
    if (rank == 0) {
        Error("unknown chunk type 0x" + [&] {
            char b[16];
            std::snprintf(b, sizeof b, "%08X", h.type);
            return std::string(b);
        }());
        return true;
    }
    if (!layout.chunkOrder.empty()) {
        const std::uint32_t prev = layout.chunkOrder.back();
        if (rank < ChunkRank(prev) || (rank == ChunkRank(prev) && h.type != kChunkTexture))
            Error(std::string(ChunkTypeName(h.type)) + " chunk out of order after " + ChunkTypeName(prev));
    }
    layout.chunkOrder.push_back(h.type);
    const std::uint64_t payload = start + 12, size = h.size - 12u;
    switch (h.type) {
        case kChunkHierarchy: ReadCounted("hierarchy", payload, size, m.bones); break;
        case kChunkTexture: ReadName("texture", payload, size, m.textures.emplace_back()); break;
        case kChunkSound: ReadName("sound", payload, size, m.sound.emplace()); break;
        case kChunkVertices: ReadCounted("vertices", payload, size, m.vertices); break;
        case kChunkVertexLinks: ReadCounted("vertex links", payload, size, m.links); break;
        case kChunkPolygons: ReadCounted("polygons", payload, size, m.polygons); break;
        case kChunkBumpMap: ReadName("bump map", payload, size, m.bumpMap.emplace()); break;
        case kChunkTangents: ReadCounted("tangents", payload, size, m.tangents); break;
        case kChunkSpecularMap: ReadName("specular map", payload, size, m.specularMap.emplace()); break;
        case kChunkMarkers: ReadCounted("dummy markers", payload, size, m.markers); break;
        default: break;
    }
    return true;
}

void Parser::CheckModel() {
    VloModel& m = r_.model;
    m.indexBuffers = IndexBuffersOf(m.polygons);
    auto count = [&](std::uint32_t type) {
        std::size_t n = 0;
        for (auto t : r_.layout.chunkOrder) n += (t == type);
        return n;
    };
    for (std::uint32_t type : {kChunkHierarchy, kChunkSound, kChunkVertices, kChunkVertexLinks, kChunkPolygons,
                               kChunkBumpMap, kChunkTangents, kChunkSpecularMap, kChunkMarkers})
        if (count(type) > 1) Error(std::string("more than one ") + ChunkTypeName(type) + " chunk");
    if (count(kChunkVertices) == 0) Error("no vertices chunk");
    if (count(kChunkPolygons) == 0) Error("no polygons chunk");
    const bool hierarchyFlag = (m.flags & kFlagHierarchy) != 0;
    if (hierarchyFlag != (count(kChunkHierarchy) == 1)) Error("hierarchy flag and hierarchy chunk disagree");
    if (hierarchyFlag != (count(kChunkVertexLinks) == 1)) Error("hierarchy flag and vertex links chunk disagree");
    if ((count(kChunkBumpMap) == 1) != (count(kChunkTangents) == 1)) Error("bump map and tangents chunks must come together");

    const std::size_t v = m.vertices.size();
    if (v > kMaxVertices)
        Error(std::to_string(v) + " vertices: 16-bit polygon indices reach only " + std::to_string(kMaxVertices));
    RecurringWarning zeroNormals("vertices"), longNormals("vertices"), weightSums("link records");
    for (std::size_t i = 0; i < v; ++i) {
        const ModelVertex& vx = m.vertices[i];
        if (!IsFinite(vx.position) || !IsFinite(vx.normal) || !std::isfinite(vx.u) || !std::isfinite(vx.v)) {
            Error("vertex " + std::to_string(i) + " has a non-finite value");
            continue;
        }
        const float len = std::sqrt(vx.normal.x * vx.normal.x + vx.normal.y * vx.normal.y + vx.normal.z * vx.normal.z);
        if (len == 0.0f)
            zeroNormals.Add([&] {
                return "vertex " + std::to_string(i) + " has a zero normal (it belongs only to faces without area)";
            });
        else if (!IsUnitLength(len))
            longNormals.Add([&] { return "vertex " + std::to_string(i) + " normal has length " + std::to_string(len); });
    }
    zeroNormals.Report(r_.findings);
    longNormals.Report(r_.findings);
    for (std::size_t i = 0; i < m.polygons.size(); ++i) {
        const ModelPolygon& p = m.polygons[i];
        for (auto idx : p.verts)
            if (idx >= v) {
                Error("polygon " + std::to_string(i) + " uses vertex " + std::to_string(idx) + " of " + std::to_string(v));
                break;
            }
        if (p.textureId < -1 || p.textureId >= std::int64_t(m.textures.size()))
            Error("polygon " + std::to_string(i) + " has texture id " + std::to_string(p.textureId) + " of " +
                  std::to_string(m.textures.size()) + " textures");
        if (i > 0 && p.textureId < m.polygons[i - 1].textureId)
            Error("polygon " + std::to_string(i) + " breaks the grouping by texture id");
    }
    if (r_.layout.Has(kChunkTangents)) {
        if (m.tangents.size() != v) Error("tangent count differs from the vertex count");
        for (std::size_t i = 0; i < m.tangents.size(); ++i)
            if (!IsFinite(m.tangents[i].tangent) || !IsFinite(m.tangents[i].binormal)) {
                Error("tangent frame " + std::to_string(i) + " has a non-finite value");
                break;
            }
    }
    if (r_.layout.Has(kChunkHierarchy) && m.bones.empty()) Error("the hierarchy chunk holds no bones");
    for (std::size_t i = 0; i < m.bones.size(); ++i) {
        const BoneRecord& b = m.bones[i];
        if (b.id != std::int64_t(i)) Error("bone " + std::to_string(i) + " has id " + std::to_string(b.id));
        if (i == 0 ? b.parentId != -1 : (b.parentId < 0 || b.parentId >= std::int64_t(i)))
            Error("bone " + std::to_string(i) + " has parent id " + std::to_string(b.parentId));
        if (!IsFinite(b.offset) || !IsFinite(b.position) || !std::isfinite(b.rotation[0]) || !std::isfinite(b.rotation[1]) ||
            !std::isfinite(b.rotation[2]) || !std::isfinite(b.rotation[3]))
            Error("bone " + std::to_string(i) + " has a non-finite value");
        else if (!IsUnitLength(QuaternionLength(b.rotation[0], b.rotation[1], b.rotation[2], b.rotation[3])))
            Error("bone " + std::to_string(i) + " rotation is not a unit quaternion");
        if (!ZeroPadded(b.name)) Error("bone " + std::to_string(i) + " name field has bytes after its terminating zero");
    }
    if (r_.layout.Has(kChunkVertexLinks)) {
        if (m.links.size() != v) Error("vertex link count differs from the vertex count");
        for (std::size_t i = 0; i < m.links.size(); ++i) {
            const VertexLinks& l = m.links[i];
            const std::string at = "vertex links " + std::to_string(i);
            if (l.numLinks < 1 || l.numLinks > 4) {
                Error(at + " has " + std::to_string(l.numLinks) + " links");
                continue;
            }
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                if (!std::isfinite(l.weights[k])) Error(at + " has a non-finite weight");
                if (k >= l.numLinks && l.weights[k] != 0.0f) Error(at + " has a weight beyond its link count");
                if (k < l.numLinks) {
                    sum += l.weights[k];
                    if (l.boneIds[k] != kNoBone && l.boneIds[k] >= m.bones.size())
                        Error(at + " names bone " + std::to_string(l.boneIds[k]) + " of " + std::to_string(m.bones.size()));
                }
            }
            if (std::isfinite(sum) && std::fabs(sum - 1.0f) > 1e-3f)
                weightSums.Add([&] { return at + " weights sum to " + std::to_string(sum) + ", not 1"; });
            // The record repeats its vertex's normal and position, float for float.
            if (i < v && (!SameBits(l.normal, m.vertices[i].normal) || !SameBits(l.position, m.vertices[i].position)))
                Error(at + " does not repeat its vertex's normal and position");
        }
    }
    weightSums.Report(r_.findings);
    if (r_.layout.Has(kChunkMarkers) && m.markers.empty()) Error("the dummy markers chunk holds no markers");
    for (std::size_t i = 0; i < m.markers.size(); ++i) {
        if (!IsFinite(m.markers[i].position)) Error("marker " + std::to_string(i) + " has a non-finite position");
        if (!ZeroPadded(m.markers[i].name))
            Error("marker " + std::to_string(i) + " name field has bytes after its terminating zero");
    }
}

}  // namespace

bool VloLayout::Has(std::uint32_t type) const {
    return std::find(chunkOrder.begin(), chunkOrder.end(), type) != chunkOrder.end();
}

bool VloReadResult::Valid() const {
    for (const auto& f : findings)
        if (f.severity == Finding::Severity::Error) return false;
    return true;
}

VloReadResult ReadVlo(std::span<const std::uint8_t> bytes) {
    VloReadResult result;
    Parser(bytes, result).Run();
    return result;
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    // A folder opens as a stream whose end lies at a made-up, huge offset: it is never read.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + " is a folder, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    // One read of the size the file has; files that cannot tell their size are read in blocks. A file
    // larger than the memory there is to hold it is refused, not a reason to end the program.
    bytes.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    try {
        if (size > 0) {
            bytes.resize(std::size_t(size));
            in.read(reinterpret_cast<char*>(bytes.data()), size);
            bytes.resize(std::size_t(in.gcount()));
        }
        in.clear();
        char block[65536];
        while (in.read(block, sizeof block) || in.gcount() > 0) bytes.insert(bytes.end(), block, block + in.gcount());
    } catch (const std::bad_alloc&) {
        bytes = {};
        error = path + " is too large to read (" + std::to_string(size) + " bytes)";
        return false;
    }
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

const char* ChunkTypeName(std::uint32_t type) {
    switch (type) {
        case kChunkObject: return "object";
        case kChunkHierarchy: return "hierarchy";
        case kChunkTexture: return "texture";
        case kChunkSound: return "sound";
        case kChunkVertices: return "vertices";
        case kChunkVertexLinks: return "vertex links";
        case kChunkPolygons: return "polygons";
        case kChunkBumpMap: return "bump map";
        case kChunkTangents: return "tangents";
        case kChunkSpecularMap: return "specular map";
        case kChunkMarkers: return "dummy markers";
        default: return "unknown";
    }
}

}  // namespace vlo
