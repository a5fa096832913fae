#include "platform/file_error.h"

#include <cerrno>

#include <QFileDevice>
#include <QIODevice>

namespace {
struct Reason {
    int error;
    const char16_t *text;
};

// Qt translates only a few of the system's texts; the first three stand as Qt's Russian shows them.
const Reason kReasons[] = {
    {ENOSPC, u"Нет свободного места на устройстве"},
    {EACCES, u"Доступ запрещён"},
    {ENOENT, u"Файл или каталог не существует"},
    {EPERM, u"Доступ запрещён"},
    {EROFS, u"Файловая система доступна только для чтения"},
    {EISDIR, u"Это каталог"},
    {ENOTDIR, u"Это не каталог"},
    {EFBIG, u"Файл слишком большой"},
    {EDQUOT, u"Превышена дисковая квота"},
    {ENAMETOOLONG, u"Слишком длинное имя файла"},
    {EMLINK, u"Слишком много ссылок"},
    {ELOOP, u"Слишком много ссылок"},
    {EIO, u"Ошибка ввода-вывода"},
    {EMFILE, u"Слишком много открытых файлов"},
    {ENFILE, u"Слишком много открытых файлов"},
};

QString OtherReason(const QString &systemText) { return QStringLiteral("Системная ошибка: ") + systemText; }
} // namespace

QString FileErrorReason(int error)
{
    for (const Reason &r : kReasons)
        if (r.error == error)
            return QString::fromUtf16(r.text);
    return OtherReason(qt_error_string(error));
}

QString FileErrorReason(const QFileDevice &file)
{
    const QString text = file.errorString();
    // Qt's own text for a folder opened as a file.
    if (text == QIODevice::tr("file to open is a directory"))
        return FileErrorReason(EISDIR);
    // Otherwise Qt's text is qt_error_string of the code, made under the same translation as now.
    for (const Reason &r : kReasons)
        if (text == qt_error_string(r.error))
            return QString::fromUtf16(r.text);
    return OtherReason(text);
}

QString NotAFileReason() { return QStringLiteral("Это не обычный файл"); }
