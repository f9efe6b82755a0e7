// Every waveform against an independent numpy rendering of its formula (with the same 15-bit
// generator), bit for bit, read back from the saved wave file by Python's wave module.
#include "platform/core/Rand.h"
#include "support/NeedsTool.h"
#include "platform/core/Resources.h"
#include "siggen/TWaveformBuilder.h"
#include "siggen/WaveformSynthesis.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Debian's numpy lives with the system interpreter; another python3 earlier in PATH may lack it.
std::string Python()
{
    if (std::system("/usr/bin/python3 -c 'import numpy' >/dev/null 2>&1") == 0)
        return "/usr/bin/python3";
    if (std::system("python3 -c 'import numpy' >/dev/null 2>&1") == 0)
        return "python3";
    return {};
}

std::vector<std::int16_t> PinkRecording()
{
    std::unique_ptr<TWaveFile> file(TWaveFile::FromResource("PinkWave", "PINKWAVE"));
    std::vector<std::int16_t> samples;
    if (file && !file->IsError())
        for (DWORD i = 0; i < file->GetLength(); ++i)
            samples.push_back(static_cast<std::int16_t>(file->GetSample(i, 0, false)));
    return samples;
}

class SynthesisReference : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterBuiltInResources();
        s_python = Python();
    }
    void SetUp() override
    {
        if (s_python.empty())
            DURNEX_SKIP_WITHOUT("python3 with numpy is needed");
        m_dir = fs::temp_directory_path() /
                ("durnex-synth-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Renders `routine` into channel `channel` of a wave of `frames` frames, saves it and asks
    // the reference whether every sample of that channel is what the formula gives.
    void Check(const std::string& json, SynthesisRoutine routine, const SigGenChannelSettings& s, DWORD rate,
               WORD bytes, DWORD frames, double amplitude, bool pink = false, WORD channels = 1, WORD channel = 0)
    {
        SCOPED_TRACE(json);
        TWaveData wave(frames, TPcmFormat(rate, channels, bytes));
        ASSERT_FALSE(wave.IsError());
        wave.Silence();
        SynthesisContext ctx;
        std::vector<std::int16_t> recording;
        if (pink) {
            recording = PinkRecording();
            ASSERT_FALSE(recording.empty());
            ctx.pink = recording;
            std::ofstream(m_dir / "pink.raw", std::ios::binary)
                .write(reinterpret_cast<const char*>(recording.data()),
                       static_cast<std::streamsize>(recording.size() * 2));
        }
        CrtSrand(1);
        routine(&wave, s, channel, amplitude, ctx);
        const std::string wav = (m_dir / "out.wav").string();
        ASSERT_TRUE(WriteSignalFile(wave, wav, 1, m_dir.string()));
        char head[256];
        std::snprintf(head, sizeof head, R"({"rate": %u, "bytes": %u, "frames": %u, "amp": %.17g, "channel": %u, )",
                      rate, bytes, frames, amplitude, channel);
        std::ofstream(m_dir / "case.json") << head << json << "}";
        const std::string cmd = s_python + " " + DURNEX_SOURCE_DIR "/tests/siggen/render_reference.py " +
                                (m_dir / "case.json").string() + " " + wav +
                                (pink ? " " + (m_dir / "pink.raw").string() : std::string());
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }

    static std::string s_python;
    fs::path m_dir;
};
std::string SynthesisReference::s_python;

} // namespace

TEST_F(SynthesisReference, TonesAndBurstsMatchTheirFormulas)
{
    SigGenChannelSettings s;
    Check(R"("type": "tone")", GenerateTone, s, 48000, 2, 9000, 1.0);
    Check(R"("type": "tone")", GenerateTone, s, 8000, 1, 3000, 0.5);

    for (SigGenTone& t : s.Tones.Tone)
        t.Enabled = 0;
    s.Tones.Tone[0] = {1, 440.25f, 0.0f, 1.0f, 30.0f};
    s.Tones.Tone[3] = {1, 3150.0f, -6.0f, 0.5011872f, -90.0f};
    s.Tones.Tone[7] = {2, 5000.0f, 0.0f, 1.0f, 0.0f}; // counted, but only rows of 1 sound
    Check(R"("type": "tones", "tones": [[1, 440.25, 1.0, 30.0], [1, 3150.0, 0.5011872, -90.0], [2, 5000.0, 1.0, 0.0]])",
          GenerateMultipleTones, s, 44100, 3, 6000, 0.7);

    s.ToneBurst = {1000, 20, 100};
    Check(R"("type": "toneburst", "freq": 1000, "burst": 20, "cycle": 100)", GenerateToneBurst, s, 48000, 2, 12000,
          1.0);

    s.ImdTones = {2, 60.0f, 7000.0f, 4.0f};
    Check(R"("type": "imd", "set": 2, "low": 60.0, "high": 7000.0, "ratio": 4.0)", GenerateImdTones, s, 48000, 4,
          5000, 1.0);
    s.ImdTones.ToneSet = 7; // unknown sets are set 0
    Check(R"("type": "imd", "set": 0)", GenerateImdTones, s, 48000, 2, 5000, 1.0);

    s.LevelSweep = {-40.0f, 0.0f, 1000.0f, 200};
    Check(R"("type": "levelsweep", "start": -40.0, "stop": 0.0, "freq": 1000.0, "time": 200)", GenerateLevelSweep,
          s, 50000, 2, 25000, 1.0);

    // One key of 5 ms at 44.1 kHz: the key counter (441 frames) and the on/off period (440)
    // run apart, and lower-case keys are upper-case ones.
    std::strcpy(s.Dtmf.Keys, "1b#");
    s.Dtmf.PulseMsec = 5;
    s.Dtmf.SpacingMsec = 5;
    s.Dtmf.TwistDb = -6.0f;
    Check(R"("type": "dtmf", "keys": "1b#", "pulse": 5, "gap": 5, "twist": -6.0)", GenerateDtmf, s, 44100, 2, 3000,
          1.0, false, 2, 1);
}

TEST_F(SynthesisReference, ShapedWaveformsMatchTheirFormulas)
{
    SigGenChannelSettings s;
    s.Sawtooth = {1, 300.0f};
    Check(R"("type": "sawtooth", "slope": 1, "freq": 300.0)", GenerateSawtooth, s, 48000, 2, 1000, 0.8);
    s.Sawtooth = {-1, 441.0f};
    Check(R"("type": "sawtooth", "slope": -1, "freq": 441.0)", GenerateSawtooth, s, 44100, 1, 1000, 1.0);
    s.Triangular.Frequency = 6857.0f; // a 7-frame period at 48 kHz
    Check(R"("type": "triangular", "freq": 6857.0)", GenerateTriangular, s, 48000, 3, 1000, 1.0);
    s.Square = {1000.0f, 25};
    Check(R"("type": "square", "freq": 1000.0, "duty": 25)", GenerateSquare, s, 48000, 2, 1000, 0.5);
    // Fractional periods (4.41 and 14.7 frames) run as cycles of the nearest whole lengths.
    s.Sawtooth = {-1, 10000.0f};
    Check(R"("type": "sawtooth", "slope": -1, "freq": 10000.0)", GenerateSawtooth, s, 44100, 2, 1000, 1.0);
    s.Triangular.Frequency = 3000.0f;
    Check(R"("type": "triangular", "freq": 3000.0)", GenerateTriangular, s, 44100, 2, 1000, 1.0);
    s.Square = {10000.0f, 30};
    Check(R"("type": "square", "freq": 10000.0, "duty": 30)", GenerateSquare, s, 44100, 2, 1000, 1.0);
    s.Pulse = {200, 1000, 0};
    Check(R"("type": "pulse", "width": 200, "interval": 1000)", GeneratePulse, s, 50000, 1, 1000, 1.0);
    Check(R"("type": "zero")", GenerateDigitalZero, s, 8000, 1, 500, 1.0);
}

TEST_F(SynthesisReference, NoiseMatchesTheSameGeneratorAndRecording)
{
    SigGenChannelSettings s;
    Check(R"("type": "white")", GenerateWhiteNoise, s, 48000, 2, 5000, 1.0);
    Check(R"("type": "white")", GenerateWhiteNoise, s, 8000, 1, 5000, 0.7);
    Check(R"("type": "pink")", GeneratePinkNoise, s, 44100, 2, 5000, 1.0, true);
    Check(R"("type": "pink")", GeneratePinkNoise, s, 44100, 1, 500, 0.5, true);
    s.NoiseBurst = {0, 10, 50};
    Check(R"("type": "noiseburst", "pink": false, "burst": 10, "cycle": 50)", GenerateWhiteNoiseBurst, s, 8000, 2,
          2000, 1.0);
    Check(R"("type": "noiseburst", "pink": true, "burst": 10, "cycle": 50)", GeneratePinkNoiseBurst, s, 8000, 3,
          2000, 1.0, true);
}

TEST_F(SynthesisReference, SweepsAndStepsMatchTheirFormulas)
{
    SigGenChannelSettings s;
    s.FreqSweep = {20.0f, 4000.0f, 100, 1, 0, 1};
    Check(R"("type": "sweep", "log": false, "start": 20.0, "stop": 4000.0, "time": 100, "back": true)",
          GenerateFreqSweep, s, 8000, 2, 4000, 1.0);
    // Downward logarithmic sweep with the end-frequency search, repeated.
    s.FreqSweep = {2000.0f, 100.0f, 250, 2, 0, 0};
    Check(R"("type": "sweep", "log": true, "start": 2000.0, "stop": 100.0, "time": 250, "back": false)",
          GenerateFreqSweep, s, 8000, 2, 5000, 1.0);
    s.FreqStep = {100.0f, 1000.0f, 100.0f, 3, 10, 1, 0, 0};
    Check(R"("type": "step", "octave": false, "start": 100.0, "stop": 1000.0, "step": 100.0, "dwell": 10, "back": false)",
          GenerateFreqStep, s, 8000, 2, 2000, 1.0);
    s.FreqStep = {1000.0f, 100.0f, 100.0f, 3, 5, 2, 0, 1};
    Check(R"("type": "step", "octave": true, "fraction": 3, "start": 1000.0, "stop": 100.0, "dwell": 5, "back": true)",
          GenerateFreqStep, s, 8000, 2, 1000, 1.0);
}
