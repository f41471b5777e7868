#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileStamp.h"
#include "views/DocumentView.h"

class CChildFrame;
class CEditorApp;
class CRecentFileList;
class CTesselDoc;
class QMdiArea;
class RecoveryKeeper;
class SettingsStore;
class QWidget;

// Ties a CTesselDoc, its CChildFrame and its view together, decides which files the program
// claims and keeps the list of open documents. The documents belong to their frames, the
// frames to the document area; the application, the area and the recent-file list must
// outlive the template.
class CMyMultiDocTemplate : public QObject {
    Q_OBJECT

  public:
    // Makes the view of a newly opened document; the frame takes ownership.
    using ViewFactory = std::function<DocumentView*(CTesselDoc& document, QWidget* parent)>;

    // The fields of the template's document string, in order.
    enum DocStringIndex {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName
    };
    enum class Confidence { NoAttempt, MaybeAttemptForeign, MaybeAttemptNative, YesAlreadyOpen };

    CMyMultiDocTemplate(CEditorApp& app, QMdiArea& area, CRecentFileList& recentFiles,
                        ViewFactory viewFactory);
    ~CMyMultiDocTemplate() override;

    // A field of the document string. The filter extensions come back with "*" after the
    // first ";" (".wav;*.aif"), so "*" + extensions is the open dialog's pattern.
    std::string GetDocString(DocStringIndex index) const;
    // Already open (byte-wise equal path; matched is that document), else native when the
    // extension is one of ours in any case, else foreign: every file is offered.
    Confidence MatchDocType(const std::string& path, CTesselDoc*& matched) const;

    // Activates the document when path is open; otherwise opens it in a new window. Null
    // when the document refused the file (it has said why).
    CTesselDoc* OpenDocumentFile(const std::string& path);
    // Imports the file at path into a new, untitled window ("name (imported)"). Null when
    // the import was refused or failed (it has said why).
    CTesselDoc* ImportDocumentFile(const std::string& path);
    CTesselDoc* FindDocument(const std::string& fullPath) const;
    // Whether a document has this file, or was imported from it, by any name or link: no save
    // may write there.
    bool IsPathInUse(const std::string& fullPath) const;
    CChildFrame* FrameOf(const CTesselDoc& document) const;
    const std::vector<CChildFrame*>& Frames() const { return m_frames; }

    // Asks about every modified document; false when the user cancelled.
    bool SaveAllModified();
    // For each document without unsaved changes whose file another program has written since
    // it was opened or saved, asks once whether to load it again (once a change: No holds
    // until the file changes again). Yes replaces the window with the file as it is now, in
    // the same place; when the file no longer opens, the window stays as it was.
    void OfferReloads();
    // Closes every window now; the documents' questions were asked before, or not at all.
    void CloseAllDocuments();

    // An absolute path with "." and ".." resolved, links kept.
    static std::string FullPath(const std::string& path);

    void OnFrameClosing(CChildFrame& frame);
    void OnDocumentRenamed(CTesselDoc& document);
    CEditorApp& GetApp() const { return m_app; }

    // Where the user's last choice between maximised and normal document windows is kept
    // (section "Document Windows", key "Maximized"; 1 when missing): the first window of a
    // run opens that way. Without a store every window opens normal. The store outlives the
    // template.
    void RememberWindowStateIn(SettingsStore* settings) { m_pSettings = settings; }

    // Keeps recovery journals of the open documents in folderPath from now on and offers a
    // left journal whenever its file opens. Without it no journal is kept.
    void EnableRecovery(const std::string& folderPath);
    // None until EnableRecovery.
    RecoveryKeeper* GetRecovery() const { return m_pRecovery.get(); }

  signals:
    // The first document opened, or the last one closed, or anything in between.
    void DocumentsChanged();

  private:
    // Gives a loaded document its window and makes it the active one; a recentPath goes on the
    // recent-file list.
    CTesselDoc* AddDocumentFrame(std::unique_ptr<CTesselDoc> document,
                                 const std::string& recentPath);

    // Loads document's file again into a window of its own in place of frame's; false (and
    // the old window stays) when the file no longer opens.
    bool Reload(CChildFrame& frame);

    CEditorApp& m_app;
    QMdiArea& m_area;
    CRecentFileList& m_recentFiles;
    ViewFactory m_viewFactory;
    std::vector<CChildFrame*> m_frames;
    SettingsStore* m_pSettings = nullptr;
    bool m_bArranging = false;  // windows come or go: their state changes are not the user's
    bool m_bOfferingReloads = false;
    // The change on disk each document's user chose not to load.
    std::map<const CTesselDoc*, std::optional<FileStamp>> m_declinedReloads;
    // Last: it goes first, once every window has closed.
    std::unique_ptr<RecoveryKeeper> m_pRecovery;
};
