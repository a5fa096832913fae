#pragma once
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Kinds of message (the picture shown).
enum MsgKind { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3 };

// Buttons, combined as a bit set: MsgButtons(mbYes) | MsgButtons(mbNo).
enum MsgButton : unsigned { mbYes = 1u << 0, mbNo = 1u << 1, mbOK = 1u << 2, mbCancel = 1u << 3 };
using MsgButtons = unsigned;

// Modal results.
enum MsgResult { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// The program-wide message dialog; blocks until it closes and returns the modal result.
int ShowMessageDlg(const QString &text, int kind, MsgButtons buttons, int helpContext = 0);

// Tests answer messages without a modal loop: the hook sees every message and gives the result.
using MessageDlgHook = std::function<int(const QString &text, int kind, MsgButtons buttons)>;
void SetMessageDlgHook(MessageDlgHook hook);

// Every line break becomes CR LF and one empty line between two lines goes: four replace-all passes,
// "\r\n" -> "\n", "\n\r" -> "\n", "\n\n" -> "\n", "\n" -> "\r\n", none rescanning its own output.
QString NormalizeLineBreaks(const QString &text);

// The dialog of one message. The buttons keep their places whichever of them show.
class TMessageDialogForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageDialogForm(QWidget *parent = nullptr);

    // Picture, text and buttons of the message.
    void Prepare(const QString &text, int kind, MsgButtons buttons);
    // The message as shown, line breaks normalised.
    QString MessageText() const { return Text; }

    QLabel *imgInformation, *imgConfirm, *imgWarning, *imgError;
    QPlainTextEdit *txtMessage;
    QPushButton *btnYes, *btnNo, *btnCancel, *btnOK;

    void btnYesClick();
    void btnNoClick();
    void btnOKClick();
    void btnCancelClick();

public slots:
    // The close box and the system's close command answer Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString Text;
};
