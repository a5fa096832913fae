#include "sim/device_state.h"
#include "sim/handlers_keys.h"
#include "sim/handlers_service.h"
#include "sim/line_simulator.h"

std::vector<SimFrame> AnswerSearch(const SimFrame &request, SimDevice &device)
{
    if (request.section != 0xFF || request.subCode != 0)
        return {};
    SimFrame answer;
    answer.command = SearchAnswerCommand;
    answer.section = 0xFF;
    answer.address = uint8_t(device.address - 1);
    answer.subCode = 0;
    answer.data = QByteArray(8, '\0');
    answer.data[0] = char(device.typeId);
    return {answer};
}

namespace {

// Configuration traffic is for one device: the broadcast address configures nobody.
SimDeviceState *Addressed(const SimFrame &request, SimDevice &device)
{
    return request.address == uint8_t(device.address - 1) ? device.state.get() : nullptr;
}

std::vector<SimFrame> AnswerRequest(const SimFrame &request, SimDevice &device)
{
    SimDeviceState *state = Addressed(request, device);
    return state ? state->AnswerRequest(request, request.address) : std::vector<SimFrame>{};
}

std::vector<SimFrame> TakeWrite(const SimFrame &request, SimDevice &device)
{
    if (SimDeviceState *state = Addressed(request, device))
        state->Take(request);
    return {};
}

} // namespace

void RegisterHandlers(LineSimulator &simulator)
{
    simulator.SetHandler(SearchCommand, AnswerSearch);
    simulator.SetHandler(RequestCommand, AnswerRequest);
    simulator.SetHandler(WriteCommand, TakeWrite);
    simulator.SetHandler(EndCommand, TakeWrite);
    RegisterServiceHandlers(simulator);
    simulator.SetHandler(ArchiveCommand, AnswerArchive);
    RegisterKeyHandlers(simulator); // last: it keeps the handlers registered before it for its commands
}
