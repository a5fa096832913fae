#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/timer.h"

namespace {
struct FakeBackend : ITimerBackend {
    explicit FakeBackend(std::vector<std::string> *log) : Log(log) {}
    void Start(int ms) override { Log->push_back("start " + std::to_string(ms)); }
    void Stop() override { Log->push_back("stop"); }
    std::vector<std::string> *Log;
};

// A backend on a clock of its own: a repeating count from each start, as a QTimer keeps it.
struct ClockBackend : ITimerBackend {
    void Start(int ms) override
    {
        interval = ms;
        due = now + ms;
        running = true;
    }
    void Stop() override { running = false; }
    // Moves the clock on, firing every tick that falls due on the way; a handler may move it too
    // (the time its work takes).
    void Advance(int ms)
    {
        const int until = now + ms;
        while (running && due <= until) {
            now = due;
            due += interval;
            ticks.push_back(now);
            timer->Tick();
        }
        now = std::max(now, until);
    }
    CTimer *timer = nullptr;
    int now = 0, due = 0, interval = 0;
    bool running = false;
    std::vector<int> ticks; // when the count fell due
};

std::vector<std::string> Starts(const std::vector<std::string> &log)
{
    std::vector<std::string> starts;
    for (const auto &e : log)
        if (e != "stop")
            starts.push_back(e);
    return starts;
}
} // namespace

TEST(Timer, IntervalZeroIsInertEvenInTheEventLoop)
{
    CTimer timer;
    int ticks = 0;
    timer.SetOnTimer([&] { ++ticks; });
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 0);
}

TEST(Timer, RealTimerTicksOnceArmed)
{
    CTimer timer;
    int ticks = 0;
    timer.SetOnTimer([&] { ++ticks; timer.SetInterval(0); });
    timer.SetInterval(1);
    QElapsedTimer clock;
    clock.start();
    while (ticks == 0 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer.Running());
}

TEST(Timer, RestartsOnlyOnARealChange)
{
    std::vector<std::string> log;
    CTimer timer(nullptr, std::make_unique<FakeBackend>(&log));
    timer.SetInterval(500); // no handler yet: nothing runs
    EXPECT_TRUE(Starts(log).empty());
    timer.SetOnTimer([] {});
    EXPECT_EQ(Starts(log), std::vector<std::string>{"start 500"});

    timer.SetInterval(500); // the same interval: the running count goes on
    EXPECT_EQ(Starts(log).size(), 1u);

    timer.SetEnabled(true); // already enabled: nothing
    EXPECT_EQ(Starts(log).size(), 1u);

    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Running());
    timer.SetEnabled(true); // toggling restarts it
    EXPECT_EQ(Starts(log), (std::vector<std::string>{"start 500", "start 500"}));

    timer.SetInterval(200);
    EXPECT_EQ(Starts(log).back(), "start 200");
    timer.SetInterval(-5); // a negative interval is as inert as 0
    EXPECT_EQ(timer.Interval(), 0);
    EXPECT_FALSE(timer.Running());
    EXPECT_EQ(log.back(), "stop");
}

TEST(Timer, AHeldTickKeepsTheScheduleWhereDisablingRestartsIt)
{
    for (const bool hold : {true, false}) {
        SCOPED_TRACE(hold ? "held" : "disabled and enabled");
        auto backend = std::make_unique<ClockBackend>();
        ClockBackend &clock = *backend;
        CTimer timer(nullptr, std::move(backend));
        clock.timer = &timer;
        std::vector<int> handled; // when each tick's work began
        timer.SetOnTimer([&] {
            handled.push_back(clock.now);
            if (hold) {
                const CTimer::Hold held(timer);
                clock.Advance(3); // its progress texts let the clock run on
            } else {
                timer.SetEnabled(false);
                clock.Advance(3);
                timer.SetEnabled(true);
            }
        });
        timer.SetInterval(10);
        clock.Advance(40);
        if (hold)
            EXPECT_EQ(handled, (std::vector<int>{10, 20, 30, 40}));
        else
            EXPECT_EQ(handled, (std::vector<int>{10, 23, 36})); // other users keep the restart
        EXPECT_FALSE(timer.Held());
        EXPECT_TRUE(timer.Enabled());
    }
}

TEST(Timer, ATickDueWhileHeldIsSkippedAndTheLastTickCanStopIt)
{
    auto backend = std::make_unique<ClockBackend>();
    ClockBackend &clock = *backend;
    CTimer timer(nullptr, std::move(backend));
    clock.timer = &timer;
    std::vector<int> handled;
    timer.SetOnTimer([&] {
        handled.push_back(clock.now);
        const CTimer::Hold held(timer);
        if (handled.size() == 1)
            clock.Advance(12); // a long first tick: the one due at 20 comes while it runs
        if (handled.size() == 3)
            timer.SetInterval(0); // the collection ends
    });
    timer.SetInterval(10);
    clock.Advance(100);
    EXPECT_EQ(clock.ticks, (std::vector<int>{10, 20, 30, 40}));
    EXPECT_EQ(handled, (std::vector<int>{10, 30, 40}));
    EXPECT_FALSE(timer.Running());
    EXPECT_FALSE(timer.Held());

    // Ticks called from outside are held back the same way.
    int outside = 0;
    timer.SetOnTimer([&] { ++outside; });
    {
        const CTimer::Hold held(timer);
        timer.Tick();
    }
    EXPECT_EQ(outside, 0);
    timer.Tick();
    EXPECT_EQ(outside, 1);
}

TEST(PreciseSleep, WakesEarlierByTheLatenessItSawAndNeverBeforeTheMoment)
{
    const int64_t ms = 1000000;
    int64_t now = 0, lateness = 400000; // the system wakes every sleeper this late
    int sleeps = 0;
    // Each look at the clock costs 10 us.
    CPreciseSleep sleep([&] { return now += 10000; },
                        [&](int64_t until) {
                            ++sleeps;
                            now = std::max(now, until + lateness);
                        });
    const auto pause = [&] {
        const int64_t deadline = now + 10 * ms;
        sleep.Until(deadline);
        EXPECT_GE(now, deadline);
        return now - deadline;
    };
    EXPECT_GE(pause(), lateness); // the first pause learns it
    for (int i = 0; i < 10; ++i)
        pause();
    EXPECT_LT(pause(), 50000); // later ones come back on time
    EXPECT_NEAR(double(sleep.EarlyNs()), 410000.0, 30000.0);
    EXPECT_EQ(sleeps, 12);

    // The system turns prompt: the early start shrinks, what is left is waited out awake.
    lateness = 0;
    for (int i = 0; i < 12; ++i)
        EXPECT_LT(pause(), 30000);
    EXPECT_LT(sleep.EarlyNs(), 30000);
}
