#pragma once
#include <QApplication>
#include <QString>

#include <functional>

// Runs an event handler so that no exception crosses Qt: one that leaves the handler is shown
// the way the application shows exceptions, and the program goes on.
void RunGuarded(const std::function<void()> &handler);

// How the application shows an exception: its message as an error with OK. Anything that is not a
// std::exception is shown with an empty message.
void ShowException(const QString &message);
void ShowCurrentException(); // inside a catch block

// The application object, with notify guarded as the last resort for an exception no handler caught.
class TApplication : public QApplication {
public:
    TApplication(int &argc, char **argv) : QApplication(argc, argv) {}
    bool notify(QObject *receiver, QEvent *event) override;
};
