#pragma once
// Event archive of the devices of the second record layout ("Тиврон-АСПТ-А"): the last N events,
// asked for by index 0, 1, ..., N - 1 one per tick. The answer kind travels in the section byte,
// zone and node in the sub-code field, and the indexes are little-endian.
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "adapters/usbcan/usbcan_api.h"
#include "link/transfer.h"
#include "platform/timer.h"
#include "service/archive_common.h"

class CSpinEdit;

// ---- Decoding (no window) ----

// 0 "Плата", 1 "Вход " (trailing blank), 2 "Выход", any other "Не определено".
QString AsptASourceName(int kind);
// The event text of a record by its source kind, event code and zone index.
QString AsptAEventName(int kind, int code, int zoneIndex);

// "EEFF" + aa + "01" + LL + HH + "000000000000"
QString AsptARecordRequest(const QString &addressHex, uint16_t index);
// The last-record request is the first layout's: "EEFF" + aa + "000000000000000000".
QString AsptALastRecordRequest(const QString &addressHex);

constexpr uint8_t kAsptALastAnswer = 0x1E;  // section
constexpr uint8_t kAsptAEventAnswer = 0x1A; // event, zone, node, source, room
constexpr uint8_t kAsptATimeAnswer = 0x1B;  // date and time

PacketPattern AsptALastRecordPattern(uint8_t wireAddress);
// A record answer of the device carrying the index in data bytes 0-1, low byte first.
PacketPattern AsptARecordPattern(uint8_t section, uint8_t wireAddress, uint16_t index);

// The cells 0-5 a 0x1A answer gives, and the cells 6-7 of a 0x1B answer.
std::array<QString, 6> AsptAEventCells(const CanPacket &answer);
std::array<QString, 2> AsptATimeCells(const CanPacket &answer);
QString AsptALastRecordText(const CanPacket &answer); // index + 1

// ---- The grid and its reading ----

constexpr int kAsptARecords = 1024;
constexpr int kAsptAColumns = 8;
using AsptARow = std::array<QString, kAsptAColumns>;

struct AsptAGrid {
    std::vector<AsptARow> rows = std::vector<AsptARow>(kAsptARecords + 1);
};

// Every grid row, each cell padded on the right to its column's widest cell and followed by "  |  ".
QStringList AsptAArchiveLines(const AsptAGrid &grid);
void SaveArchiveToFile(const AsptAGrid &grid, const QString &path);

// TotalLog only tells whether the last-record number was read.
class CArchiveASPT_AReader : public CArchiveReader {
public:
    explicit CArchiveASPT_AReader(QString addressHex = QStringLiteral("00"));

    AsptAGrid Grid;
    int LogCount = 100;         // N
    uint16_t RecordCounter = 0; // index read next
    int SelectedRow = 0;        // the grid row of the record completed last, 0 none

    void Prepare() override;
    // "Считать архив" pressed: rows 1 to N emptied.
    void Start() override;
    bool Tick() override;
};

class TArchiveASPT_AForm : public CArchiveForm {
    Q_OBJECT
public:
    explicit TArchiveASPT_AForm(QWidget *owner = nullptr, std::unique_ptr<ITimerBackend> timerBackend = nullptr);
    ~TArchiveASPT_AForm() override;

    CSpinEdit *CSpinEdit_LogCount;

    CArchiveASPT_AReader &Reader() { return reader_; }

protected:
    void SyncOwn() override;
    int TickRow() override;
    void SaveTo(const QString &path) override;

private:
    CArchiveASPT_AReader reader_;
};
