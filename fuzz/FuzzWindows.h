// What the fuzz targets of result windows share: Qt's offscreen platform, the application and
// one MDI frame made once for the process, and drawing a window's whole client area now.
#pragma once

#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"

#include <cstdlib>

namespace fuzz {

// The frame the result windows are children of; made at the first call.
inline CMDIFrameWnd* Frame()
{
    static CMDIFrameWnd* frame = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
        static CWinApp app;
        auto* made = new CMDIFrameWnd;
        if (!made->LoadFrame(IDR_MAINFRAME))
            std::abort();
        app.m_pMainWnd = made;
        made->MoveWindow(0, 0, 700, 500);
        made->ShowWindow(SW_SHOW);
        AfxPumpMessages();
        return made;
    }();
    return frame;
}

// Paints the whole window at once, as a screen update would.
inline void Redraw(CWnd* wnd)
{
    wnd->Invalidate();
    wnd->UpdateWindow();
    AfxPumpMessages();
}

} // namespace fuzz

// Fontconfig and FreeType keep caches for the life of the process and never free them, and the
// window layer's standard cursors live as long: none of these is a leak of the code under test.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libfreetype\nleak:StandardCursor\nleak:libdbus-1\n";
}
