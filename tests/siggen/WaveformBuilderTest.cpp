// The builder: output format, wave length per waveform, channel amplitude from the level unit,
// progress, and a build on its thread that can be aborted and replaced.
#include "records/AppMessages.h"
#include "platform/core/Rand.h"
#include "platform/ui/WinApp.h"
#include "siggen/TWaveformBuilder.h"
#include "siggen/WaveformSynthesis.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

std::int64_t Length(const SigGenChannelSettings& s, DWORD rate)
{
    return GetWaveformLength(s, TPcmFormat(rate, 1, 2), {}, {});
}

SigGenChannelSettings OfType(int type)
{
    SigGenChannelSettings s;
    s.Type = type;
    return s;
}

// Records the messages the builder posts.
class Listener : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> built;
    std::vector<LPARAM> progress;
    LRESULT OnBuilt(WPARAM w, LPARAM l)
    {
        built.emplace_back(w, l);
        return 1;
    }
    LRESULT OnProgress(WPARAM, LPARAM l)
    {
        progress.push_back(l);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

} // namespace

BEGIN_MESSAGE_MAP(Listener, CWnd)
    ON_MESSAGE(WM_WAVEFORM_BUILT, &Listener::OnBuilt)
    ON_MESSAGE(WM_STATUS_SETPROGRESS, &Listener::OnProgress)
END_MESSAGE_MAP()

TEST(WaveformBuilder, LengthsFollowEachWaveformsRule)
{
    EXPECT_EQ(Length(OfType(0), 50000), 3000000);
    EXPECT_EQ(Length(OfType(3), 44100), 441000);

    SigGenChannelSettings tones = OfType(4);
    for (SigGenTone& t : tones.Tones.Tone)
        t.Enabled = 0;
    tones.Tones.Tone[2].Enabled = 1;
    tones.Tones.Tone[2].Frequency = 440.25f;
    EXPECT_EQ(Length(tones, 48000), 479946); // 4402 cycles of 109.029 frames, made even

    SigGenChannelSettings saw = OfType(9);
    saw.Sawtooth.Frequency = 300.0f;
    EXPECT_EQ(Length(saw, 48000), 48160);

    SigGenChannelSettings dtmf = OfType(14);
    std::strcpy(dtmf.Dtmf.Keys, "5");
    dtmf.Dtmf.PulseMsec = dtmf.Dtmf.SpacingMsec = 5;
    dtmf.Dtmf.Repeat = 1;
    EXPECT_EQ(Length(dtmf, 44100), 44541); // the builder makes it even
    dtmf.Dtmf.Repeat = 0;
    EXPECT_EQ(Length(dtmf, 44100), 441);
    // 100 keys of 10 s each at 192 kHz: more than 2^32 in the product, not wrapped.
    std::memset(dtmf.Dtmf.Keys, '1', 99);
    dtmf.Dtmf.PulseMsec = dtmf.Dtmf.SpacingMsec = 10000;
    EXPECT_EQ(Length(dtmf, 192000), 192000LL * 20000 * 99 / 1000);

    SigGenChannelSettings sweep = OfType(7);
    sweep.FreqSweep.SweepMsec = 100;
    sweep.FreqSweep.SweepBack = 1;
    sweep.FreqSweep.SingleSweep = 1;
    EXPECT_EQ(Length(sweep, 48000), 9600);
    sweep.FreqSweep.SingleSweep = 0;
    EXPECT_EQ(Length(sweep, 48000), 57600); // six passes of 9600: the first whole number past 1 s

    SigGenChannelSettings step = OfType(16);
    step.FreqStep = {100.0f, 1000.0f, 100.0f, 3, 100, 1, 1, 0};
    EXPECT_EQ(CountFrequencySteps(step, nullptr), 10);
    EXPECT_EQ(Length(step, 48000), 48000);
    step.FreqStep.StepType = 2;
    int band = 0;
    EXPECT_EQ(CountFrequencySteps(step, &band), 11);
    EXPECT_EQ(band, 20);
    step.FreqStep.StartFreq = 1.0f; // below band 1's lower edge (1.12 Hz)
    CountFrequencySteps(step, &band);
    EXPECT_EQ(band, -1);

    EXPECT_EQ(ExtendToWholeRepeats(0, TPcmFormat(8000, 1, 2)), 8000);
    EXPECT_EQ(TrimToWholeCycles(1000, TPcmFormat(8000, 1, 2), 0.1f), 1000);
}

TEST(WaveformBuilder, AmplitudeFollowsTheLevelUnit)
{
    OutputDeviceSettings o;
    o.OutputLevelUnit = 1;
    // Nothing asked for is silence, never full scale.
    o.OutputLevel1 = 0.0f;
    EXPECT_EQ(ComputeOutputAmplitude(o, 0), 0.0);
    o.OutputLevel1 = -5.0f;
    EXPECT_EQ(ComputeOutputAmplitude(o, 0), 0.0);
    o.OutputLevel1 = 150.0f;
    EXPECT_EQ(ComputeOutputAmplitude(o, 0), 1.0);
    o.OutputLevel2 = 25.0f;
    EXPECT_DOUBLE_EQ(ComputeOutputAmplitude(o, 1), 0.25);
    o.OutputLevelUnit = 0;
    o.OutputLevel1 = -6.0f;
    EXPECT_NEAR(ComputeOutputAmplitude(o, 0), 0.501187, 1e-6);
    o.OutputLevelUnit = 2;
    o.OutputLevel1 = 1.0f;
    o.FullScaleVolts = 2.0f;
    EXPECT_NEAR(ComputeOutputAmplitude(o, 0), 0.7071076, 1e-7);
    o.OutputLevelUnit = 6;
    o.OutputLevel1 = -10.0f; // 0.245 V rms
    EXPECT_NEAR(ComputeOutputAmplitude(o, 0), std::pow(10.0, -0.5) / 2.0 / 0.707106 * 0.775, 1e-9);
    o.FullScaleVolts = 0.0f; // no full scale: full amplitude rather than infinity
    EXPECT_EQ(ComputeOutputAmplitude(o, 0), 1.0);
    o.OutputLevelUnit = 2;
    o.OutputLevel1 = 0.0f; // and no level over it: no number, silence
    EXPECT_EQ(ComputeOutputAmplitude(o, 0), 0.0);
    o.OutputLevelUnit = 6;
    o.OutputLevelUnit = 9;
    EXPECT_EQ(ComputeOutputAmplitude(o, 0), 1.0);
}

TEST(WaveformBuilder, AUserWaveFileDecidesTheOutputFormat)
{
    const auto path = std::filesystem::temp_directory_path() / ("durnex-user-" + std::to_string(::getpid()) + ".wav");
    {
        TWaveData stereo(4410, TPcmFormat(44100, 2, 2));
        ASSERT_TRUE(WriteSignalFile(stereo, path.string(), 1, {}));
    }
    SigGenChannelSettings ch[2] = {OfType(13), OfType(3)};
    std::strcpy(ch[0].UserWave.Path, path.c_str());
    OutputDeviceSettings o;
    o.SigGenNumChannels = 2;
    SigGenOutputChoice choice{&o, ch, true, -1, {}};
    SigGenOutputFormat f = PrepareOutputFormat(choice);
    EXPECT_EQ(f.SamplingRate, 44100u);
    EXPECT_EQ(f.BitsPerSample, 16u);
    EXPECT_EQ(f.Channels, 1u);
    EXPECT_EQ(GetWaveformLength(ch[0], TPcmFormat(44100, 1, 2), {}, {}), 4410);

    // The D/A path without a device keeps the configured format.
    choice.SoundCard = false;
    f = PrepareOutputFormat(choice, [](int) { return false; });
    EXPECT_EQ(f.SamplingRate, 50000u);
    EXPECT_EQ(f.Channels, 2u);

    // A file that does not open is passed over; its channel's length counts 0 and, built,
    // stays silent with a message.
    std::filesystem::remove(path);
    choice.SoundCard = true;
    f = PrepareOutputFormat(choice);
    EXPECT_EQ(f.SamplingRate, 50000u);
    EXPECT_EQ(GetWaveformLength(ch[0], TPcmFormat(44100, 1, 2), {}, {}), 0);
    TWaveData wave(100, TPcmFormat(44100, 1, 2));
    wave.Silence();
    std::vector<std::string> reports;
    SynthesisContext ctx;
    ctx.report = [&](const std::string& t) { reports.push_back(t); };
    GenerateUserWave(&wave, ch[0], 0, 1.0, ctx);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Generator - Failure opening file: " + path.string());
    for (DWORD i = 0; i < 100; ++i)
        ASSERT_EQ(wave.GetSample(i, 0, false), 0.0);
    // No file chosen at all: said so, rather than a failure naming nothing.
    ch[0].UserWave.Path[0] = '\0';
    GenerateUserWave(&wave, ch[0], 0, 1.0, ctx);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1], "Generator - No wave file was chosen for the User Defined signal.");
}

TEST(WaveformBuilder, ProgressIsReportedEveryThousandFrames)
{
    TWaveData wave(10500, TPcmFormat(8000, 1, 2));
    std::vector<int> seen;
    SynthesisContext ctx;
    ctx.progress = [&](int p) { seen.push_back(p); };
    GenerateWhiteNoise(&wave, OfType(0), 0, 1.0, ctx);
    ASSERT_EQ(seen.size(), 11u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen[5], 47);
    EXPECT_EQ(seen.back(), 95);
}

TEST(WaveformBuilder, TwoChannelsTakeTheLongerLengthAndKeepTheirOwnSignals)
{
    TWaveformBuilder builder;
    SigGenBuildRequest r;
    r.Format = {8000, 16, 2};
    r.Channel[0] = OfType(3);
    r.Channel[1] = OfType(15);
    ASSERT_EQ(builder.BuildNow(r, nullptr), kBuildDone);
    auto wave = builder.TakeWave();
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->GetLength(), 80000u);
    EXPECT_EQ(wave->GetChannels(), 2);
    double peak = 0.0;
    for (DWORD i = 0; i < wave->GetLength(); ++i) {
        peak = std::max(peak, wave->GetSample(i, 0, false));
        ASSERT_EQ(wave->GetSample(i, 1, false), 0.0) << i;
    }
    // 0.999 of full scale plus at most one step of dither.
    EXPECT_GE(peak, 32733.0);
    EXPECT_LE(peak, 32735.0);
}

TEST(WaveformBuilder, AnAbortedBuildStillReportsAndANewBuildReplacesARunningOne)
{
    AfxEnsureQtApplication();
    Listener listener;
    ASSERT_TRUE(listener.CreateEx(0, AfxRegisterWndClass(0), "listener", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    TWaveformBuilder builder;
    SigGenBuildRequest r;
    r.Format = {50000, 16, 2};
    r.Channel[0] = OfType(0); // 60 s of white noise on both channels
    r.Channel[1] = OfType(0);
    const LPARAM first = builder.Start(r, listener.GetSafeHwnd(), listener.GetSafeHwnd());
    while (listener.progress.size() < 3 && builder.IsBuilding())
        AfxPumpMessages(5);
    builder.Abort();
    builder.Join();
    AfxPumpMessages(10);
    ASSERT_EQ(listener.built.size(), 1u);
    EXPECT_EQ(listener.built[0].first, kBuildAborted);
    EXPECT_EQ(listener.built[0].second, first);
    auto wave = builder.TakeWave();
    ASSERT_NE(wave, nullptr);
    EXPECT_NE(wave->GetSample(10, 0, false), 0.0);
    EXPECT_EQ(wave->GetSample(wave->GetLength() - 1, 0, false), 0.0); // channel 1 partly written
    EXPECT_EQ(wave->GetSample(10, 1, false), 0.0);                     // channel 2 never started

    // A second Start while the first runs aborts and joins it: two reports, the newest done.
    listener.built.clear();
    r.Format = {8000, 16, 1};
    builder.Start(r, listener.GetSafeHwnd(), nullptr);
    r.Channel[0] = OfType(15);
    const LPARAM last = builder.Start(r, listener.GetSafeHwnd(), nullptr);
    builder.Join();
    AfxPumpMessages(10);
    ASSERT_EQ(listener.built.size(), 2u);
    EXPECT_EQ(listener.built[1].first, kBuildDone);
    EXPECT_EQ(listener.built[1].second, last);
    EXPECT_EQ(builder.TakeWave()->GetLength(), 8000u); // one second of Digital Zero
    listener.DestroyWindow();
}

TEST(WaveformBuilder, AWaveTooLargeForAWaveFileIsRefusedAsOutOfMemory)
{
    TWaveformBuilder builder;
    SigGenBuildRequest r;
    r.Format = {192000, 32, 2};
    SigGenChannelSettings step = OfType(16);
    step.FreqStep = {1.0f, 96000.0f, 1.0f, 3, 600000, 1, 1, 0};
    r.Channel[0] = step;
    EXPECT_EQ(builder.BuildNow(r, nullptr), kBuildNoMemory);
    EXPECT_EQ(builder.TakeWave(), nullptr);
}

// The square's duty read off its samples, without numpy: over whole cycles of 48 frames each
// cycle starts high for duty % of its frames, then is low; two edges a cycle.
TEST(SquareWave, EachCycleIsHighForItsDutyShare)
{
    for (const WORD duty : {WORD(10), WORD(25), WORD(50), WORD(75), WORD(90)}) {
        SCOPED_TRACE(testing::Message() << duty << " % duty");
        SigGenChannelSettings s;
        s.Square = {1000.0f, duty};
        TWaveData wave(4800, TPcmFormat(48000, 1, 2));
        ASSERT_FALSE(wave.IsError());
        wave.Silence();
        GenerateSquare(&wave, s, 0, 1.0, SynthesisContext{});
        for (DWORD cycle = 0; cycle < 100; ++cycle) {
            int high = 0, edges = 0;
            for (DWORD i = 0; i < 48; ++i) {
                const DWORD f = cycle * 48 + i;
                const bool up = wave.GetSample(f, 0, false) > 0;
                ASSERT_EQ(up, i < 48u * duty / 100) << "frame " << f; // high first, then low
                high += up;
                edges += i > 0 && up != (wave.GetSample(f - 1, 0, false) > 0);
            }
            EXPECT_EQ(high, 48 * duty / 100);
            EXPECT_EQ(edges, 1) << "within the cycle; the second edge starts the next";
        }
    }
}
