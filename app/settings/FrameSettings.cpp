#include "app/settings/FrameSettings.h"

#include "app/settings/WindowPlacement.h"

FrameSettings::FrameSettings()
{
    for (int i = 0; i < kChannels; ++i)
        Calibration[i].SetDefaults(i);
    for (int i = 0; i < kComposites; ++i) {
        Composite[i].SetDefaults(i);
        CompositeSpectrumOpts[i] = SpectrumPlotSettings(true);
        CompositeSpectrogramOpts[i] = SpectrogramPlotSettings(true);
    }
    InitWindowPlacementRecords(Placements);
}
