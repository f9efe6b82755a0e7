#include "plots/PlotTextClipboard.h"

#include "records/CommonRoutines.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/GdiWindowDC.h"
#include "platform/ui/LongOperation.h"
#include "platform/ui/Wnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

std::array<char, 128> BuildPlotLinkBlock(const char* linkTemplate)
{
    std::array<char, 128> block{};
    if (linkTemplate)
        std::memcpy(block.data(), linkTemplate, std::min(std::strlen(linkTemplate), block.size() - 1));
    for (std::size_t i = 0; i < 120; ++i)
        if (block[i] == ';')
            block[i] = '\0';
    return block;
}

bool CopyPlotTextToClipboard(const void* owner, const std::string& text, const char* linkTemplate,
                             const char* memoryMessage, UINT icon)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    HGLOBAL textBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    char* p = textBlock ? static_cast<char*>(GlobalLock(textBlock)) : nullptr;
    if (!p) {
        if (textBlock)
            GlobalFree(textBlock);
        AfxMessageBox(memoryMessage, MB_OK | icon);
        CloseClipboard();
        return false;
    }
    CWaitCursor wait;
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(textBlock);
    const bool placed = SetClipboardData(CF_TEXT, textBlock) != nullptr;
    // The text alone is a sound outcome when the link block cannot be had.
    if (HGLOBAL link = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 128)) {
        if (char* l = static_cast<char*>(GlobalLock(link))) {
            const std::array<char, 128> bytes = BuildPlotLinkBlock(linkTemplate);
            std::memcpy(l, bytes.data(), bytes.size());
            GlobalUnlock(link);
            SetClipboardData(RegisterClipboardFormatA("Link"), link);
        } else {
            GlobalFree(link);
        }
    }
    CloseClipboard();
    return placed;
}

std::string FormatPlotNumber(const char* format, double value)
{
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    LocalizeDecimalPoint(text, static_cast<int>(std::strlen(text)));
    return text;
}

bool CopyPlotBitmapToClipboard(CWnd* wnd, int top)
{
    if (!wnd || !wnd->GetSafeHwnd())
        return false;
    CRect client;
    wnd->GetClientRect(&client);
    const int w = client.Width(), h = client.Height() - top;
    if (w <= 0 || h <= 0)
        return false;
    wnd->UpdateWindow();
    CClientDC screen(wnd);
    CDC memory;
    if (!memory.CreateCompatibleDC(&screen))
        return false;
    CBitmap picture;
    if (!picture.CreateCompatibleBitmap(&screen, w, h))
        return false;
    CBitmap* old = memory.SelectObject(&picture);
    memory.BitBlt(0, 0, w, h, &screen, 0, top, SRCCOPY);
    memory.SelectObject(old);
    if (!OpenClipboard(wnd))
        return false;
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_BITMAP, reinterpret_cast<HANDLE>(picture.Detach())) != nullptr;
    CloseClipboard();
    return placed;
}

bool CopyCursorValuesToClipboard(const void* owner, const char* xName, double x, const char* yName, double y)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s=\t%5.4f\r\n%s=\t%5.4f\r\n", xName, x, yName, y);
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    bool placed = false;
    const std::size_t size = std::strlen(text) + 1;
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)) {
        if (char* p = static_cast<char*>(GlobalLock(block))) {
            std::memcpy(p, text, size);
            GlobalUnlock(block);
            placed = SetClipboardData(CF_TEXT, block) != nullptr;
        } else {
            GlobalFree(block);
        }
    }
    CloseClipboard();
    return placed;
}
