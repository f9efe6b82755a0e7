// The status and level bar along the bottom of the main frame: seven text panes (run state,
// mode, rate, bits, channel, FFT size, window function), up to four columns of level meters
// with two input channels each, and a progress bar over the run-state pane.
//
// User-interface thread only. Other threads drive the progress bar by posting
// WM_STATUS_SHOWPROGRESS, WM_STATUS_SETPROGRESS (lParam: position) and WM_STATUS_HIDEPROGRESS.
// The bar reads the frame's state and the input device's levels and ring fill when it paints.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

#include <functional>
#include <memory>
#include <string>

class CDC;
class CMainFrame;

class CStatusbar : public CWnd {
public:
    static constexpr int kHeight = 26;
    static constexpr UINT kWindowId = 103;
    static constexpr UINT kProgressId = 510;

    CStatusbar();
    ~CStatusbar() override;

    using CWnd::Create;
    BOOL Create(CWnd* pParentWnd);
    // 1: the state pane; 2: layout, levels and everything; 3: levels and the meters that changed.
    void Update(int mode);

    void ShowProgress();
    void SetProgress(int position);
    void HideProgress();

    // When set, these stand in for the input device's level of a channel (percent of full
    // scale) and the samples held in its rings (tests, and sources other than the device).
    std::function<int(int channel)> DeviceLevel;
    std::function<DWORD()> RingFill;

    // State shown, for the frame and tests.
    RECT StatePane{}, FftPane{}, RatePane{}, BitsPane{}, ChannelPane{}, WindowPane{}, ModePane{};
    int MeterColumnCount = 1;
    RECT MeterColumns[4]{};
    int Levels[8]{};
    int PreviousLevels[8]{};
    CProgressCtrl* Progress() const { return progress_.get(); }
    // The texts the panes show now (empty when blank).
    std::string StateText(COLORREF* colour = nullptr) const;
    std::string ModeText() const;
    void InfoTexts(std::string& rate, std::string& bits, std::string& channel, std::string& fft,
                   std::string& window) const;

    // The progress position last set, shared by the whole program.
    static int LastProgressPosition;

protected:
    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnShowProgressMsg(WPARAM, LPARAM);
    LRESULT OnHideProgressMsg(WPARAM, LPARAM);
    LRESULT OnSetProgressMsg(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    CMainFrame* Frame() const;
    void RecalcLayout();
    void ComputeMeterColumns();
    void UpdateLevels();
    void PositionProgress();
    void DrawPaneFrame(CDC& dc, const RECT& r);
    void DrawMeters(CDC& dc);
    void DrawMeterBar(CDC& dc, const RECT& column, int level, bool upper);

    std::unique_ptr<CProgressCtrl> progress_;
    // The run-state text and colour last painted: a step that leaves them as they were
    // repaints nothing.
    std::string m_paintedState;
    COLORREF m_paintedStateColour = 0;
    CFont m_font; // the panes' Arial 15
    // Where the mode and the five channel texts ended when last drawn.
    int m_textRight[6]{};
};
