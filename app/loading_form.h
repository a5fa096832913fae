#pragma once
#include <QString>

// Progress text: mode 0 sets and closes, 1 sets and stays, 2 sets and closes after ShowLoading ms.
int ShowStatus(const QString &text, int mode);
