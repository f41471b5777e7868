// The editor's keeping of unsaved changes, through its real document template: a journal a
// dead run left is offered when its file opens (Yes puts the points back as one step), bad
// journals are set aside with a line, a live run's are left alone; an edit keeps a journal
// that saving, closing and undoing away the change remove, and a terminated run keeps.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <fstream>

#include "document/CTesselDoc.h"
#include "document/DocumentSave.h"
#include "document/RecoveryFolder.h"
#include "document/RecoveryJournal.h"
#include "shell/CChildFrame.h"
#include "shell/CMyMultiDocTemplate.h"
#include "shell/FrameTestFixture.h"
#include "shell/RecoveryKeeper.h"

namespace {

using Answer = UserPrompts::Answer;

// A token no run holds: its journals count as left by a dead run.
const uint64_t kDeadRun = 5;

class RecoveryTest : public FrameTest {
  protected:
    RecoveryTest() : m_folder(RecoveryFolder::DefaultPath()) {}
    ~RecoveryTest() override {
        for (const std::string& path : m_folder.JournalPaths()) {
            std::filesystem::remove(path);
        }
    }

    RecoveryKeeper& Keeper() { return *m_pFrame->GetDocTemplate().GetRecovery(); }
    // Where a dead run left the journal of key.
    std::string JournalOf(const std::string& key, uint64_t run = kDeadRun) const {
        return m_folder.JournalPathFor(key, run);
    }
    CTesselDoc* Open(const std::string& path) {
        return m_pFrame->GetDocTemplate().OpenDocumentFile(path);
    }
    std::vector<std::string> StatusLines() const { return m_prompts.StatusTexts(); }

    // The journal this run's writer keeps of the file's key.
    std::optional<RecoveryJournal> Kept(const std::string& key) {
        Keeper().Flush();
        for (const std::string& path : m_folder.JournalPaths()) {
            RecoveryJournal journal;
            if (RecoveryJournal::ReadFrom(path, journal) == RecoveryJournal::ReadStatus::Ok &&
                journal.key == key && journal.ownerToken != kDeadRun) {
                return journal;
            }
        }
        return std::nullopt;
    }

    RecoveryFolder m_folder;  // where the frame's keeper writes; not opened
};

RecoveryJournal LeftJournal(const std::string& key, std::vector<PanPoint> points) {
    RecoveryJournal journal;
    journal.key = key;
    journal.ownerToken = kDeadRun;
    journal.lastEditMs = 1765200000000;
    journal.undoPosition = 3;
    journal.points = std::move(points);
    journal.StampKeyFile();
    return journal;
}

PanPoint Placed(uint32_t position, int32_t azimuth, int32_t elevation) {
    PanPoint point(position, 0);
    point.azimuth = azimuth;
    point.elevation = elevation;
    point.distanceCm = 250;
    point.width = 10;
    return point;
}

TEST_F(RecoveryTest, AJournalLeftByADeadRunIsOfferedWhenItsFileOpens) {
    TestSound sound;
    sound.points = {{400, 10}};
    sound.chunkFrames = FramesOf(sound);
    const std::vector<PanPoint> left = {Placed(100, 120, 30), Placed(500, -40, 0),
                                        Placed(900, 0, -20)};
    RecoveryFolder liveRun(RecoveryFolder::DefaultPath());
    std::string reason;
    ASSERT_TRUE(liveRun.Open(reason)) << reason;

    enum class Then { Recovered, Kept, Dropped, SetAside, Untouched };
    const struct {
        const char* name;
        std::function<void(const std::string& file, const std::string& journalPath)> leave;
        Answer answer;
        Then then;
        const char* said;  // in the question or the status line
    } cases[] = {
        {"yes",
         [&](const std::string& file, const std::string& path) {
             LeftJournal(file, left).WriteTo(path);
         },
         Answer::Yes, Then::Recovered, "last edited"},
        {"no",
         [&](const std::string& file, const std::string& path) {
             LeftJournal(file, left).WriteTo(path);
         },
         Answer::No, Then::Dropped, "Recover the unsaved pan points?"},
        {"changed on disk since",
         [&](const std::string& file, const std::string& path) {
             RecoveryJournal journal = LeftJournal(file, left);
             journal.fileBytes += 2;
             journal.WriteTo(path);
         },
         Answer::Yes, Then::Recovered, "has changed on disk since then"},
        {"a point past the end",
         [&](const std::string& file, const std::string& path) {
             std::vector<PanPoint> longer = left;
             longer.push_back(Placed(FramesOf(sound) + 1, 0, 0));
             LeftJournal(file, longer).WriteTo(path);
         },
         Answer::Yes, Then::Recovered, "1 of the recovered pan points lay past the end"},
        {"damaged",
         [&](const std::string& file, const std::string& path) {
             std::string bytes = LeftJournal(file, left).Encode();
             bytes.resize(bytes.size() - 3);
             std::ofstream(path, std::ios::binary) << bytes;
         },
         Answer::Yes, Then::SetAside, "A damaged recovery journal was set aside"},
        {"newer",
         [&](const std::string&, const std::string& path) {
             std::ofstream(path, std::ios::binary) << std::string("SNMPJRNL\x09\0\0\0", 12);
         },
         Answer::Yes, Then::SetAside, "from a newer Sonomap was set aside"},
        {"a live run's",
         [&](const std::string& file, const std::string& path) {
             RecoveryJournal journal = LeftJournal(file, left);
             journal.ownerToken = liveRun.Token();
             journal.WriteTo(path);
         },
         Answer::Yes, Then::Untouched, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompts.Clear();
        const std::string file = WriteSound(std::string(c.name) + ".wav", sound);
        const std::string journalPath = JournalOf(file);
        c.leave(file, journalPath);
        const std::string before = [&] {
            std::ifstream in(journalPath, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        }();
        m_prompts.Script(c.answer);
        CTesselDoc* doc = Open(file);
        ASSERT_NE(doc, nullptr);
        const bool bAsked = c.then == Then::Recovered || c.then == Then::Dropped;
        ASSERT_EQ(m_prompts.Boxes().size(), bAsked ? 1u : 0u);
        if (bAsked) {
            const UserPrompts::Box& box = m_prompts.Boxes()[0];
            EXPECT_EQ(box.caption, "Recover Unsaved Changes");
            EXPECT_EQ(box.buttons, UserPrompts::Buttons::YesNo);
            EXPECT_EQ(box.defaultAnswer, Answer::Yes);
            EXPECT_NE(box.text.find(std::string(c.name) + ".wav"), std::string::npos);
            std::string said = box.text;
            for (const std::string& line : StatusLines()) {
                said += "\n" + line;
            }
            EXPECT_NE(said.find(c.said), std::string::npos) << said;
            EXPECT_EQ(box.informative, file);
        } else if (c.then == Then::SetAside) {
            ASSERT_EQ(StatusLines().size(), 1u);
            EXPECT_NE(StatusLines()[0].find(c.said), std::string::npos) << StatusLines()[0];
            EXPECT_TRUE(std::filesystem::exists(journalPath + ".set-aside-1"));
        }
        Keeper().Flush();
        if (c.then == Then::Recovered) {
            EXPECT_EQ(doc->GetPanPoints().Values(),
                      std::vector<PanPoint>(left.begin(), left.end()));
            EXPECT_TRUE(doc->IsModified());
            EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
            ASSERT_TRUE(doc->Undo());
            EXPECT_EQ(doc->GetPanPoints().Values(), std::vector<PanPoint>{PanPoint(400, 10)});
            EXPECT_FALSE(doc->IsModified());
            EXPECT_FALSE(Kept(file).has_value()) << "undone to the file: nothing to keep";
            ASSERT_TRUE(doc->Redo());
            ASSERT_TRUE(Kept(file).has_value());
            EXPECT_EQ(Kept(file)->points, doc->GetPanPoints().Values());
            EXPECT_NE(Kept(file)->ownerToken, kDeadRun);
        } else {
            EXPECT_EQ(doc->GetPanPoints().Values(), std::vector<PanPoint>{PanPoint(400, 10)});
            EXPECT_FALSE(doc->IsModified());
            const bool bStays = c.then == Then::Untouched;
            EXPECT_EQ(std::filesystem::exists(journalPath), bStays);
            if (bStays) {
                std::ifstream in(journalPath, std::ios::binary);
                EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
            }
        }
        m_pFrame->GetDocTemplate().CloseAllDocuments();
        FlushDeletes();
        Keeper().Flush();
        EXPECT_EQ(std::filesystem::exists(journalPath), c.then == Then::Untouched);
    }
}

// Two editors on one file, both killed: each left a journal, and both are offered, whether
// the file is opened or the start offers them; each Yes is one step of the history.
TEST_F(RecoveryTest, EveryRunThatEditedAFileHasItsChangesOffered) {
    for (const bool bAtStart : {false, true}) {
        SCOPED_TRACE(bAtStart ? "at start" : "when the file opens");
        m_prompts.Clear();
        const std::string file = WriteSound(bAtStart ? "start.wav" : "open.wav");
        RecoveryJournal first = LeftJournal(file, {Placed(100, 30, 0)});
        RecoveryJournal second = LeftJournal(file, {Placed(200, -60, 10), Placed(300, 0, 0)});
        first.ownerToken = 11;
        second.ownerToken = 12;
        first.WriteTo(JournalOf(file, 11));
        second.WriteTo(JournalOf(file, 12));
        m_prompts.Script(Answer::Yes);
        m_prompts.Script(Answer::Yes);
        if (bAtStart) {
            Keeper().OfferLeftovers();
        } else {
            ASSERT_NE(Open(file), nullptr);
        }
        ASSERT_EQ(m_prompts.Boxes().size(), 2u);
        CTesselDoc* doc = m_pFrame->GetDocTemplate().FindDocument(file);
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetPanPoints().Values(), second.points);
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 2u);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(doc->GetPanPoints().Values(), first.points);
        Keeper().Flush();
        EXPECT_FALSE(std::filesystem::exists(JournalOf(file, 11)));
        EXPECT_FALSE(std::filesystem::exists(JournalOf(file, 12)));
        m_pFrame->GetDocTemplate().CloseAllDocuments();
        FlushDeletes();
    }
}

TEST_F(RecoveryTest, AnEditIsKeptUntilSavedClosedOrUndoneAndATerminatedRunKeepsIt) {
    enum class End { Save, CloseWithoutSaving, Undo, Terminate };
    const struct {
        const char* name;
        End end;
        bool bKept;
    } cases[] = {
        {"saved", End::Save, false},
        {"closed without saving", End::CloseWithoutSaving, false},
        {"undone", End::Undo, false},
        {"terminated", End::Terminate, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = WriteSound(std::string(c.name) + ".wav");
        CTesselDoc* doc = Open(file);
        ASSERT_NE(doc, nullptr);
        EXPECT_FALSE(Kept(file).has_value()) << "nothing unsaved yet";
        doc->BeginEdit(doc->AddPoint(Placed(300, 150, 45)), UndoKind::Add);
        doc->EndEdit();
        doc->BeginEdit(doc->AddPoint(600, -20), UndoKind::Add);
        doc->EndEdit();
        ASSERT_TRUE(Kept(file).has_value());
        EXPECT_EQ(Kept(file)->points, doc->GetPanPoints().Values());
        EXPECT_EQ(Kept(file)->undoPosition, 2u);
        switch (c.end) {
            case End::Save:
                ASSERT_TRUE(DocumentSave(*doc).Save());
                break;
            case End::CloseWithoutSaving:
                m_prompts.Script(Answer::No);
                m_pFrame->GetDocTemplate().FrameOf(*doc)->close();
                FlushDeletes();
                break;
            case End::Undo:
                ASSERT_TRUE(doc->Undo());
                ASSERT_TRUE(doc->Undo());
                break;
            case End::Terminate:
                m_pFrame->KeepRecoveryJournals();
                DestroyFrame();
                MakeFrame();
                break;
        }
        EXPECT_EQ(Kept(file).has_value(), c.bKept);
        m_pFrame->GetDocTemplate().CloseAllDocuments();
        FlushDeletes();
    }
}

TEST_F(RecoveryTest, AFolderThatCannotBeWrittenCostsOneLineAndNoEdit) {
    const std::string blocker = m_dir.File("not-a-folder");
    std::ofstream(blocker) << "x";
    m_prompts.Clear();
    RecoveryKeeper keeper(m_pFrame->GetDocTemplate(), m_prompts, blocker + "/recovery");
    ASSERT_EQ(StatusLines().size(), 1u);
    EXPECT_NE(StatusLines()[0].find("Unsaved changes are not kept for recovery"), std::string::npos)
        << StatusLines()[0];
    std::unique_ptr<CTesselDoc> doc = MemoryDocument(*m_pApp, TestSound());
    doc->SetPathName(m_dir.File("memory.wav"));
    keeper.Watch(*doc);
    for (uint32_t position : {100u, 200u, 300u}) {
        doc->BeginEdit(doc->AddPoint(position, 5), UndoKind::Add);
        doc->EndEdit();
    }
    keeper.Flush();
    QApplication::processEvents();
    EXPECT_EQ(doc->GetPanPoints().GetCount(), 3u);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(StatusLines().size(), 1u);
    keeper.Forget(*doc);
}

}  // namespace
