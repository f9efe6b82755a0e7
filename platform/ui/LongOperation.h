// Long operations on the user-interface thread.
//
// Long loops look at the main window's queue between steps with PeekMessage: a key
// message is removed and checked for Esc; a pending left-button press cancels too. Here
// PeekMessage (platform/ui/Wnd.h) lets Qt run paints meanwhile, so windows stay drawn, while
// every key and mouse event is held in a queue of its own instead of being dispatched; timers
// and posted messages wait until the loop is over. Input left in that queue when the
// operation ends is dropped, as a busy program's stale clicks should be.
#pragma once

#include "platform/ui/Wnd.h"

// The cursor shows the wait shape while an object lives (nested ones count).
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    void Restore();
};

// The check such loops make after each step, in one call: 1 when Esc was pressed
// (a key message for `wnd` or its children is removed and its key is VK_ESCAPE), 2 when a
// left-button press is pending there, else 0.
enum class CancelRequest { None = 0, Escape = 1, Click = 2 };
CancelRequest AfxCheckCancel(CWnd* wnd);

// True while PeekMessage lets Qt run (timers and posted messages wait meanwhile).
bool PeekFilterActive();
// For tests: queues input for `wnd` as if the user had pressed a key (WM_KEYDOWN/WM_KEYUP
// through Qt's event queue), so a long operation's PeekMessage sees it.
void AfxPostKeyPress(CWnd* wnd, UINT vk);
void AfxPostLeftClick(CWnd* wnd, POINT clientPoint);
