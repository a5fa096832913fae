// The catalogue at scale: 500 (and 2,000) models made of copies of the sample models of
// data/devices.xml, about 4.5 MB per 500. Each benchmark measures what the engineer waits for, the
// floor it computes in the same run, the ratio between them (counter "ratio") and the memory.
// The floor of reading such a file is libxml2 parsing it without building anything (floor_ms);
// libxml2's own tree of it (libxml_tree_ms) is what the loader once built first.
// - BM_Libxml2: the two, each as its own benchmark (Arg 0: parse only, 1: libxml2's tree);
// - BM_LoadCatalogue: the load into the description tree; held_MB is the heap the loaded tree keeps,
//   peak_MB the most the process grew by during one load;
// - BM_SaveDeviceAddresses: the address write-back of every read and every "Выбрать" (one address
//   changed each time); floor: reading the file, parsing it, writing it back through a temporary file;
// - BM_NewDialog: New until its selection dialog is shown with every model listed, the catalogue
//   load included; floor: the parse.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/message_dlg.h"
#include "editor/main_form.h"
#include "link/select_device_form.h"
#include "model/config_form.h"
#include "model/config_loader.h"
#include "model/device_addresses.h"
#include "model/tree_model.h"

namespace {

// The sample catalogue with its DeviceList made of that many copies of its models, in turn; each copy
// gets a name and type id of its own, so the list shows every one.
QByteArray CopiesOfSampleModels(int models)
{
    QFile f(QStringLiteral(TIVRON_SOURCE_DIR "/data/devices.xml"));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    const QString sample = QString::fromUtf8(f.readAll());
    const qsizetype open = sample.indexOf(QStringLiteral("<DeviceList>")) + 12;
    const qsizetype close = sample.indexOf(QStringLiteral("</DeviceList>"));
    const QRegularExpression device(QStringLiteral("\\s*<Device .*?</Device>"),
                                    QRegularExpression::DotMatchesEverythingOption);
    QStringList originals;
    for (auto m = device.globalMatch(sample.mid(open, close - open)); m.hasNext();)
        originals << m.next().captured();
    const QRegularExpression head(QStringLiteral("name=\"([^\"]*)\" version=\"([^\"]*)\" device_id=\"\\d+\" "
                                                 "device_addr=\"\\d+\""));
    QString list;
    for (int d = 0; d < models && !originals.isEmpty(); ++d) {
        QString copy = originals[d % originals.size()];
        copy.replace(head, QStringLiteral("name=\"\\1 №%1\" version=\"\\2\" device_id=\"%2\" device_addr=\"%3\"")
                               .arg(d + 1)
                               .arg(100 + d)
                               .arg(d % 255 + 1));
        list += copy;
    }
    return (sample.left(open) + list + sample.mid(close - 3)).toUtf8();
}

// Heap in use (glibc), in bytes.
double HeapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd);
}

// A field of /proc/self/status in kB: VmRSS (resident now), VmHWM (resident high-water mark).
long StatusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLong();
    return 0;
}

// How much one call makes the process grow at most, in MB (the resident peak reset first).
double PeakGrowthMb(const std::function<void()> &run)
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return -1;
    clear.close();
    const long before = StatusKb("VmRSS");
    run();
    return double(StatusKb("VmHWM") - before) / 1024.0;
}

// The median time of a few runs, in ms.
double MedianMs(const std::function<void()> &run, int runs = 9)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        run();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Catalogue {
    explicit Catalogue(int count) : models(count), bytes(CopiesOfSampleModels(count))
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    int models;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("devices.xml"));
    QByteArray bytes;
};

// One catalogue of each size, made when first asked for.
const Catalogue &CatalogueOf(int models)
{
    static std::map<int, std::unique_ptr<Catalogue>> made;
    auto &c = made[models];
    if (!c)
        c = std::make_unique<Catalogue>(models);
    return *c;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// libxml2 reading the bytes and building nothing: what any reader of the file pays.
void ParseOnly(const QByteArray &bytes)
{
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(bytes.constData(), int(bytes.size()));
    if (!ctxt)
        return;
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    std::memcpy(ctxt->sax, &sax, sizeof sax);
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET);
    xmlParseDocument(ctxt);
    xmlFreeParserCtxt(ctxt);
}

// libxml2's own tree of the bytes, built and freed.
void LibxmlTree(const QByteArray &bytes)
{
    xmlFreeDoc(xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET));
}

double ParseFloorMs(const Catalogue &c) { return MedianMs([&] { ParseOnly(ReadAll(c.path)); }); }

void SetCounters(benchmark::State &state, const Catalogue &c, double totalMs, double floorMs)
{
    const double meanMs = state.iterations() ? totalMs / double(state.iterations()) : 0;
    state.counters["ms"] = meanMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["ratio"] = floorMs > 0 ? meanMs / floorMs : 0;
    state.counters["models"] = c.models;
    state.counters["file_MB"] = double(c.bytes.size()) / 1e6;
}

void BM_Libxml2(benchmark::State &state)
{
    const Catalogue &c = CatalogueOf(int(state.range(0)));
    const bool tree = state.range(1) != 0;
    double totalMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const QByteArray bytes = ReadAll(c.path);
        tree ? LibxmlTree(bytes) : ParseOnly(bytes);
        totalMs += double(clock.nsecsElapsed()) / 1e6;
    }
    SetCounters(state, c, totalMs, totalMs / double(std::max<int64_t>(state.iterations(), 1)));
    if (tree) {
        // What libxml2's tree holds while it is alive.
        const double before = HeapInUse();
        xmlDocPtr doc = xmlReadMemory(c.bytes.constData(), int(c.bytes.size()), nullptr, nullptr, XML_PARSE_NONET);
        state.counters["held_MB"] = (HeapInUse() - before) / 1e6;
        xmlFreeDoc(doc);
    }
}
BENCHMARK(BM_Libxml2)->ArgsProduct({{500, 2000}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_LoadCatalogue(benchmark::State &state)
{
    const Catalogue &c = CatalogueOf(int(state.range(0)));
    const double floorMs = ParseFloorMs(c);
    const double treeMs = MedianMs([&] { LibxmlTree(ReadAll(c.path)); });
    double totalMs = 0;
    {
        CTree tree;
        for (auto _ : state) {
            QElapsedTimer clock;
            clock.start();
            LoadXmlToTree(c.path, tree);
            totalMs += double(clock.nsecsElapsed()) / 1e6;
        }
        state.counters["nodes"] = double(tree.totalCount());
    }
    SetCounters(state, c, totalMs, floorMs);
    state.counters["libxml_tree_ms"] = treeMs;
    CTree tree;
    const double before = HeapInUse();
    state.counters["peak_MB"] = PeakGrowthMb([&] { LoadXmlToTree(c.path, tree); });
    state.counters["held_MB"] = (HeapInUse() - before) / 1e6;
}
BENCHMARK(BM_LoadCatalogue)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_SaveDeviceAddresses(benchmark::State &state)
{
    const Catalogue &c = CatalogueOf(int(state.range(0)));
    const QString &path = c.path;
    // Reading the file, parsing it, writing it back whole through a temporary file and a rename.
    const double floorMs = MedianMs([&] {
        const QByteArray bytes = ReadAll(path);
        ParseOnly(bytes);
        QSaveFile out(path);
        if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
            out.commit();
    });
    CTree tree;
    if (!ReadXmlToTree(path, tree)) {
        state.SkipWithError("the catalogue did not load");
        return;
    }
    CTreeNode *last = tree.topNode(tree.count() - 1);
    double totalMs = 0;
    int address = 1;
    for (auto _ : state) {
        last->device()->device_addr = address++ % 255 + 1;
        QElapsedTimer clock;
        clock.start();
        if (!SaveDeviceAddresses(tree, path)) {
            state.SkipWithError("the write-back failed");
            break;
        }
        totalMs += double(clock.nsecsElapsed()) / 1e6;
    }
    SetCounters(state, c, totalMs, floorMs);
    last->device()->device_addr = 0;
    state.counters["peak_MB"] = PeakGrowthMb([&] { SaveDeviceAddresses(tree, path); });
    // The file as it was, for whatever runs next.
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(c.bytes);
}
BENCHMARK(BM_SaveDeviceAddresses)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

// New until its selection dialog is on the screen with its list; the dialog is then cancelled.
void BM_NewDialog(benchmark::State &state)
{
    const Catalogue &c = CatalogueOf(int(state.range(0)));
    const double floorMs = ParseFloorMs(c);
    TConfigForm configForm;
    ConfigForm = &configForm;
    TMainFormEnv env;
    env.ProgramDir = c.dir.path();
    TMainForm form(nullptr, env);
    double totalMs = 0;
    int listed = 0;
    QElapsedTimer clock;
    // Polls from inside the dialog's own event loop: the first pass after it is shown stops the clock.
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<TSelectDeviceForm *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        dialog->repaint();
        totalMs += double(clock.nsecsElapsed()) / 1e6;
        listed = dialog->tvDevice->items().count();
        dialog->btnCancel->click();
    });
    poll.start();
    for (auto _ : state) {
        clock.start();
        form.actNewFileExecute();
    }
    SetCounters(state, c, totalMs, floorMs);
    state.counters["listed"] = listed;
    state.counters["peak_MB"] = PeakGrowthMb([&] {
        clock.start();
        form.actNewFileExecute();
    });
    poll.stop();
    ConfigForm = nullptr;
}
BENCHMARK(BM_NewDialog)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The offscreen platform says so of every dialog it shows.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (!text.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s%s\n", type == QtDebugMsg ? "" : "bench_model_load: ", qPrintable(text));
    });
    SetMessageDlgHook([](const QString &text, int, MsgButtons) {
        std::fprintf(stderr, "bench_model_load: %s\n", qPrintable(text));
        return int(mrOk);
    });
    xmlInitParser();
    if (CatalogueOf(500).bytes.isEmpty()) {
        std::fprintf(stderr, "bench_model_load: data/devices.xml not found\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetMessageDlgHook(nullptr);
    return 0;
}
