#include "format_fixtures.h"

#include <string>

namespace support {

vlo::TextureName FieldName(const char* text) {
    vlo::TextureName n;
    vlo::CopyBounded(n.name, text);
    return n;
}

vlo::VloModel EveryChunkModel() {
    vlo::VloModel m;
    m.flags = vlo::kFlagHierarchy | vlo::kFlagNoCollisions | vlo::kFlagSemiTransparent;
    for (int i = 0; i < 3; ++i) {
        vlo::BoneRecord b;
        b.id = std::int16_t(i);
        b.parentId = std::int16_t(i - 1);
        vlo::CopyBounded(b.name, i == 2 ? std::string(40, 'x').c_str() : ("Bone" + std::to_string(i)).c_str());
        b.offset = {float(i), 0.5f, -1.0f};
        b.rotation[0] = 0.6f, b.rotation[3] = 0.8f;
        b.position = {0, float(i) * 2, 0};
        m.bones.push_back(b);
    }
    m.textures = {FieldName("Wood.tga"), FieldName("Metal.tga")};
    m.sound = FieldName("SWING\\WHOOSH.WAV");
    for (int i = 0; i < 4; ++i) {
        vlo::ModelVertex v{{float(i), 1, 2}, {0, 1, 0}, 0.25f * float(i), 1.0f - 0.25f * float(i)};
        m.vertices.push_back(v);
        vlo::VertexLinks l;
        l.numLinks = 2;
        l.boneIds[0] = std::uint8_t(i % 3), l.boneIds[1] = vlo::kNoBone;
        l.weights[0] = 0.75f, l.weights[1] = 0.25f;
        l.normal = v.normal, l.position = v.position;
        m.links.push_back(l);
        m.tangents.push_back({{1, 0, 0}, {0, 0, float(i % 2 ? -1 : 1)}});
    }
    m.polygons = {{{0, 1, 2}, -1}, {{0, 2, 3}, 0}, {{1, 3, 2}, 1}};
    m.indexBuffers = vlo::IndexBuffersOf(m.polygons);
    m.bumpMap = FieldName("Metal_n.tga");
    m.specularMap = FieldName("Metal_g.tga");
    m.markers.resize(2);
    vlo::CopyBounded(m.markers[0].name, "Hole");
    m.markers[0].position = {1, 2, 3};
    vlo::CopyBounded(m.markers[1].name, std::string(32, 'm').c_str());
    return m;
}

vlo::VlaAnimation SmallAnimation() {
    vlo::VlaAnimation a;
    a.header.numBones = 2;
    a.header.numFrames = 4;
    a.header.frameRate = 24;
    a.header.numMarkers = 2;
    const std::uint32_t flags[4] = {vlo::KeyFrameBit(vlo::kAddressBall), 0,
                                    vlo::KeyFrameBit(vlo::kTopOfSwing) | vlo::KeyFrameBit(vlo::kMouseSwingStart),
                                    vlo::KeyFrameBit(vlo::kBallStruck)};
    for (std::uint32_t k = 0; k < 4; ++k) {
        a.frames.push_back({flags[k], {0.5f * float(k), 0, 1}, 0.75f * float(k)});
        a.keys.push_back({0, 0, 0, 1});
        a.keys.push_back({0, 0.6f, 0, k % 2 ? -0.8f : 0.8f});
    }
    for (const char* name : {"Ball", "ClubHeadMarkerWithAVeryLongName!"}) {
        vlo::VlaMarkerTrack& track = a.markers.emplace_back();
        vlo::CopyBounded(track.header.name, name);
        for (std::uint32_t k = 0; k < 4; ++k) track.positions.push_back({float(k), 2, -float(k)});
    }
    return a;
}

}  // namespace support
