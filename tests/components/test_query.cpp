// TSybQuery and the value-to-text conversion against ostrim-simserver.
#include "component_server.h"
#include "navigator_link.h"
#include "scripted_dialogs.h"
#include "sybcheckbox.h"
#include "sybedit.h"
#include "sybmemo.h"
#include "sybquery.h"

#include <QBuffer>
#include <QDataStream>
#include <QElapsedTimer>
#include <QWidget>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <latch>
#include <ostream>
#include <thread>

namespace ostrim {
namespace {

using test::Connection;
using test::connectToServer;
using test::runSql;
using test::ScriptedDialogs;

const QString kLongVarchar = QString(200, 'x') + QString(200, 'y');
const QString kLongText = QString(150, 'p') + QString(150, 'q');

class QueryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::recreateTables({"tempdb..items", "tempdb..kinds"},
                             "create table tempdb..items (id int, name varchar(30) null)\n"
                             "insert tempdb..items values (1, 'one')\n"
                             "insert tempdb..items values (2, 'two')\n"
                             "insert tempdb..items values (3, 'three')\n"
                             "create table tempdb..kinds (id int, v varchar(400) null,"
                             " c char(5) null, tx text null, d datetime null, m money null,"
                             " n numeric(10,2) null, b bit, vb varbinary(200) null, i int null)\n"
                             "insert tempdb..kinds values (1, replicate('x', 200) + replicate('y',"
                             " 200), 'ab', replicate('p', 150) + replicate('q', 150),"
                             " '2024-01-02 10:30:00', 12.5, 3.14, 1,"
                             " convert(varbinary(200), replicate('a', 200)), 42)\n"
                             "insert tempdb..kinds values (2, null, null, null, null, null, null,"
                             " 0, null, null)\n"
                             "insert tempdb..kinds values (3, '', ' ', null, null, null, null, 0,"
                             " null, 0)");
    }

    void SetUp() override {
        m_db = connectToServer();
        ASSERT_TRUE(m_db->Connected());
    }

    // A query on this test's connection unless another is given, AutoDbProc off as the windows
    // use it.
    std::unique_ptr<TSybQuery> query(const QString& sql, DbProcHandle process = {}) {
        auto q = std::make_unique<TSybQuery>();
        q->setAutoDbProc(false);
        q->setDbProc(process ? process : m_db->DbProc());
        q->setSql(sql);
        return q;
    }

    // Column 1 of every row that Next walks.
    static QStringList walk(TSybQuery& q) {
        QStringList values;
        while (q.Next() == kMoreRows)
            values << q.ColumnValue(1);
        return values;
    }

    ScriptedDialogs m_dialogs;
    Connection m_db;
};

TEST_F(QueryTest, ExecuteIsRefusedWhileRowsArePendingAndWorksAgainAtTheEnd) {
    auto q = query("select name from tempdb..items order by id");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(q->RowStatus(), 0);
    EXPECT_TRUE(q->RowsReturned());
    ASSERT_EQ(q->Next(), kMoreRows);
    EXPECT_EQ(q->ColumnValue(1), "one");

    q->setSql("select 'other'");
    EXPECT_EQ(q->Execute(), FAIL) << "rows of the last result are pending";
    EXPECT_EQ(q->RowStatus(), kMoreRows);
    ASSERT_EQ(q->Next(), kMoreRows) << "the first batch goes on: nothing was sent";
    EXPECT_EQ(q->ColumnValue(1), "two");
    ASSERT_EQ(q->Next(), kMoreRows);
    EXPECT_EQ(q->Next(), kNoMoreRows);
    EXPECT_EQ(q->NavStatus(), kNoMoreRows);

    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(walk(*q), QStringList{"other"});
    EXPECT_TRUE(m_dialogs.calls.empty());
}

TEST_F(QueryTest, WithoutAProcessNothingIsSentAndEveryMoveEnds) {
    ASSERT_TRUE(m_db->Name().isEmpty());
    TSybQuery q; // its empty DbName must not find the unnamed, connected m_db
    q.setSql("select 1");
    EXPECT_EQ(q.Execute(), FAIL);
    EXPECT_EQ(q.LastResult(), FAIL);
    EXPECT_EQ(q.Next(), kNoMoreRows);
    EXPECT_EQ(q.First(), kNoMoreRows);
    EXPECT_EQ(q.Last(), kNoMoreRows);
    EXPECT_EQ(q.Prior(), kNoMoreRows);
    EXPECT_FALSE(q.Fetch());
    EXPECT_EQ(q.ColumnValue(1), "");
    q.setBufferSize(5);
    EXPECT_EQ(q.LastResult(), FAIL);
}

TEST_F(QueryTest, NextWalksIntoTheSecondSelectAndTheColumnCountFollows) {
    auto q = query("select id, name from tempdb..items where id < 3 order by id\n"
                   "select name from tempdb..items where id = 3");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(q->ColumnCount(), 2);

    QStringList rows;
    QList<int> counts;
    while (q->Fetch()) {
        rows << q->ColumnValue(q->ColumnCount());
        counts << q->ColumnCount();
    }
    EXPECT_EQ(rows, (QStringList{"one", "two", "three"}));
    EXPECT_EQ(counts, (QList<int>{2, 2, 1}));
    EXPECT_EQ(q->ColumnName(1), "name");

    // Read to the end, the connection takes the next batch.
    ASSERT_EQ(q->Execute(), SUCCEED) << "the walk ended the whole reply";
}

TEST_F(QueryTest, AComputeRowReadsItsOwnAggregates) {
    auto q = query("select name, id from tempdb..items order by id compute sum(id), max(id)");
    ASSERT_EQ(q->Execute(), SUCCEED);
    QStringList rows;
    int status;
    while ((status = q->Next()) != kNoMoreRows)
        rows << QString::number(status) + ":" + q->ColumnValue(1) + "|" + q->ColumnValue(2);
    EXPECT_EQ(rows, (QStringList{"-1:one|1", "-1:two|2", "-1:three|3", "1:|6 / 3"}));
}

// The update's result is current after Execute. FreeTDS frees the finished statement's
// result information, so dbmorecmds does not report the select: the walk ends at once and the
// select stays pending on the process.
TEST_F(QueryTest, AnUpdateBeforeASelectEndsTheWalk) {
    auto q = query("update tempdb..items set name = name where id = 1\n"
                   "select name from tempdb..items where id = 2");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(q->ColumnCount(), 0);
    EXPECT_FALSE(q->RowsReturned());
    EXPECT_EQ(q->Next(), kNoMoreRows);
    EXPECT_EQ(q->RowStatus(), kNoMoreRows);

    // The select is still pending when the next batch goes: it is thrown away, and the new
    // batch gets its own answer, with no box.
    q->setSql("select 'again'");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(walk(*q), QStringList{"again"});
    EXPECT_TRUE(m_dialogs.messages().empty());

    // A long statement left pending is stopped at the server, not waited for (a minute). The
    // server sends a batch's answer as its packets fill, so the first rows fill several packets
    // to reach the client while the wait runs.
    q->setSql("select replicate('x', 250) from master..sysobjects a, master..sysobjects b\n"
              "waitfor delay '00:01:00'\nselect 'late'");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_TRUE(q->RowsReturned());
    QElapsedTimer clock;
    clock.start();
    q->setSql("select 'next'");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(walk(*q), QStringList{"next"});
    EXPECT_LT(clock.elapsed(), 30'000);
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(QueryTest, ValuesReadAsText) {
    auto q = query("select v, c, tx, d, m, n, b, vb, i, id from tempdb..kinds order by id");
    ASSERT_EQ(q->Execute(), SUCCEED);
    ASSERT_EQ(q->Next(), kMoreRows);
    // A long char or text value is copied whole, not cut at 255; DB-Library writes binary as
    // hex, two characters per byte, cut to 255. Columns 0, 11 and 256 are none.
    const std::pair<int, QString> values[] = {
        {1, kLongVarchar}, {2, "ab"},   {3, kLongText}, {4, "Jan  2 2024 10:30:00:000AM"},
        {5, "12.5000"},    {6, "3.14"}, {7, "1"},       {8, QString("61").repeated(128).left(255)},
        {9, "42"},         {0, ""},     {11, ""},       {256, ""}};
    for (const auto& [column, value] : values)
        EXPECT_EQ(q->ColumnValue(column), value) << "column " << column;

    EXPECT_EQ(q->ColumnName(4), "d");
    EXPECT_EQ(q->ColumnTypeName(1), "char") << "DB-Library reports varchar as char";
    EXPECT_EQ(q->ColumnTypeName(3), "text");
    EXPECT_EQ(q->ColumnTypeName(4), "datetime");
    EXPECT_EQ(q->ColumnTypeName(5), "money");
    EXPECT_EQ(q->ColumnLength(1), 400);
    EXPECT_EQ(q->ColumnLength(9), 4);
    EXPECT_EQ(q->ColumnName(11), "");

    ASSERT_EQ(q->Next(), kMoreRows);
    for (int c : {1, 2, 3, 4, 5, 6, 8, 9})
        EXPECT_EQ(q->ColumnValue(c), "") << "NULL in column " << c;
    EXPECT_EQ(q->ColumnValue(7), "0");

    // The server stores an empty character value as one blank; an integer 0 is not NULL.
    ASSERT_EQ(q->Next(), kMoreRows);
    EXPECT_EQ(q->ColumnValue(1), " ");
    EXPECT_EQ(q->ColumnValue(2), " ");
    EXPECT_EQ(q->ColumnValue(9), "0");
    EXPECT_EQ(q->Next(), kNoMoreRows);
}

TEST_F(QueryTest, ConversionLeavesTheCallersBufferHoldingExactlyTheValue) {
    auto q = query("select tx, d, v from tempdb..kinds where id = 1");
    ASSERT_EQ(q->Execute(), SUCCEED);
    ASSERT_EQ(q->Next(), kMoreRows);
    QByteArray buffer(1000, '#');
    EXPECT_EQ(columnText(m_db->DbProc(), 2, buffer), 26);
    EXPECT_EQ(buffer, "Jan  2 2024 10:30:00:000AM") << "no blank padding of the conversion";
    EXPECT_EQ(columnText(m_db->DbProc(), 1, buffer), 300);
    EXPECT_EQ(buffer, kLongText.toLatin1());
    EXPECT_EQ(columnText(m_db->DbProc(), 4, buffer), 0);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(columnText(DbProcHandle(), 1, buffer), 0);
    walk(*q);
}

TEST_F(QueryTest, BufferedRowsAreRevisitedByFirstPriorAndLast) {
    auto plain = query("select name from tempdb..items order by id");
    ASSERT_EQ(plain->Execute(), SUCCEED);
    ASSERT_EQ(plain->Next(), kMoreRows);
    ASSERT_EQ(plain->Next(), kMoreRows);
    EXPECT_NE(plain->First(), kMoreRows) << "no row buffer";
    EXPECT_EQ(plain->ColumnValue(1), "two") << "nothing moved";
    plain->Prior();
    EXPECT_NE(plain->NavStatus(), kMoreRows);
    EXPECT_EQ(plain->ColumnValue(1), "two");
    walk(*plain);

    Connection buffered = connectToServer();
    auto owned = query("select name from tempdb..items order by id", buffered->DbProc());
    TSybQuery& q = *owned;
    q.setBufferSize(10);
    EXPECT_EQ(q.LastResult(), SUCCEED);
    ASSERT_EQ(q.Execute(), SUCCEED);
    // The second Prior from row 2 stops at the first row; DB-Library's Next goes on after the
    // row it moved to, from its buffer. CurrentRow follows Next and Prior only (row 0: unchecked).
    const struct {
        int (TSybQuery::*move)();
        int row;
        const char* value;
    } moves[] = {{&TSybQuery::Next, 1, "one"},   {&TSybQuery::Next, 2, "two"},
                 {&TSybQuery::Next, 3, "three"}, {&TSybQuery::First, 0, "one"},
                 {&TSybQuery::Last, 0, "three"}, {&TSybQuery::Prior, 2, "two"},
                 {&TSybQuery::Prior, 1, "one"},  {&TSybQuery::Prior, 1, "one"},
                 {&TSybQuery::Next, 2, "two"},   {&TSybQuery::Next, 3, "three"}};
    for (const auto& m : moves) {
        SCOPED_TRACE(&m - moves);
        ASSERT_EQ((q.*m.move)(), kMoreRows);
        EXPECT_EQ(q.NavStatus(), kMoreRows);
        EXPECT_TRUE(m.row == 0 || q.CurrentRow() == m.row) << q.CurrentRow();
        EXPECT_EQ(q.ColumnValue(1), m.value);
        EXPECT_EQ(q.RowStatus(), kMoreRows) << "moves in the buffer leave RowStatus alone";
    }
    EXPECT_EQ(q.Next(), kNoMoreRows);
}

TEST_F(QueryTest, AddSqlRunsOnIntoThePreviousWord) {
    m_dialogs.calls.clear();
    auto q = query("");
    q->AddSql("select name");
    q->AddSql(" from tempdb..items");
    q->AddSql(" where id = 2");
    EXPECT_EQ(q->Sql(), "select name from tempdb..items where id = 2");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(walk(*q), QStringList{"two"});

    q->ClearSql();
    q->AddSql("select name from");
    q->AddSql("tempdb..items");
    EXPECT_EQ(q->Sql(), "select name fromtempdb..items");
    EXPECT_NE(q->Execute(), SUCCEED);
    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "the server's complaint reaches the handler";
    EXPECT_EQ(q->Next(), kNoMoreRows);
}

TEST_F(QueryTest, ConnectionVersionIsTheServersVersionText) {
    auto q = query("select @@version");
    ASSERT_EQ(q->Execute(), SUCCEED);
    const QStringList versions = walk(*q);
    ASSERT_EQ(versions.size(), 1);
    EXPECT_EQ(m_db->DBVersion(), versions[0]);
    EXPECT_TRUE(m_db->DBVersion().startsWith("Adaptive Server Enterprise/15.7/ostrim-simserver "))
        << m_db->DBVersion().toStdString();
}

TEST_F(QueryTest, DesignListingNamesTheColumnsAndLeavesTheHandleUsable) {
    auto q = query("");
    q->setDesignSql("select id, name as label, 'x' from tempdb..items");
    q->setDesignActive(true);
    EXPECT_EQ(q->DesignFields(), (QStringList{"id", "label", ""}));
    q->setSql("select count(*) from tempdb..items");
    ASSERT_EQ(q->Execute(), SUCCEED);
    EXPECT_EQ(walk(*q), QStringList{"3"});
}

// Binding by component name: the registries, first exact match, AutoDbProc switching it off.
TEST_F(QueryTest, NamesBindQueriesToConnections) {
    TSybQuery first;
    first.setName("q1");
    TSybQuery second;
    second.setName("q1");
    auto third = std::make_unique<TSybQuery>();
    third->setName(QString(40, 'n'));
    EXPECT_EQ(TSybQuery::findQuery("q1"), &first);
    EXPECT_EQ(TSybQuery::findQuery("Q1"), nullptr);
    EXPECT_EQ(TSybQuery::findQuery(QString(30, 'n')), third.get());
    TSybQuery* gone = third.get();
    third.reset();
    EXPECT_EQ(std::find(TSybQuery::QueryList().begin(), TSybQuery::QueryList().end(), gone),
              TSybQuery::QueryList().end());

    m_db->setName("conn");
    TSybDatabase decoy;
    decoy.setName("conn"); // later in the list: never found
    TSybQuery bound;
    bound.setDbName("conn");
    EXPECT_EQ(bound.DbProc(), m_db->DbProc());
    bound.setSql("select name from tempdb..items where id = 3");
    ASSERT_EQ(bound.Execute(), SUCCEED);
    EXPECT_EQ(walk(bound), QStringList{"three"});

    TSybQuery manual;
    manual.setAutoDbProc(false);
    manual.setDbName("conn");
    EXPECT_FALSE(manual.DbProc()) << "no lookup";
    manual.setSql("select 1");
    EXPECT_EQ(manual.Execute(), FAIL);

    TSybQuery unmatched;
    unmatched.setDbName("CONN");
    EXPECT_FALSE(unmatched.DbProc());
    m_db->setName("");
}

// A navigator as data sets see it.
class FakeNavigator : public NavigatorLink {
public:
    FakeNavigator(QString name, QString dataSet)
        : m_name(std::move(name)), m_dataSet(std::move(dataSet)) {
        enterNavigatorList();
    }
    QString Name() const override { return m_name; }
    QString DataSet() const override { return m_dataSet; }
    void setMoveButtons(bool first, bool prior, bool next, bool last) override {
        buttons = {first, prior, next, last};
        ++changes;
    }
    std::array<bool, 4> buttons{};
    int changes = 0;

private:
    QString m_name;
    QString m_dataSet;
};

using Buttons = std::array<bool, 4>;

// A data-aware control on parent, named and bound to dataSet's field (unnamed when name is empty).
template <class Control>
Control* bound(QWidget* parent, const QString& name, const QString& dataSet,
               const QString& field = {}) {
    auto* control = new Control(parent);
    if (!name.isEmpty())
        control->setName(name);
    control->setDataSet(dataSet);
    if (!field.isEmpty())
        control->setDataField(field);
    return control;
}

TEST_F(QueryTest, BoundNavigatorFollowsTheMoves) {
    Connection buffered = connectToServer();
    buffered->setBufferSize(10);
    auto owned = query("select name from tempdb..items order by id", buffered->DbProc());
    TSybQuery& q = *owned;
    q.setName("navigated");
    FakeNavigator other("nav0", "elsewhere");
    FakeNavigator navigator("nav1", "navigated");
    FakeNavigator later("nav2", "navigated");

    ASSERT_EQ(q.Execute(), SUCCEED);
    EXPECT_EQ(q.boundNavigator(), &navigator);
    const Buttons atFirst{false, false, true, true}, between{true, true, true, true},
        atEnd{true, true, false, false};
    const struct {
        int (TSybQuery::*move)();
        Buttons after;
    } moves[] = {{&TSybQuery::Next, atFirst},  {&TSybQuery::Next, between},
                 {&TSybQuery::Next, between},  {&TSybQuery::Next, atEnd},
                 {&TSybQuery::First, atFirst}, {&TSybQuery::Last, atEnd},
                 {&TSybQuery::Prior, between}, {&TSybQuery::Prior, atFirst}};
    for (const auto& m : moves) {
        (q.*m.move)();
        EXPECT_EQ(navigator.buttons, m.after) << "move " << &m - moves;
    }
    EXPECT_EQ(q.CurrentRow(), 1);
    EXPECT_EQ(other.changes + later.changes, 0);

    // The first-row rule holds once per query, not once per Execute.
    ASSERT_EQ(q.Execute(), SUCCEED);
    ASSERT_EQ(q.Next(), kMoreRows);
    EXPECT_EQ(navigator.buttons, (Buttons{true, true, true, true}));
    walk(q);

    // A blank navigator name keeps Next off the buttons; a freed navigator is forgotten.
    {
        FakeNavigator blank(" ", "blanknav");
        q.setName("blanknav");
        ASSERT_EQ(q.Execute(), SUCCEED);
        ASSERT_EQ(q.Next(), kMoreRows);
        EXPECT_EQ(blank.changes, 0);
        EXPECT_EQ(q.First(), kMoreRows);
        EXPECT_EQ(blank.changes, 1) << "the other moves only ask for a bound navigator";
        walk(q);
    }
    EXPECT_EQ(q.boundNavigator(), nullptr);
    ASSERT_EQ(q.Execute(), SUCCEED);
    walk(q);
    buffered->setBufferSize(0);
}

TEST_F(QueryTest, RowMovesFillTheBoundValueControls) {
    QWidget form;
    auto* q = new TSybQuery(&form);
    q->setName("rows");
    q->setAutoDbProc(false);
    q->setDbProc(m_db->DbProc());
    q->setSql("select v, tx, b, i from tempdb..kinds order by id");
    QWidget* panel = new QWidget(&form);
    auto* edit = bound<TSybEdit>(panel, "e_v", "rows", "v");
    auto* memo = bound<TSybMemo>(&form, "m_tx", "rows", "tx");
    auto* check = bound<TSybCheckbox>(&form, "chk_b", "rows", "b");
    auto* elsewhere = bound<TSybEdit>(&form, "e_other", "other", "i");
    auto* unnamed = bound<TSybEdit>(&form, "", "rows", "i"); // not in DataControlList
    EXPECT_EQ(q->Fields(), (QStringList{"e_v", "m_tx", "chk_b"}));

    ASSERT_EQ(q->Execute(), SUCCEED);
    ASSERT_EQ(q->Next(), kMoreRows);
    EXPECT_EQ(edit->Value(), kLongVarchar);
    EXPECT_EQ(memo->Value(), kLongText);
    EXPECT_EQ(check->Value(), "1");
    EXPECT_EQ(elsewhere->Value(), "");
    EXPECT_EQ(unnamed->Value(), "");

    q->setUpdateFields(false);
    ASSERT_EQ(q->Next(), kMoreRows);
    EXPECT_EQ(edit->Value(), kLongVarchar) << "UpdateFields off";
    q->setUpdateFields(true);
    ASSERT_EQ(q->Next(), kMoreRows);
    EXPECT_EQ(edit->Value(), " ");
    EXPECT_EQ(memo->Value(), "");
    EXPECT_EQ(check->Value(), "0");
    EXPECT_EQ(q->Next(), kNoMoreRows);
}

TEST(CheckBoxValue, FirstCharacterOneChecksAndReadsBackAsOneCharacter) {
    TSybCheckbox check;
    EXPECT_EQ(check.Datatype(), "bit");
    for (const auto& [value, checked] : std::vector<std::pair<QString, bool>>{{"1", true},
                                                                              {"0", false},
                                                                              {"10", true},
                                                                              {"", false},
                                                                              {" 1", false},
                                                                              {"true", false},
                                                                              {"1abc", true},
                                                                              {"2", false}}) {
        check.setChecked(!checked);
        check.setValue(value);
        EXPECT_EQ(check.isChecked(), checked) << value.toStdString();
        EXPECT_EQ(check.Value(), checked ? "1" : "0");
    }
}

TEST(FieldsUpkeep, BindingRenamingAndDestroyingKeepTheListInStep) {
    QWidget form;
    auto* q = new TSybQuery(&form);
    q->setName("ds");
    auto* other = new TSybQuery(&form);
    other->setName("ds2");
    TSybQuery foreign; // same name, other owner
    foreign.setName("ds");

    auto* a = bound<TSybEdit>(&form, "a", "ds");
    auto* b = bound<TSybMemo>(&form, "b", "ds");
    auto* c = bound<TSybCheckbox>(&form, "c", "ds");
    EXPECT_EQ(q->Fields(), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(foreign.Fields().isEmpty()) << "only the owner's data set";

    b->setName("b_renamed");
    EXPECT_EQ(q->Fields(), (QStringList{"a", "b_renamed", "c"})) << "renamed in place";
    b->setName("b");

    a->setDataSet("ds2");
    EXPECT_EQ(q->Fields(), (QStringList{"b", "c"}));
    EXPECT_EQ(other->Fields(), QStringList{"a"});

    delete c;
    EXPECT_EQ(q->Fields(), QStringList{"b"});
    EXPECT_EQ(std::count_if(DataControl::DataControlList().begin(),
                            DataControl::DataControlList().end(),
                            [](const DataControl* d) { return d->Name() == "c"; }),
              0);
    a->setName(QString(40, 'z'));
    EXPECT_EQ(other->Fields(), QStringList{QString(30, 'z')});
    // The owner frees its controls and data sets in any order.
}

TEST(FieldsStreaming, RoundTripAndLimits) {
    FieldNameList fields;
    fields.add("first");
    fields.add("second");
    fields.add("first");
    fields.add("");
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        fields.write(out);
    }
    FieldNameList read;
    read.add("kept");
    read.add("second");
    {
        QDataStream in(bytes);
        read.read(in);
        EXPECT_EQ(in.status(), QDataStream::Ok);
        EXPECT_TRUE(in.atEnd()) << "both properties consumed";
    }
    EXPECT_EQ(read.names(), (QStringList{"kept", "second", "first"}));

    {
        QByteArray stored;
        QDataStream out(&stored, QIODevice::WriteOnly);
        out << QString("FieldsProp") << QStringList{QString(35, 'l'), "x"}
            << QString("FieldsCountProp") << qint32(2);
        QDataStream in(stored);
        FieldNameList cut;
        cut.read(in);
        EXPECT_EQ(cut.names(), (QStringList{QString(30, 'l'), "x"}));
    }
    {
        QByteArray bad;
        QDataStream out(&bad, QIODevice::WriteOnly);
        out << QString("Other") << qint32(1);
        QDataStream in(bad);
        FieldNameList none;
        none.read(in);
        EXPECT_NE(in.status(), QDataStream::Ok);
    }

    FieldNameList renamed;
    renamed.add("a");
    renamed.add("b");
    renamed.rename("a", "b");
    EXPECT_EQ(renamed.names(), QStringList{"b"}) << "a rename never duplicates";
    renamed.rename("missing", "c");
    EXPECT_EQ(renamed.names(), (QStringList{"b", "c"}));

    FieldNameList full;
    for (int i = 0; i < 300; ++i)
        full.add(QString::number(i));
    EXPECT_EQ(full.names().size(), 255);
    EXPECT_EQ(full.names().last(), "254");
}

// The grid loader converts on its own process while the GUI thread converts on another.
TEST_F(QueryTest, GuiAndWorkerThreadsConvertAtTheSameTime) {
    Connection workerDb = connectToServer();
    ASSERT_TRUE(workerDb->Connected());
    const char* sql = "select tx, d, m, n, v, vb from tempdb..kinds where id = 1";
    auto q = query(sql);
    ASSERT_EQ(q->Execute(), SUCCEED);
    ASSERT_EQ(q->Next(), kMoreRows);
    QStringList expected;
    for (int c = 1; c <= 6; ++c)
        expected << q->ColumnValue(c);
    ASSERT_EQ(expected[0], kLongText);

    // The worker reads a different row, so a shared result buffer would show in either thread.
    DBPROCESS* wp = workerDb->DbProc().get();
    dbcmd(wp, "select convert(text, replicate('w', 400)), convert(datetime, '1999-12-31 23:59:59'),"
              " convert(money, 7), convert(numeric(10,2), 2.5), replicate('k', 250),"
              " convert(varbinary(10), 'A')");
    ASSERT_EQ(dbsqlexec(wp), SUCCEED);
    ASSERT_EQ(dbresults(wp), SUCCEED);
    ASSERT_EQ(dbnextrow(wp), REG_ROW);
    const QList<QByteArray> workerExpected{QByteArray(400, 'w'),
                                           "Dec 31 1999 11:59:59:000PM",
                                           "7.0000",
                                           "2.50",
                                           QByteArray(250, 'k'),
                                           "41"};

    constexpr int kRounds = 2000;
    std::latch start(2);
    std::atomic<int> workerMismatches{0};
    std::thread worker([&] {
        QByteArray buffer;
        start.arrive_and_wait();
        for (int round = 0; round < kRounds; ++round)
            for (int c = 1; c <= 6; ++c)
                if (columnText(workerDb->DbProc(), c, buffer) != workerExpected[c - 1].size() ||
                    buffer != workerExpected[c - 1])
                    ++workerMismatches;
    });
    int guiMismatches = 0;
    start.arrive_and_wait();
    for (int round = 0; round < kRounds; ++round)
        for (int c = 1; c <= 6; ++c)
            if (q->ColumnValue(c) != expected[c - 1])
                ++guiMismatches;
    worker.join();
    EXPECT_EQ(guiMismatches, 0);
    EXPECT_EQ(workerMismatches.load(), 0);
    walk(*q);
    dbcanquery(wp);
}

} // namespace
} // namespace ostrim
