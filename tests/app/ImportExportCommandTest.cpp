// File > Import and File > Export through the frame: options dialog, the two file dialogs,
// the progress dialog and the closing message, checked with Python's wave module.
#include "FilesFrameFixture.h"

#include "res/FileDialogIds.h"
#include "res/resource.h"

#include <filesystem>

using namespace filesframe;

namespace {
using ImportExportCommands = FilesFrame;
void Ok(CWnd& d) { dlgtest::Click(d, IDOK); }
void Untouched(CWnd&) {}
} // namespace

TEST_F(ImportExportCommands, ImportRescalesATextFileIntoANewWaveFile)
{
    ASSERT_NE(Start(), nullptr);
    const std::string source = Data("log/values.txt");
    { std::ofstream(source) << "0\n5\n10\n"; }
    const std::string destination = Data("wave/imported.wav");
    CDialog::ScriptModal([](CWnd& d) {
        static_cast<CDialog&>(d).SetDlgItemText(IDC_IMPORT_RATE, "1000");
        Ok(d);
    });
    user.ExpectFile(PromptKind::FileOpen, source);
    user.ExpectFile(PromptKind::FileSave, destination);
    CDialog::ScriptModal(Untouched);
    user.ExpectBox(IDOK, "Data Imported successfully to " + destination);
    frame->ExecuteCommand(ID_FILE_IMPORT);
    EXPECT_EQ(ReadWave(destination, Data("read.txt")), (std::vector<long>{-32767, 0, 32767}));
    // The wave is written to disk only; no channel takes it.
    EXPECT_EQ(frame->CountOpenWaveFiles(), 0);
    EXPECT_EQ(std::string(frame->Settings.WorkingPaths.Wav), Data("wave"));
}

TEST_F(ImportExportCommands, AMalformedImportFileIsReportedAndLeavesNoWaveFile)
{
    ASSERT_NE(Start(), nullptr);
    const std::string source = Data("log/bad.txt");
    { std::ofstream(source) << "1\n2\nthree\n4\n"; }
    const std::string destination = Data("wave/never.wav");
    CDialog::ScriptModal(Ok);
    user.ExpectFile(PromptKind::FileOpen, source);
    user.ExpectFile(PromptKind::FileSave, destination);
    user.ExpectBox(IDOK, "Line 3 of the import file " + source);
    user.ExpectBox(IDYES, "Are you sure you want to cancel importing?");
    CDialog::ScriptModal([](CWnd& d) { dlgtest::Click(d, IDCANCEL); });
    frame->ExecuteCommand(ID_FILE_IMPORT);
    EXPECT_FALSE(std::filesystem::exists(destination));
}

TEST_F(ImportExportCommands, ExportNeedsAnOpenFileAndWritesTheActiveChannelsSamples)
{
    ASSERT_NE(Start(), nullptr);
    user.ExpectBox(IDOK, "At least one wave file must be open in order to export it's contents.");
    frame->ExecuteCommand(ID_FILE_EXPORT);

    ASSERT_TRUE(WriteWave(Data("wave/x.wav"), 8000, {1, -2, 3}));
    ASSERT_TRUE(WriteWave(Data("wave/y.wav"), 8000, {32767, 0, -32767, 400}));
    ASSERT_TRUE(OpenChannel(0, Data("wave/x.wav")));
    ASSERT_TRUE(OpenChannel(2, Data("wave/y.wav")));
    frame->OpenTimeSeriesPlot(2);
    frame->MDIActivate(frame->TimeSeriesPlot[2]);
    const std::string output = Data("log/y.txt");
    CDialog::ScriptModal([](CWnd& d) {
        // The active plot's channel is offered first.
        std::string chosen;
        static_cast<CDialog&>(d).GetDlgItemText(IDC_EXPORT_CHANNEL, chosen);
        Ok(d);
    });
    user.ExpectFile(PromptKind::FileSave, output);
    CDialog::ScriptModal(Untouched);
    frame->ExecuteCommand(ID_FILE_EXPORT);
    EXPECT_EQ(FrameFixture::ReadFile(output), "32767\n0\n-32767\n400\n");
}
