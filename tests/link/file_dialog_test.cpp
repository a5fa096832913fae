// The file dialogs show a folder without opening its files: a fifo, a device or a file that blocks on
// reading never holds the window, and a large folder is not read through.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractFileIconProvider>
#include <QAction>
#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "link/text_file_save.h"
#include "tests/support/file_dialogs.h"

namespace {
// A file's name, its content, and the type its name gives; the content of each would tell another.
struct Entry {
    QString name;
    QByteArray content;
    QString mime;
};

const Entry Entries[] = {
    {QStringLiteral("конфигурация.DEV"), "%PDF-1.4\n", QStringLiteral("application/xml")},
    {QStringLiteral("журнал"), "%PDF-1.4\n", QStringLiteral("application/octet-stream")},
    {QStringLiteral("CAN монитор.txt"), "<?xml version=\"1.0\"?>\n<Root>\n", QStringLiteral("text/plain")},
};

// A folder of the entries and a fifo that no one writes, watched for every file opened or read in it.
class WatchedFolder {
public:
    WatchedFolder()
    {
        for (const Entry &entry : Entries) {
            QFile file(Path(entry.name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(entry.content);
        }
        EXPECT_EQ(::mkfifo(QFile::encodeName(Path(Fifo)).constData(), 0600), 0);
        watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        EXPECT_GE(watch_, 0);
        EXPECT_GE(::inotify_add_watch(watch_, QFile::encodeName(dir_.path()).constData(), IN_OPEN | IN_ACCESS), 0);
    }
    ~WatchedFolder() { ::close(watch_); }
    WatchedFolder(const WatchedFolder &) = delete;
    WatchedFolder &operator=(const WatchedFolder &) = delete;

    QString Path(const QString &name) const { return dir_.filePath(name); }

    // The files opened or read since the watch began; the folder's own listing is not one.
    QStringList Opened() const
    {
        QStringList names;
        alignas(inotify_event) char buffer[4096];
        ssize_t got;
        while ((got = ::read(watch_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                const QString name = event->len ? QString::fromUtf8(event->name) : QString();
                if (!name.isEmpty() && !names.contains(name))
                    names << name;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return names;
    }

    static inline const QString Fifo = QStringLiteral("линия");

private:
    QTemporaryDir dir_;
    int watch_ = -1;
};

// Guards a block that may get stuck on the fifo: long after any sound run it marks the run failed and
// opens the fifo for writing and closes it, which gives a reader stuck on it its end of file; should
// the main thread still not come back, the test program ends.
class FifoWatchdog {
public:
    explicit FifoWatchdog(const QString &fifo) : fifo_(QFile::encodeName(fifo)), thread_([this] { Watch(); }) {}
    ~FifoWatchdog()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    FifoWatchdog(const FifoWatchdog &) = delete;
    FifoWatchdog &operator=(const FifoWatchdog &) = delete;

    bool Fired() const { return fired_; }

private:
    void Watch()
    {
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::minutes(2), [this] { return done_; }))
            return;
        fired_ = true;
        const int writer = ::open(fifo_.constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        if (!wake_.wait_for(lock, std::chrono::minutes(1), [this] { return done_; })) {
            std::fputs("The main thread is stuck in a file dialog\n", stderr);
            std::abort();
        }
    }

    QByteArray fifo_;
    std::mutex mutex_; // guards done_
    std::condition_variable wake_;
    bool done_ = false;
    std::atomic<bool> fired_ = false;
    std::thread thread_;
};

QString TypeText(const QString &mime) { return QMimeDatabase().mimeTypeForName(mime).comment(); }
} // namespace

// As root a dialog on /proc stuck on /proc/kmsg for good: Qt's model read each file's first bytes on
// the window's thread to tell its type.
TEST(FileDialogs, ListAFolderWithAFifoWithoutOpeningItsFiles)
{
    WatchedFolder folder;
    QStringList shown;
    bool stuck = false;
    {
        const FifoWatchdog watchdog(folder.Path(WatchedFolder::Fifo));
        for (const bool save : {false, true}) {
            CancelNextFileDialog(
                [&] {
                    ShowFileDialog(nullptr, save, QStringLiteral("Все файлы (*)"), folder.Path(Entries[0].name));
                },
                [&](QFileDialog *dialog) {
                    dialog->setViewMode(QFileDialog::Detail);
                    // The program's dialogs hide fifos and devices, as Qt's do; shown here, the fifo's
                    // row tells that the dialog got past it.
                    dialog->setFilter(dialog->filter() | QDir::System);
                    auto *details = dialog->findChild<QTreeView *>();
                    ASSERT_NE(details, nullptr);
                    // The names and types the view lists, once every entry has its type.
                    const auto look = [&] {
                        shown.clear();
                        const QAbstractItemModel *rows = details->model();
                        for (int row = 0; row < rows->rowCount(details->rootIndex()); ++row) {
                            const QString type = rows->index(row, 2, details->rootIndex()).data().toString();
                            if (type.isEmpty())
                                return false;
                            shown << rows->index(row, 0, details->rootIndex()).data().toString();
                        }
                        return shown.size() == qsizetype(std::size(Entries)) + 1;
                    };
                    while (!look() && !watchdog.Fired())
                        QTest::qWait(10);
                });
        }
        stuck = watchdog.Fired();
    }
    EXPECT_FALSE(stuck) << "the dialog stuck on the fifo";
    EXPECT_TRUE(shown.contains(WatchedFolder::Fifo)) << shown.join(u'|').toStdString();
    EXPECT_EQ(folder.Opened().join(u'|').toStdString(), "");
}

// The dialog's types come from the names: a file's content would tell another, and a fifo given
// directly is neither opened nor waited on.
TEST(FileDialogs, TypesComeFromNamesAlone)
{
    WatchedFolder folder;
    QStringList types;
    QString fifoType;
    bool stuck = false;
    {
        const FifoWatchdog watchdog(folder.Path(WatchedFolder::Fifo));
        CancelNextFileDialog([] { ShowFileDialog(nullptr, false, QStringLiteral("Все файлы (*)")); },
                             [&](QFileDialog *dialog) {
                                 const QAbstractFileIconProvider *icons = dialog->iconProvider();
                                 ASSERT_NE(icons, nullptr);
                                 for (const Entry &entry : Entries) {
                                     const QFileInfo file(folder.Path(entry.name));
                                     (void)icons->icon(file);
                                     types << icons->type(file);
                                 }
                                 const QFileInfo fifo(folder.Path(WatchedFolder::Fifo));
                                 (void)icons->icon(fifo);
                                 fifoType = icons->type(fifo);
                             });
        stuck = watchdog.Fired();
    }
    EXPECT_FALSE(stuck) << "the type of a fifo waited for a writer";
    ASSERT_EQ(types.size(), qsizetype(std::size(Entries)));
    for (std::size_t i = 0; i < std::size(Entries); ++i)
        EXPECT_EQ(types[i].toStdString(), TypeText(Entries[i].mime).toStdString()) << Entries[i].name.toStdString();
    EXPECT_FALSE(fifoType.isEmpty());
    EXPECT_EQ(folder.Opened().join(u'|').toStdString(), "");
}

// Every icon a file dialog shows is made once for the run: Qt's pixmap cache keeps the pictures of
// every icon drawn, so icons made anew per dialog grew the program on every save and open. Two
// dialogs show the same icons (the same cache keys), of the entries and of the dialog's own buttons.
TEST(FileDialogs, TwoDialogsShareTheirIcons)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("архив")));
    QFile file(dir.filePath(QStringLiteral("conf.DEV")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QFile::link(file.fileName(), dir.filePath(QStringLiteral("link.DEV"))));

    const auto seen = [&](bool save) {
        QStringList keys;
        CancelNextFileDialog([&] { ShowFileDialog(nullptr, save, QStringLiteral("Все файлы (*)"), file.fileName()); },
                             [&](QFileDialog *dialog) {
                                 const QAbstractFileIconProvider *icons = dialog->iconProvider();
                                 ASSERT_NE(icons, nullptr);
                                 for (const QString &name : {QStringLiteral("conf.DEV"), QStringLiteral("link.DEV"),
                                                             QStringLiteral("архив")})
                                     keys << name + u'=' + QString::number(icons->icon(QFileInfo(dir.filePath(name))).cacheKey());
                                 keys << QStringLiteral("home=") +
                                             QString::number(icons->icon(QFileInfo(QDir::homePath())).cacheKey());
                                 for (const QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
                                     if (!button->icon().isNull())
                                         keys << button->objectName() + u'=' + QString::number(button->icon().cacheKey());
                                 for (const QAction *action : dialog->findChildren<QAction *>())
                                     if (!action->icon().isNull())
                                         keys << action->objectName() + u'=' + QString::number(action->icon().cacheKey());
                             });
        return keys;
    };
    const QStringList first = seen(true);
    EXPECT_GE(first.size(), 4);
    EXPECT_EQ(seen(false).join(u' ').toStdString(), first.join(u' ').toStdString());
    EXPECT_EQ(seen(true).join(u' ').toStdString(), first.join(u' ').toStdString());
}
