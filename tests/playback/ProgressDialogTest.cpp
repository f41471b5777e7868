#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "deliver/BinauralExportCommand.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "playback/CEditorApp.h"
#include "playback/CProgressDialog.h"
#include "playback/QtUserPrompts.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/TempDir.h"

TEST(ProgressDialog, DisablesTheMainWindowWhileItExists) {
    QMainWindow main;
    main.show();
    {
        CProgressDialog dialog;
        EXPECT_EQ(dialog.PercentLabel()->text(), " 0 %");
        ASSERT_TRUE(dialog.Create());
        EXPECT_FALSE(main.isEnabled());
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isEnabled());
        EXPECT_EQ(dialog.windowTitle(), "Creating AmbrelStereo file...");
        EXPECT_EQ(dialog.Bar()->minimum(), 0);
        EXPECT_EQ(dialog.Bar()->maximum(), 100);
    }
    EXPECT_TRUE(main.isEnabled());

    // An owner that was already disabled stays so: the dialog did not disable it.
    QWidget owner;
    owner.setEnabled(false);
    {
        CProgressDialog dialog;
        dialog.Create(&owner);
        EXPECT_TRUE(main.isEnabled());
    }
    EXPECT_FALSE(owner.isEnabled());

    // The editor's prompts open the same window over the main window.
    QtUserPrompts prompts;
    std::unique_ptr<ProgressIndicator> progress = prompts.OpenProgressDialog();
    EXPECT_FALSE(main.isEnabled());
    progress.reset();
    EXPECT_TRUE(main.isEnabled());
}

TEST(ProgressDialog, PercentageLabelAndStatusLine) {
    CProgressDialog dialog;
    dialog.Create();
    dialog.SetRange(0, 100);
    EXPECT_EQ(dialog.SetPos(0), 0);
    EXPECT_EQ(dialog.PercentLabel()->text(), "0%");
    EXPECT_EQ(dialog.SetPos(37), 0);
    EXPECT_EQ(dialog.PercentLabel()->text(), "37%");
    EXPECT_EQ(dialog.Bar()->value(), 37);
    EXPECT_EQ(dialog.SetPos(100), 37);
    EXPECT_EQ(dialog.PercentLabel()->text(), "100%");

    dialog.SetRange(200, 400);
    dialog.SetPos(350);
    EXPECT_EQ(dialog.PercentLabel()->text(), "75%");
    // Past the top the share wraps at 100, as the label has always shown it.
    dialog.SetRange(0, 50);
    dialog.SetPos(60);
    EXPECT_EQ(dialog.PercentLabel()->text(), "20%");
    dialog.SetRange(5, 5);
    dialog.SetPos(5);
    EXPECT_EQ(dialog.PercentLabel()->text(), "0%");

    dialog.SetStatus("(8192 of 20000)");
    EXPECT_EQ(dialog.StatusLine()->text(), "(8192 of 20000)");
    // The time goes beside the frame counts, which it leaves as they are.
    dialog.SetTime("0:03 of 0:05");
    EXPECT_EQ(dialog.TimeLine()->text(), "0:03 of 0:05");
    EXPECT_EQ(dialog.StatusLine()->text(), "(8192 of 20000)");
}

TEST(ProgressDialog, CancelRaisesAFlagThatReadingClears) {
    CProgressDialog dialog;
    dialog.Create();
    EXPECT_FALSE(dialog.CheckCancelButton());

    // A click still queued is handled by the check itself.
    QTimer::singleShot(0, dialog.CancelButton(), &QPushButton::click);
    EXPECT_TRUE(dialog.CheckCancelButton());
    EXPECT_FALSE(dialog.CheckCancelButton());
    EXPECT_TRUE(dialog.isVisible());

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.CheckCancelButton());

    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.CheckCancelButton());
}

TEST(ProgressDialog, TheEditorsExportCancelsFromTheWindowAndFinishesWithoutIt) {
    TempDir dir;
    TestSound sound;
    sound.samples = Pattern(20000 * 2);
    sound.points = {{0, -90}, {15000, 90}};
    sound.chunkFrames = FramesOf(sound);
    WriteBytes(dir.File("take.wav"), BuildSoundFile(sound));
    std::filesystem::create_directory(dir.Path() / "out");
    const std::string out = dir.File("out/take-stereo.wav");

    QMainWindow main;
    main.show();
    QtUserPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app(prompts, settings);
    app.Dialogs().SetSaveName([&](const SaveNameRequest& request, SaveNameResult& result) {
        EXPECT_EQ(request.title, "Export Stereo File As...");
        result.fullPath = out;
        result.filterIndex = 1;
        return true;
    });
    CTesselDoc doc(app);
    ASSERT_TRUE(DocumentOpen(doc).Open(dir.File("take.wav")));

    // Cancel is pressed as soon as the window handles events, before the first block ends.
    bool bMainDisabledWhileRunning = false;
    QTimer::singleShot(0, [&] {
        bMainDisabledWhileRunning = !main.isEnabled();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<CProgressDialog*>(widget)) {
                dialog->CancelButton()->click();
            }
        }
    });
    EXPECT_FALSE(StereoExportCommand(doc).Run());
    EXPECT_TRUE(bMainDisabledWhileRunning);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(static_cast<DocumentHost&>(app).GetExportFolder(), "");

    EXPECT_TRUE(StereoExportCommand(doc).Run());
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(app.GetPreferences().exportPath, dir.File("out/"));
    EXPECT_TRUE(main.isEnabled());
    app.ExitInstance();
}

TEST(ProgressDialog, TheBinauralExportHasItsOwnCaptionAndCancelsFromTheWindow) {
    TempDir dir;
    TestSound sound;
    sound.samples = Pattern(40000 * 2);
    sound.points = {{0, -90}, {30000, 90}};
    sound.chunkFrames = FramesOf(sound);
    WriteBytes(dir.File("take.wav"), BuildSoundFile(sound));
    const std::string out = dir.File("take-binaural.wav");

    QMainWindow main;
    main.show();
    QtUserPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app(prompts, settings);
    app.Dialogs().SetSaveName([&](const SaveNameRequest&, SaveNameResult& result) {
        result.fullPath = out;
        result.filterIndex = 1;
        return true;
    });
    CTesselDoc doc(app);
    ASSERT_TRUE(DocumentOpen(doc).Open(dir.File("take.wav")));

    QString caption;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<CProgressDialog*>(widget)) {
                caption = dialog->windowTitle();
                dialog->CancelButton()->click();
            }
        }
    });
    EXPECT_FALSE(BinauralExportCommand(doc).Run());
    EXPECT_EQ(caption, "Creating binaural file...");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(main.isEnabled());
    app.ExitInstance();
}
