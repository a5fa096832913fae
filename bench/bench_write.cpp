// A full configuration write of a Тиврон-2 with eight keys against the simulator, through
// libUsbCAN.so and the virtual bus: the packet list built from the pages' records, checked and sent.
// Reported as the ratio of the wall time to its floor, the packets times the pause Usb_TimerSleep
// after each of them. The read-back that follows a write is the read's benchmark.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "app/settings.h"
#include "editor/config_write.h"
#include "editor/param_page.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_loader.h"
#include "model/config_tree.h"
#include "tests/sim/sim_process_fixture.h"

namespace {

SimProcess *g_sim = nullptr;

class QuietPump : public LinkPump {
public:
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void Sleep(unsigned ms) override { QThread::msleep(ms); }
    void Status(const QString &, int) override {}
};

bool StartSim()
{
    g_sim = new SimProcess;
    if (!g_sim->Start())
        return false;
    qputenv("TIVRON_CANBUS", g_sim->Bus().toLocal8Bit());
    return true;
}

// The pages of the catalogue's Тиврон-2 as a new configuration shows them, and eight keys.
struct WriteInput {
    CTree catalogue, keys;
    CTreeNode *device = nullptr;
    std::map<int, std::unique_ptr<CParamPage>> pages;
    QList<int> pageIds;

    bool Load()
    {
        if (!ReadXmlToTree(QStringLiteral(TIVRON_SOURCE_DIR "/data/devices.xml"), catalogue))
            return false;
        for (CTreeNode *n = catalogue.firstNode(); n && !device; n = n->nextSibling())
            if (n->text == QStringLiteral("Тиврон-2"))
                device = n;
        if (!device)
            return false;
        device->device()->device_addr = 5;
        int id = 0;
        for (CTreeNode *t = device->firstChild(); t; t = t->nextSibling()) {
            pageIds << ++id;
            if (t->table() && t->table()->type == QLatin1String("table")) {
                auto page = std::make_unique<CParamPage>();
                BuildParamRows(*page, t, false, nullptr);
                pages[id] = std::move(page);
            }
        }
        for (int k = 1; k <= 8; ++k) {
            auto key = std::make_shared<CKey>();
            key->name = QStringLiteral("<ключ> №%1").arg(k);
            key->key_type = 1;
            key->key_code = QStringLiteral("00000000%1").arg(k, 4, 16, QLatin1Char('0')).toUpper();
            key->hos_count = 2;
            key->hos_chk = {true, false, false, true};
            keys.addChild(nullptr, QStringLiteral("%1. %2").arg(k).arg(key->name), key);
        }
        return true;
    }

    TWritePages Pages()
    {
        return {[this](int n) -> const CParamPage * { return pages.count(n) ? pages[n].get() : nullptr; },
                [this](int) -> const CTree * { return &keys; }};
    }
};

WriteInput g_input;

void BM_WriteAgainstSimulator(benchmark::State &state)
{
    Usb_TimerSleep = int(state.range(0));
    QuietPump pump;
    SetLinkPump(&pump);
    int packets = 0;
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        const QStringList list = BuildWritePacketList(*g_input.device, g_input.pageIds, 4, g_input.Pages());
        packets = int(list.size());
        if (!SendPacketList(list)) {
            state.SkipWithError("the write stopped");
            break;
        }
    }
    const double elapsedMs = double(wall.nsecsElapsed()) / 1e6;
    SetLinkPump(nullptr);
    // Wall time per write over its floor, packets x Usb_TimerSleep.
    const double floorMs = double(packets) * Usb_TimerSleep;
    state.counters["packets"] = packets;
    state.counters["floor_ms"] = floorMs;
    if (state.iterations() > 0 && floorMs > 0)
        state.counters["ratio"] = elapsedMs / (double(state.iterations()) * floorMs);
}
BENCHMARK(BM_WriteAgainstSimulator)->Arg(1)->Arg(5)->Arg(10)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!g_input.Load() || !StartSim() ||
        !UsbCan.LoadDllFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/DLL/libUsbCAN.so"))) {
        std::fprintf(stderr, "bench_write: the catalogue, the simulator or the adapter library did not load\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    UsbCan.FreeDll();
    delete g_sim;
    return 0;
}
