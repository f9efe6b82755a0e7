// "3-D Surface" page of the plot options sheet: one channel's SurfacePlotSettings.
#pragma once

#include "plots/CPlotOptionsHistory.h"
#include "records/SurfacePlotSettings.h"

class CPlotOptionsSurface : public CPlotOptionsHistory {
public:
    CPlotOptionsSurface();

    SurfacePlotSettings* m_record = nullptr;

    void LoadSettings() override;
    bool StoreSettings() override;

protected:
    bool GetFields(Fields& fields) override;
    std::vector<Colour> Colours() const override;
    COLORREF* ColourField(int swatch) override;
    void Defaults() override;
};
