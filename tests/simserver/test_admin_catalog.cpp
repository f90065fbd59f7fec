// The administration tools' queries, sent exactly as the server explorer and the devices dialog
// send them, against a server started with --demo. Expected values come from the demo scripts
// and from the devices every server starts with (see Catalog::bootstrap): master (device 0,
// 1024 pages), sysprocsdev (1), datadev (2, mirrored), logdev (3) and the tape tapedump1.

#include "catalog_checks.h"
#include "dblib_client.h"
#include "simserver_environment.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#ifndef OSTRIM_DEMO_SCRIPT_DIR
#error "OSTRIM_DEMO_SCRIPT_DIR must name simserver/scripts"
#endif

namespace ostrim::test {
namespace {

[[maybe_unused]] const bool g_demoServer = useDemoServer();

const std::string kDemo = std::string(OSTRIM_DEMO_SCRIPT_DIR) + "/demo.sql";

class AdminTest : public SimServerTest {
protected:
    DBPROCESS* open(const std::string& db) {
        Connection c = connectSa();
        if (!c) {
            return nullptr;
        }
        EXPECT_EQ(dbuse(c.get(), db.c_str()), SUCCEED) << MessageLog::dump();
        m_connections.push_back(std::move(c));
        return m_connections.back().get();
    }

    // A database of this binary's own, for objects the demo does not have; made once.
    DBPROCESS* scratch() {
        DBPROCESS* p = open("master");
        if (!p) {
            return p;
        }
        if (list(p, "select name from master..sysdatabases where name = \"admin_scratch\"")
                .empty()) {
            run(p, "create database admin_scratch");
        }
        run(p, "use admin_scratch");
        EXPECT_EQ(queryValue(p, "select db_name()"), "admin_scratch");
        return p;
    }

private:
    std::vector<Connection> m_connections;
};

// The eleven object kinds of a database node, each with the text the explorer sends.
const std::vector<std::pair<std::string, std::string>> kObjectKinds = {
    {"Users", "select name from sysusers where gid<>uid order by name"},
    {"Groups", "select name from sysusers where gid=uid order by name"},
    {"System Tables", "select name from sysobjects where type=\"S\" order by name"},
    {"User Tables", "select name from sysobjects where type=\"U\" order by name"},
    {"Views", "select name from sysobjects where type=\"V\" order by name"},
    {"Indexes", "select name from sysindexes order by name"},
    {"Triggers", "select name from sysobjects where type=\"TR\" order by name"},
    {"Procedures", "select name from sysobjects where type=\"P\" order by name"},
    {"User Datatypes", "select name from systypes where usertype >= 100 order by name"},
    {"System Datatypes", "select name from systypes where usertype < 100 order by name"},
    {"Segments", "select name from syssegments order by name"},
};

// --- Server explorer ------------------------------------------------------------------------

class ExplorerLists : public AdminTest {};

TEST_F(ExplorerLists, DatabasesOfTheServerInNameOrder) {
    DBPROCESS* p = open("master");
    ASSERT_TRUE(p);
    EXPECT_EQ(list(p, "select name from master..sysdatabases order by name"),
              (Names{"master", "model", "ostrimdemo", "ostrimdemo2", "tempdb"}));
}

TEST_F(ExplorerLists, EveryObjectKindAnswersInEveryDemoDatabaseInNameOrder) {
    for (const std::string db : {"master", "ostrimdemo", "ostrimdemo2"}) {
        DBPROCESS* p = open(db);
        ASSERT_TRUE(p);
        for (const auto& [kind, sql] : kObjectKinds) {
            SCOPED_TRACE(db + ": " + kind);
            const Names names = list(p, sql);
            EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
            if (kind != "Views" && kind != "Triggers" && kind != "User Tables" &&
                kind != "User Datatypes") {
                EXPECT_FALSE(names.empty());
            }
        }
    }
}

TEST_F(ExplorerLists, UsersAndGroupsSplitSysusers) {
    DBPROCESS* p = open("ostrimdemo");
    ASSERT_TRUE(p);
    // dbo and guest come with every database; alice and bob are the demo's users, readers its
    // group beside public.
    EXPECT_EQ(list(p, kObjectKinds[0].second), (Names{"alice", "bob", "dbo", "guest"}));
    EXPECT_EQ(list(p, kObjectKinds[1].second), (Names{"public", "readers"}));
    EXPECT_EQ(list(p, "select name from sysusers where uid = 0 and gid = 0"), Names{"public"});
}

TEST_F(ExplorerLists, SegmentsAndIndexesOfANewDatabase) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    EXPECT_EQ(list(p, "select name from syssegments order by name"),
              (Names{"default", "logsegment", "system"}));
    EXPECT_EQ(list(p, "select segment from syssegments order by segment"), (Names{"0", "1", "2"}));
    // Every system table has its data row in sysindexes, under the table's name.
    EXPECT_EQ(list(p, "select name from sysindexes order by name"),
              list(p, "select name from sysobjects where type=\"S\" order by name"));
}

TEST_F(ExplorerLists, TheFirstUserTypeIsNumbered100AndListedOnlyWithGreaterOrEqual) {
    DBPROCESS* demo = open("ostrimdemo");
    ASSERT_TRUE(demo);
    // demo.sql adds phone_t first, then id_t.
    EXPECT_EQ(list(demo, "select usertype from systypes where name = \"phone_t\""), Names{"100"});
    EXPECT_EQ(list(demo, "select usertype from systypes where name = \"id_t\""), Names{"101"});
    EXPECT_EQ(list(demo, "select name from systypes where usertype >= 100 order by name"),
              (Names{"id_t", "phone_t"}));
    EXPECT_EQ(list(demo, "select name from systypes where usertype > 100 order by name"),
              Names{"id_t"});
    const Names system = list(demo, "select name from systypes where usertype < 100 order by name");
    for (const std::string type : {"char", "int", "varchar", "datetime", "sysname", "timestamp"}) {
        EXPECT_NE(std::find(system.begin(), system.end(), type), system.end()) << type;
    }
    for (const std::string type : {"id_t", "phone_t"}) {
        EXPECT_EQ(std::find(system.begin(), system.end(), type), system.end()) << type;
    }

    // In a database of its own, sp_addtype numbers from 100 as well.
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    if (list(p, "select name from systypes where name = \"admin_first_t\"").empty()) {
        ASSERT_TRUE(list(p, "select name from systypes where usertype >= 100").empty());
        run(p, "sp_addtype admin_first_t, \"varchar(12)\", \"null\"");
    }
    EXPECT_EQ(list(p, "select usertype from systypes where name = \"admin_first_t\""),
              Names{"100"});
    EXPECT_EQ(list(p, "select name from systypes where usertype > 100 order by name"), Names{});
    EXPECT_EQ(list(p, "select name from systypes where usertype >= 100 order by name"),
              Names{"admin_first_t"});
}

// --- Copying a view, trigger or procedure -----------------------------------------------------

class ObjectCopyTexts : public AdminTest {};

TEST_F(ObjectCopyTexts, IdLookupByDoubleQuotedNameAcrossDatabases) {
    DBPROCESS* p = open("ostrimdemo2");
    ASSERT_TRUE(p);
    const Names id =
        list(p, "select id from ostrimdemo..sysobjects where name = \"author_report\"");
    ASSERT_EQ(id.size(), 1u);
    DBPROCESS* demo = open("ostrimdemo");
    ASSERT_TRUE(demo);
    EXPECT_EQ(id[0], queryValue(demo, "select object_id(\"author_report\")"));
    EXPECT_EQ(list(p, "select id from ostrimdemo..sysobjects where name = \"no_such_proc\""),
              Names{});
    // A doubled double quote is one character of the name, not the end of the string.
    EXPECT_EQ(list(p, "select id from ostrimdemo..sysobjects where name = \"author\"\"report\""),
              Names{});
}

TEST_F(ObjectCopyTexts, SeveralSyscommentsRowsInColidOrderJoinToTheProcedure) {
    DBPROCESS* p = open("ostrimdemo2");
    ASSERT_TRUE(p);
    const std::string id =
        list(p, "select id from ostrimdemo..sysobjects where name = \"author_report\"").at(0);
    const std::string byColid = "select text from ostrimdemo..syscomments where id=" + id;
    const BatchResult rows = run(p, byColid + " order by colid");
    EXPECT_GT(column1(rows).size(), 1u);
    const std::string expected = createTextInScript(kDemo, "procedure", "author_report");
    EXPECT_EQ(joined(rows), expected);
    EXPECT_EQ(joined(run(p, byColid + " order by colid2, colid")), expected);
    EXPECT_EQ(list(p, "select colid from ostrimdemo..syscomments where id=" + id +
                          " order by colid desc"),
              (Names{"4", "3", "2", "1"}));

    // The joined text sent as one batch elsewhere makes the same procedure there.
    DBPROCESS* target = scratch();
    ASSERT_TRUE(target);
    exec(target, "drop procedure author_report");
    run(target, expected);
    EXPECT_EQ(storedText(target, "author_report"), expected);
}

TEST_F(ObjectCopyTexts, TextOfMoreThan255RowsContinuesInColid2) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    // 260 lines of 255 bytes: 260 rows, the last five in the second run of colid2.
    std::string text = "create procedure admin_long_text\nas\n";
    for (int i = 0; text.size() < 259u * 255u + 10u; ++i) {
        const std::string head = "-- line " + std::to_string(i) + " ";
        text += head + std::string(254 - head.size(), char('a' + i % 26)) + "\n";
    }
    text += "select 4242";
    exec(p, "drop procedure admin_long_text");
    run(p, text);
    const std::string id = queryValue(p, "select object_id(\"admin_long_text\")");
    const std::string rows = "select colid2, colid from syscomments where id=" + id;
    const auto order = table(run(p, rows + " order by colid2, colid"));
    ASSERT_EQ(order.size(), 260u);
    EXPECT_EQ(order[0], (Names{"0", "1"}));
    EXPECT_EQ(order[254], (Names{"0", "255"}));
    EXPECT_EQ(order[255], (Names{"1", "1"}));
    EXPECT_EQ(order[259], (Names{"1", "5"}));
    EXPECT_EQ(
        joined(run(p, "select text from syscomments where id=" + id + " order by colid2, colid")),
        text);
    // The server reads its own procedure back in the same order.
    EXPECT_EQ(queryValue(p, "admin_long_text"), "4242");
}

// --- Devices dialog -----------------------------------------------------------------------------

class DeviceDetails : public AdminTest {
protected:
    void SetUp() override {
        AdminTest::SetUp();
        m_master = open("master");
        ASSERT_TRUE(m_master);
    }

    // The first statement of a device's details: pages per megabyte, as text.
    std::string pagesPerMegabyte() {
        const Names rows = list(m_master, "select numpgsmb = (1048576. / v.low) from "
                                          "master.dbo.spt_values v where v.number = 1 and "
                                          "v.type = \"E\"");
        return rows.size() == 1 ? rows[0] : "<" + std::to_string(rows.size()) + " rows>";
    }

    // The second: name, physical name, low, high, mirror name; NULL reads as "<null>".
    std::vector<Names> deviceRow(const std::string& name) {
        return table(run(m_master, "select name,phyname,low,high,mirrorname from "
                                   "master..sysdevices where name = \"" +
                                       name + "\""),
                     "<null>");
    }

    // The third: the device number.
    Names deviceNumber(const std::string& name) {
        return list(m_master,
                    "select device_number = convert(tinyint, substring(convert(binary(4),d.low),"
                    "v.low,1)) from master.dbo.sysdevices d, master.dbo.spt_values v  where "
                    "d.name = \"" +
                        name + "\" and v.type = \"E\" and v.number = 3");
    }

    // The size as the dialog works it out: the leading digits of the pages-per-megabyte text,
    // then (high - low + 1) / P to the nearest integer, halves to even.
    static long long sizeInMegabytes(const std::string& pagesText, const std::string& low,
                                     const std::string& high) {
        long long pages = 0;
        for (size_t i = 0; i < pagesText.size() && std::isdigit(uint8_t(pagesText[i])); ++i) {
            pages = pages * 10 + (pagesText[i] - '0');
        }
        EXPECT_GT(pages, 0) << pagesText;
        if (pages == 0) {
            return -1;
        }
        return std::llrint(double(std::stoll(high) - std::stoll(low) + 1) / double(pages));
    }

    DBPROCESS* m_master = nullptr;
};

TEST_F(DeviceDetails, ListNamesEveryDevice) {
    EXPECT_EQ(sorted(list(m_master, "select name from master..sysdevices")),
              (Names{"datadev", "logdev", "master", "sysprocsdev", "tapedump1"}));
}

TEST_F(DeviceDetails, SptValuesDescribeTwoKilobytePagesAndTheDeviceNumberByte) {
    EXPECT_EQ(table(run(m_master, "select number, low from master.dbo.spt_values where "
                                  "type = \"E\" and number in (1, 3) order by number")),
              (std::vector<Names>{{"1", "2048"}, {"3", "1"}}));
    // A numeric quotient keeps its fraction digits, as the dialog's digit scan expects.
    EXPECT_EQ(pagesPerMegabyte(), "512.00000000000");
}

TEST_F(DeviceDetails, MasterDeviceOfLow0AndHigh1023IsTwoMegabytes) {
    const auto rows = deviceRow("master");
    ASSERT_EQ(rows.size(), 1u);
    const std::string dir = server().dataDir();
    EXPECT_EQ(rows[0], (Names{"master", dir + "/master.dat", "0", "1023", "<null>"}));
    EXPECT_EQ(sizeInMegabytes(pagesPerMegabyte(), rows[0][2], rows[0][3]), 2);
    EXPECT_EQ(deviceNumber("master"), Names{"0"});
}

TEST_F(DeviceDetails, MirroredDataDeviceShowsItsMirrorNumberAndSize) {
    const auto rows = deviceRow("datadev");
    ASSERT_EQ(rows.size(), 1u);
    const std::string dir = server().dataDir();
    // Device 2: low = 2 << 24; 102400 pages = 200 MB.
    EXPECT_EQ(rows[0], (Names{"datadev", dir + "/data.dat", "33554432", "33656831",
                              dir + "/data_mirror.dat"}));
    EXPECT_EQ(sizeInMegabytes(pagesPerMegabyte(), rows[0][2], rows[0][3]), 200);
    EXPECT_EQ(deviceNumber("datadev"), Names{"2"});
    // Mirrored (64) and its mirror enabled (512).
    EXPECT_EQ(list(m_master, "select status & 576 from master..sysdevices where name = "
                             "\"datadev\""),
              Names{"576"});
}

TEST_F(DeviceDetails, UnmirroredDeviceHasAnEmptyMirrorName) {
    for (const std::string device : {"master", "sysprocsdev", "logdev"}) {
        const auto rows = table(run(m_master, "select mirrorname from master..sysdevices where "
                                              "name = \"" +
                                                  device + "\""));
        EXPECT_EQ(rows, (std::vector<Names>{{""}})) << device;
    }
}

TEST_F(DeviceDetails, DeviceNumberIsTheHighByteOfLow) {
    const auto devices = table(run(m_master, "select name, low, vdevno from master..sysdevices "
                                             "where cntrltype = 0 order by low"));
    ASSERT_EQ(devices.size(), 4u);
    for (const Names& d : devices) {
        SCOPED_TRACE(d[0]);
        EXPECT_EQ(deviceNumber(d[0]), Names{std::to_string(std::stoll(d[1]) >> 24)});
        EXPECT_EQ(deviceNumber(d[0]), Names{d[2]});
    }
    EXPECT_EQ(deviceNumber("logdev"), Names{"3"});
}

TEST_F(DeviceDetails, DumpDeviceHasAControllerAndNoPages) {
    EXPECT_EQ(table(run(m_master, "select low, high, cntrltype, status & 16 from "
                                  "master..sysdevices where name = \"tapedump1\"")),
              (std::vector<Names>{{"0", "0", "2", "16"}}));
    EXPECT_EQ(list(m_master, "select count(*) from master..sysdevices where cntrltype > 0"),
              Names{"1"});
}

TEST_F(DeviceDetails, NameWithADoubledQuoteMatchesNoDevice) {
    EXPECT_TRUE(deviceRow("mas\"\"ter").empty());
    EXPECT_TRUE(deviceNumber("mas\"\"ter").empty());
}

TEST_F(DeviceDetails, BinaryBytesOfAnIntAreBigEndian) {
    const auto row = table(run(m_master, "select convert(binary(4), 16909060), "
                                         "substring(convert(binary(4), 16909060), 2, 1), "
                                         "convert(tinyint, substring(convert(binary(4), "
                                         "16909060), 4, 1)), convert(binary(4), -1)"));
    EXPECT_EQ(row, (std::vector<Names>{{"01020304", "02", "4", "ffffffff"}}));
    const BatchResult typed = run(m_master, "select substring(convert(binary(4), 258), 3, 1)");
    ASSERT_EQ(typed.rowResults().size(), 1u);
    const int type = typed.rowResults()[0]->columnTypes.at(0);
    EXPECT_TRUE(type == SYBVARBINARY || type == SYBBINARY) << type;
}

} // namespace
} // namespace ostrim::test
