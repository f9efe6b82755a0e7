#include "utilities/CAnalysisView.h"

#include "dsp/SpectralData.h"
#include "records/CommonRoutines.h"
#include "utilities/ResultWindowSupport.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(CAnalysisView, CUtilityWindow)
    ON_WM_SIZE()
    ON_MESSAGE(WM_GRID_RBUTTON, &CAnalysisView::OnGridRButton)
END_MESSAGE_MAP()

namespace {
struct KindInfo {
    const char* title;
    const char* head; // null: no header row
    int decimals;
};
constexpr KindInfo kKinds[] = {
    {"THD", "THD %", 6},           {"THD+N", "THD+N %", 6},     {"IMD", "IMD %", 6},
    {"SNR", "SNR dB", 6},          {"SINAD", "SINAD dB", 6},    {"SFDR", "SFDR dB", 6},
    {"NF", "NF", 6},               {"Peak Frequency", "Peak Freq Hz", 2}, {"Peak Level", "Peak Level", 4},
    {"Total Power", "Total Pwr", 4}, {"RPM", nullptr, 2},
};
constexpr WORD kRpm = 10;
} // namespace

CAnalysisView::~CAnalysisView()
{
    // The grid is a child: it goes before the window it lives in.
    m_grid.reset();
}

const char* CAnalysisView::KindTitle(WORD kind)
{
    return kind < std::size(kKinds) ? kKinds[kind].title : "";
}

BOOL CAnalysisView::Create(CWnd* frame, int left, int top, int, int, WORD kind)
{
    m_kind = kind;
    if (!CreateToolWindow(frame, left, top, 100, 20, "Analysis Viewer"))
        return FALSE;
    m_grid = std::make_unique<CDataGrid>();
    const RECT r{0, 0, 100, 20};
    m_grid->Create("Data", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, r, this, kGridId);
    m_grid->ShowWindow(SW_SHOW);
    SetupWindow();
    return TRUE;
}

void CAnalysisView::SetupWindow()
{
    SetWindowText(KindTitle(m_kind));
    Reset();
}

void CAnalysisView::Reset()
{
    const int rowsBefore = m_grid ? m_grid->GetRowCount() : 0;
    FillGrid();
    // Fewer rows than before (files closed, channels switched off) keep their height and the
    // window shrinks to them: stretched over the old height they would show a huge font.
    if (m_grid && m_grid->GetRowCount() < rowsBefore)
        SetRowsHeight(m_rowHeight);
    ApplySizeRule();
    UpdateResults();
}

int CAnalysisView::CountShownChannels()
{
    if (m_kind == kRpm)
        return 1;
    int count = 0;
    for (int ch = 0; ch < 8; ++ch) {
        m_shown[ch] = m_host.InputShown(ch) ? 1 : 0;
        count += m_shown[ch];
    }
    for (int k = 0; k < 16; ++k) {
        m_shownComposite[k] = m_host.CompositeEnabled(k) ? 1 : 0;
        count += m_shownComposite[k];
    }
    return count;
}

void CAnalysisView::FillGrid()
{
    if (!m_grid)
        return;
    RECT client{};
    GetClientRect(&client);
    m_grid->MoveWindow(0, 0, client.right, client.bottom, FALSE);
    m_grid->Clear();
    const int shown = CountShownChannels();
    if (m_kind == kRpm) {
        m_grid->SetSize(1, 1);
        m_grid->SetColumnFormat(0, 2);
    } else if (m_kind < std::size(kKinds)) {
        const WORD columns = (m_kind == 8 || m_kind == 9) ? 3 : 2;
        m_grid->SetSize(static_cast<WORD>(shown + 1), columns);
        m_grid->SetHeaderRows(1, 0);
        m_grid->SetCellText(0, 0, "Channel");
        m_grid->SetCellText(0, 1, kKinds[m_kind].head);
        if (columns == 3)
            m_grid->SetCellText(0, 2, "Units");
        WORD row = 1;
        auto label = [&](SpectralData* engine, const std::string& name) {
            std::string text = name;
            if (engine && engine->GetUnitsLabel()[0] != '\0')
                text += std::string(" ") + engine->GetUnitsLabel();
            m_grid->SetCellText(row, 0, text.c_str());
            if (columns == 3 && engine)
                m_grid->SetCellText(row, 2, engine->GetAmplitudeLabel());
            ++row;
        };
        for (int ch = 0; ch < 8; ++ch)
            if (m_shown[ch])
                label(m_host.Engine(ch), std::to_string(ch));
        for (int k = 0; k < 16; ++k)
            if (m_shownComposite[k])
                label(m_host.CompositeEngine(k), std::string(1, GetChannelLetter(k)));
        m_grid->SetColumnFormat(1, kKinds[m_kind].decimals);
    }
    UpdateResults();
}

std::optional<float> CAnalysisView::ComputeValue(SpectralData& e) const
{
    switch (m_kind) {
    case 0: return e.ComputeThd();
    case 1: return e.ComputeThdN();
    case 2: return e.ComputeImd();
    case 3: return e.ComputeSnr();
    case 4: return e.ComputeSinad();
    case 5: return e.ComputeSfdr();
    case 7: return e.GetPeakFrequency();
    case 8: return e.GetLevel(e.FindPeakBin());
    case 9:
        return e.TotalLevel(static_cast<UINT>(e.GetFirstBin()), static_cast<UINT>(e.GetLastBin()),
                            static_cast<WORD>(e.GetAmpScaleType()), e.GetTotalPowerWeighting());
    default: return 0.0f; // 6: no noise-figure measure exists
    }
}

void CAnalysisView::UpdateResults()
{
    if (!m_grid)
        return;
    if (m_kind == kRpm) {
        const float rpm = m_host.tachometerValue ? m_host.tachometerValue() : 0.0f;
        if (m_host.latestTachometer)
            *m_host.latestTachometer = rpm;
        m_grid->SetCellValue(0, 0, rpm, 3);
        m_grid->Redraw(0);
        return;
    }
    if (m_kind >= std::size(kKinds))
        return;
    const int tacho = m_host.tachometerChannel ? m_host.tachometerChannel() : -1;
    WORD row = 1;
    for (int ch = 0; ch < 8; ++ch) {
        if (!m_shown[ch])
            continue;
        if (SpectralData* e = m_host.Engine(ch)) {
            if (ch == tacho)
                m_grid->SetCellText(row, 1, "N/A");
            else
                ShowMeasure(row, *e);
        }
        ++row;
    }
    for (int k = 0; k < 16; ++k) {
        if (!m_shownComposite[k])
            continue;
        if (SpectralData* e = m_host.CompositeEngine(k))
            ShowMeasure(row, *e);
        ++row;
    }
    m_grid->Redraw(1);
}

void CAnalysisView::ShowMeasure(WORD row, SpectralData& engine)
{
    // Nothing measured yet: blank, rather than a peak at 0 Hz or a level of -999 dB.
    if (engine.GetAverageCount() <= 0)
        m_grid->SetCellText(row, 1, "");
    else
        ShowValue(row, ComputeValue(engine));
}

void CAnalysisView::ShowValue(WORD row, std::optional<float> value)
{
    // A measure with nothing to measure says so rather than showing a number.
    if (value)
        m_grid->SetCellValue(row, 1, *value, 3);
    else
        m_grid->SetCellText(row, 1, "N/A");
}

// Rows keep a height of 16..48 pixels: the window is made tall enough for whole rows and
// never narrower than the columns and their texts need.
void CAnalysisView::ApplySizeRule(int cx, int cy)
{
    if (!m_grid || !GetSafeHwnd() || m_sizing)
        return;
    m_sizing = true;
    RECT client{};
    GetClientRect(&client);
    if (cx < 0 || cy < 0) {
        cx = client.right - client.left;
        cy = client.bottom - client.top;
    }
    const int rows = std::max<int>(1, m_grid->GetRowCount());
    const int columns = m_grid->GetColumnCount() == 0 ? 2 : m_grid->GetColumnCount();
    m_rowHeight = std::clamp(cy / rows, m_minRowHeight, m_maxRowHeight);
    // The font grows with the rows faster than this width does: a column holding a longer
    // text (an amplitude label, a channel's name) is made as wide as that text needs.
    const int minWidth = std::max(m_rowHeight * 4 + 90, m_grid->TextColumnWidth(m_rowHeight)) * columns;
    const int wantedClient = m_rowHeight * rows;
    if (cx < minWidth || cy != wantedClient)
        SetClientSize(this, std::max(cx, minWidth), wantedClient);
    Invalidate();
    m_sizing = false;
    FillGrid();
}

void CAnalysisView::LimitRowHeight(int height)
{
    if (!m_grid || !GetSafeHwnd() || height <= 0 || m_rowHeight <= height)
        return;
    SetRowsHeight(height);
    ApplySizeRule();
}

void CAnalysisView::SetRowsHeight(int height)
{
    if (!GetSafeHwnd())
        return;
    RECT client{};
    GetClientRect(&client);
    m_sizing = true;
    SetClientSize(this, client.right - client.left, std::max<int>(1, m_grid->GetRowCount()) * height);
    m_sizing = false;
}

void CAnalysisView::OnSize(UINT, int cx, int cy)
{
    ApplySizeRule(cx, cy);
}

LRESULT CAnalysisView::OnGridRButton(WPARAM wParam, LPARAM lParam)
{
    if (TrackCopyPopup(m_grid.get(), static_cast<int>(wParam), static_cast<int>(lParam)))
        CopyToClipboard();
    return 1;
}

std::string CAnalysisView::ClipboardText() const
{
    std::string text;
    if (!m_grid)
        return text;
    if (m_kind == kRpm)
        return Printf("%s\t%s\r\n", m_grid->GetCellText(0, 0), "RPM");
    for (WORD r = 0; r < m_grid->GetRowCount(); ++r) {
        if (m_grid->GetColumnCount() == 3)
            text += Printf("%s\t%s\t%s\r\n", m_grid->GetCellText(r, 0), m_grid->GetCellText(r, 1),
                           m_grid->GetCellText(r, 2));
        else
            text += Printf("%s\t%s\r\n", m_grid->GetCellText(r, 0), m_grid->GetCellText(r, 1));
    }
    return text;
}

bool CAnalysisView::CopyToClipboard()
{
    if (!m_grid)
        return false;
    const std::size_t rows = static_cast<std::size_t>(m_grid->GetRowCount());
    return CopyResultText(this, ClipboardText(), (rows + 1) * 256, "CopyToClipboard() - insufficient memory");
}
