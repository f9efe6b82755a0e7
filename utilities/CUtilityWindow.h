// A frame-owned tool window of a utility (results windows, the generator).
//
// The frame owns the object: deleting it closes the window. The window never closes itself:
// its close box sends WM_UTILITY_CLOSING to the frame (lParam = this object), which records
// the placement and deletes it.
//
// While a utility's measurement is not built, its window says so in its client area instead of
// showing numbers.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Wnd.h"

#include <string>

class CUtilityWindow : public CWnd {
public:
    CUtilityWindow() = default;
    ~CUtilityWindow() override;

    // The text shown in the client area.
    const std::string& GetNote() const { return m_note; }
    CWnd* GetFrame() const { return m_frame; }

protected:
    // A tool window owned by `frame` at (x, y) with the given client size.
    BOOL CreateToolWindow(CWnd* frame, int x, int y, int width, int height, LPCSTR title);
    void SetNote(std::string note);

    void OnPaint();
    void OnClose();
    DECLARE_MESSAGE_MAP()

private:
    CWnd* m_frame = nullptr;
    std::string m_note;
};
