// Long edits and analyses on a 10-minute recording: the status bar's progress moves, an Esc
// pressed while it moves cancels, and after the cancel the file is exactly as it was and no
// analysis result is left showing as if it were the segment's.
#include "FilesFrameFixture.h"

#include "app/CStatusbar.h"
#include "platform/ui/LongOperation.h"
#include "dsp/SpectralData.h"
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
