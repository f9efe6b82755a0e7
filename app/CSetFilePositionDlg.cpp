#include "app/CSetFilePositionDlg.h"

#include "res/FileDialogIds.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

BEGIN_MESSAGE_MAP(CSetFilePositionDlg, CDialog)
    ON_BN_CLICKED(IDC_POSITION_BY_SECONDS, &CSetFilePositionDlg::OnModeClicked)
    ON_BN_CLICKED(IDC_POSITION_BY_SAMPLES, &CSetFilePositionDlg::OnModeClicked)
END_MESSAGE_MAP()

namespace {
constexpr const char* kNegativePosition = "The file position must be greater or equal to zero";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The whole text as one finite number (blanks around it allowed); false for anything else, so
// that "inf", "nan", "1e999", "12,5" or an empty field are never taken for a position.
bool ReadWholeNumber(const char* text, bool integer, double& value)
{
    while (IsBlank(*text))
        ++text;
    char* end = nullptr;
    errno = 0;
    if (integer) {
        const long long n = std::strtoll(text, &end, 10);
        value = static_cast<double>(n);
    } else {
        // Only plain decimal notation: strtod would also take hexadecimal, "inf" and "nan".
        for (const char* p = text; *p != '\0' && !IsBlank(*p); ++p)
            if (!(std::isdigit(static_cast<unsigned char>(*p)) || *p == '.' || *p == '-' || *p == '+' || *p == 'e' ||
                  *p == 'E'))
                return false;
        value = std::strtod(text, &end);
    }
    if (end == text || errno == ERANGE || !std::isfinite(value))
        return false;
    while (IsBlank(*end))
        ++end;
    return *end == '\0';
}

std::string RangeText(double end, bool samples)
{
    char text[128];
    if (samples)
        std::snprintf(text, sizeof text, "The file position must be between 0 and %lld samples",
                      static_cast<long long>(end));
    else {
        // Rounded down to the millisecond, so that the number shown is itself taken.
        char number[64];
        std::snprintf(number, sizeof number, "%.3f", std::floor(end * 1000.0) / 1000.0);
        std::string shown = number;
        shown.erase(shown.find_last_not_of('0') + 1);
        if (shown.back() == '.')
            shown.pop_back();
        std::snprintf(text, sizeof text, "The file position must be between 0 and %s seconds", shown.c_str());
    }
    return text;
}
} // namespace

CSetFilePositionDlg::CSetFilePositionDlg(CWnd* parent, float* seconds, std::int32_t* samples, DWORD* mode,
                                         BYTE* applyToAll)
    : CDialog(IDD_SET_FILE_POSITION, parent), seconds_(seconds), samples_(samples), mode_(mode),
      applyToAll_(applyToAll)
{
}

BOOL CSetFilePositionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", double(*seconds_));
    SetDlgItemText(IDC_POSITION_SECONDS, text);
    std::snprintf(text, sizeof text, "%d", int(*samples_));
    SetDlgItemText(IDC_POSITION_SAMPLES, text);
    CheckDlgButton(IDC_POSITION_ALL_FILES, *applyToAll_ ? BST_CHECKED : BST_UNCHECKED);
    ShowMode();
    return TRUE;
}

void CSetFilePositionDlg::ShowMode()
{
    const bool bySamples = *mode_ == 1;
    CheckDlgButton(IDC_POSITION_BY_SECONDS, bySamples ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(IDC_POSITION_BY_SAMPLES, bySamples ? BST_CHECKED : BST_UNCHECKED);
    if (CWnd* w = GetDlgItem(IDC_POSITION_SECONDS))
        w->EnableWindow(!bySamples);
    if (CWnd* w = GetDlgItem(IDC_POSITION_SAMPLES))
        w->EnableWindow(bySamples);
}

void CSetFilePositionDlg::OnModeClicked()
{
    *mode_ = IsDlgButtonChecked(IDC_POSITION_BY_SAMPLES) ? 1 : 0;
    ShowMode();
}

void CSetFilePositionDlg::OnOK()
{
    char text[257] = {};
    const bool all = IsDlgButtonChecked(IDC_POSITION_ALL_FILES) != 0;
    const bool bySeconds = IsDlgButtonChecked(IDC_POSITION_BY_SECONDS) != 0;
    if (bySeconds || IsDlgButtonChecked(IDC_POSITION_BY_SAMPLES)) {
        GetDlgItemText(bySeconds ? IDC_POSITION_SECONDS : IDC_POSITION_SAMPLES, text, sizeof text);
        // The samples are kept as a 32-bit signed number, so that is as far as they reach.
        const double end = bySeconds ? (all ? ends_.AllSeconds : ends_.ActiveSeconds)
                                     : std::min(static_cast<double>(all ? ends_.AllFrames : ends_.ActiveFrames),
                                                2147483647.0);
        double value = 0.0;
        const bool number = ReadWholeNumber(text, !bySeconds, value);
        // A wrong entry gets its message and changes nothing.
        if (number && value < 0.0) {
            AfxMessageBox(kNegativePosition, MB_OK | MB_ICONSTOP);
            return;
        }
        if (!number || (end >= 0.0 && value > end)) {
            AfxMessageBox(end >= 0.0 ? RangeText(end, !bySeconds) : std::string(kNegativePosition),
                          MB_OK | MB_ICONSTOP);
            return;
        }
        *mode_ = bySeconds ? 0 : 1;
        if (bySeconds)
            *seconds_ = static_cast<float>(value);
        else
            *samples_ = static_cast<std::int32_t>(value);
    }
    *applyToAll_ = all ? 1 : 0;
    CDialog::OnOK();
}
