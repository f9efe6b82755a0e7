// Long edits, analyses and rebuilds on a 10-minute recording: the status bar's progress moves,
// an Esc pressed while it moves cancels, and after the cancel the file is exactly as it was and
// no analysis result or picture is left showing as if it were the segment's.
#include "FilesFrameFixture.h"

#include "app/CStatusbar.h"
#include "platform/ui/LongOperation.h"
#include "dsp/SpectralData.h"
#include "platform/ui/GdiWindowDC.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "records/SpectrogramPlotSettings.h"
#include "res/FileDialogIds.h"
#include "res/resource.h"
#include "support/QtTestAccess.h"

#include <set>

using namespace filesframe;

namespace {

// Follows the status bar's progress control as the operation sets it and presses Esc once
// the progress has reached `cancelAt` percent.
class EscWhenProgressReaches {
public:
    EscWhenProgressReaches(CMainFrame* frame, int cancelAt)
    {
        auto* bar = qobject_cast<QProgressBar*>(QtWidgetOf(frame->StatusBar->Progress()));
        if (bar == nullptr)
            return;
        connection_ = QObject::connect(bar, &QProgressBar::valueChanged, [this, frame, cancelAt](int position) {
            seen.insert(position);
            if (!pressed && position >= cancelAt) {
                pressed = true;
                AfxPostKeyPress(frame, VK_ESCAPE);
            }
        });
    }
    ~EscWhenProgressReaches() { QObject::disconnect(connection_); }
    std::set<int> seen;
    bool pressed = false;

private:
    QMetaObject::Connection connection_;
};

class LongOperationCancel : public FilesFrame {
protected:
    static constexpr int kRate = 4000;
    static constexpr int kSeconds = 600;

    TWaveFile* StartWithLongFile()
    {
        if (Start() == nullptr)
            return nullptr;
        const std::string path = Data("wave/long.wav");
        // Ten minutes of a 50 Hz tone with a DC part, written by Python.
        if (!Python("import wave, array, math\n"
                    "n = " + std::to_string(kRate * kSeconds) + "\n"
                    "one = array.array('h', (int(2000 + 8000 * math.sin(2 * math.pi * 50 * i / 4000)) for i in range(80)))\n"
                    "w = wave.open('" + path + "', 'wb')\n"
                    "w.setnchannels(1); w.setsampwidth(2); w.setframerate(4000)\n"
                    "w.writeframes(one.tobytes() * (n // 80))\n"
                    "w.close()\n") ||
            !OpenChannel(0, path))
            return nullptr;
        return frame->Settings.Files[0].File.get();
    }
};

} // namespace

TEST_F(LongOperationCancel, EscDuringGainOrOffsetLeavesTheFileExactlyAsItWas)
{
    TWaveFile* file = StartWithLongFile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->GetEndFrame(), DWORD(kRate * kSeconds));
    const std::vector<long> before = Samples(file);
    const bool modified = file->IsModified();
    ASSERT_NE(Select(0, 0.0f, float(kSeconds)), nullptr);
    const std::string caption = frame->GetWindowTextString();
    for (UINT command : {UINT(ID_EDIT_GAIN), UINT(ID_EDIT_DC_OFFSET)}) {
        CDialog::ScriptModal([command](CWnd& d) {
            static_cast<CDialog&>(d).SetDlgItemText(command == ID_EDIT_GAIN ? IDC_GAIN_DB : IDC_DC_OFFSET_VALUE, "3");
            dlgtest::Click(d, IDOK);
        });
        EscWhenProgressReaches esc(frame, 20);
        frame->ExecuteCommand(command);
        EXPECT_TRUE(esc.pressed) << command;
        ASSERT_GE(esc.seen.size(), 5u) << "the progress moved";
        EXPECT_LT(*esc.seen.rbegin(), 60) << "Esc stopped it";
        EXPECT_EQ(Samples(file), before) << command;
        EXPECT_EQ(file->IsModified(), modified);
        EXPECT_EQ(frame->GetWindowTextString(), caption);
    }
}

TEST_F(LongOperationCancel, EscDuringTheSegmentAverageLeavesNoSpectrumToRead)
{
    TWaveFile* file = StartWithLongFile();
    ASSERT_NE(file, nullptr);
    TSeriesPlot* plot = Select(0, 0.0f, float(kSeconds));
    ASSERT_NE(plot, nullptr);
    {
        EscWhenProgressReaches esc(frame, 10);
        plot->SendMessage(WM_COMMAND, TSeriesPlot::kAverageSpectrum, 0);
        EXPECT_TRUE(esc.pressed);
        EXPECT_GE(esc.seen.size(), 3u);
    }
    SpectralData* engine = frame->Spectral[0];
    ASSERT_NE(engine, nullptr);
    const float* m = engine->GetMagnitudeBuffer();
    for (int k = 0; k < engine->GetFftSize() / 2; ++k)
        ASSERT_EQ(m[k], 0.0f) << k;
    // Without Esc the 50 Hz tone is there.
    frame->ComputeSegmentAverageSpectrum(0, 0.0f, 60.0f, false);
    float peak = 0.0f;
    for (int k = 0; k < engine->GetFftSize() / 2; ++k)
        peak = std::max(peak, m[k]);
    EXPECT_GT(peak, 0.0f);
}

TEST_F(LongOperationCancel, EscDuringASpectrogramRebuildLeavesNoPictureAndARebuildWithoutItSpansTheFile)
{
    ASSERT_NE(StartWithLongFile(), nullptr);
    SpectrogramPlotSettings& s = frame->Settings.SpectrogramOpts[0];
    s.Direction = 3;
    s.ScrollType = 0;
    s.UseFullSpan = 1;
    const std::string caption = frame->GetWindowTextString();
    {
        EscWhenProgressReaches esc(frame, 20);
        frame->RebuildSpectrogramFromSegment(0, 0.0f, float(kSeconds), false, true);
        EXPECT_TRUE(esc.pressed);
        EXPECT_GE(esc.seen.size(), 2u) << "the progress moved";
        EXPECT_LT(*esc.seen.rbegin(), 60) << "Esc stopped it";
    }
    EXPECT_EQ(frame->GetWindowTextString(), caption);
    TSpectrogram* plot = frame->SpectrogramPlot[0];
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->GetHistoryEndTime(), 0.0f);
    const auto pictureColours = [&] {
        std::set<COLORREF> colours;
        CBitmap* bitmap = plot->GetPaneBitmap(0);
        if (bitmap == nullptr)
            return colours;
        BITMAP info{};
        bitmap->GetBitmap(&info);
        CDC mem;
        mem.CreateCompatibleDC(nullptr);
        CBitmap* old = mem.SelectObject(bitmap);
        for (int y = 0; y < info.bmHeight; y += 5)
            for (int x = 0; x < info.bmWidth; x += 5)
                colours.insert(mem.GetPixel(x, y));
        mem.SelectObject(old);
        return colours;
    };
    EXPECT_EQ(pictureColours(), std::set<COLORREF>{RGB(0, 0, 0)}) << "the cancelled lines are gone";

    // Left alone the rebuild covers the file, and its progress reaches the last lines.
    {
        EscWhenProgressReaches never(frame, 1000);
        frame->RebuildSpectrogramFromSegment(0, 0.0f, float(kSeconds), false, true);
        ASSERT_FALSE(never.seen.empty());
        EXPECT_GE(*never.seen.rbegin(), 80);
    }
    EXPECT_GT(plot->GetHistoryEndTime(), float(kSeconds) * 0.95f);
    EXPECT_GT(pictureColours().size(), 3u);
}
