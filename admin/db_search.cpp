#include "db_search.h"

#include "sybquery.h"

#include <QStringList>

namespace ostrim {

namespace {

// The type code of a stored kind, as the statements compare it.
QString typeCode(SearchKind kind) {
    switch (kind) {
    case SearchKind::Procedures:
        return QStringLiteral("P");
    case SearchKind::Triggers:
        return QStringLiteral("TR");
    case SearchKind::Views:
        return QStringLiteral("V");
    case SearchKind::Tables:
        break;
    }
    return QStringLiteral("U");
}

} // namespace

QString escapedSearchText(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return doubled;
}

QString searchSql(SearchKind kind, const QString& text) {
    const QString ending = "%\" and so.id = sc.id and so.type=\"" + typeCode(kind) + "\"";
    if (kind == SearchKind::Tables)
        return "select distinct \"T - \" + so.name from syscolumns sc,sysobjects so where "
               "sc.name like \"%" +
               escapedSearchText(text) + ending;
    return "select distinct so.type + \" - \" + so.name from syscomments sc,sysobjects so where "
           "sc.text like \"%" +
           escapedSearchText(text) + ending;
}

QString sourceScanSql(SearchKind kind, const QString& text, const QString& order) {
    QStringList columns;
    for (const QString& column : order.split(QLatin1Char(','), Qt::SkipEmptyParts))
        columns << "sc." + column.trimmed();
    return "select sc.id, sc.number, so.type + \" - \" + so.name, sc.text from syscomments "
           "sc,sysobjects so where so.id = sc.id and so.type=\"" +
           typeCode(kind) + "\" and so.id not in (select id from syscomments where text like \"%" +
           escapedSearchText(text) + "%\") order by sc.id, sc.number, " + columns.join(", ");
}

LikePattern::LikePattern(const QString& pattern) {
    m_segments.emplace_back();
    m_anchoredStart = !pattern.startsWith(QLatin1Char('%'));
    m_anchoredEnd = !pattern.endsWith(QLatin1Char('%'));
    auto add = [this](Token token) {
        Segment& segment = m_segments.back();
        const qsizetype width = token.kind == Token::Literal ? token.chars.size() : 1;
        if (token.kind == Token::Literal && !segment.tokens.empty() &&
            segment.tokens.back().kind == Token::Literal)
            segment.tokens.back().chars += token.chars;
        else
            segment.tokens.push_back(std::move(token));
        segment.width += width;
    };
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('%')) {
            if (!m_segments.back().tokens.empty())
                m_segments.emplace_back();
            continue;
        }
        if (c == QLatin1Char('_')) {
            add({Token::Any, {}});
            continue;
        }
        const qsizetype close =
            c == QLatin1Char('[') ? pattern.indexOf(QLatin1Char(']'), i + 1) : -1;
        if (close < 0) {
            add({Token::Literal, QString(c)});
            continue;
        }
        Token set{Token::Set, pattern.mid(i + 1, close - i - 1)};
        if (set.chars.startsWith(QLatin1Char('^'))) {
            set.negated = true;
            set.chars.remove(0, 1);
        }
        add(std::move(set));
        i = close;
    }
    if (m_segments.back().tokens.empty())
        m_segments.pop_back();
}

bool LikePattern::tokenMatches(const Token& token, QStringView text, qsizetype at) {
    const QChar c = text[at];
    if (token.kind == Token::Any)
        return true;
    bool hit = false;
    const QString& chars = token.chars;
    for (qsizetype k = 0; k < chars.size() && !hit; ++k) {
        if (k + 2 < chars.size() && chars[k + 1] == QLatin1Char('-')) {
            hit = c >= chars[k] && c <= chars[k + 2];
            k += 2;
        } else {
            hit = c == chars[k];
        }
    }
    return hit != token.negated;
}

bool LikePattern::segmentAt(const Segment& segment, QStringView text, qsizetype at) {
    if (at < 0 || at + segment.width > text.size())
        return false;
    for (const Token& token : segment.tokens) {
        if (token.kind == Token::Literal) {
            if (text.mid(at, token.chars.size()) != token.chars)
                return false;
            at += token.chars.size();
        } else if (!tokenMatches(token, text, at++)) {
            return false;
        }
    }
    return true;
}

qsizetype LikePattern::findSegment(const Segment& segment, QStringView text, qsizetype from) {
    const Token& first = segment.tokens.front();
    for (qsizetype at = from; at + segment.width <= text.size(); ++at) {
        // A leading literal jumps straight to its next occurrence.
        if (first.kind == Token::Literal) {
            at = text.indexOf(first.chars, at);
            if (at < 0)
                return -1;
        }
        if (segmentAt(segment, text, at))
            return at;
    }
    return -1;
}

bool LikePattern::matches(QStringView text) const {
    if (m_segments.empty())
        return !m_anchoredStart || text.isEmpty();
    qsizetype at = 0;
    for (size_t i = 0; i < m_segments.size(); ++i) {
        const Segment& segment = m_segments[i];
        const bool first = i == 0;
        const bool last = i + 1 == m_segments.size();
        if (last && m_anchoredEnd) {
            // The last segment sits at the end; an anchored start may not overlap it.
            const qsizetype end = text.size() - segment.width;
            if (end < at || (first && m_anchoredStart && end != 0))
                return false;
            return segmentAt(segment, text, end);
        }
        // Every other segment floats between two %: its leftmost place leaves the most room.
        const qsizetype found = first && m_anchoredStart ? (segmentAt(segment, text, 0) ? 0 : -1)
                                                         : findSegment(segment, text, at);
        if (found < 0)
            return false;
        at = found + segment.width;
    }
    return true;
}

bool searchKind(TSybQuery& query, SearchKind kind, const QString& text, const QString& order,
                const std::function<void(const QString& line)>& found) {
    query.setSql(searchSql(kind, text));
    if (query.Execute() != kSucceed)
        return false;
    while (query.Next() == kMoreRows)
        found(query.ColumnValue(1));
    if (kind == SearchKind::Tables)
        return true;

    // A text that spans two syscomments rows is in no single row: match each object's source
    // joined, one object (procedure group member) at a time.
    const LikePattern pattern(QLatin1Char('%') + text + QLatin1Char('%'));
    query.setSql(sourceScanSql(kind, text, order));
    if (query.Execute() != kSucceed)
        return true;
    QString id, number, line, source;
    bool listed = false;
    auto match = [&] {
        if (!listed && !id.isEmpty() && pattern.matches(source)) {
            found(line);
            listed = true;
        }
        source.clear();
    };
    while (query.Next() == kMoreRows) {
        const QString rowId = query.ColumnValue(1);
        const QString rowNumber = query.ColumnValue(2);
        if (rowId != id || rowNumber != number) {
            match();
            if (rowId != id) {
                listed = false;
                line = query.ColumnValue(3);
            }
            id = rowId;
            number = rowNumber;
        }
        if (!listed)
            source += query.ColumnValue(4);
    }
    match();
    return true;
}

} // namespace ostrim
