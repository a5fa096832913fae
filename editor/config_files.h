#pragma once
// Configuration files (.DEV): the text the save writes, gathered from what the pages hold, and the
// file dialogs of New, Open and Save.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

#include "model/model_classes.h"

class CTreeNode;
class QObject;
class QWidget;

// The answer of Save (and of the write) when there is no configuration to take the values from.
inline const QString NoDeviceDataText = QStringLiteral("Нет данных, выберите прибор!");
// Open of a file whose build of the pages failed; the error's message follows.
inline const QString PagesBuildFailedText = QStringLiteral("Не удалось создать интерфейс для конфигурации прибора.\n");
// Open of a file whose model the catalogue lacks.
QString ModelNotInCatalogueText(const QString &name, const QString &version);

// Filter of the open and save dialogs; Linux names are case-sensitive, so ".dev" is listed too.
inline const QString ConfigFileFilter = QStringLiteral("Конфигурация прибора (*.DEV *.dev)");

// The text with "&", '"', "<" and ">" replaced by their entities (in that order, every occurrence),
// CR, LF and TAB by character references, and characters XML cannot hold at all dropped, so any
// attribute value reads back as it was written. Everything else, the slash included, passes.
QString EscapeXmlText(const QString &text);

// The value of a text of hexadecimal digits: the last character counts 1, the one before it 16, and
// so on. "0"-"9" and capital "A"-"F" are digits; any other character counts as 0 and keeps its place.
// Computed modulo 2^32: eight digits from "80000000" on give negative values, higher digits are lost.
int HexTextToInt(const QString &text);

// One table of the file as the pages hold it.
struct TConfigFileParameter {
    QString Name;
    QString Type;
    QString Address;
    QString DefaultValue;
    QStringList Values; // one per value column, as written (raw numbers)
    // Per value column: the cell carried the read marker. Kept in memory only; the file has no place
    // for it.
    std::vector<bool> Marked;
};

struct TConfigFileTable {
    QString Type;
    QString Name;
    int Columns = 0;
    int ColumnWidth = 0;
    int ObjId = 0; // the page's number
    // Filled by type: "table" its parameters, "key" its keys, "pass" its users; any other type, or a
    // page that was not found, none.
    std::vector<TConfigFileParameter> Parameters;
    std::vector<CKey> Keys;
    std::vector<CPass> Passes;
};

struct TConfigFileDevice {
    QString Name;
    QString Version;
    int DeviceId = 0;
    int DeviceAddr = 0;
    std::vector<TConfigFileTable> Tables;
};

// The lines of the file, without line ends.
QStringList ConfigFileLines(const TConfigFileDevice &device);
// The whole file: every line with CR LF, UTF-8 without a byte-order mark.
QByteArray ConfigFileBytes(const TConfigFileDevice &device);
// Writes ConfigFileBytes with WriteWholeFile, so a failed save leaves the file that was there.
// Throws WholeFileError (platform/whole_file.h) when it cannot be written.
void WriteConfigFile(const QString &path, const TConfigFileDevice &device);

// The raw value a cell text stands for: a decimal integer is brought into the parameter's range and
// its formula taken off; any other text is written as shown.
QString CellRawValue(const QString &cellText, const CParameter &parameter);

// What the pages of device hold: table node i pairs with pageIds[i] (stop when either runs out);
// a "table" table reads the cells of "lvQ" + id, a "key" table the records of "tvKey" + id, a "pass"
// table those of "tvPass" + id, each found among pageControl's components three levels deep.
TConfigFileDevice ConfigFileFromPages(const CTreeNode &device, const QList<int> &pageIds, const QObject *pageControl);

// The file dialogs of the main window; tests replace them. Each gives the chosen name, nothing when
// cancelled.
struct TConfigFileDialogs {
    std::function<std::optional<QString>(QWidget *parent)> Open;
    std::function<std::optional<QString>(QWidget *parent)> Save;
};
// Empty members restore the standard dialogs.
void SetConfigFileDialogs(TConfigFileDialogs dialogs);
std::optional<QString> ShowOpenConfigDialog(QWidget *parent);
std::optional<QString> ShowSaveConfigDialog(QWidget *parent);
