#pragma once
#include <QString>

#include <functional>

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
