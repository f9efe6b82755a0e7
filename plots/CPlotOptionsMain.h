// The plot options sheet: the display options of every plot kind of one channel, on working
// copies of all channels' plot records. The channel sheet ("Plot Options") covers the eight
// input channels with five pages; the composite sheet ("Composite Plot Options") the sixteen
// composite channels without the time-series page. The user walks from channel to channel
// inside the sheet; a walk and OK first store every page, and stop on the first page that
// refuses. The caller copies the working arrays back after OK and refreshes what changed.
//
// User-interface thread only.
#pragma once

#include "plots/CPlotOptionsPhase.h"
#include "plots/CPlotOptionsSeries.h"
#include "plots/CPlotOptionsSpectrogram.h"
#include "plots/CPlotOptionsSpectrum.h"
#include "plots/CPlotOptionsSurface.h"
#include "platform/ui/Controls.h"
#include "platform/ui/PropertySheet.h"

#include <memory>
#include <vector>

class CPlotOptionsMain : public CPropertySheet {
public:
    // kind: 1 time series, 2 spectrum, 3 phase, 4 spectrogram, 5 surface. The arrays hold 8
    // entries (16 with composite); series is null for the composite sheet.
    CPlotOptionsMain(LPCSTR caption, CWnd* parent, int kind, int channel, TimeSeriesPlotSettings* series,
                     SpectrumPlotSettings* spectrum, MarkerSettings* markers, PhasePlotSettings* phase,
                     SpectrogramPlotSettings* spectrogram, SurfacePlotSettings* surface, BYTE composite);

    CPlotOptionsSeries m_SeriesPage;
    CPlotOptionsSpectrum m_SpectrumPage;
    CPlotOptionsPhase m_PhasePage;
    CPlotOptionsSpectrogram m_SpectrogramPage;
    CPlotOptionsSurface m_SurfacePage;

    // The amplitude scale (0 linear, 1 dB, 2 log magnitude) each channel's plots are drawn in,
    // one entry per channel of the sheet; set before DoModal. Channels without one take dB.
    void SetAmpScaleTypes(const WORD* types, int count);
    int AmpScaleType() const;

    int GetChannel() const { return m_channel; }
    int ChannelCount() const { return m_composite ? 16 : 8; }
    bool IsComposite() const { return m_composite != 0; }

    BOOL OnInitDialog() override;
    // Copies the current channel's record of the active page's kind over every channel's.
    void CopySettingsToAllChannels();

protected:
    void OnOK();
    void OnSelChangeChannel();
    void OnPrevChannel();
    void OnNextChannel();
    DECLARE_MESSAGE_MAP()

private:
    std::vector<CPlotOptionsPage*> Pages();
    // Stores every page in walk order; shows the first that refuses and returns false.
    bool StorePages();
    void AttachPagesToChannel();
    void UpdateChannelButtons();
    void SelectCurrentChannel();

    int m_kind;
    int m_channel;
    BYTE m_composite;
    TimeSeriesPlotSettings* m_series;
    SpectrumPlotSettings* m_spectrum;
    MarkerSettings* m_markers;
    PhasePlotSettings* m_phase;
    SpectrogramPlotSettings* m_spectrogram;
    SurfacePlotSettings* m_surface;
    WORD m_ampScale[16];
    std::unique_ptr<CComboBox> m_channelList;
    std::unique_ptr<CButton> m_prev, m_next;
};
