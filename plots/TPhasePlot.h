// The phase plot of an input or composite channel: the phase of the averaged spectrum, in
// degrees, against frequency. Source A fills the upper (or only) pane; with a second source B
// a lower pane shows B. The window has no data of its own: it redraws from the engines
// (SpectralData, owned by the frame) whenever the frame reports a block. Zooming, scrolling,
// the Plot Top box, the tool-strip toggle and "Pull Cursor To Trace" write straight into the
// frame's PhasePlotSettings record, so they persist with the configuration.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/TChannelPlot.h"
#include "plots/TToolStripPlot.h"

#include <memory>
#include <string>
#include <vector>

class CToolBtn;
class TLimitScroll;

class TPhasePlot : public TToolStripPlot<TChannelPlot<PhasePlotSettings>> {
public:
    enum : UINT {
        kZoomIn = 401, kZoomFull = 402, kZoom2xIn = 403, kZoom2xOut = 404, kOptions = 420, kTopEdit = 450,
        kTopSpin = 451, kCopyText = 802, kViewDataValues = 804, kPullCursor = 870,
    };
    static constexpr int kNoColumn = -999;

    struct Tick {
        int offset = 0;
        char label[12] = {};
    };
    struct ColumnEntry {
        UINT bin = 0;
        float frequency = 0.0f;
    };

    TPhasePlot();
    ~TPhasePlot() override;

    // channel: the input channel 0 to 7, or 8 + the composite index. The processing and
    // marker records are kept as given; the window reads only the scaling record's frequency
    // scale (a composite passes the record of the input channel its engines were built from).
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                ChannelScalingSettings scaling, MarkerSettings markers, PhasePlotSettings* settings,
                SpectralData* sourceA, SpectralData* sourceB, int channel);

    // Replaces both sources and hands source A to an open value window.
    void SetData(SpectralData* sourceA, SpectralData* sourceB);
    void ShowToolbar(bool show);
    virtual void SetFrequencyRange(float low, float high);
    virtual void SetScalingSettings(ChannelScalingSettings scaling);
    virtual void CopyDataToClipboard();
    virtual void ScrollView(UINT code, UINT position);
    virtual void FillRectIfVisible(CDC* dc, const RECT& rect, const RECT& update);
    virtual void ReservedHook(int, int) {}

    void UpdateLayout() override;
    void UpdateFrame(float time) override;
    void DrawPlot(CDC* dc, bool full, const RECT& update) override;
    void DrawBackground(CDC* dc, bool full, const RECT& update) override;
    void RefreshSysColors() override;
    bool CanCopy() override { return true; }
    void GetSelectedSegment(float& start, float& end) override
    {
        start = 0.0f;
        end = 0.0f;
    }
    WORD IsFrequencyAxisVertical() const override { return 0; }

    // The finished drag rectangle of a zoom.
    void SetSelectionRect(CRect rect) override;
    // Cursor read-outs and harmonic markers.
    double PixelToXValue(int x, int y) override;
    double PixelToYValue(int x, int y) override;
    WORD GetHarmonicCount(int x, int y) override;
    CPoint GetHarmonicPoint(WORD k, int x, int y) override;
    // With "Pull Cursor To Trace" on, moves point (client) onto the trace; false otherwise.
    bool PullCursorToTrace(POINT& point);
    void MoveCursorToTrace(CPoint& point) override { PullCursorToTrace(point); }

    // The column map: frequency to column (kNoColumn when outside), column to frequency and bin.
    int FrequencyToColumn(float frequency) const;
    float ColumnFrequency(int x) const;
    UINT ColumnBin(int x) const;
    // The text table "Copy As Text" places.
    std::string BuildTextTable() const;

    SpectralData* GetData() const { return m_sourceA; }
    int GetChannel() const { return m_channel; }
    int GetVisibleStart() const { return m_visibleStart; }
    int GetVisibleEnd() const { return m_visibleEnd; }
    const std::vector<Tick>& GetXTicks() const { return m_xTicks; }
    const std::vector<Tick>& GetYTicks() const { return m_yTicks; }
    CToolBtn* GetButton(UINT id) const;
    CEdit* GetTopEdit() const { return m_topEdit.get(); }

protected:
    std::string PaneCaption() const override { return {}; }
    COLORREF PlotBackgroundColor() const override;
    void OnSize(UINT nType, int cx, int cy);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnZoomIn();
    void OnZoomFull();
    void OnZoomIn2x();
    void OnZoomOut2x();
    void OnEditTop();
    void ApplyTop(float value);
    // The height of the texts being drawn: the page font's while printing, else the screen's.
    int TextHeight() const { return m_printing ? TPlotBase::m_fontHeight : m_fontHeight; }
    bool ApplyTypedBoxes(bool finished) override;
    void OnCopyText();
    void OnViewDataValues();
    void OnToolbarToggle();
    DECLARE_MESSAGE_MAP()

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one
    void CreateControls() override;
    void LayoutToolbar();
    void UpdateScrollRange() override;
    void BuildColumnMap();
    // The page's font needs more room beside the panes than the screen's layout gives when the
    // page is narrow for the window: the left margin makes room for the labels and the title.
    void ScaleForPrinter(CDC* dc, PrintSettings settings) override;
    // The left margin the screen needs for the phase labels that stand beside the axis title
    // to clear it (0 when every label does at the margin's width).
    int LeftMarginForTitle();
    // How wide the widest phase label is in the context's current font.
    int WidestPhaseLabel(CDC* dc) const;
    void BuildFrequencyTicks();
    void BuildPhaseTicks();
    void SetRangeFromBins();
    void DrawTrace(CDC* dc, const CRect& pane, const RECT& update, SpectralData* source);
    void DrawPane(CDC* dc, const CRect& pane, const RECT& update, SpectralData* source, bool frequencyAxis,
                  bool titleFirst);
    const CRect* PaneAt(CPoint point) const;
    int PhaseToY(float phase, const CRect& pane) const;

    std::unique_ptr<CToolBtn> m_zoomInBtn, m_zoomFullBtn, m_zoom2xInBtn, m_zoom2xOutBtn, m_optionsBtn;
    std::unique_ptr<CEdit> m_topEdit;
    std::unique_ptr<TLimitScroll> m_topSpin;

    SpectralData* m_sourceA = nullptr;
    SpectralData* m_sourceB = nullptr;
    int m_channel = 0;
    int m_visibleStart = 0;
    int m_visibleEnd = 0;
    std::vector<Tick> m_xTicks;
    std::vector<Tick> m_yTicks;
    std::vector<ColumnEntry> m_columns;
    std::vector<POINT> m_tracePoints;
    bool m_layingOut = false;
};
