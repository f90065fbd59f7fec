// The devices dialog's detail statements, exactly as sent, and its size arithmetic.
#include "u_devices.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

TEST(DeviceStatements, TextsAreTheDialogsOwn) {
    EXPECT_EQ(pagesPerMegabyteSql().toStdString(),
              "select numpgsmb = (1048576. / v.low) from master.dbo.spt_values v"
              " where v.number = 1 and v.type = \"E\"");
    EXPECT_EQ(deviceRowSql("datadev").toStdString(),
              "select name,phyname,low,high,mirrorname from master..sysdevices"
              " where name = \"datadev\"");
    EXPECT_EQ(deviceNumberSql("datadev").toStdString(),
              "select device_number = convert(tinyint, substring(convert(binary(4),d.low),v.low,1))"
              " from master.dbo.sysdevices d, master.dbo.spt_values v  where d.name = \"datadev\""
              " and v.type = \"E\" and v.number = 3");
}

TEST(DeviceStatements, EveryDoubleQuoteOfTheNameIsDoubled) {
    EXPECT_EQ(quotedDeviceName("q\"dev").toStdString(), "\"q\"\"dev\"");
    EXPECT_EQ(quotedDeviceName("\"").toStdString(), "\"\"\"\"");
    EXPECT_EQ(quotedDeviceName("a\"\"b\"").toStdString(), "\"a\"\"\"\"b\"\"\"");
    EXPECT_EQ(quotedDeviceName("it's").toStdString(), "\"it's\"") << "single quotes stay";
    EXPECT_EQ(quotedDeviceName("").toStdString(), "\"\"");
    EXPECT_EQ(deviceRowSql("x\" or name = \"y").toStdString(),
              "select name,phyname,low,high,mirrorname from master..sysdevices"
              " where name = \"x\"\" or name = \"\"y\"");
    EXPECT_EQ(deviceNumberSql("q\"dev").toStdString(),
              "select device_number = convert(tinyint, substring(convert(binary(4),d.low),v.low,1))"
              " from master.dbo.sysdevices d, master.dbo.spt_values v  where d.name = \"q\"\"dev\""
              " and v.type = \"E\" and v.number = 3");
}

TEST(DeviceStatements, PagesPerMegabyteAreTheLeadingDigits) {
    EXPECT_EQ(leadingNumber("512.000000"), 512);
    EXPECT_EQ(leadingNumber("512"), 512);
    EXPECT_EQ(leadingNumber("256.9"), 256) << "the fraction is dropped, not rounded";
    EXPECT_EQ(leadingNumber("1e3"), 1);
    EXPECT_EQ(leadingNumber("0.250000"), 0);
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber("-512"), 0);
    EXPECT_EQ(leadingNumber(" 512"), 0);
    EXPECT_EQ(leadingNumber(QString(40, '9')), 999999999999999999)
        << "the digits beyond 64 bits are dropped";
}

TEST(DeviceStatements, SizeIsTheNearestMegabyteWithHalvesToEven) {
    EXPECT_EQ(deviceSizeText(0, 1023, 512), "2");
    const qint64 vdevno7 = qint64(7) << 24;
    EXPECT_EQ(deviceSizeText(vdevno7, vdevno7 + 1023, 512), "2") << "the device number cancels";
    EXPECT_EQ(deviceSizeText(0, 1279, 512), "2") << "2.5";
    EXPECT_EQ(deviceSizeText(0, 1791, 512), "4") << "3.5";
    EXPECT_EQ(deviceSizeText(0, 767, 512), "2") << "1.5";
    EXPECT_EQ(deviceSizeText(0, 255, 512), "0") << "0.5";
    EXPECT_EQ(deviceSizeText(0, 256, 512), "1") << "just over a half";
    EXPECT_EQ(deviceSizeText(0, 1278, 512), "2") << "just under 2.5";
    EXPECT_EQ(deviceSizeText(0, 1280, 512), "3") << "just over 2.5";
    EXPECT_EQ(deviceSizeText(0, 0, 512), "0") << "a dump device";
    EXPECT_EQ(deviceSizeText(0, 51199, 512), "100");
    EXPECT_EQ(deviceSizeText(0, 9, 1), "10");
}

TEST(DeviceStatements, NoPagesPerMegabyteGiveAnEmptySize) {
    EXPECT_EQ(deviceSizeText(0, 1023, 0), "");
    EXPECT_EQ(deviceSizeText(0, 1023, leadingNumber("0.5")), "");
}

} // namespace
} // namespace ostrim
