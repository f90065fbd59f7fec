#include "config_file.h"

#include "profile_file.h"
#include "recent_files.h"

#include <QStringList>

namespace ostrim {

namespace {

const QString Run = QStringLiteral("Run");
const QString Config = QStringLiteral("Config");

QString historyKey(int number) {
    return QStringLiteral("History") + QString::number(number);
}

} // namespace

void read_ini(const QString& path, OstrimConfig& config, RecentFiles& recentFiles) {
    ProfileFile profile;
    if (!profile.load(path))
        profile = ProfileFile(); // an unreadable file counts as a missing one
    const OstrimConfig defaults;
    const auto str = [&](const QString& section, const char* key, const QString& def) {
        return profile.readString(section, QString::fromLatin1(key), def);
    };
    const auto flag = [&](const char* key, bool def) {
        return profile.readBool(Config, QString::fromLatin1(key), def);
    };
    const auto integer = [&](const char* key, int def) {
        return profile.readInteger(Config, QString::fromLatin1(key), def);
    };

    config.DefaultDir = str(Run, "DefaultDir", defaults.DefaultDir);
    config.LastUser = str(Run, "LastUser", defaults.LastUser).left(kObjectNameLength);
    config.LastDbName = str(Run, "LastDbName", defaults.LastDbName).left(kObjectNameLength);
    config.LastServerName =
        str(Run, "LastServerName", defaults.LastServerName).left(kObjectNameLength);
    config.HistoryFile = str(Run, "HistoryFile", defaults.HistoryFile);
    config.LoginTimeOut = profile.readInteger(Run, QStringLiteral("LoginTimeOut"), -1);
    if (config.LoginTimeOut < 0)
        config.LoginTimeOut = defaults.LoginTimeOut;
    config.MessagesInResults =
        profile.readBool(Run, QStringLiteral("MessagesInResults"), defaults.MessagesInResults);
    config.ShowNullText =
        profile.readBool(Run, QStringLiteral("ShowNullText"), defaults.ShowNullText);
    config.SyntaxColours =
        profile.readBool(Run, QStringLiteral("SyntaxColours"), defaults.SyntaxColours);
    config.LineNumbers = profile.readBool(Run, QStringLiteral("LineNumbers"), defaults.LineNumbers);
    config.Completion = profile.readBool(Run, QStringLiteral("Completion"), defaults.Completion);
    config.CellViewer = profile.readBool(Run, QStringLiteral("CellViewer"), defaults.CellViewer);

    config.ShowPlan = flag("ShowPlan", defaults.ShowPlan);
    config.NoExec = flag("NoExec", defaults.NoExec);
    config.CheckSyntax = flag("CheckSyntax", defaults.CheckSyntax);
    config.ShowIo = flag("ShowIo", defaults.ShowIo);
    config.ShowTime = flag("ShowTime", defaults.ShowTime);
    config.ArithAbort = flag("ArithAbort", defaults.ArithAbort);
    config.ArithIgnore = flag("ArithIgnore", defaults.ArithIgnore);
    config.ShowNonAnsi = flag("ShowNonAnsi", defaults.ShowNonAnsi);
    config.ExecSelected = flag("ExecSelected", defaults.ExecSelected);
    config.BackgroundProcess = flag("BackgroundProcess", defaults.BackgroundProcess);
    config.SeperateDBProc = flag("SeperateDBProc", defaults.SeperateDBProc);
    config.AppendGo = flag("AppendGo", defaults.AppendGo);
    config.AppendPaste = flag("AppendPaste", defaults.AppendPaste);
    config.OpenNewWindow = flag("OpenNewWindow", defaults.OpenNewWindow);
    config.PasteCREATE = flag("PasteCREATE", defaults.PasteCREATE);
    config.PasteDROP = flag("PasteDROP", defaults.PasteDROP);
    config.RichText = flag("RichText", defaults.RichText);
    config.TextForeGroundColor = integer("TextForeGroundColor", defaults.TextForeGroundColor);
    config.TextBackGroundColor = integer("TextBackGroundColor", defaults.TextBackGroundColor);
    config.ProcessesDelay = integer("ProcessesDelay", defaults.ProcessesDelay);
    config.ProcessesSProc =
        str(Config, "ProcessesSProc", defaults.ProcessesSProc).left(kObjectNameLength);

    QStringList values;
    for (int i = 1; i <= RecentFiles::kCapacity; ++i)
        values.append(profile.readString(Run, historyKey(i), QString()));
    recentFiles.assignPacked(values);
}

IoResult write_ini(const QString& path, const OstrimConfig& config,
                   const RecentFiles& recentFiles) {
    ProfileFile profile;
    // Refuse to rewrite a file whose other entries could not be read: they would be lost.
    if (IoResult loaded = profile.load(path); !loaded)
        return loaded;
    const auto str = [&](const QString& section, const char* key, const QString& value) {
        profile.writeString(section, QString::fromLatin1(key), value);
    };
    const auto flag = [&](const char* key, bool value) {
        profile.writeBool(Config, QString::fromLatin1(key), value);
    };
    const auto integer = [&](const char* key, int value) {
        profile.writeInteger(Config, QString::fromLatin1(key), value);
    };

    str(Run, "LastUser", config.LastUser);
    str(Run, "LastDbName", config.LastDbName);
    str(Run, "LastServerName", config.LastServerName);
    str(Run, "DefaultDir", config.DefaultDir);
    str(Run, "HistoryFile", config.HistoryFile);
    for (int i = 1; i <= recentFiles.count(); ++i)
        profile.writeString(Run, historyKey(i), recentFiles.slot(i));

    flag("ShowPlan", config.ShowPlan);
    flag("NoExec", config.NoExec);
    flag("CheckSyntax", config.CheckSyntax);
    flag("ShowIo", config.ShowIo);
    flag("ShowTime", config.ShowTime);
    flag("ArithAbort", config.ArithAbort);
    flag("ArithIgnore", config.ArithIgnore);
    flag("ShowNonAnsi", config.ShowNonAnsi);
    flag("ExecSelected", config.ExecSelected);
    flag("BackgroundProcess", config.BackgroundProcess);
    // Spelled so by every file written before; the reader ignores case.
    flag("Appendgo", config.AppendGo);
    flag("AppendPaste", config.AppendPaste);
    flag("OpenNewWindow", config.OpenNewWindow);
    flag("PasteCREATE", config.PasteCREATE);
    flag("PasteDROP", config.PasteDROP);
    integer("ProcessesDelay", config.ProcessesDelay);
    str(Config, "ProcessesSProc", config.ProcessesSProc);
    flag("SeperateDBProc", config.SeperateDBProc);
    flag("RichText", config.RichText);
    integer("TextForeGroundColor", config.TextForeGroundColor);
    integer("TextBackGroundColor", config.TextBackGroundColor);
    // Keys of our own follow all of the above.
    profile.writeInteger(Run, QStringLiteral("LoginTimeOut"), config.LoginTimeOut);
    profile.writeBool(Run, QStringLiteral("MessagesInResults"), config.MessagesInResults);
    profile.writeBool(Run, QStringLiteral("ShowNullText"), config.ShowNullText);
    profile.writeBool(Run, QStringLiteral("SyntaxColours"), config.SyntaxColours);
    profile.writeBool(Run, QStringLiteral("LineNumbers"), config.LineNumbers);
    profile.writeBool(Run, QStringLiteral("Completion"), config.Completion);
    profile.writeBool(Run, QStringLiteral("CellViewer"), config.CellViewer);

    return writeFileSafely(path, profile.toBytes(), FileMode::Private);
}

} // namespace ostrim
