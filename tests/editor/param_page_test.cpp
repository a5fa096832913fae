#include <gtest/gtest.h>

#include "editor/param_page.h"
#include "model/config_loader.h"
#include "pages_fixture.h"

using namespace pages_fixture;

namespace {
struct ValueCase {
    const char *name;
    const char *type;
    const char *defaultValue;
    int min, max, formula;
    QStringList items;       // name=value pairs
    QStringList stored;      // values of the values tree, one per column; empty: none
    int columns;
    QStringList addresses;
    bool firstRow;           // the parameter is the table's first one (another comes first otherwise)
    QStringList expected;    // cell texts
    QList<int> images = {};  // expected images; empty: every cell NoCellImage
    int storedImage = 3;
};

CParamPage Build(const ValueCase &c)
{
    CTree desc, values;
    CTreeNode *device = AddDevice(desc, "D", 1);
    CTreeNode *table = AddTable(desc, device, "T", "table", c.columns, c.addresses);
    if (!c.firstRow)
        AddParameter(desc, table, "Первый", "текстовый", "x");
    CTreeNode *p = AddParameter(desc, table, c.name, c.type, c.defaultValue, c.min, c.max, c.formula);
    for (const QString &pair : c.items)
        AddItem(desc, p, pair.section('=', 0, 0), pair.section('=', 1));
    CTreeNode *vdevice = AddDevice(values, "D", 1);
    CTreeNode *vtable = AddTable(values, vdevice, "T", "table", c.columns);
    if (!c.stored.isEmpty()) {
        CTreeNode *vp = AddParameter(values, vtable, c.name, c.type, "");
        for (const QString &v : c.stored)
            AddItem(values, vp, "", v, v.startsWith('*') ? DefaultMarker : c.storedImage);
        for (int i = 0; i < vp->childCount(); ++i)
            vp->child(i)->item()->value.remove('*');
    }
    CParamPage page;
    BuildParamRows(page, table, true, vtable);
    return page;
}
} // namespace

TEST(ParamPage, CellTexts)
{
    const ValueCase cases[] = {
        {"wrap", "числовой", "0", 0, 255, 10, {}, {"250"}, 1, {"01"}, true, {"4"}},
        {"in range", "числовой", "0", 0, 255, 10, {}, {"20"}, 1, {"01"}, true, {"30"}},
        {"below range", "числовой", "0", 10, 20, -5, {}, {"12"}, 1, {"01"}, true, {"18"}},
        {"list no match", "список", "0", 0, 255, 1, {"A=1", "B=2"}, {"7"}, 1, {"01"}, true, {"8"}},
        {"list match", "список", "0", 0, 255, 1, {"A=1", "B=2"}, {"2"}, 1, {"01"}, true, {"B"}},
        {"list -1", "список", "0", 0, 255, 2, {"A=-1"}, {"-1"}, 1, {"01"}, true, {"1"}},
        {"item 05 is 5", "список", "0", 0, 255, 0, {"Пять=05"}, {"5"}, 1, {"01"}, true, {"Пять"}},
        {"literal -65535", "числовой", "0", 0, 255, 5, {}, {"-65535"}, 1, {"01"}, true, {"-65535"}},
        {"free text", "текстовый", "", 0, 0, 3, {}, {"abc"}, 1, {"01"}, true, {"abc"}},
        {"no overflow", "текстовый", "", 0, 0, 10, {}, {"2147483647"}, 1, {"01"}, true, {"2147483657"}},
        {"sys shows address", "sys", "0", 0, 255, 1, {}, {}, 1, {"1A"}, false, {"27"}},
        {"default", "числовой", "7", 0, 255, 0, {}, {}, 2, {"01", "02"}, false, {"7", "7"}},
        {"first row addresses", "числовой", "0", 0, 255, 0, {}, {}, 3, {"01", "02", "03"}, true, {"1", "2", "3"}},
        {"first row names", "список", "0", 0, 255, 0, {"a=1", "b=2", "c=3"}, {}, 3, {"01", "02", "03"}, true,
         {"a", "b", "c"}},
        {"one column first row", "числовой", "9", 0, 255, 0, {}, {}, 1, {"05"}, true, {"9"}},
        {"fewer values than columns", "числовой", "0", 0, 255, 0, {}, {"4", "5"}, 3, {"01", "02", "03"}, false,
         {"4", "5", "0"}, {3, 3, NoCellImage}},
        {"marker carried", "числовой", "0", 0, 255, 0, {}, {"*4", "5"}, 2, {"01", "02"}, false, {"4", "5"},
         {DefaultMarker, 3}},
        // A column without a table address takes the default text instead of reading past the list.
        {"sys beyond tab_addr", "sys", "8", 0, 255, 0, {}, {}, 2, {"01"}, false, {"1", "8"}},
        {"first row beyond tab_addr", "числовой", "6", 0, 255, 0, {}, {}, 2, {"01"}, true, {"1", "6"}},
    };
    for (const ValueCase &c : cases) {
        const CParamPage page = Build(c);
        const int row = c.firstRow ? 0 : 1;
        ASSERT_EQ(page.CellCount(row), c.columns) << c.name;
        for (int i = 0; i < c.columns; ++i) {
            EXPECT_EQ(page.CellText(row, i), c.expected[i]) << c.name << " cell " << i;
            const int image = !c.images.isEmpty() ? c.images[i] : c.stored.isEmpty() ? NoCellImage : c.storedImage;
            EXPECT_EQ(page.CellImage(row, i), image) << c.name << " " << i;
        }
    }
}

TEST(ParamPage, RowRecordsAreCopies)
{
    CTree desc;
    CTreeNode *table = AddTable(desc, AddDevice(desc, "D", 1), "T", "table", 1, {"01"});
    CTreeNode *p = AddParameter(desc, table, "Режим", "список", "1", -3, 9);
    AddItem(desc, p, "Вкл", "1");
    AddItem(desc, p, "Выкл", "0");
    AddParameter(desc, table, "Чудо", "неизвестный", "z");
    CParamPage page;
    BuildParamRows(page, table, false, nullptr);
    ASSERT_EQ(page.RowCount(), 2);
    const CParam *r = page.Param(0);
    EXPECT_EQ(r->TypeCode, tcList);
    EXPECT_EQ(r->MinValue, -3);
    EXPECT_EQ(r->MaxValue, 9);
    EXPECT_EQ(r->ItemNames, (QStringList{"Вкл", "Выкл"}));
    EXPECT_EQ(r->ItemValues, (QStringList{"1", "0"}));
    EXPECT_EQ(page.CellText(0, 0), "Вкл");
    EXPECT_EQ(page.TypeCode(1), tcNone);
    p->firstChild()->item()->name = "changed";
    EXPECT_EQ(page.Param(0)->ItemNames[0], "Вкл");
}

TEST(ParamPage, ConversionErrorsLeaveWhatWasBuiltAndNothingReadsPastIt)
{
    CTree desc;
    CTreeNode *table = AddTable(desc, AddDevice(desc, "D", 1), "T", "table", 3, {"01", "0G", "03"});
    AddParameter(desc, table, "Адрес", "sys", "0");
    AddParameter(desc, table, "Ещё", "числовой", "1");
    CParamPage page;
    EXPECT_THROW(BuildParamRows(page, table, false, nullptr), CConvertError);
    ASSERT_EQ(page.RowCount(), 1);
    EXPECT_EQ(page.CellCount(0), 1); // the first cell only
    EXPECT_EQ(page.CellText(0, 0), "1");
    EXPECT_EQ(page.CellText(0, 2), "");
    EXPECT_EQ(page.CellText(5, 0), "");
    EXPECT_FALSE(page.SetCellText(0, 2, "x"));
    EXPECT_EQ(page.Param(3), nullptr);
    EXPECT_EQ(CellStatusText(page, 0, 3), "");
    EXPECT_FALSE(StepCell(page, 0, 3, false).Text.has_value());

    CParam list;
    list.TypeCode = tcList;
    list.ItemNames = {"a", "b"};
    list.ItemValues = {"x", "2"};
    EXPECT_THROW(ValueToItemName(list, "2"), CConvertError);
    EXPECT_EQ(ValueToItemName(list, "abc"), "abc"); // no number: the items are not read
}

TEST(ParamPage, LoopTableName)
{
    CTable t;
    t.columns = 6;
    for (const char *name : {"шлейфы", "  ШЛЕЙФЫ ", "Шлейфы"}) {
        t.name = name;
        EXPECT_EQ(LoopCountOfTable(t), 6) << name;
    }
    t.name = "шлейфы 2";
    EXPECT_FALSE(LoopCountOfTable(t).has_value());
}

namespace {
// Rows: 0 "Адрес" list (row 0 of a 3-column table), 1 number 5..120, 2 list, 3 boolean, 4 text, 5 sys.
CParamPage EditingPage()
{
    CParamPage page;
    page.Columns = 3;
    auto row = [&](const QString &caption, int type, QStringList cells, QStringList names = {}, int min = 0,
                   int max = 0) {
        auto p = std::make_shared<CParam>();
        p->TypeCode = type;
        p->ItemNames = names;
        p->MinValue = min;
        p->MaxValue = max;
        CParamRow r{caption, p, {}};
        for (const QString &c : cells)
            r.Cells.push_back({c, NoCellImage});
        page.Rows.push_back(r);
    };
    row("Адрес", tcList, {"1", "2", "3"}, {"1", "2", "3"});
    row("Число", tcNumber, {"120", "3", "abc"}, {}, 5, 120);
    row("Режим", tcList, {"Б", "А", "нет"}, {"А", "Б"});
    row("Флаг", tcBool, {"+", "", "0"});
    row("Имя", tcText, {"x", "y", "z"});
    row("Служебный", tcSys, {"1", "2", "3"});
    return page;
}
} // namespace

TEST(ParamPage, SpaceStep)
{
    const CParamPage page = EditingPage();
    const struct {
        int row, column;
        bool backwards;
        std::optional<QString> text;
        QString status;
    } cases[] = {
        {1, 1, false, "120", "120"},   // at MaxValue stays
        {1, 2, true, "5", "5"},        // 3 - 1 raised to MinValue
        {1, 2, false, "4", "4"},       // only the bound in the direction of the step
        {1, 3, false, "1", "1"},       // no number counts as 0; MinValue is not applied forwards
        {2, 1, false, "А", "А"},       // the last item steps to the first
        {2, 2, true, "Б", "Б"},        // the first steps to the last
        {2, 3, false, "А", "А"},       // no item name: the first forwards
        {2, 3, true, "Б", "Б"},        // and the last backwards
        {3, 1, false, " ", "Нет"},
        {3, 2, false, std::nullopt, ""}, // an empty boolean cell stays empty
        {3, 3, false, "+", "Да"},
        {5, 1, false, std::nullopt, ""}, // sys
        {0, 1, false, std::nullopt, ""}, // row 0 of a multi-column list: the table address
        {1, 0, false, std::nullopt, ""}, // the caption column
        {-1, 1, false, std::nullopt, ""},
    };
    for (const auto &c : cases) {
        const CellStep step = StepCell(page, c.row, c.column, c.backwards);
        EXPECT_EQ(step.Text, c.text) << c.row << "," << c.column;
        EXPECT_EQ(step.Status, c.status) << c.row << "," << c.column;
        EXPECT_FALSE(step.OpenTextEditor);
    }
    EXPECT_TRUE(StepCell(page, 4, 1, false).OpenTextEditor);
}

TEST(ParamPage, BooleanToggleAndStatusTexts)
{
    EXPECT_EQ(ToggleBoolCell("+").Text, " ");
    EXPECT_EQ(ToggleBoolCell("1").Status, "Нет");
    EXPECT_EQ(ToggleBoolCell("").Text, "+");
    EXPECT_EQ(ToggleBoolCell("0").Status, "Да");
    EXPECT_FALSE(ToggleBoolCell("x").Text.has_value());

    const CParamPage page = EditingPage();
    EXPECT_EQ(CellStatusText(page, 1, 2), "Число:    3");
    EXPECT_EQ(CellStatusText(page, 3, 1), "Флаг:    Да");
    EXPECT_EQ(CellStatusText(page, 3, 3), "Флаг:    Нет");
    EXPECT_EQ(CellStatusText(page, 5, 1), "");
    EXPECT_EQ(CellStatusText(page, 2, 0), "");
    EXPECT_EQ(ColumnAddress(page, 2), 2);
}

TEST(ParamPage, CursorSequenceKeepsItsBounds)
{
    const CParamPage page = EditingPage();
    int row = -1, column = -1;
    const struct {
        CursorKey key;
        int row, column;
    } steps[] = {
        {CursorKey::Right, -1, 0}, // the caption column first
        {CursorKey::Right, -1, 1}, {CursorKey::Down, 0, 1},  {CursorKey::Up, 0, 1},    {CursorKey::Left, 0, 1},
        {CursorKey::Right, 0, 2},  {CursorKey::Right, 0, 3}, {CursorKey::Right, 0, 3}, {CursorKey::Down, 1, 3},
        {CursorKey::Down, 2, 3},   {CursorKey::Down, 3, 3},  {CursorKey::Down, 4, 3},  {CursorKey::Down, 5, 3},
        {CursorKey::Down, 5, 3},   {CursorKey::Left, 5, 2},  {CursorKey::Up, 4, 2},
    };
    for (const auto &s : steps) {
        EXPECT_TRUE(MoveCursor(page, row, column, s.key));
        EXPECT_EQ(row, s.row);
        EXPECT_EQ(column, s.column);
    }
    CParamPage empty;
    EXPECT_FALSE(MoveCursor(empty, row, column, CursorKey::Down));
}

TEST(ParamPage, NumberEditorClamp)
{
    EXPECT_EQ(ClampToBounds(2, 5, 120), 5);
    EXPECT_EQ(ClampToBounds(999, 5, 120), 120);
    EXPECT_EQ(ClampToBounds(121, 5, 120), 120);
    EXPECT_EQ(ClampToBounds(-7, -10, 10), -7);
    EXPECT_EQ(ClampToBounds(int64_t(INT32_MAX) + 1, 0, INT32_MAX), INT32_MAX);
    EXPECT_EQ(ClampToBounds(3, 10, 5), 5); // MinValue first, then MaxValue
}
