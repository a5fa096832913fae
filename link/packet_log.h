#pragma once
// Where the link hands every sent and received frame: the CAN monitor owns the sink and
// registers itself; without a sink the rows are dropped.
#include <QString>

#include <functional>

inline const QString PacketRowSent = QStringLiteral("  (Отправлен)");
inline const QString PacketRowFailed = QStringLiteral("  (Ошибка)");
inline const QString PacketRowReceived = QStringLiteral("  (Получен)");

class PacketLog {
public:
    virtual ~PacketLog() = default;
    // time, identifier text, data text, action text (one of the three above)
    virtual void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action) = 0;
};

// The current sink (not owned); null drops the rows.
void SetPacketLog(PacketLog *log);
PacketLog *CurrentPacketLog();

// Hands one row to the current sink.
void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action);

// Time of day of a row; tests give a fixed clock, null restores the real one.
void SetPacketTimeSource(std::function<QString()> source);
QString PacketTimeText();
