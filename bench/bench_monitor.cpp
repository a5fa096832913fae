// The CAN monitor's log: appending rows to the store and through the grid model (time and memory
// per row), and the shown window against a line the simulator floods at 8,000 frames per second
// (rows logged and shown per second, the event loop's longest stall, frames the adapter dropped).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLibrary>
#include <QTableView>
#include <QTimer>

#include "link/packet_log.h"
#include "link/packet_row_model.h"
#include "link/packet_rows.h"
#include "link/show_pakets_form.h"
#include "link/usb_can.h"
#include "tests/sim/sim_process_fixture.h"

namespace {

constexpr int kRows = 100000;

void AppendRows(PacketLog &log, int count)
{
    for (int i = 0; i < count; ++i) {
        log.AddPacketRow(QStringLiteral("14:05:09"), QStringLiteral("85FF0203"), QStringLiteral("0102030405060708"),
                         i % 2 ? PacketRowReceived : PacketRowSent);
    }
}

class StoreLog : public PacketLog {
public:
    void AddPacketRow(const QString &time, const QString &id, const QString &data, const QString &action) override
    {
        store.Append(time, id, data, action);
    }
    CPacketRowStore store;
};

void BM_AppendRowsToStore(benchmark::State &state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        StoreLog log;
        AppendRows(log, kRows);
        bytes = log.store.MemoryBytes();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["bytes_per_row"] = double(bytes) / kRows;
}
BENCHMARK(BM_AppendRowsToStore)->Unit(benchmark::kMillisecond);

// Through the model with a view attached: the rows reach the view in one batch.
void BM_AppendRowsThroughGrid(benchmark::State &state)
{
    for (auto _ : state) {
        CPacketRowModel model;
        QTableView view;
        view.setModel(&model);
        view.resize(436, 500);
        view.show();
        AppendRows(model, kRows);
        model.Flush();
        view.scrollToBottom();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_AppendRowsThroughGrid)->Unit(benchmark::kMillisecond);

SimProcess *g_sim = nullptr;
RxDroppedFn g_dropped = nullptr;

// The shown monitor while the simulator sends 80 frames every 10 ms. Argument: the interval of the
// monitor's drain in ms (1000 as designed; 1 as while a wait drains the adapter every pass).
void BM_MonitorOnFloodedLine(benchmark::State &state)
{
    const int drainMs = int(state.range(0));
    const int seconds = 3;
    double logged = 0, shown = 0, stall = 0, dropped = 0;
    for (auto _ : state) {
        TShowPaketsForm form;
        form.Timer_checkRx->setInterval(drainMs);
        form.CheckBox_CanMonitor->setChecked(true);
        form.show();
        if (g_dropped)
            g_dropped(); // touch: the count runs from the connect
        const uint32_t droppedBefore = g_dropped ? g_dropped() : 0;

        QTimer feed;
        feed.setInterval(10);
        QObject::connect(&feed, &QTimer::timeout, [] {
            g_sim->Process().write("noise 80\n");
            g_sim->Process().readAllStandardOutput();
        });
        // A 1 ms probe: the longest gap between its ticks is the longest the window did not respond.
        QTimer probe;
        probe.setInterval(1);
        QElapsedTimer sinceProbe;
        qint64 longest = 0;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceProbe.restart());
        });
        QElapsedTimer run;
        run.start();
        sinceProbe.start();
        feed.start();
        probe.start();
        while (run.elapsed() < seconds * 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        feed.stop();
        probe.stop();
        form.Rows().Flush();

        logged = form.Grid().PacketCount() / double(seconds);
        shown = (form.StringGridPaket->model()->rowCount() - 1) / double(seconds);
        stall = double(longest);
        dropped = g_dropped ? double(g_dropped() - droppedBefore) : -1;
        form.close();
        UsbCan.RxPackets.clear();
    }
    state.counters["rows_logged_per_s"] = logged;
    state.counters["rows_shown_per_s"] = shown;
    state.counters["longest_stall_ms"] = stall;
    state.counters["frames_dropped"] = dropped;
}
BENCHMARK(BM_MonitorOnFloodedLine)->Arg(1000)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    g_sim = new SimProcess;
    if (!g_sim->Start()) {
        std::fprintf(stderr, "bench_monitor: the simulator did not start\n");
        return 1;
    }
    qputenv("TIVRON_CANBUS", g_sim->Bus().toLocal8Bit());
    if (!UsbCan.LoadDllFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/DLL/libUsbCAN.so")) ||
        UsbCan.Connect() != 0) {
        std::fprintf(stderr, "bench_monitor: the adapter library did not connect\n");
        return 1;
    }
    g_dropped = reinterpret_cast<RxDroppedFn>(UsbCanDllHandle->resolve("DLL_Rx_Dropped"));
    // The monitor found the adapter connected, so closing it leaves it so.
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    UsbCan.FreeDll();
    delete g_sim;
    return 0;
}
