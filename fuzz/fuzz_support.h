#pragma once
// Shared bits of the fuzz targets.
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#include "model/config_tree.h"

// A broken invariant is a finding like a crash: say which and abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                          \
    do {                                                                                               \
        if (!(condition)) {                                                                            \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                              \
        }                                                                                              \
    } while (0)

// The sample catalogue: $TIVRON_DATA_DIR/devices.xml, else the source tree's data/.
inline QString FuzzDataPath(const QString &name)
{
    const QByteArray dir = qgetenv("TIVRON_DATA_DIR");
    return (dir.isEmpty() ? QStringLiteral(TIVRON_SOURCE_DIR "/data") : QString::fromLocal8Bit(dir)) +
           QLatin1Char('/') + name;
}

// A tree as one line per node: depth, text, pictures; for comparing two trees.
inline QStringList FuzzTreeLines(const CTree &tree)
{
    QStringList lines;
    tree.forEach([&](const CTreeNode *n) {
        QString line = QString(n->level(), QLatin1Char(' ')) + n->text + QLatin1Char('|') +
                       QString::number(n->imageIndex) + QLatin1Char('|') + QString::number(n->selectedIndex);
        if (const CItem *i = n->item())
            line += QLatin1Char('=') + i->value;
        if (const CDevice *d = n->device())
            line += QLatin1Char('@') + QString::number(d->device_addr);
        lines << line;
    });
    return lines;
}
