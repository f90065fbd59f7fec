// Without a server: the value texts and the UPDATE and DELETE texts of the data modification
// grid, the values it refuses to send bare, and where the form window places its fields.
#include "modify_form_layout.h"
#include "modify_statements.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

TEST(ModifyStatements, ValueTexts) {
    const struct {
        const char* type;
        const char* text;
        bool inWhere;
        const char* expected; // nullptr: refused
    } cases[] = {
        {"char", "", false, "null"},
        {"int", "", true, "null"},
        {"char", "abc", false, "\"abc\""},
        {"char", " abc ", false, "\" abc \""},
        {"char", " abc ", true, "\" abc\""},
        {"char", "a  ", true, "\"a\""},
        {"char", "  ", true, "\"\""},
        {"char", "say \"hi\"", false, "\"say \"\"hi\"\"\""},
        {"char", "\"", true, "\"\"\"\""},
        {"text", "5 -- x", false, "\"5 -- x\""},
        {"datetime", "Jan  1 2020 12:00AM", false, "\"Jan  1 2020 12:00AM\""},
        {"smalldatetime", "Jan  1 2020", true, "\"Jan  1 2020\""},
        {"int", "42", false, "42"},
        {"int", "-42", false, "-42"},
        {"int", " 7 ", false, " 7 "},
        {"int", " 7 ", true, "7"},
        {"smallint", "+3", false, "+3"},
        {"float", "1.5e+10", false, "1.5e+10"},
        {"real", "2.25E-3", false, "2.25E-3"},
        {"numeric", "12.50", false, "12.50"},
        {"money", "$12.34", false, "$12.34"},
        {"smallmoney", "-3.5", false, "-3.5"},
        {"bit", "1", false, "1"},
        {"bit", "0", true, "0"},
        {"binary", "0x0aFF", false, "0x0aFF"},
        {"varbinary", "0aff", false, "0x0aff"},
        {"int", "5 --", false, nullptr},
        {"int", "5 delete t", false, nullptr},
        {"int", "5;", false, nullptr},
        {"int", "1 or 1=1", true, nullptr},
        {"int", "abc", false, nullptr},
        {"int", "1.", false, nullptr},
        {"int", "0x10", false, nullptr},
        {"float", "1e", false, nullptr},
        {"money", "12$", false, nullptr},
        {"money", "--5", false, nullptr},
        {"money", "-$-5", false, nullptr},
        {"money", "-$5", false, "-$5"},
        {"money", "$+5", false, "$+5"},
        {"bit", "2", false, nullptr},
        {"bit", "true", false, nullptr},
        {"binary", "0xZZ", false, nullptr},
        {"varbinary", "0x12 or 1=1", false, nullptr},
        {"uniqueidentifier", "x", false, nullptr},
        {"int", "٣", false, nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<QString> value = valueText({"c", c.type, c.text}, c.inWhere);
        SCOPED_TRACE(std::string(c.type) + " [" + c.text + "]");
        if (c.expected) {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(*value, c.expected);
        } else {
            EXPECT_FALSE(value.has_value()) << value->toStdString();
        }
    }
}

TEST(ModifyStatements, CharacterTypesAreThoseTheGridQuotes) {
    for (const char* type : {"char", "text", "datetime", "smalldatetime"})
        EXPECT_TRUE(isCharacterType(type)) << type;
    for (const char* type : {"varbinary", "int", "money", "bit", "float", "numeric", "sum", ""})
        EXPECT_FALSE(isCharacterType(type)) << type;
}

TEST(ModifyStatements, UpdateAndDeleteTexts) {
    const QList<CellValue> keys{{"id", "int", " 3 "}, {"code", "char", "a\"b "}};
    const ModifyStatement update = updateStatement(
        "parts", {{"name", "char", "new \"x\""}, {"qty", "int", ""}, {"price", "money", "2.5"}},
        keys);
    EXPECT_EQ(update.refusal, "");
    EXPECT_EQ(update.text, "update parts set name=\"new \"\"x\"\"\",qty=null,price=2.5 where id=3 "
                           "and code=\"a\"\"b\"");

    const ModifyStatement one = updateStatement("t", {{"b", "char", "v"}}, {{"a", "int", "1"}});
    EXPECT_EQ(one.text, "update t set b=\"v\" where a=1");

    EXPECT_EQ(deleteStatement("parts", keys).text, "delete parts where id=3 and code=\"a\"\"b\"");
    EXPECT_EQ(deleteStatement("t", {{"a", "int", "7"}}).text, "delete t where a=7");
    EXPECT_EQ(deleteStatement("t", {{"a", "char", ""}}).text, "delete t where a=null");
}

TEST(ModifyStatements, ANonLiteralRefusesTheWholeStatement) {
    const std::pair<ModifyStatement, const char*> cases[] = {
        {updateStatement("t", {{"b", "char", "v"}, {"qty", "int", "5 delete t"}},
                         {{"a", "int", "1"}}),
         "qty: \"5 delete t\" is not a plain int value"},
        {updateStatement("t", {{"b", "char", "v"}}, {{"a", "int", "1 --"}}),
         "a: \"1 --\" is not a plain int value"},
        {deleteStatement("t", {{"a", "bit", "1 or 1=1"}}),
         "a: \"1 or 1=1\" is not a plain bit value"}};
    for (const auto& [statement, refusal] : cases) {
        EXPECT_EQ(statement.text, "") << refusal;
        EXPECT_EQ(statement.refusal, refusal);
    }
}

TEST(ModifyStatements, ValuesTheGridMayHaveCutAndFloatKeysAreRefused) {
    const QString hex254(254, QLatin1Char('a'));
    const QString hex255(255, QLatin1Char('a'));
    const struct {
        QList<CellValue> set, keys;
        const char* refusal; // empty: sent
    } cases[] = {
        {{{"b", "varbinary", hex254}}, {{"a", "int", "1"}}, ""},
        {{{"b", "varbinary", hex255}},
         {{"a", "int", "1"}},
         "b: a binary value of 255 characters or more cannot be sent from the grid"},
        {{{"b", "image", hex255 + "a"}},
         {{"a", "int", "1"}},
         "b: a binary value of 255 characters or more cannot be sent from the grid"},
        {{{"t", "text", "edited", false}},
         {{"a", "int", "1"}},
         "t: the grid loaded only part of this value"},
        {{{"v", "char", "x"}},
         {{"k", "varbinary", "0a", false}},
         "k: the grid loaded only part of this value"},
        {{{"v", "char", "x"}},
         {{"f", "float", "0.5"}},
         "f: a float key cannot identify the row "
         "exactly"},
        {{{"v", "char", "x"}},
         {{"a", "int", "1"}, {"r", "real", ""}},
         "r: a real key cannot identify the row exactly"},
        {{{"f", "float", "0.123456789012346"}}, {{"a", "int", "1"}}, ""},
    };
    for (const auto& c : cases) {
        const ModifyStatement update = updateStatement("t", c.set, c.keys);
        EXPECT_EQ(update.refusal, c.refusal);
        EXPECT_EQ(update.text.isEmpty(), *c.refusal != 0) << update.text.toStdString();
    }
    EXPECT_EQ(deleteStatement("t", {{"f", "float", "1"}}).refusal,
              "f: a float key cannot identify the row exactly");
}

TEST(ModifyStatements, WhatTheGridLoadedWhole) {
    const struct {
        const char* type;
        qsizetype bytes;
        int textSize;
        bool whole;
    } cases[] = {
        {"char", 100000, 0, true},       {"text", 32767, 32768, true},
        {"text", 32768, 32768, false},   {"text", 5, 0, false},
        {"varbinary", 254, 32768, true}, {"varbinary", 255, 32768, false},
        {"image", 255, 32768, false},    {"float", 17, 32768, true},
        {"numeric", 255, 32768, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loadedWhole(c.type, c.bytes, c.textSize), c.whole) << c.type << " " << c.bytes;
}

TEST(ModifyFormLayout, ReadableCaptions) {
    const std::pair<const char*, const char*> cases[] = {{"first_name", "First Name"},
                                                         {"id", "Id"},
                                                         {"a_b_c", "A B C"},
                                                         {"qty_", "Qty"},
                                                         {"x__y", "X Y"},
                                                         {"Name", "Name"},
                                                         {"last_update_ts", "Last Update Ts"}};
    for (const auto& [column, caption] : cases)
        EXPECT_EQ(readableCaption(column), caption) << column;
}

TEST(ModifyFormLayout, VerticalOnePairPerLineBelowEachOther) {
    const std::vector<FieldSize> fields{{{40, 21}, {121, 21}, false},
                                        {{75, 21}, {185, 90}, true},
                                        {{60, 21}, {20, 21}, false},
                                        {{50, 21}, {121, 21}, false}};
    const std::vector<FieldPlace> places = verticalPlaces(fields);
    const std::vector<FieldPlace> expected{{{30, 30}, {115, 30}},
                                           {{30, 52}, {115, 52}},
                                           {{30, 142}, {115, 142}},
                                           {{30, 164}, {115, 164}}};
    ASSERT_EQ(places.size(), expected.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(places[i].label, expected[i].label) << i;
        EXPECT_EQ(places[i].control, expected[i].control) << i;
    }
    EXPECT_EQ(placedExtent(fields, places), QSize(115 + 185 + 30, 164 + 21 + 30));
}

TEST(ModifyFormLayout, HorizontalPairsWrapAtTheWidth) {
    // Pairs 100 + 8 + 100 wide, 24 apart: two fit in 30 + 208 + 24 + 208 + 30 = 500.
    const FieldSize edit{{100, 21}, {100, 21}, false};
    const FieldSize memo{{100, 21}, {100, 90}, true};
    const FieldSize wide{{100, 21}, {900, 21}, false};
    const struct {
        std::vector<FieldSize> fields;
        int width;
        std::vector<QPoint> labels;
    } cases[] = {
        {{edit, edit, edit}, 500, {{30, 30}, {262, 30}, {30, 52}}},
        {{edit, edit, edit}, 499, {{30, 30}, {30, 52}, {30, 74}}},
        {{edit, memo, edit, edit}, 500, {{30, 30}, {262, 30}, {30, 120}, {262, 120}}},
        {{wide, edit, wide}, 500, {{30, 30}, {30, 52}, {30, 74}}},
        {{edit, edit, edit, edit}, 2000, {{30, 30}, {262, 30}, {494, 30}, {726, 30}}},
    };
    for (const auto& c : cases) {
        const std::vector<FieldPlace> places = horizontalPlaces(c.fields, c.width);
        ASSERT_EQ(places.size(), c.labels.size());
        for (std::size_t i = 0; i < places.size(); ++i) {
            EXPECT_EQ(places[i].label, c.labels[i]) << c.width << " pair " << i;
            EXPECT_EQ(places[i].control, c.labels[i] + QPoint(108, 0)) << c.width << " pair " << i;
        }
    }
}

} // namespace
} // namespace ostrim
