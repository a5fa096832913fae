#pragma once
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include "model/config_tree.h"

// The state of one key page without widgets: the flat list of keys (a CTree of top-level nodes, each
// holding the page's own CKey), the master mark and the rules that fill, add, remove, renumber and
// edit keys. The tree view tvKey + n shows the list; the read, the write, the save, the single-key
// exchange and the report walk its top-level nodes.
//
// Records on the page:
// - the master key: id 1, name "Мастер-ключ", master set; at most one, always the first node;
// - any other key: id p + 1 (master in the list) or p + 2 (not), p its position from 0; master clear;
//   name "<" + shown name + "> №" + the key number in decimal;
// - hos_count = LoopCount as it stood when the key was made or copied, and exactly 2 * hos_count
//   flags (0 when hos_count is negative): flag r - 1 arms loop r, flag hos_count + r - 1 disarms it;
// - KeyVz_Sn (bit 0 arming, bit 1 disarming) and KeyLocLevel matter only without loops.
// Node texts: position number (p + 1) + ". " + name; nodes copied from a file read id + ". " + name
// until they are renumbered. Image and selected image 6 (imgKey).

// Loops a key page shows at most; a larger LoopCount is lowered to this for every later use.
constexpr int kMaxKeyPageLoops = 16;
// The message that goes with lowering it.
inline const QString kTooManyKeyLoopsText =
    QStringLiteral("Количество шлейфов более 16. Возможно, ошибка в файле параметров.");

inline const QString kMasterKeyName = QStringLiteral("Мастер-ключ");
inline const QString kNewKeyName = QStringLiteral("<ключ> №1");
inline const QString kEmptyKeyCode = QStringLiteral("000000000000");
// The description's parameter whose entries name the key types.
inline const QString kKeyTypeNodeText = QStringLiteral("Тип ключа");

// Flags a record with this hos_count carries.
int LoopFlagCount(int hosCount);
// Resizes the record's flags to exactly LoopFlagCount(hos_count), padding with false.
void FitLoopFlags(CKey &key);
// Flag index of the record; false outside its list.
bool KeyLoopFlag(const CKey &key, int index);
// Sets flag index; false (nothing changed) outside the record's list.
bool SetKeyLoopFlag(CKey &key, int index, bool value);

// A fresh record with all flags clear, KeyVz_Sn and KeyLocLevel 0, kind empty.
std::shared_ptr<CKey> MakeKeyRecord(int id, const QString &name, int keyType, bool master, int loops,
                                    const QString &code = kEmptyKeyCode);

// "number. name".
QString KeyNodeText(int number, const QString &name);
// number + the old text from its first "." on (the whole old text when it has none).
QString RenumberedText(int number, const QString &oldText);
// The name an edit shows: from the second character up to, not including, the first ">"; empty when
// there is no ">" ("ключ" for "<ключ> №5").
QString ShownKeyName(const QString &name);
// The text after the first "№" (the whole name when there is none).
QString KeyNumberText(const QString &name);
// That text read as a decimal number; throws CConvertError when it is none.
int KeyNumberOfName(const QString &name);
// "<" + shown + "> " + the old name from its first "№" on (all of it when there is none).
QString NameWithShownName(const QString &oldName, const QString &shown);
// The old name up to and including its first "№" (nothing when there is none) + number.
QString NameWithNumber(const QString &oldName, int number);

// Entries of the key type list of a page: the current device's first table of type "key" (any case),
// its first parameter with list entries. Parameter empty and no names when there is none.
struct KeyTypeList {
    QString Parameter;  // labelKeyType's text
    QStringList Names;  // the entries' names, in order
};
KeyTypeList KeyTypeListOf(const CTreeNode *device);

// The "Тип ключа" node from device on (FindNodeByText), null when there is none.
CTreeNode *KeyTypeNode(CTreeNode *device);
// Among the first listCount entries of typeNode, the position of the first whose value reads as
// keyType; -1 when none.
int KeyTypeIndex(const CTreeNode *typeNode, int listCount, int keyType);
// Among the first listCount entries of typeNode, the value of the first whose name is text.
std::optional<int> KeyTypeValue(const CTreeNode *typeNode, int listCount, const QString &text);

class CKeyPageState {
public:
    explicit CKeyPageState(CTree &keys) : Keys(keys) {}

    CTree &Keys;
    int MasterMark = 0; // 1 while the master key is in the list (the old tree's Tag)

    int Count() const { return Keys.count(); }
    CTreeNode *Node(int position) const { return Keys.topNode(position); }

    // Fills the list from the values tree's key table: a child holding a file's key record (kind
    // "Key") is copied, any other child (a read) is decoded. A file key whose hos_count differs from
    // loops ends the copying. A second master key (key 0 of a read, id 1 of a file) is dropped.
    // Throws CConvertError for a code byte of a read that is not a decimal number; the keys made
    // until then stay.
    void Fill(const CTreeNode &valuesTable, int loops);

    // The number a node text shows for a key: id while the master is in the list, id - 1 otherwise.
    int ShownNumber(const CKey &key) const { return MasterMark == 1 ? key.id : key.id - 1; }

    // Adds an ordinary key at the end when there is room: with the master in the list up to
    // keyCount keys, without it up to keyCount - 1 besides the first, one place kept for the master.
    // Returns the new node, null when the list is full.
    CTreeNode *AddKey(int keyCount, int loops);
    // Inserts the master key first and renumbers every node; null (nothing done) while it is there.
    CTreeNode *AddMaster(int loops);
    // Removes node (a node of this list) and renumbers the rest.
    void Remove(CTreeNode *node);
    // Ids and node numbers from the positions.
    void Renumber();

    // Edits of a key record, each also setting the node text where the name changes.
    void SetShownName(CTreeNode *node, const QString &shown);
    void SetNumber(CTreeNode *node, int number);

private:
    void AddFromRead(const CTreeNode &keyNode, int loops);
    bool CopyFromFile(const CKey &stored, int loops);
    CTreeNode *Append(const QString &text, std::shared_ptr<CKey> key);
    CTreeNode *InsertFirst(const QString &text, std::shared_ptr<CKey> key);
};
