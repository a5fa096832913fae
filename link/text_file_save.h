#pragma once
// The pattern every save command of a text file follows, and the writer of text exports.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

inline const QString NoFileNameText = QStringLiteral("Имя файла не указано");
// "Заменить файл '" + name + "'"
QString ReplaceFileQuestion(const QString &name);

// How a save command forces its extension on the chosen name.
using ExtensionRule = std::function<QString(const QString &name)>;

// ".txt" is appended unless the name holds ".txt" anywhere (case-sensitive): "a.TXT" gets it,
// "a.txt.bak" keeps its name.
QString AppendTxtUnlessContained(const QString &name);
// The name's extension (after the last dot of its file part) replaced by extension (with its dot),
// or extension appended when it has none.
QString ReplaceExtension(const QString &name, const QString &extension);

// The program's open (save false) and save dialogs: Qt's own, never the desktop's, whose texts would
// not follow the program's Russian. Types and icons are judged by name and kind of entry, so no file
// is opened to show it. A save leaves the overwrite question to the caller. Gives the chosen path, or
// nothing when cancelled.
std::optional<QString> ShowFileDialog(QWidget *parent, bool save, const QString &filter,
                                      const QString &preset = QString());

// The save dialog of the text exports: filter "*.txt (*.txt *.TXT)", preset the proposed name, the
// overwrite question left to ConfirmSaveFileName. Gives the chosen path, or nothing when cancelled.
std::optional<QString> SaveTxtFileDialog(QWidget *parent, const QString &preset);

// The shared steps after the save dialog: a name whose file part (after the folder) is blank once
// trimmed is refused with NoFileNameText (information, OK); the rule forces the extension; a folder
// of that name is refused at once with CannotWriteFileText and "Это каталог" (error, OK); an
// existing file is replaced unless the engineer answers No to ReplaceFileQuestion. Gives the name
// to write, or nothing.
std::optional<QString> ConfirmSaveFileName(const QString &chosen, const ExtensionRule &rule);

// A file's size as a Russian desktop writes it: "1 байт", "2 байта", "216 байт" below a kilobyte, then
// one decimal and a unit of 1,024 of the one before: "9,6 КБ", "1,0 МБ", "3,2 ГБ".
QString FileSizeText(qint64 bytes);

// Every character that cannot stand in a file name (on any of the systems the files travel to)
// becomes "_".
QString FileNameSafe(const QString &text);
// Date in the locale's short format and time in its long format (without a time zone), blank
// between; for preset file names. By default in the program's own locale, Russian whatever the
// system's.
QString LocalDateTimeText(const QDateTime &moment, const QLocale &locale = QLocale());

// Writes the lines as the whole new content of the file, in Windows-1251, CR LF after every line
// (the last one too), through WriteWholeFile. Throws WholeFileError when the file cannot be
// written; an existing file is then left as it was.
void WriteTextFile1251(const QString &path, const QStringList &lines);
