// Frames per second and round-trip latency through libUsbCAN.so and the virtual bus to the
// simulator and back, and the cost of one drain per frame. Starts tivron-sim on a free port.
#include <benchmark/benchmark.h>

#include <deque>

#include <QDeadlineTimer>
#include <QCoreApplication>
#include <QThread>

#include "link/usb_can.h"
#include "tests/sim/sim_process_fixture.h"

namespace {

SimProcess *g_sim = nullptr;
CUsbCan g_link; // its own object, so the fake-table benchmark never touches the real one

std::deque<CanPacket> g_fakeQueue;
uint8_t FakeRx(CanPacket *record, uint8_t)
{
    if (g_fakeQueue.empty())
        return 0;
    *record = g_fakeQueue.front();
    g_fakeQueue.pop_front();
    return 1;
}

bool SimSay(const QByteArray &command)
{
    return g_sim->Control(QString::fromLatin1(command)).startsWith(QStringLiteral("ok "));
}

bool StartSim()
{
    g_sim = new SimProcess;
    if (!g_sim->Start())
        return false;
    qputenv("TIVRON_CANBUS", g_sim->Bus().toLocal8Bit());
    // One device answers the search, so one request gives one answer.
    return SimSay("silent 5") && SimSay("silent 7") && SimSay("silent 12");
}

int DrainAll(std::vector<CanPacket> &list) { return g_link.ReceivePackets(list); }

void BM_DrainPerFrame(benchmark::State &state)
{
    const UsbCanEntryPoints real = g_link.EntryPoints();
    UsbCanEntryPoints fake;
    fake.RxBufferData = FakeRx;
    g_link.SetEntryPoints(fake);
    std::vector<CanPacket> list;
    list.reserve(CUsbCan::MaxFramesPerDrain);
    for (auto _ : state) {
        state.PauseTiming();
        g_fakeQueue.assign(CUsbCan::MaxFramesPerDrain, CanPacket());
        list.clear();
        state.ResumeTiming();
        benchmark::DoNotOptimize(DrainAll(list));
    }
    state.SetItemsProcessed(state.iterations() * CUsbCan::MaxFramesPerDrain);
    g_link.SetEntryPoints(real);
}
BENCHMARK(BM_DrainPerFrame);

void BM_RoundTripToSimulator(benchmark::State &state)
{
    std::vector<CanPacket> list;
    for (auto _ : state) {
        list.clear();
        g_link.SendPacket(QStringLiteral("FFFFFF00111403020E050904"));
        QDeadlineTimer deadline(10000);
        while (list.empty() && !deadline.hasExpired())
            DrainAll(list);
        if (list.empty()) {
            state.SkipWithError("no answer");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RoundTripToSimulator)->UseRealTime();

void BM_FramesFromSimulator(benchmark::State &state)
{
    const int burst = 2000;
    std::vector<CanPacket> list;
    list.reserve(burst);
    for (auto _ : state) {
        list.clear();
        SimSay("noise " + QByteArray::number(burst));
        QDeadlineTimer deadline(10000);
        while (int(list.size()) < burst && !deadline.hasExpired())
            DrainAll(list);
    }
    state.SetItemsProcessed(state.iterations() * burst);
}
BENCHMARK(BM_FramesFromSimulator)->UseRealTime();

void BM_FramesToSimulator(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(g_link.SendPacket(QStringLiteral("7E00FE0001020304")));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FramesToSimulator)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!StartSim() || !g_link.LoadDllFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/DLL/libUsbCAN.so")) ||
        g_link.Connect() != 0) {
        std::fprintf(stderr, "bench_link: the simulator or the adapter library did not start\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_link.FreeDll();
    delete g_sim;
    return 0;
}
