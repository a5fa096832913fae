// The CAN monitor's log: appending rows to the store and through the grid model (time and memory
// per row), and the shown window against a line the simulator floods at 8,000 frames per second for
// ten seconds (frames sent, shown and dropped, memory per row, the event loop's longest stall).
// Linux: the thread's CPU time and the resident memory come from the kernel.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QTableView>
#include <QTimer>

#include <ctime>

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

// The CPU time of the calling thread: a stall it does not account for was the machine's, not ours.
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The process's resident memory in bytes (Linux), 0 where it cannot be read.
double ResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024;
    return 0;
}

// The noise number a received noise row carries in its first four data bytes, or -1.
int64_t NoiseNumber(const CPacketRowStore &grid, int row)
{
    if (!grid.Cell(row, 2).startsWith(QLatin1String("7E")) || grid.Cell(row, 4) != PacketRowReceived)
        return -1;
    bool ok = false;
    const uint32_t n = grid.Cell(row, 3).left(8).toUInt(&ok, 16);
    return ok ? int64_t(n) : -1;
}

// The shown monitor, its box checked and its tick at the designed 1000 ms, while the simulator
// floods the line. Args: frames per second, seconds. Counts the frames the simulator put on the
// bus, the rows the grid shows (and whether they came in order, none missing between the first and
// the last), the frames the adapter library dropped and those its loss rows report, the memory of
// the log per row (and the process's growth per row, the received-packet list and the grid's view
// included) and the event loop's longest stall (the longest gap between the ticks of a 1-ms probe),
// with the longest the window's thread itself was busy within one such gap (the rest of a stall
// is the machine's: other processes, a virtual machine's stolen time).
void BM_MonitorOnFloodedLine(benchmark::State &state)
{
    const int rate = int(state.range(0));
    const int seconds = int(state.range(1));
    double sent = 0, shown = 0, dropped = 0, lost = 0, stall = 0, busy = 0, bytesPerRow = 0, residentPerRow = 0,
           inOrder = 0;
    for (auto _ : state) {
        TShowPaketsForm form;
        form.CheckBox_CanMonitor->setChecked(true);
        form.show();
        // The window's first layout and paint are not the flood's.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const uint32_t droppedBefore = g_dropped ? g_dropped() : 0;
        const double residentBefore = ResidentBytes();

        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(1);
        QElapsedTimer sinceProbe;
        qint64 longest = 0;
        double longestBusy = 0, cpuAtProbe = ThreadCpuMs();
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceProbe.restart());
            const double cpu = ThreadCpuMs();
            longestBusy = std::max(longestBusy, cpu - cpuAtProbe);
            cpuAtProbe = cpu;
        });
        if (!g_sim->Control(QStringLiteral("flood %1 %2").arg(rate).arg(seconds * 1000)).startsWith(QStringLiteral("ok "))) {
            state.SkipWithError("the simulator refused the flood");
            break;
        }
        sinceProbe.start();
        probe.start();
        // Until the simulator says how many it sent, then two more of the monitor's ticks.
        QByteArray out;
        qint64 flooded = -1;
        QElapsedTimer run;
        run.start();
        qint64 endedAt = 0;
        while (run.elapsed() < (seconds + 30) * 1000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); // the probe wakes it
            if (flooded < 0) {
                out += g_sim->Process().readAllStandardOutput();
                const qsizetype at = out.indexOf("flooded ");
                if (at >= 0 && out.indexOf('\n', at) > at) {
                    flooded = out.mid(at + 8, out.indexOf('\n', at) - at - 8).trimmed().toLongLong();
                    endedAt = run.elapsed();
                }
            } else if (run.elapsed() - endedAt > 2200) {
                break;
            }
        }
        probe.stop();
        form.Rows().Flush();

        const CPacketRowStore &grid = form.Grid();
        int64_t previous = -1;
        int64_t count = 0;
        bool ordered = true;
        double lossRows = 0;
        for (int row : grid.LossRows())
            lossRows += grid.Cell(row, 2).mid(LostPacketsPrefix.size()).toDouble();
        for (int row = 1; row < grid.RowCount() - 1; ++row) {
            const int64_t n = NoiseNumber(grid, row);
            if (n < 0)
                continue;
            ordered = ordered && (previous < 0 || n == previous + 1);
            previous = n;
            ++count;
        }
        sent = double(flooded);
        shown = double(std::min<int64_t>(count, form.StringGridPaket->model()->rowCount() - 1));
        dropped = g_dropped ? double(g_dropped() - droppedBefore) : -1;
        stall = double(longest);
        busy = longestBusy;
        bytesPerRow = grid.PacketCount() ? double(grid.MemoryBytes()) / grid.PacketCount() : 0;
        residentPerRow = grid.PacketCount() ? (ResidentBytes() - residentBefore) / grid.PacketCount() : 0;
        inOrder = ordered ? 1 : 0;
        lost = lossRows;
        form.close();
        UsbCan.RxPackets.clear();
        UsbCan.RxPackets.shrink_to_fit();
    }
    state.counters["frames_sent"] = sent;
    state.counters["frames_shown"] = shown;
    state.counters["frames_dropped"] = dropped;
    state.counters["lost_in_rows"] = lost;
    state.counters["in_order"] = inOrder;
    state.counters["bytes_per_row"] = bytesPerRow;
    state.counters["resident_per_row"] = residentPerRow;
    state.counters["longest_stall_ms"] = stall;
    state.counters["longest_busy_ms"] = busy;
}
BENCHMARK(BM_MonitorOnFloodedLine)->Args({8000, 10})->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

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
