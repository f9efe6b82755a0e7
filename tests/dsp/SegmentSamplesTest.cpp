// Reading and writing one channel of a wave as numbers relative to the zero value.
#include "dsp/SegmentSamples.h"

#include "wave/TWaveData.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

TEST(SegmentSamples, ReadsRelativeToZeroAndPastTheEndAsSilence)
{
    const TPcmFormat u8(8000, 1, 1);
    TWaveData w(10, u8);
    for (DWORD i = 0; i < 10; ++i)
        EXPECT_TRUE(w.SetSample(static_cast<std::int32_t>(100 + i), i, 0));
    std::vector<double> out(6, -1.0);
    ASSERT_TRUE(ReadSegmentSamples(w, 7, 0, out));
    EXPECT_EQ(out, (std::vector<double>{107 - 127, 108 - 127, 109 - 127, 0, 0, 0}));
    EXPECT_FALSE(ReadSegmentSamples(w, 10, 0, out));
    EXPECT_EQ(out, std::vector<double>(6, 0.0));
}

TEST(SegmentSamples, WritesClipToTheFormat)
{
    for (WORD bytes : {1, 2, 3}) {
        const TPcmFormat f(8000, 2, bytes);
        TWaveData w(4, f);
        const double big = f.MaxValue * 4.0;
        const std::vector<double> values{big, -big, 12.7, -12.7};
        ASSERT_TRUE(WriteSegmentSamples(w, 0, 1, values));
        std::vector<double> back(4);
        ASSERT_TRUE(ReadSegmentSamples(w, 0, 1, back));
        EXPECT_EQ(back[0], f.MaxValue - f.ZeroValue) << bytes;
        EXPECT_EQ(back[1], f.MinValue - f.ZeroValue) << bytes;
        EXPECT_EQ(back[2], 12.0) << bytes; // truncated toward zero
        EXPECT_EQ(back[3], -12.0) << bytes;
        // The other channel is untouched.
        std::vector<double> other(4, 1.0);
        ReadSegmentSamples(w, 0, 0, other);
        EXPECT_EQ(other, std::vector<double>(4, f.BytesPerSample == 1 ? -127.0 : 0.0)) << bytes;
    }
}

TEST(SegmentSamples, NonFiniteValuesWriteAsSilenceOrTheLimits)
{
    for (WORD bytes : {1, 2, 3, 4}) {
        const TPcmFormat f(8000, 1, bytes);
        TWaveData w(3, f);
        const double inf = std::numeric_limits<double>::infinity();
        const std::vector<double> values{std::numeric_limits<double>::quiet_NaN(), inf, -inf};
        ASSERT_TRUE(WriteSegmentSamples(w, 0, 0, values));
        std::vector<double> back(3);
        ASSERT_TRUE(ReadSegmentSamples(w, 0, 0, back));
        EXPECT_EQ(back[0], 0.0) << bytes;
        EXPECT_EQ(back[1], f.MaxValue - f.ZeroValue) << bytes;
        EXPECT_EQ(back[2], f.MinValue - f.ZeroValue) << bytes;
    }
}

TEST(SegmentSamples, FourByteRoundTrip)
{
    const TPcmFormat f(8000, 1, 4);
    std::uint8_t b[4];
    for (std::int32_t v : {0, 1, -1, 2147483647, -2147483647, 123456789}) {
        EncodeSample(f, v, b);
        EXPECT_EQ(DecodeSample(f, b), v);
    }
}
