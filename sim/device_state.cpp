#include "sim/device_state.h"

#include <algorithm>

namespace {

QByteArray Data(const SimRecord &record) { return QByteArray(reinterpret_cast<const char *>(record.data()), 8); }

SimRecord Record(const QByteArray &data)
{
    SimRecord r{};
    for (int i = 0; i < int(r.size()) && i < data.size(); ++i)
        r[size_t(i)] = uint8_t(data[i]);
    return r;
}

SimFrame Answer(uint8_t section, uint8_t wire, uint8_t code, const SimRecord &record)
{
    SimFrame f;
    f.command = AnswerCommand;
    f.section = section;
    f.address = wire;
    f.subCode = code;
    f.data = Data(record);
    return f;
}

int KeyNumber(const QByteArray &data)
{
    return data.size() < 2 ? -1 : int(uint8_t(data[0])) | int(uint8_t(data[1])) << 8;
}

} // namespace

bool ParseOmitRule(const QStringList &words, OmitRule &rule)
{
    if (words.size() < 2 || words.size() > 3)
        return false;
    OmitRule r;
    bool ok = false;
    r.number = words[1].toInt(&ok);
    if (!ok)
        return false;
    if (words[0] == QLatin1String("table")) {
        r.kind = OmitRule::Table;
        if (r.number < 0 || r.number > 31)
            return false;
        if (words.size() == 3) {
            r.detail = words[2].toInt(&ok, 16);
            if (!ok || r.detail < 0 || r.detail > 0xFF)
                return false;
        }
    } else if (words[0] == QLatin1String("key")) {
        r.kind = OmitRule::Key;
        if (r.number < 0 || r.number > 0xFFFF)
            return false;
        if (words.size() == 3) {
            r.detail = words[2].toInt(&ok);
            if (!ok || (r.detail != 0 && r.detail != 1))
                return false;
        }
    } else {
        return false;
    }
    rule = r;
    return true;
}

bool SimDeviceState::Omitted(OmitRule::Kind kind, int number, int detail) const
{
    return std::any_of(omitted.begin(), omitted.end(), [&](const OmitRule &r) {
        return r.kind == kind && r.number == number && (r.detail < 0 || r.detail == detail);
    });
}

std::vector<SimFrame> SimDeviceState::AnswerRequest(const SimFrame &request, uint8_t wire) const
{
    if (request.command != RequestCommand || request.section != 0xFF)
        return {};
    if (request.subCode == KeyTableCode) {
        const int number = KeyNumber(request.data);
        return number < 0 ? std::vector<SimFrame>{} : AnswerKey(number, wire);
    }
    // Data byte 0 FF asks for every column; a table address asks for that column alone.
    const int column = request.data.isEmpty() ? 0xFF : int(uint8_t(request.data[0]));
    return AnswerTable(request.subCode, column, wire);
}

std::vector<SimFrame> SimDeviceState::AnswerTable(uint8_t code, int column, uint8_t wire) const
{
    std::vector<SimFrame> answers;
    for (const SimTable &table : tables) {
        if (table.code != code)
            continue;
        for (uint8_t section : table.sections)
            for (const SimColumn &c : table.columns) {
                if ((column != 0xFF && c.tabAddr != column) || Omitted(OmitRule::Table, code, c.tabAddr))
                    continue;
                answers.push_back(Answer(section, wire, code, c.bytes));
            }
    }
    return answers;
}

std::vector<SimFrame> SimDeviceState::AnswerKey(int number, uint8_t wire) const
{
    std::vector<SimFrame> answers;
    for (const auto &[n, key] : keys) {
        if (number != AnyKey && n != number)
            continue;
        for (uint8_t section = 0; section < 2; ++section)
            if (!Omitted(OmitRule::Key, n, section))
                answers.push_back(Answer(section, wire, KeyTableCode, key.record[section]));
    }
    return answers;
}

void SimDeviceState::Take(const SimFrame &frame)
{
    if (frame.command == WriteCommand)
        pending.push_back(frame);
    else if (frame.command == EndCommand && frame.section == 0xFF && frame.subCode == 0)
        Commit();
}

void SimDeviceState::Commit()
{
    for (const SimFrame &frame : pending)
        Apply(frame);
    pending.clear();
}

void SimDeviceState::KeepAsLoaded()
{
    loadedTables_ = tables;
    loadedKeys_ = keys;
}

void SimDeviceState::Reset()
{
    tables = loadedTables_;
    keys = loadedKeys_;
    pending.clear();
}

void SimDeviceState::KeepAsFactory(const SimDeviceState &defaults)
{
    hasFactory_ = true;
    factoryTables_ = defaults.tables;
    factoryKeys_ = defaults.keys;
}

void SimDeviceState::FactoryReset()
{
    if (!hasFactory_) {
        Reset();
        return;
    }
    tables = factoryTables_;
    keys = factoryKeys_;
    pending.clear();
}

void SimDeviceState::Apply(const SimFrame &frame)
{
    if (frame.subCode == KeyTableCode) {
        const int number = KeyNumber(frame.data);
        if (number < 0 || frame.section > 1)
            return;
        auto [it, added] = keys.try_emplace(number);
        if (added) // a key written in one packet only keeps its number in the other record
            for (SimRecord &r : it->second.record) {
                r[0] = uint8_t(number);
                r[1] = uint8_t(number >> 8);
            }
        it->second.record[frame.section] = Record(frame.data);
        return;
    }
    // The table of that code whose write section matches, else the first of that code.
    SimTable *target = nullptr;
    for (SimTable &table : tables) {
        if (table.code != frame.subCode)
            continue;
        if (table.writeSection == frame.section) {
            target = &table;
            break;
        }
        if (!target)
            target = &table;
    }
    if (!target || target->columns.empty())
        return;
    SimColumn *column = nullptr;
    if (!target->columnInByteZero) {
        column = &target->columns.front();
    } else if (!frame.data.isEmpty()) {
        for (SimColumn &c : target->columns)
            if (c.tabAddr == uint8_t(frame.data[0])) {
                column = &c;
                break;
            }
    }
    if (column) // a packet for a column the table does not have is dropped
        column->bytes = Record(frame.data);
}
