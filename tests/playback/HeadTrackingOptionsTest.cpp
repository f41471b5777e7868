// Head tracking's options from where a user gives them: `sonomap --osc-port` on the real
// editor's command line (what it refuses, with which words, before any window), and the
// preferences as the settings keep them (what reads back, what a damaged value becomes, and
// the session latency tracking holds the mixer to).
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <string>

#include "playback/HeadTrackingPreferences.h"
#include "support/MemorySettingsStore.h"

namespace {

struct Refusal {
    QStringList arguments;
    const char* says;  // in the message on stderr
};

const Refusal kRefusals[] = {
    {{"--osc-port"}, "option '--osc-port' requires an argument"},
    {{"--osc-port", "0"}, "--osc-port takes a UDP port from 1 to 65535, not '0'"},
    {{"--osc-port=65536"}, "not '65536'"},
    {{"--osc-port", "71x"}, "not '71x'"},
    {{"--osc-port=-5"}, "not '-5'"},
    {{"--osc-port="}, "not ''"},
    {{"--osc-port", "7120", "--osc-prt", "7121"}, "unrecognized option '--osc-prt'"},
};

}  // namespace

TEST(HeadTrackingOptions, ABadOscPortIsRefusedWithItsValueAndNoWindow) {
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(refusal.arguments.join(' ').toStdString());
        QProcess editor;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("ALSOFT_DRIVERS", "null");
        editor.setProcessEnvironment(environment);
        editor.setProgram(SONOMAP_EDITOR_PATH);
        editor.setArguments(refusal.arguments);
        editor.start();
        ASSERT_TRUE(editor.waitForStarted(10000));
        if (!editor.waitForFinished(20000)) {
            editor.kill();
            editor.waitForFinished(5000);
            FAIL() << "the editor ran instead of refusing";
        }
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(editor.exitCode(), 2);
        const std::string error = editor.readAllStandardError().toStdString();
        EXPECT_NE(error.find(refusal.says), std::string::npos) << error;
        EXPECT_NE(error.find("Try 'sonomap --help'"), std::string::npos) << error;
    }
}

TEST(HeadTrackingOptions, StoredPreferencesReadBackAndADamagedPortFallsBackToTheDefault) {
    HeadTrackingPreferences chosen;
    chosen.bEnabled = true;
    chosen.port = 9000;
    chosen.bYpr = false;
    chosen.bPlace = false;
    chosen.bInvertPitch = true;
    MemorySettingsStore settings;
    chosen.Save(settings);
    EXPECT_EQ(HeadTrackingPreferences::Load(settings), chosen);

    const struct {
        int stored;
        int read;
    } kPorts[] = {{1, 1}, {65535, 65535}, {0, 7120}, {65536, 7120}, {-7120, 7120}};
    for (const auto& port : kPorts) {
        SCOPED_TRACE(port.stored);
        settings.SetInt("HeadTracking", "Port", port.stored);
        EXPECT_EQ(HeadTrackingPreferences::Load(settings).port, port.read);
    }
    MemorySettingsStore empty;
    EXPECT_EQ(HeadTrackingPreferences::Load(empty), HeadTrackingPreferences{});
}

TEST(HeadTrackingOptions, TrackingHoldsTheSessionLatencyToItsShortLead) {
    const struct {
        bool bEnabled;
        int stored;  // the Latency preference, ms; 0 the mixer's default
        uint32_t session;
    } kCases[] = {
        {false, 0, 0},   {false, 120, 120}, {true, 0, 15},
        {true, 120, 15}, {true, 10, 10},    {true, -3, 15},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.bEnabled) + " " + std::to_string(c.stored));
        HeadTrackingPreferences prefs;
        prefs.bEnabled = c.bEnabled;
        EXPECT_EQ(prefs.SessionLatencyMs(c.stored), c.session);
    }
}
