#pragma once
// Starts tivron-sim as a process on a virtual bus of its own port and talks to it over stdin/stdout.
// One virtualcan server serves one process, so the simulator owns it and each test program its port.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>

#include <signal.h>
#include <sys/prctl.h>

#include "tests/support/test_paths.h"

// Bounded waits are generous: the tests must hold on a loaded machine.
constexpr int kSimWaitMs = 30000;

class SimProcess {
public:
    ~SimProcess() { Stop(); }

    // Starts the simulator on a free port; gives up after a few taken ports.
    bool Start(const QStringList &options = {}, const QString &line = SourcePath(QStringLiteral("data/demo-line.xml")))
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = FreePort();
            lines_.clear();
            next_ = 0;
            pending_.clear();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TIVRON_CANBUS"), Bus());
            process_.setProcessEnvironment(env);
            process_.setProcessChannelMode(QProcess::SeparateChannels);
            // The simulator dies with the test program, whatever ends it.
            process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
            process_.start(BinaryPath(QStringLiteral("bin/tivron-sim")), QStringList(options) << line);
            if (!process_.waitForStarted(kSimWaitMs))
                return false;
            if (WaitForLine(QStringLiteral("ready"), kSimWaitMs))
                return true;
            process_.waitForFinished(kSimWaitMs);
            if (process_.exitCode() != 3) // 3: the port was taken meanwhile; try another
                return false;
        }
        return false;
    }

    void Stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(kSimWaitMs))
            process_.kill();
        process_.waitForFinished(kSimWaitMs);
    }

    quint16 Port() const { return port_; }
    QString Bus() const { return QStringLiteral("virtualcan:tcp://127.0.0.1:%1/can0").arg(port_); }
    QString Interface() const { return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port_); }

    // Sends a control line and returns the simulator's reply.
    QString Control(const QString &command)
    {
        process_.write((command + u'\n').toLocal8Bit());
        process_.waitForBytesWritten(kSimWaitMs);
        QString reply;
        WaitForLine(QStringLiteral("ok "), kSimWaitMs, &reply, QStringLiteral("error "));
        return reply;
    }

    // Waits for an output line starting with prefix (or with orPrefix); earlier lines are kept.
    bool WaitForLine(const QString &prefix, int timeoutMs, QString *found = nullptr, const QString &orPrefix = QString())
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (next_ < lines_.size()) {
                const QString &l = lines_[next_++];
                if (l.startsWith(prefix) || (!orPrefix.isEmpty() && l.startsWith(orPrefix))) {
                    if (found)
                        *found = l;
                    return true;
                }
            }
            if (deadline.hasExpired() || process_.state() != QProcess::Running)
                return false;
            process_.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 200)));
            pending_ += process_.readAllStandardOutput();
            qsizetype end;
            while ((end = pending_.indexOf('\n')) >= 0) {
                lines_ << QString::fromLocal8Bit(pending_.left(end));
                pending_.remove(0, end + 1);
            }
        }
    }

    QProcess &Process() { return process_; }

private:
    static quint16 FreePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    QProcess process_;
    quint16 port_ = 0;
    QStringList lines_;
    qsizetype next_ = 0;
    QByteArray pending_;
};
