// The value window of a plot: the numbers behind a time series (kind 1), a spectrum (kind 2)
// or a phase plot (kind 3), one row per sample or bin, with a vertical scroll bar.
//
// The plot that opens it owns it: the plot refreshes it once per drawn block, hands it a new
// engine when its own is rebuilt, and deletes it when it reports WM_DATAVIEW_CLOSING. The view
// never closes or deletes itself. The data it lists (engine, sample buffer, wave file,
// settings, calibration) belongs to the frame; the pointers are not owned.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

#include <memory>
#include <string>

class SpectralData;
class TSampleBuffer;
class TWaveFile;
struct ChannelCalibration;
struct TimeSeriesPlotSettings;

// What a time-series value window reads: the live buffer or the wave file, as the plot's
// settings say (TimeSeriesDataSource 0 file, 1 or 2 live), scaled as the plot shows them.
struct DataViewSeriesSource {
    TSampleBuffer* buffer = nullptr;
    TWaveFile* file = nullptr;
    int fileChannel = 0;
    const TimeSeriesPlotSettings* settings = nullptr;
    const ChannelCalibration* calibration = nullptr;
};

class CDataView : public CWnd {
public:
    static constexpr int kRowHeight = 18;
    static constexpr int kColumnWidth = 100;
    static constexpr int kWidth = 234;
    static constexpr int kHeight = 218;
    static constexpr int kScrollWidth = 12;
    static constexpr UINT kScrollId = 109;

    CDataView();
    ~CDataView() override;

    // Only rect's top-left corner (screen coordinates) is used; the view is 234 x 218, wider
    // when its title needs more room in the title bar.
    // kind: 1 time series, 2 spectrum, 3 phase. channel: 0..7, or 0..15 with composite.
    bool Create(CWnd* owner, RECT rect, SpectralData* source, int channel, bool composite, int kind);
    // The time-series data (kind 1); the plot hands it over right after Create.
    void SetSeriesSource(const DataViewSeriesSource& series);
    void SetSource(SpectralData* source);
    // Repaints the value area only: the first column and the header row stay.
    void Refresh();

    virtual void UpdateTitle();
    virtual void DrawAll(CDC* dc, bool full, const RECT& rect);
    virtual void DrawFrame(CDC* dc, bool full, const RECT& rect);
    virtual void DrawValues(CDC* dc, bool full, const RECT& rect);

    // Items the scroll bar runs over (see the source for the rules).
    int ItemCount() const;
    int VisibleRows() const;
    int GetScrollPosition() const;
    CScrollBar* GetScrollBar() const { return m_scroll.get(); }
    int GetKind() const { return m_kind; }
    int GetChannel() const { return static_cast<int>(m_channel); }
    bool IsComposite() const { return m_composite != 0; }
    SpectralData* GetSource() const { return m_source; }
    // The text of the value cell in column (0 or 1) of visible row (1 = first item); empty
    // when the row shows no item. What DrawValues writes.
    std::string CellText(int row, int column) const;

protected:
    void OnSize(UINT nType, int cx, int cy);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnPaint();
    void OnClose();
    DECLARE_MESSAGE_MAP()

private:
    using CWnd::Create; // the view's own Create replaces the window one
    void ResetScrollRange(BOOL redraw);
    // Time-series helpers: whether the live buffer is the source, the item's time and value.
    bool SeriesLive() const;
    bool SeriesItem(int item, double& milliseconds, double& value) const;

    CWnd* m_ownerPlot = nullptr;
    WORD m_kind = 2;
    DWORD m_channel = 0;
    BYTE m_composite = 0;
    SpectralData* m_source = nullptr;
    BYTE m_painting = 1;
    CFont m_font;
    std::unique_ptr<CScrollBar> m_scroll;
    DataViewSeriesSource m_series;
};
