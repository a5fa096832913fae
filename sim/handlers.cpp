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

void RegisterHandlers(LineSimulator &simulator)
{
    simulator.SetHandler(SearchCommand, AnswerSearch);
}
