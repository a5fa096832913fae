#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "model/config_tree.h"

class CParameter;
class CTable;
class CTreeNode;

// The state of one parameter page, without widgets: its rows, their editing records and cell texts,
// and the rules that make and change the cell texts. The list view lvQ + n shows a CParamPage; the
// write, the save and the report read the cells from it (CParamListView::Page()).

// Sub-item image of a cell made from the description.
constexpr int NoCellImage = -1;

// The parameter's `type`, compared exactly.
enum ParamTypeCode : int { tcNone = -1, tcText = 0, tcList = 1, tcBool = 2, tcNumber = 3, tcSys = 4 };
// tcNone for a type that is none of the five: such cells are shown and never edited or stepped.
int TypeCodeOf(const QString &type);

// The editing record of one row: copies of the description's list entries and its bounds.
class CParam {
public:
    QStringList ItemNames;  // `name` of each list entry, in order
    QStringList ItemValues; // `value` of each, parallel to ItemNames
    int TypeCode = tcNone;
    int MinValue = 0;
    int MaxValue = 0;
};

struct CParamCell {
    QString Text;
    int Image = NoCellImage; // DefaultMarker for a value a read took from the default
};

struct CParamRow {
    QString Caption;               // the parameter's node text
    std::shared_ptr<CParam> Param; // never null in a built row
    std::vector<CParamCell> Cells; // one per value column; fewer when the build stopped in this row
};

class CParamPage {
public:
    int Columns = 0;     // value columns shown: UsableCount of the table's `columns`
    int ColumnWidth = 0; // pixels per value column
    std::vector<CParamRow> Rows;

    // Told after a cell text changed (the view repaints that row).
    std::function<void(int row)> OnCellChanged;

    // Safe readers: a row or cell that does not exist reads as empty (a build that failed part-way
    // leaves short rows behind).
    int RowCount() const { return int(Rows.size()); }
    int CellCount(int row) const;
    const CParam *Param(int row) const; // null out of range
    int TypeCode(int row) const;        // tcNone out of range
    QString Caption(int row) const;
    QString CellText(int row, int cell) const;
    int CellImage(int row, int cell) const;
    // False, and nothing changes, for a cell that does not exist.
    bool SetCellText(int row, int cell, const QString &text);
};

// A whole decimal integer, or nothing. The text -65535 is no number: the old conversion answered it
// for every text that was none.
std::optional<int> CellNumber(const QString &text);
// Decimal integer, 0 when the text is none (the editors and the steps).
int CellNumberOr0(const QString &text);

// The item name of a list row's value: value unchanged unless the row is a list, the value a number
// other than -1, and an item value (read as an integer) equals it. An item value that is no integer
// throws CConvertError while it is compared.
QString ValueToItemName(const CParam &row, const QString &value);

// A number text with `formula` added and brought into range by one step (WrapToRange), computed in
// 64 bits; any other text unchanged.
QString WithFormula(const QString &text, const CParameter &parameter);

// Cell text of column c from a value of the values tree.
QString CellTextFromValue(const CParam &row, const CParameter &parameter, const QString &value);
// Cell text of column c from the description: the default; for "sys" rows and for the first row of a
// table with more than one column, the column's table address. A column without a table address takes
// the default text. A table address that is not hexadecimal throws CConvertError.
QString CellTextFromDescription(const CParam &row, const CParameter &parameter, const CTable &table,
                                bool firstRowOfMultiColumn, int column);
// Table address tab_addr[c] read as hexadecimal; nothing when the column has none; throws for a text
// that is not hexadecimal.
std::optional<int> TableAddress(const CTable &table, int column);

// Fills page from a description table node and, when withValues and values is not null, from the values
// table node of equal text. Rows are added one by one, so an exception (CConvertError) leaves the rows
// and cells made so far. A table node without children gives no rows.
void BuildParamRows(CParamPage &page, const CTreeNode *table, bool withValues, const CTreeNode *values);
// The number of alarm loops the table gives: its `columns` when its name, trimmed and lower-cased,
// is "шлейфы"; nothing otherwise.
std::optional<int> LoopCountOfTable(const CTable &table);

// Cursor and editing rules. row and column are the main window's SelectedRow and SelectedColumn:
// column 0 is the caption column, column c > 0 shows cell c - 1; -1 for none.

enum class CursorKey { Down, Up, Right, Left };
// Moves the cursor within the page's bounds; an empty page ignores every key (false).
bool MoveCursor(const CParamPage &page, int &row, int &column, CursorKey key);

// Values of boolean cells: "+" or "1" true, " " or "0" false.
inline const QString kTrueCell = QStringLiteral("+");
inline const QString kFalseCell = QStringLiteral(" ");
inline const QString kYesText = QStringLiteral("Да");
inline const QString kNoText = QStringLiteral("Нет");

// What an edit step did: the new cell text to store (none: nothing stored) and the status text.
struct CellStep {
    std::optional<QString> Text;
    QString Status;
    bool OpenTextEditor = false; // a text row opens its editor instead
};

// The double-click toggle of a boolean cell: the empty text counts as false too; other texts stay.
CellStep ToggleBoolCell(const QString &text);
// The space-bar step of the cursor cell (Shift: backwards). Nothing for a cell without a cursor, a
// "sys" row, an unknown type, a list without items, and row 0 of a multi-column list table (it holds
// the columns' table addresses).
CellStep StepCell(const CParamPage &page, int row, int column, bool backwards);
// v brought to MinValue, then to MaxValue, as the number editor stores it.
int ClampToBounds(int64_t v, int minValue, int maxValue);

// The status text of the cursor cell: empty without a cursor cell and for "sys" rows; otherwise the
// caption, ":    " and the value (for booleans "Да" or "Нет").
QString CellStatusText(const CParamPage &page, int row, int column);
// Row 0's text in the cursor column read as a decimal integer, 0 when it is none.
int ColumnAddress(const CParamPage &page, int column);
// Whether the cursor cell may open an editor (number, text, boolean, and lists outside row 0 of a
// multi-column table).
bool OpensListEditor(const CParamPage &page, int row);
