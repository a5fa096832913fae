#pragma once
// The one way the program replaces a file it writes whole: the settings, the configurations, the
// catalogue, the text exports and the report.
#include <QByteArray>
#include <QString>

#include <stdexcept>

// A file that could not be written; what() is UTF-8 and names the file and the reason.
class WholeFileError : public std::runtime_error {
public:
    explicit WholeFileError(const QString &message);
};

// "Не удалось записать файл '" + path + "': " + reason
QString CannotWriteFileText(const QString &path, const QString &reason);

// Makes bytes the whole content of path. They go to a new file beside it (the folder must take
// one), every write checked and the data synced to the disk, and only a complete file is renamed
// over path; it keeps the old file's permissions, a new file gets the usual ones. A link is
// followed: its target is replaced. A file the process may not write (for root: one without any
// write bit) is kept: "Доступ запрещён". On any failure the old file stays byte for byte, the
// temporary file is removed and WholeFileError tells why, in Russian (FileErrorReason).
void WriteWholeFile(const QString &path, const QByteArray &bytes);

// A write past the process's file-size limit (ulimit -f) raises SIGXFSZ, which by default ends the
// program with the engineer's pages and leaves the temporary file behind. Ignored, the write fails
// with EFBIG and WriteWholeFile reports it as it reports a full disk. The program calls this once
// as it starts; the signal's handling is the whole process's, so no writer changes it itself.
void IgnoreFileSizeLimitSignal();
