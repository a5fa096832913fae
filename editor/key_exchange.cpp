// The key page's exchange buttons: loading the selected key into the device and reading it back.
#include <QPointer>

#include <memory>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/config_read.h"
#include "editor/config_write.h"
#include "editor/key_packets.h"
#include "editor/key_page.h"
#include "editor/main_form.h"
#include "link/exchange.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_tree.h"

namespace {

const QString NoKeySelectedText = QStringLiteral("Не выбран ключ");
const QString ConfirmKeyLoadText = QStringLiteral("Подтвердите, что хотите загрузить ключ в прибор");

// Both button prefixes are ten characters long.
CKeyTreeView *KeyTreeOf(TMainForm &form, QObject *sender)
{
    if (!sender)
        return nullptr;
    return FindComponent<CKeyTreeView>(QStringLiteral("tvKey") + sender->objectName().mid(10), form.PageControl, 3);
}

// The open device's wire address, or false after the message.
bool CurrentWireAddress(TMainForm &form, uint8_t &wire)
{
    const CDevice *d = form.CurrentDevice ? form.CurrentDevice->device() : nullptr;
    if (d && WireAddressOf(d->device_addr, wire))
        return true;
    ShowMessageDlg(BadRequestAddressText, mtError, mbOK);
    return false;
}

// Connects unless connected; a failure ends the exchange without a message of its own.
bool ConnectIfNeeded()
{
    if (UsbCan.Connected)
        return true;
    LinkPump &pump = CurrentLinkPump();
    pump.Status(ConnectingText, 1);
    // The progress texts let messages through: the program may have closed meanwhile.
    if (ExchangesCancelled() || UsbCan.Connect() != 0)
        return false;
    pump.Status(ConnectedText, 0);
    return !ExchangesCancelled();
}

// The key the page shows, or a warning when none is selected. Held, so a page freed during an
// exchange leaves a record nobody shows rather than a dangling one.
std::shared_ptr<CKey> SelectedKey(CKeyTreeView &tree)
{
    CTreeNode *node = tree.selectedNode();
    std::shared_ptr<CKey> key = node ? node->sharedAs<CKey>() : nullptr;
    if (!key)
        ShowMessageDlg(NoKeySelectedText, mtWarning, mbOK);
    return key;
}

} // namespace

void btnKeySaveClick(TMainForm &form, QObject *sender)
{
    form.EndCellEditing();
    QPointer<CKeyTreeView> tree = KeyTreeOf(form, sender);
    if (!tree)
        return;
    const std::shared_ptr<CKey> key = SelectedKey(*tree);
    if (!key)
        return;
    const QPointer<QObject> button = sender;
    if (ShowMessageDlg(ConfirmKeyLoadText, mtConfirmation, mbOK | mbCancel) != mrOk)
        return;
    uint8_t wire = 0;
    if (!CurrentWireAddress(form, wire))
        return;
    QStringList list;
    try {
        EncodeKeyPackets(*key, wire, list);
        list << EndPacketText(wire);
        CheckPacketList(list);
    } catch (const CPacketBuildError &e) {
        ShowMessageDlg(e.Message(), mtError, mbOK);
        return;
    }
    const ExchangeScope exchange; // until the key is read back
    if (!ConnectIfNeeded())
        return;
    ListSendFailure failure = ListSendFailure::None;
    if (!SendPacketList(list, &failure)) {
        // A key that stopped part way is not read back: the panels keep what the engineer set.
        if (failure == ListSendFailure::Packet)
            ShowMessageDlg(KeyLoadStoppedText, mtError, mbOK);
        return;
    }
    // The page may have been rebuilt while the packets went out.
    if (button && tree)
        btnKeyLoadClick(form, button);
}

void btnKeyLoadClick(TMainForm &form, QObject *sender)
{
    QPointer<CKeyTreeView> tree = KeyTreeOf(form, sender);
    if (!tree)
        return;
    const std::shared_ptr<CKey> key = SelectedKey(*tree);
    if (!key)
        return;
    uint8_t wire = 0;
    if (!CurrentWireAddress(form, wire))
        return;
    int number = 0;
    try {
        number = KeyReadNumber(*key);
    } catch (const CPacketBuildError &e) {
        ShowMessageDlg(e.Message(), mtError, mbOK);
        return;
    }
    const ExchangeScope exchange;
    if (!ConnectIfNeeded())
        return;
    if (UsbCan.SendPacket(KeyReadRequestText(wire, number)) != 0)
        return;
    UsbCan.RxPackets.clear();
    const std::shared_ptr<CTreeNode> device = form.CurrentDevice;
    if (DecodeKeyReply(*key, device.get(), wire, number) && tree)
        tvKeyChange(form, tree);
}
