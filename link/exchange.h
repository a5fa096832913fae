#pragma once
// A program-wide count of exchanges with a device in progress: the list sender and the pattern
// wait hold one while they run, a read from its requests until its pages are built, a write until
// its read-back starts. Whatever would disconnect the adapter (the CAN monitor's close, New,
// Open) asks ExchangeInProgress first.

void BeginExchange();
void EndExchange();
bool ExchangeInProgress();

// Holds an exchange for one scope; nests.
class ExchangeScope {
public:
    ExchangeScope() { BeginExchange(); }
    ~ExchangeScope() { EndExchange(); }
    ExchangeScope(const ExchangeScope &) = delete;
    ExchangeScope &operator=(const ExchangeScope &) = delete;
};
