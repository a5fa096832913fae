// The configuration write of the main window: "Записать конфигурацию".
#include <memory>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/config_files.h"
#include "editor/config_read.h"
#include "editor/config_write.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "link/exchange.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_form.h"
#include "model/config_tree.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"

namespace {
WriteConfirmation g_confirmation;
} // namespace

void SetWriteConfirmationHook(WriteConfirmation hook) { g_confirmation = std::move(hook); }

int ConfirmWriteDevice(TSelectDeviceForm &dialog) { return g_confirmation ? g_confirmation(dialog) : dialog.Execute(); }

void TMainForm::actWriteExecute()
{
    EndCellEditing(); // the device gets what the pages show
    if (!RequirePages())
        return;
    const std::shared_ptr<CTreeNode> device = CurrentDevice;
    CDevice *d = device->device();
    if (!ConfigForm)
        return;

    {
        TSelectDeviceForm dialog(this, false, ConfigForm->tvConfig->items(), CataloguePath(ProgramDir));
        dialog.PresetDevice(device.get(), d->device_addr);
        if (ConfirmWriteDevice(dialog) != mrOk)
            return;
        const TDeviceChoice choice = dialog.Choice();
        if (!choice.Model)
            return;
        // The dialog changes the catalogue's node of that name; the open device may be a node the
        // catalogue held before a reload.
        d->device_addr = choice.Address;
    }

    uint8_t wire = 0;
    if (!WireAddressOf(d->device_addr, wire)) {
        ShowMessageDlg(BadRequestAddressText, mtError, mbOK);
        return;
    }
    const TWritePages pages{
        [this](int n) -> const CParamPage * {
            auto *list = FindComponent<CParamListView>(QStringLiteral("lvQ") + QString::number(n), PageControl, 3);
            return list ? &list->Page() : nullptr;
        },
        [this](int n) -> const CTree * {
            auto *tree = FindComponent<CTreeView>(QStringLiteral("tvKey") + QString::number(n), PageControl, 3);
            return tree ? &tree->items() : nullptr;
        }};
    // Built and checked whole before the adapter is touched: a value that cannot be encoded never
    // leaves the device half-written.
    QStringList list;
    try {
        list = BuildWritePacketList(*device, PageIds, wire, pages);
    } catch (const CPacketBuildError &e) {
        ShowMessageDlg(e.Message(), mtError, mbOK);
        return;
    }

    ExchangeScope exchange; // until the read-back holds its own
    ListSendFailure failure = ListSendFailure::None;
    if (!SendPacketList(list, &failure)) {
        // A failed connection has been shown by the sender; a list that stopped part way is a failed
        // write, and the pages keep the engineer's values.
        if (failure == ListSendFailure::Packet)
            ShowMessageDlg(WriteStoppedText, mtError, mbOK);
        return;
    }
    // Another configuration opened while the packets went out is not replaced by this device's.
    if (CurrentDevice != device)
        return;
    // The read-back asks for the keys just written, so a key added since the last read shows too.
    CopyKeyListFromPages(*this);
    // The read-back frees the pages before it asks; a device that never answers gets them back.
    RequestConfiguration(*this, *device, ConfigFileFromPages(*device, PageIds, PageControl));
}
