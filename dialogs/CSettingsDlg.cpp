#include "dialogs/CSettingsDlg.h"

#include "dialogs/PageHelpers.h"
#include "numerics/TSmoothing.h"
#include "records/CommonRoutines.h"
#include "res/ProcessingDialogIds.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr DWORD kCounts[30] = {1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  15,  20,  30,  40,   50,
                               60,  70,  80,  90,  100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 100000};
const char* const kSpeeds[5] = {"Off", "Fast", "Medium", "Slow", "Forever"};
const char* const kModes[2] = {"Free Run (blocks)", "Sound Level Meter"};
const char* const kTypes[3] = {"Exponential", "Linear", "Vector"};

std::string Number(long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    return text;
}

int RowOfModeCombo(UINT id)
{
    for (int r = 0; r < 8; ++r)
        if (kFftModeIds[r] == static_cast<int>(id))
            return r;
    return -1;
}
} // namespace

BEGIN_MESSAGE_MAP(CSettingsDlg, CSheetPage)
    ON_CONTROL_RANGE(CBN_SELCHANGE, 1262, 1276, &CSettingsDlg::OnModeChanged)
END_MESSAGE_MAP()

CSettingsDlg::CSettingsDlg() : CSheetPage(IDD_FFT_SETTINGS_PAGE) {}

DWORD CSettingsDlg::SnapCount(DWORD c)
{
    if (c == 0)
        return 1;
    if (c <= 10)
        return c;
    struct Step {
        DWORD upTo, entry;
    };
    static constexpr Step steps[] = {{12, 10},   {17, 15},   {24, 20},   {34, 30},   {44, 40},   {54, 50},
                                     {64, 60},   {74, 70},   {84, 80},   {94, 90},   {149, 100}, {249, 200},
                                     {349, 300}, {449, 400}, {549, 500}, {649, 600}, {749, 700}, {849, 800},
                                     {949, 900}, {1999, 1000}};
    for (const Step& s : steps)
        if (c <= s.upTo)
            return s.entry;
    // 2000 and above: an unbounded average.
    return 100000;
}

BOOL CSettingsDlg::OnInitDialog()
{
    CSheetPage::OnInitDialog();
    Fill();
    return TRUE;
}

void CSettingsDlg::FillCountList(int r)
{
    CComboBox* c = sheet::Combo(*this, kFftCountIds[r]);
    if (!c || !m_Processing)
        return;
    const ChannelProcessingSettings& R = m_Processing[r];
    c->ResetContent();
    if (R.AverageMode == 0) {
        const DWORD snapped = SnapCount(R.AverageBlocks);
        int select = 0;
        for (int i = 0; i < 30; ++i) {
            const int at = c->AddString(kCounts[i] == 100000 ? "Infinite" : Number(static_cast<long>(kCounts[i])).c_str());
            c->SetItemData(at, kCounts[i]);
            if (kCounts[i] == snapped)
                select = at;
        }
        c->SetCurSel(select);
    } else if (R.AverageMode == 1) {
        for (int i = 0; i < 5; ++i)
            c->SetItemData(c->AddString(kSpeeds[i]), static_cast<DWORD_PTR>(i));
        c->SetCurSel(R.AverageSpeed < 5 ? R.AverageSpeed : 0);
    }
}

void CSettingsDlg::Fill()
{
    if (!m_Processing)
        return;
    for (int r = 0; r < 8; ++r) {
        const ChannelProcessingSettings& R = m_Processing[r];
        if (CComboBox* c = sheet::Combo(*this, kFftSizeIds[r])) {
            c->ResetContent();
            int select = 0;
            for (int p = 5; p <= 20; ++p) {
                const DWORD size = 1u << p;
                const int at = c->AddString(Number(static_cast<long>(size)).c_str());
                c->SetItemData(at, size);
                if (size == R.FFTsize)
                    select = at;
            }
            c->SetCurSel(select);
        }
        if (CComboBox* c = sheet::Combo(*this, kFftWindowIds[r])) {
            c->ResetContent();
            for (int t = 0; t < TSmoothing::GetTypeCount(); ++t) {
                char name[64] = {};
                TSmoothing::GetTypeName(static_cast<WORD>(t), name);
                c->SetItemData(c->AddString(name), static_cast<DWORD_PTR>(t));
            }
            c->SetCurSel(R.SmoothingWindow < c->GetCount() ? R.SmoothingWindow : 0);
        }
        if (CComboBox* c = sheet::Combo(*this, kFftModeIds[r])) {
            c->ResetContent();
            for (const char* m : kModes)
                c->AddString(m);
            c->SetCurSel(R.AverageMode < 2 ? R.AverageMode : -1);
        }
        if (CComboBox* c = sheet::Combo(*this, kFftTypeIds[r])) {
            c->ResetContent();
            for (const char* t : kTypes)
                c->AddString(t);
            c->SetCurSel(R.AverageType < 3 ? R.AverageType : -1);
        }
        FillCountList(r);
        SetDlgItemText(kFftOverlapIds[r], Number(R.OverlapPercent));
        SetDlgItemText(kFftDecimationIds[r], Number(R.DecimationRatio));
        sheet::Show(*this, kFftDecimationIds[r], false);
    }
    for (int id : {kFftSizeIds[7], kFftWindowIds[7], kFftModeIds[7], kFftTypeIds[7], kFftCountIds[7],
                   kFftOverlapIds[7], kFftDecimationIds[7]})
        sheet::Show(*this, id, false);
}

void CSettingsDlg::OnModeChanged(UINT id)
{
    const int r = RowOfModeCombo(id);
    if (r < 0 || !m_Processing)
        return;
    const int sel = sheet::Selection(*this, kFftModeIds[r]);
    if (sel != CB_ERR)
        m_Processing[r].AverageMode = static_cast<WORD>(sel);
    FillCountList(r);
}

bool CSettingsDlg::ValidateAndStore()
{
    if (!m_Processing || !GetSafeHwnd())
        return true;
    // An overlap is clamped into 0..99, but text that is no number is refused, before any row
    // is stored: it would have been an overlap of 0 without a word.
    double overlaps[8] = {};
    for (int r = 0; r < 8; ++r) {
        const std::string name = r < 7 ? std::string("The overlap of ") + GetChannelLocationName(r)
                                       : std::string("The overlap of channel 7");
        // Any whole number is taken (and clamped below): a range in a message would not be 0..99.
        NumberField field{name.c_str()};
        field.Integer = true;
        if (!ReadNumberField(*this, kFftOverlapIds[r], field, overlaps[r]))
            return false;
    }
    for (int r = 0; r < 8; ++r) {
        ChannelProcessingSettings& R = m_Processing[r];
        R.FFTsize = static_cast<DWORD>(sheet::SelectedData(*this, kFftSizeIds[r], R.FFTsize));
        const int window = sheet::Selection(*this, kFftWindowIds[r]);
        const int mode = sheet::Selection(*this, kFftModeIds[r]);
        const int type = sheet::Selection(*this, kFftTypeIds[r]);
        if (window != CB_ERR)
            R.SmoothingWindow = static_cast<WORD>(window);
        if (mode != CB_ERR)
            R.AverageMode = static_cast<WORD>(mode);
        if (type != CB_ERR)
            R.AverageType = static_cast<WORD>(type);
        if (R.AverageMode == 0)
            R.AverageBlocks = static_cast<DWORD>(sheet::SelectedData(*this, kFftCountIds[r], R.AverageBlocks));
        else if (R.AverageMode == 1) {
            const int speed = sheet::Selection(*this, kFftCountIds[r]);
            if (speed != CB_ERR)
                R.AverageSpeed = static_cast<WORD>(speed);
        }
        R.OverlapPercent = static_cast<WORD>(std::clamp(overlaps[r], 0.0, 99.0));
        std::string text;
        GetDlgItemText(kFftDecimationIds[r], text);
        R.DecimationRatio = static_cast<WORD>(std::clamp(sheet::ParseInteger(text.substr(0, 80)), 1L, 50L));
    }
    return true;
}

void CSettingsDlg::Defaults()
{
    if (!m_Processing)
        return;
    for (int r = 0; r < 8; ++r) {
        ChannelProcessingSettings& R = m_Processing[r];
        R.FFTsize = 1024;
        R.SmoothingWindow = 6;
        R.AverageMode = 0;
        R.AverageType = 0;
        R.AverageSpeed = 0;
        R.AverageBlocks = 3;
        R.OverlapPercent = 90;
        R.DecimationRatio = 1;
        R.ApplyLowPassFilter = 0;
    }
    Fill();
}

void CSettingsDlg::Copy(int s, const BYTE flags[8])
{
    if (s < 0 || s >= 8 || !m_Processing)
        return;
    for (int d = 0; d < 8; ++d) {
        if (!flags[d] || d == s)
            continue;
        for (const int* ids : {kFftSizeIds, kFftWindowIds, kFftModeIds, kFftTypeIds})
            if (CComboBox* c = sheet::Combo(*this, ids[d]))
                c->SetCurSel(sheet::Selection(*this, ids[s]));
        const int mode = sheet::Selection(*this, kFftModeIds[s]);
        if (mode != CB_ERR)
            m_Processing[d].AverageMode = static_cast<WORD>(mode);
        FillCountList(d);
        if (CComboBox* c = sheet::Combo(*this, kFftCountIds[d]))
            c->SetCurSel(sheet::Selection(*this, kFftCountIds[s]));
        std::string text;
        GetDlgItemText(kFftOverlapIds[s], text);
        SetDlgItemText(kFftOverlapIds[d], text.substr(0, 80));
        GetDlgItemText(kFftDecimationIds[s], text);
        SetDlgItemText(kFftDecimationIds[d], text.substr(0, 80));
    }
}

void CSettingsDlg::ApplyChannelEnables()
{
    for (int r = 0; r < 7; ++r)
        for (const int* ids : {kFftSizeIds, kFftWindowIds, kFftModeIds, kFftTypeIds, kFftCountIds, kFftOverlapIds})
            sheet::Enable(*this, ids[r], ChannelRowEnabled(r));
}
