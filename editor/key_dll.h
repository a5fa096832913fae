#pragma once
// Key codes for the key page's reader buttons: from the desktop key reader (DLL/libKeyDLL.so beside
// the executable) when it was loaded, otherwise from a key-code packet a device on the CAN line sends.
#include <QString>

#include "adapters/keyreader/keyreader_api.h"
#include "adapters/usbcan/usbcan_api.h"
#include "platform/library.h"

// The loaded key-reader library; null when it was not loaded. Set by LoadKeyDll, freed by FreeKeyDll.
extern LibraryHandle KeyDllHandle;

// Loads DLL/libKeyDLL.so under the executable's folder; silent, false when it does not load.
bool LoadKeyDll();
bool LoadKeyDllFrom(const QString &path);
// Unloads it at shut-down.
void FreeKeyDll();

// One read through the library: a key code, or an error text beginning "Ошибка - ". The entry points
// are looked up at every read; a missing one is never called and gives KeyDllMissingEntryPoint.
QString ReadKeyCode();
constexpr int KeyDllMissingEntryPoint = -1;

// The reader's text, 16 hexadecimal digits b0 .. b7, as a key code: b6 b5 b4 b3 b2 b1, the outer
// bytes dropped. A shorter text gives what pairs it has; one of four characters or fewer gives "".
QString KeyCodeFromReaderText(const QString &text);

// A key-code packet of a key reader on the line: command 0x46, whatever its section, address and
// sub-code; the code is its data bytes 6 down to 1.
constexpr uint8_t KeyCodePacketCommand = 0x46;
QString KeyCodeFromPacket(const CanPacket &record);

// Waits on the line for a key-code packet in LineKeyCodePasses passes of a drain, a scan and a pause
// of LineKeyCodePauseMs (through the link pump's Sleep: the window processes no messages meanwhile).
// Empties UsbCan.RxPackets before the first pass and after every pass. Connects first when the
// adapter is not connected (progress texts through the pump); a failed connection ends it at once,
// "Соединяемся..." left showing. True with *code set when a packet came; the adapter stays connected.
bool ReadKeyCodeFromLine(QString &code);
constexpr int LineKeyCodePasses = 5;
constexpr unsigned LineKeyCodePauseMs = 1000;

inline const QString KeyReadErrorPrefix = QStringLiteral("Ошибка - ");
inline const QString KeyReadErrorSuffix = QStringLiteral(" при считывании ключа");
inline const QString EmptyKeyCode = QStringLiteral("000000000000");
