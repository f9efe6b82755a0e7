#include "utilities/TTHDFreq.h"

#include "plots/PlotTextClipboard.h"
#include "records/PathSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/Menu.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

BEGIN_MESSAGE_MAP(TTHDFreq, TUtilityPlot)
    ON_BN_CLICKED(kLoad, &TTHDFreq::OnLoad)
    ON_BN_CLICKED(kSave, &TTHDFreq::OnSave)
    ON_COMMAND(kCopyText, &TTHDFreq::OnCopyText)
    ON_WM_CLOSE()
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

void RememberFolder(PathSettings* paths, const std::string& file)
{
    if (!paths)
        return;
    CopyField(paths->thd, std::filesystem::path(file).parent_path().string().c_str());
}

} // namespace

TTHDFreq::TTHDFreq() = default;
TTHDFreq::~TTHDFreq() = default;

BOOL TTHDFreq::Create(DWORD style, const RECT& rect, CWnd* frame, const ThdFreqLinks* links)
{
    if (links)
        m_links = *links;
    if (!m_links.settings)
        m_links.settings = &m_ownSettings;
    m_analysis = std::make_unique<ThdFreqAnalysis>(m_links.settings);
    Settings().StepDuration = 1000;
    m_toolStripHeight = 38;
    m_topMargin = 58;
    m_bottomMargin = 45;
    m_leftMargin = 70;
    m_rightMargin = 80;
    m_paneGap = 30;
    m_initialising = 1;
    if (!CreateUtilityWindow(kTitle, style, rect, frame))
        return FALSE;
    m_font.CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
    static const char* const names[2] = {"Load...", "Save..."};
    static const UINT ids[2] = {kLoad, kSave};
    for (int i = 0; i < 2; ++i) {
        m_buttons[i] = std::make_unique<CButton>();
        m_buttons[i]->Create(names[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 0, 68, 24), this, ids[i]);
        m_buttons[i]->SetFont(&m_font);
    }
    m_initialising = 0;
    UpdateLayout();
    return TRUE;
}

CButton* TTHDFreq::GetButton(UINT id) const
{
    return id == kLoad ? m_buttons[0].get() : id == kSave ? m_buttons[1].get() : nullptr;
}

COLORREF TTHDFreq::PlotBackgroundColor() const
{
    return m_printing ? RGB(255, 255, 255) : Settings().BackgroundColor;
}

void TTHDFreq::UpdateLayout()
{
    if (m_initialising || !m_analysis)
        return;
    SetPaneMode(Settings().ChannelCount == 2 ? 2 : 1);
    TPlotBase::UpdateLayout();
    RecalcLayout();
    for (int k = 0; k < 2; ++k)
        if (m_buttons[k])
            m_buttons[k]->MoveWindow(m_plotRect.right + 6, m_plotRect.top + 4 + 28 * k, m_rightMargin - 12, 24);
    if (m_buttons[1])
        m_buttons[1]->EnableWindow(m_analysis->PointCount() > 0);
    Invalidate();
    const std::string& name = m_analysis->fileName;
    const std::string title = name.empty() ? std::string(kTitle) : std::string(kTitle) + " - " + name;
    if (GetWindowTextString() != title)
        SetWindowText(title.c_str());
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
    return std::clamp(static_cast<int>(std::floor(x)), 0, width - 1);
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
    return std::clamp(static_cast<int>(std::lround(y)), 0, height - 1);
}

std::vector<TTHDFreq::Tick> TTHDFreq::FrequencyTicks(int width) const
{
    const ThdFreqSettings& s = Settings();
    const double start = s.StartFrequency, stop = s.StopFrequency, span = stop - start;
    const char* small = span < 10 ? "%1.3f" : span < 100 ? "%1.2f" : "%1.0f";
    const char* large = span < 10 ? "%1.3fk" : span < 100 ? "%1.2fk" : "%1.1fk";
    auto walk = [&](bool logarithmic) {
        std::vector<Tick> ticks;
        double step = 1;
        if (!logarithmic)
            for (double c : {10000.0, 5000.0, 1000.0, 500.0, 200.0, 100.0, 50.0, 20.0, 10.0, 5.0, 2.0, 1.0})
                if (span / c >= 4) {
                    step = c;
                    break;
                }
        for (double v = 0; v <= stop && ticks.size() < 100000;) {
            if (logarithmic)
                step = v < 10 ? 1 : v < 100 ? 10 : v < 1000 ? 100 : v < 10000 ? 1000 : v < 100000 ? 10000
                       : v < 1e6 ? 100000 : 10000;
            if (v >= start) {
                const int x = FrequencyToPixel(static_cast<float>(v), width);
                if (x >= 0 && (ticks.empty() || ticks.back().offset != x))
                    ticks.push_back({x, v == 0 ? "0.0" : v < 1000 ? Format(small, v) : Format(large, v / 1000)});
            }
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
    if (a.running)
        text = "THD+N vs Frequency measurement in progress.  Please wait or press the <Esc> key to abort.";
    if (a.tooLow)
        text = "The signal is too low for accurate results (<-40dBfs). Check the cables and signal level.";
    if (a.clipped)
        text = "The signal overloaded (clipped) the input. Adjust the signal level and restart";
    return text;
}

COLORREF TTHDFreq::StatusColor() const
{
    return m_analysis->clipped || m_analysis->tooLow ? RGB(200, 0, 0) : RGB(0, 0, 0);
}

void TTHDFreq::DrawPane(CDC* dc, const CRect& pane, const std::vector<ThdPoint>& points, bool labels, bool status,
                        const char* title)
{
    const ThdFreqSettings& s = Settings();
    const int W = pane.Width(), H = pane.Height();
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
    for (const Tick& t : FrequencyTicks(W)) {
        dc->MoveTo(pane.left + t.offset, pane.top);
        dc->LineTo(pane.left + t.offset, pane.bottom);
        if (labels && !t.label.empty()) {
            const CSize size = dc->GetTextExtent(t.label);
            dc->TextOut(pane.left + t.offset - size.cx / 2, pane.bottom + 4, t.label);
        }
    }
    for (const Tick& t : AmplitudeTicks(H)) {
        dc->MoveTo(pane.left, pane.bottom - 1 - t.offset);
        dc->LineTo(pane.right, pane.bottom - 1 - t.offset);
        if (!t.label.empty()) {
            const CSize size = dc->GetTextExtent(t.label);
            dc->TextOut(pane.left - size.cx - 4, pane.bottom - 1 - t.offset - size.cy / 2, t.label);
        }
    }
    if (labels) {
        const CSize size = dc->GetTextExtent("Frequency (Hz)");
        dc->TextOut(pane.CenterPoint().x - size.cx / 2, pane.bottom + 20, "Frequency (Hz)");
    }
    if (status) {
        const std::string text = StatusText();
        if (!text.empty()) {
            dc->SetTextColor(StatusColor());
            CRect r = pane;
            dc->DrawText(text, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
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
        dc->SelectObject(&grid);
    }
    dc->SelectObject(old);
}

void TTHDFreq::DrawPlot(CDC* dc, bool full, const RECT& update)
{
    if (!m_analysis)
        return;
    const int saved = dc->SaveDC();
    if (!m_printing)
        TPlotBase::DrawPlot(dc, full, update);
    CFont* oldFont = dc->SelectObject(&m_font);
    const ThdFreqAnalysis& a = *m_analysis;
    if (GetPaneMode() == 2) {
        DrawPane(dc, GetPaneRectA(), a.pointsA, false, true, kTitle);
        DrawPane(dc, GetPaneRectB(), a.pointsB, true, false, "");
    } else {
        DrawPane(dc, m_plotRect, a.pointsA, true, true, kTitle);
    }
    dc->SelectObject(oldFont);
    dc->RestoreDC(saved);
}

// ---- Results ------------------------------------------------------------------------------

bool TTHDFreq::QuerySave()
{
    ThdFreqAnalysis& a = *m_analysis;
    if (!a.modified || !Settings().PromptToSave)
        return true;
    const int answer = AfxMessageBox("THD+N vs Frequency Data has changed.  Do you want to save it?",
                                     MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return false;
    if (answer == IDYES) {
        OnSave();
        // Only a save that happened lets the results go.
        return a.modified == 0;
    }
    a.modified = 0;
    a.fileName.clear();
    return true;
}

void TTHDFreq::OnClose()
{
    if (m_analysis->running)
        return;
    if (m_analysis->modified && !QuerySave())
        return;
    TUtilityPlot::OnClose();
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

void TTHDFreq::OnLoad()
{
    if (m_analysis->running)
        return;
    if (m_analysis->modified && !QuerySave())
        return;
    CFileDialog dialog(TRUE, "thd", "*.thd", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                       "THD Files (*.thd)|*.thd||", this);
    dialog.m_ofn.lpstrTitle = "Open THD File";
    const std::string initial = m_links.workingPaths ? m_links.workingPaths->thd : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    RememberFolder(m_links.workingPaths, path);
    LoadThdFile(path);
}

void TTHDFreq::OnSave()
{
    if (m_analysis->PointCount() == 0)
        return;
    CFileDialog dialog(FALSE, "thd", "*.thd", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT,
                       "THD vs Frequency Data Files (*.thd)|*.thd||", this);
    dialog.m_ofn.lpstrTitle = "Save THD File";
    const std::string initial = m_links.workingPaths ? m_links.workingPaths->thd : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    RememberFolder(m_links.workingPaths, path);
    SaveThdFile(path);
}

void TTHDFreq::OnCopyText()
{
    if (m_analysis->PointCount() == 0)
        return;
    CopyPlotTextToClipboard(this, m_analysis->PointsText(), nullptr,
                            "THD+N vs Freq Plot - Insufficient memory available for clipboard operation", MB_OK);
}

void TTHDFreq::OnRButtonDown(UINT, CPoint point)
{
    if (!GetPaneRectA().PtInRect(point) && !GetPaneRectB().PtInRect(point) && !m_plotRect.PtInRect(point))
        return;
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    menu.AppendMenu(MF_STRING, kCopyText, "&Copy As Text");
    ClientToScreen(&point);
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
}
