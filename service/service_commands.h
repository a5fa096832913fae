#pragma once
// The service commands over UsbCan, without a window: each sends its packets, waits where it
// must and says what happened. The windows show the messages.
#include <QString>

#include <cstdint>
#include <optional>

#include "service/service_packets.h"

// The version query: RxPackets cleared, the query sent, the answer awaited (2000).
struct FirmwareQueryResult {
    bool sent = false;
    std::optional<FirmwareVersion> version; // the answer's data bytes 1, 2, 3
};
FirmwareQueryResult QueryFirmwareVersion(uint8_t wire);

// The device at wire takes newWire: the set-address packet, then the end packet at the new
// address. 0 when both went out, else the code of the send that failed (nothing sent after it).
int ChangeDeviceAddress(uint8_t wire, uint8_t newWire);

// A detector or module address, confirmed: the set-address and the confirmation packets, then
// RxPackets cleared and the confirmation awaited (20000). code is the failed send's, 0 without
// an answer.
struct SensorChangeResult {
    bool confirmed = false;
    int code = 0;
};
SensorChangeResult ChangeSensorAddress(uint8_t wire, SensorKind kind, uint8_t newWire, uint8_t oldWire);

// The address-change dialog's commands: no answer is awaited and a failed last packet goes once
// more. ChangeDeviceAddressOnce gives whether the end packet went out; a set-address packet that
// failed ends it before the end packet, which the device at the new address would take as its own.
bool ChangeDeviceAddressOnce(uint8_t wire, uint8_t newWire);
void ChangeSensorAddressOnce(uint8_t wire, SensorKind kind, uint8_t newWire, uint8_t oldWire);

// What the auto-increment run needs from its window: the group's speed button, its two spin edits,
// status panel 1, the search timer, the beep and the wait.
class AutoIncHost {
public:
    virtual ~AutoIncHost() = default;
    virtual bool ButtonDown() const = 0;
    virtual void SetButtonUp() = 0;
    virtual void SetEditsEnabled(bool enabled) = 0;
    virtual int FirstValue() const = 0;
    virtual int LastValue() const = 0;
    virtual void SetFirstValue(int value) = 0;
    virtual void SetStatus(const QString &text) = 0;
    // Stops the search timer and says whether it ran; ResumeSearch gives that state back.
    virtual bool PauseSearch() = 0;
    virtual void ResumeSearch(bool wasRunning) = 0;
    virtual void Beep() = 0;
    // WaitForPacket, as the window lets it run.
    virtual int Wait(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched) = 0;
};

// Programs the one new detector or module on the line behind the device at wire, address after
// address from the first edit's value to the last one's, each after a countdown of seven seconds,
// until the last is written, a send fails, a second device answers or the button goes up. The
// entry tests (range, the warning) are made only when the button is down. Messages through
// ShowMessageDlg, pauses through CurrentLinkPump().
void ProgramAddressesAutoInc(AutoIncHost &host, uint8_t wire, SensorKind kind);
