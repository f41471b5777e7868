#pragma once

#include <QMdiSubWindow>
#include <memory>

#include "playback/CommandTarget.h"
#include "views/DocumentView.h"

class CMyMultiDocTemplate;
class CTesselDoc;
class QCloseEvent;

// The window of one open document: it owns the document and shows its one view, which it
// deletes before the document. A wave view comes with its time ruler above it. It answers the
// document's commands (Close, Save, Save As, Export) after the view.
class CChildFrame : public QMdiSubWindow, public CommandTarget {
    Q_OBJECT

  public:
    CChildFrame(CMyMultiDocTemplate& docTemplate, std::unique_ptr<CTesselDoc> document,
                DocumentView* view);
    ~CChildFrame() override;

    CTesselDoc& GetDocument() const { return *m_pDocument; }
    // The view's widget, and the view as the frames see it.
    QWidget* GetView() const { return &m_pView->ViewWidget(); }
    DocumentView* GetDocumentView() const { return m_pView; }

    // Closes without the save question (the program is being ended from outside).
    void CloseWithoutAsking();
    // Shows the document's title.
    void UpdateTitle();

    bool UpdateCommand(unsigned id, CommandState& state) override;
    bool RunCommand(unsigned id) override;

    // Export Stereo File: the document asks for a name and renders with progress.
    void OnExportStereoFile();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnSaved(const std::string& oldPath);

    CMyMultiDocTemplate& m_template;
    std::unique_ptr<CTesselDoc> m_pDocument;
    DocumentView* m_pView;  // its widget is the frame's widget, or inside it
    bool m_bAskToSave = true;
    bool m_bClosed = false;
};
