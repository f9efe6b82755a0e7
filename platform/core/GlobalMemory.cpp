#include "platform/core/GlobalMemory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint32_t kMagic = 0x474D454Du; // "GMEM"

struct Block {
    std::uint32_t magic = kMagic;
    UINT flags = 0;
    UINT locks = 0;
    SIZE_T size = 0;
    void* data = nullptr;
};

Block* AsBlock(HGLOBAL h)
{
    auto* b = static_cast<Block*>(h);
    if (b == nullptr || b->magic != kMagic)
        return nullptr;
    return b;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block)));
    if (b == nullptr)
        return nullptr;
    b->magic = kMagic;
    b->flags = flags & (GMEM_MOVEABLE | GMEM_DDESHARE);
    b->locks = 0;
    b->size = bytes;
    b->data = nullptr;
    if (bytes > 0) {
        b->data = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes) : std::malloc(bytes);
        if (b->data == nullptr) {
            b->magic = 0;
            std::free(b);
            return nullptr;
        }
    }
    return b;
}

HGLOBAL GlobalReAlloc(HGLOBAL h, SIZE_T bytes, UINT flags)
{
    Block* b = AsBlock(h);
    if (b == nullptr)
        return nullptr;
    if (flags & GMEM_MODIFY) {
        b->flags = (b->flags & ~GMEM_MOVEABLE) | (flags & GMEM_MOVEABLE);
        return h;
    }
    if (bytes == 0) {
        std::free(b->data);
        b->data = nullptr;
        b->size = 0;
        return h;
    }
    void* grown = std::realloc(b->data, bytes);
    if (grown == nullptr)
        return nullptr;
    if ((flags & GMEM_ZEROINIT) && bytes > b->size)
        std::memset(static_cast<char*>(grown) + b->size, 0, bytes - b->size);
    b->data = grown;
    b->size = bytes;
    return h;
}

void* GlobalLock(HGLOBAL h)
{
    Block* b = AsBlock(h);
    if (b == nullptr)
        return nullptr;
    if (b->locks < 0xFF)
        ++b->locks;
    return b->data;
}

BOOL GlobalUnlock(HGLOBAL h)
{
    Block* b = AsBlock(h);
    if (b == nullptr || b->locks == 0)
        return FALSE;
    --b->locks;
    return b->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL h)
{
    if (h == nullptr)
        return nullptr;
    Block* b = AsBlock(h);
    if (b == nullptr)
        return h;
    std::free(b->data);
    b->magic = 0;
    b->data = nullptr;
    std::free(b);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL h)
{
    Block* b = AsBlock(h);
    return b ? b->size : 0;
}

UINT GlobalFlags(HGLOBAL h)
{
    Block* b = AsBlock(h);
    if (b == nullptr)
        return GMEM_INVALID_HANDLE;
    return (b->flags & ~0xFFu) | (b->locks & 0xFFu);
}
