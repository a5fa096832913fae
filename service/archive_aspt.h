#pragma once
// Event archive of the devices of the first record layout ("Тиврон-АСПТ"): the request and answer
// bytes, the decoding tables, the reader that asks for one record per tick, the text export and
// the window TArchiveASPTForm.
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
#include "service/archive_common.h"
#include "platform/timer.h"

class CSpinEdit;

// ---- Decoding (no window) ----

// Codes 0-40: the firmware's event identifier; any other code in decimal.
QString AsptEventName(int code);
// The event's source by its code; n = sourceIndex + 1.
QString AsptEventSource(int code, int sourceIndex);
// "H:MM:SS" with at least two digits per part, hours unbounded.
QString AsptElapsedText(uint32_t seconds);

// "EEFF" + aa + "000000000000000000"
QString AsptLastRecordRequest(const QString &addressHex);
// "EEFF" + aa + "01" + index (four digits, high byte first) + "000000000000"
QString AsptRecordRequest(const QString &addressHex, uint16_t index);

constexpr uint8_t kAsptLastAnswer = 0x1E;   // sub-code
constexpr uint8_t kAsptStartAnswer = 0x1C;  // start count and time since start
constexpr uint8_t kAsptEventAnswer = 0x1B;  // event code and source
constexpr uint8_t kAsptNumberAnswer = 0x1A; // event number

PacketPattern AsptLastRecordPattern(uint8_t wireAddress);
// A record answer of any address carrying the index in data bytes 0-1.
PacketPattern AsptRecordPattern(uint8_t subCode, uint16_t index);

// The texts an answer gives its cells.
QString AsptLastRecordText(const CanPacket &answer);          // index + 1
QString AsptStartCountText(const CanPacket &answer);          // d2 d3
QString AsptElapsedTextOf(const CanPacket &answer);           // d4-d7 seconds
QString AsptEventNameOf(const CanPacket &answer);             // code d2 d3
QString AsptEventSourceOf(const CanPacket &answer);           // code d2 d3, source d4 d5
QString AsptEventNumberText(const CanPacket &answer);         // d2-d5, signed

// ---- The grid and its reading ----

constexpr int kAsptRecords = 2000;
constexpr int kAsptColumns = 6;
using AsptRow = std::array<QString, kAsptColumns>;

// What the window's grid holds: row 0 the header, row r record r (archive index r - 1).
struct AsptGrid {
    std::vector<AsptRow> rows = std::vector<AsptRow>(kAsptRecords + 1);
};

// The file SaveArchiveToFile writes: the last-record line, then every grid row with each cell
// followed by "  |  ".
QStringList AsptArchiveLines(const QString &totalLog, const AsptGrid &grid);
void SaveArchiveToFile(const QString &totalLog, const AsptGrid &grid, const QString &path);

// The reading without a window: the grid, the last-record number and the range cursor.
class CArchiveASPTReader : public CArchiveReader {
public:
    explicit CArchiveASPTReader(QString addressHex = QStringLiteral("00"));

    AsptGrid Grid;
    int LogStart = 1;     // the cursor: the record read next
    int LogEnd = kAsptRecords;

    void Prepare() override;
    // "Считать архив" pressed: the rows of the range emptied.
    void Start() override;
    // One record: the groups of cells still empty asked for, the cursor moved on when none failed.
    // Returns false when the tick failed.
    bool Tick() override;
};

// ---- The window ----

class TArchiveASPTForm : public CArchiveForm {
    Q_OBJECT
public:
    explicit TArchiveASPTForm(QWidget *owner = nullptr, std::unique_ptr<ITimerBackend> timerBackend = nullptr);
    ~TArchiveASPTForm() override;

    CSpinEdit *CSpinEdit_LogStart, *CSpinEdit_LogEnd;

    CArchiveASPTReader &Reader() { return reader_; }

protected:
    void SyncOwn() override;
    int TickRow() override;
    void SaveTo(const QString &path) override;

private:
    CArchiveASPTReader reader_;
};
