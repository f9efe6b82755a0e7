#include "platform/core/Mmio.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct MmioFile {
    int fd = -1;
    bool memory = false;
    bool writable = false;
    char* buffer = nullptr; // memory files: the caller's buffer
    std::int64_t memSize = 0;
    std::int64_t pos = 0;
};

namespace {

constexpr LONG kMaxLong = 0x7FFFFFFF;

void PutLe32(unsigned char* p, DWORD v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

DWORD GetLe32(const unsigned char* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

std::int64_t ReadAt(HMMIO h, void* dst, std::int64_t n)
{
    if (n <= 0)
        return 0;
    if (h->memory) {
        std::int64_t avail = h->memSize - h->pos;
        if (avail <= 0)
            return 0;
        if (n > avail)
            n = avail;
        std::memcpy(dst, h->buffer + h->pos, static_cast<std::size_t>(n));
        h->pos += n;
        return n;
    }
    std::int64_t done = 0;
    auto* out = static_cast<char*>(dst);
    while (done < n) {
        ssize_t r = ::pread(h->fd, out + done, static_cast<std::size_t>(n - done), h->pos);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? done : -1;
        }
        if (r == 0)
            break;
        done += r;
        h->pos += r;
    }
    return done;
}

std::int64_t WriteAt(HMMIO h, const void* src, std::int64_t n)
{
    if (!h->writable)
        return -1;
    if (n <= 0)
        return 0;
    if (h->memory) {
        if (h->pos < 0 || h->pos + n > h->memSize)
            return -1;
        std::memcpy(h->buffer + h->pos, src, static_cast<std::size_t>(n));
        h->pos += n;
        return n;
    }
    std::int64_t done = 0;
    auto* in = static_cast<const char*>(src);
    while (done < n) {
        ssize_t w = ::pwrite(h->fd, in + done, static_cast<std::size_t>(n - done), h->pos);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (w == 0)
            return -1;
        done += w;
        h->pos += w;
    }
    return done;
}

} // namespace

HMMIO mmioOpenA(LPCSTR name, LPMMIOINFO info, DWORD flags)
{
    auto fail = [info](UINT code) -> HMMIO {
        if (info)
            info->wErrorRet = code;
        return nullptr;
    };
    bool wantWrite = (flags & (MMIO_WRITE | MMIO_READWRITE | MMIO_CREATE)) != 0;
    if (info && info->fccIOProc == FOURCC_MEM) {
        if (info->pchBuffer == nullptr || info->cchBuffer < 0)
            return fail(MMSYSERR_INVALPARAM);
        auto* h = new (std::nothrow) MmioFile;
        if (!h)
            return fail(MMIOERR_OUTOFMEMORY);
        h->memory = true;
        h->writable = wantWrite;
        h->buffer = info->pchBuffer;
        h->memSize = info->cchBuffer;
        info->wErrorRet = 0;
        return h;
    }
    if (name == nullptr || *name == '\0')
        return fail(MMIOERR_FILENOTFOUND);
    // Non-blocking only so that a FIFO in a wave file's place is refused, not waited on;
    // regular files ignore the flag.
    int oflags = O_CLOEXEC | O_NONBLOCK;
    if (flags & MMIO_READWRITE)
        oflags |= O_RDWR;
    else if (flags & MMIO_WRITE)
        oflags |= O_WRONLY;
    else if (flags & MMIO_CREATE)
        oflags |= O_RDWR;
    else
        oflags |= O_RDONLY;
    if (flags & MMIO_CREATE)
        oflags |= O_CREAT | O_TRUNC;
    int fd = ::open(name, oflags, 0644);
    if (fd < 0)
        return fail(errno == ENOENT ? MMIOERR_FILENOTFOUND : MMIOERR_CANNOTOPEN);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(MMIOERR_CANNOTOPEN);
    }
    auto* h = new (std::nothrow) MmioFile;
    if (!h) {
        ::close(fd);
        return fail(MMIOERR_OUTOFMEMORY);
    }
    h->fd = fd;
    h->writable = wantWrite;
    if (info)
        info->wErrorRet = 0;
    return h;
}

MMRESULT mmioClose(HMMIO h, UINT)
{
    if (h == nullptr)
        return MMSYSERR_INVALPARAM;
    MMRESULT result = MMSYSERR_NOERROR;
    if (!h->memory && h->fd >= 0) {
        if (::close(h->fd) != 0)
            result = MMIOERR_CANNOTCLOSE;
    }
    delete h;
    return result;
}

LONG mmioRead(HMMIO h, HPSTR buffer, LONG bytes)
{
    if (h == nullptr || bytes < 0 || (buffer == nullptr && bytes > 0))
        return -1;
    return static_cast<LONG>(ReadAt(h, buffer, bytes));
}

LONG mmioWrite(HMMIO h, const char* buffer, LONG bytes)
{
    if (h == nullptr || bytes < 0 || (buffer == nullptr && bytes > 0))
        return -1;
    return static_cast<LONG>(WriteAt(h, buffer, bytes));
}

std::int64_t mmioSize(HMMIO h)
{
    if (h == nullptr)
        return -1;
    if (h->memory)
        return h->memSize;
    struct stat st {};
    if (::fstat(h->fd, &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool mmioSetSize(HMMIO h, std::int64_t bytes)
{
    if (h == nullptr || h->memory || !h->writable || bytes < 0)
        return false;
    return ::ftruncate(h->fd, static_cast<off_t>(bytes)) == 0;
}

std::int64_t mmioSeek64(HMMIO h, std::int64_t offset, int origin)
{
    if (h == nullptr)
        return -1;
    std::int64_t base = 0;
    switch (origin) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = h->pos;
        break;
    case SEEK_END: {
        base = mmioSize(h);
        if (base < 0)
            return -1;
        break;
    }
    default:
        return -1;
    }
    std::int64_t target = base + offset;
    if (target < 0)
        return -1;
    h->pos = target;
    return target;
}

LONG mmioSeek(HMMIO h, LONG offset, int origin)
{
    std::int64_t r = mmioSeek64(h, offset, origin);
    if (r < 0 || r > kMaxLong)
        return -1;
    return static_cast<LONG>(r);
}

MMRESULT mmioDescend(HMMIO h, LPMMCKINFO ck, const MMCKINFO* parent, UINT flags)
{
    if (h == nullptr || ck == nullptr)
        return MMSYSERR_INVALPARAM;
    std::int64_t limit = mmioSize(h);
    if (limit < 0)
        return MMIOERR_CANNOTREAD;
    if (parent) {
        std::int64_t parentEnd = static_cast<std::int64_t>(parent->dwDataOffset) + parent->cksize;
        if (parentEnd < limit)
            limit = parentEnd;
    }
    const FOURCC wantId = ck->ckid;
    const FOURCC wantType = ck->fccType;
    std::int64_t pos = h->pos;
    for (;;) {
        if (pos + 8 > limit)
            return MMIOERR_CHUNKNOTFOUND;
        unsigned char head[12];
        h->pos = pos;
        if (ReadAt(h, head, 8) != 8)
            return MMIOERR_CHUNKNOTFOUND;
        FOURCC id = GetLe32(head);
        DWORD size = GetLe32(head + 4);
        std::int64_t dataOffset = pos + 8;
        bool isForm = id == FOURCC_RIFF || id == FOURCC_LIST;
        FOURCC type = 0;
        if (isForm) {
            if (size < 4 || dataOffset + 4 > limit || ReadAt(h, head + 8, 4) != 4) {
                // A form chunk without room for its type cannot be walked into.
                isForm = false;
            } else {
                type = GetLe32(head + 8);
            }
        }
        bool match = false;
        if (flags & MMIO_FINDRIFF)
            match = id == FOURCC_RIFF && isForm && type == wantType;
        else if (flags & MMIO_FINDLIST)
            match = id == FOURCC_LIST && isForm && type == wantType;
        else if (flags & MMIO_FINDCHUNK)
            match = id == wantId;
        else
            match = true;
        if (match) {
            if (dataOffset > 0xFFFFFFFFll)
                return MMIOERR_CHUNKNOTFOUND;
            ck->ckid = id;
            ck->cksize = size;
            ck->fccType = isForm ? type : 0;
            ck->dwDataOffset = static_cast<DWORD>(dataOffset);
            ck->dwFlags = 0;
            h->pos = dataOffset + (isForm ? 4 : 0);
            if (dataOffset + static_cast<std::int64_t>(size) > limit)
                return MMIOERR_CHUNKPASTEND;
            return MMSYSERR_NOERROR;
        }
        std::int64_t next = dataOffset + static_cast<std::int64_t>(size) + (size & 1u);
        if (next > limit) {
            // A chunk that claims to run past the end hides nothing behind it.
            h->pos = pos;
            return MMIOERR_CHUNKNOTFOUND;
        }
        pos = next;
    }
}

MMRESULT mmioAscend(HMMIO h, LPMMCKINFO ck, UINT)
{
    if (h == nullptr || ck == nullptr)
        return MMSYSERR_INVALPARAM;
    std::int64_t size = ck->cksize;
    if (ck->dwFlags & MMIO_DIRTY) {
        std::int64_t end = h->pos;
        size = end - static_cast<std::int64_t>(ck->dwDataOffset);
        if (size < 0 || size > 0xFFFFFFFFll)
            return MMIOERR_CANNOTWRITE;
        if (size & 1) {
            const char pad = 0;
            h->pos = end;
            if (WriteAt(h, &pad, 1) != 1)
                return MMIOERR_CANNOTWRITE;
        }
        unsigned char le[4];
        PutLe32(le, static_cast<DWORD>(size));
        h->pos = static_cast<std::int64_t>(ck->dwDataOffset) - 4;
        if (h->pos < 0 || WriteAt(h, le, 4) != 4)
            return MMIOERR_CANNOTWRITE;
        ck->cksize = static_cast<DWORD>(size);
        ck->dwFlags &= ~MMIO_DIRTY;
    }
    h->pos = static_cast<std::int64_t>(ck->dwDataOffset) + size + (size & 1);
    return MMSYSERR_NOERROR;
}

MMRESULT mmioCreateChunk(HMMIO h, LPMMCKINFO ck, UINT flags)
{
    if (h == nullptr || ck == nullptr)
        return MMSYSERR_INVALPARAM;
    unsigned char head[12];
    std::int64_t headBytes = 8;
    if (flags & MMIO_CREATERIFF)
        ck->ckid = FOURCC_RIFF;
    else if (flags & MMIO_CREATELIST)
        ck->ckid = FOURCC_LIST;
    PutLe32(head, ck->ckid);
    PutLe32(head + 4, ck->cksize);
    if (flags & (MMIO_CREATERIFF | MMIO_CREATELIST)) {
        PutLe32(head + 8, ck->fccType);
        headBytes = 12;
    }
    std::int64_t start = h->pos;
    if (start + 8 > 0xFFFFFFFFll)
        return MMIOERR_CANNOTWRITE;
    if (WriteAt(h, head, headBytes) != headBytes) {
        h->pos = start;
        return MMIOERR_CANNOTWRITE;
    }
    ck->dwDataOffset = static_cast<DWORD>(start + 8);
    ck->dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}
