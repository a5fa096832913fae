#pragma once
// A program-wide count of exchanges with a device in progress: the list sender and the pattern
// wait hold one while they run, a read from its requests until its pages are built, a write until
// its read-back starts. Whatever would disconnect the adapter (the CAN monitor's close, New,
// Open) asks ExchangeInProgress first.
#include <functional>

void BeginExchange();
void EndExchange();
bool ExchangeInProgress();

// Runs callback once, when the last exchange in progress ends (at once when none is): a disconnect
// asked for meanwhile waits for it. Returns an id for CancelExchangesEndCall, 0 when it ran at once.
// An exception the callback throws is dropped, since the end of an exchange may be a destructor.
int CallWhenExchangesEnd(std::function<void()> callback);
// Drops a call that has not run yet; an unknown id is ignored.
void CancelExchangesEndCall(int id);

// Holds an exchange for one scope; nests.
class ExchangeScope {
public:
    ExchangeScope() { BeginExchange(); }
    ~ExchangeScope() { EndExchange(); }
    ExchangeScope(const ExchangeScope &) = delete;
    ExchangeScope &operator=(const ExchangeScope &) = delete;
};
