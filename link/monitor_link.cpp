#include "link/monitor_link.h"

#include "app/message_dlg.h"
#include "app/settings.h"
#include "link/exchange.h"
#include "link/transfer.h"
#include "link/usb_can.h"

namespace {

bool IsHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

bool AllHex(const QString &text)
{
    for (QChar c : text) {
        if (!IsHexDigit(c))
            return false;
    }
    return true;
}

} // namespace

QString CommandLineError(const QString &id, const QString &data)
{
    if (id.isEmpty())
        return NoCommandText;
    if (id.size() != 8 || !AllHex(id))
        return BadIdentifierText;
    if (!AllHex(data))
        return BadDataText;
    return QString();
}

CMonitorLink::~CMonitorLink() { CancelExchangesEndCall(pendingDisconnect_); }

void CMonitorLink::Shown() { WasConnected = UsbCan.Connected && !DisconnectPending(); }

bool CMonitorLink::ConnectIfOurs(bool reportFailure)
{
    if (UsbCan.Connected || WasConnected)
        return true;
    LinkPump &pump = CurrentLinkPump();
    pump.Status(ConnectingText, 1);
    const int code = UsbCan.Connect();
    if (code != 0) {
        if (reportFailure) {
            pump.Status(ConnectFailedText + IntToText(code), 2);
            UsbCan.Disconnect();
        }
        return false;
    }
    pump.Status(ConnectedText, 0);
    return true;
}

bool CMonitorLink::Execute(const QString &id, const QString &data, int *code)
{
    const QString error = CommandLineError(id, data);
    if (!error.isEmpty()) {
        ShowMessageDlg(error, mtError, mbOK);
        return false;
    }
    if (!ConnectIfOurs(true))
        return false;
    const int result = UsbCan.SendPacket(id + data);
    if (code)
        *code = result;
    return true;
}

bool CMonitorLink::Tick()
{
    if (!ConnectIfOurs(false))
        return false;
    return UsbCan.ReceivePackets(UsbCan.RxPackets) >= CUsbCan::MaxFramesPerDrain;
}

void CMonitorLink::Closed()
{
    if (WasConnected || DisconnectPending())
        return;
    if (!ExchangeInProgress()) {
        UsbCan.Disconnect();
        return;
    }
    pendingDisconnect_ = CallWhenExchangesEnd([this] {
        pendingDisconnect_ = 0;
        UsbCan.Disconnect();
    });
}
