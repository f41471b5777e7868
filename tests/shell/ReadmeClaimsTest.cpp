// What the README says of the editor, against the editor: the loudspeaker layouts' table as the
// exports write them, and the outputs Preferences offers. A change to either that leaves the
// README behind fails here.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFile>
#include <QString>
#include <cstdio>
#include <string>

#include "playback/CEditorApp.h"
#include "render/SpeakerLayout.h"
#include "shell/COptionsDialog.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"

namespace {

std::string Readme() {
    QFile file(SONOMAP_README_PATH);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << SONOMAP_README_PATH;
    return file.readAll().toStdString();
}

// The table row of a layout: its names, a WAV file's channels in order, and the mask.
std::string RowOf(const SpeakerLayout& layout) {
    std::string channels;
    for (const uint16_t k : layout.WaveChannelOrder()) {
        channels += (channels.empty() ? "" : " ") + std::string(layout.Speakers()[k].label);
    }
    char mask[16];
    std::snprintf(mask, sizeof mask, layout.ChannelMask() == 0 ? "0" : "0x%X",
                  static_cast<unsigned>(layout.ChannelMask()));
    return "| " + std::string(layout.Name()) + " | " + std::string(layout.CommonName()) + " | " +
           channels + " | " + mask + " |";
}

}  // namespace

TEST(ReadmeClaims, TheLayoutTableIsWhatTheExportsWrite) {
    const std::string readme = Readme();
    ASSERT_GE(SpeakerLayout::All().size(), 10u);
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        const std::string row = RowOf(layout);
        EXPECT_NE(readme.find(row), std::string::npos) << "README lacks: " << row;
    }
}

// Every output of the Preferences dialog, by the words the README's list of them uses.
TEST(ReadmeClaims, ThePreferencesSentenceNamesEveryOutput) {
    const std::string readme = Readme();
    const size_t from = readme.find("**File → Preferences...** sets the");
    ASSERT_NE(from, std::string::npos);
    // The list of outputs, up to the note on when a new choice takes effect.
    const std::string sentence =
        readme.substr(from, readme.find("from the next start", from) - from);

    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app(prompts, settings);
    COptionsDialog dialog(app);
    const struct {
        int id;
        const char* readme;
    } outputs[] = {
        {COptionsDialog::kIdDirectSound, "PipeWire / PulseAudio"},
        {COptionsDialog::kIdWaveOut, "ALSA"},
        {COptionsDialog::kIdJack, "JACK"},
        {COptionsDialog::kIdLetTrevantDecide, "the mixer's own choice"},
    };
    const auto* jack = dialog.findChild<QAbstractButton*>(QString::number(COptionsDialog::kIdJack));
    ASSERT_NE(jack, nullptr);
    ASSERT_NE(jack->group(), nullptr);
    EXPECT_EQ(jack->group()->buttons().size(), static_cast<int>(std::size(outputs)))
        << "an output the README does not list";
    for (const auto& output : outputs) {
        const auto* button = dialog.findChild<QAbstractButton*>(QString::number(output.id));
        ASSERT_NE(button, nullptr) << output.readme;
        EXPECT_EQ(button->group(), jack->group()) << output.readme;
        EXPECT_NE(sentence.find(output.readme), std::string::npos)
            << button->text().toStdString() << " is not in: " << sentence;
    }
    app.CloseMixerSession();
}
