#pragma once
// The devices of a line and their answers, without a bus: one handler per command.
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "sim/line_description.h"
#include "sim/sim_frame.h"

// Behaviour the tests switch on.
struct SimOptions {
    std::set<int> silentAddresses; // devices (1-based addresses) that never answer
    int answerDelayMs = 0;         // each answer goes out this late
    bool answerTwice = false;      // each answer goes out twice
    int noiseEveryMs = 0;          // a noise frame this often (0: none)
    int failNext = 0;              // the next k frames received are lost
    bool logFrames = false;        // print every received frame on stdout
};

struct SimAnswer {
    int deviceAddress = 0;
    SimFrame frame;
};

class LineSimulator {
public:
    // A handler answers one request for one device; it may give none, one or several frames.
    using Handler = std::function<std::vector<SimFrame>(const SimFrame &request, SimDevice &device)>;

    explicit LineSimulator(LineDescription line);

    void SetHandler(uint8_t command, Handler handler);
    // The handler of command, or an empty one.
    Handler HandlerOf(uint8_t command) const;
    // The answers of every addressed device (all of them for the broadcast address) that is not silent.
    std::vector<SimAnswer> Answer(const SimFrame &request);

    SimOptions &Options() { return options_; }
    // Adds (omit) or removes a rule of answers a device leaves out: "ADDR table T [CC]" or
    // "ADDR key N [S]" (ADDR the 1-based address; words apart by blanks or colons). Removing "ADDR"
    // alone removes every rule of that device. False for another text or an address without a
    // device that holds a configuration.
    bool SetOmitted(const QString &rule, bool omit);
    // The device at address goes back to its stored configuration; false when there is none.
    bool Reset(int address);
    std::vector<SimDevice> &Devices() { return line_.devices; }

private:
    LineDescription line_;
    SimOptions options_;
    std::map<uint8_t, Handler> handlers_;
};

// The handlers of the commands the simulator serves.
void RegisterHandlers(LineSimulator &simulator);

// Search broadcast FFFFFF00 (+ the PC clock): each device answers command 20, section FF, its wire
// address, sub-code 00, data byte 0 its type id.
constexpr uint8_t SearchCommand = 0xFF;
constexpr uint8_t SearchAnswerCommand = 0x20;
std::vector<SimFrame> AnswerSearch(const SimFrame &request, SimDevice &device);

// Archive requests EEFF + wire address + sub-code 00 (last record) or 01 (a record by index):
// answered with the device's <ArchiveAnswer> entries (handlers_archive.cpp).
constexpr uint8_t ArchiveCommand = 0xEE;
std::vector<SimFrame> AnswerArchive(const SimFrame &request, SimDevice &device);
