// Without a server: who blocks whom, and the fixed-column process line.
#include "blocking_chain.h"
#include "process_monitor.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrim {
namespace {

// "1[2[3]]": a process, then the ones waiting on it; "?" unlisted, "!" a deadlock.
std::string shape(const ChainNode& node) {
    std::string text =
        std::to_string(node.spid) + (node.unlisted ? "?" : "") + (node.deadlock ? "!" : "");
    if (!node.waiters.empty()) {
        text += "[";
        for (std::size_t i = 0; i < node.waiters.size(); ++i)
            text += (i ? "," : "") + shape(node.waiters[i]);
        text += "]";
    }
    return text;
}

std::string shape(const BlockingChains& chains) {
    std::string text;
    for (const ChainNode& chain : chains.chains)
        text += (text.empty() ? "" : " ") + shape(chain);
    return text;
}

TEST(BlockingChains, EachProcessAppearsOnceUnderWhatItWaitsOn) {
    struct Case {
        const char* what;
        std::vector<ProcessWait> processes;
        std::string chains;
        std::set<int> heads, waiting;
    };
    const Case cases[] = {
        {"nobody waits", {{1, 0}, {2, 0}}, "", {}, {}},
        {"a chain, listed out of order", {{3, 2}, {1, 0}, {2, 1}}, "1[2[3]]", {1}, {2, 3}},
        {"two waiters and a chain beside",
         {{5, 0}, {6, 5}, {7, 5}, {9, 7}, {11, 0}, {12, 11}},
         "5[6,7[9]] 11[12]",
         {5, 11},
         {6, 7, 9, 12}},
        {"the blocker is not in the list", {{4, 99}, {8, 4}}, "99?[4[8]]", {}, {4, 8}},
        {"a deadlock with a process waiting on it",
         {{3, 2}, {2, 3}, {8, 3}, {1, 0}},
         "2![3[8]]",
         {},
         {2, 3, 8}},
        {"a circle of three beside a chain",
         {{20, 22}, {21, 20}, {22, 21}, {30, 0}, {31, 30}},
         "20![21[22]] 30[31]",
         {30},
         {20, 21, 22, 31}},
        {"a process that names itself", {{6, 6}}, "", {}, {}},
    };
    for (const Case& c : cases) {
        const BlockingChains result = blockingChains(c.processes);
        EXPECT_EQ(shape(result), c.chains) << c.what;
        EXPECT_EQ(result.heads, c.heads) << c.what;
        EXPECT_EQ(result.waiting, c.waiting) << c.what;
    }
}

TEST(ProcessLine, ValuesStandAtTheirColumnsCutToTheirWidths) {
    EXPECT_EQ(
        processLine({"12", "sleeping", "sa", "AWAITING COMMAND", "0", "master"}).toStdString(),
        "12    sleeping      sa          AWAITING COMMAND      0      master" +
            std::string(8, ' '));
    // Status 15 characters shows 12; the database keeps the 14 that fit in 75.
    const QString line = processLine({"123456", "lock sleeping12", "a_long_login_name",
                                      "a command of 24 letters!", "99999", "database_name_15"});
    EXPECT_EQ(line.size(), 75);
    EXPECT_EQ(line.toStdString(),
              "12345 lock sleepin  a_long_log  a command of 24 lett  99999  database_name_");
    EXPECT_EQ(processLine({}), QString(75, ' '));
}

} // namespace
} // namespace ostrim
