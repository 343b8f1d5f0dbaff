// The module's entry points and the answers the host asks of the exporter class.
#include <gtest/gtest.h>

#include <cstring>

#include "app/plugin_host.h"
#include "plugin/entry.h"

namespace {

TEST(Plugin, DescriptorAndExporterAnswers) {
    app::LoadExporterModule();
    EXPECT_EQ(LibNumberClasses(), 1);
    EXPECT_EQ(LibClassDesc(1), nullptr);
    EXPECT_EQ(LibClassDesc(-1), nullptr);
    EXPECT_EQ(LibVersion(), 0x1B580D00u);
    EXPECT_STREQ(LibDescription(), "Velmora Games Exporter");
    ClassDesc* desc = LibClassDesc(0);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->IsPublic(), 1);
    EXPECT_EQ(desc->SuperClassID(), 0xA20u);
    EXPECT_EQ(desc->ClassID(), Class_ID(0x116904FE, 0x1F826DDB));
    EXPECT_STREQ(desc->ClassName(), "VLO_Exporter");
    EXPECT_STREQ(desc->Category(), "Category");
    std::unique_ptr<SceneExport> exporter(static_cast<SceneExport*>(desc->Create(FALSE)));
    EXPECT_EQ(exporter->ExtCount(), 2);
    EXPECT_STREQ(exporter->Ext(0), "VLO");
    EXPECT_STREQ(exporter->Ext(5), "VLO");
    EXPECT_STREQ(exporter->Ext(1), "VLA");
    EXPECT_STREQ(exporter->ShortDesc(), "VLG Exporter");
    EXPECT_EQ(exporter->Version(), 300u);
    EXPECT_TRUE(exporter->SupportsOptions(1, 0));
}

TEST(Plugin, StringLookupsShareOneBuffer) {
    app::LoadExporterModule();
    const char* first = GetString(2);
    const char* second = GetString(12);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "VLA");
    EXPECT_EQ(GetString(99), nullptr);
}

TEST(Plugin, AboutBoxClosesWithOk) {
    app::LoadExporterModule();
    standin::Desktop desktop;
    VloExporter exporter;
    exporter.ShowAbout(desktop.MainWindow());
    ASSERT_EQ(desktop.Dialogs().size(), 1u);
    EXPECT_EQ(desktop.Dialogs()[0].templateId, 102);
    EXPECT_EQ(desktop.Dialogs()[0].result, 1);
    EXPECT_TRUE(desktop.Problems().empty());
}

TEST(Plugin, FreshExporterDefaults) {
    VloExporter e;
    const vlo::ExportSettings& s = e.settings;
    EXPECT_TRUE(s.markers.empty());
    EXPECT_TRUE(e.dummyNodes.empty());
    for (const auto& flag : s.keyFrames) {
        EXPECT_FALSE(flag.enabled);
        EXPECT_EQ(flag.frame, -1);
    }
    EXPECT_TRUE(s.swapYZ);
    EXPECT_EQ(s.origin, vlo::OriginMode::Base);
    EXPECT_EQ(s.mode, vlo::ExportMode::Shape);
    EXPECT_EQ(s.scale, vlo::ScaleMode::Unit);
    EXPECT_FALSE(e.Result().written);
}

}  // namespace
