#include "platform/desktop_open.h"

#include <QCoreApplication>
#include <QProcess>

#include "platform/event_loop.h"

bool OpenOnDesktop(const QString &path, const TDesktopOpener &opener)
{
    auto *process = new QProcess(QCoreApplication::instance());
    // Nothing reads its pipes: a viewer it starts must not block on a full one.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start(opener.Program, {path});
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    const int step = opener.StepMs > 0 ? opener.StepMs : 1;
    for (int waited = 0;; waited += step) {
        if (process->state() == QProcess::NotRunning || process->waitForFinished(0)) {
            const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
            delete process;
            return opened;
        }
        if (waited >= opener.WaitMs)
            break;
        ProcessMessages();
        SleepMs(step);
    }
    // Still running: its end is no longer ours to report.
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return true;
}
