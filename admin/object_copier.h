#pragma once
// Copies views, triggers and procedures from one database to another by their source text in
// syscomments: the explorer's paste step, kept apart from the tree so that it runs without one.

#include "sybase32.h"

#include <QString>

namespace ostrim {

// One end of a copy: the connection's process, its database and its server.
struct CopyEnd {
    DbProcHandle process;
    QString database;
    QString server;
};

class TSybQuery;

// Servers that keep more than 255 rows of text number them by colid2 and colid together.
bool hasColid2(TSybQuery& query, const QString& database);

// Object kinds of the explorer whose text can be copied: views, triggers and procedures.
bool isCopyableKind(int kind);

// name between double quotes, each embedded double quote doubled.
QString doubleQuoted(const QString& name);

enum class CopyResult {
    Sent,     // the text went to the target; its errors came through the message handler
    NotFound, // the source has no object of that name
    Skipped,  // not a kind whose text is copied
};

// Reads the object's text from the source, in colid order (colid2 first where the server has
// it), and sends it as one batch to the target's current database.
CopyResult copyObject(const CopyEnd& source, const CopyEnd& target, const QString& name, int kind);

} // namespace ostrim
