// The keys as the menus and tips show them: every accelerator in its menu item, in one
// form throughout (the View menu's stored "Ctrl + ->" included), and named in its tool tip.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStyleOptionMenuItem>
#include <QTest>

#include "FrameTestFixture.h"
#include "document/CTesselDoc.h"
#include "playback/CommandIds.h"
#include "playback/CommandTable.h"
#include "shell/CHelpWindow.h"
#include "shell/MenuKeyStyle.h"

using namespace CommandId;

namespace {

// Qt's own reading of an item for drawing, the key it adds from the shortcut included.
class MenuPeek : public QMenu {
  public:
    QString DrawnText(QAction* action) {
        addAction(action);
        QStyleOptionMenuItem option;
        initStyleOption(&option, action);
        removeAction(action);
        return option.text;
    }
};

}  // namespace

TEST(MenuKeyStyle, DrawsTheStoredKeyTextsInTheAcceleratorsForm) {
    EXPECT_EQ(MenuKeyStyle::Shown("Zoom &In\tCtrl + ->"), "Zoom &In\tCtrl+Right");
    EXPECT_EQ(MenuKeyStyle::Shown("Zoom &Out\tCtrl + <-"), "Zoom &Out\tCtrl+Left");
    EXPECT_EQ(MenuKeyStyle::Shown("Zoom To &Selection\tCtrl + Shift + ->"),
              "Zoom To &Selection\tCtrl+Shift+Right");
    EXPECT_EQ(MenuKeyStyle::Shown("Show &All\tCtrl + Shift + <-"), "Show &All\tCtrl+Shift+Left");
    EXPECT_EQ(MenuKeyStyle::Shown("&Open...\tCtrl+O"), "&Open...\tCtrl+O");
    EXPECT_EQ(MenuKeyStyle::Shown("&Delete"), "&Delete");
    // Not a key Qt knows: left as it was stored.
    EXPECT_EQ(MenuKeyStyle::Shown("Odd\tsome words"), "Odd\tsome words");
}

TEST_F(FrameTest, EveryMenuShowsEachItemsKeyInOneFormAndTheTipsNameIt) {
    ASSERT_NE(m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav")), nullptr);
    m_pFrame->UpdateCommandUI();
    MenuPeek peek;
    int withKeys = 0;
    for (QAction* title : m_pFrame->menuBar()->actions()) {
        QMenu* menu = title->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_NE(dynamic_cast<MenuKeyStyle*>(menu->style()), nullptr)
            << title->text().toStdString();
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || action->shortcut().isEmpty()) {
                continue;
            }
            ++withKeys;
            const QString drawn = MenuKeyStyle::Shown(peek.DrawnText(action));
            const QString key = action->shortcut().toString(QKeySequence::NativeText);
            EXPECT_EQ(drawn.section('\t', 1), key) << drawn.toStdString();
            const CommandInfo* info = CommandTable::Find(action->data().toUInt());
            ASSERT_NE(info, nullptr);
            EXPECT_TRUE(action->toolTip().endsWith("(" + key + ")"))
                << action->toolTip().toStdString();
        }
    }
    // Open, Import, Close, Save, Exit, Undo, Redo, Cut, Copy, Paste, Point Properties, Select
    // All and the four zoom items at least.
    EXPECT_GE(withKeys, 16);
    // Close and Exit keep their stored texts; the menu adds the key.
    EXPECT_EQ(m_pFrame->Action(kFileClose)->text(), "&Close");
    EXPECT_EQ(peek.DrawnText(m_pFrame->Action(kFileClose)), "&Close\tCtrl+W");
    EXPECT_EQ(peek.DrawnText(m_pFrame->Action(kAppExit)), "E&xit\tCtrl+Q");
}

TEST_F(FrameTest, CtrlQQuitsThroughExitAndItsQuestions) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    CTesselDoc* doc = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag(true);
    m_pFrame->UpdateCommandUI();
    // Cancel at the save question: the program goes on.
    m_prompts.Script(UserPrompts::Answer::Cancel);
    QTest::keyClick(m_pFrame.get(), Qt::Key_Q, Qt::ControlModifier);
    QCoreApplication::processEvents();
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_NE(m_prompts.Boxes()[0].text.find("a.wav"), std::string::npos);
    EXPECT_TRUE(m_pFrame->isVisible());
    EXPECT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    // No: the documents close and so does the window.
    m_prompts.Script(UserPrompts::Answer::No);
    QTest::keyClick(m_pFrame.get(), Qt::Key_Q, Qt::ControlModifier);
    QCoreApplication::processEvents();
    FlushDeletes();
    EXPECT_EQ(m_prompts.Boxes().size(), 2u);
    EXPECT_FALSE(m_pFrame->isVisible());
}

namespace {

// The first column of a table's rows, one key a comma, without its remark in brackets.
QStringList KeysIn(const QString& text, const QRegularExpression& row) {
    QStringList keys;
    for (const QRegularExpressionMatch& match : row.globalMatch(text)) {
        for (QString key : match.captured(1).split(", ")) {
            keys << key.section(" (", 0, 0).trimmed();
        }
    }
    return keys;
}

QString ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

}  // namespace

// Every key the editor answers stands in the shortcuts table of the Help and of the README:
// each accelerator of the command table, and the keys the wave view reads itself.
TEST(ShortcutTables, ListEveryKeyTheEditorAnswers) {
    QStringList expected = {"Enter",
                            "Delete",
                            "Backspace",
                            "Left",
                            "Right",
                            "Home",
                            "End",
                            "Shift+Home",
                            "Shift+End",
                            "Tab",
                            "Shift+Tab",
                            "Up",
                            "Down",
                            "Shift+Up",
                            "Shift+Down",
                            "Page Up",
                            "Page Down",
                            "Shift+Page Up",
                            "Shift+Page Down",
                            "+",
                            "-",
                            "Escape",
                            "Ctrl"};
    for (const CommandInfo& info : CommandTable::All()) {
        if (info.id == kFilePrint) {
            continue;  // an accelerator that does nothing
        }
        for (const QKeySequence& key : info.keys) {
            QString text = key.toString(QKeySequence::PortableText);
            text.replace(QRegularExpression("\\bIns\\b"), "Insert")
                .replace(QRegularExpression("\\bDel\\b"), "Delete")
                .replace("Return", "Enter");
            expected << text;
        }
    }
    CHelpWindow window;  // brings in the guide's resource
    const QString help = ReadAll(":/help/UserGuide.html");
    const QString keysHelp = help.mid(help.indexOf("name=\"keys\""));
    const QString readme = ReadAll(SONOMAP_README_PATH);
    const QString keysReadme = readme.mid(readme.indexOf("## Keyboard shortcuts"));
    const QStringList inHelp = KeysIn(keysHelp, QRegularExpression("<tr><td>(.*?)</td>"));
    const QStringList inReadme =
        KeysIn(keysReadme.section("\n## ", 0, 0), QRegularExpression("\\n\\| ([^|]*) \\|"));
    ASSERT_GE(inHelp.size(), 40);
    for (const QString& key : expected) {
        EXPECT_TRUE(inHelp.contains(key)) << "Help: " << key.toStdString();
        EXPECT_TRUE(inReadme.contains(key)) << "README: " << key.toStdString();
    }
}
