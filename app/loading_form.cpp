#include "app/loading_form.h"

int ShowStatus(const QString &, int) { return 0; }
