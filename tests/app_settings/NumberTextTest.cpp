#include "records/NumberText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

// The C library is the reference: the same texts must read as strtod and atoi read them.
TEST(NumberText, FloatsReadAsTheCLibraryReadsThem)
{
    for (const char* text : {"1.0", "  -0.5", "+3", "1.", ".5", "5e", "5e2", "-1.25e-3", "12abc", "007.5", "0.053033",
                             "377.123627", "-999.9"})
        EXPECT_DOUBLE_EQ(ParseDecimalFloat(text, -1.0), std::strtod(text, nullptr)) << text;
    for (const char* text : {"", "abc", "-", "+-1", "e5"})
        EXPECT_EQ(ParseDecimalFloat(text, -1.0), 0.0) << text;
    for (const char* text : {"nan", "inf", "-Infinity", "1e999"})
        EXPECT_EQ(ParseDecimalFloat(text, -1.0), -1.0) << text;
    EXPECT_EQ(ParseDecimalFloat(nullptr, -1.0), 0.0);
}

TEST(NumberText, IntegersReadAsDecimalText)
{
    EXPECT_EQ(ParseDecimalInteger("  42abc"), 42);
    EXPECT_EQ(ParseDecimalInteger("-17"), -17);
    EXPECT_EQ(ParseDecimalInteger("+5"), 5);
    EXPECT_EQ(ParseDecimalInteger("0x10"), 0);
    EXPECT_EQ(ParseDecimalInteger("-"), 0);
    EXPECT_EQ(ParseDecimalInteger(""), 0);
    EXPECT_EQ(ParseDecimalInteger(nullptr), 0);
    EXPECT_EQ(ParseDecimalInteger("99999999999999999999999"), std::numeric_limits<long long>::max());
    EXPECT_EQ(ParseDecimalInteger("-99999999999999999999999"), -std::numeric_limits<long long>::max());
}

TEST(NumberText, FormatsMatchPrintf)
{
    char ref[64];
    for (double v : {0.0, 1.0, -55.0, 0.1, 377.123627, 1e-7, 12345678.9, -0.0000004, 2.5e10}) {
        std::snprintf(ref, sizeof ref, "%f", v);
        EXPECT_EQ(FormatFixed(v), ref) << v;
        std::snprintf(ref, sizeof ref, "%6.9f", v);
        EXPECT_EQ(FormatFixed(v, 9), ref) << v;
        std::snprintf(ref, sizeof ref, "%e", v);
        EXPECT_EQ(FormatExponent(v), ref) << v;
    }
}

// Typed numbers are whole texts: what atof would read as 0 or as a prefix is no number, and
// the message names the field and says what it takes.
TEST(NumberText, TypedNumbersAreWholeTextsInTheirFieldsRange)
{
    double v = -1.0;
    for (const char* text : {"12", " -0.5 ", "+3", "1e3", ".25", "5.", "0"}) {
        ASSERT_TRUE(ParseTypedNumber(text, v)) << text;
        EXPECT_DOUBLE_EQ(v, std::strtod(text, nullptr)) << text;
    }
    v = 7.0;
    for (const char* text : {"", "  ", "abc", "12abc", "1,5", "--1", "+-1", "+", "nan", "inf", "1e999", "0x10", "1 2"})
        EXPECT_FALSE(ParseTypedNumber(text, v)) << text;
    EXPECT_EQ(v, 7.0); // untouched by a refusal

    const NumberField taps{"Filter taps", 39, 999, true};
    EXPECT_EQ(CheckTypedNumber("abc", taps, v), "Filter taps: \"abc\" is not a number.  Please enter a number.");
    EXPECT_EQ(CheckTypedNumber("38", taps, v), "Filter taps must be between 39 and 999.");
    EXPECT_EQ(CheckTypedNumber("200.5", taps, v), "Filter taps must be a whole number.");
    EXPECT_EQ(v, 7.0);
    EXPECT_EQ(CheckTypedNumber("999", taps, v), "");
    EXPECT_EQ(v, 999.0);
    EXPECT_EQ(CheckTypedNumber("-1", NumberField{"Interval", 0.0}, v), "Interval must be at least 0.");
    EXPECT_EQ(CheckTypedNumber("1e9", NumberField{"Level", -1e9, 20.0}, v), "Level must be between -1e+09 and 20.");
    EXPECT_EQ(CheckTypedNumber("21", NumberField{"Gain", -std::numeric_limits<double>::max(), 20.0}, v),
              "Gain must be at most 20.");
    EXPECT_EQ(CheckTypedNumber("1e30", NumberField{"Anything"}, v), "");
}
