#pragma once
// The database search without its window: the statements, the like patterns matched on the
// client, and the search of one kind over a query, shared by Tf_db_search and its benchmark.

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

namespace ostrim {

class TSybQuery;

enum class SearchKind { Procedures, Triggers, Views, Tables };

// The search text with each double quote doubled, for a string between double quotes: no text
// can end the string early. % and _ stay patterns.
QString escapedSearchText(const QString& text);
// The statement that lists the objects of kind one of whose syscomments rows (column names for
// tables) matches "%text%", one "type - name" line each.
QString searchSql(SearchKind kind, const QString& text);
// The source of the objects of stored kind that the like query did not list, one row per
// syscomments row: id, number, the line, the text; in the order the text joins in (order is
// "colid2, colid" or "colid", as sourceTextOrder gives it).
QString sourceScanSql(SearchKind kind, const QString& text, const QString& order);

// A like pattern of the server's: % any run, _ one character, [abc], [a-z] and [^...] sets, a
// [ without its ] a plain character; case-sensitive, as the server's binary sort order.
class LikePattern {
public:
    explicit LikePattern(const QString& pattern);
    bool matches(QStringView text) const;

private:
    struct Token {
        enum Kind { Literal, Any, Set } kind;
        QString chars; // Literal: the run; Set: the members, ranges as "a-z" triples
        bool negated = false;
    };
    // A run of tokens between two %, each token one character wide but a literal run.
    struct Segment {
        std::vector<Token> tokens;
        qsizetype width = 0;
    };
    static bool tokenMatches(const Token& token, QStringView text, qsizetype at);
    static bool segmentAt(const Segment& segment, QStringView text, qsizetype at);
    static qsizetype findSegment(const Segment& segment, QStringView text, qsizetype from);

    std::vector<Segment> m_segments;
    bool m_anchoredStart = true;
    bool m_anchoredEnd = true;
};

// Searches one kind with query on its connection: the like query, then for the stored kinds the
// source of every object it missed, joined across its syscomments rows and matched as a whole.
// found gets each line once, the like query's first. False when the like query failed.
bool searchKind(TSybQuery& query, SearchKind kind, const QString& text, const QString& order,
                const std::function<void(const QString& line)>& found);

} // namespace ostrim
