#pragma once
// A full disk without root: while a FileSizeLimit lives, no file of this process may grow past the
// given size, and a write beyond it fails (EFBIG, SIGXFSZ ignored) as one on a full disk does. The
// limit and the signal's handling are restored when it ends, before anything else is printed.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ignored_ = sigaction(SIGXFSZ, &ignore, &savedAction_) == 0;
        if (!ignored_ || getrlimit(RLIMIT_FSIZE, &saved_) != 0)
            return;
        rlimit small = saved_;
        small.rlim_cur = bytes;
        limited_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        if (limited_)
            setrlimit(RLIMIT_FSIZE, &saved_);
        if (ignored_)
            sigaction(SIGXFSZ, &savedAction_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool Active() const { return limited_; }

private:
    struct sigaction savedAction_ {};
    rlimit saved_{};
    bool ignored_ = false;
    bool limited_ = false;
};

// The reason a write past the limit is told by.
inline const QString FileTooLargeText = QStringLiteral("Файл слишком большой");

// Every entry of a folder, hidden ones (a temporary file left behind) included, sorted by name.
inline QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A save over an existing file on a disk that takes only limit bytes: the engineer is asked to replace
// the file and then told that it is too large (the two texts messages gathered), the old bytes stay
// and the folder holds no new entry.
inline void ExpectFullDiskSaveKeepsTheOldFile(const QString &path, const QByteArray &old, rlim_t limit,
                                              const std::function<void()> &save, const QStringList &messages)
{
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(old), old.size());
    }
    const QString folder = QFileInfo(path).absolutePath();
    const QStringList before = FolderEntries(folder);
    {
        FileSizeLimit small(limit);
        ASSERT_TRUE(small.Active());
        save();
    }
    ASSERT_EQ(messages.size(), 2) << messages.join(u'|').toStdString();
    EXPECT_EQ(messages[0], QStringLiteral("Заменить файл '") + path + u'\'');
    EXPECT_EQ(messages[1], QStringLiteral("Не удалось записать файл '") + path + QStringLiteral("': ") + FileTooLargeText);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(FolderEntries(folder), before);
}
