// The plot windows of every input and composite channel: opening, closing through the frame,
// the selection commands, re-opening what was open, the active plot and the main title.
#include "app/CMainFrame.h"

#include "records/CommonRoutines.h"
#include "dialogs/CSelectCompositeViewDlg.h"
#include "dialogs/CSelectSingleViewDlg.h"
#include "dsp/SpectralData.h"
#include "plots/TPhasePlot.h"
#include "plots/TPlotBase.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "res/resource.h"
#include "siggen/CSigGen.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "utilities/TReverb.h"
#include "utilities/TTHDFreq.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {
constexpr DWORD kPlotStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW; // 0x50CF0000
constexpr const char* kProductTitle = "QLM436 - Quenrith Analyzer";

std::string InputTitle(const char* kindText, int channel)
{
    // Channel 7 has no location name (only blanks): its windows are named by the index.
    const std::string name =
        channel >= 0 && channel < 7 ? GetChannelLocationName(channel) : "Channel " + std::to_string(channel);
    return std::string(kindText) + " - " + name;
}

std::string CompositeTitle(const char* kindText, int composite)
{
    return std::string("Composite ") + kindText + " Channel " + GetChannelLetter(composite);
}

bool ValidChannel(int channel) { return channel >= 0 && channel < CMainFrame::kChannels; }
bool ValidComposite(int composite) { return composite >= 0 && composite < CMainFrame::kComposites; }

// Creates a plot into its slot; a window that cannot be made leaves the slot null.
template <class Plot, class CreateFn>
Plot* CreatePlot(Plot*& slot, CreateFn create)
{
    slot = new (std::nothrow) Plot;
    if (slot == nullptr)
        return nullptr;
    if (!create(*slot)) {
        delete slot;
        slot = nullptr;
    }
    return slot;
}

// An input channel's plot of one kind (the caller has checked the channel) at its stored
// place, maximised when it was left so. `create` makes the window from the title and rectangle; `prepare` runs on the new plot
// before it is maximised.
template <class Plot, class CreateFn, class PrepareFn>
void OpenInputPlot(CMainFrame& frame, Plot*& slot, int kind, const char* kindText, int channel, CreateFn create,
                   PrepareFn prepare)
{
    if (slot != nullptr)
        return;
    const std::string title = InputTitle(kindText, channel);
    RECT rect;
    bool maximised = false;
    frame.GetInitialWindowRect(&rect, kind, channel, false, &maximised);
    Plot* plot = CreatePlot(slot, [&](Plot& p) { return create(p, title.c_str(), &rect); });
    if (plot == nullptr)
        return;
    frame.HandOverPlotSettings(*plot);
    prepare(*plot);
    if (maximised)
        plot->ShowWindow(SW_MAXIMIZE);
    frame.OnChannelWindowsChanged(channel);
}

template <class Plot, class CreateFn>
void OpenInputPlot(CMainFrame& frame, Plot*& slot, int kind, const char* kindText, int channel, CreateFn create)
{
    OpenInputPlot(frame, slot, kind, kindText, channel, create, [](Plot&) {});
}

// A composite's plot of one kind (the caller has checked the index) at its stored place.
template <class Plot, class CreateFn>
void OpenCompositePlot(CMainFrame& frame, Plot*& slot, int kind, const char* kindText, int composite,
                       CreateFn create)
{
    if (slot != nullptr)
        return;
    const std::string title = CompositeTitle(kindText, composite);
    RECT rect;
    frame.GetInitialWindowRect(&rect, kind, composite, true);
    if (Plot* plot = CreatePlot(slot, [&](Plot& p) { return create(p, title.c_str(), &rect); }))
        frame.HandOverPlotSettings(*plot);
}
} // namespace

// ---- Slots ----------------------------------------------------------------------------

TPlotBase* CMainFrame::GetPlot(int kind, int channel, bool composite) const
{
    if (composite) {
        if (!ValidComposite(channel))
            return nullptr;
        switch (kind) {
        case 2: return CompositeSpectrumPlot[channel];
        case 3: return CompositePhasePlot[channel];
        case 4: return CompositeSpectrogramPlot[channel];
        case 5: return CompositeSurfacePlot[channel];
        default: return nullptr;
        }
    }
    if (!ValidChannel(channel))
        return nullptr;
    switch (kind) {
    case 1: return TimeSeriesPlot[channel];
    case 2: return SpectrumPlot[channel];
    case 3: return PhasePlot[channel];
    case 4: return SpectrogramPlot[channel];
    case 5: return SurfacePlot[channel];
    default: return nullptr;
    }
}

CWnd* CMainFrame::GetUtilityWindow(int kind) const
{
    switch (kind) {
    case 6: return SigGen.get();
    case 7: return PeakFreqView.get();
    case 8: return PeakAmpView.get();
    case 9: return TotalPowerView.get();
    case 10: return THDView.get();
    case 11: return THDNView.get();
    case 12: return IMDView.get();
    case 13: return SNRView.get();
    case 14: return SINADView.get();
    case 15: return LeqView.get();
    case 16: return THDFreqWnd;
    case 17: return ReverbWnd;
    case 18: return RPMView.get();
    case 19: return SoundPowerView.get();
    default: return nullptr;
    }
}

std::unique_ptr<CAnalysisView>* CMainFrame::AnalysisViewSlot(int kind)
{
    switch (kind) {
    case 7: return &PeakFreqView;
    case 8: return &PeakAmpView;
    case 9: return &TotalPowerView;
    case 10: return &THDView;
    case 11: return &THDNView;
    case 12: return &IMDView;
    case 13: return &SNRView;
    case 14: return &SINADView;
    case 18: return &RPMView;
    default: return nullptr;
    }
}

// The windows send their own object's address, which may differ from its CWnd part.
LPARAM CMainFrame::UtilityWindowParam(int kind) const
{
    switch (kind) {
    case 6: return reinterpret_cast<LPARAM>(SigGen.get());
    case 7: return reinterpret_cast<LPARAM>(PeakFreqView.get());
    case 8: return reinterpret_cast<LPARAM>(PeakAmpView.get());
    case 9: return reinterpret_cast<LPARAM>(TotalPowerView.get());
    case 10: return reinterpret_cast<LPARAM>(THDView.get());
    case 11: return reinterpret_cast<LPARAM>(THDNView.get());
    case 12: return reinterpret_cast<LPARAM>(IMDView.get());
    case 13: return reinterpret_cast<LPARAM>(SNRView.get());
    case 14: return reinterpret_cast<LPARAM>(SINADView.get());
    case 15: return reinterpret_cast<LPARAM>(LeqView.get());
    case 16: return reinterpret_cast<LPARAM>(THDFreqWnd);
    case 17: return reinterpret_cast<LPARAM>(ReverbWnd);
    case 18: return reinterpret_cast<LPARAM>(RPMView.get());
    case 19: return reinterpret_cast<LPARAM>(SoundPowerView.get());
    default: return 0;
    }
}

UINT CMainFrame::UtilityCommand(int kind)
{
    static const UINT commands[] = {ID_UTIL_SIGNAL_GENERATOR, ID_UTIL_PEAK_FREQ, ID_UTIL_PEAK_AMP, ID_UTIL_TOTAL_POWER,
                                    ID_UTIL_THD, ID_UTIL_THD_N, ID_UTIL_IMD, ID_UTIL_SNR, ID_UTIL_SINAD, ID_UTIL_LEQ,
                                    ID_UTIL_THD_VS_FREQ, ID_UTIL_RT60, ID_UTIL_RPM, ID_UTIL_SOUND_POWER};
    return kind >= 6 && kind <= 19 ? commands[kind - 6] : 0;
}

void CMainFrame::DeleteUtilityWindow(int kind)
{
    switch (kind) {
    case 6: SigGen.reset(); break;
    case 15: LeqView.reset(); break;
    // The two MDI children free their own objects when their windows go.
    case 16:
        if (THDFreqWnd != nullptr)
            THDFreqWnd->DestroyWindow();
        THDFreqWnd = nullptr;
        break;
    case 17:
        if (ReverbWnd != nullptr)
            ReverbWnd->DestroyWindow();
        ReverbWnd = nullptr;
        break;
    case 19: SoundPowerView.reset(); break;
    default:
        if (std::unique_ptr<CAnalysisView>* view = AnalysisViewSlot(kind))
            view->reset();
        break;
    }
}

bool CMainFrame::QueryUtilitySave(int kind)
{
    if (kind == 16 && THDFreqWnd != nullptr)
        return THDFreqWnd->QuerySave();
    if (kind == 17 && ReverbWnd != nullptr)
        return ReverbWnd->QuerySave();
    return true;
}

void CMainFrame::DeleteUtilityObjects()
{
    for (int kind = 6; kind <= 19; ++kind)
        if (kind != 16 && kind != 17)
            DeleteUtilityWindow(kind);
}

// ---- Opening --------------------------------------------------------------------------

void CMainFrame::OpenTimeSeriesPlot(int i)
{
    if (!ValidChannel(i))
        return;
    TWaveFile* file = Settings.Files[i].File.get();
    OpenInputPlot(
        *this, TimeSeriesPlot[i], 1, "Time Series", i,
        [&](TSeriesPlot& p, const char* title, const RECT* rect) {
            return p.Create(title, kPlotStyle, rect, &Settings.TimeSeriesOpts[i], SampleBuffer[i], nullptr, file, 0, i);
        },
        [&](TSeriesPlot& plot) {
            plot.SetCalibration(&Settings.Calibration[i]);
            if (file == nullptr)
                return;
            plot.SetWaveFile(file, 0);
            plot.SetFileChannel(Settings.Files[i].FileChannel);
            if (!AcquisitionRunning) {
                Settings.TimeSeriesOpts[i].TimeSeriesDataSource = 0;
                plot.SetTimeRange(0.0f, 999999.9f);
                SetChannelFileTime(i, static_cast<float>(GetChannelFileTime(i)));
                plot.UpdateLayout();
            }
        });
}

void CMainFrame::OpenSpectrumPlot(int i)
{
    if (!ValidChannel(i))
        return;
    OpenInputPlot(*this, SpectrumPlot[i], 2, "Spectrum", i, [&](TSpectraPlot& p, const char* title, const RECT* rect) {
        p.SetPaths(&Settings.Paths, &Settings.WorkingPaths);
        return p.Create(title, kPlotStyle, rect, &Settings.Processing[i], &Settings.Scaling[i], &Settings.Markers[i],
                        &Settings.SpectrumOpts[i], Spectral[i], nullptr, i);
    });
}

void CMainFrame::OpenPhasePlot(int i)
{
    if (!ValidChannel(i))
        return;
    OpenInputPlot(*this, PhasePlot[i], 3, "Phase", i, [&](TPhasePlot& p, const char* title, const RECT* rect) {
        return p.Create(title, kPlotStyle, rect, Settings.Processing[i], Settings.Scaling[i], Settings.Markers[i],
                        &Settings.PhaseOpts[i], Spectral[i], nullptr, i);
    });
}

void CMainFrame::OpenSpectrogramPlot(int i)
{
    if (!ValidChannel(i))
        return;
    OpenInputPlot(*this, SpectrogramPlot[i], 4, "Spectrogram", i,
                  [&](TSpectrogram& p, const char* title, const RECT* rect) {
                      p.BindFrameState(&AcquisitionRunning, &PostProcessBusy, &Settings.OpMode);
                      return p.Create(title, kPlotStyle, rect, Settings.Processing[i], Settings.Scaling[i],
                                      Settings.Markers[i], &Settings.SpectrogramOpts[i], Spectral[i], 0, i, 0);
                  });
}

void CMainFrame::OpenSurfacePlot(int i)
{
    if (!ValidChannel(i))
        return;
    OpenInputPlot(*this, SurfacePlot[i], 5, "3-D Surface", i, [&](TSurfacePlot& p, const char* title, const RECT* rect) {
        p.BindFrameState(&AcquisitionRunning, &PostProcessBusy, &Settings.OpMode);
        return p.Create(title, kPlotStyle, rect, Settings.Processing[i], Settings.Scaling[i], Settings.Markers[i],
                        &Settings.SurfaceOpts[i], Spectral[i], 0, i, 0);
    });
}

// The frame holds processing and scaling records for the 8 input channels only; a composite
// plot takes those of the composite's source channel, whose rate and FFT size it shows
// (channel 0's when the composite has no source).
int CMainFrame::CompositeRecordChannel(int composite) const
{
    const int source = GetCompositeSource(composite);
    return source >= 0 && source < kChannels ? source : 0;
}

void CMainFrame::OpenCompositeSpectrumPlot(int c)
{
    if (!ValidComposite(c))
        return;
    OpenCompositePlot(*this, CompositeSpectrumPlot[c], 2, "Spectrum", c,
                      [&](TSpectraPlot& p, const char* title, const RECT* rect) {
                          p.SetPaths(&Settings.Paths, &Settings.WorkingPaths);
                          const int src = CompositeRecordChannel(c);
                          return p.Create(title, kPlotStyle, rect, &Settings.Processing[src], &Settings.Scaling[src],
                                          &Settings.CompositeMarkers[c], &Settings.CompositeSpectrumOpts[c],
                                          CompositeSpectral[c][2], CompositeSpectral[c][3], c + 8);
                      });
}

void CMainFrame::OpenCompositePhasePlot(int c)
{
    if (!ValidComposite(c))
        return;
    OpenCompositePlot(*this, CompositePhasePlot[c], 3, "Phase", c,
                      [&](TPhasePlot& p, const char* title, const RECT* rect) {
                          const int src = CompositeRecordChannel(c);
                          return p.Create(title, kPlotStyle, rect, Settings.Processing[src], Settings.Scaling[src],
                                          Settings.CompositeMarkers[c], &Settings.CompositePhaseOpts[c],
                                          CompositeSpectral[c][2], CompositeSpectral[c][3], c + 8);
                      });
}

void CMainFrame::OpenCompositeSpectrogramPlot(int c)
{
    if (!ValidComposite(c))
        return;
    OpenCompositePlot(*this, CompositeSpectrogramPlot[c], 4, "Spectrogram", c,
                      [&](TSpectrogram& p, const char* title, const RECT* rect) {
                          p.BindFrameState(&AcquisitionRunning, &PostProcessBusy, &Settings.OpMode);
                          const int src = CompositeRecordChannel(c);
                          return p.Create(title, kPlotStyle, rect, Settings.Processing[src], Settings.Scaling[src],
                                          Settings.CompositeMarkers[c], &Settings.CompositeSpectrogramOpts[c],
                                          CompositeSpectral[c][2], 0, c, 1);
                      });
}

void CMainFrame::OpenCompositeSurfacePlot(int c)
{
    if (!ValidComposite(c))
        return;
    OpenCompositePlot(*this, CompositeSurfacePlot[c], 5, "3-D Surface", c,
                      [&](TSurfacePlot& p, const char* title, const RECT* rect) {
                          p.BindFrameState(&AcquisitionRunning, &PostProcessBusy, &Settings.OpMode);
                          const int src = CompositeRecordChannel(c);
                          return p.Create(title, kPlotStyle, rect, Settings.Processing[src], Settings.Scaling[src],
                                          Settings.CompositeMarkers[c], &Settings.CompositeSurfaceOpts[c],
                                          CompositeSpectral[c][2], 0, c, 1);
                      });
}

void CMainFrame::OpenPlot(int kind, int channel, bool composite)
{
    if (composite) {
        switch (kind) {
        case 2: OpenCompositeSpectrumPlot(channel); break;
        case 3: OpenCompositePhasePlot(channel); break;
        case 4: OpenCompositeSpectrogramPlot(channel); break;
        case 5: OpenCompositeSurfacePlot(channel); break;
        default: break;
        }
        return;
    }
    switch (kind) {
    case 1: OpenTimeSeriesPlot(channel); break;
    case 2: OpenSpectrumPlot(channel); break;
    case 3: OpenPhasePlot(channel); break;
    case 4: OpenSpectrogramPlot(channel); break;
    case 5: OpenSurfacePlot(channel); break;
    default: break;
    }
}

// ---- Closing --------------------------------------------------------------------------

// Records the placement while the window still exists, then destroys it; the plot frees its
// own object.
template <class Plot>
static void ClosePlotSlot(CMainFrame& frame, Plot*& slot, int kind, int channel, bool composite)
{
    if (slot == nullptr)
        return;
    frame.RecordWindowPlacement(kind, channel, composite);
    Plot* plot = slot;
    slot = nullptr;
    plot->DestroyWindow();
}

void CMainFrame::CloseTimeSeriesPlot(int i) { if (ValidChannel(i)) ClosePlotSlot(*this, TimeSeriesPlot[i], 1, i, false); }
void CMainFrame::CloseSpectrumPlot(int i) { if (ValidChannel(i)) ClosePlotSlot(*this, SpectrumPlot[i], 2, i, false); }
void CMainFrame::ClosePhasePlot(int i) { if (ValidChannel(i)) ClosePlotSlot(*this, PhasePlot[i], 3, i, false); }
void CMainFrame::CloseSpectrogramPlot(int i) { if (ValidChannel(i)) ClosePlotSlot(*this, SpectrogramPlot[i], 4, i, false); }
void CMainFrame::CloseSurfacePlot(int i) { if (ValidChannel(i)) ClosePlotSlot(*this, SurfacePlot[i], 5, i, false); }
void CMainFrame::CloseCompositeSpectrumPlot(int c) { if (ValidComposite(c)) ClosePlotSlot(*this, CompositeSpectrumPlot[c], 2, c, true); }
void CMainFrame::CloseCompositePhasePlot(int c) { if (ValidComposite(c)) ClosePlotSlot(*this, CompositePhasePlot[c], 3, c, true); }
void CMainFrame::CloseCompositeSpectrogramPlot(int c) { if (ValidComposite(c)) ClosePlotSlot(*this, CompositeSpectrogramPlot[c], 4, c, true); }
void CMainFrame::CloseCompositeSurfacePlot(int c) { if (ValidComposite(c)) ClosePlotSlot(*this, CompositeSurfacePlot[c], 5, c, true); }

void CMainFrame::ClosePlot(int kind, int channel, bool composite)
{
    if (composite) {
        switch (kind) {
        case 2: CloseCompositeSpectrumPlot(channel); break;
        case 3: CloseCompositePhasePlot(channel); break;
        case 4: CloseCompositeSpectrogramPlot(channel); break;
        case 5: CloseCompositeSurfacePlot(channel); break;
        default: break;
        }
        return;
    }
    switch (kind) {
    case 1: CloseTimeSeriesPlot(channel); break;
    case 2: CloseSpectrumPlot(channel); break;
    case 3: ClosePhasePlot(channel); break;
    case 4: CloseSpectrogramPlot(channel); break;
    case 5: CloseSurfacePlot(channel); break;
    default: break;
    }
}

void CMainFrame::OnCloseAllPlots()
{
    ForEachPlotSlot([this](int kind, int index, bool composite) { ClosePlot(kind, index, composite); });
}

// ---- Selection dialogs ----------------------------------------------------------------

void CMainFrame::OnSelectSingleChannelPlots()
{
    BYTE wanted[kPlotKinds][kChannels] = {};
    BYTE enabled[kChannels] = {};
    for (int ch = 0; ch < kChannels; ++ch) {
        for (int kind = 1; kind <= kPlotKinds; ++kind)
            wanted[kind - 1][ch] = GetPlot(kind, ch, false) != nullptr ? 1 : 0;
        enabled[ch] = Settings.Device.Channels[ch].bIsEnabled;
    }
    CSelectSingleViewDlg dialog(this, Settings.OpMode, wanted[0], wanted[1], wanted[2], wanted[3], wanted[4], enabled);
    if (dialog.DoModal() != IDOK)
        return;
    for (int ch = 0; ch < kChannels; ++ch)
        for (int kind = 1; kind <= kPlotKinds; ++kind) {
            if (wanted[kind - 1][ch] != 0)
                OpenPlot(kind, ch, false);
            else
                ClosePlot(kind, ch, false);
        }
    UpdateTitle();
}

void CMainFrame::OnSelectCompositeChannelPlots()
{
    BYTE enabled[kChannels] = {};
    for (int ch = 0; ch < kChannels; ++ch)
        enabled[ch] = Settings.Device.Channels[ch].bIsEnabled;
    BYTE wanted[kCompositePlotKinds][kComposites] = {};
    for (int c = 0; c < kComposites; ++c)
        for (int kind = 2; kind <= kPlotKinds; ++kind)
            wanted[kind - 2][c] = GetPlot(kind, c, true) != nullptr ? 1 : 0;
    CompositeChannelSettings work[kComposites];
    for (int c = 0; c < kComposites; ++c)
        work[c] = Settings.Composite[c];
    CSelectCompositeViewDlg dialog(this, Settings.OpMode, work, Settings.Processing, wanted[0], wanted[1], wanted[2],
                                   wanted[3], enabled);
    dialog.SetCalibrations(Settings.Calibration);
    if (dialog.DoModal() != IDOK)
        return;
    for (int c = 0; c < kComposites; ++c)
        Settings.Composite[c] = work[c];
    for (int c = 0; c < kComposites; ++c)
        for (int kind = 2; kind <= kPlotKinds; ++kind) {
            if (wanted[kind - 2][c] != 0 && Settings.Composite[c].bIsEnabled == 1)
                OpenPlot(kind, c, true);
            else
                ClosePlot(kind, c, true);
        }
    ReconfigureProcessing();
    ResetUtilityViews();
}

// ---- Messages from the windows --------------------------------------------------------

LRESULT CMainFrame::OnPlotClosing(WPARAM, LPARAM lParam)
{
    if (lParam == 0)
        return 1;
    // The plots send their TPlotBase address.
    ForEachPlotSlot([this, lParam](int kind, int index, bool composite) {
        TPlotBase* plot = GetPlot(kind, index, composite);
        if (plot != nullptr && reinterpret_cast<LPARAM>(plot) == lParam)
            ClosePlot(kind, index, composite);
    });
    if (SigGen != nullptr && UtilityWindowParam(6) == lParam)
        SendMessage(WM_COMMAND, UtilityCommand(6), 0);
    ToolbarFillAveraging();
    StatusbarUpdate(2);
    return 1;
}

LRESULT CMainFrame::OnPlotActivated(WPARAM, LPARAM)
{
    ToolbarFillAveraging();
    ToolbarUpdateState();
    StatusbarUpdate(2);
    return 1;
}

LRESULT CMainFrame::OnUtilityClosing(WPARAM, LPARAM lParam)
{
    if (lParam == 0)
        return 1;
    for (int kind = 6; kind <= 19; ++kind)
        if (GetUtilityWindow(kind) != nullptr && UtilityWindowParam(kind) == lParam) {
            SendMessage(WM_COMMAND, UtilityCommand(kind), 0);
            break;
        }
    RefreshUtilityButtons();
    UpdateUtilityMenuChecks();
    return 1;
}

void CMainFrame::OnSysColorChange()
{
    CMDIFrameWnd::OnSysColorChange();
    ForEachOpenPlot([](TPlotBase* plot) { plot->RefreshSysColors(); });
    ReloadToolWindowBitmaps();
}

// ---- Re-opening -----------------------------------------------------------------------

void CMainFrame::RestoreWindows()
{
    RestoreWindowPlacement(0, 0, false);
    ForEachPlotSlot([this](int kind, int index, bool composite) {
        if (IsWindowMarkedOpen(kind, index, composite)) {
            OpenPlot(kind, index, composite);
            RestoreWindowPlacement(kind, index, composite);
        }
    });
    ReopenUtilityWindows();
    UpdateTitle();
}

// The generator and the utilities open through their menu commands, which place them.
void CMainFrame::ReopenUtilityWindows()
{
    for (int kind = 6; kind <= 19; ++kind)
        if (IsWindowMarkedOpen(kind, 0, false) && GetUtilityWindow(kind) == nullptr)
            SendMessage(WM_COMMAND, UtilityCommand(kind), 0);
}

// ---- Active plot, highlight, release --------------------------------------------------

bool CMainFrame::GetActivePlot(int* kind, int* channel, int* composite) const
{
    CMDIChildWnd* active = MDIGetActive();
    if (active == nullptr || !::IsWindow(active->GetSafeHwnd()))
        return false;
    for (int ch = 0; ch < kChannels; ++ch)
        for (int k = 1; k <= kPlotKinds; ++k) {
            TPlotBase* plot = GetPlot(k, ch, false);
            if (plot != nullptr && static_cast<CWnd*>(plot) == active) {
                if (kind) *kind = k;
                if (channel) *channel = ch;
                if (composite) *composite = 0;
                return true;
            }
        }
    for (int c = 0; c < kComposites; ++c)
        for (int k = 2; k <= kPlotKinds; ++k) {
            TPlotBase* plot = GetPlot(k, c, true);
            if (plot != nullptr && static_cast<CWnd*>(plot) == active) {
                if (kind) *kind = k;
                if (channel) *channel = c;
                if (composite) *composite = 1;
                return true;
            }
        }
    return true;
}

void CMainFrame::HighlightAllPlots()
{
    ForEachOpenPlot([](TPlotBase* plot) { plot->SetHighlight(); });
}

void CMainFrame::UnhighlightAllPlots()
{
    ForEachOpenPlot([](TPlotBase* plot) { plot->ClearHighlight(); });
}

void CMainFrame::ReleaseChannelProcessing(int index)
{
    if (ValidChannel(index)) {
        if (SampleBuffer[index] != nullptr)
            SampleBuffer[index]->Clear();
        if (Spectral[index] != nullptr)
            Spectral[index]->ResetAverages();
        for (int kind = 1; kind <= kPlotKinds; ++kind)
            if (TPlotBase* plot = GetPlot(kind, index, false))
                plot->UpdateLayout();
        if (SpectrumPlot[index] != nullptr)
            SpectrumPlot[index]->SetTimeUnitsMsec(false);
    }
    if (ValidComposite(index)) {
        for (SpectralData* engine : CompositeSpectral[index])
            if (engine != nullptr)
                engine->ResetAverages();
        for (int kind = 2; kind <= kPlotKinds; ++kind)
            if (TPlotBase* plot = GetPlot(kind, index, true))
                plot->UpdateLayout();
    }
}

void CMainFrame::ReleaseAllChannelProcessing()
{
    for (int i = 0; i < kComposites; ++i)
        ReleaseChannelProcessing(i);
    for (int ch = 0; ch < kChannels; ++ch)
        OnChannelWindowsChanged(ch);
}

void CMainFrame::OnChannelWindowsChanged(int) {}

void CMainFrame::UpdateTitle()
{
    for (int ch = 0; ch < kChannels; ++ch)
        OnChannelWindowsChanged(ch);
    std::string title = kProductTitle;
    if (Settings.OpMode != 0) {
        if (std::strlen(FileGroup.GroupPath) > 3) {
            char name[260] = {};
            GetFileNameOfPath(FileGroup.GroupPath, name);
            title += std::string(" - [") + name + "]";
        } else {
            title += " - [Untitled]";
        }
    }
    if (GetSafeHwnd() != nullptr)
        SetWindowText(title.c_str());
}

void CMainFrame::CloseDisabledChannelPlots()
{
    if (Settings.OpMode == 2)
        return;
    for (int ch = 0; ch < kChannels; ++ch)
        if (Settings.Device.Channels[ch].bIsEnabled == 0)
            for (int kind = 1; kind <= kPlotKinds; ++kind)
                ClosePlot(kind, ch, false);
}

void CMainFrame::DisableCompositesOfDisabledChannels()
{
    if (Settings.OpMode == 2)
        return;
    for (int d = 0; d < kChannels; ++d) {
        if (Settings.Device.Channels[d].bIsEnabled != 0)
            continue;
        for (int c = 0; c < kComposites; ++c) {
            if (Settings.Composite[c].bIsEnabled != 1 || !IsChannelInComposite(d, c))
                continue;
            Settings.Composite[c].bIsEnabled = 0;
            for (int kind = 2; kind <= kPlotKinds; ++kind)
                ClosePlot(kind, c, true);
        }
    }
}

void CMainFrame::HandOverPlotSettings(TPlotBase& plot)
{
    plot.SetLogoHidden(TPlotBase::IsLogoHidden(ProfilePath.c_str()));
}

LRESULT CMainFrame::OnRunWholeFileMessage(WPARAM wParam, LPARAM)
{
    // wParam 0: the Enter was pressed elsewhere (it closed a box or dialog); it runs nothing,
    // and the one Enter the plot options command expected has come.
    if (wParam == 0) {
        SkipNextEnterRun = 0;
        return 0;
    }
    StartWholeFileRun();
    return 0;
}

LRESULT CMainFrame::OnSpectrumCommand(WPARAM wParam, LPARAM lParam)
{
    // Only an open input channel's spectrum window asks; anything else is not ours to act on.
    auto* plot = reinterpret_cast<TSpectraPlot*>(lParam);
    int channel = -1;
    for (int ch = 0; ch < kChannels; ++ch)
        if (plot != nullptr && SpectrumPlot[ch] == plot)
            channel = ch;
    if (channel < 0)
        return 0;
    switch (wParam) {
    case 801:
        ComputeCepstrum(channel);
        break;
    case 803:
        InverseFftToTimeSeries(channel);
        break;
    case 821:
        ShowPeakQualityFactor(channel, Settings.SpectrumOpts[channel].StartFreq, Settings.SpectrumOpts[channel].StopFreq);
        break;
    default:
        break;
    }
    return 0;
}
