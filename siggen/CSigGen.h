// The signal generator's tool window: a waveform for output channel 1 (and 2 when two output
// channels are set), their parameter dialogs, Run and Stop, and I/O Settings. The waveform is
// built on the builder's thread into a wave the window owns, then played through the sound card
// (looped or once) or handed to the acquisition device's D/A path, or saved to a wave file.
//
// The frame owns the object (deleting it closes the window) and hands it, at creation, pointers
// to its generator and output records; the window never closes itself: its close box sends
// WM_UTILITY_CLOSING to the frame, and I/O Settings sends WM_SIGGEN_IO_SETTINGS.
//
// Threads: user-interface thread only; the builder runs on its own thread (TWaveformBuilder).
#pragma once

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "records/OutputDeviceSettings.h"
#include "records/SigGenChannelSettings.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"
#include "siggen/TWaveformBuilder.h"

#include <memory>
#include <string>

class TWaveData;

// What the window reads from and writes to the frame.
struct SigGenLinks {
    SigGenChannelSettings* Channel = nullptr; // the frame's two generator records
    OutputDeviceSettings* Output = nullptr;
    const BYTE* UseSoundCard = nullptr;       // output through the sound card, else the D/A path
    const DWORD* SoundCardIndex = nullptr;
    const INT* DaOutputIndex = nullptr;       // negative when there is no D/A device
    char* WaveFolder = nullptr;               // the frame's wave folder (260 characters)
    std::string TempFolder;
    CWnd* StatusBar = nullptr;                // receives the progress messages
};

class CSigGen : public CWnd {
public:
    CSigGen();
    ~CSigGen() override;

    // Creates the tool window at (x, y), owned by `frame`, and starts the first build.
    BOOL CreateWnd(CWnd* frame, int x, int y, const SigGenLinks& links);

    void StartOutput();
    void StopOutput();
    bool IsRunning() const { return m_running != 0; }
    bool IsBuilding() const { return m_builder.IsBuilding(); }
    bool IsLoopedWaveform() const;
    // After the output settings changed: a new build, refilled combos and layout.
    void Refresh();
    // Writes the signal `repeats` times back to back to `path`; false when there is no signal,
    // the builder is still busy, or the file could not be written.
    bool SaveSignalToFile(const char* path, DWORD repeats);
    // Seconds of the generated signal (0 without one).
    double GetSignalSeconds() const;
    const TWaveData* GetWaveform() const { return m_wave.get(); }
    // True when the builder is still busy after about 10 s of waiting.
    bool WaitWhileBuilding();

protected:
    void SetupWindow();
    void BuildWaveform();
    bool ShowDetailsDialog(int channel);
    void FillWaveformCombo(int channel);
    // The waveform boxes' width that shows every waveform name whole.
    int WaveformBoxWidth();
    void Layout();
    void UpdateDetailsButtons();
    void PrepareFormat();
    // Takes over a finished build once: its wave, its messages, caption, buttons, progress bar.
    void FinishBuild();
    bool StartSoundOutput();
    bool StartDeviceOutput();
    // The first 20 blocks of D/A output from the waveform; false when the device refuses one.
    bool QueueDeviceBlocks();

    void OnPaint();
    void OnClose();
    void OnSize(UINT type, int cx, int cy);
    void OnRun();
    void OnStop();
    void OnIoSettings();
    void OnSaveSignal();
    void OnDetails1() { OnDetails(0); }
    void OnDetails2() { OnDetails(1); }
    void OnDetails(int channel);
    void OnWaveform1Changed() { OnWaveformChanged(0); }
    void OnWaveform2Changed() { OnWaveformChanged(1); }
    void OnWaveformChanged(int channel);
    LRESULT OnWaveformBuilt(WPARAM status, LPARAM serial);
    LRESULT OnWaveOutDone(WPARAM device, LPARAM header);
    DECLARE_MESSAGE_MAP()

private:
    int ChannelCount() const;
    void SendToStatusBar(UINT message);

    BYTE m_running = 0;
    BYTE m_initialised = 0;
    CWnd* m_frame = nullptr;
    SigGenLinks m_links;
    TWaveformBuilder m_builder;
    LPARAM m_buildSerial = 0;
    bool m_buildCollected = true;
    std::unique_ptr<TWaveData> m_wave;
    CButton m_run, m_stop, m_io, m_save;
    CComboBox m_combo[2];
    CButton m_details[2];
    CFont m_font;
    TUsbDevice m_device;
    std::unique_ptr<TSoundOutput> m_sound;
    // The missing sound card has been reported since this window opened.
    bool m_toldNoSoundCard = false;
    // The user pressed this window's Run (a live run also starts the output of an open window).
    bool m_userRan = false;
    // The start under way is the user's own Run (not a live run's start of the generator).
    bool m_userStart = false;
    DWORD m_position = 0;
    DWORD m_length = 0;
    SigGenOutputFormat m_format; // 44100 Hz, 16 bits, 1 channel until the first build
};
