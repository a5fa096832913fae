#pragma once
// The simulator on the bus: receives requests, lets the line answer them and sends the answers
// with the test options applied. Control lines (from stdin) change the options while it runs.
#include <QObject>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>

#include "sim/line_simulator.h"

class QCanBusDevice;
class QCanBusFrame;

class SimBus {
public:
    explicit SimBus(LineSimulator &simulator);
    ~SimBus();

    // Opens the bus the adapter library would open (TIVRON_CANBUS, else virtualcan can0 on
    // loopback). On a loopback virtual bus it must own the server: a taken port is an error.
    bool Open(QString *error);
    std::function<void()> onReady;         // connected, and the bus relays to us (once)
    std::function<void(const QString &)> onLog; // one line per received frame when logging
    std::function<void(uint32_t sent)> onFloodEnd; // a flood is over: the frames it put on the bus

    // A control line; returns the reply ("ok ..." or "error ...").
    //   silent ADDR | speak ADDR | delay MS | twice on|off | noise-every MS | noise N
    //   noise-mixed N (standard and remote frames among them) | fail-next K | log on|off
    //   omit ADDR table T [CC] | omit ADDR key N [S] (leave those answers out)
    //   answer ADDR [table T [CC] | key N [S]] (give them again; ADDR alone: every one)
    //   reset ADDR (back to the stored configuration) | send PACKETTEXT
    //   flood RATE MS (numbered noise frames at RATE per second for MS milliseconds)
    QString Control(const QString &line);

    // One received frame, as the bus delivers it (public for tests).
    void Receive(const QCanBusFrame &frame);
    std::function<void(const QCanBusFrame &)> sendHook; // tests catch the frames sent

private:
    void OnFramesReceived();
    void Send(const SimFrame &frame);
    bool SendFrame(const QCanBusFrame &frame);
    bool SendNoise(bool mixed);
    void ApplyNoiseInterval();
    void StartFlood(int perSecond, int ms);
    void FloodTick();
    void StartJoinCheck(const QString &plugin, const QString &interface);
    void Joined();

    LineSimulator &simulator_;
    QCanBusDevice *device_ = nullptr;
    QObject context_;
    QCanBusDevice *joinProbe_ = nullptr; // a second device of ours until the bus relays its frame to us
    QTimer joinTimer_;
    bool joined_ = false;
    QTimer noiseTimer_;
    uint32_t noiseCount_ = 0;

    // A flood keeps its rate by the clock: each tick sends what is due since it began.
    QTimer floodTimer_;
    QElapsedTimer floodClock_;
    int floodRate_ = 0, floodMs_ = 0;
    int64_t floodMade_ = 0;
    uint32_t floodSent_ = 0;
};
