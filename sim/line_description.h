#pragma once
// The line the simulator plays: one entry per device, read from a line description file.
#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class SimDeviceState;

// One archive answer a device gives: to the last-record request (sub-code 00) or to every record
// request (sub-code 01) whose data bytes 0-1 equal its own.
struct SimArchiveAnswer {
    bool last = false;
    uint8_t section = 0;
    uint8_t subCode = 0;
    QByteArray data; // 8 bytes
};

struct SimDevice {
    QString model;       // catalogue model name
    int typeId = 0;      // device_id, carried by the search answer
    int address = 0;     // device address, 1-based; the wire address is one less
    QString configPath;  // its stored configuration (.DEV), absolute; empty: catalogue defaults
    std::shared_ptr<SimDeviceState> state; // what it holds (LoadDeviceStates); none: it answers only the search
    std::vector<SimArchiveAnswer> archive;  // <ArchiveAnswer> children, in file order
};

struct LineDescription {
    std::vector<SimDevice> devices;
    QString cataloguePath; // the catalogue naming the models, absolute
};

// <Line catalogue="devices.xml"><LineDevice model=".." device_id=".." device_addr=".." config="demo/x.DEV"/>...</Line>
// A LineDevice may hold <ArchiveAnswer to="last|record" section="FF" sub="1C" data="16 hex digits"/>.
// catalogue and config are relative to the file's folder; without catalogue it is devices.xml
// there. On failure returns false and sets *error.
bool LoadLineDescription(const QString &path, LineDescription &line, QString *error);
