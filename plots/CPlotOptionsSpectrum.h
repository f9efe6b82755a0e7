// "Spectrum" page of the plot options sheet: one channel's SpectrumPlotSettings, and its
// MarkerSettings through the marker options dialog.
#pragma once

#include "plots/CPlotOptionsPage.h"
#include "records/MarkerSettings.h"
#include "records/SpectrumPlotSettings.h"

class CPlotOptionsSpectrum : public CPlotOptionsPage {
public:
    CPlotOptionsSpectrum();

    SpectrumPlotSettings* m_record = nullptr;
    MarkerSettings* m_markers = nullptr;

    void LoadSettings() override;
    bool StoreSettings() override;

protected:
    std::vector<Colour> Colours() const override;
    COLORREF* ColourField(int swatch) override;
    void Defaults() override;
    void OnMarkerOptions();
    DECLARE_MESSAGE_MAP()
};
