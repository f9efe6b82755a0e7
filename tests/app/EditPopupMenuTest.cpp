// The Edit commands that have no menu once the frame removes its Edit pop-up, reached the way a
// user reaches them: a right click in the time-series, spectrogram or surface plot and a click
// on the pop-up menu's item, under the Edit menu's enable rules.
#include "FilesFrameFixture.h"

#include "acquisition/TSoundOutput.h"
#include "plots/spectrogram/TSpectrogram.h"
#include "plots/spectrogram/TSurfacePlot.h"
#include "res/FileDialogIds.h"
#include "res/PlaybackDialogIds.h"
#include "res/resource.h"
#include "support/QtTestAccess.h"

#include <cmath>

using namespace filesframe;

namespace {

class EditPopupMenu : public FilesFrame {
protected:
    void SetUp() override
    {
        FilesFrame::SetUp();
        setenv("DURNEX_SOUND_FILE", (root / "played.raw").c_str(), 1);
    }
    void TearDown() override
    {
        FilesFrame::TearDown();
        unsetenv("DURNEX_SOUND_FILE");
    }

    TWaveFile* StartWithFile()
    {
        if (Start() == nullptr || !WriteWave(Data("wave/e.wav"), 8000, original) || !OpenChannel(0, Data("wave/e.wav")))
            return nullptr;
        frame->Settings.UseSoundCardForOutput = 1;
        return frame->Settings.Files[0].File.get();
    }

    // Right-clicks in the plot's first pane and clicks `id` in the pop-up menu (or in one of its
    // sub-menus). False when the item is not offered or is greyed; the command then never runs.
    bool ClickPopupItem(TPlotBase* plot, UINT id)
    {
        bool offered = false, enabled = false;
        auto previous = CMenu::SetPopupChooser([&](CMenu& m) {
            for (const MenuItemInfo& item : GetMenuItems(m.GetSafeHmenu())) {
                if (item.id == id) {
                    offered = true;
                    enabled = !(item.flags & MF_GRAYED);
                }
                if (item.sub != nullptr)
                    for (const MenuItemInfo& sub : GetMenuItems(item.sub))
                        if (sub.id == id) {
                            offered = true;
                            enabled = !(sub.flags & MF_GRAYED);
                        }
            }
            return id;
        });
        const CRect pane = plot->GetPaneRectA();
        plot->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(pane.left + 10, pane.top + 10));
        CMenu::SetPopupChooser(previous);
        AfxPumpMessages(20);
        return offered && enabled;
    }

    // Channel 0's time-series plot, open and active.
    TSeriesPlot* OpenActivePlot()
    {
        frame->OpenTimeSeriesPlot(0);
        if (frame->TimeSeriesPlot[0] != nullptr)
            frame->MDIActivate(frame->TimeSeriesPlot[0]);
        return frame->TimeSeriesPlot[0];
    }

    DWORD CardRate() const { return frame->SoundOutput ? frame->SoundOutput->GetFormat().SampleRate : 0; }

    const std::vector<int> original{100, -100, 200, -200, 300, -300, 400, -400,
                                    500, -500, 600, -600, 700, -700, 800, -800};
};

constexpr float kFrame = 1.0f / 8000.0f;

} // namespace

TEST_F(EditPopupMenu, GainOffsetsPasteAndUndoRunFromTheTimeSeriesMenu)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    TSeriesPlot* plot = Select(0, 0.0f, 16 * kFrame);
    ASSERT_NE(plot, nullptr);

    // Gain of 6 dB over the whole file.
    EXPECT_TRUE(plot->HasTimeSelection());
    EXPECT_TRUE(CommandEnabled(frame, ID_EDIT_GAIN));
    CDialog::ScriptModal([](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(IDC_GAIN_DB, "6");
        dlgtest::Click(d, IDOK);
    });
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_GAIN));
    const double g = std::pow(10.0, 6.0 / 20.0);
    std::vector<long> s = Samples(file);
    ASSERT_EQ(s.size(), original.size());
    EXPECT_NEAR(s[15], -800 * g, 0.5);

    // Undo from the same menu puts the samples back.
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_UNDO));
    EXPECT_EQ(Samples(file), std::vector<long>(original.begin(), original.end()));

    // DC offset of 10 % of full scale, 3276.7 (an edit leaves no selection behind).
    EXPECT_FALSE(plot->HasTimeSelection());
    ASSERT_NE(Select(0, 0.0f, 16 * kFrame), nullptr);
    CDialog::ScriptModal([](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(IDC_DC_OFFSET_VALUE, "10");
        dlgtest::Click(d, IDOK);
    });
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_DC_OFFSET));
    s = Samples(file);
    EXPECT_EQ(s[0], 3377);
    EXPECT_EQ(s[1], 3177);
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_UNDO));
    ASSERT_NE(Select(0, 0.0f, 16 * kFrame), nullptr);

    // The dynamic DC offset dialog comes up from the menu; Cancel leaves the file alone.
    bool shown = false;
    CDialog::ScriptModal([&](CWnd& d) {
        shown = static_cast<CDialog&>(d).GetDlgItem(IDC_DYNAMIC_CUTOFF) != nullptr;
        dlgtest::Click(d, IDCANCEL);
    });
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_DYNAMIC_DC_OFFSET));
    EXPECT_TRUE(shown);
    EXPECT_EQ(Samples(file), std::vector<long>(original.begin(), original.end()));

    // Copy the first four frames, then Paste Over at frame 8 (the file position).
    ASSERT_NE(Select(0, 0.0f, 4 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_COPY);
    file->Seek(8);
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_PASTE_OVER));
    s = Samples(file);
    ASSERT_EQ(s.size(), original.size());
    EXPECT_EQ(std::vector<long>(s.begin() + 8, s.begin() + 12), (std::vector<long>{100, -100, 200, -200}));
    file->Seek(0);
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_PASTE_INSERT));
    EXPECT_EQ(file->GetEndFrame(), 20u);

    // Set File Position moves the file to the typed sample.
    CDialog::ScriptModal([](CWnd& d) {
        dlgtest::Click(d, IDC_POSITION_BY_SAMPLES);
        static_cast<CDialog&>(d).SetDlgItemText(IDC_POSITION_SAMPLES, "5");
        dlgtest::Click(d, IDOK);
    });
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_SET_FILE_POSITION));
    EXPECT_EQ(file->GetPosition(), 5u);
    AnswerNoOnClose();
}

TEST_F(EditPopupMenu, WithoutASelectionTheSelectionCommandsAreGreyedAndDoNothing)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    TSeriesPlot* plot = OpenActivePlot();
    ASSERT_NE(plot, nullptr);
    plot->ClearSelection();
    for (UINT id : {ID_EDIT_GAIN, ID_EDIT_DC_OFFSET, ID_EDIT_DYNAMIC_DC_OFFSET, ID_EDIT_UNDO, ID_EDIT_PLAY_HALF})
        EXPECT_FALSE(ClickPopupItem(plot, id)) << id;
    EXPECT_EQ(Samples(file), std::vector<long>(original.begin(), original.end()));
    EXPECT_FALSE(file->IsModified());
}

TEST_F(EditPopupMenu, PlaybackSpeedsRunFromTheTimeSeriesAndSpectrogramMenus)
{
    // Eight seconds, so each playback still runs when its card rate is read on a loaded machine.
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 8000, 64000, "round(8000 * math.sin(2 * math.pi * 700 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    frame->Settings.UseSoundCardForOutput = 1;
    TSeriesPlot* plot = Select(0, 0.0f, 8.0f);
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_PLAY_HALF));
    EXPECT_EQ(CardRate(), 4000u);
    frame->ExecuteCommand(ID_STOP);
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_PLAY_DOUBLE));
    EXPECT_EQ(CardRate(), 16000u);
    frame->ExecuteCommand(ID_STOP);
    CDialog::ScriptModal([](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(IDC_PLAYBACK_RATE, "6000");
        dlgtest::Click(d, IDOK);
    });
    ASSERT_TRUE(ClickPopupItem(plot, ID_EDIT_PLAY_ARBITRARY));
    EXPECT_EQ(CardRate(), 6000u);
    frame->ExecuteCommand(ID_STOP);

    // The spectrogram and the surface offer the speeds and the level edits under the Copy rule.
    for (int kind : {4, 5}) {
        TPlotBase* history = nullptr;
        if (kind == 4) {
            frame->OpenSpectrogramPlot(0);
            history = frame->SpectrogramPlot[0];
        } else {
            frame->OpenSurfacePlot(0);
            history = frame->SurfacePlot[0];
        }
        ASSERT_NE(history, nullptr);
        frame->MDIActivate(history);
        AfxPumpMessages();
        EXPECT_FALSE(ClickPopupItem(history, ID_EDIT_GAIN)) << "nothing selected yet";
        if (kind == 4)
            frame->RebuildSpectrogramFromSegment(0, 0.0f, 1.0f, false, true);
        else
            frame->RebuildSurfaceFromSegment(0, 0.0f, 1.0f, false, true);
        frame->MDIActivate(history);
        frame->ExecuteCommand(ID_EDIT_SELECT_ALL);
        ASSERT_TRUE(ClickPopupItem(history, ID_EDIT_PLAY_DOUBLE)) << kind;
        EXPECT_EQ(CardRate(), 16000u);
        frame->ExecuteCommand(ID_STOP);
        CDialog::ScriptModal([](CWnd& d) {
            static_cast<CDialog&>(d).SetDlgItemText(IDC_GAIN_DB, "-6");
            dlgtest::Click(d, IDOK);
        });
        ASSERT_TRUE(ClickPopupItem(history, ID_EDIT_GAIN)) << kind;
        EXPECT_TRUE(frame->Settings.Files[0].File->IsUndoAvailable());
        ASSERT_TRUE(ClickPopupItem(history, ID_EDIT_UNDO)) << kind;
    }
    AnswerNoOnClose();
}

TEST_F(EditPopupMenu, AnEnterThatClosesABoxRunsNothingAndStopOrRewindShowTheFileAgain)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/tone.wav"), 8000, 16000, "round(8000 * math.sin(2 * math.pi * 700 * i / 8000))"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/tone.wav")));
    TSeriesPlot* plot = Select(0, 0.0f, 0.5f);
    ASSERT_NE(plot, nullptr);
    auto key = [&](UINT message) {
        plot->SendMessage(message, VK_RETURN, 0);
        AfxPumpMessages(5);
    };

    // The box is closed with Enter: its release lands on the plot, which never saw it go down.
    user.ExpectBox(IDOK, "DTMF keys = ");
    ASSERT_TRUE(ClickPopupItem(plot, TSeriesPlot::kDtmf));
    key(WM_KEYUP);
    EXPECT_EQ(frame->FftsProcessed, 0);
    EXPECT_TRUE(plot->IsFileMode());

    // Enter pressed and released in the plot steps once and shows the analysed block.
    key(WM_KEYDOWN);
    key(WM_KEYUP);
    EXPECT_EQ(frame->FftsProcessed, 1);
    EXPECT_FALSE(plot->IsFileMode());
    frame->ExecuteCommand(ID_STOP);
    EXPECT_TRUE(plot->IsFileMode());

    key(WM_KEYDOWN);
    key(WM_KEYUP);
    EXPECT_FALSE(plot->IsFileMode());
    EXPECT_GT(frame->Settings.Files[0].File->GetPosition(), 0u);
    frame->RewindWaveFiles();
    EXPECT_TRUE(plot->IsFileMode());
    EXPECT_EQ(frame->Settings.Files[0].File->GetPosition(), 0u);
}

TEST_F(EditPopupMenu, TheSelectToolStaysOnAfterSelectAllEditsAndDrags)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    TSeriesPlot* plot = OpenActivePlot();
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(ClickPopupItem(plot, TSeriesPlot::kSelectAll));
    EXPECT_TRUE(plot->HasTimeSelection());
    EXPECT_TRUE(plot->GetButton(TSeriesPlot::kSelect)->IsPressed());
    EXPECT_TRUE(plot->IsSelectionMode());

    ASSERT_TRUE(ClickPopupItem(plot, TSeriesPlot::kMute));
    EXPECT_EQ(Samples(file), std::vector<long>(16, 0));
    EXPECT_TRUE(plot->GetButton(TSeriesPlot::kSelect)->IsPressed());
    EXPECT_TRUE(plot->IsSelectionMode());

    // A drag across the left half selects again, and the tool is still on for the next one.
    const CRect pane = plot->GetPaneRectA();
    const int y = pane.CenterPoint().y;
    plot->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pane.left + 1, y));
    plot->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pane.CenterPoint().x, y));
    plot->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pane.CenterPoint().x, y));
    ASSERT_TRUE(plot->HasTimeSelection());
    float start = 0.0f, end = 0.0f;
    plot->GetSelectedSegment(start, end);
    EXPECT_LT(end, 12 * kFrame);
    EXPECT_TRUE(plot->IsSelectionMode());
    // Pressing Select again lets it go.
    plot->SendMessage(WM_COMMAND, TSeriesPlot::kSelect, 0);
    EXPECT_FALSE(plot->IsSelectionMode());
    AnswerNoOnClose();
}
