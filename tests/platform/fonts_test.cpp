#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>

#include "platform/fonts.h"
#include "tests/support/layout_check.h"

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
    EXPECT_EQ(QLocale(), QLocale(QLocale::Russian, QLocale::Russia));
}

// The design's windows were laid out with Windows' line heights: win ascent plus win descent.
TEST(DesignFonts, TahomaLinesAreAsHighAsOnWindows)
{
    struct Case {
        int pixels, ascent, height;
    };
    for (const Case c : {Case{11, 11, 13}, Case{13, 13, 16}, Case{16, 16, 19}, Case{19, 19, 23}, Case{32, 32, 39}}) {
        for (const bool bold : {false, true}) {
            const QFontMetrics fm(Tahoma(c.pixels, bold));
            EXPECT_EQ(fm.ascent(), c.ascent) << c.pixels << " bold " << bold;
            EXPECT_EQ(fm.height(), c.height) << c.pixels << " bold " << bold;
            // The breve of "Й" and the tails of "р" and "у" lie within the line (the emboldened
            // strokes may take one pixel more).
            const QRect ink = fm.tightBoundingRect(QStringLiteral("Йрру"));
            EXPECT_GE(ink.top(), -fm.ascent() - (bold ? 1 : 0)) << c.pixels;
            EXPECT_LT(ink.bottom(), fm.descent()) << c.pixels;
        }
    }
    // The widths the layouts were made for stay those of the face.
    EXPECT_EQ(QFontMetrics(Tahoma(13)).horizontalAdvance(QStringLiteral("13 Взятие Снятие Тиврон-А программатор")), 253);
}

TEST(DesignFonts, BoldTahomaIsDrawnBoldAtTheRegularWidths)
{
    const QString line = QStringLiteral("13 Взятие Снятие Тиврон-А программатор");
    for (const int pixels : {11, 13, 16, 19}) {
        const QFont regular = Tahoma(pixels);
        const QFont bold = Tahoma(pixels, true);
        EXPECT_GT(DarkPixels(bold, line) * 10, DarkPixels(regular, line) * 13) << pixels;
        EXPECT_EQ(QFontMetrics(bold).horizontalAdvance(line), QFontMetrics(regular).horizontalAdvance(line)) << pixels;
        QFont boldItalic = bold;
        boldItalic.setItalic(true);
        EXPECT_GT(DarkPixels(boldItalic, line) * 10, DarkPixels(regular, line) * 13) << pixels;
    }
}

namespace {

// One letter on white, in an image of the same size for every letter of the font.
QImage Drawn(const QFont &font, const QString &text)
{
    const QFontMetrics fm(font);
    QImage image(3 * fm.height(), fm.height() + 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(4, 4 + fm.ascent()), text);
    return image;
}

// The ink of a letter's own part (the breve of "й", the stroke of "Ы"): what the letter draws beyond
// its base letter drawn at the same place.
int PartInk(const QFont &font, const QString &letter, const QString &base)
{
    const QImage whole = Drawn(font, letter), rest = Drawn(font, base);
    int ink = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            ink += std::max(0, qGray(rest.pixel(x, y)) - qGray(whole.pixel(x, y)));
    return ink;
}

} // namespace

// The synthesised bold grows every part of a letter, the separate ones too: the breve of "й" and the
// stroke of "Ы" are as much darker than their regular as the rest of a bold word (a composite letter's
// accent too).
TEST(DesignFonts, BoldLettersKeepEveryPart)
{
    struct Case {
        const char *letter, *base;
    };
    const Case cases[] = {{"й", "и"}, {"Й", "И"}, {"ѝ", "и"}, {"Ѝ", "И"}, {"Ы", "Ь"}, {"Ő", "O"}, {"ű", "u"}};
    for (const int pixels : {11, 13, 16})
        for (const Case &c : cases) {
            const QString letter = QString::fromUtf8(c.letter), base = QString::fromUtf8(c.base);
            const int regular = PartInk(Tahoma(pixels), letter, base);
            const int bold = PartInk(Tahoma(pixels, true), letter, base);
            EXPECT_GT(regular, 0) << c.letter << " at " << pixels;
            EXPECT_GE(bold * 10, regular * 12) << c.letter << " at " << pixels << ": " << bold << " against " << regular;
        }
}

// Menus, pop-up menus, hints and Qt's dialogs are drawn in the design's dialog face.
TEST(DesignFonts, QtsOwnWindowsUseTheDialogFace)
{
    QMenu menu;
    QFileDialog dialog;
    for (const QFont &f : {menu.font(), QToolTip::font(), dialog.font(), QApplication::font()}) {
        EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(QFontInfo(f).pixelSize(), 11);
    }
}

// The face file is read from the machine: a damaged one must not take the program down.
TEST(DesignFonts, DamagedFaceFilesAreLeftAsTheyAre)
{
    QByteArray directory(12, '\0');
    directory[5] = char(200); // 200 tables, none of them there
    QByteArray table = directory + QByteArray("OS/2") + QByteArray(4, '\0') + QByteArray("\x7f\xff\xff\xff", 4) +
                       QByteArray(4, '\0');
    for (const QByteArray &data : {QByteArray(), QByteArray(3, 'x'), directory, table})
        EXPECT_EQ(WithWindowsLineMetrics(data), data);
}
