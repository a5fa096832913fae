#include "sim/line_simulator.h"

LineSimulator::LineSimulator(LineDescription line) : line_(std::move(line)) {}

void LineSimulator::SetHandler(uint8_t command, Handler handler) { handlers_[command] = std::move(handler); }

std::vector<SimAnswer> LineSimulator::Answer(const SimFrame &request)
{
    std::vector<SimAnswer> answers;
    const auto handler = handlers_.find(request.command);
    if (handler == handlers_.end())
        return answers;
    for (SimDevice &device : line_.devices) {
        if (request.address != BroadcastAddress && request.address != device.address - 1)
            continue;
        if (options_.silentAddresses.count(device.address))
            continue;
        for (SimFrame &frame : handler->second(request, device))
            answers.push_back({device.address, std::move(frame)});
    }
    return answers;
}
