// The channels' processing objects built from their records: an input channel's block, window
// and engine follow its FFT size and decimation, and a composite channel builds just the
// engines its type computes, with its labels and its members' averaging.
#include "app/TChannelProcessing.h"

#include "dsp/SpectralData.h"
#include "numerics/TSmoothing.h"
#include "wave/TSampleBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// A full-scale 500 Hz sine at 4000 samples/s, in 24-bit steps.
std::vector<int> Sine(DWORD count)
{
    std::vector<int> samples(count);
    for (DWORD i = 0; i < count; ++i)
        samples[i] = int(std::lround(8388607.0 * std::sin(2.0 * M_PI * 500.0 * i / 4000.0)));
    return samples;
}

} // namespace

TEST(ChannelProcessing, AChannelIsBuiltFromItsRecordsAndAnalysesABlock)
{
    FrameSettings settings;
    ChannelProcessingSettings& p = settings.Processing[2];
    p.SampleFormat.Set(4000, 1, 3);
    p.FFTsize = 512;
    p.DecimationRatio = 2;
    TChannelProcessing channel(settings, 2);
    EXPECT_EQ(channel.Buffer(), nullptr);
    EXPECT_EQ(channel.BlockLength(), 1024u);
    channel.Rebuild();
    ASSERT_NE(channel.Buffer(), nullptr);
    ASSERT_NE(channel.Window(), nullptr);
    ASSERT_NE(channel.Engine(), nullptr);
    EXPECT_GE(channel.Buffer()->GetCount(), 1024u); // with room for the low-pass filter
    EXPECT_EQ(channel.Window()->GetLength(), 512u);
    EXPECT_EQ(channel.Engine()->GetFftSize(), 512);
    // The records, not the objects, say how long a block is: a damaged ratio of 0 reads as 1.
    p.DecimationRatio = 0;
    EXPECT_EQ(channel.BlockLength(), 512u);
    p.DecimationRatio = 2;

    // A block decimated by 2 holds the sine at an effective 2000 samples/s: its peak stays at 500 Hz.
    const std::vector<int> block = Sine(1024);
    ASSERT_TRUE(channel.StoreBlock(block.data()));
    ASSERT_TRUE(channel.Analyze(0.0f));
    EXPECT_NEAR(channel.Engine()->GetPeakFrequency(), 500.0f, 2000.0f / 512);
    EXPECT_EQ(channel.Engine()->GetAverageCount(), 1);

    channel.Clear();
    EXPECT_EQ(channel.Engine(), nullptr);
    EXPECT_FALSE(channel.Analyze(0.0f));
    EXPECT_FALSE(channel.StoreBlock(block.data()));
}

TEST(ChannelProcessing, ACompositeBuildsTheEnginesItsTypeComputes)
{
    FrameSettings settings;
    for (ChannelProcessingSettings& p : settings.Processing) {
        p.SampleFormat.Set(4000, 1, 3);
        p.FFTsize = 256;
        p.DecimationRatio = 1;
    }
    CompositeChannelSettings& c = settings.Composite[1];
    TCompositeProcessing composite(settings, 1);
    const auto built = [&composite] {
        std::string kinds;
        for (SpectralData* e : composite.Engines())
            kinds += e != nullptr ? '1' : '0';
        return kinds;
    };

    c.bIsEnabled = 0;
    c.CompositeType = 3;
    c.ReferenceChannel = 4;
    c.TransferChannel = 6;
    composite.Rebuild(nullptr);
    EXPECT_EQ(built(), "0000"); // disabled
    EXPECT_EQ(composite.SourceChannel(), 6);

    c.bIsEnabled = 1;
    std::snprintf(c.ChannelName, sizeof c.ChannelName, "%s", "Ch B");
    composite.Rebuild(nullptr);
    EXPECT_EQ(built(), "1111");
    EXPECT_STREQ(composite.Get(TCompositeProcessing::kResult)->GetUnitsLabel(), "Ch B");
    EXPECT_STREQ(composite.Get(TCompositeProcessing::kCoherence)->GetUnitsLabel(), "Coherence");

    c.CompositeType = 4;
    composite.Rebuild(nullptr);
    EXPECT_EQ(built(), "1110");

    // A stored channel past the eighth builds nothing, and the source falls back to channel 0.
    c.TransferChannel = 9;
    composite.Rebuild(nullptr);
    EXPECT_EQ(built(), "0000");
    EXPECT_EQ(composite.SourceChannel(), 0);

    // A sum takes its lowest included channel's records and averaging.
    c.CompositeType = 0;
    c.IncludeInAverage[3] = c.IncludeInAverage[5] = 1;
    settings.Processing[3].AverageBlocks = 7;
    TChannelProcessing three(settings, 3);
    three.Rebuild();
    three.Engine()->SetAveraging(1, 11); // as the tool window's averaging list sets it
    EXPECT_EQ(composite.SourceChannel(), 3);
    composite.Rebuild(three.Engine());
    EXPECT_EQ(built(), "0010");
    EXPECT_EQ(composite.Get(TCompositeProcessing::kResult)->GetAverageBlocks(), 11.0f);
    composite.Clear();
    EXPECT_EQ(built(), "0000");
}
