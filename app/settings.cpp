#include "app/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "platform/profile_file.h"

int Usb_TotalPaket = 0;
int Usb_TimerSleep = 0;
int Usb_NoDevice = 0;
uint16_t Can_BaudRate = 0;
int ShowLoading = 0;
bool WarningDefaultData = false;
int AutoIncProgramWaitAns = 0;

QString IntToText(int value) { return QString::number(value); }

namespace {
const QString MainWindow = QStringLiteral("MainWindow");
const QString UsbToCan = QStringLiteral("Usb-to-CAN");
const QString Parameters = QStringLiteral("Parameters");

ISettingsWindow *TargetWindow = nullptr;
QString &TargetPath()
{
    static QString path;
    return path;
}

// A wait or count from a hand-edited file must not be negative: it takes its missing-key value.
int NonNegative(int value, int missing) { return value < 0 ? missing : value; }
} // namespace

void SetDefaultSettings()
{
    Usb_TotalPaket = 300;
    Usb_TimerSleep = 10;
    Usb_NoDevice = 1;
    Can_BaudRate = 50;
    ShowLoading = 500;
    WarningDefaultData = true;
    AutoIncProgramWaitAns = 1;
}

QString SettingsFilePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Tivron.ini"));
}

void LoadSettings(ISettingsWindow &w, const QString &path)
{
    SetDefaultSettings();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    CProfileFile ini(path);
    try {
        ini.Load();
        w.SetTop(ini.ReadInteger(MainWindow, "Top", w.GetTop()));
        w.SetLeft(ini.ReadInteger(MainWindow, "Left", w.GetLeft()));
        w.SetWidth(ini.ReadInteger(MainWindow, "Width", w.GetWidth()));
        w.SetHeight(ini.ReadInteger(MainWindow, "Height", w.GetHeight()));
        const int state = ini.ReadInteger(MainWindow, "WindowState", w.GetWindowState());
        w.SetWindowState(state >= 0 && state <= 2 ? state : 0);
        Usb_TotalPaket = NonNegative(ini.ReadInteger(UsbToCan, "Usb_TotalPaket", 300), 300);
        Usb_TimerSleep = NonNegative(ini.ReadInteger(UsbToCan, "Usb_TimerSleep", 1), 1);
        Usb_NoDevice = ini.ReadInteger(UsbToCan, "Usb_NoDevice", 1);
        Can_BaudRate = static_cast<uint16_t>(ini.ReadInteger(UsbToCan, "Can_BaudRate", 50) & 0xFFFF);
        ShowLoading = NonNegative(ini.ReadInteger(Parameters, "ShowLoading", 500), 500);
        WarningDefaultData = ini.ReadBool(Parameters, "WarningDefaultData", false);
        w.SetPaketsVisible(ini.ReadBool(Parameters, "actPakets_Visible", false));
        w.SetChangeAddrDevVisible(ini.ReadBool(Parameters, "actChangeAddrDev_Visible", true));
        AutoIncProgramWaitAns = NonNegative(ini.ReadInteger(Parameters, "AutoIncProgramWaitAns", 1), 1);
    } catch (...) {
        // A failure ends the reading; what was read stays, the rest keeps its value.
    }
}

namespace {
// The 14 keys, always in this order.
void WriteSettings(CProfileFile &ini, const ISettingsWindow &w)
{
    ini.WriteInteger(MainWindow, "Top", w.GetTop());
    ini.WriteInteger(MainWindow, "Left", w.GetLeft());
    ini.WriteInteger(MainWindow, "Width", w.GetWidth());
    ini.WriteInteger(MainWindow, "Height", w.GetHeight());
    ini.WriteInteger(MainWindow, "WindowState", w.GetWindowState());
    ini.WriteInteger(UsbToCan, "Usb_TotalPaket", Usb_TotalPaket);
    ini.WriteInteger(UsbToCan, "Usb_TimerSleep", Usb_TimerSleep);
    ini.WriteInteger(UsbToCan, "Usb_NoDevice", Usb_NoDevice);
    ini.WriteInteger(UsbToCan, "Can_BaudRate", Can_BaudRate);
    ini.WriteInteger(Parameters, "ShowLoading", ShowLoading);
    ini.WriteBool(Parameters, "WarningDefaultData", WarningDefaultData);
    ini.WriteBool(Parameters, "actPakets_Visible", w.GetPaketsVisible());
    ini.WriteBool(Parameters, "actChangeAddrDev_Visible", w.GetChangeAddrDevVisible());
    ini.WriteInteger(Parameters, "AutoIncProgramWaitAns", AutoIncProgramWaitAns);
}
} // namespace

QByteArray SettingsFileBytes(const ISettingsWindow &w)
{
    CProfileFile ini;
    WriteSettings(ini, w);
    return ini.ToBytes();
}

void SaveSettings(const ISettingsWindow &w, const QString &path)
{
    CProfileFile ini(path);
    WriteSettings(ini, w);
    ini.Save();
}

void SetSettingsTarget(ISettingsWindow *window, const QString &path)
{
    TargetWindow = window;
    TargetPath() = path;
}

void LoadSettings()
{
    if (TargetWindow)
        LoadSettings(*TargetWindow, TargetPath());
    else
        SetDefaultSettings();
}

void SaveSettings()
{
    if (TargetWindow && !TargetPath().isEmpty())
        SaveSettings(*TargetWindow, TargetPath());
}

QPoint PlaceOnScreen(const QRect &frame, const std::vector<QRect> &screens, const QRect &primary)
{
    for (const QRect &s : screens)
        if (s.intersects(frame))
            return frame.topLeft();
    return primary.topLeft();
}
