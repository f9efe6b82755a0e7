#include "app/CEnterGainAdjustDlg.h"

#include "res/FileDialogIds.h"
#include "wave/GainOffset.h"

#include <cstdio>

CEnterGainAdjustDlg::CEnterGainAdjustDlg(CWnd* parent, float* gainDb)
    : CValueEntryDlg(IDD_GAIN_ADJUST, parent, IDC_GAIN_DB), gain_(gainDb)
{
}

std::string CEnterGainAdjustDlg::ShownText() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", double(*gain_));
    return text;
}

std::string CEnterGainAdjustDlg::Take(const char* text)
{
    float gain = 0.0f;
    std::string refusal = CheckGainEntry(text, &gain);
    if (refusal.empty())
        *gain_ = gain;
    return refusal;
}
