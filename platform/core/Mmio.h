// Multimedia file I/O: RIFF chunk reading and writing on files and on memory buffers, with
// the Windows mmio calls the wave code is written against. Numbers in chunk headers are
// little-endian. Chunk sizes read from a file are never trusted: a chunk whose stated size
// runs past the end of its parent or of the file is reported (MMIOERR_CHUNKPASTEND) with its
// header filled in, so the caller decides whether to salvage what is there.
// An HMMIO is used by one thread at a time.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstdint>
#include <cstdio>

using FOURCC = DWORD;
using MMRESULT = UINT;
using HPSTR = char*;
struct MmioFile;
using HMMIO = MmioFile*;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return static_cast<FOURCC>(static_cast<BYTE>(a)) | (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) | (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24);
}

constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr FOURCC FOURCC_DOS = mmioFOURCC('D', 'O', 'S', ' ');
constexpr FOURCC FOURCC_MEM = mmioFOURCC('M', 'E', 'M', ' ');

// Open flags.
constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_WRITE = 0x00000001;
constexpr DWORD MMIO_READWRITE = 0x00000002;
constexpr DWORD MMIO_EXCLUSIVE = 0x00000010;
constexpr DWORD MMIO_DENYWRITE = 0x00000020;
constexpr DWORD MMIO_DENYREAD = 0x00000030;
constexpr DWORD MMIO_DENYNONE = 0x00000040;
constexpr DWORD MMIO_CREATE = 0x00001000;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
// Descend flags.
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;
// Create-chunk flags.
constexpr UINT MMIO_CREATERIFF = 0x0020;
constexpr UINT MMIO_CREATELIST = 0x0040;
// MMCKINFO flag: the chunk was created and its size is written on ascent.
constexpr DWORD MMIO_DIRTY = 0x10000000;

// Results.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMIOERR_BASE = 256;
constexpr MMRESULT MMIOERR_FILENOTFOUND = MMIOERR_BASE + 1;
constexpr MMRESULT MMIOERR_OUTOFMEMORY = MMIOERR_BASE + 2;
constexpr MMRESULT MMIOERR_CANNOTOPEN = MMIOERR_BASE + 3;
constexpr MMRESULT MMIOERR_CANNOTCLOSE = MMIOERR_BASE + 4;
constexpr MMRESULT MMIOERR_CANNOTREAD = MMIOERR_BASE + 5;
constexpr MMRESULT MMIOERR_CANNOTWRITE = MMIOERR_BASE + 6;
constexpr MMRESULT MMIOERR_CANNOTSEEK = MMIOERR_BASE + 7;
constexpr MMRESULT MMIOERR_CANNOTEXPAND = MMIOERR_BASE + 8;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = MMIOERR_BASE + 9;
constexpr MMRESULT MMIOERR_UNBUFFERED = MMIOERR_BASE + 10;
// Our own: the chunk was found but its stated size runs past the end of its parent or file.
constexpr MMRESULT MMIOERR_CHUNKPASTEND = MMIOERR_BASE + 64;

struct MMCKINFO {
    FOURCC ckid = 0;
    DWORD cksize = 0;
    FOURCC fccType = 0;
    DWORD dwDataOffset = 0;
    DWORD dwFlags = 0;
};
using LPMMCKINFO = MMCKINFO*;

// Only the fields the wave code uses. For a memory file set fccIOProc = FOURCC_MEM,
// pchBuffer and cchBuffer; the buffer stays the caller's and is never grown.
struct MMIOINFO {
    DWORD dwFlags = 0;
    FOURCC fccIOProc = 0;
    void* pIOProc = nullptr;
    UINT wErrorRet = 0;
    LONG cchBuffer = 0;
    HPSTR pchBuffer = nullptr;
    DWORD adwInfo[3] = {0, 0, 0};
};
using LPMMIOINFO = MMIOINFO*;

// Opens a file (or a memory buffer, see MMIOINFO). Null on failure, with the reason in
// info->wErrorRet when info is given.
[[nodiscard]] HMMIO mmioOpenA(LPCSTR name, LPMMIOINFO info, DWORD flags);
// Closes and frees the handle; MMIOERR_CANNOTCLOSE when the file could not be closed cleanly.
MMRESULT mmioClose(HMMIO h, UINT flags = 0);
// Bytes read (fewer at the end), -1 on error.
[[nodiscard]] LONG mmioRead(HMMIO h, HPSTR buffer, LONG bytes);
// Bytes written, -1 on error (a memory buffer that is too small is an error).
[[nodiscard]] LONG mmioWrite(HMMIO h, const char* buffer, LONG bytes);
// New position, -1 on error. Origins are SEEK_SET, SEEK_CUR, SEEK_END.
[[nodiscard]] LONG mmioSeek(HMMIO h, LONG offset, int origin);
// The same with 64-bit offsets, for files past 2 GB.
std::int64_t mmioSeek64(HMMIO h, std::int64_t offset, int origin);
// Current size of the file or buffer in bytes, -1 on error.
std::int64_t mmioSize(HMMIO h);
// Cuts or extends a file to `bytes` (memory buffers keep their size); false on failure.
bool mmioSetSize(HMMIO h, std::int64_t bytes);

// Finds a chunk from the current position: with MMIO_FINDCHUNK the id in ck->ckid, with
// MMIO_FINDRIFF / MMIO_FINDLIST a RIFF / LIST chunk of form ck->fccType, with no flag the
// next chunk. The search stays within `parent` when given. On success the position is at the
// chunk's data (after the form type for RIFF and LIST).
[[nodiscard]] MMRESULT mmioDescend(HMMIO h, LPMMCKINFO ck, const MMCKINFO* parent, UINT flags);
// Leaves a chunk: a created (dirty) chunk gets its size written and a pad byte when odd;
// the position moves past the chunk and its pad byte.
[[nodiscard]] MMRESULT mmioAscend(HMMIO h, LPMMCKINFO ck, UINT flags);
// Writes a chunk header at the current position (with the form type for MMIO_CREATERIFF /
// MMIO_CREATELIST) and marks the chunk dirty.
[[nodiscard]] MMRESULT mmioCreateChunk(HMMIO h, LPMMCKINFO ck, UINT flags);
