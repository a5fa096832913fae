#pragma once
// The service commands a simulated device serves: address changes, factory settings, restart,
// the firmware version query, and the detector and module addresses behind it.
class LineSimulator;

// Every device reports firmware 3.0.11, the first that takes auto-increment programming.
constexpr int SimFirmwareMajor = 3, SimFirmwareMinor = 0, SimFirmwareBuild = 11;

// Commands that already have a handler keep it.
void RegisterServiceHandlers(LineSimulator &simulator);
