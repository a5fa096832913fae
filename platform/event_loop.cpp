#include "platform/event_loop.h"

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
