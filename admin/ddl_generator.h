#pragma once
// The DDL generator's work, apart from its window: the script lines of one object, the file
// names, and Threadgenerate, which reads the texts on a connection of its own and writes the
// scripts while the window stays usable.

#include "sybase32.h"
#include "text_file.h"

#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

namespace ostrim {

// The object kinds by the generator's numbers.
enum class DdlKind { Procedures = 1, Views = 2, Triggers = 3 };

// Everything a run needs, taken from the window on the GUI thread before it starts.
struct DdlJob {
    DdlKind kind = DdlKind::Procedures;
    QString extension; // at most 4 characters
    QStringList items; // the selected items, untrimmed, in list order
    QString database;  // the "use" line's
    bool drop = false;
    bool grant = false; // and a grantee given
    QString grantee;
    bool separateFiles = false;
    QString fileName;  // single file
    QString directory; // separate files
};

// "Procedures", "Views", "Triggers"; false for any other text.
bool ddlKindOf(const QString& objectType, DdlKind& kind);
// The list query of lb_objects.
QString objectListSql(DdlKind kind);
// "use" and the database (at most 30 characters), "go", an empty line.
QStringList ddlPreamble(const QString& database);
// The item trimmed and cut to 30 characters, as every statement names it.
QString ddlObjectName(const QString& item);
// The text query; embedded double quotes of name doubled, so no name ends the string early.
QString sourceTextSql(const QString& name, const QString& order);
// The lines of one object from its header to its grant, after the preamble.
QStringList objectScript(const DdlJob& job, const QString& name, const QString& text);
// directory + "/" + item + extension; "/" and NUL of the untrimmed item become "_".
QString objectFileName(const QString& directory, const QString& item, const QString& extension);

class Threadgenerate : public QThread {
    Q_OBJECT
public:
    // Starts at once unless createSuspended; owns nothing of the window. process belongs to the
    // thread until it has finished.
    Threadgenerate(bool createSuspended, DdlJob job, DbProcHandle process,
                   QObject* parent = nullptr);
    ~Threadgenerate() override;

    // Ends the run before its next object; a text read under way is cancelled. Any thread.
    void Terminate() { m_terminated = true; }
    bool Terminated() const { return m_terminated; }
    // After the thread has finished: the file that could not be written (ok when none).
    const IoResult& failure() const { return m_failure; }

    // Called on the thread before each object (its index), ahead of the stop check: lets a test
    // hold the run at a known point.
    std::function<void(int)> beforeObject;

signals:
    // Queued to the window: the thread never touches widgets.
    void progress(int position, const QString& name);

protected:
    void run() override;

private:
    QString readText(const QString& name, const QString& order);
    bool write(const QString& fileName, const QStringList& lines);

    const DdlJob m_job;
    const DbProcHandle m_process;
    std::atomic<bool> m_terminated{false};
    IoResult m_failure = IoResult::success();
};

} // namespace ostrim
