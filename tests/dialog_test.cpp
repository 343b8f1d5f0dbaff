// The options dialog and its two small dialogs, driven through the headless desktop.
#include <gtest/gtest.h>

#include <cstring>

#include "standin/character.h"
#include "test_support.h"
#include "anim/keyframe_text.h"
#include "ui/dialogs.h"

using support::AddBox;

namespace {

// Runs an export whose options dialog runs script (which must end the dialog itself).
support::Exported RunWith(standin::Scene& scene, standin::Desktop& desktop, const support::TempDir& dir,
                      standin::DialogScript script) {
    desktop.QueueScript(IDD_EXPORT_OPTIONS, std::move(script));
    return support::Export(scene, desktop, dir.File("m.vlo"));
}

class Dialogs : public ::testing::Test {
protected:
    support::TempDir dir;
    standin::Scene scene;
    standin::Desktop desktop;
};

TEST_F(Dialogs, StartUpForAnOrdinaryMeshChoosesAnimationWithoutZeroRootRotation) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    bool checked = false;
    RunWith(scene, desktop, dir, [&](standin::DialogDriver& d) {
        EXPECT_TRUE(d.IsChecked(IDC_MODE_ANIMATION));
        EXPECT_FALSE(d.IsChecked(IDC_MODE_SHAPE));
        EXPECT_FALSE(d.IsChecked(IDC_ZERO_ROOT_ROTATION));
        EXPECT_TRUE(d.IsChecked(IDC_SWAP_YZ));  // swap on
        EXPECT_TRUE(d.IsChecked(IDC_ORIGIN_BASE));  // origin at base
        EXPECT_TRUE(d.IsChecked(IDC_SCALE_UNIT));  // no yardstick: 1 unit = 1 metre
        EXPECT_EQ(d.Text(IDC_SOUND_LABEL), "No Sound Effect");
        checked = true;
        d.Click(IDCANCEL);
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(desktop.centerCalls, 1);
    ASSERT_EQ(desktop.Dialogs().size(), 1u);
    EXPECT_TRUE(desktop.Dialogs()[0].ownedByMainWindow);
}

TEST_F(Dialogs, BipedRootStartsWithZeroRootRotationAndBrokenBipedKeepsShape) {
    auto& root = scene.CreateNode("Bip01");
    root.SetSelected(true);
    standin::BipedExport biped;
    standin::MakeBipedRoot(scene, root, &biped);
    scene.CreateDummyNode("YardStick", Box3(), &root);
    RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        EXPECT_TRUE(d.IsChecked(IDC_MODE_ANIMATION));
        EXPECT_TRUE(d.IsChecked(IDC_ZERO_ROOT_ROTATION));
        EXPECT_TRUE(d.IsChecked(IDC_SCALE_YARDSTICK));  // a yardstick anywhere selects "Use yardstick"
        d.Click(IDCANCEL);
    });

    standin::Scene broken;
    auto& r = broken.CreateNode("Bip01");
    r.SetSelected(true);
    standin::MakeBipedRoot(broken, r, nullptr);
    standin::Desktop d2;
    RunWith(broken, d2, dir, [](standin::DialogDriver& d) {
        EXPECT_TRUE(d.IsChecked(IDC_MODE_SHAPE));
        EXPECT_FALSE(d.IsChecked(IDC_MODE_ANIMATION));
        EXPECT_FALSE(d.IsChecked(IDC_ZERO_ROOT_ROTATION));
        d.Click(IDCANCEL);
    });
}

TEST_F(Dialogs, RadioGroupsKeepOneChoiceEach) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        d.Click(IDC_MODE_HIERARCHY);
        d.Click(IDC_MODE_SHAPE);
        EXPECT_TRUE(d.IsChecked(IDC_MODE_SHAPE));
        EXPECT_FALSE(d.IsChecked(IDC_MODE_HIERARCHY));
        EXPECT_FALSE(d.IsChecked(IDC_MODE_ANIMATION));
        d.Click(IDC_ORIGIN_CENTER);
        EXPECT_TRUE(d.IsChecked(IDC_ORIGIN_CENTER));
        EXPECT_FALSE(d.IsChecked(IDC_ORIGIN_BASE));
        d.Click(IDOK);
    });
    EXPECT_EQ(e.outcome.exporter->settings.mode, vlo::ExportMode::Shape);
    EXPECT_EQ(e.outcome.exporter->settings.origin, vlo::OriginMode::Center);
}

TEST_F(Dialogs, CheckBoxesAreStoredOnlyOnOk) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        d.Click(IDC_SWAP_YZ);  // swap off
        d.Click(IDC_NO_COLLISIONS);
        d.Click(IDC_MODE_SHAPE);  // a radio change is stored at once
        d.Click(IDCANCEL);
    });
    EXPECT_TRUE(e.outcome.exporter->settings.swapYZ);
    EXPECT_FALSE(e.outcome.exporter->settings.noCollisions);
    EXPECT_EQ(e.outcome.exporter->settings.mode, vlo::ExportMode::Shape);
    EXPECT_FALSE(e.exists);
}

TEST_F(Dialogs, SoundSelection) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    desktop.QueueOpenFile(std::nullopt);  // cancelled before any sound was chosen
    desktop.QueueOpenFile("c:\\audio\\hit.wav");
    desktop.QueueOpenFile("D:\\GAME\\SOUNDS\\SWING\\WHOOSH.WAV");
    auto e = RunWith(scene, desktop, dir, [&](standin::DialogDriver& d) {
        d.Click(IDC_SELECT_SOUND);
        EXPECT_EQ(d.Text(IDC_SOUND_LABEL), "");
        d.Click(IDC_SELECT_SOUND);
        EXPECT_EQ(d.Text(IDC_SOUND_LABEL), "C:\\AUDIO\\HIT.WAV");
        d.Click(IDC_REMOVE_SOUND);
        EXPECT_EQ(d.Text(IDC_SOUND_LABEL), "No Sound Effect");
        d.Click(IDC_SELECT_SOUND);
        EXPECT_EQ(d.Text(IDC_SOUND_LABEL), "SWING\\WHOOSH.WAV");
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(desktop.LastOpenFileTitle(), "Select Sound File...");
    // The filter list: (description, pattern) pairs, each text zero-terminated, the list ended by an
    // empty text.
    std::vector<std::string> filters;
    for (const char* f = desktop.LastOpenFile().lpstrFilter; *f != '\0'; f += std::strlen(f) + 1) filters.push_back(f);
    EXPECT_EQ(filters, (std::vector<std::string>{"WAV Sound Files", "*.WAV", "All Files (*.*)", "*.*"}));
    EXPECT_EQ(desktop.LastOpenFile().nFilterIndex, 1u);
    EXPECT_TRUE(e.outcome.exporter->settings.hasSound);
    EXPECT_EQ(e.outcome.exporter->settings.soundFile, "SWING\\WHOOSH.WAV");
}

TEST_F(Dialogs, MarkerListIsSortedAndRemoveAndAddEditTheMarkers) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    auto& c = scene.CreateDummyNode("c", Box3());
    auto& a = scene.CreateDummyNode("A", Box3());
    auto& b1 = scene.CreateDummyNode("b", Box3());
    auto& b2 = scene.CreateDummyNode("b", Box3());
    desktop.QueueScript(IDD_MARKER_SELECT, [](standin::DialogDriver& d) {
        EXPECT_EQ(d.Items(IDC_MARKER_CANDIDATES), (std::vector<std::string>{"b", "c"}));
        d.SelectItems(IDC_MARKER_CANDIDATES, {"c"});
        d.Click(IDOK);
    });
    desktop.QueueScript(IDD_MARKER_SELECT, [](standin::DialogDriver& d) {
        d.SelectItems(IDC_MARKER_CANDIDATES, {"b"});
        d.Click(IDCANCEL);  // cancel adds nothing
    });
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        EXPECT_EQ(d.Items(IDC_MARKER_LIST), (std::vector<std::string>{"A", "b", "b", "c"}));
        d.Click(IDC_REMOVE_MARKERS);  // nothing selected: nothing happens
        EXPECT_EQ(d.Items(IDC_MARKER_LIST).size(), 4u);
        d.SelectIndices(IDC_MARKER_LIST, {2, 3});  // the second "b" and "c"
        d.Click(IDC_REMOVE_MARKERS);
        EXPECT_EQ(d.Items(IDC_MARKER_LIST), (std::vector<std::string>{"A", "b"}));
        d.Click(IDC_ADD_MARKER);
        d.Click(IDC_ADD_MARKER);
        EXPECT_EQ(d.Items(IDC_MARKER_LIST), (std::vector<std::string>{"A", "b", "c"}));
        d.Click(IDOK);
    });
    const auto& markers = e.outcome.exporter->settings.markers;
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_EQ(markers[0], &a);
    EXPECT_TRUE((markers[1] == &b1) != (markers[1] == &b2));
    EXPECT_EQ(markers[2], &c);
}

TEST_F(Dialogs, KeyFrameFlagsFromThePropertiesAndTheirDialog) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, false);
    box.SetUserProps("keyframe 57 ball_struck\r\nKEYFRAME -1 TOP_OF_SWING\r\nKEYFRAME 4 ADDRESS_BALL");
    desktop.QueueScript(IDD_KEYFRAME_FLAGS, [](standin::DialogDriver& d) {
        EXPECT_TRUE(d.IsChecked(IDC_KF_BALL_STRUCK));
        EXPECT_EQ(d.Text(IDC_KF_BALL_STRUCK_FRAME), "57");
        EXPECT_EQ(d.Text(IDC_KF_TOP_OF_SWING_FRAME), "4294967295");
        EXPECT_EQ(d.Text(IDC_KF_SWING_START_FRAME), "");
        d.PressEscape();  // does not close the dialog
        EXPECT_FALSE(d.Ended());
        d.Click(IDC_KF_BALL_STRUCK);  // untick: keeps its frame number
        d.Click(IDC_KF_SWING_START);
        d.Type(IDC_KF_SWING_START_FRAME, "1x2");
        d.Click(IDOK);
        EXPECT_TRUE(d.Ended());
    });
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        EXPECT_EQ(d.Items(IDC_KEYFRAME_LIST), (std::vector<std::string>{"57 - BALL_STRUCK", "-1 - TOP_OF_SWING", "4 - ADDRESS_BALL"}));
        d.Click(IDC_EDIT_KEYFRAMES);
        EXPECT_EQ(d.Items(IDC_KEYFRAME_LIST), (std::vector<std::string>{"12 - MOUSE_SWING_START", "-1 - TOP_OF_SWING", "4 - ADDRESS_BALL"}));
        d.Click(IDCANCEL);
    });
    const auto& flags = e.outcome.exporter->settings.keyFrames;
    EXPECT_FALSE(flags[0].enabled);
    EXPECT_EQ(flags[0].frame, 57);
    EXPECT_EQ(flags[1].frame, 12);
    EXPECT_EQ(flags[2].frame, -1);  // the dialog read back 4294967295 as an unsigned number
    EXPECT_EQ(flags[3].frame, 4);
}

TEST(KeyFrameText, EntriesAreReadInOrderUntilTheFirstThatDoesNotRead) {
    auto read = [](const std::string& text) {
        vlo::KeyFrameFlags flags;
        vlo::ReadKeyFrameFlags(text, flags);
        return flags;
    };
    const auto twice = read("KEYFRAME 10 TOP_OF_SWING KEYFRAME 14 top_of_swing KEYFRAME 20 FOLLOW_THROUGH");
    EXPECT_EQ(twice[vlo::kTopOfSwing].frame, 14);
    EXPECT_TRUE(twice[vlo::kTopOfSwing].enabled);

    const auto stop = read("KEYFRAME 3 BALL_STRUCK KEYFRAME X KEYFRAME 5 ADDRESS_BALL");
    EXPECT_EQ(stop[vlo::kBallStruck].frame, 3);
    EXPECT_FALSE(stop[vlo::kAddressBall].enabled);

    // A word of any length is read safely, and an entry after it still counts.
    EXPECT_EQ(read("KEYFRAME 1 " + std::string(5000, 'W') + " KEYFRAME 2 BALL_STRUCK")[vlo::kBallStruck].frame, 2);

    // White space is optional around the number, as in the "KEYFRAME %d %s" layout.
    EXPECT_EQ(read("keyframe12ball_struck")[vlo::kBallStruck].frame, 12);
    EXPECT_FALSE(read("KEYFRAME BALL_STRUCK 3")[vlo::kBallStruck].enabled);
}

}  // namespace
