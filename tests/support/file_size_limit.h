#pragma once
// A full disk without root: while a FileSizeLimit lives, no file of this process may grow past the
// given size, and a write beyond it fails (EFBIG, SIGXFSZ ignored) as one on a full disk does. The
// limit and the signal's handling are restored when it ends, before anything else is printed.
#include <QDir>
#include <QString>
#include <QStringList>

#include <csignal>

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

// Every entry of a folder, hidden ones (a temporary file left behind) included, sorted by name.
inline QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
