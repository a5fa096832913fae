// tivron-sim LINE.xml: plays the devices of a line description on the CAN bus until stopped.
#include <cstdio>

#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include "sim/line_description.h"
#include "sim/line_simulator.h"
#include "sim/sim_bus.h"
#include "sim/stored_config.h"

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
        "(plugin:interface), else on the virtual bus on loopback. Each device answers the configuration "
        "requests from its stored configuration (.DEV) laid out by the catalogue, and keeps what it "
        "is written once the end packet comes. Prints \"ready\" once on the bus; "
        "reads control lines from stdin (silent ADDR, speak ADDR, delay MS, twice on|off, "
        "noise-every MS, noise N, noise-mixed N, flood RATE MS, fail-next K, log on|off, omit ADDR RULE, "
        "answer ADDR [RULE], reset ADDR, send PACKETTEXT, quit)."));
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
    const QCommandLineOption omit(QStringLiteral("omit"),
                                  QStringLiteral("the device at ADDR leaves out the answers of table code T "
                                                 "(only its column of table address CC), or of key N (only its "
                                                 "section S answer)"),
                                  QStringLiteral("ADDR:table:T[:CC]|ADDR:key:N[:S]"));
    const QCommandLineOption catalogue(QStringLiteral("catalogue"),
                                       QStringLiteral("the catalogue naming the models (default: the line file's, "
                                                      "else devices.xml beside it)"),
                                       QStringLiteral("PATH"));
    parser.addOptions({silent, delay, twice, noise, failNext, log, omit, catalogue});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    LineDescription line;
    QString error;
    if (!LoadLineDescription(parser.positionalArguments().first(), line, &error)) {
        std::fprintf(stderr, "tivron-sim: %s\n", qPrintable(error));
        return 2;
    }
    if (parser.isSet(catalogue))
        line.cataloguePath = QFileInfo(parser.value(catalogue)).absoluteFilePath();
    if (!LoadDeviceStates(line, &error)) {
        std::fprintf(stderr, "tivron-sim: %s\n", qPrintable(error));
        return 2;
    }
    LineSimulator simulator(line);
    RegisterHandlers(simulator);
    for (const QString &rule : parser.values(omit))
        if (!simulator.SetOmitted(rule, true)) {
            std::fprintf(stderr, "tivron-sim: --omit %s: not a rule, or no device at that address\n", qPrintable(rule));
            return 2;
        }
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
    bus.onFloodEnd = [](uint32_t sent) { Say(QStringLiteral("flooded %1").arg(sent)); };
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
