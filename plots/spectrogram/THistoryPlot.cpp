#include "plots/spectrogram/THistoryPlot.h"

#include "dsp/SpectralData.h"
#include "records/AppMessages.h"
#include "records/CommonRoutines.h"
#include "records/PrintSettings.h"
#include "records/SpectrogramPlotSettings.h"
#include "records/SurfacePlotSettings.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "plots/LevelScaleFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int kLevelBoxWidth = 52;
constexpr int kLevelBoxHeight = 17;

std::string Printf(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}
} // namespace

// The map of a class template: what BEGIN_MESSAGE_MAP opens, under the template's head.
template <class Settings> const AFX_MSGMAP* THistoryPlot<Settings>::GetMessageMap() const
{
    return GetThisMessageMap();
}
template <class Settings> const AFX_MSGMAP* THistoryPlot<Settings>::GetThisMessageMap()
{
    using ThisClass = THistoryPlot<Settings>;
    using TheBaseClass = TPlotBase;
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
    ON_WM_SIZE()
    ON_WM_TIMER()
    ON_WM_VSCROLL()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_PAINT()
    ON_COMMAND(IDC_HISTORY_SELECT, &THistoryPlot::OnSelectSegment)
    ON_COMMAND(IDC_HISTORY_PLAY, &THistoryPlot::OnPlaySegment)
    ON_COMMAND(ID_HISTORY_PLAY, &THistoryPlot::OnPlaySegment)
    ON_COMMAND(IDC_HISTORY_FILTER, &THistoryPlot::OnFilterSegment)
    ON_COMMAND(ID_HISTORY_FILTER, &THistoryPlot::OnFilterSegment)
    ON_COMMAND(ID_HISTORY_CUT, &THistoryPlot::OnCut)
    ON_COMMAND(ID_HISTORY_COPY_WAVE, &THistoryPlot::OnCopyAsWave)
    ON_COMMAND(ID_HISTORY_MUTE, &THistoryPlot::OnMute)
    ON_COMMAND(ID_HISTORY_TIME_SERIES, &THistoryPlot::OnDisplayTimeSeries)
    ON_COMMAND(ID_HISTORY_AVERAGE, &THistoryPlot::OnAverageSpectrum)
    ON_COMMAND(ID_HISTORY_SPECTROGRAM, &THistoryPlot::OnShowSpectrogram)
    ON_COMMAND(ID_HISTORY_SURFACE, &THistoryPlot::OnShowSurface)
    ON_COMMAND(ID_HISTORY_COPY_BITMAP, &THistoryPlot::OnCopyAsBitmap)
    ON_COMMAND(ID_HISTORY_COPY_VALUES, &THistoryPlot::OnCopyCursorValues)
    ON_COMMAND(ID_HISTORY_HELP, &THistoryPlot::OnHelp)
    ON_COMMAND(IDC_HISTORY_AUTOSCALE, &THistoryPlot::Autoscale)
    ON_COMMAND(ID_HISTORY_AUTOSCALE, &THistoryPlot::Autoscale)
    ON_COMMAND(IDC_HISTORY_OPTIONS, &THistoryPlot::OnProperties)
    ON_COMMAND(ID_HISTORY_PROPERTIES, &THistoryPlot::OnProperties)
    ON_COMMAND(IDC_HISTORY_TOGGLE, &THistoryPlot::OnToggle1410)
    ON_EN_CHANGE(IDC_HISTORY_TOP, &THistoryPlot::OnPlotTopChanged)
    ON_EN_CHANGE(IDC_HISTORY_RANGE, &THistoryPlot::OnPlotRangeChanged)
    ON_EN_KILLFOCUS(IDC_HISTORY_TOP, &THistoryPlot::FinishTyping)
    ON_EN_KILLFOCUS(IDC_HISTORY_RANGE, &THistoryPlot::FinishTyping)
    ON_UPDATE_COMMAND_UI_RANGE(ID_HISTORY_CUT, ID_HISTORY_SURFACE, &THistoryPlot::OnUpdatePopupCommand)
END_MESSAGE_MAP()

// ---- Creation ----------------------------------------------------------------------------

template <class Settings>
BOOL THistoryPlot<Settings>::Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                                    ChannelScalingSettings scaling, MarkerSettings markers, Settings* settings,
                                    SpectralData* source, DWORD, int channel, int composite)
{
    std::snprintf(m_title, sizeof m_title, "%s", title ? title : "");
    this->KeepChannelRecords(processing, scaling, markers);
    m_channel = channel;
    m_composite = composite;
    m_traceA = source;
    m_traceB = nullptr;
    this->UseSettings(settings);
    m_creating = true;
    m_inLayout = false;
    // The base makes only its own controls while the window is created; these follow.
    const BOOL created = this->CreatePlotWindow(m_title, style, rect);
    CreateControls();
    return created;
}

template <class Settings>
void THistoryPlot<Settings>::BindFrameState(const bool* acquiring, const bool* postProcessing, const WORD* opMode)
{
    m_acquiring = acquiring;
    m_postProcessing = postProcessing;
    m_opMode = opMode;
}

template <class Settings> THistoryPlot<Settings>::THistoryPlot(int thickness) : m_history(thickness)
{
    this->m_xBoxWidth = 78;
    this->m_xBoxHeight = 17;
    this->m_yBoxWidth = 74;
    this->m_yBoxHeight = 17;
    this->m_xFormat = 2;
    this->m_yFormat = 201;
    std::snprintf(this->m_xUnit, sizeof this->m_xUnit, " Hz");
    std::snprintf(this->m_yUnit, sizeof this->m_yUnit, " Hz");
}

template <class Settings> THistoryPlot<Settings>::~THistoryPlot() = default;

template <class Settings> void THistoryPlot<Settings>::CreateControls()
{
    if (!this->m_hWnd) {
        m_creating = false;
        return;
    }
    m_plotFont.CreatePointFont(80, "Arial");
    {
        CClientDC dc(this);
        CFont* old = dc.SelectObject(&m_plotFont);
        TEXTMETRICA tm{};
        if (dc.GetTextMetrics(&tm) && tm.tmHeight > 0)
            m_textHeight = tm.tmHeight;
        dc.SelectObject(old);
    }
    const std::string kind = IsSurface() ? "3-D Surface" : "spectrogram";
    m_select = std::make_unique<CToolBtn>(this, IDC_HISTORY_SELECT, "SelectUp", "SelectDn", "SelectGry",
                                          "Select a time segment for editing");
    m_play = std::make_unique<CToolBtn>(this, IDC_HISTORY_PLAY, "SelectPlayUp", "SelectStopUp", "SelectPlayGry",
                                        "Playback currently selected time segment");
    m_filter = std::make_unique<CToolBtn>(this, IDC_HISTORY_FILTER, "SelectFilterUp", "SelectFilterDn",
                                          "SelectFilterGry", "Filter currently selected time segment");
    m_options = std::make_unique<CToolBtn>(this, IDC_HISTORY_OPTIONS, "OptionsUp", "OptionsDn", nullptr,
                                           ("Set additional " + kind + " display options").c_str());
    m_autoscale = std::make_unique<CToolBtn>(this, IDC_HISTORY_AUTOSCALE, "AutoScaleUp", "AutoScaleDn", "AutoGr",
                                             IsSurface() ? "Autoscale 3-D Surface" : "Autoscale Spectrogram");
    m_topEdit = std::make_unique<CEdit>();
    m_topEdit->Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 1, 1), this, IDC_HISTORY_TOP);
    m_rangeEdit = std::make_unique<CEdit>();
    m_rangeEdit->Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 1, 1), this, IDC_HISTORY_RANGE);
    m_topEdit->SetFont(&m_plotFont);
    m_rangeEdit->SetFont(&m_plotFont);
    m_topSpin = std::make_unique<TLimitScroll>(this, IDC_HISTORY_TOP_SPIN, m_topEdit.get(), 300.0f, -300.0f, 5.0f);
    m_rangeSpin = std::make_unique<TLimitScroll>(this, IDC_HISTORY_RANGE_SPIN, m_rangeEdit.get(), 200.0f, -200.0f, 5.0f);
    ApplyAmpScaleToEdits();
    m_toggle = std::make_unique<CButton>();
    m_toggle->Create("+", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT, CRect(0, 0, 1, 1), this, IDC_HISTORY_TOGGLE);
    m_toggle->SetFont(&m_plotFont);
    this->SetWindowText(m_title);
    m_creating = false;
    UpdateLayout();
}

template <class Settings> void THistoryPlot<Settings>::SyncEdit(CEdit* edit, const char* format, float value)
{
    // A box the user is typing in keeps its text until it is applied.
    if (edit->GetModify())
        return;
    char text[20] = {};
    edit->GetWindowText(text, sizeof text);
    char* end = nullptr;
    const double shown = std::strtod(text, &end);
    // A box that already says the value keeps what the user wrote there.
    if (end != text && static_cast<float>(shown) == value)
        return;
    const bool wasInLayout = m_inLayout;
    m_inLayout = true; // the window writes its own edits
    edit->SetWindowText(Printf(format, value));
    m_inLayout = wasInLayout;
}

template <class Settings> void THistoryPlot<Settings>::ApplyAmpScaleToEdits()
{
    if (!this->m_settings || !m_topEdit)
        return;
    const Settings& s = *this->m_settings;
    switch (this->m_scaling.AmpScaleType) {
    case 0:
        SyncEdit(m_topEdit.get(), "%3.3f", s.PlotTop);
        m_topSpin->SetPrecision(3);
        m_topSpin->SetStep(1.0f, 0);
        m_topSpin->SetLimits(1e7f, 1e-9f);
        if (m_rangeEdit->GetWindowTextString() != "N/A") {
            m_inLayout = true;
            m_rangeEdit->SetWindowText("N/A");
            m_inLayout = false;
        }
        m_rangeEdit->EnableWindow(FALSE);
        m_rangeSpin->EnableWindow(FALSE);
        break;
    case 1:
        SyncEdit(m_topEdit.get(), "%3.1f", s.PlotTop);
        m_topSpin->SetStep(5.0f, 0);
        m_topSpin->SetLimits(300.0f, -400.0f);
        SyncEdit(m_rangeEdit.get(), "%3.1f", s.PlotRange);
        m_rangeEdit->EnableWindow(TRUE);
        m_rangeSpin->EnableWindow(TRUE);
        m_rangeSpin->SetPrecision(2);
        m_rangeSpin->SetStep(5.0f, 0);
        m_rangeSpin->SetLimits(400.0f, -400.0f);
        break;
    case 2:
        SyncEdit(m_topEdit.get(), "%3.4f", s.PlotTop);
        m_topSpin->SetPrecision(4);
        m_topSpin->SetStep(2.0f, 1);
        m_topSpin->SetLimits(1e4f, 1e-5f);
        SyncEdit(m_rangeEdit.get(), "%3.6f", s.PlotRange);
        m_rangeEdit->EnableWindow(TRUE);
        m_rangeSpin->EnableWindow(TRUE);
        m_rangeSpin->SetPrecision(6);
        m_rangeSpin->SetStep(2.0f, 1);
        m_rangeSpin->SetLimits(100.0f, 1e-6f);
        break;
    default: break;
    }
}

template <class Settings> void THistoryPlot<Settings>::SetPlotTitle(const char* text)
{
    std::snprintf(m_title, sizeof m_title, "%s", text ? text : "");
    if (this->m_hWnd)
        this->SetWindowText(m_title);
}

template <class Settings> void THistoryPlot<Settings>::SetData(SpectralData* traceA, SpectralData* traceB)
{
    m_traceA = traceA;
    m_traceB = traceB;
}

template <class Settings> void THistoryPlot<Settings>::SetSources(SpectralData* traceA, SpectralData* traceB)
{
    SetData(traceA, traceB);
}

template <class Settings> bool THistoryPlot<Settings>::IsRunning() const
{
    return (m_acquiring != nullptr && *m_acquiring) || (m_postProcessing != nullptr && *m_postProcessing);
}

template <class Settings> LRESULT THistoryPlot<Settings>::AskFrame(WPARAM code, float start, float end)
{
    PlotSegmentRequest request;
    request.Channel = m_channel;
    request.Start = start;
    request.End = end;
    request.Composite = static_cast<BYTE>(m_composite != 0 ? 1 : 0);
    request.Surface = static_cast<BYTE>(IsSurface() ? 1 : 0);
    CWnd* frame = this->GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    if (!frame || frame == this)
        return 0;
    return frame->SendMessage(WM_PLOT_SEGMENT, code, reinterpret_cast<LPARAM>(&request));
}

template <class Settings> void THistoryPlot<Settings>::RequestRebuild()
{
    // The frame's rebuild runs a long operation that lets timers and paints through; whatever
    // asks for another meanwhile gets it after this one, never inside it.
    if (m_rebuilding) {
        m_rebuildAgain = true;
        return;
    }
    m_rebuilding = true;
    do {
        m_rebuildAgain = false;
        AskFrame(PLOT_SEGMENT_REBUILD, 0.0f, 0.0f);
    } while (m_rebuildAgain && this->m_hWnd);
    m_rebuilding = false;
}

// ---- Layout --------------------------------------------------------------------------------

template <class Settings> void THistoryPlot<Settings>::UpdateLayout()
{
    if (m_screenLayout) {
        // Back from a page: the screen's layout returns as it was, and a new layout would
        // clear the pictures the page was printed from.
        this->m_leftMargin = m_screenLayout->left;
        this->m_rightMargin = m_screenLayout->right;
        this->m_bottomMargin = m_screenLayout->bottom;
        m_textHeight = m_screenLayout->textHeight;
        m_screenLayout.reset();
        this->RecalcLayout();
        BuildScales();
        if (this->m_hWnd)
            this->Invalidate();
        return;
    }
    if (m_creating || m_inLayout || !this->m_settings)
        return;
    m_inLayout = true;
    m_lastLineTime = 0.0f;
    ShowToolbar(this->m_settings->ShowToolbar != 0);

    const ChannelProcessingSettings& p = this->m_processing;
    const bool twoPanes = p.SampleFormat.Channels == 2 &&
                          (p.ChannelProcessing == 2 || p.ChannelProcessing == 11 || p.ChannelProcessing == 12) &&
                          p.IndependentScalingAndCalibration == 0;
    this->SetPaneMode(twoPanes ? 2 : 1);

    // Levels carried over from another amplitude scale become ones this scale can show, so
    // that the boxes, the picture and its colour bar agree.
    {
        Settings& s = *this->m_settings;
        const LevelScale fit = FitLevelScale(this->m_scaling.AmpScaleType, {s.PlotTop, s.PlotRange}, 1e-6, 1.0);
        s.PlotTop = fit.top;
        s.PlotRange = static_cast<float>(fit.range);
    }
    // Each box is written only where it does not already say its value, so what the user typed
    // stays as typed.
    ApplyAmpScaleToEdits();
    if (m_select) {
        // An edit re-lays the plot out: the selection tool stays on until the user lets it go.
        this->m_selectionMode = m_select->IsPressed() ? 1 : 0;
        // A button told its state repaints at once, flushing all that waits on the window with
        // it: tell only changes.
        if (m_select->IsDisabled())
            m_select->Enable();
        if (!m_play->IsDisabled())
            m_play->Disable();
        if (!m_filter->IsDisabled())
            m_filter->Disable();
    }
    TPlotBase::UpdateLayout();
    ClearSelection();
    if (m_toggle) {
        m_toggle->MoveWindow(4, this->m_toolStripHeight + 4, 10, 10);
        m_toggle->SetWindowText(this->m_settings->ShowToolbar ? "-" : "+");
    }
    // Time horizontal: selections and the X read-out are along time; else along frequency.
    const bool timeHorizontal = FrequencyVertical();
    this->m_selectionAxis = timeHorizontal ? 0 : 1;
    this->m_xFormat = timeHorizontal ? 201 : 2;
    this->m_yFormat = timeHorizontal ? 2 : 201;
    Relayout();
    BuildPalette();
    CreatePaneBitmaps();
    m_history.Resize(HistoryRows());
    UpdateTimeStrings();
    BuildScales();
    FinishLayout();
    if (this->m_hWnd) {
        this->Invalidate();
        RepaintAfterLayout();
    }
    m_inLayout = false;
}

template <class Settings> void THistoryPlot<Settings>::ShowToolbar(bool show)
{
    if (this->m_settings)
        this->m_settings->ShowToolbar = show ? 1 : 0;
    this->SetToolStripShown(show);
    CWnd* controls[] = {m_select.get(),  m_play.get(),    m_filter.get(),  m_options.get(), m_autoscale.get(),
                        m_topEdit.get(), m_topSpin.get(), m_rangeEdit.get(), m_rangeSpin.get()};
    for (CWnd* c : controls)
        if (c && c->m_hWnd)
            c->ShowWindow(show ? SW_SHOW : SW_HIDE);
    if (show)
        PlaceStrip();
    UpdateLayout();
}

template <class Settings> void THistoryPlot<Settings>::PlaceStrip()
{
    if (!m_select)
        return;
    const int x[] = {2, 32, 62, 106, 138};
    CToolBtn* buttons[] = {m_select.get(), m_play.get(), m_filter.get(), m_options.get(), m_autoscale.get()};
    for (int i = 0; i < 5; ++i) {
        buttons[i]->MoveWindow(x[i], 1, 28, 28);
        buttons[i]->Invalidate();
    }
    // The boxes stand at their places when the window is wide enough; in a narrower one they
    // wrap onto further rows of the strip, so that each stays reachable.
    CRect client;
    this->GetClientRect(&client);
    typename TPlotBase::StripFlow flow(this, &m_plotFont, client.Width() >= 374 + 56 + 2 + 12 + 4, 170);
    constexpr int kRow = 30;
    const CPoint top = flow.Place("Plot Top", 228, 56 + 2 + 12);
    m_topEdit->MoveWindow(top.x, top.y + kRow / 2 - 10, 56, 20);
    m_topSpin->MoveWindow(top.x + 56 + 2, top.y + kRow / 2 - 10, 12, 20);
    m_topSpin->ShowWindow(SW_SHOW);
    const CPoint range = flow.Place("Plot Bottom:", 374, 56 + 2 + 12);
    m_rangeEdit->MoveWindow(range.x, range.y + kRow / 2 - 10, 56, 20);
    m_rangeSpin->MoveWindow(range.x + 56 + 2, range.y + kRow / 2 - 10, 12, 20);
    m_rangeSpin->ShowWindow(SW_SHOW);
    if (flow.Rows() * kRow != this->m_toolStripHeight) {
        this->SetToolStripShown(true, flow.Rows());
        if (!m_inLayout)
            UpdateLayout();
    }
}

template <class Settings> void THistoryPlot<Settings>::Relayout()
{
    if (!this->m_settings || !this->m_settings->ShowToolbar || !m_select)
        return;
    PlaceStrip();
    for (CToolBtn* b : {m_play.get(), m_filter.get()})
        if (b->IsPressed())
            b->Release();
    this->m_selectionMode = m_select->IsPressed() ? 1 : 0;
    if (this->m_hWnd) {
        CRect strip;
        this->GetClientRect(&strip);
        strip.bottom = strip.top + this->m_toolStripHeight;
        this->InvalidateRect(&strip, TRUE);
    }
}

template <class Settings> void THistoryPlot<Settings>::RefreshSysColors()
{
    TPlotBase::RefreshSysColors();
    for (CToolBtn* b : {m_select.get(), m_play.get(), m_filter.get(), m_options.get(), m_autoscale.get()})
        if (b)
            b->LoadBitmaps();
}

template <class Settings> void THistoryPlot<Settings>::OnSize(UINT nType, int cx, int cy)
{
    m_keepPicture = true;
    TPlotBase::OnSize(nType, cx, cy);
    m_keepPicture = false;
    if (m_creating)
        return;
    // Each size change restarts the timer, so a drag ends in one rebuild after the last change.
    if (nType != SIZE_MINIMIZED && !IsRunning() && !m_inLayout && this->m_hWnd) {
        this->KillTimer(ID_TIMER_PLOT_RESIZE);
        this->SetTimer(ID_TIMER_PLOT_RESIZE, 500);
        m_resizePending = true;
    }
    Relayout();
    ClearSelection();
}

template <class Settings> void THistoryPlot<Settings>::OnTimer(UINT_PTR id)
{
    if (id == ID_TIMER_LEVEL_APPLY) {
        OnLevelTimer();
        return;
    }
    if (id != ID_TIMER_PLOT_RESIZE) {
        TPlotBase::OnTimer(id);
        return;
    }
    this->KillTimer(ID_TIMER_PLOT_RESIZE);
    m_resizePending = false;
    RequestRebuild();
}

// ---- History -------------------------------------------------------------------------------

template <class Settings> void THistoryPlot<Settings>::ClearHistory()
{
    m_history.Clear();
    // The edge labels would otherwise go on naming the times of the lines just dropped.
    UpdateTimeStrings();
}

template <class Settings> void THistoryPlot<Settings>::SetHistoryLine(int line, float time)
{
    m_history.SetLine(line, time);
    if (m_levelsHeld) {
        m_history.SetLevels(line, m_heldPeak, m_heldFloor);
        m_levelsHeld = false;
    }
}

template <class Settings> void THistoryPlot<Settings>::ShiftHistory(float seconds)
{
    m_history.Shift(seconds);
    UpdateTimeStrings();
}

template <class Settings> void THistoryPlot<Settings>::AddSpectrum(float time)
{
    if (!AcceptLine(time))
        return;
    PaintNewSpectrum(0, m_traceA);
    if (PaneCount() == 2)
        PaintNewSpectrum(1, m_traceB);
    // The line is recorded where it was painted; the sweep then moves on.
    RecordNewLine(time);
    AdvanceSweep();
    UpdateTimeStrings();
}

template <class Settings> void THistoryPlot<Settings>::KeepLineLevels(int line, SpectralData* trace)
{
    float peak = 0.0f, floor = 0.0f;
    TakeLevels(trace, &peak, &floor);
    m_history.SetLevels(line, peak, floor);
}

template <class Settings> void THistoryPlot<Settings>::HoldLineLevels(SpectralData* trace)
{
    TakeLevels(trace, &m_heldPeak, &m_heldFloor);
    m_levelsHeld = true;
}

template <class Settings> void THistoryPlot<Settings>::TakeLevels(SpectralData* trace, float* peak, float* floor) const
{
    *peak = 0.0f;
    *floor = 0.0f;
    if (!trace || !this->m_settings)
        return;
    float low = 0.0f, high = 0.0f;
    history::DisplayedBand(*trace, this->m_settings->UseFullSpan != 0, this->m_settings->StartFreq,
                           this->m_settings->StopFreq, &low, &high);
    const int first = trace->FrequencyToBin(low);
    const int last = trace->FrequencyToBin(high);
    float f = 0.0f;
    trace->FindRankedPeak(first, last, &f, peak, 0);
    trace->FindMinimumInRange(static_cast<UINT>(std::max(first, 0)), static_cast<UINT>(std::max(last, 0)), &f, floor);
}

template <class Settings> bool THistoryPlot<Settings>::AcceptLine(float time)
{
    if (!m_traceA || !this->m_settings)
        return false;
    const Settings& s = *this->m_settings;
    if (s.IntervalFlag) {
        if (time < m_lastLineTime + s.IntervalSecs) {
            if (m_lastLineTime > time) // a new run began
                m_lastLineTime = 0.0f;
            return false;
        }
        m_lastLineTime = time;
    }
    // A post-process pass that starts again from the files' beginning starts a fresh picture,
    // before its first line is drawn.
    if (ScrollsHistory() && !m_history.Empty() && m_history.Row(0).time > time && IsPostProcessMode())
        UpdateLayout();
    ClearSelection();
    return true;
}

template <class Settings> void THistoryPlot<Settings>::RecordNewLine(float time)
{
    if (m_history.Empty() || !m_traceA)
        return;
    float peak = 0.0f, floor = 0.0f;
    TakeLevels(m_traceA, &peak, &floor);
    m_history.Record(time, NewLineRow(), ScrollsHistory(), peak, floor);
}

template <class Settings> void THistoryPlot<Settings>::UpdateTimeStrings()
{
    char oldEntry[sizeof m_entryText];
    char oldFar[sizeof m_farText];
    std::memcpy(oldEntry, m_entryText, sizeof oldEntry);
    std::memcpy(oldFar, m_farText, sizeof oldFar);
    if (!m_history.Empty()) {
        std::snprintf(m_entryText, sizeof m_entryText, "%s", FormatTime(m_history.Row(0).time, true, true));
        const int far = std::max(m_history.Count() - m_history.Thickness(), 0);
        std::snprintf(m_farText, sizeof m_farText, "%s", FormatTime(m_history.Row(far).time, true, true));
    }
    // A layout paints the whole window once it is done.
    if (this->m_hWnd && !m_creating && !m_inLayout)
        RepaintTimeLabels(oldEntry, oldFar);
}

template <class Settings> void THistoryPlot<Settings>::InvalidateArea(const CRect& r)
{
    if (r.IsRectEmpty())
        return;
    this->InvalidateRect(&r, TRUE); // the labels are drawn transparently: the old text must go first
}

template <class Settings> typename THistoryPlot<Settings>::PaneList THistoryPlot<Settings>::TimeAxisPanes() const
{
    // As DrawPlot: with two panes a horizontal time axis is drawn once, below the lower pane.
    if (PaneCount() == 1)
        return {{0, 0}, 1};
    if (FrequencyVertical())
        return {{1, 1}, 1};
    return {{0, 1}, 2};
}

template <class Settings> bool THistoryPlot<Settings>::Meets(const RECT& update, const CRect& box) const
{
    if (this->m_printing)
        return true;
    CRect meet;
    const CRect u(update);
    return meet.IntersectRect(&u, &box) != FALSE;
}

template <class Settings> int THistoryPlot<Settings>::TextWidth(std::string_view text)
{
    // Digits share one width: a text's shape (its digits as '0') measures as the text does.
    char shape[64];
    const bool keyed = text.size() < sizeof shape;
    const std::size_t n = keyed ? text.size() : 0;
    for (std::size_t i = 0; i < n; ++i)
        shape[i] = text[i] >= '1' && text[i] <= '9' ? '0' : text[i];
    if (keyed)
        for (const auto& [known, w] : m_textWidths)
            if (known == std::string_view(shape, n))
                return w;
    if (!this->m_hWnd || !m_plotFont.GetSafeHandle())
        return -1;
    CClientDC dc(this);
    CFont* old = dc.SelectObject(&m_plotFont);
    const int width = static_cast<int>(dc.GetTextExtent(text).cx);
    dc.SelectObject(old);
    if (keyed) {
        if (m_textWidths.size() >= 64)
            m_textWidths.clear();
        m_textWidths.emplace_back(std::string(shape, n), width);
    }
    return width;
}

template <class Settings> CRect THistoryPlot<Settings>::TextBox(int x, int y, UINT align, std::string_view text)
{
    const int width = TextWidth(text);
    if (width < 0)
        return CRect(-10000, y - m_textHeight, 10000, y + 2 * m_textHeight); // unmeasured: anywhere on its row
    int left = x;
    if ((align & TA_CENTER) == TA_CENTER)
        left = x - width / 2;
    else if (align & TA_RIGHT)
        left = x - width;
    // Room for the glyphs' overhang and kerning the shape does not see; less than the 8 pixels
    // between a time label and the tick beside it.
    constexpr int kRoom = 2;
    return CRect(left - kRoom, y - 1, left + width + kRoom, y + m_textHeight + 1);
}

template <class Settings> CRect THistoryPlot<Settings>::VerticalTextBox(int x, int centreY, std::string_view text)
{
    const CRect across = TextBox(0, 0, TA_LEFT, text);
    const int half = across.Width() / 2 + 2;
    return CRect(x - m_textHeight - 2, centreY - half, x + m_textHeight + 2, centreY + half);
}

template <class Settings> void THistoryPlot<Settings>::OnPaint()
{
    CPaintDC dc(this);
    DrawPlot(&dc, true, dc.m_ps.rcPaint);
}

// ---- Level scale ---------------------------------------------------------------------------

template <class Settings> void THistoryPlot<Settings>::RebuildLevelScale() { BuildScales(); }

template <class Settings> void THistoryPlot<Settings>::InvalidateLegend()
{
    if (!this->m_hWnd)
        return;
    CRect client;
    this->GetClientRect(&client);
    client.left = this->m_plotRect.right + 1;
    this->InvalidateRect(&client, TRUE);
}

template <class Settings> void THistoryPlot<Settings>::Autoscale()
{
    if (!m_traceA || m_history.Empty() || !this->m_settings || (PaneCount() == 2 && !m_traceB))
        return;
    float maxLevel = 0.0f, minLevel = 0.0f;
    m_history.LevelExtent(&maxLevel, &minLevel);
    Settings& s = *this->m_settings;
    float top = s.PlotTop;
    float range = s.PlotRange;
    const WORD amp = this->m_scaling.AmpScaleType;
    if (!history::Autoscale(amp, maxLevel, minLevel, &top, &range))
        return;
    if (top == s.PlotTop && range == s.PlotRange)
        return;
    s.PlotTop = top;
    s.PlotRange = range;
    if (!IsRunning()) {
        UpdateLayout();
        RequestRebuild();
        return;
    }
    RebuildLevelScale();
    InvalidateLegend();
    this->UpdateWindow();
    if (m_topEdit) {
        m_inLayout = true; // the window writes its own edits
        m_topEdit->SetWindowText(Printf(amp == 0 ? "%3.3f" : amp == 1 ? "%3.1f" : "%3.5f", s.PlotTop));
        if (amp == 1)
            m_rangeEdit->SetWindowText(Printf("%3.1f", s.PlotRange));
        else if (amp == 2)
            m_rangeEdit->SetWindowText(Printf("%3.6f", s.PlotRange));
        m_inLayout = false;
    }
}

template <class Settings> void THistoryPlot<Settings>::ApplyTopEdit()
{
    m_topTyped = false;
    char text[20] = {};
    m_topEdit->GetWindowText(text, sizeof text);
    double value = std::strtod(text, nullptr);
    Settings& s = *this->m_settings;
    switch (this->m_scaling.AmpScaleType) {
    case 0: {
        float step = 1.0f;
        int decimals = 3;
        history::LinearTopStep(value, &step, &decimals);
        m_topSpin->SetStep(step, 0);
        m_topSpin->SetPrecision(decimals);
        m_topSpin->SetLimits(1000.0f, 0.00001f);
        s.PlotTop = static_cast<float>(value);
        break;
    }
    case 1:
        m_topSpin->SetPrecision(0);
        m_topSpin->SetStep(5.0f, 0);
        m_topSpin->SetLimits(300.0f, -300.0f);
        s.PlotTop = static_cast<float>(value);
        break;
    case 2:
        m_topSpin->SetPrecision(4);
        m_topSpin->SetStep(2.0f, 1);
        m_topSpin->SetLimits(10000.0f, 10.0f * s.PlotRange);
        value = std::clamp(value, 0.000001, 10000.0);
        s.PlotTop = static_cast<float>(value);
        break;
    default: break;
    }
}

template <class Settings> void THistoryPlot<Settings>::ApplyRangeEdit()
{
    m_rangeTyped = false;
    char text[20] = {};
    m_rangeEdit->GetWindowText(text, sizeof text);
    double value = std::strtod(text, nullptr);
    Settings& s = *this->m_settings;
    switch (this->m_scaling.AmpScaleType) {
    case 1:
        m_rangeSpin->SetPrecision(0);
        m_rangeSpin->SetStep(5.0f, 0);
        m_rangeSpin->SetLimits(200.0f, 1.0f);
        if (value < 1.0) {
            value = 1.0;
            m_inLayout = true;
            m_rangeEdit->SetWindowText("1.0");
            m_inLayout = false;
        }
        s.PlotRange = static_cast<float>(value);
        break;
    case 2:
        m_rangeSpin->SetPrecision(6);
        m_rangeSpin->SetStep(2.0f, 1);
        m_rangeSpin->SetLimits(s.PlotTop / 10.0f, 0.000001f);
        value = std::max(value, 0.000001);
        s.PlotRange = static_cast<float>(value);
        break;
    default: break; // linear: the range is not used
    }
}

template <class Settings> void THistoryPlot<Settings>::OnLevelEdit(bool top)
{
    if (m_creating || m_inLayout || !m_topEdit || !m_rangeEdit || !this->m_settings)
        return;
    // Typed: applied once the typing pauses, so a half-typed number ("-", "6" of "60")
    // neither rebuilds the picture nor gets rewritten under the caret.
    if (!m_stepping && this->DeferTyping(top ? m_topEdit.get() : m_rangeEdit.get()))
        return;
    if (!m_stepping) {
        // Set from code: applied as it is, the picture at the next pause.
        (top ? m_topTyped : m_rangeTyped) = true;
        ScheduleLevelApply();
        return;
    }
    // A spinner step: the new scale and legend show at once; the picture is rebuilt after the
    // button is released.
    if (top)
        ApplyTopEdit();
    else
        ApplyRangeEdit();
    RebuildLevelScale();
    InvalidateLegend();
    this->UpdateWindow();
    if (!IsRunning()) {
        m_levelRebuildPending = true;
        ScheduleLevelApply();
    }
}

template <class Settings> void THistoryPlot<Settings>::ScheduleLevelApply()
{
    if (!this->m_hWnd)
        return;
    // Longer than the spinner's first auto-repeat delay, so a held button keeps putting it off.
    this->KillTimer(ID_TIMER_LEVEL_APPLY);
    this->SetTimer(ID_TIMER_LEVEL_APPLY, kLevelApplyDelayMs);
}

template <class Settings> void THistoryPlot<Settings>::OnLevelTimer()
{
    this->KillTimer(ID_TIMER_LEVEL_APPLY);
    if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) {
        // Still held (a spinner arrow, most likely): a rebuild now would keep its release
        // from the control, which would then step on by itself.
        ScheduleLevelApply();
        return;
    }
    ApplyPendingLevels();
}

template <class Settings> void THistoryPlot<Settings>::ApplyPendingLevels()
{
    if (this->m_hWnd)
        this->KillTimer(ID_TIMER_LEVEL_APPLY);
    if (!this->m_settings || !m_topEdit || !m_rangeEdit)
        return;
    const float top = this->m_settings->PlotTop, range = this->m_settings->PlotRange;
    if (m_topTyped)
        ApplyTopEdit();
    if (m_rangeTyped)
        ApplyRangeEdit();
    // A value typed again as it was (or set meanwhile by autoscale or the options) changes nothing.
    const bool changed = this->m_settings->PlotTop != top || this->m_settings->PlotRange != range;
    if (changed) {
        RebuildLevelScale();
        InvalidateLegend();
        this->UpdateWindow();
    }
    const bool rebuild = (changed || m_levelRebuildPending) && !IsRunning();
    m_levelRebuildPending = false;
    if (rebuild) {
        UpdateLayout();
        RequestRebuild();
    }
}

template <class Settings> bool THistoryPlot<Settings>::ApplyTypedBoxes(bool finished)
{
    if (!this->m_settings || !m_topEdit || !m_rangeEdit)
        return false;
    bool pending = false;
    for (CEdit* box : {m_topEdit.get(), m_rangeEdit.get()}) {
        if (!box->GetModify())
            continue;
        const bool top = box == m_topEdit.get();
        double value = 0.0;
        // A dB span below 1 waits for more digits ("0" of "0.5") until the typing is finished.
        const bool taken = this->TypedValue(box, value) &&
                           (top || this->m_scaling.AmpScaleType != 1 || value >= 1.0 || finished);
        if (!taken) {
            pending = pending || !finished;
            if (finished) {
                m_inLayout = true;
                box->SetWindowText(Printf(top ? "%3.1f" : "%3.6f", top ? this->m_settings->PlotTop : this->m_settings->PlotRange));
                m_inLayout = false;
            }
            continue;
        }
        box->SetModify(FALSE);
        (top ? m_topTyped : m_rangeTyped) = true;
    }
    ApplyPendingLevels();
    return pending;
}

template <class Settings> void THistoryPlot<Settings>::OnPlotTopChanged() { OnLevelEdit(true); }

template <class Settings> void THistoryPlot<Settings>::OnPlotRangeChanged() { OnLevelEdit(false); }

template <class Settings> void THistoryPlot<Settings>::OnVScroll(UINT code, int, CScrollBar* bar)
{
    if (!bar)
        return;
    TLimitScroll* spin = nullptr;
    if (m_topSpin && bar->GetSafeHwnd() == m_topSpin->GetSafeHwnd())
        spin = m_topSpin.get();
    else if (m_rangeSpin && bar->GetSafeHwnd() == m_rangeSpin->GetSafeHwnd())
        spin = m_rangeSpin.get();
    // The control's auto-repeat while a rebuild holds the mouse back is no click of the user's.
    if (!spin || m_rebuilding)
        return;
    m_stepping = true;
    if (code == SB_LINEUP)
        spin->StepUp();
    else if (code == SB_LINEDOWN)
        spin->StepDown();
    m_stepping = false;
}

template <class Settings> void THistoryPlot<Settings>::OnToggle1410()
{
    if (m_creating || m_inLayout || !this->m_settings)
        return;
    ShowToolbar(this->m_settings->ShowToolbar == 0);
    if (!IsRunning())
        RequestRebuild();
    this->Invalidate();
}

template <class Settings> void THistoryPlot<Settings>::OnProperties()
{
    CWnd* frame = this->GetMDIFrame();
    if (!frame)
        frame = AfxGetMainWnd();
    if (frame && frame != this)
        frame->PostMessage(WM_COMMAND, ID_FRAME_PLOT_OPTIONS, 0);
}

template <class Settings> CToolBtn* THistoryPlot<Settings>::GetToolButton(UINT id) const
{
    switch (id) {
    case IDC_HISTORY_SELECT: return m_select.get();
    case IDC_HISTORY_PLAY: return m_play.get();
    case IDC_HISTORY_FILTER: return m_filter.get();
    case IDC_HISTORY_OPTIONS: return m_options.get();
    case IDC_HISTORY_AUTOSCALE: return m_autoscale.get();
    default: return nullptr;
    }
}

// ---- Selection -----------------------------------------------------------------------------

template <class Settings> int THistoryPlot<Settings>::PaneAt(CPoint p) const
{
    if (this->m_paneMode != 2)
        return this->m_plotRect.PtInRect(p) ? 0 : -1;
    if (this->m_paneA.PtInRect(p))
        return 0;
    if (this->m_paneB.PtInRect(p))
        return 1;
    return -1;
}

template <class Settings> CRect THistoryPlot<Settings>::PaneUnder(int x, int y) const
{
    const int at = PaneAt(CPoint(x, y));
    return PaneRect(at < 0 ? 0 : at);
}

template <class Settings> bool THistoryPlot<Settings>::SelectedArea(CRect* selection, CRect* pane) const
{
    if (this->m_selection.IsRectEmpty())
        return false;
    *selection = this->m_selection;
    selection->NormalizeRect();
    *pane = this->m_plotRect;
    if (PaneCount() == 2 && !FrequencyVertical())
        *pane = PaneRect(PaneAt(selection->TopLeft()) == 1 ? 1 : 0);
    return true;
}

template <class Settings> void THistoryPlot<Settings>::InvertSelection(CDC* dc)
{
    for (CRect& r : m_drawnSelection) {
        if (!r.IsRectEmpty())
            dc->InvertRect(&r);
        r.SetRectEmpty();
    }
}

template <class Settings> void THistoryPlot<Settings>::PaintSelection(CDC* dc)
{
    for (int p = 0; p < PaneCount(); ++p) {
        if (m_paneSelection[p].IsRectEmpty())
            continue;
        const CRect shape = SelectionShape(p);
        if (shape.IsRectEmpty())
            continue;
        dc->InvertRect(&shape);
        m_drawnSelection[p] = shape;
    }
}

template <class Settings> void THistoryPlot<Settings>::ClearSelection()
{
    if (this->m_selection.IsRectEmpty())
        return;
    this->m_selectionMode = m_select && m_select->IsPressed() ? 1 : 0;
    this->m_selection.SetRectEmpty();
    if (m_play)
        m_play->Disable();
    if (m_filter)
        m_filter->Disable();
    if (this->m_hWnd) {
        CClientDC dc(this);
        InvertSelection(&dc);
    }
    for (int p = 0; p < 2; ++p) {
        m_paneSelection[p].SetRectEmpty();
        m_drawnSelection[p].SetRectEmpty();
    }
}

template <class Settings> void THistoryPlot<Settings>::SetSelectionRect(CRect rect)
{
    rect.NormalizeRect();
    // A new selection replaces the one shown; the Select tool stays on for the next drag.
    ClearSelection();
    this->m_selection = rect;
    this->m_selectionMode = m_select && m_select->IsPressed() ? 1 : 0;
    if (!m_composite && m_play) {
        m_play->Enable();
        m_filter->Enable();
    }
    if (PaneCount() == 1) {
        m_paneSelection[0] = rect;
        m_paneSelection[1].SetRectEmpty();
    } else if (!IsSurface() && this->m_selectionAxis == 0) {
        m_paneSelection[0].IntersectRect(&rect, &this->m_paneA);
        m_paneSelection[1].IntersectRect(&rect, &this->m_paneB);
    } else {
        const int distance = this->m_paneB.top - this->m_paneA.top;
        if (PaneAt(rect.TopLeft()) != 1) {
            m_paneSelection[0] = rect;
            m_paneSelection[1] = rect;
            m_paneSelection[1].OffsetRect(0, distance);
        } else {
            m_paneSelection[1] = rect;
            m_paneSelection[0] = rect;
            m_paneSelection[0].OffsetRect(0, -distance);
        }
    }
    if (this->m_hWnd) {
        CClientDC dc(this);
        InvertSelection(&dc);
        PaintSelection(&dc);
    }
}

template <class Settings> void THistoryPlot<Settings>::SelectAll()
{
    ClearSelection();
    if (IsSurface())
        this->m_selectionAxis = 0;
    this->m_selectionMode = 1;
    this->m_selection.SetRectEmpty();
    if (m_select)
        m_select->Press();
    this->m_selection = this->m_plotRect;
    SetSelectionRect(this->m_selection);
}

template <class Settings> void THistoryPlot<Settings>::OnSelectSegment()
{
    ClearSelection();
    if (!m_select || m_select->IsDisabled())
        return;
    if (!m_select->IsPressed()) {
        this->m_selectionMode = 1;
        m_select->Press();
        this->m_selection.SetRectEmpty();
    } else {
        m_select->Release();
        this->m_selectionMode = 0;
        m_play->Disable();
        m_filter->Disable();
    }
}

template <class Settings> void THistoryPlot<Settings>::OnPlaySegment()
{
    if (!m_play || m_play->IsDisabled() || m_composite)
        return;
    float start = 0.0f, end = 0.0f;
    this->GetSelectedSegment(start, end);
    // A segment that crosses the sweep boundary was refused with a message; nothing plays.
    if (end < start)
        return;
    m_play->Press();
    if (!this->RequestSegmentPlayback(m_channel, start, end))
        m_play->Release();
}

template <class Settings> void THistoryPlot<Settings>::ReleasePlayButton()
{
    if (m_play)
        m_play->Release();
}

template <class Settings> void THistoryPlot<Settings>::OnFilterSegment()
{
    if (!m_filter || m_filter->IsDisabled() || m_composite)
        return;
    AskFrame(ID_HISTORY_FILTER, 0.0f, 0.0f);
}

// The frame's edit commands take the segment from the active plot themselves.
template <class Settings> void THistoryPlot<Settings>::OnCut() { AskFrame(ID_HISTORY_CUT, 0.0f, 0.0f); }
template <class Settings> void THistoryPlot<Settings>::OnCopyAsWave() { AskFrame(ID_HISTORY_COPY_WAVE, 0.0f, 0.0f); }
template <class Settings> void THistoryPlot<Settings>::OnMute() { AskFrame(ID_HISTORY_MUTE, 0.0f, 0.0f); }

#define DURNEX_SEGMENT_COMMAND(Name, Code)                                                        \
    template <class Settings> void THistoryPlot<Settings>::Name()                                 \
    {                                                                                             \
        float start = 0.0f, end = 0.0f;                                                           \
        this->GetSelectedSegment(start, end);                                                     \
        if (end < start)                                                                          \
            return;                                                                               \
        AskFrame(Code, start, end);                                                               \
    }
DURNEX_SEGMENT_COMMAND(OnDisplayTimeSeries, ID_HISTORY_TIME_SERIES)
DURNEX_SEGMENT_COMMAND(OnAverageSpectrum, ID_HISTORY_AVERAGE)
DURNEX_SEGMENT_COMMAND(OnShowSpectrogram, ID_HISTORY_SPECTROGRAM)
DURNEX_SEGMENT_COMMAND(OnShowSurface, ID_HISTORY_SURFACE)
#undef DURNEX_SEGMENT_COMMAND

template <class Settings> void THistoryPlot<Settings>::OnCopyAsBitmap()
{
    if (m_toggle)
        m_toggle->ShowWindow(SW_HIDE);
    this->CopyBitmapToClipboard();
    if (m_toggle)
        m_toggle->ShowWindow(SW_SHOW);
}

template <class Settings> void THistoryPlot<Settings>::OnUpdatePopupCommand(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(CanPlayOrFilter());
}

// ---- Mouse ---------------------------------------------------------------------------------
// The base drags the selection and the measurement cursor; the level box follows the cursor.

template <class Settings> void THistoryPlot<Settings>::OnLButtonDown(UINT flags, CPoint point)
{
    TPlotBase::OnLButtonDown(flags, point);
    if (this->m_selectionMode || !this->m_tracking || PaneAt(point) < 0 || !ShowsLevelBox())
        return;
    const float level = GetLevelAtPoint(point.x, point.y);
    m_cursorLevel = level;
    float shown = level;
    if (this->m_deltaMode) {
        m_reference = level;
        shown = 0.0f;
    }
    CClientDC dc(this);
    DrawLevelBox(&dc, LevelBoxPosition(shown), LevelText(shown, this->m_deltaMode != 0));
}

template <class Settings> void THistoryPlot<Settings>::HandleMouseMove(UINT flags, CPoint point)
{
    TPlotBase::HandleMouseMove(flags, point);
    if (this->m_selectionMode || !this->m_tracking || !ShowsLevelBox())
        return;
    point = this->m_lastPoint; // where the base put the cursor, inside the drag's pane
    if (PaneAt(point) < 0)
        return;
    CClientDC dc(this);
    EraseLevelBox(&dc);
    float level = GetLevelAtPoint(point.x, point.y);
    m_cursorLevel = level;
    if (this->m_deltaMode)
        level -= m_reference;
    DrawLevelBox(&dc, LevelBoxPosition(level), LevelText(level, this->m_deltaMode != 0));
}

template <class Settings> void THistoryPlot<Settings>::OnLButtonUp(UINT flags, CPoint point)
{
    TPlotBase::OnLButtonUp(flags, point);
    if (this->m_hWnd && m_levelBoxShown) {
        CClientDC dc(this);
        EraseLevelBox(&dc);
    }
}

template <class Settings> void THistoryPlot<Settings>::OnLButtonDblClk(UINT, CPoint point)
{
    if (!IsSurface())
        ClearSelection();
    if (!this->m_plotRect.PtInRect(point))
        return;
    const float time = static_cast<float>(FrequencyVertical() ? PixelToXValue(point.x, point.y)
                                                              : PixelToYValue(point.x, point.y));
    AskFrame(PLOT_SEGMENT_SPECTRUM_AT, time, 0.0f);
    this->MDIActivate();
}

template <class Settings> void THistoryPlot<Settings>::OnRButtonDown(UINT, CPoint point)
{
    if (this->m_tracking && !this->m_selectionMode) {
        this->MDIActivate();
        TrackMeasurementMenu(point);
        OnLButtonUp(0, point);
        return;
    }
    if (PaneAt(point) < 0)
        return;
    this->MDIActivate();
    TrackPlotMenu(point);
}

template <class Settings> void THistoryPlot<Settings>::TrackMeasurementMenu(CPoint point)
{
    m_menuPoint = point;
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, ID_HISTORY_COPY_VALUES, "Copy measurement cursor Values to clipboard");
    menu.AppendMenu(MF_STRING, ID_HISTORY_COPY_BITMAP, "Copy to clipboard as Bitmap");
    AddMeasurementEntries(menu);
    CPoint screen = point;
    this->ClientToScreen(&screen);
    const UINT chosen = menu.TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x, screen.y, this);
    if (chosen == ID_HISTORY_COPY_VALUES)
        CopyCursorValues();
    else if (chosen == ID_HISTORY_COPY_BITMAP)
        OnCopyAsBitmap();
    else if (chosen == ID_HISTORY_ANNOTATE)
        Annotate(point);
}

template <class Settings> void THistoryPlot<Settings>::TrackPlotMenu(CPoint point)
{
    const bool surface = IsSurface();
    const UINT grey = CanPlayOrFilter() ? MF_STRING : (MF_STRING | MF_GRAYED);
    CMenu menu;
    menu.CreatePopupMenu();
    if (!m_composite) {
        menu.AppendMenu(grey, ID_HISTORY_CUT, "Cu&t");
        menu.AppendMenu(grey, ID_HISTORY_COPY_WAVE, surface ? "&Copy As Wave" : "&Copy as Wave");
        menu.AppendMenu(MF_STRING, ID_HISTORY_COPY_BITMAP, "Copy As &Bitmap");
        menu.AppendMenu(grey, ID_HISTORY_MUTE, "&Mute");
        menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
        menu.AppendMenu(grey, ID_HISTORY_FILTER, "&Filter...");
        menu.AppendMenu(grey, ID_HISTORY_PLAY, "P&lay");
        this->AppendFrameEditCommands(menu, false, false);
        menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    } else {
        menu.AppendMenu(MF_STRING, ID_HISTORY_COPY_BITMAP, "Copy As &Bitmap");
    }
    menu.AppendMenu(MF_STRING, ID_HISTORY_AUTOSCALE, surface ? "&Autoscale 3-D Surface" : "&Autoscale Spectrogram");
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    if (!m_composite)
        menu.AppendMenu(grey, ID_HISTORY_TIME_SERIES, "Display Time Se&ries");
    menu.AppendMenu(grey, ID_HISTORY_AVERAGE, "Compute and Display &Average Spectrum");
    menu.AppendMenu(grey, ID_HISTORY_SPECTROGRAM, surface ? "Compute and Display Spectro&gram" : "Expand Spectro&gram");
    menu.AppendMenu(grey, ID_HISTORY_SURFACE, surface ? "Expand 3-&D Surface" : "Compute and Display 3-D S&urface");
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    menu.AppendMenu(MF_STRING, ID_HISTORY_PROPERTIES, "&Properties");
    menu.AppendMenu(MF_STRING, ID_HISTORY_HELP, "&Help");
    CPoint screen = point;
    this->ClientToScreen(&screen);
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, this);
}

// ---- Levels at the cursor ------------------------------------------------------------------

template <class Settings> float THistoryPlot<Settings>::GetLevelAtPoint(int x, int y)
{
    const int pane = PaneAt(CPoint(x, y));
    if (pane < 0 || !this->m_settings)
        return history::kNoLevel;
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!bitmap || !bitmap->GetSafeHandle())
        return history::kNoLevel;
    const CRect r = PaneRect(pane);
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* old = mem.SelectObject(bitmap);
    const int px = x - r.left;
    const int py = y - r.top;
    COLORREF colour = mem.GetPixel(px, py);
    if (LooksPastBackground() && colour == PictureBackground()) {
        // Between two lines of the waterfall: the nearest line within four rows.
        for (int dy : {4, 3, -3, -4, 2, -2, 1, -1}) {
            const COLORREF probe = mem.GetPixel(px, py + dy);
            if (probe != CLR_INVALID && probe != PictureBackground())
                colour = probe;
        }
    }
    mem.SelectObject(old);
    const int n = static_cast<int>(m_colours.size());
    int index = 0;
    for (int i = 0; i < n; ++i)
        if (m_colours[static_cast<std::size_t>(i)] == colour) {
            index = i;
            break;
        }
    return history::IndexToLevel(index, n, this->m_scaling.AmpScaleType, this->m_settings->PlotTop,
                                 this->m_settings->PlotRange);
}

template <class Settings> WORD THistoryPlot<Settings>::GetHarmonicCount(int x, int y)
{
    if (!m_traceA)
        return 0;
    const float f = FrequencyAt(CPoint(x, y));
    if (!(f > 0.0f))
        return 0;
    const double count = std::trunc(m_traceA->GetHighFrequency() / f);
    return static_cast<WORD>(std::clamp(count, 0.0, 65535.0));
}

template <class Settings> CPoint THistoryPlot<Settings>::GetHarmonicPoint(WORD k, int x, int y)
{
    const int column = ColumnOfFrequency(static_cast<float>(k) * FrequencyAt(CPoint(x, y)));
    return CPoint(column, column);
}

template <class Settings>
CPoint THistoryPlot<Settings>::GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int y)
{
    const float f1 = FrequencyAt(anchor);
    const float d = std::fabs(FrequencyAt(CPoint(x, y)) - f1);
    const int column = ColumnOfFrequency(f1 + static_cast<float>(k) * d);
    return CPoint(column, column);
}

template <class Settings>
CPoint THistoryPlot<Settings>::GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int y)
{
    const float f1 = FrequencyAt(anchor);
    const float d = std::fabs(FrequencyAt(CPoint(x, y)) - f1);
    const int column = ColumnOfFrequency(f1 - static_cast<float>(k) * d);
    return CPoint(column, column);
}

template <class Settings> CPoint THistoryPlot<Settings>::LevelBoxPosition(float v) const
{
    const CRect& area = this->m_plotRect;
    const int height = area.Height();
    // Beside the legend, 19 pixels right of the plot area; where the right margin is narrower
    // than the box (the surface's), the box moves left until it shows whole.
    int x = area.right + 19;
    if (this->m_hWnd) {
        CRect client;
        this->GetClientRect(&client);
        x = std::min(x, static_cast<int>(client.right) - kLevelBoxWidth);
    }
    if (this->m_deltaMode)
        return CPoint(x, area.top + height / 2);
    const Settings& s = *this->m_settings;
    double position = 0.0;
    if (this->m_scaling.AmpScaleType == 2) {
        const history::LogScale log = history::LogScaleOf(s.PlotTop, s.PlotRange);
        if (log.lt - log.lb <= 0.0)
            return CPoint(area.right, area.top);
        const double clamped = std::clamp(static_cast<double>(v), static_cast<double>(log.bottom), static_cast<double>(log.top));
        position = (10.0 * std::log10(clamped) - log.lb) / (log.lt - log.lb);
    } else {
        const double top = s.PlotTop;
        const double bottom = this->m_scaling.AmpScaleType == 1 ? s.PlotTop - s.PlotRange : 0.0;
        if (top - bottom == 0.0)
            return CPoint(area.right, area.top);
        position = (std::clamp(static_cast<double>(v), std::min(bottom, top), std::max(bottom, top)) - bottom) / (top - bottom);
    }
    return CPoint(x, static_cast<int>(area.bottom - std::trunc(height * position)));
}

template <class Settings> std::string THistoryPlot<Settings>::LevelText(float level, bool) const
{
    return Printf(this->m_scaling.AmpScaleType == 1 ? "%4.3f" : "%4.5f", level);
}

template <class Settings> void THistoryPlot<Settings>::DrawLevelBox(CDC* dc, CPoint at, const std::string& value)
{
    EraseLevelBox(dc);
    const CRect& area = this->m_plotRect;
    std::string text = value;
    if (at.y < area.top + 2)
        text = "Over";
    else if (at.y > area.bottom - 1)
        text = "Under";
    const CRect box(at.x, at.y - kLevelBoxHeight / 2, at.x + kLevelBoxWidth, at.y + kLevelBoxHeight / 2);
    m_levelBoxSaved = std::make_unique<CBitmap>();
    CDC mem;
    mem.CreateCompatibleDC(dc);
    if (m_levelBoxSaved->CreateCompatibleBitmap(dc, box.Width(), box.Height())) {
        CBitmap* old = mem.SelectObject(m_levelBoxSaved.get());
        mem.BitBlt(0, 0, box.Width(), box.Height(), dc, box.left, box.top, SRCCOPY);
        mem.SelectObject(old);
    }
    const int saved = dc->SaveDC();
    dc->SelectObject(&m_plotFont);
    CBrush face(RGB(255, 255, 255));
    CPen edge(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&face);
    dc->SelectObject(&edge);
    dc->Rectangle(&box);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    dc->TextOut(box.left + kLevelBoxWidth / 2, box.top + 1, text);
    dc->RestoreDC(saved);
    m_levelBox = at;
    m_levelBoxShown = true;
    m_levelBoxText = text;
}

template <class Settings> void THistoryPlot<Settings>::EraseLevelBox(CDC* dc)
{
    if (!m_levelBoxShown)
        return;
    m_levelBoxShown = false;
    if (!m_levelBoxSaved || !m_levelBoxSaved->GetSafeHandle())
        return;
    const CRect box(m_levelBox.x, m_levelBox.y - kLevelBoxHeight / 2, m_levelBox.x + kLevelBoxWidth,
                    m_levelBox.y + kLevelBoxHeight / 2);
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap* old = mem.SelectObject(m_levelBoxSaved.get());
    dc->BitBlt(box.left, box.top, box.Width(), box.Height(), &mem, 0, 0, SRCCOPY);
    mem.SelectObject(old);
}

template <class Settings> void THistoryPlot<Settings>::CopyCursorValues()
{
    if (!OpenClipboard(this))
        return;
    EmptyClipboard();
    const std::string text = CursorValuesText();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 80);
    if (block == nullptr) {
        CloseClipboard();
        AfxMessageBox("Copy measurement cursor values - insufficient memory available", MB_OK | MB_ICONSTOP);
        return;
    }
    char* bytes = static_cast<char*>(GlobalLock(block));
    std::snprintf(bytes, 80, "%s", text.c_str());
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

// ---- Pictures, scales and drawing -----------------------------------------------------------

template <class Settings> void THistoryPlot<Settings>::KeepDisplayableColours(const std::vector<COLORREF>& scale)
{
    // A true-colour display has no palette: the scale is what the display can show of it.
    if (this->m_hWnd) {
        CClientDC dc(this);
        m_colours = history::KeepDistinctColours(scale, [&](COLORREF c) { return dc.GetNearestColor(c); });
    } else {
        m_colours = history::KeepDistinctColours(scale, [](COLORREF c) { return c; });
    }
}

template <class Settings> std::unique_ptr<CBitmap> THistoryPlot<Settings>::NewPaneBitmap(int pane)
{
    constexpr int kMaxPaneWidth = 3000;
    constexpr int kMaxPaneHeight = 2999;
    const CRect r = PaneRect(pane);
    const int w = r.Width();
    const int h = r.Height();
    if (w <= 0 || h <= 0 || w > kMaxPaneWidth || h > kMaxPaneHeight || !this->m_hWnd)
        return nullptr;
    auto bitmap = std::make_unique<CBitmap>();
    CClientDC dc(this);
    if (!bitmap->CreateCompatibleBitmap(&dc, w, h)) {
        AfxMessageBox(std::string(KindName()) + " Plot - Insufficient memory available for bitmap image",
                      MB_OK | MB_ICONSTOP);
        return nullptr;
    }
    CDC mem;
    mem.CreateCompatibleDC(&dc);
    CBitmap* old = mem.SelectObject(bitmap.get());
    mem.FillSolidRect(0, 0, w, h, PictureBackground());
    mem.SelectObject(old);
    return bitmap;
}

template <class Settings> bool THistoryPlot<Settings>::KeepPaneBitmap(int pane, bool clear)
{
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!bitmap || !bitmap->GetSafeHandle() || !this->m_hWnd)
        return false;
    BITMAP info{};
    bitmap->GetBitmap(&info);
    const CRect r = PaneRect(pane);
    if (info.bmWidth != r.Width() || info.bmHeight != r.Height())
        return false;
    if (clear) {
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        CBitmap* old = mem.SelectObject(bitmap);
        mem.FillSolidRect(0, 0, info.bmWidth, info.bmHeight, PictureBackground());
        mem.SelectObject(old);
    }
    return true;
}

template <class Settings> void THistoryPlot<Settings>::PresentPane(int pane, CBitmap* bitmap, int width, int height)
{
    if (!this->m_hWnd || !this->IsWindowVisible())
        return;
    CClientDC dc(this);
    // A new line under a held cursor: the level box and the cursor's marks go back over the
    // new picture, or it would cover them until the pointer moved (and then leave strays).
    const bool box = m_levelBoxShown;
    EraseLevelBox(&dc);
    CDC src;
    src.CreateCompatibleDC(&dc);
    CBitmap* was = src.SelectObject(bitmap);
    const CRect r = PaneRect(pane);
    dc.BitBlt(r.left, r.top, width, height, &src, 0, 0, SRCCOPY);
    src.SelectObject(was);
    if (this->m_tracking && !this->m_selectionMode) {
        const CRect marked = this->m_dragPane.IsRectEmpty() ? this->GetPaneAtPoint(this->m_lastPoint) : this->m_dragPane;
        if (marked.EqualRect(&r))
            this->ToggleDragMarks();
    }
    if (box)
        DrawLevelBox(&dc, m_levelBox, m_levelBoxText);
}

template <class Settings> void THistoryPlot<Settings>::BuildFrequencyScale(int length, int labelSpacing)
{
    const Settings& s = *this->m_settings;
    const float low = s.UseFullSpan ? m_traceA->GetLowFrequency() : s.StartFreq;
    const float high = s.UseFullSpan ? m_traceA->GetHighFrequency() : s.StopFreq;
    const WORD type = this->m_scaling.FreqScaleType;
    m_frequencyMap = history::BuildFrequencyMap(*m_traceA, length, low, high, type);
    m_frequencyLabels = history::BuildFrequencyLabels(m_frequencyMap, low, high, type, labelSpacing);
}

template <class Settings> float THistoryPlot<Settings>::FrequencyAtColumn(int c) const
{
    if (!m_traceA || c < 0 || c >= static_cast<int>(m_frequencyMap.size()))
        return 0.0f;
    return m_frequencyMap[static_cast<std::size_t>(c)].frequency;
}

template <class Settings>
void THistoryPlot<Settings>::DrawVerticalText(CDC* dc, int x, int centreY, const std::string& text)
{
    CFont font;
    font.CreateFont(m_textHeight, 0, 900, 900, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    CFont* old = dc->SelectObject(&font);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    dc->TextOut(x, centreY, text);
    dc->SelectObject(old);
}

template <class Settings>
bool THistoryPlot<Settings>::SideCaptionCentre(int pane, std::string_view caption, int* centreY)
{
    const CRect p = PaneRect(pane);
    *centreY = p.top + p.Height() / 2;
    if (this->m_printing || !this->m_hWnd)
        return true;
    const int length = TextWidth(caption) + 4;
    int from = p.top, to = p.bottom;
    if (PaneCount() == 2) {
        const CRect a = PaneRect(0), b = PaneRect(1);
        if (length + m_textHeight / 2 > (b.top + b.Height() / 2) - (a.top + a.Height() / 2)) {
            if (pane != 0)
                return false;
            from = a.top;
            to = b.bottom;
        }
    }
    CRect client;
    this->GetClientRect(&client);
    const int top = m_toggle ? this->m_toolStripHeight + 4 + 10 + 2 : client.top;
    return FitAlong(from + (to - from) / 2, length, top, client.bottom, centreY);
}

template <class Settings> void THistoryPlot<Settings>::DrawTitle(CDC* dc, int pane, SpectralData* trace)
{
    if (!trace)
        return;
    const CRect p = PaneRect(pane);
    const int y = p.top - m_textHeight - 3;
    CRect client;
    this->GetClientRect(&client);
    if (!Meets(m_drawUpdate, CRect(client.left, y - 1, client.right, y + m_textHeight + 1)))
        return;
    const std::string units = trace->GetUnitsLabel() ? trace->GetUnitsLabel() : "";
    const ChannelScalingSettings& scaling = this->m_scaling;
    if (scaling.SpectralDensityFlag == 1) {
        dc->SetTextAlign(TA_LEFT | TA_TOP);
        dc->TextOut(p.left, y, units);
        dc->SetTextAlign(TA_RIGHT | TA_TOP);
        dc->TextOut(p.right, y, scaling.SpectralDensityType == 0 ? "PSD: Units^2/Hz" : "PSD: Units/sqrt(Hz)");
    } else {
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        dc->TextOut(client.Width() / 2, y, units);
    }
}

template <class Settings> void THistoryPlot<Settings>::DrawFrequencyAxis(CDC* dc, int pane)
{
    const CRect p = PaneRect(pane);
    const bool vertical = FrequencyVertical();
    for (const history::AxisLabel& l : m_frequencyLabels) {
        if (vertical) {
            const int y = p.bottom - 1 - l.pixel;
            dc->MoveTo(p.left - 3, y);
            dc->LineTo(p.left, y);
            if (!l.text.empty() && Meets(m_drawUpdate, TextBox(p.left - 4, y - m_textHeight / 2, TA_RIGHT, l.text))) {
                dc->SetTextAlign(TA_RIGHT | TA_TOP);
                dc->TextOut(p.left - 4, y - m_textHeight / 2, l.text);
            }
        } else {
            const int x = p.left + l.pixel;
            dc->MoveTo(x, p.bottom);
            dc->LineTo(x, p.bottom + 3);
            if (!l.text.empty() && Meets(m_drawUpdate, TextBox(x, p.bottom + 4, TA_CENTER, l.text))) {
                dc->SetTextAlign(TA_CENTER | TA_TOP);
                dc->TextOut(x, p.bottom + 4, l.text);
            }
        }
    }
}

template <class Settings> void THistoryPlot<Settings>::DrawMarkerArrows(CDC* dc, int pane)
{
    const CRect p = PaneRect(pane);
    CPen red(PS_SOLID, 1, RGB(255, 0, 0));
    CPen* old = dc->SelectObject(&red);
    for (int m = 0; m < MarkerSettings::kMarkers; ++m) {
        if (!this->m_markers.Enabled[m])
            continue;
        const int column = ColumnOfFrequency(this->m_markers.Freq[m]);
        if (column < 0)
            continue;
        if (FrequencyVertical()) {
            const int y = p.bottom - 1 - column;
            const int tip = p.left - 2;
            dc->MoveTo(tip - 6, y - 4);
            dc->LineTo(tip, y);
            dc->LineTo(tip - 6, y + 4);
            dc->MoveTo(tip, y);
            dc->LineTo(tip - 14, y);
        } else {
            const int x = p.left + column;
            const int tip = p.bottom + 2;
            dc->MoveTo(x - 4, tip + 6);
            dc->LineTo(x, tip);
            dc->LineTo(x + 4, tip + 6);
            dc->MoveTo(x, tip);
            dc->LineTo(x, tip + 14);
        }
    }
    dc->SelectObject(old);
}

template <class Settings> void THistoryPlot<Settings>::DrawImage(CDC* dc, int pane, const RECT& update)
{
    CBitmap* bitmap = m_paneBitmap[pane].get();
    if (!bitmap || !bitmap->GetSafeHandle())
        return;
    const CRect p = PaneRect(pane);
    CRect meet;
    CRect u(update);
    if (!this->m_printing && !meet.IntersectRect(&u, &p))
        return;
    BITMAP info{};
    bitmap->GetBitmap(&info);
    CDC src;
    src.CreateCompatibleDC(dc);
    CBitmap* old = src.SelectObject(bitmap);
    if (this->m_printing) {
        dc->SetStretchBltMode(COLORONCOLOR);
        dc->StretchBlt(p.left, p.top, p.Width(), p.Height(), &src, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    } else {
        dc->BitBlt(p.left, p.top, info.bmWidth, info.bmHeight, &src, 0, 0, SRCCOPY);
    }
    src.SelectObject(old);
}

template <class Settings> void THistoryPlot<Settings>::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    m_drawUpdate = CRect(update);
    // The panes' frames stand just outside the panes: a rectangle beside them reaches them.
    CRect around(update);
    around.InflateRect(4, 4);
    TPlotBase::DrawPlot(dc, full, around);
    if (!m_traceA)
        return;
    const int saved = dc->SaveDC();
    dc->SelectObject(LabelFont());
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&black);
    DrawLegend(dc, update);
    if (PaneCount() == 1) {
        DrawTitle(dc, 0, m_traceA);
        DrawTimeAxis(dc, 0);
        DrawFrequencyAxis(dc, 0);
        DrawMarkerArrows(dc, 0);
        DrawImage(dc, 0, update);
    } else {
        // The axis the panes share is drawn once, beside or below the last pane.
        if (FrequencyVertical()) {
            DrawFrequencyAxis(dc, 0);
            DrawFrequencyAxis(dc, 1);
            DrawTimeAxis(dc, 1);
        } else {
            DrawTimeAxis(dc, 0);
            DrawTimeAxis(dc, 1);
            DrawFrequencyAxis(dc, 1);
        }
        DrawMarkerArrows(dc, 0);
        DrawMarkerArrows(dc, 1);
        DrawTitle(dc, 0, m_traceA);
        DrawImage(dc, 0, update);
        DrawTitle(dc, 1, m_traceB);
        DrawImage(dc, 1, update);
    }
    dc->RestoreDC(saved);
    if (!this->m_printing && !this->m_selection.IsRectEmpty()) {
        m_drawnSelection[0].SetRectEmpty();
        m_drawnSelection[1].SetRectEmpty();
        PaintSelection(dc);
    }
    this->DrawWatermark(dc, this->m_plotRect, update);
}

template <class Settings> void THistoryPlot<Settings>::DrawBackground(CDC* dc, bool full, const RECT& update)
{
    TPlotBase::DrawBackground(dc, full, update);
    const int strip = this->m_toolStripHeight;
    if (this->m_printing || !this->m_settings || !this->m_settings->ShowToolbar || strip <= 0 || !m_topEdit ||
        !m_rangeEdit)
        return;
    CRect band;
    this->GetClientRect(&band);
    band.bottom = band.top + strip;
    if (!Meets(update, band))
        return;
    const int saved = dc->SaveDC();
    dc->SelectObject(&m_plotFont);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    // Each label stands before its box, wherever the strip has put it.
    auto label = [&](CWnd* box, const char* text) {
        CRect r;
        box->GetWindowRect(&r);
        this->ScreenToClient(&r);
        dc->TextOut(r.left - 3, r.top + 10 - m_textHeight / 2, text);
    };
    label(m_topEdit.get(), "Plot Top");
    label(m_rangeEdit.get(), this->m_scaling.AmpScaleType == 2 ? "Plot Bottom:" : "Plot Range:");
    dc->RestoreDC(saved);
}

template <class Settings>
int THistoryPlot<Settings>::WidestLabel(CDC* dc, const std::vector<history::AxisLabel>& labels)
{
    int widest = 0;
    for (const history::AxisLabel& l : labels)
        if (!l.text.empty())
            widest = std::max(widest, static_cast<int>(dc->GetTextExtent(l.text).cx));
    return widest;
}

template <class Settings> void THistoryPlot<Settings>::ScaleForPrinter(CDC* dc, PrintSettings)
{
    if (!dc)
        return;
    // Printing ends in UpdateLayout, which puts these back.
    m_screenLayout = ScreenLayout{this->m_leftMargin, this->m_rightMargin, this->m_bottomMargin, m_textHeight};
    CFont* old = dc->SelectObject(this->m_font);
    // Captions and label offsets follow the page's font, as they follow the plot font on screen.
    TEXTMETRICA tm{};
    m_textHeight = dc->GetTextMetrics(&tm) && tm.tmHeight > 0 ? tm.tmHeight : this->m_fontHeight;
    const int rotated = this->RotatedTextWidth(dc, m_textHeight);
    const int time = std::max(dc->GetTextExtent(m_entryText).cx, dc->GetTextExtent(m_farText).cx);
    // Left of the panes: the caption on its side at 8, then the labels ending 8 short of the pane.
    int left = 8 + rotated + 4 + (FrequencyVertical() ? WidestLabel(dc, m_frequencyLabels) : time) + 8;
    int right = PageRightMargin(dc, rotated);
    if (FrequencyVertical()) {
        // The time labels below are centred on the panes' edges.
        left = std::max(left, time / 2 + 2);
        right = std::max(right, time / 2 + 2);
    }
    dc->SelectObject(old);
    this->m_leftMargin = std::max(this->m_leftMargin, left);
    this->m_rightMargin = std::max(this->m_rightMargin, right);
    this->m_bottomMargin = std::max(this->m_bottomMargin, PageBottomMargin());
    this->RecalcLayout();
    BuildScales();
}

template class THistoryPlot<SpectrogramPlotSettings>;
template class THistoryPlot<SurfacePlotSettings>;
