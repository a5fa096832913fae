#pragma once
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

// Settings globals, named after their keys in Tivron.ini.
extern int Usb_TotalPaket;
extern int Usb_TimerSleep;
extern int Usb_NoDevice;
extern uint16_t Can_BaudRate;
extern int ShowLoading;
extern bool WarningDefaultData;
extern int AutoIncProgramWaitAns;

QString IntToText(int value);

// What the settings file reads from and writes to the main window: its outer position, its client
// size, its state (0 normal, 1 minimised, 2 maximised) and the visibility of two actions.
class ISettingsWindow {
public:
    virtual ~ISettingsWindow() = default;
    virtual int GetTop() const = 0;
    virtual int GetLeft() const = 0;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual int GetWindowState() const = 0;
    virtual bool GetPaketsVisible() const = 0;
    virtual bool GetChangeAddrDevVisible() const = 0;
    virtual void SetTop(int value) = 0;
    virtual void SetLeft(int value) = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;
    virtual void SetWindowState(int value) = 0;
    virtual void SetPaketsVisible(bool value) = 0;
    virtual void SetChangeAddrDevVisible(bool value) = 0;
};

// The no-file values of the seven globals; the window is not touched.
void SetDefaultSettings();

// "Tivron.ini" in the executable's folder.
QString SettingsFilePath();

// Reads the file at path into the globals and the window; a missing file or key is no error.
void LoadSettings(ISettingsWindow &window, const QString &path);
// Rewrites the whole file at path (through a temporary file: a failed write keeps the old one).
// Throws std::runtime_error when it cannot be written.
void SaveSettings(const ISettingsWindow &window, const QString &path);
// The bytes SaveSettings writes.
QByteArray SettingsFileBytes(const ISettingsWindow &window);

// The main window registers itself and its settings file here; the no-argument forms use it and do
// nothing while none is registered (an empty path means: no settings file at all).
void SetSettingsTarget(ISettingsWindow *window, const QString &path);
void LoadSettings();
void SaveSettings();

// Where a window whose frame lies off every screen goes back to: the primary screen's top left.
// A frame that touches some screen keeps its place.
QPoint PlaceOnScreen(const QRect &frame, const std::vector<QRect> &screens, const QRect &primary);
