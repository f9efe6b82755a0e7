// The keypad table and the per-block decision and timing of the DTMF detector, driven with
// tone levels directly.
#include "dsp/DtmfDetector.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Levels = std::array<float, DtmfDetector::ToneCount>;

// Levels of a block with one key sounding at 0 dB over a -60 dB floor.
Levels KeyLevels(char key)
{
    Levels l;
    l.fill(-60.0f);
    const auto& f = DtmfDetector::ToneFrequencies();
    for (int i = 0; i < DtmfDetector::ToneCount; ++i)
        if (f[i] == DtmfDetector::GetRowFrequency(key) || f[i] == DtmfDetector::GetColumnFrequency(key))
            l[i] = 0.0f;
    return l;
}

Levels Silence()
{
    Levels l;
    l.fill(-60.0f);
    return l;
}

// Feeds a key for [from, to] ms and silence up to end, one block per ms; counts completions.
int Play(DtmfDetector& d, char key, int from, int to, int end)
{
    int completed = 0;
    for (int t = from; t <= end; ++t)
        completed += d.DetectLevels(t <= to ? KeyLevels(key) : Silence(), t) ? 1 : 0;
    return completed;
}

} // namespace

TEST(DtmfKeypad, FrequenciesOfKeys)
{
    EXPECT_EQ(DtmfDetector::GetRowFrequency('5'), 770.0f);
    EXPECT_EQ(DtmfDetector::GetColumnFrequency('5'), 1336.0f);
    EXPECT_EQ(DtmfDetector::GetRowFrequency('*'), 941.0f);
    EXPECT_EQ(DtmfDetector::GetColumnFrequency('#'), 1477.0f);
    for (char c : {'E', ' ', 'e', '\0'}) {
        EXPECT_EQ(DtmfDetector::GetRowFrequency(c), 0.0f) << c;
        EXPECT_EQ(DtmfDetector::GetColumnFrequency(c), 0.0f) << c;
    }
    const char upper[] = "ABCD", lower[] = "abcd";
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(DtmfDetector::GetRowFrequency(lower[i]), DtmfDetector::GetRowFrequency(upper[i]));
        EXPECT_EQ(DtmfDetector::GetColumnFrequency(lower[i]), 1633.0f);
    }
    // Every key maps back to itself through its two tones.
    for (char k : std::string("0123456789*#ABCD")) {
        const auto& f = DtmfDetector::ToneFrequencies();
        int row = -1, col = -1;
        for (int i = 0; i < 4; ++i) {
            if (f[i] == DtmfDetector::GetRowFrequency(k))
                row = i;
            if (f[4 + i] == DtmfDetector::GetColumnFrequency(k))
                col = i;
        }
        EXPECT_EQ(DtmfDetector::KeyAt(row, col), k);
    }
}

TEST(DtmfBlocks, TwoRowsOrTwoColumnsAreNoKey)
{
    DtmfDetector d(-30.0f, 20, 20);
    Levels rows = Silence();
    rows[0] = 0.0f; // 697
    rows[1] = 0.0f; // 770
    for (int t = 30; t < 100; ++t)
        EXPECT_FALSE(d.DetectLevels(rows, t));
    EXPECT_EQ(d.GetCurrentKey(), ' ');
    Levels cols = Silence();
    cols[4] = cols[7] = -3.0f;
    d.DetectLevels(cols, 101);
    EXPECT_EQ(d.GetCurrentKey(), ' ');
    EXPECT_FALSE(d.DetectLevels(Silence(), 102));
    EXPECT_EQ(d.GetKeyCount(), 0);
}

TEST(DtmfBlocks, BelowThresholdIsNoKey)
{
    DtmfDetector d(-10.0f, 20, 20);
    Levels weak = KeyLevels('7');
    weak[2] = -11.0f; // 852 Hz below the threshold
    EXPECT_EQ(Play(d, ' ', 0, -1, 0), 0);
    for (int t = 30; t < 100; ++t)
        d.DetectLevels(weak, t);
    EXPECT_EQ(d.GetCurrentKey(), '7'); // the pair is known, but not strong enough
    EXPECT_FALSE(d.DetectLevels(Silence(), 100));
    EXPECT_EQ(d.GetKeyCount(), 0);
}

TEST(DtmfBlocks, TonesThatDoNotStandOutAreNoKey)
{
    // Noise: all eight levels alike; whichever two are strongest form no key.
    DtmfDetector d(-30.0f, 20, 20);
    Levels noise{-20.0f, -22.0f, -25.0f, -21.0f, -19.0f, -23.0f, -26.0f, -24.0f};
    for (int t = 30; t < 100; ++t)
        d.DetectLevels(noise, t);
    EXPECT_FALSE(d.DetectLevels(Silence(), 100));
    // A key 9 dB above the third tone is not enough, 10 dB is.
    Levels key = KeyLevels('8');
    key[0] = -9.0f;
    for (int t = 200; t < 260; ++t)
        d.DetectLevels(key, t);
    EXPECT_FALSE(d.DetectLevels(Silence(), 260));
    key[0] = -10.0f;
    for (int t = 300; t < 360; ++t)
        d.DetectLevels(key, t);
    EXPECT_TRUE(d.DetectLevels(Silence(), 360));
    EXPECT_EQ(d.GetKeys(), "8");
}

TEST(DtmfTiming, MinimumDuration)
{
    DtmfDetector d(-30.0f, 20, 20);
    EXPECT_EQ(Play(d, '1', 100, 119, 130), 0); // valid blocks span 19 ms
    EXPECT_EQ(Play(d, '2', 200, 220, 230), 1); // 20 ms
    EXPECT_EQ(d.GetKeys(), "2");
}

TEST(DtmfTiming, MinimumGapAfterAKey)
{
    DtmfDetector d(-30.0f, 20, 20);
    ASSERT_EQ(Play(d, '3', 100, 150, 151), 1); // ends at 151
    // A tone from 160 ms: not timed before 151 + 20 = 171 (it must be later than that).
    int completed = 0;
    for (int t = 152; t <= 159; ++t)
        completed += d.DetectLevels(Silence(), t);
    for (int t = 160; t <= 190; ++t)
        completed += d.DetectLevels(KeyLevels('4'), t);
    // Timed from 172 to 190: 18 ms, too short.
    completed += d.DetectLevels(Silence(), 191);
    EXPECT_EQ(completed, 0);
    EXPECT_EQ(Play(d, '4', 192, 195, 200), 0);
    EXPECT_EQ(Play(d, '5', 300, 340, 345), 1);
    EXPECT_EQ(d.GetKeys(), "35");
}

TEST(DtmfTiming, KeyStringKeepsTheNewest999)
{
    DtmfDetector d(-30.0f, 20, 20);
    const std::string digits = "0123456789";
    int t = 100;
    for (int i = 0; i < 1005; ++i) {
        ASSERT_EQ(Play(d, digits[i % 10], t, t + 30, t + 60), 1) << i;
        t += 100;
    }
    ASSERT_EQ(d.GetKeyCount(), 999);
    std::string expected;
    for (int i = 1005 - 999; i < 1005; ++i)
        expected += digits[i % 10];
    EXPECT_EQ(d.GetKeys(), expected);
    char buffer[1000];
    d.CopyKeys(buffer);
    EXPECT_EQ(std::string(buffer), expected);
}

TEST(DtmfTiming, ResetClearsKeysAndTiming)
{
    DtmfDetector d(-30.0f, 20, 20);
    Play(d, '9', 100, 150, 160);
    ASSERT_EQ(d.GetKeys(), "9");
    d.Reset();
    EXPECT_EQ(d.GetKeyCount(), 0);
    EXPECT_EQ(d.GetCurrentKey(), ' ');
    // Time going back to the start of a new pass still finds keys.
    EXPECT_EQ(Play(d, '#', 30, 80, 90), 1);
    EXPECT_EQ(d.GetKeys(), "#");
}
