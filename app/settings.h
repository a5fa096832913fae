#pragma once
#include <QString>

#include <cstdint>

// Settings globals, named after their keys in Tivron.ini.
extern int Usb_TotalPaket;
extern int Usb_TimerSleep;
extern int Usb_NoDevice;
extern uint16_t Can_BaudRate;
extern int ShowLoading;
extern bool WarningDefaultData;
extern int AutoIncProgramWaitAns;

QString IntToText(int value);
