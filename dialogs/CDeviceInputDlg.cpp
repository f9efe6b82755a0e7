#include "dialogs/CDeviceInputDlg.h"

#include "acquisition/TUsbDevice.h"
#include "dialogs/PageHelpers.h"
#include "platform/core/MessageBox.h"
#include "res/SheetPageDialogIds.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {
constexpr const char* kCaption = "Device Input Options";
constexpr WORD kIepeOff = 0, kIepeExternal = 1, kIepeInternal = 2;

void Refuse(CWnd* page, const std::string& text) { MessageBoxA(page, text.c_str(), kCaption, MB_OK | MB_ICONSTOP); }

// A message with the device's limit in it.
std::string WithLimit(const char* format, long limit)
{
    char text[160];
    std::snprintf(text, sizeof text, format, static_cast<int>(limit));
    return text;
}
} // namespace

BEGIN_MESSAGE_MAP(CDeviceInputDlg, CSheetPage)
    ON_WM_DEVICECHANGE()
END_MESSAGE_MAP()

CDeviceInputDlg::CDeviceInputDlg() : CSheetPage(IDD_DEVICE_INPUT_PAGE) {}

BOOL CDeviceInputDlg::OnInitDialog()
{
    CSheetPage::OnInitDialog();
    Fill();
    return TRUE;
}

int CDeviceInputDlg::Find(const std::vector<double>& values, double value)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        if (std::fabs(values[i] - value) <= 1e-9 * std::max(1.0, std::fabs(value)))
            return static_cast<int>(i);
    return -1;
}

// Each Add returns the entry's position, adding it when the list lacks it: a stored value the
// device does not offer stays visible and is kept rather than silently replaced.
int CDeviceInputDlg::AddGain(int row, double gain)
{
    int at = Find(m_gains[row], gain);
    if (at < 0) {
        m_gains[row].push_back(gain);
        at = static_cast<int>(m_gains[row].size()) - 1;
        if (CComboBox* c = sheet::Combo(*this, kInputRangeFirstId + row))
            c->AddString(sheet::FormatNumber("Gain %g", gain).c_str());
    }
    return at;
}

int CDeviceInputDlg::AddFilter(int row, double frequency)
{
    int at = Find(m_filters[row], frequency);
    if (at < 0) {
        m_filters[row].push_back(frequency);
        at = static_cast<int>(m_filters[row].size()) - 1;
        if (CComboBox* c = sheet::Combo(*this, kInputFilterFirstId + row))
            c->AddString(sheet::FormatNumber("%6.1f Hz", frequency).c_str());
    }
    return at;
}

int CDeviceInputDlg::AddIepe(int row, WORD source, double current)
{
    auto& list = m_iepe[row];
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].first == source && (source != kIepeInternal || std::fabs(list[i].second - current) < 1e-9))
            return static_cast<int>(i);
    list.emplace_back(source, current);
    if (CComboBox* c = sheet::Combo(*this, kInputIepeFirstId + row)) {
        const std::string text = source == kIepeOff        ? std::string("Disabled")
                                 : source == kIepeExternal ? std::string("External")
                                                           : sheet::FormatNumber("Internal %1.2f ma", current * 1000.0);
        c->AddString(text.c_str());
    }
    return static_cast<int>(list.size()) - 1;
}

void CDeviceInputDlg::Fill()
{
    if (m_Device)
        FillFrom(*m_Device);
}

void CDeviceInputDlg::FillFrom(const UsbDeviceSettings& record)
{
    const TUsbDevice* dev = m_InputDevice;
    m_ranges.clear();
    for (int i = 0; dev && i < dev->GetRangeCount(); ++i)
        m_ranges.emplace_back(dev->GetRangeLow(i), dev->GetRangeHigh(i));
    m_capability1 = dev && dev->HasInputCapability1();
    m_capability2 = dev && dev->HasInputCapability2();
    m_deviceChannels = dev ? std::clamp(dev->GetMaxChannels(), 0, 8) : 8;
    for (int r = 0; r < 8; ++r) {
        const UsbChannelSettings& c = record.Channels[r];
        CheckDlgButton(kInputEnableFirstId + r, c.bIsEnabled ? BST_CHECKED : BST_UNCHECKED);

        m_gains[r].clear();
        if (CComboBox* combo = sheet::Combo(*this, kInputRangeFirstId + r))
            combo->ResetContent();
        for (int i = 0; dev && i < dev->GetGainCount(); ++i)
            AddGain(r, dev->GetGainValue(i));
        if (CComboBox* combo = sheet::Combo(*this, kInputRangeFirstId + r))
            combo->SetCurSel(AddGain(r, c.Gain));

        if (CComboBox* combo = sheet::Combo(*this, kInputCouplingFirstId + r)) {
            combo->ResetContent();
            if (dev && dev->SupportsAcCoupling())
                combo->SetItemData(combo->AddString("AC"), 0);
            if (dev && dev->SupportsDcCoupling())
                combo->SetItemData(combo->AddString("DC"), 1);
            if (!sheet::SelectData(*this, kInputCouplingFirstId + r, c.CouplingType)) {
                const char* name = c.CouplingType == 0 ? "AC" : c.CouplingType == 1 ? "DC" : "Other";
                const int at = combo->AddString(name);
                combo->SetItemData(at, c.CouplingType);
                combo->SetCurSel(at);
            }
        }

        m_iepe[r].clear();
        if (CComboBox* combo = sheet::Combo(*this, kInputIepeFirstId + r))
            combo->ResetContent();
        AddIepe(r, kIepeOff, 0.0);
        if (dev && dev->HasInputCapability3())
            AddIepe(r, kIepeExternal, 0.0);
        for (int i = 0; dev && dev->SupportsIepeSource() && i < dev->GetIepeCurrentCount(); ++i)
            AddIepe(r, kIepeInternal, dev->GetIepeCurrent(i));
        const WORD source = c.IEPESource <= kIepeInternal ? c.IEPESource : kIepeOff;
        if (CComboBox* combo = sheet::Combo(*this, kInputIepeFirstId + r))
            combo->SetCurSel(AddIepe(r, source, c.IEPECurrent));

        m_filters[r].clear();
        if (CComboBox* combo = sheet::Combo(*this, kInputFilterFirstId + r))
            combo->ResetContent();
        for (int i = 0; dev && i < dev->GetFilterFrequencyCount(); ++i)
            AddFilter(r, dev->GetFilterFrequency(i));
        if (CComboBox* combo = sheet::Combo(*this, kInputFilterFirstId + r))
            combo->SetCurSel(AddFilter(r, c.FilterFreq));
    }
    for (int id : {kInputEnableFirstId, kInputRangeFirstId, kInputCouplingFirstId, kInputIepeFirstId, kInputFilterFirstId})
        sheet::Show(*this, id + 7, false);

    SetDlgItemText(IDC_INPUT_RATE, std::to_string(record.SamplingRate));
    if (CComboBox* combo = sheet::Combo(*this, IDC_INPUT_BITS)) {
        combo->ResetContent();
        for (int bits : {12, 16, 24})
            if (dev && dev->IsResolutionSupported(bits))
                combo->SetItemData(combo->AddString(std::to_string(bits).c_str()), static_cast<DWORD_PTR>(bits));
        if (!sheet::SelectData(*this, IDC_INPUT_BITS, record.BitsPerSample)) {
            const int at = combo->AddString(std::to_string(record.BitsPerSample).c_str());
            combo->SetItemData(at, record.BitsPerSample);
            combo->SetCurSel(at);
        }
    }
    SetDlgItemText(IDC_INPUT_SAMPLING, !dev ? "" : dev->IsSimultaneousSampling() ? "Simultaneous" : "Sequential");

    // Files, not the device, are processed in Post Process mode: the page shows, but edits nothing.
    const bool editable = m_OpMode != 2;
    for (int r = 0; r < 7; ++r)
        for (int id : {kInputEnableFirstId, kInputRangeFirstId, kInputCouplingFirstId, kInputIepeFirstId, kInputFilterFirstId})
            sheet::Enable(*this, id + r, editable && r < m_deviceChannels);
    sheet::Enable(*this, IDC_INPUT_RATE, editable);
    sheet::Enable(*this, IDC_INPUT_BITS, editable);
}

void CDeviceInputDlg::ReadControls(UsbDeviceSettings& record) const
{
    for (int r = 0; r < 8; ++r) {
        UsbChannelSettings& c = record.Channels[r];
        c.bIsEnabled = IsDlgButtonChecked(kInputEnableFirstId + r) ? 1 : 0;
        const int gain = sheet::Selection(*this, kInputRangeFirstId + r);
        if (gain >= 0 && static_cast<std::size_t>(gain) < m_gains[r].size())
            c.Gain = m_gains[r][static_cast<std::size_t>(gain)];
        c.CouplingType = static_cast<WORD>(sheet::SelectedData(*this, kInputCouplingFirstId + r, c.CouplingType));
        const int iepe = sheet::Selection(*this, kInputIepeFirstId + r);
        if (iepe >= 0 && static_cast<std::size_t>(iepe) < m_iepe[r].size()) {
            c.IEPESource = m_iepe[r][static_cast<std::size_t>(iepe)].first;
            if (c.IEPESource == kIepeInternal)
                c.IEPECurrent = m_iepe[r][static_cast<std::size_t>(iepe)].second;
        }
        const int filter = sheet::Selection(*this, kInputFilterFirstId + r);
        if (filter >= 0 && static_cast<std::size_t>(filter) < m_filters[r].size())
            c.FilterFreq = m_filters[r][static_cast<std::size_t>(filter)];
    }
    std::string rate;
    GetDlgItemText(IDC_INPUT_RATE, rate);
    const long value = sheet::ParseInteger(rate);
    if (value > 0)
        record.SamplingRate = static_cast<DWORD>(value);
    record.BitsPerSample = static_cast<DWORD>(sheet::SelectedData(*this, IDC_INPUT_BITS, record.BitsPerSample));
}

bool CDeviceInputDlg::ValidateAndStore()
{
    if (!m_Device || !GetSafeHwnd() || m_OpMode == 2)
        return true;
    std::string text;
    GetDlgItemText(IDC_INPUT_RATE, text);
    long rate = sheet::ParseInteger(text);
    int enabled = 0;
    for (int r = 0; r < 8; ++r)
        enabled += IsDlgButtonChecked(kInputEnableFirstId + r) ? 1 : 0;
    if (rate <= 0) {
        Refuse(this, "Sampling Rate must be greater than zero!");
        return false;
    }
    if (enabled == 0) {
        Refuse(this, "No channels are enabled!");
        return false;
    }
    if (const TUsbDevice* dev = m_InputDevice) {
        const long most = dev->GetMaxSamplingRate(), least = dev->GetMinSamplingRate();
        if (!dev->IsSimultaneousSampling() && enabled > 1) {
            // One converter serves every enabled channel in turn: the device's rate is shared.
            const long perMost = most / enabled, perLeast = (least + enabled - 1) / enabled;
            const long offer = rate > perMost ? perMost : rate < perLeast ? perLeast : rate;
            if (offer != rate) {
                char question[200];
                std::snprintf(question, sizeof question,
                              "With %d channels enabled the Sampling Rate must be between %ld and %ld Hz per "
                              "channel.  Use %ld Hz?",
                              enabled, perLeast, perMost, offer);
                if (MessageBoxA(this, question, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
                    return false;
                rate = offer;
                SetDlgItemText(IDC_INPUT_RATE, std::to_string(rate));
            }
        } else if (rate > most) {
            Refuse(this, WithLimit("The Sampling Rate is greater than the maximum supported sampling rate of %d Hz", most));
            return false;
        } else if (rate < least) {
            Refuse(this, WithLimit("The Sampling Rate is less than the minimum supported sampling rate of %d Hz", least));
            return false;
        }
    }
    ReadControls(*m_Device);
    return true;
}

void CDeviceInputDlg::Defaults()
{
    if (!m_Device || m_OpMode == 2)
        return;
    m_Device->SamplingRate = UsbDeviceSettings::kDefaultSamplingRate;
    m_Device->BitsPerSample = UsbDeviceSettings::kDefaultBitsPerSample;
    for (int r = 0; r < 8; ++r)
        m_Device->Channels[r].SetDefaults(static_cast<DWORD>(r));
    Fill();
}

void CDeviceInputDlg::Copy(int s, const BYTE flags[8])
{
    if (s < 0 || s >= 8 || m_OpMode == 2)
        return;
    UsbDeviceSettings scratch;
    ReadControls(scratch);
    for (int d = 0; d < 8; ++d) {
        if (!flags[d] || d == s)
            continue;
        CheckDlgButton(kInputEnableFirstId + d, IsDlgButtonChecked(kInputEnableFirstId + s));
        const UsbChannelSettings& from = scratch.Channels[s];
        if (CComboBox* c = sheet::Combo(*this, kInputRangeFirstId + d))
            c->SetCurSel(AddGain(d, from.Gain));
        sheet::SelectData(*this, kInputCouplingFirstId + d, from.CouplingType);
        if (CComboBox* c = sheet::Combo(*this, kInputIepeFirstId + d))
            c->SetCurSel(AddIepe(d, from.IEPESource, from.IEPECurrent));
        if (CComboBox* c = sheet::Combo(*this, kInputFilterFirstId + d))
            c->SetCurSel(AddFilter(d, from.FilterFreq));
    }
}

BOOL CDeviceInputDlg::OnDeviceChange(UINT, DWORD_PTR)
{
    // The lists follow the device now attached; what the user has chosen so far stays.
    if (m_Device && GetSafeHwnd()) {
        UsbDeviceSettings shown = *m_Device;
        ReadControls(shown);
        FillFrom(shown);
    }
    return TRUE;
}
