// The maker's USB acquisition device (KDR-5200): found, opened and read through the WinUSB
// functions of platform/usb (a real device over libusb, or the built-in simulator).
//
// A reader thread sends the device's start command and reads 512-byte packets (16 samples of
// each channel, every 4 ms) into one ring per enabled channel, 60 s deep. Everything else reads
// the rings on the user-interface thread.
//
// Threads: the reader thread is the only writer of the rings, the sample counter, the latest
// packets, the levels and the last-packet time; all of them are atomic, and the counter is
// published after the samples it counts. Every other member is called on the user-interface
// thread. The ring readers read only samples the counter has published and fail rather than read
// across the writer; reads by absolute sample number (ReadSamples) also tell an overrun, when the
// writer has already passed over what was asked for, from data.
//
// Ownership: the object owns its buffers and its thread; the thread is always joined before a
// buffer is freed (device reads time out, so it always ends).
//
// Sharing: the device is opened shared, as on Windows, so the input, the D/A output and the
// dialogs' objects may hold it at once (a live run and the signal generator, or the input kept
// open between runs). USB lets one claim of the interface per device, so the objects of the
// process share one claim, released when the last of them closes; only one of them reads at a
// time. Another program that holds the device still refuses the open.
#pragma once

#include "records/UsbDeviceSettings.h"
#include "platform/core/WinTypes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CWnd;
class CWinThread;
struct UsbDeviceClaim;

class TUsbDevice {
public:
    static constexpr int kChannels = 8;
    static constexpr int kSamplesPerBlock = 16;
    static constexpr int kPacketBytes = 512;
    static constexpr int kRingSampleRate = 4000;

    TUsbDevice();
    ~TUsbDevice();
    TUsbDevice(const TUsbDevice&) = delete;
    TUsbDevice& operator=(const TUsbDevice&) = delete;

    // ---- Device and thread control ----
    // Finds and opens the device; false (after the failing step's message) when it cannot.
    bool OpenDevice(CWnd* owner, int deviceIndex, int mode);
    // Stops the input and releases the device; safe at any time.
    void CloseDevice();
    int IsPresent() const { return 1; }
    bool IsOpen() const { return m_open; }
    void GetDeviceName(int index, char* destination, std::size_t size) const;
    void GetBoardName(int index, char* destination, std::size_t size) const;
    // Copies the settings and sizes the buffers; false when the device is not open. A running
    // input is stopped first.
    bool SetDeviceConfigurationAD(UsbDeviceSettings settings, int largestBlock, bool triggerFlag, int triggerValue);
    // Starts the reader thread; false when not configured, when another object sharing the
    // device is reading it, or when the thread cannot start.
    bool StartInput();
    // Stops and joins the reader thread. Always false (as callers expect).
    bool StopInput();
    bool IsInputRunning() const { return false; }
    // Whether the reader thread is running (between StartInput and StopInput).
    bool IsReading() const { return m_thread != nullptr; }

    // ---- Rings (user-interface thread; channel 0..7) ----
    int GetRingLength() const { return m_ringLength; }
    int GetRingFill() const;
    int GetWriteIndex() const;
    // Samples received per channel since StartInput (steps of 16).
    long long GetSampleCounter() const { return m_counter.load(std::memory_order_acquire); }
    int GetSamplesPerPacketBlock() const { return kSamplesPerBlock; }
    // Packets lost since StartInput: each short read, and each packet slot the device's clock
    // passed without one while reads timed out (a stall of at least the read timeout, 0.5 s);
    // each takes 16 samples from every channel. An all-zero packet carries no data and is no loss.
    long long GetLostPackets() const { return m_lostPackets.load(std::memory_order_relaxed); }
    // Whether the device left the bus since StartInput.
    bool IsDeviceLost() const { return m_deviceLost.load(std::memory_order_acquire); }

    // The end (the number of its last sample + 1) of the newest block a read at `now` (UsbTime
    // milliseconds) takes: 256 samples behind the live position estimated from the time since
    // the last packet. A packet that came after `now` was taken gives an older end, never a
    // refusal; -1 before the first packet or 64 ms after the last one. One end serves every
    // channel of a processing step, so that all its blocks describe the same instant.
    long long NewestBlockEnd(DWORD now) const;
    // The newest `count` samples: those ending at NewestBlockEnd(now); false when there is no
    // such end or the ring does not hold them all.
    bool ReadRingBlock(int channel, int count, int* destination, DWORD now) const;
    // `count` samples from ring index `position` (destination may be null to skip them); false
    // when the read would reach the newest sample.
    bool ReadRing(int channel, int position, int count, int* destination) const;
    // Like ReadRing with the span checked against the write index; returns the index after.
    bool ReadRingAt(int channel, int position, int count, int* destination, int* nextPosition) const;
    // How many of `count` samples from ring index `position` can be read.
    int CountReadable(int channel, int position, int count) const;

    enum class RingRead { Ok, NotYet, Overrun, NoRing };
    // `count` samples from absolute sample number `first` (0 = the first sample of the run):
    // NotYet when some are not received yet, Overrun when the ring no longer holds them all.
    RingRead ReadSamples(int channel, long long first, int count, int* destination) const;

    // The channel's 16 samples of the last packet; false without them.
    bool CopyLatestPacket(int channel, int count, int* destination) const;
    void UpdateLevels();
    // 100 plus the peak of the channel's latest packet in dB re full scale (100 = overload).
    DWORD GetChannelLevel(int channel) const;
    // The device clock the last-packet time and ReadRingBlock's `now` are taken on.
    static DWORD Now();

    // ---- Capabilities: one fixed configuration ----
    int GetChannelCount() const { return 8; }
    int GetMaxChannels() const { return 8; }
    int GetMaxSamplingRate() const { return kRingSampleRate; }
    int GetMinSamplingRate() const { return kRingSampleRate; }
    bool IsSimultaneousSampling() const { return true; }
    bool IsResolutionSupported(int bits) const { return bits == 24; }
    int GetGainCount() const { return 1; }
    double GetGainValue(int) const { return 1.0; }
    double GetGain() const { return 1.0; }
    int GetRangeCount() const { return 1; }
    double GetRangeLow(int) const { return 1.0; }
    double GetRangeHigh(int) const { return 1.0; }
    bool SupportsAcCoupling() const { return true; }
    bool SupportsDcCoupling() const { return false; }
    bool SupportsIepeSource() const { return false; }
    bool HasInputCapability1() const { return true; }
    bool HasInputCapability2() const { return false; }
    bool HasInputCapability3() const { return false; }
    int GetIepeCurrentCount() const { return 0; }
    double GetIepeCurrent(int) const { return 0.0; }
    int GetFilterFrequencyCount() const { return 1; }
    double GetFilterFrequency(int) const { return 200.0; }
    bool HasTachometerChannel() const { return false; }
    int GetTachometerChannel() const { return -1; }
    // The device has no analog output: every output operation fails.
    int GetOutputChannelCount() const { return 0; }
    int GetOutputRateLimit() const { return 0; }
    int GetOutputFlags() const { return 0; }
    bool IsOutputResolutionSupported(int) const { return false; }
    bool OpenOutput(int, int, int) { return false; }
    bool WriteOutputBuffer(int, int, const void*, int) { return false; }
    bool StartOutput() { return false; }
    bool StopOutput() { return false; }

    // The device's packet block that carries a channel (channels 0 and 7 share block 6).
    static int BlockOfChannel(int channel) { return channel == 0 || channel == 7 ? 6 : channel - 1; }
    // The ring length for a largest channel block: 60 s, or 20 blocks when that is more.
    static int RingLengthFor(int largestBlock);

private:
    static UINT ThreadProc(LPVOID self);
    void ReaderThreadLoop();
    bool ReadPacket();
    bool ReadPipeNoting(BYTE* packet, ULONG* got);
    // Loss accounting on the device's clock (reader thread; the reader joined, StopInput): every
    // packet, filler or short read takes one 4 ms slot; slots the clock passed without any,
    // seen when reads time out on a device that sends nothing, are lost.
    void NoteSlot(DWORD now, long long lost);
    void CountClockGap(DWORD issued, bool timedOut);
    void EndGapWindow();
    long long Shortfall(DWORD now) const;
    static constexpr DWORD kPacketMs = 1000 * kSamplesPerBlock / kRingSampleRate;
    static constexpr DWORD kGapWindowMs = 500; // reads that waited: the least shortfall of this long
    void ConfigureBuffers(int largestBlock);
    // The open's last steps (speed, pipes) on the interface held; false after the step's message
    // when `report`, silently otherwise.
    bool QueryDevice(bool report);
    // Takes a share of the claim another object holds on `path`; false when there is none.
    bool JoinClaim(const std::string& path);
    // Lets another object sharing the device read it.
    void LeaveReading();
    // Gives up this object's share (the last one frees the interface and the device handle).
    void ReleaseClaim();
    bool HasRing(int channel) const { return channel >= 0 && channel < kChannels && m_rings[channel] != nullptr; }
    // Ring and packet samples are shared with the reader thread: every access is atomic.
    static std::int32_t Load(std::int32_t& slot) { return std::atomic_ref<std::int32_t>(slot).load(std::memory_order_relaxed); }
    static void Store(std::int32_t& slot, std::int32_t v) { std::atomic_ref<std::int32_t>(slot).store(v, std::memory_order_relaxed); }
    int Sample(int channel, int index) const { return Load(m_rings[channel][index]); }

    BYTE m_pipeIn[4] = {};
    BYTE m_pipeOut[4] = {};
    HANDLE m_file;
    void* m_interface; // WINUSB_INTERFACE_HANDLE
    UsbDeviceClaim* m_claim = nullptr; // the shared claim while open
    bool m_open = false;
    bool m_configured = false;
    bool m_inputStarted = false;
    std::atomic<bool> m_run{false};
    std::atomic<bool> m_exited{true};
    CWinThread* m_thread = nullptr;
    UsbDeviceSettings m_settings;
    CWnd* m_owner = nullptr;
    int m_deviceIndex = -1;

    std::unique_ptr<std::int32_t[]> m_latest[kChannels];
    std::unique_ptr<std::int32_t[]> m_rings[kChannels];
    int m_ringLength = 0;
    std::atomic<long long> m_counter{0};
    std::atomic<std::int32_t> m_levels[kChannels] = {};
    std::atomic<DWORD> m_lastPacketTime{0};
    std::atomic<bool> m_havePacket{false};
    std::atomic<long long> m_lostPackets{0};
    long long m_slots = 0; // packet slots accounted for since the first (reader thread)
    DWORD m_clockBase = 0;
    DWORD m_windowStart = 0;
    static constexpr long long kNoShortfall = 1LL << 62; // no packet in the window yet
    long long m_windowMin = kNoShortfall;
    bool m_firstAfterGap = false; // a read timed out: the next packet ends (or interrupts) a stall
    bool m_gapGoesOn = false; // a gap was just counted: what the next window still misses is loss too
    std::atomic<bool> m_deviceLost{false};
};
