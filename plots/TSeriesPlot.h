// The time-series plot of an input channel: the samples of the channel against time, live
// from its sample buffer (source mode 1) or from its wave file (source mode 0).
//
// The window reads everything through pointers into the frame's records and the channel's
// objects (settings record, sample buffer, wave file, calibration) and owns only what it
// derives for display: a column table (one entry per pixel column), the tick tables and the
// point arrays of the drawn trace. Zooming, scrolling and the scale boxes write straight into
// the settings record. The selected segment feeds the frame's edit, analysis, filter and
// playback commands through WM_SERIES_SEGMENT_COMMAND; the frame acts on its own files.
//
// Drawing: a full paint draws the stored trace; a block update (UpdateFrame) rebuilds it,
// erases the old one (a sparse trace by redrawing it in the background colour, a dense one by
// filling its bounds) with the grid drawn back, and draws the new one, so a block never
// repaints the window. The column extremes read from a wave file are kept until
// the view, the pane or the data change (UpdateLayout), so repeated block updates of a long
// file do not read the file again.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/TSettingsPlot.h"
#include "plots/TToolStripPlot.h"

#include <memory>
#include <string>
#include <vector>

class CToolBtn;
class TLimitScroll;
class TSampleBuffer;
class TWaveFile;
struct ChannelCalibration;

class TSeriesPlot : public TToolStripPlot<TSettingsPlot<TimeSeriesPlotSettings>> {
public:
    // Command and control ids of the window.
    enum : UINT {
        kZoomIn = 401, kZoomFull = 402, kZoom2xIn = 403, kZoom2xOut = 404,
        kSelect = 410, kPlay = 411, kFilter = 412, kOptions = 420,
        kTopEdit = 450, kTopSpin = 451, kRangeEdit = 452, kRangeSpin = 453, kCenterEdit = 454, kCenterSpin = 455,
        kAutoscale = 480, kSelectAll = 800, kCut = 801, kMute = 803, kFilterMenu = 804, kPlayMenu = 805,
        kRmsLevel = 806, kAverageSpectrum = 807, kSpectrogram = 808, kSurface = 809, kDtmf = 811, kRt60 = 812,
        kAutoscaleMenu = 820, kCrestFactor = 821, kPullCursor = 870, kCopyWave = 902, kCopyText = 903,
        kViewDataValues = 904, kHilbert = 905, kSchroeder = 906,
    };

    struct TimeTick {
        int x = 0;
        char label[12] = {};
    };
    struct AmpTick {
        int y = 0;
        char label[12] = {};
    };
    struct Column {
        DWORD sample = 0;
        float time = 0.0f;
        float number = 0.0f;
    };

    TSeriesPlot();
    ~TSeriesPlot() override;

    // bufferB is a second source for the two-source display modes (no caller has one);
    // reserved is 0.
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, TimeSeriesPlotSettings* settings,
                TSampleBuffer* bufferA, TSampleBuffer* bufferB, TWaveFile* waveFile, DWORD reserved, int channel);

    // Store only; the caller follows with UpdateLayout.
    void SetBuffer(TSampleBuffer* bufferA, TSampleBuffer* bufferB);
    void SetWaveFile(TWaveFile* waveFile, DWORD reserved);
    void SetFileChannel(UINT slot);
    // The frame's calibration record of the channel (text export and pull-cursor levels);
    // without one the sample buffer's copy is used.
    void SetCalibration(const ChannelCalibration* calibration);
    // The visible range in seconds; only with buffer A and stop > start.
    void SetTimeRange(float start, float stop);
    void SaveView();
    void RestoreView();
    void ShowTimePosition(float seconds);
    void ShowToolbar(bool show);
    void SelectAll();
    void Autoscale();
    // Play (button, pop-up entry and the frame's Play commands): plays the selection through
    // the frame; the button springs back when the frame does not play it.
    void OnPlaySegment();
    void ReleasePlayButton();

    // Overrides of the plot base.
    void UpdateLayout() override;
    void UpdateFrame(float time) override;
    void DrawPlot(CDC* dc, bool full, const RECT& update) override;
    void DrawBackground(CDC* dc, bool full, const RECT& update) override;
    void GetSelectedSegment(float& start, float& end) override;
    bool CanCut() override { return HasTimeSelection(); }
    bool CanCopy() override { return HasTimeSelection(); }
    bool CanPlayOrFilter() override { return HasTimeSelection(); }
    void RefreshSysColors() override;
    // Prints the plot laid out at the printer's resolution (the frame prepares the page).
    void PrintPlot(CDC* dc, const PrintSettings* settings, bool selfScaled, WORD position) override;
    // The layout and trace for a printer page inside the margins (inches) of `settings`.
    void ScaleForPrinter(CDC* dc, PrintSettings settings) override;
    bool HasTimeSelection() const override { return !m_selection.IsRectEmpty(); }
    bool IsTimeView() const override { return true; }
    // The finished drag rectangle in selection mode (zoom or select).
    void SetSelectionRect(CRect rect) override;
    void ClearSelection() override;
    // The Select or Zoom In tool is pressed: drags select (or zoom).
    bool SelectToolOn() const;
    // Cursor read-outs: time (ms in live mode) at x, amplitude at y.
    double PixelToXValue(int x, int y) override;
    double PixelToYValue(int x, int y) override;
    // With "Pull Cursor To Trace" on, moves point (client) onto the trace; false otherwise.
    bool PullCursorToTrace(POINT& point);
    void MoveCursorToTrace(CPoint& point) override { PullCursorToTrace(point); }
    virtual void ScrollView(UINT code, UINT position);
    virtual void FillRectIfVisible(CDC* dc, const RECT& rect, const RECT& update);
    virtual void ReservedHook() {}

    // Conversions.
    DWORD LastIndex() const;
    DWORD TimeToSample(float seconds) const;
    float ColumnToTime(int x) const;
    int TimeToColumn(float seconds) const;
    bool IsFileMode() const;

    // State for the frame and tests.
    TSampleBuffer* GetBuffer() const { return m_bufferA; }
    TWaveFile* GetWaveFile() const { return m_waveFile; }
    int GetChannel() const { return m_channel; }
    DWORD GetViewStart() const { return m_viewStart; }
    DWORD GetViewEnd() const { return m_viewEnd; }
    const std::vector<Column>& GetColumns() const { return m_columns; }
    const std::vector<TimeTick>& GetTimeTicks() const { return m_timeTicks; }
    const std::vector<AmpTick>& GetAmpTicks() const { return m_ampTicks; }
    const std::vector<POINT>& GetTracePoints() const { return m_pointsA; }
    CToolBtn* GetButton(UINT id) const;
    CEdit* GetEdit(UINT id) const;
    std::string TimeAxisTitle() const;
    std::string AmplitudeAxisTitle(bool secondPane) const;
    std::string PaneCaptionText(int pane) const;
    // Reads of the wave file made to build traces (tests and benchmarks).
    unsigned long long GetFileReads() const { return m_fileReads; }
    // The text table that "Copy as Text" puts on the clipboard.
    std::string BuildTextTable() const;

protected:
    std::string PaneCaption() const override;
    COLORREF PlotBackgroundColor() const override;
    void OnSize(UINT nType, int cx, int cy);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnZoomIn();
    void OnZoomFull();
    void OnZoomIn2x();
    void OnZoomOut2x();
    void OnSelectButton();
    void OnFilter();
    void OnEditTop();
    void OnEditRange();
    void OnEditCenter();
    // What a box's value does to the plot, whether typed or stepped.
    void ApplyTop(float value);
    void ApplyRange(float value);
    void ApplyCenter(float value);
    bool ApplyTypedBoxes(bool finished) override;
    void OnAutoscaleCommand();
    void OnSelectAll();
    void OnCut();
    void OnCopyWave();
    void OnCopyText();
    void OnMute();
    void OnAverageSpectrum();
    void OnSpectrogram();
    void OnSurface();
    void OnRt60();
    void OnDtmf();
    void OnRmsLevel();
    void OnCrestFactor();
    void OnHilbertEnvelope();
    void OnSchroederIntegration();
    void OnViewDataValues();
    void OnToolbarToggle();
    void OnUpdatePopupCommand(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one
    struct ColumnExtremes {
        float maximum = 0.0f;
        float minimum = 0.0f;
    };

    void CreateControls() override;
    // Hands the value window the sources it lists, so it never reads one the frame replaced.
    void UpdateDataViewSource();
    void PlaceToolbarControls();
    void ApplyToolbarVisibility(bool shown);
    void PlaceSeriesScrollBar();
    void UpdateScrollRange() override;
    void BuildColumnTable();
    void BuildTimeTicks();
    void BuildAmplitudeTicks();
    void AllocatePointArrays();
    bool BuildTrace(const CRect& pane, std::vector<POINT>& points);
    bool BuildXYTrace(const CRect& pane, std::vector<POINT>& points);
    void DrawTrace(CDC* dc, const CRect& pane, const RECT& update, const std::vector<POINT>& points, COLORREF colour);
    void DrawGrid(CDC* dc, const CRect& pane);
    void DrawAxes(CDC* dc, const CRect& pane, int paneIndex, bool timeLabels);
    void InvertBand(CDC* dc, int left, int right);
    void InvertSelection(CDC* dc);
    void InvertPositionLine(CDC* dc, float seconds);
    // Inverts the selection band and the file-position line where they are shown.
    void ToggleFileBands(CDC* dc);
    // Paints a pane's trace out and draws the grid back where it was; the area touched.
    CRect EraseTrace(CDC* dc, const CRect& pane, const std::vector<POINT>& points);
    void SendSegment(WPARAM action);
    LRESULT SendToFrame(WPARAM action, float start, float end);
    void WriteEdit(CEdit* edit, const char* format, float value);
    float ReadEdit(CEdit* edit, int maxChars) const;
    ChannelCalibration CalibrationOfA() const;
    ChannelCalibration FrameCalibration() const;
    float SampleScaled(DWORD index) const;
    // The extremes of samples [first, end) of source A (file or buffer), with the RMS flag.
    ColumnExtremes ReadExtremes(DWORD first, DWORD end);
    // The one or two panes shown, held in place: a block's redraw asks for them.
    struct PaneList {
        CRect rects[2];
        std::size_t count = 0;
        const CRect* begin() const { return rects; }
        const CRect* end() const { return rects + count; }
        std::size_t size() const { return count; }
        const CRect& operator[](std::size_t i) const { return rects[i]; }
    };
    PaneList Panes() const;

    TSampleBuffer* m_bufferA = nullptr;
    TSampleBuffer* m_bufferB = nullptr;
    TWaveFile* m_waveFile = nullptr;
    UINT m_fileChannel = 0;
    int m_channel = 0;
    const ChannelCalibration* m_calibration = nullptr;

    std::unique_ptr<CToolBtn> m_selectBtn, m_playBtn, m_filterBtn, m_zoomInBtn, m_zoomFullBtn, m_zoom2xInBtn,
        m_zoom2xOutBtn, m_optionsBtn, m_autoscaleBtn;
    std::unique_ptr<CEdit> m_topEdit, m_rangeEdit, m_centerEdit;
    std::unique_ptr<TLimitScroll> m_topSpin, m_rangeSpin, m_centerSpin;
    // Where the Plot Range and Plot Center boxes stand: 531, or further right when the font
    // needs more room for their labels between them and the Plot Top spinner.
    int m_secondEditX = 531;
    // While printing: a font of an eighth of an inch at the printer's resolution.
    CFont m_printFont;
    int m_screenFontHeight = 14;

    // The band of the selection (the base's selection rectangle) as it is shown inverted.
    CRect m_invertedSelection;

    DWORD m_viewStart = 0;
    DWORD m_viewEnd = 0;
    DWORD m_savedStart = 0;
    DWORD m_savedEnd = 0;
    bool m_inLayout = false;
    float m_frameTime = 0.0f;
    float m_positionTime = -999.9f;

    std::vector<TimeTick> m_timeTicks;
    std::vector<AmpTick> m_ampTicks;
    std::vector<Column> m_columns;
    size_t m_pointCapacity = 0;
    std::vector<POINT> m_pointsA, m_pointsB, m_prevPointsA, m_prevPointsB;

    // Column extremes of the wave file for the current view and pane, and what they were read for.
    std::vector<ColumnExtremes> m_extremes;
    bool m_extremesValid = false;
    unsigned long long m_fileReads = 0;
};
