// The Generate Trajectory dialog typed into as a user would: every shape of the table drawn
// into the document as the keys change, within a degree of its curve; OK one undo step,
// Cancel nothing at all; a bad key named under the box with OK waiting. Stretch Points
// beside it.
#include "shell/CGenerateTrajectoryDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
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
        const size_t colon = shape.text.find(':');
        CGenerateTrajectoryDialog dialog(*doc, 0, kShapeFrames);
        dialog.ShapeBox()->setCurrentText(QString::fromStdString(shape.text.substr(0, colon)));
        Retype(dialog.KeysBox(), colon == std::string::npos
                                     ? ""
                                     : QString::fromStdString(shape.text.substr(colon + 1)));
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
        Retype(dialog.KeysBox(), "start=10,end=300");
        EXPECT_FALSE(OkEnabled(dialog));
        EXPECT_NE(dialog.Message()->text().indexOf("key 'end' is out of range"), -1)
            << dialog.Message()->text().toStdString();
        dialog.ShapeBox()->setCurrentText("orbit");
        EXPECT_TRUE(OkEnabled(dialog));
        Retype(dialog.KeysBox(), "period=1,spin=2");
        EXPECT_NE(dialog.Message()->text().indexOf("unknown key 'spin' for orbit"), -1);
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
