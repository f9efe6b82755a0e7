// A stand-in main frame for the plot tests: an MDI frame that records what its plot windows
// tell it, and, like the real frame, destroys a plot when it reports closing (if asked to).
#pragma once

#include "records/AppMessages.h"
#include "support/MdiFrameFixture.h"
#include "support/QtTestAccess.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

// Types `text` into a plot's value box key by key, as the user does, and lets the typing pause
// pass (messages pumped meanwhile). Returns what the box showed after each key, for checking
// that the window never wrote into it under the caret.
inline std::vector<std::string> TypeAndPause(CWnd* box, const std::string& text)
{
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // The first key replaces what the box held, as after a click and a select-all.
        const std::string key = text.substr(i, 1);
        i == 0 ? QtTypeInto(box, key) : QtTypeKeys(box, key);
        AfxPumpMessages();
        shown.push_back(box->GetWindowTextString());
    }
    for (int i = 0; i < 60; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        AfxPumpMessages();
    }
    return shown;
}

// The prefixes of `text`: what a box shows while `text` is typed into it.
inline std::vector<std::string> Prefixes(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t i = 1; i <= text.size(); ++i)
        out.push_back(text.substr(0, i));
    return out;
}

class RecordingFrame : public CMDIFrameWnd {
public:
    std::vector<LPARAM> closing;
    std::vector<LPARAM> activated;
    bool destroyOnClosing = false;

    LRESULT OnPlotClosing(WPARAM, LPARAM lParam)
    {
        closing.push_back(lParam);
        if (destroyOnClosing && lParam)
            reinterpret_cast<CWnd*>(lParam)->DestroyWindow();
        return 1;
    }
    LRESULT OnPlotActivated(WPARAM, LPARAM lParam)
    {
        activated.push_back(lParam);
        return 1;
    }
    DECLARE_MESSAGE_MAP()
};

class PlotWindows : public MdiFrameTest<RecordingFrame, 1000, 800> {
protected:
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW;
};
