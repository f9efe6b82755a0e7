#include "plots/PlotClipboard.h"

#include "records/CommonRoutines.h"
#include "platform/core/GlobalMemory.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/LongOperation.h"

#include <cstdio>
#include <cstring>

std::array<char, kLinkBlockSize> MakeLinkBlock(const char* linkTemplate)
{
    std::array<char, kLinkBlockSize> block{};
    if (!linkTemplate)
        return block;
    std::strncpy(block.data(), linkTemplate, kLinkBlockSize - 1);
    for (int i = 0; i < 120; ++i)
        if (block[static_cast<size_t>(i)] == ';')
            block[static_cast<size_t>(i)] = '\0';
    return block;
}

bool CopyTableToClipboard(const void* owner, const std::string& text, const char* linkTemplate,
                          const char* memoryMessage, UINT icon)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    // The block is sized to the text: rows are as wide as their numbers need.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    if (!block) {
        CloseClipboard();
        MessageBoxA(owner, memoryMessage ? memoryMessage : "", "", MB_OK | icon);
        return false;
    }
    {
        CWaitCursor wait;
        char* p = static_cast<char*>(GlobalLock(block));
        if (p) {
            std::memcpy(p, text.data(), text.size());
            p[text.size()] = '\0';
        }
        GlobalUnlock(block);
    }
    SetClipboardData(CF_TEXT, block);
    const UINT linkFormat = RegisterClipboardFormat("Link");
    // Without memory for the link the text stands alone, which readers of text accept.
    if (HGLOBAL link = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kLinkBlockSize); link && linkFormat) {
        const auto bytes = MakeLinkBlock(linkTemplate);
        if (char* p = static_cast<char*>(GlobalLock(link)))
            std::memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(link);
        SetClipboardData(linkFormat, link);
    } else if (link) {
        GlobalFree(link);
    }
    CloseClipboard();
    return true;
}

std::string LocalizedNumber(const char* format, double value)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, value);
    LocalizeDecimalPoint(buffer, static_cast<int>(std::strlen(buffer)));
    return buffer;
}
