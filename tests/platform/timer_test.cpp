#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <string>
#include <vector>

#include "platform/timer.h"

namespace {
struct FakeBackend : ITimerBackend {
    explicit FakeBackend(std::vector<std::string> *log) : Log(log) {}
    void Start(int ms) override { Log->push_back("start " + std::to_string(ms)); }
    void Stop() override { Log->push_back("stop"); }
    std::vector<std::string> *Log;
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
