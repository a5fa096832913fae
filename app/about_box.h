#pragma once
#include <QByteArray>
#include <QDialog>
#include <QPoint>

#include <functional>

#include "platform/version_info.h"

class QLabel;
class QPushButton;
class QWindow;

// The borderless about box: what the program is and its file version. Pressing the picture drags it.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // versionResource: the version table whose file version the box shows (the executable's own).
    explicit TAboutForm(QWidget *owner = nullptr, QByteArray versionResource = ExecutableVersionResource());

    QLabel *imageAbout;
    QLabel *Label6, *Label3, *Label4, *Label_Version;
    QLabel *labMaker, *labWebAddress, *labEmail;
    QPushButton *btnOk;

    // Hands the drag to the window system; false when it cannot, and the box then follows the mouse
    // itself until the button is released. Tests replace it.
    std::function<bool(QWindow *)> StartSystemMove;

    void FormShow();
    void btnOkClick();
    void imageAboutMouseDown(const QPoint &globalPos);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QByteArray VersionResource;
    bool Dragging = false;
    QPoint DragOffset; // from the mouse to the window's top left
};

using TAboutBox = TAboutForm;

extern TAboutForm *AboutForm; // kept for the old interface; never set
