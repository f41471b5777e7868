#include "shell/RecoveryKeeper.h"

#include <QMetaObject>
#include <algorithm>
#include <ctime>

#include "document/CTesselDoc.h"
#include "document/TrajectorySpan.h"
#include "platform/PathNames.h"
#include "platform/UserPrompts.h"
#include "shell/CMyMultiDocTemplate.h"

namespace {

const char* const kCaption = "Recover Unsaved Changes";

std::string LocalTime(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    char text[32] = "";
    if (::localtime_r(&seconds, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    }
    return text;
}

}  // namespace

RecoveryKeeper::RecoveryKeeper(CMyMultiDocTemplate& docTemplate, UserPrompts& prompts,
                               const std::string& folderPath)
    : m_template(docTemplate),
      m_prompts(prompts),
      m_folder(folderPath),
      m_writer([this](const std::string& reason) {
          QMetaObject::invokeMethod(
              this, [this, reason] { ReportFailure(reason); }, Qt::QueuedConnection);
      }) {
    std::string reason;
    if (!m_folder.Open(reason)) {
        ReportFailure(reason);
    }
}

RecoveryKeeper::~RecoveryKeeper() {
    for (auto& [document, path] : m_journals) {
        document->RemoveListener(this);
        if (!m_bKeep && !path.empty()) {
            m_writer.Remove(path);
        }
    }
}

void RecoveryKeeper::Watch(CTesselDoc& document) {
    m_journals[&document];
    document.AddListener(this);
    const std::unique_ptr<RecoveryJournal> accepted = std::move(m_pAccepted);
    const std::string key = RecoveryJournal::KeyOf(document);
    if (!m_folder.IsOpen() || key.empty()) {
        return;
    }
    if (accepted && accepted->key == key) {
        Recover(document, *accepted);
    }
    // Every run that edited the file left its own journal: each is offered, in turn.
    for (const std::string& path : m_folder.LeftJournalsFor(key)) {
        RecoveryJournal journal;
        if (m_offered.count(path) != 0 || !ReadLeftJournal(path, journal) || journal.key != key) {
            continue;
        }
        m_offered.insert(path);
        if (AskToRecover(journal)) {
            Recover(document, journal);
        }
        // Recovered, the points live on in this run's journal; declined, they go.
        m_writer.Remove(path);
        m_folder.ForgetDeadOwner(journal.ownerToken);
    }
}

void RecoveryKeeper::Forget(CTesselDoc& document) {
    const auto it = m_journals.find(&document);
    if (it == m_journals.end()) {
        return;
    }
    if (!m_bKeep && !it->second.empty()) {
        m_writer.Remove(it->second);
    }
    document.RemoveListener(this);
    m_journals.erase(it);
}

void RecoveryKeeper::OfferLeftovers() {
    if (!m_folder.IsOpen()) {
        return;
    }
    std::vector<std::string> paths = m_folder.JournalPaths();
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) {
        RecoveryJournal journal;
        // A journal of a file open already was offered when the file opened.
        if (m_offered.count(path) != 0 || !ReadLeftJournal(path, journal) ||
            m_template.IsPathInUse(CMyMultiDocTemplate::FullPath(journal.key))) {
            continue;
        }
        m_offered.insert(path);
        if (!AskToRecover(journal)) {
            m_writer.Remove(path);
            m_folder.ForgetDeadOwner(journal.ownerToken);
            continue;
        }
        const uint64_t owner = journal.ownerToken;
        const std::string key = journal.key;
        const bool bImported = journal.bImported;
        m_pAccepted = std::make_unique<RecoveryJournal>(std::move(journal));
        CTesselDoc* opened =
            bImported ? m_template.ImportDocumentFile(key) : m_template.OpenDocumentFile(key);
        m_pAccepted.reset();
        if (opened != nullptr) {
            m_writer.Remove(path);  // the points live on in this run's journal
        } else {
            // The open said why; the points stay on disk, out of the way of the next start.
            const std::string aside = m_folder.SetAside(path);
            m_prompts.ShowStatus("The unsaved changes to " + PathNames::FileName(key) +
                                 " were not recovered; their journal is kept as " +
                                 (aside.empty() ? path : aside) + ".");
        }
        m_folder.ForgetDeadOwner(owner);
    }
}

void RecoveryKeeper::OnTrajectoryChanged(CTesselDoc& document) {
    // A group tells once more at its end; a preview it discards is never kept.
    if (document.IsInGroup()) {
        return;
    }
    document.IsModified() ? Keep(document) : Drop(document);
}

void RecoveryKeeper::OnModifiedChanged(CTesselDoc& document) {
    if (document.IsInGroup()) {
        return;
    }
    document.IsModified() ? Keep(document) : Drop(document);
}

void RecoveryKeeper::OnDocumentClosing(CTesselDoc& document) {
    Forget(document);
}

bool RecoveryKeeper::ReadLeftJournal(const std::string& path, RecoveryJournal& journal) {
    const RecoveryJournal::ReadStatus status = RecoveryJournal::ReadFrom(path, journal);
    if (status == RecoveryJournal::ReadStatus::Ok) {
        return !m_folder.IsOwnerAlive(journal.ownerToken);
    }
    const char* what = status == RecoveryJournal::ReadStatus::NewerVersion
                           ? "A recovery journal from a newer Sonomap"
                       : status == RecoveryJournal::ReadStatus::Damaged
                           ? "A damaged recovery journal"
                           : "An unreadable recovery journal";
    const std::string aside = m_folder.SetAside(path);
    m_prompts.ShowStatus(
        std::string(what) +
        (aside.empty() ? " could not be set aside: " + path : " was set aside as " + aside) + ".");
    return false;
}

bool RecoveryKeeper::AskToRecover(const RecoveryJournal& journal) {
    const std::string name = PathNames::FileName(journal.key);
    std::string text = "Sonomap ended without saving the changes to " + name + " (last edited " +
                       LocalTime(journal.lastEditMs) + ").";
    if (journal.KeyFileChanged()) {
        text += "\n" + name +
                " has changed on disk since then: the recovered points go onto the file as it "
                "is now.";
    }
    text += "\n\nRecover the unsaved pan points?";
    UserPrompts::Box box;
    box.text = text;
    box.informative = journal.key;
    box.caption = kCaption;
    box.buttons = UserPrompts::Buttons::YesNo;
    box.icon = UserPrompts::Icon::Question;
    box.defaultAnswer = UserPrompts::Answer::Yes;
    return m_prompts.ShowMessage(box) == UserPrompts::Answer::Yes;
}

void RecoveryKeeper::Recover(CTesselDoc& document, const RecoveryJournal& journal) {
    std::vector<PanPoint> points;
    points.reserve(journal.points.size());
    for (const PanPoint& point : journal.points) {
        if (point.position <= document.GetFrameCount()) {
            points.push_back(point);
        }
    }
    TrajectorySpan::Replace(document, 0, document.GetFrameCount(), points);
    if (points.size() != journal.points.size()) {
        m_prompts.ShowStatus(std::to_string(journal.points.size() - points.size()) +
                             " of the recovered pan points lay past the end of the sound and "
                             "were left out.");
    }
}

void RecoveryKeeper::Keep(CTesselDoc& document) {
    const std::string key = RecoveryJournal::KeyOf(document);
    const auto it = m_journals.find(&document);
    if (!m_folder.IsOpen() || key.empty() || it == m_journals.end()) {
        return;
    }
    const std::string path = m_folder.JournalPathFor(key);
    if (!it->second.empty() && it->second != path) {
        m_writer.Remove(it->second);  // saved under another name since
    }
    it->second = path;
    m_writer.Write(path, RecoveryJournal::Snapshot(document, m_folder.Token()));
}

void RecoveryKeeper::Drop(CTesselDoc& document) {
    const auto it = m_journals.find(&document);
    if (it != m_journals.end() && !it->second.empty()) {
        m_writer.Remove(it->second);
        it->second.clear();
    }
}

void RecoveryKeeper::ReportFailure(const std::string& reason) {
    // One line a run: a full disk would otherwise repeat it at every edit.
    if (m_bFailureShown) {
        return;
    }
    m_bFailureShown = true;
    m_prompts.ShowStatus("Unsaved changes are not kept for recovery (" + reason + ").");
}
