// The time-series plot of an input channel: the channel's live sample buffer, or its wave
// file, over a visible range of samples.
//
// Provisional: it keeps its bindings, its visible range (SetSelection, SaveView, RestoreView),
// a whole-range selection (SelectAll) and the file position, autoscales the settings' Plot Top,
// Range and Center from the visible samples, shows or hides its tool strip, and draws the
// plot's frame with the channel's caption and the file-position line. It draws no trace yet
// and has no tool-strip buttons.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/TSettingsPlot.h"

class TSampleBuffer;
class TWaveFile;

class TSeriesPlot : public TSettingsPlot<TimeSeriesPlotSettings> {
public:
    TSeriesPlot() = default;

    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, TimeSeriesPlotSettings* settings,
                TSampleBuffer* buffer, DWORD bufferWord, TWaveFile* file, DWORD fileWord, int channel);

    // The live source and its sample count (0: the buffer's own).
    void SetBuffer(TSampleBuffer* buffer, DWORD count);
    // The wave file drawn instead of the live buffer (null for none).
    void SetRange(TWaveFile* file, DWORD word);
    void SetChannelMode(UINT mode);
    // Visible range in seconds, limited to the data's extent; nothing without a sample buffer
    // or when end < start.
    void SetSelection(float start, float end);
    void SaveView();
    void RestoreView();
    // Selects the whole visible range.
    void SelectAll();
    void ShowTimePosition(float seconds);
    // Plot Top, Range (logarithmic) or Center (linear) of the settings from the visible samples
    // of the source: the file's channel slot (the channel mode) in file mode, else the buffer.
    void Autoscale();
    // Play (button, pop-up entry and the frame's Play commands): plays the selection through
    // the frame when there is one.
    void OnPlaySegment();
    // No play button is pressed yet, so there is nothing to release.
    void ReleasePlayButton() {}

    void UpdateLayout() override;
    void GetSelectedSegment(float& start, float& end) override;
    bool CanCut() override { return m_hasSelection; }
    bool CanCopy() override { return m_hasSelection; }
    bool CanPlayOrFilter() override { return m_hasSelection; }
    void DrawPlot(CDC* dc, bool full, const RECT& update) override;

    TSampleBuffer* GetBuffer() const { return m_buffer; }
    TWaveFile* GetWaveFile() const { return m_file; }
    UINT GetChannelMode() const { return m_channelMode; }
    int GetChannel() const { return m_channel; }
    DWORD GetViewStart() const { return m_viewStart; }
    DWORD GetViewEnd() const { return m_viewEnd; }
    float GetTimePosition() const { return m_timePosition; }

protected:
    std::string PaneCaption() const override;
    COLORREF PlotBackgroundColor() const override;

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one
    // Samples (frames) of the file, or of the buffer when there is no file.
    DWORD Extent() const;
    DWORD SecondsToIndex(float seconds) const;
    float IndexToSeconds(DWORD index) const;

    TSampleBuffer* m_buffer = nullptr;
    DWORD m_sampleCount = 0;
    TWaveFile* m_file = nullptr;
    DWORD m_fileWord = 0;
    UINT m_channelMode = 0;
    int m_channel = 0;
    DWORD m_viewStart = 0;
    DWORD m_viewEnd = 0;
    DWORD m_savedStart = 0;
    DWORD m_savedEnd = 0;
    bool m_hasSelection = false;
    DWORD m_selStart = 0;
    DWORD m_selEnd = 0;
    float m_timePosition = -1.0f;
};
