// The segment roads of the two-channel composites (transfer functions, coherence, cross
// spectrum) driven through the frame over a two-channel wave written by Python, checked
// against scipy.signal over the same blocks and window, and against closed forms.
#include "FilesFrameFixture.h"

#include "dsp/SpectralData.h"
#include "records/AppMessages.h"
#include "res/resource.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

using namespace filesframe;

namespace {

constexpr int kRate = 8192;
constexpr DWORD kFft = 256;

class CompositeSegments : public FilesFrame {
protected:
    // Channels 0 (reference, left) and 1 (transfer, right) of a 16-bit two-channel wave of
    // `frames` frames whose left and right samples are the Python lists `left` and `right`
    // (numpy's random generator `rng` is at hand), analysed in blocks of kFft frames without
    // overlap through the default (Hanning) window.
    bool OpenPair(const std::string& left, const std::string& right, int frames, const std::string& extra = {})
    {
        wavePath = Data("wave/pair.wav");
        if (!Python(std::string(apptest::kNumpyPreamble) + "import numpy as np, wave\n"
                    "rng = np.random.default_rng(11)\n"
                    "n = " + std::to_string(frames) + "\n"
                    "x = np.asarray(" + left + ", dtype=float)\n"
                    "y = np.asarray(" + right + ", dtype=float)\n"
                    "x = np.clip(np.round(x), -32767, 32767).astype('<i2')\n"
                    "y = np.clip(np.round(y), -32767, 32767).astype('<i2')\n"
                    "w = wave.open('" + wavePath + "', 'wb')\n"
                    "w.setnchannels(2); w.setsampwidth(2); w.setframerate(" + std::to_string(kRate) + ")\n"
                    "w.writeframes(np.column_stack([x, y]).tobytes())\n"
                    "w.close()\n" + extra))
            return false;
        for (int ch : {0, 1}) {
            frame->Settings.Processing[ch].FFTsize = kFft;
            frame->Settings.Processing[ch].OverlapPercent = 0;
        }
        frame->Settings.Files[1].FileChannel = 1;
        if (!OpenChannel(0, wavePath) || !OpenChannel(1, wavePath))
            return false;
        return frame->Settings.Processing[1].FFTsize == kFft && frame->Spectral[0] != nullptr &&
               frame->Spectral[0]->GetFftSize() == int(kFft);
    }

    // Composite `index` of `type`: channel 0 against channel `transfer` (types 1 to 4), or the
    // sum of channels 0 and 1 (types 0 and 5).
    void UseComposite(int index, WORD type, DWORD transfer = 1)
    {
        CompositeChannelSettings& c = frame->Settings.Composite[index];
        c.bIsEnabled = 1;
        c.CompositeType = type;
        c.ReferenceChannel = 0;
        c.TransferChannel = transfer;
        c.IncludeInAverage[0] = 1;
        c.IncludeInAverage[1] = 1;
        frame->ReconfigureProcessing();
    }

    // Bins 1 .. kFft/2 - 2 of an engine's magnitudes (the last bin is not averaged).
    static std::vector<double> Bins(const SpectralData* engine)
    {
        std::vector<double> out;
        if (engine == nullptr || engine->GetMagnitudeBuffer() == nullptr)
            return out;
        for (DWORD k = 1; k + 1 < kFft / 2; ++k)
            out.push_back(engine->GetMagnitudeBuffer()[k]);
        return out;
    }

    static std::vector<std::vector<double>> ReadRows(const std::string& path)
    {
        std::vector<std::vector<double>> rows;
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream s(line);
            std::vector<double> row;
            double v;
            while (s >> v)
                row.push_back(v);
            rows.push_back(row);
        }
        return rows;
    }

    static void ExpectRelative(const std::vector<double>& got, const std::vector<double>& want, double tolerance)
    {
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t k = 0; k < got.size(); ++k)
            EXPECT_NEAR(got[k], want[k], tolerance * std::abs(want[k])) << "bin " << k + 1;
    }

    LRESULT SpectrumAt(int composite, float seconds)
    {
        PlotSegmentRequest request;
        request.Channel = composite;
        request.Start = seconds;
        request.Composite = 1;
        return frame->SendMessage(WM_PLOT_SEGMENT, PLOT_SEGMENT_SPECTRUM_AT, reinterpret_cast<LPARAM>(&request));
    }

    std::string wavePath;
};

} // namespace

// A transfer channel that is a filtered copy of the reference plus noise of its own: over 20
// blocks of a segment, the real and complex transfer functions, the coherence and the cross
// spectrum are scipy's welch, csd and coherence (and numpy's mean |X Y*|) of the same blocks
// through the same window. The composites' engines carried a run's averages before: the
// segment's values owe nothing to them. The members' positions come back.
TEST_F(CompositeSegments, TwoChannelSegmentAveragesAreScipysOverTheSameBlocks)
{
    ASSERT_NE(Start(), nullptr);
    const std::string refs = Data("refs.txt");
    // Frames [1024, 6144): 0.125 s to 0.75 s, 20 blocks of 256.
    ASSERT_TRUE(OpenPair("rng.normal(0, 3000, n)",
                         "0.6 * x + 0.3 * np.roll(x, 1) - 0.2 * np.roll(x, 3) + rng.normal(0, 1500, n)", 16384,
                         "from scipy import signal\n"
                         "x = x[1024:6144].astype(float); y = y[1024:6144].astype(float)\n"
                         "kw = dict(window=signal.windows.hann(256, sym=True), nperseg=256, noverlap=0, detrend=False)\n"
                         "_, pxx = signal.welch(x, **kw); _, pyy = signal.welch(y, **kw); _, pxy = signal.csd(x, y, **kw)\n"
                         "_, coh = signal.coherence(x, y, **kw)\n"
                         "w = signal.windows.hann(256, sym=True)\n"
                         "X = np.fft.rfft(x.reshape(20, 256) * w); Y = np.fft.rfft(y.reshape(20, 256) * w)\n"
                         "cross = np.abs(Y * np.conj(X)).mean(axis=0)\n"
                         "rows = [pyy / pxx, np.abs(pxy / pxx) ** 2, coh, cross / cross[1:127].sum()]\n"
                         "open('" + refs + "', 'w').write('\\n'.join(' '.join(repr(v) for v in r[1:127]) for r in rows))\n"));
    const auto want = ReadRows(refs);
    ASSERT_EQ(want.size(), 4u);

    for (const WORD type : {WORD(1), WORD(2), WORD(3), WORD(4)}) {
        SCOPED_TRACE(type);
        UseComposite(type, type);
        // A whole-file pass leaves its averages in the composite's engines first.
        frame->StartWholeFileRun();
        AfxPumpMessages(50);
        frame->SendMessage(WM_COMMAND, ID_STOP);
        ASSERT_GT(frame->CompositeSpectral[type][2]->GetAverageCount(), 0);
        frame->Settings.Files[0].File->Seek(300);
        frame->Settings.Files[1].File->Seek(300);

        frame->ComputeSegmentAverageSpectrum(type, 0.125f, 0.75f, true);
        ASSERT_NE(frame->CompositeSpectrumPlot[type], nullptr);
        const SpectralData* result = frame->CompositeSpectral[type][2];
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->GetAverageCount(), 20);
        if (type == 1)
            ExpectRelative(Bins(result), want[0], 2e-3);
        if (type == 2 || type == 3)
            ExpectRelative(Bins(result), want[1], 2e-3);
        if (type == 3) {
            const std::vector<double> coherence = Bins(frame->CompositeSpectral[type][3]);
            ASSERT_EQ(coherence.size(), want[2].size());
            for (std::size_t k = 0; k < coherence.size(); ++k)
                EXPECT_NEAR(coherence[k], want[2][k], 1e-3) << "bin " << k + 1;
        }
        if (type == 4) {
            std::vector<double> shape = Bins(result);
            double total = 0.0;
            for (double v : shape)
                total += v;
            for (double& v : shape)
                v /= total;
            ExpectRelative(shape, want[3], 2e-3);
        }
        EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), 300u);
        EXPECT_EQ(frame->Settings.Files[1].File->GetPosition(), 300u);
        frame->Settings.Composite[type].bIsEnabled = 0;
    }
}

// The transfer channel is half the reference for the first second and equal to it for the
// second: averaged over either second the transfer functions read -6.02 dB and 0 dB at every
// frequency with a coherence of 1, and the second average owes nothing to the first. A double
// click in the composite's history at a time shows the composite's spectrum of the one block
// centred there, and leaves both members' files at that block's start. The channels are
// calibrated in large units (their cross spectrum reads far above any transfer ratio) and the
// composite's spectrum holds peaks: the transfer functions stay ratios.
TEST_F(CompositeSegments, AHalvedChannelReadsMinusSixDecibelsThenNoughtBySegmentAndByTime)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(OpenPair("2 * rng.integers(-4000, 4000, n)", "np.where(np.arange(n) < 8192, x // 2, x)", 16384));
    for (int ch : {0, 1}) {
        frame->Settings.Calibration[ch].IsEnabled = 1;
        frame->Settings.Calibration[ch].CalRatio = 1000.0f;
    }
    for (const WORD type : {WORD(1), WORD(2), WORD(3)}) {
        SCOPED_TRACE(type);
        frame->Settings.CompositeSpectrumOpts[type].PeakHold = 2;
        UseComposite(type, type);
        SpectralData* result = frame->CompositeSpectral[type][2];
        ASSERT_NE(result, nullptr);
        const auto expectRatio = [&](double ratio) {
            for (const double v : Bins(result))
                EXPECT_NEAR(v, ratio, 1e-4 * ratio);
            if (type == 3)
                for (const double v : Bins(frame->CompositeSpectral[type][3]))
                    EXPECT_NEAR(v, 1.0, 1e-4);
            // What the plot reads: 20 log10 of the amplitude ratio.
            EXPECT_NEAR(result->GetLevel(40), 10.0 * std::log10(ratio), 0.01);
        };
        frame->ComputeSegmentAverageSpectrum(type, 0.0f, 1.0f, true);
        expectRatio(0.25);
        frame->ComputeSegmentAverageSpectrum(type, 1.0f, 2.0f, true);
        expectRatio(1.0);

        EXPECT_EQ(SpectrumAt(type, 0.5f), 1);
        EXPECT_EQ(result->GetAverageCount(), 1);
        expectRatio(0.25);
        const DWORD blockStart = 4096 - kFft / 2;
        EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), blockStart);
        EXPECT_EQ(frame->Settings.Files[1].File->GetPosition(), blockStart);
        EXPECT_EQ(SpectrumAt(type, 1.5f), 1);
        expectRatio(1.0);
        frame->Settings.Composite[type].bIsEnabled = 0;
    }
}

// A segment shorter than one block: the cross spectrum of a channel with itself is the
// channel's own power spectrum, so with either answer to the zero-padding question the
// composite reads what the channel's own segment average of the same frames reads. Cancel
// computes nothing.
TEST_F(CompositeSegments, AShortSegmentGivesTheCompositeTheFrameTheChannelGets)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(OpenPair("8000 * np.sin(2 * np.pi * 700 * np.arange(n) / 8192) + rng.normal(0, 500, n)", "x", 16384));
    UseComposite(4, 4, 0);
    SpectralData* result = frame->CompositeSpectral[4][2];
    ASSERT_NE(result, nullptr);
    // 100 frames from 0.5 s: shorter than a block of 256.
    const float start = 0.5f, end = 0.5f + 100.0f / kRate;
    for (const int choice : {2164, 2166}) {
        SCOPED_TRACE(choice);
        CDialog::ScriptModal([choice](CWnd& d) { dlgtest::Click(d, choice); });
        frame->ComputeSegmentAverageSpectrum(0, start, end, false);
        const std::vector<double> channel = Bins(frame->Spectral[0]);
        CDialog::ScriptModal([choice](CWnd& d) { dlgtest::Click(d, choice); });
        frame->ComputeSegmentAverageSpectrum(4, start, end, true);
        EXPECT_EQ(result->GetAverageCount(), 1);
        ExpectRelative(Bins(result), channel, 1e-4);
    }
    result->ResetAverages();
    CDialog::ScriptModal([](CWnd& d) { dlgtest::Click(d, IDCANCEL); });
    frame->ComputeSegmentAverageSpectrum(4, start, end, true);
    EXPECT_EQ(result->GetAverageCount(), 0);
}

// A member channel without a wave file: the composite's segment roads say so and compute
// nothing.
TEST_F(CompositeSegments, AMemberWithoutAFileIsNamed)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(OpenPair("rng.normal(0, 3000, n)", "x", 8192));
    frame->Settings.Processing[3].FFTsize = kFft;
    frame->Settings.Processing[3].OverlapPercent = 0;
    UseComposite(0, 2, 3);
    user.ExpectBox(IDOK, "Composite Channel A: Input Channel 3 has no wave file.");
    frame->ComputeSegmentAverageSpectrum(0, 0.0f, 0.5f, true);
    user.ExpectBox(IDOK, "Composite Channel A: Input Channel 3 has no wave file.");
    EXPECT_EQ(SpectrumAt(0, 0.5f), 1);
    EXPECT_EQ(frame->CompositeSpectral[0][2]->GetAverageCount(), 0);
}

// A composite's history shows its members' samples: an edit of a member redraws it. The
// complex sum of a tone and its negation cancels on every line; with the first member muted
// it is the second member's tone, line for line as that channel's own history reads it, on
// the spectrogram and the surface; with the mute undone it cancels again.
TEST_F(CompositeSegments, AnEditOfAMemberRedrawsTheCompositesHistories)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.MakeBackup = 1;
    ASSERT_TRUE(OpenPair("8000 * np.sin(2 * np.pi * 1024 * np.arange(n) / 8192)", "-x", 16384));
    UseComposite(0, 0);
    // The peak level of every line of a history.
    const auto peaks = [](const TLineHistory& h) {
        std::vector<float> p;
        for (int k = 0; k < h.Count(); k += h.Thickness())
            if (h.Row(k).time > 0.0f)
                p.push_back(h.Row(k).peak);
        return p;
    };
    frame->RebuildSpectrogramFromSegment(1, 0.0f, 2.0f, false, true);
    const std::vector<float> tone = peaks(frame->SpectrogramPlot[1]->GetHistory());
    ASSERT_GT(tone.size(), 10u);
    frame->RebuildSpectrogramFromSegment(0, 0.0f, 2.0f, true, true);
    frame->RebuildSurfaceFromSegment(0, 0.0f, 2.0f, true, true);
    const auto expectAll = [&](bool cancelled) {
        ASSERT_NE(frame->CompositeSpectrogramPlot[0], nullptr);
        ASSERT_NE(frame->CompositeSurfacePlot[0], nullptr);
        const std::vector<float> lines = peaks(frame->CompositeSpectrogramPlot[0]->GetHistory());
        ASSERT_GT(lines.size(), 10u);
        for (const float p : lines)
            if (cancelled)
                EXPECT_LT(p, tone.front() - 100.0f);
            else
                EXPECT_NEAR(p, tone.front(), 0.01f);
        float peak = 0.0f, floor = 0.0f;
        frame->CompositeSurfacePlot[0]->GetHistory().LevelExtent(&peak, &floor);
        if (cancelled)
            EXPECT_LT(peak, tone.front() - 100.0f);
        else
            EXPECT_NEAR(peak, tone.front(), 0.01f);
    };
    expectAll(true);
    ASSERT_NE(Select(0, 0.0f, 2.0f), nullptr);
    frame->ExecuteCommand(ID_EDIT_MUTE);
    expectAll(false);
    frame->ExecuteCommand(ID_EDIT_UNDO);
    expectAll(true);
    AnswerNoOnClose();
}
