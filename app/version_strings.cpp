#include "app/version_strings.h"

#include <QtEndian>

void ReadVersionStrings(QString &text, const QByteArray &resource)
{
    const uint32_t size = GetFileVersionInfoSize(resource);
    if (size == 0)
        return;
    QByteArray block;
    if (!GetFileVersionInfo(resource, size, block))
        return;
    QByteArray translation;
    if (!VerQueryValue(block, QStringLiteral("\\VarFileInfo\\Translation"), translation) ||
        translation.size() < 4)
        return;
    const quint32 language = qFromLittleEndian<quint16>(translation.constData());
    const quint32 codePage = qFromLittleEndian<quint16>(translation.constData() + 2);
    const QString key = QStringLiteral("%1").arg(language * 65536 + codePage, 8, 16, QLatin1Char('0')).toUpper();
    QByteArray version;
    if (VerQueryValue(block, QStringLiteral("\\StringFileInfo\\") + key + QStringLiteral("\\FileVersion"), version))
        text = QString::fromLatin1(version);
}
