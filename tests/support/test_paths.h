#pragma once
#include <QString>

// Paths of the source tree's fixtures and of the build's outputs.
inline QString SourcePath(const QString &relative)
{
    return QStringLiteral(TIVRON_SOURCE_DIR "/") + relative;
}
inline QString BinaryPath(const QString &relative)
{
    return QStringLiteral(TIVRON_BINARY_DIR "/") + relative;
}
