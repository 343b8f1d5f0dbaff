// Every on-disk record of the VLO model and VLA animation files, defined once and shared by the
// writers and the readers. Each struct is the record byte for byte (little-endian, IEEE single
// floats, no padding); the static_asserts hold the sizes.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vlo {

static_assert(std::endian::native == std::endian::little,
              "records are written and read as they lie in memory: little-endian hosts only");

struct Vec3 {
    float x = 0, y = 0, z = 0;
    bool operator==(const Vec3&) const = default;
};
static_assert(sizeof(Vec3) == 12);

inline bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

inline constexpr std::uint32_t kBlockMagic = 0x40A41481;
inline constexpr std::uint32_t kChunkMagic = 0x8A3DDA02;

enum ChunkType : std::uint32_t {
    kChunkObject = 0x20D39DC1,
    kChunkHierarchy = 0x04E888FD,
    kChunkTexture = 0xF9798DD3,
    kChunkSound = 0x367157F3,
    kChunkVertices = 0x4426EF42,
    kChunkVertexLinks = 0x056D3448,
    kChunkPolygons = 0x10FE44E1,
    kChunkBumpMap = 0xF59A355A,
    kChunkTangents = 0x900D89F6,
    kChunkSpecularMap = 0xD2EDFCD1,
    kChunkMarkers = 0xC8710AB0,
};

// Object flags.
inline constexpr std::uint32_t kFlagNoCollisions = 0x2;
inline constexpr std::uint32_t kFlagHierarchy = 0x4;
inline constexpr std::uint32_t kFlagSemiTransparent = 0x8;
// Every bit an object header may hold; any other is an error.
inline constexpr std::uint32_t kKnownObjectFlags = kFlagNoCollisions | kFlagHierarchy | kFlagSemiTransparent;

inline constexpr int kPathBytes = 260;  // texture and sound names
inline constexpr int kNameBytes = 32;   // bone and marker names
// The longest path or file name a 260-byte field holds with its terminating zero.
inline constexpr std::size_t kMaxPathChars = kPathBytes - 1;
// Vertex indices are 16 bits wide.
inline constexpr std::size_t kMaxVertices = 65535;
// Bone ids of vertex links are 8 bits wide and 0xFF means "no bone".
inline constexpr std::size_t kMaxLinkedBones = 255;

struct BlockHeader {
    std::uint32_t magic = kBlockMagic;
    std::uint32_t chunkCount = 0;
    std::uint32_t reserved = 0;
    std::uint32_t headerSize = 16;
    bool operator==(const BlockHeader&) const = default;
};
static_assert(sizeof(BlockHeader) == 16);

struct ChunkHeader {
    std::uint32_t magic = kChunkMagic;
    std::uint32_t type = 0;
    std::uint32_t size = 12;  // header included
    bool operator==(const ChunkHeader&) const = default;
};
static_assert(sizeof(ChunkHeader) == 12);

struct ObjectHeader {
    char signature[4] = {'O', 'B', 'J', '3'};
    std::uint32_t flags = 0;
    std::uint8_t reserved[16] = {};
    bool operator==(const ObjectHeader&) const = default;
};
static_assert(sizeof(ObjectHeader) == 24);

struct ModelVertex {
    Vec3 position;
    Vec3 normal;
    float u = 0, v = 0;
    bool operator==(const ModelVertex&) const = default;
};
static_assert(sizeof(ModelVertex) == 32);

struct ModelPolygon {
    std::uint16_t verts[3] = {0, 0, 0};
    std::int16_t textureId = -1;
    bool operator==(const ModelPolygon&) const = default;
};
static_assert(sizeof(ModelPolygon) == 8);

struct TangentFrame {
    Vec3 tangent;
    Vec3 binormal;
    bool operator==(const TangentFrame&) const = default;
};
static_assert(sizeof(TangentFrame) == 24);

// A zero-terminated file name (name plus extension), zero-padded to 260 bytes.
struct TextureName {
    char name[kPathBytes] = {};
    bool operator==(const TextureName&) const = default;
};
static_assert(sizeof(TextureName) == 260);

struct VertexLinks {
    std::int32_t numLinks = 0;
    std::uint8_t boneIds[4] = {0, 0, 0, 0};
    Vec3 normal;
    float weights[4] = {0, 0, 0, 0};
    Vec3 position;
    bool operator==(const VertexLinks&) const = default;
};
static_assert(sizeof(VertexLinks) == 48);

inline constexpr std::uint8_t kNoBone = 0xFF;

struct BoneRecord {
    std::int16_t id = 0;
    std::int16_t parentId = -1;
    char name[kNameBytes] = {};
    Vec3 offset;
    float rotation[4] = {0, 0, 0, 1};  // x, y, z, w
    Vec3 position;
    bool operator==(const BoneRecord&) const = default;
};
static_assert(sizeof(BoneRecord) == 76);

struct MarkerRecord {
    char name[kNameBytes] = {};
    Vec3 position;
    bool operator==(const MarkerRecord&) const = default;
};
static_assert(sizeof(MarkerRecord) == 44);

// ---- VLA -----------------------------------------------------------------------------------------

inline constexpr char kVlaMagic[4] = {'V', 'A', 'N', 'M'};

struct AnimationHeader {
    char magic[4] = {kVlaMagic[0], kVlaMagic[1], kVlaMagic[2], kVlaMagic[3]};
    std::uint32_t one = 1;
    std::uint32_t two = 2;
    std::uint32_t numBones = 0;
    std::uint32_t numFrames = 0;
    std::int32_t frameRate = 0;
    std::uint32_t numMarkers = 0;
    bool operator==(const AnimationHeader&) const = default;
};
static_assert(sizeof(AnimationHeader) == 28);

struct BoneKey {
    float x = 0, y = 0, z = 0, w = 1;
    bool operator==(const BoneKey&) const = default;
};
static_assert(sizeof(BoneKey) == 16);

inline bool IsFinite(const BoneKey& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

// The fixed part of a frame record; numBones BoneKeys follow it.
struct VlaFrameHeader {
    std::uint32_t flags = 0;  // key-frame bits
    Vec3 rootPosition;        // metres
    float rootRotation = 0;   // radians
    bool operator==(const VlaFrameHeader&) const = default;
};
static_assert(sizeof(VlaFrameHeader) == 20);

// The fixed part of a marker record; numFrames positions (Vec3, metres) follow it.
struct VlaMarkerHeader {
    char name[kNameBytes] = {};
    bool operator==(const VlaMarkerHeader&) const = default;
};
static_assert(sizeof(VlaMarkerHeader) == 32);

// The four swing key frames; a slot's number is the bit it sets in a frame's flags, and these four
// bits are all that a frame's flags may hold.
enum KeyFrameSlot : int { kBallStruck, kMouseSwingStart, kTopOfSwing, kAddressBall, kNumKeyFrameSlots };
inline constexpr const char* kKeyFrameNames[kNumKeyFrameSlots] = {"BALL_STRUCK", "MOUSE_SWING_START",
                                                                  "TOP_OF_SWING", "ADDRESS_BALL"};
inline constexpr std::uint32_t KeyFrameBit(int slot) { return 1u << slot; }
inline constexpr std::uint32_t kKnownFrameFlags = (1u << kNumKeyFrameSlots) - 1;

// How many bytes of text (zero-terminated, or null) a field of size bytes holds: all of them when they
// fit, else as many as fit without splitting a UTF-8 character, so that a cut name still reads as text.
std::size_t FittingLength(const char* text, std::size_t size);

// Copies text into a fixed field with a bound, zero-padding the rest. A longer text is cut after its
// last whole character that fits (FittingLength); a text that fills the field has no terminating zero.
template <std::size_t N>
void CopyBounded(char (&field)[N], const char* text) {
    const std::size_t length = FittingLength(text, N);
    std::size_t i = 0;
    for (; i < length; ++i) field[i] = text[i];
    for (; i < N; ++i) field[i] = '\0';
}

// The file-name part of a texture path (name and extension), as a model stores it: what follows the
// last '\' or '/', or a drive ("C:") when the path has no folder. Every tool that names a texture
// file (the exporter, the importer's extraction of embedded images, the preview) uses this one rule,
// so that the file written or looked for is the one the model names.
std::string FileNamePart(std::string_view path);

// The text of a fixed-size name field: up to its first zero byte, at most N characters.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0') ++n;
    return std::string(field, n);
}

// True when every byte after the field's first zero is zero too: the padding that copying a name
// into the field leaves. A field without a zero (a name of N characters or more) is padded too.
template <std::size_t N>
bool ZeroPadded(const char (&field)[N]) {
    std::size_t i = 0;
    while (i < N && field[i] != '\0') ++i;
    for (; i < N; ++i)
        if (field[i] != '\0') return false;
    return true;
}

// Stored normals and rotation quaternions are unit length within this tolerance.
inline bool IsUnitLength(float length) { return std::fabs(length - 1.0f) <= 1e-3f; }
inline float QuaternionLength(float x, float y, float z, float w) { return std::sqrt(x * x + y * y + z * z + w * w); }

// Bit-for-bit equality: the same floats written twice, where -0 differs from +0.
inline bool SameBits(const Vec3& a, const Vec3& b) {
    return std::bit_cast<std::uint32_t>(a.x) == std::bit_cast<std::uint32_t>(b.x) &&
           std::bit_cast<std::uint32_t>(a.y) == std::bit_cast<std::uint32_t>(b.y) &&
           std::bit_cast<std::uint32_t>(a.z) == std::bit_cast<std::uint32_t>(b.z);
}

}  // namespace vlo
