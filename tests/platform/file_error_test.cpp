// The reasons a file error is told by: Russian for every code a file meets, the system's text only
// after a Russian lead, and the same texts for the codes Qt's file classes hide in their texts.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cerrno>

#include <unistd.h>

#include "platform/file_error.h"
#include "tests/support/test_files.h"

TEST(FileErrorReason, EveryCodeAFileMeetsIsToldInRussian)
{
    const struct {
        int error;
        const char *reason;
    } cases[] = {
        {ENOSPC, "Нет свободного места на устройстве"},
        {EACCES, "Доступ запрещён"},
        {EPERM, "Доступ запрещён"},
        {ENOENT, "Файл или каталог не существует"},
        {EROFS, "Файловая система доступна только для чтения"},
        {EISDIR, "Это каталог"},
        {ENOTDIR, "Это не каталог"},
        {EFBIG, "Файл слишком большой"},
        {EDQUOT, "Превышена дисковая квота"},
        {ENAMETOOLONG, "Слишком длинное имя файла"},
        {EMLINK, "Слишком много ссылок"},
        {ELOOP, "Слишком много ссылок"},
        {EIO, "Ошибка ввода-вывода"},
        {EMFILE, "Слишком много открытых файлов"},
        {ENFILE, "Слишком много открытых файлов"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FileErrorReason(c.error), QString::fromUtf8(c.reason)) << c.error;

    // A rarer code: a Russian lead, then the system's own text.
    const QString rare = FileErrorReason(EOPNOTSUPP);
    EXPECT_TRUE(rare.startsWith(QStringLiteral("Системная ошибка: "))) << rare.toStdString();
    EXPECT_GT(rare.size(), QStringLiteral("Системная ошибка: ").size());
}

// What the openers see: Qt's texts for the codes, and its own one for a folder, turned into the table's.
TEST(FileErrorReason, QtFileErrorsReadAsTheCodesTheyCameFrom)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath("plain"), "x");
    ASSERT_TRUE(QFile::link(dir.filePath("loop"), dir.filePath("loop")));
    const struct {
        QString path;
        const char *reason;
    } cases[] = {
        {dir.filePath("missing.DEV"), "Файл или каталог не существует"},
        {dir.path(), "Это каталог"},
        {dir.filePath("plain/conf.DEV"), "Это не каталог"},
        {dir.filePath(QString(300, u'д')), "Слишком длинное имя файла"},
        {dir.filePath("loop"), "Слишком много ссылок"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QFile file(c.path);
        ASSERT_FALSE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(FileErrorReason(file), QString::fromUtf8(c.reason));
    }

    WriteFile(dir.filePath("locked"), "x");
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("locked"), QFileDevice::WriteOwner));
    QFile locked(dir.filePath("locked"));
    if (locked.open(QIODevice::ReadOnly)) {
        // Root reads a file whatever its mode.
        EXPECT_EQ(::geteuid(), 0u);
    } else {
        EXPECT_EQ(FileErrorReason(locked), QStringLiteral("Доступ запрещён"));
    }

    QTemporaryFile temporary(dir.filePath("missing/XXXXXX.docx"));
    ASSERT_FALSE(temporary.open());
    EXPECT_EQ(FileErrorReason(temporary), QStringLiteral("Файл или каталог не существует"));
}
