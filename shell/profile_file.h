#pragma once
// A Windows-style profile ("INI") file held as its lines, so that a rewrite changes only the
// entries written and keeps every other line, its order and its text.

#include "text_file.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ostrim {

class ProfileFile {
public:
    // A missing file loads as an empty profile.
    IoResult load(const QString& path);
    IoResult save(const QString& path) const;

    static ProfileFile fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    // Section and key names compare without regard to case; the first match counts.
    std::optional<QString> value(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // A value that is not a decimal integer gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // True for any non-zero integer.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    // Replaces the value in place; a new key goes after the section's last entry, a new section
    // at the end of the file.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

private:
    struct Section {
        qsizetype header = -1; // line of "[name]"
        qsizetype end = -1;    // first line after the section
    };
    std::optional<Section> findSection(const QString& name) const;
    // Line index of the key within the section, or -1.
    qsizetype findKey(const Section& section, const QString& key) const;

    QStringList m_lines;
};

} // namespace ostrim
