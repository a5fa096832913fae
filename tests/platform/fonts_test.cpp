#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPushButton>
#include <QScreen>

#include "platform/fonts.h"

// The layouts are measured in the faces the program installs; a machine where they resolve to
// something else would hide every layout fault behind a different width.
TEST(DesignFonts, EveryDesignFaceResolvesToAnInstalledCounterpart)
{
    struct Case {
        const char *family;
        bool bold;
        const char *resolved;
    };
    const Case cases[] = {
        {"Tahoma", false, "Tahoma"},
        {"Tahoma", true, "Tahoma"},
        {"MS Sans Serif", false, "Tahoma"},
        {"Comic Sans MS", true, "Tahoma"},
        {"Arial", true, "Liberation Sans"},
    };
    for (const Case &c : cases) {
        const QFontInfo info(DesignFont(QString::fromLatin1(c.family), 13, c.bold));
        EXPECT_EQ(info.family(), QString::fromLatin1(c.resolved)) << c.family;
        EXPECT_EQ(info.bold(), c.bold) << c.family;
        EXPECT_EQ(info.pixelSize(), 13) << c.family;
    }
}

TEST(DesignFonts, PointSizesAreTakenAtNinetySixDpi)
{
    EXPECT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(9);
    EXPECT_EQ(QFontInfo(f).pixelSize(), 12);
}

TEST(QtTexts, StandardTextsAreRussian)
{
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
}
