#include "model/read_tree.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

namespace {

bool InByte(int value) { return value >= 0 && value <= 255; }

int TableImageOf(const QString &type)
{
    if (type == QLatin1String("table"))
        return imgParamTable;
    if (type == QLatin1String("key"))
        return imgKeyTable;
    if (type == QLatin1String("pass"))
        return imgPassTable;
    return -1;
}

// Sets the kind's picture; a marked node shows the marker and keeps the kind's selected picture.
void SetImages(CTreeNode *node, int image, bool marker)
{
    if (image >= 0)
        node->setImage(image);
    if (marker)
        node->imageIndex = DefaultMarker;
}

CTreeNode *AddValueNode(CTreeNode *parent, const QString &kind, const QString &name, const QString &value,
                        bool marker)
{
    auto item = std::make_shared<CItem>();
    item->kind = kind;
    item->name = name;
    item->value = value;
    CTreeNode *n = parent->addChild(name, std::move(item));
    SetImages(n, imgItem, marker);
    return n;
}

// The byte mask of a parameter: its address as a decimal number.
int ByteMaskOf(const CParameter &parameter)
{
    if (const std::optional<int> mask = ParseDecimalInt(parameter.address))
        return *mask;
    throw CConvertError(QStringLiteral("Адрес '%1' параметра '%2' не является целым числом.")
                            .arg(parameter.address, parameter.name)
                            .toStdString());
}

// A column's table address: one to eight hexadecimal digits, nothing else.
int TableAddressOf(const QString &text, const CTable &table)
{
    bool ok = !text.isEmpty() && text.size() <= 8;
    for (QChar ch : text)
        ok = ok && ((ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) ||
                    (ch >= QLatin1Char('a') && ch <= QLatin1Char('f')) ||
                    (ch >= QLatin1Char('A') && ch <= QLatin1Char('F')));
    if (ok)
        return int(text.toUInt(nullptr, 16));
    throw CConvertError(QStringLiteral("Адрес столбца '%1' таблицы '%2' не является шестнадцатеричным числом.")
                            .arg(text, table.name)
                            .toStdString());
}

const CParameter *FirstParameter(const CTreeNode &table)
{
    for (const CTreeNode *n = table.firstChild(); n; n = n->nextSibling())
        if (const CParameter *p = n->parameter())
            return p;
    return nullptr;
}

const CItem *FirstItem(const CTreeNode &parameter)
{
    for (const CTreeNode *n = parameter.firstChild(); n; n = n->nextSibling())
        if (const CItem *i = n->item())
            return i;
    return nullptr;
}

} // namespace

int KeyNumberFromText(const QString &text)
{
    const qsizetype sign = text.indexOf(QStringLiteral("№"));
    const QString number = sign < 0 ? text : text.mid(sign + 1);
    return ParseDecimalInt(number.trimmed()).value_or(0);
}

QStringList KeyListTexts(const CTree &keyList)
{
    QStringList texts;
    for (const CTreeNode *n = keyList.firstNode(); n; n = n->nextSibling())
        texts << n->text;
    return texts;
}

bool AnswerMatches(const CanPacket &record, const AnswerQuery &query)
{
    if (record[0] != kConfigAnswerCommand || record[1] != query.section || record[2] != query.wireAddress ||
        record[3] != query.tableCode)
        return false;
    if (query.tableCode == kKeyTableCode)
        return !query.columnKey || *query.columnKey < 0 || record[4] + 256 * record[5] == *query.columnKey;
    return (query.columnKey && record[4] == *query.columnKey) || query.anyColumn;
}

const CanPacket *AnswerScan::find(const AnswerQuery &query) const
{
    for (const CanPacket &record : packets_)
        if (AnswerMatches(record, query))
            return &record;
    return nullptr;
}

std::vector<int> AnswerScan::answeredKeys(int wireAddress, int tableCode, const std::vector<int> &sections) const
{
    std::vector<int> keys;
    if (tableCode != kKeyTableCode)
        return keys;
    for (const CanPacket &record : packets_) {
        const int key = record[4] + 256 * record[5];
        const bool answers = std::any_of(sections.begin(), sections.end(), [&](int section) {
            return AnswerMatches(record, AnswerQuery{wireAddress, section, tableCode, std::nullopt, false});
        });
        if (answers && std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    }
    return keys;
}

AnswerIndex::AnswerIndex(const std::vector<CanPacket> &packets) : packets_(packets)
{
    for (int i = 0; i < int(packets.size()); ++i) {
        const CanPacket &r = packets[i];
        if (r[0] != kConfigAnswerCommand)
            continue;
        Bucket &b = buckets_[(r[2] * 256 + r[1]) * 256 + r[3]];
        if (b.first < 0)
            b.first = i;
        if (b.byColumn[r[4]] < 0)
            b.byColumn[r[4]] = i;
        if (r[3] == kKeyTableCode)
            b.byKey.try_emplace(r[4] + 256 * r[5], i);
    }
}

const CanPacket *AnswerIndex::find(const AnswerQuery &query) const
{
    if (!InByte(query.wireAddress) || !InByte(query.section) || !InByte(query.tableCode))
        return nullptr;
    const auto it = buckets_.find((query.wireAddress * 256 + query.section) * 256 + query.tableCode);
    if (it == buckets_.end())
        return nullptr;
    const Bucket &b = it->second;
    int found = -1;
    if (query.tableCode == kKeyTableCode) {
        if (!query.columnKey || *query.columnKey < 0) {
            found = b.first;
        } else if (const auto k = b.byKey.find(*query.columnKey); k != b.byKey.end()) {
            found = k->second;
        }
    } else if (query.anyColumn) {
        found = b.first; // no record of the bucket comes before it
    } else if (query.columnKey && InByte(*query.columnKey)) {
        found = b.byColumn[*query.columnKey];
    }
    return found < 0 ? nullptr : &packets_[found];
}

std::vector<int> AnswerIndex::answeredKeys(int wireAddress, int tableCode, const std::vector<int> &sections) const
{
    if (tableCode != kKeyTableCode || !InByte(wireAddress))
        return {};
    // The first record of each key over all the sections, then the keys in the order of those records.
    std::unordered_map<int, int> firstOf;
    for (int section : sections) {
        if (!InByte(section))
            continue;
        const auto it = buckets_.find((wireAddress * 256 + section) * 256 + tableCode);
        if (it == buckets_.end())
            continue;
        for (const auto &[key, index] : it->second.byKey) {
            const auto [at, added] = firstOf.try_emplace(key, index);
            if (!added)
                at->second = std::min(at->second, index);
        }
    }
    std::vector<std::pair<int, int>> byRecord; // (record, key)
    for (const auto &[key, index] : firstOf)
        byRecord.emplace_back(index, key);
    std::sort(byRecord.begin(), byRecord.end());
    std::vector<int> keys;
    for (const auto &entry : byRecord)
        keys.push_back(entry.second);
    return keys;
}

std::optional<QString> AnswerValueText(const CanPacket &record, int byteMask, const CParameter &parameter)
{
    uint64_t number = 0;
    bool selected = false;
    for (int k = 7; k >= 0; --k) {
        if (byteMask & (1 << k)) {
            number = (number << 8) | record[4 + k];
            selected = true;
        }
    }
    if (!selected || number > 0xFFFFFFFFu || number == 0xFFFF0001u)
        return std::nullopt;
    int32_t value = int32_t(uint32_t(number));
    if (parameter.address_bit == 0 || value < 0)
        return QString::number(value);
    value &= parameter.address_bit;
    if (parameter.type == QStringLiteral("логический"))
        return value != 0 ? QStringLiteral("+") : QStringLiteral(" ");
    return QString::number(value);
}

CTreeNode *CloneNode(const CTreeNode &source, CTreeNode *parent, const QString &valueText, bool marker,
                     CTree &target)
{
    CTreeNode *n = nullptr;
    int image = -1;
    if (const CDevice *d = source.device(); d && d->kind == QLatin1String("Device")) {
        auto copy = std::make_shared<CDevice>();
        copy->kind = d->kind;
        copy->name = d->name;
        copy->version = d->version;
        n = target.addChild(nullptr, d->name + QStringLiteral(" (") + d->version + QStringLiteral(")"),
                            std::move(copy));
        image = imgDevice;
    } else if (const CTable *t = source.table(); t && t->kind == QLatin1String("Table")) {
        auto copy = std::make_shared<CTable>();
        copy->kind = t->kind;
        copy->name = t->name;
        copy->type = t->type;
        copy->can_type = t->can_type;
        copy->columns = t->columns;
        copy->column_width = t->column_width;
        copy->can_data_size = t->can_data_size;
        copy->max_key_count = t->max_key_count;
        n = target.addChild(parent, t->name, std::move(copy));
        image = TableImageOf(t->type);
    } else if (const CParameter *p = source.parameter(); p && p->kind == QLatin1String("Parameter")) {
        auto copy = std::make_shared<CParameter>();
        copy->kind = p->kind;
        copy->name = p->name;
        copy->type = p->type;
        copy->address = p->address;
        copy->address_bit = p->address_bit;
        copy->default_value = p->default_value;
        copy->min_value = p->min_value;
        copy->max_value = p->max_value;
        copy->formula = p->formula;
        n = target.addChild(parent, p->name, std::move(copy));
        image = imgParameter;
    } else if (const CItem *i = source.item();
               i && (i->kind == QLatin1String("Item") || i->kind == QLatin1String("ItemValue"))) {
        auto copy = std::make_shared<CItem>();
        copy->kind = i->kind;
        copy->name = i->name;
        copy->value = i->kind == QLatin1String("Item") ? valueText : i->value;
        n = target.addChild(parent, i->name, std::move(copy));
        image = imgItem;
    } else if (const CKey *k = source.key(); k && k->kind == QLatin1String("Key")) {
        auto copy = std::make_shared<CKey>();
        copy->kind = k->kind;
        copy->id = k->id;
        copy->name = k->name;
        copy->key_code = k->key_code;
        copy->master = k->master;
        copy->hos_count = k->hos_count;
        n = target.addChild(parent, k->name, std::move(copy));
        image = imgKey;
    } else if (const CPass *s = source.pass(); s && s->kind == QLatin1String("Pass")) {
        auto copy = std::make_shared<CPass>();
        copy->kind = s->kind;
        copy->id = s->id;
        copy->name = s->name;
        copy->password = s->password;
        copy->administrator = s->administrator;
        copy->disabled = s->disabled;
        copy->access = s->access;
        copy->hos_key = s->hos_key;
        copy->hos_count = s->hos_count;
        n = target.addChild(parent, s->name, std::move(copy));
        image = imgPass;
    }
    if (n)
        SetImages(n, image, marker);
    return n;
}

void DecodeParameterValue(const CTreeNode &device, const CTreeNode &table, const CTreeNode &parameter,
                          int keyNumber, CTreeNode &parameterNode, const AnswerFinder &answers)
{
    const CDevice *d = device.device();
    const CTable *t = table.table();
    const CParameter *p = parameter.parameter();
    if (!d || !t || !p)
        return;
    const bool keyTable = t->can_type == kKeyTableCode;
    const int byteMask = ByteMaskOf(*p);
    const CParameter *first = FirstParameter(table);
    const bool anyColumn = !keyTable && t->columns == 1 && first &&
                           first->type.toUpper() != QLatin1String("SYS");
    // The first parameter of a multi-column table names its columns: without an answer it shows the
    // column's table address.
    const bool showsAddress = t->columns > 1 && first && p->name == first->name;
    const CItem *item = FirstItem(parameter);
    const QString valueName = item ? item->name : p->name;

    const int columns = UsableCount(t->columns, kMaxColumns);
    for (int c = 0; c < columns; ++c) {
        // A column beyond the description's addresses has none: it takes only what any column takes.
        std::optional<int> address;
        if (!keyTable && c < t->tab_addr.size())
            address = TableAddressOf(t->tab_addr[c], *t);

        AnswerQuery query;
        query.wireAddress = d->device_addr - 1;
        query.section = p->can_id_razdel;
        query.tableCode = t->can_type;
        if (keyTable) {
            if (keyNumber >= 0)
                query.columnKey = keyNumber;
        } else {
            query.columnKey = address;
            query.anyColumn = anyColumn;
        }

        std::optional<QString> value;
        if (const CanPacket *record = answers.find(query))
            value = AnswerValueText(*record, byteMask, *p);
        const bool marker = !value;
        if (!value) {
            if (keyTable)
                return; // a key that did not answer has no values, not defaults
            value = showsAddress && address ? QString::number(*address) : p->default_value;
        }
        AddValueNode(&parameterNode, QStringLiteral("Item"), valueName, *value, marker);
    }
}

CTreeNode *BuildReadTree(CTree &target, const CTreeNode &device, const AnswerFinder &answers,
                         const QStringList &keyTexts)
{
    CTreeUpdate update(target);
    CTreeNode *deviceNode = CloneNode(device, nullptr, QString(), false, target);
    if (!deviceNode)
        return nullptr;

    for (const CTreeNode *tn = device.firstChild(); tn; tn = tn->nextSibling()) {
        const CTable *t = tn->table();
        if (!t)
            continue;
        CTreeNode *tableNode = CloneNode(*tn, deviceNode, QString(), false, target);
        if (!tableNode)
            continue;

        const bool perKey = t->type.toLower() == QLatin1String("key");
        std::vector<int> keys;
        if (perKey)
            for (const QString &text : keyTexts)
                keys.push_back(KeyNumberFromText(text));
        if (perKey && keys.empty()) {
            // The read asked for every key: each key the device sent gets its own node, not only the
            // first, so none is lost from the page and from a file saved from it.
            std::vector<int> sections;
            for (const CTreeNode *pn = tn->firstChild(); pn; pn = pn->nextSibling())
                if (const CParameter *p = pn->parameter())
                    sections.push_back(p->can_id_razdel);
            if (const CDevice *d = device.device())
                keys = answers.answeredKeys(d->device_addr - 1, t->can_type, sections);
        }
        if (keys.empty())
            keys.push_back(-1); // any key

        for (int key : keys) {
            CTreeNode *under = perKey ? CloneNode(*tn, tableNode, QString(), false, target) : tableNode;
            for (const CTreeNode *pn = tn->firstChild(); pn; pn = pn->nextSibling()) {
                if (!pn->parameter())
                    continue; // records of another kind carry no answers
                if (CTreeNode *parameterNode = CloneNode(*pn, under, QString(), false, target))
                    DecodeParameterValue(device, *tn, *pn, key, *parameterNode, answers);
            }
        }
    }
    return deviceNode;
}

CTreeNode *BuildReadTree(CTree &target, const CTreeNode &device, const std::vector<CanPacket> &packets,
                         const QStringList &keyTexts)
{
    const AnswerIndex answers(packets);
    return BuildReadTree(target, device, answers, keyTexts);
}
