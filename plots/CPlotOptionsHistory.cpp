#include "plots/CPlotOptionsHistory.h"

#include "plots/LevelScaleFit.h"
#include "res/PlotOptionsDialogIds.h"

BEGIN_MESSAGE_MAP(CPlotOptionsHistory, CPlotOptionsPage)
    ON_BN_CLICKED(IDC_PO_FULL_SPAN, &CPlotOptionsHistory::ApplySpanState)
    ON_BN_CLICKED(IDC_PO_CUSTOM_SPAN, &CPlotOptionsHistory::ApplySpanState)
END_MESSAGE_MAP()

void CPlotOptionsHistory::LoadShared(const Amplitude& a)
{
    Fields f{};
    if (!GetFields(f))
        return;
    CheckOnly({IDC_PO_FULL_SPAN, IDC_PO_CUSTOM_SPAN}, *f.UseFullSpan ? IDC_PO_FULL_SPAN : IDC_PO_CUSTOM_SPAN);
    Check(IDC_PO_TOOLBAR, *f.ShowToolbar != 0);
    // The start and stop spins sit on ids 1014 and 1016.
    BindSpin(IDC_PO_CENTER, IDC_PO_START_FREQ, 20000.0f, 20.0f, 1.0f, 0, 1);
    BindSpin(IDC_PO_CENTER_SPIN, IDC_PO_STOP_FREQ, 20000.0f, 20.0f, 1.0f, 0, 1);
    BindSpin(IDC_PO_TOP_SPIN, IDC_PO_TOP, a.maximum, a.minimum, a.step, a.mode, a.topDecimals);
    BindSpin(IDC_PO_RANGE_SPIN, IDC_PO_RANGE, a.maximum, a.minimum, a.step, a.mode, a.rangeDecimals);
    // What the window will draw with: levels left from another amplitude scale are replaced.
    const LevelScale shown = FitLevelScale(static_cast<WORD>(AmpScaleType()), {*f.PlotTop, *f.PlotRange}, 1e-6, 1.0);
    WriteNumber(IDC_PO_TOP, a.topFormat, shown.top);
    WriteNumber(IDC_PO_RANGE, a.rangeFormat, shown.range);
    WriteNumber(IDC_PO_START_FREQ, "%3.4f", *f.StartFreq);
    WriteNumber(IDC_PO_STOP_FREQ, "%3.4f", *f.StopFreq);
    ApplySpanState();
    LoadInterval(*f.IntervalFlag, *f.IntervalSecs);
    MarkInitialised();
}

bool CPlotOptionsHistory::StoreShared()
{
    Fields f{};
    if (!GetFields(f))
        return true;
    *f.ShowToolbar = Checked(IDC_PO_TOOLBAR) ? 1 : 0;
    // Only the spin arrows are bounded: a value typed by hand is taken as it is.
    double top = 0.0, range = 0.0;
    if (!ReadNumber(IDC_PO_TOP, "Plot Top", top) || !ReadNumber(IDC_PO_RANGE, "Plot Range", range))
        return false;
    *f.PlotTop = static_cast<float>(top);
    *f.PlotRange = static_cast<float>(range);
    // Checked with the full span too: the custom span is kept for later.
    if (!StoreSpan(IDC_PO_START_FREQ, IDC_PO_STOP_FREQ, *f.StartFreq, *f.StopFreq, "Frequency"))
        return false;
    return StoreInterval(*f.IntervalFlag, *f.IntervalSecs);
}

void CPlotOptionsHistory::DefaultsShared()
{
    CheckOnly({IDC_PO_FULL_SPAN, IDC_PO_CUSTOM_SPAN}, IDC_PO_FULL_SPAN);
    SetDlgItemText(IDC_PO_TOP, "-55.0");
    SetDlgItemText(IDC_PO_RANGE, "45.0");
    SetDlgItemText(IDC_PO_START_FREQ, "400.0");
    SetDlgItemText(IDC_PO_STOP_FREQ, "1200.0");
    CheckOnly({IDC_PO_AS_OFTEN, IDC_PO_SPECIFIC}, IDC_PO_SPECIFIC);
    SetDlgItemText(IDC_PO_INTERVAL, "2.0");
    ApplySpanState();
    ApplyIntervalState();
}

void CPlotOptionsHistory::ApplySpanState()
{
    // The boxes only: their spins stay usable.
    const BOOL custom = Checked(IDC_PO_FULL_SPAN) ? FALSE : TRUE;
    for (int id : {IDC_PO_START_FREQ, IDC_PO_STOP_FREQ})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(custom);
}
