#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <filesystem>

#include "platform/ScriptedPrompts.h"
#include "playback/CEditorApp.h"
#include "playback/QtSettingsStore.h"
#include "support/GuiTestEnvironment.h"

namespace {

std::filesystem::path ConfigFile() {
    return TestConfigDir().Path() / "Ambrel" / "Sonomap.conf";
}

class QtSettings : public ::testing::Test {
  protected:
    void SetUp() override { QSettings("Ambrel", "Sonomap").clear(); }
};

TEST_F(QtSettings, LivesInTheUsersConfigFolderUnderAmbrelSonomap) {
    QtSettingsStore store;
    store.SetInt("Preferences", "Latency", 40);
    EXPECT_EQ(store.FileName().toStdString(), ConfigFile().string());
    EXPECT_TRUE(std::filesystem::exists(ConfigFile()));
}

TEST_F(QtSettings, PreferencesRoundTripThroughTheFile) {
    {
        QtSettingsStore store;
        ScriptedPrompts prompts;
        CEditorApp app(prompts, store);
        app.m_bCursorFollow = true;
        app.m_mixerOutput = 1;
        app.m_bLowpassFilter = true;
        app.m_bUsePrimaryBuffer = false;
        app.m_latency = 1000;
        app.m_savePath = "/home/user/Saved Sounds/";
        app.m_openPath = "/tmp/ö/";
        app.m_exportPath = "";
        app.ExitInstance();
    }
    QtSettingsStore store;
    ScriptedPrompts prompts;
    CEditorApp app(prompts, store);
    app.LoadPreferences();
    EXPECT_TRUE(app.m_bCursorFollow);
    EXPECT_EQ(app.m_mixerOutput, 1);
    EXPECT_TRUE(app.m_bLowpassFilter);
    EXPECT_FALSE(app.m_bUsePrimaryBuffer);
    EXPECT_EQ(app.m_latency, 1000);
    EXPECT_EQ(app.m_savePath, "/home/user/Saved Sounds/");
    EXPECT_EQ(app.m_openPath, "/tmp/ö/");
    EXPECT_EQ(app.m_exportPath, "");
    EXPECT_EQ(app.GetMainFrameClassName(), "wergarbageqwert");
}

TEST_F(QtSettings, HandEditedValuesReadAsTheRulesSay) {
    {
        QSettings raw(QString::fromStdString(ConfigFile().string()), QSettings::IniFormat);
        raw.setValue("Preferences/CursorFollow", 2);
        raw.setValue("Preferences/LowpassFilter", "on");
        raw.setValue("Preferences/UsePrimaryBuffer", 1);
        raw.setValue("Preferences/Latency", "fast");
    }
    QtSettingsStore store;
    ScriptedPrompts prompts;
    CEditorApp app(prompts, store);
    app.LoadPreferences();
    EXPECT_FALSE(app.m_bCursorFollow);
    EXPECT_FALSE(app.m_bLowpassFilter);
    EXPECT_TRUE(app.m_bUsePrimaryBuffer);
    EXPECT_EQ(app.m_latency, 0);
    EXPECT_EQ(app.GetMainFrameClassName(), "Noneasdasdasd");
}

}  // namespace
