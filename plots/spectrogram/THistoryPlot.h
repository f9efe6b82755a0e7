// What the spectrogram and the 3-D surface share: the records and engines of an input or
// composite channel, the line history of the spectra they were given, the tool strip with
// its level-scale edits, the layout and resize rebuild, time-segment selection with its
// commands, the measurement cursor's level read back from the picture, autoscale, the pane
// pictures, the frequency scale, and the drawing around the pictures (titles, frequency
// labels, marker arrows); each twin draws its own time axis.
//
// The windows never call the frame: they hand it their requests by WM_PLOT_SEGMENT with a
// PlotSegmentRequest (channel, start and end seconds, composite flag), and read the frame's
// run state through the pointers it binds (BindFrameState).
//
// The plot base drags the selection and the measurement cursor; these windows turn the drag
// into pane selections and times, and show the level under the cursor beside the legend.
// The tool buttons are the plots' bitmap tool buttons (CToolBtn).
//
// Threads: user-interface thread only.
#pragma once

#include "plots/CToolBtn.h"
#include "plots/TChannelPlot.h"
#include "plots/TLimitScroll.h"
#include "plots/spectrogram/HistoryScale.h"
#include "plots/spectrogram/TLineHistory.h"
#include "platform/ui/GdiObjects.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class SpectralData;

// Ids of the tool strip and the pop-up menus.
enum HistoryPlotIds : UINT {
    IDC_HISTORY_SELECT = 410,
    IDC_HISTORY_PLAY = 411,
    IDC_HISTORY_FILTER = 412,
    IDC_HISTORY_OPTIONS = 420,
    IDC_HISTORY_TOP = 450,
    IDC_HISTORY_TOP_SPIN = 451,
    IDC_HISTORY_RANGE = 452,
    IDC_HISTORY_RANGE_SPIN = 453,
    IDC_HISTORY_AUTOSCALE = 480,
    IDC_HISTORY_TOGGLE = 1410,
    ID_HISTORY_CUT = 801,
    ID_HISTORY_COPY_WAVE = 802,
    ID_HISTORY_MUTE = 803,
    ID_HISTORY_FILTER = 804,
    ID_HISTORY_PLAY = 805,
    ID_HISTORY_TIME_SERIES = 806,
    ID_HISTORY_AVERAGE = 807,
    ID_HISTORY_SPECTROGRAM = 808,
    ID_HISTORY_SURFACE = 809,
    ID_HISTORY_AUTOSCALE = 820,
    ID_HISTORY_PROPERTIES = 1500,
    ID_HISTORY_HELP = 1501,
    ID_HISTORY_COPY_BITMAP = 1502,
    ID_HISTORY_COPY_VALUES = 1503,
    ID_HISTORY_ANNOTATE = 1504,
};
constexpr UINT_PTR ID_TIMER_PLOT_RESIZE = 111;
// Applies a typed level, and rebuilds after spinner steps, once the user pauses.
constexpr UINT_PTR ID_TIMER_LEVEL_APPLY = 112;
// The frame's "Plot Options..." command, posted for Properties.
constexpr UINT ID_FRAME_PLOT_OPTIONS = 57768;

template <class Settings> class THistoryPlot : public TChannelPlot<Settings> {
public:
    // channel: input 0 to 7 or composite 0 to 15, as composite says.
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                ChannelScalingSettings scaling, MarkerSettings markers, Settings* settings, SpectralData* source,
                DWORD word, int channel, int composite);
    // The frame's run flags (acquisition, post-process run) and its mode (2 Post Process);
    // unbound, the window acts as if nothing runs.
    void BindFrameState(const bool* acquiring, const bool* postProcessing, const WORD* opMode);

    void SetPlotTitle(const char* text);
    void SetData(SpectralData* traceA, SpectralData* traceB);
    virtual void SetSources(SpectralData* traceA, SpectralData* traceB);
    void SetScalingSettings(ChannelScalingSettings scaling) { this->m_scaling = scaling; }
    virtual void ReservedHook() {}

    // ---- Layout and tool strip.
    void UpdateLayout() override;
    void ShowToolbar(bool show);
    void RefreshSysColors() override;

    // ---- History.
    // One new spectrum of the bound engines at the given time (seconds).
    void AddSpectrum(float time);
    void ClearHistory();
    void SetHistoryLine(int line, float time);
    // The lines' times move by `seconds` (their samples moved in the file); lines that fall
    // before the file's start are dropped from the history.
    void ShiftHistory(float seconds);
    // The lines a rebuild fills: those whose first row lies inside the history (1 without one).
    int GetRebuildLines() const { return m_history.Empty() ? 1 : m_history.VisibleLines(); }
    int GetLineCapacity() const { return m_history.LineCapacity(); }
    float GetHistoryStartTime() const { return m_history.StartTime(); }
    float GetHistoryEndTime() const { return m_history.EndTime(); }
    const TLineHistory& GetHistory() const { return m_history; }
    virtual void UpdateTimeStrings();
    const char* GetEntryEdgeText() const { return m_entryText; }

    // ---- Level scale.
    void Autoscale();
    // Applies what was typed into Plot Top / Plot Range and the rebuild spinner steps left
    // waiting, now (the level timer does it once the user pauses).
    void ApplyPendingLevels();
    bool IsLevelApplyPending() const
    {
        return m_topTyped || m_rangeTyped || m_levelRebuildPending || this->m_typingPending;
    }
    bool IsRebuilding() const { return m_rebuilding; }

    // ---- Selection and segment commands.
    void SelectAll();
    void OnPlaySegment();
    void ReleasePlayButton();
    bool CanCut() override { return HasSelection(); }
    bool CanCopy() override { return HasSelection(); }
    bool CanPlayOrFilter() override { return HasSelection(); }
    bool HasTimeSelection() const override { return HasSelection(); }
    bool IsTimeView() const override { return true; }
    void SetSelectionRect(CRect rect) override;
    void ClearSelection() override;
    bool IsSelectMode() const { return this->m_selectionMode != 0; }
    bool HasSelection() const { return !this->m_selection.IsRectEmpty(); }
    const CRect& GetPaneSelection(int pane) const { return m_paneSelection[pane != 0 ? 1 : 0]; }

    // ---- Coordinates and measurement.
    double PixelToXValue(int x, int y) override = 0;
    double PixelToYValue(int x, int y) override = 0;
    WORD IsFrequencyAxisVertical() const override { return FrequencyVertical() ? 1 : 0; }
    // The spectrogram's Direction 0 and 1; never the surface's.
    virtual bool FrequencyVertical() const = 0;
    // The level the picture shows at a client point; -999.9 outside the panes.
    float GetLevelAtPoint(int x, int y);
    WORD GetHarmonicCount(int x, int y) override;
    // Harmonic and sideband columns on the frequency axis (from the pane's low end).
    CPoint GetHarmonicPoint(WORD k, int x, int y) override;
    CPoint GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int y) override;
    CPoint GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int y) override;
    void HandleMouseMove(UINT flags, CPoint point) override;
    float GetCursorX() const { return this->m_xValue; }
    float GetCursorY() const { return this->m_yValue; }
    float GetCursorLevel() const { return m_cursorLevel; }
    // The text copied by "Copy measurement cursor Values to clipboard".
    virtual std::string CursorValuesText() const = 0;
    CPoint GetLevelBoxPosition() const { return m_levelBox; }
    const std::string& GetLevelBoxText() const { return m_levelBoxText; }
    const std::vector<history::AxisLabel>& GetLevelTicks() const { return m_levelTicks; }
    bool IsLevelBoxShown() const { return m_levelBoxShown; }

    void DrawPlot(CDC* dc, bool full, const RECT& update) override;
    void DrawBackground(CDC* dc, bool full, const RECT& update) override;
    // The page's font needs more room beside the panes than the screen's layout gives when the
    // page is narrow for the window: the margins grow for the labels and captions.
    void ScaleForPrinter(CDC* dc, PrintSettings settings) override;

    // ---- What tests and the frame read.
    const std::vector<history::FrequencyPixel>& GetFrequencyMap() const { return m_frequencyMap; }
    SpectralData* GetTraceA() const { return m_traceA; }
    int GetChannel() const { return m_channel; }
    bool IsComposite() const { return m_composite != 0; }
    CToolBtn* GetToolButton(UINT id) const;
    CEdit* GetTopEdit() const { return m_topEdit.get(); }
    CEdit* GetRangeEdit() const { return m_rangeEdit.get(); }
    TLimitScroll* GetTopSpin() const { return m_topSpin.get(); }
    TLimitScroll* GetRangeSpin() const { return m_rangeSpin.get(); }
    const std::vector<COLORREF>& GetColours() const { return m_colours; }
    CBitmap* GetPaneBitmap(int pane) const { return m_paneBitmap[pane != 0 ? 1 : 0].get(); }
    bool IsResizeTimerPending() const { return m_resizePending; }

protected:
    explicit THistoryPlot(int thickness);
    ~THistoryPlot() override;

    // ---- What each twin says.
    virtual const char* KindName() const = 0; // "Spectrogram" or "3-D Surface"
    virtual bool IsSurface() const = 0;
    // Rows along the time axis for the current layout.
    virtual int HistoryRows() const = 0;
    virtual void BuildPalette() = 0;
    virtual void CreatePaneBitmaps() = 0;
    // Rebuilds the frequency map, labels and level ticks.
    virtual void BuildScales() = 0;
    // After the history is sized: the spectrogram clears its images, the surface allocates
    // its polygon buffer.
    virtual void FinishLayout() = 0;
    // Draws one new spectrum into a pane.
    virtual void PaintNewSpectrum(int pane, SpectralData* trace) = 0;
    // Row of the history the line being added lands on (the sweep position, or 0).
    virtual int NewLineRow() const { return 0; }
    virtual bool ScrollsHistory() const { return true; }
    // After a new line is recorded (the spectrogram's sweep moves on).
    virtual void AdvanceSweep() {}
    // The inverted area of a pane's selection.
    virtual CRect SelectionShape(int pane) const = 0;
    // Repaints, now, what a new history changed of the time axes: the label boxes whose texts
    // changed (old and new text) and what else each twin's axis shows of the history.
    virtual void RepaintTimeLabels(const char* oldEntry, const char* oldFar) = 0;
    // The colour the picture has where nothing is drawn (the surface looks past it).
    virtual bool LooksPastBackground() const { return false; }
    virtual COLORREF PictureBackground() const = 0;
    virtual bool ShowsLevelBox() const { return true; }
    // Extra entry of the measurement menu (the spectrogram's Annotate).
    virtual void AddMeasurementEntries(CMenu&) {}
    virtual void Annotate(CPoint) {}
    // Axes of a pane, and the spectrogram's colour legend.
    virtual void DrawTimeAxis(CDC* dc, int pane) = 0;
    // Ticks and labels; the spectrogram adds a caption.
    virtual void DrawFrequencyAxis(CDC* dc, int pane);
    virtual void DrawLegend(CDC*, const RECT&) {}
    // The right margin the page needs; `rotated` is how wide a caption on its side stands.
    virtual int PageRightMargin(CDC*, int /*rotated*/) { return this->m_rightMargin; }
    // The bottom margin the page needs: the labels below the panes, 4 under them.
    virtual int PageBottomMargin() const { return 4 + m_textHeight + 2; }
    // How wide the widest of the labels is in the context's current font.
    static int WidestLabel(CDC* dc, const std::vector<history::AxisLabel>& labels);

    // ---- Partial repaints: what a paint draws is limited to what meets its rectangle, so that
    // a small repaint (a time label) lays out no text it does not reach.
    // True when a box meets the rectangle being drawn (always when printing).
    bool Meets(const RECT& update, const CRect& box) const;
    // The box a text drawn on screen in the plot font at (x, y) with an alignment covers, with
    // a little room; vertical text runs upward centred on `centreY` from x.
    CRect TextBox(int x, int y, UINT align, std::string_view text);
    // How wide a text is on screen in the plot font; -1 when it cannot be measured.
    int TextWidth(std::string_view text);
    CRect VerticalTextBox(int x, int centreY, std::string_view text);
    // Leaves a client rectangle to be painted as a full repaint draws it there; the areas a
    // line changed are painted together, in one paint of the rectangle around them.
    void InvalidateArea(const CRect& r);
    // The panes whose time axis is drawn.
    struct PaneList {
        int pane[2];
        int count;
    };
    PaneList TimeAxisPanes() const;

    // ---- Shared work.
    void CreateControls() override;
    void UpdateScrollRange() override { BuildScales(); }
    // The font of labels: the plot font on screen, the base's printer font when printing.
    CFont* LabelFont() { return this->m_printing ? this->m_font : &m_plotFont; }
    void Relayout();
    void PlaceStrip();
    // Spinner settings by the amplitude scale; each box is written only where it does not
    // already say its value.
    void ApplyAmpScaleToEdits();
    void SyncEdit(CEdit* edit, const char* format, float value);
    // The Plot Top / Plot Range box read into the settings, with the spinner's step and limits.
    void ApplyTopEdit();
    void ApplyRangeEdit();
    void OnLevelEdit(bool top);
    void ScheduleLevelApply();
    void OnLevelTimer();
    // The interval throttle, and a new post-process pass starting the picture again; false
    // when the spectrum is dropped.
    bool AcceptLine(float time);
    void RecordNewLine(float time);
    void TakeLevels(SpectralData* trace, float* peak, float* floor) const;
    bool IsRunning() const;
    bool IsPostProcessMode() const { return m_opMode != nullptr && *m_opMode == 2; }
    // Sends a request to the frame; its answer.
    LRESULT AskFrame(WPARAM code, float start, float end);
    void RequestRebuild();
    void RebuildLevelScale();
    void InvalidateLegend();
    // The displayable colours of a scale (a palette display may merge some).
    void KeepDisplayableColours(const std::vector<COLORREF>& scale);
    // A new picture the size of a pane, filled with the background; null when the pane has
    // no size, is too large or the window does not exist (memory failure says so).
    std::unique_ptr<CBitmap> NewPaneBitmap(int pane);
    // True when the pane's picture already has the pane's size and stays (filled with the
    // background with `clear`): a rebuild lays the window out again at its size, and a new
    // picture each time costs more than drawing its lines.
    bool KeepPaneBitmap(int pane, bool clear);
    // Copies a pane's picture to the window when it shows.
    void PresentPane(int pane, CBitmap* bitmap, int width, int height);
    // The end of a layout, the whole window invalid: it is painted now.
    virtual void RepaintAfterLayout() { this->UpdateWindow(); }
    // The frequency map and labels of trace A over `length` pixels; labels at least
    // `labelSpacing` pixels apart.
    void BuildFrequencyScale(int length, int labelSpacing);
    float FrequencyAtColumn(int c) const;
    // The peak and floor of a rebuilt line.
    void KeepLineLevels(int line, SpectralData* trace);
    // The same for a rebuilt line whose place is named only when its time is set.
    void HoldLineLevels(SpectralData* trace);
    // The normalised selection and the pane it was made in; false without a selection.
    bool SelectedArea(CRect* selection, CRect* pane) const;
    CRect PaneRect(int pane) const { return pane == 0 ? (this->m_paneMode == 1 ? this->m_plotRect : this->m_paneA) : this->m_paneB; }
    int PaneCount() const { return this->m_paneMode == 2 ? 2 : 1; }
    // The pane holding a point: 0 or 1, -1 for none.
    int PaneAt(CPoint p) const;
    // The pane under a point, the first when none is.
    CRect PaneUnder(int x, int y) const;
    float RowTime(int k) const { return m_history.RowTime(k); }
    void PaintSelection(CDC* dc);
    void InvertSelection(CDC* dc);
    std::string PaneCaption() const override { return {}; }
    COLORREF PlotBackgroundColor() const override { return PictureBackground(); }
    void DrawLevelBox(CDC* dc, CPoint at, const std::string& text);
    void EraseLevelBox(CDC* dc);
    CPoint LevelBoxPosition(float level) const;
    std::string LevelText(float level, bool relative) const;
    void CopyCursorValues();
    // The frequency under a point: the X value when the frequency axis is horizontal.
    float FrequencyAt(CPoint p)
    {
        return static_cast<float>(FrequencyVertical() ? PixelToYValue(p.x, p.y) : PixelToXValue(p.x, p.y));
    }
    int ColumnOfFrequency(float f) const { return history::FrequencyToColumn(m_frequencyMap, f); }
    void DrawVerticalText(CDC* dc, int x, int centreY, const std::string& text);
    // Where the caption on its side beside a pane is centred; false when it is not drawn there.
    // Two panes whose captions would meet share one, beside both; a caption stays between the
    // toolbar toggle and the window's bottom, and is left out where it cannot.
    bool SideCaptionCentre(int pane, std::string_view caption, int* centreY);
    using TPlotBase::FitAlong;
    // The left margin that holds, left to right, the caption on its side, the labels beside the
    // panes (`widest` of them, ending `labelGap` short of the panes) and 4 between the two.
    int LeftMarginFor(int widest, int labelGap) const { return 8 + m_textHeight + 4 + widest + labelGap; }
    void DrawTitle(CDC* dc, int pane, SpectralData* trace);
    void DrawImage(CDC* dc, int pane, const RECT& update);
    void DrawMarkerArrows(CDC* dc, int pane);
    void TrackPlotMenu(CPoint point);
    void TrackMeasurementMenu(CPoint point);

public:
    // ---- Message handlers.
    void OnSize(UINT nType, int cx, int cy);
    void OnTimer(UINT_PTR id);
    void OnSelectSegment();
    void OnFilterSegment();
    void OnCut();
    void OnCopyAsWave();
    void OnMute();
    void OnDisplayTimeSeries();
    void OnAverageSpectrum();
    void OnShowSpectrogram();
    void OnShowSurface();
    void OnCopyAsBitmap();
    void OnHelp() {}
    void OnProperties();
    void OnToggle1410();
    void OnPlotTopChanged();
    bool ApplyTypedBoxes(bool finished) override;
    void OnPlotRangeChanged();
    void OnCopyCursorValues() { CopyCursorValues(); }
    // The menu's Annotate entry, for the point the measurement menu was opened at.
    void OnAnnotateCommand() { Annotate(m_menuPoint); }
    void OnUpdatePopupCommand(CCmdUI* pCmdUI);
    void OnVScroll(UINT code, int pos, CScrollBar* bar);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnRButtonDown(UINT flags, CPoint point);
    void OnRButtonUp(UINT, CPoint) {}
    // Draws what meets the paint's rectangle only.
    void OnPaint();
    BOOL OnQueryNewPalette() { return FALSE; }
    void OnPaletteChanged(CWnd*) {}

protected:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one

    DECLARE_MESSAGE_MAP()
protected:

    SpectralData* m_traceA = nullptr;
    SpectralData* m_traceB = nullptr;
    int m_channel = 0;
    int m_composite = 0;
    char m_title[260] = {};
    const bool* m_acquiring = nullptr;
    const bool* m_postProcessing = nullptr;
    const WORD* m_opMode = nullptr;

    TLineHistory m_history;
    // Levels of a rebuilt line waiting for SetHistoryLine to name its place.
    bool m_levelsHeld = false;
    float m_heldPeak = 0.0f;
    float m_heldFloor = 0.0f;
    char m_entryText[20] = "00:00:00.00";
    char m_farText[20] = "00:00:00.00";
    float m_lastLineTime = 0.0f;
    bool m_creating = false;
    bool m_inLayout = false;
    // Set while a size change lays the window out: the old picture is kept (stretched or
    // dropped by the twin) instead of cleared.
    bool m_keepPicture = false;
    bool m_resizePending = false;
    // The level edits: a spinner step under way, typed values not yet applied, a rebuild left
    // for when the spinner is let go, and the rebuild re-entry guard.
    static constexpr UINT kLevelApplyDelayMs = 600;
    bool m_stepping = false;
    bool m_topTyped = false;
    bool m_rangeTyped = false;
    bool m_levelRebuildPending = false;
    bool m_rebuilding = false;
    bool m_rebuildAgain = false;

    std::unique_ptr<CToolBtn> m_select, m_play, m_filter, m_options, m_autoscale;
    std::unique_ptr<CEdit> m_topEdit, m_rangeEdit;
    std::unique_ptr<TLimitScroll> m_topSpin, m_rangeSpin;
    std::unique_ptr<CButton> m_toggle;
    CFont m_plotFont;
    int m_textHeight = 13;
    // What the drawing under way is limited to (Meets).
    CRect m_drawUpdate;
    // Widths of texts in the plot font by their shape (digits as '0': the font's digits are of
    // one width), measured once.
    std::vector<std::pair<std::string, int>> m_textWidths;

    std::vector<COLORREF> m_colours;
    std::unique_ptr<CBitmap> m_paneBitmap[2];
    std::vector<history::AxisLabel> m_levelTicks;
    std::vector<history::FrequencyPixel> m_frequencyMap;
    std::vector<history::AxisLabel> m_frequencyLabels;
    history::PixelLevels m_pixelLevels; // a line's levels per pixel of the frequency axis

    // Selection: the base's selection rectangle as it falls in each pane.
    CRect m_paneSelection[2];
    CRect m_drawnSelection[2];
    bool m_selectionShown = false;

    // The measurement cursor's level box.
    float m_cursorLevel = history::kNoLevel;
    float m_reference = 0.0f;
    CPoint m_levelBox;
    CPoint m_menuPoint;
    bool m_levelBoxShown = false;
    std::string m_levelBoxText;
    std::unique_ptr<CBitmap> m_levelBoxSaved;
    // The screen's margins and text height while the window is laid out for a page.
    struct ScreenLayout {
        int left, right, bottom, textHeight;
    };
    std::optional<ScreenLayout> m_screenLayout;
};

// Defined once, in THistoryPlot.cpp.
extern template class THistoryPlot<SpectrogramPlotSettings>;
extern template class THistoryPlot<SurfacePlotSettings>;
