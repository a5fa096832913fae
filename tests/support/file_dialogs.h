#pragma once
// What the engineer sees in the next file dialog the code opens; the dialog is then cancelled.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QString>
#include <QTimer>

#include <functional>

struct SeenFileDialog {
    bool shown = false;
    bool native = false; // left to the desktop, whose texts are not the program's
    QString cancelText;
};

// look, when given, sees the dialog before it is cancelled.
inline SeenFileDialog CancelNextFileDialog(const std::function<void()> &open,
                                           const std::function<void(QFileDialog *)> &look = {})
{
    SeenFileDialog seen;
    QTimer watch;
    watch.setInterval(10);
    bool looking = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || looking)
            return;
        seen.shown = true;
        seen.native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        if (auto *box = dialog->findChild<QDialogButtonBox *>())
            if (QPushButton *cancel = box->button(QDialogButtonBox::Cancel))
                seen.cancelText = cancel->text();
        if (look) {
            looking = true; // look may wait for the dialog's folder to load
            look(dialog);
            looking = false;
        }
        dialog->reject();
    });
    watch.start();
    open();
    return seen;
}
