#pragma once
// Small file helpers of the tests: a file's bytes, a file made with given bytes, and the save names
// that are blank once trimmed.
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The file's bytes; empty when it cannot be read.
inline QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Names a save dialog can give back that name no file: blanks alone, blanks in the folder, the folder.
inline QStringList BlankFileNames(const QTemporaryDir &dir)
{
    return {QStringLiteral("   "), dir.filePath(QStringLiteral("   ")), dir.path() + u'/', dir.filePath(QStringLiteral("\t "))};
}
