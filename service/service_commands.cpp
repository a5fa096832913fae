#include "service/service_commands.h"

#include <algorithm>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/key_packets.h"
#include "link/exchange.h"
#include "link/transfer.h"
#include "link/usb_can.h"

FirmwareQueryResult QueryFirmwareVersion(uint8_t wire)
{
    FirmwareQueryResult result;
    UsbCan.RxPackets.clear();
    if (UsbCan.SendPacket(FirmwareQueryText(wire)) != 0)
        return result;
    result.sent = true;
    CanPacket answer;
    if (WaitForPacket(FirmwareAnswerPattern(wire), FirmwareTimeout, &answer) > 0)
        result.version = FirmwareVersion{answer[5], answer[6], answer[7]};
    return result;
}

int ChangeDeviceAddress(uint8_t wire, uint8_t newWire)
{
    if (const int code = UsbCan.SendPacket(SetDeviceAddressText(wire, newWire)))
        return code;
    return UsbCan.SendPacket(EndPacketText(newWire));
}

SensorChangeResult ChangeSensorAddress(uint8_t wire, SensorKind kind, uint8_t newWire, uint8_t oldWire)
{
    SensorChangeResult result;
    result.code = UsbCan.SendPacket(SetSensorAddressText(wire, kind, newWire, oldWire));
    if (result.code != 0)
        return result;
    result.code = UsbCan.SendPacket(ConfirmSensorAddressText(wire, kind, newWire));
    if (result.code != 0)
        return result;
    UsbCan.RxPackets.clear();
    result.confirmed = WaitForPacket(SensorConfirmPattern(wire, kind, newWire), SensorConfirmTimeout) > 0;
    return result;
}

namespace {

int SendWithResend(const QString &text)
{
    const int code = UsbCan.SendPacket(text);
    return code == 0 ? 0 : UsbCan.SendPacket(text);
}

} // namespace

bool ChangeDeviceAddressOnce(uint8_t wire, uint8_t newWire)
{
    if (UsbCan.SendPacket(SetDeviceAddressText(wire, newWire)) != 0)
        return false;
    return SendWithResend(EndPacketText(newWire)) == 0;
}

void ChangeSensorAddressOnce(uint8_t wire, SensorKind kind, uint8_t newWire, uint8_t oldWire)
{
    SendWithResend(SetSensorAddressText(wire, kind, newWire, oldWire));
}

void ProgramAddressesAutoInc(AutoIncHost &host, uint8_t wire, SensorKind kind)
{
    if (host.ButtonDown()) {
        if (host.FirstValue() > host.LastValue()) {
            ShowMessageDlg(BadRangeText, mtError, mbOK);
            host.SetButtonUp();
            return;
        }
        if (ShowMessageDlg(OneDeviceWarningText, mtWarning, MsgButtons(mbOK) | MsgButtons(mbCancel)) != mrOk) {
            host.SetButtonUp();
            return;
        }
    }
    // The countdown lets messages through between its waits: the run is one exchange throughout.
    const ExchangeScope exchange;
    host.SetEditsEnabled(false);
    const int flag = kind == SensorKind::Module ? ModuleWireFlag : 0;
    int next = host.FirstValue() - 1 + flag;
    const int last = host.LastValue() - 1 + flag;
    LinkPump &pump = CurrentLinkPump();
    while (next <= last) {
        const bool searching = host.PauseSearch();
        for (int k = AutoIncCountdownSeconds; k >= 1; --k) {
            host.SetStatus(QStringLiteral("Попытка записи адреса №") + IntToText(host.FirstValue()) +
                           QStringLiteral(" через ") + IntToText(k) + QStringLiteral(" сек"));
            pump.ProcessEvents();
            pump.Sleep(1000);
            if (!host.ButtonDown())
                break;
        }
        host.ResumeSearch(searching);
        if (!host.ButtonDown())
            break;

        bool written = false;
        bool stop = false;
        while (host.ButtonDown()) {
            UsbCan.RxPackets.clear();
            if (const int code = UsbCan.SendPacket(ProgramNewSensorText(wire, uint8_t(next)))) {
                ShowMessageDlg(AutoIncSendFailedText + IntToText(code) + QStringLiteral("]"), mtError, mbOK);
                stop = true;
                break;
            }
            CanPacket answer;
            const bool matched = host.Wait(ProgramAnswerPattern(wire), uint32_t(std::max(AutoIncProgramWaitAns, 0)) * 1000u,
                                           &answer) > 0;
            if (matched && answer[11] == SeveralDevicesMark) {
                ShowMessageDlg(SeveralDevicesText, mtError, mbOK);
                stop = true;
                break;
            }
            if (matched && answer[4] == next) {
                host.SetStatus(QStringLiteral("Адрес №") + IntToText(host.FirstValue()) + QStringLiteral(" записан"));
                ++next;
                host.SetFirstValue(host.FirstValue() + 1);
                host.Beep();
                written = true;
                break;
            }
            host.SetStatus(QStringLiteral("Адрес №") + IntToText(host.FirstValue()) +
                           QStringLiteral(" записать не удалось, повторная попытка..."));
            pump.ProcessEvents();
            pump.Sleep(1000);
        }
        if (stop || !written)
            break;
    }
    host.SetEditsEnabled(true);
    host.SetButtonUp();
}
