// Save and Open of the main window through the real file dialogs, again and again: the resident size
// after each hundred pairs against that after the first pair (growth_MB_100 should stay well under
// 3 MB). What one pair leaves behind for good (icons made anew per dialog or per page build, kept in
// Qt's pixmap cache) shows as growth. Measure a build without the sanitizers: their quarantine holds
// freed memory.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/message_dlg.h"
#include "editor/main_form.h"
#include "link/select_device_form.h"
#include "model/config_form.h"
#include "model/tree_model.h"

namespace {
double ResidentMegabytes()
{
    long pages = 0, resident = 0;
    if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Answers every modal dialog the commands open: the model in the selection dialog, the path in a
// file dialog.
class Answers : public QObject {
public:
    QString model;
    QString path;

    Answers()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Answer(); });
        timer_.start();
    }

private:
    void Answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *select = qobject_cast<TSelectDeviceForm *>(modal)) {
            for (CTreeNode *n = select->tvDevice->items().firstNode(); n; n = n->nextSibling())
                if (n->text.startsWith(model + QStringLiteral(" <"))) {
                    select->SelectListNode(n);
                    break;
                }
            select->btnSelect->click();
        } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            files->selectFile(path);
            static_cast<QDialog *>(files)->accept();
        }
    }
    QTimer timer_;
};

void BM_SaveOpenPairs(benchmark::State &state)
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path()); // the dialogs' state
    QFile::copy(QStringLiteral(TIVRON_SOURCE_DIR "/data/devices.xml"), dir.filePath(QStringLiteral("devices.xml")));
    QFile::setPermissions(dir.filePath(QStringLiteral("devices.xml")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    SetMessageDlgHook([](const QString &, int, MsgButtons) { return int(mrYes); });
    TConfigForm configForm;
    ConfigForm = &configForm;
    TMainFormEnv env;
    env.ProgramDir = dir.path();
    auto form = std::make_unique<TMainForm>(nullptr, env);
    MainForm = form.get();
    form->show();
    Answers answers;
    answers.model = QStringLiteral("Тиврон-А");
    answers.path = dir.filePath(QStringLiteral("conf.DEV"));
    form->actNewFile->trigger();

    form->actSaveFile->trigger(); // the file Open finds
    const auto pair = [&] {
        form->actSaveFile->trigger();
        form->actOpenFile->trigger();
    };
    const int pairs = int(state.range(0));
    for (auto _ : state) {
        pair();
        const double first = ResidentMegabytes();
        for (int i = 1; i < pairs; ++i) {
            pair();
            if (i % 100 == 0)
                state.counters["growth_MB_" + std::to_string(i)] = ResidentMegabytes() - first;
        }
        state.counters["first_MB"] = first;
        state.counters["pages"] = form->PageIds.size();
    }
    form.reset();
    MainForm = nullptr;
    ConfigForm = nullptr;
    SetMessageDlgHook(nullptr);
}
BENCHMARK(BM_SaveOpenPairs)->Arg(301)->Iterations(1)->Unit(benchmark::kMillisecond);
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
