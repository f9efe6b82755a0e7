#include "plots/TSeriesPlot.h"

#include "plots/CToolBtn.h"
#include "plots/PlotTextClipboard.h"
#include "plots/TLimitScroll.h"
#include "records/AppMessages.h"
#include "records/ChannelCalibration.h"
#include "records/PrintSettings.h"
#include "records/TimeSeriesPlotSettings.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"
#include "plots/CDataView.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr float kNoPosition = -999.9f;

// First step whose bound is not less than the span; `fallback` beyond the table.
template <std::size_t N>
double StepFor(double span, const double (&table)[N][2], double fallback)
{
    for (const auto& row : table)
        if (row[0] >= span)
            return row[1];
    return fallback;
}

constexpr double kTimeSteps[][2] = {
    {1e-5, 1e-6}, {1e-4, 1e-5}, {0.001, 1e-4}, {0.002, 5e-4}, {0.01, 0.001}, {0.02, 0.005}, {0.1, 0.01},
    {0.2, 0.05}, {1, 0.1}, {2, 0.5}, {10, 1}, {20, 5}, {100, 10}, {200, 50}, {1000, 100}, {2000, 500},
    {10000, 1000}, {20000, 5000}, {100000, 10000}, {1e6, 100000}, {1e7, 1e6}, {1e8, 1e7}};
constexpr double kLinearSteps[][2] = {
    {1e-6, 1e-7}, {5e-6, 5e-7}, {1e-5, 1e-6}, {5e-5, 5e-6}, {1e-4, 1e-5}, {5e-4, 5e-5}, {0.001, 1e-4},
    {0.005, 5e-4}, {0.01, 0.001}, {0.05, 0.005}, {0.1, 0.01}, {0.5, 0.05}, {1, 0.1}, {5, 0.5}, {10, 1},
    {50, 5}, {100, 10}, {500, 50}, {1000, 100}, {10000, 1000}, {1e5, 1e4}, {1e6, 1e5}, {1e7, 1e6}, {1e8, 1e7}};
constexpr double kLogSteps[][2] = {{0.11, 0.01}, {1.01, 0.1}, {2.01, 0.2}, {5.01, 0.5},
                                   {10.01, 1}, {20.01, 2}, {50.01, 5}};
constexpr double kTopSpinSteps[][2] = {{0.0001, 1e-5}, {0.0011, 1e-4}, {0.011, 0.001}, {0.11, 0.01}, {1.1, 0.1},
                                       {11, 1}, {110, 10}, {1100, 100}, {11000, 1000}, {110000, 10000},
                                       {1.1e6, 100000}, {1.1e7, 1e6}};

// Decimals of a tick label: enough to tell neighbouring ticks of this step apart.
void FormatTickValue(double value, double step, char* out, std::size_t size)
{
    int decimals = 0;
    if (step < 1.0)
        decimals = std::min(8, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    if (std::fabs(value) < step * 1e-6)
        value = 0.0;
    std::snprintf(out, size, "%.*f", decimals, value);
}

// A value's height above a pane's bottom (1 .. h - 1), for one trace build: the settings and
// the calibration are read once, not at every point.
struct TraceHeight {
    TraceHeight(const TimeSeriesPlotSettings& s, const ChannelCalibration& calibration, int paneHeight)
        : linear(s.AmpScaleType == 0), top(s.PlotTop), center(s.PlotCenter), range(s.PlotRange), h(paneHeight),
          highest(static_cast<double>(std::max(paneHeight - 1, 1))), cal(calibration)
    {
    }
    int operator()(float value) const
    {
        double y = 0.0;
        if (linear) {
            y = std::trunc(h / 2.0 + ((value - center) * h / 2.0) / (top - center));
        } else {
            const double level = ConvertToDecibels(cal, std::fabs(value));
            y = range != 0 ? std::trunc(h * (level - top + range) / range) : 0.0;
        }
        return static_cast<int>(std::clamp(y, 1.0, highest));
    }
    bool linear;
    double top, center, range;
    int h;
    double highest;
    ChannelCalibration cal;
};

int SpinPrecisionForStep(float step)
{
    if (step <= 1e-5f) return 8;
    if (step <= 1e-4f) return 7;
    if (step <= 0.01f) return 5;
    if (step <= 1.0f) return 3;
    if (step <= 10.0f) return 2;
    if (step <= 100.0f) return 1;
    return 0;
}

} // namespace

BEGIN_MESSAGE_MAP(TSeriesPlot, TSettingsPlot<TimeSeriesPlotSettings>)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_MESSAGE(WM_DATAVIEW_CLOSING, &TSeriesPlot::OnDataViewClosing)
    ON_COMMAND(kSelect, &TSeriesPlot::OnSelectButton)
    ON_COMMAND(kZoomIn, &TSeriesPlot::OnZoomIn)
    ON_COMMAND(kZoomFull, &TSeriesPlot::OnZoomFull)
    ON_COMMAND(kZoom2xIn, &TSeriesPlot::OnZoomIn2x)
    ON_COMMAND(kZoom2xOut, &TSeriesPlot::OnZoomOut2x)
    ON_COMMAND(kPlay, &TSeriesPlot::OnPlaySegment)
    ON_COMMAND(kPlayMenu, &TSeriesPlot::OnPlaySegment)
    ON_COMMAND(kFilter, &TSeriesPlot::OnFilter)
    ON_COMMAND(kFilterMenu, &TSeriesPlot::OnFilter)
    ON_COMMAND(kOptions, &TSeriesPlot::OnProperties)
    ON_COMMAND(kProperties, &TSeriesPlot::OnProperties)
    ON_COMMAND(kHelp, &TSeriesPlot::OnHelp)
    ON_EN_CHANGE(kTopEdit, &TSeriesPlot::OnEditTop)
    ON_EN_CHANGE(kRangeEdit, &TSeriesPlot::OnEditRange)
    ON_EN_CHANGE(kCenterEdit, &TSeriesPlot::OnEditCenter)
    ON_EN_KILLFOCUS(kTopEdit, &TSeriesPlot::FinishTyping)
    ON_EN_KILLFOCUS(kRangeEdit, &TSeriesPlot::FinishTyping)
    ON_EN_KILLFOCUS(kCenterEdit, &TSeriesPlot::FinishTyping)
    ON_COMMAND(kAutoscale, &TSeriesPlot::OnAutoscaleCommand)
    ON_COMMAND(kAutoscaleMenu, &TSeriesPlot::OnAutoscaleCommand)
    ON_COMMAND(kSelectAll, &TSeriesPlot::OnSelectAll)
    ON_COMMAND(kCut, &TSeriesPlot::OnCut)
    ON_COMMAND(kCopyWave, &TSeriesPlot::OnCopyWave)
    ON_COMMAND(kCopyText, &TSeriesPlot::OnCopyText)
    ON_COMMAND(kCopyBitmap, &TSeriesPlot::OnCopyBitmap)
    ON_COMMAND(kMute, &TSeriesPlot::OnMute)
    ON_COMMAND(kAverageSpectrum, &TSeriesPlot::OnAverageSpectrum)
    ON_COMMAND(kSpectrogram, &TSeriesPlot::OnSpectrogram)
    ON_COMMAND(kSurface, &TSeriesPlot::OnSurface)
    ON_COMMAND(kRt60, &TSeriesPlot::OnRt60)
    ON_COMMAND(kDtmf, &TSeriesPlot::OnDtmf)
    ON_COMMAND(kRmsLevel, &TSeriesPlot::OnRmsLevel)
    ON_COMMAND(kCrestFactor, &TSeriesPlot::OnCrestFactor)
    ON_COMMAND(kHilbert, &TSeriesPlot::OnHilbertEnvelope)
    ON_COMMAND(kSchroeder, &TSeriesPlot::OnSchroederIntegration)
    ON_COMMAND(kPullCursor, &TSeriesPlot::OnPullCursor)
    ON_COMMAND(kViewDataValues, &TSeriesPlot::OnViewDataValues)
    ON_BN_CLICKED(kToggle, &TSeriesPlot::OnToolbarToggle)
    ON_UPDATE_COMMAND_UI(kCut, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kCopyWave, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kCopyText, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kMute, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kPlayMenu, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kFilterMenu, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kAverageSpectrum, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kSpectrogram, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kSurface, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kRt60, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kDtmf, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kRmsLevel, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kCrestFactor, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kHilbert, &TSeriesPlot::OnUpdatePopupCommand)
    ON_UPDATE_COMMAND_UI(kSchroeder, &TSeriesPlot::OnUpdatePopupCommand)
END_MESSAGE_MAP()

TSeriesPlot::TSeriesPlot()
{
    m_leftMargin = 72;
    m_rightMargin = 30;
    m_topMargin = 50;
    // Room for the time labels and title under the scroll bar.
    m_bottomMargin = 30 + kScrollHeight;
    m_paneGap = 20;
    m_paneMode = 1;
    m_xBoxWidth = 112;
    m_xBoxHeight = 17;
    m_yBoxWidth = 60;
    m_yBoxHeight = 17;
    m_xFormat = 4;
    m_yFormat = 2;
    std::snprintf(m_xUnit, sizeof m_xUnit, " sec");
}

TSeriesPlot::~TSeriesPlot() = default;

BOOL TSeriesPlot::Create(LPCSTR title, DWORD style, const RECT* rect, TimeSeriesPlotSettings* settings,
                         TSampleBuffer* bufferA, TSampleBuffer* bufferB, TWaveFile* waveFile, DWORD, int channel)
{
    m_settings = settings;
    m_bufferA = bufferA;
    m_bufferB = bufferB;
    m_waveFile = waveFile;
    m_fileChannel = 0;
    m_channel = channel;
    return CreateWithControls(title, style, rect);
}

// ---- Bindings and view ---------------------------------------------------------------------

void TSeriesPlot::SetBuffer(TSampleBuffer* bufferA, TSampleBuffer* bufferB)
{
    m_bufferA = bufferA;
    m_bufferB = bufferB;
    m_extremesValid = false;
    UpdateDataViewSource();
}

void TSeriesPlot::SetWaveFile(TWaveFile* waveFile, DWORD)
{
    m_waveFile = waveFile;
    m_extremesValid = false;
    UpdateDataViewSource();
}

void TSeriesPlot::SetFileChannel(UINT slot)
{
    m_fileChannel = slot;
    m_extremesValid = false;
    UpdateDataViewSource();
}

void TSeriesPlot::SetCalibration(const ChannelCalibration* calibration)
{
    m_calibration = calibration;
    UpdateDataViewSource();
}

void TSeriesPlot::UpdateDataViewSource()
{
    if (!m_dataView)
        return;
    DataViewSeriesSource series;
    series.buffer = m_bufferA;
    series.file = m_waveFile;
    series.fileChannel = static_cast<int>(m_fileChannel);
    series.settings = m_settings;
    series.calibration = m_calibration;
    m_dataView->SetSeriesSource(series);
}

bool TSeriesPlot::IsFileMode() const
{
    return m_waveFile != nullptr && (!m_settings || m_settings->TimeSeriesDataSource == 0);
}

// The view's end is the boundary after the last sample shown, so the whole view is the whole
// source and a selection reaching the right edge covers its last sample.
DWORD TSeriesPlot::LastIndex() const
{
    if (IsFileMode())
        return m_waveFile->GetEndFrame();
    return m_bufferA ? m_bufferA->GetSamplesPerChannel() : 0;
}

DWORD TSeriesPlot::TimeToSample(float seconds) const
{
    if (IsFileMode())
        return m_waveFile->SecondsToFrames(seconds);
    return m_bufferA ? m_bufferA->TimeToIndex(seconds) : 0;
}

namespace {
float IndexSeconds(const TWaveFile* file, const TSampleBuffer* buffer, bool fileMode, DWORD index)
{
    if (fileMode && file)
        return static_cast<float>(file->FramesToSeconds(index));
    return buffer ? buffer->IndexToTime(index) : 0.0f;
}
} // namespace

float TSeriesPlot::ColumnToTime(int x) const
{
    if (m_columns.empty())
        return 0.0f;
    if (x <= m_paneA.left)
        return m_columns.front().time;
    const std::size_t c = std::min(static_cast<std::size_t>(x - m_paneA.left), m_columns.size() - 1);
    return m_columns[c].time;
}

int TSeriesPlot::TimeToColumn(float seconds) const
{
    if (m_columns.size() < 2)
        return -999;
    for (std::size_t c = 0; c + 1 < m_columns.size(); ++c)
        if (m_columns[c].time <= seconds && seconds <= m_columns[c + 1].time)
            return static_cast<int>(c);
    return -999;
}

void TSeriesPlot::SetTimeRange(float start, float stop)
{
    const bool haveSource = IsFileMode() || m_bufferA != nullptr;
    if (!haveSource || !(stop > start))
        return;
    const DWORD last = LastIndex();
    DWORD first = TimeToSample(start);
    DWORD end = TimeToSample(stop);
    if (first > last)
        first = 0;
    if (end > last)
        end = last;
    m_viewStart = first;
    m_viewEnd = end;
    m_extremesValid = false;
}

void TSeriesPlot::SaveView()
{
    m_savedStart = m_viewStart;
    m_savedEnd = m_viewEnd;
}

void TSeriesPlot::RestoreView()
{
    ClearSelection();
    m_viewStart = m_savedStart;
    m_viewEnd = m_savedEnd;
    m_extremesValid = false;
}

// ---- Controls and tool strip -----------------------------------------------------------------

void TSeriesPlot::CreateControls()
{
    m_creating = true;
    m_font.CreateFont(m_fontHeight, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    auto button = [&](std::unique_ptr<CToolBtn>& b, UINT id, const char* up, const char* down, const char* grey,
                      const char* tip) { b = std::make_unique<CToolBtn>(this, id, up, down, grey, tip); };
    button(m_selectBtn, kSelect, "SelectUp", "SelectDn", "SelectGry", "Select a time segment for editing");
    button(m_playBtn, kPlay, "SelectPlayUp", "SelectStopUp", "SelectPlayGry", "Play currently selected time segment");
    button(m_filterBtn, kFilter, "SelectFilterUp", "SelectFilterDn", "SelectFilterGry",
           "Filter currently selected time segment");
    button(m_zoomInBtn, kZoomIn, "ZoomInUp", "ZoomInDn", "ZoomInGry", "Zoom in along time axis");
    button(m_zoomFullBtn, kZoomFull, "ZoomFullUp", "ZoomFullDn", "ZoomFullGry", "Zoom out to show entire data set");
    button(m_zoom2xInBtn, kZoom2xIn, "Zoom2XInUp", "Zoom2XInDn", "Zoom2XInGry", "Zoom in by a factor of 2x");
    button(m_zoom2xOutBtn, kZoom2xOut, "Zoom2XOutUp", "Zoom2XOutDn", "Zoom2XOutGry", "Zoom out by a factor of 2x");
    button(m_optionsBtn, kOptions, "OptionsUp", "OptionsDn", nullptr, "Set additional time series display options");
    auto edit = [&](std::unique_ptr<CEdit>& e, UINT id) {
        e = std::make_unique<CEdit>();
        e->Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 76, 20), this, id);
        e->SetFont(&m_font);
    };
    edit(m_topEdit, kTopEdit);
    m_topSpin = std::make_unique<TLimitScroll>(this, kTopSpin, m_topEdit.get(), 400.0f, -400.0f, 5.0f);
    edit(m_rangeEdit, kRangeEdit);
    m_rangeSpin = std::make_unique<TLimitScroll>(this, kRangeSpin, m_rangeEdit.get(), 400.0f, -400.0f, 5.0f);
    edit(m_centerEdit, kCenterEdit);
    m_centerSpin = std::make_unique<TLimitScroll>(this, kCenterSpin, m_centerEdit.get(), 400.0f, -400.0f, 1.0f);
    button(m_autoscaleBtn, kAutoscale, "AutoScaleUp", "AutoScaleDn", "AutoGr", "Autoscale Time Series display");
    CreateToggleAndScroll();
    m_scroll->SetScrollRange(0, 10000, FALSE);

    if (m_settings) {
        const bool linear = m_settings->AmpScaleType == 0;
        WriteEdit(m_topEdit.get(), linear ? "%3.6f" : "%3.1f", m_settings->PlotTop);
        WriteEdit(m_rangeEdit.get(), "%3.3f", m_settings->PlotRange);
        WriteEdit(m_centerEdit.get(), "%3.6f", m_settings->PlotCenter);
    }
    if (!m_settings || m_settings->ShowToolbar)
        m_selectBtn->SetFocus();
    m_playBtn->Disable();
    m_filterBtn->Disable();
    if (m_settings) {
        m_viewStart = 0;
        m_viewEnd = LastIndex();
        SetTimeRange(m_settings->StartTime, m_settings->StopTime);
    }
    m_creating = false;
    UpdateLayout();
}

CToolBtn* TSeriesPlot::GetButton(UINT id) const
{
    switch (id) {
    case kSelect: return m_selectBtn.get();
    case kPlay: return m_playBtn.get();
    case kFilter: return m_filterBtn.get();
    case kZoomIn: return m_zoomInBtn.get();
    case kZoomFull: return m_zoomFullBtn.get();
    case kZoom2xIn: return m_zoom2xInBtn.get();
    case kZoom2xOut: return m_zoom2xOutBtn.get();
    case kOptions: return m_optionsBtn.get();
    case kAutoscale: return m_autoscaleBtn.get();
    default: return nullptr;
    }
}

CEdit* TSeriesPlot::GetEdit(UINT id) const
{
    switch (id) {
    case kTopEdit: return m_topEdit.get();
    case kRangeEdit: return m_rangeEdit.get();
    case kCenterEdit: return m_centerEdit.get();
    default: return nullptr;
    }
}

void TSeriesPlot::WriteEdit(CEdit* edit, const char* format, float value)
{
    if (edit)
        edit->SetWindowText(TLimitScroll::FormatValue(format, static_cast<double>(value)).c_str());
}

float TSeriesPlot::ReadEdit(CEdit* edit, int maxChars) const
{
    if (!edit)
        return 0.0f;
    std::string text = edit->GetWindowTextString().substr(0, static_cast<std::size_t>(maxChars));
    return static_cast<float>(std::atof(text.c_str()));
}

void TSeriesPlot::PlaceToolbarControls()
{
    if (!m_selectBtn)
        return;
    const int y = 1;
    auto place = [&](CWnd* w, int x) {
        if (w)
            w->MoveWindow(x, y, 28, 28);
    };
    place(m_selectBtn.get(), 2);
    place(m_playBtn.get(), 32);
    place(m_filterBtn.get(), 62);
    place(m_zoomInBtn.get(), 106);
    place(m_zoom2xInBtn.get(), 136);
    place(m_zoom2xOutBtn.get(), 166);
    place(m_zoomFullBtn.get(), 196);
    place(m_optionsBtn.get(), 240);
    place(m_autoscaleBtn.get(), 277);
    {
        CClientDC dc(this);
        CFont* old = dc.SelectObject(&m_font);
        const int label = std::max(dc.GetTextExtent("Plot Center").cx, dc.GetTextExtent("Plot Range").cx);
        dc.SelectObject(old);
        m_secondEditX = std::max(531, 365 + 76 + 2 + 12 + 4 + label + 5);
    }
    // The boxes with their labels stand at their places when the window is wide enough; in a
    // narrower one they wrap onto further rows of the strip, so that each stays reachable.
    CRect client;
    GetClientRect(&client);
    StripFlow flow(this, &m_font, client.Width() >= m_secondEditX + 78 + 12 + 4, 277 + 28 + 4);
    const int ey = 30 / 2 - 10;
    const CPoint top = flow.Place("Plot Top", 365, 76 + 2 + 12);
    m_topEdit->MoveWindow(top.x, top.y + ey, 76, 20);
    m_topSpin->MoveWindow(top.x + 76 + 2, top.y + ey, 12, 20);
    // The centre and range boxes share a place: room for the longer label.
    const CPoint second = flow.Place("Plot Center", m_secondEditX, 76 + 2 + 12);
    m_rangeEdit->MoveWindow(second.x, second.y + ey, 76, 20);
    m_rangeSpin->MoveWindow(second.x + 78, second.y + ey, 12, 20);
    m_centerEdit->MoveWindow(second.x, second.y + ey, 76, 20);
    m_centerSpin->MoveWindow(second.x + 78, second.y + ey, 12, 20);
    if (flow.Rows() * 30 != m_toolStripHeight) {
        SetToolStripShown(true, flow.Rows());
        if (!m_inLayout)
            UpdateLayout();
    }
    CRect strip = client;
    strip.bottom = strip.top + m_toolStripHeight;
    InvalidateRect(&strip, TRUE);
    // A new layout ends drag-zoom; the selection tool stays on until the user lets it go.
    if (m_zoomInBtn->IsPressed()) {
        m_zoomInBtn->Release();
        m_selectionMode = SelectToolOn();
    }
}

void TSeriesPlot::ApplyToolbarVisibility(bool shown)
{
    SetToolStripShown(shown);
    if (!m_selectBtn)
        return;
    const bool linear = !m_settings || m_settings->AmpScaleType == 0;
    const int show = shown ? SW_SHOW : SW_HIDE;
    for (CWnd* w : {static_cast<CWnd*>(m_selectBtn.get()), static_cast<CWnd*>(m_playBtn.get()),
                    static_cast<CWnd*>(m_filterBtn.get()), static_cast<CWnd*>(m_zoomInBtn.get()),
                    static_cast<CWnd*>(m_zoomFullBtn.get()), static_cast<CWnd*>(m_zoom2xInBtn.get()),
                    static_cast<CWnd*>(m_zoom2xOutBtn.get()), static_cast<CWnd*>(m_optionsBtn.get()),
                    static_cast<CWnd*>(m_autoscaleBtn.get()), static_cast<CWnd*>(m_topEdit.get()),
                    static_cast<CWnd*>(m_topSpin.get())})
        w->ShowWindow(show);
    m_rangeEdit->ShowWindow(shown && !linear ? SW_SHOW : SW_HIDE);
    m_rangeSpin->ShowWindow(shown && !linear ? SW_SHOW : SW_HIDE);
    m_centerEdit->ShowWindow(shown && linear ? SW_SHOW : SW_HIDE);
    m_centerSpin->ShowWindow(shown && linear ? SW_SHOW : SW_HIDE);
    if (shown)
        PlaceToolbarControls();
}

void TSeriesPlot::ShowToolbar(bool show)
{
    if (m_settings)
        m_settings->ShowToolbar = show ? 1 : 0;
    ApplyToolbarVisibility(show);
    UpdateLayout();
}

void TSeriesPlot::OnToolbarToggle()
{
    if (m_creating || !m_settings)
        return;
    m_settings->ShowToolbar = m_settings->ShowToolbar ? 0 : 1;
    UpdateLayout();
    if (m_selectBtn)
        m_selectBtn->SetFocus();
}

void TSeriesPlot::RefreshSysColors()
{
    TPlotBase::RefreshSysColors();
    for (UINT id : {kSelect, kPlay, kFilter, kZoomIn, kZoomFull, kZoom2xIn, kZoom2xOut, kOptions, kAutoscale})
        if (CToolBtn* b = GetButton(id))
            b->LoadBitmaps();
}

void TSeriesPlot::OnSize(UINT nType, int cx, int cy)
{
    TPlotBase::OnSize(nType, cx, cy);
    if (!m_creating && m_settings && m_settings->ShowToolbar)
        PlaceToolbarControls();
}

void TSeriesPlot::PlaceSeriesScrollBar()
{
    if (!m_scroll || m_plotRect.IsRectEmpty())
        return;
    m_scroll->MoveWindow(m_plotRect.left, m_plotRect.bottom + 1, m_plotRect.Width(), kScrollHeight);
}

// ---- Layout --------------------------------------------------------------------------------

void TSeriesPlot::UpdateLayout()
{
    if (m_creating || m_inLayout || !m_hWnd)
        return;
    m_inLayout = true;
    if (m_dataView && m_dataView->GetSafeHwnd())
        m_dataView->Invalidate();
    const bool shown = !m_settings || m_settings->ShowToolbar != 0;
    ApplyToolbarVisibility(shown);
    SetPaneMode(1);
    m_xFormat = m_bufferA && m_bufferA->GetSampleRate() > 50000 ? 6 : 4;
    std::snprintf(m_xUnit, sizeof m_xUnit, "%s", IsFileMode() ? " sec" : " msec");
    if (m_settings) {
        const WORD mode = m_settings->PlotChannel;
        if (mode == 6 || mode == 7)
            std::snprintf(m_xUnit, sizeof m_xUnit, " ");
        if ((mode == 6 || mode == 7) && m_settings->AmpScaleType != 0)
            m_settings->AmpScaleType = 0;
        const bool linear = m_settings->AmpScaleType == 0;
        // A box the user is typing in keeps its text until it is applied.
        const auto stale = [this](CEdit* box, float value) { return !box->GetModify() && ReadEdit(box, 40) != value; };
        if (stale(m_topEdit.get(), m_settings->PlotTop))
            WriteEdit(m_topEdit.get(), linear ? "%3.6f" : "%3.1f", m_settings->PlotTop);
        if (!linear && stale(m_rangeEdit.get(), m_settings->PlotRange))
            WriteEdit(m_rangeEdit.get(), "%3.3f", m_settings->PlotRange);
        if (linear && stale(m_centerEdit.get(), m_settings->PlotCenter))
            WriteEdit(m_centerEdit.get(), "%3.6f", m_settings->PlotCenter);
    }
    if (m_zoomInBtn && m_zoomInBtn->IsPressed())
        m_zoomInBtn->Release();
    // An edit re-lays the plot out: the selection tool stays on while there is a file to select in.
    if (m_selectBtn && m_selectBtn->IsPressed() && !m_waveFile)
        m_selectBtn->Release();
    m_selectionMode = SelectToolOn();
    m_lastFrameTime = 0.0f;
    m_bottomMargin = AxisBottomMargin();
    RecalcLayout();
    PlaceSeriesScrollBar();
    UpdateScrollRange();
    if (m_selectBtn) {
        if (m_waveFile)
            m_selectBtn->Enable();
        else
            m_selectBtn->Disable();
        m_playBtn->Disable();
        m_filterBtn->Disable();
    }
    if (m_toggle) {
        m_toggle->MoveWindow(4, m_toolStripHeight + 4, 10, 10);
        m_toggle->SetWindowText(shown ? "-" : "+");
    }
    AllocatePointArrays();
    m_inLayout = false;
    UpdateFrame(0.0f);
    ClearSelection();
    Invalidate();
}

void TSeriesPlot::UpdateScrollRange()
{
    const bool haveSource = IsFileMode() || m_bufferA != nullptr;
    if (!haveSource) {
        if (m_scroll)
            m_scroll->ShowScrollBar(FALSE);
        m_columns.clear();
        return;
    }
    const DWORD last = LastIndex();
    if (m_viewEnd > last)
        m_viewEnd = last;
    if ((m_viewStart == 0 && m_viewEnd == 0) || m_viewStart >= m_viewEnd) {
        m_viewStart = 0;
        m_viewEnd = last;
    }
    const bool whole = m_viewStart == 0 && m_viewEnd >= last;
    if (m_scroll) {
        if (!whole) {
            m_scroll->ShowScrollBar(TRUE);
            const DWORD span = m_viewEnd - m_viewStart;
            const double denominator = static_cast<double>(last) - span;
            const int pos = denominator > 0 ? static_cast<int>(m_viewStart * 10000.0 / denominator + 0.5) : 0;
            m_scroll->SetScrollPos(std::clamp(pos, 0, 10000), TRUE);
        } else {
            m_scroll->ShowScrollBar(FALSE);
        }
    }
    if (m_zoomInBtn) {
        m_zoomInBtn->Enable();
        m_zoom2xInBtn->Enable();
        if (!whole) {
            m_zoom2xOutBtn->Enable();
            m_zoomFullBtn->Enable();
        }
    }
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    if (mode == 6 || mode == 7) {
        for (UINT id : {kZoomIn, kZoomFull, kZoom2xIn, kZoom2xOut, kSelect})
            if (CToolBtn* b = GetButton(id))
                b->Disable();
        m_viewStart = 0;
        m_viewEnd = m_bufferA ? m_bufferA->GetSamplesPerChannel() : 0;
        if (m_scroll)
            m_scroll->ShowScrollBar(FALSE);
    }
    BuildColumnTable();
    BuildTimeTicks();
    BuildAmplitudeTicks();
    if (m_settings && !m_columns.empty()) {
        m_settings->StartTime = ColumnToTime(m_paneA.left);
        m_settings->StopTime = IndexSeconds(m_waveFile, m_bufferA, IsFileMode(), m_viewEnd);
    }
}

void TSeriesPlot::BuildColumnTable()
{
    m_extremesValid = false;
    const int columns = m_paneA.Width();
    m_columns.clear();
    if (columns <= 0)
        return;
    const bool file = IsFileMode();
    const float t0 = IndexSeconds(m_waveFile, m_bufferA, file, m_viewStart);
    const float t1 = IndexSeconds(m_waveFile, m_bufferA, file, m_viewEnd);
    const double dt = (static_cast<double>(t1) - t0) / columns;
    m_columns.resize(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        Column& col = m_columns[static_cast<std::size_t>(c)];
        col.time = static_cast<float>(t0 + c * dt);
        col.sample = TimeToSample(col.time);
        col.number = static_cast<float>(c);
    }
}

void TSeriesPlot::BuildTimeTicks()
{
    m_timeTicks.clear();
    if (m_columns.empty())
        return;
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    const float top = m_settings ? m_settings->PlotTop : 1.0f;
    if (mode == 6 || mode == 7) {
        const int w = m_paneA.Width();
        const float values[3] = {-top, 0.0f, top};
        const int xs[3] = {0, w / 2, w};
        for (int i = 0; i < 3; ++i) {
            TimeTick t;
            t.x = xs[i];
            char text[32];
            std::snprintf(text, sizeof text, "%3.1f", static_cast<double>(values[i]));
            CopyTickLabel(t.label, text, 6);
            m_timeTicks.push_back(t);
        }
        return;
    }
    const bool file = IsFileMode();
    const double t0 = IndexSeconds(m_waveFile, m_bufferA, file, m_viewStart);
    const double t1 = IndexSeconds(m_waveFile, m_bufferA, file, m_viewEnd);
    const double span = t1 - t0;
    if (!(span > 0))
        return;
    const double step = StepFor(span, kTimeSteps, 1e6);
    const std::size_t capacity = std::max<std::size_t>(static_cast<std::size_t>(span / step + 1), 10);
    const bool milliseconds = !file && span < 2.0;
    int lastLabel = -999;
    const int gap = m_printing ? 300 : 36;
    // Besides standing that far from the last label's tick, a label's text keeps half a line
    // of space from the last label's text: wide labels ("100.000") would otherwise meet.
    std::unique_ptr<CClientDC> dc;
    CFont* old = nullptr;
    if (m_hWnd) {
        dc = std::make_unique<CClientDC>(this);
        old = dc->SelectObject(m_printing ? &m_printFont : &m_font);
    }
    int lastRight = -999;
    const double k0 = std::trunc(t0 / step);
    for (double k = k0;; k += 1.0) {
        const double t = k * step;
        if (t > t1 || m_timeTicks.size() >= capacity)
            break;
        if (!(t > t0))
            continue;
        const int c = TimeToColumn(static_cast<float>(t));
        if (c < 0)
            continue;
        TimeTick tick;
        tick.x = c;
        if (c > lastLabel + gap) {
            char text[32];
            std::snprintf(text, sizeof text, "%3.3f", milliseconds ? t * 1000.0 : t);
            CopyTickLabel(tick.label, text, 11);
            const int half = dc ? (static_cast<int>(dc->GetTextExtent(tick.label).cx) + 1) / 2 : 0;
            if (c - half >= lastRight + m_fontHeight / 2) {
                lastLabel = c;
                lastRight = c + half;
            } else {
                tick.label[0] = '\0';
            }
        }
        m_timeTicks.push_back(tick);
    }
    if (dc)
        dc->SelectObject(old);
}

void TSeriesPlot::BuildAmplitudeTicks()
{
    if (!m_settings)
        return;
    const int h = m_paneA.Height();
    const WORD mode = m_settings->PlotChannel;
    const double top = m_settings->PlotTop;
    if (mode == 6 || mode == 7) {
        m_ampTicks.clear();
        const double values[3] = {top, 0.0, -top};
        const int ys[3] = {0, h / 2, h};
        for (int i = 0; i < 3; ++i) {
            AmpTick t;
            t.y = ys[i];
            char text[32];
            std::snprintf(text, sizeof text, "%3.1f", values[i]);
            CopyTickLabel(t.label, text, 10);
            m_ampTicks.push_back(t);
        }
        return;
    }
    const bool linear = m_settings->AmpScaleType == 0;
    const double span = linear ? 2.0 * (top - m_settings->PlotCenter) : m_settings->PlotRange;
    if (!(span > 0) || h <= 0)
        return;
    m_ampTicks.clear();
    const double step = linear ? StepFor(span, kLinearSteps, 1e6) : StepFor(span, kLogSteps, 10.0);
    const std::size_t capacity = std::max<std::size_t>(static_cast<std::size_t>(span / step + 1), 10);
    const double k0 = std::trunc(top / step);
    // Every stride-th tick is labelled, counted from zero so that the labels stay on round
    // values and evenly spaced, never overlapping.
    const long long stride = LabelStride(step * h / span, VerticalLabelGap(m_printing ? 100 : 10));
    for (double k = k0;; k -= 1.0) {
        const double v = k * step;
        if (v < top - span - step * 1e-6 || m_ampTicks.size() >= capacity)
            break;
        AmpTick t;
        t.y = static_cast<int>((top - v) * h / span);
        if (std::llround(k) % stride == 0) {
            char text[32];
            FormatTickValue(v, step, text, sizeof text);
            CopyTickLabel(t.label, text, 10);
        }
        m_ampTicks.push_back(t);
    }
}

void TSeriesPlot::AllocatePointArrays()
{
    const bool haveSource = IsFileMode() || m_bufferA != nullptr;
    const int w = m_paneA.Width();
    if (!haveSource || w <= 0) {
        m_pointCapacity = 0;
        m_pointsA.clear();
        m_pointsB.clear();
        m_prevPointsA.clear();
        m_prevPointsB.clear();
        return;
    }
    m_pointCapacity = static_cast<std::size_t>(w) * 20;
    for (auto* v : {&m_pointsA, &m_pointsB, &m_prevPointsA, &m_prevPointsB}) {
        v->clear();
        v->reserve(m_pointCapacity);
    }
}

TSeriesPlot::PaneList TSeriesPlot::Panes() const
{
    PaneList panes;
    panes.rects[panes.count++] = m_paneA;
    if (m_settings && m_settings->PlotChannel == 2 && !m_paneB.IsRectEmpty())
        panes.rects[panes.count++] = m_paneB;
    return panes;
}

// ---- Samples and scaling -------------------------------------------------------------------

ChannelCalibration TSeriesPlot::CalibrationOfA() const
{
    ChannelCalibration cal;
    cal.IsEnabled = 0;
    if (m_bufferA)
        m_bufferA->GetScaling(cal);
    else if (m_waveFile)
        m_waveFile->GetChannelCalibration(cal, static_cast<int>(m_fileChannel));
    return cal;
}

ChannelCalibration TSeriesPlot::FrameCalibration() const
{
    return m_calibration ? *m_calibration : CalibrationOfA();
}

float TSeriesPlot::SampleScaled(DWORD index) const
{
    if (IsFileMode())
        return static_cast<float>(m_waveFile->GetSample(index, static_cast<int>(m_fileChannel), true));
    return m_bufferA ? static_cast<float>(m_bufferA->GetSample(index, true)) : 0.0f;
}

TSeriesPlot::ColumnExtremes TSeriesPlot::ReadExtremes(DWORD first, DWORD end)
{
    ColumnExtremes e;
    const bool rms = m_settings && m_settings->DisplayMaxMinRangeAsRMS != 0;
    if (IsFileMode()) {
        m_waveFile->ReadBlockScaled(first, end, e.maximum, e.minimum, static_cast<int>(m_fileChannel), true, rms);
        ++m_fileReads;
    } else if (m_bufferA) {
        m_bufferA->GetRangeMinMax(first, end, e.maximum, e.minimum, true, rms);
    }
    return e;
}

// ---- Traces --------------------------------------------------------------------------------

bool TSeriesPlot::BuildTrace(const CRect& pane, std::vector<POINT>& points)
{
    const int w = pane.Width();
    const bool file = IsFileMode();
    if (!m_settings || w <= 0 || m_columns.size() < static_cast<std::size_t>(w) ||
        m_pointCapacity < static_cast<std::size_t>(w) || (!file && !m_bufferA))
        return false;
    const WORD mode = m_settings->PlotChannel;
    points.clear();
    // The two-source modes need a second source, which no caller binds: they draw no trace.
    if (mode == 1 || mode == 4)
        if (!m_bufferB)
            return true;
    if (mode == 6 || mode == 7)
        return BuildXYTrace(pane, points);
    const bool linear = m_settings->AmpScaleType == 0;
    if (linear && m_settings->PlotCenter >= m_settings->PlotTop)
        m_settings->PlotCenter = m_settings->PlotTop - 1.0f;
    const int h = pane.Height();
    const ChannelCalibration calibration = CalibrationOfA();
    const float percent = linear && !calibration.IsEnabled ? 100.0f : 1.0f;
    const TraceHeight heightOf(*m_settings, calibration, h);
    const DWORD firstSample = m_columns.front().sample;
    const DWORD lastSample = m_columns[static_cast<std::size_t>(w) - 1].sample;
    const bool decimating = lastSample - firstSample > static_cast<DWORD>(w);
    const bool cache = file && decimating;
    if (cache && (!m_extremesValid || m_extremes.size() != static_cast<std::size_t>(w))) {
        m_extremes.assign(static_cast<std::size_t>(w), ColumnExtremes{});
        m_extremesValid = false;
    }
    // Reading a file may take a while; drawing from the kept extremes does not.
    std::unique_ptr<CWaitCursor> wait;
    if (file && !(cache && m_extremesValid))
        wait = std::make_unique<CWaitCursor>();
    long long prev = -1;
    for (int c = 0; c < w; ++c) {
        const DWORD s = m_columns[static_cast<std::size_t>(c)].sample;
        if (static_cast<long long>(s) == prev && c != 0 && c != w - 1)
            continue;
        if (points.size() + (decimating ? 2 : 1) > m_pointCapacity)
            break;
        const int x = pane.left + c;
        if (decimating) {
            // Each column shows the extremes of the samples of its own time span.
            const DWORD end = c + 1 < w ? std::max(m_columns[static_cast<std::size_t>(c) + 1].sample, s + 1)
                                        : std::max(m_viewEnd, s + 1);
            ColumnExtremes e;
            if (cache && m_extremesValid)
                e = m_extremes[static_cast<std::size_t>(c)];
            else
                e = ReadExtremes(s, end);
            if (cache)
                m_extremes[static_cast<std::size_t>(c)] = e;
            // Each column is a vertical stroke from its maximum to its minimum. Strokes run
            // down and up in turn, so the joins between columns stay short and a dense view
            // draws each pixel about once rather than along long diagonals.
            const int top = pane.bottom - heightOf(e.maximum * percent);
            const int bottom = pane.bottom - heightOf(e.minimum * percent);
            const bool down = (points.size() / 2) % 2 == 0;
            points.push_back({x, down ? top : bottom});
            points.push_back({x, down ? bottom : top});
        } else {
            points.push_back({x, pane.bottom - heightOf(SampleScaled(s) * percent)});
        }
        prev = s;
    }
    if (cache)
        m_extremesValid = true;
    return true;
}

bool TSeriesPlot::BuildXYTrace(const CRect& pane, std::vector<POINT>& points)
{
    points.clear();
    if (!m_bufferA || !m_bufferB)
        return true;
    if (m_settings->AmpScaleType == 0 && m_settings->PlotTop <= 0)
        m_settings->PlotTop = 1.0f;
    const double top = m_settings->PlotTop;
    const int w = pane.Width(), h = pane.Height();
    const DWORD n = std::min(m_bufferA->GetSamplesPerChannel(), m_bufferB->GetSamplesPerChannel());
    if (n > m_pointCapacity)
        return true;
    const double percent = CalibrationOfA().IsEnabled ? 1.0 : 100.0;
    const bool aOnX = m_settings->PlotChannel == 6;
    for (DWORD i = 0; i < n; ++i) {
        const double a = (aOnX ? m_bufferA : m_bufferB)->GetSample(i, true) * percent;
        const double b = (aOnX ? m_bufferB : m_bufferA)->GetSample(i, true) * percent;
        const int x = std::clamp(static_cast<int>(std::trunc(w / 2.0 + (w * a / 2.0) / top)), 1, std::max(w - 1, 1));
        const int y = std::clamp(static_cast<int>(std::trunc(h / 2.0 + (h * b / 2.0) / top)), 1, std::max(h - 1, 1));
        points.push_back({pane.left + x, pane.bottom - y});
    }
    return true;
}

void TSeriesPlot::DrawTrace(CDC* dc, const CRect& pane, const RECT& update, const std::vector<POINT>& points,
                            COLORREF colour)
{
    if (points.empty())
        return;
    CRect meet;
    CRect u(update);
    if (!m_printing && !meet.IntersectRect(&u, &pane))
        return;
    const int saved = dc->SaveDC();
    CPen pen(PS_SOLID, m_printing ? 4 : 1, colour);
    dc->SelectObject(&pen);
    if (!m_printing)
        dc->IntersectClipRect(&pane);
    const std::size_t piece = m_printing ? 256 : 8192;
    for (std::size_t i = 0; i < points.size();) {
        const std::size_t start = i == 0 ? 0 : i - 1;
        const std::size_t count = std::min(piece, points.size() - start);
        if (count >= 2)
            dc->Polyline(points.data() + start, static_cast<int>(count));
        else if (count == 1)
            dc->SetPixel(points[start].x, points[start].y, colour);
        i = start + count;
        if (count < 2)
            break;
    }
    dc->RestoreDC(saved);
}

void TSeriesPlot::DrawGrid(CDC* dc, const CRect& pane)
{
    if (!m_settings)
        return;
    const int saved = dc->SaveDC();
    CPen pen(PS_SOLID, 0, m_printing ? RGB(128, 128, 128) : m_settings->GridColor);
    dc->SelectObject(&pen);
    if (!m_printing)
        dc->IntersectClipRect(&pane);
    if (m_settings->GridXEnabled)
        for (const TimeTick& t : m_timeTicks) {
            dc->MoveTo(pane.left + t.x, pane.top);
            dc->LineTo(pane.left + t.x, pane.bottom);
        }
    if (m_settings->GridYEnabled)
        for (const AmpTick& t : m_ampTicks) {
            dc->MoveTo(pane.left, pane.top + t.y);
            dc->LineTo(pane.right, pane.top + t.y);
        }
    dc->RestoreDC(saved);
}

std::string TSeriesPlot::PaneCaptionText(int pane) const
{
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    const ChannelCalibration cal = CalibrationOfA();
    char name[41] = {};
    std::memcpy(name, cal.ChannelName, sizeof cal.ChannelName);
    char text[128];
    if (cal.IsEnabled) {
        switch (mode) {
        case 3: case 4: std::snprintf(text, sizeof text, "%s minus %s", name, name); break;
        case 5: std::snprintf(text, sizeof text, "%s plus %s", name, name); break;
        case 6: case 7: std::snprintf(text, sizeof text, "%s versus %s", name, name); break;
        default: std::snprintf(text, sizeof text, "%s", name); break;
        }
        return text;
    }
    switch (mode) {
    case 0: std::snprintf(text, sizeof text, "Channel %d", m_channel); return text;
    case 1: return "Right Channel";
    case 2: return pane == 0 ? "Left Channel" : "Right Channel";
    case 3: return "Left minus Right";
    case 4: return "Right minus Left";
    case 5: return "Left plus Right";
    case 6: return "Left versus Right";
    case 7: return "Right versus Left";
    default: return {};
    }
}

namespace {
const char* UnitTitle(DWORD units, bool logarithmic)
{
    switch (units) {
    case 0: case 5: return logarithmic ? "dBV" : "Volts";
    case 7: return logarithmic ? "dBu" : "Volts";
    case 1: case 6: return logarithmic ? "dbmV" : "Millivolts";
    case 3: return logarithmic ? "Acceleration (G dB)" : "Acceleration (G)";
    case 14: return logarithmic ? "Velocity (in/sec dB)" : "Velocity (in/sec)";
    case 9: return logarithmic ? "Pressure (psi dB)" : "Pressure (psi)";
    case 2: case 8: return logarithmic ? "SPL (dB re 20uPA)" : "Pascals";
    case 10: case 11: return logarithmic ? "SPL (dB re 1uPA)" : "Pascals";
    default: return nullptr;
    }
}
} // namespace

std::string TSeriesPlot::AmplitudeAxisTitle(bool) const
{
    const ChannelCalibration cal = CalibrationOfA();
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    const bool logarithmic = m_settings && m_settings->AmpScaleType != 0 && mode != 6 && mode != 7;
    if (!cal.IsEnabled)
        return logarithmic ? "dB" : "Percent Full Scale";
    const DWORD units = cal.RefUnits;
    if (const char* t = UnitTitle(units, logarithmic))
        return t;
    char label[61] = {};
    std::memcpy(label, logarithmic ? cal.LabelLog : cal.LabelLinear, 60);
    return label;
}

std::string TSeriesPlot::TimeAxisTitle() const
{
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    if (mode == 6 || mode == 7) {
        const ChannelCalibration cal = CalibrationOfA();
        if (!cal.IsEnabled)
            return "Percent Full Scale";
        const DWORD units = cal.RefUnits;
        if (units == 0) return "Volts";
        if (units == 1) return "Millivolts";
        if (units == 3) return "Acceleration (G)";
        char label[61] = {};
        std::memcpy(label, cal.LabelLinear, 60);
        return label;
    }
    if (IsFileMode())
        return "Time (seconds)";
    const float span = IndexSeconds(m_waveFile, m_bufferA, false, m_viewEnd) -
                       IndexSeconds(m_waveFile, m_bufferA, false, m_viewStart);
    return span >= 2.0f ? "Time (seconds)" : "Time (milliseconds)";
}

void TSeriesPlot::DrawAxes(CDC* dc, const CRect& pane, int paneIndex, bool timeLabels)
{
    const int saved = dc->SaveDC();
    CFont& font = m_printing ? m_printFont : m_font;
    dc->SelectObject(&font);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&black);
    CRect client;
    GetClientRect(&client);
    // Caption above the pane.
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    dc->TextOut(pane.left + pane.Width() / 2, pane.top - m_fontHeight - 3, PaneCaptionText(paneIndex));
    // Amplitude ticks and labels.
    const int labelGap = m_printing ? 80 : 6;
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    for (const AmpTick& t : m_ampTicks) {
        dc->MoveTo(pane.left - 3, pane.top + t.y);
        dc->LineTo(pane.left, pane.top + t.y);
        if (t.label[0])
            dc->TextOut(pane.left - labelGap, pane.top + t.y - m_fontHeight / 2, t.label);
    }
    // Amplitude title, rotated.
    CFont rotated;
    rotated.CreateFont(m_fontHeight, 0, 900, 900, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    dc->SelectObject(&rotated);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    // On screen the title keeps below the tool strip and its toggle, and to its own half of the
    // height between two panes.
    const PaneList panes = Panes();
    const auto index = static_cast<std::size_t>(paneIndex);
    int titleTop = m_toolStripHeight + 4 + 10, titleBottom = client.bottom;
    if (index > 0 && index < panes.size())
        titleTop = std::max(titleTop, (panes[index - 1].bottom + pane.top) / 2);
    if (index + 1 < panes.size())
        titleBottom = (pane.bottom + panes[index + 1].top) / 2;
    const std::string ampTitle = AmplitudeAxisTitle(paneIndex != 0);
    int titleCentre = pane.top + pane.Height() / 2;
    if (FitSideTitle(dc, ampTitle, titleTop, titleBottom, &titleCentre))
        dc->TextOut(m_printing ? pane.left - dc->GetDeviceCaps(LOGPIXELSX) * 65 / 100 : client.left + 4, titleCentre,
                    ampTitle);
    dc->SelectObject(&font);
    if (timeLabels) {
        const int below = pane.bottom + (!m_printing && m_scroll && m_scroll->IsWindowVisible() ? kScrollHeight + 1 : 0) +
                          (m_printing ? 20 : 0);
        dc->SetTextAlign(TA_CENTER | TA_TOP);
        for (const TimeTick& t : m_timeTicks) {
            dc->MoveTo(pane.left + t.x, below);
            dc->LineTo(pane.left + t.x, below + 3);
            if (t.label[0])
                dc->TextOut(pane.left + t.x, below + 3, t.label);
        }
        dc->TextOut(pane.left + pane.Width() / 2, below + 3 + m_fontHeight, TimeAxisTitle());
    }
    dc->RestoreDC(saved);
}

void TSeriesPlot::FillRectIfVisible(CDC* dc, const RECT& rect, const RECT& update)
{
    CRect meet;
    CRect r(rect), u(update);
    if (m_printing || !meet.IntersectRect(&r, &u) || !m_settings)
        return;
    dc->FillSolidRect(&rect, m_settings->BackgroundColor);
}

void TSeriesPlot::InvertBand(CDC* dc, int left, int right)
{
    for (const CRect& pane : Panes()) {
        CRect band(std::max(left, static_cast<int>(pane.left)), pane.top, std::min(right, static_cast<int>(pane.right)),
                   pane.bottom);
        if (!band.IsRectEmpty())
            dc->InvertRect(&band);
    }
}

void TSeriesPlot::InvertSelection(CDC* dc)
{
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    if (!IsFileMode() || mode == 6 || mode == 7 || m_selection.IsRectEmpty())
        return;
    InvertBand(dc, m_selection.left, m_selection.right);
    m_invertedSelection = m_selection;
}

void TSeriesPlot::InvertPositionLine(CDC* dc, float seconds)
{
    // A file at its start (a rewind, or the take a run leaves) has no position worth marking;
    // there the band would only darken the pane's left edge.
    if (!(seconds > 0.0f))
        return;
    const int c = TimeToColumn(seconds);
    if (c < 0)
        return;
    const int x = m_paneA.left + c;
    InvertBand(dc, x - 1, x + 2);
}

void TSeriesPlot::DrawBackground(CDC* dc, bool full, const RECT& update)
{
    TPlotBase::DrawBackground(dc, full, update);
    if (m_printing || !m_settings || !m_settings->ShowToolbar || update.top >= m_toolStripHeight || !m_topEdit)
        return;
    const int saved = dc->SaveDC();
    dc->SelectObject(&m_font);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    // Each label stands left of its box, wherever the strip has put it.
    const auto label = [&](CWnd* box, int gap, const char* text) {
        CRect r;
        box->GetWindowRect(&r);
        ScreenToClient(&r);
        dc->TextOut(r.left - gap, r.top + 10 - m_fontHeight / 2, text);
    };
    label(m_topEdit.get(), 3, "Plot Top");
    if (m_settings->AmpScaleType == 0)
        label(m_centerEdit.get(), 5, "Plot Center");
    else
        label(m_rangeEdit.get(), 3, "Plot Range");
    dc->RestoreDC(saved);
}

void TSeriesPlot::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    TPlotBase::DrawPlot(dc, full, update);
    if (m_pointCapacity == 0 || !m_settings || (!IsFileMode() && !m_bufferA))
        return;
    const PaneList panes = Panes();
    const WORD mode = m_settings->PlotChannel;
    for (std::size_t i = 0; i < panes.size(); ++i) {
        const CRect& pane = panes[i];
        FillRectIfVisible(dc, pane, update);
        const bool timeLabels = mode != 2 || i + 1 == panes.size();
        DrawAxes(dc, pane, static_cast<int>(i), timeLabels);
        DrawGrid(dc, pane);
        DrawTrace(dc, pane, update, i == 0 ? m_pointsA : m_pointsB, m_printing && IsMonochrome(dc) ? RGB(0, 0, 0) : m_settings->LineColor);
    }
    if (!m_printing && IsFileMode() && mode != 6 && mode != 7 && m_positionTime != kNoPosition)
        InvertPositionLine(dc, m_positionTime);
    if (!m_printing) {
        m_invertedSelection.SetRectEmpty();
        InvertSelection(dc);
    }
    DrawWatermark(dc, m_plotRect, update);
}

void TSeriesPlot::ScaleForPrinter(CDC* dc, PrintSettings settings)
{
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX), dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    const int pageW = dc->GetDeviceCaps(HORZRES), pageH = dc->GetDeviceCaps(VERTRES);
    const CRect plot(static_cast<int>(dpiX * (settings.MarginLeft + 0.75f)),
                     static_cast<int>(dpiY * (settings.MarginTop + 1.2f)),
                     pageW - static_cast<int>(dpiX * (settings.MarginRight + 0.5f)),
                     pageH - static_cast<int>(dpiY * (settings.MarginBottom + 0.5f)));
    if (plot.IsRectEmpty())
        return;
    m_plotRect = plot;
    m_paneA = plot;
    m_paneB.SetRectEmpty();
    if (m_paneMode == 2) {
        const int h = (plot.Height() - dpiY) / 2;
        m_paneA.bottom = plot.top + h;
        m_paneB = CRect(plot.left, plot.bottom - h, plot.right, plot.bottom);
    }
    UpdateScrollRange();
    AllocatePointArrays();
    const PaneList panes = Panes();
    for (std::size_t i = 0; i < panes.size(); ++i)
        if (!BuildTrace(panes[i], i == 0 ? m_pointsA : m_pointsB))
            break;
}

void TSeriesPlot::PrintPlot(CDC* dc, const PrintSettings* settings, bool, WORD)
{
    if (!dc || !m_settings)
        return;
    const PrintSettings margins = settings ? *settings : PrintSettings();
    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX), dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    const int pageW = dc->GetDeviceCaps(HORZRES), pageH = dc->GetDeviceCaps(VERTRES);
    // The frame of the printable area, below the header band.
    const int left = static_cast<int>(dpiX * margins.MarginLeft);
    const int right = pageW - static_cast<int>(dpiX * margins.MarginRight);
    const int top = static_cast<int>(dpiY * margins.MarginTop) + static_cast<int>(dpiY * 0.75);
    const int bottom = pageH - static_cast<int>(dpiY * margins.MarginBottom);
    dc->MoveTo(left, top);
    dc->LineTo(right, top);
    dc->LineTo(right, bottom);
    dc->LineTo(left, bottom);
    dc->LineTo(left, top);
    m_screenFontHeight = m_fontHeight;
    m_fontHeight = std::max(dpiY / 8, 1);
    m_printFont.DeleteObject();
    m_printFont.CreateFont(m_fontHeight, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    m_printing = 1;
    ScaleForPrinter(dc, margins);
    CRect client;
    GetClientRect(&client);
    DrawPlot(dc, true, client);
    m_printing = 0;
    m_fontHeight = m_screenFontHeight;
    m_printFont.DeleteObject();
    // Back to the screen's layout and trace.
    UpdateLayout();
}

std::string TSeriesPlot::PaneCaption() const { return {}; }

COLORREF TSeriesPlot::PlotBackgroundColor() const
{
    return m_settings ? m_settings->BackgroundColor : RGB(255, 255, 255);
}

void TSeriesPlot::UpdateFrame(float time)
{
    if (m_settings && m_settings->IntervalFlag && time > 0.0f) {
        if (time < m_lastFrameTime + m_settings->IntervalSecs) {
            if (m_lastFrameTime > time)
                m_lastFrameTime = 0.0f;
            return;
        }
        m_lastFrameTime = time;
    }
    m_frameTime = time;
    if (m_dataView)
        m_dataView->Refresh();
    if (m_pointCapacity == 0 || !m_hWnd || IsIconic() || !m_settings)
        return;
    // A measuring cursor held over a live trace: off while the block is drawn, then back.
    ToggleDragMarks();
    CClientDC dc(this);
    // The same for the inverted bands over a file's trace (selection, file position), so that
    // the trace under them is painted out and in as under the rest of the pane.
    ToggleFileBands(&dc);
    const PaneList panes = Panes();
    CRect client;
    GetClientRect(&client);
    CRect touched;
    bool built = true;
    for (std::size_t i = 0; i < panes.size(); ++i) {
        std::vector<POINT>& now = i == 0 ? m_pointsA : m_pointsB;
        std::vector<POINT>& before = i == 0 ? m_prevPointsA : m_prevPointsB;
        if (!BuildTrace(panes[i], now)) {
            built = false;
            break;
        }
        touched = touched | EraseTrace(&dc, panes[i], before);
        DrawTrace(&dc, panes[i], client, now, m_settings->LineColor);
        touched = touched | (PolylineBounds(now) & panes[i]);
    }
    // The logo lies over the trace in a full paint (after a run, or a file's block update).
    if (m_watermark && !touched.IsRectEmpty())
        DrawWatermark(&dc, m_plotRect, touched);
    ToggleFileBands(&dc);
    ToggleDragMarks();
    if (!built)
        return;
    m_prevPointsA = m_pointsA;
    if (panes.size() > 1)
        m_prevPointsB = m_pointsB;
}

void TSeriesPlot::ToggleFileBands(CDC* dc)
{
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    if (!IsFileMode() || mode == 6 || mode == 7)
        return;
    if (m_positionTime != kNoPosition)
        InvertPositionLine(dc, m_positionTime);
    if (!m_invertedSelection.IsRectEmpty())
        InvertBand(dc, m_invertedSelection.left, m_invertedSelection.right);
}

CRect TSeriesPlot::EraseTrace(CDC* dc, const CRect& pane, const std::vector<POINT>& points)
{
    CRect erased = PolylineBounds(points) & pane;
    if (erased.IsRectEmpty())
        return erased;
    // The pane holds only its background, the grid and the trace here (bands and cursor marks
    // are off), so painting the trace's bounds out and drawing the grid back there leaves what
    // painting out the polyline itself does. A dense trace (a min-max stroke in every column)
    // covers most of its bounds, a column at a time; filling the bounds row by row is cheaper.
    long long length = 0;
    for (std::size_t k = 1; k < points.size(); ++k)
        length += std::max(std::abs(points[k].x - points[k - 1].x), std::abs(points[k].y - points[k - 1].y));
    const long long area = static_cast<long long>(erased.Width()) * erased.Height();
    if (length * 4 >= area)
        dc->FillSolidRect(&erased, m_settings->BackgroundColor);
    else
        DrawTrace(dc, pane, pane, points, m_settings->BackgroundColor);
    const int saved = dc->SaveDC();
    dc->IntersectClipRect(&erased);
    DrawGrid(dc, pane);
    dc->RestoreDC(saved);
    return erased;
}

void TSeriesPlot::ShowTimePosition(float seconds)
{
    if (m_hWnd && IsFileMode() && !m_columns.empty()) {
        CClientDC dc(this);
        if (m_positionTime != kNoPosition)
            InvertPositionLine(&dc, m_positionTime);
        if (TimeToColumn(seconds) >= 0)
            InvertPositionLine(&dc, seconds);
    }
    m_frameTime = seconds;
    m_positionTime = TimeToColumn(seconds) >= 0 ? seconds : kNoPosition;
}

// ---- Selection, zoom and scrolling -------------------------------------------------------------

bool TSeriesPlot::SelectToolOn() const
{
    return (m_selectBtn && m_selectBtn->IsPressed()) || (m_zoomInBtn && m_zoomInBtn->IsPressed());
}

void TSeriesPlot::ClearSelection()
{
    m_selection.SetRectEmpty();
    m_selectionMode = SelectToolOn();
    if (m_playBtn) {
        m_playBtn->Disable();
        m_filterBtn->Disable();
    }
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    if (!m_invertedSelection.IsRectEmpty() && m_hWnd && mode != 6 && mode != 7) {
        CClientDC dc(this);
        InvertBand(&dc, m_invertedSelection.left, m_invertedSelection.right);
    }
    m_invertedSelection.SetRectEmpty();
}

void TSeriesPlot::GetSelectedSegment(float& start, float& end)
{
    if (m_selection.IsRectEmpty()) {
        start = 0.0f;
        end = 0.0f;
        return;
    }
    start = ColumnToTime(m_selection.left);
    // A selection reaching the pane's right edge runs to the end of the view.
    end = m_selection.right >= m_paneA.right ? IndexSeconds(m_waveFile, m_bufferA, IsFileMode(), m_viewEnd)
                                             : ColumnToTime(m_selection.right);
}

void TSeriesPlot::SetSelectionRect(CRect rect)
{
    CRect r(rect);
    r.NormalizeRect();
    // A drag is held inside the pane, so its last column stands for the pane's right edge:
    // dragged to the end, the selection or zoom reaches the end of the view.
    if (r.right >= m_paneA.right - 1)
        r.right = m_paneA.right;
    // The base leaves the drag's rectangle here; only a finished select makes it the selection.
    m_selection.SetRectEmpty();
    if (m_zoomInBtn && m_zoomInBtn->IsPressed()) {
        const DWORD s0 = TimeToSample(ColumnToTime(r.left));
        const DWORD s1 = r.right >= m_paneA.right ? m_viewEnd : TimeToSample(ColumnToTime(r.right));
        if (s1 >= s0 && s1 - s0 >= 20) {
            m_viewStart = s0;
            m_viewEnd = s1;
            m_zoomInBtn->Release();
            m_selectionMode = false;
            UpdateLayout();
        }
        return;
    }
    // The Select tool stays on after a selection, so the next drag selects again.
    if (m_selectBtn && m_selectBtn->IsPressed()) {
        r.top = m_paneA.top;
        r.bottom = m_paneA.bottom;
        r.left = std::max(r.left, m_paneA.left);
        r.right = std::min(r.right, m_paneA.right);
        // A new selection replaces the one shown.
        ClearSelection();
        if (r.IsRectEmpty())
            return;
        m_selection = r;
        m_playBtn->Enable();
        m_filterBtn->Enable();
        if (m_hWnd) {
            CClientDC dc(this);
            InvertSelection(&dc);
        }
    }
}

void TSeriesPlot::SelectAll()
{
    if (m_zoomInBtn && m_zoomInBtn->IsPressed())
        m_zoomInBtn->Release();
    ClearSelection();
    m_selectionMode = true;
    if (m_selectBtn)
        m_selectBtn->Press();
    SetSelectionRect(m_plotRect);
}

void TSeriesPlot::OnZoomIn()
{
    if (!m_zoomInBtn || m_zoomInBtn->IsDisabled())
        return;
    ClearSelection();
    if (m_zoomInBtn->IsPressed()) {
        m_zoomInBtn->Release();
        m_selectionMode = false;
        return;
    }
    if (m_selectBtn->IsPressed())
        m_selectBtn->Release();
    m_selectionMode = true;
    m_zoomInBtn->Press();
}

void TSeriesPlot::OnSelectButton()
{
    if (!m_selectBtn || m_selectBtn->IsDisabled())
        return;
    ClearSelection();
    if (m_selectBtn->IsPressed()) {
        m_selectBtn->Release();
        m_selectionMode = false;
        m_playBtn->Disable();
        m_filterBtn->Disable();
        return;
    }
    if (m_zoomInBtn->IsPressed())
        m_zoomInBtn->Release();
    m_selectionMode = true;
    m_selectBtn->Press();
}

void TSeriesPlot::OnZoomIn2x()
{
    if (m_zoom2xInBtn && m_zoom2xInBtn->IsDisabled())
        return;
    ClearSelection();
    const DWORD span = m_viewEnd - m_viewStart;
    if (span <= 19)
        return;
    m_viewStart += span / 4;
    m_viewEnd -= span / 4;
    UpdateLayout();
}

void TSeriesPlot::OnZoomOut2x()
{
    if ((m_zoom2xOutBtn && m_zoom2xOutBtn->IsDisabled()) || (!m_bufferA && !IsFileMode()))
        return;
    ClearSelection();
    const DWORD q = (m_viewEnd - m_viewStart) / 4;
    m_viewStart = q >= m_viewStart ? 0 : m_viewStart - q;
    m_viewEnd += q;
    UpdateLayout();
}

void TSeriesPlot::OnZoomFull()
{
    if ((m_zoomFullBtn && m_zoomFullBtn->IsDisabled()) || (!m_bufferA && !m_waveFile))
        return;
    ClearSelection();
    if (m_waveFile && m_settings) {
        m_settings->TimeSeriesDataSource = 0;
        SetTimeRange(0.0f, 999999.9f);
    }
    m_viewStart = 0;
    m_viewEnd = LastIndex();
    UpdateLayout();
}

void TSeriesPlot::ScrollView(UINT code, UINT position)
{
    if (code >= 6 || !m_scroll)
        return;
    ClearSelection();
    const DWORD n = LastIndex();
    const DWORD span = m_viewEnd - m_viewStart;
    int p = m_scroll->GetScrollPos();
    switch (code) {
    case SB_LINELEFT: p -= 10; break;
    case SB_LINERIGHT: p += 10; break;
    case SB_PAGELEFT: p -= 100; break;
    case SB_PAGERIGHT: p += 100; break;
    case SB_THUMBPOSITION: p = static_cast<int>(position); break;
    case SB_THUMBTRACK:
        // Large sources move when the thumb is released, not on every step of the drag.
        if (n >= 1000000)
            return;
        p = static_cast<int>(position);
        break;
    default: break;
    }
    m_scroll->SetScrollPos(std::clamp(p, 0, 10000), FALSE);
    p = m_scroll->GetScrollPos();
    const double room = n > span ? static_cast<double>(n - span) : 0.0;
    DWORD start = static_cast<DWORD>(std::trunc(p * room / 10000.0 + 0.5));
    start = std::min(start, n - std::min(n, span));
    m_viewStart = start;
    m_viewEnd = std::min(start + span, n);
    BuildColumnTable();
    BuildTimeTicks();
    UpdateLayout();
}

void TSeriesPlot::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
{
    if (pScrollBar && pScrollBar != m_scroll.get())
        return;
    ScrollView(nSBCode, nPos);
}

void TSeriesPlot::OnVScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar)
{
    TLimitScroll* spin = nullptr;
    if (pScrollBar == m_topSpin.get())
        spin = m_topSpin.get();
    else if (pScrollBar == m_rangeSpin.get())
        spin = m_rangeSpin.get();
    else if (pScrollBar == m_centerSpin.get())
        spin = m_centerSpin.get();
    if (!spin)
        return;
    if (nSBCode == SB_LINEUP)
        spin->StepUp();
    else if (nSBCode == SB_LINEDOWN)
        spin->StepDown();
}

// ---- Scale edits and autoscale ---------------------------------------------------------------

void TSeriesPlot::OnEditTop()
{
    if (m_creating || !m_settings || DeferTyping(m_topEdit.get()))
        return;
    ApplyTop(ReadEdit(m_topEdit.get(), 40));
}

void TSeriesPlot::ApplyTop(float value)
{
    // A top the options page would refuse is not taken here either: the box shows the top in
    // force again.
    if (!SeriesPlotTopRange(m_settings->AmpScaleType).Holds(value)) {
        if (SeriesPlotTopRange(m_settings->AmpScaleType).Holds(m_settings->PlotTop))
            WriteEdit(m_topEdit.get(), m_settings->AmpScaleType == 0 ? "%3.6f" : "%3.1f", m_settings->PlotTop);
        return;
    }
    if (m_settings->AmpScaleType == 0) {
        const float step = static_cast<float>(StepFor(std::fabs(value), kTopSpinSteps, 1e6));
        for (TLimitScroll* s : {m_topSpin.get(), m_centerSpin.get()}) {
            s->SetStep(step, 0);
            s->SetPrecision(SpinPrecisionForStep(step));
            s->SetLimits(1e7f, -1e7f);
        }
        m_settings->PlotTop = value;
        if (m_settings->PlotCenter >= value) {
            const float center = SeriesCenterBelow(value);
            m_settings->PlotCenter = center;
            WriteEdit(m_centerEdit.get(), "%6.6f", center);
            BuildAmplitudeTicks();
            UpdateLayout();
            return;
        }
    } else {
        m_topSpin->SetPrecision(0);
        m_topSpin->SetStep(5.0f, 0);
        m_topSpin->SetLimits(400.0f, -400.0f);
        m_settings->PlotTop = value;
    }
    BuildAmplitudeTicks();
    UpdateLayout();
}

void TSeriesPlot::OnEditRange()
{
    if (m_creating || m_inLayout || !m_settings || m_settings->AmpScaleType == 0 || DeferTyping(m_rangeEdit.get()))
        return;
    ApplyRange(ReadEdit(m_rangeEdit.get(), 40));
}

void TSeriesPlot::ApplyRange(float value)
{
    m_rangeSpin->SetPrecision(2);
    m_rangeSpin->SetStep(5.0f, 0);
    m_rangeSpin->SetLimits(400.0f, 0.1f);
    if (value < 0.1f) {
        value = 0.1f;
        m_settings->PlotRange = value;
        m_rangeEdit->SetWindowText("0.1");
        return;
    }
    m_settings->PlotRange = value;
    BuildAmplitudeTicks();
    UpdateLayout();
}

void TSeriesPlot::OnEditCenter()
{
    if (m_creating || m_inLayout || !m_settings || m_settings->AmpScaleType != 0 || DeferTyping(m_centerEdit.get()))
        return;
    ApplyCenter(ReadEdit(m_centerEdit.get(), 40));
}

void TSeriesPlot::ApplyCenter(float value)
{
    m_centerSpin->SetPrecision(2);
    m_centerSpin->SetLimits(400.0f, -400.0f);
    m_settings->PlotCenter = value;
    if (m_settings->PlotTop <= value) {
        // A top of 0 over a centre of 0 would stay at or below it: step clear of it.
        const float top = value > 0.0f ? value * 1.1f : (value < 0.0f ? value * 0.9f : 1.0f);
        WriteEdit(m_topEdit.get(), "%6.6f", top);
        return;
    }
    BuildAmplitudeTicks();
    UpdateLayout();
}

bool TSeriesPlot::ApplyTypedBoxes(bool finished)
{
    if (!m_settings)
        return false;
    const bool linear = m_settings->AmpScaleType == 0;
    bool pending = false;
    for (CEdit* box : {m_topEdit.get(), linear ? m_centerEdit.get() : m_rangeEdit.get()}) {
        if (!box || !box->GetModify())
            continue;
        double value = 0.0;
        // A range below the smallest waits for more digits ("0" of "0.5") until Enter.
        // A top out of range waits likewise, and is put back once finished.
        const bool taken = TypedValue(box, value) && (box != m_rangeEdit.get() || value >= 0.1 || finished) &&
                           (box != m_topEdit.get() || SeriesPlotTopRange(m_settings->AmpScaleType).Holds(value));
        if (!taken) {
            pending = pending || !finished;
            if (finished)
                WriteEdit(box, "%6.6f", box == m_topEdit.get()      ? m_settings->PlotTop
                                        : box == m_rangeEdit.get() ? m_settings->PlotRange
                                                                   : m_settings->PlotCenter);
            continue;
        }
        box->SetModify(FALSE);
        const auto v = static_cast<float>(value);
        if (box == m_topEdit.get())
            ApplyTop(v);
        else if (box == m_rangeEdit.get())
            ApplyRange(v);
        else
            ApplyCenter(v);
    }
    return pending;
}

void TSeriesPlot::OnAutoscaleCommand() { Autoscale(); }

void TSeriesPlot::Autoscale()
{
    if (!m_settings || (!m_bufferA && !IsFileMode()))
        return;
    const bool rms = m_settings->DisplayMaxMinRangeAsRMS != 0;
    float maximum = 0.0f, minimum = 0.0f;
    if (IsFileMode())
        m_waveFile->ReadBlockScaled(m_viewStart, m_viewEnd, maximum, minimum, static_cast<int>(m_fileChannel), true,
                                    rms);
    else
        m_bufferA->GetRangeMinMax(m_viewStart, m_viewEnd, maximum, minimum, true, rms);
    const ChannelCalibration calibration = CalibrationOfA();
    if (maximum < minimum)
        maximum = minimum;
    // Uncalibrated samples are fractions of full scale; the plot shows percent.
    if (!calibration.IsEnabled) {
        maximum *= 100.0f;
        minimum *= 100.0f;
    }
    double top = 0.0, bottom = 0.0;
    if (m_settings->AmpScaleType == 0) {
        auto stepOf = [](double v) { return v == 0.0 ? 1.0 : std::pow(10.0, std::trunc(std::log10(std::fabs(v)))); };
        const double topStep = stepOf(maximum);
        top = std::trunc(maximum / topStep + 1) * topStep;
        const double bottomStep = stepOf(minimum);
        bottom = std::trunc(minimum / bottomStep - 1) * bottomStep;
        if (top == 0.0)
            top = 0.1;
        if (calibration.IsEnabled && calibration.RefUnits == kUnitRpm)
            bottom = 0.0;
    } else {
        const double level = maximum > 0.0f ? ConvertToDecibels(calibration, maximum) : 0.0;
        top = std::trunc(level / 10) * 10;
        if (level > 0)
            top += 10;
        bottom = top - 100;
    }
    if (m_settings->PlotChannel == 5)
        top *= 2;
    const double range = top - bottom;
    m_settings->PlotTop = static_cast<float>(top);
    if (m_settings->AmpScaleType != 0) {
        m_settings->PlotRange = static_cast<float>(std::min(range, 200.0));
    } else {
        const bool straddles = top > 0 && bottom < 0;
        const double ratio = straddles ? std::fabs(top) / std::fabs(bottom) : 0.0;
        if (straddles && ratio <= 100)
            m_settings->PlotCenter = 0.0f;
        else if (top < 0 && bottom < 0)
            // All below zero: the middle of the signal, so the centre stays under the top.
            m_settings->PlotCenter = static_cast<float>((top + bottom) / 2);
        else if ((top >= 0 && bottom >= 0) || (straddles && ratio > 100))
            m_settings->PlotCenter = static_cast<float>(range / 2);
        else
            m_settings->PlotCenter = 0.0f;
    }
    UpdateLayout();
}

// ---- Read-outs and mouse ---------------------------------------------------------------------

double TSeriesPlot::PixelToXValue(int x, int)
{
    const WORD mode = m_settings ? m_settings->PlotChannel : 0;
    if (mode == 6 || mode == 7) {
        const int w = m_paneA.Width();
        const float value =
            w > 0 ? static_cast<float>((x - (m_paneA.right - 1 - w / 2)) * 2.0 * m_settings->PlotTop / w) : 0.0f;
        m_xFormat = std::fabs(value) >= 0.01f ? 4 : 100;
        return value;
    }
    const float t = ColumnToTime(x);
    return IsFileMode() ? t : t * 1000.0f;
}

double TSeriesPlot::PixelToYValue(int x, int y)
{
    if (!m_settings)
        return 0.0f;
    const CPoint p(x, y);
    CRect pane;
    for (const CRect& r : Panes())
        if (r.PtInRect(p))
            pane = r;
    if (pane.IsRectEmpty())
        return 0.0f;
    const int h = pane.Height();
    if (m_settings->AmpScaleType == 0) {
        const double top = m_settings->PlotTop, center = m_settings->PlotCenter;
        // The inverse of the trace's mapping, so the row a level is drawn on reads that level
        // (the zero line reads 0).
        const float value = static_cast<float>(((pane.bottom - y) - h / 2.0) * 2.0 * (top - center) / h + center);
        m_yFormat = std::fabs(value) >= 0.01f ? 3 : 100;
        return value;
    }
    m_yFormat = 3;
    return static_cast<float>((pane.bottom - y) * static_cast<double>(m_settings->PlotRange) / h +
                              (m_settings->PlotTop - m_settings->PlotRange));
}

bool TSeriesPlot::PullCursorToTrace(POINT& point)
{
    if (m_pointCapacity == 0 || !m_settings || !m_settings->GrabCursorFlag)
        return false;
    const float t = ColumnToTime(point.x);
    const bool linear = m_settings->AmpScaleType == 0;
    float value = 0.0f;
    bool calibrated = false;
    if (IsFileMode()) {
        value = static_cast<float>(
            m_waveFile->GetSample(m_waveFile->SecondsToFrames(t), static_cast<int>(m_fileChannel), true));
        ChannelCalibration cal;
        m_waveFile->GetChannelCalibration(cal, static_cast<int>(m_fileChannel));
        calibrated = cal.IsEnabled != 0;
    } else if (m_bufferA) {
        value = static_cast<float>(m_bufferA->GetSample(m_bufferA->TimeToIndex(t), true));
        calibrated = CalibrationOfA().IsEnabled != 0;
    } else {
        return false;
    }
    if (linear && !calibrated)
        value *= 100.0f;
    const CRect& pane = m_paneA;
    const int h = pane.Height();
    int y = pane.bottom;
    if (linear) {
        const double top = m_settings->PlotTop, center = m_settings->PlotCenter;
        y = pane.bottom - static_cast<int>(std::trunc(h / 2.0 + (value - center) * h / 2.0 / (top - center)));
    } else {
        const double level = ConvertToDecibels(FrameCalibration(), std::fabs(value));
        const double top = m_settings->PlotTop, range = m_settings->PlotRange;
        if (level < top - range)
            y = pane.bottom;
        else if (level > top)
            y = pane.top;
        else
            y = pane.bottom - static_cast<int>(std::trunc(h * (level - top + range) / range));
    }
    point.y = std::clamp(y, static_cast<int>(pane.top), static_cast<int>(pane.bottom));
    CPoint screen(point);
    ClientToScreen(&screen);
    SetCursorPos(screen.x, screen.y);
    return true;
}

void TSeriesPlot::OnLButtonDblClk(UINT, CPoint point)
{
    if (!IsFileMode() || !m_plotRect.PtInRect(point))
        return;
    ClearSelection();
    SendToFrame(kSeriesSpectrumAtTime, ColumnToTime(point.x), 0.0f);
}

void TSeriesPlot::OnRButtonDown(UINT, CPoint point)
{
    if (CMDIFrameWnd* frame = GetMDIFrame())
        frame->MDIActivate(this);
    CPoint screen(point);
    ClientToScreen(&screen);
    if (m_tracking && !m_selectionMode) {
        TrackCursorMenu(point, "Time", "Level");
        return;
    }
    bool inPane = false;
    for (const CRect& r : Panes())
        inPane = inPane || r.PtInRect(point);
    if (!inPane)
        return;
    const UINT sel = HasTimeSelection() ? MF_ENABLED : MF_GRAYED;
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kSelectAll, "Select &All");
    menu.AppendMenu(MF_STRING | sel, kCut, "Cu&t");
    menu.AppendMenu(MF_STRING | sel, kCopyWave, "&Copy as Wave");
    menu.AppendMenu(MF_STRING | sel, kCopyText, "Copy as &Text");
    menu.AppendMenu(MF_STRING, kCopyBitmap, "Copy as &Bitmap");
    menu.AppendMenu(MF_STRING | sel, kMute, "&Mute");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | sel, kFilterMenu, "&Filter...");
    menu.AppendMenu(MF_STRING | sel, kPlayMenu, "P&lay");
    AppendFrameEditCommands(menu, true, true);
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kAutoscaleMenu, "Auto&scale Display");
    menu.AppendMenu(MF_STRING | (m_settings && m_settings->GrabCursorFlag ? MF_CHECKED : 0), kPullCursor,
                    "Pull Cursor To Trace");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | sel, kAverageSpectrum, "Com&pute and Display Average Spectrum");
    menu.AppendMenu(MF_STRING | sel, kSpectrogram, "Compute and Display Spectro&gram");
    menu.AppendMenu(MF_STRING | sel, kSurface, "Compute and Display 3-D S&urface");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | sel, kRt60, "Compute and Display Reverberation Time (RT-60)");
    menu.AppendMenu(MF_STRING | sel, kDtmf, "Perform DTM&F Analysis");
    menu.AppendMenu(MF_STRING | sel, kRmsLevel, "Compute RMS Level");
    menu.AppendMenu(MF_STRING | sel, kCrestFactor, "Compute Crest Factor");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | sel, kHilbert, "Compute &Envelope using Hilbert Transform");
    menu.AppendMenu(MF_STRING | sel, kSchroeder, "Compute &Schroeder Integration");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | (m_dataView ? MF_CHECKED : 0), kViewDataValues, "&View Data Values");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kProperties, "&Properties");
    menu.AppendMenu(MF_STRING, kHelp, "&Help");
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, this);
}

void TSeriesPlot::OnUpdatePopupCommand(CCmdUI* pCmdUI) { pCmdUI->Enable(CanPlayOrFilter()); }

// ---- Commands to the frame -----------------------------------------------------------------

LRESULT TSeriesPlot::SendToFrame(WPARAM action, float start, float end)
{
    CWnd* frame = Frame();
    if (!frame || !frame->GetSafeHwnd())
        return 0;
    SeriesSegmentRequest request;
    request.channel = m_channel;
    request.start = start;
    request.end = end;
    return frame->SendMessage(WM_SERIES_SEGMENT_COMMAND, action, reinterpret_cast<LPARAM>(&request));
}

void TSeriesPlot::SendSegment(WPARAM action)
{
    float start = 0.0f, end = 0.0f;
    GetSelectedSegment(start, end);
    SendToFrame(action, start, end);
}

void TSeriesPlot::OnSelectAll() { SendToFrame(kSeriesSelectAll, 0.0f, 0.0f); }
void TSeriesPlot::OnCut() { SendSegment(kSeriesCut); }
void TSeriesPlot::OnCopyWave() { SendSegment(kSeriesCopyWave); }
void TSeriesPlot::OnMute() { SendSegment(kSeriesMute); }
void TSeriesPlot::OnAverageSpectrum() { SendSegment(kSeriesAverageSpectrum); }
void TSeriesPlot::OnSpectrogram() { SendSegment(kSeriesSpectrogram); }
void TSeriesPlot::OnSurface() { SendSegment(kSeriesSurface); }
void TSeriesPlot::OnRt60() { SendSegment(kSeriesReverb); }
void TSeriesPlot::OnDtmf() { SendSegment(kSeriesDtmf); }
void TSeriesPlot::OnRmsLevel() { SendSegment(kSeriesRmsLevel); }
void TSeriesPlot::OnCrestFactor() { SendSegment(kSeriesCrestFactor); }
void TSeriesPlot::OnHilbertEnvelope() { SendSegment(kSeriesHilbertEnvelope); }
void TSeriesPlot::OnSchroederIntegration() { SendSegment(kSeriesSchroeder); }

void TSeriesPlot::OnFilter()
{
    if (m_filterBtn && m_filterBtn->IsDisabled())
        return;
    SendSegment(kSeriesFilter);
}

void TSeriesPlot::OnPlaySegment()
{
    if (!m_playBtn || m_playBtn->IsDisabled())
        return;
    float start = 0.0f, end = 0.0f;
    GetSelectedSegment(start, end);
    m_playBtn->Press();
    if (!SendToFrame(kSeriesPlay, start, end))
        m_playBtn->Release();
}

void TSeriesPlot::ReleasePlayButton()
{
    if (m_playBtn)
        m_playBtn->Release();
}

void TSeriesPlot::OnViewDataValues()
{
    if (ToggleDataView(nullptr, m_channel, false, 1))
        UpdateDataViewSource();
}

// ---- Copies --------------------------------------------------------------------------------

std::string TSeriesPlot::BuildTextTable() const
{
    DWORD s0 = 0, s1 = 0;
    const bool file = m_waveFile != nullptr;
    if (file) {
        float start = 0.0f, end = 0.0f;
        const_cast<TSeriesPlot*>(this)->GetSelectedSegment(start, end);
        s0 = m_waveFile->SecondsToFrames(start);
        s1 = m_waveFile->SecondsToFrames(end);
    } else if (m_bufferA) {
        s1 = m_bufferA->GetCount();
    }
    std::string text;
    if (s1 <= s0)
        return text;
    const ChannelCalibration cal = FrameCalibration();
    const bool linear = !m_settings || m_settings->AmpScaleType == 0;
    text.reserve(static_cast<std::size_t>(s1 - s0) * 24);
    for (DWORD s = s0; s < s1; ++s) {
        double t = 0.0, v = 0.0;
        if (file) {
            t = m_waveFile->FramesToSeconds(s);
            v = m_waveFile->GetSample(s, static_cast<int>(m_fileChannel), true);
        } else {
            t = m_bufferA->IndexToTime(s);
            v = m_bufferA->GetSample(s, true);
        }
        if (linear) {
            if (!cal.IsEnabled)
                v *= 100.0;
        } else {
            v = ConvertToDecibels(cal, static_cast<float>(std::fabs(v)));
        }
        text += FormatPlotNumber("%f", t * 1000.0);
        text += '\t';
        text += FormatPlotNumber("%f", static_cast<float>(v));
        text += "\r\n";
    }
    return text;
}

void TSeriesPlot::OnCopyText()
{
    CopyPlotTextToClipboard(this, BuildTextTable(), "QorinDT;Data;Time Series;;",
                            "Time Series Plot - Insufficient memory available for clipboard operation", 0);
}

