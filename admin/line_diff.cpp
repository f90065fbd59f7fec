#include "line_diff.h"

#include <algorithm>

namespace ostrim {

namespace {

constexpr qsizetype kContext = 3;

// One step of the edit script: a shared line, or a line of one side only.
enum class Step { Same, Removed, Added };

std::vector<Step> editScript(const QStringList& a, const QStringList& b) {
    // Shared head and tail first: most compared texts differ in a few lines, and the table
    // below then covers only the middle.
    qsizetype head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    qsizetype tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    const qsizetype n = a.size() - head - tail;
    const qsizetype m = b.size() - head - tail;
    const auto width = static_cast<std::size_t>(m + 1);
    std::vector<int> lcs(static_cast<std::size_t>(n + 1) * width, 0);
    const auto at = [&](qsizetype i, qsizetype j) -> int& {
        return lcs[static_cast<std::size_t>(i) * width + static_cast<std::size_t>(j)];
    };
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1
                                                  : std::max(at(i + 1, j), at(i, j + 1));
    std::vector<Step> steps(static_cast<std::size_t>(head), Step::Same);
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[head + i] == b[head + j]) {
            steps.push_back(Step::Same);
            ++i;
            ++j;
        } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
            // Removals first, as diff -u shows them.
            steps.push_back(Step::Removed);
            ++i;
        } else {
            steps.push_back(Step::Added);
            ++j;
        }
    }
    steps.insert(steps.end(), static_cast<std::size_t>(tail), Step::Same);
    return steps;
}

QString range(qsizetype start, qsizetype count) {
    // A hunk without lines of a side names the line before it, as diff -u does.
    const qsizetype first = count == 0 ? start : start + 1;
    return count == 1 ? QString::number(first)
                      : QString::number(first) + QLatin1Char(',') + QString::number(count);
}

} // namespace

QStringList textLines(const QString& text) {
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = plain.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

LineDiff diffLines(const QStringList& lines1, const QStringList& lines2) {
    LineDiff diff{std::vector<bool>(static_cast<std::size_t>(lines1.size()), false),
                  std::vector<bool>(static_cast<std::size_t>(lines2.size()), false)};
    std::size_t i = 0;
    std::size_t j = 0;
    for (const Step step : editScript(lines1, lines2)) {
        if (step == Step::Same) {
            ++i;
            ++j;
        } else if (step == Step::Removed) {
            diff.changed1[i++] = true;
        } else {
            diff.changed2[j++] = true;
        }
    }
    return diff;
}

QString unifiedDiff(const QStringList& lines1, const QStringList& lines2, const QString& name1,
                    const QString& name2) {
    const std::vector<Step> steps = editScript(lines1, lines2);
    const auto count = static_cast<qsizetype>(steps.size());
    // Position of each step in both texts.
    std::vector<qsizetype> pos1(steps.size() + 1, 0);
    std::vector<qsizetype> pos2(steps.size() + 1, 0);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        pos1[k + 1] = pos1[k] + (steps[k] != Step::Added ? 1 : 0);
        pos2[k + 1] = pos2[k] + (steps[k] != Step::Removed ? 1 : 0);
    }
    QString out;
    qsizetype k = 0;
    while (k < count) {
        if (steps[static_cast<std::size_t>(k)] == Step::Same) {
            ++k;
            continue;
        }
        // A hunk runs from three lines before the change to three after the last change that
        // lies within six shared lines of the one before it.
        const qsizetype begin = std::max<qsizetype>(0, k - kContext);
        qsizetype end = k;
        qsizetype same = 0;
        for (qsizetype s = k; s < count; ++s) {
            if (steps[static_cast<std::size_t>(s)] == Step::Same) {
                if (++same > 2 * kContext)
                    break;
            } else {
                same = 0;
                end = s + 1;
            }
        }
        const qsizetype stop = std::min(count, end + kContext);
        const auto b = static_cast<std::size_t>(begin);
        const auto e = static_cast<std::size_t>(stop);
        if (out.isEmpty())
            out += "--- " + name1 + "\n+++ " + name2 + "\n";
        out += "@@ -" + range(pos1[b], pos1[e] - pos1[b]) + " +" +
               range(pos2[b], pos2[e] - pos2[b]) + " @@\n";
        for (std::size_t s = b; s < e; ++s) {
            if (steps[s] == Step::Same)
                out += " " + lines1[pos1[s]] + "\n";
            else if (steps[s] == Step::Removed)
                out += "-" + lines1[pos1[s]] + "\n";
            else
                out += "+" + lines2[pos2[s]] + "\n";
        }
        k = stop;
    }
    return out;
}

} // namespace ostrim
