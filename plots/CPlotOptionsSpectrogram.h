// "Spectrogram" page of the plot options sheet: one channel's SpectrogramPlotSettings.
#pragma once

#include "plots/CPlotOptionsHistory.h"
#include "records/SpectrogramPlotSettings.h"

class CPlotOptionsSpectrogram : public CPlotOptionsHistory {
public:
    CPlotOptionsSpectrogram();

    SpectrogramPlotSettings* m_record = nullptr;

    void LoadSettings() override;
    bool StoreSettings() override;

protected:
    bool GetFields(Fields& fields) override;
    std::vector<Colour> Colours() const override;
    COLORREF* ColourField(int swatch) override;
    void Defaults() override;
};
