// The Point Properties dialog, typed into as a user would: the two position boxes kept in step,
// the inline messages, OK waiting for right values, and OK as one undo step through the
// application object.
#include "shell/CPointPropertiesDialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "document/PointProperties.h"
#include "playback/CEditorApp.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/ModalDialog.h"
#include "support/ScriptedPrompts.h"
#include "support/Trajectory.h"
#include "trajectory/SoundPlace.h"

namespace {

class PointPropertiesDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc = PointPropertiesDocument(app);
        point = PointAt(*doc, 1);
    }
    void TearDown() override {
        doc.reset();
        app.ExitInstance();
    }
    static void Retype(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }
    static QPushButton* Ok(CPointPropertiesDialog& dialog) {
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text().remove('&') == "OK") {
                return button;
            }
        }
        return nullptr;
    }

    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app{prompts, settings};
    std::unique_ptr<CTesselDoc> doc;
    PanPoint* point = nullptr;
};

}  // namespace

TEST_F(PointPropertiesDialogTest, ShowsThePointAndKeepsTimeAndFrameInStep) {
    PointProperties properties(*doc, *point);
    CPointPropertiesDialog dialog(properties);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "Point Properties");
    EXPECT_EQ(dialog.TimeBox()->text(), "0:00.045");
    EXPECT_EQ(dialog.FramesBox()->text(), "2000");
    EXPECT_EQ(dialog.PanBox()->text(), "20");
    EXPECT_TRUE(dialog.PositionError()->isHidden());

    Retype(dialog.FramesBox(), "2500");
    EXPECT_EQ(dialog.TimeBox()->text(), "0:00.056");
    Retype(dialog.TimeBox(), "0:00.050");
    EXPECT_EQ(dialog.FramesBox()->text(), "2205");
    EXPECT_TRUE(Ok(dialog)->isEnabled());
}

TEST_F(PointPropertiesDialogTest, RefusedValuesSayWhyUnderTheirBoxAndHoldOk) {
    PointProperties properties(*doc, *point);
    CPointPropertiesDialog dialog(properties);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    Retype(dialog.FramesBox(), "3000");
    EXPECT_FALSE(dialog.PositionError()->isHidden());
    EXPECT_EQ(dialog.PositionError()->text(),
              "The position must lie from frame 1001 (0:00.022) to frame 2999 (0:00.068): the "
              "point after it lies at frame 3000.");
    EXPECT_FALSE(Ok(dialog)->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Return);  // Enter does not get past a refused value
    EXPECT_TRUE(dialog.isVisible());

    Retype(dialog.TimeBox(), "abc");
    EXPECT_EQ(dialog.PositionError()->text(), "Type the time as m:ss.mmm, for example 0:01.250.");
    Retype(dialog.TimeBox(), "0:00.060");
    EXPECT_TRUE(dialog.PositionError()->isHidden());
    EXPECT_TRUE(Ok(dialog)->isEnabled());

    Retype(dialog.PanBox(), "95");
    EXPECT_EQ(dialog.PanError()->text(),
              "The direction must be a whole number of degrees from -90 (full left) to +90 "
              "(full right).");
    EXPECT_FALSE(Ok(dialog)->isEnabled());
    Retype(dialog.PanBox(), "-90");
    EXPECT_TRUE(dialog.PanError()->isHidden());
    QTest::mouseClick(Ok(dialog), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(point->position, 2646u);
    EXPECT_EQ(point->Pan(), -90);
}

TEST_F(PointPropertiesDialogTest, OkThroughTheApplicationIsOneUndoStep) {
    CPointPropertiesDialog::Install(app, nullptr);
    ModalDialog::When<CPointPropertiesDialog>([](CPointPropertiesDialog& dialog) {
        Retype(dialog.FramesBox(), "1500");
        Retype(dialog.PanBox(), "+45");
        QTest::keyClick(dialog.PanBox(), Qt::Key_Return);
    });
    PointProperties properties(*doc, *point);
    EXPECT_TRUE(app.Dialogs().EditPointProperties(properties));
    EXPECT_EQ(point->position, 1500u);
    EXPECT_EQ(point->Pan(), 45);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
    ASSERT_TRUE(PanEditCommands::Undo(*doc));
    EXPECT_EQ(point->position, 2000u);

    ModalDialog::When<CPointPropertiesDialog>(
        [](CPointPropertiesDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    PointProperties again(*doc, *point);
    EXPECT_FALSE(app.Dialogs().EditPointProperties(again));
    EXPECT_FALSE(PanEditCommands::CanUndo(*doc));
}

TEST_F(PointPropertiesDialogTest, TheWholePlaceIsTypedCheckedAndKeptInStepWithTheDirection) {
    EXPECT_FALSE(PanEditCommands::CanUndo(*doc));
    PointProperties properties(*doc, *point);
    CPointPropertiesDialog dialog(properties);
    EXPECT_EQ(dialog.AzimuthBox()->text(), "20");
    EXPECT_EQ(dialog.ElevationBox()->text(), "0");
    EXPECT_EQ(dialog.DistanceBox()->text(), "1.00");
    EXPECT_EQ(dialog.WidthBox()->text(), "0");
    EXPECT_FALSE(dialog.WidthBox()->isEnabled());  // a mono sound has no width to spread
    dialog.show();

    struct Refusal {
        QLineEdit* box;
        const char* text;
        const char* error;
    };
    const Refusal refusals[] = {
        {dialog.AzimuthBox(), "200",
         "The azimuth must be a whole number of degrees from -180 to 180 (0 ahead, +90 right, "
         "180 behind)."},
        {dialog.ElevationBox(), "91",
         "The elevation must be a whole number of degrees from -90 (straight down) to +90 "
         "(straight up)."},
        {dialog.DistanceBox(), "0.05",
         "The distance must be a number of metres from 0.10 to 100, for example 2.5."},
        {dialog.DistanceBox(), "1.2.3",
         "The distance must be a number of metres from 0.10 to 100, for example 2.5."},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.text);
        const QString was = r.box->text();
        Retype(r.box, r.text);
        EXPECT_FALSE(dialog.PlaceError()->isHidden());
        EXPECT_EQ(dialog.PlaceError()->text().toStdString(), r.error);
        EXPECT_FALSE(Ok(dialog)->isEnabled());
        Retype(r.box, was);
        EXPECT_TRUE(dialog.PlaceError()->isHidden());
        EXPECT_TRUE(Ok(dialog)->isEnabled());
    }

    // Behind the listener: the direction shows the fold a front-only reader sees.
    Retype(dialog.AzimuthBox(), "-180");
    EXPECT_EQ(dialog.PanBox()->text(), "0");
    Retype(dialog.AzimuthBox(), "120");
    EXPECT_EQ(dialog.PanBox()->text(), "60");
    Retype(dialog.ElevationBox(), "+30");
    Retype(dialog.DistanceBox(), "2.5");
    QTest::mouseClick(Ok(dialog), Qt::LeftButton);
    EXPECT_EQ(point->azimuth, 120);
    EXPECT_EQ(point->Pan(), 60);
    EXPECT_EQ(point->elevation, 30);
    EXPECT_EQ(point->distanceCm, 250u);
    EXPECT_EQ(point->position, 2000u);
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
    ASSERT_TRUE(PanEditCommands::Undo(*doc));
    EXPECT_EQ(point->azimuth, 20);
    EXPECT_EQ(point->distanceCm, 100u);
}

TEST_F(PointPropertiesDialogTest, TypedDirectionAndPlaceValuesReadBackAsStored) {
    PointProperties properties(*doc, *point);
    struct Case {
        const char* text;
        std::optional<int> azimuth;
        std::optional<int> width;
        std::optional<uint32_t> distance;
    };
    const Case cases[] = {
        {"-180", 180, std::nullopt, std::nullopt},
        {"180\u00B0", 180, 180, std::nullopt},
        {"181", std::nullopt, std::nullopt, std::nullopt},
        {"0", 0, 0, std::nullopt},
        {"100", 100, 100, 10000u},
        {"0.1", std::nullopt, std::nullopt, 10u},
        {"-1", -1, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(properties.CheckAzimuth(c.text).value, c.azimuth);
        EXPECT_EQ(properties.CheckWidth(c.text).value, c.width);
        EXPECT_EQ(properties.CheckDistance(c.text).value, c.distance);
    }
}

// Both reasons at once, at small and large fonts: every line of each must fit its label, and
// each label must lie inside the dialog.
TEST_F(PointPropertiesDialogTest, TheReasonsShowInFullAtEveryFontSize) {
    for (int points : {7, 10, 16, 24}) {
        SCOPED_TRACE(points);
        PointProperties properties(*doc, *point);
        CPointPropertiesDialog dialog(properties);
        QFont font = dialog.font();
        font.setPointSize(points);
        dialog.setFont(font);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        Retype(dialog.FramesBox(), "3000");
        Retype(dialog.PanBox(), "95");
        QCoreApplication::processEvents();
        for (QLabel* reason : {dialog.PositionError(), dialog.PanError()}) {
            SCOPED_TRACE(reason->objectName().toStdString());
            ASSERT_TRUE(reason->isVisible());
            EXPECT_GE(reason->height(), reason->heightForWidth(reason->width()));
            const QRect inDialog(reason->mapTo(&dialog, QPoint(0, 0)), reason->size());
            EXPECT_TRUE(dialog.rect().contains(inDialog))
                << inDialog.y() << "+" << inDialog.height() << " in " << dialog.height();
        }
    }
}

// One way to say where a point is: a frontal path in the frontal view shows its direction, a
// 3-D path (or the all-around view) its place, and a point behind keeps its azimuth through OK.
TEST_F(PointPropertiesDialogTest, TheDirectionOrThePlaceIsShownAsThePathNeeds) {
    const struct {
        const char* name;
        int32_t azimuth;  // of the edited point
        bool bAllAroundView;
        bool bPlace;        // the place's rows shown, the direction's hidden
        const char* typed;  // into the shown box that says where
        int32_t azimuthAfter;
    } cases[] = {
        {"frontal", 20, false, false, "-45", -45},
        {"frontal in the all-around view", 20, true, true, "-45", -45},
        {"behind", 180, false, true, "150", 150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        doc = PointPropertiesDocument(app);
        point = PointAt(*doc, 1);
        SetAzimuth(*point, c.azimuth);
        PointProperties properties(*doc, *point);
        properties.SetAllAroundView(c.bAllAroundView);
        CPointPropertiesDialog dialog(properties);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_EQ(dialog.PanBox()->isVisible(), !c.bPlace);
        for (QLineEdit* box : {dialog.AzimuthBox(), dialog.ElevationBox(), dialog.DistanceBox(),
                               dialog.WidthBox()}) {
            EXPECT_EQ(box->isVisible(), c.bPlace) << box->objectName().toStdString();
        }
        EXPECT_EQ((c.bPlace ? dialog.AzimuthBox() : dialog.PanBox())->text().toInt(), c.azimuth);
        Retype(c.bPlace ? dialog.AzimuthBox() : dialog.PanBox(), c.typed);
        QTest::keyClick(c.bPlace ? dialog.AzimuthBox() : dialog.PanBox(), Qt::Key_Return);
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(point->azimuth, c.azimuthAfter);
    }
}
