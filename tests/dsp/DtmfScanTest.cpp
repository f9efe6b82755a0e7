// DTMF detection over generated key sequences, with noise and twist, at 4000 and 8000
// samples per second, timed as the detector times keys (20 ms minimum tone and gap).
#include "dsp/DtmfScan.h"

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "dsp/DtmfDetector.h"
#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <string>

namespace {

struct Dialling {
    DWORD rate = 8000;
    double onMs = 70;
    double offMs = 70;
    double rowDb = -10;   // level of the row tone, dB of full scale (peak)
    double twistDb = 0;   // column tone minus row tone
    double noiseDb = -40; // rms of white noise, dB of full scale
    double rowDeviation = 0; // relative frequency error of the tones
    double columnDeviation = 0;
    unsigned seed = 1;
};

// A 16-bit wave holding the keys, with 100 ms of noise before and after.
std::unique_ptr<TWaveData> Dial(const std::string& keys, const Dialling& d)
{
    const double fs = d.rate;
    const auto lead = static_cast<DWORD>(0.1 * fs);
    const auto on = static_cast<DWORD>(d.onMs / 1000 * fs);
    const auto off = static_cast<DWORD>(d.offMs / 1000 * fs);
    const DWORD frames = 2 * lead + static_cast<DWORD>(keys.size()) * (on + off);
    const TPcmFormat fmt(d.rate, 1, 2);
    auto w = std::make_unique<TWaveData>(frames, fmt);
    std::mt19937 gen(d.seed);
    std::normal_distribution<double> noise(0.0, 32767.0 * std::pow(10.0, d.noiseDb / 20));
    const double ar = 32767.0 * std::pow(10.0, d.rowDb / 20);
    const double ac = ar * std::pow(10.0, d.twistDb / 20);
    std::vector<double> x(frames, 0.0);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const double fr = DtmfDetector::GetRowFrequency(keys[k]) * (1 + d.rowDeviation);
        const double fc = DtmfDetector::GetColumnFrequency(keys[k]) * (1 + d.columnDeviation);
        const DWORD s = lead + static_cast<DWORD>(k) * (on + off);
        for (DWORD i = 0; i < on; ++i) {
            const double t = i / fs;
            x[s + i] = ar * std::sin(2 * std::numbers::pi * fr * t) + ac * std::sin(2 * std::numbers::pi * fc * t);
        }
    }
    for (DWORD i = 0; i < frames; ++i)
        EXPECT_TRUE(w->SetSample(static_cast<std::int32_t>(std::clamp(std::lround(x[i] + noise(gen)), -32767L, 32767L)), i, 0));
    return w;
}

std::string Scan(TWaveData& w)
{
    ChannelProcessingSettings proc;
    proc.SampleFormat.Set(w.GetSampleRate(), 1, 2);
    ChannelScalingSettings scal;
    std::string keys;
    EXPECT_TRUE(ScanDtmfKeys(w, 0, 0.0f, static_cast<float>(w.GetLength()) / w.GetSampleRate(), proc, scal, {}, keys));
    return keys;
}

const std::string kAllKeys = "0123456789*#ABCD";

} // namespace

TEST(DtmfScan, TransformSizeAndHopByRate)
{
    EXPECT_EQ(DtmfTransformSize(4000), 512u);
    EXPECT_EQ(DtmfTransformSize(8000), 512u);
    EXPECT_EQ(DtmfTransformSize(8001), 1024u);
    EXPECT_EQ(DtmfTransformSize(16000), 1024u);
    EXPECT_EQ(DtmfTransformSize(34000), 2048u);
    EXPECT_EQ(DtmfTransformSize(44100), 4096u); // "4096 up to 50000 Hz"
    EXPECT_EQ(DtmfTransformSize(48000), 4096u);
    EXPECT_EQ(DtmfTransformSize(96000), 8192u);
    EXPECT_EQ(DtmfHop(1024), 10u);
    EXPECT_EQ(DtmfHop(2048), 20u);
    EXPECT_EQ(DtmfHop(4096), 40u);
    EXPECT_EQ(DtmfHop(512), 5u);
}

TEST(DtmfScan, KeysWithNoiseAndTwist)
{
    // 40 ms tones and gaps at 8000 samples/s; at 4000 the 128 ms transform needs 50 ms.
    for (DWORD rate : {8000u, 4000u})
        for (double twist : {-8.0, 0.0, 8.0})
            for (double noise : {-40.0, -25.0}) {
                Dialling d;
                d.rate = rate;
                d.onMs = d.offMs = rate == 8000 ? 40 : 50;
                d.twistDb = twist;
                d.noiseDb = noise;
                d.seed = static_cast<unsigned>(rate + twist * 10 - noise);
                auto w = Dial(kAllKeys, d);
                EXPECT_EQ(Scan(*w), kAllKeys) << rate << " Hz, twist " << twist << " dB, noise " << noise << " dB";
            }
}

TEST(DtmfScan, LongerDialledNumber)
{
    Dialling d;
    d.onMs = 100;
    d.offMs = 60;
    d.noiseDb = -30;
    const std::string number = "0044207946000*99#";
    auto w = Dial(number, d);
    EXPECT_EQ(Scan(*w), number);
}

TEST(DtmfScan, NoiseAloneGivesNoKeys)
{
    for (DWORD rate : {4000u, 8000u}) {
        Dialling d;
        d.rate = rate;
        d.noiseDb = -30;
        d.offMs = 10000;
        auto w = Dial(" ", d); // a space is no key: 10 s of noise
        EXPECT_EQ(Scan(*w), "") << rate;
        EXPECT_EQ(FormatDtmfMessage(""), "DTMF keys = ");
    }
}

TEST(DtmfScan, FrequencyTolerance)
{
    // Tones 1.5 % high are found at 8000 samples/s; tones 5 % off are not keys at either rate.
    Dialling d;
    d.rowDeviation = d.columnDeviation = 0.015;
    EXPECT_EQ(Scan(*Dial(kAllKeys, d)), kAllKeys);
    for (DWORD rate : {4000u, 8000u})
        for (double dev : {-0.05, 0.05}) {
            Dialling off;
            off.rate = rate;
            off.rowDeviation = off.columnDeviation = dev;
            EXPECT_EQ(Scan(*Dial(kAllKeys, off)), "") << rate << " " << dev;
        }
}

TEST(DtmfScan, CancelReportsNoKeys)
{
    Dialling d;
    auto w = Dial("123456", d); // 8320 frames; "3" sounds from 0.38 to 0.45 s
    ChannelProcessingSettings proc;
    proc.SampleFormat.Set(8000, 1, 2);
    ChannelScalingSettings scal;
    int steps = 0;
    SegmentProgress hooks;
    // First pass: 2 * frames / 512 blocks; cancel the second pass half way.
    const int firstPass = static_cast<int>(w->GetLength() / 256);
    hooks.cancelled = [&] { return ++steps == firstPass + static_cast<int>(w->GetLength() / 5 / 2); };
    std::string keys;
    w->Seek(77);
    // The keys of part of the segment are not its keys.
    EXPECT_FALSE(ScanDtmfKeys(*w, 0, 0.0f, 8320 / 8000.0f, proc, scal, hooks, keys));
    EXPECT_EQ(keys, "");
    EXPECT_EQ(w->GetPosition(), 77u);
    EXPECT_FALSE(ScanDtmfKeys(*w, 0, 0.5f, 0.5f, proc, scal, {}, keys));
    EXPECT_EQ(keys, "");
}

// Block times past 2^31 ms (a slow rate, far into a long file) stay in range.
TEST(DtmfScan, TimesBeyondTheMillisecondRangeDoNotOverflow)
{
    const TPcmFormat fmt(1, 1, 2);
    TWaveData w(2200200, fmt);
    ChannelProcessingSettings proc;
    proc.SampleFormat.Set(1, 1, 2);
    ChannelScalingSettings scal;
    std::string keys = "x";
    EXPECT_TRUE(ScanDtmfKeys(w, 0, 2200000.0f, 2200100.0f, proc, scal, {}, keys));
    EXPECT_EQ(keys, "");
}
