#pragma once
#include <functional>

// Letting the windows process their messages, and sleeping. Tests replace both so waits run without
// real time passing.
void ProcessMessages();
void SleepMs(int ms);

// An empty hook restores the real one.
void SetProcessMessagesHook(std::function<void()> hook);
void SetSleepHook(std::function<void(int ms)> hook);
