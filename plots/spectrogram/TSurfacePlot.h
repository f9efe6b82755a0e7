// The 3-D surface of an input or composite channel: the history of spectra as a waterfall.
// The newest spectrum is a filled outline along the bottom of a pane; every older one sits
// one pixel further right and three rows higher, partly hidden by the newer ones, so each
// new spectrum costs one scroll of the pane's picture and one polygon.
//
// ColorMode 0 colours the outline by height on the spectrum scale, 1 draws it in LineColor
// on BackgroundColor, 2 uses the custom scale, 3 the grey scale on white.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/spectrogram/THistoryPlot.h"

class TSurfacePlot : public THistoryPlot<SurfacePlotSettings> {
public:
    TSurfacePlot();

    // The engines' current spectrum drawn as the newest line in front of the waterfall.
    void Rebuild(SpectralData* traceA, SpectralData* traceB);

    void GetSelectedSegment(float& start, float& end) override;
    double PixelToXValue(int x, int y) override;
    double PixelToYValue(int x, int y) override;
    bool FrequencyVertical() const override { return false; }
    std::string CursorValuesText() const override;
    COLORREF GetBackgroundColor() const { return PictureBackground(); }
    // The cursor's marks follow the waterfall's slant: one pixel right per three rows up.
    void DrawCrosshair(CDC* dc, const CRect& pane, int x, int y) override;
    void DrawHarmonicMarkers(CDC* dc, const CRect& pane, int x, int y) override;
    void DrawSidebandMarkers(CDC* dc, const CRect& pane, int x, int y) override;
    void DrawXReadout(CDC* dc, const CRect& pane, int x, int y, float value) override;
    void EraseXReadout(CDC* dc, const CRect& pane, int x, int y) override;
    // Client x of the harmonic's or sideband's column on the front line.
    CPoint GetHarmonicPoint(WORD k, int x, int y) override;
    CPoint GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int y) override;
    CPoint GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int y) override;
    COLORREF GetOutlineColor() const;

    bool HasPolygonBuffer() const { return m_polygonCapacity > 0; }
    void RecalcLayout(BOOL bNotify = TRUE) override;

protected:
    const char* KindName() const override { return "3-D Surface"; }
    bool IsSurface() const override { return true; }
    int HistoryRows() const override { return std::max<int>(PaneRect(0).Height(), 0); }
    void BuildPalette() override;
    void CreatePaneBitmaps() override;
    void BuildScales() override;
    void FinishLayout() override;
    void PaintNewSpectrum(int pane, SpectralData* trace) override;
    CRect SelectionShape(int pane) const override;
    void RepaintTimeLabels(const char* oldEntry, const char* oldFar) override;
    COLORREF PictureBackground() const override;
    bool LooksPastBackground() const override { return true; }
    bool ShowsLevelBox() const override;

private:
    // Height in pixels of a level in a pane whose spectra may rise `most` pixels; -1 when the
    // scale has no span.
    int LevelHeight(double level, int most);
    void DrawTimeAxis(CDC* dc, int pane) override;
    // Top of the time label at a pane's entry edge (0, its bottom) or far edge (1, its top).
    int TimeLabelTop(const CRect& pane, int edge) const;
    CRect TimeLabelBox(const CRect& pane, int edge, const char* text);
    void DrawSlantedLine(CDC* dc, const CRect& pane, int x);
    // Left edge of the X read-out box for a cursor point.
    int XReadoutLeft(const CRect& pane, int x, int y) const;

    std::vector<POINT> m_outline;
    int m_polygonCapacity = 0;
    history::LevelScaler m_scale; // LevelHeight's scale, worked out once for a line's pixels
};
