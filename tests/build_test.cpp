// Whole builds from a manifest: parallel and incremental exports, failures that stop nothing, dry runs,
// Ninja files, reports, and builds killed at any moment.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "format/info_text.h"
#include "format/vla_reader.h"
#include "format/vlo_reader.h"
#include "preview/image.h"
#include "scene_files.h"
#include "test_support.h"
#include "tool_runs.h"

#ifndef VLOEXPORT_PATH
#error "VLOEXPORT_PATH must name the vloexport program"
#endif

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A game's art: 8 prop scenes, 4 animated skeletons and 4 skinned characters, and a manifest of 64
// assets over them (four exports per scene). Outputs go to build/, the cache beside the manifest.
class Build : public ::testing::Test {
protected:
    void SetUp() override {
        std::string toml = "[defaults]\ncreated-at = 1700000000\n\n";
        auto asset = [&](const std::string& input, const std::string& output, const std::string& keys) {
            toml += "[[asset]]\ninput = \"" + input + "\"\noutput = \"build/" + output + "\"\n" + keys + "\n";
            ++count;
        };
        for (int i = 0; i < 8; ++i) {
            const std::string scene = "props/prop" + std::to_string(i) + ".gltf";
            fs::create_directories(dir.File("props"));
            support::WriteGltf(dir.File(scene), i % 2 == 1);
            for (const char* texture : {"grass.png", "stone.png", "stone_n.png"}) std::ofstream(dir.File("props/") + texture) << "PNG";
            const std::string stem = "prop" + std::to_string(i);
            asset(scene, stem + "_box.VLO", "select = \"Box\"\norigin = \"world\"");
            asset(scene, stem + "_spin.VLO", "select = \"Spin\"\nbump = true");
            asset(scene, stem + "_all.VLO", "all = true\nno-markers = true");
            asset(scene, stem + "_group.VLO", "select = \"Group\"\nswap-yz = false");
        }
        for (int i = 0; i < 4; ++i) {
            const std::string swing = "anims/swing" + std::to_string(i) + ".gltf", rig = "chars/rig" + std::to_string(i) + ".gltf";
            fs::create_directories(dir.File("anims"));
            fs::create_directories(dir.File("chars"));
            support::WriteAnimatedGltf(dir.File(swing));
            support::WriteSkinnedGltf(dir.File(rig));
            const std::string s = std::to_string(i);
            asset(swing, "swing" + s + ".VLA", "clip = \"Swing\"\nkeyframes = [\"0:ADDRESS_BALL\", \"30:BALL_STRUCK\"]");
            asset(swing, "idle" + s + ".VLA", "clip = 2\nfps = 24\nno-markers = true");
            asset(swing, "swing" + s + "_range.VLA", "clip = \"swing\"\nrange = \"5:20\"\nzero-root-rotation = true");
            asset(swing, "idle" + s + "_still.VLA", "clip = \"Idle\"\nremove-markers = [\"Ball\"]\nscale = \"unit\"");
            asset(rig, "rig" + s + ".VLO", "mode = \"hierarchy\"\nselect = \"Body\"");
            asset(rig, "rig" + s + "_file.VLO", "mode = \"hierarchy\"\nselect = \"Body\"\npose = \"file\"");
            asset(rig, "rig" + s + "_shape.VLO", "select = \"Body\"\nscale = \"unit\"");
            asset(rig, "rig" + s + "_anim.VLA", "mode = \"animation\"\nselect = \"Hips\"");
        }
        std::ofstream(manifest) << toml;
    }

    support::ToolRun Run(std::vector<std::string> extra) {
        std::vector<std::string> args = {"build", manifest, "--report", dir.File("report.json")};
        args.insert(args.end(), extra.begin(), extra.end());
        return support::RunVloExport(args);
    }
    json Report() { return json::parse(std::ifstream(dir.File("report.json"))); }
    std::map<std::string, std::string> StatusByOutput() {
        std::map<std::string, std::string> out;
        const json report = Report();
        for (const json& a : report["assets"]) out[fs::path(a["output"].get<std::string>()).filename().string()] = a["status"];
        return out;
    }
    // Every output's bytes, by file name.
    std::map<std::string, std::string> Outputs() {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::directory_iterator(dir.File("build"))) out[e.path().filename().string()] = support::ReadText(e.path());
        return out;
    }

    support::TempDir dir;
    std::string manifest = dir.File("art.toml");
    int count = 0;
};

TEST_F(Build, EveryAssetOnceThenNothingThenExactlyWhatChanged) {
    ASSERT_EQ(count, 64);
    support::ToolRun r = Run({"-j2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("64 assets: 64 exported, 0 up to date, 0 failed"), std::string::npos) << r.out;
    const json first = Report();
    EXPECT_EQ(first["summary"]["exported"], 64);
    for (const json& a : first["assets"]) {
        EXPECT_TRUE(a["verification"]["passed"].get<bool>()) << a["output"] << a["verification"].dump();
        EXPECT_EQ(a["outputs"].size(), 2u) << a["output"];
    }

    const auto start = std::chrono::steady_clock::now();
    r = Run({"-j2"});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(r.out.find("64 assets: 0 exported, 64 up to date"), std::string::npos) << r.out;
    EXPECT_LT(seconds, 5.0);  // a Release build takes well under 0.5 s; this bound holds under sanitizers too

    // One scene touched: its four assets, and only they, are exported again.
    std::ofstream(dir.File("props/prop3.gltf"), std::ios::app) << "\n";
    r = Run({});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& [output, status] : StatusByOutput())
        EXPECT_EQ(status, output.rfind("prop3_", 0) == 0 ? "exported" : "up to date") << output;
    // A texture all eight props read: their 32 assets are exported again.
    std::ofstream(dir.File("props/grass.png")) << "PNG, repainted";
    r = Run({});
    EXPECT_NE(r.out.find("32 exported, 32 up to date"), std::string::npos) << r.out;
    // An output changed by hand is made again.
    std::ofstream(dir.File("build/rig2.VLO")) << "edited";
    r = Run({});
    EXPECT_NE(r.out.find("1 exported, 63 up to date"), std::string::npos) << r.out;
    // Notes of the user's at an output's text name keep the text out, so the asset is made again by
    // every build until the notes move; then its text is written.
    std::ofstream(dir.File("build/rig2.TXT")) << "notes";
    std::ofstream(dir.File("build/rig2.VLO")) << "edited";
    for (int i = 0; i < 2; ++i) {
        r = Run({});
        EXPECT_NE(r.out.find("1 exported, 63 up to date"), std::string::npos) << r.out;
        EXPECT_EQ(support::ReadText(dir.File("build/rig2.TXT")), "notes");
    }
    fs::remove(dir.File("build/rig2.TXT"));
    r = Run({});
    EXPECT_NE(r.out.find("1 exported, 63 up to date"), std::string::npos) << r.out;
    EXPECT_EQ(support::ReadText(dir.File("build/rig2.TXT")).rfind(vlo::kModelTextTitle, 0), 0u);
    r = Run({});
    EXPECT_NE(r.out.find("0 exported, 64 up to date"), std::string::npos) << r.out;
}

TEST_F(Build, AnyNumberOfJobsAndNinjaGiveTheSameBytes) {
    ASSERT_EQ(Run({"-j1"}).status, 0);
    const auto one = Outputs();
    ASSERT_EQ(Run({"-j2", "--force"}).status, 0);
    EXPECT_EQ(Outputs(), one);

    // The program is named relative to here; ninja runs it from the manifest's folder.
    const std::string program = fs::relative(VLOEXPORT_PATH).string();
    ASSERT_NE(program.find('/'), std::string::npos);
    const support::ToolRun ninja = support::RunVloExport({"ninja", manifest, "-o", dir.File("build.ninja"), "--vloexport", program});
    ASSERT_EQ(ninja.status, 0) << ninja.err;
    // It replaces an earlier Ninja file of ours, never the manifest.
    const std::string toml = support::ReadText(manifest);
    EXPECT_EQ(support::RunVloExport({"ninja", manifest, "-o", dir.File("build.ninja"), "--vloexport", program}).status, 0);
    const support::ToolRun overManifest = support::RunVloExport({"ninja", manifest, "-o", manifest});
    EXPECT_EQ(overManifest.status, 2);
    EXPECT_NE(overManifest.err.find("error: -o " + manifest + ": "), std::string::npos) << overManifest.err;
    EXPECT_EQ(support::ReadText(manifest), toml);
    fs::remove_all(dir.File("build"));
    const std::string run = "ninja -C " + dir.Path() + " -f build.ninja > " + dir.File("ninja.log") + " 2>&1";
    ASSERT_EQ(std::system(run.c_str()), 0) << support::ReadText(dir.File("ninja.log"));
    EXPECT_EQ(Outputs(), one);
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_NE(support::ReadText(dir.File("ninja.log")).find("ninja: no work to do."), std::string::npos)
        << support::ReadText(dir.File("ninja.log"));
    // A scene's buffer or texture is an input of its edges too.
    std::ofstream(dir.File("props/stone.png")) << "PNG, repainted";
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_NE(support::ReadText(dir.File("ninja.log")).find("[32/32]"), std::string::npos) << support::ReadText(dir.File("ninja.log"));
}

TEST_F(Build, AFailingAssetStopsNothingAndLeavesNothing) {
    std::ofstream(manifest, std::ios::app) << "[[asset]]\ninput = \"props/prop0.gltf\"\noutput = \"lost/deep/missing.VLO\"\n"
                                              "select = \"NoSuchObject\"\n";
    const support::ToolRun r = Run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("65 assets: 64 exported, 0 up to date, 1 failed"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("FAILED lost/deep/missing.VLO"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no object named 'NoSuchObject'"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.File("lost")));  // nor the folders made for it
    EXPECT_EQ(StatusByOutput()["missing.VLO"], "failed");

    // A dry run checks every asset and writes nothing.
    fs::remove_all(dir.File("build"));
    fs::remove(dir.File(".art.toml.cache"));
    const support::ToolRun dry = Run({"--dry-run"});
    EXPECT_EQ(dry.status, 1);
    EXPECT_NE(dry.out.find("65 assets checked: 64 ready, 1 failed"), std::string::npos) << dry.out;
    EXPECT_FALSE(fs::exists(dir.File("build")));
    EXPECT_FALSE(fs::exists(dir.File(".art.toml.cache")));
}

// The build's page opened in a real browser (headless Chromium): every picture loads, the table lists
// every asset; a screenshot is kept beside the test run (build_page.png).
TEST_F(Build, ThePageShowsEveryAssetWithItsPicture) {
    // A folder whose index.html is a page of the user's is refused before anything is built.
    fs::create_directories(dir.File("site"));
    std::ofstream(dir.File("site/index.html")) << "<!doctype html>\n<html><body>my site</body></html>\n";
    const support::ToolRun site = Run({"--html", dir.File("site")});
    EXPECT_EQ(site.status, 2);
    EXPECT_NE(site.err.find("error: --html " + dir.File("site") + ": a file that is no build page is there"),
              std::string::npos)
        << site.err;
    EXPECT_FALSE(fs::exists(dir.File("build")));

    const support::ToolRun r = Run({"--html", dir.File("page")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.File("page/index.html")));
    ASSERT_EQ(Run({"--html", dir.File("page")}).status, 0);  // an earlier page is replaced
    ASSERT_EQ(std::system("command -v chromium > /dev/null"), 0) << "the page test needs Debian's chromium";
    const std::string browser = "chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir=" +
                                dir.File("profile") + " --virtual-time-budget=20000 ";
    const std::string url = "file://" + dir.File("page/index.html");
    ASSERT_EQ(std::system((browser + "--dump-dom " + url + " > " + dir.File("dom.html") + " 2>/dev/null").c_str()), 0);
    const std::string dom = support::ReadText(dir.File("dom.html"));
    EXPECT_NE(dom.find("data-rows=\"64\""), std::string::npos) << dom.substr(0, 400);
    EXPECT_NE(dom.find("data-images-loaded=\"64\""), std::string::npos) << dom.substr(0, 400);
    EXPECT_NE(dom.find("data-images-failed=\"0\""), std::string::npos);
    for (const char* asset : {"build/prop0_box.VLO", "build/swing3.VLA", "build/rig2_file.VLO"})
        EXPECT_NE(dom.find(asset), std::string::npos) << asset;
    const std::string shot = (fs::current_path() / "build_page.png").string();
    ASSERT_EQ(std::system((browser + "--window-size=1400,1000 --screenshot=" + shot + " " + url + " > /dev/null 2>&1").c_str()), 0);
    const auto image = preview::ReadImage(shot);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 1400);
}

TEST(BuildManifest, ProblemsNameTheFileLineAndKey) {
    support::TempDir dir;
    const std::string path = dir.File("bad.toml");
    std::ofstream(path) << "[defaults]\norigin = \"sideways\"\n\n[[asset]]\ninput = \"a.gltf\"\noutput = \"a.VLO\"\n"
                           "colour = \"red\"\n\n[[asset]]\ninput = \"b.gltf\"\noutput = \"a.VLO\"\nfps = \"fast\"\n"
                           "keyframes = [\"12:FOLLOW_THROUGH\"]\n\n[[asset]]\noutput = \"c.VLO\"\nstrickt = true\n";
    const support::ToolRun r = support::RunVloExport({"build", path});
    EXPECT_EQ(r.status, 2);
    for (const std::string& expected :
         {path + ":2: defaults: key 'origin': expected one of base, center, world, pivot",
          path + ":7: asset 1: unknown key 'colour'\n", path + ":17: asset 3: unknown key 'strickt' (did you mean 'strict'?)", path + ":12: asset 2: key 'fps': expected a whole number from 1 to 4800",
          path + ":13: asset 2: key 'keyframes': '12:FOLLOW_THROUGH': expected FRAME:NAME",
          path + ":9: asset 2: writes a.VLO as asset 1 does", path + ":9: asset 2: writes a.TXT as asset 1 does",
          path + ":15: asset 3: no input"})
        EXPECT_NE(r.err.find(expected), std::string::npos) << expected << "\n" << r.err;
    std::ofstream(path) << "[[asset]\ninput = 1\n";
    const support::ToolRun syntax = support::RunVloExport({"build", path});
    EXPECT_EQ(syntax.status, 2);
    EXPECT_NE(syntax.err.find("bad.toml"), std::string::npos) << syntax.err;
}

TEST(BuildManifest, OneAssetAndOneWarningAreCountedInTheSingular) {
    support::TempDir dir;
    support::WriteGltf(dir.File("scene.gltf"));
    for (const char* texture : {"grass.png", "stone.png", "stone_n.png"}) std::ofstream(dir.File(texture)) << "";
    const std::string path = dir.File("one.toml");
    std::ofstream(path) << "[[asset]]\ninput = \"scene.gltf\"\noutput = \"box.VLO\"\nselect = \"Box\"\norigin = \"world\"\n"
                           "remove-markers = [\"Nope\"]\n";
    const support::ToolRun dry = support::RunVloExport({"build", path, "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out.rfind("1 asset checked: 1 ready, 0 failed, 1 warning, ", 0), 0u) << dry.out << dry.err;
    const support::ToolRun r = support::RunVloExport({"build", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1 asset: 1 exported, 0 up to date, 0 failed, 1 warning, ", 0), 0u) << r.out << r.err;
}

// The build runs as its own process and is killed at random moments: what it leaves is either the
// previous file or the new one, whole; the next build finishes the job.
TEST_F(Build, KilledAtAnyMomentLeavesNoPartialOutput) {
    // The build as a process of its own; kill (SIGKILL) after delay, or let it finish when negative.
    auto build = [&](std::chrono::microseconds delay) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1), dup2(null, 2);
            execl(VLOEXPORT_PATH, VLOEXPORT_PATH, "build", manifest.c_str(), "-j2", "--force", nullptr);
            _exit(127);
        }
        if (delay.count() >= 0) {
            std::this_thread::sleep_for(delay);
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFSIGNALED(status);  // killed before it finished
    };
    // The shorter of two whole builds: a build slowed by a busy machine would put the kills after the
    // end of quicker ones.
    auto whole = std::chrono::microseconds::max();
    for (int run = 0; run < 2; ++run) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_FALSE(build(std::chrono::microseconds(-1)));
        whole = std::min(whole, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start));
    }
    std::mt19937 rng(42);
    int interrupted = 0;
    int kills = 0;
    // Kills until 12 came while a build was running. A build that finished before its kill shows the
    // builds now run quicker than measured (the machine was busier then): later moments are drawn
    // before that one.
    for (; interrupted < 12 && kills < 60; ++kills) {
        // A moment anywhere in the first nine tenths of a whole build's run.
        const std::chrono::microseconds delay(std::uniform_int_distribution<long>(0, whole.count() * 9 / 10)(rng));
        if (build(delay))
            ++interrupted;
        else
            whole = std::max(delay, std::chrono::microseconds(1000));
        for (const auto& e : fs::directory_iterator(dir.File("build"))) {
            const std::string name = e.path().filename().string();
            if (name[0] == '.') continue;  // an unfinished temporary file, never an output
            std::vector<std::uint8_t> bytes;
            std::string error;
            ASSERT_TRUE(vlo::ReadFileBytes(e.path().string(), bytes, error));
            const bool valid = name.ends_with(".VLO")   ? vlo::ReadVlo(bytes).Valid()
                               : name.ends_with(".VLA") ? vlo::ReadVla(bytes).Valid()
                                                        : !bytes.empty();  // a text, whole: it is renamed into place
            EXPECT_TRUE(valid) << name << " after kill " << kills;
        }
    }
    EXPECT_EQ(interrupted, 12) << "only " << interrupted << " of " << kills << " kills came while a build was running";
    const support::ToolRun r = Run({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Report()["summary"]["failed"], 0);
    for (const auto& e : fs::directory_iterator(dir.File("build")))
        EXPECT_NE(e.path().filename().string()[0], '.') << "left behind: " << e.path();
    EXPECT_EQ(Outputs().size(), 128u);
    EXPECT_NE(Run({}).out.find("0 exported, 64 up to date"), std::string::npos);
}

}  // namespace
