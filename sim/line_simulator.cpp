#include "sim/line_simulator.h"

#include <QRegularExpression>

#include <algorithm>

#include "sim/device_state.h"

LineSimulator::LineSimulator(LineDescription line) : line_(std::move(line)) {}

void LineSimulator::SetHandler(uint8_t command, Handler handler) { handlers_[command] = std::move(handler); }

LineSimulator::Handler LineSimulator::HandlerOf(uint8_t command) const
{
    const auto found = handlers_.find(command);
    return found == handlers_.end() ? Handler() : found->second;
}

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

bool LineSimulator::SetOmitted(const QString &rule, bool omit)
{
    QStringList words = rule.split(QRegularExpression(QStringLiteral("[\\s:]+")), Qt::SkipEmptyParts);
    bool ok = false;
    const int address = words.value(0).toInt(&ok);
    if (!ok)
        return false;
    words.removeFirst();
    OmitRule parsed;
    const bool all = words.isEmpty() && !omit;
    if (!all && !ParseOmitRule(words, parsed))
        return false;
    bool found = false;
    for (SimDevice &device : line_.devices) {
        if (device.address != address || !device.state)
            continue;
        found = true;
        std::vector<OmitRule> &rules = device.state->omitted;
        if (all)
            rules.clear();
        else if (!omit)
            rules.erase(std::remove(rules.begin(), rules.end(), parsed), rules.end());
        else if (std::find(rules.begin(), rules.end(), parsed) == rules.end())
            rules.push_back(parsed);
    }
    return found;
}

bool LineSimulator::Reset(int address)
{
    bool found = false;
    for (SimDevice &device : line_.devices)
        if (device.address == address && device.state) {
            device.state->Reset();
            found = true;
        }
    return found;
}
