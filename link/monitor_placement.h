#pragma once
// Where the CAN monitor and the main window go when the monitor is shown: the monitor in the top
// left corner, the main window beside it, both as high as the main window. Positions are the
// windows' frame origins, sizes their client sizes; the screen is the primary display's size.
#include <QRect>
#include <QSize>

struct MonitorPlacement {
    QRect monitor;
    QRect main;
    bool mainNormal = false; // the main window was maximised and is set to its normal state
};

// The monitor's showing: a maximised main window becomes normal at the top, 30 pixels short of
// the screen height; one too wide for the screen beside the monitor is narrowed to the rest.
MonitorPlacement PlaceMonitorOnShow(const QRect &monitor, const QRect &main, bool mainMaximised, const QSize &screen);

// The main window's monitor action after showing it: the monitor's top at the main window's top,
// its left edge just before the main window, or 0 when the main window's left edge is not greater
// than the monitor's width.
QPoint MonitorBesideMain(const QRect &monitor, const QRect &main);
