// The first archive layout: its bytes, tables and texts, the reading one record per tick against a
// fake device, and the window offscreen.
#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>

#include "app/message_dlg.h"
#include "editor/controls.h"
#include "service/archive_aspt.h"
#include "tests/service/archive_fixture.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_files.h"

namespace {

struct AsptEntry {
    uint16_t start;
    uint32_t seconds;
    uint16_t code, source;
    uint32_t number;
};

// A device of the first layout at wire address 1: the three parts of a record to every record
// request of its index, and the last-record answer.
class AsptDevice {
public:
    uint8_t wire = 1;
    int lastIndex = 2;
    std::map<int, AsptEntry> records;

    void Install()
    {
        g_archiveDevice = [this](uint32_t id, const std::vector<uint8_t> &d) {
            std::vector<CanPacket> out;
            if ((id >> 21) != 0xEE || ((id >> 13) & 0xFF) != 0xFF || ((id >> 5) & 0xFF) != wire)
                return out;
            if ((id & 0x1F) == 0)
                out.push_back(ArchiveRecord(0xFF, wire, 0x1E, {uint8_t(lastIndex >> 8), uint8_t(lastIndex)}));
            const int index = d[0] << 8 | d[1];
            if ((id & 0x1F) == 1 && records.count(index)) {
                const AsptEntry &e = records[index];
                const uint8_t hi = d[0], lo = d[1];
                out.push_back(ArchiveRecord(0xFF, 0x33, 0x1C, {hi, lo, uint8_t(e.start >> 8), uint8_t(e.start),
                                                               uint8_t(e.seconds >> 24), uint8_t(e.seconds >> 16),
                                                               uint8_t(e.seconds >> 8), uint8_t(e.seconds)}));
                out.push_back(ArchiveRecord(0xFF, 0x33, 0x1B, {hi, lo, uint8_t(e.code >> 8), uint8_t(e.code),
                                                               uint8_t(e.source >> 8), uint8_t(e.source)}));
                out.push_back(ArchiveRecord(0xFF, 0x33, 0x1A, {hi, lo, uint8_t(e.number >> 24), uint8_t(e.number >> 16),
                                                               uint8_t(e.number >> 8), uint8_t(e.number)}));
            }
            return out;
        };
    }
};

AsptDevice SampleDevice()
{
    AsptDevice device;
    device.records[0] = {3, 25 * 3600 + 61, 5, 0, 0xFFFFFFFEu};
    device.records[1] = {4, 59, 18, 7, 12};
    device.records[2] = {4, 3600, 41, 2, 13};
    return device;
}

} // namespace

TEST(AsptDecoding, RequestsAndTables)
{
    EXPECT_EQ(AsptLastRecordRequest(QStringLiteral("0B")), QStringLiteral("EEFF0B000000000000000000"));
    EXPECT_EQ(AsptRecordRequest(QStringLiteral("0B"), 0x07CF), QStringLiteral("EEFF0B0107CF000000000000"));
    EXPECT_EQ(ArchiveAddressHex(10), QStringLiteral("0A"));

    const struct {
        int code;
        const char *name;
    } names[] = {{0, "logger_event_DUMMY"}, {5, "logger_event_sl_BREAKAGE"}, {24, "logger_event_key_CASE_OPENED_PRESSED"},
                 {40, "logger_event_core_MANUAL_MODE"}, {41, "41"}, {65535, "65535"}};
    for (const auto &c : names)
        EXPECT_EQ(AsptEventName(c.code), QString::fromUtf8(c.name)) << c.code;

    const struct {
        int code, source;
        const char *text;
    } sources[] = {{0, 9, "logger_event_DUMMY"}, {1, 9, "ядро системы"}, {2, 0, "ядро системы"}, {3, 0, "ШС №1"},
                   {5, 0, "ШС №1"}, {16, 65535, "ШС №65536"}, {17, 3, "монитор питания"}, {23, 3, "монитор питания"},
                   {24, 3, "ядро системы"}, {25, 3, "ядро системы"}, {26, 1, "табло №2"}, {27, 4, "табло №5"},
                   {28, 0, "пуск. цепь №1"}, {30, 2, "пуск. цепь №3"}, {31, 2, "ядро системы"}, {40, 2, "ядро системы"},
                   {41, 2, "41"}, {65535, 0, "65535"}};
    for (const auto &c : sources)
        EXPECT_EQ(AsptEventSource(c.code, c.source), QString::fromUtf8(c.text)) << c.code << " " << c.source;

    const struct {
        uint32_t seconds;
        const char *text;
    } times[] = {{0, "00:00:00"}, {59, "00:00:59"}, {3600, "01:00:00"}, {25 * 3600 + 61, "25:01:01"},
                 {256 * 3600 + 5, "256:00:05"}, {0xFFFFFFFFu, "1193046:28:15"}};
    for (const auto &c : times)
        EXPECT_EQ(AsptElapsedText(c.seconds), QLatin1String(c.text)) << c.seconds;
}

TEST(AsptDecoding, AnswerBytesAreBigEndian)
{
    const CanPacket last = ArchiveRecord(0xFF, 1, 0x1E, {0x01, 0x02});
    EXPECT_EQ(AsptLastRecordText(last), QStringLiteral("259"));
    const CanPacket start = ArchiveRecord(0xFF, 1, 0x1C, {0, 0, 0x01, 0x00, 0x00, 0x01, 0x5F, 0xCD});
    EXPECT_EQ(AsptStartCountText(start), QStringLiteral("256"));
    EXPECT_EQ(AsptElapsedTextOf(start), QStringLiteral("25:01:01"));
    const CanPacket event = ArchiveRecord(0xFF, 1, 0x1B, {0, 0, 0x00, 0x1A, 0x01, 0x00});
    EXPECT_EQ(AsptEventNameOf(event), QStringLiteral("logger_event_tnf_TABS_BREAKAGE"));
    EXPECT_EQ(AsptEventSourceOf(event), QStringLiteral("табло №257"));
    const CanPacket number = ArchiveRecord(0xFF, 1, 0x1A, {0, 0, 0x80, 0x00, 0x00, 0x00});
    EXPECT_EQ(AsptEventNumberText(number), QStringLiteral("-2147483648"));
    EXPECT_EQ(AsptEventNumberText(ArchiveRecord(0xFF, 1, 0x1A, {0, 0, 0x00, 0x01, 0x00, 0x02})), QStringLiteral("65538"));
}

using AsptReaderTest = ArchiveTest;

TEST_F(AsptReaderTest, ReadsTheRangeRecordByRecord)
{
    AsptDevice device = SampleDevice();
    device.Install();
    CArchiveASPTReader reader(QStringLiteral("01"));
    reader.Prepare();
    reader.LogStart = 1;
    reader.LogEnd = 3;
    reader.Loading = true;
    reader.Start();
    for (int tick = 0; tick < 10 && reader.Loading; ++tick)
        EXPECT_TRUE(reader.Tick());
    EXPECT_FALSE(reader.Loading);
    EXPECT_EQ(reader.LogStart, 3); // the cursor ends on the end record
    EXPECT_EQ(reader.TotalLog, QStringLiteral("3"));

    const AsptRow expected[] = {
        {"1", "-2", "3", "25:01:01", "logger_event_sl_BREAKAGE", "ШС №1"},
        {"2", "12", "4", "00:00:59", "logger_event_pw_MAIN_FAILURE", "монитор питания"},
        {"3", "13", "4", "01:00:00", "41", "41"},
        {"4", "", "", "", "", ""},
    };
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(reader.Grid.rows[r + 1], expected[r]) << r + 1;

    // The last-record number once, then the same request for each of the three groups.
    const QStringList sent = SentTexts();
    ASSERT_EQ(sent.size(), 10);
    EXPECT_EQ(sent[0], QStringLiteral("EEFF0100") + QStringLiteral("0000000000000000"));
    for (int k = 0; k < 3; ++k)
        for (int g = 0; g < 3; ++g)
            EXPECT_EQ(sent[1 + 3 * k + g], QStringLiteral("EEFF0101000") + QString::number(k) + QStringLiteral("000000000000")) << k << g;
    EXPECT_EQ(UsbCan.RxPackets.size(), 28u); // never cleared: three parts to every record request
}

TEST_F(AsptReaderTest, StartEqualToEndReadsOneRecordAndAgainOnTheNextPress)
{
    AsptDevice device = SampleDevice();
    device.Install();
    CArchiveASPTReader reader(QStringLiteral("01"));
    reader.Prepare();
    reader.LogStart = reader.LogEnd = 2;
    reader.Loading = true;
    reader.Start();
    EXPECT_TRUE(reader.Tick());
    EXPECT_FALSE(reader.Loading);
    EXPECT_EQ(reader.LogStart, 2);
    EXPECT_EQ(reader.Grid.rows[2][1], QStringLiteral("12"));

    // A second press empties only the current row and reads it again, last number included.
    reader.Grid.rows[1][1] = QStringLiteral("kept");
    g_fake.sent.clear();
    device.records[1].number = 99;
    reader.Loading = true;
    reader.Start();
    EXPECT_TRUE(reader.TotalLog.isEmpty());
    EXPECT_TRUE(reader.Grid.rows[2][1].isEmpty());
    EXPECT_EQ(reader.Grid.rows[1][1], QStringLiteral("kept"));
    UsbCan.RxPackets.clear();
    EXPECT_TRUE(reader.Tick());
    EXPECT_EQ(reader.Grid.rows[2][1], QStringLiteral("99"));
    EXPECT_EQ(g_fake.sent.size(), 4u);
}

TEST_F(AsptReaderTest, ASilentDeviceKeepsTheReaderOnItsRecord)
{
    CArchiveASPTReader reader(QStringLiteral("01"));
    reader.Prepare();
    reader.LogStart = 5;
    reader.LogEnd = 6;
    reader.Loading = true;
    reader.Start();
    for (int tick = 0; tick < 2; ++tick)
        EXPECT_FALSE(reader.Tick());
    EXPECT_TRUE(reader.Loading);
    EXPECT_EQ(reader.LogStart, 5);
    EXPECT_TRUE(reader.TotalLog.isEmpty());
    const QStringList sent = SentTexts();
    ASSERT_EQ(sent.size(), 8); // the last number and the three groups at every tick
    EXPECT_TRUE(sent[4].startsWith(QStringLiteral("EEFF0100")));

    // Only the groups still empty are asked for once the device speaks (the start count alone here).
    g_fake.sent.clear();
    g_archiveDevice = [](uint32_t id, const std::vector<uint8_t> &d) {
        std::vector<CanPacket> out;
        if ((id & 0x1F) == 0)
            out.push_back(ArchiveRecord(0xFF, 1, 0x1E, {0, 9}));
        else
            out.push_back(ArchiveRecord(0xFF, 1, 0x1C, {d[0], d[1], 0, 1, 0, 0, 0, 1}));
        return out;
    };
    EXPECT_FALSE(reader.Tick());
    EXPECT_EQ(reader.TotalLog, QStringLiteral("10"));
    EXPECT_EQ(reader.Grid.rows[5][2], QStringLiteral("1"));
    g_fake.sent.clear();
    EXPECT_FALSE(reader.Tick());
    EXPECT_EQ(SentTexts().size(), 2); // groups 4 and 1 only
}

TEST_F(AsptReaderTest, RefusedSendsWalkTheRangeLeavingItEmpty)
{
    AsptDevice device = SampleDevice();
    device.Install();
    g_fake.txCodes.assign(100, 7);
    CArchiveASPTReader reader(QStringLiteral("01"));
    reader.Prepare();
    reader.LogStart = 1;
    reader.LogEnd = 3;
    reader.Loading = true;
    reader.Start();
    int ticks = 0;
    while (reader.Loading && ticks < 10) {
        EXPECT_TRUE(reader.Tick());
        ++ticks;
    }
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(pump.passes, 0); // nothing awaited
    for (int r = 1; r <= 3; ++r)
        EXPECT_TRUE(reader.Grid.rows[r][1].isEmpty());
}

TEST_F(AsptReaderTest, StartAboveEndAsksOnlyForTheLastNumber)
{
    AsptDevice device = SampleDevice();
    device.Install();
    CArchiveASPTReader reader(QStringLiteral("01"));
    reader.Prepare();
    reader.Grid.rows[4][1] = QStringLiteral("old");
    reader.LogStart = 5;
    reader.LogEnd = 3;
    reader.Loading = true;
    reader.Start();
    EXPECT_EQ(reader.Grid.rows[4][1], QStringLiteral("old"));
    EXPECT_TRUE(reader.Tick());
    EXPECT_TRUE(reader.Tick());
    EXPECT_TRUE(reader.Loading);
    EXPECT_EQ(reader.LogStart, 5);
    EXPECT_EQ(SentTexts(), QStringList{QStringLiteral("EEFF01000000000000000000")});
}

TEST_F(AsptReaderTest, TheLastNumberMustComeFromTheDevice)
{
    // A last-record answer of another address is not taken; record parts of any address are.
    UsbCan.RxPackets = {ArchiveRecord(0xFF, 0x05, 0x1E, {0, 7}), ArchiveRecord(0xFF, 0x05, 0x1C, {0, 0, 0, 2}),
                        ArchiveRecord(0xFF, 0x05, 0x1B, {0, 1, 0, 1}), ArchiveRecord(0xFF, 0x05, 0x1B, {0, 0, 0, 2}),
                        ArchiveRecord(0xFF, 0x05, 0x1A, {0, 0, 0, 0, 0, 3})};
    CArchiveASPTReader reader(QStringLiteral("01"));
    reader.Prepare();
    reader.LogStart = reader.LogEnd = 1;
    reader.Loading = true;
    reader.Start();
    EXPECT_FALSE(reader.Tick());
    EXPECT_TRUE(reader.TotalLog.isEmpty());
    EXPECT_EQ(reader.Grid.rows[1], (AsptRow{"1", "3", "2", "00:00:00", "logger_event_SYSTEM_SHUTDOWN", "ядро системы"}));
    EXPECT_TRUE(reader.Loading); // the failed tick keeps the record
}

TEST(AsptFile, LinesAndBytes)
{
    CArchiveASPTReader reader;
    reader.Prepare();
    QStringList lines = AsptArchiveLines(reader.TotalLog, reader.Grid);
    ASSERT_EQ(lines.size(), 2002);
    EXPECT_EQ(lines[0], QStringLiteral("Последняя запись № - "));
    EXPECT_EQ(lines[1], QStringLiteral("№ записи  |  № события  |  № запуска прибора  |  время со старта  |  событие  |  "
                                       "источник  |  "));
    EXPECT_EQ(lines[2], QStringLiteral("1  |    |    |    |    |    |  "));
    EXPECT_EQ(lines[2001], QStringLiteral("2000  |    |    |    |    |    |  "));

    reader.TotalLog = QStringLiteral("3");
    reader.Grid.rows[1] = {"1", "-2", "3", "25:01:01", "logger_event_sl_BREAKAGE", "ШС №1"};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    SaveArchiveToFile(reader.TotalLog, reader.Grid, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QStringEncoder cp1251("windows-1251");
    const QByteArray head = cp1251.encode(QStringLiteral("Последняя запись № - 3\r\n"));
    EXPECT_TRUE(bytes.startsWith(head));
    EXPECT_EQ(uint8_t(head[17]), 0xB9); // "№"
    EXPECT_TRUE(bytes.contains(QByteArray("\r\n1  |  -2  |  3  |  25:01:01  |  logger_event_sl_BREAKAGE  |  \xD8\xD1 \xB9"
                                          "1  |  \r\n2  |")));
    EXPECT_TRUE(bytes.endsWith("2000  |    |    |    |    |    |  \r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 2002);
    EXPECT_EQ(bytes.count('\n'), 2002);
}

namespace {

class AsptFormTest : public ArchiveTest {
protected:
    void SetUp() override
    {
        ArchiveTest::SetUp();
        SetMessageDlgHook([this](const QString &text, int kind, MsgButtons) {
            messages << text;
            kinds << kind;
            return answer;
        });
        form = new TArchiveASPTForm(nullptr, std::make_unique<ManualTimerBackend>(&timerRunning));
        form->AddressHex = QStringLiteral("01");
        form->SetSaveDialog([this](QWidget *, const QString &preset) {
            presets << preset;
            return chosen;
        });
        form->show();
    }
    void TearDown() override
    {
        delete form;
        SetMessageDlgHook(nullptr);
        ArchiveTest::TearDown();
    }

    TArchiveASPTForm *form = nullptr;
    bool timerRunning = false;
    QStringList messages, presets;
    QList<int> kinds;
    int answer = mrYes;
    std::optional<QString> chosen;
};

} // namespace

TEST_F(AsptFormTest, ShowsTheGridOfTheDevice)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Протокол событий АСПТ-2"));
    EXPECT_TRUE(form->Edit_TotalLog->text().isEmpty());
    EXPECT_FALSE(form->Edit_TotalLog->isEnabled());
    auto *model = form->StringGrid1->model();
    EXPECT_EQ(model->rowCount(), 2000);
    EXPECT_EQ(model->columnCount(), 6);
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("время со старта"));
    EXPECT_EQ(model->data(model->index(1999, 0)).toString(), QStringLiteral("2000"));
    EXPECT_EQ(form->StringGrid1->columnWidth(4), 299);
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Диапазон считывания архива (1-2000 записей)"));
    EXPECT_EQ(form->CSpinEdit_LogStart->Value(), 1);
    EXPECT_EQ(form->CSpinEdit_LogEnd->Value(), 2000);
    EXPECT_EQ(form->CSpinEdit_Pause->Value(), 10);
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_EQ(form->Timer1.Interval(), 10);
}

TEST_F(AsptFormTest, ReadsOnTimerTicksAndPopsUpAtTheEnd)
{
    AsptDevice device = SampleDevice();
    device.Install();
    form->CSpinEdit_LogEnd->SetValue(2);
    form->CSpinEdit_Pause->SetValue(25);
    form->SpeedButton_Load->click();
    EXPECT_TRUE(form->SpeedButton_Load->isChecked());
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_TRUE(timerRunning);

    form->Timer1.Tick();
    EXPECT_EQ(form->Timer1.Interval(), 25);
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_EQ(form->Edit_TotalLog->text(), QStringLiteral("3"));
    EXPECT_EQ(form->CSpinEdit_LogStart->Value(), 2);
    EXPECT_EQ(form->StringGrid1->currentIndex().row(), 1); // record 2 in view
    form->Timer1.Tick();
    EXPECT_FALSE(form->SpeedButton_Load->isChecked());
    EXPECT_FALSE(form->Timer1.Enabled());
    auto *model = form->StringGrid1->model();
    EXPECT_EQ(model->data(model->index(1, 5)).toString(), QStringLiteral("монитор питания"));
}

TEST_F(AsptFormTest, ReleasingOrClosingStopsTheReading)
{
    form->SpeedButton_Load->click();
    form->SpeedButton_Load->click(); // released: the next tick does not re-arm
    form->Timer1.Tick();
    EXPECT_FALSE(form->Timer1.Enabled());

    // Closed while a tick waits for its answer: the timer stays off.
    form->SpeedButton_Load->click();
    pump.onEvents = [this](int) {
        if (form->isVisible())
            form->btnClose->click();
    };
    form->Timer1.Tick();
    pump.onEvents = nullptr;
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_FALSE(form->SpeedButton_Load->isChecked());
}

TEST_F(AsptFormTest, SavesUnderTheChosenNameWithTxt)
{
    QTemporaryDir dir;
    form->SpeedButton_Load->click();
    chosen = dir.filePath(QStringLiteral("archive.dat"));
    form->sbSaveAddrMod->click();
    EXPECT_FALSE(form->SpeedButton_Load->isChecked()); // one group: the reading stops
    EXPECT_FALSE(form->sbSaveAddrMod->isChecked());
    EXPECT_EQ(presets, QStringList{QStringLiteral("Протокол событий АСПТ-2")});
    QFile file(dir.filePath(QStringLiteral("archive.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 2002);
    file.close();
    EXPECT_TRUE(messages.isEmpty());

    // An existing file is kept on No; a blank name is refused.
    answer = mrNo;
    chosen = dir.filePath(QStringLiteral("archive"));
    QFile::resize(dir.filePath(QStringLiteral("archive.txt")), 5);
    form->sbSaveAddrMod->click();
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("archive.txt"))).size(), 5);
    EXPECT_EQ(messages.last(), QStringLiteral("Заменить файл '%1'").arg(dir.filePath(QStringLiteral("archive.txt"))));
    chosen = QStringLiteral("   ");
    form->sbSaveAddrMod->click();
    EXPECT_EQ(messages.last(), QStringLiteral("Имя файла не указано"));
    EXPECT_EQ(kinds.last(), int(mtInformation));
    EXPECT_FALSE(form->sbSaveAddrMod->isChecked());
}

TEST_F(AsptFormTest, SaveRefusesAFileNameOfBlanks)
{
    QTemporaryDir dir;
    for (const QString &blank : BlankFileNames(dir)) {
        SCOPED_TRACE(blank.toStdString());
        messages.clear();
        chosen = blank;
        form->sbSaveAddrMod->click();
        EXPECT_EQ(messages, QStringList{"Имя файла не указано"});
        EXPECT_EQ(kinds.last(), int(mtInformation));
        EXPECT_EQ(FolderEntries(dir.path()), QStringList());
    }
}

// The disk takes 4,096 bytes of the archive: the old file stays whole and the engineer is told.
TEST_F(AsptFormTest, SaveOnAFullDiskKeepsTheOldFileAndShowsWhy)
{
    QTemporaryDir dir;
    chosen = dir.filePath("archive.txt");
    ExpectFullDiskSaveKeepsTheOldFile(*chosen, "old archive\r\n", 4096, [&] { form->sbSaveAddrMod->click(); }, messages);
    EXPECT_EQ(kinds.last(), int(mtError));
    EXPECT_FALSE(form->sbSaveAddrMod->isChecked());
}
