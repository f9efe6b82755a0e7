// Sample buffers: scaling, the decimating low-pass filter and the block measures, checked
// against closed forms.
#include "records/TriggerSettings.h"
#include "wave/TSampleBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

constexpr double kPi = 3.14159265358979323846;

void FillSine(TSampleBuffer& b, double amplitude, double frequency, double phase = 0.0)
{
    for (DWORD i = 0; i < b.GetCount(); ++i)
        b.SetSample(i, static_cast<std::int32_t>(std::lround(
                           amplitude * std::sin(2 * kPi * frequency * i / b.GetSampleRate() + phase))));
}

// |H(f)| of the buffer's taps, evaluated from the definition of the DTFT.
double TapGain(const TSampleBuffer& b, double frequency)
{
    std::complex<double> sum = 0;
    for (int k = 0; k < TSampleBuffer::kTaps; ++k)
        sum += static_cast<double>(b.GetFilterTaps()[k]) *
               std::exp(std::complex<double>(0, -2 * kPi * frequency * k / b.GetSampleRate()));
    return std::abs(sum);
}

} // namespace

TEST(SampleBuffer, ScalingIsAFractionOfFullScaleUnlessCalibrated)
{
    TSampleBuffer b(16, TPcmFormat(8000, 1, 2), 1, false);
    ASSERT_FALSE(b.IsError());
    b.SetSample(3, 16000);
    EXPECT_NEAR(b.GetSample(3, true), 16000.0 / 32767.0, 1e-7);
    EXPECT_EQ(b.GetSample(3, false), 16000.0);
    EXPECT_EQ(b.GetSample(16, false), 0.0) << "past the count: the zero value";
    ChannelCalibration disabled(0);
    disabled.IsEnabled = 0;
    disabled.CalRatio = 50.0f;
    b.SetScaling(&disabled);
    EXPECT_NEAR(b.GetSample(3, true), 16000.0 / 32767.0, 1e-7);

    ChannelCalibration rpm(0);
    rpm.RefUnits = kUnitRpm;
    rpm.CalRatio = 60.0f;
    b.SetScaling(&rpm);
    EXPECT_NEAR(b.GetSample(3, true), 16000.0 * 60.0, 1e-3) << "RPM uses CalRatio undivided";

    ChannelCalibration temp(0);
    temp.RefUnits = kUnitTemperature;
    temp.CalRatio = 100.0f;
    temp.RefOffset = -40.0f;
    b.SetScaling(&temp);
    EXPECT_NEAR(b.GetSample(3, true), 16000.0 / 32767.0 * 100.0 - 40.0, 1e-4);

    TSampleBuffer eight(4, TPcmFormat(8000, 1, 1), 1, false);
    EXPECT_EQ(eight.GetSample(0, false), 0.0) << "cleared to 127, read relative to it";
    eight.SetSample(0, 255);
    EXPECT_EQ(eight.GetSample(0, false), 128.0);
}

TEST(SampleBuffer, EmptyBufferIsAnError)
{
    TSampleBuffer b(0, TPcmFormat(), 1, false);
    EXPECT_TRUE(b.IsError());
    EXPECT_EQ(b.GetSamplePtr(0), nullptr);
    EXPECT_EQ(b.GetPeakLevelPercent(), 0u);
    DWORD at = 7;
    EXPECT_FALSE(b.FindTrigger(TriggerSettings(), 0, 10, at));
}

TEST(SampleBuffer, CountsAndTimes)
{
    TSampleBuffer b(1024 * 4, TPcmFormat(8000, 1, 2), 4, true);
    EXPECT_EQ(b.GetCount(), 1024u * 4 + 39);
    EXPECT_EQ(b.GetSamplesPerChannel(), 1024u);
    EXPECT_FLOAT_EQ(b.IndexToTime(1000), 0.5f);
    EXPECT_EQ(b.TimeToIndex(0.5f), 1000u);
    TSampleBuffer plain(1000, TPcmFormat(8000, 1, 2), 4, false);
    EXPECT_EQ(plain.GetSamplesPerChannel(), 250u);
}

TEST(SampleBuffer, DecimationPassesTheLowBandAndStopsTheHighBand)
{
    const double fs = 8000, amplitude = 10000;
    TSampleBuffer b(1024 * 4, TPcmFormat(8000, 1, 2), 4, true);
    // The taps are a windowed sinc: centre tap = cutoff / (fs / 2) = 1 / ratio times the
    // window's centre, and symmetric.
    for (int k = 1; k <= 19; ++k)
        EXPECT_EQ(b.GetFilterTaps()[19 + k], b.GetFilterTaps()[19 - k]);
    EXPECT_NEAR(TapGain(b, 0.0), 1.0, 0.05);

    const double pass = 125.0; // well inside the new band (0 .. 1000 Hz)
    FillSine(b, amplitude, pass);
    b.CompactChannels();
    const double g = TapGain(b, pass);
    EXPECT_NEAR(g, 1.0, 0.05);
    for (DWORD i = 0; i < b.GetSamplesPerChannel(); ++i) {
        // Output i is the filter centred on input 4i + 19.
        double expected = amplitude * g * std::sin(2 * kPi * pass * (4.0 * i + 19) / fs);
        ASSERT_NEAR(b.GetSample(i, false), expected, 3.0) << "output " << i;
    }

    TSampleBuffer stop(1024 * 4, TPcmFormat(8000, 1, 2), 4, true);
    FillSine(stop, amplitude, 3000.0);
    stop.CompactChannels();
    float hi = 0, lo = 0;
    stop.GetRangeMinMax(0, stop.GetSamplesPerChannel(), hi, lo, false, false);
    EXPECT_LT(std::max(std::fabs(hi), std::fabs(lo)), amplitude * 0.01) << "3 kHz is far above the new 1 kHz band";
}

TEST(SampleBuffer, FilterClipsInsteadOfWrappingNearFullScale)
{
    TSampleBuffer b(256 * 2, TPcmFormat(8000, 1, 2), 2, true);
    // A square wave at full scale overshoots in the filter.
    for (DWORD i = 0; i < b.GetCount(); ++i)
        b.SetSample(i, (i / 40) % 2 ? 32767 : -32767);
    b.CompactChannels();
    for (DWORD i = 0; i < b.GetSamplesPerChannel(); ++i) {
        double s = b.GetSample(i, false);
        double expected = ((2 * i + 19) / 40) % 2 ? 32767 : -32767;
        // Away from the edges the output keeps the sign of the square wave.
        if ((2 * i + 19) % 40 > 12 && (2 * i + 19) % 40 < 28)
            ASSERT_GT(s * expected, 0.0) << "output " << i;
    }
}

TEST(SampleBuffer, PeakLevelPercent)
{
    TSampleBuffer b(100, TPcmFormat(8000, 1, 2), 1, false);
    EXPECT_EQ(b.GetPeakLevelPercent(), 0u);
    b.SetSample(50, -1000);
    EXPECT_EQ(b.GetPeakLevelPercent(), static_cast<DWORD>(100.0 * 3.0 / std::log10(32767.0)));
    b.SetSample(10, 32766);
    EXPECT_EQ(b.GetPeakLevelPercent(), 100u);
    b.SetSample(10, -32768);
    EXPECT_EQ(b.GetPeakLevelPercent(), 100u);
}

TEST(SampleBuffer, TriggerLevelsAndEdges)
{
    TSampleBuffer b(100, TPcmFormat(8000, 1, 2), 1, false);
    b.SetSample(40, 16384);
    b.SetSample(41, 32000);
    b.SetSample(60, -20000);
    TriggerSettings t;
    t.ThresholdVolts = 0.5f; // scaled samples: fractions of full scale
    DWORD at = 99;
    EXPECT_FALSE(b.FindTrigger(t, 10, 10, at));
    EXPECT_EQ(at, 0u);
    ASSERT_TRUE(b.FindTrigger(t, 0, 100, at));
    EXPECT_EQ(at, 40u);
    t.Polarity = 1;
    ASSERT_TRUE(b.FindTrigger(t, 0, 100, at));
    EXPECT_EQ(at, 60u);
    t.TriggerType = 1;
    t.Polarity = 0;
    t.ThresholdVolts = 0.4f;
    ASSERT_TRUE(b.FindTrigger(t, 0, 100, at));
    EXPECT_EQ(at, 39u);
    t.TriggerType = 7;
    EXPECT_FALSE(b.FindTrigger(t, 0, 100, at));
}

TEST(SampleBuffer, BackwardIntegrationOfAConstantIsALinearRamp)
{
    const DWORD n = 1000;
    TSampleBuffer b(n, TPcmFormat(8000, 1, 2), 1, false);
    for (DWORD i = 0; i < n; ++i)
        b.SetSample(i, i % 2 ? 500 : -500);
    ASSERT_TRUE(b.BackwardIntegrate(n));
    for (DWORD i = 0; i < n; ++i)
        ASSERT_NEAR(b.GetSample(i, false), 32767.0 * (n - i) / n, 1.0) << i;
    TSampleBuffer silent(10, TPcmFormat(8000, 1, 2), 1, false);
    EXPECT_FALSE(silent.BackwardIntegrate(10));
}

TEST(SampleBuffer, HilbertEnvelopeOfASineIsItsAmplitude)
{
    const DWORD n = 1024;
    TSampleBuffer b(n, TPcmFormat(8192, 1, 2), 1, false);
    FillSine(b, 12000.0, 8192.0 * 37 / n, 0.3); // a whole number of periods in the piece
    ASSERT_TRUE(b.HilbertEnvelope(0, n));
    for (DWORD i = 0; i < n; ++i)
        ASSERT_NEAR(b.GetSample(i, false), 12000.0, 3.0) << i;
}

TEST(SampleBuffer, ClearRangeAndRangeEdges)
{
    TSampleBuffer b(10, TPcmFormat(8000, 1, 3), 1, false);
    for (DWORD i = 0; i < 10; ++i)
        b.SetSample(i, -8000000 + static_cast<std::int32_t>(i));
    EXPECT_EQ(b.GetSample(0, false), -8000000.0);
    b.ClearRange(5, 10);
    EXPECT_EQ(b.GetSample(9, false), 0.0) << "the last sample is cleared too";
    EXPECT_EQ(b.GetSample(4, false), -7999996.0);
    float hi = 0, lo = 0;
    b.GetRangeMinMax(7, 3, hi, lo, false, false); // reversed: the first two samples
    EXPECT_EQ(hi, -7999999.0f);
    EXPECT_EQ(lo, -8000000.0f);
}
