// What the time-series and phase plots share around their pictures: the tool strip's toggle
// button, the horizontal scroll bar, the read-out font, the value window, the right-click menu
// of a measuring-cursor drag, and the commands that only copy, toggle or ask the frame. The
// drags themselves (measuring cursor, zoom and selection rubber bands) are the plot base's.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

class CDataView;
class SpectralData;

template <class Base> class TToolStripPlot : public Base {
public:
    // Command and control ids both windows use.
    enum : UINT {
        kToggle = 1410, kScrollBarId = 1420, kProperties = 1500, kHelp = 1501, kCopyBitmap = 1502,
        kCopyCursor = 1503,
    };
    static constexpr UINT kPlotOptionsCommand = 57768;
    static constexpr int kScrollHeight = 12;

    CDataView* GetDataView() const { return m_dataView.get(); }
    CScrollBar* GetPlotScrollBar() const { return m_scroll.get(); }

protected:
    TToolStripPlot();
    ~TToolStripPlot() override;

    // Keeps the title, creates the window and then its controls; m_creating holds meanwhile.
    BOOL CreateWithControls(LPCSTR title, DWORD style, const RECT* rect);
    // The strip's toggle button and the scroll bar, in the read-out font.
    void CreateToggleAndScroll();
    // The MDI frame, or the main window of a window made without one.
    CWnd* Frame() const;

    // The menu a right click opens while the measuring cursor is held: the read-outs as they
    // show (differences in delta mode) or the picture to the clipboard; then the drag ends as
    // if the left button had been released at `client`.
    void TrackCursorMenu(CPoint client, const char* xName, const char* yName);
    // Closes an open value window, or opens one on the source; the new window, or null.
    CDataView* ToggleDataView(SpectralData* source, int index, bool composite, int kind);
    // A tick label of at most maxChars characters, NUL-padded.
    static void CopyTickLabel(char (&to)[12], const char* from, std::size_t maxChars)
    {
        std::memset(to, 0, sizeof to);
        std::memcpy(to, from, std::min({std::strlen(from), maxChars, sizeof to - 1}));
    }

    void OnPaint();
    void OnRButtonUp(UINT, CPoint) {}
    LRESULT OnDataViewClosing(WPARAM wParam, LPARAM lParam);
    void OnProperties();
    void OnHelp() {}
    void OnPullCursor();
    // The picture without the toggle button over it.
    void OnCopyBitmap();

    std::string m_title;
    bool m_creating = false;
    std::unique_ptr<CDataView> m_dataView;
    std::unique_ptr<CButton> m_toggle;
    // The horizontal scroll bar and the read-out font: the window's own until the plot base
    // provides them.
    std::unique_ptr<CScrollBar> m_scroll;
    CFont m_font;
    int m_fontHeight = 14;
};

#include "plots/TChannelPlot.h"

// Defined once, in TToolStripPlot.cpp.
extern template class TToolStripPlot<TChannelPlot<PhasePlotSettings>>;
extern template class TToolStripPlot<TSettingsPlot<TimeSeriesPlotSettings>>;
