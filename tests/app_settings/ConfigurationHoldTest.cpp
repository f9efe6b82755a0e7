// Values a configuration holds that no dialog would take, or that are no number at all: each
// takes a value its dialog takes, is named once, and what is written back reads clean.
#include "app/settings/ConfigurationFile.h"

#include "support/ScratchFileTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

class ConfigHold : public ScratchFileTest {
protected:
    ConfigHold() : ScratchFileTest("Held.cfg") {}
};

struct HoldCase {
    const char* file;                              // the configuration's text
    std::vector<std::string> named;                // the replaced settings, in reading order
    std::function<void(const FrameSettings&)> check;
};

} // namespace

TEST_F(ConfigHold, EachValueBeyondItsDialogOrNotANumberIsHeldAndNamed)
{
    const HoldCase cases[] = {
        // Non-finite text in float, double and integer fields.
        {"[ChannelInfo_1]\nGain=inf\nFilterFreq=-nan\n[Main]\nMasterDisplayGain=nan\n"
         "[Calibration_5]\nCalRatio=1e39\nDTGain=Infinity\nRefLevel=1e-999\n",
         {"[ChannelInfo_1] Gain=inf (now 10.000000)", "[ChannelInfo_1] FilterFreq=-nan (now 200.000000)",
          "[Main] MasterDisplayGain=nan (now 0)", "[Calibration_5] RefLevel=1e-999 (now 20.000000)",
          "[Calibration_5] DTGain=Infinity (now 1.000000)", "[Calibration_5] CalRatio=1e39 (now 377.123627)"},
         [](const FrameSettings& s) {
             EXPECT_DOUBLE_EQ(s.Device.Channels[1].Gain, 10.0);
             EXPECT_DOUBLE_EQ(s.Device.Channels[1].FilterFreq, 200.0);
             const float ratio = s.Calibration[5].CalRatio;
             EXPECT_FLOAT_EQ(ratio, 377.123627f);
         }},
        // Spans: negative ends, a start at or past its stop.
        {"[SpectrumOpts_1]\nStartFreq=-1\n[PhaseOpts_2]\nStartFreq=300\nStopFreq=10\n"
         "[CompositeSurfaceOpts_3]\nStartFreq=5000\n[TimeSeriesOpts_4]\nStartTime=3\nStopTime=3\n",
         {"[TimeSeriesOpts_4] StartTime=3 (now 0.000000)", "[SpectrumOpts_1] StartFreq=-1 (now 400.000000)",
          "[PhaseOpts_2] StartFreq=300 (now 20.000000)", "[PhaseOpts_2] StopFreq=10 (now 22000.000000)",
          "[CompositeSurfaceOpts_3] StartFreq=5000 (now 400.000000)"},
         [](const FrameSettings& s) {
             EXPECT_FLOAT_EQ(s.TimeSeriesOpts[4].StopTime, 3.0f);
             EXPECT_FLOAT_EQ(s.CompositeSurfaceOpts[3].StopFreq, 1200.0f);
         }},
        // Time-series levels follow the amplitude scale; the phase axis its degrees.
        {"[TimeSeriesOpts_0]\nAmpScaleType=1\nPlotTop=-350\nPlotRange=500\n"
         "[TimeSeriesOpts_1]\nAmpScaleType=0\nPlotTop=-2e7\nPlotCenter=7\n"
         "[TimeSeriesOpts_2]\nAmpScaleType=0\nPlotTop=-350\nPlotCenter=7\n"
         "[CompositePhaseOpts_0]\nPlotTop=-180\nPlotRange=360\n",
         {"[TimeSeriesOpts_0] PlotRange=500 (now 100.000000)", "[TimeSeriesOpts_1] PlotTop=-2e7 (now 100.000000)",
          "[TimeSeriesOpts_2] PlotCenter=7 (now -385.000000)", "[CompositePhaseOpts_0] PlotTop=-180 (now 180.000000)"},
         [](const FrameSettings& s) {
             EXPECT_FLOAT_EQ(s.TimeSeriesOpts[0].PlotTop, -350.0f);
             EXPECT_FLOAT_EQ(s.TimeSeriesOpts[1].PlotCenter, 7.0f); // below the held top of 100
             EXPECT_FLOAT_EQ(s.TimeSeriesOpts[2].PlotTop, -350.0f); // a linear view below zero
             EXPECT_FLOAT_EQ(s.CompositePhaseOpts[0].PlotRange, 360.0f);
         }},
        // Markers: a marker that is off may rest at 0; one that is on needs a frequency.
        {"[Marker_0]\nEnabled_0=0\nFreq_0=0\nEnabled_1=1\nFreq_1=0\nEnabled_2=0\nFreq_2=-4\n"
         "[Device]\nSigGenBitsPerSample=8\n[CompositeMarker_1]\nEnabled_0=1\nFreq_0=1e30\n",
         {"[Device] SigGenBitsPerSample=8 (now 24)", "[Marker_0] Freq_1=0 (now 500.000000)",
          "[Marker_0] Freq_2=-4 (now 500.000000)"},
         [](const FrameSettings& s) {
             EXPECT_FLOAT_EQ(s.Markers[0].Freq[0], 0.0f);
             EXPECT_FLOAT_EQ(s.CompositeMarkers[1].Freq[0], 1e30f);
         }},
        // Every width the Output page lists is kept.
        {"[Device]\nSigGenBitsPerSample=32\n", {}, [](const FrameSettings& s) {
             EXPECT_EQ(s.Output.SigGenBitsPerSample, 32u);
         }},
    };
    // A case that fails stops there, and the next still runs.
    const auto hold = [&](const HoldCase& c) {
        Put(c.file);
        auto s = std::make_unique<FrameSettings>();
        ConfigurationCheck check;
        ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str(), &check));
        EXPECT_FALSE(check.damaged);
        EXPECT_EQ(check.replaced, c.named);
        c.check(*s);
        ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
        auto again = std::make_unique<FrameSettings>();
        ConfigurationCheck second;
        ASSERT_TRUE(ReadConfigurationFile(*again, file.c_str(), &second));
        EXPECT_TRUE(second.replaced.empty()) << second.replaced.front();
    };
    for (const HoldCase& c : cases) {
        SCOPED_TRACE(c.file);
        hold(c);
    }
}
