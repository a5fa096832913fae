#include "app/guard.h"

#include <exception>

#include "app/message_dlg.h"

void RunGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        ShowMessageDlg(QString::fromUtf8(e.what()), mtError, mbOK);
    } catch (...) {
        ShowMessageDlg(QString(), mtError, mbOK);
    }
}
