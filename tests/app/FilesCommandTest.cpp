// File > New, Open, Save, Close and Delete through the frame's commands, with the scripted
// user answering the questions and the File Operations dialog.
#include "FilesFrameFixture.h"

#include "app/CToolbar.h"

#include "platform/core/Profile.h"
#include "res/FileDialogIds.h"
#include "res/resource.h"

#include <filesystem>

using namespace filesframe;

namespace {

class FilesCommands : public FilesFrame {
protected:
    // Channel 0 holds a short wave and its time-series plot draws it; null when that failed.
    TSeriesPlot* ShowChannelZeroFile(const std::string& name)
    {
        if (!WriteWave(Data("wave/" + name), 8000, {1, 2, 3, 4, 5, 6, 7, 8}) ||
            !OpenChannel(0, Data("wave/" + name)))
            return nullptr;
        frame->OpenTimeSeriesPlot(0);
        TSeriesPlot* plot = frame->TimeSeriesPlot[0];
        if (plot == nullptr || plot->GetWaveFile() != frame->Settings.Files[0].File.get())
            return nullptr;
        return plot;
    }
};

void Done(CWnd& d) { dlgtest::Click(d, IDCANCEL); }

} // namespace

TEST_F(FilesCommands, OpenInRealTimeGoesToPostProcessAndLoadsTheGroupIntoTheChannels)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(frame->Settings.OpMode, 0);
    ASSERT_TRUE(WriteWave(Data("wave/take_Crown.wav"), 8000, {10, 20, 30, 40}));
    const std::string qrx = Data("wave/Take.qrx");
    WritePrivateProfileStringA("TestInfo", "TestName", "Bridge", qrx.c_str());
    WritePrivateProfileStringA("Filenames", "Crown", "take_Crown.wav", qrx.c_str());

    user.ExpectFile(PromptKind::FileOpen, qrx);
    CDialog::ScriptModal([&](CWnd& d) {
        dlgtest::Click(d, IDC_GROUP_OPEN);
        Done(d);
    });
    frame->ExecuteCommand(ID_FILE_OPEN);
    EXPECT_EQ(frame->Settings.OpMode, 2);
    ASSERT_NE(frame->Settings.Files[0].File, nullptr);
    EXPECT_EQ(std::string(frame->Settings.Files[0].FilePath), Data("wave/take_Crown.wav"));
    EXPECT_EQ(frame->Settings.Processing[0].SampleFormat.SampleRate, 8000u);
    EXPECT_STREQ(frame->FileGroup.TestName, "Bridge");
    EXPECT_TRUE(CommandEnabled(frame, ID_FILE_SAVE));
    EXPECT_TRUE(CommandEnabled(frame, ID_FILE_CLOSE));

    // Close with nothing unsaved asks nothing and clears the channels and the group.
    frame->ExecuteCommand(ID_FILE_CLOSE);
    EXPECT_EQ(frame->Settings.Files[0].File, nullptr);
    EXPECT_STREQ(frame->Settings.Files[0].FilePath, "");
    EXPECT_STREQ(frame->FileGroup.TestName, "");
    EXPECT_FALSE(CommandEnabled(frame, ID_FILE_CLOSE));
}

TEST_F(FilesCommands, OpenInRecorderModeStaysInRecorderAndSaveIsOffInRealTime)
{
    ASSERT_NE(Start(), nullptr);
    EXPECT_FALSE(CommandEnabled(frame, ID_FILE_SAVE));
    frame->ExecuteCommand(ID_MODE_RECORDER);
    CDialog::ScriptModal(Done);
    frame->ExecuteCommand(ID_FILE_OPEN);
    EXPECT_EQ(frame->Settings.OpMode, 1);
    EXPECT_FALSE(CommandEnabled(frame, ID_FILE_SAVE)); // no file open
}

TEST_F(FilesCommands, TheUnsavedQuestionProtectsNewFilesAndCancelKeepsEverything)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    auto* recording = new TWaveFile(4, TPcmFormat(8000, 1, 2), Data("temp"));
    EXPECT_TRUE(recording->SetSample(123, 0, 0));
    frame->Settings.Files[2].File.reset(recording);
    std::strcpy(frame->FileGroup.TestName, "kept");

    user.ExpectBox(IDCANCEL, "The file has not been saved.  \r\rDo you want to save the file before closing?");
    frame->ExecuteCommand(ID_FILE_CLOSE);
    EXPECT_EQ(frame->Settings.Files[2].File.get(), recording);
    EXPECT_STREQ(frame->FileGroup.TestName, "kept");

    // Yes opens the File Operations dialog and does nothing else.
    user.ExpectBox(IDYES, "Do you want to save the file before closing?");
    CDialog::ScriptModal(Done);
    frame->ExecuteCommand(ID_FILE_CLOSE);
    EXPECT_EQ(frame->Settings.Files[2].File.get(), recording);

    user.ExpectBox(IDNO, "Do you want to save the file before closing?");
    frame->ExecuteCommand(ID_FILE_CLOSE);
    EXPECT_EQ(frame->Settings.Files[2].File, nullptr);
    EXPECT_STREQ(frame->FileGroup.TestName, "");
}

TEST_F(FilesCommands, ANamedFileWhoseEditsLiveInItsWorkingCopyIsAskedAboutToo)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/named.wav"), 8000, {1, 2, 3, 4, 5, 6}));
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.MakeBackup = 1;
    ASSERT_TRUE(OpenChannel(1, Data("wave/named.wav")));
    TWaveFile* file = frame->Settings.Files[1].File.get();
    EXPECT_EQ(frame->CountUnsavedNewFiles(), 0); // opening it changed nothing the user would miss
    // Muted through the Edit command on the channel's time-series plot.
    ASSERT_NE(Select(1, 0.0f, 1.0f), nullptr);
    frame->ExecuteCommand(ID_EDIT_MUTE);
    EXPECT_EQ(Samples(file), (std::vector<long>(6, 0)));
    user.ExpectBox(IDCANCEL, "The file has not been saved.");
    frame->ExecuteCommand(ID_FILE_CLOSE);
    EXPECT_EQ(frame->Settings.Files[1].File.get(), file);
    // The disk file never saw the edit.
    EXPECT_EQ(ReadWave(Data("wave/named.wav"), Data("read.txt")), (std::vector<long>{1, 2, 3, 4, 5, 6}));
    AnswerNoOnClose();
}

TEST_F(FilesCommands, DeleteRefusesAFileInUseAndDeletesAnotherAfterYes)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/used.wav"), 8000, {1, 2}));
    ASSERT_TRUE(WriteWave(Data("wave/spare.wav"), 8000, {1, 2}));
    ASSERT_TRUE(OpenChannel(0, Data("wave/used.wav")));

    user.ExpectFile(PromptKind::FileOpen, Data("wave/used.wav"));
    user.ExpectBox(IDOK, "is currently in use.  Please close the file before deleting it");
    frame->ExecuteCommand(ID_FILE_DELETE);
    EXPECT_TRUE(std::filesystem::exists(Data("wave/used.wav")));

    user.ExpectFile(PromptKind::FileOpen, Data("wave/spare.wav"));
    user.ExpectBox(IDNO, "Are you sure you want to delete: " + Data("wave/spare.wav"));
    frame->ExecuteCommand(ID_FILE_DELETE);
    EXPECT_TRUE(std::filesystem::exists(Data("wave/spare.wav")));

    user.ExpectFile(PromptKind::FileOpen, Data("wave/spare.wav"));
    user.ExpectBox(IDYES, "Are you sure you want to delete: " + Data("wave/spare.wav"));
    frame->ExecuteCommand(ID_FILE_DELETE);
    EXPECT_FALSE(std::filesystem::exists(Data("wave/spare.wav")));
    // The chosen file's folder is where the next dialog starts.
    EXPECT_EQ(std::string(frame->Settings.WorkingPaths.Wav), Data("wave"));
}

TEST_F(FilesCommands, AMissingStoredPathIsReportedOnceAndTheChannelCleared)
{
    ASSERT_NE(Start(), nullptr);
    frame->SetModePostProcess(false);
    std::strcpy(frame->Settings.Files[4].FilePath, Data("wave/gone.wav").c_str());
    user.ExpectBox(IDOK, "Failure opening wave file " + Data("wave/gone.wav") + " on channel 4.");
    frame->ReopenAllWaveFiles();
    EXPECT_STREQ(frame->Settings.Files[4].FilePath, "");
    EXPECT_EQ(frame->Settings.Files[4].IsActive, 0);
    frame->ReopenAllWaveFiles(); // nothing left to report

    // In Real Time nothing is reopened and nothing reported.
    frame->ExecuteCommand(ID_MODE_REALTIME);
    std::strcpy(frame->Settings.Files[4].FilePath, Data("wave/gone.wav").c_str());
    frame->ReopenAllWaveFiles();
    EXPECT_EQ(frame->Settings.Files[4].File, nullptr);
}

TEST_F(FilesCommands, CloseTakesTheFileAwayFromItsOpenTimeSeriesPlot)
{
    ASSERT_NE(Start(), nullptr);
    TSeriesPlot* plot = ShowChannelZeroFile("held.wav");
    ASSERT_NE(plot, nullptr);

    frame->ExecuteCommand(ID_FILE_CLOSE);
    EXPECT_EQ(frame->Settings.Files[0].File, nullptr);
    // The plot no longer draws from the deleted file: it shows the channel's buffer.
    EXPECT_EQ(plot->GetWaveFile(), nullptr);
    EXPECT_EQ(frame->Settings.TimeSeriesOpts[0].TimeSeriesDataSource, 1);
    plot->RedrawWindow();
    AfxPumpMessages(5);
}

TEST_F(FilesCommands, ClosingTheGroupInFileOperationsFreesNoFileAPlotStillDraws)
{
    ASSERT_NE(Start(), nullptr);
    TSeriesPlot* plot = ShowChannelZeroFile("shown.wav");
    ASSERT_NE(plot, nullptr);

    TWaveFile* seenWhileOpen = reinterpret_cast<TWaveFile*>(1);
    CDialog::ScriptModal([&](CWnd& d) {
        dlgtest::Click(d, IDC_GROUP_CLOSE);
        // The dialog stays up; the plot behind it may be painted at any moment.
        seenWhileOpen = plot->GetWaveFile();
        plot->RedrawWindow();
        AfxPumpMessages(5);
        Done(d);
    });
    frame->ExecuteCommand(ID_FILE_SAVE);
    EXPECT_EQ(seenWhileOpen, nullptr);
    EXPECT_EQ(frame->Settings.Files[0].File, nullptr);
    EXPECT_EQ(plot->GetWaveFile(), nullptr);
}

// A broken wave in a group is reported once, when the group opens: not again when the dialog
// closes and the channels are reopened. Its channel ends without a file.
TEST_F(FilesCommands, ABrokenWaveInAGroupIsReportedOnce)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/take_Crown.wav"), 8000, {10, 20, 30, 40}));
    std::ofstream(Data("wave/take_Heart.wav"), std::ios::binary) << std::string("RIFF\x10\0\0\0WAVEjunkjunk", 20);
    const std::string qrx = Data("wave/Take.qrx");
    WritePrivateProfileStringA("Filenames", "Crown", "take_Crown.wav", qrx.c_str());
    WritePrivateProfileStringA("Filenames", "Heart", "take_Heart.wav", qrx.c_str());

    user.ExpectFile(PromptKind::FileOpen, qrx);
    // Once, saying what is wrong with which file, not that its path may be write-protected.
    user.ExpectBox(IDOK, "(FMT section): the format is missing or the file ends inside it\r\rFile: " +
                             Data("wave/take_Heart.wav"));
    CDialog::ScriptModal([&](CWnd& d) {
        dlgtest::Click(d, IDC_GROUP_OPEN);
        Done(d);
    });
    frame->ExecuteCommand(ID_FILE_OPEN);
    EXPECT_TRUE(user.Unexpected().empty());
    EXPECT_NE(frame->Settings.Files[0].File, nullptr);
    EXPECT_EQ(frame->Settings.Files[3].File, nullptr);
    EXPECT_STREQ(frame->Settings.Files[3].FilePath, "");
    EXPECT_EQ(frame->Settings.Files[3].IsActive, 0);
}

// The main tool window shows the active channel's file position and length. It follows every
// change of them at once: a seek, a rewind, the files closed or opened in File Operations while
// that dialog is still up (not only once it is done), and the File menu's Close.
TEST_F(FilesCommands, TheToolWindowsFilePositionFollowsAtOnce)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWaveOf(Data("wave/ten_Crown.wav"), 4000, 40000, "1000"));
    ASSERT_TRUE(OpenChannel(0, Data("wave/ten_Crown.wav")));
    const std::string qrx = Data("wave/ten.qrx");
    WritePrivateProfileStringA("Filenames", "Crown", "ten_Crown.wav", qrx.c_str());
    CToolbar* bar = frame->Toolbar.get();
    ASSERT_NE(bar, nullptr);
    bar->SetMode(2);
    AfxPumpMessages(10);

    // What the tool window last drew of the two times, without asking it to draw again.
    const auto shown = [&] {
        const QImage& img = bar->GetSurface()->Image();
        return img.copy(QRect(150, 3, 330, 22));
    };
    const auto fresh = [&] {
        bar->RedrawWindow();
        AfxPumpMessages(5);
        return shown();
    };
    const QImage atStart = fresh();
    CDialog::ScriptModal([](CWnd& d) {
        dlgtest::Click(d, IDC_POSITION_BY_SECONDS);
        static_cast<CDialog&>(d).SetDlgItemText(IDC_POSITION_SECONDS, "4");
        dlgtest::Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_EDIT_SET_FILE_POSITION);
    EXPECT_EQ(bar->PositionBar()->GetScrollPos(), 400);
    const QImage atFour = shown();
    EXPECT_EQ(atFour, fresh()) << "the seek did not show";
    ASSERT_NE(atFour, atStart);
    bar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_REWIND, BN_CLICKED), 0);
    EXPECT_EQ(shown(), atStart) << "the rewind did not show";
    frame->SetChannelFileTime(0, 4.0f);
    frame->ToolbarUpdateState();
    ASSERT_EQ(shown(), atFour);

    QImage closed;
    CDialog::ScriptModal([&](CWnd& d) {
        dlgtest::Click(d, IDC_GROUP_CLOSE);
        EXPECT_EQ(bar->PositionBar()->GetScrollPos(), 0);
        closed = shown();
        EXPECT_EQ(closed, fresh()) << "the closed file's times stayed on the tool window";
        user.ExpectFile(PromptKind::FileOpen, qrx);
        dlgtest::Click(d, IDC_GROUP_OPEN);
        EXPECT_EQ(shown(), atStart) << "the opened file's length did not show";
        Done(d);
    });
    frame->ExecuteCommand(ID_FILE_SAVE);
    EXPECT_EQ(fresh(), atStart);

    // The File menu's Close as well.
    frame->SetChannelFileTime(0, 4.0f);
    frame->ToolbarUpdateState();
    ASSERT_EQ(shown(), atFour);
    frame->ExecuteCommand(ID_FILE_CLOSE);
    EXPECT_EQ(bar->PositionBar()->GetScrollPos(), 0);
    EXPECT_EQ(shown(), closed) << "File > Close left the closed file's times on the tool window";
}

// A float wave file (written by sox) is a format the program does not read: one message says
// so, with no talk of write protection, wherever the file is opened from.
TEST_F(FilesCommands, AFloatWaveIsReportedOnceAsAnUnsupportedFormat)
{
    ASSERT_NE(Start(), nullptr);
    const std::string floatWave = Data("wave/float.wav");
    ASSERT_EQ(std::system(("sox -n -r 8000 -b 32 -e floating-point '" + floatWave + "' synth 0.1 sine 440").c_str()), 0);
    frame->SetModePostProcess(false);
    std::strcpy(frame->Settings.Files[2].FilePath, floatWave.c_str());
    user.ExpectBox(IDOK, "unsupported wave format");
    frame->ReopenAllWaveFiles();
    EXPECT_TRUE(user.Unexpected().empty());
    EXPECT_EQ(frame->Settings.Files[2].File, nullptr);
    EXPECT_STREQ(frame->Settings.Files[2].FilePath, "");

    const std::string qrx = Data("wave/Float.qrx");
    WritePrivateProfileStringA("Filenames", "Throat", "float.wav", qrx.c_str());
    user.ExpectFile(PromptKind::FileOpen, qrx);
    user.ExpectBox(IDOK, "unsupported wave format");
    CDialog::ScriptModal([&](CWnd& d) {
        dlgtest::Click(d, IDC_GROUP_OPEN);
        Done(d);
    });
    frame->ExecuteCommand(ID_FILE_OPEN);
    EXPECT_TRUE(user.Unexpected().empty());
    EXPECT_EQ(frame->Settings.Files[2].File, nullptr);
}
