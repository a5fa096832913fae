#include "app/guard.h"

#include <exception>

#include "app/message_dlg.h"

void ShowException(const QString &message) { ShowMessageDlg(message, mtError, mbOK); }

void ShowCurrentException()
{
    try {
        throw;
    } catch (const std::exception &e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowException(QString());
    }
}

void RunGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (...) {
        try {
            ShowCurrentException();
        } catch (...) {
            // showing failed too: nothing more may leave a handler
        }
    }
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        try {
            ShowCurrentException();
        } catch (...) {
        }
    }
    return false;
}
