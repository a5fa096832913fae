#include "service/archive_open.h"

void ShowArchiveASPT(QWidget *, int) {}
void ShowArchiveASPT_A(QWidget *, int) {}
