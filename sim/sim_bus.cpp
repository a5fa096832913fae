#include "sim/sim_bus.h"

#include <algorithm>

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QHostAddress>
#include <QTcpServer>
#include <QUrl>

#include "adapters/usbcan/bus_choice.h"

namespace {

// The noise is a command no device uses, so no reader takes it for an answer.
constexpr uint8_t NoiseCommand = 0x7E;
// The join check's frame: the noise command to the broadcast address, which no noise frame uses.
constexpr uint32_t JoinProbeIdentifier = (uint32_t(NoiseCommand) << 21) | (0xFFu << 13) | (0xFFu << 5) | 0x1F;

bool ParseHexFrame(const QString &text, QCanBusFrame &frame)
{
    QString t = text;
    if (t.size() % 2)
        t.chop(1);
    if (t.size() < 8 || t.size() > 24)
        return false;
    bool ok = false;
    const uint32_t v = t.left(8).toUInt(&ok, 16);
    if (!ok)
        return false;
    const QByteArray data = QByteArray::fromHex(t.mid(8).toLatin1());
    if (data.size() * 2 != t.size() - 8)
        return false;
    frame = QCanBusFrame(((v >> 8) << 5) + (v & 0xFF), data);
    frame.setExtendedFrameFormat(true);
    return true;
}

} // namespace

SimBus::SimBus(LineSimulator &simulator) : simulator_(simulator)
{
    QObject::connect(&noiseTimer_, &QTimer::timeout, &context_, [this] { SendNoise(true); });
    floodTimer_.setTimerType(Qt::PreciseTimer);
    floodTimer_.setInterval(1);
    QObject::connect(&floodTimer_, &QTimer::timeout, &context_, [this] { FloodTick(); });
}

SimBus::~SimBus()
{
    joinTimer_.stop();
    delete joinProbe_;
    if (device_) {
        device_->disconnectDevice();
        delete device_;
    }
}

bool SimBus::Open(QString *error)
{
    BusChoice choice = ChooseBusFromEnvironment();
    if (choice.interface.isEmpty())
        choice.interface = QStringLiteral("can0");
    if (choice.plugin == QLatin1String("virtualcan")) {
        const QUrl url(choice.interface);
        const QString host = choice.interface.contains(u'/') ? url.host() : QString();
        if (host.isEmpty() || QHostAddress(host).isLoopback()) {
            // The process that opens the first device on a port serves it; make sure it is us.
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, VirtualCanPort(choice.interface))) {
                *error = QStringLiteral("port %1 is taken: another process serves that virtual bus")
                             .arg(VirtualCanPort(choice.interface));
                return false;
            }
        }
    }
    device_ = QCanBus::instance()->createDevice(choice.plugin, choice.interface, error);
    if (!device_)
        return false;
    QObject::connect(device_, &QCanBusDevice::framesReceived, &context_, [this] { OnFramesReceived(); });
    const bool virtualBus = choice.plugin == QLatin1String("virtualcan");
    QObject::connect(device_, &QCanBusDevice::stateChanged, &context_,
                     [this, choice, virtualBus](QCanBusDevice::CanBusDeviceState s) {
                         if (s != QCanBusDevice::ConnectedState || joined_)
                             return;
                         if (virtualBus)
                             StartJoinCheck(choice.plugin, choice.interface);
                         else
                             Joined();
                     });
    if (!device_->connectDevice()) {
        *error = device_->errorString();
        return false;
    }
    ApplyNoiseInterval();
    return true;
}

void SimBus::StartJoinCheck(const QString &plugin, const QString &interface)
{
    // The virtual bus relays a frame only to the devices whose joining its server has read, and
    // ours travels behind the connection: a frame of a second device of ours that comes back shows
    // that the line's answers and what it is told reach it.
    joinProbe_ = QCanBus::instance()->createDevice(plugin, interface);
    if (!joinProbe_ || !joinProbe_->connectDevice()) {
        Joined();
        return;
    }
    QObject::connect(&joinTimer_, &QTimer::timeout, &context_, [this] {
        if (!joinProbe_ || joinProbe_->state() != QCanBusDevice::ConnectedState)
            return;
        QCanBusFrame probe(JoinProbeIdentifier, QByteArray(8, '\0'));
        probe.setExtendedFrameFormat(true);
        joinProbe_->writeFrame(probe);
    });
    // Until the server has read our joining it drops the probe: send it again.
    joinTimer_.start(20);
}

void SimBus::Joined()
{
    if (joined_)
        return;
    joined_ = true;
    joinTimer_.stop();
    if (joinProbe_) {
        joinProbe_->disconnectDevice();
        joinProbe_->deleteLater();
        joinProbe_ = nullptr;
    }
    if (onReady)
        onReady();
}

void SimBus::OnFramesReceived()
{
    for (const QCanBusFrame &frame : device_->readAllFrames()) {
        if (frame.frameId() == JoinProbeIdentifier && frame.hasExtendedFrameFormat()) {
            Joined();
            continue;
        }
        Receive(frame);
    }
}

void SimBus::Receive(const QCanBusFrame &frame)
{
    if (!frame.isValid() || frame.frameType() != QCanBusFrame::DataFrame || !frame.hasExtendedFrameFormat())
        return;
    SimOptions &options = simulator_.Options();
    const SimFrame request = SimFrame::FromIdentifier(frame.frameId(), frame.payload());
    if (options.logFrames && onLog)
        onLog(QStringLiteral("rx ") + request.Text());
    if (options.failNext > 0) {
        --options.failNext;
        return;
    }
    for (const SimAnswer &answer : simulator_.Answer(request)) {
        if (options.answerDelayMs > 0) {
            const SimFrame f = answer.frame;
            QTimer::singleShot(options.answerDelayMs, &context_, [this, f] { Send(f); });
        } else {
            Send(answer.frame);
        }
    }
}

void SimBus::Send(const SimFrame &frame)
{
    QCanBusFrame out(frame.Identifier(), frame.data);
    out.setExtendedFrameFormat(true);
    SendFrame(out);
    if (simulator_.Options().answerTwice)
        SendFrame(out);
}

bool SimBus::SendFrame(const QCanBusFrame &frame)
{
    if (sendHook) {
        sendHook(frame);
        return true;
    }
    return device_ && device_->state() == QCanBusDevice::ConnectedState && device_->writeFrame(frame);
}

bool SimBus::SendNoise(bool mixed)
{
    const uint32_t n = noiseCount_++;
    if (mixed && n % 3 == 1)
        return SendFrame(QCanBusFrame(0x123, QByteArray::fromHex("DEADBEEF"))); // standard format
    if (mixed && n % 3 == 2) {
        SimFrame id;
        id.command = NoiseCommand;
        id.address = 0xFE;
        id.subCode = 1;
        QCanBusFrame remote(id.Identifier(), QByteArray());
        remote.setFrameType(QCanBusFrame::RemoteRequestFrame);
        remote.setExtendedFrameFormat(true);
        return SendFrame(remote);
    }
    SimFrame f;
    f.command = NoiseCommand;
    f.section = uint8_t(n >> 8);
    f.address = 0xFE;
    f.subCode = uint8_t(n & 0x1F);
    f.data = QByteArray(8, '\0');
    for (int i = 0; i < 4; ++i)
        f.data[i] = char(n >> (24 - 8 * i));
    QCanBusFrame out(f.Identifier(), f.data);
    out.setExtendedFrameFormat(true);
    return SendFrame(out);
}

void SimBus::StartFlood(int perSecond, int ms)
{
    floodRate_ = perSecond;
    floodMs_ = ms;
    floodMade_ = 0;
    floodSent_ = 0;
    floodClock_.start();
    floodTimer_.start();
    FloodTick();
}

void SimBus::FloodTick()
{
    const int64_t elapsed = std::min<int64_t>(floodClock_.elapsed(), floodMs_);
    const int64_t due = int64_t(floodRate_) * elapsed / 1000;
    for (; floodMade_ < due; ++floodMade_)
        floodSent_ += SendNoise(false) ? 1 : 0;
    if (elapsed < floodMs_)
        return;
    floodTimer_.stop();
    if (onFloodEnd)
        onFloodEnd(floodSent_);
}

void SimBus::ApplyNoiseInterval()
{
    const int every = simulator_.Options().noiseEveryMs;
    if (every > 0)
        noiseTimer_.start(every);
    else
        noiseTimer_.stop();
}

QString SimBus::Control(const QString &line)
{
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QStringLiteral("error empty");
    const QString &command = words[0];
    const QString argument = words.value(1);
    bool ok = false;
    const int number = argument.toInt(&ok);
    SimOptions &options = simulator_.Options();
    const QString done = QStringLiteral("ok ") + line.simplified();
    if (command == QLatin1String("silent") && ok) {
        options.silentAddresses.insert(number);
    } else if (command == QLatin1String("speak") && ok) {
        options.silentAddresses.erase(number);
    } else if (command == QLatin1String("delay") && ok && number >= 0) {
        options.answerDelayMs = number;
    } else if (command == QLatin1String("twice") && (argument == QLatin1String("on") || argument == QLatin1String("off"))) {
        options.answerTwice = argument == QLatin1String("on");
    } else if (command == QLatin1String("noise-every") && ok && number >= 0) {
        options.noiseEveryMs = number;
        ApplyNoiseInterval();
    } else if (command == QLatin1String("noise") && ok && number >= 0) {
        for (int i = 0; i < number; ++i)
            SendNoise(false);
    } else if (command == QLatin1String("noise-mixed") && ok && number >= 0) {
        for (int i = 0; i < number; ++i)
            SendNoise(true);
    } else if (command == QLatin1String("flood") && ok && number > 0 && words.size() == 3 && words[2].toInt() > 0) {
        StartFlood(number, words[2].toInt());
    } else if (command == QLatin1String("fail-next") && ok && number >= 0) {
        options.failNext = number;
    } else if (command == QLatin1String("log") && (argument == QLatin1String("on") || argument == QLatin1String("off"))) {
        options.logFrames = argument == QLatin1String("on");
    } else if (command == QLatin1String("omit") || command == QLatin1String("answer")) {
        const QString rule = line.simplified().section(u' ', 1);
        if (!simulator_.SetOmitted(rule, command == QLatin1String("omit")))
            return QStringLiteral("error bad rule or address ") + rule;
    } else if (command == QLatin1String("reset") && ok) {
        if (!simulator_.Reset(number))
            return QStringLiteral("error no configured device at ") + argument;
    } else if (command == QLatin1String("send")) {
        QCanBusFrame frame;
        if (!ParseHexFrame(argument, frame))
            return QStringLiteral("error bad packet ") + argument;
        SendFrame(frame);
    } else {
        return QStringLiteral("error unknown ") + line.simplified();
    }
    return done;
}
