// The About box and splash screen, and the Set Paths dialog.
#include "FrameFixture.h"

#include "app/CAboutDialog.h"
#include "app/CSetPathsDlg.h"
#include "plots/CToolBtn.h"
#include "platform/core/Profile.h"
#include "res/resource.h"

using namespace frametest;
using namespace dlgtest;

using FrameDialogsTest = FrameFixture;

TEST_F(FrameDialogsTest, TheAboutBoxShowsTheVersionAndItsOkButtonAfterAMoment)
{
    ASSERT_NE(Start(), nullptr);
    bool ran = false;
    CDialog::ScriptModal([&ran](CWnd& w) {
        auto& d = static_cast<CAboutDialog&>(w);
        ran = true;
        EXPECT_EQ(d.GetWindowTextString(), "Version information");
        EXPECT_FALSE(d.IsSplash());
        std::string text;
        d.GetDlgItemText(1813, text);
        EXPECT_EQ(text.rfind("QLM436 - Quenrith Analyzer\r\nVersion 1.1.0.7", 0), 0u) << text;
        ASSERT_NE(d.Logo(), nullptr);
        CRect logo;
        d.Logo()->GetWindowRect(&logo);
        EXPECT_EQ(logo.Width(), 245);
        EXPECT_EQ(logo.Height(), 227);
        EXPECT_FALSE(d.GetDlgItem(IDOK)->IsWindowVisible());
        AfxPumpMessages(300);
        EXPECT_TRUE(d.GetDlgItem(IDOK)->IsWindowVisible());
        // The About box stays until the user closes it.
        AfxPumpMessages(1800);
        EXPECT_TRUE(d.IsModalRunning());
        Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_HELP_ABOUT);
    EXPECT_TRUE(ran);
}

TEST_F(FrameDialogsTest, EscClosesTheSplashAtOnceAndOtherwiseItClosesItself)
{
    AfxEnsureQtApplication();
    {
        CAboutDialog splash(nullptr, true);
        CDialog::ScriptModal([](CWnd& w) {
            EXPECT_FALSE(w.GetDlgItem(IDOK)->IsWindowVisible());
            static_cast<CDialog&>(w).SendMessage(WM_COMMAND, IDCANCEL);
        });
        EXPECT_EQ(splash.DoModal(), IDCANCEL);
    }
    {
        CAboutDialog splash(nullptr, true);
        CDialog::ScriptModal([](CWnd&) {});
        EXPECT_EQ(splash.DoModal(), IDOK); // after 0.1 s + 1.5 s, as with OK
    }
}

TEST_F(FrameDialogsTest, SetPathsDefaultsAndOkStoreTheFoldersAndWriteTheProfileAtOnce)
{
    ASSERT_NE(Start(), nullptr);
    std::snprintf(frame->Settings.Paths.Wav, 260, "%s", Data("elsewhere").c_str());
    std::snprintf(frame->Settings.Paths.thd, 260, "%s", Data("keep").c_str());
    const std::string data = Data();
    CDialog::ScriptModal([data](CWnd& w) {
        auto& d = static_cast<CDialog&>(w);
        EXPECT_EQ(d.GetWindowTextString(), "Set Paths");
        std::string wave;
        d.GetDlgItemText(1983, wave);
        EXPECT_EQ(wave, data + "elsewhere");
        Click(d, CSetPathsDlg::IDC_DEFAULTS);
        d.GetDlgItemText(1983, wave);
        EXPECT_EQ(wave, data + "wave");
        Click(d, IDOK);
    });
    frame->ExecuteCommand(ID_FILE_SET_PATHS);
    EXPECT_STREQ(frame->Settings.Paths.Wav, Data("wave").c_str());
    EXPECT_STREQ(frame->Settings.Paths.txt, Data("log").c_str());
    EXPECT_STREQ(frame->Settings.Paths.thd, Data("keep").c_str()); // not shown, kept
    EXPECT_STREQ(frame->Settings.WorkingPaths.Wav, Data("wave").c_str());
    char stored[260] = {};
    GetPrivateProfileStringA("Paths", "Wav", "", stored, sizeof stored, Data("Durnex.ini").c_str());
    EXPECT_STREQ(stored, Data("wave").c_str());
}

TEST_F(FrameDialogsTest, SetPathsReportsOnlyTheFirstMissingFolderAndCancelKeepsEverything)
{
    ASSERT_NE(Start(), nullptr);
    const PathSettings before = frame->Settings.Paths;
    const std::string missingTemp = Data("no-temp"), missingLog = Data("no-log");
    user.ExpectBox(IDOK, "The file folder \"" + missingTemp + "\" does not exist!");
    CDialog::ScriptModal([&](CWnd& w) {
        auto& d = static_cast<CDialog&>(w);
        d.SetDlgItemText(1984, missingTemp);
        d.SetDlgItemText(1989, missingLog);
        Click(d, IDOK);
        EXPECT_TRUE(d.IsModalRunning());
        std::string temp;
        d.GetDlgItemText(1984, temp);
        EXPECT_EQ(temp, missingTemp);
        Click(d, IDCANCEL);
    });
    frame->ExecuteCommand(ID_FILE_SET_PATHS);
    EXPECT_EQ(std::memcmp(&before, &frame->Settings.Paths, sizeof before), 0);
}
