#include "platform/core/Profile.h"

#include "support/ScratchFileTest.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ProfileFile : public ScratchFileTest {
protected:
    ProfileFile() : ScratchFileTest("Test.ini") {}
    std::string Get(const char* section, const char* key, const char* def = "dflt", DWORD size = 256)
    {
        std::vector<char> buf(size + 1, '#');
        GetPrivateProfileStringA(section, key, def, buf.data(), size, file.c_str());
        return buf.data();
    }
};

} // namespace

TEST_F(ProfileFile, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(Get("Paths", "Wav", "/data/wave"), "/data/wave");
    char buf[16];
    EXPECT_EQ(GetPrivateProfileStringA("Paths", "Wav", nullptr, buf, sizeof buf, file.c_str()), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileStringA("Paths", "Wav", "x  ", buf, sizeof buf, file.c_str()), 1u);
    EXPECT_EQ(GetPrivateProfileIntA("FileIO", "WaveFileMode", 7, file.c_str()), 7u);

    Put("[Paths]\r\nWav=/a\r\n");
    EXPECT_EQ(Get("Other", "Wav"), "dflt");
    EXPECT_EQ(Get("Paths", "Tmp"), "dflt");
}

TEST_F(ProfileFile, ReadsLikeWindows)
{
    Put("\xEF\xBB\xBF; a comment line\r\n"
        "orphan=before any section\n"
        "[ Paths ]\r\n"
        "  WAV =  C:\\Data\\wave  \r\n"
        ";Tmp=commented out\n"
        "Quoted=\"  spaced  \"\n"
        "Half=\"open\n"
        "Empty=\n"
        "Eq=a=b\n"
        "[paths]\n"
        "Wav=second section ignored\n"
        "[Last]\n"
        "Key=no line end");
    EXPECT_EQ(Get("paths", "wav"), "C:\\Data\\wave");
    EXPECT_EQ(Get("PATHS", "Tmp"), "dflt");
    EXPECT_EQ(Get("Paths", "Quoted"), "  spaced  ");
    EXPECT_EQ(Get("Paths", "Half"), "\"open");
    EXPECT_EQ(Get("Paths", "Empty"), "");
    EXPECT_EQ(Get("Paths", "Eq"), "a=b");
    EXPECT_EQ(Get("Last", "key"), "no line end");
    EXPECT_EQ(Get("", "orphan"), "dflt");
}

TEST_F(ProfileFile, BufferTruncationAndLists)
{
    Put("[A]\nk1=abcdefgh\nk2=x\n[B]\n[C]\n");
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("A", "k1", "", buf, 5, file.c_str()), 4u);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(GetPrivateProfileStringA("A", "k1", "", buf, 0, file.c_str()), 0u);

    char list[32];
    DWORD n = GetPrivateProfileSectionNamesA(list, sizeof list, file.c_str());
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(list, n + 1), std::string("A\0B\0C\0\0", 7).substr(0, 7));
    n = GetPrivateProfileStringA("A", nullptr, "", list, sizeof list, file.c_str());
    EXPECT_EQ(std::string(list, n + 1), std::string("k1\0k2\0\0", 7));
    // A cut list still ends in two zeros and reports size - 2.
    n = GetPrivateProfileStringA(nullptr, nullptr, "", list, 4, file.c_str());
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(list[2], '\0');
    EXPECT_EQ(list[3], '\0');
}

// A name that fills the buffer to its last byte, with another name after it, must neither
// write past the buffer nor lose the two closing zeros.
TEST_F(ProfileFile, ListThatFillsTheBufferExactlyStaysInside)
{
    Put("[abcdefgh]\n[x]\n[y]\n");
    char guard[16];
    std::memset(guard, 0x55, sizeof guard);
    // "abcdefgh\0" takes 9 of the 10 bytes, the final zero the tenth.
    DWORD n = GetPrivateProfileSectionNamesA(guard, 10, file.c_str());
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(std::string(guard, 8), "abcdefgh");
    EXPECT_EQ(guard[8], '\0');
    EXPECT_EQ(guard[9], '\0');
    for (std::size_t i = 10; i < sizeof guard; ++i)
        EXPECT_EQ(static_cast<unsigned char>(guard[i]), 0x55u) << "byte " << i << " written past the buffer";
}

TEST_F(ProfileFile, IntegersParseLikeWindows)
{
    Put("[N]\na=  42abc\nb=-5\nc=0x1F\nd=abc\ne=\nf=+7\ng=99999999999\n");
    auto get = [&](const char* k) { return GetPrivateProfileIntA("N", k, 11, file.c_str()); };
    EXPECT_EQ(get("a"), 42u);
    EXPECT_EQ(static_cast<INT>(get("b")), -5);
    EXPECT_EQ(get("c"), 31u);
    EXPECT_EQ(get("d"), 0u);
    EXPECT_EQ(get("e"), 11u); // an empty value counts as missing
    EXPECT_EQ(get("f"), 7u);
    EXPECT_EQ(get("missing"), 11u);
    EXPECT_EQ(get("g"), static_cast<UINT>(99999999999ULL & 0xFFFFFFFFu)); // 32-bit wrap, no overflow
}

TEST_F(ProfileFile, WritesUpdateInPlaceAndKeepForeignKeys)
{
    Put("; profile\n[Install]\nDefault=1\n\n[FileIO]\nHideLogo=TRUE\nwavefilemode=0\n\n[Other]\nx=1");
    ASSERT_TRUE(WritePrivateProfileStringA("FILEIO", "WaveFileMode", "1", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("FileIO", "MakeBackup", "0", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Paths", "Wav", "/home/u/Durnex/wave", file.c_str()));
    EXPECT_EQ(Text(), "; profile\r\n[Install]\r\nDefault=1\r\n\r\n[FileIO]\r\nHideLogo=TRUE\r\n"
                      "wavefilemode=1\r\nMakeBackup=0\r\n\r\n[Other]\r\nx=1\r\n[Paths]\r\n"
                      "Wav=/home/u/Durnex/wave\r\n");
    EXPECT_EQ(Get("fileio", "hidelogo"), "TRUE");

    ASSERT_TRUE(WritePrivateProfileStringA("FileIO", "HideLogo", nullptr, file.c_str()));
    EXPECT_EQ(Get("FileIO", "HideLogo"), "dflt");
    ASSERT_TRUE(WritePrivateProfileStringA("Other", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(Get("Other", "x"), "dflt");
    EXPECT_EQ(Get("Paths", "Wav"), "/home/u/Durnex/wave");
    EXPECT_EQ(Get("Install", "Default"), "1");

    // A value cannot smuggle in lines of its own.
    ASSERT_TRUE(WritePrivateProfileStringA("Paths", "Tmp", "a\r\n[Install]\r\nDefault=0", file.c_str()));
    EXPECT_EQ(Get("Install", "Default"), "1");
}

TEST_F(ProfileFile, WriteCreatesTheFileAndFailsWithoutAFolder)
{
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", file.c_str()));
    EXPECT_EQ(Text(), "[S]\r\nk=v\r\n");
    fs::path missing = dir / "no" / "such.ini";
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", missing.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", file.c_str()));
}

// A write that runs out of room (here: the file-size limit) must leave the old file whole
// rather than cut short.
TEST_F(ProfileFile, FailedWriteKeepsTheOldFile)
{
    std::string text = "[A]\r\nfirst=1\r\n[B]\r\n";
    for (int i = 0; i < 100; ++i)
        text += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    Put(text);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = old;
    low.rlim_cur = static_cast<rlim_t>(text.size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    const BOOL written = WritePrivateProfileStringA("A", "second", std::string(200, 'x').c_str(), file.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(Text(), text);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

// The file keeps its permissions and stays a link when it is one.
TEST_F(ProfileFile, RewriteKeepsModeAndLinks)
{
    Put("[A]\r\nk=1\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "2", file.c_str()));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    fs::path link = dir / "Link.ini";
    fs::create_symlink(file, link);
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "3", link.c_str()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Text(), "[A]\r\nk=3\r\n");
}

// A file that is there but cannot be read is not taken for an empty one and overwritten.
TEST_F(ProfileFile, UnreadableFileIsNotReplaced)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    Put("[A]\r\nk=1\r\n");
    fs::permissions(file, fs::perms::owner_write);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "j", "2", file.c_str()));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Text(), "[A]\r\nk=1\r\n");
}
