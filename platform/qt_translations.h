#pragma once

// Qt's own texts (file dialogs, edit menus, standard buttons) in Russian, like the program's,
// whatever the system's locale; the default locale becomes Russian (Russia), so that Qt's dialogs show
// sizes and dates as the texts around them. Returns false when Qt's Russian catalogue is not installed.
bool LoadQtRussianTranslations();
