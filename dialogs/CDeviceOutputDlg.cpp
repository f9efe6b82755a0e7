#include "dialogs/CDeviceOutputDlg.h"

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "dialogs/PageHelpers.h"
#include "platform/core/MessageBox.h"
#include "platform/sound/WaveOut.h"
#include "res/SheetPageDialogIds.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {
constexpr const char* kCaption = "Device Output options";
constexpr int kMaxSoundCards = 64;
constexpr double kRms = 0.707106;

enum Unit : DWORD { kDbFs = 0, kPercent = 1, kVolts = 2, kMillivolts = 3, kDbV = 4, kDbmV = 5, kDbu = 6 };

std::string WithNumber(const char* format, int value)
{
    char text[300];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string WithValue(const char* format, double value)
{
    char text[160];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string WithRange(const char* format, double a, double b)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }
} // namespace

BEGIN_MESSAGE_MAP(CDeviceOutputDlg, CSheetPage)
    ON_BN_CLICKED(IDC_OUT_DEVICE, &CDeviceOutputDlg::OnSideClicked)
    ON_BN_CLICKED(IDC_OUT_SOUND, &CDeviceOutputDlg::OnSideClicked)
    ON_CBN_SELCHANGE(IDC_OUT_DEVICE_LIST, &CDeviceOutputDlg::OnListChanged)
    ON_CBN_SELCHANGE(IDC_OUT_SOUND_LIST, &CDeviceOutputDlg::OnListChanged)
    ON_CBN_SELCHANGE(IDC_OUT_CHANNELS, &CDeviceOutputDlg::OnChannelsChanged)
    ON_WM_DEVICECHANGE()
END_MESSAGE_MAP()

CDeviceOutputDlg::CDeviceOutputDlg() : CSheetPage(IDD_OUTPUT_PAGE) {}

BOOL CDeviceOutputDlg::OnInitDialog()
{
    CSheetPage::OnInitDialog();
    Fill();
    return TRUE;
}

bool CDeviceOutputDlg::SoundCardChosen() const { return IsDlgButtonChecked(IDC_OUT_SOUND) != 0; }

void CDeviceOutputDlg::Fill()
{
    if (!m_Output || !m_UseSoundCard)
        return;
    m_busy = true;
    CheckRadioButton(IDC_OUT_DEVICE, IDC_OUT_SOUND, *m_UseSoundCard ? IDC_OUT_SOUND : IDC_OUT_DEVICE);
    SetDlgItemText(IDC_OUT_RATE, "");
    FillDeviceLists();
    ReadCapabilities();
    WriteNotes();
    FillFormat();
    FillLevels();
    m_busy = false;
}

void CDeviceOutputDlg::FillDeviceLists()
{
    m_deviceCount = m_Device ? std::max(0, m_Device->IsPresent()) : 0;
    if (CComboBox* c = sheet::Combo(*this, IDC_OUT_DEVICE_LIST)) {
        c->ResetContent();
        for (int i = 0; i < m_deviceCount; ++i) {
            char name[256] = {};
            m_Device->GetDeviceName(i, name, sizeof name);
            c->SetItemData(c->AddString(name), static_cast<DWORD_PTR>(i));
        }
        if (m_deviceCount > 0 && m_OutputDeviceIndex)
            c->SetCurSel(std::clamp(*m_OutputDeviceIndex, 0, m_deviceCount - 1));
    }
    m_soundCount = std::min(static_cast<int>(waveOutGetNumDevs()), kMaxSoundCards);
    if (CComboBox* c = sheet::Combo(*this, IDC_OUT_SOUND_LIST)) {
        c->ResetContent();
        for (int i = 0; i < m_soundCount; ++i) {
            char name[33] = {};
            std::unique_ptr<TSoundOutput> port(new (std::nothrow) TSoundOutput(i));
            if (port)
                port->GetDeviceName(name);
            c->SetItemData(c->AddString(name), static_cast<DWORD_PTR>(i));
        }
        if (m_soundCount > 0 && m_SoundCardIndex)
            c->SetCurSel(static_cast<int>(std::min<DWORD>(*m_SoundCardIndex, static_cast<DWORD>(m_soundCount - 1))));
    }
}

void CDeviceOutputDlg::ReadCapabilities()
{
    if (SoundCardChosen()) {
        m_maxRate = 192000;
        m_maxChannels = 2;
        m_bits16 = m_bits24 = true;
        m_bits32 = false;
        return;
    }
    m_maxRate = 50000;
    m_maxChannels = 0;
    m_bits16 = true;
    m_bits24 = m_bits32 = false;
    if (m_deviceCount == 0 || !m_Device)
        return;
    const int index = std::max(0, sheet::Selection(*this, IDC_OUT_DEVICE_LIST));
    m_Device->GetBoardName(index, m_deviceName, sizeof m_deviceName);
    m_fullScale = m_Device->GetGain();
    m_maxRate = m_Device->GetOutputRateLimit();
    m_maxChannels = m_Device->GetOutputChannelCount();
    m_bits16 = m_Device->IsOutputResolutionSupported(16);
    m_bits24 = m_Device->IsOutputResolutionSupported(24);
    m_bits32 = m_Device->IsOutputResolutionSupported(32);
}

void CDeviceOutputDlg::WriteNotes()
{
    const bool sound = SoundCardChosen();
    sheet::Enable(*this, IDC_OUT_DEVICE_LIST, !sound);
    sheet::Enable(*this, IDC_OUT_DEVICE_NOTE, !sound);
    sheet::Enable(*this, IDC_OUT_SOUND_LIST, sound);
    sheet::Enable(*this, IDC_OUT_SOUND_NOTE, sound);
    if (sound) {
        SetDlgItemText(IDC_OUT_SOUND_NOTE, m_soundCount == 0 ? "There are no multimedia sound devices on your system"
                                                             : "This is a general purpose sound card that supports all "
                                                               "common sampling rates");
        return;
    }
    std::string note;
    if (m_deviceCount == 0) {
        note = "There are no KDR-5200 devices on your system";
    } else {
        note = m_maxRate > 0 ? WithNumber("This model supports D/A output operations at a maximum rate of %d Hz.", m_maxRate)
                             : "This model does not support D/A output operations.";
        if (StartsWith(m_deviceName, "KDR5237"))
            note = "This model does not support multiple buffer D/A output operations required for the signal generator.";
        if (StartsWith(m_deviceName, "KDR5237-A"))
            note = WithNumber("This model supports D/A operations and has a maximum rate of %d Hz but the output "
                              "circuitry includes a 2 pole butterworth filter that rolls off the frequency response "
                              "starting at 4 kHz and above.",
                              m_maxRate);
        if (StartsWith(m_deviceName, "KDR5237-B"))
            note = "This model does not support D/A output operations.";
        if (StartsWith(m_deviceName, "KDR5237-C"))
            note = WithNumber("This model supports D/A operations and has a maximum rate of %d Hz.", m_maxRate);
    }
    SetDlgItemText(IDC_OUT_DEVICE_NOTE, note);
}

void CDeviceOutputDlg::FillFormat()
{
    std::string typed;
    GetDlgItemText(IDC_OUT_RATE, typed);
    if (sheet::ParseInteger(typed) == 0) {
        const DWORD stored = m_Output->SigGenSamplingRate;
        const bool fits = stored != 0 && stored <= static_cast<DWORD>(std::max(0, m_maxRate));
        SetDlgItemText(IDC_OUT_RATE, std::to_string(fits ? stored : static_cast<DWORD>(std::max(0, m_maxRate))));
    }
    if (CComboBox* c = sheet::Combo(*this, IDC_OUT_CHANNELS)) {
        c->ResetContent();
        if (m_maxChannels >= 1)
            c->SetItemData(c->AddString("1"), 1);
        if (m_maxChannels >= 2)
            c->SetItemData(c->AddString("2"), 2);
        if (c->GetCount() > 0 && !sheet::SelectData(*this, IDC_OUT_CHANNELS, m_Output->SigGenNumChannels))
            c->SetCurSel(0);
    }
    if (CComboBox* c = sheet::Combo(*this, IDC_OUT_BITS)) {
        c->ResetContent();
        if (m_bits16)
            c->SetItemData(c->AddString("16"), 16);
        if (m_bits24)
            c->SetItemData(c->AddString("24"), 24);
        if (m_bits32)
            c->SetItemData(c->AddString("32"), 32);
        if (c->GetCount() > 0 && !sheet::SelectData(*this, IDC_OUT_BITS, m_Output->SigGenBitsPerSample))
            c->SetCurSel(0);
    }
}

void CDeviceOutputDlg::FillLevels()
{
    SetDlgItemText(IDC_OUT_LEVEL1, sheet::FormatNumber("%6.2f", m_Output->OutputLevel1));
    SetDlgItemText(IDC_OUT_LEVEL2, sheet::FormatNumber("%6.2f", m_Output->OutputLevel2));
    sheet::Enable(*this, IDC_OUT_LEVEL2, sheet::SelectedData(*this, IDC_OUT_CHANNELS, 0) != 1);
    const bool sound = SoundCardChosen();
    SetDlgItemText(IDC_OUT_LEVEL1_LABEL, sound ? "Left Channel Level" : "Channel 0 Level");
    SetDlgItemText(IDC_OUT_LEVEL2_LABEL, sound ? "Right Channel Level" : "Channel 1 Level");
    if (CComboBox* c = sheet::Combo(*this, IDC_OUT_UNITS)) {
        c->ResetContent();
        if (sound) {
            c->SetItemData(c->AddString("dB Full Scale"), kDbFs);
            c->SetItemData(c->AddString("Percent Full Scale"), kPercent);
        } else {
            c->SetItemData(c->AddString("Volts rms"), kVolts);
            c->SetItemData(c->AddString("Millivolts rms"), kMillivolts);
            c->SetItemData(c->AddString("dBV rms"), kDbV);
            c->SetItemData(c->AddString("dBmV rms"), kDbmV);
            c->SetItemData(c->AddString("dBu rms"), kDbu);
        }
        if (!sheet::SelectData(*this, IDC_OUT_UNITS, m_Output->OutputLevelUnit))
            c->SetCurSel(0);
    }
    FitLevels();
}

// A level that cannot be meant in the shown unit is replaced by a usual one.
void CDeviceOutputDlg::FitLevels()
{
    const DWORD unit = static_cast<DWORD>(sheet::SelectedData(*this, IDC_OUT_UNITS, kDbFs));
    for (int id : {IDC_OUT_LEVEL1, IDC_OUT_LEVEL2}) {
        double level = 0.0;
        sheet::ReadNumber(*this, id, level);
        if (unit == kDbFs && level > 0.0)
            SetDlgItemText(id, "0.0");
        else if (unit == kPercent && !(level > 0.0))
            SetDlgItemText(id, "100.0");
        else if (unit == kVolts && !(level > 0.0))
            SetDlgItemText(id, "1.0");
        else if (unit == kMillivolts && !(level > 0.0))
            SetDlgItemText(id, "100.0");
    }
}

void CDeviceOutputDlg::Redo()
{
    if (m_busy || !m_Output)
        return;
    m_busy = true;
    ReadCapabilities();
    WriteNotes();
    FillFormat();
    FillLevels();
    m_busy = false;
}

void CDeviceOutputDlg::OnSideClicked() { Redo(); }
void CDeviceOutputDlg::OnListChanged() { Redo(); }

void CDeviceOutputDlg::OnChannelsChanged()
{
    if (m_busy || !m_Output)
        return;
    m_busy = true;
    FillLevels();
    m_busy = false;
}

BOOL CDeviceOutputDlg::OnDeviceChange(UINT, DWORD_PTR)
{
    if (m_busy || !m_Output || !GetSafeHwnd())
        return TRUE;
    m_busy = true;
    if (m_Device)
        m_Device->CloseDevice();
    FillDeviceLists();
    ReadCapabilities();
    WriteNotes();
    FillFormat();
    m_busy = false;
    return TRUE;
}

void CDeviceOutputDlg::Defaults()
{
    if (!m_Output)
        return;
    SetDlgItemText(IDC_OUT_RATE, "48000");
    for (int id : {IDC_OUT_CHANNELS, IDC_OUT_BITS, IDC_OUT_UNITS})
        if (CComboBox* c = sheet::Combo(*this, id); c && c->GetCount() > 0)
            c->SetCurSel(0);
    SetDlgItemText(IDC_OUT_LEVEL1, "1.0");
    SetDlgItemText(IDC_OUT_LEVEL2, "1.0");
    sheet::Enable(*this, IDC_OUT_LEVEL2, sheet::SelectedData(*this, IDC_OUT_CHANNELS, 0) != 1);
    // 1.0 is above full scale in dB: the defaults must be values the page itself accepts.
    FitLevels();
}

std::string CDeviceOutputDlg::LevelRefusal(DWORD unit, double fullScale, double v)
{
    const double fs = fullScale;
    std::string refusal;
    double top = 0.0;
    switch (unit) {
    case kDbFs:
        if (!(v >= -96.0 && v <= 0.0))
            refusal = "Output Level must be between 0.0 and -96 dB";
        break;
    case kPercent:
        if (!(v > 0.0 && v <= 100.0))
            refusal = "Output Level must be between 0.0 and 100 percent";
        break;
    case kVolts:
        if (!(v > 0.0 && v <= fs * kRms))
            refusal = WithValue("Output Level must be between 0.0 and %6.2f Volts rms", fs * kRms);
        break;
    case kMillivolts:
        if (!(v > 0.0 && v <= fs * 1000.0 * kRms))
            refusal = WithValue("Output Level must be between 0.0 and %6.2f Millivolts rms", fs * 1000.0 * kRms);
        break;
    case kDbV:
    case kDbmV:
    case kDbu:
        top = unit == kDbV ? 20.0 * std::log10(fs * kRms)
              : unit == kDbmV ? 20.0 * std::log10(fs * 1000.0 * kRms)
                              : 20.0 * std::log10(fs * 0.7071) + 2.21395;
        if (!(v >= top - 96.0 && v <= top))
            refusal = WithRange(unit == kDbV    ? "Output Level must be between %6.2f and %6.2f dBV rms"
                                : unit == kDbmV ? "Output Level must be between %6.2f and %6.2f dBmV rms"
                                                : "Output Level must be between %6.2f and %6.2f dBu rms",
                                top, top - 96.0);
        break;
    default:
        break;
    }
    return refusal;
}

bool CDeviceOutputDlg::ValidateAndStore()
{
    if (!m_Output || !m_UseSoundCard || !GetSafeHwnd())
        return true;
    const bool sound = SoundCardChosen();
    const CComboBox* channelList = sheet::Combo(*this, IDC_OUT_CHANNELS);
    if ((!sound && m_deviceCount == 0) || (sound && m_soundCount == 0) || !channelList || channelList->GetCount() == 0) {
        *m_UseSoundCard = sound ? 1 : 0; // nothing on that side to check
        return true;
    }

    // Checked first, stored after: a refusal leaves the working copies as they were.
    std::string typed;
    GetDlgItemText(IDC_OUT_RATE, typed);
    const long rate = sheet::ParseInteger(typed);
    if (m_maxChannels > 0 && rate < 1) {
        MessageBoxA(this, "The Output Sampling Rate must be greater than zero!", kCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    if (m_maxChannels > 0 && rate > m_maxRate) {
        MessageBoxA(this, WithNumber("The Output Sampling Rate cannot exceed %d Hz", m_maxRate).c_str(), kCaption,
                    MB_OK | MB_ICONSTOP);
        return false;
    }
    const DWORD channels = static_cast<DWORD>(sheet::SelectedData(*this, IDC_OUT_CHANNELS, 1));
    const DWORD unit = static_cast<DWORD>(sheet::SelectedData(*this, IDC_OUT_UNITS, m_Output->OutputLevelUnit));
    // A level that is no number fails every range below.
    double levels[2] = {std::nan(""), std::nan("")};
    if (!sheet::ReadNumber(*this, IDC_OUT_LEVEL1, levels[0]))
        levels[0] = std::nan("");
    if (!sheet::ReadNumber(*this, IDC_OUT_LEVEL2, levels[1]))
        levels[1] = std::nan("");
    for (int i = 0; i < (channels == 2 ? 2 : 1); ++i) {
        const std::string refusal = LevelRefusal(unit, m_fullScale, levels[i]);
        if (!refusal.empty()) {
            MessageBoxA(this, refusal.c_str(), kCaption, MB_OK | MB_ICONSTOP);
            return false;
        }
    }
    *m_UseSoundCard = sound ? 1 : 0;
    if (m_OutputDeviceIndex && m_deviceCount > 0)
        *m_OutputDeviceIndex = static_cast<INT>(sheet::SelectedData(*this, IDC_OUT_DEVICE_LIST, 0));
    if (m_SoundCardIndex && m_soundCount > 0)
        *m_SoundCardIndex = static_cast<DWORD>(sheet::SelectedData(*this, IDC_OUT_SOUND_LIST, 0));
    OutputDeviceSettings& o = *m_Output;
    o.SigGenSamplingRate = static_cast<DWORD>(std::max(0L, rate));
    o.SigGenNumChannels = channels;
    o.SigGenBitsPerSample = static_cast<DWORD>(sheet::SelectedData(*this, IDC_OUT_BITS, o.SigGenBitsPerSample));
    o.OutputLevel1 = static_cast<float>(levels[0]);
    if (std::isfinite(levels[1])) // unchecked with one channel, but never made a NaN
        o.OutputLevel2 = static_cast<float>(levels[1]);
    o.OutputLevelUnit = unit;
    o.FullScaleVolts = static_cast<float>(m_fullScale);
    return true;
}
