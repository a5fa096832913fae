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

inline SeenFileDialog CancelNextFileDialog(const std::function<void()> &open)
{
    SeenFileDialog seen;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen.shown = true;
        seen.native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        if (auto *box = dialog->findChild<QDialogButtonBox *>())
            if (QPushButton *cancel = box->button(QDialogButtonBox::Cancel))
                seen.cancelText = cancel->text();
        dialog->reject();
    });
    watch.start();
    open();
    return seen;
}
