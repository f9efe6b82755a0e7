#include "plots/CPlotOptionsSpectrogram.h"

#include "res/PlotOptionsDialogIds.h"

namespace {
constexpr int kColourModeIds[3] = {IDC_PO_FULL_COLOR, IDC_PO_GRAY_SCALE, IDC_PO_CUSTOM_COLOR};
constexpr int kDirectionIds[4] = {IDC_PO_DIR_LEFT, IDC_PO_DIR_RIGHT, IDC_PO_DIR_UP, IDC_PO_DIR_DOWN};
constexpr int kScrollIds[2] = {IDC_PO_SMOOTH_SCROLL, IDC_PO_OVERLAP_SCROLL};

// Checks entry `value` of the group, none when it is out of range.
template <std::size_t N> void CheckIndex(CPlotOptionsPage& page, const int (&ids)[N], unsigned value)
{
    for (std::size_t i = 0; i < N; ++i)
        page.CheckDlgButton(ids[i], i == value ? BST_CHECKED : BST_UNCHECKED);
}

// The checked entry's index into `field`; the field is kept when none is checked.
template <std::size_t N> void StoreIndex(const CPlotOptionsPage& page, const int (&ids)[N], WORD& field)
{
    for (std::size_t i = 0; i < N; ++i)
        if (page.IsDlgButtonChecked(ids[i]))
            field = static_cast<WORD>(i);
}
} // namespace

CPlotOptionsSpectrogram::CPlotOptionsSpectrogram()
    : CPlotOptionsHistory(IDD_PLOTOPTS_SPECTROGRAM, "Spectrogram Plot Options")
{
}

bool CPlotOptionsSpectrogram::GetFields(Fields& f)
{
    if (!m_record)
        return false;
    SpectrogramPlotSettings& R = *m_record;
    f = {&R.ShowToolbar, &R.IntervalFlag, &R.IntervalSecs, &R.PlotTop, &R.PlotRange, &R.UseFullSpan, &R.StartFreq, &R.StopFreq};
    return true;
}

std::vector<CPlotOptionsPage::Colour> CPlotOptionsSpectrogram::Colours() const
{
    return {{IDC_PO_MAX_COLOR, IDC_PO_MAX_SWATCH}, {IDC_PO_MIN_COLOR, IDC_PO_MIN_SWATCH}};
}

COLORREF* CPlotOptionsSpectrogram::ColourField(int swatch)
{
    if (!m_record)
        return nullptr;
    switch (swatch) {
    case IDC_PO_MAX_SWATCH: return &m_record->MaxCustomColor;
    case IDC_PO_MIN_SWATCH: return &m_record->MinCustomColor;
    default: return nullptr;
    }
}

void CPlotOptionsSpectrogram::LoadSettings()
{
    if (!m_record || !GetSafeHwnd())
        return;
    const SpectrogramPlotSettings& R = *m_record;
    CheckIndex(*this, kColourModeIds, R.ColorMode);
    CheckIndex(*this, kDirectionIds, R.Direction);
    CheckIndex(*this, kScrollIds, R.ScrollType);
    const int scale = AmpScaleType();
    Amplitude a{};
    if (scale == 0)
        a = {1e7f, 1e-9f, 1.0f, 0, 5, 6, "%3.5f", "%3.6f"};
    else if (scale == 1)
        a = {400.0f, -400.0f, 5.0f, 0, 5, 6, "%3.5f", "%3.6f"};
    else
        a = {10000.0f, 1e-6f, 2.0f, 1, 5, 6, "%3.5f", "%3.6f"};
    SetDlgItemText(IDC_PO_RANGE_LABEL, scale == 2 ? "Plot Bottom" : "Plot Range");
    LoadShared(a);
}

bool CPlotOptionsSpectrogram::StoreSettings()
{
    if (!m_initialised || !m_record)
        return true;
    SpectrogramPlotSettings& R = *m_record;
    R.UseFullSpan = Checked(IDC_PO_FULL_SPAN) ? 1 : 0;
    StoreIndex(*this, kDirectionIds, R.Direction);
    StoreIndex(*this, kColourModeIds, R.ColorMode);
    StoreIndex(*this, kScrollIds, R.ScrollType);
    return StoreShared();
}

void CPlotOptionsSpectrogram::Defaults()
{
    CheckIndex(*this, kDirectionIds, 0);
    CheckIndex(*this, kColourModeIds, 0);
    CheckIndex(*this, kScrollIds, 0);
    if (m_record) {
        m_record->MaxCustomColor = RGB(255, 0, 0);
        m_record->MinCustomColor = RGB(255, 255, 0);
    }
    DefaultsShared();
}
