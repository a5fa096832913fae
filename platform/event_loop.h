#pragma once
#include <cstdint>
#include <functional>

// Letting the windows process their messages, and sleeping. Tests replace both so waits run without
// real time passing.
void ProcessMessages();
void SleepMs(int ms);

// An empty hook restores the real one.
void SetProcessMessagesHook(std::function<void()> hook);
void SetSleepHook(std::function<void(int ms)> hook);

// Sleeps until a moment on the steady clock, as exactly as the system lets it. A sleeper is woken a
// little late (a fraction of a millisecond, more on a loaded or virtual machine), so it sleeps that
// much less, as it last saw it, and waits out the rest awake; it never returns before the moment.
// Tests give a clock and a sleep of their own.
class CPreciseSleep {
public:
    using Clock = std::function<int64_t()>;           // now, in nanoseconds
    using SleepUntil = std::function<void(int64_t)>;  // sleeps until that many nanoseconds
    explicit CPreciseSleep(Clock now = {}, SleepUntil sleepUntil = {});

    static int64_t SteadyNowNs();
    void Until(int64_t deadlineNs);
    // How much earlier than the moment it goes to sleep.
    int64_t EarlyNs() const { return EarlyNs_; }

    // At most this early: the rest is waited out awake.
    static constexpr int64_t MaxEarlyNs = 1000000;

private:
    Clock Now;
    SleepUntil Sleep;
    int64_t EarlyNs_ = 0;
};
