#include "tools_file.h"

namespace ostrim {

namespace {

// Every tag is exactly this long; the value starts right after it.
constexpr qsizetype kTagLength = 12;

const QLatin1String TitleTag("Title      =");
const QLatin1String ProgramTag("Program    =");
const QLatin1String WorkingDirTag("WorkingDir =");
const QLatin1String ParametersTag("Parameters =");
const QLatin1String SpeedwordTag("Speedword  =");

} // namespace

IoResult read_tools(const QString& path, ToolLists& tools) {
    QByteArray bytes;
    IoResult result = readFileCreatingIfMissing(path, bytes, FileMode::Private);
    if (!result)
        return result;
    ToolLists read;
    const std::pair<QLatin1String, QStringList*> targets[] = {
        {TitleTag, &read.titles},           {ProgramTag, &read.programs},
        {WorkingDirTag, &read.workingDirs}, {ParametersTag, &read.parameters},
        {SpeedwordTag, &read.speedwords},
    };
    for (const QString& line : splitLines(bytes)) {
        const QStringView tag = QStringView(line).left(kTagLength);
        for (const auto& [expected, list] : targets) {
            if (tag == expected) {
                list->append(line.mid(kTagLength));
                break;
            }
        }
    }
    tools = std::move(read);
    return result;
}

IoResult write_tools(const QString& path, const ToolLists& tools) {
    // A list shorter than the titles (a file that lacked some lines) gives empty values.
    QStringList lines;
    for (qsizetype i = 0; i < tools.titles.size(); ++i) {
        lines.append(TitleTag + tools.titles[i]);
        lines.append(ProgramTag + tools.programs.value(i));
        lines.append(WorkingDirTag + tools.workingDirs.value(i));
        lines.append(ParametersTag + tools.parameters.value(i));
    }
    for (const QString& word : tools.speedwords)
        lines.append(SpeedwordTag + word);
    return writeFileSafely(path, joinLines(lines), FileMode::Private);
}

} // namespace ostrim
