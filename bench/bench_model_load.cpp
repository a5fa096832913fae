// Loading a large generated catalogue into a description tree: time, and the process's peak memory.
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "model/config_loader.h"

namespace {

QByteArray GeneratedCatalogue(int models, int tables, int parameters)
{
    QByteArray x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>\n  <DeviceList>\n";
    for (int d = 0; d < models; ++d) {
        x += "    <Device name=\"Тиврон-" + QByteArray::number(d) + "\" version=\"1.0\" device_id=\"" +
             QByteArray::number(d) + "\" device_addr=\"" + QByteArray::number(d % 255 + 1) + "\">\n";
        for (int t = 0; t < tables; ++t) {
            x += "      <Table type=\"table\" name=\"Таблица " + QByteArray::number(t) + "\" can_type=\"" +
                 QByteArray::number(t) + "\" columns=\"4\" column_width=\"60\" can_data_size=\"8\">\n";
            for (int c = 1; c <= 4; ++c)
                x += "        <TabAddr value=\"0" + QByteArray::number(c) + "\"/>\n";
            for (int p = 0; p < parameters; ++p) {
                x += "        <Parameter name=\"Параметр " + QByteArray::number(p) +
                     "\" type=\"список\" can_id_razdel=\"1\" address=\"2\" default_value=\"0\" min_value=\"0\""
                     " max_value=\"255\" formula=\"0\">\n"
                     "          <Item name=\"Выключен\" value=\"0\"/>\n"
                     "          <Item name=\"Включен\" value=\"1\"/>\n"
                     "        </Parameter>\n";
            }
            x += "      </Table>\n";
        }
        x += "    </Device>\n";
    }
    x += "  </DeviceList>\n</Root>\n";
    return x;
}

void BM_LoadCatalogue(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("devices.xml");
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(GeneratedCatalogue(int(state.range(0)), 6, 40));
    }
    CTree tree;
    for (auto _ : state) {
        LoadXmlToTree(path, tree);
        benchmark::DoNotOptimize(tree.count());
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["nodes"] = double(tree.totalCount());
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
    state.counters["peak_RSS_MB"] = double(usage.ru_maxrss) / 1024.0;
}

} // namespace

BENCHMARK(BM_LoadCatalogue)->Arg(500)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
