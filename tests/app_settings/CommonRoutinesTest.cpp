#include "records/CommonRoutines.h"

#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

TEST(FormatTime, CasesOfTheTable)
{
    EXPECT_STREQ(FormatTime(75.5f, true, false), "1:15.50");
    EXPECT_STREQ(FormatTime(-5.25f, true, false), "-5.25");
    EXPECT_STREQ(FormatTime(3725.0f, false, false), "01:02:05");
    EXPECT_STREQ(FormatTime(59.0f, false, true), "00:00:59");
    EXPECT_STREQ(FormatTime(90000.0f, false, false), "01:00:00");
    EXPECT_STREQ(FormatTime(59.0f, false, false), "59");
    EXPECT_STREQ(FormatTime(-61.0f, false, false), "-1:01");
    EXPECT_STREQ(FormatTime(3600.25f, true, false), "01:00:00.25");
    // Not a number and huge values stay printable.
    EXPECT_STREQ(FormatTime(std::numeric_limits<float>::quiet_NaN(), false, false), "0");
    EXPECT_NE(FormatTime(3.0e38f, true, true)[0], '\0');
}

TEST(DecimalSeparator, CommaReplacesEveryPoint)
{
    char text[] = "3.25\t1.5";
    ReplaceDecimalPoints(text, ',');
    EXPECT_STREQ(text, "3,25\t1,5");
    char same[] = "3.25";
    ReplaceDecimalPoints(same, '.');
    EXPECT_STREQ(same, "3.25");

    char t[] = "1.5";
    EXPECT_FALSE(IsDecimalComma(t, 0));
    EXPECT_FALSE(IsDecimalComma(t, 1024));
    EXPECT_FALSE(IsDecimalComma(nullptr, 3));
    EXPECT_TRUE(IsDecimalComma(t, 3));
    EXPECT_STREQ(t, SystemDecimalSeparator() == ',' ? "1,5" : "1.5");
}

TEST(Paths, FolderAndFileName)
{
    char out[64];
    GetFolderOfPath("/data/a.wav", out);
    EXPECT_STREQ(out, "/data");
    GetFolderOfPath("C:\\data\\a.wav", out);
    EXPECT_STREQ(out, "C:\\data");
    GetFolderOfPath("a.wav", out);
    EXPECT_STREQ(out, "a.wav");
    GetFolderOfPath("/a.wav", out); // a separator at the first character is kept
    EXPECT_STREQ(out, "/a.wav");
    char tiny[6];
    GetFolderOfPath("/averylongfolder/x", tiny);
    EXPECT_STREQ(tiny, "/aver");

    std::memset(out, 0, sizeof out);
    GetFileNameOfPath("/data/test.qrx", out);
    EXPECT_STREQ(out, "test.qrx");
    GetFileNameOfPath("C:\\data\\test.qrx", out);
    EXPECT_STREQ(out, "test.qrx");
    GetFileNameOfPath("/data/a.b", out);
    EXPECT_STREQ(out, "/data/a.b");
    GetFileNameOfPath("abc", out);
    EXPECT_STREQ(out, "abc");
    GetFileNameOfPath("/data/longname.wav", tiny);
    EXPECT_STREQ(tiny, "longn");
    GetFolderOfPath(nullptr, out);
    GetFileNameOfPath("/x/y.wav", nullptr, 0);
}

TEST(Channels, LettersAndLocationNames)
{
    EXPECT_EQ(GetChannelLetter(0), 'A');
    EXPECT_EQ(GetChannelLetter(15), 'P');
    EXPECT_EQ(GetChannelLetter(16), 'X');
    EXPECT_EQ(GetChannelLetter(-1), 'X');
    EXPECT_STREQ(GetChannelLocationName(0), "Crown");
    EXPECT_STREQ(GetChannelLocationName(6), "Base");
    EXPECT_STREQ(GetChannelLocationName(7), "  ");
    EXPECT_STREQ(GetChannelLocationName(-2), "  ");
}

TEST(Numbers, FloatsEqualAndSort)
{
    EXPECT_TRUE(FloatsEqualToDecimals(1.234f, 1.239f, 2));
    EXPECT_FALSE(FloatsEqualToDecimals(1.234f, 1.239f, 3));
    EXPECT_TRUE(FloatsEqualToDecimals(1.0f, 1.0f, 60)); // no integer overflow for many decimals
    EXPECT_TRUE(FloatsEqualToDecimals(1.0f, 2.0f, -1)); // p truncates to 0
    float v[] = {3.0f, -1.0f, 2.5f, 2.5f, 0.0f};
    SortFloats(v, 5);
    EXPECT_EQ(v[0], -1.0f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_EQ(v[4], 3.0f);
    SortFloats(nullptr, 5);
    float one[] = {1.0f};
    SortFloats(one, 1);
    EXPECT_TRUE(IsColorDevice(24, -1, 1));
    EXPECT_TRUE(IsColorDevice(1, 16, 1));
    EXPECT_FALSE(IsColorDevice(1, 2, 1));
    EXPECT_EQ(ColorLowByte(0x123456), 0x56);
    EXPECT_EQ(ColorMidByte(0x123456), 0x34);
    EXPECT_EQ(ColorHighByte(0x123456), 0x12);
}

TEST(Paths, ConfigExtension)
{
    EXPECT_TRUE(HasConfigExtension("setup.CFG"));
    EXPECT_TRUE(HasConfigExtension("/home/u/Durnex/config/My.cfg"));
    EXPECT_FALSE(HasConfigExtension("a.b.cfg"));
    EXPECT_FALSE(HasConfigExtension(".cfg"));
    EXPECT_FALSE(HasConfigExtension("setup"));
    EXPECT_FALSE(HasConfigExtension("ab.cf"));
    EXPECT_FALSE(HasConfigExtension(nullptr));
    EXPECT_FALSE(HasConfigExtension(""));
}

TEST(Paths, CheckFolderExists)
{
    ScriptedUser user;
    EXPECT_TRUE(CheckFolderExists("/tmp"));
    EXPECT_FALSE(CheckFolderExists(nullptr));
    user.ExpectBox(IDOK, "The file folder \"/no/such/folder\" does not exist!  Please check the path/folder "
                         "settings under the <File><Set Paths> menu.");
    EXPECT_FALSE(CheckFolderExists("/no/such/folder"));
    ASSERT_EQ(user.Shown().size(), 1u);
    EXPECT_EQ(user.Shown()[0].type & MB_ICONMASK, MB_ICONSTOP);
}
