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
