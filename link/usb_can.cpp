#include "link/usb_can.h"

#include <QCoreApplication>
#include <QLibrary>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "link/packet_log.h"
#include "link/packet_text.h"

CUsbCan UsbCan;
QLibrary *UsbCanDllHandle = nullptr;

bool CUsbCan::LoadDll()
{
    return LoadDllFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/DLL/libUsbCAN.so"));
}

bool CUsbCan::LoadDllFrom(const QString &path)
{
    if (UsbCanDllHandle)
        return true;
    auto *library = new QLibrary(path);
    if (!library->load()) {
        delete library;
        ShowMessageDlg(UsbCanLoadFailedText, mtError, mbOK);
        return false;
    }
    UsbCanDllHandle = library;
    UsbCanEntryPoints table;
    table.Connect = reinterpret_cast<DeviceConnectFn>(library->resolve("DLL_Device_Connect"));
    table.Disconnect = reinterpret_cast<DeviceDisconnectFn>(library->resolve("DLL_Device_Disconnect"));
    table.RxBufferData = reinterpret_cast<RxBufferDataFn>(library->resolve("DLL_Rx_Buffer_Data"));
    table.TxData = reinterpret_cast<TxDataFn>(library->resolve("DLL_Tx_Data"));
    table.RxDropped = reinterpret_cast<RxDroppedFn>(library->resolve("DLL_Rx_Dropped"));
    dll_ = table;
    droppedSeen_ = 0;
    return true;
}

void CUsbCan::FreeDll()
{
    Disconnect();
    dll_ = UsbCanEntryPoints();
    if (UsbCanDllHandle) {
        UsbCanDllHandle->unload();
        delete UsbCanDllHandle;
        UsbCanDllHandle = nullptr;
    }
}

int CUsbCan::Connect()
{
    if (!dll_.Connect) {
        Connected = false;
        return UsbCanMissingLibrary;
    }
    const int code = dll_.Connect(uint8_t(Usb_NoDevice), Can_BaudRate, 1, 1);
    Connected = code == 0;
    return code;
}

int CUsbCan::Disconnect()
{
    if (!Connected)
        return 0;
    Connected = false;
    droppedSeen_ = 0; // the library counts afresh from the next connect
    if (!dll_.Disconnect)
        return UsbCanMissingLibrary;
    return dll_.Disconnect();
}

int CUsbCan::ReceivePackets(std::vector<CanPacket> &list)
{
    if (!dll_.RxBufferData)
        return 0;
    int count = 0;
    try {
        while (count < MaxFramesPerDrain) {
            LogLostFrames(); // before each take: frames lost meanwhile were older than the next
            CanPacket record;
            if (!dll_.RxBufferData(&record, 0))
                break;
            LogReceivedPacket(record);
            list.push_back(record);
            ++count;
        }
    } catch (...) {
        // A failed drain ends silently; the records so far stay.
    }
    return count;
}

void CUsbCan::LogLostFrames()
{
    if (!dll_.RxDropped)
        return;
    const uint32_t dropped = dll_.RxDropped();
    if (dropped == droppedSeen_)
        return;
    // A count below the last one was restarted by a connect.
    const uint32_t lost = dropped > droppedSeen_ ? dropped - droppedSeen_ : dropped;
    droppedSeen_ = dropped;
    if (lost > 0)
        AddLossRow(PacketTimeText(), lost);
}

int CUsbCan::SendPacket(const QString &text)
{
    TxFrame frame = PacketTextToFrame(text);
    const int code = dll_.TxData ? dll_.TxData(frame.identifier, frame.data, frame.count) : UsbCanMissingLibrary;
    AddPacketRow(PacketTimeText(), frame.idText, frame.dataText, code == 0 ? PacketRowSent : PacketRowFailed);
    // The adapter is gone: whoever sends next connects again instead of sending into nothing.
    if (code == UsbCanNotConnected)
        Disconnect();
    return code;
}

void CUsbCan::LogReceivedPacket(CanPacket &record)
{
    RewriteReceivedIdentifier(record);
    AddPacketRow(PacketTimeText(), PacketIdText(record), PacketDataText(record), PacketRowReceived);
}
