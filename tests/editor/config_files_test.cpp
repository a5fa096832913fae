// The .DEV writer over plain records: golden bytes, escaping, raw values, the hexadecimal reader and
// the naming of the save.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/message_dlg.h"
#include "editor/config_files.h"
#include "link/text_file_save.h"
#include "model/config_loader.h"
#include "platform/whole_file.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_files.h"

namespace {
CKey Key(int id, const QString &name, int type, const QString &code, bool master, int loops,
         std::vector<bool> flags, uint8_t vzSn, uint8_t level)
{
    CKey k;
    k.id = id;
    k.name = name;
    k.key_type = type;
    k.key_code = code;
    k.master = master;
    k.hos_count = loops;
    k.hos_chk = std::move(flags);
    k.KeyVz_Sn = vzSn;
    k.KeyLocLevel = level;
    return k;
}

CPass Pass(int id, const QString &name, const QString &password, bool admin, bool access, bool hosKey, int loops,
           std::vector<bool> flags)
{
    CPass p;
    p.id = id;
    p.name = name;
    p.password = password;
    p.administrator = admin;
    p.access = access;
    p.hos_key = hosKey;
    p.hos_count = loops;
    p.hos_chk = std::move(flags);
    return p;
}

// The configuration of the golden file: a 2 x 2 parameter table, a master key and a key over two
// loops, the administrator and an operator, and a table of a type without a page.
TConfigFileDevice GoldenDevice()
{
    TConfigFileDevice d{QStringLiteral("Тиврон-А"), QStringLiteral("3.0"), 14, 5, {}};
    TConfigFileTable loops{QStringLiteral("table"), QStringLiteral("шлейфы"), 2, 60, 1, {}, {}, {}};
    loops.Parameters = {
        {QStringLiteral("Номер ШС"), QStringLiteral("числовой"), QStringLiteral("1"), QStringLiteral("1"),
         {QStringLiteral("1"), QStringLiteral("2")}, {}},
        {QStringLiteral("Тип шлейфа"), QStringLiteral("список"), QStringLiteral("2"), QStringLiteral("0"),
         {QStringLiteral("Пожарный ручной"), QStringLiteral("Охранный")}, {}},
    };
    TConfigFileTable keys{QStringLiteral("key"), QStringLiteral("Таблица ключей"), 1, 80, 2, {}, {}, {}};
    keys.Keys = {Key(1, QStringLiteral("Мастер-ключ"), 1, QStringLiteral("0000000000AB"), true, 0, {}, 0, 0),
                 Key(2, QStringLiteral("Ключ №1"), 2, QStringLiteral("123456789ABC"), false, 2,
                     {true, false, false, true}, 3, 2)};
    TConfigFileTable users{QStringLiteral("pass"), QStringLiteral("Таблица паролей"), 1, 80, 3, {}, {}, {}};
    users.Passes = {Pass(1, QStringLiteral("Администратор"), QStringLiteral("1234"), true, true, false, 0, {}),
                    Pass(2, QStringLiteral("Оператор 1"), QStringLiteral("0000"), false, true, true, 2, {true, false})};
    TConfigFileTable other{QStringLiteral("other"), QStringLiteral("Прочее"), 1, 50, 0, {}, {}, {}};
    d.Tables = {loops, keys, users, other};
    return d;
}
} // namespace

TEST(ConfigFiles, GoldenBytes)
{
    const QByteArray golden = ReadFile(SourcePath(QStringLiteral("tests/editor/fixtures/golden.DEV")));
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(ConfigFileBytes(GoldenDevice()), golden);
    EXPECT_FALSE(golden.startsWith("\xEF\xBB\xBF"));
}

TEST(ConfigFiles, WrittenFileReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("conf.DEV"));
    WriteConfigFile(path, GoldenDevice());
    CTree tree;
    ASSERT_TRUE(ReadXmlToTree(path, tree));
    const CTreeNode *device = tree.firstNode();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->device()->device_addr, 5);
    const CTreeNode *loops = device->child(0);
    EXPECT_EQ(loops->child(1)->child(0)->item()->value, QStringLiteral("Пожарный ручной"));
    const CTreeNode *key = device->child(1)->child(1);
    EXPECT_EQ(key->key()->hos_chk, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(key->key()->KeyVz_Sn, 3);
    const CTreeNode *user = device->child(2)->child(1);
    EXPECT_EQ(user->pass()->hos_chk, (std::vector<bool>{true, false}));
    EXPECT_EQ(device->child(3)->childCount(), 0);
}

// Every value that may hold markup or line breaks must read back as it was typed.
TEST(ConfigFiles, EveryValueIsEscapedAndReadsBack)
{
    const QString nasty = QStringLiteral("a&b \"c\" <d> / e\r\nf\tg");
    TConfigFileDevice d = GoldenDevice();
    d.Name = nasty;
    d.Tables[0].Name = nasty;
    d.Tables[0].Parameters[0].Values[0] = nasty;
    d.Tables[0].Parameters[0].DefaultValue = nasty;
    d.Tables[1].Keys[1].name = nasty;
    d.Tables[1].Keys[1].key_code = nasty;
    d.Tables[2].Passes[1].name = nasty;
    d.Tables[2].Passes[1].password = nasty;
    const QStringList lines = ConfigFileLines(d);
    EXPECT_TRUE(lines.contains(QStringLiteral("<ItemValue id=\"1\" name=\"\" value=\"a&amp;b &quot;c&quot; &lt;d&gt; / "
                                              "e&#13;&#10;f&#9;g\">")));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nasty.DEV"));
    WriteConfigFile(path, d);
    CTree tree;
    ASSERT_TRUE(ReadXmlToTree(path, tree));
    const CTreeNode *device = tree.firstNode();
    EXPECT_EQ(device->device()->name, nasty);
    EXPECT_EQ(device->child(0)->table()->name, nasty);
    EXPECT_EQ(device->child(0)->child(0)->parameter()->default_value, nasty);
    EXPECT_EQ(device->child(0)->child(0)->child(0)->item()->value, nasty);
    EXPECT_EQ(device->child(1)->child(1)->key()->name, nasty);
    EXPECT_EQ(device->child(1)->child(1)->key()->key_code, nasty);
    EXPECT_EQ(device->child(2)->child(1)->pass()->name, nasty);
    EXPECT_EQ(device->child(2)->child(1)->pass()->password, nasty);
}

TEST(ConfigFiles, EscapeXmlTextTable)
{
    const struct {
        QString in, out;
    } rows[] = {
        {QString(), QString()},
        {QStringLiteral("Ключ №1"), QStringLiteral("Ключ №1")},
        {QStringLiteral("&"), QStringLiteral("&amp;")},
        {QStringLiteral("&amp;"), QStringLiteral("&amp;amp;")},
        {QStringLiteral("\"q\""), QStringLiteral("&quot;q&quot;")},
        {QStringLiteral("<>"), QStringLiteral("&lt;&gt;")},
        {QStringLiteral("a/b\\c'"), QStringLiteral("a/b\\c'")},
        {QStringLiteral("\r\n\t"), QStringLiteral("&#13;&#10;&#9;")},
        {QStringLiteral("a") + QChar(0x01) + QChar(0xFFFF) + QChar(0xD800) + QStringLiteral("b"), QStringLiteral("ab")},
        {QStringLiteral("😀"), QStringLiteral("😀")},
    };
    for (const auto &r : rows)
        EXPECT_EQ(EscapeXmlText(r.in), r.out) << r.in.toStdString();
}

TEST(ConfigFiles, HexTextToIntTable)
{
    const struct {
        const char *text;
        int value;
    } rows[] = {
        {"", 0},          {"FF", 255},      {"ff", 0},         {"1a", 16},        {"0A", 10},
        {"10", 16},       {"G1", 1},        {"7FFFFFFF", 0x7FFFFFFF},            {"FFFFFFFF", -1},
        {"80000000", int(0x80000000u)}, {"123456789", 0x23456789},
    };
    for (const auto &r : rows)
        EXPECT_EQ(HexTextToInt(QString::fromLatin1(r.text)), r.value) << r.text;
}

TEST(ConfigFiles, CellRawValueTakesTheFormulaOff)
{
    CParameter number;
    number.type = QStringLiteral("числовой");
    number.formula = 1;
    number.max_value = 15;
    CParameter text;
    text.type = QStringLiteral("текстовый");
    text.formula = 1;
    CParameter offset;
    offset.type = QStringLiteral("числовой");
    offset.formula = -20;
    offset.min_value = -20;
    offset.max_value = 100;
    const struct {
        const CParameter *parameter;
        const char *cell;
        const char *raw;
    } rows[] = {
        {&number, "15", "14"}, {&number, "16", "-1"}, // 16 wraps to 0 first
        {&text, "12", "11"},   {&text, "Объект", "Объект"}, {&text, "", ""},
        {&offset, "80", "100"}, {&number, "+", "+"},   {&number, " ", " "},
    };
    for (const auto &r : rows)
        EXPECT_EQ(CellRawValue(QString::fromUtf8(r.cell), *r.parameter), QString::fromUtf8(r.raw)) << r.cell;
}

TEST(ConfigFiles, SaveNaming)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("conf.DEV"));
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
    f.close();
    QStringList asked;
    int answer = mrNo;
    SetMessageDlgHook([&](const QString &text, int, MsgButtons) {
        asked << text;
        return answer;
    });
    const auto rule = [](const QString &name) { return ReplaceExtension(name, QStringLiteral(".DEV")); };
    EXPECT_FALSE(ConfirmSaveFileName(QStringLiteral("  "), rule));
    EXPECT_EQ(asked.value(0), QStringLiteral("Имя файла не указано"));
    EXPECT_FALSE(ConfirmSaveFileName(dir.filePath(QStringLiteral("conf")), rule));
    EXPECT_EQ(asked.value(1), QStringLiteral("Заменить файл '") + existing + u'\'');
    answer = mrCancel; // closing the question counts as consent
    EXPECT_EQ(ConfirmSaveFileName(dir.filePath(QStringLiteral("conf.xml")), rule), existing);
    EXPECT_EQ(ConfirmSaveFileName(dir.filePath(QStringLiteral("new")), rule), dir.filePath(QStringLiteral("new.DEV")));
    EXPECT_EQ(asked.size(), 3);
    SetMessageDlgHook(nullptr);
    EXPECT_EQ(ReadFile(existing), "old");
}

// The temporary file cannot be made: the save fails loudly instead of reporting nothing.
TEST(ConfigFiles, FailedWriteThrows)
{
    QTemporaryDir dir;
    EXPECT_THROW(WriteConfigFile(dir.filePath(QStringLiteral("missing/conf.DEV")), GoldenDevice()), WholeFileError);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}
