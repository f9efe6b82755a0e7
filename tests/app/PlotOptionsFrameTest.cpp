// The plot options sheet on the frame's road: F5 and every plot's Properties open it for the
// active plot, OK refreshes exactly the plots whose records changed (a spectrogram by
// rebuilding its history), a refused value keeps the sheet open and Cancel then changes
// nothing, and what the sheet sets survives a configuration file.
#include "FilesFrameFixture.h"

#include "plots/CPlotOptionsMain.h"
#include "plots/TMarkerOptionsDialog.h"
#include "res/PlotOptionsDialogIds.h"
#include "res/resource.h"
#include "plots/CDataView.h"
#include "plots/spectrum/TSpectraPlot.h"

#include "support/QtTestAccess.h"

#include <cstring>
#include <string>

using namespace filesframe;

namespace {
using PlotOptionsInFrame = FilesFrame;

QImage Picture(CWnd* w)
{
    AfxPumpMessages();
    return QtPictureOf(w);
}

int CountColour(const QImage& image, const CRect& r, COLORREF colour)
{
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += dlgtest::Pixel(image, x, y) == colour ? 1 : 0;
    return n;
}

template <typename T, std::size_t N>
bool SameArray(const T (&a)[N], const T (&b)[N])
{
    return std::memcmp(static_cast<const void*>(a), static_cast<const void*>(b), sizeof a) == 0;
}

void Set(CWnd& w, int id, const char* text) { static_cast<CDialog&>(w).SetDlgItemText(id, text); }
} // namespace

TEST_F(PlotOptionsInFrame, F5WithoutAPlotOpensChannelZerosTimeSeriesPageAndItsEnterRunsNothing)
{
    ASSERT_NE(Start(), nullptr);
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        EXPECT_EQ(s.GetWindowTextString(), "Plot Options");
        EXPECT_EQ(s.GetActivePage(), &s.m_SeriesPage);
        EXPECT_EQ(s.GetChannel(), 0);
        dlgtest::Click(s, IDOK);
    });
    frame->SendMessage(WM_COMMAND, ID_PLOT_OPTIONS);
    EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
    // The Enter that closed the sheet lands on the frame: no run, and only that one is eaten.
    ASSERT_EQ(frame->SkipNextEnterRun, 1);
    frame->SendMessage(WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(frame->SkipNextEnterRun, 0);
    EXPECT_EQ(frame->RunWholeFile, 0u);
    EXPECT_FALSE(frame->PostProcessBusy);
}

TEST_F(PlotOptionsInFrame, EveryPlotsPropertiesOpensTheSheetAtItsPageAndChannel)
{
    ASSERT_NE(Start(), nullptr);
    frame->OpenTimeSeriesPlot(3);
    frame->OpenSpectrumPlot(3);
    frame->OpenPhasePlot(3);
    frame->OpenSpectrogramPlot(3);
    frame->OpenSurfacePlot(3);
    frame->OpenCompositePhasePlot(5);
    AfxPumpMessages();
    for (int kind = 1; kind <= 5; ++kind) {
        TPlotBase* plot = frame->GetPlot(kind, 3, false);
        ASSERT_NE(plot, nullptr) << kind;
        // Time runs along the time series, spectrogram and surface; not the spectrum or phase.
        EXPECT_EQ(plot->IsTimeView(), kind == 1 || kind >= 4) << kind;
        frame->MDIActivate(plot);
        AfxPumpMessages();
        CDialog::ScriptModal([kind](CWnd& w) {
            auto& s = static_cast<CPlotOptionsMain&>(w);
            EXPECT_EQ(s.GetActiveIndex(), kind - 1);
            EXPECT_EQ(s.GetChannel(), 3);
            dlgtest::Click(s, IDCANCEL);
        });
        plot->SendMessage(WM_COMMAND, 1500);
        AfxPumpMessages();
        EXPECT_EQ(CDialog::PendingModalScripts(), 0u) << kind;
    }
    frame->MDIActivate(frame->CompositePhasePlot[5]);
    AfxPumpMessages();
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        EXPECT_EQ(s.GetWindowTextString(), "Composite Plot Options");
        EXPECT_EQ(s.GetActivePage(), &s.m_PhasePage);
        EXPECT_EQ(s.GetChannel(), 5);
        dlgtest::Click(s, IDCANCEL);
    });
    frame->CompositePhasePlot[5]->SendMessage(WM_COMMAND, 1500);
    AfxPumpMessages();

    // A title given to a spectrum window is cut to 260 characters and outlives its next layout.
    TSpectraPlot* spectrum = frame->SpectrumPlot[3];
    const std::string title = "Spectrum " + std::string(300, 'x');
    spectrum->SetTitle(title.c_str());
    EXPECT_EQ(spectrum->GetWindowTextString(), title.substr(0, 260));
    spectrum->UpdateLayout();
    EXPECT_EQ(spectrum->GetWindowTextString(), title.substr(0, 260));
}

TEST_F(PlotOptionsInFrame, OkRefreshesOnlyThePlotsWhoseRecordsChangedAndRebuildsAChangedSpectrogram)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/chirp.wav"), 8000, 32000,
                            "round(12000 * math.sin(2 * math.pi * (500 * i / 8000 + 375 * (i / 8000) ** 2)))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/chirp.wav")));
    frame->Settings.SpectrogramOpts[0].ScrollType = 0;
    frame->RebuildSpectrogramFromSegment(0, 0.0f, 4.0f, false, true);
    TSpectrogram* spectrogram = frame->SpectrogramPlot[0];
    ASSERT_NE(spectrogram, nullptr);
    const TLineHistory& history = spectrogram->GetHistory();
    ASSERT_GT(history.Count(), 10);
    // Smooth scrolling keeps the newest line first; a rebuild with overlapped scrolling the oldest.
    ASSERT_GT(history.RowTime(0), history.RowTime(history.Count() - 2));
    frame->OpenSpectrumPlot(0);
    frame->OpenSpectrumPlot(1);
    frame->OpenPhasePlot(0);
    AfxPumpMessages();
    // The record says overlapped, the history was built smooth: only a rebuild would show it.
    frame->Settings.SpectrogramOpts[0].ScrollType = 1;
    const QImage spectrum0 = Picture(frame->SpectrumPlot[0]);
    const QImage phase0 = Picture(frame->PhasePlot[0]);
    const COLORREF green = RGB(10, 200, 30);
    ASSERT_EQ(CountColour(Picture(frame->SpectrumPlot[1]), frame->SpectrumPlot[1]->GetPlotRect(), green), 0);

    user.ExpectColor(green);
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        dlgtest::Click(s.m_SpectrumPage, IDC_PO_BACK_COLOR);
        dlgtest::Click(s, IDOK);
    });
    frame->ShowPlotOptions(2, 1);
    EXPECT_EQ(frame->Settings.SpectrumOpts[1].BackgroundColor, green);
    const CRect pane = frame->SpectrumPlot[1]->GetPlotRect();
    EXPECT_GT(CountColour(Picture(frame->SpectrumPlot[1]), pane, green), pane.Width() * pane.Height() / 2);
    EXPECT_TRUE(Picture(frame->SpectrumPlot[0]) == spectrum0) << "an unchanged spectrum plot was redrawn";
    EXPECT_TRUE(Picture(frame->PhasePlot[0]) == phase0) << "an unchanged phase plot was redrawn";
    EXPECT_GT(history.RowTime(0), history.RowTime(history.Count() - 2)) << "an unchanged spectrogram was rebuilt";

    frame->Settings.SpectrogramOpts[0].ScrollType = 0;
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        EXPECT_EQ(s.GetActivePage(), &s.m_SpectrogramPage);
        dlgtest::Click(s.m_SpectrogramPage, IDC_PO_OVERLAP_SCROLL);
        dlgtest::Click(s, IDOK);
    });
    frame->ShowPlotOptions(4, 0);
    EXPECT_EQ(frame->Settings.SpectrogramOpts[0].ScrollType, 1);
    EXPECT_LT(history.RowTime(0), history.RowTime(history.Count() - 2));
    EXPECT_TRUE(Picture(frame->SpectrumPlot[0]) == spectrum0);
}

TEST_F(PlotOptionsInFrame, ARefusedValueKeepsTheSheetOpenAndCancelThenChangesNothing)
{
    ASSERT_NE(Start(), nullptr);
    FrameSettings& f = frame->Settings;
    const auto spectrum = std::make_unique<FrameSettings>();
    std::memcpy(static_cast<void*>(spectrum->SpectrumOpts), f.SpectrumOpts, sizeof f.SpectrumOpts);
    std::memcpy(static_cast<void*>(spectrum->Markers), f.Markers, sizeof f.Markers);
    std::memcpy(static_cast<void*>(spectrum->PhaseOpts), f.PhaseOpts, sizeof f.PhaseOpts);

    user.ExpectColor(RGB(1, 2, 3));
    user.ExpectBox(IDOK, "Plot Top must be between");
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        dlgtest::Click(s.m_SpectrumPage, IDC_PO_LINE_COLOR);
        CDialog::ScriptModal([](CWnd& d) {
            dlgtest::Click(d, kMarkerEnabledFirstId);
            Set(d, kMarkerFreqFirstId, "77");
            dlgtest::Click(d, IDOK);
        });
        dlgtest::Click(s.m_SpectrumPage, IDC_PO_MARKER_OPTIONS);
        Set(s.m_PhasePage, IDC_PO_TOP, "500");
        dlgtest::Click(s, IDOK);
        EXPECT_TRUE(s.IsModalRunning());
        EXPECT_EQ(s.GetActivePage(), &s.m_PhasePage);
        dlgtest::Click(s, IDCANCEL);
    });
    frame->ShowPlotOptions(2, 2);
    EXPECT_TRUE(SameArray(f.SpectrumOpts, spectrum->SpectrumOpts));
    EXPECT_TRUE(SameArray(f.Markers, spectrum->Markers));
    EXPECT_TRUE(SameArray(f.PhaseOpts, spectrum->PhaseOpts));
}

TEST_F(PlotOptionsInFrame, WhatTheSheetSetsSurvivesAConfigurationSaveAndLoad)
{
    ASSERT_NE(Start(), nullptr);
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPlotOptionsMain&>(w);
        dlgtest::Pick(s.m_SpectrumPage, IDC_PO_PEAK_HOLD, 3);
        CDialog::ScriptModal([](CWnd& d) {
            dlgtest::Click(d, kMarkerEnabledFirstId + 2);
            Set(d, kMarkerFreqFirstId + 2, "440");
            dlgtest::Pick(d, kMarkerLabelFirstId + 2, 4);
            Set(d, kMarkerCustomFirstId + 2, "A4");
            dlgtest::Click(d, IDOK);
        });
        dlgtest::Click(s.m_SpectrumPage, IDC_PO_MARKER_OPTIONS);
        Set(s.m_PhasePage, IDC_PO_RANGE, "90");
        dlgtest::Click(s.m_SurfacePage, IDC_PO_GRAY_SCALE);
        Set(s.m_SeriesPage, IDC_PO_STOP_TIME, "2.5");
        dlgtest::Click(s, IDOK);
    });
    frame->ShowPlotOptions(2, 2);
    FrameSettings& f = frame->Settings;
    ASSERT_EQ(f.SpectrumOpts[2].PeakHold, 3);
    frame->SaveConfiguration(Data("config/Options.cfg").c_str());

    f.SpectrumOpts[2] = SpectrumPlotSettings();
    f.Markers[2] = MarkerSettings();
    f.PhaseOpts[2] = PhasePlotSettings();
    f.SurfaceOpts[2] = SurfacePlotSettings();
    f.TimeSeriesOpts[2] = TimeSeriesPlotSettings();
    frame->LoadConfiguration(Data("config/Options.cfg").c_str());
    EXPECT_EQ(f.SpectrumOpts[2].PeakHold, 3);
    EXPECT_EQ(f.Markers[2].Enabled[2], 1u);
    EXPECT_FLOAT_EQ(f.Markers[2].Freq[2], 440.0f);
    EXPECT_EQ(f.Markers[2].LabelType[2], 4u);
    EXPECT_STREQ(f.Markers[2].CustomLabel[2], "A4");
    EXPECT_FLOAT_EQ(f.PhaseOpts[2].PlotRange, 90.0f);
    EXPECT_EQ(f.SurfaceOpts[2].ColorMode, 3);
    EXPECT_FLOAT_EQ(f.TimeSeriesOpts[2].StopTime, 2.5f);
}

TEST_F(PlotOptionsInFrame, TheSpectrumWindowsMarkerOptionsAndValueWindowWork)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/t.wav"), 8000, 8000, "round(12000 * math.sin(2 * math.pi * 1000 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/t.wav")));
    frame->OpenSpectrumPlot(0);
    TSpectraPlot* plot = frame->SpectrumPlot[0];
    ASSERT_NE(plot, nullptr);
    AfxPumpMessages();

    plot->SendMessage(WM_COMMAND, 804);
    ASSERT_NE(plot->GetDataView(), nullptr);
    EXPECT_EQ(plot->GetDataView()->GetKind(), 2);
    EXPECT_EQ(plot->GetDataView()->GetSource(), frame->Spectral[0]);
    plot->SendMessage(WM_DATAVIEW_CLOSING, 0, 0);
    EXPECT_EQ(plot->GetDataView(), nullptr);

    // The menu item and the tool-strip button edit the window's own record.
    CDialog::ScriptModal([](CWnd& d) {
        dlgtest::Click(d, kMarkerEnabledFirstId + 1);
        Set(d, kMarkerFreqFirstId + 1, "1000");
        dlgtest::Click(d, IDOK);
    });
    plot->SendMessage(WM_COMMAND, 860);
    EXPECT_EQ(frame->Settings.Markers[0].Enabled[1], 1u);
    EXPECT_FLOAT_EQ(frame->Settings.Markers[0].Freq[1], 1000.0f);
    CDialog::ScriptModal([](CWnd& d) {
        Set(d, kMarkerFreqFirstId + 1, "2000");
        dlgtest::Click(d, IDCANCEL);
    });
    plot->SendMessage(WM_COMMAND, 511);
    EXPECT_FLOAT_EQ(frame->Settings.Markers[0].Freq[1], 1000.0f);
}
