#include "service/archive_aspt.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include "editor/controls.h"
#include "link/text_file_save.h"

namespace {

const char *const kEventNames[] = {
    "logger_event_DUMMY",
    "logger_event_SYSTEM_START",
    "logger_event_SYSTEM_SHUTDOWN",
    "logger_event_sl_ONGUARD",
    "logger_event_sl_SHORTING",
    "logger_event_sl_BREAKAGE",
    "logger_event_sl_MALFUNCTION",
    "logger_event_sl_DOOR_OPENED",
    "logger_event_sl_DOOR_CLOSED",
    "logger_event_sl_SMOKE_FIRE_WARNING",
    "logger_event_sl_SMOKE_PRE_WARNING",
    "logger_event_sl_SMOKE_FIRE_ALARM",
    "logger_event_sl_MANUAL_ALARM",
    "logger_event_sl_TEMP_FIRE_ALARM",
    "logger_event_sl_TEMP_FIRE_WARNING",
    "logger_event_sl_UDP_ALARM",
    "logger_event_sl_SDU_ALARM",
    "logger_event_pw_MAIN_OK",
    "logger_event_pw_MAIN_FAILURE",
    "logger_event_pw_BATT_OK",
    "logger_event_pw_BATT_FAILURE",
    "logger_event_pw_BATT_DISCHARGE",
    "logger_event_pw_BATT_DISCHARGE_1",
    "logger_event_pw_BATT_DISCHARGE_2",
    "logger_event_key_CASE_OPENED_PRESSED",
    "logger_event_key_CASE_OPENED_RELEASED",
    "logger_event_tnf_TABS_BREAKAGE",
    "logger_event_tnf_TABS_OK",
    "logger_event_tnf_FUSES_BREAKAGE",
    "logger_event_tnf_FUSES_SHORTING",
    "logger_event_tnf_FUSES_OK",
    "logger_event_core_EVACUATION",
    "logger_event_core_EVACUATION_BLOCKED",
    "logger_event_core_START",
    "logger_event_core_START_COMPLETE",
    "logger_event_core_START_COMPLETE_OK",
    "logger_event_core_START_COMPLETE_BAD",
    "logger_event_core_RESET",
    "logger_event_core_GUARD_MODE",
    "logger_event_core_AUTO_MODE",
    "logger_event_core_MANUAL_MODE",
};
constexpr int kEventNameCount = int(std::size(kEventNames));

const char *const kHeaders[kAsptColumns] = {"№ записи", "№ события", "№ запуска прибора", "время со старта",
                                            "событие", "источник"};
constexpr int kWidths[kAsptColumns] = {64, 151, 106, 134, 299, 152};

QString Two(unsigned value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString AsptEventName(int code)
{
    if (code >= 0 && code < kEventNameCount)
        return QString::fromLatin1(kEventNames[code]);
    return QString::number(code);
}

QString AsptEventSource(int code, int sourceIndex)
{
    const QString n = QString::number(qint64(sourceIndex) + 1);
    if (code == 0)
        return QStringLiteral("logger_event_DUMMY");
    if (code == 1 || code == 2 || code == 24 || code == 25 || (code >= 31 && code <= 40))
        return QStringLiteral("ядро системы");
    if (code >= 3 && code <= 16)
        return QStringLiteral("ШС №") + n;
    if (code >= 17 && code <= 23)
        return QStringLiteral("монитор питания");
    if (code == 26 || code == 27)
        return QStringLiteral("табло №") + n;
    if (code >= 28 && code <= 30)
        return QStringLiteral("пуск. цепь №") + n;
    return QString::number(code);
}

QString AsptElapsedText(uint32_t seconds)
{
    return Two(seconds / 3600) + u':' + Two(seconds % 3600 / 60) + u':' + Two(seconds % 60);
}

QString AsptLastRecordRequest(const QString &addressHex)
{
    return QStringLiteral("EEFF") + addressHex + QStringLiteral("000000000000000000");
}

QString AsptRecordRequest(const QString &addressHex, uint16_t index)
{
    return QStringLiteral("EEFF") + addressHex + QStringLiteral("01") + ArchiveHex2(index >> 8) + ArchiveHex2(index) +
           QStringLiteral("000000000000");
}

PacketPattern AsptLastRecordPattern(uint8_t wireAddress)
{
    PacketPattern p;
    p.fill(-1);
    p[0] = kArchiveCommand;
    p[1] = 0xFF;
    p[2] = wireAddress;
    p[3] = kAsptLastAnswer;
    return p;
}

PacketPattern AsptRecordPattern(uint8_t subCode, uint16_t index)
{
    PacketPattern p;
    p.fill(-1);
    p[0] = kArchiveCommand;
    p[1] = 0xFF;
    p[3] = subCode;
    p[4] = index >> 8;
    p[5] = index & 0xFF;
    return p;
}

QString AsptLastRecordText(const CanPacket &answer)
{
    return QString::number(ArchiveWordBE(answer, 0) + 1);
}

QString AsptStartCountText(const CanPacket &answer)
{
    return QString::number(ArchiveWordBE(answer, 2));
}

QString AsptElapsedTextOf(const CanPacket &answer)
{
    return AsptElapsedText(uint32_t(ArchiveWordBE(answer, 4)) << 16 | uint32_t(ArchiveWordBE(answer, 6)));
}

QString AsptEventNameOf(const CanPacket &answer)
{
    return AsptEventName(ArchiveWordBE(answer, 2));
}

QString AsptEventSourceOf(const CanPacket &answer)
{
    return AsptEventSource(ArchiveWordBE(answer, 2), ArchiveWordBE(answer, 4));
}

QString AsptEventNumberText(const CanPacket &answer)
{
    const uint32_t raw = uint32_t(ArchiveWordBE(answer, 2)) << 16 | uint32_t(ArchiveWordBE(answer, 4));
    return QString::number(int32_t(raw));
}

QStringList AsptArchiveLines(const QString &totalLog, const AsptGrid &grid)
{
    QStringList lines;
    lines.reserve(int(grid.rows.size()) + 1);
    lines << QStringLiteral("Последняя запись № - ") + totalLog;
    for (const AsptRow &row : grid.rows) {
        QString line;
        for (const QString &cell : row)
            line += cell + QStringLiteral("  |  ");
        lines << line;
    }
    return lines;
}

void SaveArchiveToFile(const QString &totalLog, const AsptGrid &grid, const QString &path)
{
    WriteTextFile1251(path, AsptArchiveLines(totalLog, grid));
}

// ---- CArchiveASPTReader ----

CArchiveASPTReader::CArchiveASPTReader(QString addressHex) : CArchiveReader(std::move(addressHex)) {}

void CArchiveASPTReader::Prepare()
{
    TotalLog.clear();
    ArchiveLabelGrid(Grid.rows, kHeaders);
    Changed();
}

void CArchiveASPTReader::Start()
{
    TotalLog.clear();
    ArchiveClearRows(Grid.rows, LogStart, LogEnd);
    Changed();
}

bool CArchiveASPTReader::Tick()
{
    bool failed = false;
    if (TotalLog.isEmpty())
        Ask(AsptLastRecordRequest(AddressHex), AsptLastRecordPattern(uint8_t(ArchiveWireOf(AddressHex))), failed,
            [&](const CanPacket &answer) { TotalLog = AsptLastRecordText(answer); });
    if (LogStart <= LogEnd && LogStart >= 1 && LogStart <= kAsptRecords) {
        const int r = LogStart;
        const uint16_t index = uint16_t(r - 1);
        const QString request = AsptRecordRequest(AddressHex, index);
        // Each group of cells is asked for while it is empty; a new start may empty it meanwhile.
        auto ask = [&](int testColumn, uint8_t subCode, const std::function<void(const CanPacket &, AsptRow &)> &fill) {
            if (!Grid.rows[r][testColumn].isEmpty())
                return;
            Ask(request, AsptRecordPattern(subCode, index), failed,
                [&](const CanPacket &answer) { fill(answer, Grid.rows[r]); });
        };
        ask(2, kAsptStartAnswer, [](const CanPacket &answer, AsptRow &row) {
            row[2] = AsptStartCountText(answer);
            row[3] = AsptElapsedTextOf(answer);
        });
        ask(4, kAsptEventAnswer, [](const CanPacket &answer, AsptRow &row) {
            row[4] = AsptEventNameOf(answer);
            row[5] = AsptEventSourceOf(answer);
        });
        ask(1, kAsptNumberAnswer, [](const CanPacket &answer, AsptRow &row) { row[1] = AsptEventNumberText(answer); });
        if (!failed) {
            if (LogStart == LogEnd)
                Loading = false;
            else
                LogStart = std::min(LogStart + 1, kAsptRecords);
        }
    }
    Changed();
    return !failed;
}

// ---- TArchiveASPTForm ----

TArchiveASPTForm::TArchiveASPTForm(QWidget *owner, std::unique_ptr<ITimerBackend> timerBackend)
    : CArchiveForm(owner, std::move(timerBackend), QStringLiteral("Протокол событий АСПТ-"))
{
    resize(936, 628);
    Build(
        reader_, kAsptRecords, kAsptColumns, kWidths, [this](int row, int column) { return reader_.Grid.rows[row][column]; },
        QStringLiteral("Диапазон считывания архива (1-2000 записей)"), [this] {
            CSpinEdit_LogStart = new CSpinEdit(GroupBox1);
            CSpinEdit_LogStart->setObjectName(QStringLiteral("CSpinEdit_LogStart"));
            CSpinEdit_LogStart->SetRange(1, kAsptRecords);
            CSpinEdit_LogStart->SetValue(1);
            CSpinEdit_LogEnd = new CSpinEdit(GroupBox1);
            CSpinEdit_LogEnd->setObjectName(QStringLiteral("CSpinEdit_LogEnd"));
            CSpinEdit_LogEnd->SetRange(1, kAsptRecords);
            CSpinEdit_LogEnd->SetValue(kAsptRecords);
            auto *range = new QHBoxLayout(GroupBox1);
            range->addWidget(new QLabel(QStringLiteral("Начальная запись"), GroupBox1));
            range->addWidget(CSpinEdit_LogStart);
            range->addWidget(new QLabel(QStringLiteral("Конечная запись"), GroupBox1));
            range->addWidget(CSpinEdit_LogEnd);
        });

    Follow(CSpinEdit_LogStart, reader_.LogStart);
    Follow(CSpinEdit_LogEnd, reader_.LogEnd);
}

TArchiveASPTForm::~TArchiveASPTForm()
{
    Detach();
}

void TArchiveASPTForm::SyncOwn()
{
    CSpinEdit_LogStart->SetValue(reader_.LogStart);
    CSpinEdit_LogEnd->SetValue(reader_.LogEnd);
}

int TArchiveASPTForm::TickRow()
{
    reader_.Tick();
    return reader_.LogStart;
}

void TArchiveASPTForm::SaveTo(const QString &path)
{
    SaveArchiveToFile(reader_.TotalLog, reader_.Grid, path);
}
