// Reading the dialog's delay label back as an integer.
#include <gtest/gtest.h>

#include "framework/exceptions.h"
#include "settings/integer_text.h"

TEST(IntegerText, DecimalWithOptionalSignAndLeadingBlanks)
{
    EXPECT_EQ(parseIntegerText("0"), 0);
    EXPECT_EQ(parseIntegerText("4"), 4);
    EXPECT_EQ(parseIntegerText("300"), 300);
    EXPECT_EQ(parseIntegerText("+12"), 12);
    EXPECT_EQ(parseIntegerText("-7"), -7);
    EXPECT_EQ(parseIntegerText("  25"), 25);
    EXPECT_EQ(parseIntegerText("007"), 7);
}

TEST(IntegerText, HexadecimalAfterDollarOrZeroX)
{
    EXPECT_EQ(parseIntegerText("$1F"), 31);
    EXPECT_EQ(parseIntegerText("$ff"), 255);
    EXPECT_EQ(parseIntegerText("0x10"), 16);
    EXPECT_EQ(parseIntegerText("0X7fffffff"), 2147483647);
    EXPECT_EQ(parseIntegerText("$FFFFFFFF"), -1);
    EXPECT_EQ(parseIntegerText("-$10"), -16);
}

TEST(IntegerText, Signed32BitLimits)
{
    EXPECT_EQ(parseIntegerText("2147483647"), 2147483647);
    EXPECT_EQ(parseIntegerText("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseIntegerText("2147483648"), std::nullopt);
    EXPECT_EQ(parseIntegerText("-2147483649"), std::nullopt);
    EXPECT_EQ(parseIntegerText("99999999999999999999999"), std::nullopt);
    EXPECT_EQ(parseIntegerText("$100000000"), std::nullopt);
}

TEST(IntegerText, AnythingElseIsRejected)
{
    for (const char* text : {"", " ", "-", "+", "$", "0x", "Label1", "12 ", "1.5", "1e3", "--1",
                             "+-1", "$G", "0x1g", "١٢"})
        EXPECT_EQ(parseIntegerText(text), std::nullopt) << '"' << text << '"';
}

TEST(IntegerText, HexadecimalDigitsCountOnlyAfterDollarOrZeroX)
{
    for (const char* text : {"1a", "a", "F", "12b4", "-1f", "0a", "$1g"})
        EXPECT_EQ(parseIntegerText(text), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(parseIntegerText("$1a"), 26);
    EXPECT_EQ(parseIntegerText("0x1A"), 26);
}

TEST(IntegerText, StrToIntNamesTheTextInItsError)
{
    EXPECT_EQ(strToInt("500"), 500);
    try {
        strToInt("Label1");
        FAIL() << "no error for Label1";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'Label1' is not a valid integer value");
    }
    try {
        strToInt("");
        FAIL() << "no error for an empty text";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'' is not a valid integer value");
    }
}
