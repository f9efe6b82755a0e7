// The main window and, in the same object, the whole state of the system: every settings
// record (held in one FrameSettings aggregate, Settings), every per-channel processing object,
// every open window, the device objects, the file records and the paths. There is one; the
// rest of the system reaches it as the application's main window and uses its members.
//
// Everything here runs on the user-interface thread. The frame owns the channel objects (each
// owning its channel's processing objects), the channels' wave files (through Settings.Files), the utility and generator windows, the
// tool windows and the devices; plot windows are MDI children that free themselves, so the
// plot pointers are non-owning and are cleared only by the Close*Plot members.
#pragma once

#include "app/settings/FrameSettings.h"
#include "app/TChannelProcessing.h"
#include "utilities/ReverbLinks.h"
#include "utilities/UtilityHost.h"
#include "utilities/ThdFreqLinks.h"
#include "app/settings/WindowPlacement.h"
#include "records/UtilitySettings.h"
#include "platform/ui/FrameWnd.h"
#include "wave/FileGroup.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CToolbar;
class CToolbar2;
class CStatusbar;
class TUsbDevice;
class TSoundOutput;
class TSampleBuffer;
class TSmoothing;
class SpectralData;
class TWaveData;
class TWaveFile;
class TPlotBase;
class TSeriesPlot;
class TSpectraPlot;
class TPhasePlot;
class TSpectrogram;
class TSurfacePlot;
class CSigGen;
struct SigGenLinks;
class CAnalysisView;
class CLeqAnalysisView;
class CSoundPowerAnalysisView;
class TTHDFreq;
class TReverb;
struct CalibrationContext;
struct UtilityHost;

class CMainFrame : public CMDIFrameWnd {
public:
    static constexpr int kChannels = FrameSettings::kChannels;
    static constexpr int kComposites = FrameSettings::kComposites;
    static constexpr int kPlotKinds = 5;          // time series, spectrum, phase, spectrogram, surface
    static constexpr int kCompositePlotKinds = 4; // spectrum, phase, spectrogram, surface

    CMainFrame();
    ~CMainFrame() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

    // ---- State --------------------------------------------------------------------------

    // Tool windows (created in OnCreate; null when one could not be made).
    std::unique_ptr<CToolbar> Toolbar;
    std::unique_ptr<CToolbar2> Toolbar2;
    std::unique_ptr<CStatusbar> StatusBar;

    // Every settings record: view flags (Main, Buttons, Statusbar), OpMode, MasterDisplayGain,
    // the channel and composite records, devices, run control, file I/O, paths and working
    // paths, logging, printing and the 119 placement records.
    FrameSettings Settings;

    // Devices: input, then output (the output is destroyed first).
    std::unique_ptr<TUsbDevice> InputDevice;
    std::unique_ptr<TUsbDevice> OutputDevice;

    // Run state.
    bool AcquisitionRunning = false; // a Real Time or Recorder run is active
    DWORD RunWholeFile = 0;          // the next post-process run covers the whole file
    // Set by the plot options command: the Enter key-up that closes the sheet must not start
    // a whole-file run where it lands; the next Enter clears it instead.
    BYTE SkipNextEnterRun = 0;
    BYTE EnterPressedInFrame = 0; // Enter went down in the frame itself
    bool PostProcessBusy = false;    // a post-process pass is running
    // A run of either kind: what the run buttons, the state pane and the meters show.
    bool IsRunning() const { return AcquisitionRunning || PostProcessBusy; }
    // Kept by the acquisition, read by the status bar.
    bool TriggerDetected = false;
    bool PostTriggerCapture = false;
    int CapturePercent = 0;
    int FftsProcessed = 0;
    float RunStartTime = 0.0f;
    // A live run's limits and start delay count on the device's clock (TUsbDevice::Now, ms)
    // from this tick, taken at the run's first processing step, so they survive midnight.
    bool RunClockStarted = false;
    DWORD RunStartTick = 0;
    // The processing timer's interval in a live run, kept from run to run (10..100 ms).
    static DWORD ProcessIntervalMs;
    // The real-time buffer files: the ring index the wave-writing timer reads next (the same
    // for every channel; RecordedSamples in the ring), and the frame count at which the files last wrapped (0: never).
    int WaveWritePosition = 0;
    DWORD RealTimeWrapPoint = 0;
    DWORD OverloadCount[kChannels] = {};
    float PostProcessStartTime[kChannels] = {}; // each file's time when a post-process run began
    // Post-process triggering: the frame in the trigger channel's file the next search reads
    // from, and a request to take the next searched piece as an event.
    // In a live run the search position is the device's sample number (counted from the run's
    // first sample), as are the event and the start of the block to analyse.
    long long TriggerSearchFrame = 0;
    bool TriggerForce = false;
    long long TriggerEventSample = 0;
    long long TriggerBlockStart = 0;
    // A triggered Recorder run records from the first accepted event's block on; until then
    // nothing is written.
    bool RecordingTriggered = false;
    // A write to a take's files failed: nothing more is written to them this run (a Recorder
    // run stops).
    bool RecordingHalted = false;

    // The current file group.
    FileGroupInfo FileGroup;

    // The channels' processing objects (app/TChannelProcessing.h): each input channel's sample
    // buffer, window table and engine, and each composite channel's four engines (reference,
    // transfer, result, coherence), read by index; null when not built.
    TChannelProcessing& Channel(int channel) { return m_channels[std::size_t(channel)]; }
    const TChannelProcessing& Channel(int channel) const { return m_channels[std::size_t(channel)]; }
    TCompositeProcessing& CompositeChannel(int composite) { return m_composites[std::size_t(composite)]; }
    const ChannelIndex<TChannelProcessing, TSampleBuffer*> SampleBuffer{m_channels, &TChannelProcessing::Buffer};
    const ChannelIndex<TChannelProcessing, SpectralData*> Spectral{m_channels, &TChannelProcessing::Engine};
    const ChannelIndex<TChannelProcessing, TSmoothing*> Smoothing{m_channels, &TChannelProcessing::Window};
    const ChannelIndex<TCompositeProcessing, std::array<SpectralData*, 4>> CompositeSpectral{m_composites,
                                                                                            &TCompositeProcessing::Engines};
    // Gives the channel a new sample buffer and hands back the one it had (deleted by the
    // caller once nothing draws from it).
    std::unique_ptr<TSampleBuffer> SwapSampleBuffer(int channel, std::unique_ptr<TSampleBuffer> buffer);

    // Open plot windows: observers, not owners. They are MDI children that the window system
    // destroys (each frees itself), so the frame only clears a slot when its window goes.
    TSeriesPlot* TimeSeriesPlot[kChannels] = {};
    TSpectraPlot* SpectrumPlot[kChannels] = {};
    TPhasePlot* PhasePlot[kChannels] = {};
    TSpectrogram* SpectrogramPlot[kChannels] = {};
    TSurfacePlot* SurfacePlot[kChannels] = {};
    TSpectraPlot* CompositeSpectrumPlot[kComposites] = {};
    TPhasePlot* CompositePhasePlot[kComposites] = {};
    TSpectrogram* CompositeSpectrogramPlot[kComposites] = {};
    TSurfacePlot* CompositeSurfacePlot[kComposites] = {};

    // Start-up paths. The data folder ends in '/' (or is empty when it can't be found).
    std::string ProgramBaseName = "Durnex";
    std::string InstallProfilePath;
    bool WindowsInstall = false;
    std::string DataFolder;
    std::string ProfilePath;
    std::string StartupConfigPath;
    // A profile or start-up configuration that was there but could not be read at start-up is
    // left as it is at exit, not replaced by defaults.
    bool KeepProfile = false;
    bool KeepStartupConfig = false;

    // Playback of a selected segment (MainFramePlayback.cpp).
    bool Playing = false;
    TWaveFile* PlaybackFile = nullptr; // observes the channel's file (Settings.Files owns it), null when idle
    std::int32_t PlaybackStartFrame = 0;
    std::int32_t PlaybackEndFrame = 0;
    std::int32_t PlaybackCurrentFrame = 0; // the next frame to copy
    DWORD PlaybackFileSlot = 0;            // the channel's slot within its file
    DWORD PlaybackRate = 0;                // handed to the sound card; 0: the file's own rate
    bool PlaybackLoop = false;
    std::unique_ptr<TSoundOutput> SoundOutput; // shared with the generator and test windows
    std::unique_ptr<TWaveData> PlaybackWave[2]; // one second each
    // The rate last typed for Arbitrary Speed, offered again until the program ends.
    static DWORD LastArbitraryRate;

    // Generator and utility windows, null when closed. The two MDI ones, THDFreqWnd and
    // ReverbWnd, are observers: the window system destroys them and they free themselves.
    std::unique_ptr<CSigGen> SigGen;
    std::unique_ptr<CAnalysisView> PeakFreqView;
    std::unique_ptr<CAnalysisView> PeakAmpView;
    std::unique_ptr<CAnalysisView> TotalPowerView;
    std::unique_ptr<CAnalysisView> THDView;
    std::unique_ptr<CAnalysisView> THDNView;
    std::unique_ptr<CAnalysisView> IMDView;
    std::unique_ptr<CAnalysisView> SNRView;
    std::unique_ptr<CAnalysisView> SINADView;
    std::unique_ptr<CLeqAnalysisView> LeqView;
    TTHDFreq* THDFreqWnd = nullptr;
    TReverb* ReverbWnd = nullptr;
    std::unique_ptr<CAnalysisView> RPMView;
    std::unique_ptr<CSoundPowerAnalysisView> SoundPowerView;

    // ---- Start-up and shutdown ----------------------------------------------------------

    void BuildInstallProfilePath();
    void ChooseDataFolder();
    void SetDefaultPaths(PathSettings& paths) const;
    void CopyInitialDataFolder();
    void CreateStandardFolders();
    // The module path the frame derives its names from: the running executable, unless a
    // test has named another one before constructing a frame.
    static std::string ModulePath();
    static void SetModulePath(std::string path);
    // The first resize's once-only work (command-line configuration or window restore) runs
    // once per process; a test that starts a second frame clears it.
    static bool FirstResizeDone;
    // Posted by the first resize; runs its once-only work once the frame is up.
    static constexpr UINT kFirstResizeWork = WM_APP + 1;
    LRESULT OnFirstResizeWork(WPARAM wParam, LPARAM lParam);
    // Enter released in a plot window.
    LRESULT OnRunWholeFileMessage(WPARAM wParam, LPARAM lParam);
    // The channel commands of a spectrum window's menu (cepstrum, inverse FFT, Q factor).
    LRESULT OnSpectrumCommand(WPARAM wParam, LPARAM lParam);
    // What a plot window needs of the frame beyond its records, handed over when it opens.
    void HandOverPlotSettings(TPlotBase& plot);

    // Profile and start-up configuration.
    // Profile values that had to be held to their ranges are added to replaced when given.
    void ReadGlobalSettings(std::vector<std::string>* replaced = nullptr);
    bool WriteGlobalSettings();
    [[nodiscard]] bool ReadConfigurationFile(const char* path, struct ConfigurationCheck* check = nullptr);
    [[nodiscard]] bool WriteConfigurationFile(const char* path);
    // Reads the start-up configuration, reporting one that cannot be read or is damaged.
    // Reads the start-up configuration; one message names what it and the profile (the
    // profile's replaced values) held that could not be used.
    void ReadStartupConfiguration(const std::vector<std::string>& profileReplaced = {});
    // Writes the profile and the start-up configuration at exit, reporting what failed.
    void WriteSettingsAtExit();

    // ---- Modes, Run and Stop, channel set-up --------------------------------------------

    void OnModeRealTime();
    void OnModeRecorder();
    void OnModePostProcess();
    void SetModeRecorder(bool ask);
    void SetModePostProcess(bool ask);
    void UpdateModeMenuChecks();
    void OnRun();
    void OnStop();
    // The Stop command: OnStop, then time-series plots left on a block or a computed signal
    // show their files again (ShowLiveSeriesPlotsFiles, also done by Rewind).
    void OnStopCommand();
    void ShowLiveSeriesPlotsFiles();
    // One channel's time-series plot back on its whole file (or its saved range without one).
    void ShowSeriesPlotFile(int channel);
    // Options > System Check: stops a run and shows the modal check on the input device.
    void OnSystemCheck();
    // The simulator's loopback source hears what the sound output plays.
    static void ConnectSoundLoopback();
    void StopPlayback();

    // Segment playback (MainFramePlayback.cpp).
    void OnPlay();
    void OnPlayLoop();
    void OnPlayHalfSpeed();
    void OnPlayDoubleSpeed();
    void OnPlayArbitrarySpeed();
    void OnUpdatePlayback(CCmdUI* pCmdUI);
    // Plays the channel's file from `start` to `end` seconds; false when nothing plays (a
    // second call while playing stops the playback and returns false).
    bool StartSegmentPlayback(int channel, float start, float end);
    LRESULT OnWaveOutDone(WPARAM wParam, LPARAM lParam);
    // WM_PLAY_SEGMENT from a plot's Play button: a PlaySegmentRequest in lParam.
    LRESULT OnPlaySegmentMessage(WPARAM wParam, LPARAM lParam);
    void SetupAllChannels();
    // False when the channel's calibration file could not be read and its calibration was
    // reset to Volts; *reason then says why.
    bool InitChannelScaling(int channel, std::string* reason = nullptr);
    void SetupChannelProcessing(int channel);
    void ApplyChannelAveraging(int channel);
    void ResetAllSpectralAverages();
    void ResetChannelSpectralAverages(int channel);
    int CountEnabledChannels() const;
    DWORD MaxChannelBlock() const;
    DWORD MinChannelBlock() const;

    // Acquisition and post-processing entry points (acquisition/MainFrameRun.cpp).
    BOOL StartDataAcquisition();
    void StopDataAcquisition();
    void StartPostProcess();
    void StopPostProcess();
    void ReconfigureProcessing();
    void UpdateChannelPlots();
    void FeedChannelPlots(int channel, float frameTime, float historyTime);
    int AcquireAndProcessBlock();
    // The post-process timer's interval: the user's, within 10 ms to 10 s, when asked for.
    DWORD PostProcessIntervalMs() const;
    // In a Recorder run with a start delay: true while the delay lasts, and the samples that
    // arrive meanwhile are passed over.
    bool HoldRecordingForStartDelay();
    int PostProcessStep();
    // Recorder runs: the recording files are made or checked before the run; every wave-writing
    // tick appends what the rings hold since the last one, by absolute sample number.
    bool PrepareRecordingFiles();
    // A file chosen for a recorded channel, made ready to have the run appended at its end (an
    // in-memory one given room); false, after a message naming the cause, when it cannot be.
    bool ReadyToAppend(int channel);
    void WriteRecordingBlock();
    bool SplitRecordingFile(int channel);
    std::string RecordingFileName(int channel) const;
    // The device's number of the next sample the wave-writing timer moves into the files.
    long long RecordedSamples = 0;
    // One trigger search of a post-process step: 1 found (files at the event), 0 nothing found,
    // -1 the step ends here (prompt refused or cancelled, search past the end).
    int PostProcessTriggerSearch();
    // Live triggering: true when the processing step may read its blocks (from the block start
    // when an analog trigger is searched); the accept prompt of a found event.
    bool WaitForTrigger();
    bool AcceptTriggerEvent();
    // An analog trigger searched on an enabled channel of a live run.
    bool IsAnalogTriggerLive() const;
    // Whether a Recorder run still holds its recording back for the trigger.
    bool IsRecordingHeldForTrigger() const;
    // Shared by live and post-process triggering: a piece of `count` samples of the trigger
    // channel scaled to volts at `gain` (null when it cannot be made); the delay in samples,
    // negative for a pre-trigger delay; and the accept question over the channel's plot.
    std::unique_ptr<TSampleBuffer> NewTriggerPiece(DWORD count, const TPcmFormat& format, float gain) const;
    long long TriggerDelaySamples(DWORD sampleRate) const;
    int AskToAcceptTrigger(int channel, const char* question);
    // The wave-writing tick of a live run: what the rings hold since the last write goes into
    // the channels' files (Real Time: the circular buffer files; Recorder: the recording files),
    // every file taking each piece or none, and the files' headers follow at least once a
    // second. `final` (at Stop, the device stopped) also takes the last piece shorter than 256
    // samples, brings every header up to date and reports packets the device dropped.
    void DrainRingsToFiles(bool final);
    // The channel's calibration in both slots of a file made for it, when in use and wanted in
    // files; else none.
    void GiveChannelCalibration(TWaveFile& file, int channel) const;
    // Says beside a take's working file that it is the channel's take of this run (a Real Time
    // buffer: one whose order may turn), with its calibration, for the next start after a crash.
    void LabelTake(TWaveFile& file, int channel, bool realTime) const;
    void NoteRingPiece(int count, const bool* channels);
    // The run the files of a take belong to; files that end at one sample share it.
    std::string RunLabel;
    // At start-up: recordings a crash left in the wave folder are named in one message.
    void ReportLeftOverTakes();
    // One message for the channels (a list like "0, 3") whose run file the wave folder refused.
    void ReportUnwritableWaveFolder(const std::string& channels, bool nothingKept) const;
    // The drain's parts: whether a channel's file takes the run's samples; pieces from the rings
    // into the files; after a piece, the header's update, a circular file's wrap or a full
    // recording file's split (false when the take halted); a failed take's end; a device that
    // left the bus.
    bool DrainsChannel(int channel) const;
    void MoveRingPieces(bool final);
    // Every marked channel's file takes its piece of `count` samples, or none does (halted).
    bool WritePieceToAll(const std::int32_t* pieces, int count, const bool* channels);
    bool EndPieceOfChannel(int channel);
    void HaltTake(const std::string& text);
    void StopForLostDevice();
    int CountTachometerFiles() const;
    void ProcessCompositeAndPlots();
    // Whether a composite channel may be computed this step: in Post Process mode none of its
    // members' files has ended, and in every mode each member that has samples this run was
    // analysed in this step.
    bool CompositeSourcesHaveData(int composite) const;
    // One block of a channel (decimation ratio x FFT size samples) through its sample buffer,
    // window and spectrum engine; false when the channel's objects are missing.
    bool ProcessChannelBlock(int channel, const int* samples, float now);
    // The block already in the channel's sample buffer, analysed with `time` as its time.
    bool AnalyzeChannelBlock(int channel, float time);
    // A channel's block: decimation ratio x FFT size samples.
    DWORD ChannelBlockLength(int channel) const;
    // The channels (bit per channel) whose block the current step analysed; those a live step
    // could not read while it read others (shown on the status bar); and the device sample
    // number the live step's blocks end at (-1 when it read none).
    DWORD StepChannels = 0;
    DWORD SkippedChannels = 0;
    long long StepEndSample = -1;
    // The time each channel's block of the step stands for in the history windows and logs: its
    // middle's place in the channel's file in seconds (the time of day for a live channel
    // without a file). Composites take their time channel's.
    float StepBlockTime[kChannels] = {};
    // Where a live block ending at device sample `end` and `length` long has its middle in the
    // channel's file, in seconds: the recording file's own frames (after a start delay, a
    // trigger, an appended run or a split), or the real-time buffer's frames as if it never
    // wrapped (Stop shifts the histories by what its unroll drops). False without a file.
    bool LiveBlockTime(int channel, long long end, DWORD length, float* seconds) const;
    // The first device sample a live block of a channel may begin at: in Recorder mode the
    // first of this run's take (after a start delay or a trigger) in the channel's file (after
    // a split), else the run's first. Earlier blocks are not analysed: their samples are in no
    // file of the channel.
    long long FirstAnalysedSample(int channel) const;
    // Frames written to the real-time buffer files this run, as if they never wrapped; the
    // device sample where this Recorder run's take begins (-1 before its first piece).
    long long RealTimeFramesWritten = 0;
    long long RecordStartSample = -1;
    // Moves the history lines of a channel's windows (and of the composites timed by it) by
    // `seconds`: a file that lost its first part (a Real Time unroll, a split) moved its
    // samples. Lines that fall before the file's start are dropped.
    void ShiftChannelHistories(int channel, double seconds);
    // The input channel a composite's times come from: its reference channel (two-channel
    // types) or its first included channel; -1 for none.
    int CompositeTimeChannel(int composite) const;
    // A step's block of one channel as read from the device, kept from step to step.
    std::vector<int> StepBlock;
    // One frame of a two-channel composite (types 1..4) from the input channels' blocks in
    // `buffers` into R, T, C and H (H only for type 3); false when an object is missing or
    // the sizes do not agree.
    bool ComputeTwoChannelComposite(int composite, TSampleBuffer* const buffers[], SpectralData* const inputs[],
                                    SpectralData* R, SpectralData* T, SpectralData* C, SpectralData* H);
    // The span after which the real-time buffer files wrap: the buffer length less a second,
    // but never under a second.
    static double RealTimeWrapSeconds(DWORD bufferSeconds);
    // At Stop: the circular buffer files into time order, cut to the frames they really hold.
    void UnrollRealTimeBuffers();
    // A summing composite's next spectrum: the members' frames summed into `result` (complex
    // for type 0, else real), the average count taken from `countFrom` when there is one, then
    // averaged and peak-held.
    static void SumCompositeSpectra(SpectralData& result, const std::vector<const float*>& spectra, WORD compositeType,
                                    const SpectralData* countFrom);
    static DWORD GetPostProcessHop(ChannelProcessingSettings settings);
    bool ValidateCompositeChannels(int flag);
    bool IsChannelInComposite(int channel, int composite) const;
    int GetCompositeSource(int composite) const;
    // The input channel whose processing and scaling records a composite's plots are given.
    int CompositeRecordChannel(int composite) const;
    double GetChannelFileTime(int channel) const;
    void SetChannelFileTime(int channel, float seconds);
    void SetChannelFilePosition(int channel, DWORD frame);
    float GetChannelFileDuration(int channel) const;
    void RewindWaveFiles();
    void SeekWaveFilesToEnd();
    void CloseLogFiles();
    void OnTimer(UINT_PTR nIDEvent);

    // ---- Configurations -----------------------------------------------------------------

    void OnConfigSave();
    void OnConfigLoad();
    LRESULT OnLoadConfigMessage(WPARAM wParam, LPARAM lParam);
    // False (reported) when the file can't be written.
    bool SaveConfiguration(const char* path);
    // True when the file was loaded; false, with nothing changed, when it could not be.
    bool LoadConfiguration(const char* path);
    void RecordAllWindowPlacements();

    // ---- Window placement ---------------------------------------------------------------

    void RecordWindowPlacement(int kind, int channel, bool composite);
    bool IsWindowMarkedOpen(int kind, int channel, bool composite) const;
    void RestoreWindowPlacement(int kind, int channel, bool composite);
    void GetInitialWindowRect(RECT* rect, int kind, int channel, bool composite, bool* maximised = nullptr);
    void GetCascadeRect(RECT* rect);
    DesktopInfo GetDesktopInfo() const;
    // The area a window of this kind is fitted to: the MDI area's client for MDI windows, the
    // screen for the others.
    CRect GetPlacementArea(int kind) const;
    // Moves (and if need be shrinks) an open generator or utility window onto the screen.
    void KeepOnScreen(int kind);
    // Moves a utility window that has no stored place off the other open utility windows and
    // the generator, where the screen has room, so that windows opened together stay readable.
    void KeepClearOfToolWindows(int kind);
    // The window of a (kind, channel, composite) triple, or null when closed or none.
    CWnd* GetPlacementWindow(int kind, int channel, bool composite) const;

    // ---- Plot and utility windows -------------------------------------------------------

    void OpenTimeSeriesPlot(int channel);
    void OpenSpectrumPlot(int channel);
    void OpenPhasePlot(int channel);
    void OpenSpectrogramPlot(int channel);
    void OpenSurfacePlot(int channel);
    void OpenCompositeSpectrumPlot(int composite);
    void OpenCompositePhasePlot(int composite);
    void OpenCompositeSpectrogramPlot(int composite);
    void OpenCompositeSurfacePlot(int composite);
    void CloseTimeSeriesPlot(int channel);
    void CloseSpectrumPlot(int channel);
    void ClosePhasePlot(int channel);
    void CloseSpectrogramPlot(int channel);
    void CloseSurfacePlot(int channel);
    void CloseCompositeSpectrumPlot(int composite);
    void CloseCompositePhasePlot(int composite);
    void CloseCompositeSpectrogramPlot(int composite);
    void CloseCompositeSurfacePlot(int composite);
    // Opens or closes the plot of a kind 1..5 (composite: 2..5).
    void OpenPlot(int kind, int channel, bool composite);
    void ClosePlot(int kind, int channel, bool composite);
    TPlotBase* GetPlot(int kind, int channel, bool composite) const;
    // Calls fn(kind, index, composite) for every plot slot: kinds 1..5 of each input channel,
    // then kinds 2..5 of each composite.
    template <class Fn>
    void ForEachPlotSlot(Fn&& fn) const
    {
        for (int ch = 0; ch < kChannels; ++ch)
            for (int kind = 1; kind <= kPlotKinds; ++kind)
                fn(kind, ch, false);
        for (int c = 0; c < kComposites; ++c)
            for (int kind = 2; kind <= kPlotKinds; ++kind)
                fn(kind, c, true);
    }
    // Calls fn(plot) for every open plot, in the order of ForEachPlotSlot.
    template <class Fn>
    void ForEachOpenPlot(Fn&& fn) const
    {
        ForEachPlotSlot([&](int kind, int index, bool composite) {
            if (TPlotBase* plot = GetPlot(kind, index, composite))
                fn(plot);
        });
    }

    void OnSelectSingleChannelPlots();
    void OnSelectCompositeChannelPlots();
    // Processing settings (F4 and the tool-window buttons): the sheet on working copies, then
    // the apply-and-rebuild sequence after OK. pageCode: -1 last used, 1 FFT, 2 Scaling,
    // 4 Calibration (others open the sheet on its first page).
    void OnProcessingSettings();
    void ShowProcessingSettings(int pageCode);
    // Plot options (F5 and every plot's Properties): the sheet for the active plot's kind and
    // channel on working copies of all channels' plot records; after OK the records are
    // copied back and only the open plots whose records changed are refreshed (spectrogram
    // and surface windows rebuilt). kind: 1 time series .. 5 surface.
    void OnPlotOptions();
    // Every command (menu, key, tool window, a plot's Properties), a configuration loaded from
    // the tool window's list and the frame's close first apply what the user left typed in a
    // plot's tool strip, so that they read, save and draw the value the box shows.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void FinishPlotTyping();
    void ShowPlotOptions(int kind, int channel);
    void ShowCompositePlotOptions(int kind, int composite);
    // What the calibration dialogs need of the frame: folders, the input device, the generator.
    CalibrationContext MakeCalibrationContext() const;
    void OnCloseAllPlots();
    LRESULT OnPlotClosing(WPARAM wParam, LPARAM lParam);
    LRESULT OnPlotActivated(WPARAM wParam, LPARAM lParam);
    LRESULT OnUtilityClosing(WPARAM wParam, LPARAM lParam);
    void OnSysColorChange();
    void RestoreWindows();
    void ReopenUtilityWindows();
    bool GetActivePlot(int* kind, int* channel, int* composite) const;
    void HighlightAllPlots();
    void UnhighlightAllPlots();
    void ReleaseChannelProcessing(int index);
    void ReleaseAllChannelProcessing();
    void UpdateTitle();
    void OnChannelWindowsChanged(int channel);
    void CloseDisabledChannelPlots();
    void DisableCompositesOfDisabledChannels();
    // The utility or generator window of a kind 6..19 (null when closed).
    CWnd* GetUtilityWindow(int kind) const;
    // The lParam a window of a kind 6..19 sends with WM_UTILITY_CLOSING (0 when closed).
    LPARAM UtilityWindowParam(int kind) const;
    // The menu command that opens or closes the window of a kind 6..19.
    static UINT UtilityCommand(int kind);

    // ---- About, splash, paths -----------------------------------------------------------

    void OnAbout();
    void OnSetPaths();
    void OnAppExit();

    // ---- layout: begin (owned by the layout work) ----

    // Frame layout: the two tool windows on top, the MDI client, the status bar at the bottom.
    void RecalcLayout(BOOL bNotify = TRUE) override;
    void UpdateToolbarMenuChecks();
    void ApplyToolWindowFlags();
    void TilePlots();
    void SetDisplayGainShift(int shift);
    void OnToggleMainToolbar();
    void OnToggleSecondaryToolbar();
    void OnToggleStatusbar();
    void OnToggleSeriesToolbars();
    void OnToggleSpectrumToolbars();
    void OnTogglePhaseToolbars();
    void OnToggleSpectrogramToolbars();
    void OnToggleSurfaceToolbars();
    // kind 1..5: time series, spectrum, phase, spectrogram, surface.
    void TogglePlotToolbars(int kind);
    bool AnyPlotToolbarShown(int kind, int channels, int composites) const;
    void OnAutoscaleAll();
    void OnHelpNothing();
    void OnHelpReleaseNotes();
    void OnHelpWebsite();
    void OnHelpAgreement();
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);

    // Utilities menu: each command opens its window when closed and closes it when open.
    void OnSignalGenerator();
    // The generator window's links to the frame's records, folders and status bar.
    SigGenLinks MakeSigGenLinks();
    void OnSaveSignalToWaveFile();
    void OnUpdateSaveSignal(CCmdUI* pCmdUI);
    LRESULT OnSigGenIoSettings(WPARAM page, LPARAM window);
    void OnUtilityPeakFreq();
    void OnUtilityPeakAmp();
    void OnUtilityTotalPower();
    void OnUtilityTHD();
    void OnUtilityTHDN();
    void OnUtilityIMD();
    void OnUtilitySNR();
    void OnUtilitySINAD();
    void OnUtilityLeq();
    void OnUtilityTHDFreq();
    void OnUtilityRT60();
    void OnUtilityRPM();
    void OnUtilitySoundPower();
    void OnCloseAllUtilities();
    void UpdateUtilityMenuChecks();
    void UpdateUtilityViews();
    void ResetUtilityViews();
    // Opens or closes the utility window of a kind 7..19; false when it refused to close.
    bool ToggleUtilityWindow(int kind);

    // The RT-60 window (MainFrameReverb.cpp): what it gets of the frame, the segment road from
    // a time-series selection, its requests and its printout.
    // The devices and records every live-test window gets.
    void UpdateHistoryTimeLabels();
    void FillLiveTestLinks(LiveTestLinks& links);
    ReverbLinks ReverbHandOver();
    // False when the channel has no file or nothing is selected; else analyses the segment.
    bool AnalyzeReverbSegment(int channel, float start, float end);
    LRESULT OnReverbRequest(WPARAM wParam, LPARAM lParam);
    void PrintReverbWindow(bool withDialogs);

    // The THD+N-versus-frequency window (MainFrameThd.cpp): what it gets of the frame, its
    // requests and its printout.
    ThdFreqLinks ThdFreqHandOver();
    LRESULT OnThdFreqRequest(WPARAM wParam, LPARAM lParam);
    void PrintThdFreqWindow();
    // What both test windows ask of the frame (MainFrameUtilityTests.cpp): a test starts, so
    // a run, a playback and the generator stop; the test stopped the input device; the printer
    // DC of the print dialog (or the default printer); one page with the frame's header,
    // titles and comments around the window's plot (`extra` draws below the titles).
    void StopForUtilityTest();
    void UtilityTestStoppedDevice();
    bool ChoosePrinterDC(CDC& dc, bool withDialog);
    bool PrintUtilityPage(CDC& dc, TPlotBase& wnd, const char* document, const std::function<void(CDC&)>& extra);

    // Printing: the printer chosen in the print dialogs (movable memory, null until chosen).
    HGLOBAL PrinterDevMode = nullptr;
    HGLOBAL PrinterDevNames = nullptr;
    void OnFilePrint();
    void OnFilePrintSetup();
    void OnFileAnnotations();
    void PrintPageHeader(CDC* dc);
    void PrintChannelInfo(CDC* dc, int channel, bool composite);
    void PrintTitles(CDC* dc);
    void PrintComments(CDC* dc);
    // False, with the message that says so, when the margins leave no room on the page.
    bool MarginsFitPage(CDC& dc);
    // Asks for the default printer in landscape when none is chosen yet; false when there is none.
    bool PrepareDefaultPrinter();
    void KeepPrinterHandles(HGLOBAL devMode, HGLOBAL devNames);
    // ---- layout: end ----

    // ---- files: begin (owned by the file-command work) ----
    // Per-channel wave-file commands and frame operations (MainFrameFiles.cpp).
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnFileClose();
    void OnFileDelete();
    void OnUpdateFileSave(CCmdUI* pCmdUI);
    void OnUpdateFileClose(CCmdUI* pCmdUI);
    // Runs the file-group dialog and re-applies the channels it changed.
    void OpenChannelFiles();
    void ReopenAllWaveFiles();
    // False when the channel's file cannot be opened; *reported then says whether the file has
    // shown its own message about it.
    bool ReopenChannelFile(int channel, bool* reported = nullptr);
    void ReattachChannelFile();
    // A channel whose file changed takes it up: calibration, processing objects, plots.
    void ApplyChannelFile(int channel);
    // Reopens every channel's stored file and applies them all.
    void ReopenAndApplyAllWaveFiles();
    // The clipboard wave as the channel's new, untitled file (the pastes on a channel with none).
    void PasteClipboardAsChannelFile(int channel);
    void AttachWaveFileToPlots(int channel);
    // False when the user cancelled.
    bool CloseAllWaveFiles();
    // Before the Real Time buffers of a run go (Exit, close, loading a configuration): asks,
    // and on Yes saves each as a recording file in the wave folder. False when the user
    // cancelled or a buffer could not be saved: then nothing is to be closed.
    bool KeepRealTimeBuffers();
    // Saves each Real Time buffer not saved yet as a recording file in the wave folder and
    // names them; false when one could not be saved (it stays the channel's). closing: the
    // save was asked on the way out, which then does not happen.
    bool SaveRealTimeBuffers(bool closing);
    // Deletes every channel's file and lets its plots go back to the live buffer.
    void DropAllWaveFiles();
    int CountOpenWaveFiles() const;
    // Files whose work would be lost on closing: untitled ones, and named ones whose edits
    // live only in memory or in a working copy.
    int CountUnsavedNewFiles() const;
    // The key, MDI client and plots' "run the whole file" (the flag RunWholeFile is the state).
    void StartWholeFileRun();
    // The unsaved-files question: IDNO to go on (also when nothing is unsaved), IDYES after
    // the file-group dialog has run, IDCANCEL.
    int AskAboutUnsavedFiles();
    void StopRunAndPlayback();
    // The file of each channel whose samples an edit command changed (a calibration change
    // alone is not work the user would miss); compared with the channel's current file.
    const TWaveFile* EditedWave[kChannels] = {};
    void NoteSampleEdit(int channel);
    // The file of each channel a Recorder run wrote into: until it is saved it counts as
    // unsaved, also when it is edited in place (counted only while EditedWave still names it).
    const TWaveFile* RecordedWave[kChannels] = {};

    // Edit commands on the active plot's selection (MainFrameEdit*.cpp).
    void OnEditUndo();
    void OnEditCut();
    void OnEditCopy();
    void OnEditPasteInsert();
    void OnEditPasteOver();
    void OnEditMute();
    void OnSelectAll();
    void OnEditSetFilePosition();
    void OnEditGainAdjust();
    void OnEditDCOffset();
    void OnEditDynamicDCOffset();
    void OnEditFilter();
    void OnUpdateEditUndo(CCmdUI* pCmdUI);
    void OnUpdateEditCut(CCmdUI* pCmdUI);   // also Mute
    void OnUpdateEditCopy(CCmdUI* pCmdUI);  // also Gain, DC Offset, Dynamic DC Offset
    void OnUpdateEditPaste(CCmdUI* pCmdUI); // Paste Insert and Paste Over
    void OnUpdateSelectAll(CCmdUI* pCmdUI);
    void OnUpdateEditSetFilePosition(CCmdUI* pCmdUI);
    void OnUpdateEditFilter(CCmdUI* pCmdUI);
    // Filters frames [startFrame, endFrame) of the wave with the Edit/Filter settings; true
    // when the whole segment was filtered, false when nothing was done or it was cancelled.
    bool FilterWaveSegment(TWaveFile* wave, std::int32_t startFrame, std::int32_t endFrame);
    void OnFileImport();
    void OnFileExport();
    // The input channel whose plot is active and whose file the edit commands change, with
    // the plot's kind; false when there is none.
    bool GetEditTarget(int* kind, int* channel) const;
    void RefreshChannelPlotsAfterEdit(int channel);
    // Caption and status-bar progress of a long operation; the caption is restored by End.
    void BeginLongOperation(const char* caption);
    void EndLongOperation();
    // Progress to the status bar, cancel by Esc or a left click in the frame.
    struct SegmentProgress LongOperationHooks();
    std::string LongOperationCaption; // the caption a long operation replaced

    // Analyses of a selected segment or time (MainFrameSegment*.cpp).
    void ShowSegmentTimeSeries(int channel, float start, float end);
    void ComputeSegmentAverageSpectrum(int channel, float start, float end, bool composite);
    // Every composite type, from temporary engines of its member channels.
    void ComputeCompositeSegmentAverageSpectrum(int composite, float start, float end);
    void ComputeSpectrumAtTime(int channel, float time);
    void ComputeCompositeSpectrumAtTime(int composite, float time);
    // A spectrogram or 3-D surface window's request (WM_PLOT_SEGMENT).
    LRESULT OnPlotSegmentMessage(WPARAM code, LPARAM lParam);
    void RebuildSpectrogram(int channel, bool composite, bool activate);
    void RebuildSurface(int channel, bool composite, bool activate);
    void RebuildSpectrogramFromSegment(int channel, float start, float end, bool composite, bool activate);
    void RebuildSurfaceFromSegment(int channel, float start, float end, bool composite, bool activate);
    // Every composite type, as the segment average.
    void RebuildCompositeSpectrogramFromSegment(int composite, float start, float end, bool activate);
    void RebuildCompositeSurfaceFromSegment(int composite, float start, float end, bool activate);
    void RebuildCompositeHistory(int composite, float start, float end, bool activate, bool surface);
    // The open composite histories that show the channel, over the spans they show.
    void RebuildCompositeHistoriesOf(int channel);
    void RebuildChannelHistory(int channel, float start, float end, bool activate, bool surface);
    void InverseFftToTimeSeries(int channel);
    void ComputeCepstrum(int channel);
    void ShowPeakQualityFactor(int channel, float lowHz, float highHz);
    void ShowSegmentStatistics(int channel, float start, float end);
    void ShowCrestFactor(int channel, float start, float end);
    void ComputeHilbertTransform(int channel, float start, float end);
    void ComputeSchroederIntegration(int channel, float start, float end);
    void RunDtmfDetection(int channel, float start, float end);
    // ---- files: end ----

    // ---- series: begin (time-series plot segment commands, MainFrameSeriesCommands.cpp) ----
    // WM_SERIES_SEGMENT_COMMAND from a time-series plot: wParam a SeriesSegmentAction,
    // lParam the SeriesSegmentRequest; 1 when the frame took the request.
    LRESULT OnSeriesSegmentCommand(WPARAM wParam, LPARAM lParam);
    // ---- series: end ----

    // ---- utilities: begin (results windows and data logging, MainFrameUtilities.cpp and
    // MainFrameLogging.cpp) ----
    // Settings of the Leq and sound power windows, kept for the session (never stored).
    LeqChannelSettings LeqSettings[kChannels];
    SoundPowerChannelSettings SoundPowerSettings[kComposites];
    float LatestTachometerValue = 0.0f; // written by the RPM window
    // What a results window reads of the frame.
    UtilityHost MakeUtilityHost();
    // The tachometer channel (-1: none) and its latest value (RPM; 0 without one). In Post
    // Process mode the tachometer is the lowest channel whose file is calibrated in RPM; with
    // `fromFile` its speed is read from that file at `time` (seconds into the file), else from
    // the channel's last block.
    int GetTachometerChannel() const;
    float GetTachometerValue(int fromFile, float time) const;
    bool IsTachometerFile(int channel) const;
    // The Leq window's source: `count` samples of the channel from sample number `first` of
    // the live run, or from frame `first` of its file in Post Process mode.
    UtilityHost::SampleRead ReadUtilitySamples(int channel, long long first, DWORD count, float* out);
    // A run starts: the results windows reset and, while logging is on, the log files open.
    void BeginUtilityRun();
    // A run ends: Leq's final recalculation, and the log files close.
    void EndUtilityRun();

    void OnDataLoggingOn();
    void OnDataLoggingOff();
    void OnDataLoggingSetup();
    void OpenLogFiles();
    // After each block of an input channel (0..7) / composite channel (0..15); time is the
    // time of day in a live run, the file position in Post Process mode.
    void WriteLogRows(int channel, float time);
    void WriteCompositeLogRows(int composite, float time);
    // The header text and the value of a data item; false when the item gives no column.
    bool GetLogItemName(int channel, bool composite, int item, std::string& out) const;
    bool FormatLogValue(int channel, float time, bool composite, int item, std::string& out) const;
    // ---- utilities: end ----

    // ---- Calls into the tool windows, safe before they exist ----------------------------

    void CreateToolWindows();
    void DeleteToolWindows();
    void ToolbarSetMode();
    void ToolbarUpdateState();
    void ToolbarUpdateRunButtons();
    void ToolbarFillConfigurations();
    void ToolbarFillAveraging();
    void StatusbarUpdate(int what);
    void RefreshUtilityButtons();
    void ReloadToolWindowBitmaps();

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnSize(UINT nType, int cx, int cy);
    void OnClose();

    void RemoveHiddenMenuItems();
    void DeleteChannelObjects(int channel);
    void ForgetPlotWindows();
    void DeletePlaybackObjects();
    // The active plot the playback commands act on (an input channel's time series,
    // spectrogram or surface, kinds 1, 4, 5) with the channel's file; null when none.
    TPlotBase* PlaybackPlot(int* channel) const;
    // Sets the rate (0: the file's own) and loop flag, then calls the plot's Play operation.
    void PlayActivePlot(TPlotBase* plot, DWORD rate, bool loop);
    bool OpenSoundCardPlayback();
    bool OpenDevicePlayback();
    void DeleteUtilityObjects();
    // The owner of the analysis view of a kind (7..14, 18); null for the other kinds.
    std::unique_ptr<CAnalysisView>* AnalysisViewSlot(int kind);
    // Deletes (or, for the MDI children, destroys) the window of a kind 6..19 and clears its slot.
    void DeleteUtilityWindow(int kind);
    // Asks the THD+N-versus-frequency (16) or RT-60 (17) window whether it may close.
    bool QueryUtilitySave(int kind);

    DECLARE_MESSAGE_MAP()

private:
    std::vector<TChannelProcessing> m_channels;
    std::vector<TCompositeProcessing> m_composites;
};
