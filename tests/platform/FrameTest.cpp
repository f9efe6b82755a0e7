// Frames, MDI children and menus: placement round trips, MDI activation and tiling, menus
// from resources with removal by position, accelerators that outlive their menu items,
// pop-up menus.
#include "support/MdiFrameFixture.h"
#include "support/QtTestAccess.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>

#include <vector>

namespace {
std::vector<UINT> g_commands;
std::vector<std::pair<bool, HWND>> g_activations;

class MenuFrame : public CMDIFrameWnd {
public:
    void OnRun() { g_commands.push_back(ID_RUN); }
    void OnStop() { g_commands.push_back(ID_STOP); }
    void OnCut() { g_commands.push_back(ID_EDIT_CUT); }
    void OnUpdateCut(CCmdUI* ui) { ui->Enable(cutEnabled); }
    void OnMode(UINT id) { g_commands.push_back(id); }
    bool cutEnabled = true;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MenuFrame, CMDIFrameWnd)
    ON_COMMAND(ID_RUN, &MenuFrame::OnRun)
    ON_COMMAND(ID_STOP, &MenuFrame::OnStop)
    ON_COMMAND(ID_EDIT_CUT, &MenuFrame::OnCut)
    ON_UPDATE_COMMAND_UI(ID_EDIT_CUT, &MenuFrame::OnUpdateCut)
    ON_COMMAND_RANGE(ID_MODE_REALTIME, ID_MODE_POSTPROCESS, &MenuFrame::OnMode)
END_MESSAGE_MAP()

class PlotChild : public CMDIChildWnd {
public:
    void OnMDIActivate(BOOL activate, CWnd* activated, CWnd*)
    {
        g_activations.emplace_back(activate != 0, activated ? activated->GetSafeHwnd() : nullptr);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(PlotChild, CMDIChildWnd)
    ON_WM_MDIACTIVATE()
END_MESSAGE_MAP()

class Frames : public MdiFrameTest<MenuFrame, 900, 700> {
protected:
    void SetUp() override
    {
        g_commands.clear();
        g_activations.clear();
        MdiFrameTest::SetUp();
    }
    PlotChild* NewChild(const char* title, CRect r)
    {
        auto* c = new PlotChild;
        EXPECT_TRUE(c->Create(nullptr, title, WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, r, frame));
        return c;
    }
    void PressKeys(Qt::Key key, Qt::KeyboardModifiers mods)
    {
        QWidget* target = QtMdiAreaOf(frame);
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(target, &release);
        AfxPumpMessages();
    }
};

std::vector<std::string> TopLevelTexts(CMenu* m)
{
    std::vector<std::string> out;
    for (UINT i = 0; i < m->GetMenuItemCount(); ++i)
        out.push_back(m->GetMenuString(i, MF_BYPOSITION));
    return out;
}
} // namespace

TEST_F(Frames, LoadFrameTakesTitleMenuAndAccelerators)
{
    EXPECT_EQ(frame->GetWindowTextString(), "QLM436 - Quenrith Analyzer");
    CMenu* menu = frame->GetMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(TopLevelTexts(menu), (std::vector<std::string>{"&File", "&Edit", "&Mode", "&Options", "&Plots",
                                                             "&Utilities", "&Config", "&Window", "&Help"}));
    EXPECT_NE(frame->m_hAccelTable, nullptr);
    EXPECT_EQ(QtMainWindowOf(frame)->menuBar()->actions().size(), 9);
}

TEST_F(Frames, RemovalByPositionLeavesTheMenusTheFrameExpects)
{
    CMenu* menu = frame->GetMenu();
    ASSERT_TRUE(menu->RemoveMenu(5, MF_BYPOSITION)); // Utilities
    ASSERT_TRUE(menu->RemoveMenu(1, MF_BYPOSITION)); // Edit
    CMenu* file = menu->GetSubMenu(0);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->RemoveMenu(ID_FILE_DELETE, MF_BYCOMMAND));
    AfxPumpMessages(); // the bar follows without DrawMenuBar, as it does before the frame shows
    EXPECT_EQ(TopLevelTexts(menu),
              (std::vector<std::string>{"&File", "&Mode", "&Options", "&Plots", "&Config", "&Window", "&Help"}));
    std::vector<UINT> ids;
    for (UINT i = 0; i < file->GetMenuItemCount(); ++i)
        ids.push_back(file->GetMenuItemID(int(i)));
    EXPECT_EQ(ids, (std::vector<UINT>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, 0, ID_FILE_IMPORT,
                                      ID_FILE_EXPORT, 0, ID_FILE_PRINT, ID_FILE_PRINT_SETUP, ID_FILE_ANNOTATIONS, 0,
                                      ID_FILE_SET_PATHS, 0, ID_APP_EXIT}));
    EXPECT_EQ(QtMainWindowOf(frame)->menuBar()->actions().size(), 7);
    // Menu lookups by command search the pop-ups; a removed command is not found.
    EXPECT_EQ(menu->CheckMenuItem(ID_MODE_RECORDER, MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(menu->GetMenuState(ID_MODE_RECORDER, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(menu->GetMenuState(ID_EDIT_CUT, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_EQ(menu->EnableMenuItem(ID_EDIT_CUT, MF_GRAYED), 0xFFFFFFFFu);
}

TEST_F(Frames, AcceleratorsFireWithoutTheirMenuItems)
{
    CMenu* menu = frame->GetMenu();
    ASSERT_TRUE(menu->DeleteMenu(1, MF_BYPOSITION)); // Edit, with Cut in it
    frame->DrawMenuBar();
    PressKeys(Qt::Key_Delete, Qt::ShiftModifier);   // Shift+Del: Cut
    PressKeys(Qt::Key_R, Qt::AltModifier);          // Alt+R: Run (never in a menu)
    PressKeys(Qt::Key_S, Qt::AltModifier);          // Alt+S: Stop
    PressKeys(Qt::Key_Q, Qt::AltModifier);          // not an accelerator
    EXPECT_EQ(g_commands, (std::vector<UINT>{ID_EDIT_CUT, ID_RUN, ID_STOP}));

    // A disabled command is not run by its key either.
    g_commands.clear();
    frame->cutEnabled = false;
    PressKeys(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(g_commands.empty());
}

TEST_F(Frames, PopupMenuReturnsOrPostsTheChosenCommand)
{
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    popup.AppendMenu(MF_STRING, ID_MODE_RECORDER, "Recorder");
    popup.AppendMenu(MF_STRING, ID_EDIT_CUT, "Cut");
    auto previous = CMenu::SetPopupChooser([](CMenu&) -> UINT { return ID_MODE_RECORDER; });
    EXPECT_EQ(popup.TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, 10, 10, frame), BOOL(ID_MODE_RECORDER));
    EXPECT_TRUE(g_commands.empty()) << "TPM_RETURNCMD returns the command instead of sending it";
    EXPECT_TRUE(popup.TrackPopupMenu(TPM_RIGHTBUTTON, 10, 10, frame));
    EXPECT_TRUE(g_commands.empty()) << "the command is posted";
    AfxPumpMessages();
    EXPECT_EQ(g_commands, (std::vector<UINT>{ID_MODE_RECORDER}));
    // An item its update handler disables can't be chosen.
    frame->cutEnabled = false;
    CMenu::SetPopupChooser([](CMenu&) -> UINT { return ID_EDIT_CUT; });
    EXPECT_EQ(popup.TrackPopupMenu(TPM_RETURNCMD, 10, 10, frame), 0);
    CMenu::SetPopupChooser(previous);
}

TEST_F(Frames, ChildPlacementRoundTripsInEveryState)
{
    PlotChild* a = NewChild("A", CRect(20, 30, 320, 230));
    PlotChild* b = NewChild("B", CRect(40, 50, 240, 200));
    AfxPumpMessages();

    WINDOWPLACEMENT wp{};
    ASSERT_TRUE(a->GetWindowPlacement(&wp));
    EXPECT_EQ(wp.showCmd, UINT(SW_SHOWNORMAL));
    EXPECT_EQ(CRect(wp.rcNormalPosition), CRect(20, 30, 320, 230));

    WINDOWPLACEMENT set{};
    set.showCmd = SW_SHOWMAXIMIZED;
    set.rcNormalPosition = CRect(15, 25, 415, 325);
    ASSERT_TRUE(b->SetWindowPlacement(&set));
    AfxPumpMessages();
    WINDOWPLACEMENT got{};
    ASSERT_TRUE(b->GetWindowPlacement(&got));
    EXPECT_EQ(got.showCmd, UINT(SW_SHOWMAXIMIZED));
    EXPECT_EQ(CRect(got.rcNormalPosition), CRect(15, 25, 415, 325)) << "the normal rectangle survives maximising";
    BOOL maximized = FALSE;
    EXPECT_EQ(frame->MDIGetActive(&maximized), b);
    EXPECT_TRUE(maximized);

    frame->MDIRestore(b);
    AfxPumpMessages();
    ASSERT_TRUE(b->GetWindowPlacement(&got));
    EXPECT_EQ(got.showCmd, UINT(SW_SHOWNORMAL));
    EXPECT_EQ(CRect(got.rcNormalPosition), CRect(15, 25, 415, 325));

    set.showCmd = SW_SHOWMINIMIZED;
    set.rcNormalPosition = CRect(5, 6, 205, 156);
    ASSERT_TRUE(a->SetWindowPlacement(&set));
    AfxPumpMessages();
    ASSERT_TRUE(a->GetWindowPlacement(&got));
    EXPECT_EQ(got.showCmd, UINT(SW_SHOWMINIMIZED));
    EXPECT_EQ(CRect(got.rcNormalPosition), CRect(5, 6, 205, 156));
}

TEST_F(Frames, MdiActivationIsReportedToBothChildren)
{
    PlotChild* a = NewChild("A", CRect(0, 0, 200, 150));
    PlotChild* b = NewChild("B", CRect(30, 30, 230, 180));
    AfxPumpMessages();
    EXPECT_EQ(frame->MDIGetActive(), b);
    g_activations.clear();
    // Through the MDI client, as the frame's tile code sends it.
    ::SendMessage(frame->m_hWndMDIClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(a->GetSafeHwnd()), 0);
    EXPECT_EQ(frame->MDIGetActive(), a);
    ASSERT_EQ(g_activations.size(), 2u);
    EXPECT_EQ(g_activations[0], std::make_pair(false, a->GetSafeHwnd())); // b loses
    EXPECT_EQ(g_activations[1], std::make_pair(true, a->GetSafeHwnd()));  // a gains
    // Closing the active child leaves the other one active.
    a->DestroyWindow();
    AfxPumpMessages();
    EXPECT_EQ(frame->MDIGetActive(), b);
}

TEST_F(Frames, TileHorizontalStacksChildrenOverTheClientArea)
{
    PlotChild* a = NewChild("A", CRect(0, 0, 100, 100));
    PlotChild* b = NewChild("B", CRect(10, 10, 110, 110));
    frame->MDIMaximize(b);
    ::SendMessage(frame->m_hWndMDIClient, WM_MDITILE, MDITILE_HORIZONTAL, 0);
    AfxPumpMessages();
    const QRect area = QtMdiAreaOf(frame)->viewport()->rect();
    const QRect ga = QtWidgetOf(a)->geometry(), gb = QtWidgetOf(b)->geometry();
    EXPECT_FALSE(b->IsZoomed());
    EXPECT_EQ(ga.width(), area.width());
    EXPECT_EQ(gb.width(), area.width());
    EXPECT_EQ(ga.top(), 0);
    EXPECT_EQ(gb.bottom(), area.height() - 1);
    EXPECT_EQ(ga.height() + gb.height(), area.height());
}

TEST_F(Frames, OwnedToolWindowIsATopLevelToolOfTheFrame)
{
    auto* tool = new CWnd;
    ASSERT_TRUE(tool->CreateEx(WS_EX_TOOLWINDOW, nullptr, "Tools", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                               CRect(0, 0, 200, 80), frame, 0));
    QWidget* w = QtWidgetOf(tool);
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(w->windowType(), Qt::Tool);
    EXPECT_EQ(w->parentWidget(), QtWidgetOf(frame));
    EXPECT_EQ(tool->GetParent(), frame);
    const HWND h = tool->GetSafeHwnd();
    frame->DestroyWindow(); // owned windows go with their owner
    EXPECT_FALSE(IsWindow(h));
    delete tool;
}

TEST_F(Frames, FramePlacementRoundTripsAndTheDesktopHasTheScreensSize)
{
    WINDOWPLACEMENT set{};
    set.showCmd = SW_SHOWNORMAL;
    set.rcNormalPosition = CRect(30, 40, 830, 640);
    ASSERT_TRUE(frame->SetWindowPlacement(&set));
    AfxPumpMessages();
    WINDOWPLACEMENT got{};
    ASSERT_TRUE(frame->GetWindowPlacement(&got));
    EXPECT_EQ(got.length, sizeof(WINDOWPLACEMENT));
    EXPECT_EQ(got.showCmd, UINT(SW_SHOWNORMAL));
    EXPECT_EQ(CRect(got.rcNormalPosition), CRect(30, 40, 830, 640));

    CRect desk;
    CWnd::GetDesktopWindow()->GetWindowRect(&desk);
    EXPECT_EQ(desk.Width(), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(desk.Height(), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(desk.Width(), 0);
}
