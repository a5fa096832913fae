#pragma once
// The line search without a window: the broadcast with the PC clock, the search answer, the device
// text of a found device and the two sort orders of the device lists. The selection dialog and the
// service window share them.
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

#include "adapters/usbcan/usbcan_api.h"

class CTree;
class CTreeNode;

// The search broadcast: identifier FFFFFF00 and the clock in eight bytes (year - 2000, century,
// month, day, hour, minute, second, weekday with Sunday 0), each the value's low byte as two
// upper-case digits. Thursday 2 March 2017 14:05:09 gives FFFFFF00111403020E050904.
QString SearchBroadcastText(const QDateTime &clock);

// What a search answer tells: command 20, section FF, sub-code 00; byte 2 the wire address,
// data byte 0 the type id. Wire address FF would be address 256: no answer.
struct SearchAnswer {
    int typeId = 0;
    int address = 0; // wire address + 1
};
std::optional<SearchAnswer> ReadSearchAnswer(const CanPacket &record);

// Device text "Тиврон-2 <5>": the model name, a blank and the address between "<" and ">".
QString DeviceText(const QString &modelName, int address);
// The characters before the first "<" less the one just before it; empty without a "<".
QString DeviceTextName(const QString &text);
// The characters between the first "<" and the first ">" as a decimal integer, 0 when not one.
int DeviceTextAddress(const QString &text);

// Sort orders of a device list, as the dialog's radio items: by name, by address.
enum DeviceSortOrder { SortByName = 0, SortByAddress = 1 };

// The number of a model name: the text after its first "-" (the whole name without one) as a
// decimal integer, 1000 when it is not one.
int DeviceNameNumber(const QString &name);
// -1, 0 or 1 for two device texts. By name: the smaller number, then the shorter name, then the
// Windows-1251 bytes compared unsigned. By address: the smaller address. Any other order gives 0.
int CompareDeviceTexts(const QString &text1, const QString &text2, int order);

// The top-level nodes of a device list rebuilt in order (a stable sort by CompareDeviceTexts), each
// keeping its text, data and image. The old nodes are gone afterwards, selected (a node of list, or
// null) too: gives the first new node with selected's text, for the caller to select again, or null.
CTreeNode *SortDeviceList(CTree &list, int order, const CTreeNode *selected);

inline const QString SearchingText = QStringLiteral("Поиск приборов на CAN-линии...");

// The start of a line search: the broadcast of clock, the status SearchingText with kind
// statusKind, the adapter's received packets dropped, the broadcast sent. Gives SendPacket's code.
int SendSearchBroadcast(const QDateTime &clock, int statusKind);

// One tick of the search timer: 15 polls of the adapter, Usb_TimerSleep ms apart, each passing
// packetTotal plus the packets of this tick to showCount; then packetTotal grows by them, every
// answer among them is recorded into list (RecordSearchAnswer) and the received packets are dropped.
void PollSearchAnswers(CTree &catalogue, CTree &list, int &packetTotal, const std::function<void(int)> &showCount);

// One search answer into a device list: the first catalogue model with its type id gets its address
// (FindDeviceById from the catalogue's first top-level node); a node with the model's device text
// and its CDevice is added at the end of list unless one has that text already. Returns the added
// node, or null for a record that is no answer, an unknown type id or a text already listed.
CTreeNode *RecordSearchAnswer(const CanPacket &record, CTree &catalogue, CTree &list);

// The first top-level node of tree whose text is exactly text, or null.
CTreeNode *TopNodeWithText(const CTree &tree, const QString &text);
