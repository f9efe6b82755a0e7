// A whole main frame, headless, in a scratch data folder, that records the commands it is
// sent and the configurations it is asked to load. Commands listed in `swallow` are recorded
// and not run (so that their dialogs do not open).
#pragma once

#include "records/AppMessages.h"
#include "app/CMainFrame.h"
#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "app/CToolbar2.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/Resources.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include "support/ScriptedUser.h"
#include "TestScratch.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace layouttest {

class RecordingFrame : public CMainFrame {
public:
    std::vector<UINT> commands;
    std::set<UINT> swallow;
    bool forceEnable = false;
    std::vector<std::string> loads;

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        const UINT id = LOWORD(wParam);
        commands.push_back(id);
        if (swallow.count(id))
            return TRUE;
        return CMainFrame::OnCommand(wParam, lParam);
    }
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override
    {
        if (forceEnable && nCode == CN_UPDATE_COMMAND_UI && pExtra && !pHandlerInfo) {
            static_cast<CCmdUI*>(pExtra)->Enable(TRUE);
            return TRUE;
        }
        return CMainFrame::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_LOAD_CONFIGURATION) {
            loads.emplace_back(reinterpret_cast<const char*>(lParam));
            return 0;
        }
        return CMainFrame::WindowProc(message, wParam, lParam);
    }
};

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
        CDialog::ClearModalScripts();
        dir = apptest::FreshScratchFolder("layout");
        std::filesystem::create_directories(dir / "bin");
        CMainFrame::SetModulePath((dir / "bin" / "Durnex").string());
        apptest::ResetFrameStatics();
        user = std::make_unique<Responder>();
        app = std::make_unique<CWinApp>();
        frame = new RecordingFrame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME, 0x02FF8000));
        hFrame = frame->GetSafeHwnd();
        app->m_pMainWnd = frame;
        frame->ShowWindow(SW_SHOW);
        Resize(1000, 700);
    }
    void TearDown() override
    {
        if (IsWindow(hFrame)) {
            if (frame->PrinterDevMode)
                GlobalFree(frame->PrinterDevMode);
            if (frame->PrinterDevNames)
                GlobalFree(frame->PrinterDevNames);
            frame->PrinterDevMode = frame->PrinterDevNames = nullptr;
            frame->DestroyWindow();
        }
        AfxPumpMessages(10);
        app.reset();
        user.reset();
        CDialog::ClearModalScripts();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Sizes the frame so that its client area is w x h.
    void Resize(int w, int h)
    {
        QWidget* client = QtClientWidgetOf(frame);
        QWidget* outer = QtWidgetOf(frame)->window();
        for (int i = 0; i < 3; ++i) {
            const int dw = outer->width() - client->width();
            const int dh = outer->height() - client->height();
            outer->resize(w + dw, h + dh);
            AfxPumpMessages(10);
            if (client->width() == w && client->height() == h)
                break;
        }
    }
    // A child's rectangle in the frame's client coordinates.
    RECT InFrame(CWnd* wnd) const
    {
        RECT r{};
        wnd->GetWindowRect(&r);
        frame->ScreenToClient(&r);
        return r;
    }
    QImage ClientPicture() const
    {
        AfxPumpMessages(10);
        return QtClientPictureOf(frame);
    }
    void ShowAllToolWindows()
    {
        if (!frame->Settings.Main)
            frame->OnToggleMainToolbar();
        if (!frame->Settings.Buttons)
            frame->OnToggleSecondaryToolbar();
        if (!frame->Settings.Statusbar)
            frame->OnToggleStatusbar();
        AfxPumpMessages(10);
    }
    UINT MenuState(UINT id) const { return frame->GetMenu()->GetMenuState(id, MF_BYCOMMAND); }

    std::filesystem::path dir;
    std::unique_ptr<Responder> user;
    std::unique_ptr<CWinApp> app;
    RecordingFrame* frame = nullptr;
    HWND hFrame = nullptr;
};

inline bool SameRect(const RECT& a, int l, int t, int r, int b)
{
    return a.left == l && a.top == t && a.right == r && a.bottom == b;
}

inline std::string RectText(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

inline unsigned Rgb(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFFu; }

} // namespace layouttest
