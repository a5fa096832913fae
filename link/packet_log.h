#pragma once
// Where the link hands every sent and received frame: the CAN monitor owns the sink and
// registers itself; without a sink the rows are dropped.
#include <QString>

#include <cstdint>
#include <functional>

inline const QString PacketRowSent = QStringLiteral("  (Отправлен)");
inline const QString PacketRowFailed = QStringLiteral("  (Ошибка)");
inline const QString PacketRowReceived = QStringLiteral("  (Получен)");

// The row that stands where frames were lost because the adapter's queue was full: the text in
// place of the identifier, no data, no action.
inline const QString LostPacketsPrefix = QStringLiteral("Потеряно пакетов = ");
inline QString LostPacketsText(uint32_t lost) { return LostPacketsPrefix + QString::number(lost); }

class PacketLog {
public:
    virtual ~PacketLog() = default;
    // time, identifier text, data text, action text (one of the three above)
    virtual void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action) = 0;
    // lost frames since the previous drain, at the place of the loss
    virtual void AddLossRow(const QString &time, uint32_t lost) { AddPacketRow(time, LostPacketsText(lost), {}, {}); }
};

// The current sink (not owned); null drops the rows.
void SetPacketLog(PacketLog *log);
PacketLog *CurrentPacketLog();

// Hand one row to the current sink.
void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action);
void AddLossRow(const QString &time, uint32_t lost);

// Time of day of a row; tests give a fixed clock, null restores the real one.
void SetPacketTimeSource(std::function<QString()> source);
QString PacketTimeText();
