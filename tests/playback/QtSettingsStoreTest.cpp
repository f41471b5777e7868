#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <filesystem>

#include "playback/CEditorApp.h"
#include "playback/QtSettingsStore.h"
#include "support/GuiTestEnvironment.h"
#include "support/ScriptedPrompts.h"

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
        {
            Preferences prefs = app.GetPreferences();
            prefs.bCursorFollow = true;
            prefs.mixerOutput = 1;
            prefs.bLowpassFilter = true;
            prefs.bUsePrimaryBuffer = false;
            prefs.latency = 1000;
            prefs.savePath = "/home/user/Saved Sounds/";
            prefs.openPath = "/tmp/ö/";
            prefs.exportPath = "";
            app.SetPreferences(prefs);
        }
        app.ExitInstance();
    }
    QtSettingsStore store;
    ScriptedPrompts prompts;
    CEditorApp app(prompts, store);
    app.LoadPreferences();
    EXPECT_TRUE(app.GetPreferences().bCursorFollow);
    EXPECT_EQ(app.GetPreferences().mixerOutput, 1);
    EXPECT_TRUE(app.GetPreferences().bLowpassFilter);
    EXPECT_FALSE(app.GetPreferences().bUsePrimaryBuffer);
    EXPECT_EQ(app.GetPreferences().latency, 1000);
    EXPECT_EQ(app.GetPreferences().savePath, "/home/user/Saved Sounds/");
    EXPECT_EQ(app.GetPreferences().openPath, "/tmp/ö/");
    EXPECT_EQ(app.GetPreferences().exportPath, "");
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
    EXPECT_FALSE(app.GetPreferences().bCursorFollow);
    EXPECT_FALSE(app.GetPreferences().bLowpassFilter);
    EXPECT_TRUE(app.GetPreferences().bUsePrimaryBuffer);
    EXPECT_EQ(app.GetPreferences().latency, 0);
    EXPECT_EQ(app.GetMainFrameClassName(), "Noneasdasdasd");
}

}  // namespace
