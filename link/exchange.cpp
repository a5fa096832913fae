#include "link/exchange.h"

#include <utility>
#include <vector>

namespace {

int g_exchanges = 0;
bool g_cancelled = false;

struct EndCall {
    int id;
    std::function<void()> callback;
};

std::vector<EndCall> &EndCalls()
{
    static std::vector<EndCall> calls;
    return calls;
}

int g_nextCallId = 0;

void RunQuietly(const std::function<void()> &callback)
{
    try {
        callback();
    } catch (...) {
    }
}

} // namespace

void BeginExchange() { ++g_exchanges; }

void EndExchange()
{
    if (g_exchanges == 0)
        return;
    if (--g_exchanges > 0)
        return;
    g_cancelled = false;
    // A callback may start an exchange of its own or register another call: take the list first.
    std::vector<EndCall> due = std::exchange(EndCalls(), {});
    for (const EndCall &call : due)
        RunQuietly(call.callback);
}

bool ExchangeInProgress() { return g_exchanges > 0; }

void CancelExchanges()
{
    if (g_exchanges > 0)
        g_cancelled = true;
}

bool ExchangesCancelled() { return g_cancelled; }

int CallWhenExchangesEnd(std::function<void()> callback)
{
    if (!callback)
        return 0;
    if (!ExchangeInProgress()) {
        RunQuietly(callback);
        return 0;
    }
    if (++g_nextCallId <= 0)
        g_nextCallId = 1;
    EndCalls().push_back({g_nextCallId, std::move(callback)});
    return g_nextCallId;
}

void CancelExchangesEndCall(int id)
{
    if (id == 0)
        return;
    std::vector<EndCall> &calls = EndCalls();
    for (auto it = calls.begin(); it != calls.end(); ++it) {
        if (it->id == id) {
            calls.erase(it);
            return;
        }
    }
}
