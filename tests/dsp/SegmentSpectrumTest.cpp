// Segment analyses through the spectrum engine: the segment average against the mean of the
// blocks' own spectra, short segments, the inverse transform back to the signal, the
// cepstrum of an echo, and the quality factor of a resonance.
#include "dsp/SegmentSpectrum.h"

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "dsp/SegmentSamples.h"
#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "wave/TSampleBuffer.h"
#include "support/ScriptedUser.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

struct Channel {
    ChannelProcessingSettings proc;
    ChannelScalingSettings scal;
    std::unique_ptr<TSmoothing> window;
    std::unique_ptr<SpectralData> engine;
    std::unique_ptr<TSampleBuffer> work;

    explicit Channel(DWORD rate = 8000, DWORD fft = 1024, WORD windowType = TSmoothing::kHanning)
    {
        proc.SampleFormat.Set(rate, 1, 2);
        proc.FFTsize = fft;
        proc.DecimationRatio = 1;
        proc.ApplyLowPassFilter = 0;
        proc.SmoothingWindow = windowType;
        proc.AverageBlocks = 3;
        proc.AverageSpeed = 1;
        window = std::make_unique<TSmoothing>(fft, windowType, TSmoothing::kAmplitudeCorrection);
        engine = std::make_unique<SpectralData>(&proc, &scal, false);
        work = std::make_unique<TSampleBuffer>(fft, proc.SampleFormat, 1, false);
    }
};

// A 16-bit wave of a tone in noise.
std::unique_ptr<TWaveData> ToneInNoise(DWORD frames, DWORD rate = 8000, unsigned seed = 3)
{
    std::mt19937 gen(seed);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<double> x(frames);
    for (DWORD i = 0; i < frames; ++i)
        x[i] = 6000 * std::sin(2 * kPi * 1000.0 * i / rate) + noise(gen);
    auto w = std::make_unique<TWaveData>(frames, TPcmFormat(rate, 1, 2));
    WriteSegmentSamples(*w, 0, 0, x);
    return w;
}

// The power spectrum of one frame of samples through a fresh engine (no averaging across
// blocks): what each block contributes.
std::vector<double> BlockPower(const std::vector<float>& frame, DWORD rate = 8000)
{
    Channel c(rate, static_cast<DWORD>(frame.size()));
    c.proc.AverageBlocks = 1;
    SpectralData e(&c.proc, &c.scal, false);
    for (UINT i = 0; i < frame.size(); ++i)
        e.SetTimeSample(i, frame[i]);
    c.window->Apply(e.GetFrame());
    e.ComputeSpectrum();
    e.Average(false);
    const int bins = e.GetBinCount();
    return std::vector<double>(e.GetMagnitudeBuffer(), e.GetMagnitudeBuffer() + bins);
}

std::vector<float> Frames(TWaveData& w, DWORD first, DWORD count)
{
    std::vector<double> d(count);
    ReadSegmentSamples(w, first, 0, d);
    return std::vector<float>(d.begin(), d.end());
}

void ExpectSpectraEqual(const SpectralData& e, const std::vector<double>& expected)
{
    const float* m = e.GetMagnitudeBuffer();
    double peak = 0;
    for (double v : expected)
        peak = std::max(peak, v);
    for (std::size_t k = 0; k + 1 < expected.size(); ++k)
        ASSERT_NEAR(m[k], expected[k], 1e-4 * peak + 1e-3 * expected[k]) << "bin " << k;
}

int Never()
{
    ADD_FAILURE() << "no zero-padding question expected";
    return SEGMENT_ZEROPAD_CANCEL;
}

} // namespace

TEST(SegmentAverageSpectrum, IsTheMeanOfItsBlocksSpectra)
{
    Channel c;
    auto w = ToneInNoise(20000);
    const DWORD S = 1500, E = 9000, L = 1024, H = 512;
    ASSERT_EQ(ComputeSegmentAverage(*w, 0, S, E, H, *c.work, *c.engine, *c.window, c.proc, Never, {}),
              SegmentAverageResult::Done);
    // (7500 - 1024) / 512 + 1 = 13 blocks from S, then one ending at E.
    std::vector<double> mean(L / 2, 0.0);
    std::vector<DWORD> starts;
    for (DWORD i = 0; i < 13; ++i)
        starts.push_back(S + i * H);
    starts.push_back(E - L);
    for (DWORD s : starts) {
        const std::vector<double> p = BlockPower(Frames(*w, s, L));
        for (std::size_t k = 0; k < mean.size(); ++k)
            mean[k] += p[k] / starts.size();
    }
    ExpectSpectraEqual(*c.engine, mean);
    // The channel's averaging is back.
    EXPECT_EQ(c.engine->GetAverageBlocks(), 3.0f);
}

TEST(SegmentAverageSpectrum, NoOverlapExactAndOneFrameMore)
{
    Channel c;
    auto w = ToneInNoise(5000);
    int blocks = 0;
    SegmentProgress hooks;
    hooks.progress = [&](int) { ++blocks; };
    ASSERT_EQ(ComputeSegmentAverage(*w, 0, 100, 100 + 1024, 1024, *c.work, *c.engine, *c.window, c.proc, Never, hooks),
              SegmentAverageResult::Done);
    EXPECT_EQ(blocks, 1);
    ExpectSpectraEqual(*c.engine, BlockPower(Frames(*w, 100, 1024)));

    ASSERT_EQ(ComputeSegmentAverage(*w, 0, 100, 100 + 1025, 1024, *c.work, *c.engine, *c.window, c.proc, Never, {}),
              SegmentAverageResult::Done);
    std::vector<double> a = BlockPower(Frames(*w, 100, 1024)), b = BlockPower(Frames(*w, 101, 1024));
    for (std::size_t k = 0; k < a.size(); ++k)
        a[k] = (a[k] + b[k]) / 2;
    ExpectSpectraEqual(*c.engine, a);
}

TEST(SegmentAverageSpectrum, ShortSegmentZeroPaddedOrWidened)
{
    Channel c;
    auto w = ToneInNoise(5000);
    int asked = 0;
    auto zeroPad = [&] {
        ++asked;
        return static_cast<int>(SEGMENT_ZEROPAD);
    };
    ASSERT_EQ(ComputeSegmentAverage(*w, 0, 2000, 2512, 512, *c.work, *c.engine, *c.window, c.proc, zeroPad, {}),
              SegmentAverageResult::Done);
    EXPECT_EQ(asked, 1);
    std::vector<float> frame(1024, 0.0f);
    const std::vector<float> seg = Frames(*w, 2000, 512);
    std::copy(seg.begin(), seg.end(), frame.begin() + 256); // 256 zeros, 512 samples, 256 zeros
    ExpectSpectraEqual(*c.engine, BlockPower(frame));

    auto include = [] { return static_cast<int>(SEGMENT_INCLUDE_NEIGHBOURS); };
    ASSERT_EQ(ComputeSegmentAverage(*w, 0, 2000, 2512, 512, *c.work, *c.engine, *c.window, c.proc, include, {}),
              SegmentAverageResult::Done);
    ExpectSpectraEqual(*c.engine, BlockPower(Frames(*w, 2000 + 256 - 512, 1024)));
    // Near the start the block starts at frame 0; near the end, what is left is read.
    ASSERT_EQ(ComputeSegmentAverage(*w, 0, 10, 110, 512, *c.work, *c.engine, *c.window, c.proc, include, {}),
              SegmentAverageResult::Done);
    ExpectSpectraEqual(*c.engine, BlockPower(Frames(*w, 0, 1024)));
    ASSERT_EQ(ComputeSegmentAverage(*w, 0, 4800, 4900, 512, *c.work, *c.engine, *c.window, c.proc, include, {}),
              SegmentAverageResult::Done);
    std::vector<float> tail = Frames(*w, 4850 - 512, 1024);
    std::fill(tail.begin() + (5000 - (4850 - 512) - 1), tail.end(), 0.0f);
    ExpectSpectraEqual(*c.engine, BlockPower(tail));

    // Cancel at the question: nothing computed, the averaging untouched.
    c.engine->SetAveraging(1, 7);
    auto cancel = [] { return static_cast<int>(SEGMENT_ZEROPAD_CANCEL); };
    EXPECT_EQ(ComputeSegmentAverage(*w, 0, 2000, 2512, 512, *c.work, *c.engine, *c.window, c.proc, cancel, {}),
              SegmentAverageResult::Cancelled);
    EXPECT_EQ(c.engine->GetAverageBlocks(), 7.0f);
    EXPECT_EQ(ComputeSegmentAverage(*w, 0, 2000, 2000, 512, *c.work, *c.engine, *c.window, c.proc, cancel, {}),
              SegmentAverageResult::Nothing);
}

TEST(SegmentAverageSpectrum, EscLeavesNoAverageToShow)
{
    Channel c;
    auto w = ToneInNoise(20000);
    int asked = 0;
    SegmentProgress hooks;
    hooks.cancelled = [&] { return ++asked == 2; };
    ASSERT_EQ(ComputeSegmentAverage(*w, 0, 0, 10240, 1024, *c.work, *c.engine, *c.window, c.proc, Never, hooks),
              SegmentAverageResult::Stopped);
    EXPECT_EQ(asked, 2);
    // Two blocks of ten were averaged: none of it stays as if it were the segment's average.
    ExpectSpectraEqual(*c.engine, std::vector<double>(512, 0.0));
    EXPECT_EQ(c.engine->GetAverageBlocks(), 3.0f);
}

TEST(SegmentSpectrumAtTime, BlockIsCentredButNotBeforeTheStart)
{
    Channel c;
    auto w = ToneInNoise(8000);
    EXPECT_EQ(ComputeSegmentSpectrumAtTime(*w, 0, 0.0f, *c.work, *c.engine, *c.window, c.proc), 0.0f);
    ExpectSpectraEqual(*c.engine, BlockPower(Frames(*w, 0, 1024)));
    const float start = ComputeSegmentSpectrumAtTime(*w, 0, 0.5f, *c.work, *c.engine, *c.window, c.proc).value();
    EXPECT_NEAR(start, 0.5f - 512 / 8000.0f, 1e-6);
    ExpectSpectraEqual(*c.engine, BlockPower(Frames(*w, 3488, 1024)));
}

TEST(SegmentInverse, GivesTheSignalBack)
{
    for (WORD windowType : {TSmoothing::kHanning, TSmoothing::kUniform}) {
        Channel c(8000, 1024, windowType);
        c.proc.AverageBlocks = 1;
        SpectralData e(&c.proc, &c.scal, false);
        std::vector<float> x(1024);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(300.0 + 5000 * std::sin(2 * kPi * 37 * i / 1024.0) +
                                      2000 * std::cos(2 * kPi * 200.5 * i / 1024.0 + 0.4));
        for (UINT i = 0; i < 1024; ++i)
            e.SetTimeSample(i, x[i]);
        c.window->Apply(e.GetFrame());
        e.ComputeSpectrum();
        e.Average(false);
        TSampleBuffer out(1024, c.proc.SampleFormat, 1, false);
        ASSERT_TRUE(InverseSpectrumToSamples(e, *c.window, out));
        // Where the window is near zero (its ends) the division can't give the signal back.
        const std::size_t edge = windowType == TSmoothing::kHanning ? 40 : 0;
        for (std::size_t i = edge; i < x.size() - edge; ++i)
            ASSERT_NEAR(out.GetSample(static_cast<DWORD>(i), false), x[i], 30.0) << windowType << " " << i;
    }
}

TEST(SegmentCepstrum, PeaksAtTheEchoDelay)
{
    Channel c(8000, 1024);
    const DWORD delay = 120; // samples, 15 ms
    std::mt19937 gen(11);
    std::normal_distribution<double> noise(0.0, 2000.0);
    std::vector<double> s(40000), x(40000);
    for (auto& v : s)
        v = noise(gen);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = s[i] + (i >= delay ? 0.7 * s[i - delay] : 0.0);
    TWaveData w(static_cast<DWORD>(x.size()), c.proc.SampleFormat);
    WriteSegmentSamples(w, 0, 0, x);
    ASSERT_EQ(ComputeSegmentAverage(w, 0, 0, 40000, 512, *c.work, *c.engine, *c.window, c.proc, Never, {}),
              SegmentAverageResult::Done);
    ComputeSpectrumCepstrum(*c.engine, *c.window);
    // The strongest quefrency above the spectrum's overall shape is the delay.
    int best = 0;
    float level = -1e30f;
    for (int k = 30; k < 500; ++k)
        if (c.engine->GetLevel(k) > level) {
            level = c.engine->GetLevel(k);
            best = k;
        }
    EXPECT_NEAR(best, static_cast<int>(delay), 1);
}

TEST(SegmentQualityFactor, ResonanceOfKnownWidth)
{
    Channel c(8000, 4096);
    SpectralData& e = *c.engine;
    // A resonance at 1000 Hz, 50 Hz wide at half power: Q = 20.
    const float width = e.GetBinWidth();
    float* m = e.GetMagnitudeBuffer();
    for (int k = 0; k < e.GetBinCount(); ++k) {
        const double f = k * width;
        m[k] = static_cast<float>(1.0 / (1.0 + std::pow((f - 1000.0) / 25.0, 2)));
    }
    const std::string text = QualityFactorReport(e, 800.0f, 1200.0f, false);
    double peak = 0, bw = 0, q = 0;
    ASSERT_EQ(std::sscanf(text.c_str(), "Peak Frequency = %lf Hz\rBandwidth (-3dB) = %lf Hz\rQuality Factor = %lf", &peak,
                          &bw, &q),
              3)
        << text;
    EXPECT_NEAR(peak, 1000.0, width);
    EXPECT_NEAR(bw, 50.0, 1.0);
    EXPECT_NEAR(q, 20.0, 0.5);
}

// A streamed file cut short after it was opened: the average stops with a message instead
// of averaging silence and showing the spectrum as valid.
TEST(SegmentAverageSpectrum, AFileThatCannotBeReadStopsTheAverageWithAMessage)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("durnex-segread-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "cut.wav").string();
    {
        auto tone = ToneInNoise(20000);
        TWaveFile w(20000, tone->GetFormat(), dir.string());
        std::vector<BYTE> bytes(tone->FramesToBytes(20000));
        tone->Seek(0);
        ASSERT_TRUE(tone->ReadBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
        ASSERT_TRUE(w.WriteBytes(bytes.data(), static_cast<DWORD>(bytes.size())));
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
    }
    {
        TWaveFile streamed(path, TWaveFile::kStreamed, false, dir.string());
        ASSERT_FALSE(streamed.IsError());
        std::filesystem::resize_file(path, 44 + 2 * 3000);
        Channel c;
        ScriptedUser user;
        user.ExpectBox(IDOK, "Failure reading wave file " + path);
        EXPECT_EQ(ComputeSegmentAverage(streamed, 0, 0, 20000, 1024, *c.work, *c.engine, *c.window, c.proc, Never,
                                        {}),
                  SegmentAverageResult::ReadFailed);
        // The channel gets its own averaging back.
        EXPECT_EQ(c.engine->GetAverageBlocks(), 3.0f);
    }
    std::filesystem::remove_all(dir);
}

TEST(SegmentAverageSpectrum, LongSegmentsMatchBlockByBlockReadsExactly)
{
    // Long overlapping segments are cut from one forward read of the channel; the result must
    // be the very one of reading every block on its own, across the read's refills, for
    // unsigned 8-bit (silence is 127) and for 24-bit samples in a multichannel frame.
    struct Case { WORD channels; WORD bytes; int channel; };
    for (const Case& k : {Case{2, 1, 1}, Case{3, 3, 2}}) {
        const DWORD frames = 150000, fft = 256, hop = 100, start = 777, end = frames - 5;
        TWaveData w(frames, TPcmFormat(8000, k.channels, k.bytes));
        std::mt19937 gen(11);
        std::uniform_int_distribution<std::int32_t> sample(w.GetMinValue(), w.GetMaxValue());
        for (DWORD i = 0; i < frames; ++i)
            for (int ch = 0; ch < k.channels; ++ch)
                ASSERT_TRUE(w.SetSample(sample(gen), i, ch));
        Channel streamed(8000, fft), blockwise(8000, fft);
        for (Channel* c : {&streamed, &blockwise}) {
            c->proc.SampleFormat.Set(8000, 1, k.bytes);
            c->engine = std::make_unique<SpectralData>(&c->proc, &c->scal, false);
            c->work = std::make_unique<TSampleBuffer>(fft, c->proc.SampleFormat, 1, false);
            c->engine->SetPeakDecay(2);
        }
        ASSERT_EQ(ComputeSegmentAverage(w, k.channel, start, end, hop, *streamed.work, *streamed.engine,
                                        *streamed.window, streamed.proc, Never, {}),
                  SegmentAverageResult::Done);
        SpectralData& e = *blockwise.engine;
        e.SetAveraging(4, 100000);
        e.ResetAverages();
        DWORD at = start;
        for (; at + fft <= end; at += hop)
            ASSERT_TRUE(ProcessSegmentBlock(w, k.channel, at, *blockwise.work, e, *blockwise.window));
        ASSERT_TRUE(ProcessSegmentBlock(w, k.channel, end - fft, *blockwise.work, e, *blockwise.window));
        for (int b = 0; b < e.GetBinCount(); ++b) {
            ASSERT_EQ(streamed.engine->GetMagnitudeBuffer()[b], e.GetMagnitudeBuffer()[b]) << k.bytes << " bin " << b;
            ASSERT_EQ(streamed.engine->GetPeakHoldValue(b), e.GetPeakHoldValue(b)) << k.bytes << " bin " << b;
        }
    }
}

TEST(SegmentAverageSpectrum, TwentyFourBitSamplesAgreeWithSixteenBit)
{
    // The same sine, half its samples negative, stored in 16 bits and (256 times larger) in
    // 24 bits: relative to full scale both segments have the same average spectrum.
    const DWORD frames = 12000, fft = 1024;
    std::vector<double> spectra[2];
    for (WORD bytes : {2, 3}) {
        const double scale = bytes == 2 ? 1.0 : 256.0;
        std::vector<double> x(frames);
        for (DWORD i = 0; i < frames; ++i)
            x[i] = scale * std::round(9000 * std::sin(2 * kPi * 750.0 * i / 8000));
        TWaveData w(frames, TPcmFormat(8000, 1, bytes));
        ASSERT_TRUE(WriteSegmentSamples(w, 0, 0, x));
        Channel c(8000, fft);
        c.proc.SampleFormat.Set(8000, 1, bytes);
        c.engine = std::make_unique<SpectralData>(&c.proc, &c.scal, false);
        c.work = std::make_unique<TSampleBuffer>(fft, c.proc.SampleFormat, 1, false);
        ASSERT_EQ(ComputeSegmentAverage(w, 0, 0, frames, fft / 2, *c.work, *c.engine, *c.window, c.proc, Never, {}),
                  SegmentAverageResult::Done);
        const float* m = c.engine->GetMagnitudeBuffer();
        spectra[bytes - 2].assign(m, m + c.engine->GetBinCount());
    }
    ASSERT_EQ(spectra[0].size(), spectra[1].size());
    const double peak = *std::max_element(spectra[0].begin(), spectra[0].end());
    EXPECT_EQ(std::max_element(spectra[1].begin(), spectra[1].end()) - spectra[1].begin(), 96) << "750 Hz";
    for (std::size_t k = 0; k < spectra[0].size(); ++k)
        ASSERT_NEAR(spectra[1][k], spectra[0][k], 1e-4 * peak) << "bin " << k;
}
