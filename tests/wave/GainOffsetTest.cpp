// Gain, DC offset and dynamic DC offset of a selected range, against closed forms and a
// direct evaluation of the running mean; the files read back with Python's wave module.
#include "ImportExportSupport.h"
#include "support/ScriptedUser.h"
#include "wave/GainOffset.h"
#include "wave/TWaveFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace wavetest;

namespace {

using V = std::vector<long long>;

class GainOffset : public ::testing::TestWithParam<WORD> {
protected:
    TempFolder dir;
    int files = 0;

    std::unique_ptr<TWaveFile> Open(const V& samples, int rate = 8000, int width = 2, int channels = 1)
    {
        std::string path = dir.file("w" + std::to_string(++files) + ".wav");
        EXPECT_TRUE(WritePyWave(path, rate, width, channels, samples));
        auto file = std::make_unique<TWaveFile>(path, GetParam(), false, dir.path());
        EXPECT_FALSE(file->IsError());
        return file;
    }

    // Saves and reads the file back with Python.
    V Saved(TWaveFile& file)
    {
        EXPECT_TRUE(file.Save());
        return ReadPyWave(file.GetFileName()).samples;
    }
};

V Ramp(long long from, long long step, int n)
{
    V v;
    for (int i = 0; i < n; ++i)
        v.push_back(from + step * i);
    return v;
}

TEST_P(GainOffset, ZeroDecibelsLeavesEverySampleAlone)
{
    ScriptedUser user;
    V samples = {-1, -2, -3, -100, -32766, 0, 1, 32766, -12345};
    auto file = Open(samples);
    EXPECT_EQ(ApplyGain(*file, 0, 9, 0, 0.0f), SampleEditResult::Done);
    EXPECT_TRUE(file->IsModified());
    EXPECT_TRUE(file->IsUndoAvailable());
    EXPECT_EQ(Saved(*file), samples);
    // A sample already at the limit reaches it: the question comes, and Yes still changes nothing.
    samples.push_back(-32767);
    auto limit = Open(samples);
    user.ExpectBox(IDYES, "exceed the sampling range");
    EXPECT_EQ(ApplyGain(*limit, 0, 10, 0, 0.0f), SampleEditResult::Done);
    EXPECT_EQ(Saved(*limit), samples);
}

TEST_P(GainOffset, GainRoundsToTheNearestValue)
{
    ScriptedUser user;
    V samples = Ramp(-3000, 97, 61);
    auto file = Open(samples);
    // Only frames 10..49 change.
    EXPECT_EQ(ApplyGain(*file, 10, 50, 0, 6.0f), SampleEditResult::Done);
    V out = Saved(*file);
    ASSERT_EQ(out.size(), samples.size());
    const double factor = std::pow(10.0, 6.0 / 20.0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        long long expected = (i >= 10 && i < 50) ? std::llround(samples[i] * factor) : samples[i];
        EXPECT_EQ(out[i], expected) << "frame " << i;
    }
}

TEST_P(GainOffset, ClippingIsAskedOnceThenLimited)
{
    {
        ScriptedUser user;
        user.ExpectBox(IDYES, "Applying the gain to the selected data will exceed the sampling range");
        auto file = Open({1000, 20000, -20000, 30000, -5});
        EXPECT_EQ(ApplyGain(*file, 0, 5, 0, 6.0f), SampleEditResult::Done);
        EXPECT_EQ(Saved(*file), (V{1995, 32767, -32767, 32767, -10}));
    }
    {
        ScriptedUser user;
        user.ExpectBox(IDNO, "result in clipping.  Do you want to continue?");
        V samples = {1000, 20000, -20000};
        auto file = Open(samples);
        EXPECT_EQ(ApplyGain(*file, 0, 3, 0, 6.0f), SampleEditResult::Refused);
        EXPECT_EQ(Saved(*file), samples);
        // The undo image stays; undo gives back the same samples.
        EXPECT_TRUE(file->IsUndoAvailable());
    }
}

TEST_P(GainOffset, DcOffsetInPercentOrCalibratedUnits)
{
    ScriptedUser user;
    ChannelCalibration none;
    none.Clear();
    auto file = Open({0, -100, 100, -3277});
    // 10 percent of full scale adds 3276.7 before rounding.
    EXPECT_EQ(ApplyDcOffset(*file, 0, 4, 0, 10.0f, none), SampleEditResult::Done);
    EXPECT_EQ(Saved(*file), (V{3277, 3177, 3377, 0}));

    ChannelCalibration volts;
    volts.Clear();
    volts.IsEnabled = 1;
    volts.CalRatio = 2.0f; // 2 V at full scale: 1 V is half of full scale
    EXPECT_DOUBLE_EQ(DcOffsetInSampleUnits(-1.0f, file->GetFormat(), volts), -16383.5);
    EXPECT_EQ(ApplyDcOffset(*file, 1, 3, 0, -1.0f, volts), SampleEditResult::Done);
    EXPECT_EQ(Saved(*file), (V{3277, 3177 - 16383, 3377 - 16383, 0}));

    user.ExpectBox(IDYES, "Applying the DC Offset to the selected data will exceed");
    EXPECT_EQ(ApplyDcOffset(*file, 0, 4, 0, 95.0f, none), SampleEditResult::Done);
    EXPECT_EQ(Saved(*file).front(), 32767);
}

// The running mean as defined: for every interval-th sample the mean of the next W
// original samples, positions past the range counting as 0.
V DirectDynamicDc(const V& x, std::size_t w, std::size_t interval)
{
    V out(x.size());
    float mean = 0.0f;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (i % interval == 0) {
            double sum = 0.0;
            for (std::size_t k = 0; k < w; ++k)
                sum += i + k < x.size() ? static_cast<double>(x[i + k]) : 0.0;
            mean = static_cast<float>(sum / static_cast<double>(w));
        }
        out[i] = static_cast<long long>(std::trunc(static_cast<double>(x[i]) - mean));
    }
    return out;
}

TEST_P(GainOffset, DynamicDcOffsetFollowsTheForwardMean)
{
    ScriptedUser user;
    V samples;
    for (int i = 0; i < 450; ++i)
        samples.push_back(1000 + static_cast<long long>(300 * std::sin(i * 0.3)) + (i % 7) * 11 - i);
    EXPECT_EQ(DynamicDcWindowLength(1000, 10.0f), 100u);
    for (int interval : {1, 100, 7}) {
        auto file = Open(samples, 1000);
        EXPECT_EQ(ApplyDynamicDcOffset(*file, 0, 450, 0, 10.0f, interval), SampleEditResult::Done);
        EXPECT_EQ(Saved(*file), DirectDynamicDc(samples, 100, static_cast<std::size_t>(interval)))
            << "interval " << interval;
    }
    // A constant signal: zero wherever the window is full, the constant x (1 - real/W) near the end.
    auto file = Open(V(300, 1000), 1000);
    EXPECT_EQ(ApplyDynamicDcOffset(*file, 0, 300, 0, 10.0f, 1), SampleEditResult::Done);
    V out = Saved(*file);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[200], 0);
    EXPECT_EQ(out[250], 1000 - 500);
    EXPECT_EQ(out[299], 1000 - 10);
}

TEST_P(GainOffset, EscapeLeavesTheFileAsItWas)
{
    ScriptedUser user;
    V samples = Ramp(1, 1, 5000);
    auto file = Open(samples);
    int calls = 0;
    auto result = ApplyGain(*file, 0, 5000, 0, 6.0f, [&](int percent) {
        ++calls;
        return percent < 50;
    });
    EXPECT_EQ(result, SampleEditResult::Stopped);
    EXPECT_GT(calls, 0);
    EXPECT_FALSE(file->IsModified());
    EXPECT_EQ(Saved(*file), samples); // no sample half-way changed
}

TEST_P(GainOffset, EmptyRangeChangesNothing)
{
    ScriptedUser user;
    auto file = Open({5, 6, 7});
    EXPECT_EQ(ApplyGain(*file, 2, 2, 0, 6.0f), SampleEditResult::Unchanged);
    EXPECT_EQ(ApplyGain(*file, 3, 1, 0, 6.0f), SampleEditResult::Unchanged);
    EXPECT_EQ(ApplyDynamicDcOffset(*file, 3, 9, 0, 10.0f, 1), SampleEditResult::Unchanged);
    EXPECT_FALSE(file->IsUndoAvailable());
    EXPECT_FALSE(file->IsModified());
}

TEST_P(GainOffset, OtherChannelAndWidthsUntouched)
{
    ScriptedUser user;
    // Stereo 24-bit: only the right channel changes.
    auto file = Open({100, -100, 200, -200, -8388000, 8388000}, 8000, 3, 2);
    user.ExpectBox(IDYES);
    EXPECT_EQ(ApplyGain(*file, 0, 3, 1, 20.0f), SampleEditResult::Done);
    EXPECT_EQ(Saved(*file), (V{100, -1000, 200, -2000, -8388000, 8388607}));
}

TEST_P(GainOffset, UndoPutsTheRangeBack)
{
    ScriptedUser user;
    V samples = {-7, -8, 9, 10};
    auto file = Open(samples);
    ASSERT_EQ(ApplyDcOffset(*file, 1, 3, 0, 1.0f, ChannelCalibration()), SampleEditResult::Done);
    file->Undo();
    EXPECT_EQ(Saved(*file), samples);
}

INSTANTIATE_TEST_SUITE_P(Modes, GainOffset, ::testing::Values(TWaveFile::kMemory, TWaveFile::kStreamed),
                         [](const auto& info) { return info.param == TWaveFile::kMemory ? "Memory" : "Streamed"; });

TEST(GainOffsetDialogs, EntriesAndPrompts)
{
    float gain = 99.0f;
    EXPECT_EQ(CheckGainEntry("2.9", &gain), "");
    EXPECT_EQ(gain, 2.0f);
    EXPECT_EQ(CheckGainEntry("-0.5", &gain), "");
    EXPECT_EQ(gain, 0.0f);
    EXPECT_FALSE(std::signbit(gain));
    EXPECT_EQ(CheckGainEntry("-60.9", &gain), "");
    EXPECT_EQ(gain, -60.0f);
    EXPECT_EQ(CheckGainEntry("61", &gain), "Gain must be between -60 and +60 dB");
    EXPECT_EQ(gain, -60.0f);

    float offset = 0.0f;
    EXPECT_EQ(CheckDcOffsetEntry("0", &offset), "DC Offset cannot be zero");
    EXPECT_EQ(CheckDcOffsetEntry("abc", &offset), "DC Offset cannot be zero");
    EXPECT_EQ(CheckDcOffsetEntry("-1.25", &offset), "");
    EXPECT_EQ(offset, -1.25f);

    float cutoff = 0.0f;
    std::int32_t interval = 0;
    EXPECT_EQ(CheckDynamicDcEntries("0.1", "1000", &cutoff, &interval), "");
    EXPECT_EQ(interval, 1000);
    EXPECT_EQ(CheckDynamicDcEntries("500", "1", &cutoff, &interval), "");
    EXPECT_EQ(cutoff, 500.0f);
    const std::string cutoffText = "The Cutoff Frequency must be greater than 0.1 Hz and less than 500 Hz.";
    const std::string intervalText = "The Recalculation Interval must be greater than 0 and less than 1000";
    EXPECT_EQ(CheckDynamicDcEntries("0.09", "5", &cutoff, &interval), cutoffText);
    EXPECT_EQ(CheckDynamicDcEntries("500.1", "5", &cutoff, &interval), cutoffText);
    EXPECT_EQ(CheckDynamicDcEntries("10", "1001", &cutoff, &interval), intervalText);
    EXPECT_EQ(CheckDynamicDcEntries("10", "0", &cutoff, &interval), intervalText);

    ChannelCalibration cal;
    cal.Clear();
    EXPECT_STREQ(DcOffsetPrompt(cal), "Enter offset value in \"Percent Full Scale\"");
    cal.IsEnabled = 1;
    const std::pair<DWORD, const char*> prompts[] = {
        {0, "Volts"}, {7, "Volts"}, {1, "Millivolts"}, {6, "Millivolts"}, {3, "Acceleration (G)"},
        {9, "Pressure (psi)"}, {2, "Pascals (PA)"}, {11, "Pascals (PA)"}};
    for (auto [units, name] : prompts) {
        cal.RefUnits = units;
        EXPECT_EQ(DcOffsetPrompt(cal), "Enter DC offset value in \"" + std::string(name) + "\"") << units;
    }
    cal.RefUnits = 13;
    EXPECT_STREQ(DcOffsetPrompt(cal), "Enter offset value in \"Percent Full Scale\"");

    // Windows never shorter than one sample; the cutoff is at least 0.1 Hz.
    EXPECT_EQ(DynamicDcWindowLength(100, 200.0f), 1u);
    EXPECT_EQ(DynamicDcWindowLength(48000, 0.0f), 480000u);

    GainOffsetValues& remembered = RememberedGainOffsetValues();
    EXPECT_EQ(&remembered, &RememberedGainOffsetValues());
}

} // namespace
