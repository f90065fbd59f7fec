// What DDL leaves in the catalogue, with Sybase's codes and shapes, and what it refuses: each
// kind of object is created, found, dropped and seen gone. Each test works in a database of its
// own, so that numbering (user types from 100, segments from 3) starts as on a new database.

#include "catalog_checks.h"

namespace ostrim::test {
namespace {

const std::string kSystemTables = "syscolumns\nsyscomments\nsysindexes\nsysobjects\nsysprotects\n"
                                  "syssegments\nsystypes\nsysusers";

// Everything the catalogue still holds about an object id.
std::string leftovers(const std::string& id) {
    std::string sql = "select 0";
    for (const char* table :
         {"sysobjects", "syscolumns", "syscomments", "sysindexes", "sysprotects"}) {
        sql += std::string(" + (select count(*) from ") + table + " where id = " + id + ")";
    }
    return sql;
}

class Catalog : public SaTest {
protected:
    DBPROCESS* database(const std::string& name) {
        play(m_sa, {{"create database " + name, ""}, {"use " + name, ""}});
        return m_sa;
    }

    std::string id(const std::string& object) {
        return queryValue(m_sa, "select object_id('" + object + "')");
    }

    // An object's text as its syscomments rows give it back, joined.
    std::string storedText(const std::string& object) {
        const BatchResult r = run(m_sa, "select text from syscomments where id = object_id('" +
                                            object + "') order by colid2, colid");
        std::string out;
        for (const ResultSet* set : r.rowResults()) {
            for (const Row& row : set->rows) {
                out += text(row.at(0));
            }
        }
        return out;
    }
};

TEST_F(Catalog, ANewDatabaseHasTheSystemCatalogueAndNothingElse) {
    Connection c = connectSa();
    ASSERT_TRUE(c);
    play(c.get(), {{"create database cat_db", ""},
                   {"select name from master..sysdatabases where name = 'cat_db'", "cat_db"},
                   {"create database cat_db", "Msg 1801"},
                   {"use cat_db", ""},
                   {"select db_name(), db_id('cat_db') - db_id()", "cat_db|0"},
                   {"select name from sysobjects where type = 'U'", "-"},
                   {"select name from sysobjects where type = 'S' order by name", kSystemTables},
                   // Every system table has its data row in sysindexes, under the table's name.
                   {"select name from sysindexes order by name", kSystemTables},
                   {"select segment, name from syssegments order by segment",
                    "0|system\n1|default\n2|logsegment"},
                   {"select name from sysusers where gid = uid", "public"},
                   // A name in double quotes is a string, even when it names a column.
                   {"select count(*) from sysobjects where name = \"name\"", "0"},
                   {"use master", ""},
                   {"select db_name()", "master"}});
}

TEST_F(Catalog, TypesUserTypesAndNullabilityInSyscolumns) {
    DBPROCESS* p = database("cat_types_db");
    play(p,
         {{"sp_addtype cat_code_t, 'char(3)', 'not null'", ""},
          // The first user type of a database is numbered 100.
          {"select usertype, type, length, allownulls from systypes where name = 'cat_code_t'",
           "100|47|3|0"},
          {"select name from systypes where usertype >= 100", "cat_code_t"},
          {"select name from systypes where usertype > 100", "-"},
          {"create table cat_types (a tinyint not null, b smallint null, c int not null, "
           "d numeric(10,3) null, e decimal(6,2) not null, f float null, g real not null, "
           "h money null, i smallmoney not null, j datetime null, k smalldatetime not null, "
           "l char(10) not null, m varchar(30) null, n binary(4) null, o varbinary(8) not null, "
           "p bit not null, q text null, r image null, s cat_code_t, u cat_code_t null)",
           ""},
          {"select type from sysobjects where name = 'cat_types'", "U "},
          // A nullable integer, float, money or datetime column takes the "n" type (38, 109,
          // 110, 111), a nullable char 39 and binary 37; numeric(p) takes 2 + p*log2(10)/8
          // bytes; status bit 8 allows NULL.
          {"select colid, name, type, usertype, length, prec, scale, status & 8 from syscolumns "
           "where id = object_id('cat_types') order by colid",
           "1|a|48|5|1|NULL|NULL|0\n2|b|38|6|2|NULL|NULL|8\n3|c|56|7|4|NULL|NULL|0\n"
           "4|d|108|10|6|10|3|8\n5|e|55|26|4|6|2|0\n6|f|109|8|8|NULL|NULL|8\n"
           "7|g|59|23|4|NULL|NULL|0\n8|h|110|11|8|NULL|NULL|8\n9|i|122|21|4|NULL|NULL|0\n"
           "10|j|111|12|8|NULL|NULL|8\n11|k|58|22|4|NULL|NULL|0\n12|l|47|1|10|NULL|NULL|0\n"
           "13|m|39|2|30|NULL|NULL|8\n14|n|37|3|4|NULL|NULL|8\n15|o|37|4|8|NULL|NULL|0\n"
           "16|p|50|16|1|NULL|NULL|0\n17|q|35|19|16|NULL|NULL|8\n18|r|34|20|16|NULL|NULL|8\n"
           "19|s|47|100|3|NULL|NULL|0\n20|u|39|100|3|NULL|NULL|8"},
          // Without a clustered index a table has its indid-0 row, named like the table.
          {"select name, indid from sysindexes where id = object_id('cat_types')", "cat_types|0"},
          {"execute sp_droptype cat_code_t", "Msg 17342"},
          {"create table cat_types (a int)", "Msg 2714"}});
    const std::string table = id("cat_types");
    play(p, {{"drop table cat_types", ""},
             {leftovers(table), "0"},
             {"drop table cat_types", "Msg 3701"},
             {"select object_id('cat_types')", "NULL"},
             {"execute sp_droptype cat_code_t", ""},
             {"select name from systypes where name = 'cat_code_t'", "-"}});
}

TEST_F(Catalog, TextsAreKeptInRowsOf255ThenInColid2) {
    DBPROCESS* p = database("cat_text_db");
    // 800 characters of comment: the view's text needs four rows.
    std::string view = "create view cat_view (key_value, text_value)\nas\n";
    for (int i = 0; i < 20; ++i) {
        view += "-- " + std::string(36, static_cast<char>('a' + i)) + "\n";
    }
    view += "select k, v from cat_base where k > 0";
    play(p, {{"create table cat_base (k int not null, v varchar(20) null)", ""},
             {view, ""},
             {"select type from sysobjects where name = 'cat_view'", "V "},
             {"select name from syscolumns where id = object_id('cat_view') order by colid",
              "key_value\ntext_value"},
             {"select colid, datalength(text) from syscomments where id = object_id('cat_view') "
              "order by colid",
              "1|255\n2|255\n3|255\n4|" + std::to_string(view.size() - 3 * 255)},
             {view, "Msg 2714"}});
    EXPECT_EQ(storedText("cat_view"), view);
    const std::string viewId = id("cat_view");
    play(
        p,
        {{"drop view cat_view", ""}, {leftovers(viewId), "0"}, {"drop view cat_view", "Msg 3701"}});

    // 260 rows of 255 bytes: the last five continue under colid2 = 1.
    std::string proc = "create procedure cat_long\nas\n";
    for (int i = 0; proc.size() < 259u * 255u + 10u; ++i) {
        const std::string head = "-- line " + std::to_string(i) + " ";
        proc += head + std::string(254 - head.size(), static_cast<char>('a' + i % 26)) + "\n";
    }
    proc += "select 4242";
    play(p, {{proc, ""},
             {"select count(*), max(colid2), max(colid) from syscomments where id = "
              "object_id('cat_long')",
              "260|1|255"},
             {"select colid from syscomments where id = object_id('cat_long') and colid2 = 1 "
              "order by colid",
              "1\n2\n3\n4\n5"},
             // The server reads its own procedure back in the same order.
             {"cat_long", "4242"}});
    EXPECT_EQ(storedText("cat_long"), proc);
}

TEST_F(Catalog, ProcedureParametersWithDefaultsAndOutputs) {
    DBPROCESS* p = database("cat_proc_db");
    const std::string proc = "create procedure cat_proc @a int, @b varchar(10) = \"x\",\n"
                             "    @c int = null output, @d money output\n"
                             "as\n"
                             "select @c = @a * 2, @d = @a + 0.5\n"
                             "select @b\n"
                             "return 3";
    play(p, {{proc, ""},
             {"select type from sysobjects where name = 'cat_proc'", "P "},
             // name, usertype, length, output (status bit 0x40).
             {"select name, usertype, length, status & 64 from syscolumns where id = "
              "object_id('cat_proc') order by colid",
              "@a|7|4|0\n@b|2|10|0\n@c|7|4|64\n@d|11|8|64"},
             {"declare @r int, @m money, @rc int\n"
              "execute @rc = cat_proc 5, @c = @r output, @d = @m output\n"
              "select @r, convert(varchar(10), @m), @rc",
              "x\n10|5.50|3"},
             {proc, "Msg 2714"},
             {"execute cat_nosuchproc", "Msg 2812"},
             {"cat_nosuchproc 1, 2", "Msg 2812"}});
    EXPECT_EQ(storedText("cat_proc"), proc);
    const std::string procId = id("cat_proc");
    play(p, {{"drop procedure cat_proc", ""},
             {leftovers(procId), "0"},
             {"drop procedure cat_proc", "Msg 3701"},
             {"execute cat_proc 1", "Msg 2812"}});
}

TEST_F(Catalog, TheTableRowPointsAtItsTriggers) {
    DBPROCESS* p = database("cat_trig_db");
    const std::string insertUpdate = "create trigger cat_trig_iu on cat_trig_t for insert, update\n"
                                     "as\nif exists (select 1 from inserted where a < 0)\n"
                                     "    rollback transaction";
    const std::string pointers = "select instrig - object_id('cat_trig_iu'), updtrig - "
                                 "object_id('cat_trig_iu'), deltrig - object_id('cat_trig_d') "
                                 "from sysobjects where name = 'cat_trig_t'";
    play(p, {{"create table cat_trig_t (a int not null)", ""},
             {insertUpdate, ""},
             {"create trigger cat_trig_d on cat_trig_t for delete\nas\nprint \"deleted\"", ""},
             {"select name, type from sysobjects where type = 'TR' order by name",
              "cat_trig_d|TR\ncat_trig_iu|TR"},
             {pointers, "0|0|0"},
             // On Sybase a trigger's own deltrig column holds the id of its table.
             {"select deltrig - object_id('cat_trig_t') from sysobjects where name = "
              "'cat_trig_iu'",
              "0"},
             {insertUpdate, "Msg 2714"},
             // The server stores and lists triggers but does not run their bodies.
             {"insert cat_trig_t values (-1)", ""},
             {"select count(*) from cat_trig_t", "1"}});
    const std::string deleteId = id("cat_trig_d"), insertId = id("cat_trig_iu");
    play(p, {{"drop trigger cat_trig_d", ""},
             {leftovers(deleteId), "0"},
             {"drop trigger cat_trig_d", "Msg 3701"},
             {pointers, "0|0|NULL"},
             // Dropping the table takes its remaining trigger with it.
             {"drop table cat_trig_t", ""},
             {leftovers(insertId), "0"}});
}

TEST_F(Catalog, AClusteredIndexReplacesTheHeapRowAndSegmentsAreKept) {
    DBPROCESS* p = database("cat_ix_db");
    // name, indid, unique (status bit 2), segment.
    const std::string indexes = "select name, indid, status & 2, segment from sysindexes where "
                                "id = object_id('cat_ix') order by indid";
    play(p, {{"execute sp_addsegment cat_seg, cat_ix_db, master", ""},
             {"select segment from syssegments where name = 'cat_seg'", "3"},
             {"create table cat_ix (a int not null, b char(5) not null, c varchar(10) null)", ""},
             {"create nonclustered index ix_b on cat_ix (b, c)", ""},
             {indexes, "cat_ix|0|0|1\nix_b|2|0|1"},
             {"create unique clustered index ix_a on cat_ix (a)", ""},
             {"create unique nonclustered index ix_c on cat_ix (c) on cat_seg", ""},
             {indexes, "ix_a|1|2|1\nix_b|2|0|1\nix_c|3|2|3"},
             {"select index_col('cat_ix', 2, 1), index_col('cat_ix', 2, 2), index_col('cat_ix', 1, "
              "1)",
              "b|c|a"},
             {"insert cat_ix values (1, 'x', 'one')", ""},
             {"insert cat_ix values (1, 'y', 'two')", "Msg 2601"},
             {"select count(*) from cat_ix", "1"},
             {"create nonclustered index ix_b on cat_ix (c)", "Msg 1913"},
             {"drop index cat_ix.ix_a", ""},
             {indexes, "cat_ix|0|0|1\nix_b|2|0|1\nix_c|3|2|3"},
             {"drop index cat_ix.ix_a", "Msg 3701"},
             {"drop index cat_ix.ix_c", ""},
             {"drop index cat_ix.ix_b", ""},
             {indexes, "cat_ix|0|0|1"}});
}

TEST_F(Catalog, RulesAndDefaultsAreBoundToColumns) {
    DBPROCESS* p = database("cat_rule_db");
    play(p, {{"create table cat_rt (qty int null, note varchar(10) null)", ""},
             {"create rule cat_positive as @v > 0", ""},
             {"create default cat_zero as 0", ""},
             {"select name, type from sysobjects where type in ('R', 'D') order by name",
              "cat_positive|R \ncat_zero|D "},
             {"select text from syscomments where id = object_id('cat_positive')",
              "create rule cat_positive as @v > 0"},
             {"select text from syscomments where id = object_id('cat_zero')",
              "create default cat_zero as 0"},
             {"execute sp_bindrule cat_positive, 'cat_rt.qty'", ""},
             {"execute sp_bindefault cat_zero, 'cat_rt.qty'", ""},
             {"select domain - object_id('cat_positive'), cdefault - object_id('cat_zero') from "
              "syscolumns where id = object_id('cat_rt') and name = 'qty'",
              "0|0"},
             {"create rule cat_positive as @v > 0", "Msg 2714"},
             {"create default cat_zero as 0", "Msg 2714"},
             {"drop table cat_rt", ""},
             {"drop rule cat_positive", ""},
             {"drop rule cat_positive", "Msg 3701"},
             {"drop default cat_zero", ""},
             {"drop default cat_zero", "Msg 3701"},
             {"select name from sysobjects where type in ('R', 'D')", "-"}});
}

TEST_F(Catalog, LoginsUsersAndGroupsComeAndGo) {
    DBPROCESS* p = database("cat_user_db");
    play(p, {{"execute sp_addlogin cat_login, 'secret12', cat_user_db", ""},
             {"select name, dbname from master..syslogins where name = 'cat_login'",
              "cat_login|cat_user_db"},
             {"execute sp_addgroup cat_grp", ""},
             {"execute sp_adduser cat_login, cat_user, cat_grp", ""},
             {"select name from sysusers where gid = uid order by name", "cat_grp\npublic"},
             {"select count(*) from sysusers u, sysusers g, master..syslogins l where u.name = "
              "'cat_user' and g.name = 'cat_grp' and u.gid = g.uid and u.suid = l.suid and "
              "l.name = 'cat_login'",
              "1"}});
    {
        Connection user = connectSa(loginOf("cat_login", "secret12"));
        ASSERT_TRUE(user);
        play(user.get(), "select db_name(), user_name()", "cat_user_db|cat_user");
    }
    play(p, {{"execute sp_dropgroup cat_grp", "Msg 17334"},
             {"execute sp_dropuser cat_user", ""},
             {"execute sp_dropgroup cat_grp", ""},
             {"select name from sysusers where name like 'cat%'", "-"},
             {"execute sp_droplogin cat_login", ""},
             {"select name from master..syslogins where name = 'cat_login'", "-"}});
    MessageLog::clear();
    EXPECT_FALSE(connect(host(), loginOf("cat_login", "secret12")));
}

TEST_F(Catalog, GrantAndRevokeWriteSybaseActionCodes) {
    DBPROCESS* p = database("cat_grant_db");
    // 193 select, 195 insert, 196 delete, 197 update, 151 references, 224 execute, 198 create
    // table (id 0: a statement permission); protecttype 1 grants.
    const std::string rows = "select object_name(id), user_name(uid), action, protecttype from "
                             "sysprotects order by action, id, uid";
    play(p,
         {{"create table cat_gt (a int null)", ""},
          {"create procedure cat_gp as select 1", ""},
          {"execute sp_addgroup cat_readers", ""},
          {"grant select on cat_gt to public", ""},
          {"grant insert, delete, update on cat_gt to cat_readers", ""},
          {"grant references on cat_gt to cat_readers", ""},
          {"grant execute on cat_gp to public", ""},
          {"grant create table to cat_readers", ""},
          {rows, "cat_gt|cat_readers|151|1\ncat_gt|public|193|1\ncat_gt|cat_readers|195|1\n"
                 "cat_gt|cat_readers|196|1\ncat_gt|cat_readers|197|1\n"
                 "NULL|cat_readers|198|1\ncat_gp|public|224|1"},
          {"revoke select on cat_gt from public", ""},
          {"revoke insert, delete, update, references on cat_gt from cat_readers", ""},
          {"revoke create table from cat_readers", ""},
          {"select object_name(id), action from sysprotects where protecttype = 1", "cat_gp|224"},
          // All on a table: delete, insert, references, select, update.
          {"grant all on cat_gt to cat_readers", ""},
          {"select action from sysprotects where protecttype = 1 and id = object_id('cat_gt') "
           "order by action",
           "151\n193\n195\n196\n197"}});
    const std::string objects = id("cat_gt") + ", " + id("cat_gp");
    // Dropping the objects drops their permissions.
    play(p, {{"drop table cat_gt", ""},
             {"drop procedure cat_gp", ""},
             {"select count(*) from sysprotects where id in (" + objects + ")", "0"}});
}

// Last: a failure here can stop the server from taking logins.
TEST_F(Catalog, FifteenDatabasesCanAllBeUsedFromANewLogin) {
    const int existing = std::stoi(queryValue(m_sa, "select count(*) from master..sysdatabases"));
    for (int i = existing; i < 15; ++i) {
        play(m_sa, "create database cat_many" + std::to_string(i), "");
    }
    Connection fresh = connectSa();
    ASSERT_TRUE(fresh);
    const BatchResult all = run(m_sa, "select name from master..sysdatabases order by dbid");
    int used = 0;
    for (const ResultSet* set : all.rowResults()) {
        for (const Row& row : set->rows) {
            play(fresh.get(), "use " + text(row[0]) + " select db_name()", text(row[0]));
            ++used;
        }
    }
    EXPECT_EQ(used, 15);
}

// The metadata procedures of ODBC/JDBC drivers: Sybase's result columns, in Sybase's order,
// with their name patterns, owner and type filters.
TEST_F(Catalog, MetadataProceduresDescribeTablesColumnsAndProcedures) {
    DBPROCESS* p = database("meta_db");
    play(p,
         "create table meta_t (id int not null, price money null, name varchar(20) null,\n"
         "    code char(2) null)\n"
         "create view meta_v as select id from meta_t",
         "");
    play(p, "create procedure meta_p @a int, @b varchar(10) = null output as return 0", "");
    struct Case {
        std::string sql, columns, rows;
    };
    const std::vector<Case> cases = {
        {"sp_tables 'meta%'", "table_qualifier|table_owner|table_name|table_type|remarks",
         "meta_db|dbo|meta_t|TABLE|NULL\nmeta_db|dbo|meta_v|VIEW|NULL"},
        {"sp_tables @table_name = 'meta%', @table_type = \"'VIEW'\"", "",
         "meta_db|dbo|meta_v|VIEW|NULL"},
        {"sp_tables 'sysu%', 'dbo', null, \"'SYSTEM TABLE', 'TABLE'\"", "",
         "meta_db|dbo|sysusers|SYSTEM TABLE|NULL"},
        {"sp_tables 'meta%', 'nobody'", "", ""},
        {"sp_columns meta_t",
         "table_qualifier|table_owner|table_name|column_name|data_type|type_name|precision|"
         "length|scale|radix|nullable|remarks|ss_data_type|colid|column_def|sql_data_type|"
         "sql_datetime_sub|char_octet_length|ordinal_position|is_nullable",
         "meta_db|dbo|meta_t|id|4|int|10|4|0|10|0|NULL|56|1|NULL|4|NULL|NULL|1|NO\n"
         "meta_db|dbo|meta_t|price|3|money|19|8|4|10|1|NULL|110|2|NULL|3|NULL|NULL|2|YES\n"
         "meta_db|dbo|meta_t|name|12|varchar|20|20|NULL|NULL|1|NULL|39|3|NULL|12|NULL|20|3|YES\n"
         "meta_db|dbo|meta_t|code|1|char|2|2|NULL|NULL|1|NULL|39|4|NULL|1|NULL|2|4|YES"},
        {"sp_columns 'meta_t', null, null, 'n%'", "",
         "meta_db|dbo|meta_t|name|12|varchar|20|20|NULL|NULL|1|NULL|39|3|NULL|12|NULL|20|3|YES"},
        {"sp_stored_procedures 'meta%'",
         "procedure_qualifier|procedure_owner|procedure_name|num_input_params|"
         "num_output_params|num_result_sets|remarks|procedure_type",
         "meta_db|dbo|meta_p|2|1|-1|NULL|1"},
        {"sp_sproc_columns meta_p",
         "procedure_qualifier|procedure_owner|procedure_name|column_name|column_type|data_type|"
         "type_name|precision|length|scale|radix|nullable|remarks|ss_data_type|colid|"
         "column_def|sql_data_type|sql_datetime_sub|char_octet_length|ordinal_position|"
         "is_nullable",
         "meta_db|dbo|meta_p|RETURN_VALUE|5|4|int|10|4|0|10|0|NULL|56|0|NULL|4|NULL|NULL|0|NO\n"
         "meta_db|dbo|meta_p|@a|1|4|int|10|4|0|10|1|NULL|38|1|NULL|4|NULL|NULL|1|YES\n"
         "meta_db|dbo|meta_p|@b|2|12|varchar|10|10|NULL|NULL|1|NULL|39|2|NULL|12|NULL|10|2|YES"},
        {"sp_tables 'meta%', null, 'master'", "", "Msg 18039"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        if (c.rows.rfind("Msg ", 0) == 0) {
            play(p, c.sql, c.rows);
            continue;
        }
        MessageLog::clear();
        const BatchResult r = exec(p, c.sql);
        ASSERT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
        ASSERT_EQ(r.rowResults().size(), 1u);
        if (!c.columns.empty()) {
            std::string names;
            for (const std::string& n : r.rowResults()[0]->columnNames) {
                names += (names.empty() ? "" : "|") + n;
            }
            EXPECT_EQ(names, c.columns);
        }
        EXPECT_EQ(rowsText(r), c.rows);
    }
}

} // namespace
} // namespace ostrim::test
