// Every settings record the main frame owns, by value, at the constructor's defaults. The
// frame holds one of these; the configuration files, the profile and the placement records
// are read into it and written from it, so all of that works without a window.
#pragma once

#include "records/SettingsRecords.h"
#include "wave/ChannelFileState.h"

struct FrameSettings {
    static constexpr int kChannels = 8;
    static constexpr int kComposites = 16;

    // View flags and mode.
    BYTE Main = 1;      // main tool window shown
    BYTE Buttons = 1;   // second tool window shown
    BYTE Statusbar = 1; // status bar shown
    WORD OpMode = 0;    // 0 Real Time, 1 Recorder, 2 Post Process
    INT MasterDisplayGain = 0;

    // Input channels.
    ChannelProcessingSettings Processing[kChannels];
    ChannelScalingSettings Scaling[kChannels];
    ChannelCalibration Calibration[kChannels];
    ChannelFileState Files[kChannels];
    MarkerSettings Markers[kChannels];
    TimeSeriesPlotSettings TimeSeriesOpts[kChannels];
    SpectrumPlotSettings SpectrumOpts[kChannels];
    PhasePlotSettings PhaseOpts[kChannels];
    SpectrogramPlotSettings SpectrogramOpts[kChannels];
    SurfacePlotSettings SurfaceOpts[kChannels];

    // Composite channels A..P.
    CompositeChannelSettings Composite[kComposites];
    MarkerSettings CompositeMarkers[kComposites];
    SpectrumPlotSettings CompositeSpectrumOpts[kComposites];
    PhasePlotSettings CompositePhaseOpts[kComposites];
    SpectrogramPlotSettings CompositeSpectrogramOpts[kComposites];
    SurfacePlotSettings CompositeSurfaceOpts[kComposites];

    // Devices and runs.
    INT DTInputDeviceIndex = 0;  // negative: no device
    INT DTOutputDeviceIndex = 0; // negative: no device
    UsbDeviceSettings Device;
    TriggerSettings Trigger;
    RunControlSettings RunControl;
    // The KDR-5200 has no analog output: playback, generator and tests go to the sound card
    // unless a configuration says otherwise.
    BYTE UseSoundCardForOutput = 1;
    DWORD SoundCardDeviceIndex = 0;
    OutputDeviceSettings Output;
    SigGenChannelSettings SigGen[2];

    // Files, folders, logging, printing.
    FileIOSettings FileIO;
    PathSettings Paths;        // as read from the profile and set in the Set Paths dialog
    PathSettings WorkingPaths; // the folders the file dialogs start in and remember
    DataLoggingBlock Logging;
    PrintSettings Print;
    ReverbSettings Reverb; // the RT-60 window's; not in configuration files
    ThdFreqSettings ThdFreq; // the THD+N-versus-frequency window's; not in configuration files

    // Where every window stands.
    WindowPlacementRecord Placements[kWindowPlacementCount];

    FrameSettings();
};
