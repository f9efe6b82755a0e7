#include "utilities/ResultWindowSupport.h"

#include "platform/core/GlobalMemory.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Wnd.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

bool TrackCopyPopup(CWnd* grid, int x, int y)
{
    if (!grid || !grid->GetSafeHwnd())
        return false;
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return false;
    menu.AppendMenu(MF_STRING, 101, "Copy to clipboard");
    POINT p{x, y};
    grid->ClientToScreen(&p);
    const BOOL chosen = menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, p.x, p.y,
                                            grid->GetParent() ? grid->GetParent() : grid);
    return chosen == 101;
}

bool CopyResultText(const void* owner, const std::string& text, std::size_t blockBytes, const char* memoryMessage)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const std::size_t bytes = std::max(blockBytes, text.size() + 1);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    char* p = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (!p) {
        if (block)
            GlobalFree(block);
        AfxMessageBox(memoryMessage, MB_OK | MB_ICONERROR);
        CloseClipboard();
        return false;
    }
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    const bool placed = SetClipboardData(CF_TEXT, block) != nullptr;
    CloseClipboard();
    return placed;
}

std::string Printf(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

void SetClientSize(CWnd* wnd, int width, int height)
{
    // The platform sizes a top-level window by its client area; should one count the frame, the
    // second request makes up for it. Asked the other way round, the first request would ask
    // for a window larger by the frame, and a window manager that carries it out late reports
    // that size: the size rules take it for the user's and the window grows on.
    RECT client{};
    int w = width;
    int h = height;
    for (int pass = 0; pass < 2; ++pass) {
        wnd->SetWindowPos(nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
        wnd->GetClientRect(&client);
        const int dw = width - (client.right - client.left);
        const int dh = height - (client.bottom - client.top);
        if (dw == 0 && dh == 0)
            return;
        w += dw;
        h += dh;
    }
}

RECT FitGridToWholeRows(CWnd* wnd, CWnd* grid, int rows, int columns, int cx, int cy, int minRow, int maxRow,
                        int columnPadding, int& rowHeight)
{
    RECT client{};
    wnd->GetClientRect(&client);
    if (cx < 0 || cy < 0) {
        cx = client.right - client.left;
        cy = client.bottom - client.top;
    }
    rows = std::max(1, rows);
    rowHeight = std::clamp((cy - 20) / rows, minRow, maxRow);
    const int minWidth = (rowHeight * 2 + columnPadding) * columns;
    const int wantedClient = rows * rowHeight + 20;
    if (cx < minWidth || cy != wantedClient) {
        SetClientSize(wnd, std::max(cx, minWidth), wantedClient);
        wnd->GetClientRect(&client);
    }
    const int gridBottom = std::max(0, static_cast<int>(client.bottom) - 20);
    grid->MoveWindow(0, 0, client.right, gridBottom, FALSE);
    return client;
}
