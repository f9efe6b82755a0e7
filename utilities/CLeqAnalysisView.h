// The Leq window: one TLeqCalc per input channel on view, fed the channel's newest 8192
// samples at most every 0.1 s while a run goes, its results (over the whole run since the
// start or Reset) recalculated at the chosen interval and when the run stops, shown in a
// grid (LeqT, Leq, Lsel, Lpk, Lmax, Lmin, L10, L50, L90). Data logging reads the nine results.
//
// The frame owns the window (see CUtilityWindow) and hands it a UtilityHost at Create.
//
// Threads: user-interface thread only.
#pragma once

#include "utilities/CDataGrid.h"
#include "utilities/CUtilityWindow.h"
#include "utilities/TLeqCalc.h"
#include "utilities/UtilityHost.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class CLeqAnalysisView : public CUtilityWindow {
public:
    static constexpr UINT kGridId = 101;
    static constexpr UINT kOptions = 102;
    static constexpr UINT kReset = 103;
    static constexpr UINT kCopy = 104;
    static constexpr float kNoStart = -9999.0f;

    CLeqAnalysisView() = default;
    ~CLeqAnalysisView() override;

    // The window is placed at (left, top).
    BOOL Create(CWnd* frame, int left, int top, int right, int bottom);
    void SetHost(const UtilityHost& host) { m_host = host; }

    virtual void SetupWindow();
    void Reset();
    // After every processed block (false) and when a run stops (true).
    void Process(bool final);
    int CountComputedChannels();
    void FillGrid();
    void UpdateValues();
    void SetupCalculators();
    bool CopyLeqToClipboard();
    std::string ClipboardText() const;
    void OnOptions();

    // The nine results of a channel; false when the window does not compute it.
    bool GetResults(int channel, float out[TLeqCalc::kResults]) const;
    const TLeqCalc* GetCalculator(int channel) const;
    CDataGrid* GetGrid() const { return m_grid.get(); }

protected:
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnGridRButton(WPARAM wParam, LPARAM lParam);
    void OnResetButton() { Reset(); }
    void OnCopyButton() { CopyLeqToClipboard(); }
    DECLARE_MESSAGE_MAP()

private:
    using CUtilityWindow::Create; // the window's own Create replaces the generic one
    // Sizes the window by the rule of its rows; cx, cy: the client size (-1: as it is now).
    void ApplySizeRule(int cx = -1, int cy = -1);
    double Now(int channel) const;
    // Half a Leq block of the channel's samples, in seconds.
    double HalfBlockSeconds(int channel) const;

    struct Channel {
        std::vector<float> buffer;
        BYTE computed = 0;
        std::unique_ptr<TLeqCalc> calc;
        float start = kNoStart;
        float lastFeed = 0.0f;
        float lastRecalc = 0.0f;
        double middle = 0.0; // of the last block fed, seconds after the start
    };

    UtilityHost m_host;
    std::unique_ptr<CDataGrid> m_grid;
    std::unique_ptr<CButton> m_buttons[3];
    CFont m_font;
    std::array<Channel, 8> m_channels;
    int m_rowHeight = 16;
    int m_minRowHeight = 16;
    int m_maxRowHeight = 48;
    bool m_sizing = false;
};
