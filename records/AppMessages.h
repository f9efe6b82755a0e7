// The program's own window messages, shared by the frame, the plot, utility and generator
// windows, the tool windows and the status bar.
#pragma once

#include "platform/core/WinTypes.h"

// Plot, utility and generator windows tell the frame they are closing or were activated;
// the frame records the placement, destroys the window and clears its pointer.
constexpr UINT WM_PLOT_CLOSING = 0x59B;
constexpr UINT WM_PLOT_ACTIVATED = 0x59C;
constexpr UINT WM_UTILITY_CLOSING = 0x5A4;

// Posted by the main tool window's configuration list to the frame. The generator window
// receives the same value as WM_WAVEFORM_BUILT from its builder thread.
constexpr UINT WM_LOAD_CONFIGURATION = 0x4C9;
constexpr UINT WM_WAVEFORM_BUILT = 0x4C9;

// The generator's I/O Settings button asks the frame for the processing-settings sheet
// (wParam the page code, 6 Output; lParam the generator window).
constexpr UINT WM_SIGGEN_IO_SETTINGS = 0x8014;

// Drive the status bar's progress control from any thread.
constexpr UINT WM_STATUS_SHOWPROGRESS = 0x659;
constexpr UINT WM_STATUS_HIDEPROGRESS = 0x65A;
constexpr UINT WM_STATUS_SETPROGRESS = 0x65B;

// Enter released in a plot window: the frame runs one post-process step over the whole file
// (lParam = the plot).
constexpr UINT WM_RUN_WHOLE_FILE = 0x8010;

// A value window tells its plot it is closing.
constexpr UINT WM_DATAVIEW_CLOSING = 0x465;

// A plot's Play button asks the frame to play its selection (sent; the result is TRUE when the
// playback started, FALSE when the plot should release its button). lParam: PlaySegmentRequest*.
constexpr UINT WM_PLAY_SEGMENT = 0x8012;
struct PlaySegmentRequest {
    int Channel = 0;     // input channel 0 to 7
    float Start = 0.0f;  // seconds
    float End = 0.0f;
};

// A time-series plot asks the frame to act on the segment selected in it (SendMessage;
// wParam = a SeriesSegmentAction, lParam = SeriesSegmentRequest*). The frame makes the plot
// active and runs the command on the channel's wave file. Returns 1 when the frame took the
// request (for playback: when playback started), 0 when it refused.
constexpr UINT WM_SERIES_SEGMENT_COMMAND = 0x8020;

enum SeriesSegmentAction : WPARAM {
    kSeriesSelectAll = 1,
    kSeriesCut,
    kSeriesCopyWave,
    kSeriesMute,
    kSeriesFilter,
    kSeriesPlay,
    kSeriesAverageSpectrum,
    kSeriesSpectrogram,
    kSeriesSurface,
    kSeriesReverb,
    kSeriesDtmf,
    kSeriesRmsLevel,
    kSeriesCrestFactor,
    kSeriesHilbertEnvelope,
    kSeriesSchroeder,
    kSeriesSpectrumAtTime, // start = the time clicked
};

struct SeriesSegmentRequest {
    int channel = 0;
    float start = 0.0f; // seconds
    float end = 0.0f;
};

// A spectrogram or 3-D surface window hands a request about its channel's wave data to the
// frame (sent; wParam = the request code, lParam = const PlotSegmentRequest*). The codes are
// the windows' segment command ids 801-809, PLOT_SEGMENT_REBUILD (rebuild the window's history
// over the times it shows) and PLOT_SEGMENT_SPECTRUM_AT (the spectrum and time series at
// Start). For 805 (play; the windows' own Play goes by WM_PLAY_SEGMENT) the result is nonzero
// when playback started.
constexpr UINT WM_PLOT_SEGMENT = 0x8030;
constexpr WPARAM PLOT_SEGMENT_REBUILD = 1;
constexpr WPARAM PLOT_SEGMENT_SPECTRUM_AT = 2;
struct PlotSegmentRequest {
    int Channel = 0;     // input channel 0 to 7, or composite 0 to 15
    float Start = 0.0f;  // seconds
    float End = 0.0f;
    BYTE Composite = 0;  // 1: Channel is a composite channel
    BYTE Surface = 0;    // 1: the request comes from the 3-D surface window
};

// From the RT-60 window to the frame: wParam one of the requests below.
constexpr UINT WM_REVERB_REQUEST = 0x80A0;
enum ReverbRequest : WPARAM {
    kReverbStopActivity = 1,  // a test starts: stop a run, a playback and the generator's output
    kReverbShowSettings = 2,  // lParam: the processing-settings page code (0 input, 6 output)
    kReverbPrint = 3,         // lParam: 1 with the print and annotation dialogs, 0 without
    kReverbDeviceStopped = 4, // the test stopped the input device: the frame no longer acquires
};

// From the THD+N-versus-frequency window to the frame: wParam one of the requests below.
constexpr UINT WM_THDFREQ_REQUEST = 0x80B0;
enum ThdFreqRequest : WPARAM {
    kThdStopActivity = 1,  // a test starts: stop a run and the generator's output
    kThdShowSettings = 2,  // lParam: the processing-settings page code (0 input, 6 output)
    kThdPrint = 3,         // print the window with the annotation and print dialogs
    kThdDeviceStopped = 4, // the test stopped the input device: the frame no longer acquires
};

// A spectrum window asks the frame for one of its channel commands that work on the channel's
// processing objects: wParam 801 (cepstrum), 803 (inverse FFT to the time series) or 821
// (bandwidth and Q factor of the visible range); lParam = the window (a TSpectraPlot).
constexpr UINT WM_SPECTRUM_COMMAND = 0x8031;
