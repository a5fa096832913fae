#pragma once
// What the engineer would miss in a window: a text cut by its control, a control squeezed below the
// size its content needs, a control that lies partly outside the widget that shows it.
#include <QString>
#include <QStringList>

class QFont;
class QWidget;

// One line per fault, naming the control by its object name, class and text. Checks every control
// of window (itself included) that is visible in it.
QStringList LayoutProblems(const QWidget *window);

// The same faults as one text for a test's failure message, empty when there are none.
std::string LayoutReport(const QWidget *window);

// How many dark pixels one line of text leaves on white: a bold face that is drawn bold leaves clearly
// more than its regular.
int DarkPixels(const QFont &font, const QString &text);
