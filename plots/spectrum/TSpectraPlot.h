// The spectrum plot of an input or composite channel: trace A (the channel's spectrum or the
// composite's result) and, for a transfer function with coherence, trace B (the coherence) in
// a second pane; peak hold, eight markers, line, bar and stepped-bar styles over linear,
// logarithmic and 1/N-octave frequency axes, axes and grid, the power readout and meter, the
// tool strip with zoom, style, limits, autoscale and peak-hold controls, the pop-up menu, and
// text export to the clipboard and to a file.
//
// The window reads its spectra at drawing time from the bound engines and keeps only the pixel
// polylines it last drew: a block update draws the previous polylines again in the background
// colour and then the new ones, so it never repaints the window. Each pixel column of the plot
// shows one bin (or band); where many bins share a column it shows the largest of them, so
// narrow peaks stay visible when zoomed out.
//
// The records and spectra are the frame's; a composite's window is handed the records of the
// composite's source channel and never looks up records by its own channel number.
//
// Each trace has seven overlay slots kept as files in the temporary folder ("Ch_%d_%d.ovl"
// for trace A, "Ch2_%d_%d.ovl" for trace B): six stored snapshots of the trace and a seventh
// computed from them. Shown slots are read back and turned into polylines on every layout.
//
// Threads: user-interface thread only.
#pragma once

#include "records/ChannelScalingSettings.h"
#include "plots/TSettingsPlot.h"

#include <memory>
#include <string>
#include <vector>

struct ChannelProcessingSettings;
struct ChannelScalingSettings;
struct MarkerSettings;
struct PathSettings;
class SpectralData;
class TOverlayData;
class CToolBtn;
class CEdit;
class CButton;
class CComboBox;
class TLimitScroll;
class CDataView;

class TSpectraPlot : public TSettingsPlot<SpectrumPlotSettings> {
public:
    static constexpr int kOverlaySlots = 7;

    struct Label {
        int offset = 0; // pixels from the plot's left (frequency) or the pane's top (amplitude)
        char text[12] = {};
    };
    struct Column {
        int bin = 0;
        float frequency = 0.0f;
    };

    TSpectraPlot();
    ~TSpectraPlot() override;

    // channel: the input channel 0 to 7, or 8 + the composite index.
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings* processing,
                ChannelScalingSettings* scaling, MarkerSettings* markers, SpectrumPlotSettings* settings,
                SpectralData* traceA, SpectralData* traceB, int channel);
    // The folders of the frame: the temporary folder (overlay slot files, taken at Create) and
    // the working overlay folder (where the overlay file dialogs start). Call before Create.
    void SetPaths(const PathSettings* paths, PathSettings* workingPaths);
    void SetTitle(const char* text);
    // Binds the spectra; the caller lays the window out afterwards (UpdateLayout).
    void SetData(SpectralData* traceA, SpectralData* traceB);
    bool IsPaneB(const CRect& rect) const;
    void LayoutToolStrip();
    void LayoutOverlayControls();
    void ShowToolbar(bool show);
    // true: the x axis is quefrency in " msec" (a cepstrum); false: frequency in " Hz".
    void SetTimeUnitsMsec(bool on);
    // PlotTop and PlotRange from the visible data; unchanged when the data give no usable span.
    void Autoscale();
    // The rounded limits of one spectrum over bins first..last; false when nothing usable.
    bool FindAutoscaleLimits(const SpectralData* spectrum, int first, int last, double* top, double* bottom) const;
    // 1 ("None"), 3, 5, ... 15 bins; only with narrowband frequency and dB amplitude scaling.
    void SmoothSpectrum(int bins);
    void SetMarker(int index);
    void ClearMarker(int index);

    // ---- Overrides of the base.
    void UpdateLayout() override;
    void UpdateFrame(float time) override;
    void DrawPlot(CDC* dc, bool full, const RECT& update) override;
    void DrawBackground(CDC* dc, bool full, const RECT& update) override;
    void ScaleForPrinter(CDC* dc, PrintSettings settings) override;
    void RefreshSysColors() override;
    void SetSelectionRect(CRect selection) override;
    double PixelToXValue(int x, int y) override;
    double PixelToYValue(int x, int y) override;
    WORD GetHarmonicCount(int x, int y) override;
    CPoint GetHarmonicPoint(WORD k, int x, int y) override;
    CPoint GetUpperSidebandPoint(WORD k, CPoint anchor, int x, int y) override;
    CPoint GetLowerSidebandPoint(WORD k, CPoint anchor, int x, int y) override;
    WORD IsFrequencyAxisVertical() const override { return 0; }
    void MoveCursorToTrace(CPoint& point) override;
    void UpdateScrollRange() override;
    void UpdateScrollPos() override;
    bool CanCopy() override { return true; }

    // ---- Operations of the spectrum window.
    virtual void ScrollView(UINT code, UINT position);
    virtual void FillRectIfVisible(CDC* dc, const CRect& rect, const RECT& update);
    virtual void ReservedHook(int, int) {}
    // The incremental redraw of bars over octave bands.
    virtual void DrawTraces(CDC* dc);
    virtual void SetFrequencyRange(float low, float high);
    virtual void SetScalingSettings(ChannelScalingSettings) {}
    virtual void CopyDataToClipboard();
    virtual void WriteTextFile();
    // The per-block redraw into a window or printer context.
    void RedrawFrame(CDC* dc);

    // ---- Overlays. trace: 1 (A) or 2 (B); slot 0..6 (the seventh is the composite).
    void StoreOverlay(int trace, int slot);
    void StoreAutoOverlay(int trace);
    void ShowOverlay(int trace, int slot);
    void UpdateAutoOverlay(int trace);
    void ReloadOverlays();
    // A curve as a polyline across a pane, one point a pixel column; points stay as they
    // were when the column table does not cover the pane.
    void BuildOverlayPoints(const TOverlayData* overlay, const CRect& pane, std::vector<POINT>& points);
    const TOverlayData* GetOverlay(int trace, int slot) const;
    std::string OverlaySlotPath(int trace, int slot) const;

    // ---- Geometry between spectra and pixels.
    // The first column whose frequency is at most f while the next one's is at least f,
    // relative to the plot's left edge; -999 when there is none.
    int FrequencyToColumn(float f) const;
    // The frequency and bin of a client x (0 and 1 outside the table).
    float ColumnToFrequency(int x) const;
    int ColumnToBin(int x) const;
    // The height above the pane's bottom of a level, truncated and clamped to 1..H; false
    // when the log-magnitude axis has no span.
    bool LevelToHeight(double level, const CRect& pane, int& height);
    // The amplitude mapping of one pane with its scale read once: map(level) is the height
    // LevelToHeight gives, by the same arithmetic. False when the axis has no span.
    struct HeightMap {
        enum Kind { kDecibel, kLinear, kLogMagnitude, kCoherence } kind = kDecibel;
        int H = 0;
        double top = 1.0, range = 0.0, lo = 0.0, span = 0.0;
        int operator()(double level) const;
    };
    bool MakeHeightMap(const CRect& pane, HeightMap& map);

    // ---- What the window shows (for its owner and tests).
    SpectralData* GetTraceA() const { return m_traceA; }
    int GetChannel() const { return m_channel; }
    int GetTraceCount() const { return m_traceCount; }
    bool IsQuefrencyMode() const { return m_quefrency != 0; }
    const char* GetXUnit() const { return m_xUnit; }
    const std::vector<Column>& GetColumns() const { return m_columns; }
    const std::vector<Label>& GetFrequencyLabels() const { return m_freqLabels; }
    const std::vector<Label>& GetAmplitudeLabels() const { return m_ampLabels; }
    const std::vector<Label>& GetAmplitudeLabelsB() const { return m_ampLabelsB; }
    const std::vector<POINT>& GetTracePoints() const { return m_pointsA; }
    CToolBtn* GetButton(UINT id) const;
    CEdit* GetPlotTopEdit() const { return m_plotTopEdit.get(); }
    CEdit* GetPlotRangeEdit() const { return m_plotRangeEdit.get(); }
    CComboBox* GetPeakHoldCombo() const { return m_peakHoldCombo.get(); }
    CDataView* GetDataView() const { return m_dataView.get(); }

    // The choice of the "Select Data Source" dialog for Copy As Text, kept for the program's
    // life: 1 copies peak-hold values.
    static BYTE s_copySource;
    // The same choice for storing overlays.
    static BYTE s_storeSource;

protected:
    void CreateControls() override;
    std::string PaneCaption() const override { return {}; }
    COLORREF PlotBackgroundColor() const override;

    void OnSize(UINT nType, int cx, int cy);
    void OnRButtonDown(UINT nFlags, CPoint point);
    void OnRButtonUp(UINT nFlags, CPoint point);
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    // Command handlers: each command has its entry, so that menus show the items enabled.
    void OnZoom(UINT id);
    void OnStyleCommand(UINT id);
    void OnProperties();
    void OnAutoscaleCommand();
    void OnCopyText();
    void OnWriteText();
    void OnCopyBitmap();
    void OnClearSpectrum();
    void OnClearPeakHold();
    void OnSetMarker(UINT id);
    void OnClearMarker(UINT id);
    void OnClearAllMarkers();
    void OnPullCursor();
    void OnChannelCommand(UINT id);
    void OnHelp();
    void OnSmooth(UINT id);
    void OnToggle(UINT id);
    void OnStoreOverlay(UINT id);
    void OnShowOverlay(UINT id);
    void OnOverlayDialog(UINT id);
    void OnMarkerOptions();
    void OnViewDataValues();
    LRESULT OnDataViewClosing(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one

    // Tool strip and commands.
    void ApplyAmpScaleControls();
    void PressStyleButton();
    void OnPlotTopChanged();
    void OnPlotRangeChanged();
    void ApplyPlotTop(float value);
    void ApplyPlotRange(double value);
    bool ApplyTypedBoxes(bool finished) override;
    void AfterLimitChange();
    void OnPeakHoldChanged();
    void OnStyle(WORD type);
    void ShowPlotMenu(CPoint client);
    void ShowCursorMenu(CPoint client);
    void CopyBitmapWithoutToggles();
    void ClearSpectrum();
    void ClearPeakHold();
    void PlaceToggles();
    int RightMargin() const;
    // How the overlay controls stand in a client area `clientHeight` high: each trace's seven
    // rows in one column, the columns one above the other, where the height allows. In a
    // shorter window each trace keeps its one column, rows from just below the "Overlays"
    // header `pitch` apart, with the "Options..." button under them or, with no room there,
    // beside the last rows; two traces' columns then stand side by side and the right margin
    // widens by one column.
    struct OverlayGrid {
        bool sideBySide = false;
        bool buttonBeside = false;
        int pitch = 14;
    };
    OverlayGrid OverlayGridFor(int clientHeight) const;
    void LayoutOverlayGrid(const OverlayGrid& grid, int x);
    const char* PlotTopFormat() const;

    // Tables.
    void BuildColumnTable();
    void BuildFrequencyLabels();
    void BuildAmplitudeLabels();
    void BuildLogMagnitudeLabels();
    void BuildAmplitudeLabelsB();
    void AllocatePointArrays();
    double FrequencyScale() const;
    int PaneHeightForLabels() const;

    // Traces.
    void BuildTracePoints(SpectralData* spectrum, const CRect& pane, std::vector<POINT>& points, bool peakHold);
    void BuildBandPoints(SpectralData* spectrum, const CRect& pane, std::vector<POINT>& points, bool peakHold);
    void BuildTrace(SpectralData* spectrum, const CRect& pane, std::vector<POINT>& points, bool peakHold);
    void DrawPolyline(CDC* dc, const CRect& pane, const RECT& update, const std::vector<POINT>& points,
                      COLORREF color, int style);
    void RedrawPane(CDC* dc, SpectralData* spectrum, const CRect& pane, int trace, bool bars);

    // Overlays.
    bool OverlayTraceValid(int trace) const;
    const CRect& OverlayPane(int trace) const;
    void LoadOverlay(int trace, int slot);
    void FreeOverlay(int trace, int slot);
    void DrawOverlays(CDC* dc, const CRect& pane, const RECT& update);
    void RepaintOverlayPane(int trace);

    // Decorations.
    void DrawTitle(CDC* dc, const CRect& pane, const RECT& update, const char* units);
    void DrawPowerReadout(CDC* dc, SpectralData* spectrum, const CRect& pane, const RECT& update);
    void InvalidatePowerReadout(const CRect& pane);
    CRect MeterStrip(const CRect& pane, CDC* dc) const;
    void DrawMeterFrame(CDC* dc, const CRect& pane, const RECT& update);
    void DrawMeter(CDC* dc, const CRect& pane, SpectralData* spectrum, int level, int peak);
    void UpdateMeter(CDC* dc, const CRect& pane, SpectralData* spectrum, int& level, int& peak);
    void DrawAmplitudeAxis(CDC* dc, const CRect& pane, const RECT& update);
    void DrawFrequencyAxis(CDC* dc, const CRect& pane, const RECT& update);
    void DrawAmplitudeGrid(CDC* dc, const CRect& pane, const RECT& update);
    void DrawFrequencyGrid(CDC* dc, const CRect& pane, const RECT& update);
    void DrawOverlayLegend(CDC* dc, bool flag, const CRect& pane, const RECT& update);
    COLORREF PrintColor(CDC* dc, COLORREF color) const;

    // Markers.
    void DrawMarkers(CDC* dc, SpectralData* spectrum, POINT* points, RECT* rects, const CRect& pane,
                     const RECT& update);
    // Paints the markers out; returns the area painted, where the grid needs drawing again.
    CRect EraseMarkers(CDC* dc, const POINT* points, const RECT* rects, const CRect& pane);
    void MarkersOf(const CRect& pane, POINT*& points, RECT*& rects);
    // A block with no marker shown skips the markers' drawing state altogether.
    bool AnyMarkerEnabled() const;

    // Records and data.
    std::string m_title;
    std::string m_overlayFolder;
    std::string m_tempFolder;
    ChannelProcessingSettings* m_processing = nullptr;
    ChannelScalingSettings* m_scaling = nullptr;
    MarkerSettings* m_markers = nullptr;
    std::unique_ptr<CDataView> m_dataView; // "View Data Values", while open
    SpectralData* m_traceA = nullptr;
    SpectralData* m_traceB = nullptr;
    int m_channel = 0;
    int m_traceCount = 1;
    BYTE m_creatingControls = 0;
    BYTE m_inLayout = 0;
    BYTE m_quefrency = 0;

    // Controls.
    std::unique_ptr<CToolBtn> m_zoomIn, m_zoomFull, m_zoom2xIn, m_zoom2xOut;
    std::unique_ptr<CToolBtn> m_lineButton, m_barButton, m_stepBarButton, m_optionsButton;
    std::unique_ptr<CEdit> m_plotTopEdit;
    std::unique_ptr<TLimitScroll> m_plotTopSpin;
    std::unique_ptr<CEdit> m_plotRangeEdit;
    std::unique_ptr<TLimitScroll> m_plotRangeSpin;
    std::unique_ptr<CToolBtn> m_autoscaleButton;
    std::unique_ptr<CComboBox> m_peakHoldCombo;
    std::unique_ptr<CToolBtn> m_markerButton;
    std::unique_ptr<CButton> m_toolbarToggle, m_meterToggle, m_overlayToggle;
    std::unique_ptr<CEdit> m_auxEdit;
    std::unique_ptr<CButton> m_storeA[kOverlaySlots], m_storeB[kOverlaySlots];
    std::unique_ptr<CButton> m_showA[kOverlaySlots], m_showB[kOverlaySlots];
    std::unique_ptr<CButton> m_overlayDialogA, m_overlayDialogB;
    int m_overlayPitch = 16; // pixels between overlay rows: 16, closer in a short window

    // Tables and polylines.
    std::vector<Label> m_freqLabels, m_ampLabels, m_ampLabelsB;
    std::vector<Column> m_columns;
    int m_pointCapacity = 0;
    std::vector<POINT> m_pointsA, m_pointsB, m_prevA, m_prevB;
    std::vector<POINT> m_peakPoints, m_prevPeak;
    std::vector<POINT> m_buildPoints; // where a trace polyline is built before it is swapped in
    std::vector<POINT> m_curvePoints; // where a curve's polyline is built before it is copied in
    std::vector<POINT> m_fallenBars;  // the previous bars cut down to where they fell
    int m_meterLevel[2] = {};
    int m_meterPeak[2] = {};
    int m_meterLevelDrawn[2] = {};
    int m_meterPeakDrawn[2] = {};
    POINT m_markerPosA[8] = {}, m_markerPosB[8] = {}, m_markerPos[8] = {};
    RECT m_markerRectA[8] = {}, m_markerRectB[8] = {}, m_markerRect[8] = {};
    CPoint m_cursorPoint;
    CDC* m_printDC = nullptr; // the printer context while printing

    // Overlays: index 0 trace A, 1 trace B; null when not shown.
    const PathSettings* m_paths = nullptr;
    PathSettings* m_workingPaths = nullptr;
    std::unique_ptr<TOverlayData> m_overlays[2][kOverlaySlots];
    std::vector<POINT> m_overlayPoints[2][kOverlaySlots];
};
