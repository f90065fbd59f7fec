#pragma once
// Where the program keeps its configuration, history and tools files.

#include <QString>

namespace ostrim {

inline constexpr char kConfigFileName[] = "Ostrim.Ini";
inline constexpr char kToolsFileName[] = "OSTRIM.TOOLS";

// The inputs of the choice, separated from the process so that every rule can be tried.
struct ProgramDirInputs {
    QString ostrimHome;    // $OSTRIM_HOME
    QString xdgConfigHome; // $XDG_CONFIG_HOME
    QString home;          // the user's home directory
    QString executableDir; // directory of the running executable
};

// $OSTRIM_HOME when set; else the executable's directory when it holds the configuration file
// (a portable install); else $XDG_CONFIG_HOME/ostrim, or ~/.config/ostrim.
QString resolveProgramDirectory(const ProgramDirInputs& inputs);

ProgramDirInputs currentProgramDirInputs();

// The program directory of this process, created when missing, for the user alone (0700) like
// the files inside it. Creation can fail (e.g. a read-only home); the files inside it then
// report the error when they are written.
QString programDirectory();

// A relative name resolves inside the given directory, not the process's current directory.
QString resolveInDirectory(const QString& directory, const QString& name);
// A relative name resolved inside programDirectory(); used for HistoryFile and other files the
// user names.
QString programFilePath(const QString& name);

inline QString configFilePath() {
    return programFilePath(QString::fromLatin1(kConfigFileName));
}
inline QString toolsFilePath() {
    return programFilePath(QString::fromLatin1(kToolsFileName));
}

} // namespace ostrim
