#include "platform/event_loop.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QThread>

namespace {
std::function<void()> &PumpHook()
{
    static std::function<void()> hook;
    return hook;
}
std::function<void(int)> &SleepHook()
{
    static std::function<void(int)> hook;
    return hook;
}
} // namespace

void ProcessMessages()
{
    if (PumpHook())
        PumpHook()();
    else
        QCoreApplication::processEvents();
}

void SleepMs(int ms)
{
    if (SleepHook())
        SleepHook()(ms);
    else if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void SetProcessMessagesHook(std::function<void()> hook) { PumpHook() = std::move(hook); }
void SetSleepHook(std::function<void(int)> hook) { SleepHook() = std::move(hook); }

int64_t CPreciseSleep::SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CPreciseSleep::CPreciseSleep(Clock now, SleepUntil sleepUntil)
    : Now(now ? std::move(now) : Clock(&CPreciseSleep::SteadyNowNs)), Sleep(std::move(sleepUntil))
{
    if (!Sleep)
        Sleep = [](int64_t ns) {
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns)));
        };
}

void CPreciseSleep::Until(int64_t deadlineNs)
{
    const int64_t wake = deadlineNs - EarlyNs_;
    if (Now() < wake) {
        Sleep(wake);
        // How late this wake came, weighed with the earlier ones.
        const int64_t late = std::clamp<int64_t>(Now() - wake, 0, MaxEarlyNs);
        EarlyNs_ = (3 * EarlyNs_ + late) / 4;
    }
    while (Now() < deadlineNs) {
    }
}
