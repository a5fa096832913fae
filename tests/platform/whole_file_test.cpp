// The one writer of whole files: a file is replaced only by a complete one, and every failure says so.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>

#include <csignal>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/whole_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/protected_file.h"
#include "tests/support/test_files.h"

namespace {
mode_t Mode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// How a child process ended and what it reported back.
struct ChildEnd {
    bool exited = false; // with status 0; else stopped by a signal or failed
    int signal = 0;
    QByteArray report;
};

// Runs body in a forked child, which sends what body returns back through a pipe and exits 0.
ChildEnd RunInChild(const std::function<std::string()> &body)
{
    ChildEnd end;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return end;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const std::string report = body();
        if (::write(pipeFds[1], report.data(), report.size()) < 0)
            ::_exit(1);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char chunk[512];
    ssize_t n = 0;
    while ((n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0)
        end.report.append(chunk, qsizetype(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return end;
    end.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

// Runs write in a child process as the user nobody, for a root runner to meet an ordinary user's
// access check: what it threw, empty when it wrote; none when the child could not become nobody or
// cannot reach folder.
std::optional<QString> WrittenByNobody(const QString &folder, const std::function<void()> &write)
{
    const ChildEnd end = RunInChild([&] {
        std::string what = "\x01";
        if (::setgroups(0, nullptr) == 0 && ::setgid(NobodyGroup()) == 0 && ::setuid(NobodyUser()) == 0 &&
            ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0) {
            try {
                write();
                what.clear();
            } catch (const std::exception &e) {
                what = e.what();
            }
        }
        return what;
    });
    if (!end.exited || end.report == "\x01")
        return std::nullopt;
    return QString::fromUtf8(end.report);
}
} // namespace

TEST(WholeFile, ReplacesTheFileKeepingItsPermissionsAndFollowingALink)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("conf.DEV");
    WriteFile(path, QByteArray(5000, 'o'));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    WriteWholeFile(path, "new");
    EXPECT_EQ(ReadFile(path), "new"); // shorter than the old: nothing of it is left
    EXPECT_EQ(Mode(path), mode_t(0640));

    // A new file gets what any new file of the program gets: 0666 less the umask.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    WriteWholeFile(dir.filePath("fresh.txt"), "");
    EXPECT_EQ(Mode(dir.filePath("fresh.txt")), mode_t(0666 & ~mask));
    EXPECT_EQ(ReadFile(dir.filePath("fresh.txt")), "");

    ASSERT_TRUE(QFile::link(path, dir.filePath("link.DEV")));
    WriteWholeFile(dir.filePath("link.DEV"), "through the link");
    EXPECT_TRUE(QFileInfo(dir.filePath("link.DEV")).isSymLink());
    EXPECT_EQ(ReadFile(path), "through the link");
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{"conf.DEV", "fresh.txt", "link.DEV"}));
}

// The disk takes 4,096 bytes of a 9,117-byte file: the old file stays as it was, a new one does not
// appear, and the error names the file.
TEST(WholeFile, AFullDiskKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Tivron.ini");
    const QByteArray old = "[MainWindow]\r\nTop=1\r\n";
    WriteFile(path, old);
    const QByteArray bytes(9117, 'n');
    QString replacing, creating;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        try {
            WriteWholeFile(path, bytes);
        } catch (const WholeFileError &e) {
            replacing = QString::fromUtf8(e.what());
        }
        try {
            WriteWholeFile(dir.filePath("new.DEV"), bytes);
        } catch (const WholeFileError &e) {
            creating = QString::fromUtf8(e.what());
        }
    }
    EXPECT_EQ(replacing, "Не удалось записать файл '" + path + "': Файл слишком большой");
    EXPECT_EQ(creating, "Не удалось записать файл '" + dir.filePath("new.DEV") + "': Файл слишком большой");
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"Tivron.ini"});

    // Room again: the same write goes through.
    WriteWholeFile(path, bytes);
    EXPECT_EQ(ReadFile(path), bytes);
}

// Under a file-size limit (ulimit -f) the system stops a process whose write passes it by SIGXFSZ.
// A child process with the signal's default handling takes the program's start-up step (or not) and
// saves 1,899 bytes under a 1,000-byte limit: how it ended and what the writer threw.
namespace {
struct LimitedSave {
    bool exited = false; // else stopped by a signal
    int signal = 0;
    QString thrown;
};

LimitedSave SaveUnderLimitInChild(const QString &path, const QByteArray &bytes, bool startUpStep)
{
    const ChildEnd end = RunInChild([&] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore); // the default handling would also dump a core
        if (startUpStep)
            IgnoreFileSizeLimitSignal();
        rlimit small{};
        if (::getrlimit(RLIMIT_FSIZE, &small) != 0)
            ::_exit(2);
        small.rlim_cur = 1000;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
            ::_exit(2);
        std::string what;
        try {
            WriteWholeFile(path, bytes);
        } catch (const std::exception &e) {
            what = e.what();
        }
        return what;
    });
    return {end.exited, end.signal, QString::fromUtf8(end.report)};
}
} // namespace

TEST(WholeFile, AFileSizeLimitFailsTheSaveOnceTheProgramHasStarted)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("conf.DEV");
    const QByteArray old = "<?xml version=\"1.0\"?>\r\n";
    const QByteArray bytes(1899, 'n');

    // Without the start-up step the process dies on the first write past the limit.
    WriteFile(path, old);
    const LimitedSave bare = SaveUnderLimitInChild(path, bytes, false);
    EXPECT_FALSE(bare.exited);
    EXPECT_EQ(bare.signal, SIGXFSZ);

    // With it the save is refused as on a full disk: the old file stays and nothing is left beside it.
    QTemporaryDir clean;
    const QString kept = clean.filePath("conf.DEV");
    WriteFile(kept, old);
    const LimitedSave started = SaveUnderLimitInChild(kept, bytes, true);
    EXPECT_TRUE(started.exited);
    EXPECT_EQ(started.signal, 0);
    EXPECT_EQ(started.thrown, "Не удалось записать файл '" + kept + "': Файл слишком большой");
    EXPECT_EQ(ReadFile(kept), old);
    EXPECT_EQ(FolderEntries(clean.path()), QStringList{"conf.DEV"});
}

// A path that can name no file: the reason in Russian, and nothing is left behind.
TEST(WholeFile, APathThatTakesNoFileIsToldWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken"));
    WriteFile(dir.filePath("plain"), "x");
    ASSERT_TRUE(QFile::link(dir.filePath("loop"), dir.filePath("loop")));
    const struct {
        QString path;
        const char *reason;
    } cases[] = {
        {dir.filePath("missing/conf.DEV"), "Файл или каталог не существует"},
        {dir.filePath("taken"), "Это каталог"}, // a folder in the file's place is not replaced
        {dir.filePath("plain/conf.DEV"), "Это не каталог"},
        {dir.filePath(QString(300, u'д') + ".DEV"), "Слишком длинное имя файла"},
        {dir.filePath("loop/conf.DEV"), "Слишком много ссылок"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        try {
            WriteWholeFile(c.path, "x");
            ADD_FAILURE() << "written";
        } catch (const WholeFileError &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), "Не удалось записать файл '" + c.path + "': " + c.reason);
        }
    }
    EXPECT_TRUE(QFileInfo(dir.filePath("taken")).isDir());
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{"loop", "plain", "taken"}));
}

// The rename needs only the folder's permission: a file the writer may not write would be replaced by
// it. Such a file keeps its bytes and mode; a writable one is replaced as ever.
TEST(WholeFile, AFileTheWriterMayNotWriteIsKept)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("conf.DEV");
    const QString denied = "Не удалось записать файл '" + path + "': Доступ запрещён";
    const auto write = [&](const QString &target) -> QString {
        try {
            WriteWholeFile(target, "new");
        } catch (const WholeFileError &e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    };
    const auto expectOutcome = [&](const QString &error, const ProtectedFile &file) {
        EXPECT_EQ(error, file.kept ? denied : QString());
        EXPECT_EQ(ReadFile(path), file.kept ? QByteArray("old") : QByteArray("new"));
        EXPECT_EQ(Mode(path), file.mode);
        EXPECT_EQ(FolderEntries(dir.path()), QStringList{"conf.DEV"});
    };
    for (const ProtectedFile &file : ProtectedFiles()) {
        SCOPED_TRACE(file.name);
        MakeProtectedFile(path, "old", file);
        expectOutcome(write(path), file);
    }

    // Through a link: the read-only target is kept and the link stays.
    MakeProtectedFile(path, "old", ProtectedFile{"read-only", 0444, false, true});
    const QString link = dir.filePath("link.DEV");
    ASSERT_TRUE(QFile::link(path, link));
    EXPECT_EQ(write(link), "Не удалось записать файл '" + link + "': Доступ запрещён");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadFile(path), "old");
    ASSERT_TRUE(QFile::remove(link));

    // An ordinary user over root's files, where the runner is root: the access check of that user.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        for (const ProtectedFile &file : {ProtectedFile{"root's, writable by root alone", 0644, false, true},
                                          ProtectedFile{"root's, writable by all", 0666, false, false}}) {
            SCOPED_TRACE(file.name);
            MakeProtectedFile(path, "old", file);
            const std::optional<QString> error = WrittenByNobody(dir.path(), [&] { WriteWholeFile(path, "new"); });
            if (!error)
                GTEST_SKIP() << "the user nobody cannot write into " << dir.path().toStdString();
            expectOutcome(*error, file);
        }
    }

}
