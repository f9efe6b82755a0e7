#include "plots/TSettingsPlot.h"

#include "records/PhasePlotSettings.h"
#include "records/SpectrogramPlotSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "records/SurfacePlotSettings.h"
#include "records/TimeSeriesPlotSettings.h"

template <class Settings> void TSettingsPlot<Settings>::ShowToolbar(bool show)
{
    if (m_settings)
        m_settings->ShowToolbar = show ? 1 : 0;
    SetToolStripShown(show);
    UpdateLayout();
}

template <class Settings> void TSettingsPlot<Settings>::UpdateLayout()
{
    if (m_settings)
        SetToolStripShown(m_settings->ShowToolbar != 0);
    TPlotBase::UpdateLayout();
}

template <class Settings> void TSettingsPlot<Settings>::UseSettings(Settings* settings)
{
    m_settings = settings;
    SetToolStripShown(!settings || settings->ShowToolbar != 0);
}

template class TSettingsPlot<PhasePlotSettings>;
template class TSettingsPlot<SpectrogramPlotSettings>;
template class TSettingsPlot<SpectrumPlotSettings>;
template class TSettingsPlot<SurfacePlotSettings>;
template class TSettingsPlot<TimeSeriesPlotSettings>;
