#pragma once
// The program's run between start-up and its end: the application-owned windows and the message loop.
#include "editor/main_form.h"

// Creates the main window (its creation reads the settings), the description window, the progress
// window and the CAN monitor, in this order, shows the main window and runs the message loop until
// the main window closes, whatever tool windows are shown then. Frees the windows in the reverse
// order of their creation, so the main window's destruction (disconnect, unload, settings written)
// comes last. An exception while the windows are created is shown and ends the run. Returns the
// message loop's code.
int RunProgram(const TMainFormEnv &env);
