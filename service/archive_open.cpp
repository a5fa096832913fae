#include "service/archive_open.h"

#include <memory>

#include "app/message_dlg.h"
#include "editor/config_read.h"
#include "service/archive_aspt.h"
#include "service/archive_aspt_a.h"

namespace {

// address is the device's address as the engineer sees it (1-255); the window asks with
// the wire address, one less. Another address would not fit the requests' address byte.
template <class Form>
void ShowArchive(QWidget *owner, int address)
{
    if (address < 1 || address > 255) {
        ShowMessageDlg(BadRequestAddressText, mtError, mbOK);
        return;
    }
    // Freed only after exec() returns, when no tick of it is still waiting.
    auto form = std::make_unique<Form>(owner);
    form->AddressHex = ArchiveAddressHex(address - 1);
    form->exec();
}

} // namespace

void ShowArchiveASPT(QWidget *owner, int address)
{
    ShowArchive<TArchiveASPTForm>(owner, address);
}

void ShowArchiveASPT_A(QWidget *owner, int address)
{
    ShowArchive<TArchiveASPT_AForm>(owner, address);
}
