// A stand-in main frame for the plot tests: an MDI frame that records what its plot windows
// tell it, and, like the real frame, destroys a plot when it reports closing (if asked to).
#pragma once

#include "platform/ui/GdiWindowDC.h"
#include "records/AppMessages.h"
#include "support/MdiFrameFixture.h"
#include "support/QtTestAccess.h"

#include <gtest/gtest.h>

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

// Every shown control of a window's tool strip lies within the window's width, above `below`
// and clear of the others, where the user can reach it. Returns how many were shown.
inline std::size_t ExpectControlsWithinReach(CWnd* window, const std::vector<CWnd*>& controls, int below)
{
    CRect client;
    window->GetClientRect(&client);
    std::vector<CRect> placed;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        CWnd* c = controls[i];
        EXPECT_NE(c, nullptr) << "control " << i;
        if (!c || !c->IsWindowVisible())
            continue;
        CRect r;
        c->GetWindowRect(&r);
        window->ScreenToClient(&r);
        EXPECT_TRUE(r.left >= 0 && r.right <= client.right) << "control " << i << ": " << r.left << ".." << r.right;
        EXPECT_LE(r.bottom, below) << "control " << i;
        for (const CRect& other : placed) {
            CRect meet;
            EXPECT_FALSE(meet.IntersectRect(&r, &other)) << "control " << i;
        }
        placed.push_back(r);
    }
    return placed.size();
}

// Dark pixels (text's ink) in a rectangle of a window's own picture, after it has painted.
inline int InkIn(CWnd* w, const CRect& r)
{
    w->UpdateWindow();
    AfxPumpMessages();
    CClientDC dc(w);
    int ink = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const COLORREF c = dc.GetPixel(x, y);
            if (c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128)
                ++ink;
        }
    return ink;
}

// A plot made a few pixels taller than its tool strip, at a series of heights: the title on its
// side left of the panes never reaches into the strip's rows, which show just what they show in
// a tall window. `sideBand` is how far from the left edge that title's ink may stand.
template <class Plot> void ExpectSideTitleBelowTheStrip(Plot* p, int sideBand, int tallHeight)
{
    const auto resize = [p](int height) {
        p->MoveWindow(0, 0, 700, height);
        p->UpdateLayout();
        p->Invalidate();
    };
    resize(tallHeight);
    CRect outer, client;
    p->GetWindowRect(&outer);
    p->GetClientRect(&client);
    const int frame = outer.Height() - client.Height();
    const CRect strip(0, 0, sideBand, p->GetToolStripHeight());
    const int stripInk = InkIn(p, strip);
    // The title shows below the strip in the tall window.
    EXPECT_GT(InkIn(p, CRect(0, strip.bottom + 16, sideBand, client.bottom)), 0) << "no title drawn";
    for (int extra = 4; extra <= 160; extra += 12) {
        resize(p->GetToolStripHeight() + extra + frame);
        SCOPED_TRACE(testing::Message() << extra << " pixels below the strip");
        EXPECT_EQ(InkIn(p, strip), stripInk);
    }
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
