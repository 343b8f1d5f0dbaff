// Polygons split into triangles: the importer splits quads itself and must give exactly the
// triangles, corner for corner and in the same order, that assimp's triangulation step gives for
// the same file. PLY files keep shared vertices, so a face can start where the face before it did.
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>

#include "importer/importer.h"
#include "standin/attach.h"
#include "standin/scene.h"
#include "test_support.h"

namespace {

using Triangle = std::array<unsigned, 3>;
using Polygon = std::vector<unsigned>;
struct Position {
    float x, y, z;
};

void WritePly(const std::string& path, const std::vector<Position>& verts, const std::vector<Polygon>& faces) {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "ply\nformat ascii 1.0\nelement vertex %zu\nproperty float x\nproperty float y\nproperty float z\n", verts.size());
    std::fprintf(f, "element face %zu\nproperty list uchar int vertex_indices\nend_header\n", faces.size());
    for (const Position& v : verts) std::fprintf(f, "%.9g %.9g %.9g\n", v.x, v.y, v.z);
    for (const Polygon& face : faces) {
        std::fprintf(f, "%zu", face.size());
        for (unsigned i : face) std::fprintf(f, " %u", i);
        std::fprintf(f, "\n");
    }
    std::fclose(f);
}

// The triangles of assimp's own triangulation step.
std::vector<Triangle> AssimpTriangles(const std::string& path) {
    Assimp::Importer reader;
    const aiScene* scene = reader.ReadFile(path, aiProcess_Triangulate);
    std::vector<Triangle> out;
    if (!scene || scene->mNumMeshes != 1) {
        ADD_FAILURE() << "assimp cannot read " << path;
        return out;
    }
    const aiMesh& mesh = *scene->mMeshes[0];
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices == 3) out.push_back({face.mIndices[0], face.mIndices[1], face.mIndices[2]});
    }
    return out;
}

// The triangles of the file's one mesh as the importer puts them into the stand-in scene.
std::vector<Triangle> ImportedTriangles(const std::string& path) {
    standin::Scene scene;
    const importer::ImportResult result = importer::ImportFile(path, scene);
    std::vector<Triangle> out;
    const std::vector<standin::Node*> meshes = result.ok ? standin::MeshNodesBelow(scene.Root()) : std::vector<standin::Node*>{};
    if (meshes.size() != 1) {
        ADD_FAILURE() << "not one mesh imported from " << path << ": " << result.error;
        return out;
    }
    for (const Face& face : standin::Scene::TriOf(*meshes[0]).mesh.faces) out.push_back({face.v[0], face.v[1], face.v[2]});
    return out;
}

void ExpectSplitAsAssimpDoes(const std::vector<Position>& verts, const std::vector<Polygon>& faces) {
    support::TempDir dir;
    const std::string path = dir.File("mesh.ply");
    WritePly(path, verts, faces);
    const std::vector<Triangle> expected = AssimpTriangles(path);
    const std::vector<Triangle> imported = ImportedTriangles(path);
    ASSERT_EQ(imported.size(), expected.size());
    for (std::size_t t = 0; t < expected.size(); ++t)
        ASSERT_EQ(imported[t], expected[t]) << "triangle " << t << " of " << expected.size();
}

// A face that starts where the face before it started is turned to start elsewhere (a triangle
// at its last corner, a quad at its opposite one), and a concave quad is fanned from its concave
// corner.
TEST(QuadSplit, FacesStartingWhereTheOneBeforeStartedAreTurned) {
    const std::vector<Position> verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}, {-1, 0, 0}, {0.8f, 0.8f, 0}};
    const std::vector<Polygon> faces = {{0, 1, 2, 3}, {0, 3, 4}, {0, 4, 5, 1}, {4, 5, 1}, {4, 5, 0, 3}, {1, 2, 3, 6}};
    support::TempDir dir;
    WritePly(dir.File("fan.ply"), verts, faces);
    const std::vector<Triangle> expected = {{0, 1, 2}, {0, 2, 3}, {4, 0, 3}, {0, 4, 5},
                                            {0, 5, 1}, {4, 5, 1}, {0, 4, 5}, {0, 3, 4}, {6, 1, 2}, {6, 2, 3}};
    EXPECT_EQ(ImportedTriangles(dir.File("fan.ply")), expected);
    EXPECT_EQ(AssimpTriangles(dir.File("fan.ply")), expected);
}

// Thousands of random quads, most of them neither planar nor convex, among triangles, in a mesh
// of few vertices so that faces often start where the one before started.
TEST(QuadSplit, RandomQuadsAndTrianglesAsAssimpSplitsThem) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> coordinate(-1, 1);
    std::vector<Position> verts(60);
    for (Position& v : verts) v = {coordinate(random), coordinate(random), coordinate(random) * 0.1f};
    std::uniform_int_distribution<unsigned> pick(0, unsigned(verts.size()) - 1);
    std::vector<Polygon> faces;
    for (int f = 0; f < 4000; ++f) {
        Polygon face;
        const std::size_t corners = random() % 4 ? 4 : 3;
        while (face.size() < corners) {
            const unsigned v = pick(random);
            if (std::find(face.begin(), face.end(), v) == face.end()) face.push_back(v);
        }
        // Often start where the face before did.
        if (!faces.empty() && random() % 3 == 0) face[0] = faces.back()[0] != face[1] && faces.back()[0] != face[2] ? faces.back()[0] : face[0];
        faces.push_back(face);
    }
    ExpectSplitAsAssimpDoes(verts, faces);
}

// Quads whose corner is within a hair of a straight angle, where the decision rests on the last
// bits of assimp's single-precision angles; corners on top of each other; quads so small or so
// large that the squares of their edges leave the range of a float.
TEST(QuadSplit, QuadsOnTheEdgeOfConcaveAsAssimpSplitsThem) {
    std::vector<Position> verts;
    std::vector<Polygon> faces;
    auto quad = [&](Position a, Position b, Position c, Position d, float scale) {
        const auto first = unsigned(verts.size());
        for (Position p : {a, b, c, d}) verts.push_back({p.x * scale, p.y * scale, p.z * scale});
        faces.push_back({first, first + 1, first + 2, first + 3});
        faces.push_back({first + 1, first + 2, first + 3, first});  // the same quad, from each corner
        faces.push_back({first + 2, first + 3, first, first + 1});
        faces.push_back({first + 3, first, first + 1, first + 2});
    };
    for (const float scale : {1.0f, 3e-23f, 1e-22f, 1e-20f, 1e-19f, 3e-16f, 1e15f, 1e19f, 1e20f, 3e37f}) {
        for (int exponent = 1; exponent <= 9; ++exponent) {
            const float e = std::pow(10.0f, -float(exponent));
            for (const float side : {e, -e, 0.0f}) {
                quad({0, 0, 0}, {1, side, 0}, {2, 0, 0}, {1, 1, 0}, scale);      // corner 1 about straight
                quad({0, 0, 0}, {1, side, side}, {2, 0, 0}, {1, -1, 0}, scale);  // folded about it
                quad({0, 0, 0}, {1, 1, 0}, {0.5f + side, 0.5f, 0}, {0, 1, 0}, scale);  // corner 2 about the diagonal
            }
        }
        quad({0, 0, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}, scale);  // two corners on one point
        quad({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, scale);  // all on one line
        quad({1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, scale);  // all on one point
    }
    quad({0, 0, 0}, {1e-30f, 0, 0}, {1e30f, 1e30f, 0}, {0, 1e-30f, 0}, 1.0f);
    // A corner with one edge so short that its square is below a float's normal range, where
    // assimp's normalisation is off by percents: its angles add up to about pi.
    for (const float shortEdge : {3e-23f, 1e-22f, 3e-22f})
        for (int step = -20; step <= 20; ++step) {
            const float cosine = 0.5f + float(step) * 1e-3f;
            quad({0, 0, 0}, {cosine, std::sqrt(1 - cosine * cosine), 0}, {1, 0, 0},
                 {-0.5f * shortEdge, -0.8660254f * shortEdge, 0}, 1.0f);
        }
    ExpectSplitAsAssimpDoes(verts, faces);
}

// A mesh assimp's step leaves alone (only triangles) keeps its faces as they are; a polygon of
// more than four corners sends the whole file through assimp's step.
TEST(QuadSplit, TrianglesAloneStayAndLargerPolygonsGoThroughAssimp) {
    const std::vector<Position> verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}};
    support::TempDir dir;
    WritePly(dir.File("triangles.ply"), verts, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}});
    const std::vector<Triangle> kept = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}};
    EXPECT_EQ(ImportedTriangles(dir.File("triangles.ply")), kept);
    EXPECT_EQ(AssimpTriangles(dir.File("triangles.ply")), kept);

    ExpectSplitAsAssimpDoes(verts, {{0, 1, 2, 3}, {0, 3, 4, 5, 6}, {0, 6, 1}, {1, 2, 3, 0}});
}

}  // namespace
