#include "link/monitor_placement.h"

MonitorPlacement PlaceMonitorOnShow(const QRect &monitor, const QRect &main, bool mainMaximised, const QSize &screen)
{
    MonitorPlacement p;
    p.monitor = QRect(0, 0, monitor.width(), monitor.height());
    p.main = main;
    if (mainMaximised) {
        p.mainNormal = true;
        p.main.moveTop(0);
        p.main.setHeight(screen.height() - 30);
    }
    if (screen.width() < p.main.width() + p.monitor.width())
        p.main.setWidth(screen.width() - p.monitor.width());
    p.main.moveLeft(p.monitor.left() + p.monitor.width());
    p.monitor.setHeight(p.main.height());
    return p;
}

QPoint MonitorBesideMain(const QRect &monitor, const QRect &main)
{
    const int left = main.left() > monitor.width() ? main.left() - monitor.width() : 0;
    return QPoint(left, main.top());
}
