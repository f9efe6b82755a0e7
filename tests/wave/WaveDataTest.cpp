// The sample format and the in-memory wave.
#include "records/TriggerSettings.h"
#include "records/TPcmFormat.h"
#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

TEST(PcmFormat, DefaultsAndDerivedLimits)
{
    TPcmFormat f;
    f.Set(0, 0, 0);
    EXPECT_EQ(f.SampleRate, 44100u);
    EXPECT_EQ(f.Channels, 1);
    EXPECT_EQ(f.BytesPerSample, 2);
    EXPECT_EQ(f.BitsPerSample, 16);
    EXPECT_EQ(f.MaxValue, 32767);
    EXPECT_EQ(f.MinValue, -32767);
    EXPECT_EQ(f.ZeroValue, 0);
    f.Set(8000, 2, 5);
    EXPECT_EQ(f.BytesPerSample, 2);
    f.Set(8000, 1, 1);
    EXPECT_EQ(f.MaxValue, 255);
    EXPECT_EQ(f.MinValue, 0);
    EXPECT_EQ(f.ZeroValue, 127);
    f.Set(8000, 1, 3);
    EXPECT_EQ(f.MaxValue, 8388607);
    EXPECT_EQ(f.MinValue, -8388607);
    EXPECT_DOUBLE_EQ(f.FullScale(), 8388607.0);
}

TEST(PcmFormat, TwentyFourBitConversionsAndEquality)
{
    TPcmFormat f(4000, 1, 3);
    EXPECT_EQ(f.SignExtend24(8388608u), -8388608);
    EXPECT_EQ(f.SignExtend24(8388607u), 8388607);
    EXPECT_EQ(f.To24Bit(-1), 16777215u);
    EXPECT_EQ(f.SignExtend24(f.To24Bit(-8388607)), -8388607);
    TPcmFormat g(4000, 1, 2);
    EXPECT_EQ(g.SignExtend24(0xFFFFu), 0xFFFF);
    EXPECT_EQ(g.To24Bit(-5), static_cast<DWORD>(-5));
    TPcmFormat h = f;
    h.BitsPerSample = 20;
    h.MaxValue = 1;
    EXPECT_TRUE(f.Equals(h));
    EXPECT_FALSE(f.Equals(g));
}

TEST(WaveData, SampleAccessAtTheEdges)
{
    TWaveData mono(10, TPcmFormat(1000, 1, 2));
    ASSERT_FALSE(mono.IsError());
    EXPECT_TRUE(mono.SetSample(-1234, 9, 0));
    EXPECT_EQ(mono.GetSample(9, 0, false), -1234);
    EXPECT_EQ(mono.GetSample(9, 1, false), -1234) << "channel 1 of a mono wave is channel 0";
    EXPECT_EQ(mono.GetSample(10, 0, false), 0) << "frame = length gives the zero value";
    EXPECT_FALSE(mono.SetSample(1, 10, 0));

    TWaveData bytes8(4, TPcmFormat(1000, 1, 1));
    EXPECT_FALSE(bytes8.SetSample(300, 0, 0));
    EXPECT_FALSE(bytes8.SetSample(-300, 0, 0));
    EXPECT_TRUE(bytes8.SetSample(200, 0, 0));
    EXPECT_EQ(bytes8.GetSample(0, 0, false), 200);

    TWaveData stereo24(3, TPcmFormat(1000, 2, 3));
    EXPECT_TRUE(stereo24.SetSample(-8388607, 1, 1));
    EXPECT_TRUE(stereo24.SetSample(8388607, 1, 0));
    EXPECT_EQ(stereo24.GetSample(1, 1, false), -8388607);
    EXPECT_EQ(stereo24.GetSample(1, 0, false), 8388607);
}

TEST(WaveData, SetSampleAdvancesPositionAndEndFrame)
{
    TWaveData w(100, TPcmFormat(1000, 1, 2));
    EXPECT_EQ(w.GetEndFrame(), 0u);
    w.SetModified(false);
    EXPECT_TRUE(w.SetSample(5, 50, 0));
    EXPECT_EQ(w.GetPosition(), 1u);
    EXPECT_EQ(w.GetEndFrame(), 1u);
    EXPECT_TRUE(w.IsModified());
}

TEST(WaveData, TimeConversions)
{
    TWaveData w(0, TPcmFormat(1000, 2, 2));
    EXPECT_EQ(w.SecondsToFrames(0.9999f), 999u);
    EXPECT_EQ(w.FramesToBytes(10), 40u);
    EXPECT_EQ(w.BytesToFrames(41), 10u);
    EXPECT_DOUBLE_EQ(w.FramesToSeconds(500), 0.5);
    EXPECT_EQ(w.SecondsToFrames(std::nanf("")), 0u);
}

TEST(WaveData, CalibrationGains)
{
    TWaveData w(4, TPcmFormat(1000, 2, 2));
    WaveCalibrationBlock b;
    b.Channel[0].CalRatio = 0.0f; // becomes 2.0
    b.Channel[1].CalRatio = 10.0f;
    b.Channel[1].RefUnits = kUnitTemperature;
    b.Channel[1].RefOffset = 20.0f;
    w.UpdateCalibrationGains(b);
    EXPECT_FLOAT_EQ(w.GetGain(0), static_cast<float>(2.0 / 32767.0));
    EXPECT_FLOAT_EQ(w.GetGain(1), static_cast<float>(10.0 / 32767.0));
    EXPECT_FLOAT_EQ(w.GetOffset(1), 20.0f);
    EXPECT_TRUE(w.SetSample(32767, 0, 1));
    EXPECT_NEAR(w.GetSample(0, 1, true), 30.0, 1e-4);
    // RPM of an enabled slot is used as it is.
    b.Channel[0].IsEnabled = 1;
    b.Channel[0].RefUnits = kUnitRpm;
    b.Channel[0].CalRatio = 60.0f;
    w.UpdateCalibrationGains(b);
    EXPECT_FLOAT_EQ(w.GetGain(0), 60.0f);
    // SetCalibration keeps the block's name.
    std::strcpy(b.Name, "new name");
    WaveCalibrationBlock named;
    std::strcpy(named.Name, "kept");
    w.UpdateCalibrationGains(named);
    w.SetCalibration(b);
    EXPECT_STREQ(w.CalibrationBlock().Name, "kept");
    EXPECT_FLOAT_EQ(+w.CalibrationBlock().Channel[0].CalRatio, 60.0f);
}

TEST(WaveData, ResizeKeepsDataAndFillsSilence)
{
    TWaveData w(2, TPcmFormat(1000, 1, 1));
    w.Silence();
    EXPECT_TRUE(w.SetSample(10, 0, 0));
    EXPECT_TRUE(w.SetSample(20, 1, 0));
    ASSERT_TRUE(w.Resize(6));
    EXPECT_EQ(w.GetLength(), 6u);
    EXPECT_EQ(w.GetSample(1, 0, false), 20);
    for (DWORD f = 2; f < 6; ++f)
        EXPECT_EQ(w.GetSample(f, 0, false), 127) << "new 8-bit frames are silence";
    ASSERT_TRUE(w.Resize(1));
    EXPECT_EQ(w.GetEndFrame(), 1u);
    EXPECT_EQ(w.GetDataBytes(), 1u);
}

TEST(WaveData, ReadAndWriteBytesIncludeTheLastFrame)
{
    TWaveData w(5, TPcmFormat(1000, 1, 2));
    const std::int16_t in[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(w.WriteBytes(in, sizeof in));
    EXPECT_EQ(w.GetEndFrame(), 5u) << "a write to the very end counts the last frame";
    w.Seek(4);
    std::int16_t last = 0;
    ASSERT_TRUE(w.ReadBytes(&last, 2));
    EXPECT_EQ(last, 5);
    w.Seek(3);
    std::int16_t tooMuch[4] = {9, 9, 9, 9};
    EXPECT_FALSE(w.WriteBytes(tooMuch, sizeof tooMuch));
    w.Seek(3);
    std::int16_t out[4] = {-1, -1, -1, -1};
    ASSERT_TRUE(w.ReadBytes(out, sizeof out));
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 5);
    EXPECT_EQ(out[2], 0) << "zero-filled past the block";
}

TEST(WaveData, ChannelReadsWritesAndRanges)
{
    TWaveData w(4, TPcmFormat(1000, 2, 2));
    const std::int16_t right[4] = {100, -200, 300, -50};
    ASSERT_TRUE(w.WriteSamples(right, 0, 4, 1));
    std::int16_t back[4] = {};
    ASSERT_TRUE(w.ReadSamples(back, 0, 4, 1));
    EXPECT_EQ(std::memcmp(back, right, sizeof right), 0);
    EXPECT_FALSE(w.ReadSamples(back, 2, 4, 1)) << "a range past the end reads silence";
    EXPECT_EQ(back[0], 0);
    float hi = 0, lo = 0;
    w.GetRangeMinMax(0, 4, hi, lo, 1, false, false);
    EXPECT_EQ(hi, 300.0f);
    EXPECT_EQ(lo, -200.0f);
    w.GetRangeMinMax(0, 4, hi, lo, 1, false, true);
    EXPECT_NEAR(hi, std::sqrt((100.0 * 100 + 300.0 * 300) / 2), 1e-3);
    EXPECT_NEAR(lo, -std::sqrt((200.0 * 200 + 50.0 * 50) / 2), 1e-3);
    // Mean square of calibrated samples: default calibration divides by full scale.
    EXPECT_NEAR(w.MeanSquare(0, 4, 1),
                (100.0 * 100 + 200.0 * 200 + 300.0 * 300 + 50.0 * 50) / 4 / (32767.0 * 32767.0), 1e-12);
}

TEST(WaveData, MuteDecimateAndTrigger)
{
    TWaveData w(8, TPcmFormat(1000, 1, 2));
    for (DWORD f = 0; f < 8; ++f)
        EXPECT_TRUE(w.SetSample(static_cast<std::int32_t>(f * 1000), f, 0));
    w.MuteFrames(2, 4);
    EXPECT_EQ(w.GetSample(1, 0, false), 1000);
    EXPECT_EQ(w.GetSample(2, 0, false), 0);
    EXPECT_EQ(w.GetSample(3, 0, false), 0);
    EXPECT_EQ(w.GetSample(4, 0, false), 4000);

    TriggerSettings t;
    t.TriggerType = 0;
    t.Polarity = 0;
    t.ThresholdVolts = 15.0f; // percent of full scale: 4915
    DWORD at = 0;
    EXPECT_TRUE(w.FindTriggerFrame(t, 0, 8, 0, &at));
    EXPECT_EQ(at, 5u);
    EXPECT_FALSE(w.FindTriggerFrame(t, 0, 5, 0, &at));

    w.DecimateFrames(2);
    EXPECT_EQ(w.GetSample(1, 0, false), 0);
    EXPECT_EQ(w.GetSample(2, 0, false), 4000);
    EXPECT_EQ(w.GetSample(3, 0, false), 6000);
    EXPECT_EQ(w.GetLength(), 8u);
}
