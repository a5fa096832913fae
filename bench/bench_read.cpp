// A configuration read of the demo line's Тиврон-А against tivron-sim as the engineer waits for it:
// from the requests to the pages built, with the main window and the real progress window shown and
// every packet logged by the hidden CAN monitor. Its floor, measured in the same run: the requests
// with their pauses, the first answer, and the collection of Usb_TotalPaket ticks of Usb_TimerSleep.
// Counter "ratio" at the default settings (300 ticks of 10 ms), "ratio_no_goal" at 1 and 5 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include "bench/exchange_bench.h"

namespace {

ExchangeBench *g_bench = nullptr;

// Args: Usb_TotalPaket, Usb_TimerSleep.
void BM_ReadDevice(benchmark::State &state)
{
    Usb_TotalPaket = int(state.range(0));
    Usb_TimerSleep = int(state.range(1));
    const bool goal = Usb_TotalPaket == 300 && Usb_TimerSleep == 10;
    TMainForm &form = g_bench->Main();
    form.KeyListView->items().clear(); // 7 requests: six tables and every key at once
    const double roundTripMs = g_bench->RoundTripMs();
    const int requests = g_bench->Requests();
    const double floorMs = double(requests + Usb_TotalPaket) * Usb_TimerSleep +
                           ExchangeBench::FirstAnswerFloorMs(roundTripMs);
    double wallMs = 0, stalledMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ExchangeBench::Settle();
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        const int64_t fromNs = CPreciseSleep::SteadyNowNs();
        if (!g_bench->Read()) {
            state.SkipWithError("the read did not build its pages");
            break;
        }
        wallMs += double(clock.nsecsElapsed()) / 1e6;
        stalledMs += g_bench->Stalls().StalledMs(fromNs, CPreciseSleep::SteadyNowNs());
        form.KeyListView->items().clear();
    }
    if (state.iterations() > 0)
        SetRatio(state, wallMs / double(state.iterations()) / floorMs, goal);
    SetStalls(state, wallMs, stalledMs, floorMs);
    state.counters["floor_ms"] = floorMs;
    state.counters["first_answer_ms"] = roundTripMs;
    state.counters["requests"] = requests;
    state.counters["packets"] = double(UsbCan.RxPackets.size());
}
BENCHMARK(BM_ReadDevice)
    ->Args({300, 10})
    ->Args({300, 5})
    ->Args({300, 1})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    ExchangeBench bench;
    g_bench = &bench;
    if (!bench.Start())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench.Stop();
    return 0;
}
