// Exchange buttons of the key page: the key reader. Loading and reading the selected key are in
// editor/key_exchange.cpp.
#include "editor/key_page.h"

void btnNumberOnClick(TMainForm &, QObject *) {}
