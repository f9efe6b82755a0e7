#include "platform/sound/WaveOut.h"

#include "platform/core/PostedMessage.h"

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxDevices = 64;

// The sound system's diagnostics go to the diagnostic output (stderr).
void Log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::fputs("waveOut: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

std::string PaErrorText(PaError error)
{
    std::string text = Pa_GetErrorText(error);
    if (error == paUnanticipatedHostError) {
        if (const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo(); host && host->errorText && *host->errorText)
            text += std::string(": ") + host->errorText;
    }
    return text;
}

struct OutputDevice {
    PaDeviceIndex Index = paNoDevice;
    std::string Name;
    int MaxChannels = 0;
    double Latency = 0.0;
};

// PortAudio is set up on first use and again whenever the list is read with nothing open.
bool g_paUp = false;
std::vector<OutputDevice> g_outputs;

void LoadDeviceList()
{
    if (g_paUp) {
        Pa_Terminate();
        g_paUp = false;
    }
    g_outputs.clear();
    if (const PaError error = Pa_Initialize(); error != paNoError) {
        Log("the sound system cannot start: %s", PaErrorText(error).c_str());
        return;
    }
    g_paUp = true;
    auto add = [](PaDeviceIndex index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info == nullptr || info->maxOutputChannels <= 0 || g_outputs.size() >= kMaxDevices)
            return;
        g_outputs.push_back({index, info->name ? info->name : "", info->maxOutputChannels, info->defaultHighOutputLatency});
    };
    // The default output is device 0, as the desktop's choice should be.
    const PaDeviceIndex preferred = Pa_GetDefaultOutputDevice();
    if (preferred != paNoDevice)
        add(preferred);
    for (PaDeviceIndex i = 0, n = Pa_GetDeviceCount(); i < n; ++i)
        if (i != preferred)
            add(i);
}

struct Notice {
    WAVEHDR* Header = nullptr;
    bool AlreadyDone = false; // returned by a reset, which set its flags already
};

struct Queued {
    WAVEHDR* Header = nullptr;
    const BYTE* Data = nullptr;
    DWORD Length = 0;
    DWORD Flags = 0;
    DWORD Loops = 0;
    std::uint64_t Id = 0;
    bool Handed = false; // every byte went to the device (and no loop will come back to it)
    Clock::time_point Due{};
};

class Device {
public:
    HWAVEOUT Handle = nullptr;
    HWND Window = nullptr;
    PaStream* Stream = nullptr;
    WAVEFORMATEX Format;
    double Latency = 0.0;
    DWORD ChunkBytes = 0;

    std::mutex Mutex;
    std::condition_variable Wake;
    std::condition_variable ResetDone;
    std::deque<Queued> Queue;
    std::size_t Current = 0;    // the entry being handed over
    DWORD Offset = 0;           // bytes of it handed so far
    long LoopBegin = -1;        // the entry a running loop goes back to
    DWORD LoopsLeft = 0;
    std::uint64_t NextId = 1;
    std::uint64_t Generation = 0; // changes with every reset
    bool Paused = false;
    bool Exit = false;
    bool ResetRequested = false;
    std::map<std::uint64_t, Notice> Notices;
    std::uint64_t NextNotice = 1;
    std::thread Writer;

    void Run();
    // Queues a completion for the user-interface thread; called with the mutex held.
    void PostNotice(WAVEHDR* header, bool alreadyDone);

private:
    void CompleteDue(Clock::time_point now);
    // A loop never runs dry: on a device that takes frames faster than it plays them (a file or
    // null sink) it would spin, so it is handed over no faster than real time, a little ahead of
    // it. True when the writer waited (and must look at its state again). Mutex held.
    bool PaceLoop(std::unique_lock<std::mutex>& lock);
    Clock::time_point m_paceStart{};  // writer thread only, with the frames handed since
    std::uint64_t m_paceFrames = 0;
    bool m_started = false; // writer thread only
    bool m_failed = false;  // writer thread only: the device stopped taking data
};

std::mutex g_tapMutex;
std::shared_ptr<const WaveOutTap> g_tap;

std::shared_ptr<const WaveOutTap> CurrentTap()
{
    std::lock_guard lock(g_tapMutex);
    return g_tap;
}

bool DeliverNotice(HWAVEOUT handle, std::uint64_t id);

void Device::PostNotice(WAVEHDR* header, bool alreadyDone)
{
    const std::uint64_t id = NextNotice++;
    Notices[id] = Notice{header, alreadyDone};
    const HWAVEOUT handle = Handle;
    if (PostMessageIf(Window, MM_WOM_DONE, reinterpret_cast<WPARAM>(handle), reinterpret_cast<LPARAM>(header),
                      [handle, id] { return DeliverNotice(handle, id); }))
        return;
    // No user interface to run the notice: the done flag is set here, on this thread.
    Notices.erase(id);
    if (!alreadyDone) {
        std::atomic_ref<DWORD> flags(header->dwFlags);
        flags.fetch_or(WHDR_DONE);
        flags.fetch_and(~WHDR_INQUEUE);
    }
}

// Called with the mutex held.
void Device::CompleteDue(Clock::time_point now)
{
    while (!Queue.empty() && Queue.front().Handed && Queue.front().Due <= now) {
        PostNotice(Queue.front().Header, false);
        Queue.pop_front();
        if (Current > 0)
            --Current;
        if (LoopBegin > 0)
            --LoopBegin;
    }
}

bool Device::PaceLoop(std::unique_lock<std::mutex>& lock)
{
    using Seconds = std::chrono::duration<double>;
    const auto now = Clock::now();
    const Seconds lead(Latency + 0.1);
    const Seconds handed(double(m_paceFrames) / Format.nSamplesPerSec);
    // Far behind (a device that blocked, a slow machine): the pace starts again from now rather
    // than rushing to catch up.
    if (m_paceFrames == 0 || now - m_paceStart > handed + lead + Seconds(1.0)) {
        m_paceStart = now;
        m_paceFrames = 0;
        return false;
    }
    const auto due = m_paceStart + std::chrono::duration_cast<Clock::duration>(handed - lead);
    if (due <= now)
        return false;
    Wake.wait_until(lock, due);
    return true;
}

void Device::Run()
{
    const std::chrono::duration<double> latency(Latency);
    std::vector<BYTE> chunk;
    std::unique_lock lock(Mutex);
    for (;;) {
        CompleteDue(Clock::now());
        if (Exit)
            break;
        if (ResetRequested) {
            lock.unlock();
            if (m_started)
                Pa_AbortStream(Stream);
            m_started = false;
            lock.lock();
            ResetRequested = false;
            ResetDone.notify_all();
            continue;
        }
        if (Paused || Current >= Queue.size()) {
            m_paceFrames = 0; // the pace starts again with the next loop handed over
            // Wait for work, or for the oldest handed header to be heard.
            if (!Queue.empty() && Queue.front().Handed)
                Wake.wait_until(lock, Queue.front().Due);
            else
                Wake.wait(lock);
            continue;
        }

        Queued& entry = Queue[Current];
        if (Offset == 0 && (entry.Flags & WHDR_BEGINLOOP) && LoopBegin < 0) {
            LoopBegin = static_cast<long>(Current);
            LoopsLeft = entry.Loops ? entry.Loops : 1;
        }
        const bool paced = LoopBegin >= 0;
        if (paced && PaceLoop(lock))
            continue;
        const DWORD bytes = std::min(ChunkBytes, entry.Length - Offset);
        chunk.assign(entry.Data + Offset, entry.Data + Offset + bytes);
        Offset += bytes;
        std::uint64_t firstHanded = 0, lastHanded = 0;
        if (Offset >= entry.Length) {
            Offset = 0;
            const bool endsLoop = (entry.Flags & WHDR_ENDLOOP) && LoopBegin >= 0;
            if (endsLoop && --LoopsLeft > 0) {
                Current = static_cast<std::size_t>(LoopBegin);
            } else if (endsLoop) {
                firstHanded = Queue[static_cast<std::size_t>(LoopBegin)].Id;
                lastHanded = entry.Id;
                LoopBegin = -1;
                ++Current;
            } else if (LoopBegin >= 0) {
                ++Current;
            } else {
                firstHanded = lastHanded = entry.Id;
                ++Current;
            }
        }
        const std::uint64_t generation = Generation;
        lock.unlock();

        const unsigned long frames = static_cast<unsigned long>(chunk.size() / Format.nBlockAlign);
        if (frames > 0) {
            PaError error = paNoError;
            if (!m_failed && !m_started) {
                error = Pa_StartStream(Stream);
                m_started = error == paNoError;
            }
            if (!m_failed && error == paNoError)
                error = Pa_WriteStream(Stream, chunk.data(), frames);
            if (error != paNoError && error != paOutputUnderflowed && !m_failed) {
                Log("the device stopped taking sound: %s", PaErrorText(error).c_str());
                m_failed = true;
            }
            if (paced)
                m_paceFrames += frames;
            if (m_failed) {
                // Keep time, so that the owner's refills don't spin.
                std::this_thread::sleep_for(std::chrono::duration<double>(double(frames) / Format.nSamplesPerSec));
            } else if (auto tap = CurrentTap(); tap && *tap) {
                WaveOutTapBlock block;
                block.Device = Handle;
                block.Data = chunk.data();
                block.Bytes = std::size_t(frames) * Format.nBlockAlign;
                block.SamplesPerSec = Format.nSamplesPerSec;
                block.Channels = Format.nChannels;
                block.BitsPerSample = static_cast<WORD>(Format.nBlockAlign / Format.nChannels * 8);
                block.BlockAlign = Format.nBlockAlign;
                (*tap)(block);
            }
        }

        lock.lock();
        if (firstHanded != 0 && generation == Generation) {
            const auto due = Clock::now() + std::chrono::duration_cast<Clock::duration>(latency);
            for (Queued& q : Queue)
                if (q.Id >= firstHanded && q.Id <= lastHanded) {
                    q.Handed = true;
                    q.Due = due;
                }
        }
    }
    lock.unlock();
    if (m_started)
        Pa_StopStream(Stream);
    m_started = false;
}

// Open devices by handle value; handles are never reused, so a stale one finds nothing.
std::map<std::uintptr_t, std::unique_ptr<Device>>& OpenDevices()
{
    static std::map<std::uintptr_t, std::unique_ptr<Device>> devices;
    return devices;
}
std::uintptr_t g_nextHandle = 0x5000;

Device* Find(HWAVEOUT handle)
{
    auto& devices = OpenDevices();
    auto it = devices.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == devices.end() ? nullptr : it->second.get();
}

// On the user-interface thread, as a completion is about to reach its window: a closed device
// or a notice a reset has taken back drops it; otherwise the header is done from now on.
bool DeliverNotice(HWAVEOUT handle, std::uint64_t id)
{
    Device* device = Find(handle);
    if (device == nullptr)
        return false; // closed meanwhile
    Notice notice;
    {
        std::lock_guard lock(device->Mutex);
        auto it = device->Notices.find(id);
        if (it == device->Notices.end())
            return false;
        notice = it->second;
        device->Notices.erase(it);
    }
    if (!notice.AlreadyDone)
        notice.Header->dwFlags = (notice.Header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
    return true;
}

thread_local std::string g_lastOpenFailure;

MMRESULT CheckFormat(const WAVEFORMATEX* format)
{
    if (format == nullptr)
        return MMSYSERR_INVALPARAM;
    if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
        if (format->cbSize < 22 || !(ext->SubFormat == KSDATAFORMAT_SUBTYPE_PCM) ||
            ext->wValidBitsPerSample > format->wBitsPerSample)
            return WAVERR_BADFORMAT;
    } else if (format->wFormatTag != WAVE_FORMAT_PCM) {
        return WAVERR_BADFORMAT;
    }
    const WORD bits = format->wBitsPerSample;
    if (format->nChannels == 0 || format->nSamplesPerSec == 0 || (bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        format->nBlockAlign != format->nChannels * (bits / 8))
        return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

PaSampleFormat SampleFormatOf(WORD containerBits)
{
    switch (containerBits) {
    case 8:
        return paUInt8;
    case 16:
        return paInt16;
    case 24:
        return paInt24;
    default:
        return paInt32;
    }
}

} // namespace

UINT waveOutGetNumDevs()
{
    if (OpenDevices().empty() || !g_paUp)
        LoadDeviceList();
    return static_cast<UINT>(g_outputs.size());
}

MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT size)
{
    if (caps == nullptr || size < sizeof(WAVEOUTCAPSA))
        return MMSYSERR_INVALPARAM;
    if (!g_paUp)
        LoadDeviceList();
    if (deviceId == WAVE_MAPPER)
        deviceId = 0;
    if (deviceId >= g_outputs.size())
        return MMSYSERR_BADDEVICEID;
    const OutputDevice& device = g_outputs[deviceId];
    *caps = WAVEOUTCAPSA();
    caps->vDriverVersion = 0x0100;
    std::snprintf(caps->szPname, sizeof caps->szPname, "%s", device.Name.c_str());
    const bool stereo = device.MaxChannels >= 2;
    caps->wChannels = stereo ? 2 : 1;
    // The sound system converts rates and widths, so every classic format is offered.
    caps->dwFormats = stereo ? 0xFFF : 0x555;
    caps->dwSupport = WAVECAPS_SAMPLEACCURATE;
    return MMSYSERR_NOERROR;
}

const char* waveOutLastOpenFailure() { return g_lastOpenFailure.c_str(); }

MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR,
                     DWORD flags)
{
    g_lastOpenFailure.clear();
    auto fail = [](MMRESULT code, std::string why) {
        g_lastOpenFailure = std::move(why);
        Log("open failed: %s", g_lastOpenFailure.c_str());
        return code;
    };
    if (const MMRESULT check = CheckFormat(format); check != MMSYSERR_NOERROR)
        return fail(check, "the format is not PCM of 8, 16, 24 or 32 bits");
    if (!g_paUp)
        LoadDeviceList();
    if (deviceId == WAVE_MAPPER)
        deviceId = 0;
    if (deviceId >= g_outputs.size())
        return fail(g_outputs.empty() ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID, "there is no such output device");
    const OutputDevice& output = g_outputs[deviceId];
    const WORD container = format->wBitsPerSample;

    PaStreamParameters params{};
    params.device = output.Index;
    params.channelCount = format->nChannels;
    params.sampleFormat = SampleFormatOf(container);
    params.suggestedLatency = output.Latency;
    if (flags & WAVE_FORMAT_QUERY) {
        const PaError supported = Pa_IsFormatSupported(nullptr, &params, format->nSamplesPerSec);
        return supported == paFormatIsSupported ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
    }
    if (handle == nullptr)
        return MMSYSERR_INVALPARAM;
    *handle = nullptr;

    PaStream* stream = nullptr;
    const PaError error = Pa_OpenStream(&stream, nullptr, &params, format->nSamplesPerSec, paFramesPerBufferUnspecified,
                                        paClipOff | paDitherOff, nullptr, nullptr);
    if (error != paNoError) {
        const MMRESULT code = error == paDeviceUnavailable ? MMSYSERR_ALLOCATED
                              : (error == paInvalidSampleRate || error == paSampleFormatNotSupported ||
                                 error == paInvalidChannelCount)
                                  ? WAVERR_BADFORMAT
                                  : MMSYSERR_ERROR;
        return fail(code, output.Name + ": " + PaErrorText(error));
    }

    auto device = std::make_unique<Device>();
    device->Handle = reinterpret_cast<HWAVEOUT>(g_nextHandle += 4);
    device->Window = (flags & CALLBACK_WINDOW) ? reinterpret_cast<HWND>(callback) : nullptr;
    device->Stream = stream;
    device->Format = *format;
    device->Format.wBitsPerSample = container;
    const PaStreamInfo* info = Pa_GetStreamInfo(stream);
    device->Latency = info ? info->outputLatency : output.Latency;
    // About 10 ms a block, so pause and reset take effect promptly.
    const DWORD chunkFrames = std::clamp<DWORD>(format->nSamplesPerSec / 100, 32, 4096);
    device->ChunkBytes = chunkFrames * format->nBlockAlign;
    Device* raw = device.get();
    *handle = device->Handle;
    OpenDevices()[reinterpret_cast<std::uintptr_t>(device->Handle)] = std::move(device);
    raw->Writer = std::thread([raw] { raw->Run(); });
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT handle)
{
    Device* device = Find(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard lock(device->Mutex);
        if (!device->Queue.empty())
            return WAVERR_STILLPLAYING;
        device->Exit = true;
    }
    device->Wake.notify_all();
    device->Writer.join();
    Pa_CloseStream(device->Stream);
    OpenDevices().erase(reinterpret_cast<std::uintptr_t>(handle));
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size)
{
    if (Find(handle) == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < sizeof(WAVEHDR) || header->lpData == nullptr)
        return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size)
{
    if (Find(handle) == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size)
{
    Device* device = Find(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < sizeof(WAVEHDR) || header->lpData == nullptr)
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    {
        std::lock_guard lock(device->Mutex);
        Queued entry;
        entry.Header = header;
        entry.Data = reinterpret_cast<const BYTE*>(header->lpData);
        entry.Length = header->dwBufferLength;
        entry.Flags = header->dwFlags;
        entry.Loops = header->dwLoops;
        entry.Id = device->NextId++;
        device->Queue.push_back(entry);
    }
    device->Wake.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPause(HWAVEOUT handle)
{
    Device* device = Find(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(device->Mutex);
    device->Paused = true;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutRestart(HWAVEOUT handle)
{
    Device* device = Find(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard lock(device->Mutex);
        device->Paused = false;
    }
    device->Wake.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT handle)
{
    Device* device = Find(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    std::unique_lock lock(device->Mutex);
    // The writer drops what the device still holds; the queue is returned here.
    device->ResetRequested = true;
    device->Wake.notify_all();
    device->ResetDone.wait(lock, [device] { return !device->ResetRequested; });
    ++device->Generation;
    for (auto& [id, notice] : device->Notices)
        if (!notice.AlreadyDone) {
            notice.Header->dwFlags = (notice.Header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
            notice.AlreadyDone = true;
        }
    for (Queued& q : device->Queue) {
        q.Header->dwFlags = (q.Header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
        device->PostNotice(q.Header, true);
    }
    device->Queue.clear();
    device->Current = 0;
    device->Offset = 0;
    device->LoopBegin = -1;
    device->LoopsLeft = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetErrorTextA(MMRESULT error, char* text, UINT size)
{
    if (text == nullptr || size == 0)
        return MMSYSERR_INVALPARAM;
    const char* message = "An undetermined error occurred.";
    switch (error) {
    case MMSYSERR_NOERROR: message = "The command completed successfully."; break;
    case MMSYSERR_BADDEVICEID: message = "There is no such output device."; break;
    case MMSYSERR_ALLOCATED: message = "The output device is already in use."; break;
    case MMSYSERR_INVALHANDLE: message = "The device handle is not valid."; break;
    case MMSYSERR_NODRIVER: message = "There is no output device."; break;
    case MMSYSERR_NOMEM: message = "Not enough memory."; break;
    case MMSYSERR_INVALPARAM: message = "A parameter is not valid."; break;
    case WAVERR_BADFORMAT: message = "The device does not take this format."; break;
    case WAVERR_STILLPLAYING: message = "Buffers are still queued."; break;
    case WAVERR_UNPREPARED: message = "The header is not prepared."; break;
    default: break;
    }
    std::snprintf(text, size, "%s", message);
    return MMSYSERR_NOERROR;
}

void SetWaveOutTap(WaveOutTap tap)
{
    auto next = tap ? std::make_shared<const WaveOutTap>(std::move(tap)) : nullptr;
    std::lock_guard lock(g_tapMutex);
    g_tap = std::move(next);
}
