#include "editor/param_page.h"

#include "model/config_loader.h"
#include "model/config_tree.h"
#include "model/model_classes.h"

int TypeCodeOf(const QString &type)
{
    if (type == QStringLiteral("текстовый"))
        return tcText;
    if (type == QStringLiteral("список"))
        return tcList;
    if (type == QStringLiteral("логический"))
        return tcBool;
    if (type == QStringLiteral("числовой"))
        return tcNumber;
    if (type == QLatin1String("sys"))
        return tcSys;
    return tcNone;
}

// CParamPage

int CParamPage::CellCount(int row) const
{
    return row >= 0 && row < RowCount() ? int(Rows[size_t(row)].Cells.size()) : 0;
}

const CParam *CParamPage::Param(int row) const
{
    return row >= 0 && row < RowCount() ? Rows[size_t(row)].Param.get() : nullptr;
}

int CParamPage::TypeCode(int row) const
{
    const CParam *p = Param(row);
    return p ? p->TypeCode : tcNone;
}

QString CParamPage::Caption(int row) const
{
    return row >= 0 && row < RowCount() ? Rows[size_t(row)].Caption : QString();
}

QString CParamPage::CellText(int row, int cell) const
{
    return cell >= 0 && cell < CellCount(row) ? Rows[size_t(row)].Cells[size_t(cell)].Text : QString();
}

int CParamPage::CellImage(int row, int cell) const
{
    return cell >= 0 && cell < CellCount(row) ? Rows[size_t(row)].Cells[size_t(cell)].Image : NoCellImage;
}

bool CParamPage::SetCellText(int row, int cell, const QString &text)
{
    if (cell < 0 || cell >= CellCount(row))
        return false;
    QString &t = Rows[size_t(row)].Cells[size_t(cell)].Text;
    if (t != text) {
        t = text;
        if (OnCellChanged)
            OnCellChanged(row);
    }
    return true;
}

// Cell texts

std::optional<int> CellNumber(const QString &text)
{
    const std::optional<int> v = ParseDecimalInt(text);
    if (v && *v == -65535)
        return std::nullopt;
    return v;
}

int CellNumberOr0(const QString &text) { return ParseDecimalInt(text).value_or(0); }

namespace {
[[noreturn]] void ThrowNotInteger(const QString &text, const QString &where)
{
    throw CConvertError(QStringLiteral("'%1' не является целым числом (%2).").arg(text, where).toStdString());
}

// The one-step range wrap of numeric and "sys" parameters, in 64 bits.
int64_t Wrap64(int64_t v, const CParameter &p)
{
    if (p.type != QStringLiteral("числовой") && p.type != QLatin1String("sys"))
        return v;
    const int64_t min = p.min_value;
    const int64_t max = p.max_value;
    if (v > max)
        return v - max + min - 1;
    if (v < min)
        return max - min + v + 1;
    return v;
}

const CParameter &ParameterOf(const CTreeNode *node)
{
    static const CParameter none;
    const CParameter *p = node ? node->parameter() : nullptr;
    return p ? *p : none;
}
} // namespace

QString ValueToItemName(const CParam &row, const QString &value)
{
    if (row.TypeCode != tcList)
        return value;
    const std::optional<int> v = ParseDecimalInt(value);
    if (!v || *v == -1)
        return value;
    for (int i = 0; i < row.ItemValues.size(); ++i) {
        const std::optional<int> item = ParseDecimalInt(row.ItemValues[i]);
        if (!item)
            ThrowNotInteger(row.ItemValues[i], QStringLiteral("значение элемента списка"));
        if (*item == *v)
            return i < row.ItemNames.size() ? row.ItemNames[i] : value;
    }
    return value;
}

QString WithFormula(const QString &text, const CParameter &parameter)
{
    const std::optional<int> v = CellNumber(text);
    if (!v)
        return text;
    return QString::number(Wrap64(int64_t(*v) + parameter.formula, parameter));
}

QString CellTextFromValue(const CParam &row, const CParameter &parameter, const QString &value)
{
    return WithFormula(ValueToItemName(row, value), parameter);
}

std::optional<int> TableAddress(const CTable &table, int column)
{
    if (column < 0 || column >= table.tab_addr.size())
        return std::nullopt;
    const QString &digits = table.tab_addr[column];
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 8 || digits.startsWith(u'+') || digits.startsWith(u'-') || digits.contains(u' '))
        ThrowNotInteger(QStringLiteral("0x") + digits, QStringLiteral("адрес таблицы"));
    return int(value);
}

QString CellTextFromDescription(const CParam &row, const CParameter &parameter, const CTable &table,
                                bool firstRowOfMultiColumn, int column)
{
    QString text = ValueToItemName(row, parameter.default_value);
    if (row.TypeCode == tcSys) {
        if (const std::optional<int> address = TableAddress(table, column))
            text = QString::number(*address);
    } else if (firstRowOfMultiColumn) {
        if (const std::optional<int> address = TableAddress(table, column))
            text = ValueToItemName(row, QString::number(*address));
    }
    return WithFormula(text, parameter);
}

std::optional<int> LoopCountOfTable(const CTable &table)
{
    if (table.name.trimmed().toLower() == QStringLiteral("шлейфы"))
        return table.columns;
    return std::nullopt;
}

void BuildParamRows(CParamPage &page, const CTreeNode *tableNode, bool withValues, const CTreeNode *values)
{
    if (!tableNode || !tableNode->hasChildren())
        return;
    static const CTable noTable;
    const CTable &table = tableNode->table() ? *tableNode->table() : noTable;
    page.Columns = UsableCount(table.columns, kMaxColumns);
    page.ColumnWidth = table.column_width;
    const CTreeNode *valuesTable = withValues ? values : nullptr;
    const QString firstName = ParameterOf(tableNode->firstChild()).name;
    const bool multiColumn = table.columns > 1;

    for (const CTreeNode *p = tableNode->firstChild(); p; p = p->nextSibling()) {
        const CParameter &parameter = ParameterOf(p);
        const CTreeNode *vp = nullptr;
        if (valuesTable)
            for (const CTreeNode *v = valuesTable->firstChild(); v && !vp; v = v->nextSibling())
                if (v->text == p->text)
                    vp = v;

        auto param = std::make_shared<CParam>();
        param->TypeCode = TypeCodeOf(parameter.type);
        param->MinValue = parameter.min_value;
        param->MaxValue = parameter.max_value;
        for (const CTreeNode *item = p->firstChild(); item; item = item->nextSibling()) {
            const CItem *i = item->item();
            param->ItemNames.append(i ? i->name : QString());
            param->ItemValues.append(i ? i->value : QString());
        }
        page.Rows.push_back(CParamRow{p->text, param, {}});
        const bool firstRow = multiColumn && p->text == firstName;
        for (int c = 0; c < page.Columns; ++c) {
            CParamCell cell;
            if (vp && c < vp->childCount()) {
                const CTreeNode *value = vp->child(c);
                const CItem *item = value->item();
                cell.Text = CellTextFromValue(*param, parameter, item ? item->value : QString());
                cell.Image = value->imageIndex;
            } else {
                cell.Text = CellTextFromDescription(*param, parameter, table, firstRow, c);
            }
            page.Rows.back().Cells.push_back(std::move(cell));
        }
    }
}

// Cursor and editing

bool MoveCursor(const CParamPage &page, int &row, int &column, CursorKey key)
{
    if (page.RowCount() == 0)
        return false;
    switch (key) {
    case CursorKey::Down:
        if (row < page.RowCount() - 1)
            ++row;
        break;
    case CursorKey::Up:
        if (row > 0)
            --row;
        break;
    case CursorKey::Right:
        if (column < page.CellCount(0))
            ++column;
        break;
    case CursorKey::Left:
        if (column > 1)
            --column;
        break;
    }
    return true;
}

CellStep ToggleBoolCell(const QString &text)
{
    if (text == kTrueCell || text == QLatin1String("1"))
        return {kFalseCell, kNoText};
    if (text.isEmpty() || text == kFalseCell || text == QLatin1String("0"))
        return {kTrueCell, kYesText};
    return {};
}

int ClampToBounds(int64_t v, int minValue, int maxValue)
{
    if (v < minValue)
        v = minValue;
    if (v > maxValue)
        v = maxValue;
    return int(v); // within [minValue, maxValue] or at one of them
}

bool OpensListEditor(const CParamPage &page, int row)
{
    return !(page.CellCount(row) > 1 && row == 0);
}

CellStep StepCell(const CParamPage &page, int row, int column, bool backwards)
{
    if (column <= 0 || row < 0)
        return {};
    const CParam *p = page.Param(row);
    if (!p)
        return {};
    const QString text = page.CellText(row, column - 1);
    switch (p->TypeCode) {
    case tcText: {
        CellStep step;
        step.OpenTextEditor = true;
        return step;
    }
    case tcNumber: {
        int64_t v = CellNumberOr0(text);
        if (backwards) {
            v -= 1;
            if (v < p->MinValue)
                v = p->MinValue;
        } else {
            v += 1;
            if (v > p->MaxValue)
                v = p->MaxValue;
        }
        const QString shown = QString::number(v);
        return {shown, shown};
    }
    case tcList: {
        const int n = int(p->ItemNames.size());
        if (n == 0 || !OpensListEditor(page, row))
            return {};
        int k = int(p->ItemNames.indexOf(text));
        if (backwards)
            k = k - 1 < 0 ? n - 1 : k - 1;
        else
            k = k + 1 >= n ? 0 : k + 1;
        return {p->ItemNames[k], p->ItemNames[k]};
    }
    case tcBool:
        if (text == kTrueCell || text == QLatin1String("1"))
            return {kFalseCell, kNoText};
        if (text == kFalseCell || text == QLatin1String("0"))
            return {kTrueCell, kYesText};
        return {};
    default:
        return {};
    }
}

QString CellStatusText(const CParamPage &page, int row, int column)
{
    if (row < 0 || column <= 0)
        return QString();
    const CParam *p = page.Param(row);
    if (!p || p->TypeCode == tcSys)
        return QString();
    const QString cell = page.CellText(row, column - 1);
    QString value = cell;
    if (p->TypeCode == tcBool)
        value = cell == QLatin1String("1") || cell == kTrueCell ? kYesText : kNoText;
    return page.Caption(row) + QStringLiteral(":    ") + value;
}

int ColumnAddress(const CParamPage &page, int column)
{
    return CellNumberOr0(page.CellText(0, column - 1));
}
