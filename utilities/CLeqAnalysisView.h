// The Leq window: one TLeqCalc per input channel on view, fed 8192-sample blocks every 0.1 s
// of the channel's samples (every 2048 samples at rates above 20480 Hz, so that the blocks'
// windows overlap enough to weigh every sample alike) from the start or Reset on, however
// the channel's FFT size, overlap and decimation move the frame on and whether or not the
// frame analyses every block. Its results (over the whole run since the start or Reset) are
// recalculated at the chosen interval and when the run stops, and shown in a grid (LeqT, Leq,
// Lsel, Lpk, Lmax, Lmin, L10, L50, L90). Data logging reads the nine results.
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

    CLeqAnalysisView() = default;
    ~CLeqAnalysisView() override;

    // The window is placed at (left, top).
    BOOL Create(CWnd* frame, int left, int top, int right, int bottom);
    void SetHost(const UtilityHost& host) { m_host = host; }

    virtual void SetupWindow();
    void Reset();
    // After every processed block (false) and when a run stops (true).
    void Process(bool final);
    // Samples between the blocks fed at `rate`: 0.1 s, at most a quarter block.
    static long long HopSamples(DWORD rate);
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
    UtilityHost::SampleClock Clock(int channel) const;
    // Feeds the channel's blocks that end by `now` (a sample number) and, when `final`, the
    // rest up to `now`, zeros past it; true when any was fed.
    bool Feed(int channel, long long now, DWORD rate, bool final);
    // Reads the block at the channel's next block start, zeros outside [start, end).
    UtilityHost::SampleRead ReadBlock(int channel, long long end);
    // The seconds of the run whose energy the channel's calculator holds whole.
    double Covered(int channel, DWORD rate) const;

    struct Channel {
        std::vector<float> buffer;
        BYTE computed = 0;
        std::unique_ptr<TLeqCalc> calc;
        // Sample numbers: the start (-1: the next Process sets it) and the first sample of the
        // next block to feed. Blocks lie every hop from the start, beginning with those that
        // reach back past it, so that every sample of the run weighs alike.
        long long start = -1;
        long long nextBlock = 0;
        long long closedAt = -1; // where a final feed ended the blocks
        double lost = 0.0;       // seconds of samples a live ring lost, for the next block
        double lastRecalc = 0.0; // seconds of samples
    };
    void Begin(Channel& c, long long start, DWORD rate);

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
