// The Edit commands on the active plot's selection, through the frame's command ids: the
// clipboard as CF_WAVE bytes, one level of undo, the backup question, paste into an empty
// channel, gain and the enable rules.
#include "FilesFrameFixture.h"

#include "app/CSetFilePositionDlg.h"
#include "platform/core/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "res/FileDialogIds.h"
#include "res/resource.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>

#include <sys/inotify.h>
#include <unistd.h>

#include <sys/resource.h>

using namespace filesframe;

namespace {

class EditCommands : public FilesFrame {
protected:
    // Channel 0 holds a 16-frame 8000 Hz wave of known values, edited on a working copy.
    TWaveFile* StartWithFile()
    {
        if (Start() == nullptr)
            return nullptr;
        frame->Settings.FileIO.WaveFileMode = 1;
        frame->Settings.FileIO.MakeBackup = 1;
        if (!WriteWave(Data("wave/e.wav"), 8000, original) || !OpenChannel(0, Data("wave/e.wav")))
            return nullptr;
        return frame->Settings.Files[0].File.get();
    }

    static std::size_t ClipboardWaveSize()
    {
        std::size_t size = 0;
        if (OpenClipboard(nullptr)) {
            if (HANDLE h = GetClipboardData(CF_WAVE))
                size = GlobalSize(static_cast<HGLOBAL>(h));
            CloseClipboard();
        }
        return size;
    }

    const std::vector<int> original{100, -100, 200, -200, 300, -300, 400, -400,
                                    500, -500, 600, -600, 700, -700, 800, -800};
    std::vector<long> Original() const { return {original.begin(), original.end()}; }
};

constexpr float kFrame = 1.0f / 8000.0f;

} // namespace

TEST_F(EditCommands, CopyPutsTheSegmentOnTheClipboardAndPasteOverInPlaceChangesNothing)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 4 * kFrame, 8 * kFrame), nullptr);
    ASSERT_TRUE(CommandEnabled(frame, ID_EDIT_COPY));
    frame->ExecuteCommand(ID_EDIT_COPY);
    EXPECT_EQ(ClipboardWaveSize(), 44u + 4 * 2);
    EXPECT_FALSE(file->IsUndoAvailable());

    frame->SetChannelFilePosition(0, 4);
    ASSERT_TRUE(CommandEnabled(frame, ID_EDIT_PASTE_OVER));
    frame->ExecuteCommand(ID_EDIT_PASTE_OVER);
    EXPECT_EQ(Samples(file), Original());
    EXPECT_TRUE(file->IsUndoAvailable());
    EXPECT_EQ(file->GetUndoKind(), DWORD(TWaveFile::kUndoOverwritten));
    AnswerNoOnClose();
}

TEST_F(EditCommands, CutRemovesTheSelectionAndUndoPutsItBack)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 4 * kFrame, 8 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_CUT);
    std::vector<long> expected = Original();
    expected.erase(expected.begin() + 4, expected.begin() + 8);
    EXPECT_EQ(Samples(file), expected);
    EXPECT_EQ(ClipboardWaveSize(), 44u + 4 * 2);
    ASSERT_TRUE(CommandEnabled(frame, ID_EDIT_UNDO));
    frame->ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Samples(file), Original());

    // Pasted back in at frame 5 (5 / 8000 s in single precision is a hair short of it), and
    // that paste taken back again.
    frame->SetChannelFilePosition(0, 5);
    frame->ExecuteCommand(ID_EDIT_PASTE_INSERT);
    EXPECT_EQ(file->GetEndFrame(), 20u);
    EXPECT_EQ(static_cast<long>(file->GetSample(4, 0, false)), 300);
    EXPECT_EQ(static_cast<long>(file->GetSample(5, 0, false)), 300);
    EXPECT_EQ(static_cast<long>(file->GetSample(8, 0, false)), -400);
    EXPECT_EQ(static_cast<long>(file->GetSample(9, 0, false)), -300);
    frame->ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Samples(file), Original());
    AnswerNoOnClose();
}

TEST_F(EditCommands, MuteSilencesTheSelectionAndCanBeUndone)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 2 * kFrame, 6 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_MUTE);
    std::vector<long> expected = Original();
    std::fill(expected.begin() + 2, expected.begin() + 6, 0);
    EXPECT_EQ(Samples(file), expected);
    frame->ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Samples(file), Original());
    AnswerNoOnClose();
}

namespace {

// Files made in a folder while `act` runs, seen by the kernel (inotify).
int FilesMadeIn(const std::string& folder, const std::function<void()>& act)
{
    const int fd = inotify_init1(IN_NONBLOCK);
    if (fd < 0 || inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
        return -1;
    act();
    int made = 0;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        for (char* p = buffer; p < buffer + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
            ++made;
    close(fd);
    return made;
}

} // namespace

// A mute on a disk file writes its undo copy once, as every other edit does.
TEST_F(EditCommands, AMuteOnADiskFileWritesOneUndoCopy)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    const std::string folder = std::filesystem::path(file->GetWorkingCopy()).parent_path().string();
    const int oneCopy = FilesMadeIn(folder, [&] {
        ASSERT_TRUE(file->SaveUndo(TWaveFile::kUndoOverwritten, 2, 6));
        file->EditDone(); // its label then says the edit is whole
    });
    ASSERT_GT(oneCopy, 0);
    ASSERT_NE(Select(0, 2 * kFrame, 6 * kFrame), nullptr);
    EXPECT_EQ(FilesMadeIn(folder, [&] { frame->ExecuteCommand(ID_EDIT_MUTE); }), oneCopy);
    frame->ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Samples(file), Original());
    AnswerNoOnClose();
}

TEST_F(EditCommands, EditingTheDiskFileWithoutBackupAsksFirstAndNoChangesNothing)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.MakeBackup = 0;
    ASSERT_TRUE(WriteWave(Data("wave/disk.wav"), 8000, original));
    ASSERT_TRUE(OpenChannel(0, Data("wave/disk.wav")));
    ASSERT_NE(Select(0, 0.0f, 8 * kFrame), nullptr);
    user.ExpectBox(IDNO, "You are about to modify the disk file and have not selected the \"Make Backup\" file "
                         "option.\r\rDo you want to continue?");
    frame->ExecuteCommand(ID_EDIT_CUT);
    EXPECT_EQ(ReadWave(Data("wave/disk.wav"), Data("read.txt")), Original());
    EXPECT_EQ(frame->Settings.Files[0].File->GetEndFrame(), 16u);

    // Mute edits the disk file in place without the question.
    frame->ExecuteCommand(ID_EDIT_MUTE);
    std::vector<long> expected = Original();
    std::fill(expected.begin(), expected.begin() + 8, 0);
    EXPECT_EQ(Samples(frame->Settings.Files[0].File.get()), expected);
}

// Without a backup copy a cut and a paste insert are in the disk file when their commands
// return, so closing without a question loses nothing.
TEST_F(EditCommands, EditsOfTheDiskFileWithoutBackupAreInTheFileAtOnce)
{
    ASSERT_NE(Start(), nullptr);
    frame->Settings.FileIO.WaveFileMode = 1;
    frame->Settings.FileIO.MakeBackup = 0;
    const std::string path = Data("wave/disk.wav");
    ASSERT_TRUE(WriteWave(path, 8000, original));
    ASSERT_TRUE(OpenChannel(0, path));
    const char* question = "You are about to modify the disk file";
    ASSERT_NE(Select(0, 4 * kFrame, 8 * kFrame), nullptr);
    user.ExpectBox(IDYES, question);
    frame->ExecuteCommand(ID_EDIT_CUT);
    std::vector<long> expected = Original();
    expected.erase(expected.begin() + 4, expected.begin() + 8);
    EXPECT_EQ(ReadWave(path, Data("read.txt")), expected);

    frame->SetChannelFilePosition(0, 2);
    user.ExpectBox(IDYES, question);
    frame->ExecuteCommand(ID_EDIT_PASTE_INSERT);
    expected.insert(expected.begin() + 2, original.begin() + 4, original.begin() + 8);
    EXPECT_EQ(ReadWave(path, Data("read.txt")), expected);
    EXPECT_EQ(frame->CountUnsavedNewFiles(), 0);
}

TEST_F(EditCommands, PasteIntoAChannelWithoutAFileMakesItAnUntitledModifiedFile)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 0.0f, 16 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_COPY);

    frame->OpenTimeSeriesPlot(1);
    ASSERT_NE(frame->TimeSeriesPlot[1], nullptr);
    frame->MDIActivate(frame->TimeSeriesPlot[1]);
    ASSERT_TRUE(CommandEnabled(frame, ID_EDIT_PASTE_INSERT));
    // Without its temporary folder the paste says it could not be made.
    std::filesystem::rename(Data("temp"), Data("temp.away"));
    user.ExpectBox(IDOK, "The wave on the clipboard could not be pasted: no temporary file could be written in " +
                             std::string(frame->Settings.WorkingPaths.Tmp));
    frame->ExecuteCommand(ID_EDIT_PASTE_INSERT);
    EXPECT_EQ(frame->Settings.Files[1].File, nullptr);
    std::filesystem::rename(Data("temp.away"), Data("temp"));

    frame->ExecuteCommand(ID_EDIT_PASTE_INSERT);
    TWaveFile* pasted = frame->Settings.Files[1].File.get();
    ASSERT_NE(pasted, nullptr);
    EXPECT_TRUE(pasted->IsUntitled());
    EXPECT_TRUE(pasted->IsModified());
    EXPECT_EQ(Samples(pasted), Original());
    EXPECT_EQ(frame->Settings.Processing[1].SampleFormat.SampleRate, 8000u);
    // Closing now would lose it: the question protects it.
    EXPECT_EQ(frame->CountUnsavedNewFiles(), 1);
    AnswerNoOnClose();
}

TEST_F(EditCommands, EnableRulesFollowTheActivePlotAndTheUndoImage)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(CommandEnabled(frame, ID_EDIT_SET_FILE_POSITION));
    ASSERT_NE(Select(0, 0.0f, 4 * kFrame), nullptr);
    EXPECT_TRUE(CommandEnabled(frame, ID_EDIT_SELECT_ALL));
    EXPECT_TRUE(CommandEnabled(frame, ID_EDIT_GAIN));
    EXPECT_TRUE(CommandEnabled(frame, ID_EDIT_FILTER));
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_UNDO)); // no undo image yet

    frame->OpenSpectrumPlot(0);
    ASSERT_NE(frame->SpectrumPlot[0], nullptr);
    frame->MDIActivate(frame->SpectrumPlot[0]);
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_SELECT_ALL));
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_CUT));
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_PASTE_INSERT));
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_FILTER));
}

TEST_F(EditCommands, GainOfZeroDecibelsLeavesEverySampleAndSixDecibelsNearlyDoubles)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 0.0f, 16 * kFrame), nullptr);
    CDialog::ScriptModal([](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(IDC_GAIN_DB, "0.4");
        dlgtest::Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_EDIT_GAIN);
    EXPECT_EQ(Samples(file), Original());
    EXPECT_TRUE(file->IsUndoAvailable());
    EXPECT_EQ(frame->GetWindowTextString().find("press <Esc>"), std::string::npos); // caption restored

    ASSERT_NE(Select(0, 0.0f, 16 * kFrame), nullptr);
    CDialog::ScriptModal([](CWnd& d) {
        std::string shown;
        static_cast<CDialog&>(d).GetDlgItemText(IDC_GAIN_DB, shown);
        EXPECT_EQ(shown, "  0.00");
        static_cast<CDialog&>(d).SetDlgItemText(IDC_GAIN_DB, "6");
        dlgtest::Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_EDIT_GAIN);
    const double g = std::pow(10.0, 6.0 / 20.0);
    const std::vector<long> doubled = Samples(file);
    ASSERT_EQ(doubled.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i)
        EXPECT_NEAR(doubled[i], original[i] * g, 0.5) << i;
    frame->ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Samples(file), Original());
    AnswerNoOnClose();
}

// With the wave folder, where the undo copies go, gone (as a full or write-protected folder
// refuses them), Mute and Gain say so before anything changes; the earlier mute can still be
// taken back once the folder is there again.
TEST_F(EditCommands, EditsWithoutRoomForTheirUndoCopyAreRefusedBeforeAnythingChanges)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 0.0f, 2 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_MUTE);
    const std::vector<long> muted = Samples(file);
    ASSERT_EQ(muted[0], 0);

    std::filesystem::rename(Data("wave"), Data("wave.away"));
    ASSERT_NE(Select(0, 4 * kFrame, 12 * kFrame), nullptr);
    user.ExpectBox(IDOK, "its undo copy could not be written in " + Data("wave"));
    frame->ExecuteCommand(ID_EDIT_MUTE);
    CDialog::ScriptModal([](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(IDC_GAIN_DB, "6");
        dlgtest::Click(d, IDOK);
    });
    user.ExpectBox(IDOK, "its undo copy could not be written in " + Data("wave"));
    frame->ExecuteCommand(ID_EDIT_GAIN);
    EXPECT_EQ(Samples(file), muted);
    std::filesystem::rename(Data("wave.away"), Data("wave"));

    frame->ExecuteCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Samples(file), Original());
    AnswerNoOnClose();
}

TEST_F(EditCommands, SetFilePositionWithApplyToAllMovesEveryChannelThatHasAFile)
{
    TWaveFile* a = StartWithFile();
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/b.wav"), 8000, original));
    ASSERT_TRUE(OpenChannel(5, Data("wave/b.wav")));
    TWaveFile* b = frame->Settings.Files[5].File.get();
    CDialog::ScriptModal([](CWnd& d) {
        dlgtest::Click(d, IDC_POSITION_BY_SAMPLES);
        static_cast<CDialog&>(d).SetDlgItemText(IDC_POSITION_SAMPLES, "9");
        dlgtest::Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_EDIT_SET_FILE_POSITION);
    EXPECT_EQ(a->GetPosition(), 9u);
    EXPECT_EQ(b->GetPosition(), 9u);
}

// Wrong numbers in Set File Position get a message and leave the dialog open; nothing moves.
// A position must lie within every file it moves: with "apply to all" the shortest file's end.
TEST_F(EditCommands, SetFilePositionRefusesWrongNumbersAndPositionsPastTheEnd)
{
    TWaveFile* a = StartWithFile(); // 16 frames at 8000 Hz
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/short.wav"), 8000, {1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(OpenChannel(5, Data("wave/short.wav")));
    TWaveFile* b = frame->Settings.Files[5].File.get();
    ASSERT_NE(Select(0, 0.0f, kFrame), nullptr); // channel 0's plot is the active one
    frame->SetChannelFilePosition(0, 3);
    frame->SetChannelFilePosition(5, 2);

    const auto enter = [](CWnd& d, int id, const char* text) {
        static_cast<CDialog&>(d).SetDlgItemText(id, text);
        dlgtest::Click(d, IDOK);
    };
    const char* wrongSeconds[] = {"1e300", "inf", "nan", "12,5", "", "0x10", "0.0011"};
    for (std::size_t i = 0; i < std::size(wrongSeconds); ++i)
        user.ExpectBox(IDOK, "The file position must be between 0 and 0.001 seconds");
    user.ExpectBox(IDOK, "The file position must be greater or equal to zero");
    for (int i = 0; i < 3; ++i)
        user.ExpectBox(IDOK, "The file position must be between 0 and 8 samples");
    user.ExpectBox(IDOK, "The file position must be greater or equal to zero");
    CDialog::ScriptModal([&](CWnd& d) {
        // The dialog remembers its last values for the life of the process.
        dlgtest::Click(d, IDC_POSITION_BY_SECONDS);
        static_cast<CDialog&>(d).CheckDlgButton(IDC_POSITION_ALL_FILES, BST_CHECKED);
        for (const char* text : wrongSeconds)
            enter(d, IDC_POSITION_SECONDS, text);
        enter(d, IDC_POSITION_SECONDS, "-1");
        dlgtest::Click(d, IDC_POSITION_BY_SAMPLES);
        for (const char* text : {"9", "1e3", "99999999999999999999"})
            enter(d, IDC_POSITION_SAMPLES, text);
        enter(d, IDC_POSITION_SAMPLES, "-1");
        dlgtest::Click(d, IDCANCEL);
    });
    frame->ExecuteCommand(ID_EDIT_SET_FILE_POSITION);
    EXPECT_EQ(a->GetPosition(), 3u);
    EXPECT_EQ(b->GetPosition(), 2u);

    // The end itself is a position (a paste there appends); for the active file alone its own
    // end is the limit.
    CDialog::ScriptModal([&](CWnd& d) {
        dlgtest::Click(d, IDC_POSITION_BY_SAMPLES);
        static_cast<CDialog&>(d).CheckDlgButton(IDC_POSITION_ALL_FILES, BST_UNCHECKED);
        enter(d, IDC_POSITION_SAMPLES, " 16 ");
    });
    frame->ExecuteCommand(ID_EDIT_SET_FILE_POSITION);
    EXPECT_EQ(a->GetPosition(), 16u);
    EXPECT_EQ(b->GetPosition(), 2u);
    CDialog::ScriptModal([&](CWnd& d) {
        dlgtest::Click(d, IDC_POSITION_BY_SECONDS);
        static_cast<CDialog&>(d).CheckDlgButton(IDC_POSITION_ALL_FILES, BST_CHECKED);
        enter(d, IDC_POSITION_SECONDS, "0.001");
    });
    frame->ExecuteCommand(ID_EDIT_SET_FILE_POSITION);
    EXPECT_EQ(a->GetPosition(), 8u);
    EXPECT_EQ(b->GetPosition(), 8u);
}

TEST_F(EditCommands, AClipboardWaveOfAnotherRateIsRefusedAndTheFileKept)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/other.wav"), 44100, {1, 2, 3, 4}));
    {
        TWaveFile other(Data("wave/other.wav"), TWaveFile::kStreamed, false, Data("temp"));
        HGLOBAL image = other.MakeClipboardImage(0, 4);
        ASSERT_NE(image, nullptr);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        SetClipboardData(CF_WAVE, image);
        CloseClipboard();
    }
    ASSERT_NE(Select(0, 0.0f, 4 * kFrame), nullptr);
    user.ExpectBox(IDOK, "Cannot Paste the data - the wave data on the clipboard has a different format");
    frame->ExecuteCommand(ID_EDIT_PASTE_INSERT);
    EXPECT_EQ(Samples(file), Original());
}

TEST_F(EditCommands, DcOffsetInPercentOfFullScaleAddsItsShareOfTheRange)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    frame->Settings.Calibration[0].IsEnabled = 0;
    ASSERT_NE(Select(0, 0.0f, 16 * kFrame), nullptr);
    CDialog::ScriptModal([](CWnd& d) {
        std::string prompt;
        static_cast<CDialog&>(d).GetDlgItemText(IDC_DC_OFFSET_PROMPT, prompt);
        EXPECT_EQ(prompt, "Enter offset value in \"Percent Full Scale\"");
        static_cast<CDialog&>(d).SetDlgItemText(IDC_DC_OFFSET_VALUE, "10");
        dlgtest::Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_EDIT_DC_OFFSET);
    // 10 % of half the range 32767 - (-32767) is 3276.7, rounded to nearest with the sample.
    std::vector<long> expected;
    for (int v : original)
        expected.push_back(static_cast<long>(std::floor(v + 3276.7 + 0.5)));
    EXPECT_EQ(Samples(file), expected);
    AnswerNoOnClose();
}

TEST_F(EditCommands, NewGoesToRecorderModeAndLeavesNamedFilesAlone)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    frame->ExecuteCommand(ID_FILE_NEW);
    EXPECT_EQ(frame->Settings.OpMode, 1);
    EXPECT_EQ(frame->Settings.Files[0].File.get(), file);
}

TEST_F(EditCommands, DroppingTheRealTimeDataLeavesNoPlotOnAFreedFile)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 0.0f, 16 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_COPY);
    frame->ExecuteCommand(ID_MODE_REALTIME);
    ASSERT_EQ(frame->Settings.OpMode, 0);

    // In Real Time the pasted wave becomes channel 1's file, shown by its time series.
    frame->OpenTimeSeriesPlot(1);
    TSeriesPlot* plot = frame->TimeSeriesPlot[1];
    ASSERT_NE(plot, nullptr);
    frame->MDIActivate(plot);
    frame->ExecuteCommand(ID_EDIT_PASTE_INSERT);
    ASSERT_NE(frame->Settings.Files[1].File, nullptr);
    ASSERT_EQ(plot->GetWaveFile(), frame->Settings.Files[1].File.get());

    user.ExpectBox(IDNO, "Data is still available in the Real-Time data buffers.");
    frame->SetModeRecorder(true);
    EXPECT_EQ(frame->Settings.Files[1].File, nullptr);
    EXPECT_EQ(plot->GetWaveFile(), nullptr);
    EXPECT_EQ(frame->CountUnsavedNewFiles(), 0);
    plot->RedrawWindow();
    AfxPumpMessages(5);
}

// Copy with a temporary folder that cannot take the image (here: past a file-size limit, as on
// a full disk) reports it and leaves an empty clipboard, so the next Paste inserts nothing
// stale; no temporary file stays behind.
TEST_F(EditCommands, ACopyThatCannotBeMadeIsReportedAndPastesNothingStale)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 4 * kFrame, 8 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_COPY);
    ASSERT_EQ(ClipboardWaveSize(), 44u + 4 * 2);
    const auto files = [this] {
        return std::distance(std::filesystem::directory_iterator(Data("wave")), std::filesystem::directory_iterator());
    };
    const auto before = files();

    ASSERT_NE(Select(0, 0.0f, 12 * kFrame), nullptr);
    user.ExpectBox(IDOK, "could not be copied to the clipboard");
    {
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit low = old;
        low.rlim_cur = 40;
        ::setrlimit(RLIMIT_FSIZE, &low);
        frame->ExecuteCommand(ID_EDIT_COPY);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
    }
    EXPECT_EQ(ClipboardWaveSize(), 0u);
    EXPECT_FALSE(CommandEnabled(frame, ID_EDIT_PASTE_INSERT));
    frame->SetChannelFilePosition(0, 2);
    frame->ExecuteCommand(ID_EDIT_PASTE_INSERT);
    EXPECT_EQ(Samples(file), Original());
    EXPECT_FALSE(file->IsUndoAvailable());
    EXPECT_EQ(files(), before);
}

// Copy with a spectrogram or 3-D surface of a channel without a file active goes through the
// plot's own hook and changes nothing: no message, the clipboard's wave stays.
TEST_F(EditCommands, CopyFromAHistoryPlotWithoutAFileLeavesTheClipboardAlone)
{
    TWaveFile* file = StartWithFile();
    ASSERT_NE(file, nullptr);
    ASSERT_NE(Select(0, 4 * kFrame, 8 * kFrame), nullptr);
    frame->ExecuteCommand(ID_EDIT_COPY);
    ASSERT_EQ(ClipboardWaveSize(), 44u + 4 * 2);
    for (const int kind : {4, 5}) {
        frame->OpenPlot(kind, 3, false);
        TPlotBase* plot = frame->GetPlot(kind, 3, false);
        ASSERT_NE(plot, nullptr);
        frame->MDIActivate(plot);
        frame->ExecuteCommand(ID_EDIT_COPY);
        EXPECT_EQ(ClipboardWaveSize(), 44u + 4 * 2) << kind;
    }
    EXPECT_EQ(Samples(file), Original());
}
