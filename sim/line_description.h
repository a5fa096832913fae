#pragma once
// The line the simulator plays: one entry per device, read from a line description file.
#include <QString>

#include <vector>

struct SimDevice {
    QString model;       // catalogue model name
    int typeId = 0;      // device_id, carried by the search answer
    int address = 0;     // device address, 1-based; the wire address is one less
    QString configPath;  // its stored configuration (.DEV), absolute
};

struct LineDescription {
    std::vector<SimDevice> devices;
};

// <Line><LineDevice model=".." device_id=".." device_addr=".." config="demo/x.DEV"/>...</Line>
// config is relative to the file's folder. On failure returns false and sets *error.
bool LoadLineDescription(const QString &path, LineDescription &line, QString *error);
