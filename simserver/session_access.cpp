// Object permissions: who the session's user is in each database, what sysprotects lets that
// user do, and grant/revoke, which keep sysprotects as Sybase does.

#include "session.h"
#include "sqlite_util.h"

namespace sim {

namespace {

// sysprotects.action codes.
int actionCode(const std::string& privilege) {
    static const std::pair<const char*, int> codes[] = {
        {"references", 151},      {"select", 193},         {"insert", 195},
        {"delete", 196},          {"update", 197},         {"create table", 198},
        {"create database", 203}, {"create view", 207},    {"create procedure", 222},
        {"execute", 224},         {"create default", 233}, {"create rule", 236}};
    for (auto [name, code] : codes)
        if (privilege == name)
            return code;
    return 0;
}

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

void Session::execGrant(const ast::Stmt& s, Frame& f) {
    bool grant = s.kind == ast::Stmt::Kind::Grant;
    const std::string schema = currentDb(), q = quoteId(schema);
    struct Grantee {
        int uid; // 0: public
        int gid;
        bool group;
    };
    std::vector<Grantee> grantees;
    for (const auto& g : s.grantees) {
        Stmt st(m_sqlite, "select uid, gid from " + q + ".sysusers where name = ?");
        st.bind(1, g);
        if (!st.step())
            throw SqlError::make(11110, 16,
                                 "User or group '" + g +
                                     "' does not exist in the current "
                                     "database.",
                                 s.line);
        int uid = int(st.i(0)), gid = int(st.i(1));
        grantees.push_back({uid, gid, uid == gid});
    }
    struct Target {
        int id;
        std::string type;
        int owner;
    };
    std::vector<Target> targets;
    for (const auto& n : s.names) {
        auto [objSchema, name] = resolveObject(n, *this);
        Target t{objectId(objSchema, name, nullptr), "", 1};
        objectId(objSchema, name, &t.type);
        if (!t.id)
            throw SqlError::make(208, 16, name + " not found.", s.line);
        Stmt owner(m_sqlite, "select uid from " + quoteId(objSchema) + ".sysobjects where id = ?");
        owner.bind(1, t.id);
        if (owner.step())
            t.owner = int(owner.i(0));
        targets.push_back(t);
    }
    // Command permissions (object id 0) are the dbo's to give.
    if (s.names.empty())
        targets.push_back({0, "", 1});
    std::vector<std::pair<int, std::vector<int>>> rows; // object id, action codes
    for (const auto& t : targets) {
        std::vector<int> actions;
        for (const auto& p : s.privileges) {
            if (p == "all") {
                if (t.id == 0)
                    actions.insert(actions.end(), {198, 207, 222, 233, 236});
                else if (t.type == "P")
                    actions.push_back(224);
                else
                    actions.insert(actions.end(), {151, 193, 195, 196, 197});
            } else if (int code = actionCode(p)) {
                actions.push_back(code);
            } else {
                throw SqlError::make(102, 15, "Incorrect syntax near '" + p + "'.", s.line);
            }
        }
        rows.push_back({t.id, actions});
    }
    // The owner gives permissions on an object, and whoever holds one with grant option.
    const DbUser me = userIn(schema);
    for (size_t i = 0; i < targets.size(); ++i) {
        if (m_suid == 1 || me.uid == targets[i].owner)
            continue;
        for (int action : rows[i].second) {
            Stmt held(m_sqlite, "select 1 from " + q +
                                    ".sysprotects where id = ? and action = ? and uid = ? and "
                                    "protecttype = 0");
            held.bind(1, targets[i].id).bind(2, action).bind(3, me.uid);
            if (targets[i].id == 0 || !held.step())
                throw SqlError::make(4613, 14, "Grantor does not have GRANT permission.", s.line);
        }
    }
    // Column lists count as the whole table: permissions are checked table by table. A
    // statement to a group or to public overrides what its members were given or refused
    // before; a revoke that still leaves a permission through a group or public is kept as a
    // revoke row (protecttype 2) of its own.
    const int protecttype = s.on ? 0 : 1;
    const std::string revokes = "protecttype = " + std::to_string(kRevoked);
    inTransaction([&] {
        for (const auto& [id, actions] : rows)
            for (int action : actions) {
                const std::string where =
                    " where id = " + std::to_string(id) + " and action = " + std::to_string(action);
                const std::string table = "delete from " + q + ".sysprotects" + where;
                for (const Grantee& g : grantees) {
                    const std::string uid = std::to_string(g.uid);
                    const std::string members = " and uid in (select uid from " + q +
                                                ".sysusers where gid = " + uid + " and uid <> gid)";
                    if (g.uid == 0) {
                        execSql(m_sqlite,
                                table + (grant ? " and (" + revokes + " or uid = 0)" : ""));
                    } else {
                        if (g.group)
                            execSql(m_sqlite, table + members + (grant ? " and " + revokes : ""));
                        execSql(m_sqlite, table + " and uid = " + uid);
                    }
                    int type = protecttype;
                    if (!grant) {
                        DbUser who = g.group ? DbUser{kNoUser, g.uid} : DbUser{g.uid, g.gid};
                        auto left =
                            g.uid == 0 ? std::nullopt : decidingProtection(schema, id, action, who);
                        if (!left || *left == kRevoked)
                            continue;
                        type = kRevoked;
                    }
                    execSql(m_sqlite, "insert into " + q +
                                          ".sysprotects (id, uid, action, protecttype, columns, "
                                          "grantor) values (" +
                                          std::to_string(id) + ", " + uid + ", " +
                                          std::to_string(action) + ", " + std::to_string(type) +
                                          ", null, " + std::to_string(me.uid) + ")");
                }
            }
    });
    m_error = 0;
    statementDone(f, 0, 0);
}

} // namespace sim
