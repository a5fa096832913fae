#pragma once
// The Word report: the configuration as the pages show it, laid out as a plain document (a title, then
// one captioned table per parameter chunk, the key table and the password table), and that document
// written as a word-processing file (.docx, Office Open XML) for the desktop's word processor to open.
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model/model_classes.h"

class CParamPage;
class CTreeNode;
class QObject;

// Status panel text while the report is made.
inline const QString ReportExportText = QStringLiteral("Идёт экспорт в файл Microsoft Word");
// A failed export; the error's message follows.
inline const QString ReportFailedText = QStringLiteral("Ошибка при экспорте в файл Word.\n");
// A report written but not opened; the file's path follows.
inline const QString ReportNotOpenedText = QStringLiteral("Не удалось открыть документ ");

// Colours are Windows colour values, 0xBBGGRR.
constexpr uint32_t kReportHeaderShading = 0xD8E9EC; // header cells: a light beige grey
constexpr uint32_t kReportMarkedShading = 0xBBBBBB; // a value a read took from the default
constexpr uint32_t kReportMarkedText = 0x808080;
// The colour as the file writes it: "RRGGBB", upper-case hexadecimal.
QString ReportColorHex(uint32_t bgr);

// Values of one parameter table at most per report table.
constexpr int kReportChunkColumns = 20;

enum class TReportAlign { Left, Center };

struct TReportCell {
    QString Text;
    TReportAlign Align = TReportAlign::Center;
    std::optional<uint32_t> Shading;   // background, 0xBBGGRR; none: no shading
    std::optional<uint32_t> TextColor; // 0xBBGGRR; none: automatic (black)
};

struct TReportTable {
    int Columns = 0;
    std::vector<std::vector<TReportCell>> Rows; // every row holds Columns cells; row 0 the header

    TReportTable() = default;
    TReportTable(int rows, int columns);
    // The cell at row, column counted from 1; null outside the table.
    TReportCell *Cell(int row, int column);
    const TReportCell *Cell(int row, int column) const;
};

// A caption paragraph, the table, then an empty paragraph.
struct TReportSection {
    QString Caption;
    TReportTable Table;
};

// Landscape, title in bold with one and a half lines, then the sections in order.
struct TReportDocument {
    QString Title;
    std::vector<TReportSection> Sections;
};

// "Конфигурация прибора " + name + " ".
QString ReportTitle(const QString &deviceName);

// The chunks of a parameter table with columns value columns: (first column from 0, count). Up to 20
// columns give one chunk (of no columns for none); wider tables chunks of 20, the last one the rest.
std::vector<std::pair<int, int>> ReportChunks(int columns);

// One section per chunk of the parameter table node as its page shows it: row r of the page pairs
// with the r-th child of the node; the page's cell texts go in as shown, and a cell marked with the
// DefaultMarker is shaded grey with grey text. Value columns: UsableCount of the table's `columns`.
std::vector<TReportSection> ParameterReportSections(const CTreeNode &table, const CParamPage &page);
// The key table "Таблица ключей" of the keys in list order: the loop columns of the header follow the
// first key's loop count, each row its own key's. Flags a record lacks, and cells beyond the table,
// stay empty.
TReportSection KeyReportSection(const std::vector<CKey> &keys);
// The password table "Таблица паролей", loop columns as for the keys.
TReportSection PassReportSection(const std::vector<CPass> &users);

// The report of what the pages of device hold: table node i pairs with pageIds[i] (stop when either
// runs out); a "table" table reads "lvQ" + id, a "key" table "tvKey" + id, a "pass" table "tvPass" + id,
// each found among pageControl's components three levels deep. A missing page, an empty key or
// password list and a table of another type add nothing.
TReportDocument ReportFromPages(const CTreeNode &device, const QList<int> &pageIds, const QObject *pageControl);

// word/document.xml of the report, UTF-8.
QByteArray ReportDocumentXml(const TReportDocument &document);

class TReportError : public std::runtime_error {
public:
    explicit TReportError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// Writes the report as a .docx file at path: the package is built in memory and written with
// WriteWholeFile, so a failed write leaves what was there. Throws TReportError when the package
// cannot be built, WholeFileError when the file cannot be written.
void WriteReportDocx(const QString &path, const TReportDocument &document);

// A new file name for a report in the system's temporary folder; the file is made (empty) so that no
// later export takes the same name, and is left for the word processor after the program ends.
// Throws TReportError when the folder is not writable.
QString NewReportPath();
