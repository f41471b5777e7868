#include "shell/CAboutDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <cstring>
#include <memory>

#include "shell/CAppIcon.h"

namespace {

bool IsOrange(QRgb pixel) {
    return qAlpha(pixel) == 255 && qRed(pixel) > 200 && qGreen(pixel) > 120 &&
           qGreen(pixel) < 200 && qBlue(pixel) < 100;
}

}  // namespace

TEST(AboutDialogTest, ShowsTheIconAndTheVersionAndClosesWithOk) {
    CAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "About Sonomap");
    auto* version = dialog.findChild<QLabel*>("versionLabel");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Sonomap Version 1.0");

    auto* icon = dialog.findChild<QLabel*>("aboutIcon");
    ASSERT_NE(icon, nullptr);
    const QImage shown = icon->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(48, 48));
    EXPECT_EQ(shown.pixel(24, 24), CAppIcon::Render(48).pixel(24, 24));
    EXPECT_EQ(qAlpha(shown.pixel(24, 24)), 255);

    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->standardButtons(), QDialogButtonBox::Ok);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(AboutDialogTest, IconIsARoundedTileWithTheArcAtEverySize) {
    for (int size : CAppIcon::kSizes) {
        SCOPED_TRACE(size);
        const QImage image = CAppIcon::Render(size);
        ASSERT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
        // The arc runs through the upper half.
        bool bArc = false;
        for (int y = 0; y < size / 2 && !bArc; ++y) {
            for (int x = 0; x < size && !bArc; ++x) {
                bArc = IsOrange(image.pixel(x, y));
            }
        }
        EXPECT_TRUE(bArc);
    }
    const QIcon icon = CAppIcon::Icon();
    for (int size : CAppIcon::kSizes) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    }
}

TEST(AboutDialogTest, NamesTheLibrariesWithTheirVersionsAndTheLicence) {
    CAboutDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* libraries = dialog.findChild<QLabel*>("librariesLabel");
    ASSERT_NE(libraries, nullptr);
    const QStringList lines = libraries->text().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QString("Qt ") + qVersion());
    const char* const names[] = {"OpenAL Soft ", "libsndfile ", "libsoxr "};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_TRUE(lines[i + 1].startsWith(names[i]));
        // A dotted version number follows the name.
        EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+(\\.\\d+)?$")
                        .match(lines[i + 1].mid(static_cast<int>(strlen(names[i]))))
                        .hasMatch())
            << lines[i + 1].toStdString();
    }
    auto* licence = dialog.findChild<QLabel*>("licenceLabel");
    ASSERT_NE(licence, nullptr);
    EXPECT_EQ(licence->text(), QString::fromUtf8(CAboutDialog::kLicence));
    EXPECT_TRUE(licence->text().contains("GPL-3.0-or-later"));
    EXPECT_TRUE(licence->isVisible());
}
