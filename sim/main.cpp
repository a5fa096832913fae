// tivron-sim LINE.xml: plays the devices of a line description on the CAN bus until stopped.
#include <cstdio>

#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include "sim/line_description.h"
#include "sim/line_simulator.h"
#include "sim/sim_bus.h"

namespace {

void Say(const QString &line)
{
    std::fputs((line + u'\n').toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tivron-sim"));
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the devices of a line description on the CAN bus named by TIVRON_CANBUS "
        "(plugin:interface), else on the virtual bus on loopback. Prints \"ready\" once on the bus; "
        "reads control lines from stdin (silent ADDR, speak ADDR, delay MS, twice on|off, "
        "noise-every MS, noise N, noise-mixed N, fail-next K, log on|off, send PACKETTEXT, quit)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("line"), QStringLiteral("line description file"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("the device at ADDR never answers"),
                                    QStringLiteral("ADDR"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("answer MS late"), QStringLiteral("MS"));
    const QCommandLineOption twice(QStringLiteral("twice"), QStringLiteral("send every answer twice"));
    const QCommandLineOption noise(QStringLiteral("noise"), QStringLiteral("a noise frame every MS"),
                                   QStringLiteral("MS"));
    const QCommandLineOption failNext(QStringLiteral("fail-next"), QStringLiteral("lose the next K frames received"),
                                      QStringLiteral("K"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("print every frame received"));
    parser.addOptions({silent, delay, twice, noise, failNext, log});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    LineDescription line;
    QString error;
    if (!LoadLineDescription(parser.positionalArguments().first(), line, &error)) {
        std::fprintf(stderr, "tivron-sim: %s\n", qPrintable(error));
        return 2;
    }
    LineSimulator simulator(line);
    RegisterHandlers(simulator);
    SimOptions &options = simulator.Options();
    for (const QString &a : parser.values(silent))
        options.silentAddresses.insert(a.toInt());
    options.answerDelayMs = parser.value(delay).toInt();
    options.answerTwice = parser.isSet(twice);
    options.noiseEveryMs = parser.value(noise).toInt();
    options.failNext = parser.value(failNext).toInt();
    options.logFrames = parser.isSet(log);

    SimBus bus(simulator);
    bus.onReady = [] { Say(QStringLiteral("ready")); };
    bus.onLog = Say;
    if (!bus.Open(&error)) {
        std::fprintf(stderr, "tivron-sim: %s\n", qPrintable(error));
        return 3;
    }

    // Control lines from stdin; at its end the simulator just goes on.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString command = QString::fromLocal8Bit(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (command.isEmpty())
                continue;
            if (command == QLatin1String("quit")) {
                Say(QStringLiteral("ok quit"));
                app.quit();
                return;
            }
            Say(bus.Control(command));
        }
    });
    return app.exec();
}
