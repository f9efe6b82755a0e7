#include "app/CFilterDialog.h"

#include "records/CommonRoutines.h"
#include "records/NumberText.h"
#include "records/RecordBytes.h"
#include "platform/core/SystemFolders.h"
#include "platform/ui/CommonDialogs.h"
#include "res/FileDialogIds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

BEGIN_MESSAGE_MAP(CFilterDialog, CDialog)
    ON_BN_CLICKED(IDC_FILTER_LOWPASS, &CFilterDialog::OnFilterTypeChanged)
    ON_BN_CLICKED(IDC_FILTER_HIGHPASS, &CFilterDialog::OnFilterTypeChanged)
    ON_BN_CLICKED(IDC_FILTER_BANDPASS, &CFilterDialog::OnFilterTypeChanged)
    ON_BN_CLICKED(IDC_FILTER_NOTCH, &CFilterDialog::OnFilterTypeChanged)
    ON_BN_CLICKED(IDC_FILTER_CUSTOM, &CFilterDialog::OnFilterTypeChanged)
    ON_BN_CLICKED(IDC_DEFAULTS_BUTTON, &CFilterDialog::OnDefaults)
    ON_BN_CLICKED(IDC_HELP_BUTTON, &CFilterDialog::OnHelp)
    ON_BN_CLICKED(IDC_FILTER_SELECT_FILE, &CFilterDialog::OnSelectFile)
    ON_BN_CLICKED(IDC_FILTER_EDIT_FILE, &CFilterDialog::OnEditFile)
END_MESSAGE_MAP()

namespace {

constexpr int kRadios[] = {IDC_FILTER_LOWPASS, IDC_FILTER_HIGHPASS, IDC_FILTER_BANDPASS, IDC_FILTER_NOTCH,
                           IDC_FILTER_CUSTOM};
constexpr int kMinTaps = 39;
constexpr int kMaxTaps = 999;

std::string Format(const char* format, long a, long b)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

} // namespace

CFilterDialog::CFilterDialog(CWnd* parent, DWORD sampleRate, FilterSettings* settings)
    : CDialog(IDD_FILTER, parent), sampleRate_(sampleRate), settings_(settings)
{
}

BOOL CFilterDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int i = 0; i < 5; ++i)
        CheckDlgButton(kRadios[i], settings_->FilterType == DWORD(i) ? BST_CHECKED : BST_UNCHECKED);
    char text[64];
    const auto setLong = [&](int id, long v) {
        std::snprintf(text, sizeof text, "%ld", v);
        SetDlgItemText(id, text);
    };
    setLong(IDC_FILTER_LOW_CUTOFF, settings_->LowPassCutoff);
    setLong(IDC_FILTER_HIGH_CUTOFF, settings_->HighPassCutoff);
    setLong(IDC_FILTER_BAND_CENTER, settings_->BandPassCenter);
    setLong(IDC_FILTER_BAND_WIDTH, settings_->BandPassWidth);
    setLong(IDC_FILTER_NOTCH_CENTER, settings_->NotchCenter);
    setLong(IDC_FILTER_NOTCH_WIDTH, settings_->NotchWidth);
    SetDlgItemText(IDC_FILTER_RESPONSE_FILE, settings_->ResponseFile);
    std::snprintf(text, sizeof text, "%d", int(settings_->NumTaps));
    SetDlgItemText(IDC_FILTER_TAPS, text);
    std::snprintf(text, sizeof text, "%6.3f", double(settings_->FilterGain));
    SetDlgItemText(IDC_FILTER_GAIN, text);
    OnFilterTypeChanged();
    return TRUE;
}

DWORD CFilterDialog::CheckedType() const
{
    for (int i = 0; i < 5; ++i)
        if (IsDlgButtonChecked(kRadios[i]))
            return DWORD(i);
    return settings_->FilterType;
}

void CFilterDialog::OnFilterTypeChanged()
{
    const DWORD type = CheckedType();
    const auto enable = [&](int id, bool on) {
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(on);
    };
    enable(IDC_FILTER_LOW_CUTOFF, type == FILTER_LOWPASS);
    enable(IDC_FILTER_HIGH_CUTOFF, type == FILTER_HIGHPASS);
    enable(IDC_FILTER_BAND_CENTER, type == FILTER_BANDPASS);
    enable(IDC_FILTER_BAND_WIDTH, type == FILTER_BANDPASS);
    enable(IDC_FILTER_NOTCH_CENTER, type == FILTER_NOTCH);
    enable(IDC_FILTER_NOTCH_WIDTH, type == FILTER_NOTCH);
    enable(IDC_FILTER_RESPONSE_FILE, type == FILTER_CUSTOM);
    enable(IDC_FILTER_SELECT_FILE, type == FILTER_CUSTOM);
    enable(IDC_FILTER_EDIT_FILE, type == FILTER_CUSTOM);
}

void CFilterDialog::OnOK()
{
    const long nyquist = long(sampleRate_ / 2);
    const auto refuse = [](const std::string& message) { AfxMessageBox(message, MB_OK | MB_ICONERROR); };
    // Every value is read and checked before any is stored: a refusal leaves the record as it was.
    double taps = 0.0;
    if (!ReadNumberField(*this, IDC_FILTER_TAPS, NumberField{"The number of filter taps", -1e12, 1e12, true}, taps))
        return;
    if (taps < kMinTaps || taps > kMaxTaps) {
        refuse(Format("The number of filter taps must be between %ld and %ld", kMinTaps, kMaxTaps));
        return;
    }
    double gain = 0.0;
    if (!ReadNumberField(*this, IDC_FILTER_GAIN, NumberField{"The filter gain"}, gain))
        return;
    if (!(gain >= -90.0 && gain <= 90.0)) {
        refuse("The filter gain must be between -90 and + 90 dB");
        return;
    }

    const DWORD type = CheckedType();
    // What the type does not read counts as a value inside the range.
    double cutoff = nyquist / 2;
    double center = nyquist / 2;
    double width = nyquist / 2;
    const auto read = [this](int id, const char* name, double& value) {
        return ReadNumberField(*this, id, NumberField{name, -1e12, 1e12, true}, value);
    };
    bool typed = true;
    switch (type) {
    case FILTER_LOWPASS: typed = read(IDC_FILTER_LOW_CUTOFF, "Cutoff Frequency", cutoff); break;
    case FILTER_HIGHPASS: typed = read(IDC_FILTER_HIGH_CUTOFF, "Cutoff Frequency", cutoff); break;
    case FILTER_BANDPASS:
        typed = read(IDC_FILTER_BAND_CENTER, "Center Frequency", center) &&
                read(IDC_FILTER_BAND_WIDTH, "Frequency Width", width);
        break;
    case FILTER_NOTCH:
        typed = read(IDC_FILTER_NOTCH_CENTER, "Center Frequency", center) &&
                read(IDC_FILTER_NOTCH_WIDTH, "Frequency Width", width);
        break;
    default: break;
    }
    if (!typed)
        return;
    if (cutoff < 0 || cutoff > nyquist) {
        refuse(Format("Cutoff Frequency must be between %ld and %ld Hz", 0, nyquist));
        return;
    }
    if (center < 0 || center > nyquist) {
        refuse(Format("Center Frequency must be between %ld and %ld Hz", 0, nyquist));
        return;
    }
    if (width < 0 || width > nyquist) {
        refuse(Format("Frequency Width must be between %ld and %ld Hz", 0, nyquist));
        return;
    }

    settings_->NumTaps = std::int32_t(taps);
    settings_->FilterGain = static_cast<float>(gain);
    settings_->FilterType = type;
    switch (type) {
    case FILTER_LOWPASS: settings_->LowPassCutoff = std::int32_t(cutoff); break;
    case FILTER_HIGHPASS: settings_->HighPassCutoff = std::int32_t(cutoff); break;
    case FILTER_BANDPASS:
        settings_->BandPassCenter = std::int32_t(center);
        settings_->BandPassWidth = std::int32_t(width);
        break;
    case FILTER_NOTCH:
        settings_->NotchCenter = std::int32_t(center);
        settings_->NotchWidth = std::int32_t(width);
        break;
    case FILTER_CUSTOM: {
        char text[261] = {};
        GetDlgItemText(IDC_FILTER_RESPONSE_FILE, text, sizeof text);
        CopyField(settings_->ResponseFile, text);
        break;
    }
    default: break;
    }
    CDialog::OnOK();
}

void CFilterDialog::OnDefaults()
{
    for (int i = 0; i < 5; ++i)
        CheckDlgButton(kRadios[i], i == 0 ? BST_CHECKED : BST_UNCHECKED);
    OnFilterTypeChanged();
    SetDlgItemText(IDC_FILTER_TAPS, "200");
    SetDlgItemText(IDC_FILTER_GAIN, "0.0");
    SetDlgItemText(IDC_FILTER_LOW_CUTOFF, "1000");
    SetDlgItemText(IDC_FILTER_HIGH_CUTOFF, "1000");
    SetDlgItemText(IDC_FILTER_BAND_CENTER, "1000");
    SetDlgItemText(IDC_FILTER_BAND_WIDTH, "500");
    SetDlgItemText(IDC_FILTER_NOTCH_CENTER, "1000");
    SetDlgItemText(IDC_FILTER_NOTCH_WIDTH, "500");
    SetDlgItemText(IDC_FILTER_RESPONSE_FILE, "");
}

void CFilterDialog::OnHelp() {}

void CFilterDialog::OnSelectFile()
{
    char file[256] = "*.flt; *.ovl; *.mic";
    // One description entry; every file is listed, as the description names three patterns.
    static const char kFilter[] = "Filter Response Files (*.flt); Overlay Files (*.ovl); Mic Comp (*.mic)\0*.*\0\0";
    OPENFILENAMEA ofn;
    ofn.hwndOwner = GetSafeHwnd();
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = "Select Filter Response File";
    ofn.lpstrDefExt = "flt";
    ofn.lpstrInitialDir = filterFolder_ ? filterFolder_ : nullptr;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&ofn))
        return;
    if (filterFolder_) {
        char folder[260] = {};
        GetFolderOfPath(file, folder);
        std::memcpy(filterFolder_, folder, sizeof folder);
    }
    SetDlgItemText(IDC_FILTER_RESPONSE_FILE, file);
}

void CFilterDialog::OnEditFile()
{
    std::string path;
    GetDlgItemText(IDC_FILTER_RESPONSE_FILE, path);
    if (!path.empty())
        OpenInDesktopViewer(path);
}
