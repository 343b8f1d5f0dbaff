// Bad and extreme inputs as users meet them: each either exports a valid file or is refused with a
// message and leaves no file. docs/robustness.md lists these with what was observed.
#include <gtest/gtest.h>

#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "importer/importer.h"
#include "scene_files.h"
#include "app/export_job.h"
#include "test_support.h"
#include "tools/vloexport.h"

namespace {

support::Options World() { return support::WorldOrigin(true); }

// text with every from replaced by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST(BadInput, HierarchyOneHundredThousandDeep) {
    standin::Scene scene;
    standin::Node* parent = nullptr;
    for (int i = 0; i < 100000; ++i) {
        parent = &scene.CreateNode("N" + std::to_string(i), parent);
        parent->SetLocalTM(TransMatrix({0, 0, 0.001f}));
    }
    support::AddBox(scene, "Box", {1, 1, 1}, true, false, parent);
    support::TempDir dir;
    auto e = support::Export(scene, dir.File("deep.vlo"), World());
    ASSERT_TRUE(e.file.Valid());
    // The box sits 100 units up, at the end of the chain.
    EXPECT_NEAR(e.file.model.vertices[0].position.y, 100.0f, 0.05f);
}

TEST(BadInput, OneMillionRootLevelDummies) {
    standin::Scene scene;
    support::AddBox(scene, "Box", {1, 1, 1}, true, false);
    char name[16];
    for (int i = 0; i < 1000000; ++i) {
        std::snprintf(name, sizeof name, "D%07d", i);  // names in list order keep the sorted list cheap
        scene.CreateDummyNode(name, Box3());
    }
    support::TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    auto e = support::Export(scene, dir.File("many.vlo"), World());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(e.file.Valid());
    ASSERT_EQ(e.file.model.markers.size(), 1000000u);
    EXPECT_EQ(vlo::FieldText(e.file.model.markers.back().name), "D0999999");
    EXPECT_LT(seconds, 120.0);
}

TEST(BadInput, NamesOfOneHundredThousandCharacters) {
    standin::Scene scene;
    const std::string longName(100000, 'n');
    auto& box = support::AddBox(scene, longName, {1, 1, 1}, true, true);
    box.SetMaterial(&scene.Make<standin::StdMaterial>(longName));
    scene.CreateDummyNode(longName, Box3());
    box.SetUserProps("KEYFRAME 1 " + longName);
    support::TempDir dir;
    auto e = support::Export(scene, dir.File("names.vlo"), World());
    ASSERT_TRUE(e.file.Valid());
    EXPECT_EQ(std::string(e.file.model.markers[0].name, 32), longName.substr(0, 32));
    EXPECT_NE(e.text.find("\t*MATERIAL_NAME \"" + std::string(255, 'n') + "\"\r\n"), std::string::npos);
}

TEST(BadInput, ReadOnlyFolderRefusesTheExportAndKeepsItsFiles) {
    standin::Scene scene;
    support::AddBox(scene, "Box", {1, 1, 1}, true, false);
    support::TempDir dir;
    const std::string folder = dir.File("locked");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::ofstream(folder + "/m.vlo") << "kept";
    // Root writes anywhere a mode allows nothing, so for root the folder is made immutable instead.
    const bool root = geteuid() == 0;
    const std::string lock = root ? "chattr +i '" + folder + "'" : "chmod 555 '" + folder + "'";
    const std::string unlock = root ? "chattr -i '" + folder + "'" : "chmod 755 '" + folder + "'";
    ASSERT_EQ(std::system(lock.c_str()), 0);
    auto e = support::Export(scene, folder + "/m.vlo", World());
    std::system(unlock.c_str());
    ASSERT_EQ(e.Texts().size(), 1u);
    // The path and the system's reason follow the plug-in's text.
    EXPECT_EQ(e.Texts()[0].rfind("Failed to create the file: " + folder + "/m.vlo (", 0), 0u) << e.Texts()[0];
    EXPECT_EQ(support::ReadText(folder + "/m.vlo"), "kept");
    EXPECT_EQ(support::ListDir(folder), std::vector<std::string>{"m.vlo"});
}

int RunTool(std::vector<std::string> args, std::string* err = nullptr) {
    std::ostringstream out, errors;
    const int status = tools::RunVloExport(args, out, errors);
    if (err) *err = errors.str();
    return status;
}

TEST(BadInput, WrongTruncatedAndEmptySceneFiles) {
    support::TempDir dir;
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.File(name), std::ios::binary) << bytes;
        return dir.File(name);
    };
    const std::string out = dir.File("out.vlo");
    std::string err;
    // A PNG named .fbx, random bytes named .glb, a VLO given as the scene, an empty file.
    EXPECT_EQ(RunTool({write("image.fbx", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"), "-o", out}, &err), app::kExitUsage);
    EXPECT_NE(err.find("cannot read"), std::string::npos);
    EXPECT_EQ(RunTool({write("noise.glb", std::string(300, '\x7f')), "-o", out}), app::kExitUsage);
    EXPECT_EQ(RunTool({write("empty.gltf", ""), "-o", out}), app::kExitUsage);
    // A glTF cut in the middle of its JSON.
    support::WriteGltf(dir.File("whole.gltf"));
    const std::string whole = support::ReadText(dir.File("whole.gltf"));
    EXPECT_EQ(RunTool({write("cut.gltf", whole.substr(0, whole.size() / 2)), "-o", out}), app::kExitUsage);
    // PLY files whose header never ends (cut short, or after empty lines and in Windows or old Mac
    // line ends): assimp's reader would not return from them.
    const std::string plyHeader =
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
        "element face 1\nproperty list uchar int vertex_indices\n";
    const std::string plyVertices = "end_header\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n";
    // A carriage return at the start of a line makes assimp's reader skip up to the next \n, so an
    // end_header after one (\n\r or \r\r before it) is never seen (the importer's fuzzer found it).
    for (const std::string& cut : {plyHeader.substr(0, 20), plyHeader, "\n" + plyHeader + "end_head",
                                   Replaced(plyHeader, "\n", "\r\n"),
                                   Replaced(plyHeader, "\n", "\r") + "comment end_header\r",
                                   plyHeader + "\rend_header\n" + plyVertices.substr(11) + "4 0 1 2 3\n",
                                   Replaced(plyHeader, "\n", "\r") + "\rend_header\r0 0 0\r1 0 0\r1 1 0\r0 1 0\r4 0 1 2 3\r"}) {
        EXPECT_EQ(RunTool({write("cut.ply", cut), "-o", out}, &err), app::kExitUsage);
        EXPECT_NE(err.find("cut.ply: its PLY header has no end_header line"), std::string::npos) << err;
    }
    // An element count beyond what the file holds: assimp's reader would count through it for minutes.
    EXPECT_EQ(RunTool({write("count.ply", Replaced(plyHeader, "face 1", "face 4000000000") + plyVertices),
                       "-o", out},
                      &err),
              app::kExitUsage);
    EXPECT_NE(err.find("count.ply: its PLY header declares 4000000000 'face' elements"), std::string::npos) << err;
    // An element whose name starts with such a number: assimp's reader takes that for its count and
    // asks for 100 GB.
    EXPECT_EQ(RunTool({write("named.ply", Replaced(plyHeader, "face 1", "4294967295face 1") + plyVertices), "-o", out}, &err),
              app::kExitUsage);
    EXPECT_NE(err.find("named.ply: its PLY header names an element '4294967295face', whose leading number assimp's "
                       "reader takes for its count"),
              std::string::npos)
        << err;
    // An element declared twice (two headers run together): assimp's reader writes past its arrays
    // (the importer's fuzzer found it; the process aborted).
    EXPECT_EQ(RunTool({write("twice.ply", plyHeader + plyHeader + plyVertices + "4 0 1 2 3\n"), "-o", out}, &err),
              app::kExitUsage);
    EXPECT_NE(err.find("twice.ply: its PLY header declares the element 'vertex' twice (the file is damaged)"),
              std::string::npos)
        << err;
    // A file named as glTF is glTF or is refused: assimp would guess another format from its bytes
    // and hand a damaged file to a reader of that format.
    EXPECT_EQ(RunTool({write("ply.gltf", plyHeader + plyVertices + "4 0 1 2 3\n"), "-o", out}, &err), app::kExitUsage);
    EXPECT_NE(err.find("cannot read " + dir.File("ply.gltf")), std::string::npos) << err;
    // Its header whole, then in Windows line ends: read.
    EXPECT_EQ(RunTool({write("quad.ply", plyHeader + plyVertices + "4 0 1 2 3\n"), "-o", out}), app::kExitOk);
    EXPECT_EQ(RunTool({write("quad.ply", Replaced(plyHeader + plyVertices + "4 0 1 2 3\n", "\n", "\r\n")),
                       "-o", out}),
              app::kExitOk);
    std::remove(out.c_str());
    // A damaged file whose quad, or pentagon, has a corner on no vertex: splitting it into triangles
    // would read outside the mesh.
    for (const char* face : {"4 0 1 2 900000000\n", "5 0 1 2 3 9\n"}) {
        EXPECT_EQ(RunTool({write("damaged.ply", plyHeader + plyVertices + face), "-o", out}, &err), app::kExitUsage);
        EXPECT_NE(err.find("damaged.ply: mesh 0: face 0 has a corner on vertex"), std::string::npos) << err;
    }
    // A face whose count of corners is in the millions (the importer's fuzzer found it): assimp's
    // triangulation, whose time grows with the square of the corners, would not end.
    EXPECT_EQ(RunTool({write("huge.ply", plyHeader + plyVertices + "7777777 0 1 2 3\n"), "-o", out}, &err), app::kExitUsage);
    EXPECT_NE(err.find("huge.ply: mesh 0: face 0 has 7777778 corners, more than the 32767 a polygon can have"),
              std::string::npos)
        << err;
    // A COLLADA file with a letter or a fraction among its indices: assimp's reader would count
    // through it for ever. A comment holding such a list is no list.
    support::WriteCollada(dir.File("whole.dae"));
    const std::string dae = support::ReadText(dir.File("whole.dae"));
    ASSERT_NE(dae.find("<p>0 1 2 0 2 3</p>"), std::string::npos);
    for (const char* list : {"<p>0 1 x 0 2 3</p>", "<p >0 1 2.5 0 2 3</p>"}) {
        EXPECT_EQ(RunTool({write("damaged.dae", Replaced(dae, "<p>0 1 2 0 2 3</p>", list)), "-o", out}, &err),
                  app::kExitUsage);
        EXPECT_NE(err.find("damaged.dae: its COLLADA <p> list on line"), std::string::npos) << err;
    }
    // An array without its count, or with one that is not a number: assimp's reader would read
    // outside it.
    EXPECT_EQ(RunTool({write("uncounted.dae", Replaced(dae, "quad-pos-array\" count=", "quad-pos-array\" size=")),
                       "-o", out},
                      &err),
              app::kExitUsage);
    EXPECT_NE(err.find("uncounted.dae: its COLLADA <float_array> on line"), std::string::npos) << err;
    EXPECT_EQ(RunTool({write("miscounted.dae", Replaced(dae, "quad-pos-array\" count=\"12\"", "quad-pos-array\" count=\"\xff" "12\"")),
                       "-o", out},
                      &err),
              app::kExitUsage);
    EXPECT_NE(err.find("miscounted.dae: its COLLADA <float_array> on line"), std::string::npos) << err;
    // An array that says it holds fewer values than it does: assimp's reader reads the count and
    // then the file's indices outside it (a crash at a count of 0, a wrong model below the values).
    // More than it holds is as damaged. The values may be spread over lines and tabs.
    const std::string positions = "quad-pos-array\" count=\"12\">0 0 0 1 0 0 1 1 0 0 1 0<";
    ASSERT_NE(dae.find(positions), std::string::npos);
    const std::string positionsLine =
        std::to_string(1 + std::count(dae.begin(), dae.begin() + std::ptrdiff_t(dae.find(positions)), '\n'));
    for (const char* count : {"0", "11", "13"}) {
        const std::string damaged = Replaced(dae, positions, Replaced(positions, "\"12\"", "\"" + std::string(count) + "\""));
        EXPECT_EQ(RunTool({write("counted.dae", damaged), "-o", out}, &err), app::kExitUsage);
        EXPECT_NE(err.find("counted.dae: its COLLADA <float_array> on line " + positionsLine +
                           " holds 12 values where its count says " + count + " (the file is damaged)"),
                  std::string::npos)
            << err;
    }
    EXPECT_EQ(RunTool({write("spread.dae", Replaced(dae, positions, "quad-pos-array\" count=\"12\">\n\t0 0 0\t1 0 0\r\n1 1 0\t0 1  0\n<")),
                       "-o", out}),
              app::kExitOk);
    EXPECT_EQ(RunTool({write("commented.dae", Replaced(dae, "<p>0 1 2 0 2 3</p>",
                                                                 "<!-- old > <p>0 1 x</p> --><p>0 1 2 0 2 3</p>")),
                       "-o", out}),
              app::kExitOk);
    std::remove(out.c_str());
    // A valid glTF without any node: nothing to export.
    EXPECT_EQ(RunTool({write("nothing.gltf", R"({"asset": {"version": "2.0"}, "scenes": [{"nodes": []}], "scene": 0})"), "-o",
                       out},
                      &err),
              app::kExitUsage);
    EXPECT_FALSE(support::Exists(out));
}

TEST(BadInput, ColladaSkinsAndAccessorsThatReachOutsideTheirArrays) {
    // One number changed in a skinned COLLADA file: assimp's reader would read outside its arrays
    // (a crash, or an assertion that ends the program); each is refused before it reads the file,
    // naming what is wrong.
    support::TempDir dir;
    const std::string rig = support::ReadText(std::string(VLO_TEST_DATA_DIR) + "/artist/rig.dae");
    const std::string weightsAccessor = R"(<accessor source="#Rig_Sleeve-skin-weights-array" count="16" stride="1">)";
    const std::string weights = R"(<vertex_weights count="16">)";
    const std::string counts = "<vcount>1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 </vcount>";
    const std::string pairs = "<v>0 0 1 1 0 2 1 3 0 4 1 5 0 6 1 7 0 8 1 9 0 10 1 11 0 12 1 13 0 14 1 15</v>";
    for (const std::string& part : {weightsAccessor, weights, counts, pairs}) ASSERT_NE(rig.find(part), std::string::npos) << part;
    const std::string out = dir.File("rig.vlo");
    auto refused = [&](const std::string& damaged, const std::string& says) {
        std::ofstream(dir.File("damaged.dae"), std::ios::binary) << damaged;
        std::string err;
        EXPECT_EQ(RunTool({dir.File("damaged.dae"), "--mode", "hierarchy", "-o", out}, &err), app::kExitUsage) << says;
        EXPECT_NE(err.find("damaged.dae: its COLLADA " + says + " (the file is damaged)"), std::string::npos) << err;
        EXPECT_FALSE(support::Exists(out));
    };
    refused(Replaced(rig, weightsAccessor, Replaced(weightsAccessor, "stride=\"1\"", "stride=\"2\"")),
            "<accessor> on line 119 reads 16 elements of 1 value from offset 0 in steps of 2, past the end of the 16 "
            "values of 'Rig_Sleeve-skin-weights-array'");
    refused(Replaced(rig, weights, R"(<vertex_weights count="4294967295">)"),
            "<vertex_weights> on line 128 has 16 numbers in its <vcount> where its count says 4294967295");
    refused(Replaced(Replaced(Replaced(rig, weights, R"(<vertex_weights count="15">)"), counts,
                              "<vcount>1 1 1 1 1 1 1 1 1 1 1 1 1 1 1</vcount>"),
                     " 1 15</v>", "</v>"),
            "<vertex_weights> on line 128 weighs 15 vertices where its mesh 'Cylinder-mesh' has 16");
    refused(Replaced(rig, pairs, Replaced(pairs, " 1 15</v>", " 1 16</v>")),
            "<v> list on line 132 names weight 16 where 'Rig_Sleeve-skin-weights' holds 16");
    refused(Replaced(rig, pairs, Replaced(pairs, " 1 15</v>", " 2 15</v>")),
            "<v> list on line 132 names joint 2 where 'Rig_Sleeve-skin-joints' holds 2");
    // The file as Blender wrote it, with spaces around an attribute's '=' (as XML allows), and with
    // numbers after the pairs its counts name (which assimp's reader leaves): read.
    const std::string weightsArray = R"(<float_array id="Rig_Sleeve-skin-weights-array" count="16">)";
    ASSERT_NE(rig.find(weightsArray), std::string::npos);
    std::ofstream(dir.File("whole.dae"), std::ios::binary)
        << Replaced(Replaced(rig, weightsArray, Replaced(weightsArray, "count=\"16\"", "count = \"16\"")), pairs,
                    Replaced(pairs, "</v>", " 99 99</v>"));
    EXPECT_EQ(RunTool({dir.File("whole.dae"), "--mode", "hierarchy", "-o", out}), app::kExitOk);
}

TEST(BadInput, MeshesWithoutUvsOrNormalsAndBrokenTopology) {
    support::TempDir dir;
    // No texture coordinates, no normals; a degenerate face (repeated index), a zero-area face and an
    // edge shared by three faces (non-manifold).
    std::ofstream(dir.File("raw.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nv 2 0 0\nv 0 -1 0\n"
                                          "f 1 2 3\nf 1 2 4\nf 1 2 6\nf 1 1 3\nf 1 2 5\n";
    const std::string out = dir.File("raw.vlo");
    std::string err;
    ASSERT_EQ(RunTool({dir.File("raw.obj"), "-o", out, "--bump"}, &err), 0) << err;
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(vlo::ReadFileBytes(out, bytes, error));
    const auto r = vlo::ReadVlo(bytes);
    EXPECT_TRUE(r.Valid()) << r.findings.front().text;
    // assimp gives every face corner a vertex of its own, so the face with a repeated index arrives as
    // a triangle without area: it is kept, and its corners, which no face gives a normal, face up.
    EXPECT_EQ(r.model.polygons.size(), 5u);
    EXPECT_TRUE(r.findings.empty()) << r.findings.front().text;
    std::size_t up = 0;
    for (const auto& v : r.model.vertices) {
        EXPECT_NEAR(std::sqrt(v.normal.x * v.normal.x + v.normal.y * v.normal.y + v.normal.z * v.normal.z), 1.0f, 1e-5);
        up += v.normal == vlo::Vec3{0, 1, 0};
    }
    EXPECT_GE(up, 3u);
    for (const auto& v : r.model.vertices) EXPECT_EQ(v.u, 0.0f);
    EXPECT_FALSE(r.model.bumpMap);  // --bump without a bump map: reported, no bump chunks
    EXPECT_TRUE(r.model.tangents.empty());
}

TEST(BadInput, HugeCoordinatesThatOverflowInExportSpaceAreRefused) {
    standin::Scene scene;
    auto& box = support::AddBox(scene, "Far", {1, 1, 1}, true, false);
    box.SetLocalTM(TransMatrix({3e38f, 0, 0}));
    scene.CreateDummyNode("Other", Box3()).SetLocalTM(TransMatrix({-3e38f, 0, 0}));
    support::TempDir dir;
    support::Options o;
    o.origin = vlo::OriginMode::Center;  // centre: the sum of the positions overflows
    auto e = support::Export(scene, dir.File("far.vlo"), o);
    EXPECT_FALSE(e.exists);
    ASSERT_FALSE(e.Texts().empty());
    EXPECT_TRUE(support::ListDir(dir.Path()).empty());
}

}  // namespace
