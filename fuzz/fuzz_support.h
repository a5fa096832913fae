#pragma once
// Shared bits of the fuzz targets.
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#include "model/config_tree.h"
#include "tests/support/tree_dump.h" // TreeDump, for comparing two trees

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
