// The report document: its tables as the pages give them, document.xml against a golden file, the
// .docx package, and the export command of the main window (the word processor is never started).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>

#include <memory>
#include <numeric>
#include <vector>

#include "app/message_dlg.h"
#include "editor/components.h"
#include "editor/main_form.h"
#include "editor/param_list_view.h"
#include "editor/param_page.h"
#include "editor/word_report.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "model/xml_document.h"
#include "pages_fixture.h"
#include "platform/whole_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_files.h"
#include "tests/support/zip_entries.h"
#include "tests/support/stand_in_opener.h"

using namespace pages_fixture;

namespace {
QString CellText(const TReportTable &t, int row, int column)
{
    const TReportCell *c = t.Cell(row, column);
    return c ? c->Text : QStringLiteral("<none>");
}

// Columns of a row that hold "+".
std::vector<int> PlusColumns(const TReportTable &t, int row)
{
    std::vector<int> out;
    for (int c = 1; c <= t.Columns; ++c)
        if (CellText(t, row, c) == QStringLiteral("+"))
            out.push_back(c);
    return out;
}

CKey Key(int id, const QString &name, bool master, int loops, std::vector<bool> flags)
{
    CKey k;
    k.id = id;
    k.name = name;
    k.key_code = QStringLiteral("0000AB12CD34");
    k.master = master;
    k.hos_count = loops;
    k.hos_chk = std::move(flags);
    return k;
}

CPass User(int id, const QString &name, int loops)
{
    CPass p;
    p.id = id;
    p.name = name;
    p.password = QStringLiteral("1234");
    p.hos_count = loops;
    p.hos_chk.assign(size_t(loops), false);
    return p;
}

// A parameter page of the given cells: cells[r][c], the marked ones with the DefaultMarker.
CParamPage Page(int columns, int rows, const std::vector<std::pair<int, int>> &marked = {})
{
    CParamPage page;
    page.Columns = columns;
    for (int r = 0; r < rows; ++r) {
        CParamRow row;
        row.Param = std::make_shared<CParam>();
        for (int c = 0; c < columns; ++c)
            row.Cells.push_back({QString::number(100 * (r + 1) + c), NoCellImage});
        page.Rows.push_back(std::move(row));
    }
    for (const auto &[r, c] : marked)
        page.Rows[size_t(r)].Cells[size_t(c)].Image = DefaultMarker;
    return page;
}
} // namespace

TEST(WordReport, ColoursAreWrittenRedFirst)
{
    const std::vector<std::pair<uint32_t, QString>> cases = {
        {0xD8E9EC, "ECE9D8"}, {0xBBBBBB, "BBBBBB"}, {0x808080, "808080"}, {0x0000FF, "FF0000"},
        {0xFF0000, "0000FF"}, {0x123456, "563412"}, {0x000000, "000000"},
    };
    for (const auto &[bgr, hex] : cases)
        EXPECT_EQ(ReportColorHex(bgr), hex) << std::hex << bgr;
}

TEST(WordReport, ChunksOfTwentyValueColumnsNeverEmptyButForNone)
{
    using Chunks = std::vector<std::pair<int, int>>;
    const std::vector<std::pair<int, Chunks>> cases = {
        {0, {{0, 0}}},   {1, {{0, 1}}},           {20, {{0, 20}}},         {21, {{0, 20}, {20, 1}}},
        {25, {{0, 20}, {20, 5}}}, {40, {{0, 20}, {20, 20}}}, {41, {{0, 20}, {20, 20}, {40, 1}}}, {-3, {{0, 0}}},
    };
    for (const auto &[columns, chunks] : cases)
        EXPECT_EQ(ReportChunks(columns), chunks) << columns;
}

TEST(WordReport, ParameterTableInChunksWithTheMarkedCellsGrey)
{
    CTree tree;
    CTreeNode *device = AddDevice(tree, "Тиврон-А", 1);
    CTreeNode *table = AddTable(tree, device, "Выходы", "table", 25);
    AddParameter(tree, table, "Тип выхода", "числовой", "0");
    AddParameter(tree, table, "Задержка", "числовой", "0");
    const CParamPage page = Page(25, 2, {{0, 3}, {1, 22}});

    const std::vector<TReportSection> sections = ParameterReportSections(*table, page);
    ASSERT_EQ(sections.size(), 2u);
    for (const TReportSection &s : sections)
        EXPECT_EQ(s.Caption, "Выходы");
    const TReportTable &a = sections[0].Table;
    const TReportTable &b = sections[1].Table;
    ASSERT_EQ(a.Rows.size(), 3u);
    EXPECT_EQ(a.Columns, 21);
    EXPECT_EQ(b.Columns, 6);

    EXPECT_EQ(CellText(a, 1, 1), "Конфигурационные параметры");
    EXPECT_EQ(CellText(a, 1, 2), "1");
    EXPECT_EQ(CellText(a, 1, 21), "20");
    EXPECT_EQ(CellText(b, 1, 2), "21");
    EXPECT_EQ(CellText(b, 1, 6), "25");
    // Row r of the page under the r-th parameter, sub-item s + j - 1 in column j + 1.
    EXPECT_EQ(CellText(a, 2, 1), "Тип выхода");
    EXPECT_EQ(CellText(a, 3, 1), "Задержка");
    EXPECT_EQ(CellText(a, 2, 2), "100");
    EXPECT_EQ(CellText(a, 3, 21), "219");
    EXPECT_EQ(CellText(b, 2, 2), "120");
    EXPECT_EQ(CellText(b, 3, 6), "224");

    // The header row and the names are shaded; the names alone are left-aligned.
    for (int c = 1; c <= a.Columns; ++c)
        EXPECT_EQ(a.Cell(1, c)->Shading, kReportHeaderShading) << c;
    EXPECT_EQ(a.Cell(1, 2)->Align, TReportAlign::Center);
    EXPECT_EQ(a.Cell(2, 1)->Shading, kReportHeaderShading);
    EXPECT_EQ(a.Cell(2, 1)->Align, TReportAlign::Left);

    // Marked: row 0 cell 3 (first chunk, column 5) and row 1 cell 22 (second chunk, column 4).
    int marked = 0;
    for (const TReportSection &s : sections)
        for (const auto &row : s.Table.Rows)
            for (const TReportCell &c : row)
                marked += c.TextColor.has_value();
    EXPECT_EQ(marked, 2);
    EXPECT_EQ(a.Cell(2, 5)->Shading, kReportMarkedShading);
    EXPECT_EQ(a.Cell(2, 5)->TextColor, kReportMarkedText);
    EXPECT_EQ(a.Cell(2, 5)->Text, "103");
    EXPECT_EQ(b.Cell(3, 4)->Shading, kReportMarkedShading);
    EXPECT_EQ(b.Cell(3, 4)->TextColor, kReportMarkedText);
    EXPECT_FALSE(a.Cell(2, 4)->Shading.has_value());
    EXPECT_FALSE(a.Cell(2, 4)->TextColor.has_value());
}

TEST(WordReport, ParameterTableWithoutColumnsOrWithShortRows)
{
    CTree tree;
    CTreeNode *device = AddDevice(tree, "Тиврон-А", 1);
    CTreeNode *names = AddTable(tree, device, "Имена", "table", 0);
    AddParameter(tree, names, "Один", "числовой", "0");
    std::vector<TReportSection> s = ParameterReportSections(*names, Page(0, 1));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].Table.Columns, 1);
    EXPECT_EQ(CellText(s[0].Table, 2, 1), "Один");

    // A page whose build stopped early: the missing cells and rows stay empty.
    CTreeNode *wide = AddTable(tree, device, "Широкая", "table", 3);
    AddParameter(tree, wide, "А", "числовой", "0");
    AddParameter(tree, wide, "Б", "числовой", "0");
    CParamPage page = Page(3, 1);
    page.Rows[0].Cells.resize(1);
    s = ParameterReportSections(*wide, page);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(CellText(s[0].Table, 2, 2), "100");
    EXPECT_EQ(CellText(s[0].Table, 2, 3), "");
    EXPECT_EQ(CellText(s[0].Table, 3, 1), "Б");
    EXPECT_EQ(CellText(s[0].Table, 3, 2), "");
}

TEST(WordReport, KeyTableMarksMasterArmAndDisarmFlags)
{
    // n = 4: arm flags of loops 1 and 3, the disarm flag of loop 2.
    const std::vector<CKey> keys = {
        Key(1, "Мастер-ключ", true, 4, {true, false, true, false, false, true, false, false}),
        Key(7, "<Вахта> №3", false, 4, {false, false, false, true, false, false, false, true}),
    };
    const TReportSection s = KeyReportSection(keys);
    EXPECT_EQ(s.Caption, "Таблица ключей");
    const TReportTable &t = s.Table;
    ASSERT_EQ(t.Rows.size(), 3u);
    ASSERT_EQ(t.Columns, 12);
    const QStringList header = {"№ п/п",        "Имя ключа",    "Номер ключа",  "Мастер",
                                "ШС1 Взятие",   "ШС2 Взятие",   "ШС3 Взятие",   "ШС4 Взятие",
                                "ШС1 Снятие",   "ШС2 Снятие",   "ШС3 Снятие",   "ШС4 Снятие"};
    for (int c = 1; c <= 12; ++c) {
        EXPECT_EQ(CellText(t, 1, c), header[c - 1]) << c;
        EXPECT_EQ(t.Cell(1, c)->Shading, kReportHeaderShading) << c;
    }
    EXPECT_EQ(PlusColumns(t, 2), (std::vector<int>{4, 5, 7, 10}));
    EXPECT_EQ(PlusColumns(t, 3), (std::vector<int>{8, 12}));
    // Column 1 holds the record's id, not a running number.
    EXPECT_EQ(CellText(t, 3, 1), "7");
    EXPECT_EQ(CellText(t, 3, 2), "<Вахта> №3");
    EXPECT_EQ(CellText(t, 3, 3), "0000AB12CD34");
    EXPECT_EQ(CellText(t, 3, 4), "");
    EXPECT_FALSE(t.Cell(2, 1)->Shading.has_value());
}

TEST(WordReport, KeyTableSurvivesRecordsThatDisagreeWithTheirCounts)
{
    // Flags missing behind the count, a key with more loops than the first, a negative count: the
    // table keeps the first key's width, a row its own layout, and nothing is read beyond the flags.
    const std::vector<CKey> keys = {
        Key(1, "<А> №1", false, 2, {true}),
        Key(2, "<Б> №2", false, 3, {false, false, false, true, true, true}),
        Key(3, "<В> №3", false, -5, {true, true}),
    };
    const TReportTable t = KeyReportSection(keys).Table;
    ASSERT_EQ(t.Columns, 8);
    EXPECT_EQ(PlusColumns(t, 2), (std::vector<int>{5}));
    EXPECT_EQ(PlusColumns(t, 3), (std::vector<int>{8})); // its 9 and 10 lie beyond the table
    EXPECT_EQ(PlusColumns(t, 4), (std::vector<int>{}));
    for (const auto &row : t.Rows)
        EXPECT_EQ(int(row.size()), t.Columns);
}

TEST(WordReport, PasswordTableMarksRightsAndLoops)
{
    CPass admin = User(1, "Администратор", 3);
    admin.administrator = true;
    admin.access = true;
    CPass op = User(2, "Оператор 1", 3);
    op.disabled = true;
    op.hos_key = true;
    op.hos_chk = {false, true, true};
    const TReportSection s = PassReportSection({admin, op});
    EXPECT_EQ(s.Caption, "Таблица паролей");
    const TReportTable &t = s.Table;
    ASSERT_EQ(t.Columns, 10);
    const QStringList header = {"№ п/п", "Имя", "Пароль", "Администратор", "Заблокирован", "Доступ", "Управляет ШС",
                                "ШС1", "ШС2", "ШС3"};
    for (int c = 1; c <= 10; ++c)
        EXPECT_EQ(CellText(t, 1, c), header[c - 1]) << c;
    EXPECT_EQ(PlusColumns(t, 2), (std::vector<int>{4, 6}));
    EXPECT_EQ(PlusColumns(t, 3), (std::vector<int>{5, 7, 9, 10}));
    EXPECT_EQ(CellText(t, 3, 1), "2");
    EXPECT_EQ(CellText(t, 3, 3), "1234");

    // Fresh users carry the description's full loop count, also above 32.
    EXPECT_EQ(PassReportSection({User(1, "А", 40)}).Table.Columns, 47);
}

namespace {
TReportDocument GoldenDocument()
{
    CTree tree;
    CTreeNode *device = AddDevice(tree, "Тиврон-А", 1);
    CTreeNode *table = AddTable(tree, device, "Зоны", "table", 2);
    AddParameter(tree, table, "Тип & задержка", "числовой", "0");
    CParamPage page = Page(2, 1, {{0, 1}});
    page.Rows[0].Cells[0].Text = QStringLiteral(" ");
    TReportDocument doc;
    doc.Title = ReportTitle("Тиврон-А");
    doc.Sections = ParameterReportSections(*table, page);
    doc.Sections.push_back(KeyReportSection({Key(1, "<Вахта> №1", false, 1, {true, false})}));
    return doc;
}
} // namespace

TEST(WordReport, DocumentXmlMatchesTheGoldenFile)
{
    const QByteArray xml = ReportDocumentXml(GoldenDocument());
    const QByteArray golden = ReadFile(SourcePath("tests/editor/fixtures/report-document.xml"));
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(xml.toStdString(), golden.toStdString());
    // Well-formed, whatever the texts hold.
    CXmlDocument doc;
    EXPECT_NO_THROW(doc.loadFromBytes(xml));
}

namespace {
std::vector<int> GridWidths(const TReportSection &section)
{
    TReportDocument doc;
    doc.Sections = {section};
    std::vector<int> out;
    auto it = QRegularExpression(QStringLiteral("<w:gridCol w:w=\"(\\d+)\"/>"))
                  .globalMatch(QString::fromUtf8(ReportDocumentXml(doc)));
    while (it.hasNext())
        out.push_back(it.next().captured(1).toInt());
    return out;
}
int Sum(const std::vector<int> &v) { return std::accumulate(v.begin(), v.end(), 0); }
} // namespace

TEST(WordReport, WideTablesKeepToThePageWidth)
{
    // Landscape A4 less the side margins.
    constexpr int textWidth = 16838 - 2 * 1134;
    // Sixteen loops: names and key codes keep more room than the loop marks.
    std::vector<CKey> keys = {Key(1, "<Вахта> №1", false, 16, std::vector<bool>(32, true))};
    std::vector<int> w = GridWidths(KeyReportSection(keys));
    ASSERT_EQ(w.size(), 36u);
    EXPECT_LE(Sum(w), textWidth);
    EXPECT_GT(w[1], 2 * w[4]);
    EXPECT_GT(w[2], 2 * w[4]);

    // Twenty list values beside long names: the short numbers are not squeezed.
    CTree tree;
    CTreeNode *table = AddTable(tree, AddDevice(tree, "Тиврон-А", 1), "шлейфы", "table", 20);
    AddParameter(tree, table, "Тип шлейфа сигнализации", "список", "0");
    CParamPage page = Page(20, 1);
    for (int c = 0; c < 20; c += 2)
        page.Rows[0].Cells[size_t(c)].Text = QStringLiteral("Охранный");
    w = GridWidths(ParameterReportSections(*table, page).front());
    ASSERT_EQ(w.size(), 21u);
    EXPECT_LE(Sum(w), textWidth);
    EXPECT_GE(w[2], 3 * 155 + 216); // "101" and its header "2" on one line
    EXPECT_GT(w[1], w[2]);
    EXPECT_GT(w[0], w[1]);
}

TEST(WordReport, TextsThatXmlCannotHoldAreDroppedAndBreaksKept)
{
    TReportDocument doc;
    doc.Title = ReportTitle(QStringLiteral("A<b>\"c\"&\x01\x1f") + QChar(0xFFFE) + QChar(0xD800) + "d");
    TReportSection s;
    s.Caption = QStringLiteral("x\ny\r\nz\tw");
    s.Table = TReportTable(1, 1);
    doc.Sections.push_back(s);
    const QString xml = QString::fromUtf8(ReportDocumentXml(doc));
    EXPECT_TRUE(xml.contains(QStringLiteral("Конфигурация прибора A&lt;b&gt;&quot;c&quot;&amp;d </w:t>")));
    EXPECT_TRUE(xml.contains(QStringLiteral("x</w:t><w:br/><w:t xml:space=\"preserve\">y</w:t><w:br/>"
                                            "<w:t xml:space=\"preserve\">z</w:t><w:tab/>")));
    CXmlDocument parsed;
    EXPECT_NO_THROW(parsed.loadFromBytes(xml.toUtf8()));
}

TEST(WordReport, DocxPackageHoldsTheDocumentAndReplacesAFileWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("report.docx");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a zip at all");
    }
    const TReportDocument doc = GoldenDocument();
    WriteReportDocx(path, doc);
    const QStringList zipNames = ZipEntryNames(path);
    EXPECT_EQ(zipNames, (QStringList{"[Content_Types].xml", "_rels/.rels", "word/document.xml",
                                      "word/_rels/document.xml.rels", "word/styles.xml"}));
    EXPECT_EQ(ZipEntry(path, "word/document.xml"), ReportDocumentXml(doc));
    const QByteArray types = ZipEntry(path, "[Content_Types].xml");
    EXPECT_TRUE(types.contains("wordprocessingml.document.main+xml"));
    EXPECT_TRUE(ZipEntry(path, "_rels/.rels").contains("Target=\"word/document.xml\""));

    // A folder that does not exist: an error with the path, nothing left behind.
    const QString bad = dir.filePath("missing/report.docx");
    try {
        WriteReportDocx(bad, doc);
        ADD_FAILURE() << "no error";
    } catch (const WholeFileError &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith("Не удалось записать файл '" + bad + "'")) << e.what();
    }
    EXPECT_FALSE(QFileInfo::exists(bad));
}

TEST(WordReport, NewReportPathsAreFreshFilesInTheTemporaryFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    const QString a = NewReportPath();
    const QString b = NewReportPath();
    qputenv("TMPDIR", QFile::encodeName(dir.path() + "/missing"));
    EXPECT_THROW(NewReportPath(), TReportError);
    if (saved.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", saved);
    EXPECT_NE(a, b);
    for (const QString &p : {a, b}) {
        EXPECT_EQ(QFileInfo(p).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
        EXPECT_TRUE(p.endsWith(".docx"));
        EXPECT_TRUE(QFileInfo::exists(p));
    }
}

// The export command on the catalogue's Тиврон-А as a read shows it: every second cell from the default.
class WordExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        ASSERT_TRUE(ReadXmlToTree(SourcePath("data/devices.xml"), catalogue));
        device = catalogue.topNode(0);
        ASSERT_EQ(device->text, "Тиврон-А");
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons buttons) {
            messages.push_back({text, kind, buttons});
            return int(mrOk);
        });
        TMainFormEnv env;
        env.ProgramDir = tmp.path();
        env.OpenDocument = [this](const QString &path) {
            opened << path;
            statusWhileOpening = form->StatusText();
            enabledWhileOpening = form->isEnabled();
            return viewer;
        };
        form = std::make_unique<TMainForm>(nullptr, env);
    }
    void TearDown() override
    {
        form.reset();
        SetMessageDlgHook(nullptr);
        if (savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);
    }

    void BuildPages()
    {
        CTreeNode *vd = values.addChild(nullptr, device->text, std::make_shared<CDevice>(*device->device()));
        for (const CTreeNode *t = device->firstChild(); t; t = t->nextSibling()) {
            CTreeNode *vt = values.addChild(vd, t->text, std::make_shared<CTable>(*t->table()));
            if (t->table()->type != QLatin1String("table"))
                continue;
            for (const CTreeNode *p = t->firstChild(); p; p = p->nextSibling()) {
                CTreeNode *vp = values.addChild(vt, p->text, std::make_shared<CParameter>(*p->parameter()));
                for (int c = 0; c < t->table()->columns; ++c)
                    AddItem(values, vp, "", p->parameter()->default_value, c % 2 ? DefaultMarker : 3);
            }
        }
        form->CurrentDevice = device->shared();
        form->BuildDevicePages(device, vd, true);
    }

    CTreeView *PageTree(const QString &type, const QString &prefix)
    {
        int i = 0;
        for (const CTreeNode *t = device->firstChild(); t; t = t->nextSibling(), ++i)
            if (t->table()->type == type)
                return FindComponent<CTreeView>(prefix + QString::number(form->PageIds.value(i)), form->PageControl, 3);
        return nullptr;
    }

    struct Message {
        QString text;
        int kind;
        MsgButtons buttons;
    };
    QTemporaryDir tmp;
    QByteArray savedTmp;
    CTree catalogue, values;
    CTreeNode *device = nullptr;
    std::unique_ptr<TMainForm> form;
    std::vector<Message> messages;
    QStringList opened;
    QString statusWhileOpening;
    bool enabledWhileOpening = true;
    bool viewer = true; // what the desktop's opener answers
};

TEST_F(WordExportTest, WithoutADeviceOnlyTheMessage)
{
    form->SetStatusText("как было");
    form->actExportWordExecute();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Нет данных, выберите прибор!");
    EXPECT_EQ(messages[0].kind, mtInformation);
    EXPECT_EQ(messages[0].buttons, MsgButtons(mbOK));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(form->StatusText(), "как было");
    EXPECT_TRUE(QDir(tmp.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(WordExportTest, ReportOfThePagesIsWrittenAndOpened)
{
    BuildPages();
    CTreeView *keys = PageTree("key", "tvKey");
    ASSERT_NE(keys, nullptr);
    ASSERT_TRUE(keys->items().isEmpty()); // an empty key list adds nothing, not even its caption
    form->actExportWordExecute();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(statusWhileOpening, "Идёт экспорт в файл Microsoft Word");
    EXPECT_FALSE(enabledWhileOpening);
    EXPECT_EQ(form->StatusText(), "");
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(QFileInfo(opened[0]).absolutePath(), QFileInfo(tmp.path()).absoluteFilePath());

    const TReportDocument report = ReportFromPages(*device, form->PageIds, form->PageControl);
    QStringList captions;
    for (const TReportSection &s : report.Sections)
        captions << s.Caption;
    EXPECT_EQ(captions, (QStringList{"шлейфы", "Общие параметры", "Выходы", "Зоны", "Системные", "Связь"}));
    EXPECT_EQ(report.Title, "Конфигурация прибора Тиврон-А ");
    EXPECT_EQ(ZipEntry(opened[0], "word/document.xml"), ReportDocumentXml(report));
    // The read's marks: the second of the four loop columns came from the default.
    const TReportTable &loops = report.Sections[0].Table;
    EXPECT_EQ(loops.Columns, 5);
    EXPECT_FALSE(loops.Cell(2, 2)->Shading.has_value());
    EXPECT_EQ(loops.Cell(2, 3)->Shading, kReportMarkedShading);
    EXPECT_EQ(loops.Cell(2, 3)->TextColor, kReportMarkedText);

    // A key and a user on the lists bring their tables in, in the table order.
    auto key = std::make_shared<CKey>(Key(1, "Мастер-ключ", true, 4, std::vector<bool>(8, false)));
    keys->items().addChild(nullptr, "1. Мастер-ключ", key);
    CTreeView *users = PageTree("pass", "tvPass");
    ASSERT_NE(users, nullptr);
    auto admin = std::make_shared<CPass>(User(1, "Администратор", 4));
    admin->administrator = true;
    users->items().addChild(nullptr, "Администратор", admin);
    form->actExportWordExecute();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_NE(opened[1], opened[0]); // the first report is left to the word processor
    const TReportDocument withKeys = ReportFromPages(*device, form->PageIds, form->PageControl);
    ASSERT_EQ(withKeys.Sections.size(), 8u);
    EXPECT_EQ(withKeys.Sections[3].Caption, "Таблица ключей");
    EXPECT_EQ(PlusColumns(withKeys.Sections[3].Table, 2), (std::vector<int>{4}));
    EXPECT_EQ(withKeys.Sections[7].Caption, "Таблица паролей");
    EXPECT_EQ(PlusColumns(withKeys.Sections[7].Table, 2), (std::vector<int>{4}));
}

TEST_F(WordExportTest, AFailedWriteIsReportedAndTheWindowIsUsableAgain)
{
    BuildPages();
    qputenv("TMPDIR", QFile::encodeName(tmp.path() + "/missing"));
    form->actExportWordExecute();
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("Ошибка при экспорте в файл Word.\nНе удалось записать файл "))
        << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].kind, mtError);
    EXPECT_EQ(messages[0].buttons, MsgButtons(mbOK));
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(form->StatusText(), ""); // the export is over
}

// The temporary folder on a full disk: the export is reported and leaves no empty or partial report.
TEST_F(WordExportTest, AFullDiskLeavesNoReportBehind)
{
    BuildPages();
    {
        FileSizeLimit limit(512);
        ASSERT_TRUE(limit.Active());
        form->actExportWordExecute();
    }
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("Ошибка при экспорте в файл Word.\nНе удалось записать файл '" + tmp.path()))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.endsWith("': " + FileTooLargeText)) << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].kind, mtError);
    EXPECT_EQ(FolderEntries(tmp.path()), QStringList());
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(WordExportTest, AReportNoViewerTakesIsReportedAndItsStatusEnds)
{
    BuildPages();
    viewer = false;
    form->actExportWordExecute();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(statusWhileOpening, "Идёт экспорт в файл Microsoft Word");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Ошибка при экспорте в файл Word.\nНе удалось открыть документ " + opened[0]);
    EXPECT_EQ(messages[0].kind, mtError);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(form->StatusText(), "");
}

// The desktop's opener answers for the word processor: xdg-open ends with 3, "no method available",
// on a desktop without one. Either way the report stays in the temporary folder, and a failure names
// it, so the engineer can open it by hand.
TEST_F(WordExportTest, TheDesktopOpenersStatusDecidesAndTheReportStays)
{
    QTemporaryDir openers;
    ASSERT_TRUE(openers.isValid());
    for (const int status : {0, 3}) {
        SCOPED_TRACE(status);
        messages.clear();
        TMainFormEnv env;
        env.ProgramDir = tmp.path();
        env.DesktopOpener.Program = StandInOpener(openers, QString::number(status), status);
        env.DesktopOpener.WaitMs = 600000; // the stand-in answers at once
        form = std::make_unique<TMainForm>(nullptr, env);
        BuildPages();
        form->actExportWordExecute();
        const QString report = StandInOpenerArgument(env.DesktopOpener.Program);
        EXPECT_TRUE(report.endsWith(".docx")) << report.toStdString();
        EXPECT_TRUE(QFileInfo(report).isFile());
        if (status == 0) {
            EXPECT_TRUE(messages.empty());
        } else {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "Ошибка при экспорте в файл Word.\nНе удалось открыть документ " + report);
            EXPECT_EQ(messages[0].kind, mtError);
        }
        EXPECT_EQ(form->StatusText(), "");
        EXPECT_TRUE(form->isEnabled());
    }
}
