// The page menu of the main window and its factory reset of the open device. The address items
// open the address-change dialog (their handlers live with it).
#include <QAction>

#include <memory>

#include "app/message_dlg.h"
#include "editor/config_read.h"
#include "editor/factory_reset.h"
#include "editor/key_packets.h"
#include "editor/main_form.h"
#include "link/usb_can.h"
#include "model/config_tree.h"

QString FactorySettingsPacketText(uint8_t wire)
{
    const QString aa = QStringLiteral("%1").arg(wire, 2, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("00FF") + aa + QStringLiteral("00") + aa + QStringLiteral("0000FF00000000");
}

QString CommandDoneText(const QString &caption)
{
    return QStringLiteral("Команда '") + caption + QStringLiteral("' выполнена.");
}

QString CommandFailedText(int code, const QString &caption)
{
    return QStringLiteral("Ошибка №") + QString::number(code) + QStringLiteral(", команда '") + caption +
           QStringLiteral("' не выполнена.");
}

bool FactoryResetConfirmed()
{
    return ShowMessageDlg(FactoryResetQuestionText, mtConfirmation, mbYes | mbNo) == mrYes;
}

void TMainForm::PopupMenu1Popup()
{
    const bool connected = UsbCan.Connected;
    for (QAction *item : {ChangeAddrDevice, ChangeAddrSense, ChangeAddrModule})
        item->setEnabled(connected);
    const CDevice *d = CurrentDevice ? CurrentDevice->device() : nullptr;
    DefaultSettings_Tivron_A->setEnabled(connected && d && d->device_id == FactoryResetDeviceId);
}

void TMainForm::DefaultSettings_Tivron_AClick()
{
    if (!RequirePages())
        return;
    const QString caption = DefaultSettings_Tivron_A->text();
    // A question closed without an answer must not wipe the device's configuration.
    if (!FactoryResetConfirmed())
        return;
    // Address 256 would give wire address FF, which every device on the line takes as its own.
    const std::shared_ptr<CTreeNode> device = CurrentDevice;
    const CDevice *d = device ? device->device() : nullptr;
    uint8_t wire = 0;
    if (!d || !WireAddressOf(d->device_addr, wire)) {
        ShowMessageDlg(BadRequestAddressText, mtError, mbOK);
        return;
    }
    const int code = UsbCan.SendPacket(FactorySettingsPacketText(wire));
    if (code == 0)
        ShowMessageDlg(CommandDoneText(caption), mtInformation, mbOK);
    else
        ShowMessageDlg(CommandFailedText(code, caption), mtError, mbOK);
}
