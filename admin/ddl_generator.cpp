#include "ddl_generator.h"

#include "source_text.h"

#include <QChar>

namespace ostrim {

namespace {

const QString kGo = QStringLiteral("go");

QString doubledQuotes(QString name) {
    return name.replace(QLatin1Char('"'), QLatin1String("\"\""));
}

} // namespace

bool ddlKindOf(const QString& objectType, DdlKind& kind) {
    if (objectType == QLatin1String("Procedures"))
        kind = DdlKind::Procedures;
    else if (objectType == QLatin1String("Views"))
        kind = DdlKind::Views;
    else if (objectType == QLatin1String("Triggers"))
        kind = DdlKind::Triggers;
    else
        return false;
    return true;
}

QString objectListSql(DdlKind kind) {
    switch (kind) {
    case DdlKind::Procedures:
        return QStringLiteral("select name from sysobjects where type=\"P\"");
    case DdlKind::Views:
        return QStringLiteral("select name from sysobjects where type=\"V\"");
    case DdlKind::Triggers:
        break;
    }
    return QStringLiteral("select name from sysobjects where type=\"TR\"");
}

QStringList ddlPreamble(const QString& database) {
    return {"use " + database.left(kNameLength), kGo, QString()};
}

QString ddlObjectName(const QString& item) {
    return item.trimmed().left(kNameLength);
}

QString sourceTextSql(const QString& name, const QString& order) {
    return "select text from syscomments where id=object_id(\"" + doubledQuotes(name) +
           "\") order by " + order;
}

QStringList objectScript(const DdlJob& job, const QString& name, const QString& text) {
    QStringList lines;
    lines << "/************************ " + name + " ************************/";
    if (job.drop) {
        if (job.kind == DdlKind::Procedures)
            lines << "drop procedure " + name;
        else if (job.kind == DdlKind::Views)
            lines << "drop view " + name;
        lines << kGo << QString();
    }
    lines << text.trimmed() << kGo << QString();
    if (job.grant && !job.grantee.isEmpty()) {
        if (job.kind == DdlKind::Procedures)
            lines << "grant execute on " + name + " to " + job.grantee;
        else if (job.kind == DdlKind::Views)
            lines << "grant select on " + name + " to " + job.grantee;
        lines << kGo;
    }
    return lines;
}

QString objectFileName(const QString& directory, const QString& item, const QString& extension) {
    QString file = item;
    for (QChar& c : file)
        if (c == QLatin1Char('/') || c == QChar(0))
            c = QLatin1Char('_');
    QString path = directory;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + file + extension;
}

Threadgenerate::Threadgenerate(bool createSuspended, DdlJob job, DbProcHandle process,
                               QObject* parent)
    : QThread(parent), m_job(std::move(job)), m_process(process) {
    if (!createSuspended)
        start();
}

Threadgenerate::~Threadgenerate() {
    // Owners wait for the run (with their event loop running) before they free the thread.
    m_terminated = true;
    wait();
}

void Threadgenerate::run() {
    const QString order = sourceTextOrder(m_process);
    QStringList lines;
    if (!m_job.separateFiles)
        lines = ddlPreamble(m_job.database);
    for (int i = 0; i < m_job.items.size(); ++i) {
        if (beforeObject)
            beforeObject(i);
        if (m_terminated)
            return;
        const QString& item = m_job.items[i];
        if (m_job.separateFiles)
            lines = ddlPreamble(m_job.database);
        const QString name = ddlObjectName(item);
        emit progress(i + 1, name);
        const QString text = readText(name, order);
        // A text cut short by the stop is no text to write.
        if (m_terminated)
            return;
        lines << objectScript(m_job, name, text);
        if (m_job.separateFiles) {
            if (!write(objectFileName(m_job.directory, item, m_job.extension), lines))
                return;
            lines.clear();
        }
    }
    if (!m_job.separateFiles)
        write(m_job.fileName, lines);
}

QString Threadgenerate::readText(const QString& name, const QString& order) {
    // A stop during a long read reaches the server from this thread, which owns the process.
    const CancelScope cancel(m_process, m_terminated);
    return firstColumn(m_process, sourceTextSql(name, order)).join(QString());
}

bool Threadgenerate::write(const QString& fileName, const QStringList& lines) {
    m_failure = writeFileSafely(fileName, joinLines(lines));
    return m_failure.ok();
}

} // namespace ostrim
