#pragma once
#include <functional>

// Runs an event handler so that no exception crosses Qt: one that leaves the handler is shown
// the way the application shows exceptions, and the program goes on.
void RunGuarded(const std::function<void()> &handler);
