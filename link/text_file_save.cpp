#include "link/text_file_save.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <iterator>

#include <QAbstractButton>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHash>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMimeDatabase>
#include <QScreen>
#include <QStringEncoder>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include "app/message_dlg.h"
#include "platform/file_error.h"
#include "platform/tool_icons.h"
#include "platform/whole_file.h"

namespace {
// A file's type as the dialog shows it, from its name alone. The program's configurations are XML
// under a name of their own.
QString FileTypeText(const QString &fileName)
{
    const QMimeDatabase mimes;
    const QMimeType type = QFileInfo(fileName).suffix().compare(QStringLiteral("DEV"), Qt::CaseInsensitive) == 0
                               ? mimes.mimeTypeForName(QStringLiteral("application/xml"))
                               : mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    return type.comment().isEmpty() ? type.name() : type.comment();
}

QString FolderTypeText()
{
    return QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment();
}

// Qt's own provider asks the MIME database with the default match, which opens and reads each file on
// the dialog's thread, and lets the platform theme look at the file for its icon: a fifo, a device or
// /proc/kmsg holds the window for good, and a large folder is read through. Here a file's type comes
// from its name and an icon from the kind of entry, as the style draws them. Each icon is made once:
// Qt's pixmap cache keeps the pictures of every icon ever drawn, so icons made anew per dialog or per
// entry would add to it on every save and open.
class NameOnlyFileIcons : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isRoot())
            return QFileIconProvider::icon(Drive);
        if (info.isFile())
            return info.isSymLink() ? StandardIcon(QStyle::SP_FileLinkIcon) : QFileIconProvider::icon(File);
        if (info.isDir()) {
            if (info.isSymLink())
                return StandardIcon(QStyle::SP_DirLinkIcon);
            if (info.absoluteFilePath() == QDir::homePath())
                return StandardIcon(QStyle::SP_DirHomeIcon);
            return QFileIconProvider::icon(Folder);
        }
        return {};
    }

    QString type(const QFileInfo &info) const override
    {
        if (info.isFile())
            return FileTypeText(info.fileName());
        // A folder, a fifo, a device or a dangling link, named by its kind; Qt opens none of these for it.
        return QFileIconProvider::type(info);
    }
};

// The one provider of every file dialog of the run; never freed, so its icons outlive every dialog.
NameOnlyFileIcons &FileIcons()
{
    static auto *const icons = new NameOnlyFileIcons;
    return *icons;
}

// The dialog's own buttons (back, up, new folder, the views; on some desktops OK and Cancel too) get
// new icons in every dialog: those of the first dialog serve all, never freed.
void ShareButtonIcons(QFileDialog &dialog)
{
    static auto *const icons = new QHash<QString, QIcon>;
    for (QAbstractButton *button : dialog.findChildren<QAbstractButton *>()) {
        if (button->icon().isNull())
            continue;
        const QString key = button->objectName().isEmpty() ? QStringLiteral("text:") + button->text() : button->objectName();
        const auto made = icons->constFind(key);
        if (made == icons->constEnd())
            icons->insert(key, button->icon());
        else
            button->setIcon(*made);
    }
}

// Qt's file model writes dates in the system's locale (the C locale on a machine set up in English),
// sizes in binary units ("9,62 KiB") with a plural its Russian does not decline ("216 байты"), and
// calls a folder "Folder" (or a root "Drive"): the dialog's details follow the program's locale and
// a Russian desktop's sizes instead.
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
                                        : QVariant(FileSizeText(files->size(source)));
        case 2:
            return files->isDir(source) ? QVariant(FolderTypeText()) : QIdentityProxyModel::data(index, role);
        case 3:
            return locale.toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

// Qt sizes the detail columns for English texts ("128.88 GB", "mp3Folder", "10/29/81 02:02PM"), which
// cut the program's Russian types and dates. The size, type and date columns are fitted to what the
// folder shows each time a folder's files have arrived and are sorted, and stay the engineer's to
// drag; the names take the rest.
void FitDetailColumns(QTreeView *details, QFileSystemModel *files)
{
    QHeaderView *header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::Interactive);
    const auto fit = [details] {
        for (int column = 1; column < details->header()->count(); ++column)
            details->resizeColumnToContents(column);
    };
    fit();
    if (files) {
        // The model sorts a loaded folder a moment later; the rows are in place once it has.
        QObject::connect(files, &QFileSystemModel::directoryLoaded, details,
                         [details, fit] { QMetaObject::invokeMethod(details, fit, Qt::QueuedConnection); });
        QObject::connect(files, &QAbstractItemModel::layoutChanged, details, fit);
    }
}

// The width the detail view needs for the program's own files: the names it proposes, the sizes they
// come to, the types of a configuration, a text export, the report, the catalogue and a folder, and a
// date; each column as wide as its title and its widest cell, as the view's style sizes them.
int DetailViewWidth(const QTreeView *details, const QString &preset)
{
    const int icon = details->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, details);
    auto widest = [&](int column, const QStringList &texts, bool withIcon) {
        int width = details->header()->sectionSizeHint(column);
        for (const QString &text : texts) {
            QStyleOptionViewItem cell;
            cell.initFrom(details);
            cell.font = details->font();
            cell.features = QStyleOptionViewItem::HasDisplay;
            if (withIcon) {
                cell.features |= QStyleOptionViewItem::HasDecoration;
                cell.decorationSize = details->iconSize().isValid() ? details->iconSize() : QSize(icon, icon);
            }
            cell.text = text;
            const QSize size = details->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), details);
            width = std::max(width, size.width());
        }
        return width;
    };
    const QLocale locale;
    const QDateTime late(QDate(2028, 12, 28), QTime(22, 58, 58));
    const QStringList names{// the monitor's log, and the name proposed now
                            FileNameSafe(QStringLiteral("CAN монитор ") + LocalDateTimeText(late)) + QStringLiteral(".txt"),
                            QFileInfo(preset).fileName()};
    const QStringList sizes{FileSizeText(1023), FileSizeText(1023 * 1024), FileSizeText(1023 * 1024 * 1024)};
    const QStringList types{FileTypeText(QStringLiteral("a.DEV")), FileTypeText(QStringLiteral("a.txt")),
                            FileTypeText(QStringLiteral("a.docx")), FileTypeText(QStringLiteral("devices.xml")),
                            FolderTypeText()};
    const QStringList dates{locale.toString(late, QLocale::ShortFormat)};
    return widest(0, names, true) + widest(1, sizes, false) + widest(2, types, false) + widest(3, dates, false);
}

// Widens the dialog as it is shown until its detail view holds the given width beside a scroll bar:
// within the screen, and within 1024 x 768 so that it fits the small screens too. The dialog then
// centres itself as it is.
class WidenForDetails : public QObject {
public:
    WidenForDetails(QWidget *dialog, QTreeView *details, int width)
        : QObject(dialog), dialog_(dialog), details_(details), width_(width)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != dialog_ || event->type() != QEvent::Show)
            return false;
        QSize room(1024, 768);
        if (const QScreen *screen = dialog_->screen())
            room = room.boundedTo(screen->availableGeometry().size());
        room -= dialog_->frameGeometry().size() - dialog_->size();
        // Laid out by now: the view is as wide as the dialog's width gives it.
        const int shown = details_->width() - 2 * details_->frameWidth() -
                          details_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, details_);
        dialog_->resize(std::min(dialog_->width() + std::max(width_ - shown, 0), room.width()),
                        std::min(dialog_->height(), room.height()));
        return false;
    }

private:
    QWidget *dialog_;
    QTreeView *details_;
    int width_;
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
    // No answer to the question could let a file replace a folder: the write would only fail after it.
    if (QFileInfo(name).isDir()) {
        ShowMessageDlg(CannotWriteFileText(name, FileErrorReason(EISDIR)), mtError, mbOK);
        return std::nullopt;
    }
    if (QFileInfo::exists(name) &&
        ShowMessageDlg(ReplaceFileQuestion(name), mtConfirmation, MsgButtons(mbYes) | MsgButtons(mbNo)) == mrNo)
        return std::nullopt;
    return name;
}

QString FileSizeText(qint64 bytes)
{
    if (bytes < 1024) {
        // 1, 21, 101 байт; 2-4, 22-24 байта; 5-20, 25-30, 111-114 байт.
        const qint64 tens = bytes % 100;
        const qint64 ones = bytes % 10;
        const bool few = ones >= 2 && ones <= 4 && (tens < 12 || tens > 14);
        return QString::number(bytes) + (few ? QStringLiteral(" байта") : QStringLiteral(" байт"));
    }
    static const char16_t *const units[] = {u"КБ", u"МБ", u"ГБ", u"ТБ", u"ПБ", u"ЭБ"};
    double value = double(bytes) / 1024;
    size_t unit = 0;
    // 1,023.96 KB is written as 1,0 MB, not 1024,0 KB.
    while (std::round(value * 10) >= 1024 * 10 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    return QString::number(value, 'f', 1).replace(u'.', u',') + u' ' + QString::fromUtf16(units[unit]);
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
    dialog.setIconProvider(&FileIcons());
    dialog.setProxyModel(new CLocaleFileDetails(&dialog));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The overwrite question is the program's own.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setNameFilter(filter);
    ShareButtonIcons(dialog);
    if (!preset.isEmpty())
        dialog.selectFile(preset);
    if (auto *details = dialog.findChild<QTreeView *>()) {
        FitDetailColumns(details, dialog.findChild<QFileSystemModel *>());
        dialog.installEventFilter(new WidenForDetails(&dialog, details, DetailViewWidth(details, preset)));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> SaveTxtFileDialog(QWidget *parent, const QString &preset)
{
    return ShowFileDialog(parent, true, QStringLiteral("*.txt (*.txt *.TXT)"), preset);
}
