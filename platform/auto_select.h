#pragma once
#include <Qt>

class QWidget;

// The old edit boxes select their whole text when they take the focus, so the first key typed
// replaces the value; Qt's select it only when the focus comes by Tab. SelectAllOnFocus gives a line
// edit or a spin box the old behaviour, also for the focus the box takes as its window opens. A click
// still puts the caret where it was clicked, and a box that gets the focus back from its drop-down, a
// menu or another window keeps its caret and selection.
void SelectAllOnFocus(QWidget *box);

// Whether a box takes the focus for this reason as the old boxes' entry: by code, Tab or a shortcut,
// and by its window's activation unless the box had the window's focus already (returning: the
// window comes back after another window, and the engineer goes on where the caret was).
bool SelectsAllOnFocus(Qt::FocusReason reason, bool returning = true);
