#include "platform/profile_file.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include "platform/whole_file.h"

namespace {
bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

std::optional<int> ParseProfileInteger(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    int start = (t[0] == u'+' || t[0] == u'-') ? 1 : 0;
    if (start == t.size())
        return std::nullopt;
    for (int i = start; i < t.size(); ++i)
        if (t[i] < u'0' || t[i] > u'9')
            return std::nullopt;
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool CProfileFile::Load()
{
    Sections.clear();
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Parse(file.readAll());
    return true;
}

void CProfileFile::Parse(const QByteArray &bytes)
{
    Sections.clear();
    QStringDecoder decode("windows-1251");
    const QString text = decode(bytes);
    Section *current = nullptr;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed(); // also drops the CR of CR LF
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const int close = line.indexOf(u']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            current = &SectionFor(name);
            continue;
        }
        if (!current)
            continue; // keys before the first section belong to none
        const int eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        bool found = false;
        for (const Entry &e : current->Entries)
            if (SameName(e.Key, key))
                found = true; // the first occurrence wins, as the old profile functions read it
        if (!found)
            current->Entries.push_back({key, value});
    }
}

QByteArray CProfileFile::ToBytes() const
{
    QString text;
    bool first = true;
    for (const Section &s : Sections) {
        if (!first)
            text += QStringLiteral("\r\n");
        first = false;
        text += u'[' + s.Name + QStringLiteral("]\r\n");
        for (const Entry &e : s.Entries)
            text += e.Key + u'=' + e.Value + QStringLiteral("\r\n");
    }
    QStringEncoder encode("windows-1251");
    return encode(text);
}

void CProfileFile::Save() const
{
    WriteWholeFile(Path, ToBytes());
}

const CProfileFile::Section *CProfileFile::FindSection(const QString &name) const
{
    for (const Section &s : Sections)
        if (SameName(s.Name, name))
            return &s;
    return nullptr;
}

CProfileFile::Section &CProfileFile::SectionFor(const QString &name)
{
    for (Section &s : Sections)
        if (SameName(s.Name, name))
            return s;
    Sections.push_back({name, {}});
    return Sections.back();
}

bool CProfileFile::SectionExists(const QString &section) const
{
    return FindSection(section) != nullptr;
}

std::optional<QString> CProfileFile::ReadValue(const QString &section, const QString &key) const
{
    if (const Section *s = FindSection(section))
        for (const Entry &e : s->Entries)
            if (SameName(e.Key, key))
                return e.Value;
    return std::nullopt;
}

QString CProfileFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    return ReadValue(section, key).value_or(def);
}

int CProfileFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    const auto value = ReadValue(section, key);
    if (!value)
        return def;
    return ParseProfileInteger(*value).value_or(def);
}

bool CProfileFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void CProfileFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    Section &s = SectionFor(section);
    for (Entry &e : s.Entries)
        if (SameName(e.Key, key)) {
            e.Value = value;
            return;
        }
    s.Entries.push_back({key, value});
}

void CProfileFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void CProfileFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
