// File and colour dialogs answered by the scripted user: filter translation, default
// extensions, must-exist checks, the overwrite question and the caller's buffer.
#include "platform/ui/CommonDialogs.h"

#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        path_ = fs::temp_directory_path() / ("durnex-dlg-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name, bool create = false) const
    {
        const fs::path p = path_ / name;
        if (create)
            std::ofstream(p) << "x";
        return p.string();
    }
    std::string Path() const { return path_.string(); }

private:
    fs::path path_;
    static inline int counter_ = 0;
};

} // namespace

TEST(FileDialogFilters, WindowsFiltersBecomeQtFilters)
{
    using filedlg::ParseFilter;
    using filedlg::ToQtFilter;
    // The description's own pattern group is not doubled.
    EXPECT_EQ(ToQtFilter(ParseFilter("Wave Files (*.wav)|*.wav||")), "Wave Files (*.wav)");
    EXPECT_EQ(ToQtFilter(ParseFilter("Text (tab separated)|*.txt||")), "Text (tab separated) (*.txt)");
    // Several patterns, separated by semicolons and blanks; "*.*" means every file.
    EXPECT_EQ(ToQtFilter(ParseFilter("Overlay|*.ovl; *.mic;*.flt|All files (*.*)|*.*||")),
              "Overlay (*.ovl *.mic *.flt);;All files (*)");
    // A description without a pattern lists what it names.
    const auto noPattern = ParseFilter("Filter Response Files (*.flt); Overlay Files (*.ovl); Mic Comp (*.mic)||");
    ASSERT_EQ(noPattern.size(), 1u);
    EXPECT_EQ(noPattern[0].patterns, (std::vector<std::string>{"*.flt", "*.ovl", "*.mic"}));
    const auto nothingNamed = ParseFilter("File Export|");
    ASSERT_EQ(nothingNamed.size(), 1u);
    EXPECT_EQ(nothingNamed[0].patterns, std::vector<std::string>{"*"});
    EXPECT_TRUE(ParseFilter("").empty());
    EXPECT_EQ(ToQtFilter({}), "All files (*)");
}

TEST(FileDialogFilters, DefaultExtensionIsAddedOnlyToBareNames)
{
    using filedlg::ApplyDefaultExtension;
    EXPECT_EQ(ApplyDefaultExtension("/d/run1", "wav"), "/d/run1.wav");
    EXPECT_EQ(ApplyDefaultExtension("/d/run1", "*.wav"), "/d/run1.wav");
    EXPECT_EQ(ApplyDefaultExtension("/d/run1", ".wav"), "/d/run1.wav");
    EXPECT_EQ(ApplyDefaultExtension("/d/run1.txt", "wav"), "/d/run1.txt");
    EXPECT_EQ(ApplyDefaultExtension("/d.x/run1", "wav"), "/d.x/run1.wav"); // a dot in the folder does not count
    EXPECT_EQ(ApplyDefaultExtension("/d/run1", "*.*"), "/d/run1");      // a wildcard adds nothing
    EXPECT_EQ(ApplyDefaultExtension("/d/run1", ""), "/d/run1");
}

TEST(FileDialog, OpenReturnsTheScriptedPathAndRecordsThePrompt)
{
    TempFolder dir;
    const std::string file = dir.File("a.wav", true);
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, file);
    CFileDialog dlg(TRUE, "wav", "*.wav", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                    "Wave Files (*.wav)|*.wav||");
    dlg.m_ofn.lpstrTitle = "Open Wave File";
    const std::string folder = dir.Path();
    dlg.m_ofn.lpstrInitialDir = folder.c_str();
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), file);
    EXPECT_EQ(dlg.GetFileName(), "a.wav");
    EXPECT_EQ(dlg.GetFileExt(), "wav");
    EXPECT_EQ(dlg.GetFileTitle(), "a");
    EXPECT_EQ(dlg.GetFolderPath(), folder);
    const auto shown = user.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Open Wave File");
    EXPECT_EQ(shown[0].initial, (fs::path(folder) / "*.wav").string());
    EXPECT_EQ(shown[0].filter, "Wave Files (*.wav)|*.wav||");
    EXPECT_TRUE(shown[0].type & OFN_FILEMUSTEXIST);
}

TEST(FileDialog, CancelGivesIdCancelAndNoPath)
{
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, "");
    CFileDialog dlg(TRUE, "wav", nullptr, OFN_FILEMUSTEXIST, "Wave Files (*.wav)|*.wav||");
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.GetPathName(), "");
}

TEST(FileDialog, MissingFileIsReportedAndAskedAgain)
{
    TempFolder dir;
    const std::string good = dir.File("b.wav", true);
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, dir.File("missing.wav"));
    user.ExpectBox(IDOK, "File not found");
    user.ExpectFile(PromptKind::FileOpen, good);
    CFileDialog dlg(TRUE, "wav", nullptr, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, "Wave Files (*.wav)|*.wav||");
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), good);
}

TEST(FileDialog, MissingFolderIsReportedWhenThePathMustExist)
{
    TempFolder dir;
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileSave, dir.File("nofolder/x.txt"));
    user.ExpectBox(IDOK, "Path does not exist");
    user.ExpectFile(PromptKind::FileSave, "");
    CFileDialog dlg(FALSE, "txt", "*.txt", OFN_PATHMUSTEXIST, "Text Files (*.txt)|*.txt||");
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST(FileDialog, SaveAddsTheDefaultExtensionAndAsksBeforeReplacing)
{
    TempFolder dir;
    dir.File("old.wav", true);
    ScriptedUser user;
    // "old" becomes old.wav, which exists: No asks again; the second answer is new.
    user.ExpectFile(PromptKind::FileSave, dir.File("old"));
    user.ExpectBox(IDNO, "old.wav already exists");
    user.ExpectFile(PromptKind::FileSave, dir.File("old"));
    user.ExpectBox(IDYES, "already exists");
    CFileDialog dlg(FALSE, "wav", "*.wav", OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, "Wave Files (*.wav)|*.wav||");
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), dir.File("old.wav"));
}

TEST(FileDialog, SaveWithoutOverwritePromptAcceptsAnExistingFile)
{
    TempFolder dir;
    const std::string f = dir.File("x.thd", true);
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileSave, f);
    CFileDialog dlg(FALSE, "thd", nullptr, OFN_PATHMUSTEXIST, "THD Files (*.thd)|*.thd||");
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST(FileDialog, RelativeAnswerIsTakenInTheStartFolder)
{
    TempFolder dir;
    dir.File("c.rvb", true);
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, "c.rvb");
    CFileDialog dlg(TRUE, "rvb", "*.rvb", OFN_FILEMUSTEXIST, "Reverb Files (*.rvb)|*.rvb||");
    const std::string folder = dir.Path();
    dlg.m_ofn.lpstrInitialDir = folder.c_str();
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), dir.File("c.rvb"));
}

TEST(GetOpenFileName, FillsTheCallersBufferAndOffsets)
{
    TempFolder dir;
    const std::string f = dir.File("data.flt", true);
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, f);
    char name[256] = "*.flt; *.ovl; *.mic";
    char title[64] = {};
    OPENFILENAMEA ofn;
    ofn.lpstrFilter = "Filter Response Files (*.flt); Overlay Files (*.ovl); Mic Comp (*.mic)\0\0";
    ofn.lpstrFile = name;
    ofn.nMaxFile = sizeof name;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.lpstrDefExt = "flt";
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_STREQ(name, f.c_str());
    EXPECT_STREQ(title, "data.flt");
    EXPECT_STREQ(name + ofn.nFileOffset, "data.flt");
    EXPECT_STREQ(name + ofn.nFileExtension, "flt");
    EXPECT_EQ(user.Shown().at(0).filter, "Filter Response Files (*.flt); Overlay Files (*.ovl); Mic Comp (*.mic)||");
}

TEST(GetOpenFileName, PathLongerThanTheBufferFailsInsteadOfBeingCut)
{
    TempFolder dir;
    const std::string f = dir.File("a-rather-long-file-name.wav", true);
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileOpen, f);
    char name[8] = "*.wav";
    OPENFILENAMEA ofn;
    ofn.lpstrFile = name;
    ofn.nMaxFile = sizeof name;
    ofn.Flags = OFN_FILEMUSTEXIST;
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    EXPECT_STREQ(name, "*.wav");
}

TEST(ColorDialog, ScriptedColourWithTheInitialColourRecorded)
{
    ScriptedUser user;
    user.ExpectColor(RGB(0, 255, 225));
    CColorDialog dlg(RGB(128, 128, 128), CC_FULLOPEN | CC_ANYCOLOR);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetColor(), RGB(0, 255, 225));
    const auto shown = user.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, PromptKind::Color);
    EXPECT_EQ(shown[0].initial, "0x00808080");
    EXPECT_TRUE(shown[0].type & CC_RGBINIT);
    EXPECT_TRUE(shown[0].type & CC_FULLOPEN);
}

TEST(ColorDialog, CancelKeepsTheColourAndBlackNeedsRgbInit)
{
    ScriptedUser user;
    user.ExpectColor(RGB(1, 2, 3), false);
    CColorDialog dlg(RGB(10, 20, 30));
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.GetColor(), RGB(10, 20, 30));

    // Black as the initial colour is preselected only when the caller asks with CC_RGBINIT.
    CColorDialog black(RGB(0, 0, 0), CC_FULLOPEN);
    EXPECT_FALSE(black.m_cc.Flags & CC_RGBINIT);
    CColorDialog asked(RGB(0, 0, 0), CC_RGBINIT | CC_FULLOPEN);
    EXPECT_TRUE(asked.m_cc.Flags & CC_RGBINIT);
    EXPECT_EQ(CColorDialog::GetSavedCustomColors()[15], RGB(255, 255, 255));
}

// Without a responder the real Qt dialogs come up; here a timer plays the user in front of them.
TEST(CommonDialogsOnScreen, FileDialogShowsTheTranslatedFilterAndStartFolder)
{
    AfxEnsureQtApplication();
    ASSERT_EQ(Responder::Current(), nullptr);
    TempFolder dir;
    const std::string file = dir.File("r.wav", true);
    QStringList filters;
    QString folderShown;
    bool saw = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        saw = true;
        filters = d->nameFilters();
        folderShown = d->directory().absolutePath();
        d->selectFile(QString::fromStdString(file));
        QMetaObject::invokeMethod(d, "accept");
    });
    CFileDialog dlg(TRUE, "wav", "*.wav", OFN_FILEMUSTEXIST, "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||");
    const std::string folder = dir.Path();
    dlg.m_ofn.lpstrInitialDir = folder.c_str();
    ASSERT_EQ(dlg.DoModal(), IDOK);
    ASSERT_TRUE(saw);
    EXPECT_EQ(filters, QStringList({"Wave Files (*.wav)", "All Files (*)"}));
    EXPECT_EQ(folderShown.toStdString(), fs::canonical(folder).string());
    EXPECT_EQ(fs::canonical(dlg.GetPathName()), fs::canonical(file));
}

TEST(CommonDialogsOnScreen, ColourDialogStartsAtTheColourAndKeepsCustomColours)
{
    AfxEnsureQtApplication();
    QColor shown;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        shown = d->currentColor();
        QColorDialog::setCustomColor(3, QColor(1, 2, 3));
        d->setCurrentColor(QColor(255, 0, 0));
        d->accept();
    });
    CColorDialog dlg(RGB(0, 255, 225), CC_FULLOPEN | CC_ANYCOLOR);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(shown, QColor(0, 255, 225));
    EXPECT_EQ(dlg.GetColor(), RGB(255, 0, 0));
    EXPECT_EQ(CColorDialog::GetSavedCustomColors()[3], RGB(1, 2, 3));
}
