#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/message_dlg.h"

TEST(NormalizeLineBreaks, Table)
{
    const struct {
        const char *in;
        const char *out;
    } cases[] = {
        {"a\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"a\n\nb", "a\r\nb"},         // one empty line goes
        {"a\n\n\nb", "a\r\n\r\nb"},   // three breaks become two
        {"a\r\n\r\nb", "a\r\nb"},
        {"a\n\rb", "a\r\nb"},
        {"a\rb", "a\rb"},             // a lone CR stays
        {"\n", "\r\n"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NormalizeLineBreaks(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(MessageDialog, ButtonsKeepTheirPlacesAndFocusGoesToTheFirst)
{
    TMessageDialogForm dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("ТИВРОН-Diva"));
    dlg.Prepare(QStringLiteral("Вопрос"), mtConfirmation, MsgButtons(mbYes) | MsgButtons(mbNo));
    dlg.show();
    EXPECT_TRUE(dlg.btnYes->isVisible());
    EXPECT_TRUE(dlg.btnNo->isVisible());
    EXPECT_FALSE(dlg.btnOK->isVisible());
    EXPECT_FALSE(dlg.btnCancel->isVisible());
    EXPECT_EQ(dlg.btnYes->geometry(), QRect(64, 136, 65, 25));
    EXPECT_EQ(dlg.btnNo->geometry(), QRect(136, 136, 65, 25));
    EXPECT_EQ(dlg.focusWidget(), dlg.btnYes);
    EXPECT_TRUE(dlg.imgConfirm->isVisible());
    EXPECT_FALSE(dlg.imgError->isVisible());
    EXPECT_FALSE(dlg.imgConfirm->pixmap().isNull());
    EXPECT_EQ(dlg.btnYes->text(), QStringLiteral("Да"));
    EXPECT_EQ(dlg.btnNo->text(), QStringLiteral("Нет"));

    TMessageDialogForm ok;
    ok.Prepare(QStringLiteral("Готово"), mtInformation, mbOK);
    ok.show();
    EXPECT_EQ(ok.btnOK->geometry(), QRect(392, 136, 57, 25));
    EXPECT_EQ(ok.btnOK->text(), QStringLiteral(" OK "));
    EXPECT_EQ(ok.focusWidget(), ok.btnOK);
    EXPECT_EQ(ok.txtMessage->toPlainText(), QStringLiteral("Готово"));

    TMessageDialogForm none;
    none.Prepare(QString(), 9, 0); // unknown kind: no picture, no button
    for (QLabel *img : {none.imgWarning, none.imgError, none.imgInformation, none.imgConfirm})
        EXPECT_TRUE(img->isHidden());
    for (QPushButton *b : {none.btnYes, none.btnNo, none.btnOK, none.btnCancel})
        EXPECT_TRUE(b->isHidden());
}

namespace {
// Runs the real modal dialog and lets act answer it once it is up.
int RunDialog(const QString &text, int kind, MsgButtons buttons, std::function<void(TMessageDialogForm *)> act)
{
    QTimer::singleShot(0, [act] {
        auto *dlg = qobject_cast<TMessageDialogForm *>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        act(dlg);
    });
    return ShowMessageDlg(text, kind, buttons);
}
} // namespace

TEST(MessageDialog, ResultsOfTheButtonsAndTheCloseBox)
{
    const MsgButtons yesNo = MsgButtons(mbYes) | MsgButtons(mbNo);
    const MsgButtons okCancel = MsgButtons(mbOK) | MsgButtons(mbCancel);
    EXPECT_EQ(RunDialog("q", mtConfirmation, yesNo, [](auto *d) { d->btnYes->click(); }), mrYes);
    EXPECT_EQ(RunDialog("q", mtConfirmation, yesNo, [](auto *d) { d->btnNo->click(); }), mrNo);
    EXPECT_EQ(RunDialog("w", mtWarning, okCancel, [](auto *d) { d->btnOK->click(); }), mrOk);
    EXPECT_EQ(RunDialog("w", mtWarning, okCancel, [](auto *d) { d->btnCancel->click(); }), mrCancel);
    EXPECT_EQ(RunDialog("q", mtConfirmation, yesNo, [](auto *d) { d->close(); }), mrCancel);
    // Esc does nothing; Enter answers with the focused button.
    EXPECT_EQ(RunDialog("q", mtConfirmation, yesNo,
                        [](auto *d) {
                            QTest::keyClick(d, Qt::Key_Escape);
                            EXPECT_TRUE(d->isVisible());
                            QTest::keyClick(d->btnYes, Qt::Key_Return);
                        }),
              mrYes);
}

TEST(MessageDialog, HookAnswersWithoutAWindow)
{
    QString seen;
    SetMessageDlgHook([&](const QString &text, int kind, MsgButtons buttons) {
        seen = text;
        EXPECT_EQ(kind, mtError);
        EXPECT_EQ(buttons, MsgButtons(mbOK));
        return mrOk;
    });
    EXPECT_EQ(ShowMessageDlg(QStringLiteral("Ошибка"), mtError, mbOK), mrOk);
    SetMessageDlgHook({});
    EXPECT_EQ(seen, QStringLiteral("Ошибка"));
}
