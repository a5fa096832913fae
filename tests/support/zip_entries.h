#pragma once
// Reading back a zip archive the program wrote (the report's .docx).
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <zip.h>

// The names of the archive's entries, in their order; empty when it cannot be opened.
inline QStringList ZipEntryNames(const QString &path)
{
    QStringList names;
    int code = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i)
        names << QString::fromUtf8(zip_get_name(z, zip_uint64_t(i), 0));
    zip_discard(z);
    return names;
}

// The bytes of one entry; empty when the archive or the entry is missing.
inline QByteArray ZipEntry(const QString &path, const char *name)
{
    int code = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z)
        return {};
    QByteArray out;
    zip_stat_t st;
    if (zip_stat(z, name, 0, &st) == 0) {
        if (zip_file_t *f = zip_fopen(z, name, 0)) {
            out.resize(qsizetype(st.size));
            out.resize(qsizetype(zip_fread(f, out.data(), st.size)));
            zip_fclose(f);
        }
    }
    zip_discard(z);
    return out;
}
