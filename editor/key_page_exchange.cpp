// Exchange buttons of the key page: loading and reading the selected key, and the key reader. The
// single-key exchange and the key reader fill these in.
#include "editor/key_page.h"

void btnKeySaveClick(TMainForm &, QObject *) {}
void btnKeyLoadClick(TMainForm &, QObject *) {}
void btnNumberOnClick(TMainForm &, QObject *) {}
