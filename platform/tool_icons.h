#pragma once
#include <QIcon>
#include <QImage>
#include <QStyle>

// A picture of the style's standard set, made once for the run and shared by every window and dialog
// that shows it: Qt's pixmap cache keeps the pictures of every icon drawn, so an icon made anew per
// page build or per dialog would add to it each time. Needs the application object.
QIcon StandardIcon(QStyle::StandardPixmap picture);

// A picture of the style's standard set for a tool button or an action, made once and shared by every
// window that shows it. Its disabled form (DisabledLook) is plainly paler than the enabled one: the
// style's own greying leaves the grey and pale pictures (the bin, the page) looking as they do enabled.
// Needs the application object.
QIcon ToolIcon(QStyle::StandardPixmap picture);

// The look of a disabled button's picture, after the design's tool bars: the picture in greys between
// the shadow and the face colour, half faded, over its shape in white one pixel down and right.
QImage DisabledLook(const QImage &picture);
