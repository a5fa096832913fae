#pragma once
#include <QIcon>
#include <QList>

// The nine 24 x 24 pictures of the description trees (ilConfig), indexed as ConfigImage gives:
// device, parameter table, parameter, list entry or stored value, key table, password table, key,
// loop flag, password. Drawn in code; needs a QGuiApplication.
QList<QIcon> ConfigImageList();
