#pragma once
// The main window's service commands: "Сервис" (the service window) and the page menu's three
// address changes (the address-change dialog, then the configuration requested again). Their
// TMainForm handlers are defined in main_form_service.cpp.
#include <functional>

class QDialog;

// Tests run the modal windows themselves: the runner gets the window and gives its result.
using ServiceDialogRunner = std::function<int(QDialog &dialog)>;
void SetServiceDialogRunner(ServiceDialogRunner runner); // empty: exec()
