// The spectrogram and 3-D surface windows on the frame's roads: a history rebuilt from a chirp
// written by Python lands its ridge where the chirp's frequency is at each row's time, the
// windows' segment requests reach the frame, and a segment refused by a sweeping spectrogram
// is not edited.
#include "FilesFrameFixture.h"

#include "dsp/SpectralData.h"
#include "records/CommonRoutines.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "records/SpectrogramPlotSettings.h"
#include "support/QtTestAccess.h"
#include "wave/TWaveFile.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>

using namespace filesframe;

namespace {
using HistoryPlots = FilesFrame;

constexpr int kRate = 8000;
constexpr double kSeconds = 4.0;
// f(t) = 500 + 750 t Hz: phase 2 pi (500 t + 375 t^2).
const char* const kChirp = "round(12000 * math.sin(2 * math.pi * (500 * i / 8000 + 375 * (i / 8000) ** 2)))";

// The column of the strongest colour on a row of the picture (the middle of a run of equals).
int RidgeColumn(CBitmap* bitmap, const std::vector<COLORREF>& colours, int row, int width)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* old = mem.SelectObject(bitmap);
    int best = -1, first = -1, last = -1;
    for (int x = 0; x < width; ++x) {
        const COLORREF c = mem.GetPixel(x, row);
        const auto it = std::find(colours.begin(), colours.end(), c);
        const int index = it == colours.end() ? -1 : static_cast<int>(it - colours.begin());
        if (index > best) {
            best = index;
            first = last = x;
        } else if (index == best) {
            last = x;
        }
    }
    mem.SelectObject(old);
    return (first + last) / 2;
}
} // namespace

TEST_F(HistoryPlots, ChirpRebuildPutsTheRidgeAtTheChirpFrequencyOfEveryRow)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/chirp.wav"), kRate, static_cast<int>(kRate * kSeconds), kChirp));
    ASSERT_TRUE(OpenChannel(0, Data("wave/chirp.wav")));
    SpectrogramPlotSettings& s = frame->Settings.SpectrogramOpts[0];
    s.Direction = 3; // time runs down from the top, frequency across
    s.ScrollType = 0;
    s.UseFullSpan = 0;
    s.StartFreq = 0.0f;
    s.StopFreq = 4000.0f;
    s.PlotTop = 60.0f; // no level reaches the top colour, so the ridge has one brightest pixel
    s.PlotRange = 160.0f;
    frame->RebuildSpectrogramFromSegment(0, 0.0f, static_cast<float>(kSeconds), false, true);
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    ASSERT_NE(plot, nullptr);
    const TLineHistory& history = plot->GetHistory();
    ASSERT_GT(history.Count(), 40);
    CBitmap* bitmap = plot->GetPaneBitmap(0);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    bitmap->GetBitmap(&info);
    const auto& map = plot->GetFrequencyMap();
    ASSERT_EQ(static_cast<int>(map.size()), info.bmWidth);
    // The history spans the segment: block centres from about half a block to its end.
    EXPECT_LT(plot->GetHistoryStartTime(), 0.2f);
    EXPECT_GT(plot->GetHistoryEndTime(), static_cast<float>(kSeconds) - 0.2f);

    int checked = 0;
    for (int row = 0; row < std::min(history.Count(), info.bmHeight); row += 7) {
        const float t = history.RowTime(row);
        // Away from the ends a whole block lies inside the chirp.
        if (t < 0.2f || t > kSeconds - 0.2f)
            continue;
        const double expected = 500.0 + 750.0 * t;
        const int column = RidgeColumn(bitmap, plot->GetColours(), row, info.bmWidth);
        ASSERT_GE(column, 0);
        // A pixel covers 4000 / width Hz; a block of 1024 frames sweeps about 96 Hz.
        EXPECT_NEAR(map[static_cast<std::size_t>(column)].frequency, expected, 40.0) << "row " << row << " t " << t;
        ++checked;
    }
    EXPECT_GT(checked, 10);
    // The lines reach the screen: the window shows the picture as drawn, all of it (the lines
    // cover it) but for the idle mark the end of a rebuild puts over it.
    AfxPumpMessages();
    const QImage shown = QtClientPictureOf(plot);
    const CRect pane = plot->GetPlotRect();
    const CRect mark = plot->GetWatermarkRect();
    std::vector<DWORD> bits(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
    bitmap->GetBitmapBits(static_cast<DWORD>(bits.size() * sizeof(DWORD)), bits.data());
    int differing = 0;
    for (int y = 0; y < info.bmHeight; ++y)
        for (int x = 0; x < info.bmWidth; ++x)
            if (!mark.PtInRect(CPoint(pane.left + x, pane.top + y)))
                differing += (shown.pixel(pane.left + x, pane.top + y) & 0xFFFFFFu) !=
                                     (bits[static_cast<std::size_t>(y) * info.bmWidth + x] & 0xFFFFFFu)
                                 ? 1
                                 : 0;
    EXPECT_EQ(differing, 0);
    // Newest at the entry edge (top): row times fall going down.
    EXPECT_GT(history.RowTime(0), history.RowTime(history.Count() - 2));
    EXPECT_STREQ(plot->GetEntryEdgeText(), FormatTime(history.RowTime(0), true, true));
}

TEST_F(HistoryPlots, SweepingSpectrogramRebuildsFromTheFirstLineOn)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/chirp.wav"), kRate, static_cast<int>(kRate * kSeconds), kChirp));
    ASSERT_TRUE(OpenChannel(0, Data("wave/chirp.wav")));
    frame->Settings.SpectrogramOpts[0].ScrollType = 1;
    frame->RebuildSpectrogramFromSegment(0, 0.0f, static_cast<float>(kSeconds), false, true);
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    ASSERT_NE(plot, nullptr);
    const TLineHistory& history = plot->GetHistory();
    EXPECT_LT(history.RowTime(0), history.RowTime(history.Count() - 2));
}

TEST_F(HistoryPlots, ASegmentCrossingTheSweepBoundaryIsRefusedAndNotMuted)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), kRate, kRate * 2, "round(8000 * math.sin(2 * math.pi * 700 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->Settings.SpectrogramOpts[0].ScrollType = 1;
    frame->Settings.SpectrogramOpts[0].Direction = 3;
    frame->OpenSpectrogramPlot(0);
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    ASSERT_NE(plot, nullptr);
    frame->MDIActivate(plot);
    AfxPumpMessages();
    // The write position sits between the top rows (written last) and the rest.
    plot->SetHistoryLine(0, 1.5f);
    plot->SetHistoryLine(plot->GetLineCapacity() - 2, 0.5f);
    plot->SelectAll();
    const std::vector<long> before = Samples(frame->Settings.Files[0].File.get());
    const bool modified = frame->Settings.Files[0].File->IsModified();
    user.ExpectBox(IDOK, "Spectrogram View: The selected time segment cannot cross the scroll boundary.");
    frame->OnEditMute();
    EXPECT_EQ(Samples(frame->Settings.Files[0].File.get()), before);
    EXPECT_EQ(frame->Settings.Files[0].File->IsModified(), modified);
}

TEST_F(HistoryPlots, CopyAsWaveCopiesTheSelectedSegment)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), kRate, kRate * 2, "round(8000 * math.sin(2 * math.pi * 700 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->RebuildSpectrogramFromSegment(0, 0.0f, 2.0f, false, true);
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    ASSERT_NE(plot, nullptr);
    frame->MDIActivate(plot);
    AfxPumpMessages();
    plot->SelectAll();
    float start = 0, end = 0;
    plot->GetSelectedSegment(start, end);
    ASSERT_LT(start, end);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    plot->SendMessage(WM_COMMAND, ID_HISTORY_COPY_WAVE, 0);
    std::size_t bytes = 0;
    ASSERT_TRUE(OpenClipboard(nullptr));
    if (HANDLE h = GetClipboardData(CF_WAVE))
        bytes = GlobalSize(static_cast<HGLOBAL>(h));
    CloseClipboard();
    // 16-bit mono: two bytes a frame, plus the RIFF headers and calibration chunk.
    const double frames = (end - start) * kRate;
    EXPECT_GT(static_cast<double>(bytes), 2.0 * frames);
    EXPECT_LT(static_cast<double>(bytes), 2.0 * frames + 4096.0);
}

TEST_F(HistoryPlots, PlayButtonPlaysTheSegmentAndIsReleasedAtItsEnd)
{
    const std::filesystem::path sound = root / "played.raw";
    setenv("DURNEX_SOUND_FILE", sound.c_str(), 1);
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), kRate, kRate * 2, "round(8000 * math.sin(2 * math.pi * 700 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->Settings.UseSoundCardForOutput = 1;
    frame->RebuildSpectrogramFromSegment(0, 0.0f, 2.0f, false, true);
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    ASSERT_NE(plot, nullptr);
    plot->SelectAll();
    float start = 0, end = 0;
    plot->GetSelectedSegment(start, end);
    plot->SendMessage(WM_COMMAND, IDC_HISTORY_PLAY, 0);
    EXPECT_TRUE(frame->Playing);
    EXPECT_TRUE(plot->GetToolButton(IDC_HISTORY_PLAY)->IsPressed());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (frame->Playing && std::chrono::steady_clock::now() < until)
        AfxPumpMessages(5);
    EXPECT_FALSE(frame->Playing);
    EXPECT_FALSE(plot->GetToolButton(IDC_HISTORY_PLAY)->IsPressed());
    // 16-bit mono at the file's rate: at least the segment's samples reached the card.
    EXPECT_GE(static_cast<double>(std::filesystem::file_size(sound)), 2.0 * (end - start) * kRate);
    unsetenv("DURNEX_SOUND_FILE");
}

TEST_F(HistoryPlots, DoubleClickAndSegmentCommandsReachTheFrame)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/chirp.wav"), kRate, static_cast<int>(kRate * kSeconds), kChirp));
    ASSERT_TRUE(OpenChannel(0, Data("wave/chirp.wav")));
    frame->RebuildSurfaceFromSegment(0, 0.0f, static_cast<float>(kSeconds), false, true);
    TSurfacePlot* surface = frame->SurfacePlot[0];
    ASSERT_NE(surface, nullptr);
    EXPECT_GT(surface->GetHistoryEndTime(), 3.0f);
    // Compute and Display Spectrogram of the surface's whole selection.
    surface->SelectAll();
    float start = 0, end = 0;
    surface->GetSelectedSegment(start, end);
    EXPECT_LT(start, end);
    surface->SendMessage(WM_COMMAND, ID_HISTORY_SPECTROGRAM, 0);
    ASSERT_NE(frame->SpectrogramPlot[0], nullptr);
    EXPECT_NEAR(frame->SpectrogramPlot[0]->GetHistoryEndTime(), end, 0.2f);
    // A double click in the spectrogram shows the spectrum at that time.
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    const CRect area = plot->GetPlotRect();
    plot->SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(area.CenterPoint().x, area.CenterPoint().y));
    EXPECT_NE(frame->SpectrumPlot[0], nullptr);
    EXPECT_NE(frame->TimeSeriesPlot[0], nullptr);
}

// Every line of a rebuilt surface keeps its own peak level (what autoscale reads): a 1 kHz tone
// whose amplitude grows as 1 + 4 t reads 20 log10(1 + 4 t) plus one constant on every row.
TEST_F(HistoryPlots, ARebuiltSurfaceKeepsEachLinesOwnPeak)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/swell.wav"), kRate, static_cast<int>(kRate * kSeconds),
                            "round(1500 * (1 + 4 * i / 8000) * math.sin(2 * math.pi * 1000 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/swell.wav")));
    frame->RebuildSurfaceFromSegment(0, 0.0f, static_cast<float>(kSeconds), false, true);
    TSurfacePlot* surface = frame->SurfacePlot[0];
    ASSERT_NE(surface, nullptr);
    const TLineHistory& history = surface->GetHistory();
    ASSERT_GT(history.Count(), 20);
    double low = 1e9, high = -1e9;
    int checked = 0;
    for (int k = 0; k < history.Count(); ++k) {
        const float t = history.RowTime(k);
        if (t < 0.3f || t > kSeconds - 0.3f)
            continue;
        const double offset = history.Row(k).peak - 20.0 * std::log10(1.0 + 4.0 * t);
        low = std::min(low, offset);
        high = std::max(high, offset);
        ++checked;
    }
    EXPECT_GT(checked, 10);
    EXPECT_LT(high - low, 1.0) << "rows' peaks do not follow the tone's level";
}

namespace {
// The colour index (0 .. count - 1, -1 for none of the scale's) at a picture pixel.
int ColourIndexAt(CBitmap* bitmap, const std::vector<COLORREF>& colours, int x, int y)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap* old = mem.SelectObject(bitmap);
    const COLORREF c = mem.GetPixel(x, y);
    mem.SelectObject(old);
    const auto it = std::find(colours.begin(), colours.end(), c);
    return it == colours.end() ? -1 : static_cast<int>(it - colours.begin());
}

std::vector<DWORD> PictureBits(CBitmap* bitmap)
{
    BITMAP info{};
    bitmap->GetBitmap(&info);
    std::vector<DWORD> bits(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
    bitmap->GetBitmapBits(static_cast<DWORD>(bits.size() * sizeof(DWORD)), bits.data());
    return bits;
}
} // namespace

TEST_F(HistoryPlots, ARebuildShowsEachToneOnlyInItsOwnLinesAndRebuildsAgainTheSame)
{
    // 500 Hz for 20 s, 1 kHz for 20 s, then silence, with the channel's default averaging
    // (exponential over 3 blocks): a line is only its own blocks.
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/steps.wav"), kRate, kRate * 60,
                            "0 if i >= 320000 else round(12000 * math.sin(2 * math.pi * (500 if i < 160000 else 1000) * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/steps.wav")));
    ASSERT_EQ(frame->Settings.Processing[0].AverageBlocks, 3u);
    SpectrogramPlotSettings& s = frame->Settings.SpectrogramOpts[0];
    s.Direction = 3;
    s.ScrollType = 0;
    s.UseFullSpan = 1;
    s.PlotTop = 60.0f;
    s.PlotRange = 160.0f;
    frame->RebuildSpectrogramFromSegment(0, 0.0f, 60.0f, false, true);
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    ASSERT_NE(plot, nullptr);
    const TLineHistory& history = plot->GetHistory();
    CBitmap* bitmap = plot->GetPaneBitmap(0);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    bitmap->GetBitmap(&info);
    const int rows = std::min(history.Count(), info.bmHeight);
    ASSERT_GT(rows, 100);
    // The newest line is the last whole block's middle; the oldest the first's.
    const double half = 512.0 / kRate;
    EXPECT_NEAR(history.RowTime(0), 60.0 - half, 1e-3);
    const float step = (history.RowTime(0) - history.RowTime(2)) / 1.0f;
    ASSERT_GT(step, 0.0f);
    const auto column = [&](float hz) {
        const auto& map = plot->GetFrequencyMap();
        for (std::size_t c = 0; c < map.size(); ++c)
            if (map[c].frequency >= hz)
                return static_cast<int>(c);
        return -1;
    };
    struct Tone {
        float hz, from, to;
    };
    const Tone tones[] = {{500.0f, 0.0f, 20.0f}, {1000.0f, 20.0f, 40.0f}};
    for (const Tone& tone : tones) {
        const int x = column(tone.hz);
        ASSERT_GE(x, 0);
        // The tone's own level, from a line in the middle of its span; a line shows the tone
        // when its pixel lies within 20 dB (25 colours of 200 over 160 dB) of it.
        int full = -1;
        for (int r = 0; r < rows; r += 2)
            if (std::fabs(history.RowTime(r) - (tone.from + tone.to) / 2) < step)
                full = ColourIndexAt(bitmap, plot->GetColours(), x, r);
        ASSERT_GT(full, 25) << tone.hz;
        for (int r = 0; r < rows; r += 2) {
            const float t = history.RowTime(r);
            const bool shown = ColourIndexAt(bitmap, plot->GetColours(), x, r) >= full - 25;
            if (shown)
                EXPECT_TRUE(t > tone.from - step && t < tone.to + step) << tone.hz << " Hz shown at " << t << " s";
            else if (t > tone.from + step && t < tone.to - step)
                ADD_FAILURE() << tone.hz << " Hz missing at " << t << " s";
        }
    }
    // A rebuild of what the window shows (as a resize or a level change asks) gives the same
    // lines at the same times.
    const std::vector<DWORD> first = PictureBits(bitmap);
    std::vector<float> times;
    for (int r = 0; r < history.Count(); ++r)
        times.push_back(history.RowTime(r));
    for (int again = 0; again < 2; ++again) {
        frame->RebuildSpectrogram(0, false, false);
        ASSERT_EQ(plot->GetPaneBitmap(0), bitmap);
        EXPECT_TRUE(PictureBits(bitmap) == first) << "rebuild " << again;
        for (int r = 0; r < history.Count(); ++r)
            ASSERT_EQ(history.RowTime(r), times[std::size_t(r)]) << "rebuild " << again << " row " << r;
    }
}
