#pragma once
// The adapter link: the one CUsbCan object UsbCan over the adapter library DLL/libUsbCAN.so.
#include <QString>

#include <vector>

#include "adapters/usbcan/usbcan_api.h"

class QLibrary;

// The library's entry points, filled by LoadDll; a null entry is never called.
struct UsbCanEntryPoints {
    DeviceConnectFn Connect = nullptr;
    DeviceDisconnectFn Disconnect = nullptr;
    RxBufferDataFn RxBufferData = nullptr;
    TxDataFn TxData = nullptr;
    RxDroppedFn RxDropped = nullptr; // optional: a library without it reports no losses
};

// Code of an operation whose library or entry point is missing.
constexpr int UsbCanMissingLibrary = -1;

class CUsbCan {
public:
    int RxCountdown = 0;                 // ticks left of a configuration read; the read owns it
    std::vector<CanPacket> RxPackets;    // received records in arrival order; callers clear it
    bool Connected = false;

    // Loads DLL/libUsbCAN.so beside the executable; a failure is shown and gives false.
    bool LoadDll();
    bool LoadDllFrom(const QString &path);
    // Unloads the library (at shut-down) after disconnecting.
    void FreeDll();

    int Connect();
    int Disconnect();
    // Drains at most MaxFramesPerDrain frames, so a flooded line never holds the caller;
    // the next drain goes on. Returns the number appended. Frames the library lost meanwhile
    // (its queue full) get a row in the log where they were lost.
    int ReceivePackets(std::vector<CanPacket> &list);
    // Sends one PacketText; throws PacketTextError for a text it refuses, before sending or logging.
    // A send the library answers with UsbCanNotConnected disconnects.
    int SendPacket(const QString &text);
    // Rewrites the identifier bytes of a record as delivered and logs it.
    void LogReceivedPacket(CanPacket &record);

    // Tests give a fake table.
    void SetEntryPoints(const UsbCanEntryPoints &table)
    {
        dll_ = table;
        droppedSeen_ = 0;
    }
    const UsbCanEntryPoints &EntryPoints() const { return dll_; }

    static constexpr int MaxFramesPerDrain = 1024;

private:
    void LogLostFrames();

    UsbCanEntryPoints dll_;
    uint32_t droppedSeen_ = 0; // the library's count of lost frames as last logged
};

extern CUsbCan UsbCan;
// The loaded adapter library, null until LoadDll succeeds.
extern QLibrary *UsbCanDllHandle;

// The message LoadDll shows when the library does not load.
inline const QString UsbCanLoadFailedText =
    QStringLiteral("Не удалось загрузить библиотеку 'UsbCAN.dll' для связи через USB с CAN-протоколом ");
