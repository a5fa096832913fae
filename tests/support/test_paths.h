#pragma once
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Paths of the source tree's fixtures and of the build's outputs.
inline QString SourcePath(const QString &relative)
{
    return QStringLiteral(TIVRON_SOURCE_DIR "/") + relative;
}
inline QString BinaryPath(const QString &relative)
{
    return QStringLiteral(TIVRON_BINARY_DIR "/") + relative;
}

// The sample catalogue copied into dir as devices.xml: the copy's path, or empty when it failed.
inline QString CopySampleCatalogue(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("devices.xml"));
    return QFile::copy(SourcePath(QStringLiteral("data/devices.xml")), path) ? path : QString();
}
