#include "profile_file.h"

#include <QFile>

namespace ostrim {

namespace {

// The name of a "[name]" line, or nothing for any other line.
std::optional<QString> sectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

bool isComment(const QString& trimmedLine) {
    return trimmedLine.startsWith(QLatin1Char(';'));
}

// The key of a "key=value" line, or nothing.
std::optional<QString> keyName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (isComment(trimmed))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return std::nullopt;
    return trimmed.left(equals).trimmed();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IoResult ProfileFile::load(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        m_lines.clear();
        return IoResult::success();
    }
    if (!file.open(QIODevice::ReadOnly))
        return IoResult::failure(file.errorString(), path);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return IoResult::failure(file.errorString(), path);
    m_lines = splitLines(bytes);
    return IoResult::success();
}

IoResult ProfileFile::save(const QString& path) const {
    // The configuration file, which holds the last login: the user's alone.
    return writeFileSafely(path, toBytes(), FileMode::Private);
}

ProfileFile ProfileFile::fromBytes(const QByteArray& bytes) {
    ProfileFile profile;
    profile.m_lines = splitLines(bytes);
    return profile;
}

QByteArray ProfileFile::toBytes() const {
    return joinLines(m_lines);
}

std::optional<ProfileFile::Section> ProfileFile::findSection(const QString& name) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const std::optional<QString> found = sectionName(m_lines[i]);
        if (!found || !sameName(*found, name))
            continue;
        Section section{i, i + 1};
        while (section.end < m_lines.size() && !sectionName(m_lines[section.end]))
            ++section.end;
        return section;
    }
    return std::nullopt;
}

qsizetype ProfileFile::findKey(const Section& section, const QString& key) const {
    for (qsizetype i = section.header + 1; i < section.end; ++i) {
        const std::optional<QString> found = keyName(m_lines[i]);
        if (found && sameName(*found, key))
            return i;
    }
    return -1;
}

std::optional<QString> ProfileFile::value(const QString& section, const QString& key) const {
    const std::optional<Section> found = findSection(section);
    if (!found)
        return std::nullopt;
    const qsizetype line = findKey(*found, key);
    if (line < 0)
        return std::nullopt;
    const QString& text = m_lines[line];
    return text.mid(text.indexOf(QLatin1Char('=')) + 1).trimmed();
}

QString ProfileFile::readString(const QString& section, const QString& key,
                                const QString& defaultValue) const {
    return value(section, key).value_or(defaultValue);
}

int ProfileFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const std::optional<QString> text = value(section, key);
    if (!text)
        return defaultValue;
    bool ok = false;
    const int number = text->toInt(&ok, 10);
    return ok ? number : defaultValue;
}

bool ProfileFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeString(const QString& section, const QString& key, const QString& value) {
    const std::optional<Section> found = findSection(section);
    if (!found) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(key + QLatin1Char('=') + value);
        return;
    }
    const qsizetype line = findKey(*found, key);
    if (line >= 0) {
        // The file's own spelling of the key is kept.
        m_lines[line] = *keyName(m_lines[line]) + QLatin1Char('=') + value;
        return;
    }
    // After the last non-blank line of the section, so the blank line before the next section
    // stays where it is.
    qsizetype insertAt = found->header + 1;
    for (qsizetype i = found->header + 1; i < found->end; ++i) {
        if (!m_lines[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, key + QLatin1Char('=') + value);
}

void ProfileFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace ostrim
