#include "plots/CPlotOptionsPage.h"

#include "plots/CPlotOptionsMain.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/CommonDialogs.h"
#include "platform/ui/GdiDC.h"
#include "records/NumberText.h"
#include "res/PlotOptionsDialogIds.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

BEGIN_MESSAGE_MAP(CPlotOptionsPage, CPropertyPage)
    ON_WM_CTLCOLOR()
    ON_WM_VSCROLL()
    ON_CONTROL_RANGE(BN_CLICKED, IDC_PO_LINE_COLOR, IDC_PO_GRID_COLOR, &CPlotOptionsPage::OnColourButton)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_PO_PEAK_COLOR, IDC_PO_MARKER_COLOR, &CPlotOptionsPage::OnColourButton)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_PO_MAX_COLOR, IDC_PO_MIN_COLOR, &CPlotOptionsPage::OnColourButton)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_PO_SURF_BACK_COLOR, IDC_PO_SURF_BACK_COLOR, &CPlotOptionsPage::OnColourButton)
    ON_BN_CLICKED(IDC_PO_AS_OFTEN, &CPlotOptionsPage::ApplyIntervalState)
    ON_BN_CLICKED(IDC_PO_SPECIFIC, &CPlotOptionsPage::ApplyIntervalState)
    ON_BN_CLICKED(IDC_PO_DEFAULTS, &CPlotOptionsPage::OnDefaultsButton)
    ON_BN_CLICKED(IDC_PO_HELP, &CPlotOptionsPage::OnHelpButton)
    ON_BN_CLICKED(IDC_PO_COPY_ALL, &CPlotOptionsPage::OnCopyToAll)
END_MESSAGE_MAP()

CPlotOptionsPage::CPlotOptionsPage(UINT templateId, const char* messageCaption)
    : CPropertyPage(templateId), m_caption(messageCaption)
{
}

CPlotOptionsPage::~CPlotOptionsPage() = default;

BOOL CPlotOptionsPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    LoadSettings();
    return TRUE;
}

CPlotOptionsMain* CPlotOptionsPage::Sheet() const { return dynamic_cast<CPlotOptionsMain*>(GetSheet()); }

int CPlotOptionsPage::AmpScaleType() const
{
    const CPlotOptionsMain* sheet = Sheet();
    return sheet ? sheet->AmpScaleType() : 1;
}

TLimitScroll* CPlotOptionsPage::Spin(int id) const
{
    auto it = m_spins.find(id);
    return it == m_spins.end() ? nullptr : it->second.get();
}

void CPlotOptionsPage::BindSpin(int spinId, int editId, float maximum, float minimum, float step, int mode, int decimals)
{
    std::unique_ptr<TLimitScroll>& spin = m_spins[spinId];
    if (!spin) {
        spin = std::make_unique<TLimitScroll>();
        spin->SubclassDlgItem(static_cast<UINT>(spinId), this);
    }
    spin->Attach(GetDlgItem(editId), maximum, minimum, step, mode);
    spin->SetPrecision(decimals);
}

bool CPlotOptionsPage::ReadNumber(int id, const char* name, double& value)
{
    std::string text;
    GetDlgItemText(id, text);
    CWnd* box = GetDlgItem(id);
    // A box that means nothing for the scale stores 0.
    if (text == "N/A" && box && !box->IsWindowEnabled()) {
        value = 0.0;
        return true;
    }
    // Every plot field is held in a float.
    const std::string message =
        CheckTypedNumber(text, NumberField{name, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max()}, value);
    if (message.empty())
        return true;
    Fail(message.c_str());
    if (box)
        GotoDlgCtrl(box);
    return false;
}

void CPlotOptionsPage::WriteNumber(int id, const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    SetDlgItemText(id, text);
}

void CPlotOptionsPage::CheckOnly(std::initializer_list<int> group, int id)
{
    for (int g : group)
        Check(g, false);
    Check(id, true);
}

void CPlotOptionsPage::EnableBox(int editId, int spinId, bool enable)
{
    for (int id : {editId, spinId})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(enable ? TRUE : FALSE);
}

void CPlotOptionsPage::ShowNotApplicable(int editId, int spinId)
{
    SetDlgItemText(editId, "N/A");
    EnableBox(editId, spinId, false);
}

void CPlotOptionsPage::RecreateBrushes()
{
    for (const Colour& c : Colours()) {
        const COLORREF* field = ColourField(c.swatch);
        if (!field)
            continue;
        auto brush = std::make_unique<CBrush>();
        brush->CreateSolidBrush(*field);
        m_brushes[c.swatch] = std::move(brush);
    }
    if (GetSafeHwnd())
        Invalidate();
}

bool CPlotOptionsPage::Fail(const char* text)
{
    MessageBoxA(this, text, m_caption.c_str(), MB_OK | MB_ICONERROR);
    return false;
}

void CPlotOptionsPage::LoadInterval(BYTE flag, float seconds)
{
    Check(IDC_PO_AS_OFTEN, flag == 0);
    Check(IDC_PO_SPECIFIC, flag != 0);
    BindSpin(IDC_PO_INTERVAL_SPIN, IDC_PO_INTERVAL, 3600.0f, 0.1f, 0.1f, 0, 2);
    WriteNumber(IDC_PO_INTERVAL, "%6.3f", seconds);
    ApplyIntervalState();
}

bool CPlotOptionsPage::StoreInterval(BYTE& flag, float& seconds)
{
    if (!Checked(IDC_PO_SPECIFIC)) {
        flag = 0;
        return true;
    }
    flag = 1;
    double value = 0.0;
    if (!ReadNumber(IDC_PO_INTERVAL, "Update Interval", value))
        return false;
    if (value < 0.0 || value > 3600.0)
        return Fail("Update Interval must be greater than zero and less than 3600 seconds.");
    seconds = static_cast<float>(value);
    return true;
}

void CPlotOptionsPage::ApplyIntervalState() { EnableBox(IDC_PO_INTERVAL, IDC_PO_INTERVAL_SPIN, Checked(IDC_PO_SPECIFIC)); }

bool CPlotOptionsPage::StoreSpan(int startId, int stopId, float& start, float& stop, const char* quantity)
{
    char text[128];
    double first = 0.0, last = 0.0;
    std::snprintf(text, sizeof text, "Start %s", quantity);
    if (!ReadNumber(startId, text, first))
        return false;
    std::snprintf(text, sizeof text, "Stop %s", quantity);
    if (!ReadNumber(stopId, text, last))
        return false;
    if (first < 0.0) {
        std::snprintf(text, sizeof text, "Start %s must be greater than zero", quantity);
        return Fail(text);
    }
    start = static_cast<float>(first);
    if (last < 0.0) {
        std::snprintf(text, sizeof text, "Stop %s must be greater than zero", quantity);
        return Fail(text);
    }
    stop = static_cast<float>(last);
    if (!(first < last)) {
        std::snprintf(text, sizeof text, "Start %s must be less than the Stop %s", quantity, quantity);
        return Fail(text);
    }
    return true;
}

void CPlotOptionsPage::MarkInitialised()
{
    RecreateBrushes();
    m_initialised = 1;
}

HBRUSH CPlotOptionsPage::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    if (pWnd && nCtlColor == CTLCOLOR_STATIC) {
        const int id = pWnd->GetDlgCtrlID();
        auto it = m_brushes.find(id);
        if (it != m_brushes.end())
            if (const COLORREF* field = ColourField(id)) {
                pDC->SetBkColor(*field);
                return static_cast<HBRUSH>(it->second->GetSafeHandle());
            }
    }
    return CPropertyPage::OnCtlColor(pDC, pWnd, nCtlColor);
}

void CPlotOptionsPage::OnVScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar)
{
    if (!pScrollBar)
        return;
    TLimitScroll* spin = Spin(pScrollBar->GetDlgCtrlID());
    if (!spin)
        return;
    if (nSBCode == SB_LINEUP)
        spin->StepUp();
    else if (nSBCode == SB_LINEDOWN)
        spin->StepDown();
}

void CPlotOptionsPage::OnColourButton(UINT id)
{
    for (const Colour& c : Colours()) {
        if (c.button != static_cast<int>(id))
            continue;
        COLORREF* field = ColourField(c.swatch);
        if (!field)
            return;
        CColorDialog dialog(*field, CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR, this);
        if (dialog.DoModal() != IDOK)
            return;
        *field = dialog.GetColor();
        RecreateBrushes();
        return;
    }
}

void CPlotOptionsPage::OnDefaultsButton()
{
    Defaults();
    RecreateBrushes();
}

void CPlotOptionsPage::OnCopyToAll()
{
    if (StoreSettings())
        if (CPlotOptionsMain* sheet = Sheet())
            sheet->CopySettingsToAllChannels();
}

std::vector<CPlotOptionsPage::Colour> CPlotOptionsPage::LineBackGridColours()
{
    return {{IDC_PO_LINE_COLOR, IDC_PO_LINE_SWATCH}, {IDC_PO_BACK_COLOR, IDC_PO_BACK_SWATCH},
            {IDC_PO_GRID_COLOR, IDC_PO_GRID_SWATCH}};
}

COLORREF* CPlotOptionsPage::LineBackGridField(int swatch, COLORREF* line, COLORREF* background, COLORREF* grid)
{
    switch (swatch) {
    case IDC_PO_LINE_SWATCH: return line;
    case IDC_PO_BACK_SWATCH: return background;
    case IDC_PO_GRID_SWATCH: return grid;
    default: return nullptr;
    }
}
