// RIFF chunk I/O, global memory blocks and file operations of the platform layer.
#include "platform/core/FileSystem.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/Mmio.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

// Allocation failures are part of what is tested: let the sanitizer's allocator return null.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

using namespace wavetest;

namespace {

HMMIO OpenMemory(std::vector<std::uint8_t>& bytes, DWORD flags = MMIO_READ)
{
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = reinterpret_cast<HPSTR>(bytes.data());
    info.cchBuffer = static_cast<LONG>(bytes.size());
    return mmioOpenA(nullptr, &info, flags);
}

} // namespace

TEST(Mmio, DescendFindsChunksByIdInsideTheirParentAndSkipsPadBytes)
{
    std::vector<std::uint8_t> body;
    PutChunk(body, "odd1", {1, 2, 3}); // odd size: a pad byte follows
    PutChunk(body, "next", {9, 8});
    std::vector<std::uint8_t> file = Riff(body);
    PutChunk(file, "tail", {7, 7, 7, 7}); // top level, after the RIFF chunk
    HMMIO h = OpenMemory(file);
    ASSERT_NE(h, nullptr);

    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), 12);

    MMCKINFO ck{};
    ck.ckid = mmioFOURCC('n', 'e', 'x', 't');
    ASSERT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, 2u);
    char two[2];
    EXPECT_EQ(mmioRead(h, two, 2), 2);
    EXPECT_EQ(two[0], 9);

    // A chunk outside the parent is not found from within it.
    EXPECT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    MMCKINFO tail{};
    tail.ckid = mmioFOURCC('t', 'a', 'i', 'l');
    EXPECT_EQ(mmioDescend(h, &tail, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    // ... but at the top level, past the RIFF chunk.
    EXPECT_EQ(mmioSeek(h, 0, SEEK_SET), 0);
    EXPECT_EQ(mmioDescend(h, &tail, nullptr, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioClose(h), MMSYSERR_NOERROR);
}

TEST(Mmio, ChunkSizesPastTheEndAreReportedNotTrusted)
{
    std::vector<std::uint8_t> body;
    PutChunk(body, "huge", {1, 2, 3, 4}, 0x7FFFFFF0);
    std::vector<std::uint8_t> file = Riff(body, 0xFFFFFFFF);
    HMMIO h = OpenMemory(file);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    EXPECT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKPASTEND);
    MMCKINFO ck{};
    ck.ckid = mmioFOURCC('h', 'u', 'g', 'e');
    EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKPASTEND);
    EXPECT_EQ(ck.cksize, 0x7FFFFFF0u);
    // Searching past it finds nothing rather than wandering off.
    EXPECT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    MMCKINFO other{};
    other.ckid = mmioFOURCC('n', 'o', 'n', 'e');
    EXPECT_EQ(mmioDescend(h, &other, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    // A header cut short is not a chunk.
    std::vector<std::uint8_t> stub = {'R', 'I', 'F'};
    HMMIO s = OpenMemory(stub);
    MMCKINFO any{};
    EXPECT_EQ(mmioDescend(s, &any, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
    mmioClose(s);
    mmioClose(h);
}

TEST(Mmio, CreatedChunksGetTheirSizeAndPadByteOnAscent)
{
    TempFolder dir;
    std::string path = dir.file("chunks.riff");
    HMMIO h = mmioOpenA(path.c_str(), nullptr, MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioCreateChunk(h, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    MMCKINFO ck{};
    ck.ckid = mmioFOURCC('a', 'b', 'c', 'd');
    ASSERT_EQ(mmioCreateChunk(h, &ck, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "xyz", 3), 3);
    ASSERT_EQ(mmioAscend(h, &ck, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ck.cksize, 3u);
    ASSERT_EQ(mmioAscend(h, &riff, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioClose(h), MMSYSERR_NOERROR);

    std::vector<std::uint8_t> bytes = ReadFile(path);
    std::vector<std::uint8_t> expected = {'R', 'I', 'F', 'F', 16, 0, 0, 0, 'T', 'E', 'S', 'T',
                                          'a', 'b', 'c', 'd', 3,  0, 0, 0, 'x', 'y', 'z', 0};
    EXPECT_EQ(bytes, expected);
}

TEST(Mmio, MemoryFilesNeverWritePastTheirBufferAndMissingFilesFailToOpen)
{
    std::vector<std::uint8_t> buffer(6, 0);
    HMMIO h = OpenMemory(buffer, MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(mmioWrite(h, "12345678", 8), -1);
    EXPECT_EQ(mmioWrite(h, "1234", 4), 4);
    EXPECT_EQ(mmioSeek(h, 0, SEEK_END), 6);
    char out[8];
    EXPECT_EQ(mmioRead(h, out, 8), 0);
    mmioClose(h);
    MMIOINFO info{};
    EXPECT_EQ(mmioOpenA("/nonexistent/folder/x.wav", &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
}

TEST(GlobalMemory, BlocksAreZeroedGrowKeepingTheirBytesAndFailWithoutThrowing)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
    ASSERT_NE(h, nullptr);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(p[i], 0);
    std::memset(p, 0xAB, 16);
    GlobalUnlock(h);
    ASSERT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    EXPECT_EQ(GlobalSize(h), 1u << 20);
    p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(p[15], 0xAB);
    EXPECT_EQ(p[16], 0);
    EXPECT_EQ(p[(1 << 20) - 1], 0);
    GlobalUnlock(h);
    // A request no machine can meet returns null and leaves the block as it was.
    EXPECT_EQ(GlobalReAlloc(h, static_cast<SIZE_T>(1) << 62, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GlobalSize(h), 1u << 20);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(1) << 62), nullptr);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(FileSystem, TemporaryNamesAreUniqueNewFilesWithTheWavPrefix)
{
    TempFolder dir;
    std::string a = MakeTempFile(dir.path(), "wav");
    std::string b = MakeTempFile(dir.path(), "wavefile");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(FileExists(a));
    EXPECT_EQ(std::filesystem::path(a).filename().string().rfind("wav", 0), 0u);
    EXPECT_EQ(std::filesystem::path(a).parent_path().string(), dir.path());
    EXPECT_TRUE(MakeTempFile(dir.file("missing-folder"), "wav").empty());
}

TEST(FileSystem, MoveFallsBackToCopyAcrossFileSystems)
{
    // /dev/shm is a separate tmpfs on Linux; without it the fallback cannot be exercised.
    if (!FolderExists("/dev/shm"))
        GTEST_SKIP() << "no second file system";
    TempFolder dir;
    std::string from = MakeTempFile("/dev/shm", "wav");
    ASSERT_FALSE(from.empty());
    WriteFile(from, {1, 2, 3, 4, 5});
    std::string to = dir.file("moved.wav");
    WriteFile(to, {9});
    ASSERT_TRUE(MoveFileA(from.c_str(), to.c_str()));
    EXPECT_FALSE(FileExists(from));
    EXPECT_EQ(ReadFile(to), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(dir.count(), 1u) << "no temporary copy left beside the target";

    EXPECT_FALSE(CopyFileA(to.c_str(), to.c_str(), TRUE));
    EXPECT_FALSE(MoveFileA(dir.file("absent").c_str(), to.c_str()));
    EXPECT_EQ(GetFileSizeOf(to), 5);
    EXPECT_TRUE(DeleteFileA(to.c_str()));
    EXPECT_FALSE(DeleteFileA(to.c_str()));
    EXPECT_EQ(GetFileSizeOf(to), -1);
}
