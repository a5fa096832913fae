#pragma once
// What the exchange benchmarks share: the simulator on a port of their own, the program's windows as
// the program makes them (the main window shown, the real progress window, the hidden CAN monitor
// taking every row), the real pump with the moments of chosen progress texts noted, and the floors.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/loading_form.h"
#include "app/message_dlg.h"
#include "app/settings.h"
#include "editor/config_read.h"
#include "editor/main_form.h"
#include "link/show_pakets_form.h"
#include "link/transfer.h"
#include "link/usb_can.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/read_tree.h"
#include "model/tree_model.h"
#include "platform/event_loop.h"
#include "tests/sim/sim_process_fixture.h"

// The real pump (events, sleeps, the progress window), noting when each progress text was shown.
class NotingPump : public LinkPump {
public:
    explicit NotingPump(LinkPump &real) : real_(real) {}
    void ProcessEvents() override { real_.ProcessEvents(); }
    void Sleep(unsigned ms) override { real_.Sleep(ms); }
    int64_t Moment() override { return real_.Moment(); }
    void PauseSince(int64_t moment, unsigned ms) override { real_.PauseSince(moment, ms); }
    void Status(const QString &text, int mode) override
    {
        texts.push_back({text, clock.nsecsElapsed()});
        real_.Status(text, mode);
    }
    struct Noted {
        QString text;
        qint64 ns;
    };
    // The moment the first text starting with prefix was shown at or after index from; -1 for none.
    qint64 FirstAt(const QString &prefix, std::size_t from = 0, std::size_t *index = nullptr) const
    {
        for (std::size_t i = from; i < texts.size(); ++i)
            if (texts[i].text.startsWith(prefix)) {
                if (index)
                    *index = i;
                return texts[i].ns;
            }
        return -1;
    }
    int Count(const QString &prefix) const
    {
        return int(std::count_if(texts.begin(), texts.end(), [&](const Noted &n) { return n.text.startsWith(prefix); }));
    }
    void Restart()
    {
        texts.clear();
        clock.start();
        startNs = CPreciseSleep::SteadyNowNs();
    }
    // A noted moment on the steady clock.
    int64_t SteadyNs(qint64 noted) const { return startNs + noted; }

    std::vector<Noted> texts;
    QElapsedTimer clock;
    int64_t startNs = 0;

private:
    LinkPump &real_;
};

// The offscreen platform's notes on every window shown would bury the figures.
inline void QuietPlatformNotes()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (!text.startsWith(QLatin1String("This plugin does not support")))
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    });
}

// A thread that only sleeps 2 ms at a time. When it wakes much later than that, the machine ran
// none of the process meanwhile (a virtual machine's stolen time: spells of about 100 ms every few
// seconds on the machines these figures come from). The benchmarks report those spells beside their
// ratio, and the ratio without them, so the program's own share reads apart from the machine's.
class MachineStalls {
public:
    MachineStalls() : thread_([this] { Run(); }) {}
    ~MachineStalls()
    {
        stop_ = true;
        thread_.join();
    }
    MachineStalls(const MachineStalls &) = delete;
    MachineStalls &operator=(const MachineStalls &) = delete;

    // The milliseconds of stalled spells within [fromNs, toNs] of the steady clock.
    double StalledMs(int64_t fromNs, int64_t toNs) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int64_t ns = 0;
        for (const Spell &s : spells_)
            ns += std::max<int64_t>(0, std::min(toNs, s.to) - std::max(fromNs, s.from));
        return double(ns) / 1e6;
    }

private:
    struct Spell {
        int64_t from, to;
    };
    static constexpr int64_t kNapNs = 2000000;
    static constexpr int64_t kSlackNs = 8000000; // later than this counts as a stall

    void Run()
    {
        int64_t before = CPreciseSleep::SteadyNowNs();
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(kNapNs));
            const int64_t now = CPreciseSleep::SteadyNowNs();
            if (now - before > kNapNs + kSlackNs) {
                std::lock_guard<std::mutex> lock(mutex_);
                spells_.push_back({before + kNapNs, now});
            }
            before = now;
        }
    }

    mutable std::mutex mutex_;
    std::vector<Spell> spells_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ExchangeBench {
public:
    // The demo line's Тиврон-А.
    static constexpr int kDeviceAddr = 3;

    bool Start()
    {
        QuietPlatformNotes();
        sim_ = std::make_unique<SimProcess>();
        if (!sim_->Start())
            return Fail("the simulator did not start");
        qputenv("TIVRON_CANBUS", sim_->Bus().toLocal8Bit());
        if (!QFile::copy(QStringLiteral(TIVRON_SOURCE_DIR "/data/devices.xml"), dir_.filePath(QStringLiteral("devices.xml"))))
            return Fail("the catalogue could not be copied");
        SetMessageDlgHook([](const QString &text, int, MsgButtons) {
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
            return int(mrOk);
        });
        config_ = std::make_unique<TConfigForm>();
        ConfigForm = config_.get();
        TMainFormEnv env;
        env.ProgramDir = dir_.path();
        main_ = std::make_unique<TMainForm>(nullptr, env);
        MainForm = main_.get();
        LoadingForm = new TLoadingForm(main_.get());
        monitor_ = new TShowPaketsForm(main_.get()); // hidden: it logs every row, as in the program
        main_->show();
        Usb_NoDevice = 1;
        Can_BaudRate = 50;
        if (!LoadXmlToTree(CataloguePath(dir_.path()), ConfigForm->tvConfig))
            return Fail("the catalogue did not load");
        if (!UsbCan.LoadDllFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/DLL/libUsbCAN.so")) ||
            UsbCan.Connect() != 0)
            return Fail("the adapter library did not connect");
        pump_ = std::make_unique<NotingPump>(CurrentLinkPump());
        SetLinkPump(pump_.get());
        return true;
    }

    void Stop()
    {
        SetLinkPump(nullptr);
        UsbCan.Disconnect();
        UsbCan.FreeDll();
        delete monitor_;
        delete LoadingForm;
        LoadingForm = nullptr;
        MainForm = nullptr;
        main_.reset();
        ConfigForm = nullptr;
        config_.reset();
        sim_.reset();
        SetMessageDlgHook(nullptr);
    }

    TMainForm &Main() { return *main_; }
    NotingPump &Pump() { return *pump_; }
    SimProcess &Sim() { return *sim_; }
    const MachineStalls &Stalls() const { return stalls_; }

    CTreeNode *Device()
    {
        for (CTreeNode *n = ConfigForm->tvConfig->items().firstNode(); n; n = n->nextSibling())
            if (n->device() && n->device()->device_id == 14) {
                n->device()->device_addr = kDeviceAddr;
                return n;
            }
        return nullptr;
    }

    // Starts a read of the device and returns once its pages are built (false: not within a minute).
    bool Read()
    {
        CTreeNode *device = Device();
        const int before = main_->PageCounter;
        if (!device || RequestConfiguration(*main_, *device) != 0)
            return false;
        return WaitForPages(before);
    }

    // Until the collection that runs now has built its pages; the loop sleeps between events, as
    // the program's own does (a maximum time would make processEvents spin).
    bool WaitForPages(int pageCounterBefore)
    {
        QDeadlineTimer deadline(60000);
        QTimer wake;
        wake.start(100);
        while (!(main_->Timer1.Interval() == 0 && main_->PageCounter > pageCounterBefore) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return main_->PageCounter > pageCounterBefore;
    }

    // Lets the windows settle as they would before the engineer's next command: the pages painted,
    // the progress window closed after its delay.
    static void Settle(int ms = 1000)
    {
        QElapsedTimer clock;
        clock.start();
        QTimer wake;
        wake.start(20);
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    // The requests a read of the device sends with the key list as it stands.
    int Requests() const
    {
        return int(ConfigurationRequestTexts(kDeviceAddr, KeyListTexts(main_->KeyListView->items())).size());
    }

    // One table request to the device and its first answer back through the link, the best of five.
    double RoundTripMs()
    {
        double best = 1e9;
        const QString request = QStringLiteral("85FF%1").arg(kDeviceAddr - 1, 2, 16, QLatin1Char('0')).toUpper() +
                                QStringLiteral("00FF00000000000000");
        for (int i = 0; i < 5; ++i) {
            UsbCan.RxPackets.clear();
            QElapsedTimer clock;
            clock.start();
            UsbCan.SendPacket(request);
            bool answered = false;
            while (!answered && clock.elapsed() < 5000) {
                UsbCan.ReceivePackets(UsbCan.RxPackets);
                for (const CanPacket &p : UsbCan.RxPackets)
                    answered = answered || (p[0] == 0x10 && p[2] == kDeviceAddr - 1);
            }
            best = std::min(best, double(clock.nsecsElapsed()) / 1e6);
            QThread::msleep(20); // the rest of the table's answers
            UsbCan.ReceivePackets(UsbCan.RxPackets);
        }
        UsbCan.RxPackets.clear();
        return best;
    }

    // The least a read's wait for its first answer takes: the answer's way back, and at least the
    // wait's own pass with its 1-ms sleep.
    static double FirstAnswerFloorMs(double roundTripMs) { return std::max(roundTripMs, 1.0); }

private:
    static bool Fail(const char *what)
    {
        std::fprintf(stderr, "benchmark: %s\n", what);
        return false;
    }

    std::unique_ptr<SimProcess> sim_;
    QTemporaryDir dir_;
    std::unique_ptr<TConfigForm> config_;
    std::unique_ptr<TMainForm> main_;
    TShowPaketsForm *monitor_ = nullptr;
    std::unique_ptr<NotingPump> pump_;
    MachineStalls stalls_;
};

// The ratio under its goal's name, or under ratio_no_goal where the settings have no goal.
inline void SetRatio(benchmark::State &state, double ratio, bool goal)
{
    state.counters[goal ? "ratio" : "ratio_no_goal"] = ratio;
}

// Beside the ratio: the machine's stalls in the timed spans, per iteration ("machine_stall_ms"), and
// the ratio with them taken out ("ratio_less_stalls").
inline void SetStalls(benchmark::State &state, double wallMs, double stalledMs, double floorMs)
{
    const double n = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["machine_stall_ms"] = stalledMs / n;
    if (floorMs > 0)
        state.counters["ratio_less_stalls"] = (wallMs - stalledMs) / n / floorMs;
}
