// A stand-in main frame for the plot tests: an MDI frame that records what its plot windows
// tell it, and, like the real frame, destroys a plot when it reports closing (if asked to).
#pragma once

#include "records/AppMessages.h"
#include "support/MdiFrameFixture.h"

#include <vector>

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
