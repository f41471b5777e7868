// The Generate Trajectory dialog typed into as a user would: every shape of the table drawn
// into the document as the keys change, within a degree of its curve; OK one undo step,
// Cancel nothing at all; a bad key named under the box with OK waiting. Stretch Points
// beside it.
#include "shell/CGenerateTrajectoryDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "document/CTesselDoc.h"
#include "shell/CStretchPointsDialog.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/GeneratorShapes.h"
#include "support/TestDocumentHost.h"

namespace {

class GenerateTrajectoryDialogTest : public ::testing::Test {
  protected:
    std::unique_ptr<CTesselDoc> Doc() {
        TestSound sound;
        sound.format = MakeFormat(1, kShapeRate, 16);
        sound.samples = Pattern(kShapeFrames * 2);
        sound.chunkFrames = kShapeFrames;
        sound.points = {{1000, -30}, {13000, 77}};
        return MemoryDocument(host, sound);
    }
    static void Retype(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }
    // Types a number into a field as a user would: all of it selected, the digits typed over.
    static void Type(QDoubleSpinBox* box, const QString& text) {
        ASSERT_NE(box, nullptr);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    // Chooses the shape of "shape:key=value,..." and fills its fields from the keys.
    static void Fill(CGenerateTrajectoryDialog& dialog, const std::string& text) {
        const size_t colon = text.find(':');
        dialog.ShapeBox()->setCurrentText(QString::fromStdString(text.substr(0, colon)));
        if (colon == std::string::npos) {
            return;
        }
        for (const QString& item : QString::fromStdString(text.substr(colon + 1)).split(',')) {
            const QString key = item.section('=', 0, 0);
            const QString value = item.section('=', 1);
            if (key == "direction") {
                ASSERT_NE(dialog.DirectionBox(), nullptr);
                dialog.DirectionBox()->setCurrentIndex(value == "right" ? 0 : 1);
            } else {
                Type(dialog.Field(key.toStdString()), value);
            }
        }
    }
    static bool OkEnabled(QDialog& dialog) {
        return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
    }

    TestDocumentHost host;
};

TEST_F(GenerateTrajectoryDialogTest, EveryShapeIsPreviewedWithinADegreeAndOkKeepsItAsOneStep) {
    for (const ShapeCase& shape : ShapeCases()) {
        SCOPED_TRACE(shape.text);
        std::unique_ptr<CTesselDoc> doc = Doc();
        const std::vector<PanPoint> before = doc->GetPanPoints().Values();
        CGenerateTrajectoryDialog dialog(*doc, 0, kShapeFrames);
        Fill(dialog, shape.text);
        ASSERT_TRUE(OkEnabled(dialog)) << dialog.Message()->text().toStdString();
        // The preview is the document itself, so the view shows it as it will be.
        bool bDistanceOff = false;
        EXPECT_LE(WorstStray(doc->GetPanPoints(), shape.from, shape.to, CurveOf(shape),
                             shape.distanceCm, bDistanceOff),
                  1.0);
        EXPECT_FALSE(bDistanceOff);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
        EXPECT_LE(WorstStray(doc->GetPanPoints(), shape.from, shape.to, CurveOf(shape),
                             shape.distanceCm, bDistanceOff),
                  1.0);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(doc->GetPanPoints().Values(), before);
    }
}

TEST_F(GenerateTrajectoryDialogTest, CancelAndABadKeyLeaveNothingBehind) {
    std::unique_ptr<CTesselDoc> doc = Doc();
    const std::vector<PanPoint> before = doc->GetPanPoints().Values();
    {
        CGenerateTrajectoryDialog dialog(*doc, 2000, 6000);
        EXPECT_NE(doc->GetPanPoints().Values(), before);  // the default sweep, previewed
        // A field keeps to its shape's range and shows its unit: typing 300 cannot pass 180.
        Type(dialog.Field("end"), "300");
        EXPECT_LE(dialog.Field("end")->value(), 180.0);
        EXPECT_EQ(dialog.Field("end")->suffix(), "\u00B0");
        EXPECT_TRUE(OkEnabled(dialog));
        // The span the wrong way round is said in the dialog's words, and OK waits.
        Type(dialog.Field("from"), "6000");
        Type(dialog.Field("to"), "2000");
        EXPECT_FALSE(OkEnabled(dialog));
        EXPECT_NE(dialog.Message()->text().indexOf("From must lie before To"), -1)
            << dialog.Message()->text().toStdString();
        // Each shape shows its own fields.
        dialog.ShapeBox()->setCurrentText("random");
        EXPECT_FALSE(OkEnabled(dialog));
        EXPECT_EQ(dialog.Field("speed")->suffix(), "\u00B0/s");
        EXPECT_EQ(dialog.Field("period"), nullptr);  // an orbit's, not a random walk's
        EXPECT_EQ(dialog.DirectionBox(), nullptr);
        dialog.accept();  // refused while in error
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        dialog.reject();
    }
    EXPECT_EQ(doc->GetPanPoints().Values(), before);
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 0u);
    EXPECT_FALSE(doc->GetUndoHistory().CanRedo());
    EXPECT_FALSE(doc->IsModified());
    { CGenerateTrajectoryDialog closedUnanswered(*doc, 0, kShapeFrames); }
    EXPECT_EQ(doc->GetPanPoints().Values(), before);
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 0u);
}

TEST_F(GenerateTrajectoryDialogTest, StretchScalesOnOkAndSaysWhyItCannot) {
    std::unique_ptr<CTesselDoc> doc = Doc();
    CStretchPointsDialog dialog(*doc, 0, 4000);
    Retype(dialog.FactorBox(), "5");  // 1000 -> 5000, fine; 4000 -> 20000 past the end
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_NE(dialog.ErrorLine()->text().indexOf("pass the end"), -1);
    Retype(dialog.FactorBox(), "fast");
    dialog.accept();
    EXPECT_NE(dialog.ErrorLine()->text().indexOf("above 0"), -1);
    Retype(dialog.FactorBox(), "2");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(doc->GetPanPoints().Values()[0].position, 2000u);
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
}

}  // namespace
