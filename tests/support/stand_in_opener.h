#pragma once
// Stand-ins for the desktop's opener (xdg-open): small shell scripts that note the file they were
// given and end with a chosen status, or wait until the test lets them go.
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

// A script in dir named name: writes its argument into name + ".arg", then exits with status.
inline QString StandInOpener(const QTemporaryDir &dir, const QString &name, int status)
{
    const QString path = dir.filePath(name);
    WriteFile(path, QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > \"$0.arg\"\nexit %1\n").arg(status).toUtf8());
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

// The file the stand-in was given, empty when it never ran.
inline QString StandInOpenerArgument(const QString &opener)
{
    return QString::fromUtf8(ReadFile(opener + QStringLiteral(".arg")));
}
