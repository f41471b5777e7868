#pragma once

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "playback/CEditorApp.h"
#include "playback/QtSettingsStore.h"
#include "shell/CMainFrame.h"
#include "support/DocumentTestFiles.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "views/DocumentView.h"

class CTesselDoc;

// A view that answers the commands a test gives it and records what it was asked to run.
class TestView : public QWidget, public DocumentView {
  public:
    TestView(CTesselDoc& document, QWidget* parent) : QWidget(parent), m_document(document) {}

    QWidget& ViewWidget() override { return *this; }
    bool UpdateCommand(unsigned id, CommandState& state) override;
    bool RunCommand(unsigned id) override;

    CTesselDoc& Document() const { return m_document; }

    std::map<unsigned, CommandState> answers;  // ids this view handles, and their states
    std::vector<unsigned> runs;
    std::vector<QObject*> requesters;  // who asked for each answered state
    std::function<void()> onClose;     // called when the view's window closes it

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    CTesselDoc& m_document;
};

// A main frame over the real settings (under the test's XDG_CONFIG_HOME, emptied first),
// scripted prompts and test views.
class FrameTest : public ::testing::Test {
  protected:
    FrameTest();
    ~FrameTest() override;

    void MakeFrame();
    void DestroyFrame();
    // A mono 16-bit sound file in the test's folder; returns its path.
    std::string WriteSound(const std::string& name, const TestSound& sound = TestSound());
    // The test view of an open document, or null.
    TestView* ViewOf(const CTesselDoc& document) const;
    // The status bar's line in full: its tool tip holds it when the bar shows it elided.
    QString StatusLine() const;
    // Lets deferred deletes (closed windows) happen.
    static void FlushDeletes();

    TempDir m_dir;
    ScriptedPrompts m_prompts;
    std::unique_ptr<QtSettingsStore> m_pSettings;
    std::unique_ptr<CEditorApp> m_pApp;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::vector<QPointer<TestView>> m_views;
};
