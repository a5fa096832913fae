#pragma once
// Writing the catalogue models' line addresses back into devices.xml, so the next load starts from
// the addresses a search found or the engineer chose.
#include <QString>

class CTree;

// "devices.xml" in the program's folder (the main window's ProgramDir).
QString CataloguePath(const QString &programDir);

// Pairs the k-th sibling node from the first Device element of the first DeviceList on (comments
// count, white-space text does not) with the k-th top-level node of catalogue; where the element is
// a Device with a device_addr attribute and its name equals the node's CDevice name, that attribute
// becomes the model's device_addr. Everything else of the file keeps its meaning, its declared
// encoding and its CR LF line ends. Written through a temporary file and a rename.
// Every failure is dropped: a file that cannot be read, parsed or written stays as it was.
// True when the file was written.
bool SaveDeviceAddresses(const CTree &catalogue, const QString &path);

// The description window's catalogue (ConfigForm->tvConfig) into CataloguePath(programDir);
// nothing without a description window.
void SaveDeviceAddresses(const QString &programDir);
