#pragma once

// Qt's own texts (file dialogs, edit menus, standard buttons) in Russian, like the program's,
// whatever the system's locale. Returns false when Qt's Russian catalogue is not installed.
bool LoadQtRussianTranslations();
