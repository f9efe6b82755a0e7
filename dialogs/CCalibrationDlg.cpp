#include "dialogs/CCalibrationDlg.h"

#include "dialogs/PageHelpers.h"
#include "platform/ui/PropertySheet.h"
#include "records/CommonRoutines.h"
#include "res/ProcessingDialogIds.h"

#include <algorithm>
#include <filesystem>
#include <strings.h>
#include <system_error>
#include <vector>

namespace {
bool HasCalExtension(const std::string& name)
{
    return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".cal") == 0;
}
} // namespace

BEGIN_MESSAGE_MAP(CCalibrationDlg, CSheetPage)
    ON_CONTROL_RANGE(BN_CLICKED, 1536, 1543, &CCalibrationDlg::OnEnableClicked)
    ON_CONTROL_RANGE(CBN_SELCHANGE, 1552, 1559, &CCalibrationDlg::OnComboChanged)
    ON_CONTROL_RANGE(BN_CLICKED, 1616, 1623, &CCalibrationDlg::OnEdit)
    ON_CONTROL_RANGE(BN_CLICKED, 1632, 1639, &CCalibrationDlg::OnNew)
END_MESSAGE_MAP()

CCalibrationDlg::CCalibrationDlg() : CSheetPage(IDD_CALIBRATION_PAGE) {}

BOOL CCalibrationDlg::OnInitDialog()
{
    CSheetPage::OnInitDialog();
    if (m_Calibration)
        std::copy(m_Calibration, m_Calibration + 8, m_entry);
    Fill();
    m_pageInitialising = 0;
    UpdateRowStates();
    return TRUE;
}

BOOL CCalibrationDlg::OnSetActive()
{
    UpdateRowStates();
    for (int r = 0; r < 8; ++r)
        FillList(r);
    return CSheetPage::OnSetActive();
}

void CCalibrationDlg::Fill()
{
    if (!m_Calibration)
        return;
    for (int r = 0; r < 8; ++r) {
        CheckDlgButton(kCalEnableFirstId + r, m_Calibration[r].IsEnabled ? 1 : 0);
        FillList(r);
        SetDlgItemText(kCalNameFirstId + r, sheet::Field(m_Calibration[r].ChannelName, sizeof m_Calibration[r].ChannelName));
    }
    for (int id : {kCalEnableFirstId + 7, kCalComboFirstId + 7, kCalEditFirstId + 7, kCalNewFirstId + 7, kCalNameFirstId + 7})
        sheet::Show(*this, id, false);
}

void CCalibrationDlg::FillList(int r)
{
    CComboBox* c = sheet::Combo(*this, kCalComboFirstId + r);
    if (!c || !m_Calibration)
        return;
    const ChannelCalibration& R = m_Calibration[r];
    c->ResetContent();
    c->SetItemData(c->AddString("Volts"), kVolts);
    c->SetItemData(c->AddString("Millivolts"), kMillivolts);
    c->SetItemData(c->AddString("RPM"), kRpm);
    // The folder's calibrations in name order, the same on every row and at every opening.
    std::vector<std::string> names;
    std::error_code ec;
    if (!m_Context.CalibrationFolder.empty())
        for (std::filesystem::directory_iterator it(m_Context.CalibrationFolder, ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (HasCalExtension(name) && it->is_regular_file(ec))
                names.push_back(name.size() > 4 ? name.substr(0, name.size() - 4) : name);
        }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        c->SetItemData(c->AddString(name.c_str()), kFile);

    bool matched = false;
    if (LoadCalibration(R, m_Context.CalibrationFolder.c_str(), m_OpMode)) {
        const std::string wanted = sheet::Field(R.Filename, sizeof R.Filename);
        for (int i = 0; i < c->GetCount() && !matched; ++i) {
            std::string text;
            c->GetLBText(i, text);
            if (strcasecmp(text.c_str(), wanted.c_str()) == 0) {
                c->SetCurSel(i);
                matched = true;
            }
        }
    }
    if (!matched) {
        if (m_OpMode != 0 && m_HasWaveFile[r]) {
            const int at = c->AddString("Embedded in wave file");
            c->SetItemData(at, kEmbedded);
            c->SetCurSel(at);
        } else {
            c->SetCurSel(0);
        }
    }
}

void CCalibrationDlg::ApplySelection(int r)
{
    if (!m_Calibration)
        return;
    CComboBox* c = sheet::Combo(*this, kCalComboFirstId + r);
    const int sel = c ? c->GetCurSel() : CB_ERR;
    if (sel == CB_ERR)
        return;
    std::string text;
    c->GetLBText(sel, text);
    const DWORD kind = static_cast<DWORD>(c->GetItemData(sel));
    ChannelCalibration& R = m_Calibration[r];
    sheet::Store(R.Filename, sizeof R.Filename, text);
    auto plain = [&](DWORD units, const char* linear, const char* log, float ratio) {
        R.IsEnabled = 1;
        R.CalCreateMode = 0;
        R.RefLevel = 1.0f;
        R.RefType = 1;
        R.RefUnits = units;
        sheet::Store(R.LabelLinear, sizeof R.LabelLinear, linear);
        sheet::Store(R.LabelLog, sizeof R.LabelLog, log);
        R.LabelType = 1;
        R.ConversionType = 0;
        R.IntegrationType = 0;
        R.TransducerSensitivityVolts = 0.1f;
        R.MeasuredInputVoltage = 0.1f;
        R.CalRatio = ratio;
        R.DTCalVersion = 1000;
        sheet::Enable(*this, kCalEditFirstId + r, false);
    };
    // A record without a gain yet is taken at gain 1 rather than dividing by zero.
    const float gain = R.DTGain > 0.0f ? R.DTGain : 1.0f;
    switch (kind) {
    case kVolts:
        plain(kUnitVolts, "Volts rms", "dBV rms", 10.0f / gain);
        break;
    case kMillivolts:
        plain(kUnitMillivolts, "Millivolts rms", "dBmV rms", 10000.0f / gain);
        break;
    case kRpm:
        plain(kUnitRpm, "RPM", "RPM dB", 0.01f);
        break;
    case kFile:
        R.IsEnabled = 1;
        ReadCalibrationFile(text.c_str(), &R, true, m_Context.CalibrationFolder.c_str());
        sheet::Enable(*this, kCalEditFirstId + r, true);
        sheet::Enable(*this, kCalNewFirstId + r, true);
        break;
    case kEmbedded:
        R = m_entry[r];
        sheet::Enable(*this, kCalEditFirstId + r, true);
        sheet::Enable(*this, kCalNewFirstId + r, true);
        break;
    default:
        break;
    }
}

void CCalibrationDlg::UpdateRowStates()
{
    if (m_pageInitialising)
        return;
    for (int r = 0; r < 8; ++r) {
        // A channel the device does not acquire has nothing to calibrate.
        const bool row = ChannelRowEnabled(r);
        sheet::Enable(*this, kCalEnableFirstId + r, row);
        sheet::Enable(*this, kCalNameFirstId + r, row);
        const bool on = row && IsDlgButtonChecked(kCalEnableFirstId + r) != 0;
        const DWORD kind = static_cast<DWORD>(sheet::SelectedData(*this, kCalComboFirstId + r, kVolts));
        sheet::Enable(*this, kCalComboFirstId + r, on);
        sheet::Enable(*this, kCalNewFirstId + r, on);
        sheet::Enable(*this, kCalEditFirstId + r, on && (kind == kFile || kind == kEmbedded));
    }
}

void CCalibrationDlg::OnEnableClicked(UINT) { UpdateRowStates(); }

void CCalibrationDlg::OnComboChanged(UINT id)
{
    ApplySelection(static_cast<int>(id) - kCalComboFirstId);
}

bool CCalibrationDlg::RunDetails(int r, ChannelCalibration& scratch, bool askName)
{
    const UsbDeviceSettings device = m_Device ? *m_Device : UsbDeviceSettings();
    CCalibrationDetailsDlg dialog(this, &scratch, r, device, m_InputDeviceIndex ? *m_InputDeviceIndex : -1, askName,
                                  false, 0.0f);
    dialog.SetContext(m_Context);
    return dialog.DoModal() != IDCANCEL;
}

void CCalibrationDlg::OnEdit(UINT id)
{
    const int r = static_cast<int>(id) - kCalEditFirstId;
    if (r < 0 || r >= 8 || !m_Calibration)
        return;
    const bool embedded = sheet::SelectedData(*this, kCalComboFirstId + r, kVolts) == kEmbedded;
    ChannelCalibration scratch = m_Calibration[r];
    if (!RunDetails(r, scratch, embedded))
        return;
    scratch.IsEnabled = 1;
    m_Calibration[r] = scratch;
    CheckDlgButton(kCalEnableFirstId + r, 1);
    for (int other = 0; other < 8; ++other)
        if (other != r)
            ApplySelection(other);
    FillList(r);
    UpdateRowStates();
}

void CCalibrationDlg::OnNew(UINT id)
{
    const int r = static_cast<int>(id) - kCalNewFirstId;
    if (r < 0 || r >= 8 || !m_Calibration)
        return;
    ChannelCalibration scratch;
    scratch.Clear();
    scratch.IsEnabled = 1;
    scratch.RefType = 1;
    scratch.RefUnits = kUnitSplAir;
    sheet::Store(scratch.LabelLinear, sizeof scratch.LabelLinear, "Pascals (PA)");
    sheet::Store(scratch.LabelLog, sizeof scratch.LabelLog, "SPL (dB re 20uPA)");
    scratch.LabelType = 1;
    scratch.PctFullScale = 1.0f;
    scratch.CalRatio = 1.0f;
    scratch.CalCreateMode = 1;
    scratch.TransducerSensitivityVolts = 0.1f;
    scratch.MeasuredInputVoltage = 0.0f;
    scratch.DTGain = m_Device ? static_cast<float>(m_Device->Channels[r].Gain) : 1.0f;
    scratch.DTCalVersion = 1000;
    // The new calibration keeps the channel's name.
    std::copy(std::begin(m_Calibration[r].ChannelName), std::end(m_Calibration[r].ChannelName), scratch.ChannelName);
    if (!RunDetails(r, scratch, true))
        return;
    m_Calibration[r] = scratch;
    CheckDlgButton(kCalEnableFirstId + r, 1);
    sheet::Enable(*this, kCalEditFirstId + r, true);
    for (int other = 0; other < 8; ++other)
        if (other != r)
            ApplySelection(other);
    for (int row = 0; row < 8; ++row)
        FillList(row);
    UpdateRowStates();
}

bool CCalibrationDlg::ValidateAndStore()
{
    if (!m_Calibration || !GetSafeHwnd())
        return true;
    for (int r = 0; r < 8; ++r) {
        ApplySelection(r);
        m_Calibration[r].IsEnabled = IsDlgButtonChecked(kCalEnableFirstId + r) ? 1 : 0;
        std::string name;
        GetDlgItemText(kCalNameFirstId + r, name);
        sheet::Store(m_Calibration[r].ChannelName, sizeof m_Calibration[r].ChannelName, name);
    }
    return true;
}

void CCalibrationDlg::Defaults()
{
    if (!m_Calibration)
        return;
    for (int r = 0; r < 8; ++r) {
        m_Calibration[r].IsEnabled = 1;
        sheet::Store(m_Calibration[r].Filename, sizeof m_Calibration[r].Filename, "EEG");
        sheet::Store(m_Calibration[r].ChannelName, sizeof m_Calibration[r].ChannelName, GetChannelLocationName(r));
    }
    Fill();
    UpdateRowStates();
}

void CCalibrationDlg::Copy(int s, const BYTE flags[8])
{
    if (s < 0 || s >= 8)
        return;
    const std::string text = sheet::SelectedText(*this, kCalComboFirstId + s);
    for (int d = 0; d < 8; ++d) {
        if (!flags[d] || d == s)
            continue;
        // The same calibration by its name: rows' lists differ where one holds "Embedded in
        // wave file", so a position may name another calibration there. A row without the
        // entry keeps its own.
        CComboBox* c = sheet::Combo(*this, kCalComboFirstId + d);
        const int at = c ? c->FindStringExact(-1, text.c_str()) : CB_ERR;
        if (at == CB_ERR)
            continue;
        CheckDlgButton(kCalEnableFirstId + d, IsDlgButtonChecked(kCalEnableFirstId + s));
        c->SetCurSel(at);
        ApplySelection(d);
    }
    UpdateRowStates();
}
