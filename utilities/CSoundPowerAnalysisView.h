// The sound power window: for each composite channel that averages microphone channels
// (composite types 0 and 5), Lw = Lp(A) - background noise correction - environmental
// correction + 10 log10(surface area) as ISO 3744 has it, Lp(A) being the energy mean of the
// microphones' levels; refreshed after every processed block. A row whose
// source channels are not fit for the measurement says why instead.
//
// The frame owns the window (see CUtilityWindow) and hands it a UtilityHost at Create.
//
// Threads: user-interface thread only.
#pragma once

#include "utilities/CDataGrid.h"
#include "utilities/CUtilityWindow.h"
#include "utilities/UtilityHost.h"

#include <memory>
#include <string>

class CSoundPowerAnalysisView : public CUtilityWindow {
public:
    static constexpr UINT kGridId = 101;
    static constexpr UINT kOptions = 102;
    static constexpr UINT kCopy = 104;

    CSoundPowerAnalysisView() = default;
    ~CSoundPowerAnalysisView() override;

    // The window is placed at (left, top).
    BOOL Create(CWnd* frame, int left, int top, int right, int bottom);
    void SetHost(const UtilityHost& host) { m_host = host; }

    virtual void SetupWindow();
    void Reset();
    void Update();
    int CountShownChannels();
    void FillGrid();
    float ComputeLevel(int composite);
    // Lp: the energy mean of the composite's microphones' A-weighted levels; kNoLevelDb
    // before any has data.
    float MeanPressureLevel(int composite) const;
    // The message of the first rule a composite's sources break; "" when they are fit.
    std::string CheckSources(int composite) const;
    bool CopySoundPowerToClipboard();
    std::string ClipboardText() const;
    void OnOptions();

    CDataGrid* GetGrid() const { return m_grid.get(); }
    float GetLevel(int composite) const { return composite >= 0 && composite < 16 ? m_levels[composite] : 0.0f; }

protected:
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnGridRButton(WPARAM wParam, LPARAM lParam);
    void OnCopyButton() { CopySoundPowerToClipboard(); }
    DECLARE_MESSAGE_MAP()

private:
    using CUtilityWindow::Create; // the window's own Create replaces the generic one
    // Sizes the window by the rule of its rows; cx, cy: the client size (-1: as it is now).
    void ApplySizeRule(int cx = -1, int cy = -1);
    void WriteValues();

    UtilityHost m_host;
    std::unique_ptr<CDataGrid> m_grid;
    std::unique_ptr<CButton> m_buttons[2];
    CFont m_font;
    BYTE m_shown[16] = {};
    float m_levels[16] = {};
    int m_rowHeight = 16;
    int m_minRowHeight = 16;
    int m_maxRowHeight = 48;
    bool m_sizing = false;
};
