#include "app/loading_form.h"

#include <exception>

#include <QFont>
#include <QLabel>
#include <QPalette>

#include "app/settings.h"
#include "platform/colors.h"
#include "platform/event_loop.h"
#include "platform/fonts.h"

TLoadingForm *LoadingForm = nullptr;

namespace {
StatusHook &Hook()
{
    static StatusHook hook;
    return hook;
}
} // namespace

void SetStatusHook(StatusHook hook) { Hook() = std::move(hook); }

int ShowStatus(const QString &text, int mode)
{
    if (Hook()) {
        Hook()(text, mode);
        return 0;
    }
    if (LoadingForm)
        return LoadingForm->ShowStatus(text, mode);
    try {
        ProcessMessages();
    } catch (...) {
        return 2;
    }
    return 0;
}

TLoadingForm::TLoadingForm(QWidget *owner, std::unique_ptr<ITimerBackend> timerBackend)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      Timer1(this, std::move(timerBackend)), Owner(owner)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(402, 217);
    setFont(Tahoma(11)); // the status line's face
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorFromWin(0xEBB99D));
    setPalette(pal);

    Label1 = new QLabel(QStringLiteral(" О б р а б о т к а   з а п р о с а "), this);
    Label1->setGeometry(48, 80, 298, 23);
    Label1->setAlignment(Qt::AlignCenter);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(19);
    f.setBold(true);
    f.setItalic(true);
    Label1->setFont(f);

    Panel1 = new QLabel(this);
    Panel1->setGeometry(0, height() - 25, width(), 25);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAlignment(Qt::AlignCenter);

    Timer1.SetOnTimer([this] { Timer1Timer(); });
}

QString TLoadingForm::StatusText() const { return Panel1->text(); }

void TLoadingForm::Timer1Timer()
{
    Timer1.SetInterval(0);
    close();
}

void TLoadingForm::ShowBesideOwner()
{
    if (Owner) {
        QRect r = frameGeometry();
        r.moveCenter(Owner->frameGeometry().center());
        move(r.topLeft());
    }
    show();
    raise();
}

int TLoadingForm::ShowStatus(const QString &text, int mode)
{
    const QString status = text;
    try {
        if (!isVisible())
            ShowBesideOwner();
        switch (mode) {
        case 0:
            Panel1->setText(status);
            close();
            break;
        case 1:
            Panel1->setText(status);
            break;
        case 2:
            Panel1->setText(status);
            // An armed timer is not restarted by the same interval: the first deadline holds.
            Timer1.SetInterval(::ShowLoading);
            break;
        default:
            break;
        }
        ProcessMessages();
    } catch (...) {
        return 2;
    }
    return 0;
}
