#include "utilities/CSoundPowerAnalysisView.h"

#include "dsp/SpectralData.h"
#include "records/ChannelCalibration.h"
#include "records/ChannelProcessingSettings.h"
#include "records/CommonRoutines.h"
#include "records/CompositeChannelSettings.h"
#include "records/UtilitySettings.h"
#include "utilities/CSoundPowerOptionsDialog.h"
#include "utilities/ResultWindowSupport.h"

#include <algorithm>
#include <cmath>

BEGIN_MESSAGE_MAP(CSoundPowerAnalysisView, CUtilityWindow)
    ON_WM_SIZE()
    ON_MESSAGE(WM_GRID_RBUTTON, &CSoundPowerAnalysisView::OnGridRButton)
    ON_COMMAND(CSoundPowerAnalysisView::kOptions, &CSoundPowerAnalysisView::OnOptions)
    ON_COMMAND(CSoundPowerAnalysisView::kCopy, &CSoundPowerAnalysisView::OnCopyButton)
END_MESSAGE_MAP()

CSoundPowerAnalysisView::~CSoundPowerAnalysisView()
{
    m_grid.reset();
    for (auto& b : m_buttons)
        b.reset();
}

BOOL CSoundPowerAnalysisView::Create(CWnd* frame, int left, int top, int, int)
{
    if (!CreateToolWindow(frame, left, top, 100, 20, "Sound Power Analysis Viewer"))
        return FALSE;
    m_grid = std::make_unique<CDataGrid>();
    m_grid->Create("Data", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{0, 0, 100, 20}, this, kGridId);
    m_buttons[0] = std::make_unique<CButton>();
    m_buttons[0]->Create("Options...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 80, 20}, this, kOptions);
    m_buttons[1] = std::make_unique<CButton>();
    m_buttons[1]->Create("Copy to Clipboard", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 160, 20}, this, kCopy);
    m_font.CreateFont(15, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SetupWindow();
    return TRUE;
}

void CSoundPowerAnalysisView::SetupWindow()
{
    SetWindowText("Sound Power Analysis");
    for (auto& b : m_buttons)
        if (b)
            b->SetFont(&m_font);
    Reset();
}

void CSoundPowerAnalysisView::Reset()
{
    std::fill(std::begin(m_levels), std::end(m_levels), 0.0f);
    FillGrid();
    ApplySizeRule();
    Invalidate();
}

int CSoundPowerAnalysisView::CountShownChannels()
{
    int count = 0;
    for (int k = 0; k < 16; ++k) {
        const bool sum = m_host.composites && (m_host.composites[k].CompositeType == 0 || m_host.composites[k].CompositeType == 5);
        m_shown[k] = m_host.CompositeEnabled(k) && sum ? 1 : 0;
        count += m_shown[k];
    }
    return count;
}

void CSoundPowerAnalysisView::FillGrid()
{
    if (!m_grid)
        return;
    m_grid->Clear();
    const int shown = CountShownChannels();
    m_grid->SetSize(static_cast<WORD>(std::max(shown, 1) + 1), 2);
    m_grid->SetHeaderRows(1, 0);
    m_grid->SetCellText(0, 0, "Composite Channel");
    m_grid->SetCellText(0, 1, "Sound Power (dBA)");
    WORD row = 1;
    for (int k = 0; k < 16; ++k) {
        if (!m_shown[k])
            continue;
        std::string label = std::to_string(k);
        SpectralData* e = m_host.CompositeEngine(k);
        if (e && e->GetUnitsLabel()[0] != '\0')
            label = std::string(1, GetChannelLetter(k)) + " " + e->GetUnitsLabel();
        m_grid->SetCellText(row++, 0, label.c_str());
    }
    m_grid->SetColumnFormat(0, 2);
    m_grid->SetColumnFormat(1, 2);
    WriteValues();
}

std::string CSoundPowerAnalysisView::CheckSources(int k) const
{
    if (!m_host.composites || !m_host.calibration || !m_host.processing || k < 0 || k >= 16)
        return {};
    for (int ch = 0; ch < 8; ++ch) {
        if (m_host.composites[k].IncludeInAverage[ch] == 0)
            continue;
        const WORD units = static_cast<WORD>(m_host.calibration[ch].RefUnits);
        if (units != 2 && units != 8)
            return "Error: The source channels must be calibrated to units of SPL.";
        const ChannelProcessingSettings& p = m_host.processing[ch];
        if (p.AverageMode == 0 && p.AverageBlocks < 1000)
            return "Error: The source channel averaging must be set to \"Infinite\".";
        if (p.AverageMode == 1 && p.AverageSpeed != 4)
            return "Error: The source channel averaging must be set to \"Forever\".";
    }
    return {};
}

void CSoundPowerAnalysisView::WriteValues()
{
    if (!m_grid)
        return;
    bool any = false;
    WORD row = 1;
    for (int k = 0; k < 16; ++k) {
        if (!m_shown[k])
            continue;
        any = true;
        const std::string problem = CheckSources(k);
        if (!problem.empty())
            m_grid->SetCellText(row, 1, problem.c_str());
        else if (m_host.composites && m_host.composites[k].CompositeType == 5)
            m_grid->SetCellText(row, 1, "N/A"); // a real-valued sum has no power spectrum to take Lp from
        else if (MeanPressureLevel(k) == kNoLevelDb)
            m_grid->SetCellText(row, 1, ""); // nothing measured yet
        else
            m_grid->SetCellValue(row, 1, m_levels[k], 3);
        ++row;
    }
    if (!any)
        m_grid->SetCellText(1, 1, "Error: No multichannel composite average channels are enabled");
    m_grid->Redraw(1);
}

float CSoundPowerAnalysisView::MeanPressureLevel(int k) const
{
    // ISO 3744's mean over the microphone positions: the energy mean of each microphone's
    // A-weighted level. The composite's own spectrum sums them, N microphones reading
    // 10 log10 N dB above it (more for correlated ones).
    double energy = 0.0;
    int count = 0;
    if (!m_host.composites || k < 0 || k >= 16)
        return kNoLevelDb;
    for (int ch = 0; ch < 8; ++ch) {
        if (m_host.composites[k].IncludeInAverage[ch] == 0)
            continue;
        SpectralData* e = m_host.Engine(ch);
        if (!e || e->GetAverageCount() <= 0)
            continue;
        const float level = e->TotalLevel(static_cast<UINT>(e->GetFirstBin()), static_cast<UINT>(e->GetLastBin()), 1, 1);
        energy += std::pow(10.0, level / 10.0);
        ++count;
    }
    return count > 0 && energy > 0.0 ? static_cast<float>(10.0 * std::log10(energy / count)) : kNoLevelDb;
}

float CSoundPowerAnalysisView::ComputeLevel(int k)
{
    if (k < 0 || k >= 16 || !m_shown[k] || !m_host.CompositeEnabled(k) || !m_host.composites ||
        m_host.composites[k].CompositeType != 0 || !m_host.soundPower)
        return 0.0f;
    const float lp = MeanPressureLevel(k);
    if (lp == kNoLevelDb)
        return 0.0f;
    const SoundPowerChannelSettings& s = m_host.soundPower[k];
    const double area = std::max(0.0f, s.SurfaceArea);
    // A zero area has no sound power; log10(0) would write -inf into the grid.
    if (!(area > 0.0))
        return 0.0f;
    return static_cast<float>(10.0 * std::log10(area) + (lp - s.BackgroundCorrection - s.EnvironmentalCorrection));
}

void CSoundPowerAnalysisView::Update()
{
    for (int k = 0; k < 16; ++k)
        m_levels[k] = ComputeLevel(k);
    WriteValues();
}

void CSoundPowerAnalysisView::ApplySizeRule(int cx, int cy)
{
    if (!m_grid || !GetSafeHwnd() || m_sizing)
        return;
    m_sizing = true;
    const int columns = m_grid->GetColumnCount() == 0 ? 2 : m_grid->GetColumnCount();
    const RECT client = FitGridToWholeRows(this, m_grid.get(), m_grid->GetRowCount(), columns, cx, cy, m_minRowHeight,
                                           m_maxRowHeight, 100, m_rowHeight);
    const int gridBottom = std::max(0, static_cast<int>(client.bottom) - 20);
    const int height = std::max(1, static_cast<int>(client.bottom) - gridBottom - 2);
    if (m_buttons[0])
        m_buttons[0]->MoveWindow(1, gridBottom + 2, 79, height);
    if (m_buttons[1])
        m_buttons[1]->MoveWindow(81, gridBottom + 2, 160, height);
    Invalidate();
    m_sizing = false;
}

void CSoundPowerAnalysisView::OnSize(UINT, int cx, int cy)
{
    ApplySizeRule(cx, cy);
    FillGrid();
}

LRESULT CSoundPowerAnalysisView::OnGridRButton(WPARAM wParam, LPARAM lParam)
{
    if (TrackCopyPopup(m_grid.get(), static_cast<int>(wParam), static_cast<int>(lParam)))
        CopySoundPowerToClipboard();
    return 1;
}

std::string CSoundPowerAnalysisView::ClipboardText() const
{
    std::string text;
    for (int k = 0; k < 16; ++k)
        if (m_shown[k])
            text += Printf("Channel %c\t%6.2f\n", GetChannelLetter(k), static_cast<double>(m_levels[k]));
    return text + "\r\n";
}

bool CSoundPowerAnalysisView::CopySoundPowerToClipboard()
{
    int shown = 0;
    for (BYTE s : m_shown)
        shown += s;
    return CopyResultText(this, ClipboardText(), static_cast<std::size_t>(shown + 2) * 4000,
                          "CopySoundPowerToClipboard() - Insufficient Memory available");
}

void CSoundPowerAnalysisView::OnOptions()
{
    if (!m_host.soundPower)
        return;
    CSoundPowerOptionsDialog dlg(this, m_host.soundPower);
    if (dlg.DoModal() == IDOK)
        Reset();
}
