#pragma once
// Handing a file to the desktop's opener (xdg-open), which finds the program for the file's type.
// The opener's own answer counts: a desktop without a program for the type makes it end with an
// error ("no method available") at once, and that must not pass for an opened file.
#include <QString>

struct TDesktopOpener {
    QString Program = QStringLiteral("xdg-open"); // called with the file's path as its only argument
    // How long the opener may take to answer. One still running after that is taken as opened: in a
    // desktop-less mode it waits until the opened program ends.
    int WaitMs = 3000;
    int StepMs = 20; // messages are processed between the steps of the wait
};

// True when the opener ended at once with status 0, or still runs after the wait; false when it could
// not be started, ended with another status, or crashed. The wait processes messages and sleeps
// through ProcessMessages and SleepMs (platform/event_loop.h), so tests give it no real time. An opener
// still running is left to end on its own.
bool OpenOnDesktop(const QString &path, const TDesktopOpener &opener = {});
