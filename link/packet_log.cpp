#include "link/packet_log.h"

#include <QDateTime>
#include <QTime>

namespace {
PacketLog *g_log = nullptr;

std::function<QString()> &TimeSource()
{
    static std::function<QString()> source;
    return source;
}
} // namespace

void SetPacketLog(PacketLog *log) { g_log = log; }
PacketLog *CurrentPacketLog() { return g_log; }

void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action)
{
    if (g_log)
        g_log->AddPacketRow(time, id, data, action);
}

void AddLossRow(const QString &time, uint32_t lost)
{
    if (g_log)
        g_log->AddLossRow(time, lost);
}

void SetPacketTimeSource(std::function<QString()> source) { TimeSource() = std::move(source); }

QString PacketTimeText()
{
    if (TimeSource())
        return TimeSource()();
    // Made once a second: on a flooded line the local time (which looks at the time zone each time)
    // and its formatting would cost more than the rest of a row. Zones differ from UTC by whole
    // minutes, so the local second changes with the UTC one.
    static qint64 shownSecond = -1;
    static QString text;
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != shownSecond) {
        shownSecond = second;
        text = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    }
    return text;
}
