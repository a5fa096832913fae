#pragma once
// Reading a device's configuration into the main window's pages: the request packets, the
// requests, and the collection of the answers by the main window's Timer1.
//
// actReadExecute (editor/main_form_read.cpp) connects, lets the engineer choose a device in the
// selection dialog and calls RequestConfiguration; Timer1Timer drains the answers for
// Usb_TotalPaket ticks and then builds the pages from the description and the decoded values.
// The write's read-back and the address commands call RequestConfiguration on their own.
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "adapters/usbcan/usbcan_api.h"
#include "editor/config_files.h"

class CTree;
class CTreeNode;
class CUsbCan;
class LinkPump;
class TMainForm;

// Addresses a request may go to. 0 would give the section FE and the wire address FF, 256 the wire
// address FF of the search broadcast.
constexpr int kMinRequestAddress = 1;
constexpr int kMaxRequestAddress = 255;
bool IsRequestAddress(int deviceAddr);

// Table codes asked for, in this order; the key table (code 3) is asked key by key.
inline constexpr int kRequestedTableCodes[] = {0, 1, 2, 4, 5, 6};

// The request packets (PacketText) of a read of the device at deviceAddr (1-255): one per table code
// above ("85FF" + wire address + code + "FF00000000000000"), then one per key text (its number from
// KeyNumberFromText, low byte first), or a single one for key FFFF when there are none.
QStringList ConfigurationRequestTexts(int deviceAddr, const QStringList &keyTexts);

// What RequestConfiguration returns when it refused the device's address (nothing was sent).
constexpr int kRequestAddressRefused = -1000;

// Sends the requests to the device of a catalogue node (its CDevice carries the address), waits for
// its first answer and starts the collection by Timer1 (interval Usb_TimerSleep, at least 1 ms, for
// Usb_TotalPaket ticks). Frees the pages first and sets form.CurrentDevice to the node.
// Returns 0, or the code of the request packet that failed: then the sending stopped there, the
// failure was shown with the library's code, the adapter is disconnected and nothing is collected.
// An address outside 1-255 (or a node without a device) is refused with BadRequestAddressText and
// kRequestAddressRefused, before anything changes.
// Holds an exchange (link/exchange.h) until the pages are built or the read fails; when the program
// closes meanwhile (the exchanges cancelled) it ends where it is and returns 0.
// pagesBefore makes it a write's read-back: what the pages held before it. When the device does not
// answer at all (or a request fails), the pages are rebuilt from it and WriteNotConfirmedText is
// shown.
int RequestConfiguration(TMainForm &form, CTreeNode &device, std::optional<TConfigFileDevice> pagesBefore = {});

// The read in progress, from its requests until its pages are built or it fails.
struct TReadInProgress {
    std::shared_ptr<CTreeNode> Device; // the device the requests went to
    int Address = 0;                   // its device_addr at the request
    std::optional<TConfigFileDevice> PagesBefore; // a write's read-back only
};
// Null when no read runs.
const TReadInProgress *CurrentRead();

// Whether a record among the received ones is a configuration answer (command 10) of the device at
// deviceAddr.
bool AnsweredBy(const std::vector<CanPacket> &records, int deviceAddr);

// The values tree of a copy of the pages, as a saved file reads back on Open (ReadXmlToTree), with
// the read marker on the cells that carried it; returns its device node, null for none.
CTreeNode *PagesValuesTree(const TConfigFileDevice &pages, CTree &target);

// A write's read-back keeps what the device left unanswered as it was written: a marked value of a
// "table" table takes the written value (the marker stays), and a key whose number did not come
// back is replaced by the written key (when the copy holds as many keys as the read asked for).
// writtenDevice: PagesValuesTree of what was written. True when a value the write carried (a key, or
// a parameter whose mask selects a byte) went unconfirmed.
bool KeepWrittenValues(CTreeNode &readDevice, const CTreeNode &writtenDevice);

// Rebuilds the pages of device from a copy of what they held (as a saved file comes back on Open,
// the read markers kept) and enables saving.
void RestorePages(TMainForm &form, CTreeNode &device, const TConfigFileDevice &pages);

// One collection tick without its end: drains link into link.RxPackets, shows the count and counts
// RxCountdown down. True when the collection is over (RxCountdown at 0 or below).
bool CollectionTick(CUsbCan &link, LinkPump &pump);

// Ends the exchange a read holds, if any (the end of a collection, a failed read).
void EndReadExchange();

// The nodes of a tree copied into another (texts, images, the same objects), replacing what it held:
// the key page's key list into the main window's KeyListView.
void CopyTreeNodes(const CTree &from, CTree &to);

// The read's step after "Выбрать": the key list from the open key page, if there is one (the last of
// several), into form.KeyListView; without one the list keeps what it held.
void CopyKeyListFromPages(TMainForm &form);

// Whether a read of model at address reads the device whose pages are open: shown is the device the
// pages were built for (null for none), the same model by name and version at the same address.
bool ReadsShownDevice(const CTreeNode *shown, const CTreeNode &model, int address);

// The key list of a read of model at address, into form.KeyListView: the open key page's keys when
// it reads the device whose pages are open (CopyKeyListFromPages), else none, so that the read asks
// for every key: another device's key numbers would leave out the keys this one holds.
void ChooseReadKeyList(TMainForm &form, const CTreeNode *shown, const CTreeNode &model, int address);

inline const QString BadRequestAddressText = QStringLiteral("Выбраный адрес не является корректным.");
inline const QString RequestingText = QStringLiteral("Запрос конфигурации прибора...");
inline const QString RequestFailedText = QStringLiteral("Не могу соединиться с прибором");
inline const QString AwaitingAnswerText = QStringLiteral("Запрос конфигурации выполнен, ожидается ответ от прибора");
inline const QString CollectedText = QStringLiteral("Всего загруженно пакетов = ");
inline const QString WritePartlyConfirmedText =
    QStringLiteral("Прибор подтвердил не все записанные значения: они отмечены на страницах.");
inline const QString WriteNotConfirmedText =
    QStringLiteral("Прибор не ответил: запись не подтверждена. Изменения на страницах сохранены.");
