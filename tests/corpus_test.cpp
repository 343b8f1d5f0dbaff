// The output corpus: a fixed set of scenes exported in every mode and with every option that changes
// bytes, each output pinned by its SHA-256. Any change to what the exporter writes shows up here; a
// change that is meant must update the table below, file by file, after the new bytes were checked.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <cstdio>
#include <map>

#include "standin/character.h"
#include "standin/modifiers.h"
#include "standin/track.h"
#include "test_support.h"
#include "ui/controls.h"

namespace {

constexpr int kShape = IDC_MODE_SHAPE, kHierarchy = IDC_MODE_HIERARCHY, kAnimation = IDC_MODE_ANIMATION;
constexpr int kOriginWorld = IDC_ORIGIN_WORLD, kOriginCenter = IDC_ORIGIN_CENTER, kOriginBase = IDC_ORIGIN_BASE,
              kOriginPivot = IDC_ORIGIN_PIVOT;

std::string Sha256(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    char byte[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", digest[i]);
        hex += byte;
    }
    return hex;
}

// A mapped box with three sub-materials (diffuse bitmaps, one with bump and glossiness maps) inside a
// turned, scaled and moved group, two root-level markers and a yardstick 100 units tall.
void PropScene(standin::Scene& scene, bool mirrored = false) {
    auto& group = scene.CreateNode("Group");
    group.SetLocalTM(RotateZMatrix(0.3f) * TransMatrix({10, -4, 2}));
    auto& box = support::AddBox(scene, "Box", {20, 10, 30}, true, true, &group, {0, 1, 2, 0, 1, 2});
    box.SetLocalTM(ScaleMatrix({mirrored ? -1.5f : 1.5f, 1, 1}) * RotateXMatrix(0.2f) * TransMatrix({3, 4, 5}));
    auto& multi = scene.Make<standin::MultiMaterial>("Prop");
    for (const char* name : {"Wood", "Metal", "Paint"}) {
        auto& m = scene.Make<standin::StdMaterial>(name);
        m.SetMap(ID_DI, &scene.Make<standin::BitmapTexture>(std::string(name) + "Map", std::string("C:\\art\\") + name + ".tga"));
        multi.subs.push_back(&m);
    }
    auto& metal = static_cast<standin::StdMaterial&>(*multi.subs[1]);
    metal.SetMap(ID_BU, &scene.Make<standin::BitmapTexture>("Bump", "C:\\art\\Metal_n.tga"));
    metal.SetMap(ID_SH, &scene.Make<standin::BitmapTexture>("Gloss", "D:/maps/Metal_g.tga"));
    box.SetMaterial(&multi);
    scene.CreateDummyNode("Hole", Box3()).SetLocalTM(TransMatrix({1, 2, 3}));
    scene.CreateDummyNode("A_very_long_marker_name_of_40_chars_xxxx", Box3()).SetLocalTM(TransMatrix({-7, 0.5f, 9}));
    support::AddBox(scene, "yardstick", {1, 1, 100}, false, false).SetSelected(false);
}

// A three-bone arm under a hip node, its mesh bound by Skin (or Physique), at a height of 10.
standin::Node& ArmScene(standin::Scene& scene, bool physique) {
    auto& hip = scene.CreateNode("Hip");
    hip.SetLocalTM(TransMatrix({0, 0, 10}));
    auto& shoulder = hip.AddChild("Shoulder");
    shoulder.SetLocalTM(RotateYMatrix(0.1f) * TransMatrix({2, 0, 0}));
    auto& elbow = shoulder.AddChild("Elbow");
    elbow.SetLocalTM(TransMatrix({10, 0, 0}));
    auto& hand = elbow.AddChild("Hand");
    hand.SetLocalTM(RotateZMatrix(0.4f) * TransMatrix({10, 0, 0}));
    auto& mesh = support::AddBox(scene, "Sleeve", {22, 2, 2}, false, true);
    mesh.SetLocalTM(TransMatrix({12, 0, 9}));
    const int n = int(standin::Scene::TriOf(mesh).mesh.verts.size());
    if (physique) {
        auto& phy = scene.Make<standin::PhysiqueModifier>();
        phy.skinned = &mesh;
        for (int i = 0; i < n; ++i)
            phy.Bind(i, i % 2 ? std::vector<std::pair<INode*, float>>{{&shoulder, 0.7f}, {&elbow, 0.3f}}
                              : std::vector<std::pair<INode*, float>>{{&hand, 1.0f}});
        standin::AddModifiers(scene, mesh, {&phy});
    } else {
        auto& skin = scene.Make<standin::SkinModifier>();
        skin.skinned = &mesh;
        skin.bones = {&shoulder, &elbow, &hand, &hip};
        for (int i = 0; i < n; ++i)
            skin.points.push_back(i % 2 ? std::vector<std::pair<int, float>>{{0, 0.5f}, {1, 0.25f}, {3, 0.25f}}
                                        : std::vector<std::pair<int, float>>{{2, 1.0f}});
        standin::AddModifiers(scene, mesh, {&skin});
    }
    scene.CreateDummyNode("Grip", Box3()).SetLocalTM(TransMatrix({22, 0, 10}));
    return hip;
}

// A root walking and turning over frames 0..12 with a two-bone chain that swings, a marker that
// follows it and one that stands still; key frames in the root's properties.
standin::Node& SwingScene(standin::Scene& scene) {
    auto& root = scene.CreateNode("Pelvis");
    standin::TransformTrack walk;
    walk.position = {{0, {0, 0, 90}}, {1920, {60, 20, 95}}};
    walk.rotation = {{0, Quat(RotateZMatrix(0.2f))}, {1920, Quat(RotateZMatrix(1.9f))}};
    root.SetLocalTrack([walk](TimeValue t) { return walk.Evaluate(t); });
    auto& spine = root.AddChild("Spine");
    spine.SetLocalTrack([](TimeValue t) { return RotateXMatrix(float(t) / 1920.0f) * TransMatrix({0, 0, 30}); });
    auto& club = spine.AddChild("Club");
    club.SetLocalTrack([](TimeValue t) { return RotateYMatrix(-2.0f * float(t) / 1920.0f) * TransMatrix({40, 0, 0}); });
    root.SetUserProps("KEYFRAME 2 ADDRESS_BALL\r\nkeyframe 5 mouse_swing_start\r\nKEYFRAME 8 TOP_OF_SWING\r\n"
                      "KEYFRAME 11 BALL_STRUCK");
    auto& ball = scene.CreateDummyNode("Ball", Box3());
    ball.SetLocalTM(TransMatrix({30, 5, 0}));
    auto& tracker = scene.CreateDummyNode("Tracker", Box3());
    tracker.SetLocalTrack([walk](TimeValue t) { return TransMatrix({0, 0, 50}) * walk.Evaluate(t); });
    scene.animRange = {0, 12 * 160};
    root.SetSelected(true);
    return root;
}

class Corpus : public ::testing::Test {
protected:
    // Exports the scene with the dialog script, reading back every file the export wrote beside path.
    void Run(const std::string& name, standin::Scene& scene, standin::DialogScript script,
             const std::string& extension = ".vlo", std::function<void(standin::Desktop&)> more = {}) {
        standin::Desktop desktop;
        support::PinClock(desktop, 1772701442);
        desktop.QueueScript(IDD_EXPORT_OPTIONS, std::move(script));
        if (more) more(desktop);
        const std::string path = dir.File(name + extension);
        auto e = support::Export(scene, desktop, path);
        ASSERT_TRUE(e.outcome.written) << name;
        if (extension == ".vlo") {
            EXPECT_TRUE(e.file.Valid()) << name;
        }
        for (const char* ext : {".VLO", ".vlo", ".VLA", ".TXT"}) {
            const std::string file = dir.File(name + ext);
            if (!support::Exists(file)) continue;
            std::string bytes = support::ReadText(file);
            // The text names the output folder, which differs from run to run.
            for (auto at = bytes.find(dir.Path()); at != std::string::npos; at = bytes.find(dir.Path()))
                bytes.replace(at, dir.Path().size(), "<dir>");
            hashes[name + (std::string(ext) == ".vlo" ? ".VLO" : ext)] = Sha256(bytes);
        }
    }

    support::TempDir dir;
    std::map<std::string, std::string> hashes;
};

standin::DialogScript Script(int mode, int origin, bool swap, std::function<void(standin::DialogDriver&)> more = {}) {
    return [=](standin::DialogDriver& d) {
        d.Click(mode);
        if (origin) d.Click(origin);
        d.SetCheck(IDC_SWAP_YZ, swap);
        if (more) more(d);
        d.Click(IDOK);
    };
}

TEST_F(Corpus, EveryModeAndOptionGivesThePinnedBytes) {
    for (int origin : {kOriginWorld, kOriginCenter, kOriginBase, kOriginPivot})
        for (bool swap : {true, false}) {
            standin::Scene scene;
            PropScene(scene);
            Run("prop_o" + std::to_string(origin) + (swap ? "_swap" : ""), scene, Script(kShape, origin, swap));
        }
    {
        standin::Scene scene;
        PropScene(scene);
        Run("prop_maps", scene, Script(kShape, kOriginBase, true, [](standin::DialogDriver& d) {
                d.Click(IDC_SCALE_UNIT);  // 1 unit = 1 metre
                d.SetCheck(IDC_NO_COLLISIONS, true);
                d.SetCheck(IDC_SEMI_TRANSPARENT, true);
                d.SetCheck(IDC_EXPORT_BUMP, true);
                d.SetCheck(IDC_EXPORT_SPECULAR, true);
                d.SelectItems(IDC_MARKER_LIST, {"Hole"});
                d.Click(IDC_REMOVE_MARKERS);
                d.Click(IDC_SELECT_SOUND);  // Select Sound
            }), ".vlo", [](standin::Desktop& desktop) { desktop.QueueOpenFile("D:\\Game\\Sounds\\Props\\clank.wav"); });
    }
    {
        standin::Scene scene;
        PropScene(scene, /*mirrored=*/true);
        Run("prop_mirrored", scene, Script(kShape, kOriginCenter, true));
    }
    for (bool physique : {false, true})
        for (bool swap : {true, false}) {
            standin::Scene scene;
            ArmScene(scene, physique);
            Run(std::string(physique ? "arm_physique" : "arm_skin") + (swap ? "_swap" : ""), scene,
                Script(kHierarchy, 0, swap));
        }
    {
        standin::Scene scene;
        auto& hip = ArmScene(scene, false);
        standin::BipedExport biped;
        standin::MakeBipedRoot(scene, hip, &biped);
        biped.SetFigurePose(*scene.FindByName("Shoulder"), TransMatrix({3, 0, 1}));
        Run("arm_biped", scene, Script(kHierarchy, 0, true));
    }
    for (bool swap : {true, false})
        for (bool zero : {false, true}) {
            standin::Scene scene;
            SwingScene(scene);
            Run(std::string("swing") + (swap ? "_swap" : "") + (zero ? "_zero" : ""), scene,
                Script(kAnimation, 0, swap, [zero](standin::DialogDriver& d) { d.SetCheck(IDC_ZERO_ROOT_ROTATION, zero); }), ".VLA");
        }
    {
        standin::Scene scene;
        auto& root = SwingScene(scene);
        standin::BipedExport biped;
        standin::MakeBipedRoot(scene, root, &biped);
        Run("swing_biped", scene, Script(kAnimation, 0, true, [](standin::DialogDriver& d) {
                d.Click(IDC_EDIT_KEYFRAMES);  // Edit Key Frames
            }), ".VLA", [](standin::Desktop& desktop) {
                desktop.QueueScript(IDD_KEYFRAME_FLAGS, [](standin::DialogDriver& d) {
                    d.Type(IDC_KF_TOP_OF_SWING_FRAME, "9");  // TOP_OF_SWING moves from 8 to 9
                    d.SetCheck(IDC_KF_BALL_STRUCK, false);  // BALL_STRUCK off
                    d.Click(IDOK);
                });
            });
    }

    const std::map<std::string, std::string> expected = {
        {"arm_biped.TXT", "c1a894c2e497151a371bf8daf42389e279a3358d5beb30c7f393ad459df490ee"},
        {"arm_biped.VLO", "1cf2ffaa462b67504769ecd086bf7635c1010f0a2b1f4dd9e6033914860bb340"},
        {"arm_physique.TXT", "9715ecb98ced246566cbedb879010fcc3d9db559dae27c744e42250b41f0a539"},
        {"arm_physique.VLO", "c79b4c21dbf669cc3edc8e13a3e55159bb438d29f0e07e3c241b0fe5c8329146"},
        {"arm_physique_swap.TXT", "f77ddb85f91787fb04e0588a7707b0b926fc7240541707a7d6b4295db3772d51"},
        {"arm_physique_swap.VLO", "843232b79a2f096097e881444d42a00be0c9325f53a77894e334faf842ca1829"},
        {"arm_skin.TXT", "5844c488da2332d253ac9be239609629a1ac78fd9c164ed743f4c422e434b529"},
        {"arm_skin.VLO", "320355fbe8d1b84f17586565ad89bc5faa9829b437ae130a824754ebe4646f7a"},
        {"arm_skin_swap.TXT", "92ab48cafffc1031a2b698c8433fa8b8c74e03bb02201ccf93a1a5461fc1659a"},
        {"arm_skin_swap.VLO", "4a31ff811cbc8933a2574bd4e41b804b2c2af73380255f924df5a25b968697ac"},
        {"prop_maps.TXT", "29e329c749a32aa4dea503eeced2208d6c0add0259d556ed1570db50a4b49b42"},
        {"prop_maps.VLO", "d363b7e68801b8a812790dfd5f41d1c1b86f57688bf41d23f7f9b0222a668d88"},
        {"prop_mirrored.TXT", "a139901702a19501592d934d13c5aa56d75a49f2ea294e02721454cd3c8537b5"},
        {"prop_mirrored.VLO", "f39aaa3f8ffe88ff9fb184e09e9bf309477c28ef7e2fb9fedfb16a94c617cbc9"},
        {"prop_o1003.TXT", "cfd04ca13a8b179ee2b413b57930231b190c0d9b07d78ebe2adf53a3dd8605a2"},
        {"prop_o1003.VLO", "536972d2f2631d0a60b258abd2b974f7c817f4278db9007b6252bd45e611465c"},
        {"prop_o1003_swap.TXT", "ad7ba34f704cfa7ea95a7126557da202bd3e690ba655519e886b28dd5d6abcd2"},
        {"prop_o1003_swap.VLO", "bde07f8923d5c093a3b183a068e00260f5e9a864b46888c7f79d9cb72c203c71"},
        {"prop_o1004.TXT", "9c065efe78d5bf33588d7421726f45245dbb8673aa31def1a6c60911c7ea232c"},
        {"prop_o1004.VLO", "5710629d7a136eebf76c2fe3ca9d42655a20cedb77e0d94acc46fc0d857153ff"},
        {"prop_o1004_swap.TXT", "bc975a6c6ce7be69a5294d3219efb1f6b3fec0f99af3f1869f9584daca789ceb"},
        {"prop_o1004_swap.VLO", "8a270719e845799b4ac1ddff2a842b8245bface07ddfb63d100c399d32205ac6"},
        {"prop_o1005.TXT", "01e9650d3e7fe7b3a3a50968ddd65452d0e445b32cab1d7938423c8459d2662e"},
        {"prop_o1005.VLO", "07bff94b19c102bb2e328ea5ecc7a64f7db38c255a03b85b1fe2a9549ec3356c"},
        {"prop_o1005_swap.TXT", "e0685d926b7793b67541b4520ae5c5ac1249fbcaca4bed225cae20574454733b"},
        {"prop_o1005_swap.VLO", "04a09a55646ca4aaa294242c421bc0901254f91142429a5152daa24df79f4632"},
        {"prop_o1007.TXT", "37794f78235eb4aa7eb426eee0eba8fbe8965e3c012a2f3de9f1bec73fc3fe13"},
        {"prop_o1007.VLO", "e79dd8fa0a9765cf253a75da9aa0d6c1aaff0286a042d9f4d74dd885a312d4bc"},
        {"prop_o1007_swap.TXT", "cb14c1080e29e75fc0aeccb8f2e4e17ef830b361f0de070636dd6512f351cb23"},
        {"prop_o1007_swap.VLO", "f3d21c2137a852c1713ebded5aa930374300202ff7c4107b831786ccc8ad0c83"},
        {"swing.TXT", "ed3c976e0099ffca3aaa9c65ad7f601301c61986e80c58849e1be0e7a118649f"},
        {"swing.VLA", "9e6819c551c811d32048eac468ef64aec2181de3ad1051a721bf14d9eabbc4da"},
        {"swing_biped.TXT", "25f6c00ea9967bee914c6a98268652e96d8480d2b10be6e771218d8dce3cbc8a"},
        {"swing_biped.VLA", "508e4be3a2cd54506360de4900b4adec2a71890abcb6f947bf27d2396dae83e6"},
        {"swing_swap.TXT", "ee82f2379c99aa5d68449de6d9200b26c89a96c41cbd8f0d59ec96362736cfe8"},
        {"swing_swap.VLA", "8bde02a17e58b57cf06f45ba9e93e6ef0bef6283561ea944e15aea14040d8932"},
        {"swing_swap_zero.TXT", "072911535933ed1d25c89c62acf42dcb46b4aab942d6a09617b104a444af1b88"},
        {"swing_swap_zero.VLA", "db2f5bf4b84545b6e539ba1e90bc3b2362d9ce1a1e469ff6e0205e48d6932a79"},
        {"swing_zero.TXT", "342cd60eebd2742c55df5804aa3aa64695313201626f9b636128fe29e6a7f970"},
        {"swing_zero.VLA", "0b357f544e898b05c364505475369e28d05548db89df992b7575b7457945945c"},
    };
    EXPECT_EQ(hashes.size(), expected.size());
    for (const auto& [file, hash] : hashes) EXPECT_EQ(hash, expected.count(file) ? expected.at(file) : "") << file;
}

}  // namespace
