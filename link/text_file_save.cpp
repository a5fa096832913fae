#include "link/text_file_save.h"

#include <algorithm>

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMimeDatabase>
#include <QStringEncoder>

#include "app/message_dlg.h"
#include "platform/whole_file.h"

namespace {
// Qt's file model writes sizes and dates in the system's locale (the C locale on a machine set up in
// English) and calls a folder "Folder": the dialog's details follow the program's locale instead.
class CLocaleFileDetails : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale locale;
        switch (index.column()) {
        case 1:
            return files->isDir(source) ? QIdentityProxyModel::data(index, role)
                                        : QVariant(locale.formattedDataSize(files->size(source)));
        case 2:
            return files->isDir(source) ? QVariant(QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment())
                                        : QIdentityProxyModel::data(index, role);
        case 3:
            return locale.toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};
} // namespace

QString ReplaceFileQuestion(const QString &name)
{
    return QStringLiteral("Заменить файл '") + name + u'\'';
}

QString AppendTxtUnlessContained(const QString &name)
{
    if (name.contains(QStringLiteral(".txt"), Qt::CaseSensitive))
        return name;
    return name + QStringLiteral(".txt");
}

namespace {
// Where the file part of a name starts: after its last slash or backslash.
qsizetype FilePartStart(const QString &name)
{
    return std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1;
}
} // namespace

QString ReplaceExtension(const QString &name, const QString &extension)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= FilePartStart(name))
        return name.left(dot) + extension;
    return name + extension;
}

std::optional<QString> ConfirmSaveFileName(const QString &chosen, const ExtensionRule &rule)
{
    // The dialog gives its folder before the typed name: blanks typed there come as "/folder/   ".
    if (chosen.mid(FilePartStart(chosen)).trimmed().isEmpty()) {
        ShowMessageDlg(NoFileNameText, mtInformation, mbOK);
        return std::nullopt;
    }
    const QString name = rule ? rule(chosen) : chosen;
    if (QFileInfo::exists(name) &&
        ShowMessageDlg(ReplaceFileQuestion(name), mtConfirmation, MsgButtons(mbYes) | MsgButtons(mbNo)) == mrNo)
        return std::nullopt;
    return name;
}

QString FileNameSafe(const QString &text)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    QString safe = text;
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || forbidden.contains(c))
            c = u'_';
    }
    return safe;
}

QString LocalDateTimeText(const QDateTime &moment, const QLocale &locale)
{
    // The long time format may end in a time zone ("t"), which no file name needs.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(u't');
    timeFormat = timeFormat.trimmed();
    return locale.toString(moment.date(), QLocale::ShortFormat) + u' ' + locale.toString(moment.time(), timeFormat);
}

void WriteTextFile1251(const QString &path, const QStringList &lines)
{
    QString text;
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    QStringEncoder encoder("windows-1251");
    const QByteArray bytes = encoder.encode(text);

    // Never in place: a folder that takes no temporary file refuses the save and keeps the old file.
    WriteWholeFile(path, bytes);
}

std::optional<QString> ShowFileDialog(QWidget *parent, bool save, const QString &filter, const QString &preset)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setProxyModel(new CLocaleFileDetails(&dialog));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The overwrite question is the program's own.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setNameFilter(filter);
    if (!preset.isEmpty())
        dialog.selectFile(preset);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> SaveTxtFileDialog(QWidget *parent, const QString &preset)
{
    return ShowFileDialog(parent, true, QStringLiteral("*.txt (*.txt *.TXT)"), preset);
}
