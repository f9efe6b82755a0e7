// The main tool window across the top of the frame: Run, Stop, Record, Rewind and Forward,
// the file-position bar with the active channel's position and length, the master display
// gain with its spinner, Tile, the configuration list and a hidden averaging list. The
// controls are arranged for the operating mode.
//
// User-interface thread only. The frame owns it and creates it with itself.
#pragma once

#include "plots/CToolBtn.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

#include <memory>
#include <string>
#include <vector>

class CMainFrame;

class CToolbar : public CWnd {
public:
    static constexpr int kHeight = 36;
    static constexpr UINT kWindowId = 101;
    static constexpr UINT_PTR kTimerEdit = 102; // applies the display gain after typing
    static constexpr UINT IDC_RUN = 401, IDC_STOP = 402, IDC_RECORD = 403, IDC_REWIND = 404, IDC_FORWARD = 405;
    static constexpr UINT IDC_AVERAGING = 406, IDC_CONFIGURATION = 407, IDC_POSITION = 408;
    static constexpr UINT IDC_TILE = 501, IDC_GAIN = 502, IDC_GAIN_SPIN = 503;

    CToolbar();
    ~CToolbar() override;

    using CWnd::Create;
    BOOL Create(CWnd* pParentWnd);
    void SetMode(WORD mode);
    void UpdateState(bool redrawPosition, bool redrawLength);
    void UpdateRunButtons();
    // Shows the frame's display gain in the gain box (after a load, or a clamped entry).
    void ShowDisplayGain();
    void FillConfigurations();
    void FillAveraging();
    void ReloadBitmaps();
    // The entry of the averaging list for a block count (0 when none matches).
    static int FindAveragingIndex(DWORD blocks);

    WORD Mode() const { return mode_; }
    CToolBtn* Button(UINT id) const;
    CEdit* GainBox() const { return gain_.get(); }
    CToolBtn* RunButton() const { return run_.get(); }
    CScrollBar* GainSpinner() const { return spinner_.get(); }
    CComboBox* AveragingList() const { return averaging_.get(); }
    CComboBox* ConfigurationList() const { return configs_.get(); }
    CScrollBar* PositionBar() const { return position_.get(); }

protected:
    virtual int OnCreate();
    void ArrangeControls();
    void OnRun();
    void OnStop();
    void OnRecord();
    void OnRewind();
    void OnForward();
    void OnTile();
    void OnEditChange();
    void OnGainKillFocus();
    void OnAveraging();
    void OnConfiguration();
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnTimer(UINT_PTR nIDEvent);
    void OnPaint();
    DECLARE_MESSAGE_MAP()

private:
    CMainFrame* Frame() const;
    void StopRecordingBeforeMoving();
    int ActiveChannel() const;
    void StepGain(int delta);

    WORD mode_ = 0;
    std::unique_ptr<CComboBox> averaging_;
    std::unique_ptr<CScrollBar> position_;
    std::unique_ptr<CToolBtn> run_, stop_, rewind_, forward_, record_;
    std::unique_ptr<CComboBox> configs_;
    std::unique_ptr<CToolBtn> tile_;
    std::unique_ptr<CEdit> gain_;
    std::unique_ptr<CScrollBar> spinner_;
    BYTE created_ = 0;
    CFont font_;
    // The configuration files listed, by their names on disk (entry i + 1).
    std::vector<std::string> configFiles_;
};
