#pragma once
// The line the simulator plays: one entry per device, read from a line description file.
#include <QString>

#include <memory>
#include <vector>

class SimDeviceState;

struct SimDevice {
    QString model;       // catalogue model name
    int typeId = 0;      // device_id, carried by the search answer
    int address = 0;     // device address, 1-based; the wire address is one less
    QString configPath;  // its stored configuration (.DEV), absolute; empty: catalogue defaults
    std::shared_ptr<SimDeviceState> state; // what it holds (LoadDeviceStates); none: it answers only the search
};

struct LineDescription {
    std::vector<SimDevice> devices;
    QString cataloguePath; // the catalogue naming the models, absolute
};

// <Line catalogue="devices.xml"><LineDevice model=".." device_id=".." device_addr=".." config="demo/x.DEV"/>...</Line>
// catalogue and config are relative to the file's folder; without catalogue it is devices.xml
// there. On failure returns false and sets *error.
bool LoadLineDescription(const QString &path, LineDescription &line, QString *error);
