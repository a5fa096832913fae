#pragma once
// What the engineer sees in the next file dialog the code opens; the dialog is then cancelled.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

struct SeenFileDialog {
    bool shown = false;
    bool native = false; // left to the desktop, whose texts are not the program's
    QString cancelText;
};

// Qt's file dialog keeps its state (its columns, view and folders) in the user's Qt settings: a dialog
// a test opens starts from none and leaves the user's own alone.
class FreshFileDialogSettings {
public:
    FreshFileDialogSettings() { UseSettingsIn(dir_.path()); }
    ~FreshFileDialogSettings()
    {
        UseSettingsIn(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    FreshFileDialogSettings(const FreshFileDialogSettings &) = delete;
    FreshFileDialogSettings &operator=(const FreshFileDialogSettings &) = delete;

private:
    static void UseSettingsIn(const QString &folder)
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    }
    QTemporaryDir dir_;
};

// look, when given, sees the dialog before it is cancelled.
inline SeenFileDialog CancelNextFileDialog(const std::function<void()> &open,
                                           const std::function<void(QFileDialog *)> &look = {})
{
    const FreshFileDialogSettings settings;
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
