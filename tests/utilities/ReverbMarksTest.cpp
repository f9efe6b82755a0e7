// RT-60 times extrapolated from a shorter fall are never shown as measured ones: a decay whose
// records end before its slow bands fall 20 dB, analysed through the frame, marks those bands'
// RT-20 in the bars, the decay view's reading, the printout and the copied text, and leaves the
// bands that fell 20 dB unmarked.
#include "app/FilesFrameFixture.h"

#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "utilities/TReverb.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace filesframe;

namespace {

class ReverbMarks : public FilesFrame {
protected:
    // 1.5 s at 4000 samples/s: white noise whose part below 700 Hz falls 60 dB in 2 s (15 dB over
    // the half second of records a 1.5 s segment gives) and whose part above falls in 0.4 s.
    bool WriteTwoSpeedDecay(const std::string& path)
    {
        return Python(std::string(kNumpyPrelude) +
                      "import numpy as np, wave\n"
                      "rate = 4000; n = int(1.5 * rate)\n"
                      "x = np.random.default_rng(7).standard_normal(n)\n"
                      "X = np.fft.rfft(x); f = np.fft.rfftfreq(n, 1 / rate); t = np.arange(n) / rate\n"
                      "low = np.fft.irfft(X * (f < 700), n); high = np.fft.irfft(X * (f >= 700), n)\n"
                      "y = low * 10 ** (-3 * t / 2.0) + high * 10 ** (-3 * t / 0.4)\n"
                      "y = np.round(y / np.max(np.abs(y)) * 0.9 * 2 ** 23).astype('<i4')\n"
                      "w = wave.open('" + path + "', 'wb')\n"
                      "w.setnchannels(1); w.setsampwidth(3); w.setframerate(rate)\n"
                      "w.writeframes(b''.join(int(v).to_bytes(4, 'little', signed=True)[:3] for v in y))\n"
                      "w.close()\n");
    }

    std::string PrintedText(TReverb* w, const std::string& name)
    {
        const auto pdf = root / (name + ".pdf");
        user.Expect({PromptKind::Print, IDOK, pdf.string()});
        CDialog::ScriptModal([](CWnd& d) { d.SendMessage(WM_COMMAND, IDOK, 0); });
        w->SendMessage(WM_COMMAND, TReverb::kPrint, 0);
        AfxPumpMessages(10);
        const auto txt = root / (name + ".txt");
        if (std::system(("pdftotext -layout '" + pdf.string() + "' '" + txt.string() + "'").c_str()) != 0)
            return {};
        return ReadFile(txt.string());
    }

    // Near-black pixels (text, not the blue bars or grey grid) in the rectangle.
    static int DarkIn(TReverb* w, const CRect& r)
    {
        w->UpdateWindow();
        AfxPumpMessages();
        CClientDC dc(w);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = dc.GetPixel(x, y);
                n += std::max({GetRValue(c), GetGValue(c), GetBValue(c)}) < 100 ? 1 : 0;
            }
        return n;
    }
};

} // namespace

TEST_F(ReverbMarks, ExtrapolatedTimesAreMarkedWhereverTheyAreShown)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteTwoSpeedDecay(Data("wave/two.wav")));
    ASSERT_TRUE(OpenChannel(0, Data("wave/two.wav")));
    frame->Settings.Reverb.ExtrapolationMethod = 1; // RT 20
    frame->Settings.Reverb.SmoothingMethod = 1;
    frame->Settings.Reverb.RtChoice = 1; // the bars show RT-20
    frame->Settings.Reverb.TimeExtent = 4.0f;
    SeriesSegmentRequest request;
    request.channel = 0;
    request.start = 0.0f;
    request.end = 1.5f;
    frame->SendMessage(WM_SERIES_SEGMENT_COMMAND, kSeriesReverb, reinterpret_cast<LPARAM>(&request));
    AfxPumpMessages(10);
    TReverb* w = frame->ReverbWnd;
    ASSERT_NE(w, nullptr);
    ReverbAnalysis& a = w->Analysis();
    ASSERT_GT(a.bandCount, 10);

    // Which bands read RT-20 off the decay, and which took it as twice RT-10.
    std::vector<int> measured, extrapolated;
    for (int b = 0; b < a.bandCount - 1; ++b) {
        const ReverbBandResult& r = a.results[b];
        if (r.Rt[1] <= 0.0f)
            continue;
        if (r.Frequency < 500.0f && r.Rt[0] > 0.0f && std::abs(r.Rt[1] - 2.0f * r.Rt[0]) < 1e-4f)
            extrapolated.push_back(b);
        else if (r.Frequency > 1000.0f)
            measured.push_back(b);
    }
    ASSERT_GE(extrapolated.size(), 3u) << "the slow bands should fall 10 dB and not 20";
    ASSERT_GE(measured.size(), 3u) << "the fast bands should fall 20 dB";

    // The bars: a mark over each extrapolated bar, none over a measured one, and the legend.
    w->SendMessage(WM_COMMAND, TReverb::kReverbTimes, 0);
    AfxPumpMessages();
    ASSERT_EQ(w->GetViewMode(), 1u);
    const CRect p = w->GetPlotRect();
    const int pitch = p.Width() / a.bandCount;
    const auto markOver = [&](int b) {
        const int h = static_cast<int>(a.results[b].Rt[1] / (4.0f / static_cast<float>(p.Height())));
        const int left = p.left + 2 + pitch * b;
        return DarkIn(w, CRect(left, p.bottom - h - 18, left + pitch - 2, p.bottom - h));
    };
    for (int b : extrapolated)
        EXPECT_GT(markOver(b), 3) << a.results[b].Frequency << " Hz: no mark over an extrapolated time";
    for (int b : measured)
        EXPECT_EQ(markOver(b), 0) << a.results[b].Frequency << " Hz: a measured time marked";

    // The copied text: the mark in a column of its own, then the legend.
    w->SendMessage(WM_COMMAND, TReverb::kCopyText, 0);
    ASSERT_TRUE(OpenClipboard(w));
    const std::string copied = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
    GlobalUnlock(GetClipboardData(CF_TEXT));
    CloseClipboard();
    const auto lineOf = [&](int b) {
        char head[32];
        std::snprintf(head, sizeof head, "%f\t", static_cast<double>(a.results[b].Frequency));
        const std::size_t at = copied.find(head);
        return at == std::string::npos ? std::string() : copied.substr(at, copied.find("\r\n", at) - at);
    };
    for (int b : extrapolated)
        EXPECT_EQ(lineOf(b).substr(lineOf(b).size() - 2), "\t*") << lineOf(b);
    for (int b : measured)
        EXPECT_EQ(lineOf(b).find('*'), std::string::npos) << lineOf(b);
    EXPECT_NE(copied.find("\r\n* extrapolated, not measured\r\n"), std::string::npos) << copied;

    // The printout of the bars: one mark a marked bar, and the legend.
    const std::string bars = PrintedText(w, "bars");
    ASSERT_NE(bars.find("RT-20 Reverberation Time versus Frequency"), std::string::npos) << bars;
    EXPECT_NE(bars.find("* extrapolated, not measured"), std::string::npos) << bars;
    int marked = 0;
    for (int b = 0; b < a.bandCount; ++b)
        marked += a.results[b].Rt[1] > 0.0f && a.results[b].NotMeasured[1] != 0 ? 1 : 0;
    EXPECT_EQ(std::count(bars.begin(), bars.end(), '*'), marked + 1) << bars;

    // The decay view's reading of a slow band, printed, carries the mark; a fast band's not.
    w->SendMessage(WM_COMMAND, TReverb::kDecayPlot, 0);
    AfxPumpMessages();
    frame->Settings.Reverb.SelectedBand = static_cast<DWORD>(extrapolated.front());
    w->UpdateLayout();
    const std::string slow = PrintedText(w, "slow");
    char reading[64];
    std::snprintf(reading, sizeof reading, "%.2f secs *", static_cast<double>(a.results[extrapolated.front()].Rt[1]));
    EXPECT_NE(slow.find(reading), std::string::npos) << reading << "\n" << slow;
    EXPECT_NE(slow.find("* extrapolated, not measured"), std::string::npos) << slow;
    frame->Settings.Reverb.SelectedBand = static_cast<DWORD>(measured.front());
    w->UpdateLayout();
    const std::string fast = PrintedText(w, "fast");
    EXPECT_NE(fast.find("RT-20 ="), std::string::npos) << fast;
    EXPECT_EQ(fast.find('*'), std::string::npos) << fast;

    // Saved and read back, the short segment's records still give the times and their marks.
    const std::string rvb = Data("two.rvb");
    ASSERT_TRUE(a.SaveFile(rvb));
    ReverbSettings stored = frame->Settings.Reverb;
    ReverbAnalysis back(&stored);
    ASSERT_TRUE(back.LoadFile(rvb));
    for (int b : extrapolated) {
        EXPECT_FLOAT_EQ(back.results[b].Rt[1], a.results[b].Rt[1]) << a.results[b].Frequency << " Hz";
        EXPECT_NE(back.results[b].NotMeasured[1], 0) << a.results[b].Frequency << " Hz";
    }
    for (int b : measured)
        EXPECT_FLOAT_EQ(back.results[b].Rt[1], a.results[b].Rt[1]) << a.results[b].Frequency << " Hz";
    a.modified = 0;
}
