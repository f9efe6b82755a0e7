// "Time Series" page of the plot options sheet: one channel's TimeSeriesPlotSettings.
#pragma once

#include "plots/CPlotOptionsPage.h"
#include "records/TimeSeriesPlotSettings.h"

class CPlotOptionsSeries : public CPlotOptionsPage {
public:
    CPlotOptionsSeries();

    TimeSeriesPlotSettings* m_record = nullptr;

    void LoadSettings() override;
    bool StoreSettings() override;

protected:
    std::vector<Colour> Colours() const override;
    COLORREF* ColourField(int swatch) override;
    void Defaults() override;
    void OnLinear();
    void OnLogarithmic();
    DECLARE_MESSAGE_MAP()

private:
    // The limits the Plot Top and Plot Range values are checked against.
    float m_maximum = 1e7f;
    float m_minimum = 1e-7f;
    float m_step = 1.0f;
};
