#include "history_file.h"

namespace ostrim {

namespace {

bool isBlankOrControl(QChar c) {
    return c.unicode() <= 0x20;
}

// A line of an entry that begins with "#" (a temporary table, #t) would end the entry when read
// back. It is written after one blank, which the reader keeps: the entry comes back whole, and
// files of older versions read as they always did.
QString escapeLine(const QString& line) {
    return line.startsWith(QLatin1Char('#')) ? QLatin1Char(' ') + line : line;
}

QStringList parseHistory(const QStringList& lines) {
    QStringList entries;
    QString pending;
    for (const QString& line : lines) {
        if (entries.size() == kHistoryLoadLimit)
            return entries;
        if (line.startsWith(QLatin1Char('#'))) {
            if (!pending.isEmpty())
                entries.append(pending);
            pending.clear();
        } else {
            pending += QLatin1String("\r\n") + line;
        }
    }
    if (!pending.isEmpty() && entries.size() < kHistoryLoadLimit)
        entries.append(pending);
    return entries;
}

} // namespace

QString SqlHistory::entry(int number) const {
    if (number < 1 || number > count())
        return QString();
    return m_entries[number - 1];
}

void SqlHistory::insertFirst(const QString& text) {
    if (m_entries.size() == kCapacity)
        m_entries.removeLast();
    m_entries.prepend(text);
}

void SqlHistory::assign(const QStringList& entries) {
    m_entries = entries.mid(0, kCapacity);
}

QString trimHistoryText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

IoResult read_history_file(const QString& path, SqlHistory& history) {
    QByteArray bytes;
    IoResult result = readFileCreatingIfMissing(path, bytes, FileMode::Private);
    if (!result)
        return result;
    history.assign(parseHistory(splitLines(bytes)));
    return result;
}

IoResult write_history_file(const QString& path, const SqlHistory& history) {
    QStringList lines;
    for (const QString& entry : history.entries()) {
        lines.append(QStringLiteral("#"));
        for (QString line : trimHistoryText(entry).split(QLatin1Char('\n'))) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            lines.append(escapeLine(line));
        }
    }
    return writeFileSafely(path, joinLines(lines), FileMode::Private);
}

} // namespace ostrim
