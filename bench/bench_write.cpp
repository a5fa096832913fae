// "Записать конфигурацию" of the demo line's Тиврон-А against tivron-sim as the engineer waits for it:
// the pages as a read from the device built them, the device confirmed, the packet list sent with
// its pause after each packet, then the read-back until its pages are built; the main window and
// the real progress window shown, every packet logged by the hidden CAN monitor.
//   BM_WritePacketList: the list alone, from its first packet's progress text to its count; floor
//     packets x Usb_TimerSleep. Before it, "connect_ms": the connect with the progress window showing.
//   BM_WriteWithReadBack: the whole write; floor the list's plus the read's (requests with their
//     pauses, the first answer, Usb_TotalPaket ticks of Usb_TimerSleep), measured in the same run.
// Counter "ratio" at the default Usb_TimerSleep 10, "ratio_no_goal" at 1 and 5.
// With DISPLAY set (and QT_QPA_PLATFORM unset) the windows are drawn on that X server, as the engineer
// sees them; without one, offscreen. The context line "platform" says which it was.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include "bench/exchange_bench.h"
#include "editor/config_write.h"

namespace {

ExchangeBench *g_bench = nullptr;
const QString LoadingPacketText = QStringLiteral("Загрузка пакета №");

struct WriteRun {
    double connectMs = 0, listMs = 0, wholeMs = 0;
    double listStallMs = 0, wholeStallMs = 0; // the machine's stalls within each
    int packets = 0;
};

bool Write(WriteRun &run)
{
    TMainForm &form = g_bench->Main();
    NotingPump &pump = g_bench->Pump();
    const int before = form.PageCounter;
    ExchangeBench::Settle();
    pump.Restart();
    form.actWriteExecute();
    if (!g_bench->WaitForPages(before))
        return false;
    const qint64 wholeEnd = pump.clock.nsecsElapsed();
    run.wholeMs = double(wholeEnd) / 1e6;
    std::size_t first = 0;
    const qint64 connecting = pump.FirstAt(ConnectingText, 0, &first);
    const qint64 start = pump.FirstAt(LoadingPacketText, first, &first);
    const qint64 end = pump.FirstAt(CollectedText, first);
    if (connecting < 0 || start < 0 || end < 0)
        return false;
    run.connectMs = double(start - connecting) / 1e6;
    run.listMs = double(end - start) / 1e6;
    run.packets = pump.Count(LoadingPacketText);
    const MachineStalls &stalls = g_bench->Stalls();
    run.listStallMs = stalls.StalledMs(pump.SteadyNs(start), pump.SteadyNs(end));
    run.wholeStallMs = stalls.StalledMs(pump.startNs, pump.SteadyNs(wholeEnd));
    return true;
}

// Arg: Usb_TimerSleep. whole: the whole write, else the packet list alone (reported as manual time).
void RunWrite(benchmark::State &state, bool whole)
{
    Usb_TotalPaket = 300;
    Usb_TimerSleep = int(state.range(0));
    const bool goal = Usb_TimerSleep == 10;
    TMainForm &form = g_bench->Main();
    form.KeyListView->items().clear();
    if (!g_bench->Read()) { // the pages the write sends, keys included
        state.SkipWithError("the read before the write did not build its pages");
        return;
    }
    SetWriteConfirmationHook([](TSelectDeviceForm &) { return int(mrOk); });
    const double roundTripMs = g_bench->RoundTripMs();
    WriteRun total;
    int packets = 0, requests = 0;
    for (auto _ : state) {
        WriteRun run;
        if (!Write(run)) {
            state.SkipWithError("the write or its read-back did not finish");
            break;
        }
        packets = run.packets;
        requests = g_bench->Requests(); // the read-back asks for the keys just written
        total.connectMs += run.connectMs;
        total.listMs += run.listMs;
        total.wholeMs += run.wholeMs;
        total.listStallMs += run.listStallMs;
        total.wholeStallMs += run.wholeStallMs;
        state.SetIterationTime((whole ? run.wholeMs : run.listMs) / 1000.0);
    }
    SetWriteConfirmationHook(nullptr);
    const double listFloorMs = double(packets) * Usb_TimerSleep;
    const double readFloorMs = double(requests + Usb_TotalPaket) * Usb_TimerSleep +
                               ExchangeBench::FirstAnswerFloorMs(roundTripMs);
    const double floorMs = whole ? listFloorMs + readFloorMs : listFloorMs;
    if (state.iterations() > 0 && floorMs > 0)
        SetRatio(state, (whole ? total.wholeMs : total.listMs) / double(state.iterations()) / floorMs, goal);
    if (state.iterations() > 0)
        SetStalls(state, whole ? total.wholeMs : total.listMs, whole ? total.wholeStallMs : total.listStallMs, floorMs);
    state.counters["floor_ms"] = floorMs;
    state.counters["packets"] = packets;
    if (!whole && state.iterations() > 0)
        state.counters["connect_ms"] = total.connectMs / double(state.iterations());
    if (whole) {
        state.counters["requests"] = requests;
        state.counters["first_answer_ms"] = roundTripMs;
    }
}

void BM_WritePacketList(benchmark::State &state) { RunWrite(state, false); }
void BM_WriteWithReadBack(benchmark::State &state) { RunWrite(state, true); }

BENCHMARK(BM_WritePacketList)->Arg(10)->Arg(5)->Arg(1)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteWithReadBack)->Arg(10)->Arg(5)->Arg(1)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // An X server that cannot be reached leaves Qt on the next platform of the list.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb;offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("platform", QGuiApplication::platformName().toStdString());
    ExchangeBench bench;
    g_bench = &bench;
    if (!bench.Start())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench.Stop();
    return 0;
}
