#include "sim/stored_config.h"

#include <algorithm>

#include <bit>

#include "model/config_loader.h"
#include "model/model_classes.h"
#include "model/xml_document.h"

namespace {

const QString kList = QStringLiteral("список");
const QString kLogical = QStringLiteral("логический");
const QString kNumeric = QStringLiteral("числовой");

CTreeNode *ChildWithText(const CTreeNode *node, const QString &text)
{
    if (!node)
        return nullptr;
    for (CTreeNode *c = node->firstChild(); c; c = c->nextSibling())
        if (c->text == text)
            return c;
    return nullptr;
}

int Mask(const CParameter &p) { return ParseDecimalInt(p.address).value_or(0) & 0xFF; }

// A table address as a byte; false when it is no two-digit-or-less hexadecimal number.
bool TabAddr(const QString &text, uint8_t &value)
{
    bool ok = false;
    const uint v = text.toUInt(&ok, 16);
    if (!ok || v > 0xFF)
        return false;
    value = uint8_t(v);
    return true;
}

SimTable BuildTable(const CTreeNode &tableNode, const CTreeNode *storedTable)
{
    const CTable &t = *tableNode.table();
    SimTable table;
    table.name = t.name;
    if (t.can_type < 0 || t.can_type > 31)
        return table; // no sub-code can carry it
    table.code = uint8_t(t.can_type);
    std::vector<const CTreeNode *> parameters;
    for (const CTreeNode *c = tableNode.firstChild(); c; c = c->nextSibling())
        if (c->parameter())
            parameters.push_back(c);
    if (parameters.empty())
        return table;
    const CParameter &first = *parameters.front()->parameter();
    table.writeSection = uint8_t(first.can_id_razdel);
    const int columns = UsableCount(t.columns, kMaxColumns);
    table.columnInByteZero = !(columns == 1 && first.type.toUpper() != QLatin1String("SYS"));
    for (const CTreeNode *p : parameters) {
        const uint8_t section = uint8_t(p->parameter()->can_id_razdel);
        if (Mask(*p->parameter()) &&
            std::find(table.sections.begin(), table.sections.end(), section) == table.sections.end())
            table.sections.push_back(section);
    }

    for (int c = 0; c < columns; ++c) {
        SimColumn column;
        const bool addressed = c < t.tab_addr.size() && TabAddr(t.tab_addr[c], column.tabAddr);
        if (!addressed && table.columnInByteZero)
            continue; // no table address: the programmer could not find this column
        for (const CTreeNode *p : parameters) {
            const CParameter &param = *p->parameter();
            const CTreeNode *storedParameter = ChildWithText(storedTable, p->text);
            const CTreeNode *stored = storedParameter ? storedParameter->child(c) : nullptr;
            int value;
            if (stored && stored->item())
                value = RawParameterValue(*p, stored->item()->value);
            else if (param.type.toUpper() == QLatin1String("SYS") || (columns > 1 && param.name == first.name))
                value = column.tabAddr;
            else
                value = RawParameterValue(*p, param.default_value);
            MergeValue(column.bytes, Mask(param), value);
        }
        if (table.columnInByteZero)
            column.bytes[0] = column.tabAddr;
        table.columns.push_back(column);
    }
    return table;
}

} // namespace

int RawParameterValue(const CTreeNode &parameter, const QString &text)
{
    const CParameter &p = *parameter.parameter();
    const std::optional<int> number = ParseDecimalInt(text.trimmed());
    if (p.type == kNumeric || p.type.toLower() == QLatin1String("sys"))
        return number.value_or(0);
    if (p.type == kList) {
        if (number)
            return *number;
        for (const CTreeNode *c = parameter.firstChild(); c; c = c->nextSibling())
            if (c->item() && c->item()->name == text)
                return ParseDecimalInt(c->item()->value.trimmed()).value_or(0);
        return 0;
    }
    if (p.type == kLogical) {
        const bool set = text == QLatin1String("+") || text == QLatin1String("1");
        if (p.address_bit)
            return set ? p.address_bit : 0;
        return text == QLatin1String("+") ? 1 : number.value_or(0);
    }
    return 0;
}

void MergeValue(SimRecord &bytes, int mask, int value)
{
    const uint32_t v = uint32_t(value);
    int pair = 0;
    for (int k = 0; k < 8; ++k) {
        if (!(mask & (1 << k)))
            continue;
        if (pair < 4)
            bytes[size_t(k)] |= uint8_t(v >> (8 * pair));
        ++pair;
    }
}

bool KeyRecords(const CKey &key, int &number, SimKey &records)
{
    if (key.master) {
        number = 0;
    } else {
        const qsizetype sign = key.name.indexOf(QStringLiteral("№"));
        const std::optional<int> n = ParseDecimalInt((sign < 0 ? key.name : key.name.mid(sign + 1)).trimmed());
        if (!n || *n < 0 || *n > 0xFFFF)
            return false;
        number = *n;
    }
    SimRecord &r0 = records.record[0];
    SimRecord &r1 = records.record[1];
    r0 = r1 = SimRecord{};
    r0[0] = r1[0] = uint8_t(number);
    r0[1] = r1[1] = uint8_t(number >> 8);
    r0[2] = uint8_t(key.key_type);
    if (key.hos_count > 0) {
        const auto flag = [&](int i) { return i >= 0 && size_t(i) < key.hos_chk.size() && key.hos_chk[size_t(i)]; };
        const int loops = std::min(key.hos_count, 16);
        uint16_t arm = 0, disarm = 0;
        for (int k = 0; k < loops; ++k) {
            arm |= uint16_t(flag(k)) << k;
            disarm |= uint16_t(flag(key.hos_count + k)) << k;
        }
        r0[3] = uint8_t(arm);
        r0[4] = uint8_t(arm >> 8);
        r0[5] = uint8_t(disarm);
        r0[6] = uint8_t(disarm >> 8);
    } else {
        r0[3] = key.KeyVz_Sn;
        r0[4] = key.KeyLocLevel;
    }
    // The code's digit pairs from the last to the first.
    QString code = key.key_code;
    for (int i = 2; i < 8; ++i) {
        const QString pair = code.right(2);
        code.chop(2);
        bool ok = false;
        const uint v = pair.toUInt(&ok, 16);
        r1[size_t(i)] = ok ? uint8_t(v) : 0;
    }
    return true;
}

SimDeviceState BuildDeviceState(const CTreeNode &model, const CTreeNode *stored)
{
    SimDeviceState state;
    for (const CTreeNode *t = model.firstChild(); t; t = t->nextSibling()) {
        if (!t->table())
            continue;
        const CTreeNode *storedTable = ChildWithText(stored, t->text);
        if (t->table()->type.toLower() == QLatin1String("key")) {
            for (const CTreeNode *k = storedTable ? storedTable->firstChild() : nullptr; k; k = k->nextSibling()) {
                int number = 0;
                SimKey records;
                if (k->key() && KeyRecords(*k->key(), number, records))
                    state.keys.try_emplace(number, records);
            }
            continue;
        }
        SimTable table = BuildTable(*t, storedTable);
        if (!table.columns.empty())
            state.tables.push_back(std::move(table));
    }
    return state;
}

bool LoadDeviceStates(LineDescription &line, QString *error)
{
    try {
        CTree catalogue;
        if (!ReadXmlToTree(line.cataloguePath, catalogue)) {
            *error = QStringLiteral("%1: no models").arg(line.cataloguePath);
            return false;
        }
        for (SimDevice &device : line.devices) {
            const CTreeNode *model = nullptr;
            for (const CTreeNode *n = catalogue.firstNode(); n && !model; n = n->nextSibling())
                if (n->device() && n->device()->name == device.model)
                    model = n;
            for (const CTreeNode *n = catalogue.firstNode(); n && !model; n = n->nextSibling())
                if (n->device() && n->device()->device_id == device.typeId)
                    model = n;
            if (!model) {
                *error = QStringLiteral("%1: no model %2 (type id %3)")
                             .arg(line.cataloguePath, device.model)
                             .arg(device.typeId);
                return false;
            }
            CTree stored;
            if (!device.configPath.isEmpty()) {
                try {
                    ReadXmlToTree(device.configPath, stored);
                } catch (const std::exception &e) {
                    *error = QStringLiteral("%1: %2").arg(device.configPath, QString::fromUtf8(e.what()));
                    return false;
                }
            }
            device.state = std::make_shared<SimDeviceState>(BuildDeviceState(*model, stored.firstNode()));
            device.state->KeepAsLoaded();
            device.state->KeepAsFactory(BuildDeviceState(*model, nullptr));
        }
    } catch (const std::exception &e) {
        *error = QStringLiteral("%1: %2").arg(line.cataloguePath, QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}
