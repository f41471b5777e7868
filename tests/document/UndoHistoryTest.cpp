// The undo history of a document: its depth, its order, the redo side, and the modified mark
// that follows the saved state, on real documents.
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "document/UndoHistory.h"

#include <gtest/gtest.h>

#include <memory>

#include "document/CTesselDoc.h"
#include "document/DocumentListener.h"
#include "document/PanEditCommands.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"

namespace {

using Cmd = PanEditCommands;

class UndoHistoryTest : public ::testing::Test {
  protected:
    // On disk, for the tests that save, reopen or see what open finds.
    std::unique_ptr<CTesselDoc> Open(TestSound sound = {}) {
        path = dir.File("take.wav");
        return OpenTestDocument(host, path, sound);
    }
    std::unique_ptr<CTesselDoc> Memory() { return MemoryDocument(host, TestSound()); }
    // Adds a point as a click does: the step is opened after the point is in the list.
    static void Add(CTesselDoc& doc, uint32_t position, int32_t pan) {
        PanPoint* point = doc.AddPoint(position, pan);
        Cmd::RecordEdit(doc, point, UndoKind::Add);
        Cmd::FinishEdit(doc);
        doc.SetModifiedFlag(true);
    }
    // Moves the point at index as a drag does, press to release.
    static void Drag(CTesselDoc& doc, size_t index, uint32_t position, int32_t pan) {
        PanPoint* point = PointAt(doc, index);
        Cmd::RecordEdit(doc, point, UndoKind::Modify);
        point->position = position;  // the moves in between
        point->azimuth = pan;
        point->azimuth = pan + 1;
        Cmd::FinishEdit(doc);
        doc.SetModifiedFlag(true);
    }

    TempDir dir;
    TestDocumentHost host;
    std::string path;
};

}  // namespace

TEST_F(UndoHistoryTest, UndoAndRedoWalkTheStepsInOrderWithTheirTexts) {
    auto doc = Memory();
    Add(*doc, 100, 10);
    Add(*doc, 200, 20);
    Drag(*doc, 1, 150, -40);
    ASSERT_TRUE(Cmd::DeleteInRange(*doc, 0, 120));
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{150, -39}}));
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Delete Point");
    EXPECT_EQ(doc->GetUndoHistory().RedoName(), "");
    EXPECT_FALSE(Cmd::CanRedo(*doc));

    const std::vector<std::pair<std::string, PanPairs>> back = {
        {"Modify Point", {{100, 10}, {150, -39}}},
        {"Add Point", {{100, 10}, {200, 20}}},
        {"Add Point", {{100, 10}}},
        {"", {}}};
    for (const auto& [text, points] : back) {
        ASSERT_TRUE(Cmd::Undo(*doc));
        EXPECT_EQ(PointsOf(*doc), points);
        EXPECT_EQ(doc->GetUndoHistory().UndoName(), text);
    }
    EXPECT_FALSE(Cmd::Undo(*doc));
    EXPECT_EQ(doc->GetUndoHistory().RedoName(), "Add Point");

    ASSERT_TRUE(Cmd::Redo(*doc));
    ASSERT_TRUE(Cmd::Redo(*doc));
    EXPECT_EQ(doc->GetUndoHistory().RedoName(), "Modify Point");
    ASSERT_TRUE(Cmd::Redo(*doc));
    ASSERT_TRUE(Cmd::Redo(*doc));
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{150, -39}}));
    EXPECT_FALSE(Cmd::Redo(*doc));
}

TEST_F(UndoHistoryTest, ANewEditClearsTheRedoSide) {
    auto doc = Memory();
    Add(*doc, 100, 10);
    Add(*doc, 200, 20);
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_TRUE(Cmd::CanRedo(*doc));
    Add(*doc, 300, 30);
    EXPECT_FALSE(Cmd::CanRedo(*doc));
    EXPECT_EQ(doc->GetUndoHistory().RedoCount(), 0u);
    ASSERT_TRUE(Cmd::Undo(*doc));
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_TRUE(PointsOf(*doc).empty());
    ASSERT_TRUE(Cmd::Redo(*doc));
    ASSERT_TRUE(Cmd::Redo(*doc));
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{100, 10}, {300, 30}}));
}

TEST_F(UndoHistoryTest, TheHistoryKeepsTheLatestHundredSteps) {
    auto doc = Memory();
    const size_t edits = UndoHistory::kDepth + 5;
    for (size_t i = 0; i < edits; ++i) {
        Add(*doc, static_cast<uint32_t>(i * 10), 0);
    }
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), UndoHistory::kDepth);
    size_t undone = 0;
    while (Cmd::Undo(*doc)) {
        ++undone;
    }
    EXPECT_EQ(undone, UndoHistory::kDepth);
    // The five oldest additions can no longer be taken back.
    EXPECT_EQ(doc->GetPanPoints().GetCount(), 5u);
    EXPECT_EQ(PointsOf(*doc).back(), (std::pair<uint32_t, int32_t>{40, 0}));
    while (Cmd::Redo(*doc)) {
    }
    EXPECT_EQ(doc->GetPanPoints().GetCount(), edits);
}

TEST_F(UndoHistoryTest, TheModifiedMarkFollowsTheSavedStateAcrossASave) {
    auto doc = Open();
    EXPECT_FALSE(doc->IsModified());
    Add(*doc, 100, 10);
    Add(*doc, 200, 20);
    ASSERT_TRUE(DocumentSave(*doc).Save());
    EXPECT_FALSE(doc->IsModified());

    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_TRUE(doc->IsModified());
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_TRUE(doc->IsModified());
    ASSERT_TRUE(Cmd::Redo(*doc));
    ASSERT_TRUE(Cmd::Redo(*doc));
    EXPECT_FALSE(doc->IsModified());  // the file holds exactly this
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{100, 10}, {200, 20}}));

    // Undone past the save, then saved there: the old saved state is an unsaved one now.
    ASSERT_TRUE(Cmd::Undo(*doc));
    ASSERT_TRUE(DocumentSave(*doc).Save());
    EXPECT_FALSE(doc->IsModified());
    ASSERT_TRUE(Cmd::Redo(*doc));
    EXPECT_TRUE(doc->IsModified());
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_FALSE(doc->IsModified());

    // A new edit drops the redo side; no way back leads to the state saved before it.
    ASSERT_TRUE(Cmd::Undo(*doc));
    ASSERT_TRUE(DocumentSave(*doc).Save());
    Add(*doc, 300, 30);
    EXPECT_TRUE(doc->IsModified());
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_FALSE(doc->IsModified());

    // The file holds what was saved last: no points.
    CTesselDoc reopened(host);
    ASSERT_TRUE(DocumentOpen(reopened).Open(path));
    EXPECT_TRUE(PointsOf(reopened).empty());
}

TEST_F(UndoHistoryTest, ASavedStateDroppedOffTheRedoSideOrTheOldEndNeverReadsSaved) {
    auto doc = Open();
    Add(*doc, 1, 1);
    ASSERT_TRUE(DocumentSave(*doc).Save());
    ASSERT_TRUE(Cmd::Undo(*doc));
    Add(*doc, 2, 2);  // the saved state was on the redo side
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_TRUE(doc->IsModified());

    auto deep = Open();
    ASSERT_TRUE(DocumentSave(*deep).Save());  // saved at the very start of the history
    for (size_t i = 0; i <= UndoHistory::kDepth; ++i) {
        Add(*deep, static_cast<uint32_t>(i), 0);
    }
    while (Cmd::Undo(*deep)) {
        EXPECT_TRUE(deep->IsModified());
    }
}

TEST_F(UndoHistoryTest, ADocumentModifiedAtOpenStaysModifiedWhenAllIsUndone) {
    TestSound sound;
    sound.points = {{10, 5}};
    sound.chunkFrames = 10;  // the file grew since: opening marks it modified
    auto doc = Open(sound);
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    ASSERT_TRUE(doc->IsModified());
    Add(*doc, 500, 1);
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(UndoHistoryTest, UndoOfADeleteRestoresTheOrderOfPointsOfOnePosition) {
    auto doc = Memory();
    doc->AddPoint(100, -90);
    doc->AddPoint(100, 90);
    doc->AddPoint(200, 0);
    PanPoint* first = doc->NextPoint(nullptr);
    Cmd::RecordEdit(*doc, first, UndoKind::Delete, 1);
    doc->RemovePoint(first);
    Cmd::FinishEdit(*doc);
    ASSERT_TRUE(Cmd::Undo(*doc));
    // The jump at 100 still runs from -90 to +90, as before the delete.
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{100, -90}, {100, 90}, {200, 0}}));
}

TEST_F(UndoHistoryTest, AnOpenStepIsClosedBeforeItIsUndone) {
    auto doc = Memory();
    doc->AddPoint(100, 1);
    PanPoint* point = doc->NextPoint(nullptr);
    Cmd::RecordEdit(*doc, point, UndoKind::Modify);
    point->azimuth = 50;
    EXPECT_TRUE(doc->GetUndoHistory().CanUndo());
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{100, 1}}));
    EXPECT_EQ(doc->NextPoint(nullptr), point);
    ASSERT_TRUE(Cmd::Redo(*doc));
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{100, 50}}));
}

TEST_F(UndoHistoryTest, AGroupOfEditsIsOneStepAndTheMarkAndTheListenersFollow) {
    TestSound sound;
    sound.points = {{100, 10}, {500, 50}};
    std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, sound);
    struct Changes : DocumentListener {
        void OnTrajectoryChanged(CTesselDoc&) override { ++trajectory; }
        void OnModifiedChanged(CTesselDoc& d) override { marks.push_back(d.IsModified()); }
        int trajectory = 0;
        std::vector<bool> marks;
    } changes;
    doc->AddListener(&changes);

    // A pass that adds, moves and removes: every edit inside joins the one step.
    doc->BeginGroup(UndoKind::Replace);
    Add(*doc, 300, 30);
    Drag(*doc, 0, 120, -20);
    Cmd::DeletePoint(*doc, PointAt(*doc, 2));
    EXPECT_TRUE(doc->IsInGroup());
    doc->EndGroup();
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{120, -19}, {300, 30}}));
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Replace Points");
    EXPECT_GE(changes.trajectory, 4);

    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{100, 10}, {500, 50}}));
    EXPECT_FALSE(Cmd::CanUndo(*doc));
    EXPECT_FALSE(doc->IsModified());  // back at the state it was made in
    ASSERT_TRUE(Cmd::Redo(*doc));
    EXPECT_EQ(PointsOf(*doc), (PanPairs{{120, -19}, {300, 30}}));
    EXPECT_EQ(changes.marks, (std::vector<bool>{true, false, true}));
    doc->RemoveListener(&changes);
}
