#include "editor/password_page.h"

void BuildPasswordPage(TMainForm &, QWidget *, CTreeNode *, bool, CTreeNode *) {}
