// A full configuration read of a demo device against tivron-sim (requests, first-answer wait,
// collection, decoding, pages), as wall time over its floor: the collection window
// Usb_TotalPaket x Usb_TimerSleep plus the pause after each request packet. Counter "ratio".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

#include <QDeadlineTimer>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/config_read.h"
#include "editor/main_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_loader.h"
#include "model/tree_model.h"
#include "tests/sim/sim_process_fixture.h"

namespace {

SimProcess *g_sim = nullptr;

bool StartSim()
{
    g_sim = new SimProcess;
    if (!g_sim->Start())
        return false;
    qputenv("TIVRON_CANBUS", g_sim->Bus().toLocal8Bit());
    return true;
}

// The progress window stays out of the measurement; the pauses are real.
class QuietPump : public LinkPump {
public:
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void Sleep(unsigned ms) override { QThread::msleep(ms); }
    void Status(const QString &, int) override {}
};

CTree *g_catalogue = nullptr;

// Args: Usb_TotalPaket, Usb_TimerSleep, keys asked for.
void BM_ReadDevice(benchmark::State &state)
{
    TMainForm form; // sets the settings' defaults: the arguments come after it
    Usb_TotalPaket = int(state.range(0));
    Usb_TimerSleep = int(state.range(1));
    const int keys = int(state.range(2));
    for (int k = 0; k < keys; ++k)
        form.KeyListView->items().addChild(nullptr, QStringLiteral("<ключ> №") + QString::number(k + 1));
    CTreeNode *device = g_catalogue->topNode(0); // Тиврон-А
    device->device()->device_addr = 3;
    const int requests = 6 + std::max(keys, 1);
    const double floorMs = double(Usb_TotalPaket) * Usb_TimerSleep + double(requests) * Usb_TimerSleep;
    double wallMs = 0;
    for (auto _ : state) {
        form.actSaveFile->setEnabled(false);
        QElapsedTimer clock;
        clock.start();
        if (RequestConfiguration(form, *device) != 0) {
            state.SkipWithError("a request failed");
            break;
        }
        QDeadlineTimer deadline(60000);
        while (!form.actSaveFile->isEnabled() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        wallMs += double(clock.nsecsElapsed()) / 1e6;
        if (!form.actSaveFile->isEnabled()) {
            state.SkipWithError("the pages were not built");
            break;
        }
    }
    if (state.iterations() > 0 && floorMs > 0)
        state.counters["ratio"] = wallMs / double(state.iterations()) / floorMs;
    state.counters["packets"] = double(UsbCan.RxPackets.size());
}
BENCHMARK(BM_ReadDevice)
    ->Args({10, 10, 0})
    ->Args({40, 5, 3})
    ->Args({100, 2, 3})
    ->Args({200, 1, 16})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QuietPump pump;
    SetLinkPump(&pump);
    SetMessageDlgHook([](const QString &text, int, MsgButtons) {
        std::fprintf(stderr, "bench_read: %s\n", qPrintable(text));
        return int(mrOk);
    });
    CTree catalogue;
    g_catalogue = &catalogue;
    Usb_NoDevice = 1;
    Can_BaudRate = 50;
    if (!ReadXmlToTree(QStringLiteral(TIVRON_SOURCE_DIR "/data/devices.xml"), catalogue) || !StartSim() ||
        !UsbCan.LoadDllFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/DLL/libUsbCAN.so")) ||
        UsbCan.Connect() != 0) {
        std::fprintf(stderr, "bench_read: the catalogue, the simulator or the adapter library did not start\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    UsbCan.Disconnect();
    UsbCan.FreeDll();
    delete g_sim;
    SetLinkPump(nullptr);
    return 0;
}
