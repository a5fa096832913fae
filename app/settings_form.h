#pragma once
#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QSpinBox;

// The settings dialog: the adapter number and the progress window's closing delay (and the hidden
// default-data flag). "Применить" stores them in the globals and rewrites the settings file at once.
class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSettingsForm(QWidget *owner = nullptr);

    QFrame *Panel1;
    QLabel *Label2, *Label5;
    // Typing may leave the range for a moment; the value is brought to the nearest bound when the
    // field is left or Enter is pressed.
    QSpinBox *CSpinEdit_Device, *CSpinEdit_ShowLoading;
    QCheckBox *CheckBox_WarningDefaultData; // never shown, but carries its flag in and out
    QPushButton *btnOK, *btnCancel;

    void FormShow();
    // Throws when the settings file cannot be written; the dialog then stays open.
    void btnOKClick();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

extern TSettingsForm *SettingsForm; // kept for the old interface; never set
