#include "service/archive_aspt_a.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

#include "editor/controls.h"
#include "link/text_file_save.h"

namespace {

const char *const kHeaders[kAsptAColumns] = {"№ записи", "событие", "№ зоны", "№ узла",
                                             "источник", "№ помещения", "дата", "время"};
constexpr int kWidths[kAsptAColumns] = {64, 94, 49, 51, 161, 79, 58, 57};

const QString kUndefined = QStringLiteral("Не определено");

QString BoardEventName(int code, int zoneIndex)
{
    switch (code) {
    case 0: return zoneIndex == 0 ? QStringLiteral("Старт прибора") : QStringLiteral("Автоматика откл.");
    case 1: return QStringLiteral("Автоматика вкл.");
    case 2: return QStringLiteral("Эвакуация1");
    case 3: return QStringLiteral("Эвакуация2");
    case 4: return QStringLiteral("Эвакуация3");
    case 5: return QStringLiteral("Пуск");
    case 6: return QStringLiteral("Тушение");
    case 7: return QStringLiteral("Неудачный запуск");
    case 33: return QStringLiteral("Автоматика вкл.");
    case 34: return QStringLiteral("Автоматика откл.");
    case 65: return QStringLiteral("Авария питания");
    case 66: return QStringLiteral("Переход на резерв");
    case 67: return QStringLiteral("Восстановление питания");
    case 68: return QStringLiteral("Корпус вскрыт");
    case 69: return QStringLiteral("Восстановление корпуса");
    case 73: return QStringLiteral("Пуск");
    case 74: return QStringLiteral("Тушение");
    case 77: return QStringLiteral("Неисправность адресной линии");
    case 78: return QStringLiteral("Неудачный запуск");
    case 79: return QStringLiteral("Аварийный пуск");
    default: return QString::number(code);
    }
}

QString FaultName(int high)
{
    switch (high) {
    case 1: return QStringLiteral("Неисправность(Отказ)");
    case 2: return QStringLiteral("Неисправность(Изъят)");
    case 3: return QStringLiteral("Неисправность(Двойной адрес)");
    case 4: return QStringLiteral("Неисправность(Пыль)");
    case 5: return QStringLiteral("Неисправность(Замерз)");
    case 6: return QStringLiteral("Неисправность(РонВел)");
    case 7: return QStringLiteral("Неисправность(К.З.)");
    case 8: return QStringLiteral("Неисправность(Обрыв)");
    case 9: return QStringLiteral("Неисправность(Не определена)");
    case 10: return QStringLiteral("Неисправность(Неудачный запуск)");
    default: return QStringLiteral("Неисправность");
    }
}

QString LineEventName(int code)
{
    switch (code & 0x0F) {
    case 1: return QStringLiteral("Пожар");
    case 2: return QStringLiteral("Тревога");
    case 3: return QStringLiteral("Тихая тревога");
    case 4: return QStringLiteral("Внимание");
    case 5: return QStringLiteral("Тревога входной зоны");
    case 6: return QStringLiteral("Тревога доступа");
    case 7: return QStringLiteral("Удержание двери");
    case 8: return QStringLiteral("Нарушение технологического ШС");
    case 9: return FaultName((code >> 4) & 0x0F);
    case 10: return QStringLiteral("Невзятие");
    case 11: return QStringLiteral("Подключен");
    case 12: return QStringLiteral("Отключен");
    case 13: return QStringLiteral("Дежурный режим");
    case 14: return QStringLiteral("Доступ открыт");
    case 15: return QStringLiteral("Доступ закрыт");
    default: return kUndefined;
    }
}

QString Two(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString AsptASourceName(int kind)
{
    switch (kind) {
    case 0: return QStringLiteral("Плата");
    case 1: return QStringLiteral("Вход ");
    case 2: return QStringLiteral("Выход");
    default: return kUndefined;
    }
}

QString AsptAEventName(int kind, int code, int zoneIndex)
{
    if (kind == 0)
        return BoardEventName(code, zoneIndex);
    if (kind == 1 || kind == 2)
        return LineEventName(code);
    return kUndefined;
}

QString AsptARecordRequest(const QString &addressHex, uint16_t index)
{
    return QStringLiteral("EEFF") + addressHex + QStringLiteral("01") + ArchiveHex2(index) + ArchiveHex2(index >> 8) +
           QStringLiteral("000000000000");
}

QString AsptALastRecordRequest(const QString &addressHex)
{
    return QStringLiteral("EEFF") + addressHex + QStringLiteral("000000000000000000");
}

PacketPattern AsptALastRecordPattern(uint8_t wireAddress)
{
    PacketPattern p;
    p.fill(-1);
    p[0] = kArchiveCommand;
    p[1] = kAsptALastAnswer;
    p[2] = wireAddress;
    return p;
}

PacketPattern AsptARecordPattern(uint8_t section, uint8_t wireAddress, uint16_t index)
{
    PacketPattern p;
    p.fill(-1);
    p[0] = kArchiveCommand;
    p[1] = section;
    p[2] = wireAddress;
    p[4] = index & 0xFF;
    p[5] = index >> 8;
    return p;
}

std::array<QString, 6> AsptAEventCells(const CanPacket &answer)
{
    const int sub = answer.bytes[3] & 0x1F;
    const int zone = sub / 10, node = sub % 10;
    const int code = ArchiveByte(answer, 4), kind = ArchiveByte(answer, 5);
    std::array<QString, 6> cells;
    cells[0] = QString::number(ArchiveWordLE(answer, 0) + 1);
    cells[1] = AsptAEventName(kind, code, zone);
    if (kind != 0 || code == 33 || code == 34) {
        cells[2] = QString::number(zone + 1);
        cells[3] = QString::number(node + 1);
    }
    cells[4] = AsptASourceName(kind);
    if (kind == 1)
        cells[5] = QString::number(uint16_t(ArchiveWordLE(answer, 6) + 1));
    return cells;
}

std::array<QString, 2> AsptATimeCells(const CanPacket &answer)
{
    auto b = [&](int d) { return Two(ArchiveByte(answer, d)); };
    return {b(2) + u'.' + b(3) + u'.' + b(4), b(5) + u':' + b(6) + u':' + b(7)};
}

QString AsptALastRecordText(const CanPacket &answer)
{
    return QString::number(ArchiveWordLE(answer, 0) + 1);
}

QStringList AsptAArchiveLines(const AsptAGrid &grid)
{
    std::array<qsizetype, kAsptAColumns> widths{};
    for (const AsptARow &row : grid.rows)
        for (int c = 0; c < kAsptAColumns; ++c)
            widths[c] = std::max(widths[c], row[c].size());
    QStringList lines;
    lines.reserve(int(grid.rows.size()));
    for (const AsptARow &row : grid.rows) {
        QString line;
        for (int c = 0; c < kAsptAColumns; ++c)
            line += row[c].leftJustified(widths[c], u' ') + QStringLiteral("  |  ");
        lines << line;
    }
    return lines;
}

void SaveArchiveToFile(const AsptAGrid &grid, const QString &path)
{
    WriteTextFile1251(path, AsptAArchiveLines(grid));
}

// ---- CArchiveASPT_AReader ----

CArchiveASPT_AReader::CArchiveASPT_AReader(QString addressHex) : CArchiveReader(std::move(addressHex)) {}

void CArchiveASPT_AReader::Prepare()
{
    TotalLog.clear();
    ArchiveLabelGrid(Grid.rows, kHeaders);
    Changed();
}

void CArchiveASPT_AReader::Start()
{
    TotalLog.clear();
    ArchiveClearRows(Grid.rows, 1, LogCount);
    Changed();
}

bool CArchiveASPT_AReader::Tick()
{
    const uint8_t wire = uint8_t(ArchiveWireOf(AddressHex));
    bool failed = false;
    if (TotalLog.isEmpty()) {
        RecordCounter = 0;
        Ask(AsptALastRecordRequest(AddressHex), AsptALastRecordPattern(wire), failed,
            [&](const CanPacket &answer) { TotalLog = AsptALastRecordText(answer); });
    }
    // The grid holds 1024 records: a count beyond it ends the reading.
    if (RecordCounter >= kAsptARecords) {
        Loading = false;
        Changed();
        return false;
    }
    const uint16_t index = RecordCounter;
    const int r = index + 1;
    const QString request = AsptARecordRequest(AddressHex, index);
    if (Grid.rows[r][1].isEmpty())
        Ask(request, AsptARecordPattern(kAsptAEventAnswer, wire, index), failed, [&](const CanPacket &answer) {
            const std::array<QString, 6> cells = AsptAEventCells(answer);
            std::copy(cells.begin(), cells.end(), Grid.rows[r].begin());
        });
    if (Grid.rows[r][6].isEmpty())
        Ask(request, AsptARecordPattern(kAsptATimeAnswer, wire, index), failed, [&](const CanPacket &answer) {
            const std::array<QString, 2> cells = AsptATimeCells(answer);
            Grid.rows[r][6] = cells[0];
            Grid.rows[r][7] = cells[1];
        });
    if (!failed) {
        ++RecordCounter;
        if (RecordCounter >= LogCount)
            Loading = false;
        SelectedRow = r;
    }
    Changed();
    return !failed;
}

// ---- TArchiveASPT_AForm ----

TArchiveASPT_AForm::TArchiveASPT_AForm(QWidget *owner, std::unique_ptr<ITimerBackend> timerBackend)
    : CArchiveForm(owner, std::move(timerBackend), QStringLiteral("Протокол событий АСПТ-А-"))
{
    resize(1124, 628);
    Build(
        reader_, kAsptARecords, kAsptAColumns, kWidths, [this](int row, int column) { return reader_.Grid.rows[row][column]; },
        QStringLiteral("Вывести последние события"), [this] {
            CSpinEdit_LogCount = new CSpinEdit(GroupBox1);
            CSpinEdit_LogCount->setObjectName(QStringLiteral("CSpinEdit_LogCount"));
            CSpinEdit_LogCount->SetRange(1, kAsptARecords);
            CSpinEdit_LogCount->SetValue(100);
            auto *count = new QHBoxLayout(GroupBox1);
            count->addWidget(new QLabel(QStringLiteral("Кол-во записей"), GroupBox1));
            count->addWidget(CSpinEdit_LogCount);
        });
    // Its last-record number is only a flag of the reading.
    GroupBox2->hide();

    Follow(CSpinEdit_LogCount, reader_.LogCount);
}

TArchiveASPT_AForm::~TArchiveASPT_AForm()
{
    Detach();
}

void TArchiveASPT_AForm::SyncOwn()
{
    CSpinEdit_LogCount->SetValue(reader_.LogCount);
}

int TArchiveASPT_AForm::TickRow()
{
    reader_.SelectedRow = 0;
    reader_.Tick();
    return reader_.SelectedRow;
}

void TArchiveASPT_AForm::SaveTo(const QString &path)
{
    SaveArchiveToFile(reader_.Grid, path);
}
