#pragma once
// The line search without a window: the broadcast with the PC clock, the search answer, the device
// text of a found device and the two sort orders of the device lists. The selection dialog and the
// service window share them.
#include <QDateTime>
#include <QString>

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

// One search answer into a device list: the first catalogue model with its type id gets its address
// (FindDeviceById from the catalogue's first top-level node); a node with the model's device text
// and its CDevice is added at the end of list unless one has that text already. Returns the added
// node, or null for a record that is no answer, an unknown type id or a text already listed.
CTreeNode *RecordSearchAnswer(const CanPacket &record, CTree &catalogue, CTree &list);

// The first top-level node of tree whose text is exactly text, or null.
CTreeNode *TopNodeWithText(const CTree &tree, const QString &text);
