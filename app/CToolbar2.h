// The second tool window: a row of 24 picture buttons under the main tool window that reach
// the file commands, printing, the processing-settings pages, the plot selections, the
// generator and the measurement utilities. The generator and utility buttons stay pressed
// while their window is open (and the data-logging button while logging is on).
//
// User-interface thread only. The frame owns it and creates it with itself.
#pragma once

#include "plots/CToolBtn.h"
#include "platform/ui/Wnd.h"

#include <memory>
#include <vector>

class CMainFrame;

class CToolbar2 : public CWnd {
public:
    static constexpr int kHeight = 32;
    static constexpr UINT kWindowId = 102;

    struct ButtonSpec {
        int x;
        UINT id;
        const char* up;
        const char* down;
        const char* grey; // null: none
        const char* tip;
    };
    // The buttons in creation order (the Device button after Print).
    static const std::vector<ButtonSpec>& Buttons();

    CToolbar2();
    ~CToolbar2() override;

    using CWnd::Create;
    BOOL Create(CWnd* pParentWnd);
    void UpdateUtilityButtons();
    void SetUtilityButton(UINT id, bool pressed);
    void ReloadBitmaps();
    CToolBtn* Button(UINT id) const;

protected:
    virtual int OnCreate();
    void ArrangeButtons();
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnPrint();
    void OnSettings();
    void OnScaling();
    void OnCalibrate();
    void OnTrigger();
    void OnDevice();
    void OnRunOptions();
    void OnPlotSelect();
    void OnCompositePlot();
    void OnGenerate();
    void OnPeakFrequency();
    void OnPeakAmplitude();
    void OnTotalPower();
    void OnThd();
    void OnThdN();
    void OnThdFreq();
    void OnImd();
    void OnSnr();
    void OnReverb();
    void OnDataLog();
    void OnLeq();
    void OnPaint();
    DECLARE_MESSAGE_MAP()

private:
    CMainFrame* Frame() const;
    void SendFrameCommand(UINT command);
    void ShowSettingsPage(int page);

    std::vector<std::unique_ptr<CToolBtn>> buttons_;
    BYTE created_ = 0;
};
