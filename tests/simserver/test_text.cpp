// Text pointers through DB-Library: dbtxptr/dbtxtimestamp/dbwritetext, readtext, writetext
// and textvalid.

#include "catalog_checks.h"

#include <cstring>

namespace ostrim::test {
namespace {

class TextPointers : public SaTest {
protected:
    void SetUp() override {
        SaTest::SetUp();
        run(m_sa, "create table #texts (id int, c text null, i image null)\n"
                  "insert #texts values (1, 'abcdefgh', 0x0102)\n"
                  "insert #texts values (2, 'other', null)\n"
                  "insert #texts values (3, null, null)");
    }

    // What dbtxptr and dbtxtimestamp give for row id's text.
    struct Selected {
        DBBINARY pointer[DBTXPLEN];
        DBBINARY timestamp[DBTXTSLEN];
    };
    Selected select(int id) {
        Selected s{};
        const std::string sql = "select c from #texts where id = " + std::to_string(id);
        EXPECT_EQ(dbcmd(m_sa, sql.c_str()), SUCCEED);
        EXPECT_EQ(dbsqlexec(m_sa), SUCCEED);
        EXPECT_EQ(dbresults(m_sa), SUCCEED);
        EXPECT_EQ(dbnextrow(m_sa), REG_ROW);
        if (dbtxptr(m_sa, 1) && dbtxtimestamp(m_sa, 1)) {
            std::memcpy(s.pointer, dbtxptr(m_sa, 1), DBTXPLEN);
            std::memcpy(s.timestamp, dbtxtimestamp(m_sa, 1), DBTXTSLEN);
        } else {
            ADD_FAILURE() << "no text pointer";
        }
        dbcancel(m_sa);
        return s;
    }

    RETCODE write(Selected& s, std::string value) {
        MessageLog::clear();
        char table[] = "#texts.c";
        return dbwritetext(m_sa, table, s.pointer, DBTXPLEN, s.timestamp, TRUE, DBINT(value.size()),
                           reinterpret_cast<BYTE*>(value.data()));
    }

    // The pointer of row id's text as the hex digits DB-Library converts it to.
    std::string pointerOf(int id) {
        return queryValue(m_sa, "select textptr(c) from #texts where id = " + std::to_string(id));
    }
};

TEST_F(TextPointers, DbwritetextReplacesTheValueTheSelectedPointerNames) {
    Selected text = select(1);
    std::string value;
    for (int i = 0; value.size() < 5000; ++i) {
        value += "line " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(write(text, value), SUCCEED) << MessageLog::dump();
    EXPECT_EQ(queryValue(m_sa, "select c from #texts where id = 1"), value);
    EXPECT_EQ(queryValue(m_sa, "select c from #texts where id = 2"), "other");
}

TEST_F(TextPointers, DbwritetextRefusesAValueChangedSinceItsTimestamp) {
    Selected text = select(1);
    run(m_sa, "update #texts set c = 'changed' where id = 1");
    EXPECT_EQ(write(text, "stale"), FAIL);
    EXPECT_TRUE(MessageLog::find(7126)) << MessageLog::dump();
    EXPECT_EQ(queryValue(m_sa, "select c from #texts where id = 1"), "changed");
}

TEST_F(TextPointers, ReadtextSendsTheSliceAskedForDbreadtext) {
    const std::string sql = "readtext #texts.c 0x" + pointerOf(1) + " 2 3";
    ASSERT_EQ(dbcmd(m_sa, sql.c_str()), SUCCEED);
    ASSERT_EQ(dbsqlexec(m_sa), SUCCEED) << MessageLog::dump();
    ASSERT_EQ(dbresults(m_sa), SUCCEED);
    EXPECT_STREQ(dbcolname(m_sa, 1), "c");
    std::string read;
    char chunk[2];
    STATUS n;
    while ((n = dbreadtext(m_sa, chunk, sizeof chunk)) != NO_MORE_ROWS) {
        ASSERT_GE(n, 0);
        read.append(chunk, size_t(n));
    }
    EXPECT_EQ(read, "cde");
    // dbreadtext leaves dbresults' state behind: only a cancel ends the command cleanly.
    dbcancel(m_sa);
}

TEST_F(TextPointers, TextvalidKnowsThePointersOfItsColumn) {
    const std::string good = "0x" + pointerOf(1);
    struct Case {
        std::string sql;
        Value expected;
    };
    const Case cases[] = {
        {"select textvalid('#texts.c', " + good + ")", "1"},
        {"select textvalid('#texts.i', " + good + ")", "0"},
        {"select textvalid('#texts.c', 0x0102030405060708090a0b0c0d0e0f10)", "0"},
        {"select textvalid('#texts.c', textptr(c)) from #texts where id = 2", "1"},
        {"select textptr(c) from #texts where id = 3", std::nullopt},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(run(m_sa, k.sql).scalar(), k.expected) << k.sql;
    }
}

TEST_F(TextPointers, WritetextStoresAValueGivenInTheCommand) {
    run(m_sa, "declare @p varbinary(16)\n"
              "select @p = textptr(c) from #texts where id = 2\n"
              "writetext #texts.c @p with log 'it''s new'");
    EXPECT_EQ(queryValue(m_sa, "select c from #texts where id = 2"), "it's new");
}

TEST_F(TextPointers, RefusedCommandsAnswerWithTheirErrorAndTheSessionGoesOn) {
    const std::string good = "0x" + pointerOf(1);
    struct Case {
        std::string sql;
        int number;
    };
    const Case cases[] = {
        {"writetext #texts.c 0x0102030405060708090a0b0c0d0e0f10 'lost'", 7123},
        {"writetext #texts.i " + good + " 0x01", 7123},
        {"writetext #texts.c " + good, 102},
        {"readtext #texts.id " + good + " 0 1", 7133},
        {"readtext #texts.c null 0 1", 7123},
        {"readtext #texts.c " + good + " 99999999999 1", 7125},
        {"insert bulk no_such_table", 208},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.sql);
        MessageLog::clear();
        const BatchResult r = exec(m_sa, k.sql);
        EXPECT_EQ(r.sqlRc, FAIL);
        EXPECT_TRUE(MessageLog::find(k.number)) << MessageLog::dump();
        EXPECT_EQ(queryValue(m_sa, "select 1"), "1");
    }
    EXPECT_EQ(queryValue(m_sa, "select count(*) from #texts where c like 'lost'"), "0");
}

} // namespace
} // namespace ostrim::test
