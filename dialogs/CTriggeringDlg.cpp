#include "dialogs/CTriggeringDlg.h"

#include "dialogs/PageHelpers.h"
#include "platform/core/MessageBox.h"
#include "records/CommonRoutines.h"
#include "res/SheetPageDialogIds.h"

namespace {
constexpr const char* kCaption = "Triggering Options";
constexpr DWORD kSourceTtl = 1;
constexpr DWORD kWaveFile = 100; // list entry of Post Process mode; stored as the analog source

void Refuse(CWnd* page, const char* text) { MessageBoxA(page, text, kCaption, MB_OK | MB_ICONSTOP); }
} // namespace

CTriggeringDlg::CTriggeringDlg() : CSheetPage(IDD_TRIGGERING_PAGE) {}

BOOL CTriggeringDlg::OnInitDialog()
{
    CSheetPage::OnInitDialog();
    Fill();
    return TRUE;
}

void CTriggeringDlg::Fill()
{
    if (!m_Trigger)
        return;
    const TriggerSettings& t = *m_Trigger;
    CheckDlgButton(IDC_TRIG_ENABLE, t.TriggerEnabled ? BST_CHECKED : BST_UNCHECKED);
    if (CComboBox* c = sheet::Combo(*this, IDC_TRIG_SOURCE)) {
        c->ResetContent();
        // Post Process runs search the channels' wave files; live runs an input or the TTL line.
        if (m_OpMode == 2) {
            c->SetItemData(c->AddString("Wave File"), kWaveFile);
        } else {
            c->SetItemData(c->AddString("Analog Input Channel"), 0);
            c->SetItemData(c->AddString("External Trigger (TTL)"), kSourceTtl);
        }
        if (!sheet::SelectData(*this, IDC_TRIG_SOURCE, t.TriggerSource))
            c->SetCurSel(0);
    }
    if (CComboBox* c = sheet::Combo(*this, IDC_TRIG_CHANNEL)) {
        c->ResetContent();
        for (int ch = 0; ch < 7; ++ch)
            c->SetItemData(c->AddString(GetChannelLocationName(ch)), static_cast<DWORD_PTR>(ch));
        if (!sheet::SelectData(*this, IDC_TRIG_CHANNEL, t.TriggerChannel))
            c->SetCurSel(0);
    }
    CheckRadioButton(IDC_TRIG_LEVEL, IDC_TRIG_EDGE, t.TriggerType == 1 ? IDC_TRIG_EDGE : IDC_TRIG_LEVEL);
    CheckRadioButton(IDC_TRIG_POSITIVE, IDC_TRIG_NEGATIVE, t.Polarity == 1 ? IDC_TRIG_NEGATIVE : IDC_TRIG_POSITIVE);
    CheckRadioButton(IDC_TRIG_PRE, IDC_TRIG_POST, t.DelayType == 0 ? IDC_TRIG_PRE : IDC_TRIG_POST);
    SetDlgItemText(IDC_TRIG_THRESHOLD, sheet::FormatNumber("%6.3f", t.ThresholdVolts));
    SetDlgItemText(IDC_TRIG_DELAY, sheet::FormatNumber("%6.3f", t.DelayMsec));
    CheckDlgButton(IDC_TRIG_PROMPT, t.PromptToAccept ? BST_CHECKED : BST_UNCHECKED);
}

void CTriggeringDlg::Defaults()
{
    if (!m_Trigger)
        return;
    *m_Trigger = TriggerSettings();
    Fill();
}

bool CTriggeringDlg::ValidateAndStore()
{
    if (!m_Trigger || !GetSafeHwnd())
        return true;
    // Everything is checked before anything is stored, so a refusal leaves the record as it was.
    double threshold = 0.0, delay = 0.0;
    if (!sheet::ReadNumber(*this, IDC_TRIG_THRESHOLD, threshold) || !(threshold > 0.0 && threshold < 10.0)) {
        Refuse(this, "The Trigger Threshold must be greater than 0 and less than 10 Volts.");
        return false;
    }
    if (!sheet::ReadNumber(*this, IDC_TRIG_DELAY, delay) || !(delay >= 0.0 && delay < 1000.0)) {
        Refuse(this, "The Trigger Delay must be at least 0 and less than 1000 milliseconds.");
        return false;
    }
    const DWORD source = static_cast<DWORD>(sheet::SelectedData(*this, IDC_TRIG_SOURCE, m_Trigger->TriggerSource));
    const bool pre = GetCheckedRadioButton(IDC_TRIG_PRE, IDC_TRIG_POST) == IDC_TRIG_PRE;
    if (source == kSourceTtl && pre) {
        Refuse(this, "Only Post Trigger Delay is supported when using External TTL Triggering.");
        return false;
    }
    TriggerSettings& t = *m_Trigger;
    t.TriggerEnabled = IsDlgButtonChecked(IDC_TRIG_ENABLE) ? 1 : 0;
    if (source != kWaveFile) // a wave file is searched whatever the live source
        t.TriggerSource = source;
    t.TriggerChannel = static_cast<DWORD>(sheet::SelectedData(*this, IDC_TRIG_CHANNEL, t.TriggerChannel));
    t.TriggerType = GetCheckedRadioButton(IDC_TRIG_LEVEL, IDC_TRIG_EDGE) == IDC_TRIG_EDGE ? 1 : 0;
    t.Polarity = GetCheckedRadioButton(IDC_TRIG_POSITIVE, IDC_TRIG_NEGATIVE) == IDC_TRIG_NEGATIVE ? 1 : 0;
    t.DelayType = pre ? 0 : 1;
    t.ThresholdVolts = static_cast<float>(threshold);
    t.DelayMsec = static_cast<float>(delay);
    t.PromptToAccept = IsDlgButtonChecked(IDC_TRIG_PROMPT) ? 1 : 0;
    return true;
}
