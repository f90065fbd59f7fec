#pragma once
// A line diff of two texts: which lines of each side the other lacks, and the unified diff the
// side-by-side view copies. Pure, so that the marks can be checked without a window.

#include <QString>
#include <QStringList>

#include <vector>

namespace ostrim {

// The text's lines; "\r\n" and "\n" both end a line, and a last line break opens no empty line.
QStringList textLines(const QString& text);

struct LineDiff {
    // Per line of each side: true when it is not among the lines both sides share in order.
    std::vector<bool> changed1;
    std::vector<bool> changed2;
};

// A longest common subsequence of the lines; the rest is marked changed.
LineDiff diffLines(const QStringList& lines1, const QStringList& lines2);

// "--- name1", "+++ name2" and hunks with three lines of context; empty when the texts agree.
QString unifiedDiff(const QStringList& lines1, const QStringList& lines2, const QString& name1,
                    const QString& name2);

} // namespace ostrim
