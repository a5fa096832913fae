// Building a parameter page of 200 parameters x 64 columns, with and without a values tree.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>

#include <memory>

#include "editor/main_form.h"
#include "editor/param_page.h"
#include "model/config_tree.h"

namespace {
constexpr int kRows = 200;
constexpr int kColumns = 64;

struct BigDevice {
    CTree tree, values;
    CTreeNode *device = nullptr;
    BigDevice()
    {
        auto d = std::make_shared<CDevice>();
        d->name = "Тиврон-А";
        d->device_addr = 1;
        device = tree.addChild(nullptr, d->name, d);
        auto t = std::make_shared<CTable>();
        t->name = "шлейфы";
        t->type = "table";
        t->columns = kColumns;
        t->column_width = 60;
        for (int c = 0; c < kColumns; ++c)
            t->tab_addr << QString::number(c + 1, 16);
        CTreeNode *table = tree.addChild(device, t->name, t);
        CTreeNode *vd = values.addChild(nullptr, d->name, std::make_shared<CDevice>(*d));
        CTreeNode *vt = values.addChild(vd, t->name, std::make_shared<CTable>(*t));
        for (int r = 0; r < kRows; ++r) {
            auto p = std::make_shared<CParameter>();
            p->name = QStringLiteral("Параметр %1").arg(r);
            p->type = r % 2 ? "список" : "числовой";
            p->default_value = "1";
            p->max_value = 255;
            p->formula = 1;
            CTreeNode *pn = tree.addChild(table, p->name, p);
            if (r % 2)
                for (int i = 0; i < 8; ++i) {
                    auto item = std::make_shared<CItem>();
                    item->name = QStringLiteral("Вариант %1").arg(i);
                    item->value = QString::number(i);
                    tree.addChild(pn, item->name, item);
                }
            CTreeNode *vp = values.addChild(vt, p->name, std::make_shared<CParameter>(*p));
            for (int c = 0; c < kColumns; ++c) {
                auto v = std::make_shared<CItem>();
                v->value = QString::number((r + c) % 10);
                values.addChild(vp, QString(), v)->setImage(c % 3 ? 3 : DefaultMarker);
            }
        }
    }
};

void BM_BuildRows(benchmark::State &state)
{
    BigDevice d;
    const bool withValues = state.range(0);
    for (auto _ : state) {
        CParamPage page;
        BuildParamRows(page, d.device->firstChild(), withValues, d.values.firstNode()->firstChild());
        benchmark::DoNotOptimize(page.Rows.data());
    }
}
BENCHMARK(BM_BuildRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BuildDevicePages(benchmark::State &state)
{
    BigDevice d;
    TMainForm form;
    const bool withValues = state.range(0);
    for (auto _ : state)
        form.BuildDevicePages(d.device, d.values.firstNode(), withValues);
}
BENCHMARK(BM_BuildDevicePages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
