#pragma once
// Whole-file reading and crash-safe rewriting for the program's own files, and the line form
// they share.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace ostrim {

// The outcome of a file operation: success, or the file layer's error message for the window
// to show. This layer never shows anything itself.
class [[nodiscard]] IoResult {
public:
    static IoResult success() { return IoResult(); }
    static IoResult failure(const QString& message, const QString& fileName);

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    // The file layer's text, e.g. "Permission denied".
    const QString& message() const { return m_message; }
    const QString& fileName() const { return m_fileName; }

private:
    bool m_ok = true;
    QString m_message;
    QString m_fileName;
};

// Who may read a file the program writes.
enum class FileMode {
    // As the user's umask says, and an existing file keeps its mode: scripts and exports are the
    // user's documents.
    Shared,
    // The user alone (0600), an existing file tightened when it is rewritten: the program's own
    // files hold logins and every batch run, passwords of sp_addlogin and sp_password included.
    Private,
};

// Writes through a temporary file in the target's directory that replaces the target only when
// everything was written, so a crash, a full disk or a failing writer leaves the old file as it
// was. The writer returns false to abandon the write. An existing device or pipe is written
// directly, since it cannot be replaced.
IoResult writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& writer,
                         FileMode mode = FileMode::Shared);
IoResult writeFileSafely(const QString& path, const QByteArray& contents,
                         FileMode mode = FileMode::Shared);

// Reads the whole file; a missing file is first created empty, with the given mode.
IoResult readFileCreatingIfMissing(const QString& path, QByteArray& contents,
                                   FileMode mode = FileMode::Shared);

// The files are written in UTF-8, so no character of the user's SQL or file names is lost;
// a file that is not valid UTF-8 (single-byte text from Windows editors and older tools) is read
// as Windows-1252, which keeps its euro signs, curly quotes and dashes and maps every byte to one
// character; it comes back in UTF-8 on its next rewrite.
// Lines may end with LF or CRLF when read; a final line break adds no empty line.
QStringList splitLines(const QByteArray& bytes);

enum class LineEnd { Lf, CrLf };
// What most lines of the text end with, so that a script written back keeps its form even when
// a few lines were added by another editor; LF, the system's own, on a tie and for text without
// a line break.
LineEnd dominantLineEnd(const QByteArray& bytes);
// Every line is ended by lineEnd; the program's own files have always used CRLF.
QByteArray joinLines(const QStringList& lines, LineEnd lineEnd = LineEnd::CrLf);

} // namespace ostrim
