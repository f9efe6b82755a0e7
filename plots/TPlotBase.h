// The base of every plot window: an MDI child of the main frame with a tool strip along its
// top, one or two panes inside fixed margins, an optional horizontal scroll bar under them,
// the measuring cursor with its read-out boxes, the drag selection, printing, the clipboard
// picture and the watermark logo that marks a plot as idle.
//
// The window reads its data through pointers into the frame's records and the channel's
// processing objects; it never owns them. It never closes itself: a close request (system
// menu, close box) sends WM_PLOT_CLOSING to the frame, which records the placement and
// destroys the window. The object frees itself after its window is destroyed; deleting it
// directly also destroys the window, once.
//
// Marks that come and go with the mouse (crosshair, harmonic and sideband markers, the delta
// line, the selection frame) are drawn on the window's surface with R2_NOT outside WM_PAINT
// and removed by drawing them again; the read-out boxes save the pixels under them and put
// them back. A drag never repaints the plotted data. While the left button is down the pointer
// is confined to the pane the drag began in, and the drag's points are clamped to it as well
// (not every desktop lets a program move the pointer, Wayland for one).
//
// Derived windows give pixels their meaning (PixelToXValue, PixelToYValue, the harmonic and
// sideband positions) and decide what a finished selection does (SetSelectionRect).
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/FrameWnd.h"
#include "platform/ui/GdiDC.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct PrintSettings;
class CScrollBar;
class CEdit;

class TPlotBase : public CMDIChildWnd {
public:
    TPlotBase();
    ~TPlotBase() override;

    // ---- What the frame and run control call.
    // Re-applies the size and settings; derived windows re-read their settings first.
    virtual void UpdateLayout();
    // Applies what the user typed in the tool strip's value boxes and the window has not taken
    // yet, as Enter would. The frame calls it before any command runs, so that the command
    // (a sheet, a print, a save, a run) reads the value the box shows.
    void FinishPendingTyping();
    // Redraws the panes for a new block of the given time (seconds).
    virtual void UpdateFrame(float time);
    // The selected time segment in seconds; 0 and 0 when there is none.
    virtual void GetSelectedSegment(float& start, float& end);
    virtual bool CanCut() { return false; }
    virtual bool CanCopy() { return false; }
    virtual bool CanPlayOrFilter() { return false; }
    virtual bool IsTimeView() const { return false; }
    virtual bool HasTimeSelection() const { return false; }
    // Re-creates the background brush from the current system colours.
    virtual void RefreshSysColors();
    // Draws the plot on a printer page inside the margins of `settings` (inches), below a
    // header band of 3/4 inch. selfScaled: the window lays itself out for the page in
    // ScaleForPrinter. position 1 upper half, 2 lower half, anything else the whole page.
    virtual void PrintPlot(CDC* dc, const PrintSettings* settings, bool selfScaled, WORD position);
    virtual void ScaleForPrinter(CDC* dc, PrintSettings settings);
    // Puts the picture of the client area below the tool strip on the clipboard as CF_BITMAP,
    // framed by a one-pixel black line. A clipboard that cannot be opened loses the copy.
    void CopyBitmapToClipboard();

    // ---- Drawing.
    // Draws the whole plot; the paint handler calls it with the client rectangle. The base draws
    // the pane frames, the tool strip and the watermark; a window that shows only its caption
    // (PaneCaption not empty) gets a plain plot area with the caption too. Windows that draw
    // their own plot return an empty caption and call DrawWatermark again last.
    virtual void DrawPlot(CDC* dc, bool full, const RECT& update);
    virtual void DrawPanes(CDC* dc, bool full, const RECT& update);
    virtual void DrawBackground(CDC* dc, bool full, const RECT& update);
    virtual void DrawWatermark(CDC* dc, const RECT& plot, const RECT& update);
    void DrawPaneFrame(CDC* dc, const RECT& rect, int width);

    // The highlight is the watermark logo in the plot's top-right corner: shown while no run
    // is active, hidden during a run.
    void SetHighlight() { ShowWatermark(); }
    void ClearHighlight() { HideWatermark(); }
    void ShowWatermark();
    void HideWatermark();
    bool IsHighlighted() const { return m_watermark != 0; }
    // Places the watermark rectangle from the logo's size; empty without the logo.
    void LoadWatermark();
    const CRect& GetWatermarkRect() const { return m_watermarkRect; }
    // [FileIO] HideLogo of the profile: "TRUE" in any case hides the watermark.
    static bool IsLogoHidden(const char* profilePath);
    // The frame reads that key and hands the answer to every plot it opens.
    void SetLogoHidden(bool hidden) { m_logoHidden = hidden; }

    // ---- Layout.
    // Computes the plot and pane rectangles from the client size, the margins and the scroll
    // bar; a client area too small for the margins keeps the previous rectangles.
    void RecalcLayout(BOOL bNotify = TRUE) override;
    // 1 one pane, 2 two panes; other values are ignored. No relayout.
    void SetPaneMode(int mode);
    int GetPaneMode() const { return m_paneMode; }
    const CRect& GetPlotRect() const { return m_plotRect; }
    const CRect& GetPaneRectA() const { return m_paneA; }
    const CRect& GetPaneRectB() const { return m_paneB; }
    int GetToolStripHeight() const { return m_toolStripHeight; }
    float GetLastFrameTime() const { return m_lastFrameTime; }
    // One pane: the plot rectangle wherever the point lies. Two: the pane holding the point,
    // or an empty rectangle.
    CRect GetPaneAtPoint(CPoint point) const;
    // A client rectangle's corners in screen coordinates.
    CRect PaneToScreen(const RECT& rect) const;

    // ---- Scroll bar (child id 201, under the plot rectangle).
    virtual void PlaceScrollBar();
    virtual int GetScrollBarHeight();
    virtual void ShowPlotScrollBar();
    virtual void HidePlotScrollBar();
    virtual void UpdateScrollRange();
    virtual void UpdateScrollPos();
    bool IsScrollBarShown() const { return m_scrollShown != 0; }
    CScrollBar* GetScrollBar() const { return m_scrollBar.get(); }
    int GetVisibleStart() const { return m_visibleStart; }
    int GetVisibleEnd() const { return m_visibleEnd; }

    // ---- Cursor, read-outs and selection.
    virtual void ExtendSelection(int x, int y);
    // A finished drag in selection mode; the base only leaves selection mode.
    virtual void SetSelectionRect(CRect selection);
    virtual void ClearSelection();
    virtual void DrawXReadout(CDC* dc, const CRect& pane, int x, int y, float value);
    virtual void EraseXReadout(CDC* dc, const CRect& pane, int x, int y);
    virtual void DrawYReadout(CDC* dc, const CRect& pane, int x, int y, float value);
    virtual void EraseYReadout(CDC* dc, const CRect& pane, int x, int y);
    virtual void DrawCrosshair(CDC* dc, const CRect& pane, int x, int y);
    virtual void DrawHarmonicMarkers(CDC* dc, const CRect& pane, int x, int y);
    virtual void DrawSidebandMarkers(CDC* dc, const CRect& pane, int x, int y);
    virtual void DrawSelectionFrame(CDC* dc, const CRect& clip, const CRect& selection);
    // The text of a read-out: formats 0, 1..6, 100, 101 (automatic) and 201 (time).
    virtual void FormatAxisValue(std::string& text, float value, int format, const char* unit);
    // An axis tick label; nothing when the buffer is missing or shorter than 10.
    static void FormatTickLabel(double value, char* buffer, int length);
    // Every how many ticks of an axis with ticks `pitch` pixels apart one is labelled, so that
    // labelled ticks stand evenly and at least `minimum` pixels apart (1 when every one fits).
    static int LabelStride(double pitch, int minimum);
    // The pixels a one-pixel polyline through `points` can touch (empty for no points): what a
    // trace painted out in the background needs its grid drawn back over.
    static CRect PolylineBounds(const std::vector<POINT>& points);

    // What derived windows give the cursor: the meaning of a client pixel, how many harmonics
    // of the cursor's frequency fit, and offsets of harmonics and sidebands (x from the pane's
    // left edge, y from its bottom edge).
    virtual double PixelToXValue(int x, int y);
    virtual double PixelToYValue(int x, int y);
    virtual WORD GetHarmonicCount(int x, int y);
    virtual CPoint GetHarmonicPoint(WORD k, int x, int y);
    virtual CPoint GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int y);
    virtual CPoint GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int y);
    virtual WORD IsFrequencyAxisVertical() const { return 0; }
    virtual void MoveCursorToTrace(CPoint& point);
    virtual void SelectPlotPalette(CDC*) {}
    virtual void RestorePlotPalette(CDC*) {}
    virtual void HandleMouseMove(UINT flags, CPoint point);

    bool IsTracking() const { return m_tracking != 0; }
    bool IsSelectionMode() const { return m_selectionMode != 0; }
    float GetXReadoutValue() const { return m_xValue; }
    float GetYReadoutValue() const { return m_yValue; }

    // The message handlers, callable by derived windows that map the messages themselves.
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);

protected:
    // Creates the MDI child (class with double clicks, the cross cursor and the background
    // brush) and sets up the base's own controls; derived windows then create theirs.
    BOOL CreatePlotWindow(LPCSTR title, DWORD style, const RECT* rect);
    // Cursors, the read-out font and bitmaps, the watermark, then UpdateLayout.
    virtual void CreateControls();
    // Shows (30 pixels, top margin 50) or hides (0, top margin 20) the tool strip.
    // The strip is 30 pixels a row; a window too narrow for one row wraps its controls.
    void SetToolStripShown(bool shown, int rows = 1);
    // Places the labelled boxes of a tool strip, left to right: each at its own place when the
    // window is wide enough for the whole strip; otherwise each after the one before, from
    // `start`, wrapping onto a further row of the strip when it would pass the window's right
    // edge, so that every box stays where the user can reach it.
    class StripFlow {
    public:
        StripFlow(CWnd* window, CFont* font, bool wide, int start);
        // The top-left corner of the row place for a box `width` wide (with what stands beside
        // it) after its label: (`at`, 0) in a wide window.
        CPoint Place(const char* label, int at, int width);
        int Rows() const { return m_rows; }

    private:
        CWnd* m_window;
        CFont* m_font;
        bool m_wide;
        int m_x;
        int m_right = 0;
        int m_rows = 1;
    };
    // Asks the frame to play the channel's file between the two times; false when it didn't start.
    bool RequestSegmentPlayback(int channel, float start, float end);
    // The frame's Edit commands in a pop-up menu, greyed by the frame's own rules (the active
    // plot is this one, so the rules read this window): Undo, Paste Insert and Paste Over when
    // `paste` is set, Gain Adjust, DC Offset, Dynamic DC Offset, the Play Special speeds, and
    // Set File Position when `filePosition` is set. Chosen, they reach the frame (OnCommand).
    void AppendFrameEditCommands(CMenu& menu, bool paste, bool filePosition);
    void AppendFrameCommand(CMenu& menu, UINT id, LPCSTR text);
    // Commands of the frame's range that this window does not handle (their update rules too)
    // go to the frame, as a menu choice of the frame would.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;
    // The caption drawn in a pane by windows that draw nothing of their own; empty for none.
    virtual std::string PaneCaption() const;
    // Colour of the plot area behind that caption.
    virtual COLORREF PlotBackgroundColor() const;
    // The four read-out bitmaps at the current box sizes, made again at every button-down.
    void RecreateReadoutBitmaps();
    // A read-out box of w by h at (left, top): what lies there is kept in `back`, the framed
    // text is drawn through `image`. Erasing puts `back` again.
    void DrawReadoutBox(CDC* dc, int left, int top, int w, int h, CBitmap* image, CBitmap* back,
                        const std::string& text);
    void EraseReadoutBox(CDC* dc, int left, int top, int w, int h, CBitmap* back);

    // A context that shows two colours only (a monochrome printer): traces print black there.
    static bool IsMonochrome(CDC* dc);

    // The least distance between two labels stacked on a vertical axis: `gap`, but never less
    // than a line of the font in use, so that labels never overlap.
    int VerticalLabelGap(int gap) const { return std::max(gap, m_fontHeight + 2); }
    // How wide, in logical x units, a line of text `height` high (in logical y units) is when
    // turned on its side: on a page scaled unequally in x and y it is not `height`.
    int RotatedTextWidth(CDC* dc, int height) const;
    // A text `length` long centred on `centre`, moved to stay within top..bottom: its centre;
    // false when it is longer than that.
    static bool FitAlong(int centre, int length, int top, int bottom, int* out)
    {
        if (length > bottom - top)
            return false;
        *out = std::clamp(centre, top + length / 2, bottom - (length + 1) / 2);
        return true;
    }
    // Where a title on its side (the rotated font selected in dc) centred on `centre` goes on
    // screen so that it stays within top..bottom: false when it is too long for that and is left
    // out rather than written over a neighbouring pane or the tool strip. A page keeps it.
    bool FitSideTitle(CDC* dc, std::string_view title, int top, int bottom, int* centre) const
    {
        if (m_printing)
            return true;
        return FitAlong(*centre, dc->GetTextExtent(title).cx, top, bottom, centre);
    }

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnClose();
    void OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd);
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnTimer(UINT_PTR id);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnRButtonUp(UINT nFlags, CPoint point);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

protected:
    // Value boxes of the tool strip. A change the user typed (the box's modify flag set) is not
    // applied at once, where a half-typed "0." would be taken and the box rewritten under the
    // caret: DeferTyping then returns true and ApplyTypedBoxes(false) follows once the typing
    // has paused, or ApplyTypedBoxes(true) on Enter. Text set by the window or a spinner applies
    // at once (DeferTyping returns false).
    bool DeferTyping(CEdit* box);
    // Applies every box whose modify flag is set and clears the flag of each applied one.
    // Before `finished` a box is never written and a value the window cannot take yet stays
    // pending (true returned); once finished, a refused text is replaced by what the window
    // shows.
    virtual bool ApplyTypedBoxes(bool finished);
    // Enter in a box, or the box losing the focus (EN_KILLFOCUS): the typing is finished.
    void FinishTyping();
    // The typed text as a number; false (nothing applied) while it is none.
    static bool TypedValue(CEdit* box, double& value);
    static constexpr UINT_PTR kTypedApplyTimer = 120;
    static constexpr UINT kTypedApplyDelayMs = 700;

protected:
    // The drag's pane, with the pointer confined to it on the screen.
    void ConfineToPane(const CRect& pane);
    // The point held inside the pane a drag began in.
    CPoint ClampToDragPane(CPoint point) const;
    // Removes every mark the drag shows at the last point.
    void RemoveDragMarks(CDC* dc, const CRect& pane);
    // The drag's inverted figures at a point (crosshair, harmonic or sideband markers, the
    // delta line), on a context already set to R2_NOT.
    void DrawDragFigures(CDC* dc, const CRect& pane, CPoint at);
    // Inverts the marks of a drag under way (nothing without one): takes them off before a
    // block is drawn over them, or puts them back after it, or after a repaint wiped them.
    void ToggleDragMarks();
    void InvalidateReadoutAreas();

protected:
    // Fonts, brushes and cursors.
    CFont m_readoutFont;
    CFont* m_font = &m_readoutFont; // the font in use; a printer font while printing
    int m_fontHeight = 15;
    COLORREF m_background = 0;
    BYTE m_printing = 0;
    BYTE m_watermark = 1;
    bool m_logoHidden = false;
    HCURSOR m_crossCursor = nullptr;
    HCURSOR m_hiddenCursor = nullptr;
    HCURSOR m_arrowCursor = nullptr;
    HCURSOR m_selectCursor = nullptr;

    // Geometry.
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

    // Read-outs.
    bool m_enterDown = false; // Enter went down in this window (its key-up asks for a run)
    bool m_typingPending = false; // a typed box waits for its pause
    bool m_routingToFrame = false; // the frame's routing passes through this window again
    int m_xBoxWidth = 60;
    int m_xBoxHeight = 17;
    int m_yBoxWidth = 60;
    int m_yBoxHeight = 17;
    std::unique_ptr<CBitmap> m_xBoxImage;
    std::unique_ptr<CBitmap> m_xBoxBack;
    std::unique_ptr<CBitmap> m_yBoxImage;
    std::unique_ptr<CBitmap> m_yBoxBack;
    float m_xValue = 0.0f;
    float m_yValue = 0.0f;
    float m_zValue = 0.0f;
    int m_xFormat = 101;
    int m_yFormat = 101;
    char m_xUnit[10] = {};
    char m_yUnit[10] = {};

    // Drag state.
    BYTE m_deltaMode = 0;
    BYTE m_harmonicMode = 0;
    BYTE m_sidebandMode = 0;
    int m_tracking = 0;
    CPoint m_lastPoint;
    CPoint m_anchorPoint;
    float m_anchorX = 0.0f;
    float m_anchorY = 0.0f;
    CRect m_dragPane;
    BYTE m_selectionMode = 0;
    int m_selectionAxis = 0;
    CRect m_selection;

    // Scroll bar.
    BYTE m_scrollShown = 0;
    std::unique_ptr<CScrollBar> m_scrollBar;
    int m_savedScrollPos = 0;
    int m_visibleStart = 0;
    int m_visibleEnd = 100;
    int m_scrollMax = 100;

    float m_lastFrameTime = 0.0f;

private:
    bool m_deleting = false;
};
