// Where the editor's windows go on the screen: document windows inside the document area,
// Cascade, and the main window inside the screen's available area, remembered between runs.
// CTest runs the main window's case at scale factors 1 and 2.
#include <QLabel>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

#include "FrameTestFixture.h"
#include "document/CTesselDoc.h"
#include "playback/CommandIds.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrameClient.h"

TEST_F(FrameTest, DocumentWindowsOpenInsideTheAreaAndCascadeKeepsThemUsable) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    auto* client = m_pFrame->findChild<CMainFrameClient*>();
    ASSERT_NE(client, nullptr);
    const QRect area(QPoint(0, 0), client->viewport()->size());
    const int step = CMainFrameClient::CascadeStep(*client);
    std::vector<CChildFrame*> frames;
    for (int i = 0; i < 8; ++i) {
        CTesselDoc* doc = m_pFrame->GetDocTemplate().OpenDocumentFile(
            WriteSound("d" + std::to_string(i) + ".wav"));
        ASSERT_NE(doc, nullptr);
        frames.push_back(m_pFrame->GetDocTemplate().FrameOf(*doc));
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        const QRect place = frames[i]->geometry();
        EXPECT_TRUE(area.contains(place)) << i << ": " << place.x() << "," << place.y() << " "
                                          << place.width() << "x" << place.height();
        if (i > 0 && place.topLeft() != QPoint(0, 0)) {
            EXPECT_EQ(place.topLeft(), frames[i - 1]->geometry().topLeft() + QPoint(step, step))
                << i;
        }
    }
    // Where the area has room for a step, the second window takes it.
    if (frames[0]->geometry().right() + step < area.width() &&
        frames[0]->geometry().bottom() + step < area.height()) {
        EXPECT_EQ(frames[1]->geometry().topLeft(), QPoint(step, step));
    }

    ASSERT_TRUE(m_pFrame->ExecuteCommand(CommandId::kWindowCascade));
    for (size_t i = 0; i < frames.size(); ++i) {
        const QRect place = frames[i]->geometry();
        EXPECT_TRUE(area.contains(place)) << i;
        EXPECT_GE(place.width(), std::min(480, area.width())) << i;
        EXPECT_GE(place.height(), std::min(240, area.height())) << i;
        EXPECT_GE(place.width() * 3, area.width() * 2 - 3) << i;
    }
    EXPECT_EQ(client->activeSubWindow(), frames.back());
}

TEST_F(FrameTest, TheMainWindowFitsTheScreenAtTheScaleFactorAndIsRemembered) {
    // The case runs at QT_SCALE_FACTOR 1 and 2; make sure the scale really is the one set.
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    QScreen* screen = m_pFrame->screen();
    ASSERT_NE(screen, nullptr);
    EXPECT_DOUBLE_EQ(screen->devicePixelRatio(), scale);
    const QRect available = screen->availableGeometry();

    // The first start asks for 1000 x 700, more than the offscreen screen holds at scale 2.
    m_pFrame->PlaceOnScreen();
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    EXPECT_TRUE(available.contains(m_pFrame->geometry()))
        << m_pFrame->width() << "x" << m_pFrame->height() << " on " << available.width() << "x"
        << available.height();

    // A place the user gave it comes back in the next session.
    const QRect chosen(available.x() + 10, available.y() + 20, available.width() / 2,
                       available.height() / 2);
    m_pFrame->setGeometry(chosen);
    QCoreApplication::processEvents();
    const QRect before = m_pFrame->geometry();
    m_pFrame->EndSession();
    DestroyFrame();
    MakeFrame();
    m_pFrame->PlaceOnScreen();
    EXPECT_EQ(m_pFrame->geometry(), before);
}

// The first document of a run opens maximised until the user restores one; that choice holds
// for the first window of the next run, and the next window follows the one it joins.
TEST_F(FrameTest, TheFirstDocumentOpensMaximisedAndTheUsersChoiceIsRemembered) {
    QSettings("Ambrel", "Sonomap").remove("Document Windows/Maximized");
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    const struct {
        const char* name;
        bool bFirstMaximized;
        bool bUserMaximizes;  // what the user then makes of the first window
    } runs[] = {
        {"a fresh start", true, false},
        {"after restoring", false, true},
        {"after maximising", true, true},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        CTesselDoc* first = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
        ASSERT_NE(first, nullptr);
        CChildFrame* window = m_pFrame->GetDocTemplate().FrameOf(*first);
        EXPECT_EQ(window->isMaximized(), run.bFirstMaximized);
        if (run.bUserMaximizes) {
            window->showMaximized();
        } else {
            window->showNormal();
        }
        QCoreApplication::processEvents();
        CTesselDoc* second = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("b.wav"));
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(m_pFrame->GetDocTemplate().FrameOf(*second)->isMaximized(), run.bUserMaximizes);
        // A new run: the frame and its windows go, the settings stay.
        DestroyFrame();
        MakeFrame();
        m_pFrame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    }
}

// At the default window size a long status line ends in an ellipsis and its tool tip holds
// it whole; a short one shows as it is.
TEST_F(FrameTest, ALongStatusLineIsElidedVisiblyWithTheWholeTextInItsToolTip) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    ASSERT_NE(m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav")), nullptr);
    m_pFrame->UpdateCommandUI();
    QCoreApplication::processEvents();
    QStatusBar* bar = m_pFrame->statusBar();
    const struct {
        std::string text;
        bool bFits;
    } lines[] = {
        {"Saved a.wav", true},
        {"Point 3 created at 0:01.250 (55125), +30\u00B0: drag it to move it, Delete removes "
         "it, Ctrl+Z takes it back, and the Point Properties dialog places it exactly",
         false},
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.text);
        m_pApp->Prompts().ShowStatus(line.text);
        const QString whole = QString::fromStdString(line.text);
        if (line.bFits) {
            EXPECT_EQ(bar->currentMessage(), whole);
            EXPECT_TRUE(bar->toolTip().isEmpty());
        } else {
            EXPECT_TRUE(bar->currentMessage().endsWith(QChar(0x2026)))
                << bar->currentMessage().toStdString();
            EXPECT_TRUE(whole.startsWith(bar->currentMessage().chopped(1)));
            EXPECT_EQ(bar->toolTip(), whole);
            // What shows fits in front of the format pane.
            int room = bar->width();
            for (const QLabel* pane : bar->findChildren<QLabel*>()) {
                if (pane->property("commandId").toUInt() == CommandId::kIndicatorFormat) {
                    room = pane->x();
                }
            }
            EXPECT_LE(bar->fontMetrics().horizontalAdvance(bar->currentMessage()), room);
        }
    }
}
