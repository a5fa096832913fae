#include "sim/handlers_service.h"

#include "sim/device_state.h"
#include "sim/line_simulator.h"

namespace {

constexpr uint8_t AddressCommand = 0x00;   // section FF; sub-code 00 device, 01/02 detector/module, 03 new one
constexpr uint8_t ConfirmCommand = 0x84;
constexpr uint8_t FactoryCommand = 0x87;
constexpr uint8_t RestartCommand = 0x88;
constexpr uint8_t VersionCommand = 0xEF;
constexpr uint8_t VersionAnswerCommand = 0x47;
constexpr uint8_t ServiceAnswerCommand = 0x20;

uint8_t Wire(const SimDevice &device) { return uint8_t(device.address - 1); }

uint8_t DataByte(const SimFrame &frame, int k) { return k < frame.data.size() ? uint8_t(frame.data[k]) : 0; }

SimFrame Reply(uint8_t command, uint8_t section, const SimDevice &device, uint8_t subCode)
{
    SimFrame f;
    f.command = command;
    f.section = section;
    f.address = Wire(device);
    f.subCode = subCode;
    f.data = QByteArray(8, '\0');
    return f;
}

bool Own(const SimFrame &request, const SimDevice &device)
{
    return request.section == 0xFF && request.address == Wire(device);
}

void FactorySettings(SimDevice &device)
{
    if (device.state)
        device.state->FactoryReset();
}

std::vector<SimFrame> TakeAddressCommand(const SimFrame &request, SimDevice &device)
{
    if (!Own(request, device))
        return {};
    const uint8_t value = DataByte(request, 0);
    switch (request.subCode) {
    case 0:
        if (value == Wire(device)) {
            // Its own address with a flag in data byte 3: FF factory settings, 01 restart.
            if (DataByte(request, 3) == 0xFF)
                FactorySettings(device);
        } else if (value != BroadcastAddress) {
            device.address = value + 1;
        }
        return {};
    case 3: {
        // The one new detector or module behind the device takes the address and says so.
        SimFrame answer = Reply(ServiceAnswerCommand, 0xFF, device, 3);
        answer.data[0] = char(value);
        return {answer};
    }
    default: // 01, 02: a detector's or a module's address; the confirmation answers
        return {};
    }
}

std::vector<SimFrame> AnswerConfirm(const SimFrame &request, SimDevice &device)
{
    if (!Own(request, device) || (request.subCode != 1 && request.subCode != 2))
        return {};
    SimFrame answer = Reply(ServiceAnswerCommand, 0xFF, device, request.subCode);
    answer.data[0] = char(DataByte(request, 0));
    return {answer};
}

std::vector<SimFrame> TakeFactory(const SimFrame &request, SimDevice &device)
{
    if (Own(request, device))
        FactorySettings(device);
    return {};
}

std::vector<SimFrame> TakeRestart(const SimFrame &, SimDevice &) { return {}; }

std::vector<SimFrame> AnswerVersion(const SimFrame &request, SimDevice &device)
{
    if (!Own(request, device) || request.subCode != 0)
        return {};
    SimFrame answer = Reply(VersionAnswerCommand, 0xFF, device, 0);
    answer.data[1] = char(SimFirmwareMajor);
    answer.data[2] = char(SimFirmwareMinor);
    answer.data[3] = char(SimFirmwareBuild);
    return {answer};
}

} // namespace

void RegisterServiceHandlers(LineSimulator &simulator)
{
    // A handler a test set for one of these commands beforehand stays.
    auto setIfFree = [&simulator](uint8_t command, LineSimulator::Handler handler) {
        if (!simulator.HandlerOf(command))
            simulator.SetHandler(command, std::move(handler));
    };
    setIfFree(AddressCommand, TakeAddressCommand);
    setIfFree(ConfirmCommand, AnswerConfirm);
    setIfFree(FactoryCommand, TakeFactory);
    setIfFree(RestartCommand, TakeRestart);
    setIfFree(VersionCommand, AnswerVersion);
}
