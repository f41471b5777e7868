#include "shell/CHelpWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <memory>

TEST(HelpWindowTest, ShowsTheGuideUnderItsTitle) {
    CHelpWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Sonomap Help");
    QTextBrowser* browser = window.Browser();
    // The title comes from the page itself, so the compiled-in guide was found.
    EXPECT_EQ(browser->documentTitle(), "Sonomap Help");
    const QString text = browser->toPlainText();
    for (const char* part :
         {"Opening a file", "Selection and zoom", "Editing pan points", "hold Ctrl", "Playing",
          "Saving", "Exporting a stereo file", "Loudness", "-24 LUFS", "--loudness", "Preferences",
          "Keyboard shortcuts", "Ctrl+Shift+Right", "Alt+Backspace", "Shift+Insert"}) {
        EXPECT_TRUE(text.contains(part, Qt::CaseInsensitive) || browser->toHtml().contains(part))
            << part;
    }
}

TEST(HelpWindowTest, EveryLinkInTheGuideLeadsToAPlaceInIt) {
    CHelpWindow window;
    const QTextDocument* document = window.Browser()->document();
    QSet<QString> names;
    QStringList links;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            for (const QString& name : format.anchorNames()) {
                names.insert(name);
            }
            if (!format.anchorHref().isEmpty()) {
                links << format.anchorHref();
            }
        }
    }
    ASSERT_GE(links.size(), 10);
    for (const QString& link : links) {
        ASSERT_TRUE(link.startsWith('#')) << link.toStdString();
        EXPECT_TRUE(names.contains(link.mid(1))) << link.toStdString();
    }
}

TEST(HelpWindowTest, ShowGuideKeepsOneWindowThatGoesWithItsOwner) {
    auto owner = std::make_unique<QWidget>();
    CHelpWindow* first = CHelpWindow::ShowGuide(owner.get());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->isWindow());
    first->close();
    EXPECT_EQ(CHelpWindow::ShowGuide(owner.get()), first);
    EXPECT_TRUE(first->isVisible());

    const QPointer<CHelpWindow> watch(first);
    owner.reset();
    EXPECT_TRUE(watch.isNull());
    auto second = std::make_unique<QWidget>();
    CHelpWindow* again = CHelpWindow::ShowGuide(second.get());
    EXPECT_TRUE(again->isVisible());
    EXPECT_EQ(again->parentWidget(), second.get());
}
