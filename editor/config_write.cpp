#include "editor/config_write.h"

#include <optional>

#include "editor/config_files.h"
#include "editor/param_page.h"
#include "link/packet_text.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/model_classes.h"
#include "model/tree_search.h"

namespace {

QString Hex2(unsigned byte) { return QStringLiteral("%1").arg(byte & 0xFFu, 2, 16, QLatin1Char('0')).toUpper(); }

int ByteMaskOf(const CParameter &p)
{
    const std::optional<int> mask = ParseDecimalInt(p.address);
    if (!mask)
        throw CConvertError(QStringLiteral("'%1' не является целым числом (%2).").arg(p.address, p.name).toStdString());
    return *mask;
}

const CTreeNode *FirstParameterNode(const CTreeNode &table)
{
    for (const CTreeNode *n = table.firstChild(); n; n = n->nextSibling())
        if (n->parameter())
            return n;
    return nullptr;
}

} // namespace

int64_t WriteCellValue(const CParameter &parameter, const CParam *row, const QString &cellText,
                       const std::vector<unsigned> &data)
{
    QString text = cellText;
    if (const std::optional<int> shown = CellNumber(text))
        text = QString::number(int32_t(uint32_t(int64_t(WrapToRange(*shown, parameter)) - parameter.formula)));

    const QString &type = parameter.type;
    if (type == QStringLiteral("числовой") || type.compare(QLatin1String("sys"), Qt::CaseInsensitive) == 0)
        return ParseDecimalInt(text).value_or(0);
    if (type == QStringLiteral("список")) {
        if (!row)
            return 0;
        const qsizetype i = row->ItemNames.indexOf(text);
        if (i < 0)
            return 0;
        const QString value = i < row->ItemValues.size() ? row->ItemValues[i] : QString();
        const std::optional<int> v = ParseDecimalInt(value.trimmed());
        if (!v)
            throw CConvertError(
                QStringLiteral("'%1' не является целым числом (%2).").arg(value, parameter.name).toStdString());
        return *v;
    }
    if (type == QStringLiteral("логический")) {
        const bool set = text == kTrueCell || text == QLatin1String("1");
        if (parameter.address_bit == 0) {
            // No bit of its own: the number the cell shows.
            if (set)
                return 1;
            return ParseDecimalInt(text).value_or(0);
        }
        int highest = -1;
        const int mask = ByteMaskOf(parameter);
        for (int k = 0; k < 8; ++k)
            if (mask & (1 << k))
                highest = k;
        const unsigned current = highest >= 0 && highest < int(data.size()) ? data[highest] : 0;
        return set ? int64_t(current | unsigned(parameter.address_bit)) : int64_t(current);
    }
    return 0;
}

void MergeMaskedValue(std::vector<unsigned> &data, int byteMask, int64_t value)
{
    int m = 0;
    for (int k = 0; k < 8; ++k)
        if (byteMask & (1 << k))
            ++m;
    if (m == 0)
        return;
    // Upper-case digits of at least 2m, taken in pairs from the end.
    QString digits = QString::number(uint32_t(value), 16).toUpper();
    if (digits.size() < 2 * m)
        digits = QString(2 * m - digits.size(), QLatin1Char('0')) + digits;
    if (digits.size() % 2)
        digits.prepend(QLatin1Char('0'));
    qsizetype end = digits.size();
    for (int k = 0; k < 8 && end > 0; ++k) {
        if (!(byteMask & (1 << k)))
            continue;
        if (k < int(data.size()))
            data[k] |= unsigned(HexTextToInt(digits.mid(end - 2, 2)));
        end -= 2;
    }
}

QString TableWritePacket(const CTreeNode &tableNode, const CParamPage &page, int column, uint8_t wireAddress)
{
    static const CTable noTable;
    const CTable &table = tableNode.table() ? *tableNode.table() : noTable;
    const CTreeNode *first = FirstParameterNode(tableNode);
    const int section = first ? first->parameter()->can_id_razdel : 0;
    if (table.can_data_size < 0 || table.can_data_size > 8 || table.can_type < 0 || table.can_type > 31 ||
        section < 0 || section > 255)
        throw CPacketBuildError(
            QStringLiteral("Таблица '%1' не может быть записана: её пакет не помещается в CAN-кадр.").arg(table.name));

    std::vector<unsigned> data(std::size_t(table.can_data_size), 0u);
    int r = 0;
    for (const CTreeNode *n = tableNode.firstChild(); n; n = n->nextSibling(), ++r) {
        const CParameter *p = n->parameter();
        if (!p)
            continue;
        const int mask = ByteMaskOf(*p);
        for (int k = table.can_data_size; k < 8; ++k)
            if (mask & (1 << k))
                throw CPacketBuildError(
                    QStringLiteral("Параметр '%1' таблицы '%2' не помещается в пакет записи.").arg(p->name, table.name));
        const int64_t value = WriteCellValue(*p, page.Param(r), page.CellText(r, column), data);
        MergeMaskedValue(data, mask, value);
    }

    QStringList pairs{QStringLiteral("01"), Hex2(unsigned(section)), Hex2(wireAddress), Hex2(unsigned(table.can_type))};
    for (unsigned b : data)
        pairs << Hex2(b);
    return pairs.join(QLatin1Char(' '));
}

void AppendTablePackets(const CTreeNode &table, const CParamPage &page, uint8_t wireAddress, QStringList &list)
{
    if (!FirstParameterNode(table) || !table.table())
        return;
    const int columns = UsableCount(table.table()->columns, kMaxColumns);
    for (int c = 0; c < columns; ++c)
        list << TableWritePacket(table, page, c, wireAddress);
}

namespace {
void AppendKeyNodes(const CTreeNode *node, uint8_t wireAddress, QStringList &list)
{
    for (; node; node = node->nextSibling()) {
        EncodeKeyPackets(*node, wireAddress, list);
        AppendKeyNodes(node->firstChild(), wireAddress, list);
    }
}
} // namespace

QStringList BuildWritePacketList(const CTreeNode &device, const QList<int> &pageIds, uint8_t wireAddress,
                                 const TWritePages &pages)
{
    QStringList list;
    int i = 0;
    for (const CTreeNode *t = device.firstChild(); t && i < pageIds.size(); t = t->nextSibling(), ++i) {
        const CTable *table = t->table();
        if (!table)
            continue;
        const int n = pageIds[i];
        if (table->type == QLatin1String("table")) {
            if (const CParamPage *page = pages.ParamPage ? pages.ParamPage(n) : nullptr)
                AppendTablePackets(*t, *page, wireAddress, list);
        } else if (table->type == QLatin1String("key")) {
            if (const CTree *keys = pages.KeyTree ? pages.KeyTree(n) : nullptr)
                AppendKeyNodes(keys->firstNode(), wireAddress, list);
        }
        // "pass": no packet layout for users and passwords.
    }
    list << EndPacketText(wireAddress);
    CheckPacketList(list);
    return list;
}

void CheckPacketList(const QStringList &lines)
{
    for (const QString &line : lines) {
        QString text = line;
        text.remove(QLatin1Char(' '));
        try {
            const TxFrame frame = PacketTextToFrame(text);
            // An odd digit would be dropped by the link: such a line is no packet we built.
            if (text.size() % 2 || frame.count > 8)
                throw PacketTextError(QStringLiteral("нечётное число цифр"));
        } catch (const PacketTextError &e) {
            throw CPacketBuildError(QStringLiteral("Пакет '%1' не может быть отправлен: %2").arg(line, e.Message()));
        }
    }
}
