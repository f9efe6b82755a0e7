// Segment operations on a file far larger than the pieces they move: a few hundred MB in the
// test's temporary folder, edited in place and checked frame by frame at sampled places.
#include "platform/core/FileSystem.h"
#include "wave/TWaveFile.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace wavetest;

namespace {

// 32-bit mono: every sample holds its own frame index, so moved data names its origin.
constexpr DWORD kFrames = 60 * 1024 * 1024; // 240 MB of samples

std::int32_t At(TWaveFile& w, DWORD frame)
{
    std::int32_t v = -1;
    EXPECT_TRUE(w.ReadSamples(&v, frame, 1, 0));
    return v;
}

} // namespace

TEST(LargeFile, CutUndoAndInsertOnAFileOfHundredsOfMegabytes)
{
    TempFolder dir;
    std::string path = dir.file("large.wav");
    TPcmFormat f(48000, 1, 4);
    {
        TWaveFile w(f, false, dir.path());
        ASSERT_FALSE(w.IsError());
        std::vector<std::int32_t> block(1 << 20);
        for (DWORD first = 0; first < kFrames; first += static_cast<DWORD>(block.size())) {
            for (std::size_t i = 0; i < block.size(); ++i)
                block[i] = static_cast<std::int32_t>(first + i);
            ASSERT_TRUE(w.WriteBytes(block.data(), static_cast<DWORD>(block.size() * 4)));
        }
        w.SetFileName(path);
        ASSERT_TRUE(w.Save());
    }
    ASSERT_EQ(GetFileSizeOf(path), 44 + static_cast<std::int64_t>(kFrames) * 4);

    std::mt19937 rng(7);
    auto spots = [&](DWORD end) {
        std::vector<DWORD> s = {0, 1, end - 1};
        for (int i = 0; i < 200; ++i)
            s.push_back(std::uniform_int_distribution<DWORD>(0, end - 1)(rng));
        return s;
    };
    const DWORD cutFirst = 1000, cutEnd = 1000 + 3 * 4096 + 5;
    const DWORD cut = cutEnd - cutFirst;
    {
        TWaveFile w(path, TWaveFile::kStreamed, false, dir.path());
        ASSERT_FALSE(w.IsError());
        HGLOBAL image = w.Cut(cutFirst, cutEnd);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(w.GetEndFrame(), kFrames - cut);
        for (DWORD s : spots(kFrames - cut))
            ASSERT_EQ(At(w, s), static_cast<std::int32_t>(s < cutFirst ? s : s + cut)) << s;

        w.Undo();
        ASSERT_EQ(w.GetEndFrame(), kFrames);
        for (DWORD s : spots(kFrames))
            ASSERT_EQ(At(w, s), static_cast<std::int32_t>(s)) << s;

        // The cut frames pasted in near the end; undo takes them out again.
        ASSERT_TRUE(w.PasteInsert({static_cast<const std::uint8_t*>(GlobalLock(image)), GlobalSize(image)},
                                  kFrames - 10));
        GlobalUnlock(image);
        GlobalFree(image);
        ASSERT_EQ(w.GetEndFrame(), kFrames + cut);
        EXPECT_EQ(At(w, kFrames - 10), static_cast<std::int32_t>(cutFirst));
        EXPECT_EQ(At(w, kFrames - 10 + cut), static_cast<std::int32_t>(kFrames - 10));
        w.Undo();
        ASSERT_TRUE(w.Save());
    }
    ASSERT_EQ(GetFileSizeOf(path), 44 + static_cast<std::int64_t>(kFrames) * 4);
    TWaveFile check(path, TWaveFile::kStreamed, false, dir.path());
    for (DWORD s : spots(kFrames))
        ASSERT_EQ(At(check, s), static_cast<std::int32_t>(s)) << s;
}
