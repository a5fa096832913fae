#include "link/transfer.h"

#include <algorithm>

#include <QCoreApplication>
#include <QThread>

#include "app/loading_form.h"
#include "app/settings.h"
#include "link/exchange.h"
#include "link/usb_can.h"
#include "platform/event_loop.h"

namespace {

class RealPump : public LinkPump {
public:
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void Sleep(unsigned milliseconds) override { QThread::msleep(milliseconds); }
    void Status(const QString &text, int mode) override { ShowStatus(text, mode); }
    int64_t Moment() override { return CPreciseSleep::SteadyNowNs(); }
    void PauseSince(int64_t moment, unsigned milliseconds) override
    {
        pause_.Until(moment + int64_t(milliseconds) * 1000000);
    }

private:
    CPreciseSleep pause_;
};

LinkPump *g_pump = nullptr;

} // namespace

LinkPump &CurrentLinkPump()
{
    static RealPump real;
    return g_pump ? *g_pump : real;
}

void SetLinkPump(LinkPump *pump) { g_pump = pump; }

CPacketPacer::CPacketPacer(LinkPump &pump, int milliseconds)
    : pump_(pump), milliseconds_(unsigned(std::max(milliseconds, 0)))
{
}

void CPacketPacer::Pause()
{
    if (!pending_)
        return;
    pending_ = false;
    pump_.PauseSince(sentAt_, milliseconds_);
}

void CPacketPacer::Sent(int64_t moment)
{
    sentAt_ = moment;
    pending_ = true;
}

bool PacketMatches(const CanPacket &record, const PacketPattern &pattern)
{
    bool anySet = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] < 0)
            continue;
        if (pattern[i] != record[i])
            return false;
        anySet = true;
    }
    return anySet;
}

int WaitForPacket(const PacketPattern &pattern, uint32_t timeout, CanPacket *matched)
{
    ExchangeScope exchange;
    LinkPump &pump = CurrentLinkPump();
    const uint32_t passes = timeout / 2;
    for (uint32_t pass = 0; pass < passes && !ExchangesCancelled(); ++pass) {
        pump.ProcessEvents();
        if (ExchangesCancelled())
            break;
        pump.Sleep(1);
        UsbCan.ReceivePackets(UsbCan.RxPackets);
        const std::vector<CanPacket> &list = UsbCan.RxPackets;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (PacketMatches(list[i], pattern)) {
                if (matched)
                    *matched = list[i];
                return int(i) + 1;
            }
        }
    }
    return 0;
}

namespace {
bool ListFailed(ListSendFailure *failure, ListSendFailure why)
{
    if (failure)
        *failure = why;
    return false;
}
} // namespace

bool SendPacketList(const QStringList &lines, ListSendFailure *failure)
{
    ExchangeScope exchange;
    if (failure)
        *failure = ListSendFailure::None;
    LinkPump &pump = CurrentLinkPump();
    // Each progress text lets messages through; the program may close in any of them.
    pump.Status(ConnectingText, 1);
    if (ExchangesCancelled())
        return ListFailed(failure, ListSendFailure::Cancelled);
    int code = UsbCan.Connect();
    if (code != 0) {
        pump.Status(ConnectFailedText + IntToText(code), 2);
        return ListFailed(failure, ListSendFailure::Connect);
    }
    pump.Status(ConnectedText, 1);

    int sent = 0;
    CPacketPacer pacer(pump, Usb_TimerSleep);
    for (int i = 0; i < lines.size(); ++i) {
        QString text = lines[i];
        text.remove(QLatin1Char(' '));
        const QString loading = QStringLiteral("Загрузка пакета №") + IntToText(i + 1);
        pump.Status(loading, 1);
        if (ExchangesCancelled())
            return ListFailed(failure, ListSendFailure::Cancelled);
        // The pause after the packet before ends here, so drawing the texts since was part of it.
        pacer.Pause();
        int64_t sentAt = 0;
        try {
            code = -1;
            for (int attempt = 0; attempt < 3 && code != 0; ++attempt) {
                sentAt = pump.Moment();
                code = UsbCan.SendPacket(text);
            }
        } catch (...) {
            // Not left on top of everything: the caller shows the error.
            pump.Status(loading, 0);
            throw;
        }
        if (code != 0) {
            // The list stopped part way: the error stays on screen and the caller sees a failure.
            pump.Status(WriteFailedText + IntToText(code), 2);
            return ListFailed(failure, ListSendFailure::Packet);
        }
        ++sent;
        pacer.Sent(sentAt);
        pump.Status(QStringLiteral("Пакет №") + IntToText(i + 1) + QStringLiteral(" загружен"), 1);
    }
    pacer.Pause();
    pump.Status(QStringLiteral("Всего загруженно пакетов = ") + IntToText(sent), 2);
    if (ExchangesCancelled())
        return ListFailed(failure, ListSendFailure::Cancelled);
    return true;
}
