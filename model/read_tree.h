#pragma once
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

#include "adapters/usbcan/usbcan_api.h"
#include "model/config_loader.h"
#include "model/config_tree.h"

// Decoding a device's configuration answers into the read-back tree: a tree shaped like the device's
// description, one value node per parameter and column, from which the editor builds its pages.
//
// An answer record: byte 0 command 10 (hex), byte 1 the parameter's section, byte 2 the wire address
// (device_addr - 1), byte 3 the table code; byte 4 the column's table address, or bytes 4 and 5 the
// key number low byte first in the key table (code 3); bytes 4..11 are data bytes 0..7.


// Command byte of a configuration answer.
constexpr int kConfigAnswerCommand = 0x10;
// Table code of the key table.
constexpr int kKeyTableCode = 3;

// The key number carried by a key list node's text: the text after the first "№" (all of it when
// there is none), blanks around it ignored, read as a decimal number; 0 when it is not one, so the
// master key ("Мастер-ключ") is key 0.
int KeyNumberFromText(const QString &text);

// The texts of the top-level nodes of a key list, in order.
QStringList KeyListTexts(const CTree &keyList);

// What one column of one parameter looks for among the answers.
struct AnswerQuery {
    int wireAddress = 0; // byte 2: device_addr - 1
    int section = 0;     // byte 1
    int tableCode = 0;   // byte 3
    // Key table: the key number, none for any key (bytes 4 and 5 as one 16-bit number; a key is never
    // matched by its low byte alone). Other tables: the column's table address (byte 4), none when
    // the description gives the column no address.
    std::optional<int> columnKey;
    // Other tables only: a one-column table whose first parameter is not "sys" takes any byte 4.
    bool anyColumn = false;
};

// Whether record answers query.
bool AnswerMatches(const CanPacket &record, const AnswerQuery &query);

// Finds the earliest record in a list of received packets that answers a query.
class AnswerFinder {
public:
    virtual ~AnswerFinder() = default;
    virtual const CanPacket *find(const AnswerQuery &query) const = 0;
    // The key numbers that answered in the key table (tableCode kKeyTableCode) at wireAddress in any
    // of sections: each number once, in the order of its first record. Empty for another table code.
    virtual std::vector<int> answeredKeys(int wireAddress, int tableCode, const std::vector<int> &sections) const = 0;
};

// The plain scan from the first record, one pass per query. Kept as the reference the index is
// checked against; slow when a device has many columns and the list is long.
class AnswerScan : public AnswerFinder {
public:
    explicit AnswerScan(const std::vector<CanPacket> &packets) : packets_(packets) {}
    const CanPacket *find(const AnswerQuery &query) const override;
    std::vector<int> answeredKeys(int wireAddress, int tableCode, const std::vector<int> &sections) const override;

private:
    const std::vector<CanPacket> &packets_;
};

// One pass over the list up front; then every query is answered without scanning. Gives the same
// record as AnswerScan for every query. The list must outlive the index and stay unchanged.
class AnswerIndex : public AnswerFinder {
public:
    explicit AnswerIndex(const std::vector<CanPacket> &packets);
    const CanPacket *find(const AnswerQuery &query) const override;
    std::vector<int> answeredKeys(int wireAddress, int tableCode, const std::vector<int> &sections) const override;

private:
    // The earliest record of one address, section and table code, overall and by column or key.
    struct Bucket {
        int first = -1;
        std::array<int, 256> byColumn;
        std::unordered_map<int, int> byKey; // key table only
        Bucket() { byColumn.fill(-1); }
    };
    const std::vector<CanPacket> &packets_;
    std::unordered_map<int, Bucket> buckets_; // by (address * 256 + section) * 256 + table code
};

// The value a record carries for a parameter, as decimal text, or none when the record counts as
// no answer. The bytes the mask selects (bit k = data byte k) form a little-endian number, the
// lowest selected byte least significant; above FFFFFFFF, FFFF0001 (-65535) and no byte selected
// count as no answer; from 2^31 up the number is a negative 32-bit value. A non-negative value is
// then masked with a nonzero address_bit (not shifted), and a "логический" parameter shows such a
// masked value as "+" or " ".
std::optional<QString> AnswerValueText(const CanPacket &record, int byteMask, const CParameter &parameter);

// Copies the object of a description node into target as the read-back tree needs it: a device at
// the top level (text "name (version)"), anything else as the last child of parent. An "Item"
// becomes a CItem with the item's name and valueText. Images are those of the description; with
// marker the image is DefaultMarker and the selected image stays. Returns the new node, or null for
// a node of another kind.
CTreeNode *CloneNode(const CTreeNode &source, CTreeNode *parent, const QString &valueText, bool marker,
                     CTree &target);

// Adds under parameterNode one value node per column of table for the description parameter:
// the matching answer's value, or when none came the default with DefaultMarker (the first
// parameter of a multi-column table shows the column's table address in decimal instead). In the
// key table a missing answer ends the parameter's values without a default. keyNumber is the key
// the key table's columns ask for, -1 for any.
// Throws CConvertError when the parameter's address is not a decimal number or a column's table
// address is not hexadecimal.
void DecodeParameterValue(const CTreeNode &device, const CTreeNode &table, const CTreeNode &parameter,
                          int keyNumber, CTreeNode &parameterNode, const AnswerFinder &answers);

// Builds the read-back tree of the description device node in target (meant to be empty) from the
// received packets and the texts of the key list (KeyListTexts of the editor's key list): device,
// tables, under a key table one node per key, parameters and their values. With an empty key list
// the read asked for every key: the key table (code kKeyTableCode) gets one node per key number
// that answered in one of its parameters' sections, in the order the device sent them, and one
// node for any key when none answered. Neither the packets nor the description change. Returns the device node, null
// when device carries no CDevice. Throws CConvertError as DecodeParameterValue; what was built until
// then stays in target.
CTreeNode *BuildReadTree(CTree &target, const CTreeNode &device, const std::vector<CanPacket> &packets,
                         const QStringList &keyTexts);
// The same over any finder (the tests and the benchmark compare finders with it).
CTreeNode *BuildReadTree(CTree &target, const CTreeNode &device, const AnswerFinder &answers,
                         const QStringList &keyTexts);
