#pragma once
// The SQL history: the program-wide list of executed texts, newest first, and its file.

#include "text_file.h"

#include <QString>
#include <QStringList>

namespace ostrim {

class SqlHistory {
public:
    static constexpr int kCapacity = 100;

    int count() const { return static_cast<int>(m_entries.size()); }
    // Entry 1..count(), 1 the newest; empty for any other number.
    QString entry(int number) const;
    const QStringList& entries() const { return m_entries; }

    // The text becomes entry 1; a full history drops its last (oldest) entry.
    void insertFirst(const QString& text);
    // Keeps at most the first kCapacity entries.
    void assign(const QStringList& entries);
    void clear() { m_entries.clear(); }

private:
    QStringList m_entries;
};

// Loading stops one entry short of the in-memory capacity.
constexpr int kHistoryLoadLimit = 99;

// Leading and trailing blanks and control characters removed: how entries are shown, compared
// and written.
QString trimHistoryText(const QString& text);

// Replaces the history by the file's first kHistoryLoadLimit entries. Each entry keeps the text
// as read: every line of it preceded by CRLF. A missing file is created empty. On failure the
// history is unchanged.
IoResult read_history_file(const QString& path, SqlHistory& history);
// Rewrites the file from entries 1..count: a line "#", then the trimmed entry. The file is the
// user's alone wherever HistoryFile puts it: it holds every batch run, passwords included.
IoResult write_history_file(const QString& path, const SqlHistory& history);

} // namespace ostrim
