#pragma once
// What one simulated device holds: the raw bytes of its parameter tables and its keys, as the
// configuration packets carry them, and the answers it gives from them.
//
// A parameter table holds one 8-byte record per value column. A table request is answered with one
// frame per column and per section of the table's parameters: command 10, the section, the wire
// address, the table code, and the column's record as data. Data byte 0 carries the column's table
// address wherever the programmer needs it to tell the columns apart (every table but a one-column
// table whose first parameter is not "sys").
//
// A key holds its two write records (section 00: number, type, loops or function and level;
// section 01: number and code). A key request is answered with both, command 10.
//
// Writes (command 01) are kept aside until the end packet (command 02, section FF) applies them,
// as a device takes a configuration only once it is complete.
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "sim/sim_frame.h"

constexpr uint8_t RequestCommand = 0x85;
constexpr uint8_t AnswerCommand = 0x10;
constexpr uint8_t WriteCommand = 0x01;
constexpr uint8_t EndCommand = 0x02;
constexpr uint8_t KeyTableCode = 0x03;
constexpr int AnyKey = 0xFFFF; // a key request for every key the device holds

using SimRecord = std::array<uint8_t, 8>;

struct SimColumn {
    uint8_t tabAddr = 0;
    SimRecord bytes{};
};

struct SimTable {
    QString name;
    uint8_t code = 0;                 // can_type: the sub-code of its packets
    uint8_t writeSection = 0;         // section of its first parameter, which write packets carry
    bool columnInByteZero = true;     // the column is named by data byte 0
    std::vector<uint8_t> sections;    // sections of its parameters that select data bytes, in order
    std::vector<SimColumn> columns;
};

struct SimKey {
    SimRecord record[2]{}; // section 00, section 01
};

// Answers a device leaves out on purpose, so the programmer's defaults and waits can be seen.
struct OmitRule {
    enum Kind { Table, Key } kind = Table;
    int number = 0;  // table code, or key number
    int detail = -1; // table: the column's table address; key: the section (0 or 1); -1 every one
    bool operator==(const OmitRule &) const = default;
};

// "table T [CC]" (code decimal, table address hexadecimal) or "key N [S]" (number decimal,
// section 0 or 1). False for anything else.
bool ParseOmitRule(const QStringList &words, OmitRule &rule);

class SimDeviceState {
public:
    std::vector<SimTable> tables;
    std::map<int, SimKey> keys;      // by key number
    std::vector<SimFrame> pending;   // written, waiting for the end packet
    std::vector<OmitRule> omitted;

    // Answers to a configuration request (command 85, section FF) sent to wire address wire.
    std::vector<SimFrame> AnswerRequest(const SimFrame &request, uint8_t wire) const;
    // A write (command 01) or the end packet (command 02): nothing is answered.
    void Take(const SimFrame &frame);
    void Commit();
    // The stored content as loaded: KeepAsLoaded remembers it, Reset brings it back (pending
    // writes dropped, omit rules kept).
    void KeepAsLoaded();
    void Reset();
    // The factory content (the catalogue's defaults): KeepAsFactory remembers it, FactoryReset
    // brings it back (pending writes dropped). Without one kept, FactoryReset is Reset.
    void KeepAsFactory(const SimDeviceState &defaults);
    void FactoryReset();

private:
    std::vector<SimFrame> AnswerTable(uint8_t code, int column, uint8_t wire) const;
    std::vector<SimFrame> AnswerKey(int number, uint8_t wire) const;
    void Apply(const SimFrame &frame);
    bool Omitted(OmitRule::Kind kind, int number, int detail) const;

    std::vector<SimTable> loadedTables_;
    std::map<int, SimKey> loadedKeys_;
    bool hasFactory_ = false;
    std::vector<SimTable> factoryTables_;
    std::map<int, SimKey> factoryKeys_;
};
