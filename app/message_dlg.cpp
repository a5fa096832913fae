#include "app/message_dlg.h"

namespace {
MessageDlgHook &Hook()
{
    static MessageDlgHook hook;
    return hook;
}
} // namespace

void SetMessageDlgHook(MessageDlgHook hook) { Hook() = std::move(hook); }

int ShowMessageDlg(const QString &text, int kind, MsgButtons buttons, int)
{
    if (Hook())
        return Hook()(text, kind, buttons);
    return mrCancel;
}
