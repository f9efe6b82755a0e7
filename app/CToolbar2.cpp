#include "app/CToolbar2.h"

#include "app/CMainFrame.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiWindowDC.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CToolbar2, CWnd)
    ON_BN_CLICKED(201, &CToolbar2::OnFileNew)
    ON_BN_CLICKED(202, &CToolbar2::OnFileOpen)
    ON_BN_CLICKED(203, &CToolbar2::OnFileSave)
    ON_BN_CLICKED(204, &CToolbar2::OnPrint)
    ON_BN_CLICKED(406, &CToolbar2::OnDevice)
    ON_BN_CLICKED(401, &CToolbar2::OnSettings)
    ON_BN_CLICKED(402, &CToolbar2::OnScaling)
    ON_BN_CLICKED(403, &CToolbar2::OnCalibrate)
    ON_BN_CLICKED(404, &CToolbar2::OnTrigger)
    ON_BN_CLICKED(407, &CToolbar2::OnRunOptions)
    ON_BN_CLICKED(601, &CToolbar2::OnPlotSelect)
    ON_BN_CLICKED(602, &CToolbar2::OnCompositePlot)
    ON_BN_CLICKED(501, &CToolbar2::OnGenerate)
    ON_BN_CLICKED(502, &CToolbar2::OnPeakFrequency)
    ON_BN_CLICKED(503, &CToolbar2::OnPeakAmplitude)
    ON_BN_CLICKED(504, &CToolbar2::OnTotalPower)
    ON_BN_CLICKED(505, &CToolbar2::OnThd)
    ON_BN_CLICKED(506, &CToolbar2::OnThdN)
    ON_BN_CLICKED(507, &CToolbar2::OnThdFreq)
    ON_BN_CLICKED(508, &CToolbar2::OnImd)
    ON_BN_CLICKED(509, &CToolbar2::OnSnr)
    ON_BN_CLICKED(515, &CToolbar2::OnLeq)
    ON_BN_CLICKED(514, &CToolbar2::OnDataLog)
    ON_BN_CLICKED(511, &CToolbar2::OnReverb)
    ON_WM_PAINT()
END_MESSAGE_MAP()

const std::vector<CToolbar2::ButtonSpec>& CToolbar2::Buttons()
{
    static const std::vector<ButtonSpec> specs = {
        {3, 201, "FileNewUp", "FileNewDn", "FileNewGr", "Record New Wave Files"},
        {33, 202, "FileOpenUp", "FileOpenDn", "FileOpenGr", "Open one or more Wave Files"},
        {63, 203, "FileSaveUp", "FileSaveDn", "FileSaveGr", "Save one or more Wave Files"},
        {101, 204, "PrintUp", "PrintDn", "PrintGr", "Print Current Plot"},
        {139, 406, "DeviceUp", "DeviceDn", nullptr, "Device Options"},
        {169, 401, "SettingsUp", "SettingsDn", nullptr, "FFT Processing Settings"},
        {199, 402, "ScalingUp", "ScalingDn", nullptr, "Scaling Options"},
        {229, 403, "CalibrateUp", "CalibrateDn", nullptr, "Amplitude Calibration Settings"},
        {259, 404, "TriggerUp", "TriggerDn", nullptr, "Triggering Options"},
        {289, 407, "RunOptsUp", "RunOptsDn", nullptr, "Run Control Options"},
        {327, 601, "PlotSelectUp", "PlotSelectDn", nullptr, "Select Single Channel Plots"},
        {357, 602, "CompositePlotUp", "CompositePlotDn", nullptr, "Select Composite Channel Plots"},
        {395, 501, "GenerateUp", "GenerateDn", nullptr, "Signal Generator"},
        {433, 502, "PeakFreqUp", "PeakFreqDn", nullptr, "Peak Frequency"},
        {463, 503, "PeakAmpUp", "PeakAmpDn", nullptr, "Peak Amplitude"},
        {493, 504, "TotalPwrUp", "TotalPwrDn", nullptr, "Total Power"},
        {531, 505, "THD_Up", "THD_Dn", nullptr, "Total Harmonic Distortion"},
        {561, 506, "THD_N_Up", "THD_N_Dn", nullptr, "Total Harmonic Distortion + Noise"},
        {591, 507, "THDFreqUp", "THDFreqDn", nullptr, "THD+N vs Frequency"},
        {629, 508, "IMD_Up", "IMD_Dn", nullptr, "InterModulation Distortion"},
        {659, 509, "SNR_Up", "SNR_Dn", nullptr, "Signal to Noise Ratio"},
        {689, 515, "LeqUp", "LeqDn", nullptr, "Equivalent Noise Levels (Leq)"},
        {727, 514, "DataLogUp", "DataLogDn", nullptr, "Data Logging Setup"},
        {765, 511, "ReverbUp", "ReverbDn", nullptr, "Reverberation Utility"},
    };
    return specs;
}

CToolbar2::CToolbar2() = default;

CToolbar2::~CToolbar2() { buttons_.clear(); }

CMainFrame* CToolbar2::Frame() const { return dynamic_cast<CMainFrame*>(GetParent()); }

BOOL CToolbar2::Create(CWnd* pParentWnd)
{
    const RECT r{0, 0, 8000, kHeight};
    const BOOL created = CWnd::Create(nullptr, "Toolbar2", WS_CHILD | WS_VISIBLE, r, pParentWnd, kWindowId);
    if (created)
        OnCreate();
    return created;
}

int CToolbar2::OnCreate()
{
    for (const ButtonSpec& s : Buttons())
        buttons_.push_back(std::make_unique<CToolBtn>(this, s.id, s.up, s.down, s.grey, s.tip));
    ArrangeButtons();
    created_ = 1;
    return 0;
}

void CToolbar2::ArrangeButtons()
{
    const auto& specs = Buttons();
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->MoveWindow(specs[i].x, 2, 28, 28, TRUE);
    Invalidate();
}

CToolBtn* CToolbar2::Button(UINT id) const
{
    for (const auto& b : buttons_)
        if (b->CommandId() == id)
            return b.get();
    return nullptr;
}

void CToolbar2::ReloadBitmaps()
{
    for (const auto& b : buttons_)
        b->LoadBitmaps();
}

// ---- Actions --------------------------------------------------------------------------

void CToolbar2::SendFrameCommand(UINT command)
{
    if (CMainFrame* f = Frame())
        f->SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void CToolbar2::ShowSettingsPage(int page)
{
    if (CMainFrame* f = Frame())
        f->ShowProcessingSettings(page);
}

void CToolbar2::OnFileNew() { SendFrameCommand(ID_FILE_NEW); }
void CToolbar2::OnFileOpen() { SendFrameCommand(ID_FILE_OPEN); }
// Called directly, like the frame's menu handler but without its greying: in Real Time mode the
// button is the way to save the last run's buffers.
void CToolbar2::OnFileSave()
{
    if (CMainFrame* f = Frame())
        f->OnFileSave();
}
void CToolbar2::OnPrint() { SendFrameCommand(ID_FILE_PRINT); }
void CToolbar2::OnDevice() { ShowSettingsPage(0); }
void CToolbar2::OnSettings() { ShowSettingsPage(1); }
void CToolbar2::OnScaling() { ShowSettingsPage(2); }
void CToolbar2::OnCalibrate() { ShowSettingsPage(4); }
void CToolbar2::OnTrigger() { ShowSettingsPage(3); }
void CToolbar2::OnRunOptions() { ShowSettingsPage(5); }
void CToolbar2::OnPlotSelect() { SendFrameCommand(ID_SELECT_SINGLE_PLOTS); }
void CToolbar2::OnCompositePlot() { SendFrameCommand(ID_SELECT_COMPOSITE_PLOTS); }
void CToolbar2::OnGenerate() { SendFrameCommand(ID_UTIL_SIGNAL_GENERATOR); }
void CToolbar2::OnPeakFrequency() { SendFrameCommand(ID_UTIL_PEAK_FREQ); }
void CToolbar2::OnPeakAmplitude() { SendFrameCommand(ID_UTIL_PEAK_AMP); }
void CToolbar2::OnTotalPower() { SendFrameCommand(ID_UTIL_TOTAL_POWER); }
void CToolbar2::OnThd() { SendFrameCommand(ID_UTIL_THD); }
void CToolbar2::OnThdN() { SendFrameCommand(ID_UTIL_THD_N); }
void CToolbar2::OnThdFreq() { SendFrameCommand(ID_UTIL_THD_VS_FREQ); }
void CToolbar2::OnImd() { SendFrameCommand(ID_UTIL_IMD); }
void CToolbar2::OnSnr() { SendFrameCommand(ID_UTIL_SNR); }
void CToolbar2::OnLeq() { SendFrameCommand(ID_UTIL_LEQ); }
void CToolbar2::OnDataLog() { SendFrameCommand(ID_UTIL_DATA_LOGGING); }
void CToolbar2::OnReverb() { SendFrameCommand(ID_UTIL_RT60); }

// ---- Utility buttons ------------------------------------------------------------------

void CToolbar2::UpdateUtilityButtons()
{
    CMainFrame* f = Frame();
    if (!f)
        return;
    SetUtilityButton(501, f->SigGen != nullptr);
    SetUtilityButton(502, f->PeakFreqView != nullptr);
    SetUtilityButton(503, f->PeakAmpView != nullptr);
    SetUtilityButton(504, f->TotalPowerView != nullptr);
    SetUtilityButton(505, f->THDView != nullptr);
    SetUtilityButton(506, f->THDNView != nullptr);
    SetUtilityButton(508, f->IMDView != nullptr);
    SetUtilityButton(509, f->SNRView != nullptr);
    SetUtilityButton(515, f->LeqView != nullptr);
    SetUtilityButton(507, f->THDFreqWnd != nullptr);
    SetUtilityButton(511, f->ReverbWnd != nullptr);
    SetUtilityButton(514, f->Settings.Logging.IsLogging != 0);
}

void CToolbar2::SetUtilityButton(UINT id, bool pressed)
{
    const bool accepted = (id >= 501 && id <= 509) || id == 511 || id == 514 || id == 515;
    if (!accepted)
        return;
    if (CToolBtn* b = Button(id))
        b->SetPressed(pressed);
}

void CToolbar2::OnPaint()
{
    CPaintDC dc(this);
    RECT r{};
    GetClientRect(&r);
    dc.FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    dc.MoveTo(r.right - 1, r.top);
    dc.LineTo(r.right - 1, r.bottom);
    dc.MoveTo(r.left, r.bottom);
    dc.LineTo(r.left, r.top);
}
