// The Room dialog, filled in as a user would: a room that can be heard is kept with the document
// on OK, one that cannot says why under the fields and OK waits, and the top view draws the room
// the way the head faces.
#include "shell/CRoomDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <functional>
#include <memory>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"

namespace {

class RoomDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { doc = PointPropertiesDocument(app); }
    void TearDown() override {
        doc.reset();
        app.ExitInstance();
    }

    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app{prompts, settings};
    std::unique_ptr<CTesselDoc> doc;
};

}  // namespace

TEST_F(RoomDialogTest, ARoomThatCanBeHeardIsKeptAndOneThatCannotSaysWhy) {
    // The points lie 1 m from the listener, at -10, 20 and 30 degrees.
    const struct {
        const char* name;
        std::function<void(CRoomDialog&)> fill;
        const char* words;  // under the fields; empty when OK may go
        std::function<void(const Acoustics&)> check;
    } cases[] = {
        {"no room", [](CRoomDialog&) {}, "",
         [](const Acoustics& a) { EXPECT_FALSE(a.room.has_value()); }},
        {"the default room", [](CRoomDialog& d) { d.InRoomBox()->setChecked(true); }, "",
         [](const Acoustics& a) {
             ASSERT_TRUE(a.room.has_value());
             EXPECT_EQ(*a.room, Room{});
         }},
        {"each wall its own, order 5, no tail",
         [](CRoomDialog& d) {
             d.InRoomBox()->setChecked(true);
             d.Field("absorption")->setValue(0.5);
             d.EachWallBox()->setChecked(true);
             d.Field("absorption1")->setValue(0.9);
             d.OrderBox()->setValue(5);
             d.TailBox()->setChecked(false);
         },
         "",
         [](const Acoustics& a) {
             ASSERT_TRUE(a.room.has_value());
             // The walls start from what the one field held when the room was opened.
             EXPECT_DOUBLE_EQ(a.room->absorption[0], 0.3);
             EXPECT_DOUBLE_EQ(a.room->absorption[1], 0.9);
             EXPECT_EQ(a.room->reflections, 5);
             EXPECT_FALSE(a.room->bTail);
         }},
        {"one absorption for all",
         [](CRoomDialog& d) {
             d.InRoomBox()->setChecked(true);
             d.Field("absorption")->setValue(0.6);
             d.Field("width")->setValue(8.0);
             d.Field("x")->setValue(4.0);
         },
         "",
         [](const Acoustics& a) {
             ASSERT_TRUE(a.room.has_value());
             for (double value : a.room->absorption) {
                 EXPECT_DOUBLE_EQ(value, 0.6);
             }
             EXPECT_DOUBLE_EQ(a.room->width, 8.0);
             EXPECT_DOUBLE_EQ(a.room->listenerX, 4.0);
         }},
        {"the listener outside",
         [](CRoomDialog& d) {
             d.InRoomBox()->setChecked(true);
             d.Field("x")->setValue(7.0);
         },
         "the listener at x 7 m is outside the room", nullptr},
        {"the path outside",
         [](CRoomDialog& d) {
             d.InRoomBox()->setChecked(true);
             d.Field("depth")->setValue(1.5);
             d.Field("y")->setValue(0.75);
         },
         "outside the room", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        doc->SetAcoustics(Acoustics{});
        CRoomDialog dialog(*doc);
        c.fill(dialog);
        const std::string message = dialog.Message()->text().toStdString();
        if (*c.words == '\0') {
            EXPECT_TRUE(message.empty()) << message;
            EXPECT_TRUE(dialog.CanAccept());
            dialog.accept();
            c.check(doc->GetAcoustics());
        } else {
            EXPECT_NE(message.find(c.words), std::string::npos) << message;
            EXPECT_FALSE(dialog.CanAccept());
            dialog.accept();  // waits: nothing changes
            EXPECT_EQ(doc->GetAcoustics(), Acoustics{});
        }
    }
}

TEST_F(RoomDialogTest, ReopenedItShowsTheRoomKeptAndNoRoomTakesItAwayKeepingDopplerAndAir) {
    Acoustics acoustics;
    acoustics.bDoppler = true;
    acoustics.bAir = true;
    acoustics.room = Room{};
    acoustics.room->width = 10.0;
    acoustics.room->absorption[4] = 0.8;
    doc->SetAcoustics(acoustics);

    CRoomDialog dialog(*doc);
    EXPECT_TRUE(dialog.InRoomBox()->isChecked());
    EXPECT_DOUBLE_EQ(dialog.Field("width")->value(), 10.0);
    EXPECT_TRUE(dialog.EachWallBox()->isChecked());
    EXPECT_DOUBLE_EQ(dialog.Field("absorption4")->value(), 0.8);
    // The top view: the front wall on top, so the listener, nearer the back, sits below the
    // middle, and the left wall on the left.
    dialog.TopView()->resize(300, 300);
    const QPointF head = dialog.TopView()->PixelOf(3.0, 1.0);
    const QPointF frontLeft = dialog.TopView()->PixelOf(0.0, 4.0);
    EXPECT_GT(head.y(), frontLeft.y());
    EXPECT_GT(head.x(), frontLeft.x());

    dialog.InRoomBox()->setChecked(false);
    dialog.accept();
    EXPECT_FALSE(doc->GetAcoustics().room.has_value());
    EXPECT_TRUE(doc->GetAcoustics().bDoppler);
    EXPECT_TRUE(doc->GetAcoustics().bAir);
}
