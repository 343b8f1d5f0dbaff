// The model information text, checked line by line on a small scene.
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <thread>

#include "core/processors.h"
#include "format/info_text.h"
#include "format/text_writer.h"

#include "test_support.h"

using support::AddBox;

namespace {

class InfoText : public ::testing::Test {
protected:
    // Exports with the creation time pinned to 05/03/2026 09:04:02.
    support::Exported Export(const std::string& path, const support::Options& o) {
        standin::Desktop desktop;
        support::PinClock(desktop, 1772701442);
        app::QueueDialogs(desktop, o);
        return support::Export(scene, desktop, path);
    }
    support::TempDir dir;
    standin::Scene scene;
};

TEST_F(InfoText, HeadingMaterialsAndSectionsInFileOrder) {
    auto& mtl = scene.Make<standin::StdMaterial>("Grass \"green\"");
    auto& bitmap = scene.Make<standin::BitmapTexture>("Map #1", "C:\\maps\\Grass.TGA");
    bitmap.filter = FILTER_SAT;
    bitmap.invert = true;
    mtl.SetMap(ID_DI, &bitmap);
    mtl.SetMap(ID_SP, &scene.Make<standin::BitmapTexture>("Off", "off.tga"), /*enabled=*/false);
    auto& box = AddBox(scene, "Box", {2, 2, 2}, true, true);
    box.SetMaterial(&mtl);
    scene.CreateDummyNode("Pin", Box3()).SetLocalTM(TransMatrix({0, 0, 4}));
    support::Options o;
    o.origin = vlo::OriginMode::World;
    const std::string path = dir.File("ball.vlo");
    auto e = Export(path, o);
    ASSERT_TRUE(e.outcome.written);

    const std::string expectedHead =
        "VLO (Velmora Object 2) Exporter Output Information\r\n\r\n"
        "Created: [05/03/2026 09:04:02]\r\n\r\n"
        "VLO File:  " + path + "\r\n"
        "This File: " + dir.File("ball.TXT") + "\r\n\r\n"
        "3DS Scale: 1m == 1.000000 (All positions will have been divided by this value)\r\n\r\n"
        "\r\n\r\nNumber of materials = 1\r\n"
        "*MATERIAL 0 {\r\n"
        "\t*MATERIAL_NAME \"Grass 'green'\"\r\n"
        "\t*MATERIAL_CLASS \"Standard\"\r\n"
        "\t*MAP_NAME \"Map #1\"\r\n"
        "\t*MAP_CLASS \"Bitmap\"\r\n"
        "\t*MAP_SUBNO 1\r\n"
        "\t*BITMAP \"C:\\maps\\Grass.TGA\"\r\n"
        "\t*BITMAP_INVERT\r\n"
        "\t*BITMAP_FILTER SAT\r\n"
        "}\r\n"
        "\r\nTextures\r\n========\r\n\r\n   0) Grass.TGA\r\n"
        "\r\nInfo\r\n====\r\n\r\n   Num Textures = 1\r\n   Num Vertices = 24\r\n   Num Polys    = 12\r\n"
        "   Num Index Buffers = 1\r\n      Index Buffer 0) Texture Index = 0; Num Polys = 12\r\n"
        "Vertex Positions\r\n000: ";
    ASSERT_GE(e.text.size(), expectedHead.size());
    EXPECT_EQ(e.text.substr(0, expectedHead.size()), expectedHead);
    EXPECT_NE(e.text.find("\r\nVertex Normals\r\n000: "), std::string::npos);
    EXPECT_NE(e.text.find("\r\nVertex UVs\r\n000: "), std::string::npos);
    EXPECT_NE(e.text.find("Poly    11: Texture Id =   0; Verts: "), std::string::npos);
    EXPECT_NE(e.text.find("\r\nDummy Markers\r\n========\r\n\r\n   Pin    0.000000, 4.000000, 0.000000\r\n\r\n\r\n"),
              std::string::npos);
    // A Shape export without flags ends with the two empty lines of the flags section.
    EXPECT_EQ(e.text.substr(e.text.size() - 4), "\r\n\r\n");
    EXPECT_EQ(e.text.find("FLAG:"), std::string::npos);
    EXPECT_EQ(e.text.find("Exporting hierarchy"), std::string::npos);
}

TEST_F(InfoText, MultiMaterialListingNestsSubMaterialsWithOneTab) {
    auto& multi = scene.Make<standin::MultiMaterial>("Multi");
    auto& checker = scene.Make<standin::ProceduralTexture>("Checker");
    checker.subMaps.push_back(&scene.Make<standin::BitmapTexture>("Inner", "inner.tga"));
    for (int i = 0; i < 3; ++i) {
        auto& sub = scene.Make<standin::StdMaterial>("S" + std::to_string(i) + "\x7f\x85");
        multi.subs.push_back(&sub);
    }
    static_cast<standin::StdMaterial*>(multi.subs[1])->SetMap(ID_DI, &checker);
    AddBox(scene, "Box", {1, 1, 1}, true, false).SetMaterial(&multi);
    AddBox(scene, "Other", {1, 1, 1}, true, false).SetMaterial(&multi);  // listed once
    auto e = support::Export(scene, dir.File("m.vlo"));
    const std::string expected =
        "\r\n\r\nNumber of materials = 1\r\n*MATERIAL 0 {\r\n\t*MATERIAL_NAME \"Multi\"\r\n"
        "\t*MATERIAL_CLASS \"Multi/Sub-Object\"\r\n\t*NUMSUBMTLS 3\r\n"
        "*SUBMATERIAL 0 {\r\n\t*MATERIAL_NAME \"S0\x7f_\"\r\n\t*MATERIAL_CLASS \"Standard\"\r\n}\r\n"
        "*SUBMATERIAL 1 {\r\n\t*MATERIAL_NAME \"S1\x7f_\"\r\n\t*MATERIAL_CLASS \"Standard\"\r\n"
        "\t*MAP_NAME \"Checker\"\r\n\t*MAP_CLASS \"Checker\"\r\n\t*MAP_SUBNO 1\r\n"
        "\t*MAP_NAME \"Inner\"\r\n\t*MAP_CLASS \"Bitmap\"\r\n\t*MAP_SUBNO 0\r\n\t*BITMAP \"inner.tga\"\r\n"
        "\t*BITMAP_FILTER Pyramidal\r\n}\r\n"
        "*SUBMATERIAL 2 {\r\n\t*MATERIAL_NAME \"S2\x7f_\"\r\n\t*MATERIAL_CLASS \"Standard\"\r\n}\r\n}\r\n";
    EXPECT_NE(e.text.find(expected), std::string::npos) << e.text.substr(0, 900);
}

// A model too large for one block of lines: its text, formatted on every processor by the export, is
// the text written line by line in order.
TEST_F(InfoText, ALargeModelsLinesAreTheSameWhateverTheThreads) {
    auto& node = scene.CreateMeshNode("Strip");
    node.SetSelected(true);
    Mesh& m = standin::Scene::TriOf(node).mesh;
    constexpr int kPairs = 15000;  // 30,000 vertices, 29,998 faces: several rounds of blocks in every section
    for (int i = 0; i < kPairs; ++i) {
        m.verts.push_back({0.001f * float(i), 0, std::sin(0.01f * float(i))});
        m.verts.push_back({0.001f * float(i), 1, std::cos(0.01f * float(i))});
        m.tVerts.push_back({float(i) / kPairs, 0, 0});
        m.tVerts.push_back({float(i) / kPairs, 1, 0});
    }
    for (int i = 0; i + 2 < 2 * kPairs; ++i) {
        Face f;
        f.v[0] = DWORD(i), f.v[1] = DWORD(i % 2 ? i + 2 : i + 1), f.v[2] = DWORD(i % 2 ? i + 1 : i + 2), f.smGroup = 1;
        m.faces.push_back(f);
        TVFace t;
        t.t[0] = f.v[0], t.t[1] = f.v[1], t.t[2] = f.v[2];
        m.tvFace.push_back(t);
    }
    const support::Exported e = support::Export(scene, dir.File("strip.vlo"));
    ASSERT_TRUE(e.file.Valid());
    const auto& model = e.outcome.exporter->Result().model;
    ASSERT_TRUE(model);
    ASSERT_GT(model->vertices.size(), 10u * 2048);
    const std::string lineByLine = vlo::ModelText(*model, "a", "b", {});
    const std::string_view from = "\r\nVertex Positions\r\n";
    ASSERT_NE(e.text.find(from), std::string::npos);
    EXPECT_TRUE(e.text.substr(e.text.find(from)) == lineByLine.substr(lineByLine.find(from)));
}

TEST_F(InfoText, ZeroSubMaterialsIsReportedAndTheExportContinues) {
    AddBox(scene, "Box", {1, 1, 1}, true, true).SetMaterial(&scene.Make<standin::MultiMaterial>("Empty"));
    auto e = support::Export(scene, dir.File("m.vlo"));
    EXPECT_EQ(e.Texts(), std::vector<std::string>{"Zero sub materials defined. Continuing regardless..."});
    EXPECT_TRUE(e.file.Valid());
    EXPECT_TRUE(e.file.model.textures.empty());
}

// The text pieces against snprintf with the conversions they replace, on values that printf
// formatting gets wrong most easily: signed zeros, subnormals, the largest floats, NaN and infinity
// of either sign, halfway cases of the decimals, and random bit patterns of every kind.
TEST(TextPieces, GiveExactlyThePrintfCharacters) {
    std::vector<float> values = {0.0f, -0.0f, 1.0f, -1.0f, 0.125f, 0.375f, 2.5f, 1e-45f, -1e-45f, 1e-38f, 3.4028235e38f,
                                 -3.4028235e38f, std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                                 -std::numeric_limits<float>::quiet_NaN(), 0.0005f, 0.0015f, 123456.789f, 9.9999995f};
    // Exact ties for 2, 3 and 6 decimals: odd multiples of 1/8, 1/16 and 1/128, of either sign.
    for (int k : {8, 16, 128})
        for (int m = -300; m < 300; ++m) values.push_back(float(2 * m + 1) / float(k));
    std::mt19937 rng(1234);
    for (int i = 0; i < 20000; ++i) values.push_back(std::bit_cast<float>(std::uint32_t(rng())));
    std::uniform_real_distribution<float> near(-1000, 1000);
    for (int i = 0; i < 20000; ++i) values.push_back(near(rng));
    // Around the magnitudes where value x 10^decimals crosses 2^51 (the rounding changes method there)
    // and where the short path ends (1e12).
    for (double edge : {2251799813685248.0, 2251799813685248.0 / 10, 2251799813685248.0 / 1e3, 2251799813685248.0 / 1e6, 1e12})
        for (float v = std::nextafter(float(edge), 0.0f), i = 0; i < 8; ++i, v = std::nextafter(v, INFINITY)) {
            values.push_back(v);
            values.push_back(-v);
        }
    char expected[512];
    for (float v : values)
        for (int decimals = 0; decimals <= 6; ++decimals) {
            vlo::TextWriter t;
            t.Fixed(v, decimals);
            std::snprintf(expected, sizeof expected, "%.*f", decimals, double(v));
            ASSERT_EQ(t.Text(), expected) << std::bit_cast<std::uint32_t>(v) << " %." << decimals << "f";
        }

    std::vector<long long> ints = {0, 1, -1, 9, 10, 99, 100, 999, 1000, 99999, 100000, INT_MIN, INT_MAX, -12, -123};
    for (int i = 0; i < 5000; ++i) ints.push_back(std::int32_t(rng()) >> (rng() % 31));
    for (long long n : ints) {
        for (auto [width, pad, format] : {std::tuple{0, ' ', "%d"}, std::tuple{3, ' ', "%3d"}, std::tuple{5, ' ', "%5d"},
                                          std::tuple{6, ' ', "%6d"}, std::tuple{3, '0', "%03d"}}) {
            vlo::TextWriter t;
            t.Int(n, width, pad);
            std::snprintf(expected, sizeof expected, format, int(n));
            ASSERT_EQ(t.Text(), expected) << n << " " << format;
        }
        vlo::TextWriter t;
        t.Hex(unsigned(n));
        std::snprintf(expected, sizeof expected, "%x", unsigned(n));
        ASSERT_EQ(t.Text(), expected) << n;
    }
    // Beyond int: up to the 19 digits and the sign of the extremes.
    for (long long n : {LLONG_MIN, LLONG_MIN + 1, LLONG_MAX, 999999999999999999LL, 1000000000000000000LL, -4294967296LL})
        for (auto [width, pad, format] : {std::tuple{0, ' ', "%lld"}, std::tuple{22, ' ', "%22lld"}, std::tuple{22, '0', "%022lld"}}) {
            vlo::TextWriter t;
            t.Int(n, width, pad);
            std::snprintf(expected, sizeof expected, format, n);
            ASSERT_EQ(t.Text(), expected) << n << " " << format;
        }
}

TEST(TextPieces, ASinkReceivesTheWholeTextInBlocks) {
    std::string received;
    int blocks = 0;
    vlo::TextWriter streamed([&](std::string_view block) {
        received += block;
        ++blocks;
    });
    vlo::TextWriter kept;
    for (int i = 0; i < 20000; ++i)
        for (vlo::TextWriter* t : {&streamed, &kept}) {
            t->Str("Vertex ").Int(i, 3, '0').Str(": ").Fixed(i * 0.5f, 6).EndLine();
            t->Printf("line %d\n", i);
        }
    streamed.Flush();
    EXPECT_EQ(received, kept.Text());
    EXPECT_GT(blocks, 5);  // handed on as it grew, not at the end only
    EXPECT_NE(kept.Text().find("Vertex 007: 3.500000\r\nline 7\r\n"), std::string::npos);
}

// Lines spread over threads in blocks give the text written line by line, before and after other
// text, kept or handed to a sink, whatever order the blocks are formatted in.
TEST(TextPieces, LinesSpreadOverThreadsKeepTheirOrder) {
    auto line = [](vlo::TextWriter& out, std::size_t i) {
        out.Str("Line ").Int(int(i), 5).Str(": ").Fixed(float(i) * 0.37f, 6);
        if (i % 1000 == 0) out.Printf(" (%d)", int(i / 1000));  // lines of other lengths
        out.EndLine();
    };
    const std::vector<vlo::TextWriter::ForEach> spreads = {
        [](std::size_t n, const std::function<void(std::size_t)>& work) { vlo::ForEachIndex(n, 3, work); },
        [](std::size_t n, const std::function<void(std::size_t)>& work) {
            for (std::size_t k = n; k-- > 0;) work(k);  // the last block first
        }};
    for (std::size_t count : {0u, 1u, 2048u, 2049u, 8192u, 8193u, 16385u, 100001u}) {
        vlo::TextWriter plain;
        plain.Printf("Before\n");
        for (std::size_t i = 0; i < count; ++i) line(plain, i);
        plain.Printf("After\n");
        for (std::size_t s = 0; s < spreads.size(); ++s)
            for (bool sunk : {false, true}) {
                std::string received;
                vlo::TextWriter spread = sunk ? vlo::TextWriter([&](std::string_view b) { received += b; }) : vlo::TextWriter();
                spread.SpreadLinesWith(spreads[s]);
                spread.Printf("Before\n");
                spread.Lines(count, line);
                spread.Printf("After\n");
                spread.Flush();
                const std::string_view text = sunk ? std::string_view(received) : spread.Text();
                EXPECT_TRUE(text == plain.Text()) << count << " lines, spread " << s << (sunk ? ", to a sink" : "");
            }
    }
}

// A sink slower than the formatting: the lanes run ahead until every block they may hold is
// formatted and wait for the sink; no block is reused before it has been handed on.
TEST(TextPieces, LinesAheadOfASlowSinkWaitForIt) {
    auto line = [](vlo::TextWriter& out, std::size_t i) { out.Str("Vertex ").Int(int(i), 3, '0').Str(": ").Fixed(float(i) * 0.25f, 6).EndLine(); };
    vlo::TextWriter plain;
    for (std::size_t i = 0; i < 60000; ++i) line(plain, i);
    std::string received;
    vlo::TextWriter slow([&](std::string_view block) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        received += block;
    });
    slow.SpreadLinesWith([](std::size_t n, const std::function<void(std::size_t)>& work) { vlo::ForEachIndex(n, 4, work); });
    slow.Lines(60000, line);
    slow.Flush();
    EXPECT_TRUE(received == plain.Text());
}

}  // namespace
