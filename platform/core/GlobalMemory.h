// Movable global memory blocks: the Windows GlobalAlloc family over the C heap.
// A handle stays valid across GlobalReAlloc; the data may move, so it is reached through
// GlobalLock. Allocation failure returns null and never throws. Any thread may use a block,
// but one block is not to be used from two threads at once.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstddef>

using SIZE_T = std::size_t;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_MODIFY = 0x0080;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_SHARE = GMEM_DDESHARE;

// A new block of `bytes` bytes (zeroed with GMEM_ZEROINIT), or null when memory is short.
// A size of 0 gives a valid handle to an empty block.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Resizes the block; with GMEM_ZEROINIT the added bytes are zero. Returns the handle, or null
// on failure, leaving the block as it was.
HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);
// The block's data (null for an empty or invalid block); counts the lock.
void* GlobalLock(HGLOBAL block);
// Releases one lock; returns TRUE while locks remain.
BOOL GlobalUnlock(HGLOBAL block);
// Frees the block; returns null on success, the handle when it was not a valid block.
HGLOBAL GlobalFree(HGLOBAL block);
// Size in bytes, 0 for an invalid handle.
SIZE_T GlobalSize(HGLOBAL block);
// Flags of the block (lock count in the low byte), GMEM_INVALID_HANDLE for a bad handle.
constexpr UINT GMEM_INVALID_HANDLE = 0x8000;
UINT GlobalFlags(HGLOBAL block);
