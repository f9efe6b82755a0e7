// The frame's calls into its tool windows and status bar, made safe for the moments when a
// tool window does not exist (before OnCreate, after a failed creation, or in a frame built
// without a window).
#include "app/CMainFrame.h"

#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "app/CToolbar2.h"

void CMainFrame::CreateToolWindows()
{
    // Each is in place before it is created: creation may already call back into the frame.
    Toolbar = std::make_unique<CToolbar>();
    if (!Toolbar->Create(this))
        Toolbar.reset();
    Toolbar2 = std::make_unique<CToolbar2>();
    if (!Toolbar2->Create(this))
        Toolbar2.reset();
    StatusBar = std::make_unique<CStatusbar>();
    if (!StatusBar->Create(this))
        StatusBar.reset();
}

void CMainFrame::DeleteToolWindows()
{
    StatusBar.reset();
    Toolbar2.reset();
    Toolbar.reset();
}

void CMainFrame::ToolbarSetMode()
{
    if (Toolbar != nullptr && Toolbar->GetSafeHwnd() != nullptr)
        Toolbar->SetMode(Settings.OpMode);
}

void CMainFrame::ToolbarUpdateState()
{
    if (Toolbar != nullptr && Toolbar->GetSafeHwnd() != nullptr)
        Toolbar->UpdateState(true, true);
}

void CMainFrame::ToolbarUpdateRunButtons()
{
    if (Toolbar != nullptr && Toolbar->GetSafeHwnd() != nullptr)
        Toolbar->UpdateRunButtons();
}

void CMainFrame::ToolbarFillConfigurations()
{
    if (Toolbar != nullptr && Toolbar->GetSafeHwnd() != nullptr)
        Toolbar->FillConfigurations();
}

void CMainFrame::ToolbarFillAveraging()
{
    if (Toolbar != nullptr && Toolbar->GetSafeHwnd() != nullptr)
        Toolbar->FillAveraging();
}

void CMainFrame::StatusbarUpdate(int what)
{
    if (StatusBar != nullptr && StatusBar->GetSafeHwnd() != nullptr)
        StatusBar->Update(what);
}

void CMainFrame::RefreshUtilityButtons()
{
    if (Toolbar2 != nullptr && Toolbar2->GetSafeHwnd() != nullptr)
        Toolbar2->UpdateUtilityButtons();
}

void CMainFrame::ReloadToolWindowBitmaps()
{
    if (Toolbar != nullptr && Toolbar->GetSafeHwnd() != nullptr)
        Toolbar->ReloadBitmaps();
    if (Toolbar2 != nullptr && Toolbar2->GetSafeHwnd() != nullptr)
        Toolbar2->ReloadBitmaps();
}
