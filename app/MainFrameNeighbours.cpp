// The frame's calls into its tool windows and status bar, made safe for the moments when a
// tool window does not exist (before OnCreate, after a failed creation, or in a frame built
// without a window).
#include "app/CMainFrame.h"

#include "app/CStatusbar.h"
#include "app/CToolbar.h"
#include "app/CToolbar2.h"

void CMainFrame::CreateToolWindows()
{
    if (!Own(m_owned.toolbar, Toolbar, new CToolbar)->Create(this))
        Drop(m_owned.toolbar, Toolbar);
    if (!Own(m_owned.toolbar2, Toolbar2, new CToolbar2)->Create(this))
        Drop(m_owned.toolbar2, Toolbar2);
    if (!Own(m_owned.statusBar, StatusBar, new CStatusbar)->Create(this))
        Drop(m_owned.statusBar, StatusBar);
}

void CMainFrame::DeleteToolWindows()
{
    Drop(m_owned.statusBar, StatusBar);
    Drop(m_owned.toolbar2, Toolbar2);
    Drop(m_owned.toolbar, Toolbar);
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
