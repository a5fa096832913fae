#pragma once
#include <QString>
#include <QWidget>

#include <functional>

#include "platform/timer.h"

class QLabel;

// Progress text: mode 0 sets and closes, 1 sets and stays, 2 sets and closes after ShowLoading ms.
// The result is 0, or 2 when something failed inside.
int ShowStatus(const QString &text, int mode);

// Tests see every progress text here; with a hook set, no window is touched.
using StatusHook = std::function<void(const QString &text, int mode)>;
void SetStatusHook(StatusHook hook);

// The progress window: frameless, on top, and never takes the focus, so in-place editors of the pages
// keep theirs. Without one (LoadingForm null) ShowStatus only lets the windows process their messages.
class TLoadingForm : public QWidget {
    Q_OBJECT
public:
    // The owner is the main window; the progress window is centred on it when shown.
    explicit TLoadingForm(QWidget *owner = nullptr, std::unique_ptr<ITimerBackend> timerBackend = nullptr);

    int ShowStatus(const QString &text, int mode);
    QString StatusText() const;

    QLabel *Label1;
    QLabel *Panel1;
    CTimer Timer1;

    void Timer1Timer();

private:
    void ShowBesideOwner();
    QWidget *Owner;
};

extern TLoadingForm *LoadingForm;
