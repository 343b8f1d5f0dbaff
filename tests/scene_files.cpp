#include "scene_files.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace support {
namespace {

std::string Base64(const std::vector<std::uint8_t>& bytes) {
    static const char* kChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t(bytes[i]) << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += kChars[(n >> 18) & 63];
        out += kChars[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kChars[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kChars[n & 63] : '=';
    }
    return out;
}

template <class T>
void Append(std::vector<std::uint8_t>& buffer, const std::vector<T>& values) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(values.data());
    buffer.insert(buffer.end(), p, p + values.size() * sizeof(T));
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A glTF file's one buffer, with a buffer view and an accessor for each array added.
class GltfArrays {
public:
    // Adds values as the next accessor: count elements of type ("SCALAR", "VEC3", ...) and
    // componentType (5126 float, 5123 unsigned short, 5121 unsigned byte); extra adds fields (", \"min\": [0]").
    // byteStride: the bytes from one element to the next, when the view states them.
    template <class T>
    void Add(const std::vector<T>& values, std::size_t count, const char* type, const std::string& extra = "",
             int componentType = 5126, int byteStride = 0) {
        const std::string sep = views_.empty() ? "" : ",\n    ";
        views_ += sep + R"({"buffer": 0, "byteOffset": )" + std::to_string(buffer_.size()) + R"(, "byteLength": )" +
                  std::to_string(values.size() * sizeof(T)) +
                  (byteStride ? R"(, "byteStride": )" + std::to_string(byteStride) : std::string()) + "}";
        accessors_ += sep + R"({"bufferView": )" + std::to_string(count_++) + R"(, "componentType": )" +
                      std::to_string(componentType) + R"(, "count": )" + std::to_string(count) + R"(, "type": ")" + type +
                      "\"" + extra + "}";
        Append(buffer_, values);
        // Each view starts on a multiple of four bytes.
        buffer_.resize((buffer_.size() + 3) / 4 * 4);
    }
    // The "buffers", "bufferViews" and "accessors" members.
    std::string Json() const {
        return R"("buffers": [{"byteLength": )" + std::to_string(buffer_.size()) +
               R"(, "uri": "data:application/octet-stream;base64,)" + Base64(buffer_) + R"("}],
  "bufferViews": [
    )" + views_ + R"(
  ],
  "accessors": [
    )" + accessors_ + R"(
  ])";
    }

private:
    std::vector<std::uint8_t> buffer_;
    std::string views_, accessors_;
    int count_ = 0;
};

}  // namespace

void WriteGltf(const std::string& path, bool turned) {
    // Cube with 24 vertices (4 per side), sides in the order +x, -x, +y, -y, +z, -z.
    std::vector<float> pos, nrm, uv;
    std::vector<std::uint16_t> first, second;
    const float dirs[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int s = 0; s < 6; ++s) {
        const float* n = dirs[s];
        // Two axes spanning the side with a x b = n, so the corners below wind outwards.
        const float a[3] = {n[2] != 0 ? 1.0f : 0.0f, n[0] != 0 ? 1.0f : 0.0f, n[1] != 0 ? 1.0f : 0.0f};
        const float b[3] = {n[1] * a[2] - n[2] * a[1], n[2] * a[0] - n[0] * a[2], n[0] * a[1] - n[1] * a[0]};
        const int base = int(pos.size() / 3);
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            for (int k = 0; k < 3; ++k) pos.push_back(0.5f * (n[k] + c[0] * a[k] + c[1] * b[k]) + (k == 1 ? 0.5f : 0.0f));
            nrm.insert(nrm.end(), {n[0], n[1], n[2]});
            uv.insert(uv.end(), {(c[0] + 1) / 2, (c[1] + 1) / 2});
        }
        auto& idx = s < 3 ? first : second;
        for (int k : {0, 1, 2, 0, 2, 3}) idx.push_back(std::uint16_t(base + k));
    }
    GltfArrays arrays;
    arrays.Add(pos, 24, "VEC3", R"(, "min": [-0.5, 0, -0.5], "max": [0.5, 1, 0.5])");  // 0
    arrays.Add(nrm, 24, "VEC3");                                                      // 1
    arrays.Add(uv, 24, "VEC2");                                                       // 2
    arrays.Add(first, 18, "SCALAR", "", 5123);                                        // 3
    arrays.Add(second, 18, "SCALAR", "", 5123);                                       // 4
    const float s45 = std::sqrt(0.5f);
    const std::string boxRotation = turned ? "\"rotation\": [" + std::to_string(s45) + ", 0, 0, " + std::to_string(s45) +
                                                 "], \"translation\": [0, 0, -3],"
                                           : "";
    const std::string json = R"({
  "asset": {"version": "2.0", "generator": "vlo tests"},
  "scene": 0,
  "scenes": [{"nodes": [0, 1, 3]}],
  "nodes": [
    {"name": "Box", )" + boxRotation + R"( "mesh": 0},
    {"name": "Group", "children": [2], "extras": {"note": "KEYFRAME 12 BALL_STRUCK"}},
    {"name": "Spin", "mesh": 1, "rotation": [0, )" + std::to_string(s45) + ", 0, " + std::to_string(s45) + R"(], "children": [4]},
    {"name": "Pin", "translation": [1, 2, 3]},
    {"name": "Tip", "translation": [0, 1, 0]}
  ],
  "meshes": [
    {"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2}, "indices": 3, "material": 0},
                    {"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2}, "indices": 4, "material": 1}]},
    {"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2}, "indices": 3, "material": 0}]}
  ],
  "materials": [
    {"name": "Grass", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
    {"name": "Stone", "pbrMetallicRoughness": {"baseColorTexture": {"index": 1}}, "normalTexture": {"index": 2}}
  ],
  "textures": [{"source": 0}, {"source": 1}, {"source": 2}],
  "images": [{"uri": "grass.png"}, {"uri": "textures/stone.png"}, {"uri": "stone%5Fn.png"}],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

void WriteSkinnedGltf(const std::string& path) {
    const std::vector<float> pos = {0, 0, 0, 1, 0, 0, 0, 2, 0, 1, 2, 0};
    const std::vector<std::uint8_t> joints = {0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    const std::vector<float> weights = {1, 0, 0, 0, 1, 0, 0, 0, 0.75f, 0.25f, 0, 0, 1, 0, 0, 0};
    const std::vector<std::uint16_t> indices = {0, 1, 2, 1, 3, 2};
    // Column-major inverse bind matrices: translations by -1 and -2 along y (and -3 for Tip).
    std::vector<float> ibm;
    for (float y : {-1.0f, -2.0f, -3.0f}) ibm.insert(ibm.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, y, 0, 1});
    GltfArrays arrays;
    arrays.Add(pos, 4, "VEC3", R"(, "min": [0, 0, 0], "max": [1, 2, 0])");  // 0
    arrays.Add(weights, 4, "VEC4");                                      // 1
    arrays.Add(ibm, 3, "MAT4");                                          // 2
    arrays.Add(joints, 4, "VEC4", "", 5121);                             // 3
    arrays.Add(indices, 6, "SCALAR", "", 5123);                          // 4
    const float s45 = std::sqrt(0.5f);
    const std::string json = R"({
  "asset": {"version": "2.0"},
  "scene": 0,
  "scenes": [{"nodes": [0, 1]}],
  "nodes": [
    {"name": "Body", "mesh": 0, "skin": 0},
    {"name": "Hips", "translation": [0, 1, 0], "children": [2]},
    {"name": "Spine", "translation": [0, 1, 0], "rotation": [0, 0, )" + std::to_string(s45) + ", " + std::to_string(s45) + R"(], "children": [3]},
    {"name": "Tip", "translation": [0, 1, 0]}
  ],
  "skins": [{"joints": [1, 2, 3], "inverseBindMatrices": 2, "skeleton": 1}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "WEIGHTS_0": 1, "JOINTS_0": 3}, "indices": 4}]}],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

void WriteNeutralBoneGltf(const std::string& path, const std::string& generator) {
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, weights = {1, 0, 0, 0, 1, 0, 0, 0,
                                                                                       1, 0, 0, 0, 1, 0, 0, 0},
                             inverseBinds = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                                             1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const std::vector<std::uint16_t> joints = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, indices = {0, 1, 2, 0, 2, 3};
    GltfArrays arrays;
    arrays.Add(positions, 4, "VEC3", R"(, "min": [0, 0, 0], "max": [1, 1, 0])");  // 0
    arrays.Add(weights, 4, "VEC4");                                             // 1
    arrays.Add(joints, 4, "VEC4", "", 5123);                                    // 2
    arrays.Add(inverseBinds, 2, "MAT4");                                        // 3
    arrays.Add(indices, 6, "SCALAR", "", 5123);                                 // 4
    const std::string json = R"({
  "asset": {"version": "2.0", "generator": ")" + generator + R"("},
  "scene": 0,
  "scenes": [{"nodes": [0, 3]}],
  "nodes": [
    {"name": "Rig", "children": [1, 2]},
    {"name": "Bone"},
    {"name": "neutral_bone"},
    {"name": "Body", "mesh": 0, "skin": 0}
  ],
  "skins": [{"joints": [1, 2], "inverseBindMatrices": 3, "skeleton": 0}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "WEIGHTS_0": 1, "JOINTS_0": 2}, "indices": 4}]}],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

void WriteTwoRigsGltf(const std::string& path) {
    const std::vector<float> times = {0, 1}, turn = {0, 0, 0, 1, 0.6f, 0, 0, 0.8f},
                             positions = {0, 0, 0, 1, 0, 0, 0, 1, 0}, weights = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0},
                             inverseBind = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const std::vector<std::uint16_t> joints(12, 0);
    GltfArrays arrays;
    arrays.Add(times, 2, "SCALAR", R"(, "min": [0], "max": [1])");              // 0
    arrays.Add(turn, 2, "VEC4");                                                 // 1
    arrays.Add(positions, 3, "VEC3", R"(, "min": [0, 0, 0], "max": [1, 1, 0])");  // 2
    arrays.Add(weights, 3, "VEC4");                                              // 3
    arrays.Add(joints, 3, "VEC4", "", 5123);                                     // 4
    arrays.Add(inverseBind, 1, "MAT4");                                          // 5
    const std::string json = R"({
  "asset": {"version": "2.0"},
  "scene": 0,
  "scenes": [{"nodes": [0, 2]}],
  "nodes": [
    {"name": "Left", "translation": [-2, 0, 0], "children": [1, 4]},
    {"name": "Bone"},
    {"name": "Right", "translation": [2, 0, 0], "children": [3, 5]},
    {"name": "Bone"},
    {"name": "LeftBody", "mesh": 0, "skin": 0},
    {"name": "RightBody", "mesh": 0, "skin": 1}
  ],
  "skins": [{"joints": [1], "inverseBindMatrices": 5}, {"joints": [3], "inverseBindMatrices": 5}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 2, "WEIGHTS_0": 3, "JOINTS_0": 4}}]}],
  "animations": [{"name": "RightAction", "samplers": [{"input": 0, "output": 1}],
                  "channels": [{"sampler": 0, "target": {"node": 3, "path": "rotation"}}]}],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

void WriteManyBonesGltf(const std::string& path, int bones) {
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0}, weights = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    const std::vector<std::uint16_t> joints(12, 0);
    std::vector<float> inverseBind;
    for (int b = 0; b < bones; ++b) inverseBind.insert(inverseBind.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    GltfArrays arrays;
    arrays.Add(positions, 3, "VEC3", R"(, "min": [0, 0, 0], "max": [1, 1, 0])");  // 0
    arrays.Add(weights, 3, "VEC4");                                              // 1
    arrays.Add(joints, 3, "VEC4", "", 5123);                                     // 2
    arrays.Add(inverseBind, std::size_t(bones), "MAT4");                         // 3
    std::string list;  // the bones' node indices, after Body's and Rig's
    for (int b = 0; b < bones; ++b) list += (b ? ", " : "") + std::to_string(b + 2);
    std::string nodes = R"({"name": "Body", "mesh": 0, "skin": 0}, {"name": "Rig", "children": [)" + list + "]}";
    for (int b = 0; b < bones; ++b) nodes += R"(, {"name": "B)" + std::to_string(b) + R"(", "translation": [0, 1, 0]})";
    Write(path, R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
  "nodes": [)" + nodes + R"(],
  "skins": [{"joints": [)" + list + R"(], "inverseBindMatrices": 3}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "WEIGHTS_0": 1, "JOINTS_0": 2}}]}],
  )" + arrays.Json() + "}");
}

void WriteAnimatedGltf(const std::string& path) {
    auto quat = [](float ax, float ay, float az, float degrees) {
        const float h = degrees * 3.14159265f / 360.0f;
        return std::vector<float>{ax * std::sin(h), ay * std::sin(h), az * std::sin(h), std::cos(h)};
    };
    std::vector<float> t3 = {0.0f, 0.5f, 1.2f}, t2 = {0.1f, 0.9f}, t2b = {0.0f, 1.2f}, t2c = {0.0f, 0.4f};
    std::vector<float> spine, head, idle;
    for (float d : {0.0f, 60.0f, 150.0f})
        for (float v : quat(1, 0, 0, d)) spine.push_back(v);
    for (float d : {0.0f, -90.0f})
        for (float v : quat(0, 1, 0, d)) head.push_back(v);
    for (float d : {0.0f, 10.0f})
        for (float v : quat(0, 0, 1, d)) idle.push_back(v);
    const std::vector<float> hips = {0, 1, 0, 2, 1, 0};
    GltfArrays arrays;
    arrays.Add(t3, 3, "SCALAR", R"(, "min": [0], "max": [1.2])");    // 0
    arrays.Add(spine, 3, "VEC4");                                    // 1
    arrays.Add(t2, 2, "SCALAR", R"(, "min": [0.1], "max": [0.9])");  // 2
    arrays.Add(head, 2, "VEC4");                                     // 3
    arrays.Add(t2b, 2, "SCALAR", R"(, "min": [0], "max": [1.2])");   // 4
    arrays.Add(hips, 2, "VEC3");                                     // 5
    arrays.Add(t2c, 2, "SCALAR", R"(, "min": [0], "max": [0.4])");   // 6
    arrays.Add(idle, 2, "VEC4");                                     // 7
    const std::string json = R"({
  "asset": {"version": "2.0"},
  "scene": 0,
  "scenes": [{"nodes": [0, 3]}],
  "nodes": [
    {"name": "Hips", "translation": [0, 1, 0], "children": [1]},
    {"name": "Spine", "translation": [0, 1, 0], "children": [2]},
    {"name": "Head", "translation": [0, 0.5, 0]},
    {"name": "Ball", "translation": [1, 0, 0]}
  ],
  "animations": [
    {"name": "Swing",
     "samplers": [{"input": 0, "output": 1}, {"input": 2, "output": 3}, {"input": 4, "output": 5}],
     "channels": [{"sampler": 0, "target": {"node": 1, "path": "rotation"}},
                  {"sampler": 1, "target": {"node": 2, "path": "rotation"}},
                  {"sampler": 2, "target": {"node": 0, "path": "translation"}}]},
    {"name": "Idle",
     "samplers": [{"input": 6, "output": 7}],
     "channels": [{"sampler": 0, "target": {"node": 1, "path": "rotation"}}]}
  ],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

void WriteShapeKeyGltf(const std::string& path) {
    // Face: a quad in the file's XY plane, two UV maps, vertex colours and the shape key "Smile",
    // which lifts the top edge by 1 along Y, at weight 0.7. Plain: a triangle with positions alone.
    const std::vector<float> facePositions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, faceNormals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1},
                             uv = {0, 0, 1, 0, 1, 1, 0, 1}, colours(16, 1.0f), smile = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0},
                             plainPositions = {0, 0, 0, 1, 0, 0, 0, 1, 0}, times = {0, 1}, turns = {0, 0, 0, 1, 0, 0.6f, 0, 0.8f},
                             weights = {0.7f, 0.0f}, scales = {1, 1, 1, 1.5f, 1.5f, 1.5f}, slide = {3, 0, 0, 4, 0, 0}, wave = {0, 0, 2, 1, 0, 2},
                             blink = {0, 0.125f};
    const std::vector<std::uint16_t> indices = {0, 1, 2, 0, 2, 3};
    GltfArrays arrays;
    arrays.Add(facePositions, 4, "VEC3", R"(, "min": [0, 0, 0], "max": [1, 1, 0])");  // 0
    arrays.Add(faceNormals, 4, "VEC3");                                                 // 1
    arrays.Add(uv, 4, "VEC2");                                                          // 2
    arrays.Add(colours, 4, "VEC4");                                                     // 3
    arrays.Add(smile, 4, "VEC3", R"(, "min": [0, 0, 0], "max": [0, 1, 0])");          // 4
    arrays.Add(indices, 6, "SCALAR", "", 5123);                                         // 5
    arrays.Add(plainPositions, 3, "VEC3", R"(, "min": [0, 0, 0], "max": [1, 1, 0])");  // 6
    arrays.Add(times, 2, "SCALAR", R"(, "min": [0], "max": [1])");                    // 7
    arrays.Add(turns, 2, "VEC4");                                                       // 8
    arrays.Add(weights, 2, "SCALAR");                                                   // 9
    arrays.Add(scales, 2, "VEC3");                                                      // 10
    arrays.Add(slide, 2, "VEC3");                                                       // 11
    arrays.Add(wave, 2, "VEC3");                                                        // 12
    arrays.Add(blink, 2, "SCALAR", R"(, "min": [0], "max": [0.125])");                // 13
    const std::string json = R"({
  "asset": {"version": "2.0"},
  "scene": 0,
  "scenes": [{"nodes": [0, 2, 3, 4]}],
  "nodes": [
    {"name": "Hips", "translation": [0, 1, 0], "children": [1]},
    {"name": "Spine", "translation": [0, 1, 0]},
    {"name": "Face", "mesh": 0},
    {"name": "Plain", "mesh": 1, "translation": [3, 0, 0]},
    {"name": "Flag", "translation": [0, 0, 2]}
  ],
  "meshes": [
    {"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2, "TEXCOORD_1": 2, "COLOR_0": 3},
                     "targets": [{"POSITION": 4}], "indices": 5}],
     "weights": [0.7], "extras": {"targetNames": ["Smile"]}},
    {"primitives": [{"attributes": {"POSITION": 6}}]}
  ],
  "animations": [
    {"name": "Talk",
     "samplers": [{"input": 7, "output": 8}, {"input": 7, "output": 9}, {"input": 7, "output": 10},
                  {"input": 7, "output": 11}, {"input": 7, "output": 12}],
     "channels": [{"sampler": 0, "target": {"node": 1, "path": "rotation"}},
                  {"sampler": 1, "target": {"node": 2, "path": "weights"}},
                  {"sampler": 2, "target": {"node": 1, "path": "scale"}},
                  {"sampler": 3, "target": {"node": 3, "path": "translation"}},
                  {"sampler": 4, "target": {"node": 4, "path": "translation"}}]},
    {"name": "Smile", "samplers": [{"input": 13, "output": 9}],
     "channels": [{"sampler": 0, "target": {"node": 2, "path": "weights"}}]}
  ],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

void WriteLongChainGltf(const std::string& path, int bones, int frames) {
    std::vector<float> times;
    for (int k = 0; k < frames; ++k) times.push_back(float(k) / 30.0f);
    GltfArrays arrays;
    arrays.Add(times, times.size(), "SCALAR", R"(, "min": [0], "max": [)" + std::to_string(times.back()) + "]");
    std::string nodes = R"({"name": "Root", "children": [1]})", samplers, channels;
    for (int j = 1; j <= bones; ++j) {
        std::vector<float> turns;
        for (int k = 0; k < frames; ++k) {
            const double h = LongChainDegrees(j, k) * 3.14159265358979 / 360.0;
            turns.insert(turns.end(), {float(std::sin(h)), 0.0f, 0.0f, float(std::cos(h))});
        }
        arrays.Add(turns, times.size(), "VEC4");  // accessor j
        nodes += R"(, {"name": "Bone)" + std::to_string(j) + R"(", "translation": [0, 1, 0])" +
                 (j < bones ? R"(, "children": [)" + std::to_string(j + 1) + "]" : std::string()) + "}";
        samplers += std::string(j > 1 ? ", " : "") + R"({"input": 0, "output": )" + std::to_string(j) + "}";
        channels += std::string(j > 1 ? ", " : "") + R"({"sampler": )" + std::to_string(j - 1) +
                    R"(, "target": {"node": )" + std::to_string(j) + R"(, "path": "rotation"}})";
    }
    Write(path, R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [)" + nodes +
                    R"(], "animations": [{"name": "Long", "samplers": [)" + samplers + R"(], "channels": [)" + channels +
                    R"(]}], )" + arrays.Json() + "}");
}

void WriteSteppedGltf(const std::string& path) {
    const std::vector<float> times = {1.0f / 24, 7.0f / 24, 13.0f / 24};
    std::vector<float> turns;
    for (const float degrees : {0.0f, 30.0f, 60.0f}) {
        const float h = degrees * 3.14159265f / 360.0f;
        turns.insert(turns.end(), {std::sin(h), 0, 0, std::cos(h)});
    }
    // A cubic spline keeps, per key, its in-tangent, value and out-tangent.
    std::vector<float> spline;
    for (const float y : {1.0f, 2.0f, 1.0f}) spline.insert(spline.end(), {0, 5, 0, 0, y, 0, 0, -5, 0});
    GltfArrays arrays;
    arrays.Add(times, 3, "SCALAR", R"(, "min": [0.0416666679], "max": [0.541666687])");  // 0
    arrays.Add(turns, 3, "VEC4");                                                        // 1
    arrays.Add(spline, 9, "VEC3");                                                       // 2
    const std::string json = R"({
  "asset": {"version": "2.0"},
  "scene": 0,
  "scenes": [{"nodes": [0]}],
  "nodes": [
    {"name": "Hips", "children": [1]},
    {"translation": [0, 1, 0], "children": [2]},
    {"name": "Tip", "translation": [0, 1, 0]}
  ],
  "animations": [
    {"name": "Steps",
     "samplers": [{"input": 0, "output": 1, "interpolation": "STEP"},
                  {"input": 0, "output": 2, "interpolation": "CUBICSPLINE"}],
     "channels": [{"sampler": 0, "target": {"node": 1, "path": "rotation"}},
                  {"sampler": 1, "target": {"node": 2, "path": "translation"}}]}
  ],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

void WriteObj(const std::string& folder) {
    Write(folder + "/scene.mtl", "newmtl Red\nKd 1 0 0\nmap_Kd .\\maps\\red.tga\n\nnewmtl Blue\nKd 0 0 1\nmap_Kd blue.tga\n");
    Write(folder + "/scene.obj",
          "mtllib scene.mtl\n"
          "o Box\n"
          "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
          "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
          "usemtl Red\n"
          "f 1/1 4/4 3/3 2/2\nf 5/1 6/2 7/3 8/4\nf 1/1 2/2 6/3 5/4\n"
          "usemtl Blue\n"
          "f 2/1 3/2 7/3 6/4\nf 3/1 4/2 8/3 7/4\nf 4/1 1/2 5/3 8/4\n"
          "o Tri\n"
          "v 5 0 0\nv 6 0 0\nv 5 1 0\n"
          "usemtl Blue\n"
          "f 9 10 11\n");
}

void WriteCollada(const std::string& path) {
    Write(path, R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><unit name="meter" meter="1"/><up_axis>Z_UP</up_axis></asset>
  <library_effects>
    <effect id="fx"><profile_COMMON><technique sid="t"><lambert><diffuse><color>1 1 1 1</color></diffuse></lambert></technique></profile_COMMON></effect>
  </library_effects>
  <library_materials><material id="Paint" name="Paint"><instance_effect url="#fx"/></material></library_materials>
  <library_geometries>
    <geometry id="quad" name="quad">
      <mesh>
        <source id="quad-pos"><float_array id="quad-pos-array" count="12">0 0 0 1 0 0 1 1 0 0 1 0</float_array>
          <technique_common><accessor source="#quad-pos-array" count="4" stride="3">
            <param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
        <vertices id="quad-vtx"><input semantic="POSITION" source="#quad-pos"/></vertices>
        <triangles material="mat" count="2"><input semantic="VERTEX" source="#quad-vtx" offset="0"/><p>0 1 2 0 2 3</p></triangles>
      </mesh>
    </geometry>
  </library_geometries>
  <library_visual_scenes>
    <visual_scene id="scene">
      <node id="Box" name="Box">
        <translate>4 0 0</translate>
        <rotate>0 0 1 90</rotate>
        <instance_geometry url="#quad"><bind_material><technique_common>
          <instance_material symbol="mat" target="#Paint"/></technique_common></bind_material></instance_geometry>
        <node id="Empty" name="Empty"><translate>0 0 2</translate></node>
      </node>
    </visual_scene>
  </library_visual_scenes>
  <scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
)");
}

}  // namespace support

namespace support {

void WriteIntegerDataGltf(const std::string& path, bool integers) {
    // The same values either way: integers that decode exactly to the floats (65535 x 0.2 = 13107,
    // 255 x 0.6 = 153, 32767 stands for 1).
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 2, 0, 1, 2, 0}, normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1},
                             uvs = {0, 0, 1, 0, 0.2f, 0.6f, 1, 1}, weights = {1, 0, 0, 0, 1, 0, 0, 0, 0.6f, 0.4f, 0, 0, 0, 1, 0, 0},
                             keys = {0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, -1}, times = {0, 1, 2},
                             inverseBinds = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                                             1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1};
    const std::vector<std::uint8_t> joints = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0};
    const std::vector<std::uint16_t> indices = {0, 1, 2, 1, 3, 2};
    GltfArrays arrays;
    if (integers) {
        // Positions as whole numbers (KHR_mesh_quantization) in elements of four shorts, the last
        // vertex left at 0 and given by a sparse substitution; normals as normalized bytes in
        // elements of four; the rest as the core format allows.
        arrays.Add(std::vector<std::uint16_t>{0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}, 4, "VEC3",
                   R"(, "min": [0, 0, 0], "max": [1, 2, 0], "sparse": {"count": 1, "indices": {"bufferView": 7, "componentType": 5121},
                   "values": {"bufferView": 8}})",
                   5123, 8);                                                                                      // 0
        arrays.Add(std::vector<std::int8_t>{0, 0, 127, 0, 0, 0, 127, 0, 0, 0, 127, 0, 0, 0, 127, 0}, 4, "VEC3",
                   R"(, "normalized": true)", 5120, 4);                                                            // 1
        arrays.Add(std::vector<std::uint16_t>{0, 0, 65535, 0, 13107, 39321, 65535, 65535}, 4, "VEC2",
                   R"(, "normalized": true)", 5123);                                                               // 2
        arrays.Add(std::vector<std::uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 153, 102, 0, 0, 0, 255, 0, 0}, 4, "VEC4",
                   R"(, "normalized": true)", 5121);                                                               // 3
        arrays.Add(std::vector<std::int16_t>{0, 0, 0, 32767, 0, 0, 32767, 0, 0, 0, 0, -32768}, 3, "VEC4",
                   R"(, "normalized": true)", 5122);                                                               // 4
    } else {
        arrays.Add(positions, 4, "VEC3", R"(, "min": [0, 0, 0], "max": [1, 2, 0])");  // 0
        arrays.Add(normals, 4, "VEC3");                                             // 1
        arrays.Add(uvs, 4, "VEC2");                                                 // 2
        arrays.Add(weights, 4, "VEC4");                                             // 3
        arrays.Add(keys, 3, "VEC4");                                                // 4
    }
    arrays.Add(joints, 4, "VEC4", "", 5121);                             // 5
    arrays.Add(indices, 6, "SCALAR", "", 5123);                          // 6
    arrays.Add(std::vector<std::uint8_t>{3}, 1, "SCALAR", "", 5121);     // 7: the sparse vertex
    arrays.Add(std::vector<std::uint16_t>{1, 2, 0}, 1, "VEC3", "", 5123);  // 8: its position
    arrays.Add(inverseBinds, 2, "MAT4");                                 // 9
    arrays.Add(times, 3, "SCALAR", R"(, "min": [0], "max": [2])");       // 10
    const std::string json = R"({
  "asset": {"version": "2.0"},)" + std::string(integers ? R"(
  "extensionsUsed": ["KHR_mesh_quantization"], "extensionsRequired": ["KHR_mesh_quantization"],)" : "") + R"(
  "scene": 0,
  "scenes": [{"nodes": [0, 1]}],
  "nodes": [
    {"name": "Body", "mesh": 0, "skin": 0},
    {"name": "Hips", "children": [2]},
    {"name": "Spine", "translation": [0, 1, 0]}
  ],
  "skins": [{"joints": [1, 2], "inverseBindMatrices": 9, "skeleton": 1}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2, "WEIGHTS_0": 3, "JOINTS_0": 5},
                              "indices": 6}]}],
  "animations": [{"name": "Twist", "samplers": [{"input": 10, "output": 4}],
                  "channels": [{"sampler": 0, "target": {"node": 2, "path": "rotation"}}]}],
  )" + arrays.Json() + R"(
})";
    Write(path, json);
}

}  // namespace support
