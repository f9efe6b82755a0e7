// The phase plot of an input or composite channel.
//
// Provisional: it keeps its records and its bound engines and shows or hides its tool strip;
// it draws the plot's frame and the channel's caption, and no phase trace yet.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/TChannelPlot.h"

class SpectralData;

class TPhasePlot : public TChannelPlot<PhasePlotSettings> {
public:
    TPhasePlot() = default;

    // channel: the input channel 0 to 7, or 8 + the composite index.
    BOOL Create(LPCSTR title, DWORD style, const RECT* rect, ChannelProcessingSettings processing,
                ChannelScalingSettings scaling, MarkerSettings markers, PhasePlotSettings* settings,
                SpectralData* first, SpectralData* second, int channel);

    // Binds the engine (null unbinds); the word is kept as given.
    void SetData(SpectralData* source, DWORD word);

    SpectralData* GetData() const { return m_first; }
    SpectralData* GetSecondData() const { return m_second; }
    int GetChannel() const { return m_channel; }
    const ChannelProcessingSettings& GetProcessing() const { return m_processing; }

protected:
    std::string PaneCaption() const override;
    COLORREF PlotBackgroundColor() const override;

private:
    using TPlotBase::Create; // the plot's own Create replaces the frame-window one
    SpectralData* m_first = nullptr;
    SpectralData* m_second = nullptr;
    DWORD m_word = 0;
    int m_channel = 0;
};
