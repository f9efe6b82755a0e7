// A test suite's main frame: an MDI frame of type Frame loaded from the main-frame resources,
// shown (at width x height from the screen's corner when a size is given) and made the
// application's main window; it is destroyed after each test unless the test did so.
#pragma once

#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include <gtest/gtest.h>

template <class Frame, int Width = 0, int Height = 0> class MdiFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    void SetUp() override
    {
        frame = new Frame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
        app.m_pMainWnd = frame;
        if (Width > 0 && Height > 0)
            frame->MoveWindow(0, 0, Width, Height);
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
    CWinApp app;
    Frame* frame = nullptr;
    HWND hFrame = nullptr;
};
