#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QStyle>

#include "platform/tool_icons.h"
#include "tests/support/picture_check.h"

// Every picture of the tool bars looks plainly different disabled, grey and pale, the grey bin and the
// pale page too, whose greying by the style looks as they do enabled.
TEST(ToolIcons, DisabledPicturesArePlainlyPaleAndGrey)
{
    const QStyle::StandardPixmap pictures[] = {
        QStyle::SP_DialogDiscardButton,   QStyle::SP_FileIcon,           QStyle::SP_DialogApplyButton,
        QStyle::SP_ArrowUp,               QStyle::SP_ArrowDown,          QStyle::SP_BrowserReload,
        QStyle::SP_DialogOpenButton,      QStyle::SP_DialogSaveButton,   QStyle::SP_FileDialogDetailedView,
        QStyle::SP_DriveNetIcon,          QStyle::SP_FileDialogInfoView, QStyle::SP_FileDialogContentsView,
        QStyle::SP_DialogHelpButton};
    const QColor face = QApplication::palette().color(QPalette::Window); // the tool bars' background
    for (const QStyle::StandardPixmap picture : pictures)
        for (const int side : {16, 24, 32}) {
            const QIcon icon = ToolIcon(picture);
            const QImage normal = OnBackground(icon.pixmap(QSize(side, side), QIcon::Normal), face);
            const QImage disabled = OnBackground(icon.pixmap(QSize(side, side), QIcon::Disabled), face);
            EXPECT_GT(ChangedShare(normal, disabled, face), 0.4) << picture << " at " << side;
            int colour = 0;
            for (int y = 0; y < disabled.height(); ++y)
                for (int x = 0; x < disabled.width(); ++x) {
                    const QColor c = disabled.pixelColor(x, y);
                    colour = std::max(colour, std::max({c.red(), c.green(), c.blue()}) -
                                                  std::min({c.red(), c.green(), c.blue()}));
                }
            EXPECT_LE(colour, 2) << picture << " at " << side;
        }
}

// A picture is made once, whichever window asks for it and however often.
TEST(ToolIcons, EachPictureIsMadeOnce)
{
    EXPECT_EQ(ToolIcon(QStyle::SP_FileIcon).cacheKey(), ToolIcon(QStyle::SP_FileIcon).cacheKey());
    EXPECT_NE(ToolIcon(QStyle::SP_FileIcon).cacheKey(), ToolIcon(QStyle::SP_ArrowUp).cacheKey());
}
