#include "plots/CPlotOptionsPhase.h"

#include "res/PlotOptionsDialogIds.h"

#include <cstdio>

namespace {
// Degrees.
constexpr float kMaximum = 180.0f;
constexpr float kMinimum = -180.0f;
constexpr float kStep = 5.0f;
} // namespace

CPlotOptionsPhase::CPlotOptionsPhase() : CPlotOptionsPage(IDD_PLOTOPTS_PHASE, "Phase Plot Options") {}

std::vector<CPlotOptionsPage::Colour> CPlotOptionsPhase::Colours() const { return LineBackGridColours(); }

COLORREF* CPlotOptionsPhase::ColourField(int swatch)
{
    return m_record ? LineBackGridField(swatch, &m_record->LineColor, &m_record->BackgroundColor, &m_record->GridColor)
                    : nullptr;
}

void CPlotOptionsPhase::LoadSettings()
{
    if (!m_record || !GetSafeHwnd())
        return;
    const PhasePlotSettings& R = *m_record;
    Check(IDC_PO_GRID_X, R.GridXEnabled != 0);
    Check(IDC_PO_GRID_Y, R.GridYEnabled != 0);
    Check(IDC_PO_TOOLBAR, R.ShowToolbar != 0);
    Check(IDC_PO_PULL_CURSOR, R.GrabCursorFlag != 0);
    WriteNumber(IDC_PO_TOP, "%3.2f", R.PlotTop);
    WriteNumber(IDC_PO_RANGE, "%3.2f", R.PlotRange);
    BindSpin(IDC_PO_TOP_SPIN, IDC_PO_TOP, kMaximum, kMinimum, kStep, 0, 2);
    BindSpin(IDC_PO_RANGE_SPIN, IDC_PO_RANGE, kMaximum, kMinimum, kStep, 0, 2);
    WriteNumber(IDC_PO_START_FREQ, "%3.4f", R.StartFreq);
    WriteNumber(IDC_PO_STOP_FREQ, "%3.4f", R.StopFreq);
    LoadInterval(R.IntervalFlag, R.IntervalSecs);
    MarkInitialised();
}

bool CPlotOptionsPhase::StoreSettings()
{
    if (!m_initialised || !m_record)
        return true;
    PhasePlotSettings& R = *m_record;
    R.GridXEnabled = Checked(IDC_PO_GRID_X) ? 1 : 0;
    R.GridYEnabled = Checked(IDC_PO_GRID_Y) ? 1 : 0;
    R.ShowToolbar = Checked(IDC_PO_TOOLBAR) ? 1 : 0;
    R.GrabCursorFlag = Checked(IDC_PO_PULL_CURSOR) ? 1 : 0;
    char text[96];
    double top = 0.0, range = 0.0;
    if (!ReadNumber(IDC_PO_TOP, "Plot Top", top) || !ReadNumber(IDC_PO_RANGE, "Plot Range", range))
        return false;
    if (!(top > kMinimum && top <= kMaximum)) {
        std::snprintf(text, sizeof text, "Plot Top must be between %6.2f and %6.2f", double(kMinimum), double(kMaximum));
        return Fail(text);
    }
    R.PlotTop = static_cast<float>(top);
    if (!(range > 0.0 && range <= kMaximum - kMinimum)) {
        std::snprintf(text, sizeof text, "Plot Range must be between %6.2f and %6.2f", 0.0, double(kMaximum - kMinimum));
        return Fail(text);
    }
    R.PlotRange = static_cast<float>(range);
    if (!StoreSpan(IDC_PO_START_FREQ, IDC_PO_STOP_FREQ, R.StartFreq, R.StopFreq, "Frequency"))
        return false;
    return StoreInterval(R.IntervalFlag, R.IntervalSecs);
}

void CPlotOptionsPhase::Defaults()
{
    for (int id : {IDC_PO_GRID_X, IDC_PO_GRID_Y, IDC_PO_TOOLBAR, IDC_PO_PULL_CURSOR})
        Check(id, true);
    if (m_record) {
        m_record->LineColor = RGB(0, 0, 0);
        m_record->BackgroundColor = RGB(0, 255, 225);
        m_record->GridColor = RGB(128, 128, 128);
    }
    SetDlgItemText(IDC_PO_TOP, "180.0");
    SetDlgItemText(IDC_PO_RANGE, "360.0");
    SetDlgItemText(IDC_PO_START_FREQ, "20.0");
    SetDlgItemText(IDC_PO_STOP_FREQ, "20000.0");
    CheckOnly({IDC_PO_AS_OFTEN, IDC_PO_SPECIFIC}, IDC_PO_AS_OFTEN);
    SetDlgItemText(IDC_PO_INTERVAL, "0.020");
    ApplyIntervalState();
}
