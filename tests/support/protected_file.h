#pragma once
// Old files a save finds that it may or may not replace, as this runner can make them, and a save over
// one of them. Root passes every access check, so for root only a file without any write bit is
// read-only, and another user's file that its owner may write is replaced. Only root can give a file
// to another user: those rows are left out for an ordinary user, who meets the access check in the
// rows of its own files instead.
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/file_size_limit.h"
#include "tests/support/test_files.h"

// The other user of the tests that run as root.
inline uid_t NobodyUser()
{
    const passwd *p = ::getpwnam("nobody");
    return p ? p->pw_uid : 65534;
}

inline gid_t NobodyGroup()
{
    const passwd *p = ::getpwnam("nobody");
    return p ? p->pw_gid : 65534;
}

struct ProtectedFile {
    const char *name;
    mode_t mode;
    bool nobodys; // owned by nobody instead of the test's user
    bool kept;    // the save refuses it
};

inline std::vector<ProtectedFile> ProtectedFiles()
{
    const bool root = ::geteuid() == 0;
    std::vector<ProtectedFile> files = {
        {"read-only", 0444, false, true},
        {"writable by its group, not by its owner", 0464, false, !root},
        {"writable", 0644, false, false},
    };
    if (root) {
        files.push_back({"another user's, read-only", 0444, true, true});
        files.push_back({"another user's, writable by that user", 0644, true, false});
    }
    return files;
}

// Makes path hold old with the file's mode and owner.
inline void MakeProtectedFile(const QString &path, const QByteArray &old, const ProtectedFile &file)
{
    QFile::remove(path);
    WriteFile(path, old);
    const QByteArray name = QFile::encodeName(path);
    if (file.nobodys) {
        ASSERT_EQ(::chown(name.constData(), NobodyUser(), NobodyGroup()), 0);
    }
    ASSERT_EQ(::chmod(name.constData(), file.mode), 0);
}

// A save over each of ProtectedFiles: the engineer is asked to replace the file, then a file the save
// may not write keeps its bytes and "Доступ запрещён" is shown, and any other is replaced. messages
// gathers the texts shown; the folder gets no new entry.
inline void ExpectSavesOverProtectedFiles(const QString &path, const std::function<void()> &save, QStringList &messages)
{
    const QByteArray old = "old\r\n";
    const QString folder = QFileInfo(path).absolutePath();
    for (const ProtectedFile &file : ProtectedFiles()) {
        SCOPED_TRACE(file.name);
        MakeProtectedFile(path, old, file);
        const QStringList before = FolderEntries(folder);
        messages.clear();
        save();
        QStringList expected{QStringLiteral("Заменить файл '") + path + u'\''};
        if (file.kept)
            expected << QStringLiteral("Не удалось записать файл '") + path + QStringLiteral("': Доступ запрещён");
        EXPECT_EQ(messages, expected);
        if (file.kept)
            EXPECT_EQ(ReadFile(path), old);
        else
            EXPECT_NE(ReadFile(path), old);
        EXPECT_EQ(FolderEntries(folder), before);
    }
}
