#include "app/settings/FrameSettings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

namespace {

// Builds a record on memory filled with a given byte: when the constructor zeroes every byte
// (padding included), the two results compare equal byte for byte.
template <class T, class... Args>
bool ConstructionIsByteExact(Args... args)
{
    alignas(T) unsigned char a[sizeof(T)];
    alignas(T) unsigned char b[sizeof(T)];
    std::memset(a, 0x00, sizeof a);
    std::memset(b, 0xFF, sizeof b);
    T* x = new (a) T(args...);
    T* y = new (b) T(args...);
    return std::memcmp(x, y, sizeof(T)) == 0;
}

} // namespace

TEST(SettingsRecords, ConstructionLeavesNoUndefinedBytes)
{
    EXPECT_TRUE(ConstructionIsByteExact<ChannelProcessingSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<ChannelScalingSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<UsbChannelSettings>(5u));
    EXPECT_TRUE(ConstructionIsByteExact<UsbDeviceSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<CompositeChannelSettings>(3));
    EXPECT_TRUE(ConstructionIsByteExact<TriggerSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<RunControlSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<OutputDeviceSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<SigGenChannelSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<PathSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<PrintSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<DataLoggingSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<DataLoggingBlock>());
    EXPECT_TRUE(ConstructionIsByteExact<FileIOSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<TimeSeriesPlotSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<SpectrumPlotSettings>(true));
    EXPECT_TRUE(ConstructionIsByteExact<PhasePlotSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<SpectrogramPlotSettings>(false));
    EXPECT_TRUE(ConstructionIsByteExact<SurfacePlotSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<MarkerSettings>());
    EXPECT_TRUE(ConstructionIsByteExact<WindowPlacementRecord>());
    EXPECT_TRUE(ConstructionIsByteExact<ChannelCalibration>(4));
}

TEST(SettingsRecords, CopiesCompareEqualAndChangesShow)
{
    FrameSettings a;
    FrameSettings b;
    for (int ch = 0; ch < 8; ++ch) {
        EXPECT_TRUE(SameRecordBytes(a.Processing[ch], b.Processing[ch]));
        EXPECT_TRUE(SameRecordBytes(a.SpectrumOpts[ch], b.SpectrumOpts[ch]));
        EXPECT_TRUE(SameRecordBytes(a.Calibration[ch], b.Calibration[ch]));
    }
    SpectrumPlotSettings copy = a.CompositeSpectrumOpts[3];
    EXPECT_TRUE(SameRecordBytes(copy, b.CompositeSpectrumOpts[3]));
    copy.Overlays[6].Offset2 = 1.0f;
    EXPECT_FALSE(SameRecordBytes(copy, b.CompositeSpectrumOpts[3]));
    UsbDeviceSettings dev = a.Device;
    dev.Channels[7].Gain = 2.0;
    EXPECT_FALSE(SameRecordBytes(dev, b.Device));
}

TEST(SettingsRecords, ConstructorDefaults)
{
    FrameSettings s;
    EXPECT_EQ(s.Main, 1);
    EXPECT_EQ(s.Buttons, 1);
    EXPECT_EQ(s.Statusbar, 1);
    const ChannelProcessingSettings& p = s.Processing[3];
    EXPECT_EQ(p.SampleFormat.SampleRate, 4000u);
    EXPECT_EQ(p.SampleFormat.Channels, 1);
    EXPECT_EQ(p.SampleFormat.BytesPerSample, 3);
    EXPECT_EQ(p.SampleFormat.MaxValue, 8388607);
    EXPECT_EQ(p.FFTsize, 1024u);
    EXPECT_EQ(p.AverageSpeed, 1);
    EXPECT_EQ(p.SmoothingWindow, 6);
    EXPECT_EQ(p.OverlapPercent, 90);
    EXPECT_EQ(p.EnableOverloadDetection, 1);
    EXPECT_FLOAT_EQ(p.RateMultiplier, 1.0f);
    EXPECT_EQ(s.Scaling[0].AmpScaleType, 1);
    EXPECT_EQ(s.Scaling[0].OctaveNumber, 3);

    // Channels 5 to 7 start disabled; only composite A is enabled.
    for (int ch = 0; ch < 8; ++ch) {
        EXPECT_EQ(s.Device.Channels[ch].bIsEnabled, ch <= 4 ? 1 : 0) << ch;
        EXPECT_EQ(s.Device.Channels[ch].ChannelNumber, static_cast<DWORD>(ch));
        EXPECT_DOUBLE_EQ(s.Device.Channels[ch].FilterFreq, 20000.0);
    }
    EXPECT_EQ(s.Composite[0].bIsEnabled, 1);
    EXPECT_EQ(s.Composite[1].bIsEnabled, 0);
    EXPECT_STREQ(s.Composite[15].ChannelName, "Ch P");
    EXPECT_STREQ(CompositeChannelSettings(16).ChannelName, "Ch X");

    EXPECT_FLOAT_EQ(s.SpectrumOpts[0].StopFreq, 12000.0f);
    EXPECT_FLOAT_EQ(s.CompositeSpectrumOpts[0].StopFreq, 1200.0f);
    EXPECT_EQ(s.SpectrumOpts[0].Overlays[1].Color, 0xAEAE00u);
    EXPECT_EQ(s.CompositeSpectrumOpts[0].Overlays[1].Color, 0x00C000u);
    EXPECT_EQ(s.SpectrogramOpts[0].ColorMode, 0);
    EXPECT_EQ(s.CompositeSpectrogramOpts[0].ColorMode, 1);
    EXPECT_EQ(s.SpectrogramOpts[0].Direction, 3);
    EXPECT_EQ(s.SurfaceOpts[0].LineColor, 0xC80000u);
    EXPECT_EQ(s.SurfaceOpts[0].ShowToolbar, 0);
    EXPECT_FLOAT_EQ(s.TimeSeriesOpts[0].PlotTop, 10.0f);
    EXPECT_EQ(s.TimeSeriesOpts[0].TimeSeriesDataSource, 1);
    EXPECT_FLOAT_EQ(s.PhaseOpts[0].StopFreq, 20000.0f);

    EXPECT_FLOAT_EQ(s.Trigger.ThresholdVolts, 1.0f);
    EXPECT_EQ(s.Trigger.DelayType, 1);
    EXPECT_FLOAT_EQ(s.Trigger.DelayMsec, 5.0f);
    EXPECT_EQ(s.RunControl.FftLimit, 500u);
    EXPECT_EQ(s.RunControl.UpdateIntervalMsec, 100u);
    EXPECT_EQ(s.Output.SigGenSamplingRate, 50000u);
    EXPECT_FLOAT_EQ(s.Output.FullScaleVolts, 10.0f);

    EXPECT_EQ(s.SigGen[0].Type, 3);
    EXPECT_TRUE(SameRecordBytes(s.SigGen[0], s.SigGen[1]));
    EXPECT_FLOAT_EQ(s.SigGen[0].Tones.Tone[9].Frequency, 10000.0f);
    EXPECT_STREQ(s.SigGen[0].Dtmf.Keys, "1234567890*#ABCD");

    EXPECT_FLOAT_EQ(s.Print.MarginLeft, 1.0f);
    EXPECT_STREQ(s.Logging.ViewerProgram, "Notepad.exe");
    EXPECT_EQ(s.Logging.Channel[0].DataItem[1], 1);
    EXPECT_EQ(s.Logging.Channel[1].DataItem[1], 0);
    EXPECT_EQ(s.FileIO.MaxDiskRecordingSizeBytes, 2000000000u);
    EXPECT_EQ(s.Files[0].IsActive, 0);
    EXPECT_EQ(s.Files[0].File, nullptr);

    EXPECT_STREQ(s.Calibration[6].ChannelName, "Channel 6");
    EXPECT_STREQ(s.Placements[0].WindowName, "MainWindow");
    EXPECT_EQ(s.Placements[0].IsOpen, 0);
}

TEST(SettingsRecords, PathDefaults)
{
    PathSettings p;
    p.SetDefaults("/home/u/Durnex/");
    EXPECT_STREQ(p.Wav, "/home/u/Durnex/wave");
    EXPECT_STREQ(p.thd, "/home/u/Durnex/Thd");
    p.SetDefaults("/opt/durnex");
    EXPECT_STREQ(p.filter, "/opt/durnex/filter");
    EXPECT_STREQ(PathSettings::Key(2), "cfg");
    EXPECT_EQ(p.Folder(10), nullptr);
}
