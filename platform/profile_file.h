#pragma once
#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// A profile (ini) file with the old Windows semantics: sections and keys are found without regard
// to case, values are trimmed, keys stay in the order they were written, lines end with CR LF.
// The text is Windows-1251. Nothing touches the disk until Load or Save is called.
class CProfileFile {
public:
    CProfileFile() = default;
    explicit CProfileFile(QString path) : Path(std::move(path)) {}

    const QString &FileName() const { return Path; }

    // Reads the file; false when it cannot be opened (the content is then empty).
    bool Load();
    // Parses profile text (LF or CR LF lines).
    void Parse(const QByteArray &bytes);
    // The whole file as bytes: sections separated by an empty line, CR LF after every line.
    QByteArray ToBytes() const;
    // Writes with WriteWholeFile, so a failed write leaves the old file whole. Throws WholeFileError
    // when the file cannot be written.
    void Save() const;

    std::optional<QString> ReadValue(const QString &section, const QString &key) const;
    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // A value that is not a whole integer counts as a missing key.
    int ReadInteger(const QString &section, const QString &key, int def) const;
    // Any integer other than 0 is true.
    bool ReadBool(const QString &section, const QString &key, bool def) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);

    bool SectionExists(const QString &section) const;

private:
    struct Entry {
        QString Key;
        QString Value;
    };
    struct Section {
        QString Name;
        std::vector<Entry> Entries;
    };
    const Section *FindSection(const QString &name) const;
    Section &SectionFor(const QString &name);

    QString Path;
    std::vector<Section> Sections;
};

// Whole-string decimal integer with an optional sign and surrounding blanks; nothing for any other text
// or a number outside int.
std::optional<int> ParseProfileInteger(const QString &text);
