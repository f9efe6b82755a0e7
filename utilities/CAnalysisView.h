// The results window of one single-number utility (THD, THD+N, IMD, SNR, SINAD, peak
// frequency, peak level, total power, tachometer RPM): a grid with a header row and one row
// per channel on view, refreshed after every processed block. A right click offers "Copy to
// clipboard".
//
// The frame owns the window (see CUtilityWindow) and hands it a UtilityHost at Create; the
// rows follow the channels on view at each Reset, not at each update.
//
// Threads: user-interface thread only.
#pragma once

#include "utilities/CDataGrid.h"
#include "utilities/CUtilityWindow.h"
#include "utilities/UtilityHost.h"

#include <memory>
#include <optional>
#include <string>

class CAnalysisView : public CUtilityWindow {
public:
    static constexpr UINT kGridId = 102;
    static constexpr UINT kCopyCommand = 101;

    CAnalysisView() = default;
    ~CAnalysisView() override;

    // Kinds: 0 THD, 1 THD+N, 2 IMD, 3 SNR, 4 SINAD, 5 SFDR, 6 NF, 7 peak frequency, 8 peak level,
    // 9 total power, 10 tachometer RPM. The window is placed at (left, top).
    BOOL Create(CWnd* frame, int left, int top, int right, int bottom, WORD kind);
    void SetHost(const UtilityHost& host) { m_host = host; }

    virtual void SetupWindow();
    void Reset();
    void UpdateResults();
    int CountShownChannels();
    void FillGrid();
    // False when the clipboard could not be had.
    bool CopyToClipboard();
    // The text CopyToClipboard places.
    std::string ClipboardText() const;

    WORD GetKind() const { return m_kind; }
    CDataGrid* GetGrid() const { return m_grid.get(); }
    int GetRowHeight() const { return m_rowHeight; }
    // Makes the rows no taller than `height`, the window following: a placement saved for more
    // rows than the window now shows would otherwise stretch the few left into a huge font.
    void LimitRowHeight(int height);
    // The window title of a kind ("" for an unknown kind).
    static const char* KindTitle(WORD kind);

protected:
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnGridRButton(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    using CUtilityWindow::Create; // the window's own Create replaces the generic one
    // Sizes the window by the rule of its rows; cx, cy: the client size (-1: as it is now).
    void ApplySizeRule(int cx = -1, int cy = -1);
    // Sizes the client to the rows at `height` pixels each, the width kept, without the size rule.
    void SetRowsHeight(int height);
    // The kind's value; empty when the measure has nothing to measure.
    std::optional<float> ComputeValue(SpectralData& engine) const;
    void ShowValue(WORD row, std::optional<float> value);
    void ShowMeasure(WORD row, SpectralData& engine);

    UtilityHost m_host;
    std::unique_ptr<CDataGrid> m_grid;
    WORD m_kind = 0;
    BYTE m_shown[8] = {};
    BYTE m_shownComposite[16] = {};
    int m_rowHeight = 16;
    int m_minRowHeight = 16;
    int m_maxRowHeight = 48;
    bool m_sizing = false;
};
