// The spectrogram of an input or composite channel: one line of coloured pixels per spectrum
// in an off-screen picture per pane (time along one axis, frequency along the other, level as
// colour), with its frequency and time axes, colour legend and marker arrows.
//
// Direction 0..3 turns the picture: time runs horizontally with new lines entering at the
// right (0) or left (1), or vertically entering at the bottom (2) or top (3). ScrollType 0
// scrolls the picture by a line per spectrum; 1 writes over it at a sweeping position.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/spectrogram/THistoryPlot.h"

class TSpectrogram : public THistoryPlot<SpectrogramPlotSettings> {
public:
    TSpectrogram();

    // The engines' current spectrum drawn as history line `line` (the rebuild road). The line
    // goes into the picture; the window shows it at ShowRebuiltLines or its next paint.
    void Rebuild(int line, SpectralData* traceA, SpectralData* traceB);
    // Copies the lines rebuilt since the last call from the pictures to the window, in one
    // piece a pane.
    void ShowRebuiltLines();
    // UpdateLayout for a rebuild that is about to draw every line: the window is repainted
    // at once but for what the lines will cover. EndRebuild shows the last lines and repaints
    // what the lines were to cover and did not (a rebuild cut short).
    void UpdateLayoutForRebuild();
    void EndRebuild();
    // Direction and ScrollType of the plot settings.
    int GetOrientation() const;
    WORD GetScrollType() const;
    int GetSweepPosition() const { return m_sweep; }

    void GetSelectedSegment(float& start, float& end) override;
    double PixelToXValue(int x, int y) override;
    double PixelToYValue(int x, int y) override;
    bool FrequencyVertical() const override;
    std::string CursorValuesText() const override;
    void RecalcLayout(BOOL bNotify = TRUE) override;

    const std::vector<history::AxisLabel>& GetFrequencyLabels() const { return m_frequencyLabels; }
    // Annotations made since the program started (they number from 1).
    static int AnnotationCount() { return s_annotations; }

protected:
    const char* KindName() const override { return "Spectrogram"; }
    bool IsSurface() const override { return false; }
    int HistoryRows() const override;
    void BuildPalette() override;
    void CreatePaneBitmaps() override;
    void BuildScales() override;
    void FinishLayout() override;
    void PaintNewSpectrum(int pane, SpectralData* trace) override;
    int NewLineRow() const override { return m_sweep; }
    bool ScrollsHistory() const override;
    void AdvanceSweep() override;
    CRect SelectionShape(int pane) const override;
    void RepaintAfterLayout() override;
    void RepaintTimeLabels(const char* oldEntry, const char* oldFar) override;
    COLORREF PictureBackground() const override;
    void AddMeasurementEntries(CMenu& menu) override;
    void Annotate(CPoint point) override;

    DECLARE_MESSAGE_MAP()

private:
    int FrequencyAxisLength() const;
    // The colour of each frequency pixel of a line; false when the line is not drawn.
    bool LineColours(SpectralData* trace, std::vector<COLORREF>& colours);
    // The client point of frequency pixel p on row r (counted from the entry edge) of a pane.
    CPoint PicturePoint(int p, int r, int width, int height) const;
    void CreatePaneBitmap(int pane);
    void ClearPaneImages();
    // Writes a line (kThickness rows from `row`) into the pane's picture in one copy; returns the
    // picture rectangle written, empty when nothing was.
    CRect WriteLine(int pane, int row, SpectralData* trace);
    // The memory contexts lines are drawn with, made on first use.
    bool LineContextsReady();
    // The client area every line of the history covers in a pane; empty for none.
    CRect LinesArea(int pane) const;

    void DrawTimeAxis(CDC* dc, int pane) override;
    void DrawFrequencyAxis(CDC* dc, int pane) override;
    void DrawLegend(CDC* dc, const RECT& update) override;
    int PageRightMargin(CDC* dc, int rotated) override;
    // Below the labels under the panes, the axis caption, 2 clear of the page's frame.
    int PageBottomMargin() const override { return 9 + m_textHeight + 2 + m_textHeight + 2; }
    int BottomCaptionTop(const CRect& client) const { return client.bottom - m_textHeight - (m_printing ? 2 : 0); }
    // "Time (sec)" with the division the history's span gives.
    void TimeCaption(char (&caption)[48]) const;
    // Where a time label of a pane's row, and the time caption, stand on screen.
    CRect TimeLabelBox(const CRect& pane, int row, const char* text);
    CRect TimeCaptionBox(int pane, const char* caption);
    // The caption as last drawn.
    char m_shownCaption[48] = "";

    int m_sweep = 0;
    // A line's colours and pixels, kept between lines so that drawing one allocates no memory.
    std::vector<COLORREF> m_lineColours;
    std::vector<int> m_lineIndices;
    history::LevelScaler m_scale;
    std::vector<DWORD> m_stripBits;
    CBitmap m_strip;
    // Kept from line to line, with nothing selected into them between lines: making a context
    // allocates, and fills a bitmap through code that leaves the vector registers dirty, which
    // slows the next block's arithmetic.
    CDC m_pictureDC;
    CDC m_stripDC;
    // Picture rectangles of each pane rebuilt but not yet shown on the window.
    CRect m_unshown[2];
    // During a rebuild: the client areas left for its lines, and what of them they showed.
    bool m_layingOutForRebuild = false;
    CRect m_leftForLines[2];
    CRect m_shownLines[2];
    static int s_annotations;
};
