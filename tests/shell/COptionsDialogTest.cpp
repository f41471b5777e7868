#include "shell/COptionsDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "playback/CEditorApp.h"
#include "playback/QtSettingsStore.h"
#include "support/FailingMixer.h"
#include "support/FreeUdpPort.h"
#include "support/GuiTestEnvironment.h"
#include "support/MemorySettingsStore.h"
#include "support/ModalDialog.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

class OptionsDialogTest : public ::testing::Test {
  protected:
    void TearDown() override { m_app.CloseMixerSession(); }

    // Opens the dialog as the Preferences command would and waits until it shows.
    std::unique_ptr<COptionsDialog> Open() {
        auto dialog = std::make_unique<COptionsDialog>(m_app);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    template <typename Control>
    static Control* Find(const COptionsDialog& dialog, int id) {
        auto* control = dialog.findChild<Control*>(QString::number(id));
        EXPECT_NE(control, nullptr) << id;
        return control;
    }
    static QSlider* Slider(const COptionsDialog& d) {
        return Find<QSlider>(d, COptionsDialog::kIdLatencySlider);
    }
    static QLabel* Label(const COptionsDialog& d) {
        return Find<QLabel>(d, COptionsDialog::kIdLatencyLabel);
    }
    static QCheckBox* Primary(const COptionsDialog& d) {
        return Find<QCheckBox>(d, COptionsDialog::kIdPrimaryBuffer);
    }
    static QCheckBox* Lowpass(const COptionsDialog& d) {
        return Find<QCheckBox>(d, COptionsDialog::kIdLowpassFilter);
    }
    static QRadioButton* Radio(const COptionsDialog& d, int id) {
        return Find<QRadioButton>(d, id);
    }
    static QComboBox* Combo(const COptionsDialog& d, int id) { return Find<QComboBox>(d, id); }
    static QLabel* Text(const COptionsDialog& d, int id) { return Find<QLabel>(d, id); }
    static QStringList Items(const QComboBox* box) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i) {
            items << box->itemText(i);
        }
        return items;
    }
    // Clicks on the button's text, where a user would; the button's box is wider than that.
    static void Click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }
    static void Press(const COptionsDialog& dialog, QDialogButtonBox::StandardButton which) {
        QPushButton* button = dialog.findChild<QDialogButtonBox*>()->button(which);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    CEditorApp m_app{m_prompts, m_settings};
};

}  // namespace

TEST_F(OptionsDialogTest, HasTheMixerGroupWithItsControlsAndTexts) {
    const auto dialog = Open();
    // Titled as the menu item that opens it; the group names what it sets, not a library.
    EXPECT_EQ(dialog->windowTitle(), "Preferences");
    auto* group = dialog->findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), "Mixer");
    // The Windows outputs under their Linux names; the ids and indexes stay.
    EXPECT_EQ(Radio(*dialog, 1012)->text(), "PipeWire / PulseAudio");
    EXPECT_EQ(Radio(*dialog, 1013)->text(), "ALSA");
    EXPECT_EQ(Radio(*dialog, 1016)->text(), "Let the mixer decide");
    EXPECT_EQ(Primary(*dialog)->text(), "Run the device at the sound's rate");
    EXPECT_EQ(Lowpass(*dialog)->text(), "Lowpass Filter");
    for (int id : {1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1025}) {
        auto* control = Find<QWidget>(*dialog, id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->property("controlId").toInt(), id);
        EXPECT_TRUE(group->isAncestorOf(control)) << id;
    }
    QStringList texts;
    for (const QLabel* label : group->findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains("Latency"));
    EXPECT_TRUE(texts.contains("0 ms"));
    EXPECT_TRUE(texts.contains("1000 ms"));
    EXPECT_TRUE(texts.contains("Device"));

    QGroupBox* headphones = nullptr;
    for (QGroupBox* box : dialog->findChildren<QGroupBox*>()) {
        headphones = box->title() == "Headphones (HRTF)" ? box : headphones;
    }
    ASSERT_NE(headphones, nullptr);
    EXPECT_EQ(Radio(*dialog, 1020)->text(), "Automatic");
    EXPECT_EQ(Radio(*dialog, 1021)->text(), "On");
    EXPECT_EQ(Radio(*dialog, 1022)->text(), "Off");
    for (int id : {1020, 1021, 1022, 1023, 1024}) {
        EXPECT_TRUE(headphones->isAncestorOf(Find<QWidget>(*dialog, id))) << id;
    }
    // The two sets, each in its own group under a label and a note that say what it serves.
    const struct {
        int id;
        const char* group;
        const char* label;
        const char* note;
    } sets[] = {
        {COptionsDialog::kIdHrtfList, "Headphones (HRTF)", "HRTF for &playing",
         COptionsDialog::kPlayingSetNote},
        {COptionsDialog::kIdBinauralSet, "Binaural export", "&Binaural set",
         COptionsDialog::kBinauralSetNote},
        {COptionsDialog::kIdChooseSofa, "Binaural export", nullptr, nullptr},
    };
    for (const auto& set : sets) {
        SCOPED_TRACE(set.id);
        auto* control = Find<QWidget>(*dialog, set.id);
        ASSERT_NE(control, nullptr);
        QGroupBox* inside = nullptr;
        for (QWidget* up = control->parentWidget(); up != nullptr && inside == nullptr;
             up = up->parentWidget()) {
            inside = qobject_cast<QGroupBox*>(up);
        }
        ASSERT_NE(inside, nullptr);
        EXPECT_EQ(inside->title(), set.group);
        if (set.label == nullptr) {
            continue;
        }
        bool bLabelled = false;
        bool bNoted = false;
        for (const QLabel* label : inside->findChildren<QLabel*>()) {
            bLabelled = bLabelled || (label->buddy() == control && label->text() == set.label);
            bNoted = bNoted || label->text() == set.note;
        }
        EXPECT_TRUE(bLabelled);
        EXPECT_TRUE(bNoted);
    }
    EXPECT_EQ(Slider(*dialog)->minimum(), 0);
    EXPECT_EQ(Slider(*dialog)->maximum(), 50);
    EXPECT_EQ(Slider(*dialog)->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(Slider(*dialog)->orientation(), Qt::Horizontal);
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

TEST_F(OptionsDialogTest, LatencyLabelReadsAutoAtZeroAndFollowsTheSliderInStepsOfTwenty) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.latency = 0;
        m_app.SetPreferences(prefs);
    }
    auto dialog = Open();
    EXPECT_EQ(Slider(*dialog)->value(), 0);
    EXPECT_EQ(Label(*dialog)->text(), "0 ms (auto)");  // filled at once, before any tick

    QTest::keyClick(Slider(*dialog), Qt::Key_Right);
    EXPECT_EQ(Slider(*dialog)->value(), 1);
    QTRY_COMPARE(Label(*dialog)->text(), QString("20 ms"));
    QTest::keyClick(Slider(*dialog), Qt::Key_End);
    QTRY_COMPARE(Label(*dialog)->text(), QString("1000 ms"));
    QTest::keyClick(Slider(*dialog), Qt::Key_Home);
    QTRY_COMPARE(Label(*dialog)->text(), QString("0 ms (auto)"));
    dialog.reset();

    // The slider shows the stored latency divided by 20, rounded down.
    for (const auto& [latency, position, text] :
         {std::tuple{500, 25, "500 ms"}, std::tuple{519, 25, "500 ms"},
          std::tuple{1000, 50, "1000 ms"}, std::tuple{19, 0, "0 ms (auto)"}}) {
        SCOPED_TRACE(latency);
        {
            Preferences prefs = m_app.GetPreferences();
            prefs.latency = latency;
            m_app.SetPreferences(prefs);
        }
        dialog = Open();
        EXPECT_EQ(Slider(*dialog)->value(), position);
        EXPECT_EQ(Label(*dialog)->text(), text);
        dialog.reset();
    }
}

// Tracking turned on in a run that did not start with it keeps the device's long period: the
// group says so, and when that changes.
TEST_F(OptionsDialogTest, TrackingOnInARunThatStartedWithoutItSaysTurnsComeLateUntilTheNextStart) {
    const int port = FreeUdpPort();
    ASSERT_NE(port, 0);
    ASSERT_EQ(m_app.TrackHeadForRun(port), "");
    ASSERT_FALSE(HeadTrackingPreferences::IsPeriodInEffect());
    const auto dialog = Open();
    auto* state = dialog->findChild<QLabel*>("headTrackingState");
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->text().startsWith(QString("Listening on UDP %1.").arg(port)));
    EXPECT_TRUE(state->text().contains("from the next start")) << state->text().toStdString();
    m_app.GetHeadTracker().Stop();
}

TEST_F(OptionsDialogTest, PrimaryBufferBoxIsOnlyForDirectSoundAndLettingTrevantDecide) {
    for (const auto& [output, radio, bEnabled] :
         {std::tuple{0, 1012, true}, std::tuple{1, 1013, false}, std::tuple{2, 1016, true}}) {
        SCOPED_TRACE(output);
        {
            Preferences prefs = m_app.GetPreferences();
            prefs.mixerOutput = output;
            prefs.bUsePrimaryBuffer = true;
            prefs.bLowpassFilter = output == 1;
            m_app.SetPreferences(prefs);
        }
        const auto dialog = Open();
        EXPECT_TRUE(Radio(*dialog, radio)->isChecked());
        EXPECT_EQ(Primary(*dialog)->isEnabled(), bEnabled);
        EXPECT_TRUE(Primary(*dialog)->isChecked());
        EXPECT_EQ(Lowpass(*dialog)->isChecked(), output == 1);
    }
}

TEST_F(OptionsDialogTest, WaveOutGreysThePrimaryBufferBoxAndDirectSoundBringsItBackChecked) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.mixerOutput = CEditorApp::kOutputLetMixerDecide;
        prefs.bUsePrimaryBuffer = true;
        m_app.SetPreferences(prefs);
    }
    const auto dialog = Open();
    QCheckBox* primary = Primary(*dialog);
    ASSERT_TRUE(primary->isEnabled());

    Click(Radio(*dialog, 1013));
    EXPECT_TRUE(Radio(*dialog, 1013)->isChecked());
    EXPECT_FALSE(primary->isEnabled());
    EXPECT_TRUE(primary->isChecked());

    Click(Radio(*dialog, 1012));
    EXPECT_TRUE(primary->isEnabled());
    EXPECT_TRUE(primary->isChecked());

    Click(primary);  // unchecked while enabled
    Click(Radio(*dialog, 1013));
    Click(Radio(*dialog, 1016));
    EXPECT_TRUE(primary->isEnabled());
    EXPECT_FALSE(primary->isChecked());
}

TEST_F(OptionsDialogTest, CancelAfterChangesKeepsThePreferencesAndTheSession) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.mixerOutput = CEditorApp::kOutputLetMixerDecide;
        prefs.latency = 200;
        prefs.bUsePrimaryBuffer = true;
        m_app.SetPreferences(prefs);
    }
    m_app.OpenMixerSession(44100);
    const AmbrelWaveMixSession session = m_app.GetMixerSession();
    ASSERT_NE(session, 0u);

    auto dialog = Open();
    QTest::keyClick(Slider(*dialog), Qt::Key_Right);
    QTest::keyClick(Slider(*dialog), Qt::Key_Right);
    QTRY_COMPARE(Label(*dialog)->text(), QString("240 ms"));
    Click(Radio(*dialog, 1013));
    Click(Lowpass(*dialog));
    ASSERT_TRUE(Radio(*dialog, 1013)->isChecked());
    ASSERT_TRUE(Lowpass(*dialog)->isChecked());
    Press(*dialog, QDialogButtonBox::Cancel);

    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(m_app.GetPreferences().latency, 200);
    EXPECT_EQ(m_app.GetPreferences().mixerOutput, CEditorApp::kOutputLetMixerDecide);
    EXPECT_FALSE(m_app.GetPreferences().bLowpassFilter);
    EXPECT_TRUE(m_app.GetPreferences().bUsePrimaryBuffer);
    EXPECT_EQ(m_app.GetMixerSession(), session);
    EXPECT_TRUE(m_prompts.Boxes().empty());

    // Showing it again starts from the preferences, not from what was cancelled.
    dialog->show();
    EXPECT_EQ(Slider(*dialog)->value(), 10);
    EXPECT_EQ(Label(*dialog)->text(), "200 ms");
    EXPECT_TRUE(Radio(*dialog, 1016)->isChecked());
    EXPECT_TRUE(Primary(*dialog)->isEnabled());
    EXPECT_FALSE(Lowpass(*dialog)->isChecked());
}

TEST_F(OptionsDialogTest, OkWritesTheControlsBackAndClosesTheSession) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.mixerOutput = CEditorApp::kOutputDirectSound;
        prefs.latency = 0;
        prefs.bUsePrimaryBuffer = true;
        prefs.bLowpassFilter = false;
        m_app.SetPreferences(prefs);
    }
    m_app.OpenMixerSession(22050);
    ASSERT_NE(m_app.GetMixerSession(), 0u);

    const auto dialog = Open();
    for (int step = 0; step < 7; ++step) {
        QTest::keyClick(Slider(*dialog), Qt::Key_Right);
    }
    Click(Radio(*dialog, 1013));
    Click(Lowpass(*dialog));
    Press(*dialog, QDialogButtonBox::Ok);

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_app.GetPreferences().mixerOutput, CEditorApp::kOutputWaveOut);
    EXPECT_EQ(m_app.GetPreferences().latency, 140);
    EXPECT_TRUE(m_app.GetPreferences().bLowpassFilter);
    EXPECT_TRUE(
        m_app.GetPreferences().bUsePrimaryBuffer);  // greyed out, but its check is read back
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
    EXPECT_FALSE(m_app.IsPlaying());
    // The store holds them at once, not only at shutdown.
    EXPECT_EQ(m_settings.GetInt("Preferences", "Latency", -1), 140);
    EXPECT_EQ(m_settings.GetInt("Preferences", "MixerOutput", -1), CEditorApp::kOutputWaveOut);
    EXPECT_EQ(m_settings.GetInt("Preferences", "LowpassFilter", -1), 1);

    // The next play opens a session with the new values.
    m_app.OpenMixerSession(22050);
    EXPECT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(m_app.MakeMixerConfig(22050).latencyMs, 140u);
}

TEST_F(OptionsDialogTest, OkWithNothingChangedStillClosesTheSession) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.latency = 340;
        m_app.SetPreferences(prefs);
    }
    m_app.OpenMixerSession(11025);
    ASSERT_NE(m_app.GetMixerSession(), 0u);
    const auto dialog = Open();
    Press(*dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(m_app.GetPreferences().latency, 340);
    EXPECT_EQ(m_app.GetPreferences().mixerOutput, CEditorApp::kOutputLetMixerDecide);
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
}

TEST_F(OptionsDialogTest, AStoredOutputOutOfRangeChecksNoButtonAndSurvivesOk) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.mixerOutput = 7;
        m_app.SetPreferences(prefs);
    }
    const auto dialog = Open();
    for (int id : {1012, 1013, 1016}) {
        EXPECT_FALSE(Radio(*dialog, id)->isChecked()) << id;
    }
    EXPECT_FALSE(Primary(*dialog)->isEnabled());
    Press(*dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(m_app.GetPreferences().mixerOutput, 7);
}

TEST_F(OptionsDialogTest, DevicesAndHrtfsAreListedAndTheChoicesAreStoredAndApplied) {
    auto dialog = Open();
    QComboBox* devices = Combo(*dialog, COptionsDialog::kIdDevice);
    QComboBox* hrtfs = Combo(*dialog, COptionsDialog::kIdHrtfList);
    // The null back end has its one device; the HRTFs come with their rates.
    EXPECT_EQ(Items(devices), QStringList({"Default device", "No Output"}));
    EXPECT_EQ(devices->currentIndex(), 0);
    // Debian's data set comes at two rates, as does OpenAL Soft's own: one entry each.
    EXPECT_EQ(hrtfs->itemText(0), "Any that fits the sound");
    EXPECT_TRUE(Items(hrtfs).contains("default (44100, 48000 Hz)"));
    EXPECT_EQ(Items(hrtfs).filter("default").size(), 1);
    EXPECT_EQ(hrtfs->count(),
              static_cast<int>(OutputPreferences::GroupHrtfs(m_app.ListHrtfs()).size()) + 1);
    EXPECT_TRUE(Radio(*dialog, COptionsDialog::kIdHrtfAutomatic)->isChecked());
    EXPECT_EQ(Text(*dialog, COptionsDialog::kIdHrtfState)->text(),
              "Shown here once a sound has played.");

    devices->setCurrentIndex(1);
    hrtfs->setCurrentIndex(hrtfs->findText("default (44100, 48000 Hz)"));
    Click(Radio(*dialog, COptionsDialog::kIdHrtfOn));
    Press(*dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(m_app.GetPreferences().output.device, "No Output");
    EXPECT_EQ(m_app.GetPreferences().output.hrtfMode, OutputPreferences::kHrtfOn);
    EXPECT_EQ(m_app.GetPreferences().output.hrtfName, "default-44100");

    // The next session plays on that device with that HRTF, and the dialog shows it live.
    m_app.OpenMixerSession(22050);
    ASSERT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(m_app.GetLiveHrtfText(), "HRTF on: default-44100");
    dialog = Open();
    EXPECT_EQ(Text(*dialog, COptionsDialog::kIdHrtfState)->text(), "HRTF on: default-44100");
    EXPECT_EQ(Combo(*dialog, COptionsDialog::kIdDevice)->currentText(), "No Output");
    Click(Radio(*dialog, COptionsDialog::kIdHrtfOff));
    Press(*dialog, QDialogButtonBox::Ok);
    // The session went with OK; what the last one did stays readable until the next.
    dialog = Open();
    EXPECT_EQ(Text(*dialog, COptionsDialog::kIdHrtfState)->text(),
              "HRTF on: default-44100 (when a sound last played)");
    Press(*dialog, QDialogButtonBox::Cancel);
    m_app.OpenMixerSession(22050);
    EXPECT_EQ(m_app.GetLiveHrtfText(), "HRTF off: speakers");

    EXPECT_EQ(m_settings.GetString("Preferences", "OutputDevice", ""), "No Output");
    EXPECT_EQ(m_settings.GetString("Preferences", "HrtfMode", ""), "2");
    EXPECT_EQ(m_settings.GetString("Preferences", "HrtfName", ""), "default-44100");
}

TEST_F(OptionsDialogTest, AStoredMemberOfADataSetStaysTheOneChosen) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.output.hrtfName = "default-48000";
        m_app.SetPreferences(prefs);
    }
    const auto dialog = Open();
    EXPECT_EQ(Combo(*dialog, COptionsDialog::kIdHrtfList)->currentText(),
              "default (44100, 48000 Hz)");
    Press(*dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(m_app.GetPreferences().output.hrtfName, "default-48000");
}

// The real store: the file QSettings keeps in the test's configuration folder, read back as
// another process would read it while the editor still runs.
TEST(OptionsDialogFile, OkPutsThePreferencesIntoTheFileAtOnce) {
    ScriptedPrompts prompts;
    QtSettingsStore settings;
    CEditorApp app(prompts, settings);
    app.LoadPreferences();
    const int latency = app.GetPreferences().latency == 240 ? 260 : 240;
    COptionsDialog dialog(app);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QSlider*>(QString::number(COptionsDialog::kIdLatencySlider))
        ->setValue(latency / COptionsDialog::kLatencyStepMs);
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const QSettings file(settings.FileName(), QSettings::IniFormat);
    EXPECT_TRUE(
        settings.FileName().startsWith(QString::fromStdString(TestConfigDir().Path().string())));
    EXPECT_EQ(file.value("Preferences/Latency").toInt(), latency);
}

TEST_F(OptionsDialogTest, AStoredDeviceOrHrtfThatIsGoneIsShownAsSuchAndKept) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.output.device = "USB Headset";
        prefs.output.hrtfName = "my-own-hrtf";
        m_app.SetPreferences(prefs);
    }
    const auto dialog = Open();
    EXPECT_EQ(Combo(*dialog, COptionsDialog::kIdDevice)->currentText(), "USB Headset (not found)");
    EXPECT_EQ(Combo(*dialog, COptionsDialog::kIdHrtfList)->currentText(),
              "my-own-hrtf (not installed)");
    Press(*dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(m_app.GetPreferences().output.device, "USB Headset");
    EXPECT_EQ(m_app.GetPreferences().output.hrtfName, "my-own-hrtf");
}

TEST_F(OptionsDialogTest, HrtfOnGreysTheRateBoxWhichKeepsItsCheck) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.mixerOutput = CEditorApp::kOutputDirectSound;
        prefs.bUsePrimaryBuffer = true;
        prefs.output.hrtfMode = OutputPreferences::kHrtfOn;
        m_app.SetPreferences(prefs);
    }
    auto dialog = Open();
    QCheckBox* rate = Primary(*dialog);
    EXPECT_FALSE(rate->isEnabled());
    EXPECT_TRUE(rate->isChecked());
    Click(Radio(*dialog, COptionsDialog::kIdHrtfAutomatic));
    EXPECT_TRUE(rate->isEnabled());
    Click(Radio(*dialog, COptionsDialog::kIdHrtfOn));
    EXPECT_FALSE(rate->isEnabled());
    Click(Radio(*dialog, COptionsDialog::kIdHrtfOff));
    EXPECT_TRUE(rate->isEnabled());
    // ALSA greys it whatever the HRTF choice, as WaveOut did.
    Click(Radio(*dialog, 1013));
    EXPECT_FALSE(rate->isEnabled());
    Click(Radio(*dialog, 1016));
    EXPECT_TRUE(rate->isEnabled());
    EXPECT_TRUE(rate->isChecked());
}

TEST_F(OptionsDialogTest, AnOutputOtherThanTheOneInEffectSaysItWaitsForTheNextStart) {
    // This process's back end is the environment's (OpenAL Soft's own choice).
    ASSERT_EQ(m_app.GetOutputInEffect(), CEditorApp::kOutputLetMixerDecide);
    const auto dialog = Open();
    QLabel* note = Text(*dialog, COptionsDialog::kIdNextStartNote);
    EXPECT_FALSE(note->isVisible());
    Click(Radio(*dialog, 1013));
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), "A change of output takes effect at the next start.");
    Click(Radio(*dialog, 1012));
    EXPECT_TRUE(note->isVisible());
    Click(Radio(*dialog, 1016));
    EXPECT_FALSE(note->isVisible());
}

// JACK sits beside the other outputs and is stored as a value of its own; a session that
// cannot open on it shows the mixer's error with a hint, and the next start takes the default.
TEST_F(OptionsDialogTest, JackIsAnOutputOfItsOwnAndFallsBackWhenNoServerRuns) {
    {
        const auto dialog = Open();
        QRadioButton* jack = Radio(*dialog, COptionsDialog::kIdJack);
        ASSERT_NE(jack, nullptr);
        EXPECT_EQ(jack->text(), "JACK");
        Click(jack);
        Press(*dialog, QDialogButtonBox::Ok);
    }
    EXPECT_EQ(m_app.GetPreferences().mixerOutput, CEditorApp::kOutputJack);
    EXPECT_EQ(m_app.MakeMixerConfig(22050).output, AMBREL_WAVEMIX_OUTPUT_JACK);
    m_app.SavePreferences();
    EXPECT_EQ(Preferences::Load(m_settings).mixerOutput, CEditorApp::kOutputJack);
    {
        const auto dialog = Open();
        EXPECT_TRUE(Radio(*dialog, COptionsDialog::kIdJack)->isChecked());
        Press(*dialog, QDialogButtonBox::Cancel);
    }

    // No JACK server: the session does not open.
    FailingMixer failing(TrevantMixer::Shared());
    CEditorApp app(m_prompts, m_settings, failing);
    app.LoadPreferences();
    ASSERT_EQ(app.GetPreferences().mixerOutput, CEditorApp::kOutputJack);
    failing.FailNext("InitEx", AMBREL_WAVEMIX_ERR_DEVICE_BUSY);
    app.OpenMixerSession(22050);
    EXPECT_EQ(app.GetMixerSession(), 0u);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].text,
              CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_DEVICE_BUSY) + CEditorApp::kJackHint);
    app.SavePreferences();
    EXPECT_EQ(Preferences::Load(m_settings).mixerOutput, CEditorApp::kOutputLetMixerDecide);
}

TEST_F(OptionsDialogTest, ASofaFileIsChosenBesideTheMixersSetsAndABadOneIsRefusedThere) {
    TempDir dir;
    const std::string mine = dir.File("my ears.sofa");
    std::filesystem::copy_file("/usr/share/libmysofa/default.sofa", mine);
    const std::string words = dir.File("words.sofa");
    std::ofstream(words) << "not an HRTF";
    const std::string half = dir.File("half.sofa");
    std::filesystem::copy_file(mine, half);
    std::filesystem::resize_file(half, std::filesystem::file_size(mine) / 2);
    const struct {
        std::string file;
        const char* refusal;  // none: chosen
        std::string stored;   // "BinauralHrtf" after OK
    } cases[] = {
        {mine, nullptr, mine},
        {words, "it is not a SOFA file", mine},
        {half, "it is cut short", mine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto dialog = Open();
        QComboBox* sets = Combo(*dialog, COptionsDialog::kIdBinauralSet);
        const QString before = sets->currentData().toString();
        const size_t shown = m_prompts.Texts().size();
        ModalDialog::When<QFileDialog>([&](QFileDialog& files) {
            auto* name = files.findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            QTest::keyClicks(name, QString::fromStdString(c.file));
            QTest::keyClick(name, Qt::Key_Return);
        });
        Click(Find<QPushButton>(*dialog, COptionsDialog::kIdChooseSofa));
        if (c.refusal == nullptr) {
            EXPECT_EQ(m_prompts.Texts().size(), shown);
            EXPECT_EQ(sets->currentData().toString().toStdString(), c.file);
        } else {
            // Said with the file and the reason, and the choice stays as it was.
            ASSERT_EQ(m_prompts.Texts().size(), shown + 1);
            const std::string text = m_prompts.Texts().back();
            EXPECT_NE(text.find("\"" + c.file + "\" cannot be used: "), std::string::npos) << text;
            EXPECT_NE(text.find(c.refusal), std::string::npos) << text;
            EXPECT_EQ(sets->currentData().toString(), before);
        }
        Press(*dialog, QDialogButtonBox::Ok);
        EXPECT_EQ(m_settings.GetString("Preferences", "BinauralHrtf", "?"), c.stored);
    }

    // Remembered: the file is listed and chosen again, with the default set and the mixer's
    // sets, each of which stays selectable.
    auto dialog = Open();
    QComboBox* sets = Combo(*dialog, COptionsDialog::kIdBinauralSet);
    EXPECT_EQ(sets->currentData().toString().toStdString(), mine);
    EXPECT_EQ(sets->itemData(0).toString(), QString());
    const int mixer = sets->findData(QString("default-48000"));
    ASSERT_GE(mixer, 0);
    sets->setCurrentIndex(mixer);
    Press(*dialog, QDialogButtonBox::Ok);
    EXPECT_EQ(m_settings.GetString("Preferences", "BinauralHrtf", "?"), "default-48000");
    EXPECT_EQ(m_app.GetBinauralSet(), nullptr);
}

// The loudspeakers offered, what the note under them says of the output open now (the null
// device's OpenAL Soft either cannot tell or plays stereo, so neither layout is available),
// and OK storing the choice.
TEST_F(OptionsDialogTest, LoudspeakersSayWhyTheOutputCannotTakeThemAndOkStoresTheChoice) {
    {
        const auto dialog = Open();
        QComboBox* speakers = Combo(*dialog, COptionsDialog::kIdLoudspeakers);
        EXPECT_EQ(Items(speakers),
                  QStringList({"The mixer's own output", "5.1 (0+5+0) through Sonomap's panner",
                               "7.1 (0+7+0) through Sonomap's panner"}));
        EXPECT_EQ(speakers->currentIndex(), 0);
        QLabel* note = Text(*dialog, COptionsDialog::kIdLoudspeakerNote);
        EXPECT_TRUE(note->text().isEmpty());
        speakers->setCurrentIndex(1);
        EXPECT_TRUE(note->text().startsWith("Unavailable: The output is checked when playback"))
            << note->text().toStdString();
        m_app.OpenMixerSession(22050);
        ASSERT_NE(m_app.GetMixerSession(), 0u);
        speakers->setCurrentIndex(2);
        const QString why = note->text();
        EXPECT_TRUE(why.startsWith("Unavailable: This OpenAL Soft does not tell") ||
                    why.startsWith("Unavailable: The output plays 2 channels; 7.1 (0+7+0) needs 8"))
            << why.toStdString();
        Press(*dialog, QDialogButtonBox::Ok);
    }
    EXPECT_EQ(m_app.GetPreferences().output.loudspeakers, "0+7+0");
    EXPECT_EQ(m_settings.GetString("Preferences", "Loudspeakers", ""), "0+7+0");
    const auto again = Open();
    EXPECT_EQ(Combo(*again, COptionsDialog::kIdLoudspeakers)->currentIndex(), 2);
}
