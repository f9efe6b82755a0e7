// The time-series plot's visible range: seconds become samples of the file, or of the buffer,
// limited to the data's extent.
#include "PlotTestSupport.h"

#include "records/TimeSeriesPlotSettings.h"
#include "plots/TSeriesPlot.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <cmath>
#include <filesystem>

namespace {
class SeriesSelection : public PlotWindows {
protected:
    TSeriesPlot* Open(TSampleBuffer* buffer, TWaveFile* file)
    {
        auto* p = new TSeriesPlot;
        CRect r(0, 0, 400, 300);
        EXPECT_TRUE(p->Create("Time Series - Crown", kStyle, &r, &settings, buffer, 0, file, 0, 0));
        return p;
    }
    TimeSeriesPlotSettings settings;
    // One second at 4000 samples per second.
    TSampleBuffer buffer{4000, TPcmFormat(4000, 1, 2), 1, false};
};
} // namespace

TEST_F(SeriesSelection, SecondsBecomeBufferSamplesWithinTheExtent)
{
    TSeriesPlot* p = Open(&buffer, nullptr);
    p->SetSelection(0.25f, 0.5f);
    EXPECT_EQ(p->GetViewStart(), 1000u);
    EXPECT_EQ(p->GetViewEnd(), 2000u);

    // The frame's "everything": the end is cut to the extent.
    p->SetSelection(0.0f, 999999.9f);
    EXPECT_EQ(p->GetViewStart(), 0u);
    EXPECT_EQ(p->GetViewEnd(), 4000u);

    // A start beyond the extent becomes 0.
    p->SetSelection(5.0f, 6.0f);
    EXPECT_EQ(p->GetViewStart(), 0u);
    EXPECT_EQ(p->GetViewEnd(), 4000u);
}

TEST_F(SeriesSelection, ReversedRangeOrNoBufferChangesNothing)
{
    TSeriesPlot* p = Open(&buffer, nullptr);
    p->SetSelection(0.25f, 0.5f);
    p->SetSelection(0.5f, 0.25f);
    EXPECT_EQ(p->GetViewStart(), 1000u);
    EXPECT_EQ(p->GetViewEnd(), 2000u);

    TSeriesPlot* q = Open(nullptr, nullptr);
    const DWORD start = q->GetViewStart(), end = q->GetViewEnd();
    q->SetSelection(0.0f, 999999.9f);
    EXPECT_EQ(q->GetViewStart(), start);
    EXPECT_EQ(q->GetViewEnd(), end);
}

TEST_F(SeriesSelection, AFileGivesTheExtentAndTheUnits)
{
    const auto dir = std::filesystem::temp_directory_path() / "durnex-series-test";
    std::filesystem::create_directories(dir);
    {
        // Two seconds at 8000 frames per second: the file, not the buffer, sets the scale.
        TWaveFile file(16000, TPcmFormat(8000, 1, 2), dir.string());
        ASSERT_FALSE(file.IsError());
        TSeriesPlot* p = Open(&buffer, nullptr);
        p->SetRange(&file, 0);
        EXPECT_EQ(p->GetWaveFile(), &file);
        p->SetSelection(0.5f, 999999.9f);
        EXPECT_EQ(p->GetViewStart(), 4000u);
        EXPECT_EQ(p->GetViewEnd(), 16000u);

        // Select All selects what is visible, and the segment comes back in seconds.
        float a = -1.0f, b = -1.0f;
        EXPECT_FALSE(p->CanCut());
        p->SelectAll();
        EXPECT_TRUE(p->CanCut());
        EXPECT_TRUE(p->CanPlayOrFilter());
        p->GetSelectedSegment(a, b);
        EXPECT_FLOAT_EQ(a, 0.5f);
        EXPECT_FLOAT_EQ(b, 2.0f);

        // A new layout drops the selection, as any view change does.
        p->UpdateLayout();
        EXPECT_FALSE(p->CanCopy());
        p->GetSelectedSegment(a, b);
        EXPECT_EQ(a, 0.0f);
        EXPECT_EQ(b, 0.0f);
        p->DestroyWindow();
    }
    std::filesystem::remove_all(dir);
}

TEST_F(SeriesSelection, SavedViewComesBackWithinTheData)
{
    TSeriesPlot* p = Open(&buffer, nullptr);
    p->SetSelection(0.1f, 0.2f);
    p->SaveView();
    p->SetSelection(0.0f, 1.0f);
    p->RestoreView();
    EXPECT_EQ(p->GetViewStart(), 400u);
    EXPECT_EQ(p->GetViewEnd(), 800u);
}

TEST_F(SeriesSelection, BindingsAreKeptAsGiven)
{
    TSeriesPlot* p = Open(nullptr, nullptr);
    p->SetBuffer(&buffer, 0);
    p->SetChannelMode(3);
    EXPECT_EQ(p->GetBuffer(), &buffer);
    EXPECT_EQ(p->GetChannelMode(), 3u);
    EXPECT_EQ(p->GetSettings(), &settings);
    float a = 7.0f, b = 9.0f;
    p->GetSelectedSegment(a, b);
    EXPECT_EQ(a, 0.0f);
    EXPECT_EQ(b, 0.0f);
}

TEST_F(SeriesSelection, LinearAutoscaleOfAnUncalibratedSignalInPercent)
{
    // -0.5 and 0.73 of full scale: -50 % and 73 % give top 80 and center 0.
    buffer.SetSample(100, -16384);
    buffer.SetSample(200, 23920);
    settings.AmpScaleType = 0;
    TSeriesPlot* p = Open(&buffer, nullptr);
    p->Autoscale();
    EXPECT_FLOAT_EQ(settings.PlotTop, 80.0f);
    EXPECT_FLOAT_EQ(settings.PlotCenter, 0.0f);

    // A signal that stays positive (10 % to 20 %) centres between its rounded limits 0 and 30.
    for (DWORD i = 0; i < 4000; ++i)
        buffer.SetSample(i, 3277);
    buffer.SetSample(20, 6554);
    p->Autoscale();
    EXPECT_FLOAT_EQ(settings.PlotTop, 30.0f);
    EXPECT_FLOAT_EQ(settings.PlotCenter, 15.0f);
}

TEST_F(SeriesSelection, LogarithmicAutoscaleSpansOneHundredDecibels)
{
    buffer.SetSample(5, 16384);
    settings.AmpScaleType = 1;
    TSeriesPlot* p = Open(&buffer, nullptr);
    p->Autoscale();
    EXPECT_EQ(std::fmod(settings.PlotTop, 10.0f), 0.0f);
    EXPECT_FLOAT_EQ(settings.PlotRange, 100.0f);
}
