#include "plots/TToolStripPlot.h"

#include "plots/PlotTextClipboard.h"
#include "records/PhasePlotSettings.h"
#include "records/TimeSeriesPlotSettings.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "plots/CDataView.h"

template <class Base> TToolStripPlot<Base>::TToolStripPlot() = default;

// The value window closes before the plot it reads from.
template <class Base> TToolStripPlot<Base>::~TToolStripPlot() { m_dataView.reset(); }

template <class Base> BOOL TToolStripPlot<Base>::CreateWithControls(LPCSTR title, DWORD style, const RECT* rect)
{
    m_title = title ? std::string(title).substr(0, 259) : std::string();
    m_creating = true;
    this->UseSettings(this->m_settings);
    if (!this->CreatePlotWindow(m_title.c_str(), style, rect)) {
        m_creating = false;
        return FALSE;
    }
    this->CreateControls();
    return TRUE;
}

template <class Base> void TToolStripPlot<Base>::CreateToggleAndScroll()
{
    m_toggle = std::make_unique<CButton>();
    m_toggle->Create("-", WS_CHILD | WS_VISIBLE | BS_FLAT, CRect(4, 34, 14, 44), this, kToggle);
    m_toggle->SetFont(&m_font);
    m_scroll = std::make_unique<CScrollBar>();
    m_scroll->Create(WS_CHILD | SBS_HORZ, CRect(0, 0, 10, kScrollHeight), this, kScrollBarId);
}

template <class Base> CWnd* TToolStripPlot<Base>::Frame() const
{
    CWnd* frame = this->GetMDIFrame();
    return frame ? frame : AfxGetMainWnd();
}

template <class Base>
void TToolStripPlot<Base>::TrackCursorMenu(CPoint client, const char* xName, const char* yName)
{
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kCopyCursor, "Copy measurement cursor Values to clipboard");
    menu.AppendMenu(MF_STRING, kCopyBitmap, "Copy to clipboard as Bitmap");
    CPoint screen = client;
    this->ClientToScreen(&screen);
    const UINT chosen = static_cast<UINT>(
        menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, this));
    if (chosen == kCopyCursor)
        CopyCursorValuesToClipboard(this, xName, static_cast<double>(this->GetXReadoutValue()), yName,
                                    static_cast<double>(this->GetYReadoutValue()));
    else if (chosen == kCopyBitmap)
        OnCopyBitmap();
    this->TPlotBase::OnLButtonUp(0, client);
}

template <class Base>
CDataView* TToolStripPlot<Base>::ToggleDataView(SpectralData* source, int index, bool composite, int kind)
{
    if (m_dataView) {
        m_dataView.reset();
        return nullptr;
    }
    CRect r = this->m_plotRect;
    r.left += 20;
    r.top += 20;
    this->ClientToScreen(&r);
    auto view = std::make_unique<CDataView>();
    if (!view->Create(this, r, source, index, composite, kind))
        return nullptr;
    view->ShowWindow(SW_SHOW);
    m_dataView = std::move(view);
    return m_dataView.get();
}

template <class Base> void TToolStripPlot<Base>::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    this->GetClientRect(&client);
    this->DrawPlot(&dc, true, client);
}

template <class Base> LRESULT TToolStripPlot<Base>::OnDataViewClosing(WPARAM, LPARAM)
{
    m_dataView.reset();
    return 1;
}

template <class Base> void TToolStripPlot<Base>::OnProperties()
{
    if (CWnd* frame = Frame())
        frame->PostMessage(WM_COMMAND, kPlotOptionsCommand, 0);
}

template <class Base> void TToolStripPlot<Base>::OnPullCursor()
{
    if (this->m_settings)
        this->m_settings->GrabCursorFlag = this->m_settings->GrabCursorFlag ? 0 : 1;
}

template <class Base> void TToolStripPlot<Base>::OnCopyBitmap()
{
    if (m_toggle)
        m_toggle->ShowWindow(SW_HIDE);
    CopyPlotBitmapToClipboard(this, this->m_toolStripHeight);
    if (m_toggle)
        m_toggle->ShowWindow(SW_SHOW);
}

template class TToolStripPlot<TChannelPlot<PhasePlotSettings>>;
template class TToolStripPlot<TSettingsPlot<TimeSeriesPlotSettings>>;
