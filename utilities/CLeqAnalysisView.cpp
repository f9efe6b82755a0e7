#include "utilities/CLeqAnalysisView.h"

#include "dsp/SpectralData.h"
#include "records/CommonRoutines.h"
#include "utilities/CLeqOptionsDialog.h"
#include "utilities/ResultWindowSupport.h"

#include <algorithm>
#include <cmath>
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

UtilityHost::SampleClock CLeqAnalysisView::Clock(int channel) const
{
    return m_host.sampleClock ? m_host.sampleClock(channel) : UtilityHost::SampleClock{};
}

long long CLeqAnalysisView::HopSamples(DWORD rate)
{
    // A Hanning window squared adds up to a constant at a quarter block's hop or less: every
    // sample then weighs alike in the levels.
    const long long feed = std::llround(TLeqCalc::kFeedSeconds * rate);
    return std::clamp<long long>(feed, 1, TLeqCalc::kBlock / 4);
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
    // Before a live run starts its first sample is number 0, whatever the last run counted.
    const bool coming = m_host.Mode() != 2 && !(m_host.liveRunning && m_host.liveRunning());
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
        const UtilityHost::SampleClock clock = Clock(ch);
        c.start = -1;
        if (coming)
            Begin(c, 0, clock.rate);
        else if (clock.rate > 0)
            Begin(c, clock.next, clock.rate);
    }
}

void CLeqAnalysisView::Begin(Channel& c, long long start, DWORD rate)
{
    c.start = start;
    const long long hop = HopSamples(rate);
    c.nextBlock = start - (TLeqCalc::kBlock - 1) / hop * hop;
    c.closedAt = -1;
    c.lost = 0.0;
    c.lastRecalc = rate > 0 ? static_cast<double>(start) / rate : 0.0;
}

UtilityHost::SampleRead CLeqAnalysisView::ReadBlock(int channel, long long end)
{
    Channel& c = m_channels[static_cast<std::size_t>(channel)];
    const long long block = TLeqCalc::kBlock;
    const long long from = std::max(c.start, c.nextBlock), to = std::min(end, c.nextBlock + block);
    std::fill(c.buffer.begin(), c.buffer.end(), 0.0f);
    if (to <= from)
        return UtilityHost::SampleRead::Ok;
    return m_host.readSamples(channel, from, static_cast<DWORD>(to - from), c.buffer.data() + (from - c.nextBlock));
}

double CLeqAnalysisView::Covered(int channel, DWORD rate) const
{
    const Channel& c = m_channels[static_cast<std::size_t>(channel)];
    if (c.closedAt >= 0)
        return static_cast<double>(c.closedAt - c.start) / rate;
    // The samples up to the last block's middle and half a hop on weigh whole, on the whole:
    // those before it weigh more than once, those after less.
    const long long hop = HopSamples(rate);
    const double middle = static_cast<double>(c.nextBlock - hop) + TLeqCalc::kBlock / 2.0 + hop / 2.0;
    return std::max(0.0, (middle - static_cast<double>(c.start)) / rate);
}

bool CLeqAnalysisView::Feed(int channel, long long now, DWORD rate, bool final)
{
    Channel& c = m_channels[static_cast<std::size_t>(channel)];
    if (!m_host.readSamples || c.closedAt >= 0)
        return false;
    const long long block = TLeqCalc::kBlock;
    const long long hop = HopSamples(rate);
    const double seconds = static_cast<double>(hop) / rate;
    bool fed = false, skipped = false;
    while (c.nextBlock + block <= now) {
        const UtilityHost::SampleRead read = ReadBlock(channel, now);
        if (read == UtilityHost::SampleRead::NotYet)
            return fed;
        if (read == UtilityHost::SampleRead::Gone) {
            // The ring went on without us: go on from the newest whole block, whose level
            // stands for the samples lost.
            const long long newest = c.nextBlock + (now - block - c.nextBlock) / hop * hop;
            if (skipped || newest <= c.nextBlock || newest < c.start)
                return fed;
            c.lost += static_cast<double>(newest - c.nextBlock) / rate;
            c.nextBlock = newest;
            skipped = true;
            continue;
        }
        if (c.nextBlock < c.start) {
            c.calc->Integrate(c.buffer.data(), seconds);
        } else {
            c.calc->Accumulate(c.buffer.data(), seconds + c.lost);
            c.lost = 0.0;
        }
        c.nextBlock += hop;
        fed = true;
    }
    if (final && c.lost == 0.0) {
        // The run ends: the blocks that reach past its last sample count its last samples in.
        while (c.nextBlock < now) {
            if (ReadBlock(channel, now) != UtilityHost::SampleRead::Ok)
                return fed;
            c.calc->Integrate(c.buffer.data(), seconds);
            c.nextBlock += hop;
        }
        c.closedAt = now;
        fed = true;
    }
    return fed;
}

void CLeqAnalysisView::Process(bool final)
{
    bool fedAny = false;
    for (int ch = 0; ch < 8; ++ch) {
        Channel& c = m_channels[static_cast<std::size_t>(ch)];
        if (!c.computed || !c.calc || c.buffer.size() < TLeqCalc::kBlock)
            continue;
        const UtilityHost::SampleClock clock = Clock(ch);
        if (clock.rate == 0)
            continue;
        if (c.start < 0)
            Begin(c, clock.next, clock.rate);
        // Between live runs the rings hold the last run's samples, not this measurement's.
        const bool going = m_host.Mode() == 2 || final || (m_host.liveRunning && m_host.liveRunning());
        if (going && clock.next >= c.start) {
            fedAny |= Feed(ch, clock.next, clock.rate, final);
            c.calc->SetElapsed(static_cast<float>(static_cast<double>(clock.next - c.start) / clock.rate),
                               Covered(ch, clock.rate));
        }
        const double now = static_cast<double>(clock.next) / clock.rate;
        const LeqChannelSettings& s = c.calc->GetSettings();
        bool recalc = final;
        if (s.RecalcMode != 1) {
            double since = now - c.lastRecalc;
            if (since < 0.0) {
                since = 0.001;
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
