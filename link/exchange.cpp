#include "link/exchange.h"

namespace {
int g_exchanges = 0;
}

void BeginExchange() { ++g_exchanges; }

void EndExchange()
{
    if (g_exchanges > 0)
        --g_exchanges;
}

bool ExchangeInProgress() { return g_exchanges > 0; }
