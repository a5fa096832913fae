#include "editor/key_page.h"

void BuildKeyPage(TMainForm &, QWidget *, CTreeNode *, bool, CTreeNode *) {}
