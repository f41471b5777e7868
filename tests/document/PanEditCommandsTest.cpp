// Delete in range, cut, copy, paste with its two questions, and undo, on real documents.
#include "document/PanEditCommands.h"

#include <gtest/gtest.h>

#include <memory>

#include "document/CTesselDoc.h"
#include "support/DocumentTestFiles.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"

namespace {

using Cmd = PanEditCommands;

class PanEditTest : public ::testing::Test {
  protected:
    // An 8-bit sound of the given frames and channels, holding the given points, not modified.
    std::unique_ptr<CTesselDoc> Open(uint32_t frames, const PanPairs& points = {},
                                     uint16_t channels = 1) {
        TestSound sound;
        sound.format = MakeFormat(channels, 22050, 8);
        sound.samples = Pattern(size_t{frames} * channels);
        auto doc = MemoryDocument(host, sound);
        for (const auto& [position, pan] : points) {
            doc->AddPoint(position, pan);
        }
        doc->SetModifiedFlag(false);
        return doc;
    }
    // The clipboard of a copy of 1000 .. 3000 holding 1200 and 2500.
    void CopyExample() {
        auto source = Open(4000, {{500, 1}, {1200, 10}, {2500, -20}, {3001, 2}});
        ASSERT_TRUE(Cmd::Copy(*source, 1000, 3000));
    }

    TestDocumentHost host;
};

}  // namespace

TEST_F(PanEditTest, CopyMakesRelativePointsAndPasteAtACaretReproducesThem) {
    auto source = Open(4000, {{500, 1}, {1200, 10}, {2500, -20}, {3001, 2}});
    EXPECT_FALSE(Cmd::CanCopy(*source, 1000, 1001));  // a caret, though a point is near
    EXPECT_FALSE(Cmd::CanCopy(*source, 600, 1100));   // a range without points
    ASSERT_TRUE(Cmd::CanCopy(*source, 1000, 3000));
    EXPECT_FALSE(Cmd::CanPaste(*source));  // no clipboard yet
    ASSERT_TRUE(Cmd::Copy(*source, 1000, 3000));
    ASSERT_NE(host.panClipboard, nullptr);
    EXPECT_EQ(PointsOf(*host.panClipboard), (PanPairs{{200, 10}, {1500, -20}}));
    EXPECT_EQ(host.panClipboard->regionLength, 2000u);
    EXPECT_FALSE(Cmd::CanUndo(*source));  // copying is no edit
    EXPECT_FALSE(source->IsModified());

    auto target = Open(100000, {{100, 5}});
    ASSERT_TRUE(Cmd::CanPaste(*target));
    ASSERT_TRUE(Cmd::Paste(*target, 5000, 5001));
    EXPECT_EQ(PointsOf(target->GetPanPoints()), (PanPairs{{100, 5}, {5200, 10}, {6500, -20}}));
    EXPECT_EQ(host.pasteMergeQuestions, 0);
    EXPECT_TRUE(host.pasteSizeQuestions.empty());
    EXPECT_TRUE(target->IsModified());
    EXPECT_EQ(target->GetUndoHistory().UndoName(), "Paste");
    EXPECT_TRUE(Cmd::CanPaste(*target));  // pasting leaves the clipboard in place
}

TEST_F(PanEditTest, PasteIntoASmallerRangeScalesOrPastesFromStartAndRemoves) {
    CopyExample();
    auto doc = Open(10000);
    host.pasteSizeAnswers = {kPasteScale};
    ASSERT_TRUE(Cmd::Paste(*doc, 0, 1000));
    EXPECT_EQ(host.pasteSizeQuestions, std::vector<bool>{false});
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), (PanPairs{{100, 10}, {750, -20}}));

    // From Start with Remove takes the removal range out to 0 .. 2000.
    auto other = Open(10000, {{0, 1}, {1000, 2}, {2000, 3}, {2001, 4}});
    host.pasteMergeAnswers = {kPasteRemove};
    host.pasteSizeAnswers = {kPasteFromStart};
    ASSERT_TRUE(Cmd::Paste(*other, 0, 1000));
    EXPECT_EQ(host.pasteMergeQuestions, 1);
    EXPECT_EQ(PointsOf(other->GetPanPoints()), (PanPairs{{200, 10}, {1500, -20}, {2001, 4}}));
}

TEST_F(PanEditTest, PasteAtACaretNearTheEndAsksTheCaretVariant) {
    CopyExample();
    auto scaled = Open(10000);
    host.pasteSizeAnswers = {kPasteScale};
    ASSERT_TRUE(Cmd::Paste(*scaled, 9000, 9001));
    EXPECT_EQ(host.pasteSizeQuestions, std::vector<bool>{true});
    EXPECT_EQ(PointsOf(scaled->GetPanPoints()), (PanPairs{{9100, 10}, {9750, -20}}));

    auto clipped = Open(10000);
    host.pasteSizeAnswers = {kPasteFromStart};  // the caret variant's "Paste"
    ASSERT_TRUE(Cmd::Paste(*clipped, 9000, 9001));
    EXPECT_EQ(PointsOf(clipped->GetPanPoints()), (PanPairs{{9200, 10}}));
    // The step takes away exactly what the paste added.
    ASSERT_TRUE(Cmd::Undo(*clipped));
    EXPECT_TRUE(clipped->GetPanPoints().IsEmpty());

    // A clipboard that just fits is pasted without a question.
    auto fits = Open(11000);
    ASSERT_TRUE(Cmd::Paste(*fits, 9000, 9001));
    EXPECT_EQ(host.pasteSizeQuestions.size(), 2u);
    EXPECT_EQ(PointsOf(fits->GetPanPoints()), (PanPairs{{9200, 10}, {10500, -20}}));
}

TEST_F(PanEditTest, ACancelledPasteChangesNothing) {
    CopyExample();
    auto doc = Open(10000, {{300, 7}});
    ASSERT_TRUE(Cmd::DeleteInRange(*doc, 0, 500));  // leaves a record to keep
    doc->AddPoint(300, 7);
    doc->SetModifiedFlag(false);
    const size_t steps = doc->GetUndoHistory().UndoCount();

    host.pasteMergeAnswers = {kPasteCancel};
    EXPECT_FALSE(Cmd::Paste(*doc, 0, 1001));  // range holding a point
    host.pasteMergeAnswers = {kPasteRemove};
    host.pasteSizeAnswers = {kPasteCancel};
    EXPECT_FALSE(Cmd::Paste(*doc, 0, 1000));  // Remove chosen, then the size cancelled
    host.pasteMergeAnswers = {kPasteMerge};
    host.pasteSizeAnswers = {kPasteCancel};
    EXPECT_FALSE(Cmd::Paste(*doc, 9000, 9001));  // the caret variant cancelled
    EXPECT_EQ(host.pasteMergeQuestions, 2);
    EXPECT_EQ(host.pasteSizeQuestions, (std::vector<bool>{false, true}));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), (PanPairs{{300, 7}}));
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), steps);
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Delete Point");
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(PanEditTest, PasteGoesIntoAStereoDocumentAsOneStep) {
    CopyExample();
    auto stereo = Open(10000, {}, 2);
    EXPECT_TRUE(Cmd::CanPaste(*stereo));
    EXPECT_TRUE(Cmd::Paste(*stereo, 5000, 5001));
    EXPECT_FALSE(stereo->GetPanPoints().IsEmpty());
    EXPECT_TRUE(Cmd::Undo(*stereo));
    EXPECT_TRUE(stereo->GetPanPoints().IsEmpty());
}

TEST_F(PanEditTest, UndoTextsFollowTheLastEdit) {
    auto doc = Open(10000, {{100, 1}, {200, 2}, {300, 3}, {400, 4}});
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "");
    EXPECT_FALSE(Cmd::CanUndo(*doc));
    ASSERT_TRUE(Cmd::DeleteInRange(*doc, 400, 500));
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Delete Point");
    ASSERT_TRUE(Cmd::DeleteInRange(*doc, 0, 300));
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Delete Points");
    EXPECT_TRUE(doc->GetPanPoints().IsEmpty());

    PanPoint* added = doc->AddPoint(50, 0);
    Cmd::RecordEdit(*doc, added, UndoKind::Add);
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Add Point");
    Cmd::RecordEdit(*doc, added, UndoKind::Modify);
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Modify Point");
}

TEST_F(PanEditTest, UndoRestoresDeletedPointsAndIsSpentAfterwards) {
    auto doc = Open(10000, {{100, 1}, {200, 2}, {200, 5}, {300, 3}, {900, 9}});
    ASSERT_TRUE(Cmd::Cut(*doc, 150, 300));
    EXPECT_EQ(PointsOf(*host.panClipboard), (PanPairs{{50, 2}, {50, 5}, {150, 3}}));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), (PanPairs{{100, 1}, {900, 9}}));
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Delete Points");
    EXPECT_TRUE(doc->IsModified());

    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()),
              (PanPairs{{100, 1}, {200, 2}, {200, 5}, {300, 3}, {900, 9}}));
    // Back where it was opened: nothing is left to save.
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(Cmd::CanUndo(*doc));
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "");
    EXPECT_EQ(doc->GetUndoHistory().RedoName(), "Delete Points");
    EXPECT_FALSE(Cmd::Undo(*doc));
}

TEST_F(PanEditTest, UndoOfAPasteWithRemoveRestoresExactlyWhatWasThere) {
    CopyExample();
    auto doc = Open(10000, {{50, -1}, {5100, 11}, {5200, 12}, {6000, 13}, {7001, 14}});
    const PanPairs before = PointsOf(doc->GetPanPoints());
    host.pasteMergeAnswers = {kPasteRemove};
    ASSERT_TRUE(Cmd::Paste(*doc, 5000, 5001));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()),
              (PanPairs{{50, -1}, {5200, 10}, {6500, -20}, {7001, 14}}));
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), before);
}

TEST_F(PanEditTest, UndoOfAMergedPasteTakesAwayOnlyThePastedPoints) {
    CopyExample();
    auto doc = Open(10000, {{5200, 33}});
    const PanPoint* kept = doc->NextPoint(nullptr);
    host.pasteMergeAnswers = {kPasteMerge};
    ASSERT_TRUE(Cmd::Paste(*doc, 5000, 5001));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), (PanPairs{{5200, 33}, {5200, 10}, {6500, -20}}));
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), (PanPairs{{5200, 33}}));
    EXPECT_EQ(doc->NextPoint(nullptr), kept);
}

TEST_F(PanEditTest, AddAndModifyUndoOnTheSamePoint) {
    auto doc = Open(10000, {{100, 1}, {300, 3}});
    PanPoint* added = doc->AddPoint(200, 2);
    Cmd::RecordEdit(*doc, added, UndoKind::Add);
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), (PanPairs{{100, 1}, {300, 3}}));

    PanPoint* dragged = doc->NextPoint(nullptr);
    Cmd::RecordEdit(*doc, dragged, UndoKind::Modify);
    dragged->position = 250;
    dragged->azimuth = -60;
    ASSERT_TRUE(Cmd::Undo(*doc));
    EXPECT_EQ(doc->NextPoint(nullptr), dragged);  // the same object, put back in place
    EXPECT_EQ(PointsOf(doc->GetPanPoints()), (PanPairs{{100, 1}, {300, 3}}));
}

TEST_F(PanEditTest, EachDocumentHasAHistoryOfItsOwn) {
    auto first = Open(10000, {{100, 1}, {200, 2}});
    auto second = Open(10000, {{100, 1}});
    ASSERT_TRUE(Cmd::DeleteInRange(*first, 0, 1000));
    EXPECT_TRUE(Cmd::CanUndo(*first));
    EXPECT_FALSE(Cmd::CanUndo(*second));
    EXPECT_FALSE(Cmd::Undo(*second));
    EXPECT_EQ(first->GetUndoHistory().UndoName(), "Delete Points");
    EXPECT_EQ(second->GetUndoHistory().UndoName(), "");
    EXPECT_EQ(PointsOf(second->GetPanPoints()), (PanPairs{{100, 1}}));

    ASSERT_TRUE(Cmd::DeleteInRange(*second, 0, 1000));
    ASSERT_TRUE(Cmd::Undo(*first));
    EXPECT_EQ(PointsOf(first->GetPanPoints()), (PanPairs{{100, 1}, {200, 2}}));
    EXPECT_TRUE(second->GetPanPoints().IsEmpty());
    EXPECT_TRUE(Cmd::CanUndo(*second));
}
