#pragma once
// Which CAN bus to open: shared by the adapter library and the line simulator, so both
// always meet on the same bus.
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <optional>

struct BusChoice {
    QString plugin;
    QString interface;          // empty: chosen by the adapter number among the plugin's interfaces
};

// TIVRON_CANBUS as "plugin:interface" or "plugin"; without it the virtual bus on loopback.
inline BusChoice ChooseBus(const QByteArray &env)
{
    const QString text = QString::fromLocal8Bit(env).trimmed();
    if (text.isEmpty())
        return {QStringLiteral("virtualcan"), QString()};
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return {text, QString()};
    return {text.left(colon), text.mid(colon + 1)};
}

inline BusChoice ChooseBusFromEnvironment() { return ChooseBus(qgetenv("TIVRON_CANBUS")); }

// The name under which a plugin lists an interface: virtualcan takes a URL whose last path
// element is the channel (tcp://127.0.0.1:35468/can0 is can0).
inline QString ListedInterfaceName(const QString &plugin, const QString &interface)
{
    if (plugin == QLatin1String("virtualcan") && interface.contains(u'/'))
        return QUrl(interface).fileName();
    return interface;
}

// The TCP port of a virtualcan interface (the plugin's default when none is written).
inline uint16_t VirtualCanPort(const QString &interface)
{
    constexpr int defaultPort = 35468;
    if (!interface.contains(u'/'))
        return defaultPort;
    return static_cast<uint16_t>(QUrl(interface).port(defaultPort));
}

// Baud-rate codes are kbit/s; codes outside the table leave the plugin's own bit rate.
inline std::optional<int> BitRateOfCode(uint16_t code)
{
    switch (code) {
    case 10: case 20: case 50: case 100: case 125: case 250: case 500: case 800: case 1000:
        return int(code) * 1000;
    default:
        return std::nullopt;
    }
}
