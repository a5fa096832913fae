#pragma once
// Writing the catalogue models' line addresses back into devices.xml, so the next load starts from
// the addresses a search found or the engineer chose.
#include <QByteArray>
#include <QString>

class CTree;

// "devices.xml" in the program's folder (the main window's ProgramDir).
QString CataloguePath(const QString &programDir);

// Pairs the k-th sibling node from the first Device element of the first DeviceList on (comments
// count, white-space text does not) with the k-th top-level node of catalogue; where the element is
// a Device with a device_addr attribute and its name equals the node's CDevice name, that attribute
// becomes the model's device_addr. Everything else of the file keeps its meaning, its declared
// encoding and its CR LF line ends. Written with WriteWholeFile.
// Every failure is dropped: a file that cannot be read, parsed or written stays as it was.
// True when the file was written.
bool SaveDeviceAddresses(const CTree &catalogue, const QString &path);

// The bytes SaveDeviceAddresses writes for a catalogue file's bytes; empty when it writes nothing.
// Where the markup stands in the bytes as they are (UTF-8 or an 8-bit code page, no document type
// declaration, no namespaces) only the values of the paired device_addr attributes change and every
// other byte stays; any other file is rewritten as CatalogueRewrittenWithAddresses does.
QByteArray CatalogueWithAddresses(const QByteArray &original, const CTree &catalogue);
// The same pairing in libxml2's tree, the document written again in its declared encoding (in
// UTF-8 when that one cannot be read back) with the line ends and byte-order mark of the original.
QByteArray CatalogueRewrittenWithAddresses(const QByteArray &original, const CTree &catalogue);

// The description window's catalogue (ConfigForm->tvConfig) into CataloguePath(programDir);
// nothing without a description window.
void SaveDeviceAddresses(const QString &programDir);
