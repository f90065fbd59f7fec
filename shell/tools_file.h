#pragma once
// The tools file: external tools (four parallel lists, entry i of each describing tool i) and
// the speedwords.

#include "text_file.h"

#include <QString>
#include <QStringList>

namespace ostrim {

struct ToolLists {
    QStringList titles;
    QStringList programs;
    QStringList workingDirs;
    QStringList parameters;
    QStringList speedwords;

    bool operator==(const ToolLists&) const = default;
};

// Replaces the five lists by the file's content. A missing file is created empty. On failure
// the lists are unchanged.
IoResult read_tools(const QString& path, ToolLists& tools);
// Rewrites the file: for each title its four lines, then one line per speedword.
IoResult write_tools(const QString& path, const ToolLists& tools);

} // namespace ostrim
