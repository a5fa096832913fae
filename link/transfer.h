#pragma once
// The pattern wait and the packet list sender over UsbCan.
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

#include "adapters/usbcan/usbcan_api.h"

// What the waits need from their host: letting the window process its messages, sleeping and
// the progress window. Tests give one that runs without real time.
class LinkPump {
public:
    virtual ~LinkPump() = default;
    virtual void ProcessEvents() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    virtual void Status(const QString &text, int mode) = 0; // ShowStatus

    // A pause lasts its milliseconds from a Moment() taken just before a packet went to the adapter,
    // so whatever ran since (the send, progress texts) is part of it and not added to it. Pumps
    // without a clock sleep the whole pause.
    virtual int64_t Moment() { return 0; }
    virtual void PauseSince(int64_t /*moment*/, unsigned milliseconds) { Sleep(milliseconds); }
};

// The pause of Usb_TimerSleep after each packet sent, waited out just before the next packet goes
// (and once more when the list ends): the progress texts between two packets fall inside it, and two
// packets are never closer on the wire than the pause. A failed packet gets no pause.
class CPacketPacer {
public:
    CPacketPacer(LinkPump &pump, int milliseconds);
    // Waits out the pause after the packet sent last, unless that was done already.
    void Pause();
    // A packet went out; moment is the pump's Moment() taken just before that attempt.
    void Sent(int64_t moment);

private:
    LinkPump &pump_;
    unsigned milliseconds_;
    int64_t sentAt_ = 0;
    bool pending_ = false;
};

LinkPump &CurrentLinkPump();
// Not owned; null restores the real one (QCoreApplication::processEvents, QThread::msleep, ShowStatus).
void SetLinkPump(LinkPump *pump);

// One value per byte of a CanPacket: negative = any byte, 0-255 = that byte, above 255 never matches.
using PacketPattern = std::array<int, 12>;

// A record matches when no set value differs and at least one value is set.
bool PacketMatches(const CanPacket &record, const PacketPattern &pattern);

// Drains the adapter in timeout / 2 passes (events, 1 ms sleep, drain, scan of the whole list) and
// returns the 1-based index in UsbCan.RxPackets of the first match, or 0. The matched record is
// copied to *matched, so a list that a timer clears meanwhile is never read out of range.
// Exchanges cancelled (the program closing) end it with 0 at once.
int WaitForPacket(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched = nullptr);

// Why a list was not sent whole.
enum class ListSendFailure {
    None,
    Connect,   // the adapter did not connect; nothing was sent
    Packet,    // a packet still failed after three attempts; those before it went out
    Cancelled, // the program is closing (link/exchange.h)
};

// Connects and sends the lines one by one (blanks removed), up to three attempts each, with
// progress texts and a pause of Usb_TimerSleep ms after each packet sent. True only when every
// line was sent; a connection failure or a packet that still fails ends it with false, its error
// text left on screen, and says which in *failure. A line the link refuses throws PacketTextError
// after closing the progress window.
bool SendPacketList(const QStringList &lines, ListSendFailure *failure = nullptr);

inline const QString ConnectingText = QStringLiteral("Соединяемся...");
inline const QString ConnectedText = QStringLiteral("Соединение прошло успешно");
inline const QString ConnectFailedText = QStringLiteral("Не могу соединиться с прибором, ответ библиотеки UsbCan.dll = ");
inline const QString WriteFailedText = QStringLiteral("Не могу записать данные в прибор, ответ библиотеки UsbCan.dll = ");
