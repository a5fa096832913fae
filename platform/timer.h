#pragma once
#include <functional>
#include <memory>

class QObject;

// What actually counts the time for a CTimer. Tests put in a fake and fire the ticks themselves.
class ITimerBackend {
public:
    virtual ~ITimerBackend() = default;
    virtual void Start(int intervalMs) = 0;
    virtual void Stop() = 0;
};

// A timer with the old class library's rules: interval 0 is inert (a QTimer with interval 0 would fire on
// every pass of the event loop), setting the interval it already has does not restart it, changing
// Enabled restarts it, and it runs only while it has a handler.
class CTimer {
public:
    // Holds the ticks back while it lives without touching the count, so a tick that must not be
    // entered again while its progress texts let events through keeps its schedule: the next tick
    // comes one interval after this one was due, not one interval after the work. (Disabling and
    // enabling restarts the count, which adds each tick's work to the interval.) A tick due while
    // held is skipped.
    class Hold {
    public:
        explicit Hold(CTimer &timer) : Timer(timer) { ++Timer.Holds; }
        ~Hold() { --Timer.Holds; }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        CTimer &Timer;
    };

    // Without a backend it counts with a QTimer owned by parent.
    explicit CTimer(QObject *parent = nullptr, std::unique_ptr<ITimerBackend> backend = nullptr);
    ~CTimer();
    CTimer(const CTimer &) = delete;
    CTimer &operator=(const CTimer &) = delete;

    int Interval() const { return IntervalMs; }
    void SetInterval(int ms);
    bool Enabled() const { return IsEnabled; }
    void SetEnabled(bool enabled);
    void SetOnTimer(std::function<void()> handler);
    // The backend is counting towards a tick.
    bool Running() const { return IsRunning; }
    bool Held() const { return Holds > 0; }
    // One elapsed interval: runs the handler unless held. The backend calls it; tests may too.
    void Tick();

private:
    void Update();

    std::unique_ptr<ITimerBackend> Backend;
    std::function<void()> OnTimer;
    int IntervalMs = 0;
    bool IsEnabled = true;
    bool IsRunning = false;
    int Holds = 0;
};
