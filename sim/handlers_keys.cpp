#include "sim/handlers_keys.h"

#include "sim/device_state.h"

bool IsFactoryReset(const SimFrame &request, const SimDevice &device)
{
    const uint8_t wire = uint8_t(device.address - 1);
    return device.typeId == FactoryResetTypeId && request.command == DeviceCommand && request.section == 0xFF &&
           request.address == wire && request.subCode == 0 && request.data.size() >= 4 &&
           uint8_t(request.data[0]) == wire && uint8_t(request.data[3]) == 0xFF;
}

void RegisterKeyHandlers(LineSimulator &simulator)
{
    LineSimulator::Handler before = simulator.HandlerOf(DeviceCommand);
    simulator.SetHandler(DeviceCommand, [before](const SimFrame &request, SimDevice &device) {
        if (!IsFactoryReset(request, device))
            return before ? before(request, device) : std::vector<SimFrame>{};
        if (device.state)
            device.state->FactoryReset();
        return std::vector<SimFrame>{};
    });
}
