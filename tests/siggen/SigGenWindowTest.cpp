// The generator window as the frame uses it: a tool window that asks the frame to close it,
// plays nothing, and refuses to pretend it saved a signal.
#include "records/AppMessages.h"
#include "siggen/CSigGen.h"
#include "support/MdiFrameFixture.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <filesystem>
#include <vector>

namespace {
class GenFrame : public CMDIFrameWnd {
public:
    std::vector<LPARAM> closing;
    LRESULT OnUtilityClosing(WPARAM, LPARAM lParam)
    {
        closing.push_back(lParam);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};
} // namespace

BEGIN_MESSAGE_MAP(GenFrame, CMDIFrameWnd)
    ON_MESSAGE(WM_UTILITY_CLOSING, &GenFrame::OnUtilityClosing)
END_MESSAGE_MAP()

namespace {
class Generator : public MdiFrameTest<GenFrame> {};
} // namespace

TEST_F(Generator, OpensAsAToolWindowAndAsksTheFrameToCloseIt)
{
    auto* gen = new CSigGen;
    ASSERT_TRUE(gen->CreateWnd(frame, 50, 60, 266, 180));
    AfxPumpMessages();
    EXPECT_EQ(gen->GetWindowTextString(), "SigGen");
    EXPECT_TRUE(gen->IsWindowVisible());
    EXPECT_EQ(gen->GetOwner(), frame);
    EXPECT_FALSE(gen->IsRunning());
    gen->StopOutput(); // nothing plays: harmless
    gen->StopOutput();

    const HWND h = gen->GetSafeHwnd();
    gen->GetQWidget()->close();
    AfxPumpMessages();
    ASSERT_EQ(frame->closing.size(), 1u);
    EXPECT_EQ(frame->closing[0], reinterpret_cast<LPARAM>(gen));
    EXPECT_TRUE(IsWindow(h));
    delete gen;
    AfxPumpMessages();
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(Generator, SavingASignalThatWasNeverBuiltWritesNothingAndSaysSo)
{
    auto* gen = new CSigGen;
    ASSERT_TRUE(gen->CreateWnd(frame, 0, 0, 216, 120));
    const auto path = std::filesystem::temp_directory_path() / "durnex-siggen-none.wav";
    std::filesystem::remove(path);
    {
        ScriptedUser user;
        user.ExpectBox(IDOK, "No file was written");
        EXPECT_FALSE(gen->SaveSignalToFile(path.string().c_str(), 1));
        EXPECT_EQ(user.Texts().size(), 1u);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    delete gen;
}
