#pragma once
// The entry points of the adapter library, as the program loads them at run time: four, and
// DLL_Rx_Dropped, which a library may lack.
#include <cstddef>
#include <cstdint>

// One received frame: four identifier bytes, then eight data bytes; no length field.
// The library fills the identifier most significant byte first; the link rewrites it into
// command, section, wire address and sub-code.
struct CanPacket {
    uint8_t bytes[12] = {};

    uint8_t &operator[](std::size_t i) { return bytes[i]; }
    const uint8_t &operator[](std::size_t i) const { return bytes[i]; }
};
static_assert(sizeof(CanPacket) == 12, "CanPacket is a 12-byte record");

// Result codes of DLL_Device_Connect and DLL_Tx_Data (0 = done). adapters/usbcan/README.md lists them.
enum UsbCanCode : int32_t {
    UsbCanOk = 0,
    UsbCanNoApplication = 1,   // the host process has no QCoreApplication
    UsbCanUnknownPlugin = 2,   // TIVRON_CANBUS names a plugin Qt does not have
    UsbCanUnknownInterface = 3, // the plugin does not list the interface
    UsbCanOpenFailed = 4,      // the plugin refused to create or open the device
    UsbCanTimeout = 5,         // the device did not reach the connected state in time
    UsbCanNotConnected = 6,    // a frame was handed in while no device is connected
    UsbCanWriteFailed = 7,     // the device refused the frame
    UsbCanBadArgument = 8,     // more than 8 data bytes, or no buffer
};

// Frames the library's receive queue holds. The monitor drains once a second: this is over four
// seconds of the densest traffic a 1 Mbit/s line carries (about 15,000 extended frames a second
// without data bytes, 7,600 with eight). Beyond it the oldest are dropped and counted.
constexpr std::size_t UsbCanQueueCapacity = 65536;

#define USBCAN_EXPORT __attribute__((visibility("default")))

extern "C" {
USBCAN_EXPORT int32_t DLL_Device_Connect(uint8_t adapter, uint16_t baudCode, uint8_t, uint8_t);
USBCAN_EXPORT int32_t DLL_Device_Disconnect();
USBCAN_EXPORT uint8_t DLL_Rx_Buffer_Data(CanPacket *record, uint8_t);
USBCAN_EXPORT int32_t DLL_Tx_Data(uint32_t identifier, uint8_t *data, int32_t count);
// Frames dropped since the last connect because the receive queue was full.
USBCAN_EXPORT uint32_t DLL_Rx_Dropped();
}

using DeviceConnectFn = int32_t (*)(uint8_t, uint16_t, uint8_t, uint8_t);
using DeviceDisconnectFn = int32_t (*)();
using RxBufferDataFn = uint8_t (*)(CanPacket *, uint8_t);
using TxDataFn = int32_t (*)(uint32_t, uint8_t *, int32_t);
using RxDroppedFn = uint32_t (*)();
