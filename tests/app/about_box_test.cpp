#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "app/about_box.h"
#include "platform/version_info.h"

namespace {
void SendMouse(QWidget *target, QEvent::Type type, QPoint global)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, target->mapFromGlobal(global), global,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
} // namespace

TEST(AboutBox, LooksAsDesignedAndShowsTheFileVersion)
{
    TAboutForm box;
    EXPECT_EQ(box.Label_Version->text(), QStringLiteral("Версия: x.x.x.x"));
    box.show();
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(box.size(), QSize(350, 300));
    EXPECT_EQ(box.imageAbout->geometry(), QRect(0, 0, 350, 300));
    ASSERT_FALSE(box.imageAbout->pixmap().isNull());
    EXPECT_EQ(box.imageAbout->pixmap().size(), QSize(350, 300));
    EXPECT_EQ(box.Label6->text(), QStringLiteral("программатор"));
    EXPECT_EQ(box.Label6->pos(), QPoint(159, 48));
    EXPECT_EQ(box.Label6->font().pixelSize(), 24);
    EXPECT_EQ(box.Label3->text(), QStringLiteral("Программа для конфигурирования"));
    EXPECT_EQ(box.Label3->pos(), QPoint(48, 120));
    EXPECT_EQ(box.Label4->text(), QStringLiteral("приборов ИСБ \"Тиврон\""));
    EXPECT_EQ(box.Label4->pos(), QPoint(80, 142));
    EXPECT_EQ(box.Label_Version->text(), QStringLiteral("Версия: ") + ExecutableFileVersion());
    EXPECT_FALSE(ExecutableFileVersion().isEmpty());
    EXPECT_EQ(box.Label_Version->pos(), QPoint(120, 192));
    EXPECT_TRUE(box.labMaker->isVisible());
    EXPECT_TRUE(box.labWebAddress->isVisible());
    EXPECT_FALSE(box.labEmail->isVisible());
    EXPECT_EQ(box.btnOk->text(), QStringLiteral("  OK"));
    EXPECT_EQ(box.btnOk->geometry(), QRect(275, 267, 59, 25));
    EXPECT_TRUE(box.btnOk->isDefault());
    // Every text fits inside the box.
    for (QLabel *l : {box.Label6, box.Label3, box.Label4, box.Label_Version, box.labMaker, box.labWebAddress})
        EXPECT_TRUE(box.rect().contains(l->geometry())) << l->text().toStdString();
}

TEST(AboutBox, WithoutAUsableVersionTableTheLabelReadsVersionOnly)
{
    const QByteArray shortTranslation = BuildVersionBlock({
        {QStringLiteral("\\VarFileInfo\\Translation"), QByteArray("\x19\x04", 2)},
        {QStringLiteral("\\StringFileInfo\\041904E3\\FileVersion"), QByteArray("9.9.9.9")},
    });
    for (const QByteArray &resource : {shortTranslation, QByteArray()}) {
        TAboutForm box(nullptr, resource);
        box.show();
        EXPECT_EQ(box.Label_Version->text(), QStringLiteral("Версия: "));
    }
}

TEST(AboutBox, OkClosesWithResultOne)
{
    TAboutForm box;
    box.show();
    QTest::mouseClick(box.btnOk, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), 1);

    TAboutForm other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(&other, Qt::Key_Escape); // only the button closes it
    EXPECT_TRUE(other.isVisible());
    QTest::keyClick(&other, Qt::Key_Return);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(other.result(), 1);
}

TEST(AboutBox, PressingThePictureDragsTheBox)
{
    TAboutForm box;
    int systemMoves = 0;
    bool systemCanMove = true;
    box.StartSystemMove = [&](QWindow *window) {
        EXPECT_EQ(window, box.windowHandle());
        ++systemMoves;
        return systemCanMove;
    };
    box.show();
    box.move(100, 100);
    const QPoint start = box.mapToGlobal(QPoint(20, 200));

    // The window system takes the drag.
    SendMouse(box.imageAbout, QEvent::MouseButtonPress, start);
    SendMouse(box.imageAbout, QEvent::MouseMove, start + QPoint(30, 10));
    SendMouse(box.imageAbout, QEvent::MouseButtonRelease, start + QPoint(30, 10));
    EXPECT_EQ(systemMoves, 1);
    EXPECT_EQ(box.pos(), QPoint(100, 100));

    // It cannot: the box follows the mouse until the button is released.
    systemCanMove = false;
    SendMouse(box.imageAbout, QEvent::MouseButtonPress, start);
    SendMouse(box.imageAbout, QEvent::MouseMove, start + QPoint(30, 10));
    EXPECT_EQ(box.pos(), QPoint(130, 110));
    SendMouse(box.imageAbout, QEvent::MouseMove, start + QPoint(-20, 40));
    EXPECT_EQ(box.pos(), QPoint(80, 140));
    SendMouse(box.imageAbout, QEvent::MouseButtonRelease, start + QPoint(-20, 40));
    SendMouse(box.imageAbout, QEvent::MouseMove, start + QPoint(90, 90));
    EXPECT_EQ(box.pos(), QPoint(80, 140));
    EXPECT_EQ(systemMoves, 2);

    // A maximised box does not move.
    box.setWindowState(Qt::WindowMaximized);
    const QPoint at = box.pos();
    SendMouse(box.imageAbout, QEvent::MouseButtonPress, box.mapToGlobal(QPoint(20, 200)));
    SendMouse(box.imageAbout, QEvent::MouseMove, box.mapToGlobal(QPoint(60, 260)));
    EXPECT_EQ(systemMoves, 2);
    EXPECT_EQ(box.pos(), at);
}
