// The waveform builder: turns the generator settings of the two output channels into one
// in-memory wave (format, length, per-channel amplitude, one synthesis routine per channel)
// on a worker thread, and tells a window when it is done.
//
// The builder works on copies of the settings taken when a build starts, so the user-interface
// thread may edit the frame's records meanwhile. Starting a build aborts and joins the one
// still running, so two builders never share a wave. Every build ends with WM_WAVEFORM_BUILT
// posted to the notify window, wParam a BuildStatus.
//
// Threads: Start, Abort, Join, TakeWave and the destructor on the user-interface thread; the
// build itself on its own thread. The flags are atomic.
#pragma once

#include "records/OutputDeviceSettings.h"
#include "records/SigGenChannelSettings.h"
#include "platform/core/WinTypes.h"
#include "siggen/WaveformSynthesis.h"
#include "records/TPcmFormat.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CWinThread;
class TWaveData;
struct HWND__;
using HWND = HWND__*;

// wParam of WM_WAVEFORM_BUILT.
enum BuildStatus : WPARAM { kBuildDone = 0, kBuildAborted = 1, kBuildNoMemory = 2 };

// The output format of a build: rate, sample width and channel count.
struct SigGenOutputFormat {
    DWORD SamplingRate = 44100;
    DWORD BitsPerSample = 16;
    DWORD Channels = 1;
};

// Everything a build reads, copied when it starts.
struct SigGenBuildRequest {
    SigGenOutputFormat Format;
    OutputDeviceSettings Output;
    SigGenChannelSettings Channel[2];
    std::string TempFolder;
    // User wave files read beforehand on the user-interface thread (null where a file did not
    // open); without UserWaveLoaded the build opens them itself.
    std::shared_ptr<const TWaveData> UserWave[2];
    bool UserWaveLoaded = false;
};

// The settings that decide the output format.
struct SigGenOutputChoice {
    const OutputDeviceSettings* Output = nullptr;
    const SigGenChannelSettings* Channel = nullptr; // two records
    bool SoundCard = true;
    int DeviceIndex = -1; // the D/A output device; negative when none
    std::string TempFolder;
};

// Decides rate, bits and channel count from the output settings and any user-defined wave
// files; the D/A branch asks `openDevice` whether the device can be opened.
SigGenOutputFormat PrepareOutputFormat(const SigGenOutputChoice& choice,
                                       const std::function<bool(int index)>& openDevice = {});

// Frames of one channel's waveform before the wave is made (see the builder).
std::int64_t GetWaveformLength(const SigGenChannelSettings& settings, const TPcmFormat& format,
                               std::span<const std::int16_t> pink, const std::string& tempFolder);
std::int64_t ExtendToWholeRepeats(std::int64_t frames, const TPcmFormat& format);
std::int64_t TrimToWholeCycles(std::int64_t frames, const TPcmFormat& format, float frequency);
// Amplitude of output channel c as a fraction of full scale, 0 < A <= 1.
double ComputeOutputAmplitude(const OutputDeviceSettings& output, WORD channel);

class TWaveformBuilder {
public:
    TWaveformBuilder();
    ~TWaveformBuilder(); // aborts and joins a running build
    TWaveformBuilder(const TWaveformBuilder&) = delete;
    TWaveformBuilder& operator=(const TWaveformBuilder&) = delete;

    // The pink-noise recording's samples, kept for the builder's life (may be empty).
    void SetPinkNoise(std::vector<std::int16_t> samples) { m_pink = std::move(samples); }
    std::span<const std::int16_t> PinkNoise() const { return m_pink; }

    // Aborts and joins any running build, drops the previous wave, and starts a new build.
    // `notify` receives WM_WAVEFORM_BUILT (wParam the BuildStatus, lParam the build's serial
    // number, so that a window can tell a stale build from the current one); `status`
    // receives WM_STATUS_SETPROGRESS; either may be null. Returns the build's serial number.
    LPARAM Start(const SigGenBuildRequest& request, HWND notify, HWND status);
    void Abort() { m_abort.store(1); }
    // Waits for a running build to end (it has been asked to abort, or not).
    void Join();
    bool IsBuilding() const { return m_building.load() != 0; }

    // The finished wave, handed over once; null while building or after a failure.
    std::unique_ptr<TWaveData> TakeWave();
    // Messages the build wants shown on the user-interface thread (user files that did not
    // open), handed over once after it ended.
    std::vector<std::string> TakeReports();
    // How the last build ended.
    BuildStatus LastStatus() const { return m_status.load(); }

    // The build itself, on the calling thread: makes the wave and synthesises both channels.
    // Used by the worker and by tests.
    BuildStatus BuildNow(const SigGenBuildRequest& request, HWND status);

private:
    static UINT ThreadProc(LPVOID self);

    std::atomic<BYTE> m_abort{0};
    std::atomic<BYTE> m_building{0};
    std::atomic<BuildStatus> m_status{kBuildDone};
    std::unique_ptr<CWinThread> m_thread;
    SigGenBuildRequest m_request;
    HWND m_notify = nullptr;
    HWND m_statusWnd = nullptr;
    LPARAM m_serial = 0;
    std::unique_ptr<TWaveData> m_wave;
    std::vector<std::string> m_reports;
    std::vector<std::int16_t> m_pink;
};

// Writes the wave `repeats` times back to back as a wave file at `path` (through a streamed
// working copy, so a failed write leaves no half file there); false when it fails.
bool WriteSignalFile(const TWaveData& wave, const std::string& path, int repeats, const std::string& tempFolder);
