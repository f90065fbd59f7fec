// The object text builders line by line, without a server: table layout lines, CREATE TABLE,
// select, stored text, index statements, the list queries and their quoting.
#include "object_text.h"
#include "text_lines.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

using test::blanks;
using test::lines;

TEST(LayoutLine, PadsNameAndTypeToThirtyColumns) {
    EXPECT_EQ(layoutLine({"id", "varchar", "1", "30", "", ""}),
              "id" + blanks(28) + "varchar(30)" + blanks(19) + "NULL");
    EXPECT_EQ(layoutLine({"n", "int", "0", "4", "", ""}),
              "n" + blanks(29) + "int" + " " + blanks(26) + "NOT NULL");
    EXPECT_EQ(layoutLine({"code", "char", "0", "4", "", ""}),
              "code" + blanks(26) + "char(4)" + blanks(23) + "NOT NULL");
    // Every type whose name holds "char" gets its length.
    EXPECT_EQ(layoutLine({"u", "nvarchar", "1", "60", "", ""}),
              "u" + blanks(29) + "nvarchar(60)" + blanks(18) + "NULL");
}

TEST(LayoutLine, NumericShowsItsPrecisionDecimalNothing) {
    EXPECT_EQ(layoutLine({"amount", "numeric", "1", "5", "7", "2"}),
              "amount" + blanks(24) + "numeric(7,2)" + blanks(18) + "NULL");
    EXPECT_EQ(layoutLine({"rate", "decimal", "0", "5", "9", "3"}),
              "rate" + blanks(26) + "decimal(9,3)" + blanks(18) + "NOT NULL");
    EXPECT_EQ(layoutLine({"whole", "numeric", "0", "5", "38", "10"}),
              "whole" + blanks(25) + "numeric(38,10)" + blanks(16) + "NOT NULL");
}

TEST(LayoutLine, LongFieldsAreCutAndGetNoPadding) {
    const QString name31 = QString(31, QLatin1Char('n'));
    const QString type31 = QString(31, QLatin1Char('t'));
    // Name and type at most 30, the size part at most 6 characters.
    EXPECT_EQ(layoutLine({name31, type31, "1", "", "", ""}),
              name31.left(30) + type31.left(30) + " " + "NULL");
    EXPECT_EQ(layoutLine({"x", "varchar", "1", "1234567", "", ""}),
              "x" + blanks(29) + "varchar(12345" + blanks(17) + "NULL");
    // The outer join gives no type name for a column whose type is unknown.
    EXPECT_EQ(layoutLine({"y", "", "0", "4", "", ""}),
              "y" + blanks(29) + " " + blanks(29) + "NOT NULL");
}

TEST(TableLayout, EachColumnOnItsOwnLineCommasOnlyForCreate) {
    const std::vector<LayoutColumn> columns = {{"a", "int", "0", "4", "", ""},
                                               {"b", "int", "1", "4", "", ""}};
    const QString a = " a" + blanks(29) + "int " + blanks(26) + "NOT NULL";
    const QString b = " b" + blanks(29) + "int " + blanks(26) + "NULL";
    EXPECT_EQ(tableLayout(columns, false), "\r\n" + a + "\r\n" + b);
    EXPECT_EQ(tableLayout(columns, true), "\r\n" + a + ",\r\n" + b);
    EXPECT_EQ(tableLayout({}, true), "");
}

TEST(TableLayout, WideTablesKeepEveryColumn) {
    std::vector<LayoutColumn> columns;
    for (int i = 1; i <= 400; ++i)
        columns.push_back({"c" + QString::number(i), "int", "1", "4", "", ""});
    const QStringList got = lines(tableLayout(columns, true));
    ASSERT_EQ(got.size(), 401);
    EXPECT_EQ(got[0], "");
    EXPECT_TRUE(got[255].startsWith(" c255 "));
    EXPECT_TRUE(got[255].endsWith("NULL,"));
    EXPECT_TRUE(got[400].startsWith(" c400 "));
    EXPECT_TRUE(got[400].endsWith("NULL"));
}

TEST(TableText, CreateDropAndGoLineByLine) {
    const QString layout = "\r\n x,\r\n y";
    EXPECT_EQ(
        lines(tableText("t", layout, {true, true, true})),
        (QStringList{"drop table t", "go", "", "create table t", "(", "", " x,", " y", ")", "go"}));
    // Without "go" the drop still leaves its two line breaks.
    EXPECT_EQ(
        lines(tableText("t", layout, {true, true, false})),
        (QStringList{"drop table t", "", "", "create table t", "(", "", " x,", " y", ")", ""}));
    // The layout alone: "go" needs the create statement.
    EXPECT_EQ(lines(tableText("t", layout, {false, false, true})),
              (QStringList{"", " x,", " y", "", ""}));
}

TEST(SelectText, ColumnsOnePerLine) {
    EXPECT_EQ(lines(selectText("t", {"a", "b", "c"})),
              (QStringList{"select ", " a,", " b,", " c", "from t"}));
    EXPECT_EQ(lines(selectText("t", {"a"})), (QStringList{"select ", " a", "from t"}));
}

TEST(StoredText, RowsJoinedWithNothingBetween) {
    const QStringList rows = {"create proc p as\r\nselect 12", "34\r\n"};
    EXPECT_EQ(storedText("Procedures", "p", rows, {}), "create proc p as\r\nselect 1234\r\n");
    EXPECT_EQ(
        lines(storedText("Procedures", "p", rows, {true, false, true})),
        (QStringList{"drop procedure p", "go", "", "create proc p as", "select 1234", "", "go"}));
    EXPECT_EQ(lines(storedText("Triggers", "tr", {"x"}, {true, false, false})),
              (QStringList{"drop trigger tr", "x"}));
    EXPECT_EQ(lines(storedText("Views", "v", {"x"}, {true, false, false})),
              (QStringList{"drop view v", "x"}));
}

TEST(IndexText, SegmentClauseOnlyForOwnSegments) {
    const IndexParts onDefault{"create unique clustered index pubind on publishers", " pub_id ", "",
                               "on default"};
    EXPECT_EQ(indexText("publishers.pubind", onDefault, {}),
              "create unique clustered index pubind on publishers(pub_id) \r\n");
    for (const char* system : {"on system", "on master"})
        EXPECT_EQ(indexText("t.i", {"create index i on t", "a", "", system}, {}),
                  "create index i on t(a) \r\n");
    EXPECT_EQ(indexText("t.i", {"create index i on t", "a, b", "", "on s1"}, {}),
              "create index i on t(a, b) on s1\r\n");
    // Column 3 trimmed; a blank keeps the clause from running into it.
    EXPECT_EQ(
        indexText("t.i", {"create index i on t", "a", " with fillfactor = 50 ", " on s1 "}, {}),
        "create index i on t(a) with fillfactor = 50 on s1\r\n");
    // The comparison is exact: another spelling is kept as a clause.
    EXPECT_EQ(indexText("t.i", {"create index i on t", "a", "", "on Default"}, {}),
              "create index i on t(a) on Default\r\n");
}

TEST(IndexText, DropAndGo) {
    const IndexParts parts{"create index i on t", "a", "", "on s1"};
    EXPECT_EQ(lines(indexText("t.i", parts, {true, false, true})),
              (QStringList{"drop index t.i", "go", "create index i on t(a) on s1", "go"}));
    EXPECT_EQ(lines(indexText("t.i", parts, {true, false, false})),
              (QStringList{"drop index t.i", "", "create index i on t(a) on s1", ""}));
}

TEST(IndexKeys, CommasSeparateBlanksVanish) {
    EXPECT_EQ(indexKeyEntries("au_lname, au_fname"), (QStringList{"au_lname", "au_fname"}));
    EXPECT_EQ(indexKeyEntries(" a b ,c"), (QStringList{"ab", "c"}));
    EXPECT_EQ(indexKeyEntries("a,"), (QStringList{"a", ""}));
    EXPECT_EQ(indexKeyEntries(""), (QStringList{""}));
}

TEST(PasteHeader, EmptyEditorGivesALineOnlyBeforeAnIndex) {
    EXPECT_EQ(pasteHeader("old", false, false), "");
    EXPECT_EQ(pasteHeader("old", false, true), "");
    EXPECT_EQ(pasteHeader("old", true, false), "old\r\n");
    EXPECT_EQ(pasteHeader("old", true, true), "old\r\n");
    EXPECT_EQ(pasteHeader("", true, false), "");
    EXPECT_EQ(pasteHeader("", true, true), "\r\n");
}

TEST(ObjectSql, TemplatesAndQuoting) {
    EXPECT_EQ(columnQuery("authors"),
              "select name from syscolumns where id = object_id(\"authors\") order by colid");
    EXPECT_EQ(columnQuery("a\"b"),
              "select name from syscolumns where id = object_id(\"a\"\"b\") order by colid");
    EXPECT_EQ(
        layoutQuery("t"),
        "select c.name, t.name, convert(varchar(8),convert(bit, (c.status & 8))), "
        "convert(varchar(6),c.length), convert(varchar(6),c.prec), convert(varchar(6),c.scale), "
        "c.colid from syscolumns "
        "c, systypes t where c.id = object_id(\"t\") and c.usertype *= t.usertype order by "
        "c.colid");
    EXPECT_TRUE(layoutQuery(QString(40, 'x')).contains("object_id(\"" + QString(30, 'x') + "\")"));
    EXPECT_EQ(indexCall("titles.titleind"), "sp_ostrim_get_index titles,titleind");
    EXPECT_EQ(indexName("titles.titleind"), "titleind");
    EXPECT_EQ(indexTable("titles.titleind"), "titles");
    EXPECT_EQ(userTypeCall("phone_t"), "sp_ostrim_get_user_type phone_t");
    // Names that are no plain identifiers travel as strings, never as loose SQL.
    EXPECT_EQ(userTypeCall("x; drop table t"), "sp_ostrim_get_user_type \"x; drop table t\"");
    EXPECT_EQ(indexCall("my tab.i\"x"), "sp_ostrim_get_index \"my tab\",\"i\"\"x\"");
}

TEST(ObjectSql, KindsQueriesAndDrops) {
    EXPECT_EQ(objectListQuery("Indexes"),
              "select so.name + \".\" + si.name from sysobjects so,sysindexes si where so.id = "
              "si.id  and si.indid<> 0 and so.type in (\"U\",\"S\") order by so.name,si.indid");
    EXPECT_EQ(objectListQuery("Tables"), objectListQuery("Select"));
    EXPECT_EQ(objectListQuery("Triggers"),
              "select name from sysobjects where type=\"TR\" order by name");
    // The first user type is number 100.
    EXPECT_EQ(objectListQuery("User Datatypes"),
              "select name from systypes where usertype >= 100 order by name");
    EXPECT_EQ(objectListQuery("Nothing"), "");
    EXPECT_EQ(dropStatement("Groups", "g"), "execute sp_dropgroup g");
    EXPECT_EQ(dropStatement("Indexes", "t.i"), "drop index t.i");
    EXPECT_EQ(dropStatement("User Datatypes", "u"), "execute sp_droptype u");
    for (const char* none : {"Databases", "Select", "System Datatypes"})
        EXPECT_EQ(dropStatement(none, "x"), "");
}

} // namespace
} // namespace ostrim
