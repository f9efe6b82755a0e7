// The base of every plot window: an MDI child of the main frame with a tool strip along its
// top, one or two panes inside fixed margins, and the watermark logo that marks a plot as idle.
//
// The window reads its data through pointers into the frame's records and the channel's
// processing objects; it never owns them. It never closes itself: a close request (system
// menu, close box) sends WM_PLOT_CLOSING to the frame, which records the placement and
// destroys the window. The object frees itself after its window is destroyed; deleting it
// directly also destroys the window, once.
//
// Provisional: the cursors, read-outs, drag selection, scroll bar and printing of a real plot
// are not here yet. What is here draws the frame of a plot (tool strip, sunken pane frames,
// the plot's background and its caption) and the watermark, and keeps the layout.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/FrameWnd.h"
#include "platform/ui/GdiDC.h"

#include <string>

struct PrintSettings;

class TPlotBase : public CMDIChildWnd {
public:
    TPlotBase();
    ~TPlotBase() override;

    // Re-applies the size and settings; derived windows re-read their settings first.
    virtual void UpdateLayout();
    // Redraws the panes for a new block of the given time (seconds).
    virtual void UpdateFrame(float time);
    // The selected time segment in seconds; left as the caller set them when there is none.
    virtual void GetSelectedSegment(float& start, float& end);
    virtual bool CanCut() { return false; }
    virtual bool CanCopy() { return false; }
    virtual bool CanPlayOrFilter() { return false; }
    // Re-creates the background brush from the current system colours.
    virtual void RefreshSysColors();
    // Draws the plot on a printer page inside the margins of `settings` (inches).
    virtual void PrintPlot(CDC* dc, const PrintSettings* settings, bool timeOrSpectrum, WORD position);
    // Draws the whole plot; the paint handler calls it with the update rectangle.
    virtual void DrawPlot(CDC* dc, bool full, const RECT& update);
    virtual void DrawPanes(CDC* dc, bool full, const RECT& update);
    virtual void DrawBackground(CDC* dc, bool full, const RECT& update);
    virtual void DrawWatermark(CDC* dc, const RECT& plot, const RECT& update);

    // The highlight is the watermark logo in the plot's top-right corner: shown while no run
    // is active, hidden during a run.
    void SetHighlight() { ShowWatermark(); }
    void ClearHighlight() { HideWatermark(); }
    void ShowWatermark();
    void HideWatermark();
    bool IsHighlighted() const { return m_watermark != 0; }
    const CRect& GetWatermarkRect() const { return m_watermarkRect; }

    // Computes the plot and pane rectangles from the client size and the margins; a client
    // area too small for the margins keeps the previous rectangles.
    void RecalcLayout(BOOL bNotify = TRUE) override;
    // 1 one pane, 2 two panes; other values are ignored.
    void SetPaneMode(int mode);
    int GetPaneMode() const { return m_paneMode; }
    const CRect& GetPlotRect() const { return m_plotRect; }
    const CRect& GetPaneRectA() const { return m_paneA; }
    const CRect& GetPaneRectB() const { return m_paneB; }
    int GetToolStripHeight() const { return m_toolStripHeight; }
    float GetLastFrameTime() const { return m_lastFrameTime; }
    // The window's object from the lParam of WM_PLOT_CLOSING / WM_PLOT_ACTIVATED.
    static TPlotBase* FromMessageParam(LPARAM lParam) { return reinterpret_cast<TPlotBase*>(lParam); }

    void DrawPaneFrame(CDC* dc, const RECT& rect, int width);
    // [FileIO] HideLogo of the profile: "TRUE" in any case hides the watermark.
    static bool IsLogoHidden(const char* profilePath);
    // The frame reads that key and hands the answer to every plot it opens.
    void SetLogoHidden(bool hidden) { m_logoHidden = hidden; }

protected:
    // Creates the MDI child (class with double clicks and the plot background) and lays it out.
    BOOL CreatePlotWindow(LPCSTR title, DWORD style, const RECT* rect);
    // Shows (30 pixels, top margin 50) or hides (0, top margin 20) the tool strip.
    void SetToolStripShown(bool shown);
    // Asks the frame to play the channel's file between the two times; false when it didn't start.
    bool RequestSegmentPlayback(int channel, float start, float end);
    // The caption drawn in a pane: the title when a derived window has nothing better.
    virtual std::string PaneCaption() const;
    // Colour of the plot area.
    virtual COLORREF PlotBackgroundColor() const;

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnClose();
    void OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

protected:
    COLORREF m_background = 0;
    BYTE m_printing = 0;
    BYTE m_watermark = 1;
    bool m_logoHidden = false;
    int m_paneMode = 2;
    CRect m_plotRect;
    CRect m_paneA;
    CRect m_paneB;
    CRect m_watermarkRect;
    int m_toolStripHeight = 30;
    int m_topMargin = 50;
    int m_bottomMargin = 30;
    int m_leftMargin = 20;
    int m_rightMargin = 20;
    int m_paneGap = 20;
    float m_lastFrameTime = 0.0f;

private:
    bool m_deleting = false;
};
