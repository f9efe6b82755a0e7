// The "File Operations" dialog: the button rule, opening, saving and closing a file group
// through the scripted file dialogs, and the composite file, checked with Python's wave module.
#include "DialogFixture.h"

#include "app/CDurnexFileSelectDlg.h"
#include "wave/ChannelFileState.h"
#include "platform/core/Profile.h"
#include "res/FileDialogIds.h"
#include "wave/TWaveFile.h"

#include <cstring>

using namespace filestest;

namespace {

class FileGroupDialog : public DialogFixture {
protected:
    void TearDown() override
    {
        for (ChannelFileState& f : files) {
            f.File.reset();
        }
        DialogFixture::TearDown();
    }

    CDurnexFileSelectDlg* Make()
    {
        dlg = std::make_unique<CDurnexFileSelectDlg>(nullptr, &group, folder, files, calibrations, &changed);
        dlg->SetFileOptions(TWaveFile::kStreamed, false, dir.string());
        return dlg.get();
    }

    FileGroupInfo group;
    char folder[260] = {};
    ChannelFileState files[8];
    ChannelCalibration calibrations[8];
    BYTE changed = 0;
    std::unique_ptr<CDurnexFileSelectDlg> dlg;
};

} // namespace

TEST_F(FileGroupDialog, WithoutFilesOnlyOpenIsOfferedAndDoneChangesNothing)
{
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "File Operations");
        EXPECT_EQ(Text(d, IDC_GROUP_FILENAME), "[Untitled]");
        EXPECT_TRUE(Enabled(d, IDC_GROUP_OPEN));
        EXPECT_FALSE(Enabled(d, IDC_GROUP_SAVE));
        EXPECT_FALSE(Enabled(d, IDC_GROUP_CLOSE));
        EXPECT_FALSE(Enabled(d, IDC_GROUP_COMPOSITE));
        EXPECT_FALSE(d.GetDlgItem(IDC_PROCESS_PROGRESS)->IsWindowVisible());
        Click(d, IDCANCEL);
    });
    Make()->DoModal();
    EXPECT_EQ(changed, 0);
}

TEST_F(FileGroupDialog, OpenTakesNamesRelativeToTheGroupAndReportsMissingFiles)
{
    ASSERT_TRUE(WritePythonWave(Path("take_Crown.wav"), 8000, {1, 2, 3, 4}));
    const std::string qrx = Path("Take.qrx");
    WritePrivateProfileStringA("TestInfo", "TestName", "Bridge", qrx.c_str());
    WritePrivateProfileStringA("TestInfo", "Technician", "Ada", qrx.c_str());
    WritePrivateProfileStringA("TestInfo", "TestDate", "1700000000", qrx.c_str());
    WritePrivateProfileStringA("Filenames", "Crown", "take_Crown.wav", qrx.c_str());
    WritePrivateProfileStringA("Filenames", "Heart", "gone.wav", qrx.c_str());

    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, qrx);
    user.ExpectBox(IDOK, "gone.wav");
    CDialog::ScriptModal([&](CWnd& d) {
        Click(d, IDC_GROUP_OPEN);
        EXPECT_EQ(Text(d, IDC_GROUP_FILENAME), qrx);
        EXPECT_EQ(Text(d, IDC_GROUP_TEST_NAME), "Bridge");
        EXPECT_EQ(Text(d, IDC_GROUP_TECHNICIAN), "Ada");
        EXPECT_FALSE(Enabled(d, IDC_GROUP_OPEN));
        EXPECT_TRUE(Enabled(d, IDC_GROUP_SAVE));
        Click(d, IDCANCEL);
    });
    Make()->DoModal();
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(group.TestDate, 1700000000);
    EXPECT_STREQ(group.GroupPath, qrx.c_str());
    ASSERT_NE(files[0].File, nullptr);
    EXPECT_EQ(std::string(files[0].FilePath), Path("take_Crown.wav"));
    EXPECT_EQ(files[0].File->GetEndFrame(), 4u);
    // The missing file keeps its path and has no object.
    EXPECT_EQ(files[3].File, nullptr);
    EXPECT_EQ(std::string(files[3].FilePath), Path("gone.wav"));
    EXPECT_EQ(files[1].File, nullptr);
    EXPECT_STREQ(files[1].FilePath, "");
}

TEST_F(FileGroupDialog, SaveNamesUntitledRecordingsAfterTheGroupAndLocation)
{
    auto* recording = new TWaveFile(3, TPcmFormat(8000, 1, 2), dir.string());
    for (int v : {100, -200, 300})
        EXPECT_TRUE(recording->SetSample(v, recording->GetPosition(), 0));
    ASSERT_TRUE(recording->IsUntitled());
    files[3].File.reset(recording);
    std::strcpy(group.TestName, "Run2");
    std::strcpy(folder, dir.string().c_str());

    const std::string qrx = Path("Run2.qrx");
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileSave, qrx);
    CDialog::ScriptModal([&](CWnd& d) {
        SetText(d, IDC_GROUP_COMMENTS, "second run");
        Click(d, IDC_GROUP_SAVE);
        EXPECT_EQ(Text(d, IDC_GROUP_FILENAME), qrx);
        Click(d, IDCANCEL);
    });
    Make()->DoModal();
    EXPECT_EQ(changed, 0);
    const auto shown = user.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Save Quenrith File Group");
    EXPECT_NE(shown[0].initial.find("Run2"), std::string::npos); // the test name is proposed

    EXPECT_EQ(std::string(files[3].FilePath), Path("Run2_Heart.wav"));
    EXPECT_FALSE(recording->IsUntitled());
    const PyWave w = ReadPythonWave(Path("Run2_Heart.wav"), Path("read.txt"));
    EXPECT_EQ(w.samples, (std::vector<long>{100, -200, 300}));
    char value[300] = {};
    GetPrivateProfileStringA("Filenames", "Heart", "", value, sizeof value, qrx.c_str());
    EXPECT_STREQ(value, "Run2_Heart.wav");
    GetPrivateProfileStringA("TestInfo", "Comments", "", value, sizeof value, qrx.c_str());
    EXPECT_STREQ(value, "second run");
    GetPrivateProfileStringA("TestInfo", "TestDate", "", value, sizeof value, qrx.c_str());
    EXPECT_GT(std::atoll(value), 0); // the picker's date, today when the group had none
}

TEST_F(FileGroupDialog, CloseAsksOnlyForUnsavedWorkAndAnythingButYesKeepsEverything)
{
    files[2].File.reset(new TWaveFile(10, TPcmFormat(8000, 1, 2), dir.string()));
    EXPECT_TRUE(files[2].File->SetSample(5, 0, 0));
    std::strcpy(group.TestName, "kept");
    ScriptedUser user;
    user.ExpectBox(IDNO, "The file has not been saved.  Do you want to continue without saving?");
    user.ExpectBox(IDYES, "The file has not been saved.  Do you want to continue without saving?");
    CDialog::ScriptModal([&](CWnd& d) {
        Click(d, IDC_GROUP_CLOSE);
        EXPECT_NE(files[2].File, nullptr);
        EXPECT_STREQ(group.TestName, "kept");
        Click(d, IDC_GROUP_CLOSE);
        EXPECT_EQ(files[2].File, nullptr);
        EXPECT_EQ(Text(d, IDC_GROUP_FILENAME), "[Untitled]");
        EXPECT_EQ(Text(d, IDC_GROUP_TEST_NAME), "");
        EXPECT_TRUE(Enabled(d, IDC_GROUP_OPEN));
        EXPECT_FALSE(Enabled(d, IDC_GROUP_CLOSE));
        Click(d, IDCANCEL);
    });
    Make()->DoModal();
    EXPECT_EQ(changed, 1);
    EXPECT_STREQ(group.TestName, "");
}

TEST_F(FileGroupDialog, CompositeAddsTheGroupsChannelsAndSaturates)
{
    ASSERT_TRUE(WritePythonWave(Path("c0.wav"), 8000, {1000, 30000, -30000, 5}));
    ASSERT_TRUE(WritePythonWave(Path("c1.wav"), 8000, {-10, 30000, -30000}));
    ASSERT_TRUE(WritePythonWave(Path("c7.wav"), 8000, {7777, 7777, 7777, 7777}));
    files[0].File.reset(new TWaveFile(Path("c0.wav"), TWaveFile::kStreamed, false, dir.string()));
    files[4].File.reset(new TWaveFile(Path("c1.wav"), TWaveFile::kStreamed, false, dir.string()));
    files[7].File.reset(new TWaveFile(Path("c7.wav"), TWaveFile::kStreamed, false, dir.string()));
    std::strcpy(group.TestName, "Mix");
    const std::string out = Path("Mix Composite.wav");

    ScriptedUser user;
    user.ExpectFile(PromptKind::FileSave, out);
    CDialog::ScriptModal([](CWnd& d) {
        Click(d, IDC_GROUP_COMPOSITE);
        Click(d, IDCANCEL);
    });
    // The gain dialog, which starts at 50 dB.
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_GAIN_DB), " 50.00");
        SetText(d, IDC_GAIN_DB, "0");
        Click(d, IDOK);
    });
    Make()->DoModal();
    ASSERT_EQ(user.Shown().size(), 1u);
    EXPECT_EQ(user.Shown()[0].text, "Create Quenrith Composite File");
    const PyWave w = ReadPythonWave(out, Path("read.txt"));
    EXPECT_EQ(w.rate, 8000);
    // Channel 7 is not part of it; the shorter file adds nothing past its end; sums beyond the
    // 16-bit range are held at its limits rather than wrapped.
    EXPECT_EQ(w.samples, (std::vector<long>{990, 32767, -32767, 5}));
}

// Enter after each button, as the user presses it with the mouse: Enter acts on the button with
// the focus ring, else on "Done". A button that disables itself hands the focus to "Done", so
// Enter after opening a group finishes the dialog instead of closing the group just opened.
TEST_F(FileGroupDialog, EnterAfterEachButtonActsOnTheButtonWithTheFocusRing)
{
    ASSERT_TRUE(WritePythonWave(Path("e_Crown.wav"), 8000, {1, 2, 3, 4}));
    const std::string qrx = Path("E.qrx");
    WritePrivateProfileStringA("Filenames", "Crown", "e_Crown.wav", qrx.c_str());
    struct Case {
        int button;
        bool filesOpen;      // before the click
        int fileDialogs;     // file prompts the click and then Enter bring up (each cancelled)
        int ringed;          // the button with the focus ring when Enter is pressed
        bool filesOpenAfter;
    };
    const Case cases[] = {
        {IDC_GROUP_OPEN, false, 0, IDCANCEL, true}, // the open prompt is answered below
        {IDC_GROUP_CLOSE, true, 0, IDCANCEL, false},
        {IDC_GROUP_SAVE, true, 2, IDC_GROUP_SAVE, true}, // Enter presses Save again
        {IDC_GROUP_COMPOSITE, true, 2, IDC_GROUP_COMPOSITE, true},
        {IDC_HELP_BUTTON, false, 0, IDC_HELP_BUTTON, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "button " << c.button);
        files[0].Clear();
        group.Clear();
        if (c.filesOpen)
            files[0].File.reset(new TWaveFile(Path("e_Crown.wav"), TWaveFile::kStreamed, false, dir.string()));
        ScriptedUser user;
        if (c.button == IDC_GROUP_OPEN)
            user.ExpectFile(PromptKind::FileOpen, qrx);
        for (int i = 0; i < c.fileDialogs; ++i)
            user.ExpectFile(PromptKind::FileSave, "");
        bool running = false;
        int ringed = 0;
        CDialog::ScriptModal([&](CWnd& d) {
            QtMouseClick(&d, c.button);
            CWnd* focus = CWnd::GetFocus();
            ringed = focus ? focus->GetDlgCtrlID() : 0;
            Key(QApplication::focusWidget() ? QApplication::focusWidget() : QtWidgetOf(&d), Qt::Key_Return);
            running = QtWidgetOf(&d)->isVisible();
            if (running)
                Click(d, IDCANCEL);
        });
        Make()->DoModal();
        EXPECT_EQ(ringed, c.ringed);
        EXPECT_EQ(running, c.ringed != IDCANCEL);
        EXPECT_EQ(files[0].File != nullptr, c.filesOpenAfter);
    }
}
