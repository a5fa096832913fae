#pragma once
// The factory reset a "Тиврон-А" takes from the programmer's page menu (and its service window):
// command 00, section FF, its wire address, sub-code 00, data its wire address, 00, 00, FF. The
// device goes back to the catalogue's defaults and answers nothing. Key-code packets of a key
// reader on the line (command 46) are sent with the control line `send PACKETTEXT`.
#include "sim/line_simulator.h"

constexpr uint8_t DeviceCommand = 0x00;       // address change, factory reset and restart share it
constexpr int FactoryResetTypeId = 14;        // the model that knows the factory reset
constexpr uint8_t KeyCodeCommand = 0x46;

// True for the factory reset of this device.
bool IsFactoryReset(const SimFrame &request, const SimDevice &device);

// Registers the factory reset on command 00; a request that is not one goes to the handler that
// was registered for that command before, if any.
void RegisterKeyHandlers(LineSimulator &simulator);
