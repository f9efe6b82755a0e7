#include "app/settings/ConfigurationFile.h"
#include "support/NeedsTool.h"

#include "records/CommonRoutines.h"
#include "app/settings/WindowPlacement.h"

#include "support/ScratchFileTest.h"

#include <gtest/gtest.h>

#include <functional>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

class ConfigFile : public ScratchFileTest {
protected:
    ConfigFile() : ScratchFileTest("Durnex.cfg") {}
    // Frame settings are large: keep them off the stack.
    static std::unique_ptr<FrameSettings> Fresh() { return std::make_unique<FrameSettings>(); }
    // The file read into fresh settings; check tells what the reader found.
    std::unique_ptr<FrameSettings> ReadBack(ConfigurationCheck& check) const
    {
        auto s = Fresh();
        EXPECT_TRUE(ReadConfigurationFile(*s, file.c_str(), &check));
        return s;
    }
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

// Sets every field a configuration stores to a value other than both of its defaults, with
// floats that survive six decimals.
void Scramble(FrameSettings& s)
{
    s.Main = 0;
    s.Buttons = 1;
    s.Statusbar = 1;
    s.OpMode = 2;
    s.MasterDisplayGain = -7;
    s.DTInputDeviceIndex = 2;
    s.DTOutputDeviceIndex = 3;
    s.Device.SamplingRate = 8000;
    s.Device.BitsPerSample = 16;
    s.Device.AnalogInputType = 1;
    s.UseSoundCardForOutput = 1;
    s.SoundCardDeviceIndex = 4;
    s.Output.SigGenSamplingRate = 48000;
    s.Output.SigGenNumChannels = 2;
    s.Output.SigGenBitsPerSample = 16;
    for (int ch = 0; ch < 8; ++ch) {
        UsbChannelSettings& c = s.Device.Channels[ch];
        c.bIsEnabled = 1;
        c.Gain = 2.5 + ch;
        c.CouplingType = 1;
        c.IEPESource = 1;
        c.IEPECurrent = 4.5;
        c.FilterType = 2;
        c.FilterFreq = 1500.25;

        ChannelProcessingSettings& p = s.Processing[ch];
        p.SampleFormat.Set(8000 + ch, 1, 2);
        p.FFTsize = 4096;
        p.AverageBlocks = 20 + ch;
        p.AverageType = 2;
        p.AverageMode = 1;
        p.AverageSpeed = 3;
        p.DecimationRatio = 4;
        p.ApplyLowPassFilter = 0;
        p.SmoothingWindow = 10;
        p.OverlapPercent = 50;

        ChannelScalingSettings& sc = s.Scaling[ch];
        sc.AmpScaleType = 2;
        sc.FreqScaleType = 2;
        sc.OctaveNumber = 12;
        sc.SpectralDensityFlag = 1;
        sc.SpectralDensityType = 1;
        sc.StandardWeighting = 1;
        sc.TotalPowerWeighting = 3;
        sc.MicCompEnable = 1;
        CopyField(sc.MicCompFilename, "/home/u/Durnex/miccomp/probe.mic");

        ChannelCalibration& cal = s.Calibration[ch];
        CopyField(cal.Filename, "Mic94");
        cal.IsEnabled = 0;
        cal.RefLevel = 94.5f;
        cal.RefType = 2;
        cal.RefUnits = 8;
        cal.ConversionType = 3;
        cal.IntegrationType = 1;
        CopyField(cal.LabelLinear, "Pascals");
        CopyField(cal.LabelLog, "dB SPL");
        cal.LabelType = 3;
        cal.PctFullScale = 0.125f;
        cal.DTGain = 2.0f;
        cal.DTCalVersion = 999;
        cal.CalRatio = 250.5f;
        CopyField(cal.ChannelName, ch == 7 ? "Spare" : GetChannelLocationName(ch));
        cal.CalCreateMode = 1;
        cal.TransducerSensitivityVolts = 0.0125f;
        cal.MeasuredInputVoltage = 0.75f;
        cal.RefOffset = -3.5f;

        MarkerSettings& m = s.Markers[ch];
        for (int j = 0; j < 8; ++j) {
            m.Enabled[j] = j % 2;
            m.Freq[j] = 100.5f * (j + 1);
            m.LabelType[j] = 4;
            CopyField(m.CustomLabel[j], ("peak " + std::to_string(j)).c_str());
        }
        m.MarkPeakHoldFlag = 1;
        s.CompositeMarkers[ch] = m;
        s.CompositeMarkers[ch + 8] = m;

        TimeSeriesPlotSettings& t = s.TimeSeriesOpts[ch];
        t.AmpScaleType = 1;
        t.PlotChannel = 3;
        t.ShowToolbar = 0;
        t.GridYEnabled = 0;
        t.GridXEnabled = 0;
        t.PlotTop = 55.5f;
        t.PlotRange = 66.25f;
        t.PlotCenter = -1.5f;
        t.BackgroundColor = 0x102030;
        t.LineColor = 0x405060;
        t.GridColor = 0x708090;
        t.StartTime = 1.5f;
        t.StopTime = 2.75f;
        t.OrderNumber = 5.0f;
        t.ThresholdMarkPercentage = 60;
        t.DisplayMaxMinRangeAsRMS = 1;
        t.IntervalFlag = 1;
        t.IntervalSecs = 0.5f;
        t.GrabCursorFlag = 1;

        PhasePlotSettings& ph = s.PhaseOpts[ch];
        ph.ShowToolbar = 0;
        ph.GridYEnabled = 0;
        ph.GridXEnabled = 0;
        ph.PlotTop = 90.0f;
        ph.PlotRange = 180.0f;
        ph.StartFreq = 50.0f;
        ph.StopFreq = 5000.0f;
        ph.BackgroundColor = 0x111111;
        ph.LineColor = 0x222222;
        ph.GridColor = 0x333333;
        ph.MarkerColor = 0x444444;
        ph.GrabCursorFlag = 0;
        ph.IntervalFlag = 1;
        ph.IntervalSecs = 0.25f;

        SpectrogramPlotSettings& sg = s.SpectrogramOpts[ch];
        sg.ShowToolbar = 0;
        sg.IntervalFlag = 1;
        sg.IntervalSecs = 0.75f;
        sg.PlotTop = -20.0f;
        sg.PlotRange = 60.0f;
        sg.UseFullSpan = 1;
        sg.StartFreq = 100.0f;
        sg.StopFreq = 900.0f;
        sg.ColorMode = 2;
        sg.MinCustomColor = 0x010203;
        sg.MaxCustomColor = 0x040506;
        sg.Intensity = 7;
        sg.Direction = 1;
        sg.ScrollType = 1;

        SurfacePlotSettings& sf = s.SurfaceOpts[ch];
        sf.ShowToolbar = 1;
        sf.IntervalFlag = 1;
        sf.IntervalSecs = 0.75f;
        sf.PlotTop = -10.0f;
        sf.PlotRange = 30.0f;
        sf.UseFullSpan = 1;
        sf.StartFreq = 200.0f;
        sf.StopFreq = 800.0f;
        sf.BackgroundColor = 0x0A0B0C;
        sf.LineColor = 0x0D0E0F;
        sf.MinCustomColor = 0x101112;
        sf.MaxCustomColor = 0x131415;
        sf.Intensity = 3;
        sf.ColorMode = 3;

        s.CompositePhaseOpts[ch] = ph;
        s.CompositePhaseOpts[ch + 8] = ph;
        s.CompositeSpectrogramOpts[ch] = sg;
        s.CompositeSpectrogramOpts[ch + 8] = sg;
        s.CompositeSurfaceOpts[ch] = sf;
        s.CompositeSurfaceOpts[ch + 8] = sf;
    }
    auto spectrum = [](SpectrumPlotSettings& p) {
        p.PlotType = 2;
        p.ShowToolbar = 0;
        p.GridYEnabled = 0;
        p.GridXEnabled = 0;
        p.PlotTop = -12.5f;
        p.PlotRange = 37.125;
        p.StartFreq = 25.0f;
        p.StopFreq = 7500.0f;
        p.BackgroundColor = 0x0F0F0F;
        p.PeakColor = 0x1F1F1F;
        p.LineColor = 0x2F2F2F;
        p.GridColor = 0x3F3F3F;
        p.MarkerColor = 0x4F4F4F;
        p.ShowRMSLevel = 1;
        p.ShowPowerMeter = 0;
        p.PeakHold = 1;
        p.ShowOverlayControls = 0;
        p.OverlayLegendSize = 12;
        for (int k = 0; k < 7; ++k) {
            p.Overlays[k].Show1 = k % 2;
            p.Overlays[k].Show2 = 1 - k % 2;
            p.Overlays[k].Color = 0x00AA00u + static_cast<COLORREF>(k);
            p.Overlays[k].Offset1 = 0.5f * k;
            p.Overlays[k].Offset2 = -0.25f * k;
            p.IncludeInAverage1[k] = k % 2;
            p.IncludeInAverage2[k] = (k + 1) % 2;
        }
        p.CompositeType1 = 1;
        p.DifferenceIndex1_1 = 2;
        p.DifferenceIndex1_2 = 3;
        p.CompositeType2 = 2;
        p.DifferenceIndex2_1 = 4;
        p.DifferenceIndex2_2 = 5;
        p.GrabCursorFlag = 0;
        p.rpm = 1800.0f;
        p.IntervalFlag = 0;
        p.IntervalSecs = 0.125f;
    };
    for (int ch = 0; ch < 8; ++ch)
        spectrum(s.SpectrumOpts[ch]);
    for (int i = 0; i < 16; ++i) {
        spectrum(s.CompositeSpectrumOpts[i]);
        CompositeChannelSettings& c = s.Composite[i];
        c.bIsEnabled = 1;
        c.CompositeType = 3;
        c.ReferenceChannel = 2;
        c.TransferChannel = 5;
        for (int k = 0; k < 16; ++k)
            c.IncludeInAverage[k] = (k + i) % 2;
        CopyField(c.ChannelName, "Transfer");
        CopyField(c.LabelLinear, "ratio");
        CopyField(c.LabelLog, "dB re ref");
    }
    PrintSettings& pr = s.Print;
    CopyField(pr.Annotation1, "Test bench 4");
    CopyField(pr.Annotation2, "Run = 7");
    pr.MarginLeft = 0.75f;
    pr.MarginRight = 0.25f;
    pr.MarginTop = 1.5f;
    pr.MarginBottom = 2.0f;
    pr.EnableCommentBlock = 1;
    for (int i = 0; i < 10; ++i)
        CopyField(pr.Comment[i], ("comment " + std::to_string(i)).c_str());
    DataLoggingBlock& lg = s.Logging;
    lg.FilenameFormat = 1;
    lg.OverwriteFlag = 0;
    lg.IncludeHeaderFlag = 0;
    lg.IncludeTimeStampFlag = 0;
    CopyField(lg.ViewerProgram, "xdg-open");
    auto logging = [](DataLoggingSettings& d, int i) {
        d.Enable = 1;
        for (int k = 0; k < 35; ++k)
            d.DataItem[k] = (k + i) % 3 == 0;
        d.Threshold = -40.5f;
        d.IntervalFlag = 0;
        d.IntervalSecs = 2.5f;
    };
    for (int i = 0; i < 8; ++i)
        logging(lg.Channel[i], i);
    for (int i = 0; i < 16; ++i)
        logging(lg.Composite[i], i);
    for (int i = 0; i < kWindowPlacementCount; ++i) {
        s.Placements[i].IsOpen = i % 3 == 0;
        std::snprintf(s.Placements[i].PlacementText, 256, "0, 1, {-1,-1}, {-4,-23}, {%d,22,657,451}", i);
    }
}

} // namespace


TEST_F(ConfigFile, WriteThenReadGivesEqualRecords)
{
    auto src = Fresh();
    Scramble(*src);
    ASSERT_TRUE(WriteConfigurationFile(*src, file.c_str()));
    auto dst = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*dst, file.c_str()));

    EXPECT_EQ(dst->Main, src->Main);
    EXPECT_EQ(dst->Buttons, src->Buttons);
    EXPECT_EQ(dst->Statusbar, src->Statusbar);
    EXPECT_EQ(dst->OpMode, src->OpMode);
    EXPECT_EQ(dst->MasterDisplayGain, src->MasterDisplayGain);
    EXPECT_EQ(dst->DTInputDeviceIndex, src->DTInputDeviceIndex);
    EXPECT_EQ(dst->DTOutputDeviceIndex, src->DTOutputDeviceIndex);
    EXPECT_EQ(dst->UseSoundCardForOutput, src->UseSoundCardForOutput);
    EXPECT_EQ(dst->SoundCardDeviceIndex, src->SoundCardDeviceIndex);
    EXPECT_TRUE(SameRecordBytes(dst->Device, src->Device));
    EXPECT_TRUE(SameRecordBytes(dst->Output, src->Output));
    EXPECT_TRUE(SameRecordBytes(dst->Print, src->Print));
    EXPECT_TRUE(SameRecordBytes(dst->Logging, src->Logging));
    for (int ch = 0; ch < 8; ++ch) {
        SCOPED_TRACE(ch);
        EXPECT_TRUE(SameRecordBytes(dst->Processing[ch], src->Processing[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->Scaling[ch], src->Scaling[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->Calibration[ch], src->Calibration[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->Markers[ch], src->Markers[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->TimeSeriesOpts[ch], src->TimeSeriesOpts[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->SpectrumOpts[ch], src->SpectrumOpts[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->PhaseOpts[ch], src->PhaseOpts[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->SpectrogramOpts[ch], src->SpectrogramOpts[ch]));
        EXPECT_TRUE(SameRecordBytes(dst->SurfaceOpts[ch], src->SurfaceOpts[ch]));
    }
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(SameRecordBytes(dst->Composite[i], src->Composite[i]));
        EXPECT_TRUE(SameRecordBytes(dst->CompositeMarkers[i], src->CompositeMarkers[i]));
        EXPECT_TRUE(SameRecordBytes(dst->CompositeSpectrumOpts[i], src->CompositeSpectrumOpts[i]));
        EXPECT_TRUE(SameRecordBytes(dst->CompositePhaseOpts[i], src->CompositePhaseOpts[i]));
        EXPECT_TRUE(SameRecordBytes(dst->CompositeSpectrogramOpts[i], src->CompositeSpectrogramOpts[i]));
        EXPECT_TRUE(SameRecordBytes(dst->CompositeSurfaceOpts[i], src->CompositeSurfaceOpts[i]));
    }
    for (int i = 0; i < kWindowPlacementCount; ++i)
        EXPECT_TRUE(SameRecordBytes(dst->Placements[i], src->Placements[i])) << i;

    // Writing what was read gives the same file again.
    std::string first = Text();
    ASSERT_TRUE(WriteConfigurationFile(*dst, file.c_str()));
    EXPECT_EQ(Text(), first);

    // The longest paths survive too.
    std::string longPath = "/" + std::string(258, 'p');
    CopyField(src->Scaling[4].MicCompFilename, longPath.c_str());
    CopyField(src->Logging.ViewerProgram, longPath.c_str());
    ASSERT_TRUE(WriteConfigurationFile(*src, file.c_str()));
    auto again = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*again, file.c_str()));
    EXPECT_EQ(std::string(again->Scaling[4].MicCompFilename), longPath);
    EXPECT_EQ(std::string(again->Logging.ViewerProgram), longPath);
}

TEST_F(ConfigFile, NeverWrittenValuesReturnToTheirDefaults)
{
    auto src = Fresh();
    src->Processing[1].ChannelProcessing = 11;
    src->Processing[1].DelayTimeMsec = 4.0f;
    src->Processing[1].EnableOverloadDetection = 0;
    src->Processing[1].IndependentScalingAndCalibration = 1;
    src->Processing[1].SampleFormat.Set(4000, 2, 3);
    src->Trigger.TriggerEnabled = 1;
    src->RunControl.FftLimit = 7;
    src->Logging.IsLogging = 1;
    ASSERT_TRUE(WriteConfigurationFile(*src, file.c_str()));
    auto dst = Fresh();
    dst->Logging.IsLogging = 1;
    ASSERT_TRUE(ReadConfigurationFile(*dst, file.c_str()));
    ChannelProcessingSettings fresh;
    EXPECT_TRUE(SameRecordBytes(dst->Processing[1], fresh));
    EXPECT_EQ(dst->Trigger.TriggerEnabled, 0);
    EXPECT_EQ(dst->RunControl.FftLimit, 500u);
    EXPECT_EQ(dst->Logging.IsLogging, 0);
}

TEST_F(ConfigFile, SectionsKeysAndFormatsAsWritten)
{
    auto s = Fresh();
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    std::string text = Text();
    const std::string head("[Device]\r\nDTInputDeviceIndex=0\r\nDTOutputDeviceIndex=0\r\n"
                                               "SamplingRate=4000\r\nBitsPerSample=24\r\nAnalogInputType=0\r\n"
                                               "UseSoundCardForOutput=1\r\nSoundCardDeviceIndex=0\r\n"
                                               "SigGenSamplingRate=50000\r\nSigGenNumChannels=1\r\n"
                                               "SigGenBitsPerSample=24\r\n[ChannelInfo_0]\r\nbIsEnabled=1\r\n"
                                               "Gain=1.000000\r\nCouplingType=0\r\n");
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("[Settings_2]\r\nFFTsize=1024\r\nSamplingRate=4000\r\nBytesPerSample=3\r\n"
                        "AverageBlocks=3\r\nAverageType=0\r\nAverageMode=0\r\nAverageSpeed=1\r\n"
                        "DecimationRatio=1\r\nApplyLowPassFilter=1\r\nSmoothingWindow=6\r\nOverlapPercent=90\r\n"
                        "[Settings_3]"),
              std::string::npos);
    EXPECT_NE(text.find("[Calibration_0]\r\nFilename=Volts\r\nIsEnabled=1\r\nRefLevel=1.000000\r\nRefType=1\r\n"
                        "RefUnits=0\r\nConversionType=0\r\nIntegrationType=0\r\nLabelLinear=Volts rms\r\n"
                        "LabelLog=dBV rms\r\nLabelType=1\r\nPctFullScale=0.000000\r\nDTGain=1.000000\r\n"
                        "DTCalVersion=1000\r\nCalRatio=10.000000\r\nChannelName=Channel 0\r\nCalCreateMode=0\r\n"
                        "TransducerSensitivityVolts=1.000000e-01\r\nMeasuredInputVoltage=0.100000\r\n"
                        "RefOffset=0.000000\r\n[Calibration_1]"),
              std::string::npos);
    EXPECT_NE(text.find("[SpectrumOpts_0]\r\nPlotType=0\r\nShowToolbar=1\r\nGridXEnabled=1\r\nGridYEnabled=1\r\n"
                        "PlotTop=-55.000000\r\nPlotRange=45.000000000\r\nStartFreq=400.000000\r\n"
                        "StopFreq=12000.000000\r\nLineColor=16711680\r\nPeakColor=255\r\n"
                        "BackgroundColor=14483455\r\nGridColor=8421504\r\nMarkerColor=0\r\nShowRMSLevel=0\r\n"
                        "ShowPowerMeter=1\r\nShowOverlayControls=1\r\nGrabCursorFlag=1\r\nrpm=0.000000\r\n"
                        "IntervalFlag=0\r\nIntervalSecs=0.100000\r\nPeakHold=0\r\nShow1_0=0\r\nShow2_0=0\r\n"
                        "Color_0=32768\r\nOffset1_0=0.000000\r\nOffset2_0=0.000000\r\nIncludeInAverage1_0=0\r\n"
                        "IncludeInAverage2_0=0\r\nShow1_1=0\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("[CompositeSpectrumOpts_0]\r\nPlotType=0\r\nShowToolbar=1\r\nGridXEnabled=1\r\n"
                        "GridYEnabled=1\r\nPlotTop=-55.000000\r\nPlotRange=45.000000\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("LabelLinear=\r\nlabelLog=\r\nChannelName=Ch A\r\n"), std::string::npos);
    EXPECT_NE(text.find("[PlotStatus]\r\nMainWindow=0\r\nTimeSeriesPlot_0=0\r\n"), std::string::npos);
    EXPECT_NE(text.find("UtilitySoundPower=0\r\n[PlotPlacement]\r\nMainWindow=\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 20), "UtilitySoundPower=\r\n");

    // Sections, in order, each once; no blank lines, no comments.
    std::vector<std::string> sections;
    for (const std::string& line : Lines(text)) {
        ASSERT_FALSE(line.empty());
        if (line[0] == '[')
            sections.push_back(line.substr(1, line.size() - 2));
        else
            ASSERT_NE(line.find('='), std::string::npos) << line;
    }
    std::vector<std::string> expected = {"Device"};
    auto add = [&](const char* name, int n) {
        for (int i = 0; i < n; ++i)
            expected.push_back(std::string(name) + "_" + std::to_string(i));
    };
    add("ChannelInfo", 8);
    for (const char* one : {"Toolbars", "PrintOpts", "Mode", "Main"})
        expected.push_back(one);
    for (const char* eight : {"Settings", "Scaling", "Calibration", "Marker", "TimeSeriesOpts", "SpectrumOpts",
                              "PhaseOpts", "SpectrogramOpts", "SurfaceOpts"})
        add(eight, 8);
    for (const char* sixteen : {"CompositeSettings", "CompositeMarker", "CompositeSpectrumOpts", "CompositePhaseOpts",
                                "CompositeSpectrogramOpts", "CompositeSurfaceOpts"})
        add(sixteen, 16);
    expected.push_back("DataLoggingMain");
    add("DataLoggingOpts", 8);
    add("DataLoggingCompositeOpts", 16);
    expected.push_back("PlotStatus");
    expected.push_back("PlotPlacement");
    EXPECT_EQ(sections, expected);
}

TEST_F(ConfigFile, EmptyOrForeignFileReadsToMissingKeyDefaults)
{
    Put("This is not a configuration.\r\nJust=text\r\n");
    auto s = Fresh();
    for (WindowPlacementRecord& r : s->Placements) {
        r.IsOpen = 1;
        CopyField(r.PlacementText, "0, 1, {0,0}, {0,0}, {1,2,3,4}");
    }
    ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str()));

    EXPECT_EQ(s->Main, 1);
    EXPECT_EQ(s->Buttons, 0);
    EXPECT_EQ(s->Statusbar, 0);
    // The device has no analog output: without a choice, output goes to the sound card.
    EXPECT_EQ(s->UseSoundCardForOutput, 1);
    for (int ch = 0; ch < 8; ++ch) {
        SCOPED_TRACE(ch);
        const UsbChannelSettings& c = s->Device.Channels[ch];
        EXPECT_EQ(c.bIsEnabled, ch < 7 ? 1 : 0);
        EXPECT_DOUBLE_EQ(c.Gain, 10.0);
        EXPECT_DOUBLE_EQ(c.FilterFreq, 200.0);
        EXPECT_EQ(s->Processing[ch].AverageSpeed, 0);
        EXPECT_EQ(s->Processing[ch].SampleFormat.SampleRate, 4000u);
        EXPECT_EQ(s->Processing[ch].SampleFormat.BytesPerSample, 3);
        // Without its section a channel has the plain calibration of a channel without one,
        // which names no file to read.
        const ChannelCalibration& cal = s->Calibration[ch];
        EXPECT_STREQ(cal.Filename, "Volts");
        EXPECT_EQ(+cal.RefUnits, 0u);
        EXPECT_EQ(+cal.CalCreateMode, 0);
        EXPECT_EQ(+cal.IsEnabled, 1u);
        EXPECT_STREQ(cal.LabelLinear, "Volts rms");
        EXPECT_FLOAT_EQ(+cal.CalRatio, 10.0f);
        EXPECT_STREQ(cal.ChannelName, ch == 7 ? "Channel 7" : GetChannelLocationName(ch));
        EXPECT_FLOAT_EQ(s->Markers[ch].Freq[3], 500.0f);
        EXPECT_EQ(s->Markers[ch].LabelType[3], 1u);
        EXPECT_FLOAT_EQ(s->TimeSeriesOpts[ch].PlotTop, 100.0f);
        EXPECT_FLOAT_EQ(s->TimeSeriesOpts[ch].OrderNumber, 3.0f);
        EXPECT_EQ(s->TimeSeriesOpts[ch].ThresholdMarkPercentage, 25u);
        EXPECT_FLOAT_EQ(s->PhaseOpts[ch].StopFreq, 22000.0f);
        EXPECT_EQ(s->PhaseOpts[ch].GrabCursorFlag, 1);
        EXPECT_FLOAT_EQ(s->SpectrogramOpts[ch].IntervalSecs, 2.0f);
        EXPECT_EQ(s->SpectrogramOpts[ch].Direction, 0);
        EXPECT_FLOAT_EQ(s->SurfaceOpts[ch].StopFreq, 1002.0f);
        EXPECT_EQ(s->SurfaceOpts[ch].LineColor, 0xFF0000u);
        EXPECT_FLOAT_EQ(s->Logging.Channel[ch].Threshold, -999.0f);
        EXPECT_EQ(s->Logging.Channel[ch].IntervalFlag, 1);
        EXPECT_EQ(s->Logging.Channel[ch].DataItem[1], 0);
    }
    // The spectrum records: overlays hidden in the input colours, every flag of the traces on.
    for (const SpectrumPlotSettings* p : {&s->SpectrumOpts[0], &s->CompositeSpectrumOpts[5]}) {
        EXPECT_FLOAT_EQ(p->StopFreq, 1200.0f);
        EXPECT_EQ(p->PeakHold, 2);
        EXPECT_FLOAT_EQ(p->rpm, 1000.0f);
        EXPECT_FLOAT_EQ(p->IntervalSecs, 0.02f);
        EXPECT_EQ(p->DifferenceIndex2_2, 1);
        for (int k = 0; k < 7; ++k) {
            EXPECT_EQ(p->Overlays[k].Show1, 0);
            EXPECT_EQ(p->Overlays[k].Color, kInputOverlayColors[k]);
            EXPECT_EQ(p->Overlays[k].Offset2, 0.0f);
            EXPECT_EQ(p->IncludeInAverage1[k], 1);
            EXPECT_EQ(p->IncludeInAverage2[k], 1);
        }
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(s->Composite[i].bIsEnabled, 0);
        EXPECT_EQ(s->Composite[i].TransferChannel, 1u);
        EXPECT_EQ(s->CompositeMarkers[i].LabelType[0], 0u);
        EXPECT_FLOAT_EQ(s->CompositeSurfaceOpts[i].StopFreq, 1200.0f);
        EXPECT_EQ(s->CompositeSpectrogramOpts[i].ColorMode, 0);
    }
    EXPECT_STREQ(s->Composite[2].ChannelName, "Composite Ch C");
    EXPECT_FLOAT_EQ(s->Print.MarginTop, 0.5f);
    // The same second defaults without a file.
    auto direct = Fresh();
    ApplyMissingKeyDefaults(*direct);
    EXPECT_TRUE(SameRecordBytes(direct->Calibration[3], s->Calibration[3]));
    EXPECT_TRUE(SameRecordBytes(direct->CompositeSpectrumOpts[9], s->CompositeSpectrumOpts[9]));
    EXPECT_TRUE(SameRecordBytes(direct->Logging, s->Logging));
    EXPECT_STREQ(s->Logging.ViewerProgram, "Notepad.exe");
    for (const WindowPlacementRecord& r : s->Placements) {
        EXPECT_EQ(r.IsOpen, 0);
        EXPECT_STREQ(r.PlacementText, "");
    }
}

// A calibration section with keys missing takes each key's own default.
TEST_F(ConfigFile, ACalibrationSectionWithMissingKeysTakesTheKeysDefaults)
{
    Put("[Calibration_3]\r\nRefLevel=94.0\r\n");
    auto s = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str()));
    const ChannelCalibration& cal = s->Calibration[3];
    EXPECT_FLOAT_EQ(+cal.RefLevel, 94.0f);
    EXPECT_STREQ(cal.Filename, "EEG");
    EXPECT_EQ(+cal.RefUnits, 4u);
    EXPECT_EQ(+cal.RefType, 0u);
    EXPECT_STREQ(cal.LabelLinear, "millivolts");
    EXPECT_FLOAT_EQ(+cal.CalRatio, 377.123627f);
    EXPECT_FLOAT_EQ(+cal.PctFullScale, 0.053033f);
    EXPECT_FLOAT_EQ(+cal.MeasuredInputVoltage, 0.375f);
    EXPECT_EQ(+cal.CalCreateMode, 2);
    EXPECT_STREQ(s->Calibration[4].Filename, "Volts");
}

// A calibration the file holds whole (made directly, or naming no calibration file) whose factor
// is zero, negative or too small to give levels is named, and the channel gets the plain Volts
// calibration; a calibration not in use, or one its file supplies, stays.
TEST_F(ConfigFile, ACalibrationWhoseFactorGivesNoLevelsIsNamedAndReplaced)
{
    Put("[Calibration_1]\nFilename=\nCalCreateMode=1\nTransducerSensitivityVolts=0\nCalRatio=0\n"
        "[Calibration_2]\nCalCreateMode=0\nRefUnits=4\nCalRatio=-2\n"
        "[Calibration_3]\nCalCreateMode=0\nRefUnits=8\nCalRatio=1e-30\n"
        "[Calibration_4]\nIsEnabled=0\nCalCreateMode=0\nRefUnits=4\nCalRatio=0\n"
        "[Calibration_5]\nFilename=Mic\nCalCreateMode=1\nTransducerSensitivityVolts=0\nCalRatio=0\n");
    ConfigurationCheck check;
    auto s = ReadBack(check);
    const std::vector<std::string> expected = {
        "[Calibration_1] TransducerSensitivityVolts=0, CalRatio=0 (now the Volts calibration)",
        "[Calibration_2] CalRatio=-2 (now the Volts calibration)",
        "[Calibration_3] CalRatio=1e-30 (now the Volts calibration)",
    };
    EXPECT_EQ(check.replaced, expected);
    for (int ch = 1; ch <= 3; ++ch) {
        ChannelCalibration plain(ch);
        CopyField(plain.ChannelName, s->Calibration[ch].ChannelName); // the channel's own
        EXPECT_EQ(std::memcmp(&s->Calibration[ch], &plain, sizeof plain), 0) << ch;
    }
    EXPECT_FLOAT_EQ(+s->Calibration[4].CalRatio, 0.0f);
    EXPECT_FLOAT_EQ(+s->Calibration[5].CalRatio, 0.0f) << "its calibration file decides";
}

TEST_F(ConfigFile, HandWrittenWindowsFile)
{
    Put("[settings_0]\r\nfftsize=4096\r\nAVERAGEBLOCKS=10\r\n"
        "[ChannelInfo_2]\r\nGain=0\r\nbIsEnabled=0\r\n"
        "[ChannelInfo_7]\r\nbIsEnabled=1\r\n"
        "[calibration_7]\r\nchannelname=Spare probe\r\n"
        "[CALIBRATION_1]\r\nChannelName=Not kept\r\nFilename=Mic 4\r\n"
        "[Scaling_2]\r\nMicCompFilename=C:\\Durnex\\miccomp\\ref.mic\r\nOctaveNumber=0\r\n"
        "[PrintOpts]\r\nComment1=\r\nAnnotation1=a=b\r\n"
        "[CompositeSettings_4]\r\nLabelLog=dB\r\n"
        "[Settings_3]\r\nFFTsize=2048\r\n[Settings_3]\r\nFFTsize=512\r\nAverageBlocks=7\r\n"
        "[Mode]\r\nOpMode=1\r\nOpMode=2\r\n"
        "[Device]\r\nUseSoundCardForOutput=0\r\n"
        "[PlotStatus]\r\nSpectrumPlot_3=5\r\n"
        "[PlotPlacement]\r\nSpectrumPlot_3=0, 1, {-1,-1}, {-4,-23}, {22,22,657,451}");
    auto s = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str()));
    EXPECT_EQ(s->Processing[0].FFTsize, 4096u);
    EXPECT_EQ(s->Processing[0].AverageBlocks, 10u);
    EXPECT_EQ(s->UseSoundCardForOutput, 0) << "a stored choice stands";
    EXPECT_DOUBLE_EQ(s->Device.Channels[2].Gain, 1.0);
    EXPECT_EQ(s->Device.Channels[2].bIsEnabled, 1);
    EXPECT_EQ(s->Device.Channels[7].bIsEnabled, 1);
    EXPECT_STREQ(s->Calibration[7].ChannelName, "Spare probe");
    EXPECT_STREQ(s->Calibration[1].ChannelName, "Brow");
    EXPECT_STREQ(s->Calibration[1].Filename, "Mic 4");
    EXPECT_STREQ(s->Scaling[2].MicCompFilename, "C:\\Durnex\\miccomp\\ref.mic");
    EXPECT_EQ(s->Scaling[2].OctaveNumber, 3);
    EXPECT_STREQ(s->Print.Comment[0], "");
    EXPECT_STREQ(s->Print.Annotation1, "a=b");
    EXPECT_STREQ(s->Composite[4].LabelLog, "dB");
    EXPECT_EQ(s->Processing[3].FFTsize, 2048u); // the first [Settings_3] counts
    EXPECT_EQ(s->Processing[3].AverageBlocks, 3u);
    EXPECT_EQ(s->OpMode, 1);                    // the first key counts
    int i = WindowPlacementIndex(WK_SpectrumPlot, 3, false);
    EXPECT_EQ(s->Placements[i].IsOpen, 1);
    // The last line has no line end and is still read.
    EXPECT_STREQ(s->Placements[i].PlacementText, "0, 1, {-1,-1}, {-4,-23}, {22,22,657,451}");
}

TEST_F(ConfigFile, BlanksAroundNamesAsAnEditorLeavesThemAreNoPartOfThem)
{
    Put("[Settings_1]\r\nFFTsize = 2048\r\n  AverageBlocks\t=7\r\n[ Mode ]\r\nOpMode =2\r\n"
        "[Calibration_7]\r\nChannelName =Spare probe\r\n");
    auto s = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str()));
    EXPECT_EQ(s->Processing[1].FFTsize, 2048u);
    EXPECT_EQ(s->Processing[1].AverageBlocks, 7u);
    EXPECT_EQ(s->OpMode, 2);
    EXPECT_STREQ(s->Calibration[7].ChannelName, "Spare probe");
}

TEST_F(ConfigFile, DamagedValuesGetSoundSettings)
{
    Put("[Device]\nDTInputDeviceIndex=-3\nDTOutputDeviceIndex=abc\nSamplingRate=-4000\nBitsPerSample=7\n"
        "AnalogInputType=2\nSigGenSamplingRate=-5\nSigGenNumChannels=3\nSigGenBitsPerSample=40\n"
        "[ChannelInfo_0]\nGain=-2\n"
        "[ChannelInfo_1]\nGain=nan\n"
        "[Settings_0]\nFFTsize=1000\nAverageBlocks=-5\nDecimationRatio=0\nOverlapPercent=150\nSmoothingWindow=40\n"
        "BytesPerSample=9\nSamplingRate=0\n"
        "[Settings_1]\nFFTsize=-1024\n"
        "[Settings_2]\nFFTsize=99999999999999999999\n"
        "[Settings_3]\nFFTsize=junk\n"
        "[Settings_4]\nFFTsize=65536\n"
        "[Device]\nBitsPerSample=16\n"
        "[Mode]\nOpMode=9\n[Main]\nMasterDisplayGain=1000\n"
        "[TimeSeriesOpts_0]\nPlotTop=inf\nPlotRange=1e999\nStopTime=  2.5xyz\nPlotCenter=1e300\nStartTime=-1e39\n"
        "[Marker_0]\nCustomLabel_0=" + std::string(100, 'L') + "\n"
        "[PrintOpts]\nAnnotation1=" + std::string(400, 'A') + "\nAnnotation2=after a long line\n"
        "[CompositeSettings_0]\nReferenceChannel=9\nTransferChannel=-1\n"
        "[SpectrumOpts_0]\nDifferenceIndex1_2=7\n"
        "[Settings_5]\nDecimationRatio=70000\n"
        "[Settings_6]\nSamplingRate=-8000\nNumChannels=-1\n");
    auto s = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str()));
    EXPECT_EQ(s->DTInputDeviceIndex, 0);
    EXPECT_EQ(s->DTOutputDeviceIndex, 0);
    EXPECT_EQ(s->Device.SamplingRate, 4000u);
    EXPECT_EQ(s->Device.BitsPerSample, 24u); // the second [Device] does not count
    EXPECT_EQ(s->Device.AnalogInputType, 0);
    EXPECT_DOUBLE_EQ(s->Device.Channels[0].Gain, 1.0);
    EXPECT_DOUBLE_EQ(s->Device.Channels[1].Gain, 10.0);
    const ChannelProcessingSettings& p = s->Processing[0];
    EXPECT_EQ(p.FFTsize, 512u);
    EXPECT_EQ(p.AverageBlocks, 1u);
    EXPECT_EQ(p.DecimationRatio, 1);
    EXPECT_EQ(p.OverlapPercent, 99);
    EXPECT_EQ(p.SmoothingWindow, 6);
    EXPECT_EQ(p.SampleFormat.BytesPerSample, 2);
    EXPECT_EQ(p.SampleFormat.SampleRate, 44100u);
    EXPECT_EQ(s->Processing[1].FFTsize, 32u);
    EXPECT_EQ(s->Processing[2].FFTsize, 1048576u);
    EXPECT_EQ(s->Processing[3].FFTsize, 32u);
    EXPECT_EQ(s->Processing[4].FFTsize, 65536u);
    EXPECT_EQ(s->Processing[5].DecimationRatio, 50); // 70000 cut to 16 bits is 4464, then clamped
    EXPECT_EQ(s->Processing[6].SampleFormat.SampleRate, 4000u);
    EXPECT_EQ(s->Processing[6].SampleFormat.Channels, 1);
    EXPECT_EQ(s->Output.SigGenSamplingRate, 50000u);
    EXPECT_EQ(s->Output.SigGenNumChannels, 1u);
    EXPECT_EQ(s->Output.SigGenBitsPerSample, 24u);
    EXPECT_EQ(s->OpMode, 0);
    EXPECT_EQ(s->MasterDisplayGain, 20);
    EXPECT_FLOAT_EQ(s->TimeSeriesOpts[0].PlotTop, 100.0f);
    EXPECT_FLOAT_EQ(s->TimeSeriesOpts[0].PlotRange, 100.0f);
    EXPECT_FLOAT_EQ(s->TimeSeriesOpts[0].StopTime, 2.5f);
    // Finite, but beyond single precision: the missing-key values, not an infinity.
    EXPECT_FLOAT_EQ(s->TimeSeriesOpts[0].PlotCenter, 0.0f);
    EXPECT_FLOAT_EQ(s->TimeSeriesOpts[0].StartTime, 0.0f);
    EXPECT_EQ(std::strlen(s->Markers[0].CustomLabel[0]), 29u);
    EXPECT_EQ(std::strlen(s->Print.Annotation1), 79u);
    EXPECT_STREQ(s->Print.Annotation2, "after a long line");
    EXPECT_EQ(s->Composite[0].ReferenceChannel, 0u);
    EXPECT_EQ(s->Composite[0].TransferChannel, 1u);
    EXPECT_EQ(s->SpectrumOpts[0].DifferenceIndex1_2, 1);
}

// A code that names no entry of its list (a damaged file, or one from a newer version) takes
// the missing-key value and is named; the last code of every list is still taken, and a value
// that would wrap into the list when cut to its field's width is not.
TEST_F(ConfigFile, UnknownChoicesTakeTheirDefaultsAndAreNamed)
{
    Put("[Settings_2]\nAverageMode=7\nAverageType=3\nAverageSpeed=5\nSmoothingWindow=12\n"
        "[Settings_4]\nAverageMode=65537\n"
        "[Scaling_1]\nStandardWeighting=9\nAmpScaleType=-1\nFreqScaleType=3\nSpectralDensityType=2\n"
        "TotalPowerWeighting=4\n"
        "[Calibration_3]\nRefUnits=17\nRefType=3\nConversionType=11\nIntegrationType=3\nCalCreateMode=4\n"
        "[CompositeSettings_5]\nCompositeType=6\n[Marker_0]\nLabelType_2=5\n"
        "[TimeSeriesOpts_0]\nAmpScaleType=2\nPlotChannel=8\n[SpectrumOpts_4]\nPlotType=3\nPeakHold=5\n"
        "[SpectrogramOpts_0]\nColorMode=3\nDirection=4\nScrollType=2\n[SurfaceOpts_0]\nColorMode=4\n"
        "[DataLoggingMain]\nFilenameFormat=2\n[Mode]\nOpMode=3\n"
        "[Settings_3]\nAverageMode=1\nAverageSpeed=4\nAverageType=2\nSmoothingWindow=11\n"
        "[Calibration_4]\nRefUnits=16\nCalCreateMode=3\nConversionType=10\n"
        "[CompositeSettings_6]\nCompositeType=5\n[SurfaceOpts_1]\nColorMode=3\n");
    ConfigurationCheck check;
    auto s = ReadBack(check);
    EXPECT_FALSE(check.damaged);
    ASSERT_EQ(check.replaced.size(), 27u);
    EXPECT_EQ(check.replaced[0], "[Mode] OpMode=3 (now 0)");
    EXPECT_NE(std::find(check.replaced.begin(), check.replaced.end(), "[Settings_2] AverageMode=7 (now 0)"),
              check.replaced.end());
    EXPECT_NE(std::find(check.replaced.begin(), check.replaced.end(), "[Calibration_3] RefUnits=17 (now 4)"),
              check.replaced.end());

    const ChannelProcessingSettings& p = s->Processing[2];
    EXPECT_EQ(p.AverageMode, 0);
    EXPECT_EQ(p.AverageType, 0);
    EXPECT_EQ(p.AverageSpeed, 0);
    EXPECT_EQ(p.SmoothingWindow, 6);
    EXPECT_EQ(s->Processing[4].AverageMode, 0);
    EXPECT_EQ(s->Scaling[1].StandardWeighting, 0);
    EXPECT_EQ(s->Scaling[1].AmpScaleType, 1);
    EXPECT_EQ(s->Scaling[1].FreqScaleType, 0);
    EXPECT_EQ(s->Scaling[1].SpectralDensityType, 0);
    EXPECT_EQ(s->Scaling[1].TotalPowerWeighting, 0);
    const ChannelCalibration& c = s->Calibration[3];
    EXPECT_EQ(+c.RefUnits, 4u);
    EXPECT_EQ(+c.RefType, 0u);
    EXPECT_EQ(+c.ConversionType, 0u);
    EXPECT_EQ(+c.IntegrationType, 0u);
    EXPECT_EQ(+c.CalCreateMode, 2);
    EXPECT_EQ(s->Composite[5].CompositeType, 0);
    EXPECT_EQ(s->Markers[0].LabelType[2], 1u);
    EXPECT_EQ(s->TimeSeriesOpts[0].AmpScaleType, 0);
    EXPECT_EQ(s->TimeSeriesOpts[0].PlotChannel, 0);
    EXPECT_EQ(s->SpectrumOpts[4].PlotType, 0);
    EXPECT_EQ(s->SpectrumOpts[4].PeakHold, 2);
    EXPECT_EQ(s->SpectrogramOpts[0].ColorMode, 0);
    EXPECT_EQ(s->SpectrogramOpts[0].Direction, 0);
    EXPECT_EQ(s->SpectrogramOpts[0].ScrollType, 0);
    EXPECT_EQ(s->SurfaceOpts[0].ColorMode, 0);
    EXPECT_EQ(s->Logging.FilenameFormat, 0u);
    EXPECT_EQ(s->OpMode, 0);
    EXPECT_EQ(s->Processing[3].AverageMode, 1);
    EXPECT_EQ(s->Processing[3].AverageSpeed, 4);
    EXPECT_EQ(s->Processing[3].AverageType, 2);
    EXPECT_EQ(s->Processing[3].SmoothingWindow, 11);
    EXPECT_EQ(+s->Calibration[4].RefUnits, 16u);
    EXPECT_EQ(+s->Calibration[4].CalCreateMode, 3);
    EXPECT_EQ(+s->Calibration[4].ConversionType, 10u);
    EXPECT_EQ(s->Composite[6].CompositeType, 5);
    EXPECT_EQ(s->SurfaceOpts[1].ColorMode, 3);

    const std::string text = DescribeConfigurationCheck("The file", check);
    EXPECT_EQ(text.rfind("The file holds settings this version cannot use.\r\r", 0), 0u) << text;
    EXPECT_NE(text.find("\r[Mode] OpMode=3 (now 0)\r"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 12), "\rand 15 more") << text;

    // Saved again, the file holds the defaults, which read without a word.
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    const std::string written = Text();
    EXPECT_EQ(written.substr(written.find("AverageMode=", written.find("[Settings_2]")), 15), "AverageMode=0\r\n");
    auto again = Fresh();
    ConfigurationCheck second;
    ASSERT_TRUE(ReadConfigurationFile(*again, file.c_str(), &second));
    EXPECT_TRUE(second.replaced.empty());
    EXPECT_TRUE(DescribeConfigurationCheck("The file", second).empty());
    EXPECT_EQ(again->Processing[2].AverageMode, 0);
}

// Every choice field at both ends of its list, with the number of choices the settings
// records document: the last code reads as itself without a note; one past it takes the
// field's default and is named.
TEST_F(ConfigFile, EveryChoiceKeepsItsLastCodeAndRefusesTheNext)
{
    using Get = std::function<long long(const FrameSettings&)>;
    struct Row {
        const char* section;
        const char* key;
        long long choices, missing;
        Get get;
    };
    const Row rows[] = {
        {"Mode", "OpMode", 3, 0, [](const FrameSettings& s) { return s.OpMode; }},
        {"Settings_1", "AverageType", 3, 0, [](const FrameSettings& s) { return s.Processing[1].AverageType; }},
        {"Settings_1", "AverageMode", 2, 0, [](const FrameSettings& s) { return s.Processing[1].AverageMode; }},
        {"Settings_1", "AverageSpeed", 5, 0, [](const FrameSettings& s) { return s.Processing[1].AverageSpeed; }},
        {"Settings_1", "SmoothingWindow", 12, 6, [](const FrameSettings& s) { return s.Processing[1].SmoothingWindow; }},
        {"Scaling_2", "AmpScaleType", 3, 1, [](const FrameSettings& s) { return s.Scaling[2].AmpScaleType; }},
        {"Scaling_2", "FreqScaleType", 3, 0, [](const FrameSettings& s) { return s.Scaling[2].FreqScaleType; }},
        {"Scaling_2", "SpectralDensityType", 2, 0, [](const FrameSettings& s) { return s.Scaling[2].SpectralDensityType; }},
        {"Scaling_2", "StandardWeighting", 4, 0, [](const FrameSettings& s) { return s.Scaling[2].StandardWeighting; }},
        {"Scaling_2", "TotalPowerWeighting", 4, 0, [](const FrameSettings& s) { return s.Scaling[2].TotalPowerWeighting; }},
        {"Calibration_5", "RefUnits", 17, 4, [](const FrameSettings& s) { return s.Calibration[5].RefUnits; }},
        {"Calibration_5", "RefType", 3, 0, [](const FrameSettings& s) { return s.Calibration[5].RefType; }},
        {"Calibration_5", "ConversionType", 11, 0, [](const FrameSettings& s) { return s.Calibration[5].ConversionType; }},
        {"Calibration_5", "CalCreateMode", 4, 2, [](const FrameSettings& s) { return s.Calibration[5].CalCreateMode; }},
        {"CompositeSettings_9", "CompositeType", 6, 0, [](const FrameSettings& s) { return s.Composite[9].CompositeType; }},
        {"Marker_3", "LabelType_7", 5, 1, [](const FrameSettings& s) { return s.Markers[3].LabelType[7]; }},
        {"TimeSeriesOpts_6", "AmpScaleType", 2, 0, [](const FrameSettings& s) { return s.TimeSeriesOpts[6].AmpScaleType; }},
        {"TimeSeriesOpts_6", "PlotChannel", 8, 0, [](const FrameSettings& s) { return s.TimeSeriesOpts[6].PlotChannel; }},
        {"SpectrumOpts_7", "PlotType", 3, 0, [](const FrameSettings& s) { return s.SpectrumOpts[7].PlotType; }},
        {"SpectrumOpts_7", "PeakHold", 5, 2, [](const FrameSettings& s) { return s.SpectrumOpts[7].PeakHold; }},
        {"SpectrogramOpts_2", "ColorMode", 3, 0, [](const FrameSettings& s) { return s.SpectrogramOpts[2].ColorMode; }},
        {"SpectrogramOpts_2", "Direction", 4, 0, [](const FrameSettings& s) { return s.SpectrogramOpts[2].Direction; }},
        {"SpectrogramOpts_2", "ScrollType", 2, 0, [](const FrameSettings& s) { return s.SpectrogramOpts[2].ScrollType; }},
        {"SurfaceOpts_5", "ColorMode", 4, 0, [](const FrameSettings& s) { return s.SurfaceOpts[5].ColorMode; }},
        {"DataLoggingMain", "FilenameFormat", 2, 0, [](const FrameSettings& s) { return s.Logging.FilenameFormat; }},
    };
    for (const Row& r : rows) {
        for (const long long code : {r.choices - 1, r.choices}) {
            SCOPED_TRACE(testing::Message() << "[" << r.section << "] " << r.key << "=" << code);
            Put(std::string("[") + r.section + "]\n" + r.key + "=" + std::to_string(code) + "\n");
            auto s = Fresh();
            ConfigurationCheck check;
            ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str(), &check));
            const bool known = code < r.choices;
            EXPECT_EQ(r.get(*s), known ? code : r.missing);
            EXPECT_EQ(check.replaced.size(), known ? 0u : 1u);
        }
    }
}

TEST_F(ConfigFile, ReaderKeepsAtMostTwelveThousandLines)
{
    std::string text = "[Mode]\nOpMode=1\n";
    for (int i = 0; i < 11996; ++i)
        text += "Filler=" + std::to_string(i) + "\n";
    text += "[Main]\nMasterDisplayGain=5\n[Toolbars]\nMain=0\n";
    Put(text);
    auto s = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str()));
    EXPECT_EQ(s->OpMode, 1);
    EXPECT_EQ(s->MasterDisplayGain, 5); // line 12000 is the key line
    EXPECT_EQ(s->Main, 1);              // beyond line 12000: the missing-key value
}

TEST_F(ConfigFile, MissingFileChangesNothing)
{
    auto s = Fresh();
    Scramble(*s);
    std::vector<unsigned char> before(sizeof(FrameSettings));
    std::memcpy(before.data(), static_cast<const void*>(s.get()), before.size());
    EXPECT_FALSE(ReadConfigurationFile(*s, (dir / "none.cfg").c_str()));
    EXPECT_EQ(std::memcmp(static_cast<const void*>(s.get()), before.data(), before.size()), 0);
    EXPECT_FALSE(WriteConfigurationFile(*s, (dir / "no" / "x.cfg").c_str()));
}

// A save that runs out of room (here: the file-size limit) keeps the configuration that was
// there, whole, and leaves no temporary file behind.
TEST_F(ConfigFile, FailedWriteKeepsTheOldFile)
{
    auto s = Fresh();
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    const std::string before = Text();
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    Scramble(*s);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = old;
    low.rlim_cur = static_cast<rlim_t>(before.size() / 2);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    const bool written = WriteConfigurationFile(*s, file.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(Text(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A save that succeeds replaces the file and keeps its permissions.
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    EXPECT_NE(Text(), before);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(ConfigurationTable, LookupRules)
{
    std::vector<ConfigurationLine> t(6);
    t[0] = {0, "", "Orphan", "1"};
    t[1] = {1, "Main", "", ""};
    t[2] = {0, "", "Key", "first"};
    t[3] = {0, "", "KEY", "second"};
    t[4] = {1, "main", "", ""};
    t[5] = {0, "", "Other", "late"};
    char out[8];
    LookupConfigurationValue("MAIN", "key", "d", out, sizeof out, t.data(), t.size());
    EXPECT_STREQ(out, "first");
    LookupConfigurationValue("Main", "Other", "dflt", out, sizeof out, t.data(), t.size());
    EXPECT_STREQ(out, "dflt");
    LookupConfigurationValue("", "Orphan", "none", out, sizeof out, t.data(), t.size());
    EXPECT_STREQ(out, "none");
    LookupConfigurationValue("Main", "Key", "d", out, 3, t.data(), t.size());
    EXPECT_STREQ(out, "fi");
}

TEST(FftSize, ValidSizes)
{
    EXPECT_EQ(ValidFftSize(1024), 1024u);
    EXPECT_EQ(ValidFftSize(1023), 512u);
    EXPECT_EQ(ValidFftSize(0), 32u);
    EXPECT_EQ(ValidFftSize(-8), 32u);
    EXPECT_EQ(ValidFftSize(33), 32u);
    EXPECT_EQ(ValidFftSize(1048576), 1048576u);
    EXPECT_EQ(ValidFftSize(1LL << 40), 1048576u);
}

TEST_F(ConfigFile, OverLongLinesStayOneEntry)
{
    // The tail of a long line must not turn into a key line of its own.
    std::string tail(300, 'y');
    Put("[Mode]\r\nJunk=" + std::string(5000000, 'x') + "\r\n" + tail + "=2\r\nOpMode=1\r\n[Main]\r\nMasterDisplayGain=" +
        std::string(250, ' ') + "OpMode=2\r\n");
    auto s = Fresh();
    ASSERT_TRUE(ReadConfigurationFile(*s, file.c_str()));
    EXPECT_EQ(s->OpMode, 1);
    EXPECT_EQ(s->MasterDisplayGain, 0);
}

TEST_F(ConfigFile, PythonReadsTheWrittenFileStrictly)
{
    auto s = Fresh();
    Scramble(*s);
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    fs::path out = dir / "py.txt";
    // configparser in strict mode refuses duplicate sections and keys.
    std::string cmd = "python3 -c \"import configparser;c=configparser.ConfigParser(strict=True,interpolation=None);"
                      "c.optionxform=str;c.read('" + file.string() + "');"
                      "print(len(c.sections()),sum(len(c[x]) for x in c.sections()),"
                      "c['Calibration_7']['ChannelName'],c['SpectrumOpts_3']['PlotRange'],"
                      "c['CompositeSettings_15']['labelLog'],c['PlotPlacement']['UtilityRPM'].replace(' ',''))\" > " +
                      out.string() + " 2>&1";
    if (std::system(cmd.c_str()) != 0)
        DURNEX_SKIP_WITHOUT("python3 not available or refused the file: " << cmd);
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    // 1 + 8 + 4 + 8*9 + 16*6 + 1 + 8 + 16 + 2 sections; keys summed from the sections' key lists
    // (Device 10, ChannelInfo 7, Toolbars 3, PrintOpts 17, Mode 1, Main 1, Settings 11, Scaling 9,
    // Calibration 19, Marker 33, TimeSeriesOpts 19, SpectrumOpts 77, PhaseOpts 14, SpectrogramOpts 14,
    // SurfaceOpts 14, CompositeSettings 23, DataLoggingMain 5, DataLoggingOpts 39, 119 + 119 placements).
    EXPECT_EQ(line, "208 5747 Spare 37.125000000 dB re ref 0,1,{-1,-1},{-4,-23},{117,22,657,451}");
}

// Numbers beyond what the dialogs offer, or what the machine can honour, are held and named;
// values the dialogs allow stay as they are, however large.
TEST_F(ConfigFile, NumbersBeyondTheDialogsAreHeldAndNamed)
{
    Put("[Settings_0]\nFFTsize=1048576\nDecimationRatio=50\n"
        "[Settings_1]\nFFTsize=4096\nDecimationRatio=50\n" // 204800 samples a block: allowed
        "[Settings_2]\nFFTsize=1000\nAverageBlocks=4000000\n"
        "[Settings_3]\nFFTsize=65536\nDecimationRatio=40\nOverlapPercent=120\n"
        "[Scaling_0]\nOctaveNumber=500\n[Main]\nMasterDisplayGain=-90\n"
        "[Device]\nSigGenNumChannels=5\n[ChannelInfo_2]\nGain=-1\n");
    ConfigurationCheck check;
    auto s = ReadBack(check);
    EXPECT_FALSE(check.damaged);
    const std::vector<std::string> expected = {
        "[Device] SigGenNumChannels=5 (now 1)",
        "[ChannelInfo_2] Gain=-1 (now 1.000000)",
        "[Main] MasterDisplayGain=-90 (now -20)",
        "[Settings_0] DecimationRatio=50 (now 1)",
        "[Settings_2] FFTsize=1000 (now 512)",
        "[Settings_2] AverageBlocks=4000000 (now 100000)",
        "[Settings_3] DecimationRatio=40 (now 16)",
        "[Settings_3] OverlapPercent=120 (now 99)",
        "[Scaling_0] OctaveNumber=500 (now 3)",
    };
    EXPECT_EQ(check.replaced, expected);
    EXPECT_EQ(s->Processing[0].FFTsize, 1048576u);
    EXPECT_EQ(s->Processing[0].DecimationRatio, 1);
    EXPECT_EQ(s->Processing[1].DecimationRatio, 50);
    EXPECT_EQ(s->Processing[3].DecimationRatio, 16);
    for (const ChannelProcessingSettings& p : s->Processing)
        EXPECT_LE(std::uint64_t(p.FFTsize) * p.DecimationRatio, kMaxFftSize);

    // Written back, the file holds the held values, which read without a word.
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    ConfigurationCheck second;
    auto again = ReadBack(second);
    EXPECT_TRUE(second.replaced.empty());
    EXPECT_EQ(std::memcmp(again->Processing, s->Processing, sizeof s->Processing), 0);
}

// A damaged file's control characters (here in texts the user typed) are not written back: the
// system's own file must read clean at the next start, not be set aside as damaged.
TEST_F(ConfigFile, ControlCharactersAreNotWrittenBack)
{
    Put(std::string("[PrintOpts]\nAnnotation1=a\x01" "b\x08" "c\x1a" "d\tend\n[Marker_0]\nCustomLabel_0=\x1b[1m\n"));
    ConfigurationCheck check;
    auto s = ReadBack(check);
    EXPECT_TRUE(check.damaged);
    ASSERT_TRUE(WriteConfigurationFile(*s, file.c_str()));
    const std::string written = Text();
    for (char c : written)
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\r' || c == '\n' || c == '\t') << int(c);
    auto again = ReadBack(check);
    EXPECT_FALSE(check.damaged);
    EXPECT_STREQ(again->Print.Annotation1, "a b c d\tend");
    EXPECT_STREQ(again->Markers[0].CustomLabel[0], " [1m");
}
