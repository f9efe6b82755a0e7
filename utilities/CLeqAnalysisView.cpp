#include "utilities/CLeqAnalysisView.h"

#include "dsp/SpectralData.h"
#include "records/CommonRoutines.h"
#include "utilities/CLeqOptionsDialog.h"
#include "utilities/ResultWindowSupport.h"

#include <algorithm>
#include <new>

BEGIN_MESSAGE_MAP(CLeqAnalysisView, CUtilityWindow)
    ON_WM_SIZE()
    ON_MESSAGE(WM_GRID_RBUTTON, &CLeqAnalysisView::OnGridRButton)
    ON_COMMAND(CLeqAnalysisView::kOptions, &CLeqAnalysisView::OnOptions)
    ON_COMMAND(CLeqAnalysisView::kReset, &CLeqAnalysisView::OnResetButton)
    ON_COMMAND(CLeqAnalysisView::kCopy, &CLeqAnalysisView::OnCopyButton)
END_MESSAGE_MAP()

namespace {
const char* const kHeads[] = {"LeqT", "Leq", "Lsel", "Lpk", "Lmax", "Lmin", "L10", "L50", "L90"};
const char* WeightingUnit(WORD w)
{
    switch (w) {
    case 1: return " dB(A)";
    case 2: return " dB(B)";
    case 3: return " dB(C)";
    default: return " dB";
    }
}
} // namespace

CLeqAnalysisView::~CLeqAnalysisView()
{
    m_grid.reset();
    for (auto& b : m_buttons)
        b.reset();
}

BOOL CLeqAnalysisView::Create(CWnd* frame, int left, int top, int, int)
{
    if (!CreateToolWindow(frame, left, top, 100, 20, "Leq Analysis Viewer"))
        return FALSE;
    m_grid = std::make_unique<CDataGrid>();
    m_grid->Create("Data", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{0, 0, 100, 20}, this, kGridId);
    const char* const texts[] = {"Options...", "Reset", "Copy to Clipboard"};
    for (int i = 0; i < 3; ++i) {
        m_buttons[i] = std::make_unique<CButton>();
        m_buttons[i]->Create(texts[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 80, 20}, this,
                             kOptions + static_cast<UINT>(i));
    }
    m_font.CreateFont(15, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SetupWindow();
    return TRUE;
}

void CLeqAnalysisView::SetupWindow()
{
    SetWindowText("Leq Analysis");
    for (auto& b : m_buttons)
        if (b)
            b->SetFont(&m_font);
    Reset();
}

void CLeqAnalysisView::Reset()
{
    FillGrid();
    ApplySizeRule();
    SetupCalculators();
    Invalidate();
}

double CLeqAnalysisView::Now(int channel) const
{
    if (m_host.channelTime)
        return m_host.channelTime(channel);
    return GetSecondsOfDay();
}

int CLeqAnalysisView::CountComputedChannels()
{
    int count = 0;
    for (int ch = 0; ch < 8; ++ch) {
        m_channels[static_cast<std::size_t>(ch)].computed = m_host.InputComputed(ch) ? 1 : 0;
        count += m_channels[static_cast<std::size_t>(ch)].computed;
    }
    return count;
}

void CLeqAnalysisView::FillGrid()
{
    if (!m_grid)
        return;
    m_grid->Clear();
    const int count = CountComputedChannels();
    m_grid->SetSize(static_cast<WORD>(count + 1), 11);
    m_grid->SetHeaderRows(1, 0);
    m_grid->AddSpan(0, 0, 1, "Channel", 4, 3, 0, 1);
    for (WORD c = 0; c < 9; ++c)
        m_grid->SetCellText(0, static_cast<WORD>(c + 2), kHeads[c]);
    WORD row = 1;
    for (int ch = 0; ch < 8; ++ch) {
        if (!m_channels[static_cast<std::size_t>(ch)].computed)
            continue;
        std::string label = std::to_string(ch);
        SpectralData* e = m_host.Engine(ch);
        if (e && e->GetUnitsLabel()[0] != '\0')
            label += std::string(" ") + e->GetUnitsLabel();
        m_grid->AddSpan(row, 0, 1, label.c_str(), 4, 0, 0, 1);
        ++row;
    }
    for (WORD c = 1; c <= 10; ++c)
        m_grid->SetColumnFormat(c, 1);
    UpdateValues();
}

void CLeqAnalysisView::UpdateValues()
{
    if (!m_grid)
        return;
    WORD row = 1;
    for (const Channel& c : m_channels) {
        if (!c.computed)
            continue;
        if (c.calc)
            for (int r = 0; r < TLeqCalc::kResults; ++r)
                m_grid->SetCellValue(row, static_cast<WORD>(r + 2), c.calc->GetResult(r), 3);
        ++row;
    }
    for (int col = 2; col <= 10; ++col)
        m_grid->Redraw(col);
}

void CLeqAnalysisView::SetupCalculators()
{
    for (int ch = 0; ch < 8; ++ch) {
        Channel& c = m_channels[static_cast<std::size_t>(ch)];
        c.calc.reset();
        c.buffer.clear();
        c.buffer.shrink_to_fit();
        if (!c.computed || !m_host.leq || !m_host.processing || !m_host.scaling || !m_host.calibration)
            continue;
        try {
            c.buffer.assign(TLeqCalc::kBlock, 0.0f);
            c.calc = std::make_unique<TLeqCalc>(m_host.leq[ch], m_host.processing[ch], m_host.scaling[ch],
                                                m_host.calibration[ch]);
        } catch (const std::bad_alloc&) {
            c.calc.reset();
            c.buffer.clear();
        }
        const auto now = static_cast<float>(Now(ch));
        c.start = now;
        c.lastFeed = now;
        c.lastRecalc = now;
        c.middle = 0.0;
    }
}

double CLeqAnalysisView::HalfBlockSeconds(int channel) const
{
    const DWORD rate = m_host.processing ? m_host.processing[channel].SampleFormat.SampleRate : 0;
    return rate > 0 ? TLeqCalc::kBlock / 2.0 / rate : 0.0;
}

void CLeqAnalysisView::Process(bool final)
{
    bool fedAny = false;
    for (int ch = 0; ch < 8; ++ch) {
        Channel& c = m_channels[static_cast<std::size_t>(ch)];
        if (!c.computed || !c.calc || c.buffer.size() < TLeqCalc::kBlock)
            continue;
        const auto now = static_cast<float>(Now(ch));
        float dt = now - c.lastFeed;
        if (dt < 0.0f) {
            dt = 0.001f;
            c.lastFeed = now;
        }
        if (c.start == kNoStart)
            c.start = now;
        float elapsed = now - c.start;
        // A live run's time of day starts again at midnight; the run goes on across it.
        if (elapsed < 0.0f && m_host.Mode() != 2)
            elapsed += 86400.0f;
        if (elapsed >= 0.0f && (dt >= 0.1f || final))
            c.calc->SetElapsed(elapsed);
        bool fed = false;
        if (dt >= 0.1f) {
            c.lastFeed = now;
            fed = m_host.readSamples && m_host.readSamples(ch, TLeqCalc::kBlock, c.buffer.data());
        }
        if (fed && elapsed >= 0.0f) {
            // The block stands for the time since the previous block's middle. A live block
            // ends now; a file's block starts at the position.
            const double half = HalfBlockSeconds(ch);
            const double middle = m_host.Mode() == 2 ? elapsed + half : elapsed - half;
            c.calc->Accumulate(c.buffer.data(), std::max(0.0, middle - c.middle));
            c.middle = std::max(c.middle, middle);
            fedAny = true;
        }
        const LeqChannelSettings& s = c.calc->GetSettings();
        bool recalc = final;
        if (s.RecalcMode != 1) {
            float since = now - c.lastRecalc;
            if (since < 0.0f) {
                since = 0.001f;
                c.lastRecalc = now;
            }
            if (since >= s.Interval) {
                recalc = true;
                c.lastRecalc = now;
            }
        }
        // The results cover the whole run: a recalculation refreshes them, it starts nothing anew.
        if (recalc && c.calc->GetCount() > 0) {
            c.calc->Compute();
            fedAny = true;
        }
    }
    if (fedAny)
        UpdateValues();
}

bool CLeqAnalysisView::GetResults(int channel, float out[TLeqCalc::kResults]) const
{
    const TLeqCalc* calc = GetCalculator(channel);
    if (!calc)
        return false;
    for (int r = 0; r < TLeqCalc::kResults; ++r)
        out[r] = calc->GetResult(r);
    return true;
}

const TLeqCalc* CLeqAnalysisView::GetCalculator(int channel) const
{
    if (channel < 0 || channel >= 8)
        return nullptr;
    const Channel& c = m_channels[static_cast<std::size_t>(channel)];
    return c.computed ? c.calc.get() : nullptr;
}

void CLeqAnalysisView::ApplySizeRule(int cx, int cy)
{
    if (!m_grid || !GetSafeHwnd() || m_sizing)
        return;
    m_sizing = true;
    const int columns = m_grid->GetColumnCount() == 0 ? 2 : m_grid->GetColumnCount();
    const RECT client = FitGridToWholeRows(this, m_grid.get(), m_grid->GetRowCount(), columns, cx, cy, m_minRowHeight,
                                           m_maxRowHeight, 10, m_rowHeight);
    const int gridBottom = std::max(0, static_cast<int>(client.bottom) - 20);
    const int xs[4] = {1, 81, 161, 321};
    for (int i = 0; i < 3; ++i)
        if (m_buttons[i])
            m_buttons[i]->MoveWindow(xs[i], gridBottom + 2, xs[i + 1] - xs[i], std::max(1, static_cast<int>(client.bottom) - gridBottom - 2));
    Invalidate();
    m_sizing = false;
}

void CLeqAnalysisView::OnSize(UINT, int cx, int cy)
{
    ApplySizeRule(cx, cy);
    FillGrid();
}

LRESULT CLeqAnalysisView::OnGridRButton(WPARAM wParam, LPARAM lParam)
{
    if (TrackCopyPopup(m_grid.get(), static_cast<int>(wParam), static_cast<int>(lParam)))
        CopyLeqToClipboard();
    return 1;
}

std::string CLeqAnalysisView::ClipboardText() const
{
    std::string text;
    for (int ch = 0; ch < 8; ++ch) {
        const TLeqCalc* calc = GetCalculator(ch);
        if (!calc)
            continue;
        const LeqChannelSettings& s = calc->GetSettings();
        auto r = [&](int which) { return static_cast<double>(calc->GetResult(which)); };
        auto u = [&](int group) { return WeightingUnit(s.Weighting[group]); };
        using G = LeqChannelSettings;
        text += Printf("Channel %d\r\nLeq(t) Ref Time = %d sec\r\n\r\n", ch, s.ReferenceTime);
        text += Printf("Leq(t)  \t%6.2f \t%s\r\nLeq  \t%6.2f \t%s\r\nLsel  \t%6.2f  \t%s\r\n", r(TLeqCalc::kLeqT),
                       u(G::kLeqT), r(TLeqCalc::kLeq), u(G::kLeq), r(TLeqCalc::kLsel), u(G::kLsel));
        text += Printf("Lpk  \t%6.2f  \t%s\r\nLmax  \t%6.2f  \t%s\r\nLmin   \t%6.2f  \t%s\r\n", r(TLeqCalc::kLpk),
                       u(G::kLpk), r(TLeqCalc::kLmax), u(G::kLmaxMin), r(TLeqCalc::kLmin), u(G::kLmaxMin));
        text += Printf("L10  \t%6.2f  \t%s\r\nL50   \t%6.2f  \t%s\r\nL90  \t%6.2f \t%s\r\n\r\n", r(TLeqCalc::kL10),
                       u(G::kPercentile), r(TLeqCalc::kL50), u(G::kPercentile), r(TLeqCalc::kL90),
                       u(G::kPercentile));
    }
    return text + "\r\n";
}

bool CLeqAnalysisView::CopyLeqToClipboard()
{
    if (!m_grid)
        return false;
    int computed = 0;
    for (const Channel& c : m_channels)
        computed += c.computed;
    return CopyResultText(this, ClipboardText(), static_cast<std::size_t>(computed + 2) * 4000,
                          "CopyLeqToClipboard() - Insufficient Memory available");
}

void CLeqAnalysisView::OnOptions()
{
    if (!m_host.leq)
        return;
    CLeqOptionsDialog dlg(this, m_host.leq);
    if (dlg.DoModal() == IDOK)
        Reset();
}
