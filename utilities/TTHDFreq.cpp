#include "utilities/TTHDFreq.h"

#include "dsp/TOverlayData.h"
#include "plots/PlotTextClipboard.h"
#include "records/AppMessages.h"
#include "records/PathSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/Menu.h"
#include "utilities/CTHDFreqOptionsDialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

BEGIN_MESSAGE_MAP(TTHDFreq, TLiveTestWindow)
    ON_BN_CLICKED(kStart, &TTHDFreq::OnStart)
    ON_BN_CLICKED(kLoad, &TTHDFreq::OnLoad)
    ON_BN_CLICKED(kSave, &TTHDFreq::OnSave)
    ON_BN_CLICKED(kPrint, &TTHDFreq::OnPrint)
    ON_BN_CLICKED(kOptions, &TTHDFreq::OnOptions)
    ON_COMMAND(kProperties, &TTHDFreq::OnOptions)
    ON_COMMAND(kHelpCommand, &TTHDFreq::OnHelp)
    ON_COMMAND(kCopyText, &TTHDFreq::OnCopyText)
    ON_COMMAND(kCopyBitmap, &TTHDFreq::OnCopyBitmap)
    ON_WM_SIZE()
    ON_WM_RBUTTONDOWN()
END_MESSAGE_MAP()

namespace {

constexpr const char* kTitle = "THD+N vs Frequency";

std::string Format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

double Log10OrZero(double v) { return v > 0.0 ? std::log10(v) : 0.0; }

// Steps of a frequency-tick walk: an axis up to 1 MHz takes a few hundred at most.
constexpr int kMaxTickSteps = 100000;

void RememberFolder(PathSettings* paths, const std::string& file)
{
    if (!paths)
        return;
    CopyField(paths->thd, std::filesystem::path(file).parent_path().string().c_str());
}

} // namespace

TTHDFreq::TTHDFreq() : TLiveTestWindow(WM_THDFREQ_REQUEST, kThdStopActivity, kThdDeviceStopped) {}

TTHDFreq::~TTHDFreq() { EndTestOnClose(); }

BOOL TTHDFreq::Create(DWORD style, const RECT& rect, CWnd* frame, const ThdFreqLinks* links)
{
    if (links)
        m_links = *links;
    if (!m_links.settings)
        m_links.settings = &m_ownSettings;
    if (!m_links.frame)
        m_links.frame = frame;
    m_analysis = std::make_unique<ThdFreqAnalysis>(m_links.settings);
    m_analysis->progress = [this](int percent, const char* text) { SetProgress(percent, text); };
    Settings().StepDuration = 1000;
    m_toolStripHeight = 38;
    m_topMargin = 58;
    m_bottomMargin = 45;
    m_leftMargin = 70;
    m_rightMargin = 80;
    m_paneGap = 30;
    strcpy(m_xUnit, " Hz");
    strcpy(m_yUnit, " %");
    m_initialising = 1;
    // The plot window makes the base's own controls as it is created; this window's follow.
    if (!CreateUtilityWindow(kTitle, style, rect, frame))
        return FALSE;
    CreateControls();
    return TRUE;
}

void TTHDFreq::CreateControls()
{
    m_controlFont.CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
    static const char* const names[5] = {"Start", "Load...", "Save...", "Print...", "Options..."};
    static const UINT ids[5] = {kStart, kLoad, kSave, kPrint, kOptions};
    CreateProgress(CRect(94, 20, 304, 34), kProgress);
    for (int i = 0; i < 5; ++i) {
        m_buttons[i] = std::make_unique<CButton>();
        m_buttons[i]->Create(names[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(4, 4, 90, 34), this, ids[i]);
        m_buttons[i]->SetFont(&m_controlFont);
    }
    HideProgress();
    m_initialising = 0;
    UpdateLayout();
}

CButton* TTHDFreq::GetButton(UINT id) const
{
    static const UINT ids[5] = {kStart, kLoad, kSave, kPrint, kOptions};
    for (int i = 0; i < 5; ++i)
        if (ids[i] == id)
            return m_buttons[i].get();
    return nullptr;
}

COLORREF TTHDFreq::PlotBackgroundColor() const
{
    return m_printing ? RGB(255, 255, 255) : Settings().BackgroundColor;
}

void TTHDFreq::UpdateLayout()
{
    if (m_initialising || !m_analysis || !m_buttons[0])
        return;
    SetPaneMode(Settings().ChannelCount == 2 ? 2 : 1);
    TPlotBase::UpdateLayout();
    RecalcLayout();
    HidePlotScrollBar();
    LoadWatermark();
    m_buttons[0]->MoveWindow(4, 4, 86, 30);
    for (int k = 1; k < 5; ++k)
        m_buttons[k]->MoveWindow(m_plotRect.right + 6, m_plotRect.top + 4 + 28 * (k - 1), m_rightMargin - 12, 24);
    m_buttons[2]->EnableWindow(m_analysis->PointCount() > 0);
    Invalidate();
    UpdateFrame(0.0f);
    const std::string& name = m_analysis->fileName;
    const std::string title = name.empty() ? std::string(kTitle) : std::string(kTitle) + " - " + name;
    if (GetWindowTextString() != title)
        SetWindowText(title.c_str());
}

void TTHDFreq::OnSize(UINT nType, int cx, int cy)
{
    TPlotBase::OnSize(nType, cx, cy);
    if (!m_initialising)
        UpdateLayout();
}

// ---- Axes ---------------------------------------------------------------------------------

int TTHDFreq::FrequencyToPixel(float f, int width) const
{
    if (width <= 0)
        return -999;
    const ThdFreqSettings& s = Settings();
    double x;
    if (s.FrequencyScale == 0) {
        const double span = s.StopFrequency - s.StartFrequency;
        x = span != 0.0 ? (f - s.StartFrequency) / span * width : 0.0;
    } else {
        const double l0 = Log10OrZero(s.StartFrequency), l1 = Log10OrZero(s.StopFrequency);
        x = l1 != l0 && f > 0.0f ? (std::log10(f) - l0) / (l1 - l0) * width : 0.0;
    }
    // Clamped before it becomes an int: a point far off the axis, or none, lands on an edge.
    if (!(x >= 0.0))
        return 0;
    return x >= width - 1 ? width - 1 : static_cast<int>(std::floor(x));
}

int TTHDFreq::AmplitudeToPixel(float v, int height) const
{
    if (height <= 0)
        return -999;
    const ThdFreqSettings& s = Settings();
    double y;
    if (s.AmplitudeScale == 1) {
        const double d0 = Log10OrZero(s.PlotBottom), d1 = Log10OrZero(s.PlotTop);
        y = d1 != d0 && v > 0.0f ? (std::log10(v) - d0) / (d1 - d0) * (height - 1) : 0.0;
    } else {
        const double span = s.PlotTop - s.PlotBottom;
        y = span != 0.0 ? (v - s.PlotBottom) / span * (height - 1) : 0.0;
    }
    if (!(y > 0.0))
        return 0;
    return y >= height - 1 ? height - 1 : static_cast<int>(std::lround(y));
}

std::vector<TTHDFreq::Tick> TTHDFreq::FrequencyTicks(int width) const
{
    const ThdFreqSettings& s = Settings();
    const double start = s.StartFrequency, stop = s.StopFrequency, span = stop - start;
    const char* small = span < 10 ? "%1.3f" : span < 100 ? "%1.2f" : "%1.0f";
    const char* large = span < 10 ? "%1.3fk" : span < 100 ? "%1.2fk" : "%1.1fk";
    auto logStep = [](double v) {
        return v < 10 ? 1.0 : v < 100 ? 10.0 : v < 1000 ? 100.0 : v < 10000 ? 1000.0 : v < 100000 ? 10000.0
               : v < 1e6 ? 100000.0 : 10000.0;
    };
    auto walk = [&](bool logarithmic) {
        std::vector<Tick> ticks;
        double step = 1;
        if (!logarithmic)
            for (double c : {10000.0, 5000.0, 1000.0, 500.0, 200.0, 100.0, 50.0, 20.0, 10.0, 5.0, 2.0, 1.0})
                if (span / c >= 4) {
                    step = c;
                    break;
                }
        // The walk of whole steps from 0 meets the start at the step below it; walking there
        // first would take longer the higher the start (for ever at 1e30 Hz). Past the
        // precision of a double, or after more steps than any axis within 1 MHz takes, it ends.
        double v = 0;
        if (start > 0) {
            const double first = logarithmic ? logStep(start) : step;
            v = std::floor(start / first) * first;
        }
        for (int n = 0; v <= stop && n < kMaxTickSteps; ++n) {
            if (logarithmic)
                step = logStep(v);
            if (v >= start) {
                const int x = FrequencyToPixel(static_cast<float>(v), width);
                if (x >= 0 && (ticks.empty() || ticks.back().offset != x))
                    ticks.push_back({x, v == 0 ? "0.0" : v < 1000 ? Format(small, v) : Format(large, v / 1000)});
            }
            if (v + step == v)
                break;
            v += step;
        }
        return ticks;
    };
    std::vector<Tick> ticks = walk(s.FrequencyScale != 0);
    if (s.FrequencyScale != 0 && ticks.size() < 4)
        ticks = walk(false);
    int last = 1 << 30;
    for (auto it = ticks.rbegin(); it != ticks.rend(); ++it) {
        if (last - it->offset < 30)
            it->label.clear();
        else
            last = it->offset;
    }
    return ticks;
}

std::vector<TTHDFreq::Tick> TTHDFreq::AmplitudeTicks(int height) const
{
    const ThdFreqSettings& s = Settings();
    const double bottom = s.PlotBottom, top = s.PlotTop, range = top - bottom;
    std::vector<Tick> ticks;
    if (!(range > 0.0) || height <= 0 || (s.AmplitudeScale == 1 && !(bottom > 0.0)))
        return ticks;
    auto label = [](double v) {
        const char* f = v >= 1 ? "%6.0f" : v >= 0.1 ? "%6.1f" : v >= 0.01 ? "%6.2f" : v >= 0.001 ? "%6.3f"
                        : v >= 0.0001 ? "%6.4f" : "%6.5f";
        return Format(f, v);
    };
    double linearStep = 10;
    for (auto [limit, step] : {std::pair{0.011, 0.001}, {0.11, 0.01}, {1.01, 0.1}, {2.01, 0.2}, {5.01, 0.5},
                               {10.01, 1.0}, {20.01, 2.0}, {50.01, 5.0}})
        if (range < limit) {
            linearStep = step;
            break;
        }
    double v = bottom;
    for (int guard = 0; v < top * 0.99999 && guard < 10000; ++guard) {
        ticks.push_back({AmplitudeToPixel(static_cast<float>(v), height), label(v)});
        if (s.AmplitudeScale == 1) {
            const double decade = std::pow(10.0, std::floor(std::log10(v * 1.00001)));
            v = (std::floor(v * 1.00001 / decade) + 1) * decade;
        } else {
            v += linearStep;
        }
    }
    ticks.push_back({AmplitudeToPixel(static_cast<float>(top), height), label(top)});
    int last = 1 << 30;
    for (auto it = ticks.rbegin(); it != ticks.rend(); ++it) {
        if (std::abs(last - it->offset) < 12)
            it->label.clear();
        else
            last = it->offset;
    }
    return ticks;
}

// ---- Drawing ------------------------------------------------------------------------------

std::string TTHDFreq::StatusText() const
{
    const ThdFreqAnalysis& a = *m_analysis;
    std::string text;
    if (a.PointCount() == 0)
        text = "THD+N vs Frequency data not available. Press Start to begin.";
    if (a.tooLow)
        text = "The signal is too low for accurate results (<-40dBfs). Check the cables and signal level.";
    if (a.clipped)
        text = "The signal overloaded (clipped) the input. Adjust the signal level and restart";
    // The findings are those of the last analysis: while a test runs nothing has been judged yet.
    if (a.running)
        text = "THD+N vs Frequency measurement in progress.  Please wait or press the <Esc> key to abort.";
    return text;
}

namespace {
// The contrast ratio of two colours by their relative luminance (sRGB), as WCAG 2 has it.
double ContrastRatio(COLORREF a, COLORREF b)
{
    auto luminance = [](COLORREF c) {
        auto linear = [](int v) {
            const double s = v / 255.0;
            return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(GetRValue(c)) + 0.7152 * linear(GetGValue(c)) + 0.0722 * linear(GetBValue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

COLORREF TTHDFreq::StatusColor() const
{
    const ThdFreqAnalysis& a = *m_analysis;
    // Black or white, whichever the background (white paper when printing) sets off; the
    // warnings red where a red reads at 4.5:1 (a deep red on light backgrounds, a light red on
    // dark ones), plain where none does.
    const COLORREF back = m_printing ? RGB(255, 255, 255) : Settings().BackgroundColor;
    const int r = GetRValue(back), g = GetGValue(back), b = GetBValue(back);
    const COLORREF plain = (299 * r + 587 * g + 114 * b) / 1000 < 128 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    if (a.running || !(a.clipped || a.tooLow))
        return plain;
    const COLORREF deep = RGB(192, 0, 0), light = RGB(255, 112, 112);
    const COLORREF red = ContrastRatio(deep, back) >= ContrastRatio(light, back) ? deep : light;
    return ContrastRatio(red, back) >= 4.5 ? red : plain;
}

void TTHDFreq::DrawPane(CDC* dc, const CRect& pane, const std::vector<ThdPoint>& points, bool labels, bool status,
                        const char* title, const TOverlayData* limit)
{
    const ThdFreqSettings& s = Settings();
    const int W = pane.Width(), H = pane.Height();
    if (W <= 0 || H <= 0)
        return;
    if (!m_printing)
        dc->FillSolidRect(&pane, s.BackgroundColor);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    if (title && *title) {
        const CSize size = dc->GetTextExtent(title);
        dc->TextOut(pane.CenterPoint().x - size.cx / 2, pane.top - size.cy - 4, title);
    }
    CPen grid(PS_SOLID, 1, m_printing ? RGB(128, 128, 128) : s.GridColor);
    CPen* old = dc->SelectObject(&grid);
    int labelHeight = 0;
    for (const Tick& t : FrequencyTicks(W)) {
        dc->MoveTo(pane.left + t.offset, pane.top);
        dc->LineTo(pane.left + t.offset, pane.bottom);
        if (labels) {
            dc->MoveTo(pane.left + t.offset, pane.bottom);
            dc->LineTo(pane.left + t.offset, pane.bottom + 4);
        }
        if (labels && !t.label.empty()) {
            const CSize size = dc->GetTextExtent(t.label);
            labelHeight = std::max(labelHeight, static_cast<int>(size.cy));
            dc->TextOut(pane.left + t.offset - size.cx / 2, pane.bottom + 5, t.label);
        }
    }
    int labelWidth = 0;
    for (const Tick& t : AmplitudeTicks(H)) {
        dc->MoveTo(pane.left, pane.bottom - 1 - t.offset);
        dc->LineTo(pane.right, pane.bottom - 1 - t.offset);
        if (!t.label.empty()) {
            const CSize size = dc->GetTextExtent(t.label);
            labelWidth = std::max(labelWidth, static_cast<int>(size.cx));
            dc->TextOut(pane.left - size.cx - 4, pane.bottom - 1 - t.offset - size.cy / 2, t.label);
        }
    }
    // The axis title, turned by 90 degrees, left of the amplitude labels.
    static const char* const axis[4] = {"THD+N %", "THD+N (A) %", "THD+N (B) %", "THD+N (C) %"};
    const std::string axisTitle = axis[std::min<WORD>(s.Weighting, 3)];
    {
        const CSize size = dc->GetTextExtent(axisTitle);
        CFont turned;
        turned.CreateFont(-std::max<int>(size.cy * 3 / 4, 1), 0, 900, 900, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
        CFont* previous = dc->SelectObject(&turned);
        dc->TextOut(std::max<int>(pane.left - labelWidth - 8 - size.cy, 0), pane.CenterPoint().y + size.cx / 2,
                    axisTitle);
        dc->SelectObject(previous);
    }
    if (labels) {
        const CSize size = dc->GetTextExtent("Frequency (Hz)");
        dc->TextOut(pane.CenterPoint().x - size.cx / 2, pane.bottom + 7 + labelHeight, "Frequency (Hz)");
    }
    if (status) {
        const std::string text = StatusText();
        if (!text.empty()) {
            dc->SetTextColor(StatusColor());
            CRect r = pane;
            dc->DrawText(text, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
    if (limit)
        DrawLimitCurve(dc, pane, *limit);
    if (!m_analysis->running && !points.empty()) {
        CPen curve(PS_SOLID, 1, m_printing ? RGB(0, 0, 0) : s.CurveColor);
        dc->SelectObject(&curve);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const int x = pane.left + FrequencyToPixel(points[i].Frequency, W);
            const int y = pane.bottom - 1 - AmplitudeToPixel(points[i].ThdN, H);
            if (i == 0)
                dc->MoveTo(x, y);
            else
                dc->LineTo(x, y);
        }
        // A single point still shows.
        if (points.size() == 1)
            dc->LineTo(pane.left + FrequencyToPixel(points[0].Frequency, W) + 1,
                       pane.bottom - 1 - AmplitudeToPixel(points[0].ThdN, H));
        dc->SelectObject(&grid);
    }
    dc->SelectObject(old);
}

void TTHDFreq::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    if (!m_analysis)
        return;
    const int saved = dc->SaveDC();
    if (!m_printing) {
        TPlotBase::DrawPlot(dc, full, update);
        DrawProgressText(dc, &m_controlFont);
    }
    // While printing the base has chosen a printer font of the page's scale.
    CFont* oldFont = dc->SelectObject(m_printing ? m_font : &m_controlFont);
    const ThdFreqAnalysis& a = *m_analysis;
    const ThdFreqSettings& s = Settings();
    const TOverlayData* limitA = Limit(m_limits[0], s.LimitAEnabled != 0, s.LimitAFile);
    const TOverlayData* limitB = Limit(m_limits[1], s.LimitBEnabled != 0 && s.ChannelCount == 2, s.LimitBFile);
    if (GetPaneMode() == 2) {
        DrawPane(dc, GetPaneRectA(), a.pointsA, false, true, kTitle, limitA);
        DrawPane(dc, GetPaneRectB(), a.pointsB, true, false, "", limitB);
    } else {
        DrawPane(dc, m_plotRect, a.pointsA, true, true, kTitle, limitA);
    }
    dc->SelectObject(oldFont);
    dc->RestoreDC(saved);
    if (!a.running)
        DrawWatermark(dc, m_plotRect, update);
}

const TOverlayData* TTHDFreq::Limit(LimitCurve& cache, bool enabled, const char* file)
{
    const std::string path(file, strnlen(file, 260));
    if (!enabled || path.empty()) {
        cache = LimitCurve();
        return nullptr;
    }
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    const std::uintmax_t size = error ? 0 : std::filesystem::file_size(path, error);
    if (error) {
        cache = LimitCurve();
        cache.path = path;
        return nullptr;
    }
    if (!cache.data || cache.path != path || cache.time != time || cache.size != size) {
        cache.path = path;
        cache.time = time;
        cache.size = size;
        cache.data.reset(new (std::nothrow) TOverlayData(path.c_str(), 0, 0.0f));
    }
    const TOverlayData* data = cache.data.get();
    return data && !data->ErrorFlag() && data->GetEntryCount() > 0 ? data : nullptr;
}

void TTHDFreq::DrawLimitCurve(CDC* dc, const CRect& pane, const TOverlayData& limit)
{
    const ThdFreqSettings& s = Settings();
    const int W = pane.Width(), H = pane.Height();
    CPen pen(PS_SOLID, 1, m_printing ? RGB(0, 0, 0) : s.LimitColor);
    CPen* old = dc->SelectObject(&pen);
    const double l0 = Log10OrZero(s.StartFrequency), l1 = Log10OrZero(s.StopFrequency);
    for (int c = 0; c < W; ++c) {
        const double f = s.FrequencyScale == 0 ? s.StartFrequency + c * (s.StopFrequency - s.StartFrequency) / W
                                               : std::pow(10.0, l0 + c * (l1 - l0) / W);
        const int y = pane.bottom - 1 - AmplitudeToPixel(limit.ValueAt(static_cast<float>(f)), H);
        if (c == 0)
            dc->MoveTo(pane.left, y);
        else
            dc->LineTo(pane.left + c, y);
    }
    dc->SelectObject(old);
}

double TTHDFreq::PixelToXValue(int x, int y)
{
    const CRect pane = GetPaneAtPoint(CPoint(x, y));
    if (pane.IsRectEmpty() || x < pane.left || x >= pane.right)
        return 0.0;
    const ThdFreqSettings& s = Settings();
    const int W = pane.Width();
    const double c = x - pane.left;
    if (s.FrequencyScale == 0)
        return s.StartFrequency + c * (s.StopFrequency - s.StartFrequency) / W;
    const double l0 = Log10OrZero(s.StartFrequency), l1 = Log10OrZero(s.StopFrequency);
    return std::pow(10.0, l0 + c * (l1 - l0) / W);
}

double TTHDFreq::PixelToYValue(int x, int y)
{
    const CRect pane = GetPaneAtPoint(CPoint(x, y));
    if (pane.IsRectEmpty())
        return 0.0;
    const ThdFreqSettings& s = Settings();
    const int H = pane.Height();
    const double r = std::clamp(pane.bottom - 1 - y, 0, H - 1);
    if (s.AmplitudeScale == 1) {
        const double d0 = 10 * Log10OrZero(s.PlotBottom), d1 = 10 * Log10OrZero(s.PlotTop);
        return std::pow(10.0, (d0 + r * (d1 - d0) / (H - 1)) / 10);
    }
    return s.PlotBottom + r * (s.PlotTop - s.PlotBottom) / (H - 1);
}

// ---- Results ------------------------------------------------------------------------------

bool TTHDFreq::QuerySave()
{
    ThdFreqAnalysis& a = *m_analysis;
    return AskToSaveResults("THD+N vs Frequency Data has changed.  Do you want to save it?", a.modified,
                            Settings().PromptToSave != 0, a.fileName, [this] { OnSave(); });
}

bool TTHDFreq::SaveThdFile(const std::string& name)
{
    if (m_analysis->PointCount() == 0 || name.empty())
        return false;
    const std::string folder = m_links.paths ? m_links.paths->thd : "";
    const bool ok = m_analysis->SaveFile(ThdFreqAnalysis::ThdFilePath(name, folder));
    UpdateLayout();
    return ok;
}

bool TTHDFreq::LoadThdFile(const std::string& name)
{
    bool ok = true;
    if (!name.empty()) {
        const std::string folder = m_links.paths ? m_links.paths->thd : "";
        ok = m_analysis->LoadFile(ThdFreqAnalysis::ThdFilePath(name, folder));
        m_analysis->modified = 0;
        m_analysis->clipped = 0;
        m_analysis->tooLow = 0;
    }
    UpdateLayout();
    return ok;
}

std::string TTHDFreq::AskFileName(bool open)
{
    CFileDialog dialog(open ? TRUE : FALSE, "thd", "*.thd",
                       OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT),
                       open ? "THD Files (*.thd)|*.thd||" : "THD vs Frequency Data Files (*.thd)|*.thd||", this);
    dialog.m_ofn.lpstrTitle = open ? "Open THD File" : "Save THD File";
    const std::string initial = m_links.workingPaths ? m_links.workingPaths->thd : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return {};
    const std::string path = dialog.GetPathName();
    RememberFolder(m_links.workingPaths, path);
    return path;
}

void TTHDFreq::OnLoad()
{
    if (m_analysis->running)
        return;
    if (m_analysis->modified && !QuerySave())
        return;
    if (const std::string path = AskFileName(true); !path.empty())
        LoadThdFile(path);
}

void TTHDFreq::OnSave()
{
    if (m_analysis->PointCount() == 0)
        return;
    if (const std::string path = AskFileName(false); !path.empty())
        SaveThdFile(path);
}

void TTHDFreq::OnCopyText()
{
    if (m_analysis->PointCount() == 0)
        return;
    CopyPlotTextToClipboard(this, m_analysis->PointsText(), nullptr,
                            "THD+N vs Freq Plot - Insufficient memory available for clipboard operation", MB_OK);
}

void TTHDFreq::OnCopyBitmap() { CopyBitmapToClipboard(); }

void TTHDFreq::OnRButtonDown(UINT, CPoint point)
{
    if (GetPaneAtPoint(point).IsRectEmpty() || IsRunning())
        return;
    MDIActivate();
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    menu.AppendMenu(MF_STRING, kCopyText, "&Copy As Text");
    menu.AppendMenu(MF_STRING, kCopyBitmap, "Copy As &Bitmap");
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    menu.AppendMenu(MF_STRING, kProperties, "&Properties");
    menu.AppendMenu(MF_STRING, kHelpCommand, "&Help");
    ClientToScreen(&point);
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
}

void TTHDFreq::OnOptions()
{
    if (IsRunning())
        return;
    ThdFreqSettings copy = Settings();
    CTHDFreqOptionsDialog dialog(this, &copy, m_links);
    if (dialog.DoModal() != IDOK)
        return;
    Settings() = copy;
    UpdateLayout();
}

void TTHDFreq::OnPrint()
{
    if (m_links.frame && !IsRunning())
        m_links.frame->SendMessage(WM_THDFREQ_REQUEST, kThdPrint, 0);
}
