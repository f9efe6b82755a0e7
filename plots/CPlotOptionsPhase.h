// "Phase" page of the plot options sheet: one channel's PhasePlotSettings.
#pragma once

#include "plots/CPlotOptionsPage.h"
#include "records/PhasePlotSettings.h"

class CPlotOptionsPhase : public CPlotOptionsPage {
public:
    CPlotOptionsPhase();

    PhasePlotSettings* m_record = nullptr;

    void LoadSettings() override;
    bool StoreSettings() override;

protected:
    std::vector<Colour> Colours() const override;
    COLORREF* ColourField(int swatch) override;
    void Defaults() override;
};
