// CT-Library against the server: statements sent with parameters, as a language command
// (ct_command + ct_param) and as dynamic SQL (ct_dynamic prepare, execute, deallocate).
// What they wrote is read back through DB-Library.

#include "catalog_checks.h"

#include <ctpublic.h>

#include <string>
#include <vector>

namespace ostrim::test {
namespace {

// Server messages of the CT-Library connection; one connection per test.
std::vector<int> g_serverMessages;

CS_RETCODE CS_PUBLIC onServerMessage(CS_CONTEXT*, CS_CONNECTION*, CS_SERVERMSG* m) {
    if (m->severity > 10) {
        g_serverMessages.push_back(int(m->msgnumber));
    }
    return CS_SUCCEED;
}

CS_RETCODE CS_PUBLIC onClientMessage(CS_CONTEXT*, CS_CONNECTION*, CS_CLIENTMSG*) {
    return CS_SUCCEED;
}

struct Param {
    std::string name;
    bool isInt = true;
    CS_INT number = 0;
    std::string text;
};

class CtLib : public SaTest {
protected:
    void SetUp() override {
        SaTest::SetUp();
        g_serverMessages.clear();
        ASSERT_EQ(cs_ctx_alloc(CS_VERSION_100, &m_ctx), CS_SUCCEED);
        ASSERT_EQ(ct_init(m_ctx, CS_VERSION_100), CS_SUCCEED);
        ct_callback(m_ctx, nullptr, CS_SET, CS_SERVERMSG_CB, (CS_VOID*)onServerMessage);
        ct_callback(m_ctx, nullptr, CS_SET, CS_CLIENTMSG_CB, (CS_VOID*)onClientMessage);
        ASSERT_EQ(ct_con_alloc(m_ctx, &m_conn), CS_SUCCEED);
        CS_INT version = CS_TDS_50;
        ct_con_props(m_conn, CS_SET, CS_TDS_VERSION, &version, CS_UNUSED, nullptr);
        ct_con_props(m_conn, CS_SET, CS_USERNAME, (CS_VOID*)"sa", CS_NULLTERM, nullptr);
        ct_con_props(m_conn, CS_SET, CS_PASSWORD, (CS_VOID*)"", CS_NULLTERM, nullptr);
        const std::string server = host();
        ASSERT_EQ(ct_connect(m_conn, (CS_CHAR*)server.c_str(), CS_NULLTERM), CS_SUCCEED);
        ASSERT_EQ(ct_cmd_alloc(m_conn, &m_cmd), CS_SUCCEED);
    }

    void TearDown() override {
        if (m_cmd) {
            ct_cmd_drop(m_cmd);
        }
        if (m_conn) {
            ct_close(m_conn, CS_FORCE_CLOSE);
            ct_con_drop(m_conn);
        }
        if (m_ctx) {
            ct_exit(m_ctx, CS_FORCE_EXIT);
            cs_ctx_drop(m_ctx);
        }
        SaTest::TearDown();
    }

    void bind(const std::vector<Param>& params) {
        for (const Param& p : params) {
            CS_DATAFMT fmt{};
            std::snprintf(fmt.name, sizeof fmt.name, "%s", p.name.c_str());
            fmt.namelen = p.name.empty() ? 0 : CS_NULLTERM;
            fmt.status = CS_INPUTVALUE;
            if (p.isInt) {
                fmt.datatype = CS_INT_TYPE;
                fmt.maxlength = sizeof(CS_INT);
                ASSERT_EQ(ct_param(m_cmd, &fmt, (CS_VOID*)&p.number, sizeof(CS_INT), 0),
                          CS_SUCCEED);
            } else {
                fmt.datatype = CS_CHAR_TYPE;
                fmt.maxlength = 30;
                ASSERT_EQ(ct_param(m_cmd, &fmt, (CS_VOID*)p.text.data(), CS_INT(p.text.size()), 0),
                          CS_SUCCEED);
            }
        }
    }

    // ct_send, then every ct_results; false when the server refused the command. Rows are
    // cancelled: what was written is read back through DB-Library.
    bool sendAndDrain() {
        if (ct_send(m_cmd) != CS_SUCCEED) {
            return false;
        }
        bool ok = true;
        CS_INT type = 0;
        CS_RETCODE rc;
        while ((rc = ct_results(m_cmd, &type)) == CS_SUCCEED) {
            if (type == CS_CMD_FAIL) {
                ok = false;
            } else if (type == CS_ROW_RESULT) {
                ct_cancel(nullptr, m_cmd, CS_CANCEL_CURRENT);
            }
        }
        return ok && rc == CS_END_RESULTS;
    }

    bool dynamic(CS_INT op, const char* id, const char* sql, const std::vector<Param>& params) {
        if (ct_dynamic(m_cmd, op, (CS_CHAR*)id, CS_NULLTERM, (CS_CHAR*)sql,
                       sql ? CS_NULLTERM : CS_UNUSED) != CS_SUCCEED) {
            return false;
        }
        bind(params);
        return sendAndDrain();
    }

    bool language(const char* sql, const std::vector<Param>& params) {
        if (ct_command(m_cmd, CS_LANG_CMD, (CS_CHAR*)sql, CS_NULLTERM, CS_UNUSED) != CS_SUCCEED) {
            return false;
        }
        bind(params);
        return sendAndDrain();
    }

    CS_CONTEXT* m_ctx = nullptr;
    CS_CONNECTION* m_conn = nullptr;
    CS_COMMAND* m_cmd = nullptr;
};

TEST_F(CtLib, APreparedInsertRunsTwiceWithItsParameters) {
    run(m_sa, "create table ct_dyn (id int, name varchar(20))");
    EXPECT_TRUE(dynamic(CS_PREPARE, "ins", "insert into ct_dyn values (?, ?)", {}));
    EXPECT_TRUE(dynamic(CS_EXECUTE, "ins", nullptr, {{"", true, 1, ""}, {"", false, 0, "one"}}));
    EXPECT_TRUE(dynamic(CS_EXECUTE, "ins", nullptr, {{"", true, 2, ""}, {"", false, 0, "two"}}));
    EXPECT_TRUE(dynamic(CS_DEALLOC, "ins", nullptr, {}));
    EXPECT_EQ(g_serverMessages, std::vector<int>{});
    EXPECT_EQ(rowsText(run(m_sa, "select id, name from ct_dyn order by id")), "1|one\n2|two");
    run(m_sa, "drop table ct_dyn");
}

// A statement the server could not prepare is refused when prepared and again when executed;
// the connection goes on.
TEST_F(CtLib, AStatementThatDidNotPrepareIsAnErrorNotAClosedConnection) {
    // libct reports every prepare as succeeded: the server's message tells.
    dynamic(CS_PREPARE, "bad", "select from where", {});
    EXPECT_EQ(g_serverMessages, std::vector<int>{156});
    EXPECT_FALSE(dynamic(CS_EXECUTE, "bad", nullptr, {}));
    EXPECT_EQ(g_serverMessages, (std::vector<int>{156, 2812}));
    g_serverMessages.clear();
    EXPECT_TRUE(language("select 1", {}));
    EXPECT_EQ(g_serverMessages, std::vector<int>{});
}

TEST_F(CtLib, ALanguageCommandBindsNamedAndPlaceholderParameters) {
    run(m_sa, "create table ct_lang (id int, name varchar(20))");
    EXPECT_TRUE(language("insert into ct_lang values (@id, @name)",
                         {{"@id", true, 7, ""}, {"@name", false, 0, "seven"}}));
    EXPECT_TRUE(language("insert into ct_lang values (?, ?)",
                         {{"", true, 8, ""}, {"", false, 0, "eight"}}));
    EXPECT_EQ(g_serverMessages, std::vector<int>{});
    EXPECT_EQ(rowsText(run(m_sa, "select id, name from ct_lang order by id")), "7|seven\n8|eight");
    run(m_sa, "drop table ct_lang");
}

} // namespace
} // namespace ostrim::test
