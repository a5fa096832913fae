// The second archive layout: little-endian indexes, the answer kind in the section byte, zone and
// node in the sub-code field; its tables, the reading from index 0, the aligned export, the window.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>

#include "app/message_dlg.h"
#include "editor/controls.h"
#include "service/archive_aspt_a.h"
#include "tests/service/archive_fixture.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_files.h"

namespace {

struct AsptAEntry {
    uint8_t sub, code, kind;
    uint16_t room;
    std::array<uint8_t, 6> when;
};

// A device of the second layout at wire address 2.
class AsptADevice {
public:
    uint8_t wire = 2;
    int lastIndex = 0x0102;
    std::map<int, AsptAEntry> records;

    void Install()
    {
        g_archiveDevice = [this](uint32_t id, const std::vector<uint8_t> &d) {
            std::vector<CanPacket> out;
            if ((id >> 21) != 0xEE || ((id >> 13) & 0xFF) != 0xFF || ((id >> 5) & 0xFF) != wire)
                return out;
            if ((id & 0x1F) == 0)
                out.push_back(ArchiveRecord(0x1E, wire, 0x07, {uint8_t(lastIndex), uint8_t(lastIndex >> 8)}));
            const int index = d[0] | d[1] << 8;
            if ((id & 0x1F) == 1 && records.count(index)) {
                const AsptAEntry &e = records[index];
                out.push_back(ArchiveRecord(0x1A, wire, e.sub, {d[0], d[1], 0, 0, e.code, e.kind, uint8_t(e.room),
                                                                uint8_t(e.room >> 8)}));
                const auto &w = e.when;
                out.push_back(ArchiveRecord(0x1B, wire, 0, {d[0], d[1], w[0], w[1], w[2], w[3], w[4], w[5]}));
            }
            return out;
        };
    }
};

AsptADevice SampleDevice()
{
    AsptADevice device;
    device.records[0] = {0, 0, 0, 0, {1, 2, 23, 9, 5, 0}};
    device.records[1] = {31, 0x19, 1, 0xFFFF, {31, 12, 99, 23, 59, 59}};
    device.records[2] = {12, 34, 0, 7, {0, 0, 0, 0, 0, 0}};
    return device;
}

} // namespace

TEST(AsptADecoding, RequestsAndSources)
{
    EXPECT_EQ(AsptALastRecordRequest(QStringLiteral("02")), QStringLiteral("EEFF02000000000000000000"));
    EXPECT_EQ(AsptARecordRequest(QStringLiteral("02"), 0x0203), QStringLiteral("EEFF02010302000000000000"));
    EXPECT_EQ(AsptASourceName(0), QStringLiteral("Плата"));
    EXPECT_EQ(AsptASourceName(1), QStringLiteral("Вход "));
    EXPECT_EQ(AsptASourceName(2), QStringLiteral("Выход"));
    EXPECT_EQ(AsptASourceName(3), QStringLiteral("Не определено"));
    EXPECT_EQ(AsptASourceName(255), QStringLiteral("Не определено"));
}

TEST(AsptADecoding, EventNames)
{
    const struct {
        int kind, code, zone;
        const char *text;
    } cases[] = {
        {0, 0, 0, "Старт прибора"}, {0, 0, 1, "Автоматика откл."}, {0, 1, 0, "Автоматика вкл."},
        {0, 4, 0, "Эвакуация3"}, {0, 7, 0, "Неудачный запуск"}, {0, 8, 0, "8"}, {0, 33, 2, "Автоматика вкл."},
        {0, 34, 2, "Автоматика откл."}, {0, 65, 0, "Авария питания"}, {0, 69, 0, "Восстановление корпуса"},
        {0, 73, 0, "Пуск"}, {0, 74, 0, "Тушение"}, {0, 77, 0, "Неисправность адресной линии"},
        {0, 79, 0, "Аварийный пуск"}, {0, 255, 0, "255"},
        {1, 0x00, 0, "Не определено"}, {2, 0xF0, 0, "Не определено"}, {1, 0x01, 0, "Пожар"},
        {2, 0x28, 0, "Нарушение технологического ШС"}, {1, 0x19, 0, "Неисправность(Отказ)"},
        {1, 0x09, 0, "Неисправность"}, {2, 0x79, 0, "Неисправность(К.З.)"},
        {1, 0xA9, 0, "Неисправность(Неудачный запуск)"}, {1, 0xB9, 0, "Неисправность"}, {1, 0xF9, 0, "Неисправность"},
        {1, 0x1A, 0, "Невзятие"}, {2, 0x0F, 0, "Доступ закрыт"}, {3, 0x01, 0, "Не определено"},
        {255, 0x19, 0, "Не определено"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AsptAEventName(c.kind, c.code, c.zone), QString::fromUtf8(c.text)) << c.kind << " " << c.code;
}

TEST(AsptADecoding, AnswerCells)
{
    using Cells = std::array<QString, 6>;
    // Board start: no zone and node; a sub-code field of 10 or more reads "Автоматика откл.".
    EXPECT_EQ(AsptAEventCells(ArchiveRecord(0x1A, 2, 0, {4, 1, 0, 0, 0, 0, 5, 0})),
              (Cells{"261", "Старт прибора", "", "", "Плата", ""}));
    EXPECT_EQ(AsptAEventCells(ArchiveRecord(0x1A, 2, 10, {0, 0, 0, 0, 0, 0})),
              (Cells{"1", "Автоматика откл.", "", "", "Плата", ""}));
    EXPECT_EQ(AsptAEventCells(ArchiveRecord(0x1A, 2, 31, {0, 0, 0, 0, 33, 0})),
              (Cells{"1", "Автоматика вкл.", "4", "2", "Плата", ""}));
    // Inputs show the room, wrapping at 16 bits; outputs do not.
    EXPECT_EQ(AsptAEventCells(ArchiveRecord(0x1A, 2, 31, {0, 0, 0, 0, 0x19, 1, 0xFF, 0xFF})),
              (Cells{"1", "Неисправность(Отказ)", "4", "2", "Вход ", "0"}));
    EXPECT_EQ(AsptAEventCells(ArchiveRecord(0x1A, 2, 5, {0, 0, 0, 0, 0x01, 1, 0x01, 0x02})),
              (Cells{"1", "Пожар", "1", "6", "Вход ", "514"}));
    EXPECT_EQ(AsptAEventCells(ArchiveRecord(0x1A, 2, 0, {0, 0, 0, 0, 0x02, 2, 0x01, 0x02})),
              (Cells{"1", "Тревога", "1", "1", "Выход", ""}));
    EXPECT_EQ(AsptATimeCells(ArchiveRecord(0x1B, 2, 0, {0, 0, 1, 2, 23, 7, 5, 0})),
              (std::array<QString, 2>{"01.02.23", "07:05:00"}));
    EXPECT_EQ(AsptATimeCells(ArchiveRecord(0x1B, 2, 0, {0, 0, 255, 100, 0, 99, 128, 9})),
              (std::array<QString, 2>{"255.100.00", "99:128:09"}));
    EXPECT_EQ(AsptALastRecordText(ArchiveRecord(0x1E, 2, 0, {0x02, 0x01})), QStringLiteral("259"));
}

using AsptAReaderTest = ArchiveTest;

TEST_F(AsptAReaderTest, ReadsTheFirstNRecordsFromIndexZero)
{
    AsptADevice device = SampleDevice();
    device.Install();
    CArchiveASPT_AReader reader(QStringLiteral("02"));
    reader.Prepare();
    reader.LogCount = 3;
    reader.Loading = true;
    reader.Start();
    int ticks = 0;
    for (; ticks < 10 && reader.Loading; ++ticks)
        EXPECT_TRUE(reader.Tick());
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(reader.RecordCounter, 3);
    EXPECT_EQ(reader.SelectedRow, 3);
    EXPECT_EQ(reader.TotalLog, QStringLiteral("259"));
    const AsptARow expected[] = {
        {"1", "Старт прибора", "", "", "Плата", "", "01.02.23", "09:05:00"},
        {"2", "Неисправность(Отказ)", "4", "2", "Вход ", "0", "31.12.99", "23:59:59"},
        {"3", "Автоматика откл.", "2", "3", "Плата", "", "00.00.00", "00:00:00"},
        {"4", "", "", "", "", "", "", ""},
    };
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(reader.Grid.rows[r + 1], expected[r]) << r + 1;
    const QStringList sent = SentTexts();
    ASSERT_EQ(sent.size(), 7);
    EXPECT_EQ(sent[0], QStringLiteral("EEFF02000000000000000000"));
    EXPECT_EQ(sent[1], QStringLiteral("EEFF02010000000000000000"));
    EXPECT_EQ(sent[2], QStringLiteral("EEFF02010000000000000000"));
    EXPECT_EQ(sent[5], QStringLiteral("EEFF02010200000000000000"));
}

TEST_F(AsptAReaderTest, OneRecordWhenNIsOne)
{
    AsptADevice device = SampleDevice();
    device.Install();
    CArchiveASPT_AReader reader(QStringLiteral("02"));
    reader.Prepare();
    reader.LogCount = 1;
    reader.Loading = true;
    reader.Start();
    EXPECT_TRUE(reader.Tick());
    EXPECT_FALSE(reader.Loading);
    EXPECT_EQ(reader.Grid.rows[1][1], QStringLiteral("Старт прибора"));
}

TEST_F(AsptAReaderTest, UntilTheLastNumberComesEveryTickStartsAtIndexZero)
{
    AsptADevice device = SampleDevice();
    device.Install();
    bool lastAnswers = false;
    auto full = g_archiveDevice;
    g_archiveDevice = [&](uint32_t id, const std::vector<uint8_t> &d) {
        if ((id & 0x1F) == 0 && !lastAnswers)
            return std::vector<CanPacket>{};
        return full(id, d);
    };
    CArchiveASPT_AReader reader(QStringLiteral("02"));
    reader.Prepare();
    reader.LogCount = 5;
    reader.Loading = true;
    reader.Start();
    EXPECT_FALSE(reader.Tick());
    EXPECT_EQ(reader.RecordCounter, 0);
    EXPECT_EQ(reader.SelectedRow, 0);
    EXPECT_EQ(reader.Grid.rows[1][1], QStringLiteral("Старт прибора")); // read anyway, kept
    g_fake.sent.clear();
    EXPECT_FALSE(reader.Tick());
    EXPECT_EQ(SentTexts(), QStringList{QStringLiteral("EEFF02000000000000000000")}); // row 1 already full
    lastAnswers = true;
    EXPECT_TRUE(reader.Tick());
    EXPECT_EQ(reader.RecordCounter, 1);
    EXPECT_TRUE(reader.Tick());
    EXPECT_EQ(reader.Grid.rows[2][1], QStringLiteral("Неисправность(Отказ)"));
}

TEST_F(AsptAReaderTest, AnswersOfAnotherDeviceOrIndexAreNotTaken)
{
    UsbCan.RxPackets = {ArchiveRecord(0x1E, 5, 0, {1, 0}), ArchiveRecord(0x1A, 5, 0, {0, 0, 0, 0, 1, 1}),
                        ArchiveRecord(0x1A, 2, 0, {1, 0, 0, 0, 1, 1}), ArchiveRecord(0x1B, 2, 0, {0, 1, 1, 1, 1})};
    CArchiveASPT_AReader reader(QStringLiteral("02"));
    reader.Prepare();
    reader.LogCount = 2;
    reader.Loading = true;
    reader.Start();
    EXPECT_FALSE(reader.Tick());
    EXPECT_TRUE(reader.TotalLog.isEmpty());
    EXPECT_TRUE(reader.Grid.rows[1][1].isEmpty());
    EXPECT_TRUE(reader.Grid.rows[1][6].isEmpty());
}

TEST(AsptAFile, ColumnsAreAligned)
{
    CArchiveASPT_AReader reader;
    reader.Prepare();
    reader.Grid.rows[1] = {"1", "Неисправность(Отказ)", "4", "2", "Вход ", "0", "01.02.23", "09:05:00"};
    const QStringList lines = AsptAArchiveLines(reader.Grid);
    ASSERT_EQ(lines.size(), 1025);
    EXPECT_EQ(lines[0], QStringLiteral("№ записи  |  событие               |  № зоны  |  № узла  |  источник  |  "
                                       "№ помещения  |  дата      |  время     |  "));
    EXPECT_EQ(lines[1], QStringLiteral("1         |  Неисправность(Отказ)  |  4       |  2       |  Вход      |  "
                                       "0            |  01.02.23  |  09:05:00  |  "));
    EXPECT_EQ(lines[1024], QStringLiteral("1024      |                        |          |          |            |  "
                                          "             |            |            |  "));
    for (const QString &line : lines)
        EXPECT_EQ(line.size(), lines[0].size());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("b.txt"));
    SaveArchiveToFile(reader.Grid, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QStringEncoder cp1251("windows-1251");
    const QByteArray head = cp1251.encode(lines[0] + QStringLiteral("\r\n") + lines[1] + QStringLiteral("\r\n"));
    EXPECT_TRUE(bytes.startsWith(head));
    EXPECT_EQ(bytes.count("\r\n"), 1025);
    EXPECT_TRUE(bytes.endsWith("|  \r\n"));
}

namespace {

class AsptAFormTest : public ArchiveTest {
protected:
    void SetUp() override
    {
        ArchiveTest::SetUp();
        SetMessageDlgHook([this](const QString &text, int, MsgButtons) {
            messages << text;
            return int(mrYes);
        });
        form = new TArchiveASPT_AForm(nullptr, std::make_unique<ManualTimerBackend>(&timerRunning));
        form->AddressHex = QStringLiteral("02");
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

    TArchiveASPT_AForm *form = nullptr;
    bool timerRunning = false;
    QStringList messages, presets;
    std::optional<QString> chosen;
};

} // namespace

TEST_F(AsptAFormTest, ReadsAndSaves)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Протокол событий АСПТ-А-3"));
    EXPECT_FALSE(form->GroupBox2->isVisible());
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Вывести последние события"));
    EXPECT_EQ(form->CSpinEdit_LogCount->Value(), 100);
    EXPECT_EQ(form->StringGrid1->model()->rowCount(), 1024);
    EXPECT_EQ(form->StringGrid1->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("№ помещения"));

    AsptADevice device = SampleDevice();
    device.Install();
    form->CSpinEdit_LogCount->SetValue(2);
    form->SpeedButton_Load->click();
    EXPECT_TRUE(form->Timer1.Enabled());
    form->Timer1.Tick();
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_EQ(form->StringGrid1->currentIndex().row(), 0);
    form->Timer1.Tick();
    EXPECT_FALSE(form->SpeedButton_Load->isChecked());
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_EQ(form->StringGrid1->currentIndex().row(), 1);
    auto *model = form->StringGrid1->model();
    EXPECT_EQ(model->data(model->index(1, 7)).toString(), QStringLiteral("23:59:59"));

    QTemporaryDir dir;
    chosen = dir.filePath(QStringLiteral("events"));
    form->sbSaveAddrMod->click();
    EXPECT_EQ(presets, QStringList{QStringLiteral("Протокол событий АСПТ-А-3")});
    EXPECT_FALSE(form->sbSaveAddrMod->isChecked());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("events.txt"))));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AsptAFormTest, SaveRefusesAFileNameOfBlanks)
{
    QTemporaryDir dir;
    for (const QString &blank : BlankFileNames(dir)) {
        SCOPED_TRACE(blank.toStdString());
        messages.clear();
        chosen = blank;
        form->sbSaveAddrMod->click();
        EXPECT_EQ(messages, QStringList{"Имя файла не указано"});
        EXPECT_EQ(FolderEntries(dir.path()), QStringList());
    }
}

// The disk takes 4,096 bytes of the archive: the old file stays whole and the engineer is told.
TEST_F(AsptAFormTest, SaveOnAFullDiskKeepsTheOldFileAndShowsWhy)
{
    QTemporaryDir dir;
    chosen = dir.filePath("archive.txt");
    ExpectFullDiskSaveKeepsTheOldFile(*chosen, "old archive\r\n", 4096, [&] { form->sbSaveAddrMod->click(); }, messages);
    EXPECT_FALSE(form->sbSaveAddrMod->isChecked());
}
