// The preview sheets and the rasteriser under them, checked by pixels and image statistics of known
// scenes: a cube's silhouette and face colours in each view, a marker's cross where it projects, a
// posed chain of bones, depth order, perspective-correct texturing, faces seen from behind.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <future>
#include <set>

#include <sys/stat.h>

#include "format/vlo_writer.h"
#include "format_fixtures.h"
#include "preview/image.h"
#include "preview/raster.h"
#include "preview/sheets.h"
#include "test_support.h"
#include "tool_runs.h"

namespace {

using preview::Rgba;
using vlo::Vec3;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A cube from 0 to 1 on each axis, each side its own texture id: -Z 0, +Z 1, -X 2, +X 3, -Y 4, +Y 5.
// Its triangles turn as the exporter's do: cross(b - a, c - a) points out of the cube.
vlo::VloModel Cube() {
    vlo::VloModel m;
    const Vec3 normals[6] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
    for (int side = 0; side < 6; ++side) {
        const Vec3 n = normals[side];
        // Two axes across the side and its centre on the cube.
        const Vec3 a = std::fabs(n.x) > 0 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
        const Vec3 b = Cross(n, a);
        const Vec3 c{0.5f + 0.5f * n.x, 0.5f + 0.5f * n.y, 0.5f + 0.5f * n.z};
        std::uint16_t first = std::uint16_t(m.vertices.size());
        for (const auto& [s, t] : {std::pair{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}})
            m.vertices.push_back({{c.x + a.x * s + b.x * t, c.y + a.y * s + b.y * t, c.z + a.z * s + b.z * t}, n, 0, 0});
        for (const auto& tri : {std::array<int, 3>{0, 1, 2}, {0, 2, 3}}) {
            vlo::ModelPolygon p{{std::uint16_t(first + tri[0]), std::uint16_t(first + tri[1]), std::uint16_t(first + tri[2])},
                                std::int16_t(side)};
            const Vec3 e = Cross(Sub(m.vertices[p.verts[1]].position, m.vertices[p.verts[0]].position),
                                 Sub(m.vertices[p.verts[2]].position, m.vertices[p.verts[0]].position));
            if (Dot(e, n) < 0) std::swap(p.verts[1], p.verts[2]);
            m.polygons.push_back(p);
        }
        m.textures.push_back(support::FieldName(("side" + std::to_string(side) + ".png").c_str()));
    }
    m.indexBuffers = vlo::IndexBuffersOf(m.polygons);
    return m;
}

// The share of a panel's pixels that differ from its background.
double Coverage(const preview::Image& image, const preview::Rect& r) {
    const Rgba background = image.At(r.x + 2, r.y + r.height / 2);
    std::size_t covered = 0;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) covered += !(image.At(x, y) == background);
    return double(covered) / (double(r.width) * r.height);
}

TEST(PreviewSheets, ACubeShowsTheRightSideUprightInEachView) {
    const vlo::VloModel cube = Cube();
    const preview::ModelSheet sheet = preview::DrawModelSheet(cube, {"cube", ""});
    ASSERT_EQ(sheet.views.size(), 4u);
    EXPECT_EQ(sheet.backPixels, 0u);  // a closed cube wound as exported shows no inside
    // Front (from -Z), side (from +X), top (from +Y): the face turned to the camera, fully lit.
    const int facing[3] = {0, 3, 5};
    for (int i = 0; i < 3; ++i) {
        const preview::View& v = sheet.views[std::size_t(i)];
        const preview::ScreenVertex centre = v.Project({0.5f, 0.5f, 0.5f});
        EXPECT_EQ(sheet.image.At(int(centre.x), int(centre.y)), preview::TextureColour(facing[i])) << v.name;
        // The silhouette is the unit square at the view's scale.
        const double square = double(v.scale) * v.scale / (double(v.rect.width) * v.rect.height);
        EXPECT_NEAR(Coverage(sheet.image, {v.rect.x, v.rect.y + 30, v.rect.width, v.rect.height - 60}) *
                        (v.rect.height - 60) / v.rect.height,
                    square, 0.01)
            << v.name;
    }
    // Upright: in the front view the top of the cube (y = 1) is above its bottom on the picture.
    const preview::View& front = sheet.views[0];
    EXPECT_LT(front.Project({0.5f, 1, 0}).y, front.Project({0.5f, 0, 0}).y);
    EXPECT_LT(front.Project({0, 0.5f, 0}).x, front.Project({1, 0.5f, 0}).x);
    // Three-quarters from the front, right and above: the front, right and top sides are what shows.
    const preview::View& three = sheet.views[3];
    std::set<int> seen;
    for (const Vec3& p : {Vec3{0.5f, 0.5f, 0.0f}, Vec3{1.0f, 0.5f, 0.5f}, Vec3{0.5f, 1.0f, 0.5f}}) {
        const preview::ScreenVertex s = three.Project(p);
        const Rgba c = sheet.image.At(int(s.x), int(s.y));
        for (int side = 0; side < 6; ++side) {
            const Rgba t = preview::TextureColour(side);
            // Shaded: the colour scaled, so compare the channels' proportions.
            if (std::abs(int(c.r) * t.g - int(c.g) * t.r) < 3 * 255 && std::abs(int(c.b) * t.g - int(c.g) * t.b) < 3 * 255)
                seen.insert(side);
        }
    }
    EXPECT_EQ(seen, (std::set<int>{0, 3, 5}));
}

TEST(PreviewSheets, FacesSeenFromBehindAreMarked) {
    vlo::VloModel flipped = Cube();
    for (vlo::ModelPolygon& p : flipped.polygons) std::swap(p.verts[1], p.verts[2]);
    const preview::ModelSheet sheet = preview::DrawModelSheet(flipped, {"flipped", ""});
    // The inside shows through in every view: red, striped.
    EXPECT_GT(sheet.backPixels, 10000u);
    const preview::ScreenVertex centre = sheet.views[0].Project({0.5f, 0.5f, 0.5f});
    const Rgba c = sheet.image.At(int(centre.x), int(centre.y));
    EXPECT_GT(c.r, 2 * c.g);
}

TEST(PreviewSheets, MarkersAndBonesWhereTheyAre) {
    vlo::VloModel m = Cube();
    m.markers.resize(1);
    vlo::CopyBounded(m.markers[0].name, "Hole");
    m.markers[0].position = {2, 0, 0.5f};  // beside the cube
    m.flags = vlo::kFlagHierarchy;
    m.bones.resize(2);
    m.bones[0].parentId = -1;
    m.bones[1].id = 1, m.bones[1].parentId = 0;
    m.bones[1].position = m.bones[1].offset = {0, 3, 0};
    const preview::ModelSheet sheet = preview::DrawModelSheet(m, {"marked", ""});
    const preview::View& front = sheet.views[0];
    const preview::ScreenVertex marker = front.Project(m.markers[0].position);
    EXPECT_EQ(sheet.image.At(int(marker.x), int(marker.y)), (Rgba{200, 0, 200, 255}));
    // The bone's line: orange halfway between its joints, which stand above the cube.
    const preview::ScreenVertex mid = front.Project({0, 1.5f, 0});
    EXPECT_EQ(sheet.image.At(int(mid.x), int(mid.y)), (Rgba{255, 150, 0, 255}));
}

TEST(PreviewSheets, AChainOfBonesIsPosedByItsKeys) {
    vlo::VloModel rig;
    rig.flags = vlo::kFlagHierarchy;
    rig.bones.resize(3);
    for (int i = 0; i < 3; ++i) {
        rig.bones[std::size_t(i)].id = std::int16_t(i);
        rig.bones[std::size_t(i)].parentId = std::int16_t(i - 1);
        rig.bones[std::size_t(i)].offset = i ? Vec3{0, 1, 0} : Vec3{};
        rig.bones[std::size_t(i)].position = {0, float(i), 0};
    }
    vlo::VlaAnimation a;
    a.header.numBones = 3, a.header.numFrames = 2, a.header.frameRate = 30;
    a.frames.resize(2);
    a.frames[1].flags = vlo::KeyFrameBit(vlo::kBallStruck);
    a.keys.assign(6, vlo::BoneKey{});
    a.Key(1, 1) = {0, 0, std::sin(0.7853982f), std::cos(0.7853982f)};  // bone 1 turns 90 degrees about z
    preview::AnimationSheetOptions o;
    o.model = &rig;
    const preview::AnimationSheet sheet = preview::DrawAnimationSheet(a, o);
    ASSERT_EQ(sheet.frames, (std::vector<int>{0, 1}));
    auto near = [](const Vec3& p, const Vec3& q) { return std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z) < 1e-5f; };
    EXPECT_TRUE(near(sheet.joints[0][2], {0, 2, 0}));
    EXPECT_TRUE(near(sheet.joints[1][1], {0, 1, 0}));
    EXPECT_TRUE(near(sheet.joints[1][2], {-1, 1, 0})) << sheet.joints[1][2].x << " " << sheet.joints[1][2].y;
    // The second bone's line runs from (0, 1, 0) to (-1, 1, 0) on frame 1's panel.
    const preview::ScreenVertex mid = sheet.views[1].Project({-0.5f, 1, 0});
    EXPECT_EQ(sheet.image.At(int(mid.x), int(mid.y)), (Rgba{255, 150, 0, 255}));
}

TEST(Raster, DepthOrderPerspectiveTexturesAndCoverage) {
    preview::Image image(100, 100, {0, 0, 0, 255});
    preview::Raster r(image);
    const preview::Rect all{0, 0, 100, 100};
    // A far red square, then a near green one over its left half: green wins whatever the order.
    auto quad = [&](float x0, float x1, float depth, Rgba colour) {
        preview::ScreenVertex v[4] = {{x0, 10, depth}, {x1, 10, depth}, {x1, 90, depth}, {x0, 90, depth}};
        preview::Fill fill;
        fill.colour = colour;
        r.Triangle({v[0], v[1], v[2]}, fill, all);
        r.Triangle({v[0], v[2], v[3]}, fill, all);
    };
    quad(10, 50, 1, {0, 255, 0, 255});
    quad(10, 90, 2, {255, 0, 0, 255});
    EXPECT_EQ(image.At(30, 50), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(image.At(70, 50), (Rgba{255, 0, 0, 255}));
    // Exactly the pixels whose centres lie inside: 80 x 80.
    std::size_t lit = 0;
    for (const Rgba& p : image.Pixels()) lit += p.r > 0 || p.g > 0;
    EXPECT_EQ(lit, 6400u);

    // A texture half black (u < 0.5) and half white, on a quad receding to the right: in perspective
    // the middle of the texture lies right of the middle of the picture (near parts look bigger).
    preview::Image texture(2, 1);
    texture.At(0, 0) = {0, 0, 0, 255};
    texture.At(1, 0) = {255, 255, 255, 255};
    preview::Image screen(200, 20, {128, 128, 128, 255});
    preview::Raster p(screen);
    const float nearW = 1, farW = 0.25f;  // 1 / w at the left and right edges
    preview::ScreenVertex v[4] = {{0, 0, 1, nearW, 0, 0}, {200, 0, 4, farW, 1, 0}, {200, 20, 4, farW, 1, 1}, {0, 20, 1, nearW, 0, 1}};
    preview::Fill fill;
    fill.texture = &texture;
    p.Triangle({v[0], v[1], v[2]}, fill, {0, 0, 200, 20});
    p.Triangle({v[0], v[2], v[3]}, fill, {0, 0, 200, 20});
    int edge = 0;
    while (edge < 200 && screen.At(edge, 10).r < 128) ++edge;
    // u = 0.5 where (u / w) / (1 / w) = 0.5: x / 200 = nearW / (nearW + farW) = 0.8.
    EXPECT_NEAR(edge, 160, 3);
}

TEST(PreviewFiles, VloinfoWritesASheetPerFileAndRefusesWhatItCannotDraw) {
    support::TempDir dir;
    std::ofstream(dir.File("m.VLO"), std::ios::binary) << std::string(reinterpret_cast<const char*>(vlo::EncodeVlo(Cube()).data()),
                                                                      vlo::EncodeVlo(Cube()).size());
    support::ToolRun r = support::RunVloInfo({dir.File("m.VLO"), "--png", dir.File("m.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto read = preview::ReadImage(dir.File("m.png"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Width(), 1200);
    r = support::RunVloInfo({dir.File("m.VLO"), dir.File("m.VLO"), "--png", dir.File("x.png")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(support::Exists(dir.File("x.png")));

    // The sheet replaces an earlier picture, never the file it draws or a file that is no picture.
    ASSERT_EQ(support::RunVloInfo({dir.File("m.VLO"), "--png", dir.File("m.png")}).status, 0);
    const std::string model = support::ReadText(dir.File("m.VLO"));
    std::ofstream(dir.File("notes.txt")) << "mine";
    for (const std::string& png : {dir.File("m.VLO"), dir.File("notes.txt")}) {
        r = support::RunVloInfo({dir.File("m.VLO"), "--png", png});
        EXPECT_EQ(r.status, 2) << png;
        EXPECT_NE(r.err.find("error: --png " + png + ": "), std::string::npos) << r.err;
    }
    EXPECT_EQ(support::ReadText(dir.File("m.VLO")), model);
    EXPECT_EQ(support::ReadText(dir.File("notes.txt")), "mine");

    // A texture's name beside the model that is a pipe is no picture to read: reading it waited for a
    // writer for ever. Should the sheet wait, the test closes the pipe's writing end, which ends it.
    ASSERT_EQ(mkfifo(dir.File("side0.png").c_str(), 0600), 0);
    auto sheet = std::async(std::launch::async,
                            [&] { return support::RunVloInfo({dir.File("m.VLO"), "--png", dir.File("m.png")}); });
    if (sheet.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the sheet waits on the pipe named like a texture";
        std::ofstream{dir.File("side0.png")};
    }
    EXPECT_EQ(sheet.get().status, 0);
}

}  // namespace
