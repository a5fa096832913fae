#include "app/settings.h"

int Usb_TotalPaket = 0;
int Usb_TimerSleep = 0;
int Usb_NoDevice = 0;
uint16_t Can_BaudRate = 0;
int ShowLoading = 0;
bool WarningDefaultData = false;
int AutoIncProgramWaitAns = 0;

QString IntToText(int value) { return QString::number(value); }
