#include "plots/CPlotOptionsSpectrum.h"

#include "plots/TMarkerOptionsDialog.h"
#include "platform/ui/Controls.h"
#include "plots/LevelScaleFit.h"
#include "res/PlotOptionsDialogIds.h"

BEGIN_MESSAGE_MAP(CPlotOptionsSpectrum, CPlotOptionsPage)
    ON_BN_CLICKED(IDC_PO_MARKER_OPTIONS, &CPlotOptionsSpectrum::OnMarkerOptions)
END_MESSAGE_MAP()

namespace {
constexpr int kStyleIds[3] = {IDC_PO_LINE_GRAPH, IDC_PO_BAR_GRAPH, IDC_PO_STEP_GRAPH};
const char* const kPeakHolds[5] = {"Off", "Fast", "Medium", "Slow", "Forever"};
} // namespace

CPlotOptionsSpectrum::CPlotOptionsSpectrum() : CPlotOptionsPage(IDD_PLOTOPTS_SPECTRUM, "Spectrum Plot Options") {}

std::vector<CPlotOptionsPage::Colour> CPlotOptionsSpectrum::Colours() const
{
    return {{IDC_PO_LINE_COLOR, IDC_PO_LINE_SWATCH},
            {IDC_PO_PEAK_COLOR, IDC_PO_PEAK_SWATCH},
            {IDC_PO_BACK_COLOR, IDC_PO_BACK_SWATCH},
            {IDC_PO_MARKER_COLOR, IDC_PO_MARKER_SWATCH},
            {IDC_PO_GRID_COLOR, IDC_PO_GRID_SWATCH}};
}

COLORREF* CPlotOptionsSpectrum::ColourField(int swatch)
{
    if (!m_record)
        return nullptr;
    switch (swatch) {
    case IDC_PO_LINE_SWATCH: return &m_record->LineColor;
    case IDC_PO_PEAK_SWATCH: return &m_record->PeakColor;
    case IDC_PO_BACK_SWATCH: return &m_record->BackgroundColor;
    case IDC_PO_MARKER_SWATCH: return &m_record->MarkerColor;
    case IDC_PO_GRID_SWATCH: return &m_record->GridColor;
    default: return nullptr;
    }
}

void CPlotOptionsSpectrum::LoadSettings()
{
    if (!m_record || !GetSafeHwnd())
        return;
    const SpectrumPlotSettings& R = *m_record;
    const int scale = AmpScaleType();
    const float maximum = scale == 0 ? 1e7f : scale == 1 ? 400.0f : 10000.0f;
    const float minimum = scale == 0 ? 1e-9f : scale == 1 ? -400.0f : 1e-6f;
    const float step = scale == 0 ? 1.0f : scale == 1 ? 5.0f : 2.0f;
    for (int i = 0; i < 3; ++i)
        Check(kStyleIds[i], R.PlotType == i);
    Check(IDC_PO_GRID_X, R.GridXEnabled != 0);
    Check(IDC_PO_GRID_Y, R.GridYEnabled != 0);
    Check(IDC_PO_TOOLBAR, R.ShowToolbar != 0);
    Check(IDC_PO_OVERLAY_CONTROLS, R.ShowOverlayControls != 0);
    Check(IDC_PO_PULL_CURSOR, R.GrabCursorFlag != 0);

    BindSpin(IDC_PO_TOP_SPIN, IDC_PO_TOP, maximum, minimum, step, 0, 2);
    BindSpin(IDC_PO_RANGE_SPIN, IDC_PO_RANGE, maximum, minimum, step, 0, 2);
    TLimitScroll* top = Spin(IDC_PO_TOP_SPIN);
    TLimitScroll* range = Spin(IDC_PO_RANGE_SPIN);
    const char* rangeLabel = "Plot Range";
    // What the window will draw with: levels left from another amplitude scale are replaced.
    const LevelScale shown = FitLevelScale(static_cast<WORD>(scale), {R.PlotTop, R.PlotRange}, 1e-9, 0.1);
    if (scale == 0) {
        WriteNumber(IDC_PO_TOP, "%3.3f", shown.top);
        top->SetPrecision(3);
        top->SetStep(1.0f, 0);
        top->SetLimits(1e7f, 1e-9f);
        ShowNotApplicable(IDC_PO_RANGE, IDC_PO_RANGE_SPIN);
    } else if (scale == 1) {
        WriteNumber(IDC_PO_TOP, "%3.2f", shown.top);
        top->SetPrecision(2);
        top->SetStep(5.0f, 0);
        top->SetLimits(300.0f, -300.0f);
        WriteNumber(IDC_PO_RANGE, "%3.1f", shown.range);
        range->SetPrecision(2);
        range->SetStep(5.0f, 0);
        range->SetLimits(300.0f, -300.0f);
        EnableBox(IDC_PO_RANGE, IDC_PO_RANGE_SPIN, true);
    } else {
        WriteNumber(IDC_PO_TOP, "%3.5f", shown.top);
        top->SetPrecision(5);
        top->SetStep(2.0f, 1);
        top->SetLimits(10000.0f, 1e-5f);
        // Nine decimals, as the tool strip writes it: a bottom under 1e-6 would read as 0 in
        // six and be stored so by an OK that changed nothing.
        WriteNumber(IDC_PO_RANGE, "%3.9f", shown.range);
        range->SetPrecision(9);
        range->SetStep(2.0f, 1);
        range->SetLimits(100.0f, 1e-9f);
        EnableBox(IDC_PO_RANGE, IDC_PO_RANGE_SPIN, true);
        rangeLabel = "Plot Bottom";
    }
    SetDlgItemText(IDC_PO_RANGE_LABEL, rangeLabel);
    WriteNumber(IDC_PO_START_FREQ, "%3.4f", R.StartFreq);
    WriteNumber(IDC_PO_STOP_FREQ, "%3.4f", R.StopFreq);
    LoadInterval(R.IntervalFlag, R.IntervalSecs);
    Check(IDC_PO_POWER_METER, R.ShowPowerMeter != 0);
    Check(IDC_PO_RMS_LEVEL, R.ShowRMSLevel != 0);
    if (auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_PO_PEAK_HOLD))) {
        list->ResetContent();
        for (int i = 0; i < 5; ++i)
            list->SetItemData(list->AddString(kPeakHolds[i]), static_cast<DWORD_PTR>(i));
        list->SetCurSel(R.PeakHold < 5 ? R.PeakHold : -1);
    }
    MarkInitialised();
}

bool CPlotOptionsSpectrum::StoreSettings()
{
    if (!m_initialised || !m_record)
        return true;
    SpectrumPlotSettings& R = *m_record;
    for (int i = 0; i < 3; ++i)
        if (Checked(kStyleIds[i]))
            R.PlotType = static_cast<WORD>(i);
    R.GridXEnabled = Checked(IDC_PO_GRID_X) ? 1 : 0;
    R.GridYEnabled = Checked(IDC_PO_GRID_Y) ? 1 : 0;
    R.ShowToolbar = Checked(IDC_PO_TOOLBAR) ? 1 : 0;
    R.ShowOverlayControls = Checked(IDC_PO_OVERLAY_CONTROLS) ? 1 : 0;
    R.GrabCursorFlag = Checked(IDC_PO_PULL_CURSOR) ? 1 : 0;
    // Only the spin arrows are bounded: a value typed by hand is taken as it is.
    double top = 0.0, range = 0.0;
    if (!ReadNumber(IDC_PO_TOP, "Plot Top", top) || !ReadNumber(IDC_PO_RANGE, "Plot Range", range))
        return false;
    R.PlotTop = static_cast<float>(top);
    R.PlotRange = range;
    if (!StoreSpan(IDC_PO_START_FREQ, IDC_PO_STOP_FREQ, R.StartFreq, R.StopFreq, "Frequency"))
        return false;
    if (!StoreInterval(R.IntervalFlag, R.IntervalSecs))
        return false;
    R.ShowPowerMeter = Checked(IDC_PO_POWER_METER) ? 1 : 0;
    R.ShowRMSLevel = Checked(IDC_PO_RMS_LEVEL) ? 1 : 0;
    if (auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_PO_PEAK_HOLD))) {
        const int sel = list->GetCurSel();
        if (sel != CB_ERR)
            R.PeakHold = static_cast<WORD>(list->GetItemData(sel));
    }
    return true;
}

void CPlotOptionsSpectrum::Defaults()
{
    CheckOnly({IDC_PO_LINE_GRAPH, IDC_PO_BAR_GRAPH, IDC_PO_STEP_GRAPH}, IDC_PO_LINE_GRAPH);
    for (int id : {IDC_PO_GRID_X, IDC_PO_GRID_Y, IDC_PO_TOOLBAR, IDC_PO_OVERLAY_CONTROLS})
        Check(id, true);
    if (m_record) {
        m_record->LineColor = RGB(0, 0, 255);
        m_record->PeakColor = RGB(255, 0, 0);
        m_record->BackgroundColor = RGB(255, 255, 220);
        m_record->MarkerColor = RGB(0, 0, 0);
        m_record->GridColor = RGB(128, 128, 128);
    }
    SetDlgItemText(IDC_PO_TOP, "-55.0");
    SetDlgItemText(IDC_PO_RANGE, "45.0");
    SetDlgItemText(IDC_PO_START_FREQ, "400.0");
    SetDlgItemText(IDC_PO_STOP_FREQ, "1200.0");
    CheckOnly({IDC_PO_AS_OFTEN, IDC_PO_SPECIFIC}, IDC_PO_AS_OFTEN);
    SetDlgItemText(IDC_PO_INTERVAL, "0.020");
    ApplyIntervalState();
    Check(IDC_PO_PULL_CURSOR, true);
    Check(IDC_PO_POWER_METER, true);
    Check(IDC_PO_RMS_LEVEL, false);
    if (auto* list = static_cast<CComboBox*>(GetDlgItem(IDC_PO_PEAK_HOLD)))
        list->SetCurSel(2);
}

void CPlotOptionsSpectrum::OnMarkerOptions()
{
    if (!m_markers)
        return;
    TMarkerOptionsDialog dialog(this, m_markers);
    dialog.DoModal();
}
