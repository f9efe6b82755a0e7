// The frame's layout, view toggles, keys, frame-wide plot commands and Help commands.
#include "app/CMainFrame.h"
#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "app/CToolbar2.h"
#include "platform/core/SystemFolders.h"
#include "plots/TPhasePlot.h"
#include "plots/TSeriesPlot.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "res/resource.h"

#include <algorithm>
#include <filesystem>
#include <string>

void CMainFrame::RecalcLayout(BOOL)
{
    CMDIClientArea* client = GetMDIClient();
    if (!client || !IsWindow(client->GetSafeHwnd()))
        return;
    RECT r{};
    GetClientRect(&r);
    const int W = r.right - r.left;
    const int H = r.bottom - r.top;
    const int t1 = Settings.Main ? CToolbar::kHeight : 0;
    const int t2 = Settings.Buttons ? CToolbar2::kHeight : 0;
    const int s = Settings.Statusbar ? CStatusbar::kHeight : 0;

    client->MoveWindow(0, t1 + t2, W, std::max(0, H - (t1 + t2 + s)), TRUE);
    if (Toolbar && IsWindow(Toolbar->GetSafeHwnd())) {
        Toolbar->MoveWindow(0, 0, W, t1, TRUE);
        Toolbar->Invalidate();
    }
    if (Toolbar2 && IsWindow(Toolbar2->GetSafeHwnd())) {
        Toolbar2->MoveWindow(0, t1, W, t2, TRUE);
        Toolbar2->Invalidate();
    }
    if (StatusBar && IsWindow(StatusBar->GetSafeHwnd())) {
        StatusBar->MoveWindow(0, H - s, W, s, TRUE);
        StatusBar->Invalidate();
    }
    client->Invalidate();
}

// ---- Tool windows -----------------------------------------------------------------------

namespace {
void ToggleWindow(CWnd* wnd, BYTE& flag)
{
    if (flag) {
        if (wnd && IsWindow(wnd->GetSafeHwnd()))
            wnd->ShowWindow(SW_HIDE);
        flag = 0;
    } else {
        if (wnd && IsWindow(wnd->GetSafeHwnd()))
            wnd->ShowWindow(SW_SHOWNORMAL);
        flag = 1;
    }
}
} // namespace

// After a configuration is loaded: the tool windows and the status bar as it records them,
// with the layout, the menu marks and the display gain box in step.
void CMainFrame::ApplyToolWindowFlags()
{
    const auto show = [](CWnd* wnd, BYTE flag) {
        if (wnd && IsWindow(wnd->GetSafeHwnd()))
            wnd->ShowWindow(flag ? SW_SHOWNORMAL : SW_HIDE);
    };
    show(Toolbar.get(), Settings.Main);
    show(Toolbar2.get(), Settings.Buttons);
    show(StatusBar.get(), Settings.Statusbar);
    RecalcLayout();
    UpdateToolbarMenuChecks();
    if (Toolbar && IsWindow(Toolbar->GetSafeHwnd()))
        Toolbar->ShowDisplayGain();
}

void CMainFrame::OnToggleMainToolbar()
{
    ToggleWindow(Toolbar.get(), Settings.Main);
    RecalcLayout();
    UpdateToolbarMenuChecks();
}

void CMainFrame::OnToggleSecondaryToolbar()
{
    ToggleWindow(Toolbar2.get(), Settings.Buttons);
    RecalcLayout();
    UpdateToolbarMenuChecks();
}

void CMainFrame::OnToggleStatusbar()
{
    ToggleWindow(StatusBar.get(), Settings.Statusbar);
    RecalcLayout();
    UpdateToolbarMenuChecks();
}

// ---- Plot tool strips -----------------------------------------------------------------

bool CMainFrame::AnyPlotToolbarShown(int kind, int channels, int composites) const
{
    bool any = false;
    for (int ch = 0; ch < channels; ++ch) {
        switch (kind) {
        case 1: any |= Settings.TimeSeriesOpts[ch].ShowToolbar != 0; break;
        case 2: any |= Settings.SpectrumOpts[ch].ShowToolbar != 0; break;
        case 3: any |= Settings.PhaseOpts[ch].ShowToolbar != 0; break;
        case 4: any |= Settings.SpectrogramOpts[ch].ShowToolbar != 0; break;
        case 5: any |= Settings.SurfaceOpts[ch].ShowToolbar != 0; break;
        default: break;
        }
    }
    if (kind == 1)
        return any;
    for (int c = 0; c < composites; ++c) {
        switch (kind) {
        case 2: any |= Settings.CompositeSpectrumOpts[c].ShowToolbar != 0; break;
        case 3: any |= Settings.CompositePhaseOpts[c].ShowToolbar != 0; break;
        case 4: any |= Settings.CompositeSpectrogramOpts[c].ShowToolbar != 0; break;
        case 5: any |= Settings.CompositeSurfaceOpts[c].ShowToolbar != 0; break;
        default: break;
        }
    }
    return any;
}

void CMainFrame::TogglePlotToolbars(int kind)
{
    const bool show = !AnyPlotToolbarShown(kind, 8, 8);
    const BYTE flag = show ? 1 : 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        switch (kind) {
        case 1:
            Settings.TimeSeriesOpts[ch].ShowToolbar = flag;
            if (TimeSeriesPlot[ch])
                TimeSeriesPlot[ch]->ShowToolbar(show);
            break;
        case 2:
            Settings.SpectrumOpts[ch].ShowToolbar = flag;
            if (SpectrumPlot[ch])
                SpectrumPlot[ch]->ShowToolbar(show);
            break;
        case 3:
            Settings.PhaseOpts[ch].ShowToolbar = flag;
            if (PhasePlot[ch])
                PhasePlot[ch]->ShowToolbar(show);
            break;
        case 4:
            Settings.SpectrogramOpts[ch].ShowToolbar = flag;
            if (SpectrogramPlot[ch])
                SpectrogramPlot[ch]->ShowToolbar(show);
            break;
        case 5:
            Settings.SurfaceOpts[ch].ShowToolbar = flag;
            if (SurfacePlot[ch])
                SurfacePlot[ch]->ShowToolbar(show);
            break;
        default: break;
        }
    }
    // Composite channels A to H follow; I to P keep their own state.
    for (int c = 0; kind != 1 && c < 8; ++c) {
        switch (kind) {
        case 2:
            Settings.CompositeSpectrumOpts[c].ShowToolbar = flag;
            if (CompositeSpectrumPlot[c])
                CompositeSpectrumPlot[c]->ShowToolbar(show);
            break;
        case 3:
            Settings.CompositePhaseOpts[c].ShowToolbar = flag;
            if (CompositePhasePlot[c])
                CompositePhasePlot[c]->ShowToolbar(show);
            break;
        case 4:
            Settings.CompositeSpectrogramOpts[c].ShowToolbar = flag;
            if (CompositeSpectrogramPlot[c])
                CompositeSpectrogramPlot[c]->ShowToolbar(show);
            break;
        case 5:
            Settings.CompositeSurfaceOpts[c].ShowToolbar = flag;
            if (CompositeSurfacePlot[c])
                CompositeSurfacePlot[c]->ShowToolbar(show);
            break;
        default: break;
        }
    }
    UpdateToolbarMenuChecks();
}

void CMainFrame::OnToggleSeriesToolbars() { TogglePlotToolbars(1); }
void CMainFrame::OnToggleSpectrumToolbars() { TogglePlotToolbars(2); }
void CMainFrame::OnTogglePhaseToolbars() { TogglePlotToolbars(3); }
void CMainFrame::OnToggleSpectrogramToolbars() { TogglePlotToolbars(4); }
void CMainFrame::OnToggleSurfaceToolbars() { TogglePlotToolbars(5); }

void CMainFrame::UpdateToolbarMenuChecks()
{
    CMenu* menu = GetMenu();
    if (!menu)
        return;
    auto check = [menu](UINT id, bool on) { menu->CheckMenuItem(id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); };
    check(ID_VIEW_MAIN_TOOLBAR, Settings.Main != 0);
    check(ID_VIEW_SECONDARY_TOOLBAR, Settings.Buttons != 0);
    check(ID_VIEW_STATUSBAR, Settings.Statusbar != 0);
    // Channels 0 to 6 and composites A to G decide the marks.
    check(ID_VIEW_SERIES_TOOLBARS, AnyPlotToolbarShown(1, 7, 7));
    check(ID_VIEW_SPECTRUM_TOOLBARS, AnyPlotToolbarShown(2, 7, 7));
    check(ID_VIEW_PHASE_TOOLBARS, AnyPlotToolbarShown(3, 7, 7));
    check(ID_VIEW_SPECTROGRAM_TOOLBARS, AnyPlotToolbarShown(4, 7, 7));
    check(ID_VIEW_SURFACE_TOOLBARS, AnyPlotToolbarShown(5, 7, 7));
}

// ---- Frame-wide plot commands ---------------------------------------------------------

void CMainFrame::OnAutoscaleAll()
{
    for (int ch = 0; ch < kChannels; ++ch) {
        if (TimeSeriesPlot[ch])
            TimeSeriesPlot[ch]->Autoscale();
        if (SpectrumPlot[ch])
            SpectrumPlot[ch]->Autoscale();
        if (SpectrogramPlot[ch])
            SpectrogramPlot[ch]->Autoscale();
        if (SurfacePlot[ch])
            SurfacePlot[ch]->Autoscale();
    }
    for (int c = 0; c < kComposites; ++c) {
        if (CompositeSpectrumPlot[c])
            CompositeSpectrumPlot[c]->Autoscale();
        if (CompositeSpectrogramPlot[c])
            CompositeSpectrogramPlot[c]->Autoscale();
        if (CompositeSurfacePlot[c])
            CompositeSurfacePlot[c]->Autoscale();
    }
}

void CMainFrame::TilePlots()
{
    CMDIClientArea* client = GetMDIClient();
    if (!client)
        return;
    for (int c = kComposites - 1; c >= 0; --c)
        if (CompositeSurfacePlot[c]) {
            client->SendMessage(WM_MDIRESTORE, reinterpret_cast<WPARAM>(CompositeSurfacePlot[c]->GetSafeHwnd()), 0);
            client->SendMessage(WM_MDIACTIVATE, reinterpret_cast<WPARAM>(CompositeSurfacePlot[c]->GetSafeHwnd()), 0);
        }
    for (int ch = kChannels - 1; ch >= 0; --ch)
        if (SurfacePlot[ch]) {
            client->SendMessage(WM_MDIRESTORE, reinterpret_cast<WPARAM>(SurfacePlot[ch]->GetSafeHwnd()), 0);
            client->SendMessage(WM_MDIACTIVATE, reinterpret_cast<WPARAM>(SurfacePlot[ch]->GetSafeHwnd()), 0);
        }
    client->SendMessage(WM_MDITILE, MDITILE_HORIZONTAL, 0);
}

void CMainFrame::SetDisplayGainShift(int shift)
{
    if (shift == Settings.MasterDisplayGain)
        return;
    shift = std::clamp(shift, -20, 20);
    Settings.MasterDisplayGain = shift;
    const float bottom = static_cast<float>(-55 - shift);
    constexpr float kRange = 45.0f;
    auto apply = [&](int channel, bool composite, SurfacePlotSettings& surface, SpectrogramPlotSettings& spectrogram,
                     SpectrumPlotSettings& spectrum, TSpectraPlot* spectrumPlot) {
        surface.PlotTop = bottom;
        surface.PlotRange = kRange;
        if (!AcquisitionRunning)
            RebuildSurface(channel, composite, false);
        spectrogram.PlotTop = bottom;
        spectrogram.PlotRange = kRange;
        if (!AcquisitionRunning)
            RebuildSpectrogram(channel, composite, false);
        spectrum.PlotTop = bottom;
        spectrum.PlotRange = kRange;
        if (!AcquisitionRunning && spectrumPlot)
            spectrumPlot->UpdateLayout();
    };
    for (int ch = 0; ch < kChannels; ++ch)
        apply(ch, false, Settings.SurfaceOpts[ch], Settings.SpectrogramOpts[ch], Settings.SpectrumOpts[ch],
              SpectrumPlot[ch]);
    for (int c = 0; c < kComposites; ++c)
        apply(c, true, Settings.CompositeSurfaceOpts[c], Settings.CompositeSpectrogramOpts[c],
              Settings.CompositeSpectrumOpts[c], CompositeSpectrumPlot[c]);
}

// ---- Keys and devices -----------------------------------------------------------------

void CMainFrame::OnKeyDown(UINT nChar, UINT, UINT)
{
    if (nChar == VK_RETURN)
        EnterPressedInFrame = 1;
}

void CMainFrame::OnKeyUp(UINT nChar, UINT, UINT)
{
    // Enter runs a post-process pass over the whole file, unless it is the key that closed the
    // plot options sheet, a message box or a dialog: that one went down elsewhere.
    if (nChar != VK_RETURN)
        return;
    const bool pressedHere = EnterPressedInFrame != 0;
    EnterPressedInFrame = 0;
    if (SkipNextEnterRun || !pressedHere) {
        SkipNextEnterRun = 0;
        return;
    }
    if (!PostProcessBusy)
        StartWholeFileRun();
}

BOOL CMainFrame::OnDeviceChange(UINT, DWORD_PTR) { return TRUE; }

// ---- Help -----------------------------------------------------------------------------

void CMainFrame::OnHelpNothing() {}

namespace {
std::string ProgramFolder()
{
    std::string folder = std::filesystem::path(CMainFrame::ModulePath()).parent_path().string();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}
} // namespace

void CMainFrame::OnHelpReleaseNotes() { WinExec(("notepad.exe " + ProgramFolder() + "readme.txt").c_str(), SW_SHOWNORMAL); }

void CMainFrame::OnHelpAgreement() { WinExec(("notepad.exe " + ProgramFolder() + "disclaim.txt").c_str(), SW_SHOWNORMAL); }

void CMainFrame::OnHelpWebsite()
{
    WinExec("C:\\Program Files\\Internet Explorer\\iexplore.exe https://www.quenrith.example/analyzer", SW_SHOWNORMAL);
}
