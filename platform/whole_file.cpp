#include "platform/whole_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "platform/file_error.h"

// Qt's QSaveFile is not used: opened buffered, it takes a write the disk cannot hold into its
// buffer, and the commit that fails to flush it still renames the short file over the old one.

namespace {
// Gives every byte to the file, going on after a short count; false with errno set when the file
// takes no more.
bool WriteAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QByteArray RandomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(6, '0');
    for (char &c : suffix)
        c = letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return suffix;
}

// A new, empty file ".name.XXXXXX" beside target, open for writing; -1 with errno set when the
// folder takes none.
int CreateTemporary(const QFileInfo &target, QByteArray &tempName)
{
    const QByteArray stem = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName()) + '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = stem + RandomSuffix();
        // 0666 less the umask, as any new file of the program.
        const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A rename over a file needs only its folder's permission, so it would replace a file that the engineer
// may not write; such a file is kept, as writing into it would be refused. Root passes every access
// check, so for root a file without any write bit is the read-only one. False with errno set when the
// file is to be kept.
bool MayReplace(const QByteArray &name, const struct stat &old)
{
    if (::geteuid() != 0)
        return ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) == 0;
    if ((old.st_mode & 0222) != 0)
        return true;
    errno = EACCES;
    return false;
}

// The folder's entry of the rename reaches the disk too; a folder that cannot be synced changes
// nothing of the file.
void SyncFolder(const QFileInfo &target)
{
    const int fd = ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

WholeFileError::WholeFileError(const QString &message) : std::runtime_error(message.toStdString()) {}

QString CannotWriteFileText(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось записать файл '") + path + QStringLiteral("': ") + reason;
}

void WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QFileInfo target(path);
    if (target.isSymLink()) {
        const QString resolved = target.canonicalFilePath();
        if (!resolved.isEmpty())
            target = QFileInfo(resolved);
    }
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
    struct stat old {};
    const bool replacing = ::stat(targetName.constData(), &old) == 0 && S_ISREG(old.st_mode);
    if (replacing && !MayReplace(targetName, old))
        throw WholeFileError(CannotWriteFileText(path, FileErrorReason(errno)));

    QByteArray tempName;
    const int fd = CreateTemporary(target, tempName);
    if (fd < 0)
        throw WholeFileError(CannotWriteFileText(path, FileErrorReason(errno)));
    if (replacing)
        ::fchmod(fd, old.st_mode & 07777); // the replaced file's permissions stay; failing, the usual ones

    bool written = WriteAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    int error = written ? 0 : errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && std::rename(tempName.constData(), targetName.constData()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(tempName.constData());
        throw WholeFileError(CannotWriteFileText(path, FileErrorReason(error)));
    }
    SyncFolder(target);
}

void IgnoreFileSizeLimitSignal()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}
