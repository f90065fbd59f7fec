// Who the session's user is in each database, and so who owns what it creates there.

#include "session.h"
#include "sqlite_util.h"

namespace sim {

Session::DbUser Session::userIn(const std::string& schema) {
    if (m_suid == 1)
        return {1, 0};
    // #tables live in the session's own schema; as objects they are tempdb's.
    const std::string db = schema == "temp" ? "tempdb" : schema;
    if (!databaseExists(db))
        return {};
    {
        Stmt owner(m_sqlite, "select 1 from master.sysdatabases where name = ? and suid = ?");
        owner.bind(1, db).bind(2, m_suid);
        if (owner.step())
            return {1, 0};
    }
    Stmt user(m_sqlite, "select uid, gid, 0 from " + quoteId(db) +
                            ".sysusers where suid = ? union all select uid, gid, 1 from " +
                            quoteId(db) + ".sysusers where uid = 2 order by 3");
    user.bind(1, m_suid);
    if (!user.step())
        return {};
    return {int(user.i(0)), int(user.i(1))};
}

ObjectOwner Session::ownerIn(const std::string& schema) {
    return {userIn(schema).uid, m_user};
}

} // namespace sim
