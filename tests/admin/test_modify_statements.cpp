// Without a server: the value texts and the UPDATE and DELETE texts of the data modification
// grid, and the values it refuses to send bare.
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
        {"char", " abc ", true, "\"abc\""},
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
    const ModifyStatement set = updateStatement(
        "t", {{"b", "char", "v"}, {"qty", "int", "5 delete t"}}, {{"a", "int", "1"}});
    EXPECT_EQ(set.text, "");
    EXPECT_EQ(set.refusal, "qty: \"5 delete t\" is not a plain int value");

    const ModifyStatement key = updateStatement("t", {{"b", "char", "v"}}, {{"a", "int", "1 --"}});
    EXPECT_EQ(key.text, "");
    EXPECT_EQ(key.refusal, "a: \"1 --\" is not a plain int value");

    const ModifyStatement gone = deleteStatement("t", {{"a", "bit", "1 or 1=1"}});
    EXPECT_EQ(gone.text, "");
    EXPECT_EQ(gone.refusal, "a: \"1 or 1=1\" is not a plain bit value");
}

} // namespace
} // namespace ostrim
