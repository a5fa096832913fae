// The CAN monitor without its window: the row store, the saved file, the save-name pattern,
// the command line and the connect/disconnect rules, the placement.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/message_dlg.h"
#include "link/exchange.h"
#include "link/monitor_link.h"
#include "link/monitor_placement.h"
#include "link/packet_rows.h"
#include "link/text_file_save.h"
#include "platform/whole_file.h"
#include "tests/link/fake_dll_fixture.h"

namespace {

struct Message {
    QString text;
    int kind;
    MsgButtons buttons;
    bool operator==(const Message &) const = default;
};

// Records every message and answers with `answer`.
class MessageRecorder {
public:
    MessageRecorder()
    {
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons buttons) {
            messages.push_back({text, kind, buttons});
            return answer;
        });
    }
    ~MessageRecorder() { SetMessageDlgHook(nullptr); }
    std::vector<Message> messages;
    int answer = mrOk;
};

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

// ---- the row store ----

TEST(PacketRowStoreTest, NumbersRowsAndKeepsTheEmptyRowLast)
{
    CPacketRowStore grid;
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Line(0), QStringLiteral("Номер|Время|ID|Data|Действие|"));
    EXPECT_EQ(grid.Line(1), QStringLiteral("|||||"));

    EXPECT_EQ(grid.Append("12:00:01", "85FF0200", "FF00", PacketRowSent), 1);
    EXPECT_EQ(grid.Append("12:00:02", "85ff0200", "", PacketRowFailed), 2);
    EXPECT_EQ(grid.Append("12:00:03", "85FF0203", "0102030405060708", PacketRowReceived), 3);
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Line(1), QStringLiteral("1|12:00:01|85FF0200|FF00|  (Отправлен)|"));
    EXPECT_EQ(grid.Line(2), QStringLiteral("2|12:00:02|85ff0200||  (Ошибка)|"));
    EXPECT_EQ(grid.Line(3), QStringLiteral("3|12:00:03|85FF0203|0102030405060708|  (Получен)|"));
    EXPECT_EQ(grid.Line(4), QStringLiteral("|||||"));
    EXPECT_EQ(grid.Cell(5, 0), QString());
    EXPECT_EQ(grid.Cell(1, 5), QString());

    grid.Clear();
    EXPECT_EQ(grid.Lines(), QStringList({"Номер|Время|ID|Data|Действие|", "|||||"}));
    EXPECT_EQ(grid.Append("12:00:04", "00000001", "", PacketRowSent), 1);
    EXPECT_EQ(grid.Line(1), QStringLiteral("1|12:00:04|00000001||  (Отправлен)|"));
    grid.Clear();
    grid.Clear(); // on an empty log
    EXPECT_EQ(grid.RowCount(), 2);
}

TEST(PacketRowStoreTest, ALongLogKeepsEveryRowsTexts)
{
    // Rows of every text length, far past one block of the text pool.
    CPacketRowStore grid;
    const auto data = [](int i) { return QStringLiteral("%1").arg(i, 2 * (i % 9), 16, QLatin1Char('0')).right(2 * (i % 9)); };
    for (int i = 0; i < 20000; ++i)
        grid.Append(QStringLiteral("12:%1").arg(i % 60), QStringLiteral("%1").arg(i, 8, 16, QLatin1Char('0')), data(i),
                    PacketRowReceived);
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(grid.Cell(i + 1, 1), QStringLiteral("12:%1").arg(i % 60)) << i;
        ASSERT_EQ(grid.Cell(i + 1, 2), QStringLiteral("%1").arg(i, 8, 16, QLatin1Char('0'))) << i;
        ASSERT_EQ(grid.Cell(i + 1, 3), data(i)) << i;
    }
    EXPECT_LT(grid.MemoryBytes(), std::size_t(20000) * 64);
}

TEST(PacketRowStoreTest, EditedCellsAndTextsOutsideThePool)
{
    CPacketRowStore grid;
    grid.Append("t1", "11111111", "AA", PacketRowSent);
    // Fixed cells take no text.
    EXPECT_FALSE(grid.SetCell(0, 1, "x"));
    EXPECT_FALSE(grid.SetCell(1, 0, "x"));
    EXPECT_FALSE(grid.SetCell(3, 1, "x"));
    // An edited packet cell stays; text typed into the empty row is overwritten by the next packet.
    EXPECT_TRUE(grid.SetCell(1, 3, QStringLiteral("заметка")));
    EXPECT_TRUE(grid.SetCell(2, 1, "typed"));
    EXPECT_TRUE(grid.SetCell(2, 4, "typed too"));
    EXPECT_EQ(grid.Line(2), QStringLiteral("|typed|||typed too|"));
    grid.Append("t2", "22222222", "", PacketRowReceived);
    EXPECT_EQ(grid.Line(1), QStringLiteral("1|t1|11111111|заметка|  (Отправлен)|"));
    EXPECT_EQ(grid.Line(2), QStringLiteral("2|t2|22222222||  (Получен)|"));

    // Texts the compact pool cannot hold still come back unchanged.
    const QString longText(300, u'7');
    grid.Append(QStringLiteral("время"), longText, "", QStringLiteral("свой"));
    EXPECT_EQ(grid.Line(3), QStringLiteral("3|время|") + longText + QStringLiteral("||свой|"));
    EXPECT_EQ(grid.Line(4), QStringLiteral("|||||"));
}

TEST(PacketRowStoreTest, SavedFileByteForByte)
{
    CPacketRowStore grid;
    grid.Append("14:05:09", "85FF0200", "FF00000000000000", PacketRowSent);
    grid.Append("14:05:10", "85FF0203", "0102030405060708", PacketRowReceived);
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x')); // replaced whole
    old.close();

    SaveGridToFile(path, grid);
    const QByteArray expected =
        "\xCD\xEE\xEC\xE5\xF0|\xC2\xF0\xE5\xEC\xFF|ID|Data|\xC4\xE5\xE9\xF1\xF2\xE2\xE8\xE5|\r\n"
        "1|14:05:09|85FF0200|FF00000000000000|  (\xCE\xF2\xEF\xF0\xE0\xE2\xEB\xE5\xED)|\r\n"
        "2|14:05:10|85FF0203|0102030405060708|  (\xCF\xEE\xEB\xF3\xF7\xE5\xED)|\r\n"
        "|||||\r\n";
    EXPECT_EQ(ReadAll(path), expected);

    grid.Clear();
    SaveGridToFile(path, grid);
    EXPECT_EQ(ReadAll(path), QByteArray("\xCD\xEE\xEC\xE5\xF0|\xC2\xF0\xE5\xEC\xFF|ID|Data|\xC4\xE5\xE9\xF1\xF2\xE2\xE8\xE5|\r\n|||||\r\n"));

    // A file that cannot be written throws, for the application object to show.
    EXPECT_THROW(SaveGridToFile(dir.filePath("no/such/folder/log.txt"), grid), WholeFileError);
}

// ---- the save pattern ----

TEST(SaveFileNameTest, ExtensionRules)
{
    const struct {
        const char *chosen, *txtRule, *devRule;
    } cases[] = {
        {"x", "x.txt", "x.DEV"},
        {"x.TXT", "x.TXT.txt", "x.DEV"},
        {"x.txt", "x.txt", "x.DEV"},
        {"a.txt.bak", "a.txt.bak", "a.txt.DEV"},
        {"/tmp/dir.d/name", "/tmp/dir.d/name.txt", "/tmp/dir.d/name.DEV"},
        {"/tmp/a.txt/name", "/tmp/a.txt/name", "/tmp/a.txt/name.DEV"}, // ".txt" anywhere counts
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chosen);
        EXPECT_EQ(AppendTxtUnlessContained(c.chosen), QString(c.txtRule));
        EXPECT_EQ(ReplaceExtension(c.chosen, ".DEV"), QString(c.devRule));
    }
}

TEST(SaveFileNameTest, BlankNamesAndTheReplaceQuestion)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath("old.txt");
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    MessageRecorder recorder;
    // The dialog gives the folder before what was typed: the file part is judged, not the path.
    const QString blanks[] = {"", "   ", "\t", dir.filePath("   "), dir.path() + "/", dir.filePath(" \t ")};
    for (const QString &blank : blanks) {
        SCOPED_TRACE(blank.toStdString());
        EXPECT_EQ(ConfirmSaveFileName(blank, AppendTxtUnlessContained), std::nullopt);
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0], (Message{"Имя файла не указано", mtInformation, mbOK}));
        recorder.messages.clear();
    }
    // Blanks around a name are part of it.
    EXPECT_EQ(ConfirmSaveFileName(dir.filePath(" a "), AppendTxtUnlessContained), dir.filePath(" a .txt"));

    recorder.messages.clear();
    EXPECT_EQ(ConfirmSaveFileName(dir.filePath("new"), AppendTxtUnlessContained), dir.filePath("new.txt"));
    EXPECT_TRUE(recorder.messages.empty());

    // The rule is applied before the question: "old" is asked about as "old.txt".
    const struct {
        int answer;
        bool saves;
    } answers[] = {{mrNo, false}, {mrYes, true}, {mrCancel, true}, {0, true}};
    for (const auto &a : answers) {
        SCOPED_TRACE(a.answer);
        recorder.messages.clear();
        recorder.answer = a.answer;
        const std::optional<QString> name = ConfirmSaveFileName(dir.filePath("old"), AppendTxtUnlessContained);
        EXPECT_EQ(name.has_value(), a.saves);
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0],
                  (Message{"Заменить файл '" + existing + "'", mtConfirmation, MsgButtons(mbYes) | MsgButtons(mbNo)}));
    }
}

// A folder named as the file would be: refused at once, whichever rule made the name, and no question.
TEST(SaveFileNameTest, AFolderInTheFilesPlaceIsRefusedWithoutTheQuestion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("log.txt"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("archive.txt"));
    MessageRecorder recorder;
    recorder.answer = mrYes;
    const struct {
        QString chosen;
        ExtensionRule rule;
        QString folder;
    } cases[] = {
        {dir.filePath("log"), AppendTxtUnlessContained, dir.filePath("log.txt")},
        {dir.filePath("log.txt"), AppendTxtUnlessContained, dir.filePath("log.txt")},
        {dir.filePath("archive.bak"), [](const QString &n) { return ReplaceExtension(n, ".txt"); }, dir.filePath("archive.txt")},
        {dir.path(), nullptr, dir.path()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        recorder.messages.clear();
        EXPECT_EQ(ConfirmSaveFileName(c.chosen, c.rule), std::nullopt);
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0], (Message{"Не удалось записать файл '" + c.folder + "': Это каталог", mtError, mbOK}));
        EXPECT_TRUE(QFileInfo(c.folder).isDir());
    }
}

// Sizes in the file dialogs as a Russian desktop writes them, the plural of "байт" declined.
TEST(SaveFileNameTest, FileSizesAsARussianDesktopWritesThem)
{
    const struct {
        qint64 bytes;
        const char *text;
    } cases[] = {
        {0, "0 байт"},
        {1, "1 байт"},
        {2, "2 байта"},
        {4, "4 байта"},
        {5, "5 байт"},
        {11, "11 байт"},
        {12, "12 байт"},
        {14, "14 байт"},
        {21, "21 байт"},
        {22, "22 байта"},
        {101, "101 байт"},
        {112, "112 байт"},
        {123, "123 байта"},
        {216, "216 байт"},
        {1023, "1023 байта"},
        {1024, "1,0 КБ"},
        {9851, "9,6 КБ"}, // Qt's "9,62 KiB"
        {124'000, "121,1 КБ"},
        {1'048'524, "1023,9 КБ"},
        {1'048'550, "1,0 МБ"}, // rounded up to the next unit, not "1024,0 КБ"
        {1'048'576, "1,0 МБ"},
        {5'347'738, "5,1 МБ"},
        {3'435'973'837, "3,2 ГБ"},
        {2'199'023'255'552, "2,0 ТБ"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(FileSizeText(c.bytes).toStdString(), c.text);
    }
}

TEST(SaveFileNameTest, PresetNameHoldsNoForbiddenCharacter)
{
    EXPECT_EQ(FileNameSafe(QStringLiteral("CAN монитор 3/2/17 2:05:09 PM")), QStringLiteral("CAN монитор 3_2_17 2_05_09 PM"));
    EXPECT_EQ(FileNameSafe(QStringLiteral("a\\b*c?d\"e<f>g|h\ni")), QStringLiteral("a_b_c_d_e_f_g_h_i"));

    const QDateTime moment(QDate(2017, 3, 2), QTime(14, 5, 9));
    EXPECT_EQ(LocalDateTimeText(moment, QLocale(QLocale::Russian, QLocale::Russia)), QStringLiteral("02.03.2017 14:05:09"));
    const QString us = FileNameSafe(LocalDateTimeText(moment, QLocale(QLocale::English, QLocale::UnitedStates)));
    EXPECT_FALSE(us.contains(u'/'));
    EXPECT_FALSE(us.contains(u':'));
    EXPECT_TRUE(us.contains(QStringLiteral("2_05_09"))) << us.toStdString();
}

// ---- the command line and the connect rules ----

TEST(CommandLineTest, RefusedTexts)
{
    const struct {
        const char *id, *data, *error;
    } cases[] = {
        {"", "", "Нет команды."},
        {"", "0102", "Нет команды."},
        {"1234567", "", "Идентификатор должен состоять из 8 шестнадцатеричных цифр."},
        {"123456", "0102", "Идентификатор должен состоять из 8 шестнадцатеричных цифр."}, // would borrow data digits
        {"123456789", "", "Идентификатор должен состоять из 8 шестнадцатеричных цифр."},
        {"1234567G", "", "Идентификатор должен состоять из 8 шестнадцатеричных цифр."},
        {"1234 678", "", "Идентификатор должен состоять из 8 шестнадцатеричных цифр."},
        {"12345678", "0G", "Данные должны состоять только из шестнадцатеричных цифр."},
        {"12345678", "01 02", "Данные должны состоять только из шестнадцатеричных цифр."},
        {"12345678", "", ""},
        {"abcdef00", "abc", ""}, // the odd digit is dropped when sent
        {"FFFFFFFF", "0123456789ABCDEF", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.id) + " / " + c.data);
        EXPECT_EQ(CommandLineError(c.id, c.data), QString(c.error));
    }
}

class MonitorLinkTest : public LinkTest {
protected:
    void TearDown() override
    {
        while (ExchangeInProgress())
            EndExchange();
        LinkTest::TearDown();
    }
    MessageRecorder messages;
};

TEST_F(MonitorLinkTest, ExecuteConnectsOnlyWhenNotConnectedNowNorAtShowing)
{
    const struct {
        bool connected, wasConnected;
        int connectCode;
        int connects;
        std::vector<Status> statuses;
        bool sent;
    } cases[] = {
        {false, false, 0, 1, {{"Соединяемся...", 1}, {"Соединение прошло успешно", 0}}, true},
        {false, false, 5, 1, {{"Соединяемся...", 1}, {"Не могу соединиться с прибором, ответ библиотеки UsbCan.dll = 5", 2}}, false},
        {false, true, 0, 0, {}, true}, // sends without connecting; the row shows what the library said
        {true, false, 0, 0, {}, true},
        {true, true, 0, 0, {}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.connected) + std::to_string(c.wasConnected) + std::to_string(c.connectCode));
        g_fake = FakeDll();
        g_fake.connectCode = c.connectCode;
        pump.statuses.clear();
        log.rows.clear();
        UsbCan.Connected = c.connected;
        CMonitorLink monitor;
        monitor.WasConnected = c.wasConnected;
        EXPECT_EQ(monitor.Execute("85FF0200", "FF"), c.sent);
        EXPECT_EQ(g_fake.connects, c.connects);
        EXPECT_EQ(pump.statuses, c.statuses);
        EXPECT_EQ(g_fake.sent.size(), c.sent ? 1u : 0u);
        EXPECT_EQ(log.rows.size(), c.sent ? 1u : 0u);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(MonitorLinkTest, ExecuteSendsWhatWasTypedAndRefusesBadTexts)
{
    CMonitorLink monitor;
    UsbCan.Connected = true;
    int code = -7;
    ASSERT_TRUE(monitor.Execute("85FF0200", "", &code));
    EXPECT_EQ(code, 0);
    ASSERT_EQ(g_fake.sent.size(), 1u);
    EXPECT_EQ(g_fake.sent[0].identifier, 0x10BFE040u);
    EXPECT_TRUE(g_fake.sent[0].data.empty());

    g_fake.txCodes = {9};
    ASSERT_TRUE(monitor.Execute("85FF0200", "ABC", &code)); // odd last digit dropped
    EXPECT_EQ(code, 9);
    EXPECT_EQ(g_fake.sent[1].data, std::vector<uint8_t>({0xAB}));
    EXPECT_EQ(log.rows.back(), (Row{"12:34:56", "85FF0200", "AB", "  (Ошибка)"}));

    EXPECT_FALSE(monitor.Execute("", "0102"));
    EXPECT_FALSE(monitor.Execute("FF0200", "0102"));
    EXPECT_FALSE(monitor.Execute("85FF0200", "XY"));
    EXPECT_EQ(g_fake.sent.size(), 2u);
    EXPECT_EQ(log.rows.size(), 2u);
    ASSERT_EQ(messages.messages.size(), 3u);
    EXPECT_EQ(messages.messages[0], (Message{"Нет команды.", mtError, mbOK}));
    EXPECT_EQ(messages.messages[1], (Message{BadIdentifierText, mtError, mbOK}));
    EXPECT_EQ(messages.messages[2], (Message{BadDataText, mtError, mbOK}));
}

TEST_F(MonitorLinkTest, TickConnectsSilentlyAndDrainsIntoTheSharedList)
{
    CMonitorLink monitor;
    monitor.Shown();
    EXPECT_FALSE(monitor.WasConnected);

    g_fake.connectCode = 3;
    g_fake.rx = {Delivered(0x10BFE043, {1, 2})};
    EXPECT_FALSE(monitor.Tick());
    EXPECT_EQ(pump.statuses, (std::vector<Status>{{"Соединяемся...", 1}}));
    EXPECT_EQ(g_fake.drains, 0);
    EXPECT_EQ(g_fake.disconnects, 0);

    pump.statuses.clear();
    g_fake.connectCode = 0;
    UsbCan.RxPackets.push_back(CanPacket()); // what another exchange left stays
    EXPECT_FALSE(monitor.Tick());
    EXPECT_EQ(pump.statuses, (std::vector<Status>{{"Соединяемся...", 1}, {"Соединение прошло успешно", 0}}));
    ASSERT_EQ(UsbCan.RxPackets.size(), 2u);
    EXPECT_EQ(UsbCan.RxPackets[1][0], 0x85);
    EXPECT_EQ(log.rows, (std::vector<Row>{{"12:34:56", "85FF0203", "0102000000000000", "  (Получен)"}}));

    // Connected now: no more connecting; a drain that stops at its limit says more is waiting.
    pump.statuses.clear();
    g_fake.rx.assign(CUsbCan::MaxFramesPerDrain + 1, Delivered(0x10BFE043));
    EXPECT_TRUE(monitor.Tick());
    EXPECT_FALSE(monitor.Tick());
    EXPECT_TRUE(pump.statuses.empty());
    EXPECT_EQ(g_fake.connects, 2);
    EXPECT_EQ(UsbCan.RxPackets.size(), 2u + CUsbCan::MaxFramesPerDrain + 1);
}

TEST_F(MonitorLinkTest, CloseDisconnectsOnlyWhatItFoundDisconnected)
{
    // Connected at showing: closing leaves it connected.
    UsbCan.Connected = true;
    {
        CMonitorLink monitor;
        monitor.Shown();
        monitor.Closed();
        EXPECT_TRUE(UsbCan.Connected);
        EXPECT_EQ(g_fake.disconnects, 0);
    }
    // Disconnected at showing and connected by someone else meanwhile: closing disconnects.
    UsbCan.Connected = false;
    CMonitorLink monitor;
    monitor.Shown();
    UsbCan.Connect();
    monitor.Closed();
    EXPECT_FALSE(UsbCan.Connected);
    EXPECT_EQ(g_fake.disconnects, 1);
}

TEST_F(MonitorLinkTest, CloseDuringAnExchangeDisconnectsWhenItEnds)
{
    CMonitorLink monitor;
    monitor.Shown();
    {
        ExchangeScope read;
        UsbCan.Connect();
        {
            ExchangeScope wait; // nested: the outer exchange is still running after it
            monitor.Closed();
            monitor.Closed(); // a second close asks nothing more
            EXPECT_TRUE(monitor.DisconnectPending());
        }
        EXPECT_TRUE(UsbCan.Connected);

        // Shown again meanwhile: the disconnect still follows, and the monitor counts it as done.
        monitor.Shown();
        EXPECT_FALSE(monitor.WasConnected);
        EXPECT_EQ(g_fake.disconnects, 0);
    }
    EXPECT_FALSE(UsbCan.Connected);
    EXPECT_EQ(g_fake.disconnects, 1);
    EXPECT_FALSE(monitor.DisconnectPending());

    // A monitor that goes away drops its waiting disconnect.
    UsbCan.Connect();
    BeginExchange();
    {
        CMonitorLink gone;
        gone.Shown();
        gone.WasConnected = false;
        gone.Closed();
    }
    EndExchange();
    EXPECT_TRUE(UsbCan.Connected);
}

TEST(ExchangeEndCallTest, RunsOnceWhenTheLastExchangeEnds)
{
    int runs = 0;
    EXPECT_EQ(CallWhenExchangesEnd([&] { ++runs; }), 0);
    EXPECT_EQ(runs, 1);

    BeginExchange();
    BeginExchange();
    const int first = CallWhenExchangesEnd([&] { ++runs; });
    const int dropped = CallWhenExchangesEnd([&] { runs += 100; });
    const int throwing = CallWhenExchangesEnd([] { throw std::runtime_error("dropped"); });
    EXPECT_NE(first, 0);
    EXPECT_NE(throwing, 0);
    CancelExchangesEndCall(dropped);
    CancelExchangesEndCall(12345);
    EndExchange();
    EXPECT_EQ(runs, 1);
    EndExchange();
    EXPECT_EQ(runs, 2);
    EndExchange(); // unbalanced: nothing more
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(ExchangeInProgress());
}

// ---- the placement ----

TEST(MonitorPlacementTest, ShowingPlacesTheMainWindowBesideTheMonitor)
{
    const QSize screen(1280, 1024);
    const struct {
        QRect monitor, main;
        bool maximised;
        QRect wantMonitor, wantMain;
    } cases[] = {
        // fits: the main window keeps its width and moves right of the monitor
        {{300, 200, 436, 601}, {50, 40, 790, 700}, false, {0, 0, 436, 700}, {436, 40, 790, 700}},
        // exactly fits: equal widths keep the width
        {{0, 0, 436, 601}, {0, 10, 844, 900}, false, {0, 0, 436, 900}, {436, 10, 844, 900}},
        // too wide: narrowed to the rest of the screen
        {{0, 0, 436, 601}, {0, 10, 845, 900}, false, {0, 0, 436, 900}, {436, 10, 844, 900}},
        // maximised: normal, at the top, 30 pixels short of the screen, narrowed
        {{0, 0, 436, 601}, {0, 0, 1280, 1000}, true, {0, 0, 436, 994}, {436, 0, 844, 994}},
    };
    for (const auto &c : cases) {
        const MonitorPlacement p = PlaceMonitorOnShow(c.monitor, c.main, c.maximised, screen);
        EXPECT_EQ(p.monitor, c.wantMonitor);
        EXPECT_EQ(p.main, c.wantMain);
        EXPECT_EQ(p.mainNormal, c.maximised);
    }
    EXPECT_EQ(MonitorBesideMain({0, 0, 400, 600}, {100, 20, 790, 600}), QPoint(0, 20));
    EXPECT_EQ(MonitorBesideMain({0, 0, 400, 600}, {400, 20, 790, 600}), QPoint(0, 20));
    EXPECT_EQ(MonitorBesideMain({0, 0, 400, 600}, {500, 20, 790, 600}), QPoint(100, 20));
}
