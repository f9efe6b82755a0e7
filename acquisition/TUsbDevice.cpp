#include "acquisition/TUsbDevice.h"

#include "platform/core/MessageBox.h"
#include "platform/core/SysTime.h"
#include "platform/core/Thread.h"
#include "platform/usb/Kdr5200.h"
#include "platform/usb/WinUsb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {
constexpr GUID kDeviceInterfaceClass = kKdr5200InterfaceClass;
constexpr ULONG kReadTimeoutMs = 100; // a stop never waits longer than this for a read
constexpr int kBehindLive = 256;      // the newest block ends this many samples behind live

void ShowError(const char* text) { AfxMessageBox(text, MB_OK | MB_ICONSTOP); }

void ShowError(const char* format, unsigned long code)
{
    char text[256];
    std::snprintf(text, sizeof text, format, code);
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}
} // namespace

TUsbDevice::TUsbDevice() : m_file(INVALID_HANDLE_VALUE), m_interface(INVALID_HANDLE_VALUE)
{
    std::memset(static_cast<void*>(&m_settings), 0, sizeof m_settings);
    ConfigureBuffers(1024);
}

TUsbDevice::~TUsbDevice()
{
    CloseDevice();
    StopInput();
}

DWORD TUsbDevice::Now() { return UsbTimeGetTime(); }

void TUsbDevice::GetDeviceName(int, char* destination, std::size_t size) const
{
    if (destination != nullptr && size > 0)
        std::snprintf(destination, size, "%s", "Durnex System");
}

void TUsbDevice::GetBoardName(int index, char* destination, std::size_t size) const
{
    GetDeviceName(index, destination, size);
}

// ---- Opening and closing -------------------------------------------------------------------

// One claim of a device path for the whole process, shared by every object that opened it.
struct UsbDeviceClaim {
    std::string path; // cleared once the device was found gone: never joined again
    HANDLE file = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE iface = nullptr;
    int users = 0;
    const TUsbDevice* reader = nullptr; // the object whose thread reads the IN pipe
};

namespace {
// Opened and closed on the user-interface thread; the lock keeps the list whole regardless.
std::mutex& ClaimsLock()
{
    static std::mutex lock;
    return lock;
}
std::vector<std::unique_ptr<UsbDeviceClaim>>& Claims()
{
    static std::vector<std::unique_ptr<UsbDeviceClaim>> claims;
    return claims;
}
} // namespace

bool TUsbDevice::JoinClaim(const std::string& path)
{
    std::lock_guard lock(ClaimsLock());
    for (const auto& claim : Claims())
        if (claim->path == path) {
            ++claim->users;
            m_claim = claim.get();
            m_file = claim->file;
            m_interface = claim->iface;
            return true;
        }
    return false;
}

void TUsbDevice::ReleaseClaim()
{
    if (m_claim != nullptr) {
        LeaveReading();
        std::lock_guard lock(ClaimsLock());
        if (--m_claim->users == 0) {
            if (m_claim->iface != INVALID_HANDLE_VALUE)
                WinUsb_Free(m_claim->iface);
            UsbCloseDevicePath(m_claim->file);
            auto& claims = Claims();
            claims.erase(std::find_if(claims.begin(), claims.end(),
                                      [this](const auto& c) { return c.get() == m_claim; }));
        }
        m_claim = nullptr;
    } else {
        // Not yet shared: a fresh open that failed half-way.
        if (m_interface != INVALID_HANDLE_VALUE)
            WinUsb_Free(m_interface);
        if (m_file != INVALID_HANDLE_VALUE)
            UsbCloseDevicePath(m_file);
    }
    m_interface = INVALID_HANDLE_VALUE;
    m_file = INVALID_HANDLE_VALUE;
}

bool TUsbDevice::QueryDevice(bool report)
{
    BYTE speed = 0;
    ULONG length = sizeof speed;
    if (!WinUsb_QueryDeviceInformation(m_interface, DEVICE_SPEED, &length, &speed)) {
        if (report)
            ShowError("Failure connecting to device - failure on GetUSBDeviceSpeed()\n");
        return false;
    }
    USB_INTERFACE_DESCRIPTOR descriptor;
    bool pipesOk = WinUsb_QueryInterfaceSettings(m_interface, 0, &descriptor) != FALSE;
    std::memset(m_pipeIn, 0, sizeof m_pipeIn);
    std::memset(m_pipeOut, 0, sizeof m_pipeOut);
    for (BYTE i = 0; pipesOk && i < descriptor.bNumEndpoints; ++i) {
        WINUSB_PIPE_INFORMATION pipe;
        pipesOk = WinUsb_QueryPipe(m_interface, 0, i, &pipe) != FALSE;
        if (pipesOk && pipe.PipeType == UsbdPipeTypeBulk && i / 2 < 4) {
            if (pipe.PipeId & 0x80)
                m_pipeIn[i / 2] = pipe.PipeId;
            else
                m_pipeOut[i / 2] = pipe.PipeId;
        }
    }
    if (!pipesOk) {
        if (report)
            ShowError("Failure connecting to device - failure on QueryDeviceEndpoints()\n");
        return false;
    }
    return true;
}

bool TUsbDevice::OpenDevice(CWnd* owner, int deviceIndex, int)
{
    m_owner = owner;
    if (deviceIndex != m_deviceIndex)
        CloseDevice();
    if (m_open)
        return true;
    if (m_file != INVALID_HANDLE_VALUE || m_interface != INVALID_HANDLE_VALUE || m_run.load())
        return false;

    // Find the device path: the last interface of the class wins.
    HDEVINFO set = SetupDiGetClassDevsA(&kDeviceInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        ShowError("Failure opening Durnex system hardware - make sure that the drivers are installed and that the "
                  "device is plugged into the USB port.\n");
        return false;
    }
    std::string path;
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kDeviceInterfaceClass, i, &data)) {
            if (UsbGetLastError() != ERROR_NO_MORE_ITEMS)
                ShowError("Failure on SetupDiEnumDeviceInterfaces()  Error code %d.\n", UsbGetLastError());
            break;
        }
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
        std::vector<char> buffer;
        try {
            buffer.assign(std::max<std::size_t>(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)), '\0');
        } catch (const std::bad_alloc&) {
            ShowError("Error allocating memory for the device detail buffer.\n");
            break;
        }
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, DWORD(buffer.size()), nullptr, nullptr)) {
            ShowError("Failure on SetupDiGetDeviceInterfaceDetail() Error code %d.\n", UsbGetLastError());
            break;
        }
        path.assign(buffer.data() + offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath));
    }
    SetupDiDestroyDeviceInfoList(set);
    if (path.empty())
        return false;

    // Held by another object of this program: share its claim, unless the device it holds has
    // gone (a replugged device is claimed afresh).
    if (JoinClaim(path)) {
        if (QueryDevice(false)) {
            m_open = true;
            m_configured = true;
            return true;
        }
        {
            std::lock_guard lock(ClaimsLock());
            m_claim->path.clear();
        }
        ReleaseClaim();
    }

    m_file = UsbOpenDevicePath(path.c_str());
    if (m_file == INVALID_HANDLE_VALUE) {
        ShowError("Invalide device handle - Error %d.", UsbGetLastError());
        return false;
    }
    WINUSB_INTERFACE_HANDLE iface = nullptr;
    if (!WinUsb_Initialize(m_file, &iface)) {
        ShowError("Failure on WinUsb_Initialize.  Error Code = %d.", UsbGetLastError());
        ReleaseClaim();
        return false;
    }
    m_interface = iface;
    if (!QueryDevice(true)) {
        ReleaseClaim();
        return false;
    }
    ULONG timeout = kReadTimeoutMs;
    WinUsb_SetPipePolicy(m_interface, m_pipeIn[0], PIPE_TRANSFER_TIMEOUT, sizeof timeout, &timeout);
    try {
        auto claim = std::make_unique<UsbDeviceClaim>();
        claim->path = path;
        claim->file = m_file;
        claim->iface = m_interface;
        claim->users = 1;
        std::lock_guard lock(ClaimsLock());
        Claims().push_back(std::move(claim));
        m_claim = Claims().back().get();
    } catch (const std::bad_alloc&) {
        ReleaseClaim(); // unshared, it could not be handed to the next object; nothing is held
        return false;
    }
    m_open = true;
    m_configured = true;
    return true;
}

void TUsbDevice::CloseDevice()
{
    if (!m_configured || !m_open)
        return;
    StopInput();
    m_open = false;
    m_configured = false;
    m_deviceIndex = -1;
    ReleaseClaim();
}

// ---- Configuration -------------------------------------------------------------------------

int TUsbDevice::RingLengthFor(int largestBlock)
{
    long long length = kSamplesPerBlock * std::max(kRingSampleRate * 60 / kSamplesPerBlock, 2);
    if (length < 20LL * largestBlock)
        length = 20LL * largestBlock;
    return int(std::min<long long>(length, 1LL << 28));
}

bool TUsbDevice::SetDeviceConfigurationAD(UsbDeviceSettings settings, int largestBlock, bool, int)
{
    if (!m_configured)
        return false;
    StopInput(); // the buffers are rebuilt: the reader must not be writing them
    m_settings = settings;
    ConfigureBuffers(largestBlock);
    return true;
}

void TUsbDevice::ConfigureBuffers(int largestBlock)
{
    m_counter.store(0);
    m_havePacket.store(false);
    for (int ch = 0; ch < kChannels; ++ch) {
        m_latest[ch].reset();
        if (m_settings.Channels[ch].bIsEnabled == 1)
            m_latest[ch].reset(new (std::nothrow) std::int32_t[kSamplesPerBlock]());
        m_levels[ch].store(0);
    }
    m_ringLength = RingLengthFor(largestBlock);
    for (int ch = 0; ch < kChannels; ++ch) {
        m_rings[ch].reset();
        if (m_settings.Channels[ch].bIsEnabled != 0)
            m_rings[ch].reset(new (std::nothrow) std::int32_t[std::size_t(m_ringLength)]());
    }
}

// ---- Reader thread -------------------------------------------------------------------------

bool TUsbDevice::StartInput()
{
    if (!m_configured || !m_open)
        return false;
    if (m_inputStarted || m_thread != nullptr)
        return true;
    // One reader of the shared IN pipe: two would each get every other packet.
    if (m_claim != nullptr) {
        std::lock_guard lock(ClaimsLock());
        if (m_claim->reader != nullptr && m_claim->reader != this)
            return false;
        m_claim->reader = this;
    }
    // No reader thread runs here, so plain clearing is safe.
    for (int ch = 0; ch < kChannels; ++ch) {
        if (m_latest[ch])
            std::memset(m_latest[ch].get(), 0, sizeof(std::int32_t) * kSamplesPerBlock);
        if (m_rings[ch])
            std::memset(m_rings[ch].get(), 0, sizeof(std::int32_t) * std::size_t(m_ringLength));
    }
    m_counter.store(0);
    m_havePacket.store(false);
    m_lostPackets.store(0);
    m_slots = 0;
    m_deviceLost.store(false);
    // The flags are set before the thread exists, so a stop that comes at once still stops it.
    m_run.store(true);
    m_exited.store(false);
    CWinThread* thread = AfxBeginThread(&TUsbDevice::ThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (thread == nullptr) {
        m_run.store(false);
        m_exited.store(true);
        LeaveReading();
        return false;
    }
    thread->m_bAutoDelete = FALSE;
    if (thread->ResumeThread() == static_cast<DWORD>(-1)) {
        delete thread;
        m_run.store(false);
        m_exited.store(true);
        LeaveReading();
        return false;
    }
    m_thread = thread;
    m_inputStarted = true;
    return true;
}

bool TUsbDevice::StopInput()
{
    if (m_thread != nullptr) {
        m_run.store(false);
        if (m_interface != INVALID_HANDLE_VALUE)
            WinUsb_AbortPipe(m_interface, m_pipeIn[0]);
        // Reads time out, so the thread always ends; it is joined before anything is freed.
        m_thread->Join(INFINITE);
        delete m_thread;
        m_thread = nullptr;
        EndGapWindow(); // what a stall the run ended in left counts too
    }
    LeaveReading();
    m_inputStarted = false;
    return false;
}

void TUsbDevice::LeaveReading()
{
    if (m_claim != nullptr) {
        std::lock_guard lock(ClaimsLock());
        if (m_claim->reader == this)
            m_claim->reader = nullptr;
    }
}

UINT TUsbDevice::ThreadProc(LPVOID self)
{
    static_cast<TUsbDevice*>(self)->ReaderThreadLoop();
    return 0;
}

void TUsbDevice::ReaderThreadLoop()
{
    if (m_file != INVALID_HANDLE_VALUE && m_interface != INVALID_HANDLE_VALUE) {
        const BYTE command[64] = {};
        ULONG sent = 0;
        if (WinUsb_WritePipe(m_interface, m_pipeOut[0], command, sizeof command, &sent, nullptr)) {
            while (m_run.load()) {
                if (!ReadPacket() && m_run.load())
                    Sleep(20);
            }
        }
    }
    m_exited.store(true);
}

bool TUsbDevice::ReadPipeNoting(BYTE* packet, ULONG* got)
{
    const DWORD issued = UsbTimeGetTime();
    if (WinUsb_ReadPipe(m_interface, m_pipeIn[0], packet, kPacketBytes, got, nullptr)) {
        const DWORD now = UsbTimeGetTime();
        if (m_firstAfterGap) {
            // Begun while nothing came, this read says nothing of what the stall left; the
            // reads after it do.
            m_firstAfterGap = false;
            m_windowStart = now;
            m_windowMin = kNoShortfall;
        } else if (now != issued) {
            CountClockGap(issued, false);
        }
        return true;
    }
    const DWORD error = UsbGetLastError();
    // A device that left the bus never answers again: the run is told so.
    if (error == ERROR_DEVICE_NOT_CONNECTED)
        m_deviceLost.store(true, std::memory_order_release);
    if (error == ERROR_SEM_TIMEOUT && m_run.load())
        CountClockGap(issued, true);
    return false;
}

void TUsbDevice::NoteSlot(DWORD now, long long lost)
{
    m_lostPackets.fetch_add(lost, std::memory_order_relaxed);
    if (++m_slots == 1) {
        m_clockBase = now;
        m_windowStart = now;
        m_windowMin = kNoShortfall;
        m_gapGoesOn = false;
        m_firstAfterGap = false;
    }
}

long long TUsbDevice::Shortfall(DWORD now) const
{
    // Packet slots the device's clock had passed by `now` that no packet, filler or short read
    // accounts for.
    const auto elapsed = std::int32_t(now - m_clockBase);
    return (elapsed < 0 ? 0 : elapsed / std::int32_t(kPacketMs) + 1) - m_slots;
}

void TUsbDevice::CountClockGap(DWORD issued, bool timedOut)
{
    if (m_slots == 0)
        return; // the stream has not begun: nothing it sent can be missing yet
    if (timedOut) {
        // Nothing came for a whole timeout, so the queue was empty when the read began: every
        // slot due by then (a period short of it: the base may run that early) is gone for
        // good. Not the time it gave up: a stall may have ended meanwhile, its packets queued.
        const long long missing = Shortfall(issued - kPacketMs);
        if (missing > 0) {
            m_lostPackets.fetch_add(missing, std::memory_order_relaxed);
            m_slots += missing;
        }
        m_gapGoesOn = true;
        m_firstAfterGap = true;
        return;
    }
    // A read that had to wait most likely found the queue empty, its shortfall then the loss;
    // but a reader kept from its core (preempted inside a read) sees packets still queued as
    // missing, for as long as it stays behind. So these reads only count what a stall that
    // timed reads out left when the packets came again, and otherwise keep the base on the
    // device's clock (two clocks drift apart over a long run).
    const long long shortfall = Shortfall(issued);
    if (DWORD(issued - m_windowStart) < kGapWindowMs || m_windowMin == kNoShortfall) {
        m_windowMin = std::min(m_windowMin, shortfall);
        return;
    }
    EndGapWindow();
    m_windowStart = issued;
    m_windowMin = Shortfall(issued);
}

void TUsbDevice::EndGapWindow()
{
    if (m_windowMin == kNoShortfall)
        return;
    if (m_gapGoesOn && m_windowMin > 0) {
        m_lostPackets.fetch_add(m_windowMin, std::memory_order_relaxed);
        m_slots += m_windowMin;
    } else if (m_windowMin < 0) {
        m_clockBase += DWORD(m_windowMin * kPacketMs); // the base ran late: back it goes
    } else if (m_windowMin > 0) {
        m_clockBase += kPacketMs; // drift at most a period a window: a reader behind moves it little
    }
    m_gapGoesOn = false;
    m_windowMin = kNoShortfall;
}

bool TUsbDevice::ReadPacket()
{
    if (m_interface == INVALID_HANDLE_VALUE || !m_run.load())
        return false;
    BYTE packet[kPacketBytes] = {};
    ULONG got = 0;
    if (!ReadPipeNoting(packet, &got))
        return false;
    if (got < ULONG(kPacketBytes)) {
        // One re-read into the same buffer, over what the short read brought: that packet is
        // lost either way, and a second short read drops the packet too.
        NoteSlot(UsbTimeGetTime(), 1);
        if (!ReadPipeNoting(packet, &got))
            return false;
        if (got < ULONG(kPacketBytes)) {
            NoteSlot(UsbTimeGetTime(), 1);
            return false;
        }
    }
    // The device's "no data": it takes its slot of the stream but nothing is missing.
    if (std::all_of(packet, packet + kPacketBytes, [](BYTE b) { return b == 0; })) {
        NoteSlot(UsbTimeGetTime(), 0);
        return false;
    }
    if (!m_run.load())
        return false;
    const long long counter = m_counter.load(std::memory_order_relaxed);
    const int write = int(counter % m_ringLength);
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!m_rings[ch])
            continue;
        const BYTE* block = packet + 64 * BlockOfChannel(ch);
        int index = write;
        for (int i = 0; i < kSamplesPerBlock; ++i) {
            const BYTE* w = block + 4 * i;
            const auto value = std::int32_t(std::uint32_t(w[0]) << 24 | std::uint32_t(w[1]) << 16 |
                                             std::uint32_t(w[2]) << 8 | std::uint32_t(w[3]));
            if (m_latest[ch])
                Store(m_latest[ch][i], value);
            Store(m_rings[ch][index], value);
            if (++index == m_ringLength)
                index = 0;
        }
    }
    // Published after the samples: a reader that sees the new count sees them too.
    m_counter.store(counter + kSamplesPerBlock, std::memory_order_release);
    UpdateLevels();
    const DWORD now = UsbTimeGetTime();
    NoteSlot(now, 0);
    m_lastPacketTime.store(now, std::memory_order_release);
    m_havePacket.store(true, std::memory_order_release);
    return true;
}

// ---- Levels --------------------------------------------------------------------------------

void TUsbDevice::UpdateLevels()
{
    const float fullScale = m_settings.BitsPerSample == 24 ? 8388607.0f : 32768.0f;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (m_settings.Channels[ch].bIsEnabled != 1 || !m_latest[ch])
            continue;
        long long peak = -8388607;
        for (int i = 0; i < kSamplesPerBlock; ++i)
            peak = std::max(peak, std::llabs(Load(m_latest[ch][i]))); // no abs(INT_MIN)
        double gainValue = m_settings.Channels[ch].Gain;
        if (!(gainValue > 0.0) || !std::isfinite(gainValue))
            gainValue = 1.0; // a zero or broken gain would give no number at all
        const auto gain = float(gainValue);
        float ratio = float(peak) / fullScale * 10.0f / gain;
        const float a = 20.0f * std::log10(10.0f / gain);
        if (ratio <= 0.0f)
            ratio = 1.0f;
        const float b = 20.0f * std::log10(ratio);
        const float level = 100.0f - (a - b);
        const float stored = level > 99.8f ? 100.0f : std::clamp(std::trunc(level), -1.0e9f, 1.0e9f);
        m_levels[ch].store(std::int32_t(stored), std::memory_order_relaxed);
    }
}

DWORD TUsbDevice::GetChannelLevel(int channel) const
{
    if (channel < 0 || channel >= kChannels)
        return 0;
    return DWORD(m_levels[channel].load(std::memory_order_relaxed));
}

bool TUsbDevice::CopyLatestPacket(int channel, int count, int* destination) const
{
    if (channel < 0 || channel >= kChannels || !m_latest[channel] || destination == nullptr)
        return false;
    for (int i = 0; i < std::min(count, int(kSamplesPerBlock)); ++i)
        destination[i] = Load(m_latest[channel][i]);
    return true;
}

// ---- Ring reads ----------------------------------------------------------------------------

int TUsbDevice::GetRingFill() const
{
    return int(std::min<long long>(GetSampleCounter(), m_ringLength));
}

int TUsbDevice::GetWriteIndex() const
{
    return m_ringLength > 0 ? int(GetSampleCounter() % m_ringLength) : 0;
}

long long TUsbDevice::NewestBlockEnd(DWORD now) const
{
    if (!m_havePacket.load(std::memory_order_acquire))
        return -1;
    // The counter before the packet time: a packet landing in between makes the time newer
    // and so the end older, never one past what the counter says has arrived.
    const long long counter = GetSampleCounter();
    const DWORD last = m_lastPacketTime.load(std::memory_order_acquire);
    // Signed: a packet that came after `now` was taken is a negative time since it.
    const long long since = (long long)std::int32_t(now - last) * kRingSampleRate / 1000;
    // At 64 ms without a packet the estimate would reach samples that have not arrived.
    const long long back = kBehindLive - since;
    if (back <= 0)
        return -1;
    return counter - back + 1;
}

bool TUsbDevice::ReadRingBlock(int channel, int count, int* destination, DWORD now) const
{
    if (destination == nullptr || !HasRing(channel) || count <= 0)
        return false;
    const long long end = NewestBlockEnd(now);
    return end >= count && ReadSamples(channel, end - count, count, destination) == RingRead::Ok;
}

bool TUsbDevice::ReadRing(int channel, int position, int count, int* destination) const
{
    if (!HasRing(channel) || count < 0)
        return false;
    position = std::max(position, 0);
    if (position >= m_ringLength)
        return false;
    const long long counter = GetSampleCounter();
    const int fill = int(std::min<long long>(counter, m_ringLength));
    const int write = int(counter % m_ringLength);
    if (fill < m_ringLength && (long long)position + count > fill)
        return false;
    int index = position;
    for (int i = 0; i < count; ++i) {
        if (destination != nullptr)
            destination[i] = Sample(channel, index);
        if (++index == m_ringLength)
            index = 0;
        if (index == write)
            return false;
    }
    return true;
}

bool TUsbDevice::ReadRingAt(int channel, int position, int count, int* destination, int* nextPosition) const
{
    if (!HasRing(channel) || count < 0 || destination == nullptr)
        return false;
    position = std::max(position, 0);
    if (position >= m_ringLength)
        return false;
    const long long counter = GetSampleCounter();
    const long long fill = std::min<long long>(counter, m_ringLength);
    const long long write = counter % m_ringLength;
    long long end = (long long)position + count;
    if (fill == m_ringLength) {
        if (end > fill)
            end -= fill;
        if (end == position)
            return false;
        if (end > position && position <= write && write <= end)
            return false;
        if (end < position && ((write <= end && write <= position) || (write >= end && write >= position)))
            return false;
    } else if (position > fill || end > fill) {
        return false;
    }
    int index = position;
    for (int i = 0; i < count; ++i) {
        destination[i] = Sample(channel, index);
        if (++index == m_ringLength)
            index = 0;
    }
    if (nextPosition != nullptr)
        *nextPosition = index;
    return true;
}

int TUsbDevice::CountReadable(int channel, int position, int count) const
{
    if (!HasRing(channel) || position < 0 || count <= 0 || position >= m_ringLength)
        return 0;
    const long long counter = GetSampleCounter();
    const long long fill = std::min<long long>(counter, m_ringLength);
    if (fill < m_ringLength)
        return (long long)position + count > fill ? int(std::max<long long>(fill - position, 0)) : count;
    const int write = int(counter % m_ringLength);
    int n = 0;
    int index = position;
    while (n < count) {
        if (++index == m_ringLength)
            index = 0;
        if (index == write)
            break;
        ++n;
    }
    return n;
}

TUsbDevice::RingRead TUsbDevice::ReadSamples(int channel, long long first, int count, int* destination) const
{
    if (!HasRing(channel) || destination == nullptr || first < 0 || count < 0 || count > m_ringLength)
        return RingRead::NoRing;
    if (first + count > GetSampleCounter())
        return RingRead::NotYet;
    if (GetSampleCounter() - first > m_ringLength)
        return RingRead::Overrun;
    int index = int(first % m_ringLength);
    for (int i = 0; i < count; ++i) {
        destination[i] = Sample(channel, index);
        if (++index == m_ringLength)
            index = 0;
    }
    // Copied while the writer ran on: valid only if it has not come round onto the first sample.
    return GetSampleCounter() - first > m_ringLength ? RingRead::Overrun : RingRead::Ok;
}
