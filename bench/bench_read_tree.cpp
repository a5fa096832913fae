// Decoding a read of a device with 64-column tables: the index over the received list against the
// plain scan per column, as the number of received records grows.
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "model/read_tree.h"

namespace {

constexpr int kTables = 6;
constexpr int kParameters = 8;
constexpr int kColumns = 64;
constexpr int kWire = 4;

// Six plain tables of eight parameters over 64 columns, and a key table.
struct Device {
    CTree tree;
    CTreeNode *node = nullptr;

    Device()
    {
        auto d = std::make_shared<CDevice>();
        d->kind = "Device";
        d->name = "Тиврон-2";
        d->version = "1.0";
        d->device_addr = kWire + 1;
        const QString name = d->name;
        node = tree.add(nullptr, name, std::move(d));
        for (int t = 0; t < kTables; ++t) {
            auto table = std::make_shared<CTable>();
            table->kind = "Table";
            table->type = "table";
            table->name = QStringLiteral("Таблица %1").arg(t);
            table->can_type = t < 3 ? t : t + 1;
            table->columns = kColumns;
            for (int c = 0; c < kColumns; ++c)
                table->tab_addr << QStringLiteral("%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
            const QString tableName = table->name;
            CTreeNode *tn = tree.addChild(node, tableName, std::move(table));
            for (int p = 0; p < kParameters; ++p) {
                auto param = std::make_shared<CParameter>();
                param->kind = "Parameter";
                param->name = QStringLiteral("Параметр %1").arg(p);
                param->type = "числовой";
                param->can_id_razdel = p + 1;
                param->address = "6";
                param->default_value = "0";
                const QString paramName = param->name;
                tree.addChild(tn, paramName, std::move(param));
            }
        }
        auto keys = std::make_shared<CTable>();
        keys->kind = "Table";
        keys->type = "key";
        keys->name = "Таблица ключей";
        keys->can_type = kKeyTableCode;
        keys->columns = 1;
        const QString keysName = keys->name;
        CTreeNode *kn = tree.addChild(node, keysName, std::move(keys));
        for (int p = 0; p < kParameters; ++p) {
            auto param = std::make_shared<CParameter>();
            param->kind = "Parameter";
            param->name = QStringLiteral("Ключ %1").arg(p);
            param->type = "числовой";
            param->can_id_razdel = p + 1;
            param->address = "12";
            const QString paramName = param->name;
            tree.addChild(kn, paramName, std::move(param));
        }
    }
};

// Answers for random columns, keys and sections, with traffic of other devices mixed in: not every
// column answers, so a scan often runs to the end of the list.
std::vector<CanPacket> Records(int count)
{
    QRandomGenerator rng(count);
    std::vector<CanPacket> list(count);
    for (CanPacket &p : list) {
        const int table = rng.bounded(kTables + 1);
        p[0] = 0x10;
        p[1] = uint8_t(1 + rng.bounded(kParameters));
        p[2] = uint8_t(rng.bounded(4) ? kWire : kWire + 1);
        p[3] = uint8_t(table == kTables ? kKeyTableCode : (table < 3 ? table : table + 1));
        p[4] = uint8_t(rng.bounded(kColumns * 2));
        for (int k = 5; k < 12; ++k)
            p[k] = uint8_t(rng.bounded(256));
    }
    return list;
}

const QStringList kKeys = {"1. Мастер-ключ", "2. <ключ> №5", "3. <ключ> №12", "4. <ключ> №40"};

void BM_ReadTreeIndexed(benchmark::State &state)
{
    Device device;
    const std::vector<CanPacket> rx = Records(int(state.range(0)));
    for (auto _ : state) {
        CTree out;
        benchmark::DoNotOptimize(BuildReadTree(out, *device.node, rx, kKeys));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadTreeIndexed)->RangeMultiplier(2)->Range(1250, 20000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ReadTreeScan(benchmark::State &state)
{
    Device device;
    const std::vector<CanPacket> rx = Records(int(state.range(0)));
    for (auto _ : state) {
        CTree out;
        benchmark::DoNotOptimize(BuildReadTree(out, *device.node, AnswerScan(rx), kKeys));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadTreeScan)->RangeMultiplier(2)->Range(1250, 20000)->Unit(benchmark::kMillisecond)->Complexity();

// The decoding with the device growing along with its answers: one answer per parameter and column.
void BM_ReadTreeGrowingDevice(benchmark::State &state)
{
    const bool indexed = state.range(1) != 0;
    Device device;
    const int columns = int(state.range(0));
    std::vector<CanPacket> rx;
    for (CTreeNode *tn = device.node->firstChild(); tn; tn = tn->nextSibling()) {
        CTable *t = tn->table();
        if (t->can_type == kKeyTableCode)
            continue;
        t->columns = columns;
        t->tab_addr.clear();
        for (int c = 0; c < columns; ++c)
            t->tab_addr << QString::number(c, 16);
        for (int p = 1; p <= kParameters; ++p)
            for (int c = columns - 1; c >= 0; --c) {
                CanPacket r;
                r[0] = 0x10, r[1] = uint8_t(p), r[2] = kWire, r[3] = uint8_t(t->can_type), r[4] = uint8_t(c);
                rx.push_back(r);
            }
    }
    for (auto _ : state) {
        CTree out;
        if (indexed)
            benchmark::DoNotOptimize(BuildReadTree(out, *device.node, rx, {}));
        else
            benchmark::DoNotOptimize(BuildReadTree(out, *device.node, AnswerScan(rx), {}));
    }
    state.counters["records"] = double(rx.size());
    state.SetComplexityN(int64_t(rx.size()));
}
BENCHMARK(BM_ReadTreeGrowingDevice)
    ->ArgsProduct({{16, 32, 64, 128, 256}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_ReadTreeGrowingDevice)
    ->ArgsProduct({{16, 32, 64, 128, 256}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
