#include "plots/CPlotOptionsSeries.h"

#include "res/PlotOptionsDialogIds.h"

#include <cstdio>

BEGIN_MESSAGE_MAP(CPlotOptionsSeries, CPlotOptionsPage)
    ON_BN_CLICKED(IDC_PO_LINEAR, &CPlotOptionsSeries::OnLinear)
    ON_BN_CLICKED(IDC_PO_LOG, &CPlotOptionsSeries::OnLogarithmic)
END_MESSAGE_MAP()

CPlotOptionsSeries::CPlotOptionsSeries() : CPlotOptionsPage(IDD_PLOTOPTS_SERIES, "Time Series Options") {}

std::vector<CPlotOptionsPage::Colour> CPlotOptionsSeries::Colours() const { return LineBackGridColours(); }

COLORREF* CPlotOptionsSeries::ColourField(int swatch)
{
    return m_record ? LineBackGridField(swatch, &m_record->LineColor, &m_record->BackgroundColor, &m_record->GridColor)
                    : nullptr;
}

void CPlotOptionsSeries::LoadSettings()
{
    if (!m_record || !GetSafeHwnd())
        return;
    const TimeSeriesPlotSettings& R = *m_record;
    const bool linear = R.AmpScaleType == 0;
    const SeriesTopRange limits = SeriesPlotTopRange(R.AmpScaleType);
    m_maximum = limits.most;
    m_minimum = limits.least;
    m_step = linear ? 1.0f : 5.0f;
    CheckOnly({IDC_PO_LINEAR, IDC_PO_LOG}, linear ? IDC_PO_LINEAR : IDC_PO_LOG);
    Check(IDC_PO_GRID_X, R.GridXEnabled != 0);
    Check(IDC_PO_GRID_Y, R.GridYEnabled != 0);
    Check(IDC_PO_TOOLBAR, R.ShowToolbar != 0);
    Check(IDC_PO_PULL_CURSOR, R.GrabCursorFlag != 0);
    if (linear) {
        WriteNumber(IDC_PO_CENTER, "%3.6f", R.PlotCenter);
        EnableBox(IDC_PO_CENTER, IDC_PO_CENTER_SPIN, true);
        ShowNotApplicable(IDC_PO_RANGE, IDC_PO_RANGE_SPIN);
    } else {
        WriteNumber(IDC_PO_RANGE, "%3.3f", R.PlotRange);
        EnableBox(IDC_PO_RANGE, IDC_PO_RANGE_SPIN, true);
        ShowNotApplicable(IDC_PO_CENTER, IDC_PO_CENTER_SPIN);
    }
    WriteNumber(IDC_PO_TOP, "%3.6f", R.PlotTop);
    BindSpin(IDC_PO_TOP_SPIN, IDC_PO_TOP, m_maximum, m_minimum, m_step, 0, 2);
    BindSpin(IDC_PO_CENTER_SPIN, IDC_PO_CENTER, m_maximum, -m_maximum, m_step, 0, 0);
    BindSpin(IDC_PO_RANGE_SPIN, IDC_PO_RANGE, m_maximum, m_minimum, m_step, 0, 2);
    WriteNumber(IDC_PO_START_TIME, "%3.4f", R.StartTime);
    WriteNumber(IDC_PO_STOP_TIME, "%3.4f", R.StopTime);
    LoadInterval(R.IntervalFlag, R.IntervalSecs);
    MarkInitialised();
}

void CPlotOptionsSeries::OnLinear()
{
    SetDlgItemText(IDC_PO_TOP, "100.0");
    ShowNotApplicable(IDC_PO_RANGE, IDC_PO_RANGE_SPIN);
    m_maximum = SeriesPlotTopRange(0).most;
    m_minimum = SeriesPlotTopRange(0).least;
    m_step = 1.0f;
    if (TLimitScroll* top = Spin(IDC_PO_TOP_SPIN)) {
        top->SetLimits(m_maximum, m_minimum);
        top->SetStep(m_step, 0);
    }
    SetDlgItemText(IDC_PO_CENTER, "0.0");
    EnableBox(IDC_PO_CENTER, IDC_PO_CENTER_SPIN, true);
}

void CPlotOptionsSeries::OnLogarithmic()
{
    SetDlgItemText(IDC_PO_TOP, "0.0");
    EnableBox(IDC_PO_RANGE, IDC_PO_RANGE_SPIN, true);
    if (m_record)
        WriteNumber(IDC_PO_RANGE, "%3.3f", m_record->PlotRange);
    m_maximum = SeriesPlotTopRange(1).most;
    m_minimum = SeriesPlotTopRange(1).least;
    m_step = 10.0f;
    if (TLimitScroll* top = Spin(IDC_PO_TOP_SPIN)) {
        top->SetLimits(m_maximum, m_minimum);
        top->SetStep(m_step, 0);
    }
    if (TLimitScroll* range = Spin(IDC_PO_RANGE_SPIN))
        range->SetStep(m_step, 0);
    ShowNotApplicable(IDC_PO_CENTER, IDC_PO_CENTER_SPIN);
}

bool CPlotOptionsSeries::StoreSettings()
{
    if (!m_initialised || !m_record)
        return true;
    TimeSeriesPlotSettings& R = *m_record;
    const bool linear = !Checked(IDC_PO_LOG);
    R.AmpScaleType = linear ? 0 : 1;
    R.GridXEnabled = Checked(IDC_PO_GRID_X) ? 1 : 0;
    R.GridYEnabled = Checked(IDC_PO_GRID_Y) ? 1 : 0;
    R.ShowToolbar = Checked(IDC_PO_TOOLBAR) ? 1 : 0;
    R.GrabCursorFlag = Checked(IDC_PO_PULL_CURSOR) ? 1 : 0;
    char text[96];
    double top = 0.0;
    if (!ReadNumber(IDC_PO_TOP, "Plot Top", top))
        return false;
    if (const SeriesTopRange limits = SeriesPlotTopRange(R.AmpScaleType); !limits.Holds(top)) {
        std::snprintf(text, sizeof text, "Plot Top must be between %6.2f and %6.2f", double(limits.least),
                      double(limits.most));
        return Fail(text);
    }
    R.PlotTop = static_cast<float>(top);
    if (!linear) {
        double range = 0.0;
        if (!ReadNumber(IDC_PO_RANGE, "Plot Range", range))
            return false;
        if (!(range > 0.0 && range <= m_maximum)) {
            std::snprintf(text, sizeof text, "Plot Range must be between %6.2f and %6.2f", 0.0, double(m_maximum));
            return Fail(text);
        }
        R.PlotRange = static_cast<float>(range);
    } else {
        double center = 0.0;
        if (!ReadNumber(IDC_PO_CENTER, "Plot Center", center))
            return false;
        if (center > top)
            return Fail("Plot Center must be less than the Plot Top setting");
        R.PlotCenter = static_cast<float>(center);
    }
    if (!StoreSpan(IDC_PO_START_TIME, IDC_PO_STOP_TIME, R.StartTime, R.StopTime, "Time"))
        return false;
    return StoreInterval(R.IntervalFlag, R.IntervalSecs);
}

void CPlotOptionsSeries::Defaults()
{
    CheckOnly({IDC_PO_LINEAR, IDC_PO_LOG}, IDC_PO_LINEAR);
    Check(IDC_PO_GRID_X, true);
    Check(IDC_PO_GRID_Y, true);
    Check(IDC_PO_TOOLBAR, true);
    Check(IDC_PO_PULL_CURSOR, false);
    if (m_record) {
        m_record->LineColor = RGB(255, 0, 0);
        m_record->BackgroundColor = RGB(255, 255, 255);
        m_record->GridColor = RGB(128, 128, 128);
    }
    SetDlgItemText(IDC_PO_TOP, "100.0");
    SetDlgItemText(IDC_PO_CENTER, "0.0");
    SetDlgItemText(IDC_PO_RANGE, "N/A");
    SetDlgItemText(IDC_PO_START_TIME, "0.000");
    SetDlgItemText(IDC_PO_STOP_TIME, "1.000");
    CheckOnly({IDC_PO_AS_OFTEN, IDC_PO_SPECIFIC}, IDC_PO_AS_OFTEN);
    SetDlgItemText(IDC_PO_INTERVAL, "0.100");
}
