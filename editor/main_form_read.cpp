// The configuration read of the main window: "Считать конфигурацию" and the collection ticks of Timer1.
#include <memory>

#include <QAction>
#include <QGuiApplication>

#include "app/message_dlg.h"
#include "editor/config_read.h"
#include "editor/main_form.h"
#include "link/select_device_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_form.h"
#include "model/config_tree.h"
#include "model/device_addresses.h"
#include "model/read_tree.h"
#include "model/tree_model.h"

namespace {

// The read gave up: the adapter goes and no collection runs.
void StopRead(TMainForm &form)
{
    UsbCan.Disconnect();
    form.Timer1.SetInterval(0);
}

class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

void TMainForm::actReadExecute()
{
    if (!ConfigForm)
        return;
    // The device whose pages are open: a read of it asks for the keys its key page holds.
    const std::shared_ptr<CTreeNode> shown = HasPages() ? CurrentDevice : nullptr;
    const QString catalogue = CataloguePath(ProgramDir);
    LoadXmlToTree(catalogue, ConfigForm->tvConfig);
    LinkPump &pump = CurrentLinkPump();
    pump.Status(ConnectingText, 1);
    const int code = UsbCan.Connect();
    if (code != 0) {
        pump.Status(ConnectFailedText + IntToText(code), 2);
        StopRead(*this);
        return;
    }

    CTree &models = ConfigForm->tvConfig->items();
    auto dialog = std::make_unique<TSelectDeviceForm>(this, true, models, catalogue);
    pump.Status(ConnectedText, 0);
    // The open pages keep their device until the request replaces them: a cancelled read leaves
    // them to be saved or written.
    UsbCan.RxPackets.clear();
    SaveDeviceAddresses(models, catalogue);
    // The devices the dialog finds are looked up in the catalogue as the file now holds it.
    LoadXmlToTree(catalogue, ConfigForm->tvConfig);

    if (dialog->Execute() != mrOk) {
        StopRead(*this);
        return;
    }
    const TDeviceChoice choice = dialog->Choice();
    dialog.reset();
    if (!choice.Model || !choice.Model->device()) {
        StopRead(*this); // nothing chosen: as a cancel
        return;
    }
    CTreeNode *model = nullptr;
    for (CTreeNode *n = models.firstNode(); n && !model; n = n->nextSibling())
        if (n->device() && n->device()->device_id == choice.Model->device()->device_id)
            model = n;
    if (!model)
        model = choice.Model.get();
    ChooseReadKeyList(*this, shown.get(), *model, choice.Address);
    model->device()->device_addr = choice.Address;
    // A failed request has been shown and has disconnected; a refused address has been shown.
    if (RequestConfiguration(*this, *model) == kRequestAddressRefused)
        StopRead(*this);
}

void TMainForm::Timer1Timer()
{
    // Progress texts let messages through: no second tick may start meanwhile. The hold keeps the
    // timer counting, so the collection lasts its ticks of Usb_TimerSleep and not the ticks' work on
    // top, and whatever ends this tick leaves the timer enabled for the next request.
    const CTimer::Hold hold(Timer1);

    LinkPump &pump = CurrentLinkPump();
    if (!CollectionTick(UsbCan, pump))
        return;

    Timer1.SetInterval(0);
    struct ExchangeEnd {
        ~ExchangeEnd() { EndReadExchange(); }
    } exchangeEnd;
    pump.Status(CollectedText + IntToText(int(UsbCan.RxPackets.size())), 2);
    // Only the device the read asked gets pages from its packets; a read ended meanwhile (the
    // program closing) builds none.
    const TReadInProgress *read = CurrentRead();
    if (!read || !CurrentDevice || CurrentDevice != read->Device)
        return;
    const std::shared_ptr<CTreeNode> device = read->Device;
    if (read->PagesBefore && !AnsweredBy(UsbCan.RxPackets, read->Address)) {
        // Defaults in place of every value would pass for what the device holds, and lose the edits.
        RestorePages(*this, *device, *read->PagesBefore);
        EndReadExchange();
        ShowMessageDlg(WriteNotConfirmedText, mtError, mbOK);
        return;
    }
    CTree readBack;
    CTreeNode *values = nullptr;
    bool keptWritten = false;
    {
        BusyCursor busy;
        values = BuildReadTree(readBack, *device, UsbCan.RxPackets, KeyListTexts(KeyListView->items()));
        // A default in place of a value just written would pass for what the device holds, and a
        // Save would lose the edit.
        if (values && read->PagesBefore) {
            CTree written;
            if (const CTreeNode *w = PagesValuesTree(*read->PagesBefore, written))
                keptWritten = KeepWrittenValues(*values, *w);
        }
    }
    BuildDevicePages(device.get(), values, true);
    actSaveFile->setEnabled(true);
    if (keptWritten) {
        EndReadExchange();
        ShowMessageDlg(WritePartlyConfirmedText, mtWarning, mbOK);
    }
}
