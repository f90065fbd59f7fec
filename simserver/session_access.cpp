// Object permissions: who the session's user is in each database and what sysprotects lets that
// user do.

#include "session.h"
#include "sqlite_util.h"

namespace sim {

namespace {

// Truncation is the owner's alone: it has no action code to grant.
int actionCode(Access a) {
    switch (a) {
    case Access::Select:
        return 193;
    case Access::Insert:
        return 195;
    case Access::Update:
        return 197;
    case Access::Delete:
        return 196;
    case Access::Execute:
        return 224;
    case Access::Truncate:
        break;
    }
    return 0;
}

const char* actionName(Access a) {
    switch (a) {
    case Access::Select:
        return "SELECT";
    case Access::Insert:
        return "INSERT";
    case Access::Update:
        return "UPDATE";
    case Access::Delete:
        return "DELETE";
    case Access::Execute:
        return "EXECUTE";
    case Access::Truncate:
        break;
    }
    return "TRUNCATE TABLE";
}

constexpr int kRevoked = 2; // sysprotects.protecttype of a revoke (1: grant, 0: with grant option)

} // namespace

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

std::optional<ChainOwner> Session::moduleOwner() const {
    return m_frame ? m_frame->chain : std::nullopt;
}

bool Session::sameOwner(const ChainOwner& chain, const std::string& db, int uid) {
    if (chain.db == db)
        return chain.uid == uid;
    // Across databases the owners are the same when one login owns both objects.
    auto ownerLogin = [&](const std::string& in, int owner) -> std::optional<int64_t> {
        if (!databaseExists(in))
            return std::nullopt;
        Stmt st(m_sqlite, owner == 1
                              ? "select suid from master.sysdatabases where name = ?"
                              : "select suid from " + quoteId(in) + ".sysusers where uid = ?");
        if (owner == 1)
            st.bind(1, in);
        else
            st.bind(1, owner);
        if (!st.step())
            return std::nullopt;
        return st.i(0);
    };
    auto a = ownerLogin(chain.db, chain.uid);
    return a && a == ownerLogin(db, uid);
}

std::optional<int> Session::decidingProtection(const std::string& db, int id, int action,
                                               const DbUser& u) {
    Stmt st(m_sqlite, "select uid, protecttype from " + quoteId(db) +
                          ".sysprotects where id = ? and action = ? and uid in (?, ?, 0)");
    st.bind(1, id).bind(2, action).bind(3, u.uid).bind(4, u.gid);
    int rank = 0;
    std::optional<int> type;
    while (st.step()) {
        int uid = int(st.i(0));
        int r = uid == 0 ? 1 : uid == u.uid ? 3 : 2;
        if (r > rank) {
            rank = r;
            type = int(st.i(1));
        }
    }
    return type;
}

void Session::requireAccess(const TableInfo& t, Access a, const std::optional<ChainOwner>& chain,
                            int line) {
    // Every user reads the system tables.
    if (t.type == "S" && a == Access::Select)
        return;
    requireAccess(t.db, t.id, t.uid, t.name, a, chain, line);
}

void Session::requireAccess(const std::string& db, int id, int ownerUid, const std::string& name,
                            Access a, const std::optional<ChainOwner>& chain, int line) {
    if (m_suid == 1 || !m_checkAccess || db == "temp")
        return;
    if (chain && sameOwner(*chain, db, ownerUid))
        return;
    DbUser user = userIn(db);
    if (user.uid == ownerUid)
        return;
    if (int action = actionCode(a)) {
        auto type = decidingProtection(db, id, action, user);
        if (type && *type != kRevoked)
            return;
    }
    std::string owner = std::to_string(ownerUid);
    {
        Stmt st(m_sqlite, "select name from " + quoteId(db) + ".sysusers where uid = ?");
        st.bind(1, ownerUid);
        if (st.step())
            owner = st.s(0);
    }
    throw SqlError::make(229, 14,
                         std::string(actionName(a)) + " permission denied on object " + name +
                             ", database " + db + ", owner " + owner,
                         line);
}

} // namespace sim
