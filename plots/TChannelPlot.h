// A plot of one channel that keeps its own copies of the channel's processing, scaling and
// marker records, as they were when it was made.
//
// Threads: user-interface thread only.
#pragma once

#include "records/ChannelProcessingSettings.h"
#include "records/ChannelScalingSettings.h"
#include "records/MarkerSettings.h"
#include "plots/TSettingsPlot.h"

template <class Settings> class TChannelPlot : public TSettingsPlot<Settings> {
protected:
    void KeepChannelRecords(const ChannelProcessingSettings& processing, const ChannelScalingSettings& scaling,
                            const MarkerSettings& markers)
    {
        m_processing = processing;
        m_scaling = scaling;
        m_markers = markers;
    }

    ChannelProcessingSettings m_processing;
    ChannelScalingSettings m_scaling;
    MarkerSettings m_markers;
};
