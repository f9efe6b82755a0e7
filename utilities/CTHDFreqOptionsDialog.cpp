#include "utilities/CTHDFreqOptionsDialog.h"
#include "utilities/LiveTestRoad.h"

#include "acquisition/TUsbDevice.h"
#include "records/AppMessages.h"
#include "records/NumberText.h"
#include "records/PathSettings.h"
#include "records/ThdFreqSettings.h"
#include "records/UsbDeviceSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/core/SystemFolders.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/Controls.h"
#include "platform/ui/GdiDC.h"
#include "res/ThdDialogIds.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

BEGIN_MESSAGE_MAP(CTHDFreqOptionsDialog, CDialog)
    ON_BN_CLICKED(IDC_THD_LINE_COLOR, &CTHDFreqOptionsDialog::OnLineColor)
    ON_BN_CLICKED(IDC_THD_BACKGROUND_COLOR, &CTHDFreqOptionsDialog::OnBackgroundColor)
    ON_BN_CLICKED(IDC_THD_GRID_COLOR, &CTHDFreqOptionsDialog::OnGridColor)
    ON_BN_CLICKED(IDC_THD_LIMIT_COLOR, &CTHDFreqOptionsDialog::OnLimitColor)
    ON_BN_CLICKED(IDC_THD_LINEAR, &CTHDFreqOptionsDialog::OnStepType)
    ON_BN_CLICKED(IDC_THD_OCTAVE, &CTHDFreqOptionsDialog::OnStepType)
    ON_BN_CLICKED(IDC_THD_LIMIT_A, &CTHDFreqOptionsDialog::OnLimitCheck)
    ON_BN_CLICKED(IDC_THD_LIMIT_B, &CTHDFreqOptionsDialog::OnLimitCheck)
    ON_BN_CLICKED(IDC_THD_LIMIT_A_SELECT, &CTHDFreqOptionsDialog::OnSelectLimitA)
    ON_BN_CLICKED(IDC_THD_LIMIT_B_SELECT, &CTHDFreqOptionsDialog::OnSelectLimitB)
    ON_BN_CLICKED(IDC_THD_LIMIT_A_EDIT, &CTHDFreqOptionsDialog::OnEditLimitA)
    ON_BN_CLICKED(IDC_THD_LIMIT_B_EDIT, &CTHDFreqOptionsDialog::OnEditLimitB)
    ON_BN_CLICKED(IDC_THD_INPUT_SETTINGS, &CTHDFreqOptionsDialog::OnInputSettings)
    ON_BN_CLICKED(IDC_THD_OUTPUT_SETTINGS, &CTHDFreqOptionsDialog::OnOutputSettings)
    ON_BN_CLICKED(IDC_THD_DEFAULTS, &CTHDFreqOptionsDialog::OnDefaults)
    ON_BN_CLICKED(IDC_THD_HELP, &CTHDFreqOptionsDialog::OnHelp)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

namespace {

// The swatches in the order of the brushes.
constexpr int kSwatches[4] = {IDC_THD_SWATCH_LINE, IDC_THD_SWATCH_BACKGROUND, IDC_THD_SWATCH_GRID,
                              IDC_THD_SWATCH_LIMIT};
constexpr int kFractions[8] = {1, 3, 6, 9, 12, 24, 48, 96};

std::string Fixed(const char* format, double value)
{
    char text[256];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void SelectByData(CComboBox* list, DWORD_PTR data)
{
    list->SetCurSel(-1);
    for (int i = 0; i < list->GetCount(); ++i)
        if (list->GetItemData(i) == data)
            list->SetCurSel(i);
}

} // namespace

CTHDFreqOptionsDialog::CTHDFreqOptionsDialog(CWnd* parent, ThdFreqSettings* settings, const ThdFreqLinks& links)
    : CDialog(IDD_THDFREQ_OPTIONS, parent), m_settings(settings), m_links(links)
{
}

BOOL CTHDFreqOptionsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    FillControls();
    return TRUE;
}

int CTHDFreqOptionsDialog::DeviceChannelCount()
{
    return LiveTestRoad(this, m_links, WM_THDFREQ_REQUEST, kThdDeviceStopped).InputChannelCount(2);
}

double CTHDFreqOptionsDialog::InputHalfRate() const
{
    return LiveTestRoad(const_cast<CTHDFreqOptionsDialog*>(this), m_links, WM_THDFREQ_REQUEST, kThdDeviceStopped)
               .InputRate() /
           2.0;
}

void CTHDFreqOptionsDialog::MakeBrushes()
{
    const ThdFreqSettings& s = *m_settings;
    const COLORREF colours[4] = {s.CurveColor, s.BackgroundColor, s.GridColor, s.LimitColor};
    for (int i = 0; i < 4; ++i) {
        m_brushes[i].DeleteObject();
        m_brushes[i].CreateSolidBrush(colours[i]);
    }
}

void CTHDFreqOptionsDialog::FillControls()
{
    ThdFreqSettings& s = *m_settings;
    MakeBrushes();
    // A stop beyond the input's band could never be measured: offer the band's top instead.
    const double half = InputHalfRate();
    if (s.StopFrequency > half)
        s.StopFrequency = static_cast<float>(half);
    SetDlgItemText(IDC_THD_START, Fixed("%6.2f", s.StartFrequency));
    SetDlgItemText(IDC_THD_STOP, Fixed("%6.2f", s.StopFrequency));
    const int count = DeviceChannelCount();
    auto* a = static_cast<CComboBox*>(GetDlgItem(IDC_THD_CHANNEL_A));
    auto* b = static_cast<CComboBox*>(GetDlgItem(IDC_THD_CHANNEL_B));
    if (a && b) {
        a->ResetContent();
        b->ResetContent();
        b->SetItemData(b->AddString("Not Used"), static_cast<DWORD_PTR>(-1));
        for (int ch = 0; ch < count; ++ch) {
            const std::string text = "Channel " + std::to_string(ch);
            a->SetItemData(a->AddString(text.c_str()), static_cast<DWORD_PTR>(ch));
            b->SetItemData(b->AddString(text.c_str()), static_cast<DWORD_PTR>(ch));
        }
        SelectByData(a, static_cast<DWORD_PTR>(s.InputChannelA));
        SelectByData(b, static_cast<DWORD_PTR>(s.InputChannelB));
    }
    CheckDlgButton(IDC_THD_LINEAR, s.StepType == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_THD_OCTAVE, s.StepType == 2 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(IDC_THD_STEP, Fixed("%6.2f", s.LinearStep));
    if (auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_THD_FRACTION))) {
        list->ResetContent();
        for (int n : kFractions)
            list->SetItemData(list->AddString(("1/" + std::to_string(n) + " Octave").c_str()),
                              static_cast<DWORD_PTR>(n));
        SelectByData(list, static_cast<DWORD_PTR>(s.OctaveFraction));
    }
    struct Choice {
        int id;
        std::initializer_list<const char*> items;
        WORD value;
    };
    for (const Choice& c : {Choice{IDC_THD_WEIGHTING, {"Flat", "A", "B", "C"}, s.Weighting},
                            Choice{IDC_THD_AMPLITUDE_SCALE, {"Linear", "Logarithmic"}, s.AmplitudeScale},
                            Choice{IDC_THD_FREQUENCY_SCALE, {"Linear", "Logarithmic"}, s.FrequencyScale}}) {
        auto* list = static_cast<CComboBox*>(GetDlgItem(c.id));
        if (!list)
            continue;
        list->ResetContent();
        for (const char* item : c.items)
            list->AddString(item);
        // A logarithmic scale stored as 2 is shown as logarithmic.
        const int index = c.id == IDC_THD_FREQUENCY_SCALE && c.value == 2 ? 1 : c.value;
        list->SetCurSel(index < list->GetCount() ? index : -1);
    }
    SetDlgItemText(IDC_THD_PLOT_TOP, Fixed("%f", s.PlotTop));
    SetDlgItemText(IDC_THD_PLOT_BOTTOM, Fixed("%f", s.PlotBottom));
    CheckDlgButton(IDC_THD_LIMIT_A, s.LimitAEnabled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_THD_LIMIT_B, s.LimitBEnabled ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(IDC_THD_LIMIT_A_FILE, std::string(s.LimitAFile, strnlen(s.LimitAFile, sizeof s.LimitAFile)));
    SetDlgItemText(IDC_THD_LIMIT_B_FILE, std::string(s.LimitBFile, strnlen(s.LimitBFile, sizeof s.LimitBFile)));
    CheckDlgButton(IDC_THD_PROMPT_SAVE, s.PromptToSave ? BST_CHECKED : BST_UNCHECKED);
    EnableDependents();
    Invalidate();
}

void CTHDFreqOptionsDialog::EnableDependents()
{
    const bool linear = IsDlgButtonChecked(IDC_THD_LINEAR) != 0;
    const bool octave = IsDlgButtonChecked(IDC_THD_OCTAVE) != 0;
    if (CWnd* w = GetDlgItem(IDC_THD_STEP))
        w->EnableWindow(linear);
    if (CWnd* w = GetDlgItem(IDC_THD_FRACTION))
        w->EnableWindow(octave);
    const bool limitA = IsDlgButtonChecked(IDC_THD_LIMIT_A) != 0;
    const bool limitB = IsDlgButtonChecked(IDC_THD_LIMIT_B) != 0;
    for (int id : {IDC_THD_LIMIT_A_SELECT, IDC_THD_LIMIT_A_FILE, IDC_THD_LIMIT_A_EDIT})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(limitA);
    for (int id : {IDC_THD_LIMIT_B_SELECT, IDC_THD_LIMIT_B_FILE, IDC_THD_LIMIT_B_EDIT})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(limitB);
}

void CTHDFreqOptionsDialog::OnStepType() { EnableDependents(); }
void CTHDFreqOptionsDialog::OnLimitCheck() { EnableDependents(); }

bool CTHDFreqOptionsDialog::ValidateAndStore()
{
    ThdFreqSettings& s = *m_settings;
    char text[300] = {};
    // Text that is no number is refused, naming its field, rather than read as 0.
    double start = 0.0, stop = 0.0, step = 0.0, top = 0.0, bottom = 0.0;
    if (!ReadNumberField(*this, IDC_THD_START, NumberField{"Start Frequency"}, start) ||
        !ReadNumberField(*this, IDC_THD_STOP, NumberField{"Stop Frequency"}, stop) ||
        !ReadNumberField(*this, IDC_THD_STEP, NumberField{"Step Size"}, step) ||
        !ReadNumberField(*this, IDC_THD_PLOT_TOP, NumberField{"Plot Top"}, top) ||
        !ReadNumberField(*this, IDC_THD_PLOT_BOTTOM, NumberField{"Plot Bottom"}, bottom))
        return false;
    s.StartFrequency = NarrowToFloat(start, s.StartFrequency);
    s.StopFrequency = NarrowToFloat(stop, s.StopFrequency);
    auto dataOf = [this](int id, INT fallback) {
        auto* list = static_cast<CComboBox*>(GetDlgItem(id));
        const int sel = list ? list->GetCurSel() : -1;
        return sel >= 0 ? static_cast<INT>(static_cast<std::intptr_t>(list->GetItemData(sel))) : fallback;
    };
    s.InputChannelA = dataOf(IDC_THD_CHANNEL_A, s.InputChannelA);
    s.InputChannelB = dataOf(IDC_THD_CHANNEL_B, s.InputChannelB);
    s.ChannelCount = s.InputChannelB != -1 ? 2 : 1;
    if (s.InputChannelA == s.InputChannelB) {
        AfxMessageBox("You cannot select the same channel for both inputs", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (IsDlgButtonChecked(IDC_THD_LINEAR))
        s.StepType = 1;
    else if (IsDlgButtonChecked(IDC_THD_OCTAVE))
        s.StepType = 2;
    s.LinearStep = NarrowToFloat(step, s.LinearStep);
    s.OctaveFraction = dataOf(IDC_THD_FRACTION, s.OctaveFraction);
    auto indexOf = [this](int id, WORD fallback) {
        auto* list = static_cast<CComboBox*>(GetDlgItem(id));
        const int sel = list ? list->GetCurSel() : -1;
        return sel >= 0 ? static_cast<WORD>(sel) : fallback;
    };
    s.Weighting = indexOf(IDC_THD_WEIGHTING, s.Weighting);
    s.PlotTop = NarrowToFloat(top, s.PlotTop);
    s.PlotBottom = NarrowToFloat(bottom, s.PlotBottom);
    s.AmplitudeScale = indexOf(IDC_THD_AMPLITUDE_SCALE, s.AmplitudeScale);
    s.FrequencyScale = indexOf(IDC_THD_FREQUENCY_SCALE, s.FrequencyScale);
    if (s.StepType == 1 && !(s.LinearStep > 0.0f)) {
        AfxMessageBox("The Step Size must be greater than zero.", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!(s.StartFrequency >= 9.99f)) {
        AfxMessageBox("Start Frequency cannot be less than 10 Hz.", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!(s.StopFrequency >= s.StartFrequency)) {
        AfxMessageBox("Start Frequency must be less than the Stop Frequency.", MB_OK | MB_ICONSTOP);
        return false;
    }
    const double half = InputHalfRate();
    if (s.StopFrequency > half) {
        AfxMessageBox(Fixed("Stop Frequency must be less than %6.2f Hz (one half of the sampling rate).", half),
                      MB_OK | MB_ICONSTOP);
        return false;
    }
    // An axis whose top is not above its bottom, or a logarithmic one down to zero, has no
    // ticks and no place for the curve.
    if (!(s.PlotTop > s.PlotBottom)) {
        AfxMessageBox("Plot Top must be greater than Plot Bottom.", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (s.AmplitudeScale != 0 && !(s.PlotBottom > 0.0f)) {
        AfxMessageBox("Plot Bottom must be greater than zero on a logarithmic scale.", MB_OK | MB_ICONSTOP);
        return false;
    }
    s.LimitAEnabled = IsDlgButtonChecked(IDC_THD_LIMIT_A) ? 1 : 0;
    s.LimitBEnabled = IsDlgButtonChecked(IDC_THD_LIMIT_B) ? 1 : 0;
    GetDlgItemText(IDC_THD_LIMIT_A_FILE, text, sizeof text);
    CopyField(s.LimitAFile, text);
    GetDlgItemText(IDC_THD_LIMIT_B_FILE, text, sizeof text);
    CopyField(s.LimitBFile, text);
    s.PromptToSave = IsDlgButtonChecked(IDC_THD_PROMPT_SAVE) ? 1 : 0;
    return true;
}

void CTHDFreqOptionsDialog::OnOK()
{
    if (ValidateAndStore())
        CDialog::OnOK();
}

void CTHDFreqOptionsDialog::ChooseColor(COLORREF& field)
{
    CColorDialog dialog(field, CC_FULLOPEN | CC_ANYCOLOR, this);
    if (dialog.DoModal() != IDOK)
        return;
    field = dialog.GetColor();
    MakeBrushes();
    Invalidate();
}

void CTHDFreqOptionsDialog::OnLineColor() { ChooseColor(m_settings->CurveColor); }
void CTHDFreqOptionsDialog::OnBackgroundColor() { ChooseColor(m_settings->BackgroundColor); }
void CTHDFreqOptionsDialog::OnGridColor() { ChooseColor(m_settings->GridColor); }
void CTHDFreqOptionsDialog::OnLimitColor() { ChooseColor(m_settings->LimitColor); }

void CTHDFreqOptionsDialog::SelectLimitFile(int editId, const char* title)
{
    CFileDialog dialog(TRUE, "ovl", "*.ovl", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                       "Overlay *.ovl|*.ovl||", this);
    dialog.m_ofn.lpstrTitle = title;
    const std::string initial = m_links.workingPaths ? m_links.workingPaths->thd : "";
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    SetDlgItemText(editId, path);
    if (m_links.workingPaths)
        CopyField(m_links.workingPaths->thd, std::filesystem::path(path).parent_path().string().c_str());
}

void CTHDFreqOptionsDialog::OnSelectLimitA() { SelectLimitFile(IDC_THD_LIMIT_A_FILE, "Select Limit File - Channel A"); }
void CTHDFreqOptionsDialog::OnSelectLimitB() { SelectLimitFile(IDC_THD_LIMIT_B_FILE, "Select Limit File - Channel B"); }

void CTHDFreqOptionsDialog::EditLimitFile(int editId)
{
    char text[300] = {};
    GetDlgItemText(editId, text, sizeof text);
    WinExec((std::string("Notepad.exe ") + text).c_str(), SW_SHOWNORMAL);
}

void CTHDFreqOptionsDialog::OnEditLimitA() { EditLimitFile(IDC_THD_LIMIT_A_FILE); }
void CTHDFreqOptionsDialog::OnEditLimitB() { EditLimitFile(IDC_THD_LIMIT_B_FILE); }

void CTHDFreqOptionsDialog::OnInputSettings() { AskFrameForDeviceSettings(m_links, WM_THDFREQ_REQUEST, kThdShowSettings, 0); }
void CTHDFreqOptionsDialog::OnOutputSettings() { AskFrameForDeviceSettings(m_links, WM_THDFREQ_REQUEST, kThdShowSettings, 6); }

void CTHDFreqOptionsDialog::OnDefaults()
{
    m_settings->SetDefaults();
    FillControls();
}

HBRUSH CTHDFreqOptionsDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    const ThdFreqSettings& s = *m_settings;
    const COLORREF colours[4] = {s.CurveColor, s.BackgroundColor, s.GridColor, s.LimitColor};
    if (pWnd && nCtlColor == CTLCOLOR_STATIC) {
        for (int i = 0; i < 4; ++i) {
            if (pWnd->GetDlgCtrlID() == kSwatches[i]) {
                pDC->SetBkColor(colours[i]);
                return static_cast<HBRUSH>(m_brushes[i].GetSafeHandle());
            }
        }
    }
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}
