#include "platform/timer.h"

#include <QTimer>

namespace {
class QtTimerBackend : public ITimerBackend {
public:
    QtTimerBackend(QObject *parent, CTimer *owner) : Timer(new QTimer(parent))
    {
        // A coarse timer may move each tick by up to 5 % of its interval: a collection of so many
        // ticks of so many milliseconds would last longer than it says.
        Timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(Timer, &QTimer::timeout, Timer, [owner] { owner->Tick(); });
    }
    ~QtTimerBackend() override { delete Timer; }
    void Start(int intervalMs) override { Timer->start(intervalMs); }
    void Stop() override { Timer->stop(); }

private:
    QTimer *Timer;
};
} // namespace

CTimer::CTimer(QObject *parent, std::unique_ptr<ITimerBackend> backend)
    : Backend(backend ? std::move(backend) : std::make_unique<QtTimerBackend>(parent, this))
{
}

CTimer::~CTimer() = default;

void CTimer::SetInterval(int ms)
{
    if (ms < 0)
        ms = 0;
    if (ms == IntervalMs)
        return;
    IntervalMs = ms;
    Update();
}

void CTimer::SetEnabled(bool enabled)
{
    if (enabled == IsEnabled)
        return;
    IsEnabled = enabled;
    Update();
}

void CTimer::SetOnTimer(std::function<void()> handler)
{
    OnTimer = std::move(handler);
    Update();
}

void CTimer::Update()
{
    Backend->Stop();
    IsRunning = IntervalMs != 0 && IsEnabled && OnTimer;
    if (IsRunning)
        Backend->Start(IntervalMs);
}

void CTimer::Tick()
{
    if (OnTimer && !Held())
        OnTimer();
}
