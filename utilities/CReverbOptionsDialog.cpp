#include "utilities/CReverbOptionsDialog.h"
#include "utilities/LiveTestRoad.h"

#include "acquisition/TUsbDevice.h"
#include "records/AppMessages.h"
#include "records/NumberText.h"
#include "records/ReverbSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiDC.h"
#include "res/ReverbDialogIds.h"

#include <cstdio>
#include <cstdlib>

BEGIN_MESSAGE_MAP(CReverbOptionsDialog, CDialog)
    ON_BN_CLICKED(IDC_REVERB_BACKGROUND, &CReverbOptionsDialog::OnBackgroundColor)
    ON_BN_CLICKED(IDC_REVERB_BAR, &CReverbOptionsDialog::OnBarColor)
    ON_BN_CLICKED(IDC_REVERB_DECAY, &CReverbOptionsDialog::OnDecayColor)
    ON_BN_CLICKED(IDC_REVERB_GRID, &CReverbOptionsDialog::OnGridColor)
    ON_BN_CLICKED(IDC_REVERB_SURFACE, &CReverbOptionsDialog::OnSurfaceColor)
    ON_BN_CLICKED(IDC_REVERB_ADJUST_INPUT, &CReverbOptionsDialog::OnAdjustInput)
    ON_BN_CLICKED(IDC_REVERB_ADJUST_OUTPUT, &CReverbOptionsDialog::OnAdjustOutput)
    ON_BN_CLICKED(IDC_REVERB_DEFAULTS, &CReverbOptionsDialog::OnDefaults)
    ON_BN_CLICKED(IDC_REVERB_HELP, &CReverbOptionsDialog::OnHelp)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

namespace {

// The swatches in the order of the brushes.
constexpr int kSwatches[5] = {IDC_REVERB_SWATCH_BACKGROUND, IDC_REVERB_SWATCH_BAR, IDC_REVERB_SWATCH_DECAY,
                              IDC_REVERB_SWATCH_GRID, IDC_REVERB_SWATCH_SURFACE};

std::string Fixed(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

CReverbOptionsDialog::CReverbOptionsDialog(CWnd* parent, ReverbSettings* settings, const ReverbLinks& links)
    : CDialog(IDD_REVERB_OPTIONS, parent), m_settings(settings), m_links(links)
{
}

BOOL CReverbOptionsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    FillControls();
    return TRUE;
}

int CReverbOptionsDialog::DeviceChannelCount()
{
    return LiveTestRoad(this, m_links, WM_REVERB_REQUEST, kReverbDeviceStopped).InputChannelCount(0);
}

void CReverbOptionsDialog::FillControls()
{
    ReverbSettings& s = *m_settings;
    const COLORREF colours[5] = {s.BackgroundColor, s.BarColor, s.DecayColor, s.GridColor, s.SurfaceColor};
    for (int i = 0; i < 5; ++i) {
        m_brushes[i].DeleteObject();
        m_brushes[i].CreateSolidBrush(colours[i]);
    }
    SetDlgItemText(IDC_REVERB_PLOT_TOP, Fixed("%6.2f", s.PlotTop));
    SetDlgItemText(IDC_REVERB_PLOT_RANGE, Fixed("%6.2f", s.PlotRange));
    SetDlgItemText(IDC_REVERB_MAX_DECAY, Fixed("%6.1f", s.MaxDecayTime));
    char offset[16];
    std::snprintf(offset, sizeof offset, "%d", s.StartOffset);
    SetDlgItemText(IDC_REVERB_OFFSET, offset);
    CheckDlgButton(IDC_REVERB_CLEAR_OFFSET, s.ClearOffsetOnNewTest ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_REVERB_PROMPT_SAVE, s.PromptToSave ? BST_CHECKED : BST_UNCHECKED);
    for (int id = IDC_REVERB_RT10; id <= IDC_REVERB_RT30; ++id)
        CheckDlgButton(id, BST_UNCHECKED);
    for (int id = IDC_REVERB_SMOOTH_NONE; id <= IDC_REVERB_SMOOTH_SCHROEDER; ++id)
        CheckDlgButton(id, BST_UNCHECKED);
    if (s.ExtrapolationMethod <= 2)
        CheckDlgButton(IDC_REVERB_RT10 + static_cast<int>(s.ExtrapolationMethod), BST_CHECKED);
    if (s.SmoothingMethod <= 2)
        CheckDlgButton(IDC_REVERB_SMOOTH_NONE + static_cast<int>(s.SmoothingMethod), BST_CHECKED);

    if (auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_REVERB_CHANNEL))) {
        list->ResetContent();
        const int count = DeviceChannelCount();
        for (int ch = 0; ch < count; ++ch) {
            char text[32];
            std::snprintf(text, sizeof text, "Channel %d", ch);
            list->SetItemData(list->AddString(text), static_cast<DWORD_PTR>(ch));
        }
        list->SetCurSel(0);
        for (int i = 0; i < list->GetCount(); ++i)
            if (list->GetItemData(i) == s.InputChannel)
                list->SetCurSel(i);
    }
    Invalidate();
}

bool CReverbOptionsDialog::ReadControls()
{
    ReverbSettings& s = *m_settings;
    // Text that is no number is refused, naming its field, rather than read as 0.
    double top = 0.0, range = 0.0, decay = 0.0, offset = 0.0;
    if (!ReadNumberField(*this, IDC_REVERB_PLOT_TOP, NumberField{"Plot Top"}, top) ||
        !ReadNumberField(*this, IDC_REVERB_PLOT_RANGE, NumberField{"Plot Range"}, range) ||
        !ReadNumberField(*this, IDC_REVERB_MAX_DECAY, NumberField{"Maximum decay time"}, decay) ||
        !ReadNumberField(*this, IDC_REVERB_OFFSET, NumberField{"Start time offset", -1e9, 1e9, true}, offset))
        return false;
    s.PlotTop = NarrowToFloat(top, 1e9f);
    s.PlotRange = NarrowToFloat(range, 1e9f);
    if (!(s.PlotTop >= -200.0f && s.PlotTop <= 200.0f)) {
        AfxMessageBox("Plot Top must be between -200 and +200", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!(s.PlotRange >= 10.0f && s.PlotRange <= 200.0f)) {
        // The range's own limits: the shared text named those of the top.
        AfxMessageBox("Plot Range must be between 10 and 200", MB_OK | MB_ICONSTOP);
        return false;
    }
    s.MaxDecayTime = NarrowToFloat(decay, 1e9f);
    if (!(s.MaxDecayTime >= 1.0f && s.MaxDecayTime <= 30.0f)) {
        AfxMessageBox("Maximum decay time must be between 1 and 30 seconds.", MB_OK | MB_ICONSTOP);
        return false;
    }
    s.StartOffset = static_cast<INT>(offset < -1 ? -1 : (offset > 1001 ? 1001 : offset));
    if (s.StartOffset < 0 || s.StartOffset > 1000) {
        AfxMessageBox("Start time offset must be greater than zero and less than 1000 milliseconds.",
                      MB_OK | MB_ICONSTOP);
        return false;
    }
    s.ClearOffsetOnNewTest = IsDlgButtonChecked(IDC_REVERB_CLEAR_OFFSET) ? 1 : 0;
    if (const int rt = GetCheckedRadioButton(IDC_REVERB_RT10, IDC_REVERB_RT30))
        s.ExtrapolationMethod = static_cast<DWORD>(rt - IDC_REVERB_RT10);
    if (const int sm = GetCheckedRadioButton(IDC_REVERB_SMOOTH_NONE, IDC_REVERB_SMOOTH_SCHROEDER))
        s.SmoothingMethod = static_cast<DWORD>(sm - IDC_REVERB_SMOOTH_NONE);
    if (auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_REVERB_CHANNEL))) {
        const int sel = list->GetCurSel();
        if (sel >= 0)
            s.InputChannel = static_cast<DWORD>(list->GetItemData(sel));
    }
    s.PromptToSave = IsDlgButtonChecked(IDC_REVERB_PROMPT_SAVE) ? 1 : 0;
    return true;
}

void CReverbOptionsDialog::OnOK()
{
    if (ReadControls())
        CDialog::OnOK();
}

void CReverbOptionsDialog::ChooseColor(COLORREF& field)
{
    CColorDialog dialog(field, CC_FULLOPEN | CC_ANYCOLOR, this);
    if (dialog.DoModal() != IDOK)
        return;
    field = dialog.GetColor();
    const ReverbSettings& s = *m_settings;
    const COLORREF colours[5] = {s.BackgroundColor, s.BarColor, s.DecayColor, s.GridColor, s.SurfaceColor};
    for (int i = 0; i < 5; ++i) {
        m_brushes[i].DeleteObject();
        m_brushes[i].CreateSolidBrush(colours[i]);
    }
    Invalidate();
}

void CReverbOptionsDialog::OnBackgroundColor() { ChooseColor(m_settings->BackgroundColor); }
void CReverbOptionsDialog::OnBarColor() { ChooseColor(m_settings->BarColor); }
void CReverbOptionsDialog::OnDecayColor() { ChooseColor(m_settings->DecayColor); }
void CReverbOptionsDialog::OnGridColor() { ChooseColor(m_settings->GridColor); }
void CReverbOptionsDialog::OnSurfaceColor() { ChooseColor(m_settings->SurfaceColor); }

void CReverbOptionsDialog::OnAdjustInput() { AskFrameForDeviceSettings(m_links, WM_REVERB_REQUEST, kReverbShowSettings, 0); }
void CReverbOptionsDialog::OnAdjustOutput() { AskFrameForDeviceSettings(m_links, WM_REVERB_REQUEST, kReverbShowSettings, 6); }

void CReverbOptionsDialog::OnDefaults()
{
    m_settings->SetDefaults();
    FillControls();
}

HBRUSH CReverbOptionsDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    const ReverbSettings& s = *m_settings;
    const COLORREF colours[5] = {s.BackgroundColor, s.BarColor, s.DecayColor, s.GridColor, s.SurfaceColor};
    if (pWnd && nCtlColor == CTLCOLOR_STATIC) {
        for (int i = 0; i < 5; ++i) {
            if (pWnd->GetDlgCtrlID() == kSwatches[i]) {
                pDC->SetBkColor(colours[i]);
                return static_cast<HBRUSH>(m_brushes[i].GetSafeHandle());
            }
        }
    }
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}
