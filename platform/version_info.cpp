#include "platform/version_info.h"

#include <QtEndian>

#include "platform/version_table.h"

// Block layout: per value a 16-bit path length, the path in UTF-8, a 32-bit data length and the data,
// lengths little-endian.
QByteArray BuildVersionBlock(const std::vector<VersionValue> &values)
{
    QByteArray block;
    for (const VersionValue &v : values) {
        const QByteArray path = v.Path.toUtf8();
        char len16[2];
        qToLittleEndian<quint16>(quint16(path.size()), len16);
        char len32[4];
        qToLittleEndian<quint32>(quint32(v.Data.size()), len32);
        block.append(len16, 2).append(path).append(len32, 4).append(v.Data);
    }
    return block;
}

QString ExecutableFileVersion() { return QStringLiteral(TIVRON_FILE_VERSION); }

QByteArray ExecutableVersionResource()
{
    QByteArray translation(4, '\0');
    qToLittleEndian<quint16>(0x0419, translation.data());     // Russian
    qToLittleEndian<quint16>(0x04E3, translation.data() + 2); // code page 1251
    return BuildVersionBlock({
        {QStringLiteral("\\VarFileInfo\\Translation"), translation},
        {QStringLiteral("\\StringFileInfo\\041904E3\\FileVersion"), QByteArray(TIVRON_FILE_VERSION)},
    });
}

uint32_t GetFileVersionInfoSize(const QByteArray &resource) { return uint32_t(resource.size()); }

bool GetFileVersionInfo(const QByteArray &resource, uint32_t size, QByteArray &block)
{
    if (size == 0 || size < uint32_t(resource.size()))
        return false;
    block = resource;
    return true;
}

bool VerQueryValue(const QByteArray &block, const QString &subBlock, QByteArray &value)
{
    qsizetype at = 0;
    while (at + 2 <= block.size()) {
        const quint16 pathLen = qFromLittleEndian<quint16>(block.constData() + at);
        at += 2;
        if (at + pathLen + 4 > block.size())
            return false;
        const QString path = QString::fromUtf8(block.constData() + at, pathLen);
        at += pathLen;
        const quint32 dataLen = qFromLittleEndian<quint32>(block.constData() + at);
        at += 4;
        if (dataLen > quint32(block.size() - at))
            return false;
        if (path.compare(subBlock, Qt::CaseInsensitive) == 0) {
            value = block.mid(at, dataLen);
            return true;
        }
        at += dataLen;
    }
    return false;
}
