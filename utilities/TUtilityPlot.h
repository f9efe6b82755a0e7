// A utility window drawn as a plot: an MDI child that the frame owns and deletes. Closing it
// asks the frame (WM_UTILITY_CLOSING), which asks QuerySave, records the placement and
// deletes the window. A window that runs a test has a progress bar in its tool strip with a
// line of text above it, and asks before unsaved results are thrown away.
#pragma once

#include "plots/TPlotBase.h"
#include "platform/ui/Controls.h"

#include <functional>
#include <memory>
#include <string>

class TUtilityPlot : public TPlotBase {
public:
    // True: nothing has changed, so the window may close.
    virtual bool QuerySave() { return true; }

protected:
    // frame: the window told of the close; null is the main window.
    BOOL CreateUtilityWindow(LPCSTR title, DWORD style, const RECT& rect, CWnd* frame);
    // A window busy with a test is not closed (the test ends with its own Esc).
    virtual bool IsBusy() const { return false; }
    void OnClose();

    // The save question of a test's results: true at once when nothing is unsaved or the
    // prompt is off; Cancel keeps them; Yes saves and lets them go only once they are saved;
    // No lets them go (the file name with them).
    bool AskToSaveResults(const char* question, BYTE& modified, bool prompt, std::string& fileName,
                          const std::function<void()>& save);

    // The progress bar (hidden) at `bar`, its text strip the 18 pixels above it.
    void CreateProgress(const CRect& bar, UINT id);
    void ShowProgress();
    // Moves the bar and shows the text; true when Esc was pressed for this window or the main
    // window meanwhile.
    bool SetProgressAndPoll(int percent, const char* text);
    void HideProgress();
    // The text strip, on the window's own surface (not when printing).
    void DrawProgressText(CDC* dc, CFont* font);
    DECLARE_MESSAGE_MAP()

private:
    CWnd* m_frame = nullptr;
    std::unique_ptr<CProgressCtrl> m_progress;
    CRect m_progressBar;
    std::string m_progressText;
};
