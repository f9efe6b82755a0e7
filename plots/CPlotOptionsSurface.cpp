#include "plots/CPlotOptionsSurface.h"

#include "res/PlotOptionsDialogIds.h"

namespace {
// By ColorMode: full colour, solid colour, custom colour, grey scale.
constexpr int kColourModeIds[4] = {IDC_PO_FULL_COLOR, IDC_PO_SOLID_COLOR, IDC_PO_CUSTOM_COLOR, IDC_PO_GRAY_SCALE};
} // namespace

CPlotOptionsSurface::CPlotOptionsSurface() : CPlotOptionsHistory(IDD_PLOTOPTS_SURFACE, "3-D Surface Plot Options") {}

bool CPlotOptionsSurface::GetFields(Fields& f)
{
    if (!m_record)
        return false;
    SurfacePlotSettings& R = *m_record;
    f = {&R.ShowToolbar, &R.IntervalFlag, &R.IntervalSecs, &R.PlotTop, &R.PlotRange, &R.UseFullSpan, &R.StartFreq, &R.StopFreq};
    return true;
}

std::vector<CPlotOptionsPage::Colour> CPlotOptionsSurface::Colours() const
{
    return {{IDC_PO_SURF_BACK_COLOR, IDC_PO_SURF_BACK_SWATCH},
            {IDC_PO_LINE_COLOR, IDC_PO_LINE_SWATCH},
            {IDC_PO_MAX_COLOR, IDC_PO_MAX_SWATCH},
            {IDC_PO_MIN_COLOR, IDC_PO_MIN_SWATCH}};
}

COLORREF* CPlotOptionsSurface::ColourField(int swatch)
{
    if (!m_record)
        return nullptr;
    switch (swatch) {
    case IDC_PO_SURF_BACK_SWATCH: return &m_record->BackgroundColor;
    case IDC_PO_LINE_SWATCH: return &m_record->LineColor;
    case IDC_PO_MAX_SWATCH: return &m_record->MaxCustomColor;
    case IDC_PO_MIN_SWATCH: return &m_record->MinCustomColor;
    default: return nullptr;
    }
}

void CPlotOptionsSurface::LoadSettings()
{
    if (!m_record || !GetSafeHwnd())
        return;
    for (unsigned i = 0; i < 4; ++i)
        Check(kColourModeIds[i], m_record->ColorMode == i);
    // A log-magnitude bottom is a small level: in one decimal it would read, and be stored
    // back, as 0. Such a scale takes the spectrogram page's log-magnitude span.
    if (AmpScaleType() == 2)
        LoadShared({10000.0f, 1e-6f, 2.0f, 1, 5, 6, "%3.5f", "%3.6f"});
    else
        LoadShared({200.0f, -200.0f, 5.0f, 0, 2, 2, "%3.3f", "%3.1f"});
}

bool CPlotOptionsSurface::StoreSettings()
{
    if (!m_initialised || !m_record)
        return true;
    SurfacePlotSettings& R = *m_record;
    R.UseFullSpan = Checked(IDC_PO_FULL_SPAN) ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        if (Checked(kColourModeIds[i]))
            R.ColorMode = static_cast<WORD>(i);
    return StoreShared();
}

void CPlotOptionsSurface::Defaults()
{
    for (int i = 0; i < 4; ++i)
        Check(kColourModeIds[i], i == 0);
    if (m_record) {
        m_record->BackgroundColor = RGB(0, 0, 0);
        m_record->LineColor = RGB(0, 0, 255);
        m_record->MaxCustomColor = RGB(255, 0, 0);
        m_record->MinCustomColor = RGB(255, 255, 0);
    }
    DefaultsShared();
}
