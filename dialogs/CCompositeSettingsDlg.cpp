#include "dialogs/CCompositeSettingsDlg.h"

#include "platform/core/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "res/PlotSelectionDialogIds.h"

#include <algorithm>
#include <cstring>

namespace {
struct TypeEntry {
    const char* text;
    WORD type;
};
constexpr TypeEntry kTypes[] = {{"Sum Channels (Real)", 5},
                                {"Sum Channels (Complex)", 0},
                                {"Real Transfer Function", 1},
                                {"Complex Transfer Function", 2},
                                {"Complex Transfer Function and Coherence", 3},
                                {"Cross Spectrum", 4}};

bool IsSum(WORD type) { return type == 0 || type == 5; }

std::string Field(const char* text, std::size_t size)
{
    return std::string(text, strnlen(text, size));
}

void Store(char* field, std::size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// Integrated acceleration over force: the label of each integration choice.
const char* ForceLabel(DWORD conversion)
{
    switch (conversion) {
    case 0: return "Accelerance (G/N)";
    case 1: return "Mobility (ft/sec/N)";
    case 2: return "Mobility (in/sec/N)";
    case 3: return "Mobility (mm/sec/N)";
    case 7: return "Mobility (mils/sec/N)";
    case 9: return "Mobility (micro in/sec/N)";
    case 4: return "Compliance (ft/N)";
    case 5: return "Compliance (in/N)";
    case 6: return "Compliance (mm/N)";
    case 8: return "Compliance (mils/N)";
    case 10: return "Compliance (micro in/N)";
    default: return nullptr;
    }
}
} // namespace

BEGIN_MESSAGE_MAP(CCompositeSettingsDlg, CDialog)
    ON_CBN_SELCHANGE(IDC_COMPOSITE_TYPE, &CCompositeSettingsDlg::OnTypeChanged)
    ON_CONTROL_RANGE(BN_CLICKED, 1489, 1496, &CCompositeSettingsDlg::OnChannelClicked)
    ON_CONTROL_RANGE(BN_CLICKED, 1505, 1512, &CCompositeSettingsDlg::OnChannelClicked)
    ON_CONTROL_RANGE(BN_CLICKED, 1112, 1117, &CCompositeSettingsDlg::OnChannelClicked)
    ON_CONTROL_RANGE(BN_CLICKED, 1521, 1522, &CCompositeSettingsDlg::OnChannelClicked)
END_MESSAGE_MAP()

CCompositeSettingsDlg::CCompositeSettingsDlg(CWnd* parent, WORD mode, CompositeChannelSettings* record,
                                             const BYTE* enabled)
    : CDialog(IDD_COMPOSITE_SETTINGS, parent), m_mode(mode), m_record(record), m_enabled(enabled)
{
}

void CCompositeSettingsDlg::DeriveLabels(WORD type, int test, int reference, const BYTE include[8],
                                         const ChannelCalibration* cal, std::string& linear, std::string& log)
{
    linear.clear();
    log.clear();
    if (!cal)
        return;
    if (!IsSum(type)) {
        const ChannelCalibration& t = cal[std::clamp(test, 0, 7)];
        const ChannelCalibration& r = cal[std::clamp(reference, 0, 7)];
        if (t.RefUnits == r.RefUnits) {
            linear = Field(t.LabelLinear, sizeof t.LabelLinear);
            log = Field(t.LabelLog, sizeof t.LabelLog);
        } else if (t.RefUnits == 3 && r.RefUnits == 12) {
            if (const char* label = ForceLabel(t.ConversionType)) {
                linear = label;
                log = std::string(label, std::strlen(label) - 1) + " dB)";
            }
        } else {
            linear = Field(t.LabelLinear, sizeof t.LabelLinear) + "/" + Field(r.LabelLinear, sizeof r.LabelLinear);
            log = Field(t.LabelLog, sizeof t.LabelLog) + "/" + Field(r.LabelLog, sizeof r.LabelLog);
        }
        return;
    }
    int first = 0;
    for (int ch = 0; ch < 8; ++ch)
        if (include && include[ch]) {
            first = ch;
            break;
        }
    linear = Field(cal[first].LabelLinear, sizeof cal[first].LabelLinear);
    log = Field(cal[first].LabelLog, sizeof cal[first].LabelLog);
}

WORD CCompositeSettingsDlg::SelectedType() const
{
    auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_COMPOSITE_TYPE));
    const int sel = combo ? combo->GetCurSel() : CB_ERR;
    if (sel == CB_ERR)
        return m_record ? m_record->CompositeType : 0;
    return static_cast<WORD>(combo->GetItemData(sel));
}

int CCompositeSettingsDlg::CheckedChannel(int firstId) const
{
    for (int ch = 0; ch < 8; ++ch)
        if (IsDlgButtonChecked(firstId + ch))
            return ch;
    return -1;
}

BOOL CCompositeSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_COMPOSITE_TYPE))) {
        for (const TypeEntry& e : kTypes) {
            const int at = combo->AddString(e.text);
            combo->SetItemData(at, e.type);
            if (m_record && e.type == m_record->CompositeType)
                combo->SetCurSel(at);
        }
    }
    if (m_record) {
        if (m_record->TransferChannel < 8)
            CheckDlgButton(kCompositeTestFirstId + static_cast<int>(m_record->TransferChannel), 1);
        if (m_record->ReferenceChannel < 8)
            CheckDlgButton(kCompositeReferenceFirstId + static_cast<int>(m_record->ReferenceChannel), 1);
        for (int ch = 0; ch < 8; ++ch)
            CheckDlgButton(kCompositeIncludeIds[ch], m_record->IncludeInAverage[ch] ? 1 : 0);
        SetDlgItemText(IDC_COMPOSITE_LABEL_LINEAR, Field(m_record->LabelLinear, sizeof m_record->LabelLinear));
        SetDlgItemText(IDC_COMPOSITE_LABEL_LOG, Field(m_record->LabelLog, sizeof m_record->LabelLog));
    }
    for (int id : {kCompositeTestFirstId + 7, kCompositeReferenceFirstId + 7, kCompositeIncludeIds[7]})
        if (CWnd* w = GetDlgItem(id))
            w->ShowWindow(SW_HIDE);
    UpdateControlStates();
    return TRUE;
}

void CCompositeSettingsDlg::UpdateControlStates()
{
    const bool sum = IsSum(SelectedType());
    for (int ch = 0; ch < 8; ++ch) {
        const bool usable = m_mode == 2 || (m_enabled && m_enabled[ch]);
        const int ids[3] = {kCompositeTestFirstId + ch, kCompositeReferenceFirstId + ch, kCompositeIncludeIds[ch]};
        const bool on[3] = {!sum, !sum, sum};
        for (int k = 0; k < 3; ++k) {
            if (CWnd* w = GetDlgItem(ids[k]))
                w->EnableWindow(on[k] && usable);
            if (!usable)
                CheckDlgButton(ids[k], 0);
        }
    }
    UpdateLabels();
}

void CCompositeSettingsDlg::UpdateLabels()
{
    BYTE include[8] = {};
    for (int ch = 0; ch < 8; ++ch)
        include[ch] = IsDlgButtonChecked(kCompositeIncludeIds[ch]) ? 1 : 0;
    std::string linear, log;
    DeriveLabels(SelectedType(), std::max(CheckedChannel(kCompositeTestFirstId), 0),
                 std::max(CheckedChannel(kCompositeReferenceFirstId), 0), include, m_calibrations, linear, log);
    SetDlgItemText(IDC_COMPOSITE_LABEL_LINEAR, linear);
    SetDlgItemText(IDC_COMPOSITE_LABEL_LOG, log);
}

void CCompositeSettingsDlg::OnTypeChanged() { UpdateControlStates(); }

void CCompositeSettingsDlg::OnChannelClicked(UINT) { UpdateLabels(); }

void CCompositeSettingsDlg::OnOK()
{
    if (!m_record) {
        CDialog::OnOK();
        return;
    }
    // Checked on a copy: a refused OK leaves the record as it was, so a Cancel after it
    // keeps nothing of the refused choice.
    CompositeChannelSettings chosen = *m_record;
    const WORD type = SelectedType();
    const int test = CheckedChannel(kCompositeTestFirstId);
    const int reference = CheckedChannel(kCompositeReferenceFirstId);
    chosen.CompositeType = type;
    if (test >= 0)
        chosen.TransferChannel = static_cast<DWORD>(test);
    if (reference >= 0)
        chosen.ReferenceChannel = static_cast<DWORD>(reference);
    for (int ch = 0; ch < 8; ++ch)
        chosen.IncludeInAverage[ch] = IsDlgButtonChecked(kCompositeIncludeIds[ch]) ? 1 : 0;
    if (m_mode != 2) {
        auto enabled = [&](int ch) { return ch >= 0 && ch < 8 && m_enabled && m_enabled[ch]; };
        const char* problem = nullptr;
        const int t = static_cast<int>(chosen.TransferChannel);
        const int r = static_cast<int>(chosen.ReferenceChannel);
        if (!IsSum(type)) {
            if (t == r)
                problem = "The Test Channel must be different than the Reference Channel.";
            else if (!enabled(t))
                problem = "Please select a valid Test Channel.";
            else if (!enabled(r))
                problem = "Please select a valid Reference Channel.";
        } else if (std::none_of(std::begin(chosen.IncludeInAverage), std::end(chosen.IncludeInAverage),
                                [](BYTE f) { return f != 0; })) {
            problem = "You must select at least one channel.";
        }
        if (problem) {
            AfxMessageBox(problem, MB_ICONSTOP);
            return;
        }
    }
    std::string linear, log;
    GetDlgItemText(IDC_COMPOSITE_LABEL_LINEAR, linear);
    GetDlgItemText(IDC_COMPOSITE_LABEL_LOG, log);
    Store(chosen.LabelLinear, sizeof chosen.LabelLinear, linear);
    Store(chosen.LabelLog, sizeof chosen.LabelLog, log);
    *m_record = chosen;
    CDialog::OnOK();
}
