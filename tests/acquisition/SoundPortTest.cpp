// The sound-card port played into ALSA's file plugin (the test sound configuration): what the
// owners write on the three headers arrives whole, completions reach the opening window, and
// the failures show their messages.
#include "acquisition/TSoundOutput.h"

#include "platform/ui/Wnd.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

class DoneCounter : public CWnd {
public:
    int done = 0;
    DoneCounter() { CreateEx(0, nullptr, "port owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr); }
    ~DoneCounter() override { DestroyWindow(); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == MM_WOM_DONE)
            ++done;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class SoundPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnsureQtApplication();
        char tmpl[] = "/tmp/durnex-port-XXXXXX";
        dir = mkdtemp(tmpl);
        soundFile = dir / "played.raw";
        setenv("DURNEX_SOUND_FILE", soundFile.c_str(), 1);
    }
    void TearDown() override
    {
        AfxPumpMessages(10);
        unsetenv("DURNEX_SOUND_FILE");
        std::filesystem::remove_all(dir);
    }
    static bool PumpUntil(const std::function<bool()>& until)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!until()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            AfxPumpMessages(5);
        }
        return true;
    }
    Bytes Played() const
    {
        std::ifstream in(soundFile, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static Bytes Ramp(std::size_t n, int step)
    {
        Bytes b(n);
        for (std::size_t i = 0; i < n; ++i)
            b[i] = BYTE(i * step);
        return b;
    }

    std::filesystem::path dir;
    std::filesystem::path soundFile;
    ScriptedUser user;
};

TEST_F(SoundPort, HeadersRewrittenAfterTheirCompletionPlayInOrder)
{
    // 8, 16 and 24 bits (the last through the extensible description), one and two channels.
    struct Case {
        DWORD rate;
        WORD channels;
        WORD bytes;
    };
    for (const Case c : {Case{11025, 1, 1}, Case{44100, 2, 2}, Case{48000, 1, 3}}) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes, " << c.channels << " channels");
        DoneCounter owner;
        TSoundOutput out(0);
        char name[32];
        out.GetDeviceName(name);
        EXPECT_STREQ(name, "default");
        EXPECT_TRUE(out.SetFormat(c.rate, c.channels, c.bytes));
        ASSERT_TRUE(out.Open(&owner, false));
        for (int h = 0; h < 3; ++h)
            EXPECT_TRUE(out.IsHeaderDone(h));
        const std::size_t frame = std::size_t(c.channels) * c.bytes;
        Bytes a = Ramp(frame * 700, 1), b = Ramp(frame * 300, 3), d = Ramp(frame * 500, 7);
        UINT result = 99;
        ASSERT_TRUE(out.Write(a.data(), DWORD(a.size()), 0, false, &result));
        EXPECT_EQ(result, MMSYSERR_NOERROR);
        ASSERT_TRUE(out.Write(b.data(), DWORD(b.size()), 1, false, &result));
        EXPECT_FALSE(out.IsHeaderDone(0));
        ASSERT_TRUE(out.Restart());
        ASSERT_TRUE(PumpUntil([&] { return out.IsHeaderDone(0); }));
        // The second write on header 0 goes through the re-prepare road.
        ASSERT_TRUE(out.Write(d.data(), DWORD(d.size()), 0, false, &result));
        EXPECT_EQ(result, MMSYSERR_NOERROR);
        ASSERT_TRUE(PumpUntil([&] { return out.AllHeadersDone(); }));
        EXPECT_EQ(owner.done, 3);
        out.Close();
        EXPECT_FALSE(out.IsOpen());
        Bytes expected = a;
        expected.insert(expected.end(), b.begin(), b.end());
        expected.insert(expected.end(), d.begin(), d.end());
        EXPECT_TRUE(Played() == expected);
    }
}

TEST_F(SoundPort, ALoopRunsUntilCloseAndNothingArrivesAfterIt)
{
    DoneCounter owner;
    TSoundOutput out(0);
    out.SetFormat(8000, 1, 2);
    ASSERT_TRUE(out.Open(&owner, false));
    Bytes tone = Ramp(1600, 5), other = Ramp(400, 9);
    ASSERT_TRUE(out.Write(tone.data(), DWORD(tone.size()), 0, true, nullptr));
    ASSERT_TRUE(out.Restart());
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(soundFile) && std::filesystem::file_size(soundFile) > 10 * tone.size(); }));
    // Re-aiming a header that still plays is refused, quietly, and leaves the loop alone.
    UINT result = 0;
    EXPECT_FALSE(out.Write(other.data(), DWORD(other.size()), 0, false, &result));
    EXPECT_EQ(result, WAVERR_STILLPLAYING);
    EXPECT_FALSE(out.IsHeaderDone(0));
    out.Close();
    EXPECT_TRUE(out.AllHeadersDone());
    AfxPumpMessages(300);
    EXPECT_EQ(owner.done, 0);
    const Bytes played = Played();
    ASSERT_GT(played.size(), 10 * tone.size());
    for (std::size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(played[i], tone[i % tone.size()]) << "byte " << i;
    // Closed, it writes nothing and says so.
    user.ExpectBox(IDOK, "SoundOut - failure opening device for playback");
    EXPECT_FALSE(out.Write(tone.data(), DWORD(tone.size()), 0, false, nullptr));
}

// Pause holds a loop where it is: nothing more reaches the card until Restart, and the bytes go
// on from where they stopped, none lost or repeated.
TEST_F(SoundPort, APausedLoopHoldsItsPlaceAndGoesOnAfterRestart)
{
    DoneCounter owner;
    TSoundOutput out(0);
    EXPECT_FALSE(out.Pause()); // not open: nothing to pause, and nothing said
    out.SetFormat(8000, 1, 2);
    ASSERT_TRUE(out.Open(&owner, false));
    const Bytes tone = Ramp(1602, 5); // not a divisor of any buffer size, so a slip shows
    ASSERT_TRUE(out.Write(tone.data(), DWORD(tone.size()), 0, true, nullptr));
    const auto played = [&] { return std::filesystem::exists(soundFile) ? std::filesystem::file_size(soundFile) : 0; };
    ASSERT_TRUE(out.Restart());
    ASSERT_TRUE(PumpUntil([&] { return played() > 4 * tone.size(); }));
    ASSERT_TRUE(out.Pause());
    AfxPumpMessages(200); // a buffer already on its way may still land
    const auto held = played();
    AfxPumpMessages(400);
    EXPECT_EQ(played(), held);
    EXPECT_FALSE(out.IsHeaderDone(0));
    ASSERT_TRUE(out.Restart());
    ASSERT_TRUE(PumpUntil([&] { return played() > held + 4 * tone.size(); }));
    out.Close();
    const Bytes bytes = Played();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], tone[i % tone.size()]) << "byte " << i;
}

TEST_F(SoundPort, OpenFailuresShowTheirMessages)
{
    {
        // The device refuses the format: the message blames the card being busy.
        TSoundOutput out(5); // beyond the last device: the last one
        out.SetFormat(1, 1, 2);
        user.ExpectBox(IDOK, "Sound Card is currently in use");
        EXPECT_FALSE(out.Open(nullptr, false));
        EXPECT_FALSE(out.IsOpen());
        EXPECT_EQ(out.GetDeviceId(), 0);
    }
    const std::string saved = std::getenv("ALSA_CONFIG_PATH");
    setenv("ALSA_CONFIG_PATH", DURNEX_TEST_DATA "/asound-none.conf", 1);
    {
        TSoundOutput out(0);
        EXPECT_EQ(out.GetDeviceId(), -1);
        user.ExpectBox(IDOK, "No sound card is available on this system.");
        EXPECT_FALSE(out.Open(nullptr, false));
    }
    setenv("ALSA_CONFIG_PATH", saved.c_str(), 1);
}

} // namespace
