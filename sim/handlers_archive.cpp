// Archive requests (command EE, section FF): sub-code 00 asks for the last record, sub-code 01 for
// one record by the index in data bytes 0-1. A device answers with what its line description
// lists, whatever the record layout: every "last" answer, or every "record" answer carrying the
// same two index bytes.
#include "sim/line_simulator.h"

std::vector<SimFrame> AnswerArchive(const SimFrame &request, SimDevice &device)
{
    if (request.address != uint8_t(device.address - 1) || request.section != 0xFF || request.subCode > 1)
        return {};
    const bool last = request.subCode == 0;
    std::vector<SimFrame> answers;
    for (const SimArchiveAnswer &entry : device.archive) {
        if (entry.last != last)
            continue;
        if (!last && (request.data.size() < 2 || entry.data.left(2) != request.data.left(2)))
            continue;
        SimFrame answer;
        answer.command = ArchiveCommand;
        answer.section = entry.section;
        answer.address = request.address;
        answer.subCode = entry.subCode;
        answer.data = entry.data;
        answers.push_back(answer);
    }
    return answers;
}
