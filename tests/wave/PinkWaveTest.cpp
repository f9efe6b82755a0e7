// The embedded pink-noise wave: what the maker script writes, in the stated format, and pink.
#include "numerics/TFft.h"
#include "support/NeedsTool.h"
#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace wavetest;

TEST(PinkWave, ResourceIsTheMakerScriptsWave)
{
    RegisterPinkWave();
    std::span<const std::uint8_t> bytes = FindResourceBytes("PinkWave", "PINKWAVE");
    ASSERT_FALSE(bytes.empty());
    // The source root from the environment, or from where this file was compiled.
    const char* env = std::getenv("DURNEX_SOURCE_DIR");
    std::string source = env ? env : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
    if (!std::filesystem::exists(source + "/tools/make_pinkwave.py") || !HaveTool("python3"))
        DURNEX_SKIP_WITHOUT("python3 and the source folder are needed");
    TempFolder dir;
    std::string out = dir.file("pink.wav");
    ASSERT_EQ(RunCommand("python3 " + source + "/tools/make_pinkwave.py " + out), 0);
    std::vector<std::uint8_t> script = ReadFile(out);
    ASSERT_EQ(script.size(), bytes.size());
    EXPECT_TRUE(std::equal(script.begin(), script.end(), bytes.begin()));
}

TEST(PinkWave, SixtySecondsOfSixteenBitMonoWithEqualPowerPerOctave)
{
    RegisterPinkWave();
    std::unique_ptr<TWaveFile> w(TWaveFile::FromResource("PinkWave", "PINKWAVE"));
    ASSERT_NE(w, nullptr);
    ASSERT_FALSE(w->IsError());
    EXPECT_EQ(w->GetSampleRate(), 44100u);
    EXPECT_EQ(w->GetChannels(), 1);
    EXPECT_EQ(w->GetBytesPerSample(), 2);
    ASSERT_EQ(w->GetEndFrame(), 2646000u);

    // Averaged power spectrum of 8192-sample blocks; pink noise has equal power per octave.
    const int n = 8192;
    std::vector<double> power(n / 2, 0.0);
    std::vector<float> block(2 * n);
    int blocks = 0;
    for (DWORD first = 0; first + n <= w->GetEndFrame(); first += n, ++blocks) {
        for (int i = 0; i < n; ++i) {
            double hann = 0.5 - 0.5 * std::cos(2 * 3.14159265358979 * i / n);
            block[2 * i] = static_cast<float>(w->GetSample(first + i, 0, false) * hann);
            block[2 * i + 1] = 0.0f;
        }
        ASSERT_TRUE(TFft::ComplexTransform(block.data(), n, +1));
        for (int k = 1; k < n / 2; ++k)
            power[k] += double(block[2 * k]) * block[2 * k] + double(block[2 * k + 1]) * block[2 * k + 1];
    }
    std::vector<double> octaves;
    for (double lo = 62.5; lo < 16000; lo *= 2) {
        double sum = 0;
        for (int k = 1; k < n / 2; ++k) {
            double f = k * 44100.0 / n;
            if (f >= lo && f < 2 * lo)
                sum += power[k];
        }
        octaves.push_back(10 * std::log10(sum / blocks));
    }
    for (std::size_t i = 1; i < octaves.size(); ++i)
        EXPECT_NEAR(octaves[i], octaves[0], 1.5) << "octave " << i;
    float hi = 0, lo = 0;
    w->GetRangeMinMax(0, w->GetEndFrame(), hi, lo, 0, false, true);
    EXPECT_GT(hi, 2000.0f) << "a usable level";
    EXPECT_LT(hi, 12000.0f) << "headroom below full scale";
}
