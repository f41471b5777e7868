#pragma once

#include <QObject>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "document/DocumentListener.h"
#include "document/JournalWriter.h"
#include "document/RecoveryFolder.h"

class CMyMultiDocTemplate;
class CTesselDoc;
class UserPrompts;

// Keeps a recovery journal of every open document while it has unsaved changes, and offers
// the journals a run left behind when it ended abnormally. The interface thread only copies
// the trajectory at each change; the JournalWriter's thread writes. A journal goes when its
// document is saved or closed, or when the program quits normally; a terminated session keeps
// them for the next start. When the folder cannot be used, editing goes on without journals
// and one status line says so. The template owns the keeper and outlives it; every watched
// document is forgotten before it goes.
class RecoveryKeeper : public QObject, public DocumentListener {
    Q_OBJECT

  public:
    RecoveryKeeper(CMyMultiDocTemplate& docTemplate, UserPrompts& prompts,
                   const std::string& folderPath);
    ~RecoveryKeeper() override;

    // A document just opened or imported: offers its left journal, then follows its changes.
    void Watch(CTesselDoc& document);
    // The document's window closes: its journal goes, unless journals are being kept.
    void Forget(CTesselDoc& document);
    // At start: offers every journal left by a run that ended abnormally and whose file is not
    // open yet, one question each; Yes opens the file with the points put back.
    void OfferLeftovers();
    // The session is being ended from outside: the documents close without being saved, and
    // their journals stay for the next start.
    void KeepJournals() { m_bKeep = true; }
    // Waits until every journal change so far is on disk (tests).
    void Flush() { m_writer.Flush(); }

    void OnTrajectoryChanged(CTesselDoc& document) override;
    void OnModifiedChanged(CTesselDoc& document) override;
    void OnDocumentClosing(CTesselDoc& document) override;

  private:
    // Reads a journal; a damaged, newer or unreadable one is set aside with a status line and
    // false comes back, as it does for the journal of a run still alive.
    bool ReadLeftJournal(const std::string& path, RecoveryJournal& journal);
    // Asks whether to put back what journal holds for the file.
    bool AskToRecover(const RecoveryJournal& journal);
    // Replaces the document's trajectory with the journal's as one step of its history.
    void Recover(CTesselDoc& document, const RecoveryJournal& journal);
    void Keep(CTesselDoc& document);
    void Drop(CTesselDoc& document);
    void ReportFailure(const std::string& reason);

    CMyMultiDocTemplate& m_template;
    UserPrompts& m_prompts;
    RecoveryFolder m_folder;
    bool m_bKeep = false;
    bool m_bFailureShown = false;
    // Each watched document and the journal last asked for it ("" for none).
    std::map<CTesselDoc*, std::string> m_journals;
    // Journals of other runs offered (or set aside) in this run: each is asked about once.
    std::set<std::string> m_offered;
    // A journal the user already chose to recover at start, for the document about to open.
    std::unique_ptr<RecoveryJournal> m_pAccepted;
    // Last: it finishes its work before the folder gives up its lock.
    JournalWriter m_writer;
};
