// A stand-in main frame for the plot tests: an MDI frame that records what its plot windows
// tell it, and, like the real frame, destroys a plot when it reports closing (if asked to).
#pragma once

#include "app/AppMessages.h"
#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <vector>

class RecordingFrame : public CMDIFrameWnd {
public:
    std::vector<LPARAM> closing;
    std::vector<LPARAM> activated;
    bool destroyOnClosing = false;

    LRESULT OnPlotClosing(WPARAM, LPARAM lParam)
    {
        closing.push_back(lParam);
        if (destroyOnClosing && lParam)
            reinterpret_cast<CWnd*>(lParam)->DestroyWindow();
        return 1;
    }
    LRESULT OnPlotActivated(WPARAM, LPARAM lParam)
    {
        activated.push_back(lParam);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};

class PlotWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    void SetUp() override
    {
        frame = new RecordingFrame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
        app.m_pMainWnd = frame;
        frame->MoveWindow(0, 0, 1000, 800);
        frame->ShowWindow(SW_SHOW);
        hFrame = frame->GetSafeHwnd();
        AfxPumpMessages();
    }
    void TearDown() override
    {
        if (CWnd::FromHandle(hFrame))
            frame->DestroyWindow();
        app.m_pMainWnd = nullptr;
        AfxPumpMessages();
    }
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW;
    CWinApp app;
    RecordingFrame* frame = nullptr;
    HWND hFrame = nullptr;
};
