#include "editor/key_page_state.h"

#include <algorithm>

#include "model/config_loader.h"
#include "model/model_classes.h"
#include "model/tree_search.h"

int LoopFlagCount(int hosCount) { return 2 * UsableCount(hosCount, kMaxLoops); }

void FitLoopFlags(CKey &key) { key.hos_chk.resize(size_t(LoopFlagCount(key.hos_count)), false); }

bool KeyLoopFlag(const CKey &key, int index)
{
    return index >= 0 && size_t(index) < key.hos_chk.size() && key.hos_chk[size_t(index)];
}

bool SetKeyLoopFlag(CKey &key, int index, bool value)
{
    if (index < 0 || size_t(index) >= key.hos_chk.size())
        return false;
    key.hos_chk[size_t(index)] = value;
    return true;
}

std::shared_ptr<CKey> MakeKeyRecord(int id, const QString &name, int keyType, bool master, int loops,
                                    const QString &code)
{
    auto k = std::make_shared<CKey>();
    k->id = id;
    k->name = name;
    k->key_type = keyType;
    k->key_code = code;
    k->master = master;
    k->hos_count = loops;
    FitLoopFlags(*k);
    return k;
}

QString KeyNodeText(int number, const QString &name) { return QString::number(number) + QStringLiteral(". ") + name; }

QString RenumberedText(int number, const QString &oldText)
{
    const qsizetype dot = oldText.indexOf(u'.');
    return QString::number(number) + (dot < 0 ? oldText : oldText.mid(dot));
}

QString ShownKeyName(const QString &name)
{
    const qsizetype close = name.indexOf(u'>');
    return close < 1 ? QString() : name.mid(1, close - 1);
}

namespace {
const QString kNumberSign = QStringLiteral("№");
} // namespace

QString KeyNumberText(const QString &name)
{
    const qsizetype sign = name.indexOf(kNumberSign);
    return sign < 0 ? name : name.mid(sign + 1);
}

int KeyNumberOfName(const QString &name)
{
    const QString text = KeyNumberText(name);
    if (const std::optional<int> v = ParseDecimalInt(text.trimmed()))
        return *v;
    throw CConvertError(QStringLiteral("'%1' не является целым числом (номер ключа '%2').").arg(text, name).toStdString());
}

QString NameWithShownName(const QString &oldName, const QString &shown)
{
    const qsizetype sign = oldName.indexOf(kNumberSign);
    return QStringLiteral("<") + shown + QStringLiteral("> ") + (sign < 0 ? oldName : oldName.mid(sign));
}

QString NameWithNumber(const QString &oldName, int number)
{
    const qsizetype sign = oldName.indexOf(kNumberSign);
    return oldName.left(sign + 1) + QString::number(number);
}

KeyTypeList KeyTypeListOf(const CTreeNode *device)
{
    KeyTypeList list;
    if (!device)
        return list;
    for (const CTreeNode *t = device->firstChild(); t; t = t->nextSibling()) {
        const CTable *table = t->table();
        if (!table || table->type.toLower() != QLatin1String("key"))
            continue;
        for (const CTreeNode *p = t->firstChild(); p; p = p->nextSibling()) {
            if (!p->hasChildren())
                continue;
            const CParameter *parameter = p->parameter();
            list.Parameter = parameter ? parameter->name : p->text;
            for (const CTreeNode *i = p->firstChild(); i; i = i->nextSibling())
                list.Names << (i->item() ? i->item()->name : i->text);
            return list;
        }
        return list; // only the first key table counts
    }
    return list;
}

CTreeNode *KeyTypeNode(CTreeNode *device) { return device ? FindNodeByText(device, kKeyTypeNodeText) : nullptr; }

int KeyTypeIndex(const CTreeNode *typeNode, int listCount, int keyType)
{
    if (!typeNode)
        return -1;
    int position = 0;
    for (const CTreeNode *i = typeNode->firstChild(); i && position < listCount; i = i->nextSibling(), ++position)
        if (const CItem *item = i->item())
            if (ParseDecimalInt(item->value) == keyType)
                return position;
    return -1;
}

std::optional<int> KeyTypeValue(const CTreeNode *typeNode, int listCount, const QString &text)
{
    if (!typeNode)
        return std::nullopt;
    int position = 0;
    for (const CTreeNode *i = typeNode->firstChild(); i && position < listCount; i = i->nextSibling(), ++position)
        if (const CItem *item = i->item(); item && item->name == text)
            return ParseDecimalInt(item->value); // an entry that is no number changes nothing
    return std::nullopt;
}

// CKeyPageState

CTreeNode *CKeyPageState::Append(const QString &text, std::shared_ptr<CKey> key)
{
    CTreeNode *node = Keys.addChild(nullptr, text, std::move(key));
    node->setImage(imgKey);
    Keys.changed(node);
    return node;
}

CTreeNode *CKeyPageState::InsertFirst(const QString &text, std::shared_ptr<CKey> key)
{
    CTreeNode *node = Keys.hiddenRoot()->insertChild(0, text, std::move(key));
    node->setImage(imgKey);
    Keys.changed(node);
    return node;
}

void CKeyPageState::Fill(const CTreeNode &valuesTable, int loops)
{
    for (const CTreeNode *child = valuesTable.firstChild(); child; child = child->nextSibling()) {
        if (const CKey *stored = child->key(); stored && stored->kind == QLatin1String("Key")) {
            if (!CopyFromFile(*stored, loops))
                return;
        } else {
            AddFromRead(*child, loops);
        }
    }
}

bool CKeyPageState::CopyFromFile(const CKey &stored, int loops)
{
    if (stored.hos_count != loops)
        return false;
    if (stored.id == 1 && MasterMark == 1)
        return true; // never two master keys on one page
    auto k = std::make_shared<CKey>();
    k->id = stored.id;
    k->name = stored.name;
    k->key_type = stored.key_type;
    k->key_code = stored.key_code;
    k->master = stored.master;
    k->hos_count = stored.hos_count;
    k->hos_chk = stored.hos_chk;
    FitLoopFlags(*k); // a file may hold fewer flags than its count says
    k->KeyVz_Sn = stored.KeyVz_Sn;
    k->KeyLocLevel = stored.KeyLocLevel;
    if (k->id == 1)
        MasterMark = 1;
    const QString text = KeyNodeText(k->id, k->name);
    Append(text, std::move(k));
    return true;
}

namespace {
// The decoded value of the parameter node: its first child's value text, none without a child.
std::optional<QString> ValueOf(const CTreeNode *parameterNode)
{
    const CTreeNode *value = parameterNode->firstChild();
    if (!value)
        return std::nullopt;
    const CItem *item = value->item();
    return item ? item->value : QString();
}

QString CodeByteText(int value)
{
    return QStringLiteral("%1").arg(uint(value), 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

void CKeyPageState::AddFromRead(const CTreeNode &keyNode, int loops)
{
    std::optional<int> number;
    int keyType = 1;
    int word2 = 0;
    int word3 = 0;
    QString code;
    int m = 0;
    for (const CTreeNode *p = keyNode.firstChild(); p; p = p->nextSibling(), ++m) {
        const std::optional<QString> text = ValueOf(p);
        if (!text)
            continue;
        if (m >= 4 && m <= 9) {
            const std::optional<int> byte = ParseDecimalInt(*text);
            if (!byte)
                throw CConvertError(
                    QStringLiteral("'%1' не является целым числом (код ключа, %2).").arg(*text, p->text).toStdString());
            code += CodeByteText(*byte);
            continue;
        }
        const int v = ParseDecimalInt(*text).value_or(0);
        switch (m) {
        case 0: number = v; break;
        case 1: keyType = v; break;
        case 2: word2 = v; break;
        case 3: word3 = v; break;
        default: break; // later parameters are not used
        }
    }
    if (!number)
        return; // the key did not answer
    const int used = UsableCount(loops, kMaxLoops);
    if (*number == 0) {
        if (MasterMark == 1)
            return; // never two master keys on one page
        auto k = MakeKeyRecord(1, kMasterKeyName, keyType, true, loops, code);
        for (int r = 0; r < used; ++r)
            SetKeyLoopFlag(*k, r, true);
        InsertFirst(KeyNodeText(1, kMasterKeyName), std::move(k));
        MasterMark = 1;
        if (Count() > 1)
            Renumber(); // keys read before it move one place down
        return;
    }
    const int count = Count();
    auto k = MakeKeyRecord(count + (MasterMark == 1 ? 1 : 2), QStringLiteral("<ключ> №") + QString::number(*number),
                           keyType, false, loops, code);
    if (used > 0) {
        for (int r = 0; r < used && r < 32; ++r) {
            SetKeyLoopFlag(*k, r, (uint(word2) >> r) & 1u);
            SetKeyLoopFlag(*k, used + r, (uint(word3) >> r) & 1u);
        }
    } else {
        k->KeyVz_Sn = uint8_t(word2);
        k->KeyLocLevel = uint8_t(word3);
    }
    const QString text = KeyNodeText(count + 1, k->name);
    Append(text, std::move(k));
}

CTreeNode *CKeyPageState::AddKey(int keyCount, int loops)
{
    const int count = Count();
    const int reserve = count > 0 && MasterMark == 0 ? 1 : 0;
    if (count >= keyCount - reserve)
        return nullptr;
    auto k = MakeKeyRecord(count + (MasterMark == 1 ? 1 : 2), kNewKeyName, 1, false, loops);
    return Append(KeyNodeText(count + 1, kNewKeyName), std::move(k));
}

CTreeNode *CKeyPageState::AddMaster(int loops)
{
    if (MasterMark != 0)
        return nullptr;
    CTreeNode *node = InsertFirst(KeyNodeText(1, kMasterKeyName), MakeKeyRecord(1, kMasterKeyName, 2, true, loops));
    MasterMark = 1;
    Renumber();
    return node;
}

void CKeyPageState::Remove(CTreeNode *node)
{
    if (!node || node->tree() != &Keys || node->parent())
        return;
    if (const CKey *k = node->key(); k && k->id == 1)
        MasterMark = 0;
    Keys.remove(node);
    Renumber();
}

void CKeyPageState::Renumber()
{
    int p = 0;
    for (CTreeNode *n = Keys.firstNode(); n; n = n->nextSibling(), ++p) {
        if (CKey *k = n->key())
            k->id = p + (MasterMark == 1 ? 1 : 2);
        n->text = RenumberedText(p + 1, n->text);
        Keys.changed(n);
    }
}

void CKeyPageState::SetShownName(CTreeNode *node, const QString &shown)
{
    CKey *k = node ? node->key() : nullptr;
    if (!k)
        return;
    k->name = NameWithShownName(k->name, shown);
    node->text = KeyNodeText(ShownNumber(*k), k->name);
    Keys.changed(node);
}

void CKeyPageState::SetNumber(CTreeNode *node, int number)
{
    CKey *k = node ? node->key() : nullptr;
    if (!k)
        return;
    k->name = NameWithNumber(k->name, number);
    node->text = KeyNodeText(ShownNumber(*k), k->name);
    Keys.changed(node);
}
