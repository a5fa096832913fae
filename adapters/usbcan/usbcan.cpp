// Adapter library over Qt SerialBus: one QCanBusDevice in a thread of its own, polled by the program.
#include "adapters/usbcan/usbcan_api.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QMetaObject>
#include <QRegularExpression>
#include <QThread>

#include "adapters/usbcan/bus_choice.h"

namespace {

constexpr int kDefaultConnectTimeoutMs = 5000;

int ConnectTimeoutMs()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("TIVRON_CANBUS_TIMEOUT_MS", &ok);
    return ok && value >= 0 ? value : kDefaultConnectTimeoutMs;
}

// The interface numbered n among the plugin's listed ones (can0, usb0, ... for n = 0).
QString NumberedInterface(const QList<QCanBusDeviceInfo> &listed, int n)
{
    QStringList names;
    for (const QCanBusDeviceInfo &info : listed)
        names << info.name();
    names.sort();
    static const QRegularExpression trailingNumber(QStringLiteral("(\\d+)$"));
    for (const QString &name : names) {
        const QRegularExpressionMatch m = trailingNumber.match(name);
        if (m.hasMatch() && m.captured(1).toInt() == n)
            return name;
    }
    return QString();
}

class Bus {
public:
    ~Bus();

    int32_t Connect(uint8_t adapter, uint16_t baudCode);
    int32_t Disconnect();
    bool Take(CanPacket &record);
    int32_t Send(uint32_t identifier, const uint8_t *data, int32_t count);
    uint32_t Dropped();
    void Shutdown();

private:
    template <class F> void RunInBusThread(F &&f)
    {
        QMetaObject::invokeMethod(context_, std::forward<F>(f), Qt::BlockingQueuedConnection);
    }
    void StartThread();
    int32_t OpenInBusThread(const BusChoice &choice, uint8_t adapter, std::optional<int> bitRate,
                            bool *connectedAtOnce);
    void CloseInBusThread();
    void TakeFramesInBusThread();

    std::mutex apiMutex_;            // one connect, disconnect or send at a time
    QThread *thread_ = nullptr;
    QObject *context_ = nullptr;     // lives in thread_: the target of every call into it
    QCanBusDevice *device_ = nullptr; // created, used and deleted in thread_ only

    std::mutex queueMutex_;
    std::condition_variable stateChanged_;
    std::deque<CanPacket> queue_;
    uint32_t dropped_ = 0;
    bool connected_ = false;
    bool failed_ = false;
};

Bus g_bus;

// Runs while the host's QCoreApplication is destroyed, when the plugins are still loaded.
void ShutdownAtApplicationEnd() { g_bus.Shutdown(); }

Bus::~Bus()
{
    qRemovePostRoutine(&ShutdownAtApplicationEnd);
    Shutdown();
}

void Bus::StartThread()
{
    if (thread_)
        return;
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("UsbCAN bus"));
    context_ = new QObject;
    context_->moveToThread(thread_);
    thread_->start();
    qAddPostRoutine(&ShutdownAtApplicationEnd);
}

void Bus::Shutdown()
{
    std::lock_guard api(apiMutex_);
    if (!thread_)
        return;
    RunInBusThread([this] { CloseInBusThread(); });
    thread_->quit();
    thread_->wait();
    delete context_;
    delete thread_;
    context_ = nullptr;
    thread_ = nullptr;
}

int32_t Bus::Connect(uint8_t adapter, uint16_t baudCode)
{
    std::lock_guard api(apiMutex_);
    if (!QCoreApplication::instance())
        return UsbCanNoApplication;
    StartThread();

    bool keep = false;
    RunInBusThread([&] { keep = device_ && device_->state() == QCanBusDevice::ConnectedState; });
    if (keep)
        return UsbCanOk; // the open device keeps its queue: no answer already queued is lost

    const BusChoice choice = ChooseBusFromEnvironment();
    const std::optional<int> bitRate = BitRateOfCode(baudCode);
    int32_t code = UsbCanOk;
    bool connectedAtOnce = false;
    RunInBusThread([&] {
        CloseInBusThread();
        code = OpenInBusThread(choice, adapter, bitRate, &connectedAtOnce);
    });
    if (code != UsbCanOk)
        return code;

    // virtualcan connects asynchronously: frames written before it is connected are lost.
    const int timeoutMs = ConnectTimeoutMs();
    bool connected = connectedAtOnce;
    bool failed = false;
    if (!connected && timeoutMs > 0) {
        std::unique_lock lock(queueMutex_);
        stateChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this] { return connected_ || failed_; });
        connected = connected_;
        failed = failed_;
    }
    if (connected)
        return UsbCanOk;
    RunInBusThread([this] { CloseInBusThread(); });
    return failed ? UsbCanOpenFailed : UsbCanTimeout;
}

int32_t Bus::OpenInBusThread(const BusChoice &choice, uint8_t adapter, std::optional<int> bitRate,
                             bool *connectedAtOnce)
{
    QCanBus *bus = QCanBus::instance();
    if (!bus->plugins().contains(choice.plugin))
        return UsbCanUnknownPlugin;

    QString error;
    const QList<QCanBusDeviceInfo> listed = bus->availableDevices(choice.plugin, &error);
    QString interface = choice.interface;
    if (interface.isEmpty()) {
        interface = NumberedInterface(listed, int(adapter) - 1);
        if (interface.isEmpty())
            return UsbCanUnknownInterface;
    } else {
        // virtualcan would connect any name and silently share can0.
        const QString name = ListedInterfaceName(choice.plugin, interface);
        const bool isListed = std::any_of(listed.begin(), listed.end(),
                                          [&](const QCanBusDeviceInfo &i) { return i.name() == name; });
        if (!isListed)
            return UsbCanUnknownInterface;
    }

    QCanBusDevice *device = bus->createDevice(choice.plugin, interface, &error);
    if (!device)
        return UsbCanOpenFailed;
    if (bitRate && choice.plugin != QLatin1String("virtualcan"))
        device->setConfigurationParameter(QCanBusDevice::BitRateKey, *bitRate);

    {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
        dropped_ = 0;
        connected_ = false;
        failed_ = false;
    }
    QObject::connect(device, &QCanBusDevice::framesReceived, context_, [this] { TakeFramesInBusThread(); });
    QObject::connect(device, &QCanBusDevice::stateChanged, context_,
                     [this](QCanBusDevice::CanBusDeviceState state) {
                         {
                             std::lock_guard lock(queueMutex_);
                             connected_ = state == QCanBusDevice::ConnectedState;
                             if (state == QCanBusDevice::UnconnectedState)
                                 failed_ = true;
                         }
                         stateChanged_.notify_all();
                     });
    QObject::connect(device, &QCanBusDevice::errorOccurred, context_, [this](QCanBusDevice::CanBusError e) {
        if (e != QCanBusDevice::ConnectionError)
            return;
        {
            std::lock_guard lock(queueMutex_);
            failed_ = true;
        }
        stateChanged_.notify_all();
    });
    device_ = device;
    if (!device->connectDevice()) {
        CloseInBusThread();
        return UsbCanOpenFailed;
    }
    *connectedAtOnce = device->state() == QCanBusDevice::ConnectedState;
    return UsbCanOk;
}

void Bus::CloseInBusThread()
{
    if (!device_)
        return;
    QObject::disconnect(device_, nullptr, context_, nullptr);
    if (device_->state() != QCanBusDevice::UnconnectedState)
        device_->disconnectDevice();
    delete device_;
    device_ = nullptr;
    std::lock_guard lock(queueMutex_);
    connected_ = false;
}

void Bus::TakeFramesInBusThread()
{
    if (!device_)
        return;
    const QList<QCanBusFrame> frames = device_->readAllFrames();
    std::lock_guard lock(queueMutex_);
    for (const QCanBusFrame &frame : frames) {
        if (!frame.isValid() || frame.frameType() != QCanBusFrame::DataFrame || !frame.hasExtendedFrameFormat())
            continue;
        CanPacket record;
        const uint32_t id = frame.frameId();
        record[0] = uint8_t(id >> 24);
        record[1] = uint8_t(id >> 16);
        record[2] = uint8_t(id >> 8);
        record[3] = uint8_t(id);
        const QByteArray payload = frame.payload();
        std::memcpy(record.bytes + 4, payload.constData(), std::min<std::size_t>(payload.size(), 8));
        // Beyond the capacity the oldest go, so a flooded line cannot eat the memory.
        if (queue_.size() >= UsbCanQueueCapacity) {
            queue_.pop_front();
            ++dropped_;
        }
        queue_.push_back(record);
    }
}

int32_t Bus::Disconnect()
{
    std::lock_guard api(apiMutex_);
    if (thread_)
        RunInBusThread([this] { CloseInBusThread(); });
    std::lock_guard lock(queueMutex_);
    queue_.clear();
    return UsbCanOk;
}

bool Bus::Take(CanPacket &record)
{
    std::lock_guard lock(queueMutex_);
    if (queue_.empty())
        return false;
    record = queue_.front();
    queue_.pop_front();
    return true;
}

int32_t Bus::Send(uint32_t identifier, const uint8_t *data, int32_t count)
{
    if (count < 0 || count > 8 || (count > 0 && !data))
        return UsbCanBadArgument;
    QCanBusFrame frame(identifier & 0x1FFFFFFFu,
                       QByteArray(reinterpret_cast<const char *>(data), count));
    frame.setExtendedFrameFormat(true);

    std::lock_guard api(apiMutex_);
    if (!thread_)
        return UsbCanNotConnected;
    int32_t code = UsbCanNotConnected;
    RunInBusThread([&] {
        if (device_ && device_->state() == QCanBusDevice::ConnectedState)
            code = device_->writeFrame(frame) ? UsbCanOk : UsbCanWriteFailed;
    });
    return code;
}

uint32_t Bus::Dropped()
{
    std::lock_guard lock(queueMutex_);
    return dropped_;
}

} // namespace

extern "C" {

int32_t DLL_Device_Connect(uint8_t adapter, uint16_t baudCode, uint8_t, uint8_t)
{
    return g_bus.Connect(adapter, baudCode);
}

int32_t DLL_Device_Disconnect() { return g_bus.Disconnect(); }

uint8_t DLL_Rx_Buffer_Data(CanPacket *record, uint8_t)
{
    if (!record)
        return 0;
    return g_bus.Take(*record) ? 1 : 0;
}

int32_t DLL_Tx_Data(uint32_t identifier, uint8_t *data, int32_t count)
{
    return g_bus.Send(identifier, data, count);
}

uint32_t DLL_Rx_Dropped() { return g_bus.Dropped(); }

} // extern "C"
