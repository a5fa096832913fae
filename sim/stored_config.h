#pragma once
// A device's state made from its catalogue model and its stored configuration (.DEV), laid out
// as the programmer's write packets lay out the same values.
#include <QString>

#include <cstdint>

#include "model/config_tree.h"
#include "sim/device_state.h"
#include "sim/line_description.h"

// The raw value a stored value text stands for, as the write encodes a cell:
// "числовой"/"sys": the decimal number (0 when none); "список": the number, or the value of the
// entry of that name (0 when none); "логический": "+" or "1" sets its bit mask (1 without a mask; a
// number is taken as it is without a mask); "текстовый" and any other type: 0.
int RawParameterValue(const CTreeNode &parameter, const QString &text);

// Merges value into the bytes that mask selects, the lowest selected byte least significant, by OR.
void MergeValue(SimRecord &bytes, int mask, int value);

// The two write records of a key; false when its number cannot be read from its name.
bool KeyRecords(const CKey &key, int &number, SimKey &records);

// model: a catalogue device node; stored: the device node of a .DEV file, or null (every value
// its default). Values are taken as the programmer's pages take them from a file: the stored table
// of the same name, its parameter of the same name, its c-th value for column c.
SimDeviceState BuildDeviceState(const CTreeNode &model, const CTreeNode *stored);

// Reads the catalogue and each device's .DEV and gives every device its state. A device's model is
// the catalogue model of its name, else of its type id. False with *error when a file cannot be
// read or a model is missing.
bool LoadDeviceStates(LineDescription &line, QString *error);
