#include "plots/CDataView.h"

#include "dsp/SpectralData.h"
#include "records/AppMessages.h"
#include "records/ChannelCalibration.h"
#include "records/CommonRoutines.h"
#include "records/TimeSeriesPlotSettings.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

BEGIN_MESSAGE_MAP(CDataView, CWnd)
    ON_WM_SIZE()
    ON_WM_VSCROLL()
    ON_WM_PAINT()
    ON_WM_CLOSE()
END_MESSAGE_MAP()

CDataView::CDataView() = default;

CDataView::~CDataView()
{
    m_scroll.reset();
    if (m_hWnd)
        DestroyWindow();
}

bool CDataView::Create(CWnd* owner, RECT rect, SpectralData* source, int channel, bool composite, int kind)
{
    m_ownerPlot = owner;
    m_kind = static_cast<WORD>(kind);
    m_channel = static_cast<DWORD>(std::max(channel, 0));
    m_composite = composite ? 1 : 0;
    m_source = source;
    LPCSTR cls = AfxRegisterWndClass(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
    const CRect place(rect.left, rect.top, rect.left + kWidth, rect.top + kHeight);
    if (!CreateEx(WS_EX_TOOLWINDOW, cls, "DataView", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                  place, owner, 0))
        return false;
    m_font.CreateFont(15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CRect client;
    GetClientRect(&client);
    m_scroll = std::make_unique<CScrollBar>();
    m_scroll->Create(WS_CHILD | WS_VISIBLE | SBS_VERT,
                     CRect(client.right - kScrollWidth, 0, client.right, client.bottom), this, kScrollId);
    ResetScrollRange(TRUE);
    m_scroll->ShowScrollBar(TRUE);
    UpdateTitle();
    // The window manager elides a title that does not fit ("Spectral ... ta - Ch 0"): widen the
    // window until the whole title shows.
    const int titleWidth = TitleBarWidthFor(GetWindowTextString());
    if (titleWidth > kWidth)
        SetWindowPos(nullptr, 0, 0, titleWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CDataView::SetSeriesSource(const DataViewSeriesSource& series)
{
    m_series = series;
    if (m_hWnd) {
        ResetScrollRange(TRUE);
        Invalidate();
    }
}

void CDataView::SetSource(SpectralData* source)
{
    m_source = source;
    if (m_hWnd) {
        ResetScrollRange(TRUE);
        UpdateTitle();
        Invalidate();
    }
}

void CDataView::Refresh()
{
    if (!m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    CRect values(client.left + kColumnWidth + 1, client.top + kRowHeight + 1, client.right, client.bottom);
    InvalidateRect(&values, FALSE);
}

bool CDataView::SeriesLive() const
{
    return m_series.settings == nullptr || m_series.settings->TimeSeriesDataSource != 0;
}

int CDataView::ItemCount() const
{
    if ((m_kind == 2 || m_kind == 3) && m_source)
        return std::max(m_source->GetLastBin() + 2 - m_source->GetFirstBin(), 0);
    if (m_kind == 1) {
        if (SeriesLive() && m_series.buffer)
            return static_cast<int>(std::min<DWORD>(m_series.buffer->GetSamplesPerChannel(), 0x7FFFFFFE) + 1);
        if (!SeriesLive() && m_series.file)
            return static_cast<int>(std::min<DWORD>(m_series.file->GetEndFrame(), 0x7FFFFFFE) + 1);
    }
    return 12;
}

int CDataView::VisibleRows() const
{
    if (!m_hWnd)
        return 0;
    CRect client;
    GetClientRect(&client);
    return client.Height() / kRowHeight;
}

int CDataView::GetScrollPosition() const { return m_scroll ? m_scroll->GetScrollPos() : 0; }

void CDataView::ResetScrollRange(BOOL redraw)
{
    if (!m_scroll)
        return;
    m_scroll->SetScrollRange(0, std::max(ItemCount() - VisibleRows(), 0), redraw);
}

void CDataView::UpdateTitle()
{
    if (!m_hWnd)
        return;
    const char* format = nullptr;
    switch (m_kind) {
    case 1: format = m_composite ? "Time Series - Ch %c" : "Time Series - Ch %d"; break;
    case 2: format = m_composite ? "Spectral Data - Ch %c" : "Spectral Data - Ch %d"; break;
    case 3: format = m_composite ? "Phase Data - Ch %c" : "Phase Data - Ch %d"; break;
    default: SetWindowText("Data View"); return;
    }
    char title[64];
    if (m_composite)
        std::snprintf(title, sizeof title, format, GetChannelLetter(static_cast<int>(m_channel)));
    else
        std::snprintf(title, sizeof title, format, static_cast<int>(m_channel));
    SetWindowText(title);
}

void CDataView::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    if (m_scroll && m_scroll->GetSafeHwnd()) {
        m_scroll->MoveWindow(cx - kScrollWidth, 0, kScrollWidth, cy);
        ResetScrollRange(TRUE);
    }
    Invalidate();
}

void CDataView::OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar)
{
    if (!m_scroll || pScrollBar != m_scroll.get())
        return;
    m_painting = 0;
    int p = m_scroll->GetScrollPos();
    switch (nSBCode) {
    case SB_LINEUP: p -= 1; break;
    case SB_LINEDOWN: p += 1; break;
    case SB_PAGEUP: p -= 12; break;
    case SB_PAGEDOWN: p += 12; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: p = static_cast<int>(nPos); break;
    default: break;
    }
    int lo = 0, hi = 0;
    m_scroll->GetScrollRange(&lo, &hi);
    m_scroll->SetScrollPos(std::clamp(p, lo, std::max(lo, hi)), FALSE);
    m_painting = 1;
    Invalidate();
}

void CDataView::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, RGB(255, 255, 255));
    DrawAll(&dc, true, client);
}

void CDataView::OnClose()
{
    if (m_ownerPlot && m_ownerPlot->GetSafeHwnd())
        m_ownerPlot->SendMessage(WM_DATAVIEW_CLOSING, 0, reinterpret_cast<LPARAM>(this));
}

void CDataView::DrawAll(CDC* dc, bool full, const RECT& rect)
{
    if (!m_painting)
        return;
    DrawFrame(dc, full, rect);
    DrawValues(dc, full, rect);
}

void CDataView::DrawFrame(CDC* dc, bool, const RECT& rect)
{
    const int saved = dc->SaveDC();
    CPen grey(PS_SOLID, 1, RGB(128, 128, 128));
    dc->SelectObject(&grey);
    const CRect r(rect);
    for (int i = 0; i <= r.Height() / kRowHeight; ++i) {
        dc->MoveTo(r.left, r.top + i * kRowHeight);
        dc->LineTo(r.right, r.top + i * kRowHeight);
    }
    for (int i = 0; i <= r.Width() / kColumnWidth; ++i) {
        dc->MoveTo(r.left + i * kColumnWidth, r.top);
        dc->LineTo(r.left + i * kColumnWidth, r.bottom);
    }
    dc->RestoreDC(saved);
}

bool CDataView::SeriesItem(int item, double& milliseconds, double& value) const
{
    milliseconds = 0.0;
    value = 0.0;
    const DWORD i = static_cast<DWORD>(item);
    if (SeriesLive() && m_series.buffer) {
        if (i >= m_series.buffer->GetSamplesPerChannel())
            return false;
        milliseconds = m_series.buffer->IndexToTime(i) * 1000.0;
        value = m_series.buffer->GetSample(i, true);
    } else if (!SeriesLive() && m_series.file) {
        if (i >= m_series.file->GetEndFrame())
            return false;
        milliseconds = m_series.file->FramesToSeconds(i) * 1000.0;
        value = m_series.file->GetSample(i, m_series.fileChannel, true);
    } else {
        // Neither source: the rows list zeros, as the window's twelve empty items.
        if (item >= 12)
            return false;
    }
    // Without the frame's record, the calibration the samples were scaled with.
    ChannelCalibration calibration;
    calibration.IsEnabled = 0;
    if (m_series.calibration)
        calibration = *m_series.calibration;
    else if (SeriesLive() && m_series.buffer)
        m_series.buffer->GetScaling(calibration);
    else if (!SeriesLive() && m_series.file)
        m_series.file->GetChannelCalibration(calibration, m_series.fileChannel);
    const WORD scale = m_series.settings ? m_series.settings->AmpScaleType : 0;
    if (scale == 0 && !calibration.IsEnabled)
        value *= 100.0;
    else if (scale == 1)
        value = ConvertToDecibels(calibration, static_cast<float>(std::fabs(value)));
    return true;
}

std::string CDataView::CellText(int row, int column) const
{
    if (row < 1)
        return {};
    const int item = GetScrollPosition() + row - 1;
    char text[64] = {};
    if (m_kind == 1) {
        double ms = 0.0, v = 0.0;
        if (!SeriesItem(item, ms, v))
            return {};
        std::snprintf(text, sizeof text, column == 0 ? "%f" : "%3.6f", column == 0 ? ms : v);
        return text;
    }
    if ((m_kind != 2 && m_kind != 3) || !m_source)
        return {};
    const int bin = m_source->GetFirstBin() + item;
    if (bin > m_source->GetLastBin())
        return {};
    if (column == 0) {
        std::snprintf(text, sizeof text, "%3.4f", m_source->GetBinFrequency(static_cast<UINT>(bin)));
    } else if (m_kind == 2) {
        const bool dB = m_source->GetAmpScaleType() == 1;
        std::snprintf(text, sizeof text, dB ? "%3.4f" : "%3.6f", m_source->GetLevel(bin));
    } else {
        std::snprintf(text, sizeof text, "%3.4f", m_source->GetPhaseDegrees(bin));
    }
    return text;
}

void CDataView::DrawValues(CDC* dc, bool, const RECT& rect)
{
    const CRect r(rect);
    const int saved = dc->SaveDC();
    dc->SelectObject(&m_font);
    dc->SetTextAlign(TA_RIGHT | TA_TOP);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(0, 0, 0));
    const char* header1 = "Hz";
    const char* header2 = "";
    if (m_kind == 1) {
        header1 = "Milliseconds";
        header2 = "Value";
    } else if (m_kind == 2 && m_source) {
        header2 = m_source->GetAmpScaleType() == 1 ? "dB" : "level";
    } else if (m_kind == 3 && m_source) {
        header2 = "degrees";
    } else {
        header1 = "";
    }
    dc->TextOut(r.left + 98, r.top + 2, header1);
    dc->TextOut(r.left + 198, r.top + 2, header2);
    const int rows = r.Height() / kRowHeight;
    const bool second = m_kind != 3 || r.Width() > kColumnWidth;
    for (int row = 1; row < rows; ++row) {
        const std::string a = CellText(row, 0);
        if (a.empty())
            break;
        dc->TextOut(r.left + 98, r.top + kRowHeight * row + 2, a);
        if (second)
            dc->TextOut(r.left + 198, r.top + kRowHeight * row + 2, CellText(row, 1));
    }
    dc->RestoreDC(saved);
}
