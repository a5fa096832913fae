#include "editor/key_dll.h"

#include <QCoreApplication>

#include <cstring>

#include "link/exchange.h"
#include "link/transfer.h"
#include "link/usb_can.h"

LibraryHandle KeyDllHandle = nullptr;

namespace {

// A reader text is 16 digits; anything far longer is not one, and its end may be missing.
constexpr std::size_t kMaxReaderText = 4096;

} // namespace

bool LoadKeyDll()
{
    return LoadKeyDllFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/DLL/libKeyDLL.so"));
}

bool LoadKeyDllFrom(const QString &path)
{
    if (KeyDllHandle)
        return true;
    KeyDllHandle = LoadLibraryFile(path);
    return KeyDllHandle != nullptr;
}

void FreeKeyDll()
{
    FreeLibraryHandle(KeyDllHandle);
    KeyDllHandle = nullptr;
}

QString KeyCodeFromReaderText(const QString &text)
{
    QString inner = text;
    inner.chop(2);
    inner.remove(0, 2);
    QString code;
    for (int pair = 6; pair >= 1; --pair)
        code += inner.mid(2 * (pair - 1), 2);
    return code;
}

QString ReadKeyCode()
{
    const auto init = GetEntryPointAs<KeyInitFn>(KeyDllHandle, "DLL_Key_Init");
    const auto data = GetEntryPointAs<KeyDataFn>(KeyDllHandle, "DLL_Key_Data");
    if (!init || !data)
        return KeyReadErrorPrefix + QString::number(KeyDllMissingEntryPoint);
    const int result = init(1, 6);
    if (result != KeyReaderOk)
        return KeyReadErrorPrefix + QString::number(result);
    const char *text = data();
    // No text at all reads as an empty one.
    const QString copy = text ? QString::fromLatin1(text, qsizetype(strnlen(text, kMaxReaderText))) : QString();
    return KeyCodeFromReaderText(copy);
}

QString KeyCodeFromPacket(const CanPacket &record)
{
    QString code;
    for (int data = 6; data >= 1; --data)
        code += QStringLiteral("%1").arg(record[4 + data], 2, 16, QLatin1Char('0')).toUpper();
    return code;
}

bool ReadKeyCodeFromLine(QString &code)
{
    const ExchangeScope exchange;
    LinkPump &pump = CurrentLinkPump();
    UsbCan.RxPackets.clear();
    if (!UsbCan.Connected) {
        pump.Status(ConnectingText, 1);
        // The progress texts let messages through: the program may have closed meanwhile.
        if (ExchangesCancelled() || UsbCan.Connect() != 0)
            return false;
        pump.Status(ConnectedText, 0);
        if (ExchangesCancelled())
            return false;
    }
    for (int pass = 0; pass < LineKeyCodePasses; ++pass) {
        UsbCan.ReceivePackets(UsbCan.RxPackets);
        for (const CanPacket &record : UsbCan.RxPackets)
            if (record[0] == KeyCodePacketCommand) {
                code = KeyCodeFromPacket(record);
                UsbCan.RxPackets.clear();
                return true;
            }
        UsbCan.RxPackets.clear();
        pump.Sleep(LineKeyCodePauseMs);
    }
    return false;
}
