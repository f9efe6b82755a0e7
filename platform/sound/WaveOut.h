// Waveform-audio output (the waveOut functions) over PortAudio: ALSA, PulseAudio or PipeWire
// through ALSA, or JACK.
//
// Devices: the output devices PortAudio finds, the system's default output first, so that device
// 0 is what the desktop calls the default; at most 64, names cut to 31 characters. The list is
// read again whenever no output is open, so a device plugged in later is seen at the next open.
//
// Formats: PCM, 8-bit unsigned, 16, 24 (packed) and 32-bit signed, as many channels and any
// positive rate as the device takes; WAVE_FORMAT_PCM or WAVE_FORMAT_EXTENSIBLE with the PCM
// sub-format.
//
// Playing: each open device has its own writer thread that hands the queued headers' bytes to
// the device in order, gapless, honouring WHDR_BEGINLOOP/WHDR_ENDLOOP and dwLoops. A header is
// done once its last frame has been handed over and the device's output latency has passed
// (it has been heard). Then, with CALLBACK_WINDOW, MM_WOM_DONE (wParam the device, lParam the
// header) reaches the window on the user-interface thread through the window layer's posted
// messages (platform/core/PostedMessage.h), one per finished header, and only then is WHDR_DONE
// set, so the flags change on the user-interface thread alone. A completion that would arrive
// after waveOutClose, or after the window is gone, is dropped. waveOutReset returns every
// queued header at once (done, with its completion as above).
//
// Threads: every function here is for the user-interface thread, except the tap below, which is
// called on the writer threads. Header memory and data belong to the caller and must live until
// the header is done (or the device is reset or closed).
#pragma once

#include "platform/core/Mmio.h"
#include "platform/core/WinTypes.h"

#include <cstddef>
#include <functional>

struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;

// MMRESULT, MMSYSERR_NOERROR and MMSYSERR_INVALPARAM come with the mmio functions.
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
constexpr DWORD CALLBACK_NULL = 0x00000000;
constexpr DWORD CALLBACK_WINDOW = 0x00010000;
constexpr DWORD WAVE_FORMAT_QUERY = 0x00000001;

// Sent to the window given to waveOutOpen.
constexpr UINT MM_WOM_DONE = 0x3BD;

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

constexpr DWORD WHDR_DONE = 0x00000001;
constexpr DWORD WHDR_PREPARED = 0x00000002;
constexpr DWORD WHDR_BEGINLOOP = 0x00000004;
constexpr DWORD WHDR_ENDLOOP = 0x00000008;
constexpr DWORD WHDR_INQUEUE = 0x00000010;

constexpr DWORD SPEAKER_FRONT_LEFT = 0x1;
constexpr DWORD SPEAKER_FRONT_RIGHT = 0x2;

struct WAVEHDR {
    LPSTR lpData = nullptr;
    DWORD dwBufferLength = 0;
    DWORD dwBytesRecorded = 0;
    DWORD_PTR dwUser = 0;
    DWORD dwFlags = 0;
    DWORD dwLoops = 0;
    WAVEHDR* lpNext = nullptr;
    DWORD_PTR reserved = 0;
};

// The plain description; WAVEFORMATEXTENSIBLE starts with one (cbSize 22).
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag = WAVE_FORMAT_PCM;
    WORD nChannels = 1;
    DWORD nSamplesPerSec = 44100;
    DWORD nAvgBytesPerSec = 88200;
    WORD nBlockAlign = 2;
    WORD wBitsPerSample = 16;
    WORD cbSize = 0;
};

struct GUID {
    DWORD Data1 = 0;
    WORD Data2 = 0;
    WORD Data3 = 0;
    BYTE Data4[8] = {};
};

struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    WORD wValidBitsPerSample = 0;
    DWORD dwChannelMask = 0;
    GUID SubFormat;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);

// {00000001-0000-0010-8000-00AA00389B71}
inline const GUID KSDATAFORMAT_SUBTYPE_PCM{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

// Format bits of dwFormats.
constexpr DWORD WAVE_FORMAT_1M08 = 0x1, WAVE_FORMAT_1S08 = 0x2, WAVE_FORMAT_1M16 = 0x4, WAVE_FORMAT_1S16 = 0x8;
constexpr DWORD WAVE_FORMAT_2M08 = 0x10, WAVE_FORMAT_2S08 = 0x20, WAVE_FORMAT_2M16 = 0x40, WAVE_FORMAT_2S16 = 0x80;
constexpr DWORD WAVE_FORMAT_4M08 = 0x100, WAVE_FORMAT_4S08 = 0x200, WAVE_FORMAT_4M16 = 0x400, WAVE_FORMAT_4S16 = 0x800;
// Support bits of dwSupport.
constexpr DWORD WAVECAPS_VOLUME = 0x4, WAVECAPS_LRVOLUME = 0x8, WAVECAPS_SAMPLEACCURATE = 0x20;

constexpr std::size_t MAXPNAMELEN = 32;

struct WAVEOUTCAPSA {
    WORD wMid = 0;
    WORD wPid = 0;
    UINT vDriverVersion = 0;
    char szPname[MAXPNAMELEN] = {};
    DWORD dwFormats = 0;
    WORD wChannels = 0;
    WORD wReserved1 = 0;
    DWORD dwSupport = 0;
};
static_assert(sizeof(WAVEOUTCAPSA) == 52);

UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT size);
// `format` is a WAVEFORMATEX, or a WAVEFORMATEXTENSIBLE when its tag says so. `callback` is a
// window handle (HWND) with CALLBACK_WINDOW.
MMRESULT waveOutOpen(HWAVEOUT* device, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
MMRESULT waveOutClose(HWAVEOUT device);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT size);
MMRESULT waveOutPause(HWAVEOUT device);
MMRESULT waveOutRestart(HWAVEOUT device);
MMRESULT waveOutReset(HWAVEOUT device);
// A short English text for an MMRESULT.
MMRESULT waveOutGetErrorTextA(MMRESULT error, char* text, UINT size);
// Why the last waveOutOpen on this thread failed, in the sound system's words ("" after success).
const char* waveOutLastOpenFailure();

// ---- Tap -----------------------------------------------------------------------------------
// Whoever wants the frames actually handed to a device (a loopback source, a test) sets one
// listener. It is called on the device's writer thread, right after each block went to the
// device, with the block's bytes in the format the device was opened with; it must copy what
// it keeps and return quickly. An empty function removes the listener.
struct WaveOutTapBlock {
    HWAVEOUT Device = nullptr;
    const BYTE* Data = nullptr;
    std::size_t Bytes = 0;
    DWORD SamplesPerSec = 0;
    WORD Channels = 0;
    WORD BitsPerSample = 0;  // container bits: 8, 16, 24 or 32
    WORD BlockAlign = 0;     // bytes per frame
};
using WaveOutTap = std::function<void(const WaveOutTapBlock&)>;
void SetWaveOutTap(WaveOutTap tap);
