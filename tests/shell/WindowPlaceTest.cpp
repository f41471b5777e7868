// Where the editor's windows go on the screen: document windows inside the document area,
// Cascade, and the main window inside the screen's available area, remembered between runs.
// CTest runs the main window's case at scale factors 1 and 2.
#include <QMdiSubWindow>
#include <QScreen>
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
