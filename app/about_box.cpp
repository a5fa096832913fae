#include "app/about_box.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QWindow>

#include "app/guard.h"
#include "app/version_strings.h"
#include "platform/fonts.h"
#include "platform/jpeg_image.h"

TAboutForm *AboutForm = nullptr;

// Resources of a static library are registered by hand; the macro must stand outside any namespace.
static void InitAboutPicture() { Q_INIT_RESOURCE(about_picture); }

namespace {
QPixmap AboutPicture()
{
    InitAboutPicture();
    QFile file(QStringLiteral(":/about/about.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QPixmap::fromImage(DecodeJpeg(file.readAll()));
}

QLabel *MakeLabel(QWidget *parent, const QString &text, int left, int top, int pixelSize, bool bold,
                  const QString &family = QString())
{
    auto *label = new QLabel(text, parent);
    QFont f = label->font();
    if (!family.isEmpty())
        f.setFamily(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    label->setFont(f);
    label->adjustSize();
    label->move(left, top);
    return label;
}

void MakeBlue(QLabel *label)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 0xFF));
    label->setPalette(p);
}
} // namespace

TAboutForm::TAboutForm(QWidget *owner, QByteArray versionResource)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), VersionResource(std::move(versionResource))
{
    StartSystemMove = [](QWindow *window) { return window->startSystemMove(); };
    setFixedSize(350, 300);
    setFont(Tahoma(13)); // the face of the labels that name none

    imageAbout = new QLabel(this);
    imageAbout->setGeometry(0, 0, 350, 300);
    imageAbout->setPixmap(AboutPicture());
    imageAbout->installEventFilter(this);

    Label6 = MakeLabel(this, QStringLiteral("программатор"), 159, 48, 24, true, QStringLiteral("Comic Sans MS"));
    Label3 = MakeLabel(this, QStringLiteral("Программа для конфигурирования"), 48, 120, 13, true);
    Label4 = MakeLabel(this, QStringLiteral("приборов ИСБ \"Тиврон\""), 80, 142, 13, true);
    Label_Version = MakeLabel(this, QStringLiteral("Версия: x.x.x.x"), 120, 192, 13, true);
    labMaker = MakeLabel(this, QStringLiteral("ООО \"Тиврон-Системы\""), 16, 232, 13, true, QStringLiteral("Arial"));
    labWebAddress = MakeLabel(this, QStringLiteral("www.tivron.example"), 16, 254, 13, false);
    MakeBlue(labWebAddress);
    labEmail = MakeLabel(this, QStringLiteral("support@tivron.example"), 16, 276, 13, false);
    MakeBlue(labEmail);
    labEmail->hide();

    btnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("  OK"), this);
    btnOk->setGeometry(275, 267, 59, 25);
    btnOk->setIconSize(QSize(12, 12));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnOkClick(); }); });
}

void TAboutForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void TAboutForm::keyPressEvent(QKeyEvent *event)
{
    // The box closes only through its button (Enter presses it).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutForm::FormShow()
{
    QString version;
    ReadVersionStrings(version, VersionResource);
    Label_Version->setText(QStringLiteral("Версия: ") + version);
    Label_Version->adjustSize();
}

void TAboutForm::btnOkClick() { done(QDialog::Accepted); }

void TAboutForm::imageAboutMouseDown(const QPoint &globalPos)
{
    if (windowState() & Qt::WindowMaximized)
        return;
    QWindow *window = windowHandle();
    if (window && StartSystemMove && StartSystemMove(window))
        return;
    // The window system cannot move it: follow the mouse until the button is released.
    Dragging = true;
    DragOffset = globalPos - pos();
}

bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != imageAbout)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const QPoint at = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        RunGuarded([&] { imageAboutMouseDown(at); });
        return true;
    }
    case QEvent::MouseMove:
        if (Dragging) {
            move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - DragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (Dragging) {
            Dragging = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}
