#pragma once
// What the CAN monitor does on the link, without its window: the command line, the monitoring
// tick and the connect/disconnect rules around WasConnected.
#include <QString>

inline const QString NoCommandText = QStringLiteral("Нет команды.");
inline const QString BadIdentifierText = QStringLiteral("Идентификатор должен состоять из 8 шестнадцатеричных цифр.");
inline const QString BadDataText = QStringLiteral("Данные должны состоять только из шестнадцатеричных цифр.");

// Why the command line refuses its texts, or an empty text when they can be sent: the identifier
// must be exactly eight hexadecimal digits (so no digits are borrowed from the data), the data
// only hexadecimal digits. An odd last data digit is dropped by the link, as for every packet text.
QString CommandLineError(const QString &id, const QString &data);

class CMonitorLink {
public:
    CMonitorLink() = default;
    ~CMonitorLink();
    CMonitorLink(const CMonitorLink &) = delete;
    CMonitorLink &operator=(const CMonitorLink &) = delete;

    // The link's Connected as it stood when the monitor was last shown. A disconnect still waiting
    // for an exchange counts as done, so the monitor goes on connecting and disconnecting itself.
    bool WasConnected = false;

    void Shown();

    // "Выполнить": refuses an empty or malformed command with a message, connects when the adapter
    // is not connected and was not at showing, and sends id + data. False when nothing was sent;
    // the link's code goes to *code (its row already shows a refusal).
    bool Execute(const QString &id, const QString &data, int *code = nullptr);

    // One monitoring tick: connects under the same rule (silently giving up on failure) and drains
    // the adapter into RxPackets. True when the drain stopped at its limit, so more is waiting.
    bool Tick();

    // The window closes: disconnects when the adapter was not connected at showing. An exchange
    // in progress (a write, a read, a wait) is not cut: the disconnect follows when it ends.
    void Closed();

    bool DisconnectPending() const { return pendingDisconnect_ != 0; }

private:
    bool ConnectIfOurs(bool reportFailure);

    int pendingDisconnect_ = 0; // CallWhenExchangesEnd id
};
