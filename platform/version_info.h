#pragma once
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// The version table of a module, as the old platform's version resource held it: values reached by
// paths such as "\VarFileInfo\Translation" and "\StringFileInfo\041904E3\FileVersion".
struct VersionValue {
    QString Path;
    QByteArray Data;
};

// A version table as one block of bytes.
QByteArray BuildVersionBlock(const std::vector<VersionValue> &values);

// The executable's own table: one translation (Russian, code page 1251) and the four-number file version.
QByteArray ExecutableVersionResource();
QString ExecutableFileVersion();

// The lookup steps of the old platform, over a module's resource (empty when it has none).
uint32_t GetFileVersionInfoSize(const QByteArray &resource);
bool GetFileVersionInfo(const QByteArray &resource, uint32_t size, QByteArray &block);
// Finds a value by its path, without regard to case; false when it is not there.
bool VerQueryValue(const QByteArray &block, const QString &subBlock, QByteArray &value);
