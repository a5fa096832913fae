#pragma once
// A program-wide count of exchanges with a device in progress. The list sender and the pattern
// wait hold one while they run; so do a read from its requests until its pages are built, a write
// until its read-back holds its own, the single-key exchange, the key-code read from the line and
// the auto-increment countdown. Their waits let messages through, so other handlers run inside
// them: the main window refuses its device commands meanwhile (TMainForm::RunDeviceCommand), and
// the CAN monitor's and the service window's close defer their disconnect until the last one ends.
#include <functional>

void BeginExchange();
void EndExchange();
bool ExchangeInProgress();

// The program is closing: every exchange in progress is to end at once. Waits and the list sender
// give up at their next pass, and their callers show nothing; the flag holds until the last
// exchange has ended. Does nothing when none runs.
void CancelExchanges();
bool ExchangesCancelled();

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
