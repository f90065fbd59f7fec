// Without a server: the catalogue snapshot, its compare, the generated table text and the line
// diff the side-by-side view marks and copies.
#include "line_diff.h"
#include "schema_compare.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

CatalogColumn column(const QString& name, const QString& type, const QString& length,
                     bool nullable = false) {
    return {name, type, length, {}, {}, nullable, false};
}

// Two procedures, a trigger, a view and one table with a column and an index.
CatalogSnapshot snapshot(const QStringList& listOrders = {"create procedure list_orders\nas\n",
                                                          "select * from orders\n"},
                         const QString& view = "create view order_view as select id from orders") {
    CatalogSnapshot s;
    s.addObject("1", "orders", "U ");
    s.addObject("2", "list_orders", "P ");
    s.addObject("3", "orders_trig", "TR");
    s.addObject("4", "order_view", "V ");
    s.addObject("5", "old_proc", "P ");
    for (const QString& row : listOrders)
        s.addText("2", row);
    s.addText("3", "create trigger orders_trig on orders for insert as return");
    s.addText("4", view);
    s.addText("5", "create procedure old_proc as return");
    s.addColumn("1", column("id", "int", "4"));
    s.addColumn("1", column("note", "varchar", "40", true));
    s.addIndex("1", CatalogIndex{"orderind", {"id"}, true, true});
    return s;
}

TEST(SchemaCompare, SnapshotKeepsKindsTextsInRowOrderAndLayouts) {
    const CatalogSnapshot s = snapshot();
    EXPECT_EQ(s.procedures, (QStringList{"list_orders", "old_proc"}));
    EXPECT_EQ(s.triggers, QStringList{"orders_trig"});
    EXPECT_EQ(s.views, QStringList{"order_view"});
    EXPECT_EQ(s.tables, QStringList{"orders"});
    EXPECT_EQ(s.text("LIST_ORDERS"), "create procedure list_orders\nas\nselect * from orders\n");
    ASSERT_NE(s.table("Orders"), nullptr);
    EXPECT_EQ(s.table("orders")->columns.size(), 2u);
    EXPECT_EQ(s.table("orders")->indexes.size(), 1u);
    EXPECT_EQ(s.table("list_orders"), nullptr) << "a procedure has no layout";
}

TEST(SchemaCompare, SameSnapshotGivesEmptyLists) {
    const CompareResult r = compareSnapshots(snapshot(), snapshot(), {});
    for (const SideDifferences* side : {&r.side1, &r.side2}) {
        EXPECT_TRUE(side->procedures.isEmpty());
        EXPECT_TRUE(side->triggers.isEmpty());
        EXPECT_TRUE(side->views.isEmpty());
        EXPECT_TRUE(side->tables.isEmpty());
        EXPECT_TRUE(side->layout.isEmpty());
        EXPECT_TRUE(side->text.isEmpty());
    }
}

TEST(SchemaCompare, MissingNamesIgnoreCaseKeepOrderAndDuplicates) {
    EXPECT_EQ(missingNames({"Alpha", "beta", "gamma", "gamma"}, {"ALPHA", "delta"}),
              (QStringList{"beta", "gamma", "gamma"}));
    EXPECT_EQ(missingNames({"x"}, {}), QStringList{"x"});
}

TEST(SchemaCompare, NamesOnlyOnOneSideAndUncheckedKindsStayEmpty) {
    CatalogSnapshot two = snapshot();
    two.addObject("9", "New_Proc", "P ");
    two.addObject("10", "LIST_ORDERS", "P "); // case only: the same name
    CompareOptions options;
    options.tables = false;
    const CompareResult r = compareSnapshots(snapshot(), two, options);
    EXPECT_EQ(r.side2.procedures, QStringList{"New_Proc"});
    EXPECT_TRUE(r.side1.procedures.isEmpty());
    EXPECT_TRUE(r.side1.tables.isEmpty());
}

TEST(SchemaCompare, EachColumnAndIndexPropertyCounts) {
    const CatalogTable base = *snapshot().table("orders");
    const std::vector<std::function<void(CatalogTable&)>> changes = {
        [](CatalogTable& t) { t.columns[1].name = "remark"; },
        [](CatalogTable& t) { std::swap(t.columns[0], t.columns[1]); },
        [](CatalogTable& t) { t.columns[0].type = "smallint"; },
        [](CatalogTable& t) { t.columns[1].length = "60"; },
        [](CatalogTable& t) { t.columns[0].precision = "10"; },
        [](CatalogTable& t) { t.columns[0].scale = "2"; },
        [](CatalogTable& t) { t.columns[1].nullable = false; },
        [](CatalogTable& t) { t.columns[0].identity = true; },
        [](CatalogTable& t) { t.columns.pop_back(); },
        [](CatalogTable& t) { t.indexes[0].name = "orderkey"; },
        [](CatalogTable& t) { t.indexes[0].keys << "note"; },
        [](CatalogTable& t) { t.indexes[0].unique = false; },
        [](CatalogTable& t) { t.indexes[0].clustered = false; },
        [](CatalogTable& t) {
            t.indexes.clear();
        }};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        CatalogTable changed = base;
        changes[i](changed);
        EXPECT_FALSE(sameLayout(base, changed)) << "change " << i;
    }
    CatalogTable keysReordered = base;
    keysReordered.indexes[0].keys = QStringList{"id", "note"};
    CatalogTable keysOtherOrder = base;
    keysOtherOrder.indexes[0].keys = QStringList{"note", "id"};
    EXPECT_FALSE(sameLayout(keysReordered, keysOtherOrder)) << "keys count in order";
    CatalogTable upper = base;
    upper.columns[0].name = "ID";
    EXPECT_TRUE(sameLayout(base, upper));
}

TEST(SchemaCompare, LayoutListsTablesOnBothSidesOnly) {
    CatalogSnapshot two = snapshot();
    two.layouts["orders"].columns[1].length = "80";
    two.addObject("11", "extra", "U ");
    const CompareResult r = compareSnapshots(snapshot(), two, {});
    EXPECT_EQ(r.side1.layout, QStringList{"orders"});
    EXPECT_EQ(r.side2.layout, QStringList{"orders"});
    EXPECT_EQ(r.side2.tables, QStringList{"extra"});
    CompareOptions off;
    off.layout = false;
    EXPECT_TRUE(compareSnapshots(snapshot(), two, off).side1.layout.isEmpty());
}

TEST(SchemaCompare, WhiteSpaceOnlyChangeHiddenWhenIgnored) {
    const CatalogSnapshot two =
        snapshot({"create procedure list_orders\r\nas\r\n\tselect *   from orders"},
                 "create view order_view as select id, note from orders");
    CompareOptions ignoring;
    const CompareResult folded = compareSnapshots(snapshot(), two, ignoring);
    EXPECT_EQ(folded.side1.text, QStringList{"order_view"});
    EXPECT_EQ(folded.side2.text, QStringList{"order_view"});
    CompareOptions exact;
    exact.ignoreWhiteSpace = false;
    const CompareResult plain = compareSnapshots(snapshot(), two, exact);
    EXPECT_EQ(plain.side1.text, (QStringList{"list_orders", "order_view"}));
    EXPECT_EQ(plain.side2.text, (QStringList{"list_orders", "order_view"}));
}

TEST(SchemaCompare, FoldWhiteSpace) {
    EXPECT_EQ(foldWhiteSpace(" a \t\r\n b  c\n"), "a b c");
    EXPECT_NE(foldWhiteSpace("ab"), foldWhiteSpace("a b"));
}

TEST(SchemaCompare, CatalogRowsAsTheQueriesReturnThem) {
    const CatalogColumn c = catalogColumn({"7", "amount", "numeric", "5", "10", "2", "136"});
    EXPECT_EQ(c.type, "numeric");
    EXPECT_EQ(c.precision, "10");
    EXPECT_EQ(c.scale, "2");
    EXPECT_TRUE(c.nullable);
    EXPECT_TRUE(c.identity);
    EXPECT_FALSE(catalogColumn({"7", "id", "int", "4", "", "", "0"}).nullable);
    QStringList row{"7", "ind", "2", "2", "0", "b", "a"};
    while (row.size() < 5 + kIndexKeyColumns)
        row << QString();
    const CatalogIndex i = catalogIndex(row);
    EXPECT_EQ(i.keys, (QStringList{"b", "a"}));
    EXPECT_TRUE(i.unique);
    EXPECT_FALSE(i.clustered);
    row[2] = "1";
    row[3] = "0";
    EXPECT_TRUE(catalogIndex(row).clustered);
    EXPECT_FALSE(catalogIndex(row).unique);
    row[2] = "3";
    row[4] = "512";
    EXPECT_TRUE(catalogIndex(row).clustered) << "data-only-locked clustered index";
    EXPECT_TRUE(catalogTextQuery(true).endsWith("order by c.id, c.colid2, c.colid"));
    EXPECT_TRUE(catalogTextQuery(false).endsWith("order by c.id, c.colid"));
}

TEST(SchemaCompare, TableDefinitionAsPasteObjectTextBuildsIt) {
    const QString text = tableDefinition(*snapshot().table("orders"));
    EXPECT_EQ(text.toStdString(),
              "create table orders\r\n(\r\n\r\n"
              " id                            int                           NOT NULL,\r\n"
              " note                          varchar(40)                   NULL\r\n"
              ")\r\n"
              "\r\ncreate unique clustered index orderind on orders (id) \r\n");
}

TEST(LineDiff, MarksOnlyLinesOutsideTheCommonSubsequence) {
    const QStringList a{"create procedure p", "as", "select 1", "select 2", "return"};
    const QStringList b{"create procedure p", "as", "-- new", "select 1", "select 3", "return"};
    const LineDiff d = diffLines(a, b);
    EXPECT_EQ(d.changed1, (std::vector<bool>{false, false, false, true, false}));
    EXPECT_EQ(d.changed2, (std::vector<bool>{false, false, true, false, true, false}));
    const LineDiff same = diffLines(a, a);
    EXPECT_EQ(same.changed1, std::vector<bool>(5, false));
}

TEST(LineDiff, TextLinesSplitBothLineEnds) {
    EXPECT_EQ(textLines("a\r\nb\nc\r\n"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(textLines(""), QStringList{});
}

TEST(LineDiff, UnifiedDiffWithContextAndSeparateHunks) {
    QStringList a;
    for (int i = 1; i <= 20; ++i)
        a << "line " + QString::number(i);
    QStringList b = a;
    b[1] = "changed 2";
    b.removeAt(17); // line 18
    EXPECT_EQ(unifiedDiff(a, a, "one", "two"), QString());
    EXPECT_EQ(unifiedDiff(a, b, "one", "two").toStdString(),
              "--- one\n+++ two\n"
              "@@ -1,5 +1,5 @@\n line 1\n-line 2\n+changed 2\n line 3\n line 4\n line 5\n"
              "@@ -15,6 +15,5 @@\n line 15\n line 16\n line 17\n-line 18\n line 19\n line 20\n");
}

TEST(LineDiff, ChangesCloseTogetherShareAHunk) {
    const QStringList a{"a", "b", "c", "d", "e"};
    const QStringList b{"a", "B", "c", "D", "e"};
    EXPECT_EQ(unifiedDiff(a, b, "1", "2").toStdString(),
              "--- 1\n+++ 2\n@@ -1,5 +1,5 @@\n a\n-b\n+B\n c\n-d\n+D\n e\n");
    EXPECT_EQ(unifiedDiff({}, {"x"}, "1", "2").toStdString(), "--- 1\n+++ 2\n@@ -0,0 +1 @@\n+x\n");
}

} // namespace
} // namespace ostrim
