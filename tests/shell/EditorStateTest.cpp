// What the main window shows of a document's state: the title's mark of unsaved changes, the
// maximised title, and the status line after a save.
#include <QFileInfo>
#include <QLocale>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTest>

#include "FrameTestFixture.h"
#include "document/CTesselDoc.h"
#include "document/DocumentSave.h"
#include "shell/CChildFrame.h"

TEST_F(FrameTest, TheTitleMarksUnsavedChangesAndNamesAMaximisedDocumentOnce) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    const std::string path = WriteSound("demo.wav");
    CTesselDoc* doc = m_pFrame->GetDocTemplate().OpenDocumentFile(path);
    ASSERT_NE(doc, nullptr);
    CChildFrame* child = m_pFrame->GetDocTemplate().FrameOf(*doc);
    ASSERT_NE(child, nullptr);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(child->windowTitle(), "demo.wav");
    EXPECT_EQ(m_pFrame->windowTitle(), "Sonomap - demo.wav");

    child->showMaximized();
    QCoreApplication::processEvents();
    // Asked twice: the second idle update must not add the name again.
    m_pFrame->UpdateCommandUI();
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->windowTitle(), "Sonomap - [demo.wav]");

    doc->SetModifiedFlag(true);
    m_pFrame->UpdateCommandUI();
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(child->windowTitle(), "demo.wav*");
    EXPECT_EQ(m_pFrame->windowTitle(), "Sonomap - [demo.wav*]");

    child->showNormal();
    QCoreApplication::processEvents();
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->windowTitle(), "Sonomap - demo.wav*");

    // A save takes the mark off and says in the status bar what it wrote.
    ASSERT_TRUE(DocumentSave(*doc).WriteTo(path));
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(child->windowTitle(), "demo.wav");
    EXPECT_EQ(m_pFrame->windowTitle(), "Sonomap - demo.wav");
    const QFileInfo saved(QString::fromStdString(path));
    const QString size = QLocale(QLocale::English, QLocale::UnitedStates).toString(saved.size());
    EXPECT_EQ(StatusLine(),
              "Saved demo.wav in " + saved.absolutePath() + "/ (" + size + " bytes).");
}
