#pragma once
// The configuration file "Ostrim.Ini": connection defaults, the recent-file list and the
// options, in the sections "Run" and "Config".

#include "text_file.h"

#include <QString>

namespace ostrim {

class RecentFiles;

// Names of objects on the server hold at most this many characters.
inline constexpr int kObjectNameLength = 30;

// Every value named after its key in the file; the initial values are the defaults of a missing
// file or key.
struct OstrimConfig {
    // Section "Run"
    QString DefaultDir;
    QString LastUser;
    QString LastDbName;
    QString LastServerName;
    QString HistoryFile = QStringLiteral("Ostrim.his");
    // Seconds a login waits for the server before it fails; 0 waits for ever.
    int LoginTimeOut = 15;
    // A results window collects the run's server messages in a pane below its grid instead
    // of showing each in a box.
    bool MessagesInResults = false;
    // The grid paints NULL as a grey "NULL" instead of a blank.
    bool ShowNullText = false;
    // The editor colours Transact-SQL (plain-text mode), numbers its lines and completes names
    // on Ctrl+Space; the grid opens a cell's whole value and right-aligns numbers.
    bool SyntaxColours = true;
    bool LineNumbers = true;
    bool Completion = true;
    bool CellViewer = true;

    // Section "Config"
    bool ShowPlan = false;
    bool NoExec = false;
    bool CheckSyntax = false;
    bool ShowIo = false;
    bool ShowTime = false;
    bool ArithAbort = false;
    bool ArithIgnore = false;
    bool ShowNonAnsi = false;
    bool ExecSelected = true;
    bool BackgroundProcess = true;
    bool SeperateDBProc = true;
    bool AppendGo = false;
    bool AppendPaste = true;
    bool OpenNewWindow = false;
    bool PasteCREATE = false;
    bool PasteDROP = false;
    bool RichText = false;
    int TextForeGroundColor = 0;        // black
    int TextBackGroundColor = 0xFFFFFF; // white
    int ProcessesDelay = 5;             // seconds
    QString ProcessesSProc = QStringLiteral("sp_who");

    bool operator==(const OstrimConfig&) const = default;
};

// Fills every value from the file (defaults for a missing file or key; nothing is reported)
// and loads the recent-file list from History1..History10.
void read_ini(const QString& path, OstrimConfig& config, RecentFiles& recentFiles);

// Writes every value and History1..Historyn for the n recent files, in the file's fixed order;
// all other lines of the file stay as they are.
IoResult write_ini(const QString& path, const OstrimConfig& config, const RecentFiles& recentFiles);

} // namespace ostrim
