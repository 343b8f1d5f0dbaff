// Both file formats as data: what the writers put down, the readers give back record for record; and
// the export space every writer of positions, directions and rotations goes through.
#include <gtest/gtest.h>

#include "core/export_space.h"
#include "format/vla_reader.h"
#include "format/vla_writer.h"
#include "format/vlo_reader.h"
#include "format/vlo_writer.h"
#include "format_fixtures.h"

namespace {

TEST(VloFormat, EveryChunkReadsBackAsWritten) {
    const vlo::VloModel model = support::EveryChunkModel();
    const auto bytes = vlo::EncodeVlo(model);
    const vlo::VloReadResult read = vlo::ReadVlo(bytes);
    ASSERT_TRUE(read.Valid()) << read.findings.front().text;
    EXPECT_EQ(read.model, model);
    EXPECT_EQ(read.layout.chunkOrder,
              (std::vector<std::uint32_t>{vlo::kChunkHierarchy, vlo::kChunkTexture, vlo::kChunkTexture, vlo::kChunkSound,
                                          vlo::kChunkVertices, vlo::kChunkVertexLinks, vlo::kChunkPolygons,
                                          vlo::kChunkBumpMap, vlo::kChunkTangents, vlo::kChunkSpecularMap,
                                          vlo::kChunkMarkers}));
    EXPECT_EQ(read.layout.chunkCount, 11u);
    EXPECT_EQ(read.layout.objectChunkSize, bytes.size() - 16);
}

TEST(VloFormat, AbsentChunksAreNeitherWrittenNorCounted) {
    vlo::VloModel model;
    model.vertices = {{{0, 0, 0}, {0, 0, 1}, 0, 0}};
    model.polygons = {{{0, 0, 0}, -1}};
    model.indexBuffers = vlo::IndexBuffersOf(model.polygons);
    const auto bytes = vlo::EncodeVlo(model);
    EXPECT_EQ(bytes.size(), 68u + (12 + 4 + 32) + (12 + 4 + 8));
    const vlo::VloReadResult read = vlo::ReadVlo(bytes);
    EXPECT_EQ(read.model, model);
    EXPECT_EQ(read.layout.chunkCount, 2u);
}

TEST(VlaFormat, FramesKeysAndMarkersReadBackAsWritten) {
    vlo::VlaAnimation a;
    a.header.numBones = 2;
    a.header.numFrames = 3;
    a.header.frameRate = 24;
    a.header.numMarkers = 1;
    for (std::uint32_t k = 0; k < 3; ++k) {
        a.frames.push_back({k == 1 ? 0x5u : 0u, {float(k), 0, 1}, 0.5f * float(k)});
        a.keys.push_back({0, 0, 0, 1});
        a.keys.push_back({0, 0.6f, 0, 0.8f});
    }
    vlo::VlaMarkerTrack& track = a.markers.emplace_back();
    vlo::CopyBounded(track.header.name, "Ball");
    track.positions = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    const auto bytes = vlo::EncodeVla(a);
    EXPECT_EQ(bytes.size(), a.FileSize());
    EXPECT_EQ(bytes.size(), 28u + 3 * (20 + 2 * 16) + (32 + 3 * 12));
    const vlo::VlaReadResult read = vlo::ReadVla(bytes);
    ASSERT_TRUE(read.Valid()) << read.findings.front().text;
    EXPECT_EQ(read.animation, a);
    EXPECT_EQ(read.animation.Key(2, 1), (vlo::BoneKey{0, 0.6f, 0, 0.8f}));
}

TEST(ExportSpace, PositionsLoseTheOriginTurnAndScaleDirectionsOnlyTurn) {
    const vlo::ExportSpace space(Point3(100, 0, 0), 100.0f, /*swapYZ=*/true);
    EXPECT_EQ(space.Point(Point3(300, 200, 50)), (vlo::Vec3{2.0f, 0.5f, 2.0f}));
    EXPECT_EQ(space.Offset(Point3(300, 200, 50)), (vlo::Vec3{3.0f, 0.5f, 2.0f}));  // no origin
    EXPECT_EQ(space.Direction(Point3(0, 1, 0)), (vlo::Vec3{0, 0, 1}));          // not scaled
    EXPECT_EQ(space.Rotation(Quat(0.6f, 0.0f, 0.8f, 0.0f)), (vlo::BoneKey{0.6f, 0.8f, 0.0f, 0.0f}));
    // A quaternion of another length (a degenerate transform's) is made unit length, also where its
    // parts' squares overflow or vanish in single precision.
    EXPECT_EQ(space.Rotation(Quat(0, 0, 0, 2)), (vlo::BoneKey{0, 0, 0, 1}));
    for (const float size : {1.0f, 1e30f, 3e38f, 1e-30f, 1e-37f}) {
        const vlo::BoneKey k = space.Rotation(Quat(0.0f, 0.0f, -0.6f * size, 0.8f * size));
        EXPECT_NEAR(k.y, -0.6f, 1e-6f) << size;
        EXPECT_NEAR(k.w, 0.8f, 1e-6f) << size;
        EXPECT_EQ(k.x, 0.0f);
        EXPECT_EQ(k.z, 0.0f);
    }
    vlo::ModelPolygon p{{4, 5, 6}, 0};
    space.Wind(p);
    EXPECT_EQ(p.verts[1], 6);
    EXPECT_EQ(p.verts[2], 5);

    const vlo::ExportSpace kept(Point3(0, 0, 0), 2.0f, /*swapYZ=*/false);
    EXPECT_EQ(kept.Point(Point3(2, 4, 6)), (vlo::Vec3{1, 2, 3}));
    EXPECT_EQ(kept.Rotation(Quat(0.6f, 0.0f, 0.8f, 0.0f)), (vlo::BoneKey{0.6f, 0.0f, 0.8f, 0.0f}));
    vlo::ModelPolygon q{{4, 5, 6}, 0};
    kept.Wind(q);
    EXPECT_EQ(q.verts[1], 5);
}

TEST(ExportSpace, RecentringPutsTheMeanAtZeroAndTheBaseOnTheGround) {
    const std::vector<vlo::ModelVertex> box = {{{1, 2, 3}, {}, 0, 0}, {{3, 6, 5}, {}, 0, 0}, {{2, 4, 7}, {}, 0, 0}};
    auto centred = box;
    vlo::ExportSpace({}, 1.0f, false, vlo::ExportSpace::Recentring::Centre).Recentre(centred);
    EXPECT_EQ(centred[0].position, (vlo::Vec3{-1, -2, -2}));
    EXPECT_EQ(centred[2].position, (vlo::Vec3{0, 0, 2}));

    auto based = box;
    vlo::ExportSpace({}, 1.0f, false, vlo::ExportSpace::Recentring::Base).Recentre(based);
    EXPECT_EQ(based[0].position, (vlo::Vec3{-1, 0, -2}));  // the lowest vertex stands on y = 0
    EXPECT_EQ(based[1].position, (vlo::Vec3{1, 4, 0}));

    auto kept = box;
    vlo::ExportSpace({}, 1.0f, false).Recentre(kept);
    EXPECT_EQ(kept, box);
    std::vector<vlo::ModelVertex> none;
    vlo::ExportSpace({}, 1.0f, false, vlo::ExportSpace::Recentring::Base).Recentre(none);  // no vertices: no division
    EXPECT_TRUE(none.empty());
}

}  // namespace
