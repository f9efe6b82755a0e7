// The application object starts its main frame headless, and the frame closes cleanly.
#include "app/CMainFrame.h"
#include "app/CTervaneApp.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Resources.h"
#include "res/resource.h"


#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>

#include <cstdlib>

TEST(Application, StartsTheMainFrameAndClosesIt)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    CTervaneApp app;
    char prog[] = "Durnex";
    char* argv[] = {prog, nullptr};
    app.InitApplicationState(1, argv);
    ASSERT_TRUE(app.InitInstance());
    auto* frame = dynamic_cast<CMainFrame*>(app.m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(AfxGetMainWnd(), frame);
    AfxPumpMessages();

    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(frame->GetWindowTextString(), "QLM436 - Quenrith Analyzer");
    ASSERT_NE(frame->GetMdiArea(), nullptr);
    EXPECT_TRUE(frame->GetMdiArea()->subWindowList().isEmpty());
    ASSERT_NE(frame->GetMenu(), nullptr);
    EXPECT_EQ(frame->GetMenu()->GetMenuString(0, MF_BYPOSITION), "&File");
    EXPECT_EQ(frame->GetMainWindow()->menuBar()->actions().size(), int(frame->GetMenu()->GetMenuItemCount()));
    EXPECT_EQ(GetMessageBoxDefaultCaption(), "KDR-5200");

    // On a real display, DURNEX_SCREENSHOT names a PNG file for a picture of the whole screen.
    if (const char* shot = std::getenv("DURNEX_SCREENSHOT")) {
        AfxPumpMessages(500);
        QScreen* screen = QGuiApplication::primaryScreen();
        ASSERT_NE(screen, nullptr);
        EXPECT_TRUE(screen->grabWindow(0).save(QString::fromLocal8Bit(shot)));
    }

    // File/Exit closes the frame; its destruction ends the application's loop.
    const HWND h = frame->GetSafeHwnd();
    frame->ExecuteCommand(ID_APP_EXIT);
    AfxPumpMessages(20);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.ExitInstance(), 0);
}
