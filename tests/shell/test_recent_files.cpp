#include "recent_files.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

QString name(int i) {
    return QString("/sql/file%1.sql").arg(i);
}

TEST(RecentFiles, AddsInOrderWithoutDuplicates) {
    RecentFiles recent;
    EXPECT_TRUE(recent.add("/sql/a.sql"));
    EXPECT_TRUE(recent.add("/sql/b.sql"));
    EXPECT_FALSE(recent.add("/sql/a.sql")); // reopening does not move it
    EXPECT_TRUE(recent.add("/sql/A.sql"));  // names compare with case
    EXPECT_FALSE(recent.add(QString()));
    EXPECT_EQ(recent.names(), (QStringList{"/sql/a.sql", "/sql/b.sql", "/sql/A.sql"}));
    EXPECT_EQ(recent.slot(1), QString("/sql/a.sql"));
    EXPECT_EQ(recent.slot(3), QString("/sql/A.sql"));
    EXPECT_TRUE(recent.slot(0).isEmpty());
    EXPECT_TRUE(recent.slot(4).isEmpty());
}

TEST(RecentFiles, EleventhNameDropsTheOldest) {
    RecentFiles recent;
    for (int i = 1; i <= 11; ++i)
        recent.add(name(i));
    ASSERT_EQ(recent.count(), RecentFiles::kCapacity);
    for (int slot = 1; slot <= 10; ++slot)
        EXPECT_EQ(recent.slot(slot), name(slot + 1));
    // A dropped name is new again; a kept one is still a duplicate.
    EXPECT_FALSE(recent.add(name(5)));
    EXPECT_TRUE(recent.add(name(1)));
    EXPECT_EQ(recent.slot(1), name(3));
    EXPECT_EQ(recent.slot(10), name(1));
}

TEST(RecentFiles, AssignPacksNonEmptyValuesUpToTen) {
    RecentFiles recent;
    recent.assignPacked({"", "/b", "", "", "/e", ""});
    EXPECT_EQ(recent.names(), (QStringList{"/b", "/e"}));

    QStringList many;
    for (int i = 1; i <= 12; ++i)
        many << name(i);
    recent.assignPacked(many);
    EXPECT_EQ(recent.names(), many.mid(0, 10));
}

} // namespace
} // namespace ostrim
