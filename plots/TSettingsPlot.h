// A plot whose tool strip follows the ShowToolbar flag of its settings record.
//
// Threads: user-interface thread only.
#pragma once

#include "plots/TPlotBase.h"

struct PhasePlotSettings;
struct SpectrogramPlotSettings;
struct SpectrumPlotSettings;
struct SurfacePlotSettings;
struct TimeSeriesPlotSettings;

template <class Settings> class TSettingsPlot : public TPlotBase {
public:
    // Shows or hides the tool strip and keeps the choice in the record.
    void ShowToolbar(bool show);
    void UpdateLayout() override;

    Settings* GetSettings() const { return m_settings; }

protected:
    // Keeps the record (may be null) and shows the tool strip as it says; shown without one.
    void UseSettings(Settings* settings);

    Settings* m_settings = nullptr;
};

// Defined once, in TSettingsPlot.cpp, for the plots' records.
extern template class TSettingsPlot<PhasePlotSettings>;
extern template class TSettingsPlot<SpectrogramPlotSettings>;
extern template class TSettingsPlot<SpectrumPlotSettings>;
extern template class TSettingsPlot<SurfacePlotSettings>;
extern template class TSettingsPlot<TimeSeriesPlotSettings>;
