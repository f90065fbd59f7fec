// TSybSproc with its TSybParams against ostrim-simserver.
#include "component_server.h"
#include "scripted_dialogs.h"
#include "sybcheckbox.h"
#include "sybedit.h"
#include "sybsproc.h"

#include <QWidget>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

using test::Connection;
using test::connectToServer;
using test::runSql;
using test::ScriptedDialogs;

// Logs what it received in tempdb..calls, answers each output changed, one row and status 7.
const char* const kProcedure =
    "create procedure ostrim_kinds @i int output, @v varchar(40) output, @d datetime output,"
    " @m money output, @f float output, @b bit output as\n"
    "insert tempdb..calls values (@v, @i)\n"
    "select @i = @i + 1, @v = @v + '!', @d = dateadd(day, 1, @d), @m = @m * 2, @f = @f / 2,"
    " @b = 1 - @b\n"
    "select 'a row' as r\n"
    "return 7";

class SprocTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::recreateTables({"tempdb..calls"},
                             "create table tempdb..calls (v varchar(40) null, i int null)");
        ScriptedDialogs quiet;
        Connection setup = connectToServer();
        runSql(setup->DbProc(), "drop procedure ostrim_kinds");
        runSql(setup->DbProc(), "drop procedure ostrim_listed");
        ASSERT_EQ(runSql(setup->DbProc(), kProcedure), SUCCEED);
        ASSERT_EQ(runSql(setup->DbProc(), "create procedure ostrim_listed @v varchar(20),"
                                          " @b bit, @t text, @n sysname as return 0"),
                  SUCCEED);
    }

    void SetUp() override {
        m_db = connectToServer();
        ASSERT_TRUE(m_db->Connected());
        ASSERT_EQ(runSql(m_db->DbProc(), "delete tempdb..calls"), SUCCEED);
        m_proc = new TSybSproc(&m_form);
        m_proc->setName("kinds");
        m_proc->setAutoDbProc(false);
        m_proc->setDbProc(m_db->DbProc());
        m_proc->setSProcName("ostrim_kinds");
        struct Param {
            quint8 type;
            const char* name;
        };
        for (const Param& p :
             {Param{kParamInt, "i"}, Param{kParamVarchar, "v"}, Param{kParamDateTime, "d"},
              Param{kParamMoney, "m"}, Param{kParamFloat, "f"}, Param{kParamBit, "b"}})
            m_proc->Params().Add(p.type, p.name, kParamOutput);
    }

    // An edit named name on the form, bound to the procedure's parameter @param both ways.
    TSybEdit* edit(const QString& param, const QString& text) {
        auto* e = new TSybEdit(&m_form);
        e->setName("ed_" + param);
        e->setDataSet("kinds");
        e->setDataField("@" + param);
        e->setText(text);
        return e;
    }

    // What the procedure logged: v and i of each call, "NULL" for null.
    QStringList calls() {
        TSybQuery q;
        q.setAutoDbProc(false);
        q.setDbProc(m_db->DbProc());
        q.setSql("select isnull(v, 'NULL'), isnull(convert(varchar(12), i), 'NULL')"
                 " from tempdb..calls");
        QStringList rows;
        if (q.Execute() == SUCCEED)
            while (q.Next() == kMoreRows)
                rows << q.ColumnValue(1) + "|" + q.ColumnValue(2);
        return rows;
    }

    ScriptedDialogs m_dialogs;
    Connection m_db;
    QWidget m_form;
    TSybSproc* m_proc = nullptr;
};

TEST_F(SprocTest, InputsGoOutAndOutputsComeBackIntoBoundControls) {
    TSybEdit* i = edit("i", "41");
    TSybEdit* v = edit("v", "ab");
    TSybEdit* d = edit("d", "2024-01-02 10:30");
    TSybEdit* m = edit("m", "12.5");
    TSybEdit* f = edit("f", "3.5");
    auto* b = new TSybCheckbox(&m_form);
    b->setName("ed_b");
    b->setDataSet("kinds");
    b->setDataField("@b");
    b->setChecked(true);
    // A check box shows a return parameter; only an edit names itself as a value's source.
    m_proc->Params().find("b")->FieldName = "ED_B";
    for (const auto& param : m_proc->Params().items())
        EXPECT_EQ(param->FieldName.toLower(), "ed_" + param->Name) << "bound by the DataField";

    EXPECT_EQ(m_proc->Execute(), SUCCEED);
    EXPECT_TRUE(m_dialogs.calls.empty());
    EXPECT_EQ(i->text(), "42");
    EXPECT_EQ(v->text(), "ab!");
    EXPECT_EQ(d->text(), "Jan  3 2024 10:30:00:000AM");
    EXPECT_EQ(m->text(), "25.0000");
    EXPECT_EQ(f->text(), "1.75");
    EXPECT_FALSE(b->isChecked());
    EXPECT_EQ(m_proc->ReturnName(1), "@i");
    EXPECT_EQ(m_proc->ReturnValue(1), "42");
    EXPECT_EQ(m_proc->ReturnName(6), "@b");
    EXPECT_EQ(m_proc->ReturnName(7), "");
    EXPECT_EQ(dbretstatus(m_db->DbProc().get()), 7);
    EXPECT_EQ(m_proc->Params().items()[1]->Value, "ab") << "Value takes the control's text";
    EXPECT_EQ(calls(), QStringList{"ab|41"});
}

TEST_F(SprocTest, ReturnRowsLeavesTheRowsToTheCaller) {
    edit("i", "1");
    m_proc->setReturnRows(true);
    ASSERT_EQ(m_proc->Execute(), SUCCEED);
    ASSERT_EQ(m_proc->Next(), kMoreRows);
    EXPECT_EQ(m_proc->ColumnValue(1), "a row");
    while (m_proc->Next() == kMoreRows) {
    }
    EXPECT_EQ(calls(), QStringList{"NULL|1"});
}

// What each parameter sends, seen in the procedure's log.
TEST_F(SprocTest, ValuesSentFollowTheControls) {
    struct Case {
        const char* name;
        QString iText;
        QString vText;
        QString logged;
    };
    const QString longText = QString(30, 'x') + "yyyyy";
    const Case cases[] = {
        {"empty varchar and int go as nulls", "", "", "NULL|NULL"},
        {"blank int goes as null", "  ", "a", "a|NULL"},
        {"varchar cut to 30", "5", longText, QString(30, 'x') + "|5"},
        {"text with its length", "-3", "a b ", "a b |-3"},
    };
    TSybEdit* i = edit("i", {});
    TSybEdit* v = edit("v", {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(runSql(m_db->DbProc(), "delete tempdb..calls"), SUCCEED);
        i->setText(c.iText);
        v->setText(c.vText);
        EXPECT_EQ(m_proc->Execute(), SUCCEED);
        EXPECT_EQ(calls(), QStringList{c.logged});
    }
    EXPECT_TRUE(m_dialogs.calls.empty());
}

TEST_F(SprocTest, AFieldNameNamingNoControlSendsNull) {
    tsybparam* v = m_proc->Params().ParamByName("V");
    ASSERT_NE(v, nullptr);
    v->Value = "stored";
    v->FieldName = "nosuch";
    edit("i", "8");
    EXPECT_EQ(m_proc->Execute(), SUCCEED);
    EXPECT_EQ(calls(), QStringList{"NULL|8"});
    EXPECT_EQ(v->Value, "stored");
}

TEST_F(SprocTest, AValueThatDoesNotConvertIsReportedAndNothingIsSent) {
    struct Case {
        const char* param;
        QString text;
        QString box;
    };
    const Case cases[] = {
        {"i", "abc", "Parameter @i: \"abc\" is not a valid int value."},
        {"i", "99999999999", "Parameter @i: \"99999999999\" is not a valid int value."},
        {"d", "garbage", "Parameter @d: \"garbage\" is not a valid datetime value."},
        {"d", "2024-13-45", "Parameter @d: \"2024-13-45\" is not a valid datetime value."},
        {"m", "1,000", "Parameter @m: \"1,000\" is not a valid money value."},
        {"f", "1.5x", "Parameter @f: \"1.5x\" is not a valid float value."},
        {"b", "x", "Parameter @b: \"x\" is not a valid bit value."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box.toStdString());
        QWidget form;
        auto* proc = new TSybSproc(&form);
        proc->setAutoDbProc(false);
        proc->setDbProc(m_db->DbProc());
        proc->setSProcName("ostrim_kinds");
        proc->setParams(m_proc->Params());
        auto* e = new TSybEdit(&form);
        e->setName("source");
        e->setText(c.text);
        proc->Params().find(c.param)->FieldName = "source";
        m_dialogs.calls.clear();
        EXPECT_EQ(proc->Execute(), FAIL);
        EXPECT_EQ(proc->LastResult(), FAIL);
        ASSERT_EQ(m_dialogs.messages().size(), 1u);
        EXPECT_EQ(m_dialogs.messages()[0].text, c.box);
        EXPECT_EQ(m_dialogs.messages()[0].caption, "Error");
        EXPECT_TRUE(calls().isEmpty());
    }
}

TEST_F(SprocTest, SmalldatetimeOutsideItsRangeIsRefused) {
    TSybEdit* d = edit("d", "2080-01-01");
    m_proc->Params().find("d")->DataType = kParamSmallDateTime;
    EXPECT_EQ(m_proc->Execute(), FAIL);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              "Parameter @d: \"2080-01-01\" is not a valid smalldatetime value.");
    d->setText("2079-06-06");
    m_dialogs.calls.clear();
    EXPECT_EQ(m_proc->Execute(), SUCCEED);
    EXPECT_TRUE(m_dialogs.calls.empty());
    EXPECT_EQ(d->text(), "Jun  7 2079 12:00:00:000AM");
}

TEST_F(SprocTest, ParamsListBehaviour) {
    EXPECT_EQ(m_proc->ParamCount(), 6);
    EXPECT_EQ(m_proc->Params().ParamByName("nosuch"), nullptr);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text, "Parameter not found !");

    TSybParams params;
    tsybparam* first = params.Add(kParamVarchar, "name", kParamInput);
    first->Value = "some value";
    first->FieldName = "ed_name";
    tsybparam* second = params.Add(kParamDate, "when", 3);
    second->IsNull = true;
    second->FieldName = QString(30, 'f');
    second->Value = QString::fromUtf8("d\u00e9j\u00e0");
    params.Add(kParamInt, "NAME", 0);
    EXPECT_EQ(params.Items(2), first) << "by position, the first of that name answers";
    params.Clear();
    params.Add(kParamVarchar, "name", kParamInput)->Value = "some value";
    params.Add(kParamDate, "when", 3)->FieldName = QString(30, 'f');

    const QByteArray data = params.Data();
    EXPECT_EQ(data.left(4), QByteArray("\x02\x00\x00\x00", 4)) << "little-endian count";
    EXPECT_EQ(data.mid(4, 8), QByteArray("\x04\x00\x00\x00name", 8));
    TSybParams read;
    read.Add(kParamBit, "stale", 1);
    ASSERT_TRUE(read.setData(data));
    ASSERT_EQ(read.Count(), 2);
    for (int n = 0; n < 2; ++n) {
        const tsybparam& a = *params.items()[size_t(n)];
        const tsybparam& b = *read.items()[size_t(n)];
        EXPECT_EQ(b.Name, a.Name);
        EXPECT_EQ(b.Value, a.Value);
        EXPECT_EQ(b.DataType, a.DataType);
        EXPECT_EQ(b.ParamType, a.ParamType);
        EXPECT_EQ(b.IsNull, a.IsNull);
        EXPECT_EQ(b.FieldName, a.FieldName);
        EXPECT_EQ(b.Owner, &read);
    }
    EXPECT_FALSE(read.setData(data.left(data.size() - 1)));
    EXPECT_EQ(read.Count(), 1) << "the whole records read stay";

    m_proc->setSProcName("other");
    EXPECT_EQ(m_proc->ParamCount(), 0);
}

TEST_F(SprocTest, DesignActiveFillsParamsFromTheCatalogue) {
    m_db->setName("procdb");
    m_proc->setDbName("procdb");
    m_proc->setSProcName("ostrim_listed");
    m_proc->setDesignActive(true);
    QStringList names;
    std::vector<int> types;
    for (const auto& p : m_proc->Params().items()) {
        names << p->Name;
        types.push_back(p->DataType);
        EXPECT_EQ(p->ParamType, kParamOutput);
    }
    // The catalogue stores sysname as varchar.
    EXPECT_EQ(names, (QStringList{"v", "b", "t", "n"}));
    EXPECT_EQ(types, (std::vector<int>{kParamVarchar, kParamBit, kParamText, kParamVarchar}));

    m_proc->setSProcName("no_such_procedure");
    m_proc->setDesignActive(true);
    EXPECT_EQ(m_proc->ParamCount(), 0);
    EXPECT_TRUE(m_dialogs.messages().empty());
    m_db->setName("");
}

} // namespace
} // namespace ostrim
