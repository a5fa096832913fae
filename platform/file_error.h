#pragma once
// The reason a file could not be written or opened, in Russian, for the texts that name the file.
#include <QString>

class QFileDevice;

// The reason of a system error code (errno). The codes a file can meet have texts of their own; any
// other is told by a Russian lead and the system's text.
QString FileErrorReason(int error);

// The reason a QFile or QTemporaryFile failed. Qt keeps no code, only the text it made from one (or a
// text of its own), so the code is found by that text.
QString FileErrorReason(const QFileDevice &file);

// The reason for a path that is neither a file nor a folder (a fifo, a device, a socket): reading one
// may wait for ever or never end, so it is not opened as a file.
QString NotAFileReason();
