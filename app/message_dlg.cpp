#include "app/message_dlg.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "platform/fonts.h"
#include "platform/jpeg_image.h"

// Resources of a static library are registered by hand; the macro must stand outside any namespace.
static void InitMessagePictures() { Q_INIT_RESOURCE(message_pictures); }

namespace {
MessageDlgHook &Hook()
{
    static MessageDlgHook hook;
    return hook;
}

QPixmap KindPicture(const char *name)
{
    InitMessagePictures();
    QFile file(QStringLiteral(":/message/%1.jpg").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QPixmap::fromImage(DecodeJpeg(file.readAll()));
}

QLabel *MakePicture(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setGeometry(2, 2, 64, 64);
    label->setPixmap(KindPicture(name));
    label->hide();
    return label;
}

QPushButton *MakeButton(QWidget *parent, const QString &caption, QStyle::StandardPixmap glyph, QRect place)
{
    auto *button = new QPushButton(parent->style()->standardIcon(glyph), caption, parent);
    button->setGeometry(place);
    button->setIconSize(QSize(12, 12));
    button->setAutoDefault(true); // Enter acts on the focused button
    button->setDefault(false);
    button->hide();
    return button;
}
} // namespace

void SetMessageDlgHook(MessageDlgHook hook) { Hook() = std::move(hook); }

QString NormalizeLineBreaks(const QString &text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    s.replace(QStringLiteral("\n\n"), QStringLiteral("\n"));
    s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return s;
}

TMessageDialogForm::TMessageDialogForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("ТИВРОН-Diva"));
    setFixedSize(457, 169);
    setFont(DesignFont(QStringLiteral("MS Sans Serif"), 11));

    imgInformation = MakePicture(this, "information");
    imgConfirm = MakePicture(this, "confirmation");
    imgWarning = MakePicture(this, "warning");
    imgError = MakePicture(this, "error");

    txtMessage = new QPlainTextEdit(this);
    txtMessage->setGeometry(64, 2, 385, 127);
    txtMessage->setReadOnly(true);
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMessage->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    btnYes = MakeButton(this, QStringLiteral("Да"), QStyle::SP_DialogYesButton, {64, 136, 65, 25});
    btnNo = MakeButton(this, QStringLiteral("Нет"), QStyle::SP_DialogNoButton, {136, 136, 65, 25});
    btnCancel = MakeButton(this, QStringLiteral(" Отмена "), QStyle::SP_DialogCancelButton, {304, 136, 81, 25});
    btnOK = MakeButton(this, QStringLiteral(" OK "), QStyle::SP_DialogOkButton, {392, 136, 57, 25});
    setTabOrder(btnYes, btnNo);
    setTabOrder(btnNo, btnCancel);
    setTabOrder(btnCancel, btnOK);
    setTabOrder(btnOK, txtMessage);

    connect(btnYes, &QPushButton::clicked, this, &TMessageDialogForm::btnYesClick);
    connect(btnNo, &QPushButton::clicked, this, &TMessageDialogForm::btnNoClick);
    connect(btnOK, &QPushButton::clicked, this, &TMessageDialogForm::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TMessageDialogForm::btnCancelClick);
}

void TMessageDialogForm::Prepare(const QString &text, int kind, MsgButtons buttons)
{
    imgWarning->setVisible(kind == mtWarning);
    imgError->setVisible(kind == mtError);
    imgInformation->setVisible(kind == mtInformation);
    imgConfirm->setVisible(kind == mtConfirmation);

    Text = NormalizeLineBreaks(text);
    // The text box breaks lines at LF; a lone CR is kept as it is.
    QString shown = Text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtMessage->setPlainText(shown);

    btnYes->setVisible(buttons & mbYes);
    btnNo->setVisible(buttons & mbNo);
    btnOK->setVisible(buttons & mbOK);
    btnCancel->setVisible(buttons & mbCancel);
}

void TMessageDialogForm::btnYesClick() { done(mrYes); }
void TMessageDialogForm::btnNoClick() { done(mrNo); }
void TMessageDialogForm::btnOKClick() { done(mrOk); }
void TMessageDialogForm::btnCancelClick() { done(mrCancel); }

void TMessageDialogForm::reject() { done(mrCancel); }

void TMessageDialogForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    for (QPushButton *b : {btnYes, btnNo, btnCancel, btnOK})
        if (!b->isHidden()) {
            b->setFocus(Qt::OtherFocusReason);
            break;
        }
}

void TMessageDialogForm::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape: // Esc does nothing here
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Only a focused button answers Enter; the buttons handle it themselves.
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

int ShowMessageDlg(const QString &text, int kind, MsgButtons buttons, int)
{
    const QString message = text;
    if (Hook())
        return Hook()(message, kind, buttons);
    TMessageDialogForm dialog(QApplication::activeWindow());
    dialog.Prepare(message, kind, buttons);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(screen->geometry().center());
        dialog.move(frame.topLeft());
    }
    return dialog.exec();
}
