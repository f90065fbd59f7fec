#pragma once
// The names the editor's completion offers: the tables, views and procedures of one database and
// the columns of its tables and views, read in the background on a connection of their own.

#include "sybdatabase.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace ostrim {

struct CatalogueRead;

struct CatalogueNames {
    QStringList objects;                 // tables (user and system), views, procedures; sorted
    QHash<QString, QStringList> columns; // per table or view, in column order

    // The columns of table: its exact name first, else one that differs only in letter case.
    QStringList columnsOf(const QString& table) const;
};

class CompletionCatalogue : public QObject {
    Q_OBJECT
public:
    // Asked at each read, so that a read logs in as the window does at that moment.
    using LoginSource = std::function<LoginValues()>;
    explicit CompletionCatalogue(LoginSource login, QObject* parent = nullptr);
    // Returns at once: a read under way is told to stop and its result goes nowhere.
    ~CompletionCatalogue() override;

    // The database whose names are offered. A switch drops the names read so far; they are read
    // again when next wanted, at once when a read was under way.
    void setDatabase(const QString& name);
    QString database() const { return m_database; }
    // Starts a read unless the names are read or being read. A read that failed (no login, no
    // such database) leaves no names, so the next request tries again.
    void request();
    // Reads again, whatever there is.
    void refresh();
    bool isReading() const { return m_reading; }
    bool hasNames() const { return m_names.has_value(); }
    // Empty until a read has succeeded.
    const CatalogueNames& names() const;

    // Reads whose thread is still working, of every catalogue; the program waits for them at
    // exit.
    static int readsRunning();

signals:
    // A read has ended, with names or without.
    void readEnded();

private:
    void startRead();
    void dropRead();
    void take(quint64 generation, std::optional<CatalogueNames> names);

    LoginSource m_login;
    QString m_database;
    std::optional<CatalogueNames> m_names;
    bool m_reading = false;
    quint64 m_generation = 0;
    std::shared_ptr<CatalogueRead> m_read; // the one under way
};

} // namespace ostrim
