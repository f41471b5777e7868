#include "shell/CMyMultiDocTemplate.h"

#include <strings.h>
#include <QMdiArea>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "document/SoundImport.h"
#include "geometry/WindowPlacement.h"
#include "platform/FileIdentity.h"
#include "platform/PathNames.h"
#include "platform/SafeFileWriter.h"
#include "platform/SettingsStore.h"
#include "platform/UserPrompts.h"
#include "playback/CEditorApp.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrameClient.h"
#include "shell/CRecentFileList.h"
#include "shell/RecoveryKeeper.h"

namespace {

// Window title, document name, new-file name, filter name, filter extensions, shell type id,
// shell type name.
const char* const kWindowSection = "Document Windows";
const char* const kMaximizedKey = "Maximized";

const char* const kDocStrings[] = {
    "",          "SndDoc",           "Sound",        "Sound Files (*.wav;*.aif)",
    ".wav;.aif", "Sonomap.Document", "Wave Document"};

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

}  // namespace

CMyMultiDocTemplate::CMyMultiDocTemplate(CEditorApp& app, QMdiArea& area,
                                         CRecentFileList& recentFiles, ViewFactory viewFactory)
    : m_app(app), m_area(area), m_recentFiles(recentFiles), m_viewFactory(std::move(viewFactory)) {}

CMyMultiDocTemplate::~CMyMultiDocTemplate() {
    CloseAllDocuments();
}

std::string CMyMultiDocTemplate::GetDocString(DocStringIndex index) const {
    std::string field = kDocStrings[index];
    if (index == filterExt) {
        const size_t semicolon = field.find(';');
        if (semicolon != std::string::npos) {
            field = field.substr(0, semicolon + 1) + "*" + field.substr(semicolon + 1);
        }
    }
    return field;
}

CMyMultiDocTemplate::Confidence CMyMultiDocTemplate::MatchDocType(const std::string& path,
                                                                  CTesselDoc*& matched) const {
    matched = FindDocument(path);
    if (matched != nullptr) {
        return Confidence::YesAlreadyOpen;
    }
    const std::string extensions = GetDocString(filterExt);
    const size_t semicolon = extensions.find(';');
    std::vector<std::string> ours;
    if (semicolon == std::string::npos) {
        ours.push_back(extensions);
    } else {
        ours.push_back(extensions.substr(0, semicolon));
        const size_t star = extensions.find(";*");
        if (star != std::string::npos) {
            ours.push_back(extensions.substr(star + 2));
        }
    }
    const std::string extension = PathNames::Extension(path);
    if (!extension.empty()) {
        for (const std::string& candidate : ours) {
            if (EqualNoCase(extension, candidate)) {
                return Confidence::MaybeAttemptNative;
            }
        }
    }
    return Confidence::MaybeAttemptForeign;
}

CTesselDoc* CMyMultiDocTemplate::OpenDocumentFile(const std::string& path) {
    const std::string fullPath = FullPath(path);
    CTesselDoc* matched = nullptr;
    if (MatchDocType(fullPath, matched) == Confidence::YesAlreadyOpen) {
        CChildFrame* frame = FrameOf(*matched);
        if (frame->isMinimized()) {
            frame->showNormal();
        }
        m_area.setActiveSubWindow(frame);
        return matched;
    }
    // A foreign match is offered too: the document's own format check decides.
    auto document = std::make_unique<CTesselDoc>(m_app);
    if (!DocumentOpen(*document).Open(fullPath)) {
        return nullptr;
    }
    // The user may have chosen to import it instead: such a document has no path to recall.
    const bool bImported = !document->GetImportSource().empty();
    if (!bImported) {
        // What a save killed half-way left beside the file: no run will ever finish it.
        SafeFileWriter::RemoveStaleTempFiles(fullPath);
    }
    return AddDocumentFrame(std::move(document), bImported ? std::string() : fullPath);
}

CTesselDoc* CMyMultiDocTemplate::ImportDocumentFile(const std::string& path) {
    auto document = std::make_unique<CTesselDoc>(m_app);
    if (!SoundImport(m_app).ImportInto(*document, FullPath(path))) {
        return nullptr;
    }
    return AddDocumentFrame(std::move(document), std::string());
}

CTesselDoc* CMyMultiDocTemplate::AddDocumentFrame(std::unique_ptr<CTesselDoc> document,
                                                  const std::string& recentPath) {
    CTesselDoc* opened = document.get();
    DocumentView* view = m_viewFactory(*opened, nullptr);
    auto* frame = new CChildFrame(*this, std::move(document), view);
    // Big enough to work in from the start, wholly inside the document area and one step on
    // from the window opened last.
    std::optional<WindowPlacement::Rect> last;
    for (auto it = m_frames.rbegin(); it != m_frames.rend(); ++it) {
        if (!(*it)->isMinimized() && !(*it)->isMaximized()) {
            const QRect place = (*it)->geometry();
            last = WindowPlacement::Rect{place.x(), place.y(), place.width(), place.height()};
            break;
        }
    }
    m_frames.push_back(frame);
    m_bArranging = true;
    m_area.addSubWindow(frame);
    const QSize area = m_area.viewport()->size();
    const WindowPlacement::Rect place = WindowPlacement::NextDocumentWindow(
        {area.width(), area.height()}, last, CMainFrameClient::CascadeStep(m_area));
    frame->setGeometry(place.x, place.y, place.width, place.height);
    // The first window opens as the user left the last one; later ones follow the area.
    const bool bFirst = m_frames.size() == 1;
    if (bFirst && m_pSettings != nullptr &&
        m_pSettings->GetInt(kWindowSection, kMaximizedKey, 1) != 0) {
        frame->showMaximized();
    } else {
        frame->show();
    }
    m_area.setActiveSubWindow(frame);
    m_bArranging = false;
    connect(frame, &QMdiSubWindow::windowStateChanged, this,
            [this, frame](Qt::WindowStates before, Qt::WindowStates now) {
                const bool bMaximized = now & Qt::WindowMaximized;
                // A closing window hands its state on; only a choice on a live one counts.
                if (m_pSettings != nullptr && !m_bArranging &&
                    bMaximized != bool(before & Qt::WindowMaximized) &&
                    !(now & Qt::WindowMinimized) && frame->isVisible() &&
                    std::find(m_frames.begin(), m_frames.end(), frame) != m_frames.end()) {
                    m_pSettings->SetInt(kWindowSection, kMaximizedKey, bMaximized ? 1 : 0);
                }
            });
    if (!recentPath.empty()) {
        m_recentFiles.Add(recentPath);
        m_recentFiles.WriteList();
    }
    emit DocumentsChanged();
    if (m_pRecovery) {
        m_pRecovery->Watch(*opened);
    }
    return opened;
}

CTesselDoc* CMyMultiDocTemplate::FindDocument(const std::string& fullPath) const {
    for (CChildFrame* frame : m_frames) {
        if (frame->GetDocument().GetPathName() == fullPath) {
            return &frame->GetDocument();
        }
    }
    return nullptr;
}

bool CMyMultiDocTemplate::IsPathInUse(const std::string& fullPath) const {
    if (FindDocument(fullPath) != nullptr) {
        return true;
    }
    // By file, not by name: a link or an aliased folder must not let a save reach one.
    const auto isThat = [&](const std::string& used) {
        return !used.empty() && (used == fullPath || FileIdentity::IsSameFile(used, fullPath));
    };
    return std::any_of(m_frames.begin(), m_frames.end(), [&](CChildFrame* frame) {
        return isThat(frame->GetDocument().GetPathName()) ||
               isThat(frame->GetDocument().GetImportSource());
    });
}

CChildFrame* CMyMultiDocTemplate::FrameOf(const CTesselDoc& document) const {
    for (CChildFrame* frame : m_frames) {
        if (&frame->GetDocument() == &document) {
            return frame;
        }
    }
    return nullptr;
}

bool CMyMultiDocTemplate::SaveAllModified() {
    const std::vector<CChildFrame*> frames = m_frames;
    return std::all_of(frames.begin(), frames.end(), [](CChildFrame* frame) {
        return DocumentSave(frame->GetDocument()).SaveModified();
    });
}

void CMyMultiDocTemplate::OfferReloads() {
    // The question itself may move the focus away and back.
    if (m_bOfferingReloads) {
        return;
    }
    m_bOfferingReloads = true;
    const std::vector<CChildFrame*> frames = m_frames;
    for (CChildFrame* frame : frames) {
        const CTesselDoc& doc = frame->GetDocument();
        const std::optional<FileStamp> now = FileStamp::Of(doc.GetPathName());
        const auto declined = m_declinedReloads.find(&doc);
        if (doc.IsModified() || !now || !doc.HasChangedOnDisk() ||
            (declined != m_declinedReloads.end() && declined->second == now)) {
            continue;
        }
        UserPrompts::Box box;
        box.text = PathNames::FileName(doc.GetPathName()) +
                   " has changed on disk: another program has written it.\n\nLoad it again? "
                   "Its window has no unsaved changes.";
        box.informative = doc.GetPathName();
        box.caption = UserPrompts::kAppCaption;
        box.buttons = UserPrompts::Buttons::YesNo;
        box.icon = UserPrompts::Icon::Question;
        box.defaultAnswer = UserPrompts::Answer::Yes;
        if (m_app.Prompts().ShowMessage(box) == UserPrompts::Answer::Yes) {
            Reload(*frame);
        } else {
            m_declinedReloads[&doc] = now;
        }
    }
    m_bOfferingReloads = false;
}

bool CMyMultiDocTemplate::Reload(CChildFrame& frame) {
    const std::string path = frame.GetDocument().GetPathName();
    auto document = std::make_unique<CTesselDoc>(m_app);
    if (!DocumentOpen(*document).Open(path)) {
        return false;  // it said why; the old window goes on showing what it had
    }
    const QRect place = frame.geometry();
    const bool bMaximized = frame.isMaximized();
    frame.CloseWithoutAsking();
    CTesselDoc* opened = AddDocumentFrame(std::move(document), path);
    if (!bMaximized) {
        FrameOf(*opened)->setGeometry(place);
    }
    m_app.Prompts().ShowStatus("Loaded " + PathNames::FileName(path) + " again from disk.");
    return true;
}

void CMyMultiDocTemplate::CloseAllDocuments() {
    // The windows' states change as they come and go; the user's choice is the one before.
    m_bArranging = true;
    const std::vector<CChildFrame*> frames = m_frames;
    for (CChildFrame* frame : frames) {
        frame->CloseWithoutAsking();
    }
    m_bArranging = false;
}

std::string CMyMultiDocTemplate::FullPath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

void CMyMultiDocTemplate::OnFrameClosing(CChildFrame& frame) {
    const auto it = std::find(m_frames.begin(), m_frames.end(), &frame);
    if (it == m_frames.end()) {
        return;
    }
    m_frames.erase(it);
    m_declinedReloads.erase(&frame.GetDocument());
    if (m_pRecovery) {
        m_pRecovery->Forget(frame.GetDocument());
    }
    emit DocumentsChanged();
}

void CMyMultiDocTemplate::EnableRecovery(const std::string& folderPath) {
    m_pRecovery = std::make_unique<RecoveryKeeper>(*this, m_app.Prompts(), folderPath);
}

void CMyMultiDocTemplate::OnDocumentRenamed(CTesselDoc& document) {
    m_recentFiles.Add(document.GetPathName());
    m_recentFiles.WriteList();
}
