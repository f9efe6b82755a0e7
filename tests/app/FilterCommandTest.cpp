// Edit > Filter through the frame: the dialog's record goes to the filter, the selection is
// filtered in place with one level of undo, and Esc during the run puts the samples back.
#include "FilesFrameFixture.h"

#include "platform/ui/LongOperation.h"
#include "res/FileDialogIds.h"
#include "res/resource.h"

#include <cmath>

using namespace filesframe;

namespace {

class FilterCommand : public FilesFrame {
protected:
    // Two seconds at 8000 Hz of a 200 Hz tone plus a 3000 Hz tone, both of amplitude 8000.
    TWaveFile* StartWithTones()
    {
        if (Start() == nullptr)
            return nullptr;
        frame->Settings.FileIO.WaveFileMode = 1;
        frame->Settings.FileIO.MakeBackup = 1;
        if (!WriteWaveOf(Data("wave/tones.wav"), 8000, 16000,
                         "8000 * math.sin(2 * math.pi * 200 * i / 8000) + 8000 * math.sin(2 * math.pi * 3000 * i / 8000)") ||
            !OpenChannel(0, Data("wave/tones.wav")))
            return nullptr;
        return frame->Settings.Files[0].File.get();
    }

    // RMS of frames [first, end).
    static double Rms(TWaveFile* f, DWORD first, DWORD end)
    {
        double sum = 0.0;
        for (DWORD i = first; i < end; ++i) {
            const double v = f->GetSample(i, 0, false);
            sum += v * v;
        }
        return std::sqrt(sum / double(end - first));
    }

    static void LowPassAt1000(CWnd& d)
    {
        dlgtest::Click(d, IDC_FILTER_LOWPASS);
        static_cast<CDialog&>(d).SetDlgItemText(IDC_FILTER_LOW_CUTOFF, "1000");
        static_cast<CDialog&>(d).SetDlgItemText(IDC_FILTER_TAPS, "201");
    }
};

} // namespace

TEST_F(FilterCommand, LowPassRemovesTheHighToneOfTheSelectionAndUndoBringsItBack)
{
    TWaveFile* file = StartWithTones();
    ASSERT_NE(file, nullptr);
    const double before = Rms(file, 2000, 14000);
    ASSERT_NEAR(before, 8000.0, 80.0); // two tones of 8000 / sqrt(2) each
    ASSERT_NE(Select(0, 0.0f, 2.0f), nullptr);
    ASSERT_TRUE(CommandEnabled(frame, ID_EDIT_FILTER));
    CDialog::ScriptModal([](CWnd& d) {
        LowPassAt1000(d);
        dlgtest::Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_EDIT_FILTER);
    // Only the 200 Hz tone is left: 8000 / sqrt(2).
    EXPECT_NEAR(Rms(file, 2000, 14000), 8000.0 / std::sqrt(2.0), 8000.0 * 0.03);
    EXPECT_EQ(frame->GetWindowTextString().find("press <Esc>"), std::string::npos);
    frame->ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_NEAR(Rms(file, 2000, 14000), before, 1.0);
    AnswerNoOnClose();
}

TEST_F(FilterCommand, EscDuringFilteringPutsTheWholeSegmentBack)
{
    TWaveFile* file = StartWithTones();
    ASSERT_NE(file, nullptr);
    std::vector<long> original = Samples(file);
    ASSERT_NE(Select(0, 0.0f, 2.0f), nullptr);
    CDialog::ScriptModal([this](CWnd& d) {
        LowPassAt1000(d);
        AfxPostKeyPress(frame, VK_ESCAPE);
        dlgtest::Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_EDIT_FILTER);
    EXPECT_EQ(Samples(file), original);
}

TEST_F(FilterCommand, FilterIsOffWithoutASelection)
{
    ASSERT_NE(StartWithTones(), nullptr);
    frame->OpenTimeSeriesPlot(0);
    frame->MDIActivate(frame->TimeSeriesPlot[0]);
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_FILTER));
}
