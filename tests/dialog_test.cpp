// The options dialog and its two small dialogs, driven through the headless desktop.
#include <gtest/gtest.h>

#include "standin/character.h"
#include "test_support.h"
#include "ui/dialogs.h"

using support::AddBox;

namespace {

// Runs an export whose options dialog runs script (which must end the dialog itself).
support::Exported RunWith(standin::Scene& scene, standin::Desktop& desktop, const support::TempDir& dir,
                      standin::DialogScript script) {
    desktop.QueueScript(106, std::move(script));
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
        EXPECT_TRUE(d.IsChecked(1015));
        EXPECT_FALSE(d.IsChecked(1013));
        EXPECT_FALSE(d.IsChecked(1031));
        EXPECT_TRUE(d.IsChecked(1002));  // swap on
        EXPECT_TRUE(d.IsChecked(1005));  // origin at base
        EXPECT_TRUE(d.IsChecked(1027));  // no yardstick: 1 unit = 1 metre
        EXPECT_EQ(d.Text(1010), "No Sound Effect");
        checked = true;
        d.Click(2);
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
        EXPECT_TRUE(d.IsChecked(1015));
        EXPECT_TRUE(d.IsChecked(1031));
        EXPECT_TRUE(d.IsChecked(1028));  // a yardstick anywhere selects "Use yardstick"
        d.Click(2);
    });

    standin::Scene broken;
    auto& r = broken.CreateNode("Bip01");
    r.SetSelected(true);
    standin::MakeBipedRoot(broken, r, nullptr);
    standin::Desktop d2;
    RunWith(broken, d2, dir, [](standin::DialogDriver& d) {
        EXPECT_TRUE(d.IsChecked(1013));
        EXPECT_FALSE(d.IsChecked(1015));
        EXPECT_FALSE(d.IsChecked(1031));
        d.Click(2);
    });
}

TEST_F(Dialogs, RadioGroupsKeepOneChoiceEach) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        d.Click(1014);
        d.Click(1013);
        EXPECT_TRUE(d.IsChecked(1013));
        EXPECT_FALSE(d.IsChecked(1014));
        EXPECT_FALSE(d.IsChecked(1015));
        d.Click(1004);
        EXPECT_TRUE(d.IsChecked(1004));
        EXPECT_FALSE(d.IsChecked(1005));
        d.Click(1);
    });
    EXPECT_EQ(e.outcome.exporter->exportMode, 1013);
    EXPECT_EQ(e.outcome.exporter->originMode, 1004);
}

TEST_F(Dialogs, CheckBoxesAreStoredOnlyOnOk) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        d.Click(1002);  // swap off
        d.Click(1018);
        d.Click(1013);  // a radio change is stored at once
        d.Click(2);
    });
    EXPECT_EQ(e.outcome.exporter->swapYZ, TRUE);
    EXPECT_EQ(e.outcome.exporter->noCollisions, FALSE);
    EXPECT_EQ(e.outcome.exporter->exportMode, 1013);
    EXPECT_FALSE(e.exists);
}

TEST_F(Dialogs, SoundSelection) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    desktop.QueueOpenFile(std::nullopt);  // cancelled before any sound was chosen
    desktop.QueueOpenFile("c:\\audio\\hit.wav");
    desktop.QueueOpenFile("D:\\GAME\\SOUNDS\\SWING\\WHOOSH.WAV");
    auto e = RunWith(scene, desktop, dir, [&](standin::DialogDriver& d) {
        d.Click(1011);
        EXPECT_EQ(d.Text(1010), "");
        d.Click(1011);
        EXPECT_EQ(d.Text(1010), "C:\\AUDIO\\HIT.WAV");
        d.Click(1012);
        EXPECT_EQ(d.Text(1010), "No Sound Effect");
        d.Click(1011);
        EXPECT_EQ(d.Text(1010), "SWING\\WHOOSH.WAV");
        d.Click(2);
    });
    EXPECT_EQ(desktop.LastOpenFileTitle(), "Select Sound File...");
    EXPECT_EQ(std::string(desktop.LastOpenFile().lpstrFilter), "WAV Sound Files");
    EXPECT_EQ(e.outcome.exporter->hasSound, TRUE);
    EXPECT_STREQ(e.outcome.exporter->soundFile, "SWING\\WHOOSH.WAV");
}

TEST_F(Dialogs, MarkerListIsSortedAndRemoveAndAddEditTheMarkers) {
    AddBox(scene, "Box", {1, 1, 1}, true, false);
    auto& c = scene.CreateDummyNode("c", Box3());
    auto& a = scene.CreateDummyNode("A", Box3());
    auto& b1 = scene.CreateDummyNode("b", Box3());
    auto& b2 = scene.CreateDummyNode("b", Box3());
    desktop.QueueScript(108, [](standin::DialogDriver& d) {
        EXPECT_EQ(d.Items(IDC_MARKER_CANDIDATES), (std::vector<std::string>{"b", "c"}));
        d.SelectItems(IDC_MARKER_CANDIDATES, {"c"});
        d.Click(1);
    });
    desktop.QueueScript(108, [](standin::DialogDriver& d) {
        d.SelectItems(IDC_MARKER_CANDIDATES, {"b"});
        d.Click(2);  // cancel adds nothing
    });
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        EXPECT_EQ(d.Items(1020), (std::vector<std::string>{"A", "b", "b", "c"}));
        d.Click(1022);  // nothing selected: nothing happens
        EXPECT_EQ(d.Items(1020).size(), 4u);
        d.SelectIndices(1020, {2, 3});  // the second "b" and "c"
        d.Click(1022);
        EXPECT_EQ(d.Items(1020), (std::vector<std::string>{"A", "b"}));
        d.Click(1021);
        d.Click(1021);
        EXPECT_EQ(d.Items(1020), (std::vector<std::string>{"A", "b", "c"}));
        d.Click(1);
    });
    const auto& markers = e.outcome.exporter->markerNodes;
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_EQ(markers[0], &a);
    EXPECT_TRUE((markers[1] == &b1) != (markers[1] == &b2));
    EXPECT_EQ(markers[2], &c);
}

TEST_F(Dialogs, KeyFrameFlagsFromThePropertiesAndTheirDialog) {
    auto& box = AddBox(scene, "Box", {1, 1, 1}, true, false);
    box.SetUserProps("keyframe 57 ball_struck\r\nKEYFRAME -1 TOP_OF_SWING\r\nKEYFRAME 4 ADDRESS_BALL");
    desktop.QueueScript(107, [](standin::DialogDriver& d) {
        EXPECT_TRUE(d.IsChecked(IDC_KF_BALL_STRUCK));
        EXPECT_EQ(d.Text(IDC_KF_BALL_STRUCK_FRAME), "57");
        EXPECT_EQ(d.Text(IDC_KF_TOP_OF_SWING_FRAME), "4294967295");
        EXPECT_EQ(d.Text(IDC_KF_SWING_START_FRAME), "");
        d.PressEscape();  // does not close the dialog
        EXPECT_FALSE(d.Ended());
        d.Click(IDC_KF_BALL_STRUCK);  // untick: keeps its frame number
        d.Click(IDC_KF_SWING_START);
        d.Type(IDC_KF_SWING_START_FRAME, "1x2");
        d.Click(1);
        EXPECT_TRUE(d.Ended());
    });
    auto e = RunWith(scene, desktop, dir, [](standin::DialogDriver& d) {
        EXPECT_EQ(d.Items(1023), (std::vector<std::string>{"57 - BALL_STRUCK", "-1 - TOP_OF_SWING", "4 - ADDRESS_BALL"}));
        d.Click(1024);
        EXPECT_EQ(d.Items(1023), (std::vector<std::string>{"12 - MOUSE_SWING_START", "-1 - TOP_OF_SWING", "4 - ADDRESS_BALL"}));
        d.Click(2);
    });
    const auto& flags = e.outcome.exporter->keyFrameFlags;
    EXPECT_EQ(flags[0].enabled, FALSE);
    EXPECT_EQ(flags[0].frame, 57);
    EXPECT_EQ(flags[1].frame, 12);
    EXPECT_EQ(flags[2].frame, -1);  // the dialog read back 4294967295 as an unsigned number
    EXPECT_EQ(flags[3].frame, 4);
}

TEST(KeyFrameText, EntriesAreReadInOrderUntilTheFirstThatDoesNotRead) {
    VloExporter e;
    e.ReadKeyFrameFlags("KEYFRAME 10 TOP_OF_SWING KEYFRAME 14 top_of_swing KEYFRAME 20 FOLLOW_THROUGH");
    EXPECT_EQ(e.keyFrameFlags[2].frame, 14);
    EXPECT_EQ(e.keyFrameFlags[2].enabled, TRUE);

    VloExporter stop;
    stop.ReadKeyFrameFlags("KEYFRAME 3 BALL_STRUCK KEYFRAME X KEYFRAME 5 ADDRESS_BALL");
    EXPECT_EQ(stop.keyFrameFlags[0].frame, 3);
    EXPECT_EQ(stop.keyFrameFlags[3].enabled, FALSE);

    // A word of any length is read safely, and an entry after it still counts.
    VloExporter longWord;
    longWord.ReadKeyFrameFlags("KEYFRAME 1 " + std::string(5000, 'W') + " KEYFRAME 2 BALL_STRUCK");
    EXPECT_EQ(longWord.keyFrameFlags[0].frame, 2);

    // White space is optional around the number, as in the "KEYFRAME %d %s" layout.
    VloExporter glued;
    glued.ReadKeyFrameFlags("keyframe12ball_struck");
    EXPECT_EQ(glued.keyFrameFlags[0].frame, 12);
    VloExporter noNumber;
    noNumber.ReadKeyFrameFlags("KEYFRAME BALL_STRUCK 3");
    EXPECT_EQ(noNumber.keyFrameFlags[0].enabled, FALSE);
}

}  // namespace
