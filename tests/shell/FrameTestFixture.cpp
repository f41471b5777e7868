#include "FrameTestFixture.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStatusBar>

#include "document/CTesselDoc.h"
#include "support/FileBytes.h"

bool TestView::UpdateCommand(unsigned id, CommandState& state) {
    const auto it = answers.find(id);
    if (it == answers.end()) {
        return false;
    }
    requesters.push_back(state.requester);
    state.enabled = it->second.enabled;
    state.checked = it->second.checked;
    state.text = it->second.text;
    return true;
}

bool TestView::RunCommand(unsigned id) {
    if (answers.count(id) == 0) {
        return false;
    }
    runs.push_back(id);
    return true;
}

void TestView::closeEvent(QCloseEvent* event) {
    if (onClose) {
        onClose();
    }
    QWidget::closeEvent(event);
}

FrameTest::FrameTest() {
    {
        QSettings settings("Ambrel", "Sonomap");
        settings.clear();
        settings.sync();
    }
    m_pSettings = std::make_unique<QtSettingsStore>();
    // Most cases place and compare normal windows; the maximised first window has its own.
    m_pSettings->SetInt("Document Windows", "Maximized", 0);
    m_pApp = std::make_unique<CEditorApp>(m_prompts, *m_pSettings);
    MakeFrame();
}

FrameTest::~FrameTest() {
    DestroyFrame();
    m_pApp.reset();
}

void FrameTest::MakeFrame() {
    m_pFrame = std::make_unique<CMainFrame>(*m_pApp, *m_pSettings,
                                            [this](CTesselDoc& document, QWidget* parent) {
                                                auto* view = new TestView(document, parent);
                                                m_views.emplace_back(view);
                                                return view;
                                            });
    m_pFrame->resize(800, 600);
}

void FrameTest::DestroyFrame() {
    m_pFrame.reset();
    FlushDeletes();
}

std::string FrameTest::WriteSound(const std::string& name, const TestSound& sound) {
    const std::string path = m_dir.File(name);
    WriteBytes(path, BuildSoundFile(sound));
    return path;
}

QString FrameTest::StatusLine() const {
    const QStatusBar* bar = m_pFrame->statusBar();
    return bar->toolTip().isEmpty() ? bar->currentMessage() : bar->toolTip();
}

TestView* FrameTest::ViewOf(const CTesselDoc& document) const {
    for (const QPointer<TestView>& view : m_views) {
        if (view && &view->Document() == &document) {
            return view;
        }
    }
    return nullptr;
}

void FrameTest::FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
