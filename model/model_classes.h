#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The six plain classes that describe a device model, a stored configuration or a read one.
// Each object is the data of one tree node (model/config_tree.h); the tree gives every relation,
// no object points to its parent or children. Members are public and read and written directly.
// `kind` is the XML element the object was read from; objects made by the pages stay with an empty
// one. Members the readers always set start at 0 here, so no object ever holds an undefined value.

class CDevice {
public:
    QString kind;
    QString name;        // model name, also the node text
    QString version;     // a .DEV file is paired with its catalogue model by name and version
    int device_id = 0;   // type id, carried by a search answer in its first data byte
    int device_addr = 0; // line address from 1; packets carry device_addr - 1
};

class CTable {
public:
    QString kind;
    QString type;          // "table", "key" or "pass"
    int can_type = 0;      // table code: the sub-code of the table's packets; 3 is the key table
    QString name;          // node text and page caption
    int columns = 0;       // value columns, as read (see UsableCount before sizing anything by it)
    int column_width = 0;  // pixels per value column
    int can_data_size = 0; // data bytes of each written packet
    int max_key_count = 0; // capacity of a key or password table, as read
    QStringList tab_addr;  // one two-digit hexadecimal table address per value column
};

class CParameter {
public:
    QString kind;
    QString name;          // node text and row caption
    QString type;          // "текстовый", "список", "логический", "числовой" or "sys"
    int can_id_razdel = 0; // section: the second byte of the parameter's packet identifiers
    QString address;       // decimal byte mask over the eight data bytes, bit i = data byte i
    int address_bit = 0;   // bit mask applied to the value when nonzero
    QString default_value; // raw value shown when none was loaded or received
    int min_value = 0;
    int max_value = 0;
    int formula = 0;       // shown = WrapToRange(raw + formula), raw = WrapToRange(shown) - formula
};

class CItem {
public:
    QString kind;  // "Item" (a list entry) or "ItemValue" (a stored column value)
    QString name;  // entry text; empty in a stored column value
    QString value; // the value as the device stores it
};

class CKey {
public:
    QString kind;
    int id = 0;
    QString name;            // "Мастер-ключ", or "<name> №" + key number
    int key_type = 0;
    QString key_code;        // twelve hexadecimal digits
    bool master = false;
    int hos_count = 0;       // loops the flags cover, as read
    std::vector<bool> hos_chk; // arm flags of loops 1..hos_count, then their disarm flags
    uint8_t KeyVz_Sn = 0;    // without loops: bit 0 arming allowed, bit 1 disarming allowed
    uint8_t KeyLocLevel = 0; // without loops: local control level
};

class CPass {
public:
    QString kind;
    int id = 0;              // 1 is the administrator
    QString name;
    QString password;
    bool administrator = false;
    bool disabled = false;
    bool access = false;
    bool hos_key = false;    // the user arms and disarms loops
    int hos_count = 0;       // loops the flags cover, as read
    std::vector<bool> hos_chk; // one flag per loop, loops 1..hos_count
};

// Limits for counts read from files. The counts themselves are kept as read (a save writes them
// back); whatever sizes a list, a loop or a page by one takes UsableCount of it, so a bad file never
// makes the program allocate or loop without bound.
constexpr int kMaxColumns = 256;
constexpr int kMaxLoops = 256;
constexpr int kMaxKeys = 65535;

// The count to size something by: 0 when negative, at most cap.
inline int UsableCount(int count, int cap) { return count < 0 ? 0 : (count > cap ? cap : count); }
