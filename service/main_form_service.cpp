#include "service/main_form_service.h"

#include <memory>
#include <utility>

#include "app/message_dlg.h"
#include "editor/config_read.h"
#include "editor/main_form.h"
#include "model/config_form.h"
#include "model/config_tree.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"
#include "service/change_address.h"
#include "service/chenge_addres_device.h"

namespace {

ServiceDialogRunner g_runner;

int RunDialog(QDialog &dialog) { return g_runner ? g_runner(dialog) : dialog.exec(); }

void ChangeAddress(TMainForm &form, AddressTarget target)
{
    if (!form.RequirePages())
        return;
    const std::shared_ptr<CTreeNode> device = form.CurrentDevice;
    int result = 0;
    {
        TFormChangeAddress dialog(form);
        dialog.ShowGroup(target);
        result = RunDialog(dialog);
    }
    // Another configuration opened meanwhile is not replaced by this device's. The device read back
    // is the open one: it is asked for the keys its page holds, not those of an earlier read.
    if (result == mrOk && form.CurrentDevice == device) {
        CopyKeyListFromPages(form);
        RequestConfiguration(form, *device);
    }
}

} // namespace

void SetServiceDialogRunner(ServiceDialogRunner runner) { g_runner = std::move(runner); }

void TMainForm::actChangeAddrDevExecute()
{
    if (!ConfigForm)
        return;
    TChengeAddresDeviceForm window(this, ConfigForm->tvConfig->items(), CataloguePath(ProgramDir));
    RunDialog(window);
}

void TMainForm::ChangeAddrDeviceClick() { ChangeAddress(*this, AddressTarget::Device); }
void TMainForm::ChangeAddrSenseClick() { ChangeAddress(*this, AddressTarget::Detector); }
void TMainForm::ChangeAddrModuleClick() { ChangeAddress(*this, AddressTarget::Module); }
