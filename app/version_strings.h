#pragma once
#include <QByteArray>
#include <QString>

#include "platform/version_info.h"

// The file version text of a module's version table (by default the executable's own); text keeps its
// value when the table has none or its translation is shorter than four bytes.
void ReadVersionStrings(QString &text, const QByteArray &resource = ExecutableVersionResource());
