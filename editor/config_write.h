#pragma once
// The packet list of a configuration write, built from the pages' records without a window: one
// packet per value column of each parameter table, two per key, then the end packet.
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

#include "editor/key_packets.h"

class CParam;
class CParamPage;
class CParameter;
class CTree;
class CTreeNode;

// The raw value a cell goes out as: a shown number is brought back (WrapToRange less `formula`),
// then by type: numbers and "sys" as the number (0 for none), a list name as its item's value (0 for
// none; an item value that is no integer throws CConvertError), a boolean with a bit mask as the
// highest masked byte of data so far with the bit added for "+" or "1", a boolean without one as the
// number it shows ("+" 1, a blank 0), anything else 0. row may be null (no list entries).
int64_t WriteCellValue(const CParameter &parameter, const CParam *row, const QString &cellText,
                       const std::vector<unsigned> &data);
// ORs value into the data bytes the mask selects (bit k = byte k), little-endian from the lowest
// selected byte; a negative value as its 32-bit two's complement, only its lowest bytes kept.
void MergeMaskedValue(std::vector<unsigned> &data, int byteMask, int64_t value);

// The write packet of value column `column` of a "table" table node as shown on its page:
// identifier 01, the first parameter's section, the wire address, `can_type`, then `can_data_size`
// data bytes, as blank-separated pairs. Throws CPacketBuildError for a table or mask no packet can
// hold, CConvertError as above and for a byte mask that is no number.
QString TableWritePacket(const CTreeNode &table, const CParamPage &page, int column, uint8_t wireAddress);
// One packet per column c < `columns`; none for a table without parameters.
void AppendTablePackets(const CTreeNode &table, const CParamPage &page, uint8_t wireAddress, QStringList &list);

// What the write finds on the pages by page number; null when the control is missing.
struct TWritePages {
    std::function<const CParamPage *(int pageId)> ParamPage; // the page of lvQ + n
    std::function<const CTree *(int pageId)> KeyTree;        // the nodes of tvKey + n
};

// The whole list: the device's table nodes and pageIds walked together, "table" tables by their
// pages, "key" tables by their trees in tree order, "pass" and others nothing; then the end packet.
// Every line is checked as a packet text before it is returned, so a list that comes back can be
// sent whole; a line that is not one throws CPacketBuildError. Nothing here touches the adapter.
QStringList BuildWritePacketList(const CTreeNode &device, const QList<int> &pageIds, uint8_t wireAddress,
                                 const TWritePages &pages);
// Throws CPacketBuildError for the first line that is not a well-formed packet text once its blanks
// are removed.
void CheckPacketList(const QStringList &lines);

inline const QString WriteStoppedText =
    QStringLiteral("Конфигурация записана в прибор не полностью: передача остановлена на ошибке. "
                   "Изменения на страницах сохранены.");
inline const QString KeyLoadStoppedText =
    QStringLiteral("Ключ загружен в прибор не полностью: передача остановлена на ошибке.");

// The write's confirmation of the device: shows the selection dialog (list mode, the open device
// preset) and returns its result. Tests answer it without a modal loop; null restores Execute().
class TSelectDeviceForm;
using WriteConfirmation = std::function<int(TSelectDeviceForm &dialog)>;
void SetWriteConfirmationHook(WriteConfirmation hook);
int ConfirmWriteDevice(TSelectDeviceForm &dialog);
