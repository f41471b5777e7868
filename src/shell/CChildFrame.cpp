#include "shell/CChildFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>

#include "deliver/AdmExportCommand.h"
#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentSave.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "shell/CMyMultiDocTemplate.h"
#include "shell/CRoomDialog.h"

CChildFrame::CChildFrame(CMyMultiDocTemplate& docTemplate, std::unique_ptr<CTesselDoc> document,
                         DocumentView* view)
    : m_template(docTemplate), m_pDocument(std::move(document)), m_pView(view) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(view->MakeWindowContent());
    UpdateTitle();
    // Ctrl+W is File > Close, shown in its menu item; the window menu's own copy of the key
    // would make it ambiguous.
    if (QMenu* menu = systemMenu()) {
        for (QAction* action : menu->actions()) {
            if (action->shortcuts().contains(QKeySequence(Qt::ControlModifier | Qt::Key_W))) {
                action->setShortcuts({});
            }
        }
    }
}

CChildFrame::~CChildFrame() {
    // The view refers to the document to its end.
    delete widget();
    if (!m_bClosed) {
        m_template.OnFrameClosing(*this);
    }
}

void CChildFrame::CloseWithoutAsking() {
    m_bAskToSave = false;
    close();
}

void CChildFrame::UpdateTitle() {
    // A document with changes not yet saved carries a "*".
    const QString title =
        QString::fromStdString(m_pDocument->GetTitle()) + (m_pDocument->IsModified() ? "*" : "");
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

bool CChildFrame::UpdateCommand(unsigned id, CommandState& state) {
    switch (id) {
        case CommandId::kFileClose:
        case CommandId::kFileSaveAs:
            state.enabled = true;
            return true;
        case CommandId::kFileSave:
            state.enabled = m_pDocument->CanSave();
            return true;
        case CommandId::kExportStereo:
        case CommandId::kExportBinaural:
        case CommandId::kExportAdm:
        case CommandId::kExportAmbisonics:
        case CommandId::kExportLoudspeakers:
            state.enabled = m_pDocument->CanExport();
            if (!state.enabled) {
                state.whyDisabled = m_pDocument->WhyNoExport();
            }
            return true;
        case CommandId::kRoom:
            state.enabled = true;
            state.checked = m_pDocument->GetAcoustics().room.has_value();
            return true;
        case CommandId::kDoppler:
            state.enabled = true;
            state.checked = m_pDocument->GetAcoustics().bDoppler;
            return true;
        case CommandId::kAirAbsorption:
            state.enabled = true;
            state.checked = m_pDocument->GetAcoustics().bAir;
            return true;
        default:
            return false;
    }
}

bool CChildFrame::RunCommand(unsigned id) {
    const std::string oldPath = m_pDocument->GetPathName();
    switch (id) {
        case CommandId::kFileClose:
            close();
            return true;
        case CommandId::kFileSave:
            DocumentSave(*m_pDocument).Save();
            OnSaved(oldPath);
            return true;
        case CommandId::kFileSaveAs:
            DocumentSave(*m_pDocument).SaveAs();
            OnSaved(oldPath);
            return true;
        case CommandId::kExportStereo:
            OnExportStereoFile();
            return true;
        case CommandId::kExportBinaural:
            BinauralExportCommand(*m_pDocument).Run();
            return true;
        case CommandId::kExportAdm:
            AdmExportCommand(*m_pDocument).Run();
            return true;
        case CommandId::kExportAmbisonics:
            AmbisonicsExportCommand(*m_pDocument).Run();
            return true;
        case CommandId::kExportLoudspeakers:
            LoudspeakerExportCommand(*m_pDocument).Run();
            return true;
        case CommandId::kRoom: {
            CRoomDialog dialog(*m_pDocument, this);
            dialog.exec();
            return true;
        }
        case CommandId::kDoppler:
        case CommandId::kAirAbsorption: {
            Acoustics acoustics = m_pDocument->GetAcoustics();
            bool& flag = id == CommandId::kDoppler ? acoustics.bDoppler : acoustics.bAir;
            flag = !flag;
            m_pDocument->SetAcoustics(acoustics);
            return true;
        }
        default:
            return false;
    }
}

void CChildFrame::OnExportStereoFile() {
    StereoExportCommand(*m_pDocument).Run();
}

void CChildFrame::OnSaved(const std::string& oldPath) {
    if (m_pDocument->GetPathName() != oldPath) {
        m_template.OnDocumentRenamed(*m_pDocument);
    }
    UpdateTitle();
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (m_bAskToSave && !DocumentSave(*m_pDocument).SaveModified()) {
        event->ignore();
        return;
    }
    m_template.GetApp().GetPlayback().StopDocument(*m_pDocument);
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted() && !m_bClosed) {
        m_bClosed = true;
        m_template.OnFrameClosing(*this);
    }
}
