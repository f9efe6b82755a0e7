#include "app/CFileImportDlg.h"

#include "platform/ui/Controls.h"
#include "records/NumberText.h"
#include "res/FileDialogIds.h"

#include <cstdint>
#include <cstdio>

BEGIN_MESSAGE_MAP(CFileImportDlg, CDialog)
    ON_CBN_SELCHANGE(IDC_IMPORT_TYPE, &CFileImportDlg::OnTypeChanged)
    ON_EN_CHANGE(IDC_IMPORT_HEADER_SIZE, &CFileImportDlg::OnHeaderSizeChanged)
    ON_BN_CLICKED(IDC_IMPORT_RESCALE, &CFileImportDlg::OnScalingClicked)
    ON_BN_CLICKED(IDC_IMPORT_TRUNCATE, &CFileImportDlg::OnScalingClicked)
    ON_BN_CLICKED(IDC_IMPORT_DEFINE, &CFileImportDlg::OnScalingClicked)
    ON_CBN_SELCHANGE(IDC_IMPORT_UNITS, &CFileImportDlg::OnUnitsChanged)
END_MESSAGE_MAP()

namespace {

constexpr const char* kSourceTypes[] = {"ASCII - integer",  "ASCII - floating point", "Binary - 8 bit",
                                        "Binary - 16 bit",  "Binary - 32 bit",        "Binary - floating point"};

CComboBox* Combo(CDialog* d, int id) { return static_cast<CComboBox*>(d->GetDlgItem(id)); }

} // namespace

CFileImportDlg::CFileImportDlg(CWnd* parent, ImportSettings* settings)
    : CDialog(IDD_FILE_IMPORT, parent), settings_(settings)
{
}

BOOL CFileImportDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    filling_ = true;
    CComboBox* type = Combo(this, IDC_IMPORT_TYPE);
    for (const char* t : kSourceTypes)
        type->AddString(t);
    type->SetCurSel(settings_->Format < 6 ? settings_->Format : 0);

    char text[64];
    std::snprintf(text, sizeof text, "%u", unsigned(settings_->SampleRate));
    SetDlgItemText(IDC_IMPORT_RATE, text);
    CComboBox* precision = Combo(this, IDC_IMPORT_PRECISION);
    precision->AddString("16 bits");
    precision->AddString("24 bits");
    precision->SetCurSel(settings_->BytesPerSample == 3 ? 1 : 0);

    std::snprintf(text, sizeof text, "%d", int(settings_->HeaderSize));
    SetDlgItemText(IDC_IMPORT_HEADER_SIZE, text);
    CheckRadioButton(IDC_IMPORT_NO_HEADER, IDC_IMPORT_HAS_HEADER,
                     settings_->HasHeader ? IDC_IMPORT_HAS_HEADER : IDC_IMPORT_NO_HEADER);
    std::snprintf(text, sizeof text, "%u", unsigned(settings_->Column));
    SetDlgItemText(IDC_IMPORT_COLUMN, text);

    const int scaling = settings_->ScalingMode == ImportSettings::kTruncate   ? IDC_IMPORT_TRUNCATE
                        : settings_->ScalingMode == ImportSettings::kDefineUnits ? IDC_IMPORT_DEFINE
                                                                                 : IDC_IMPORT_RESCALE;
    CheckRadioButton(IDC_IMPORT_RESCALE, IDC_IMPORT_DEFINE, scaling);
    std::snprintf(text, sizeof text, "%6.4f", double(settings_->DataValue));
    SetDlgItemText(IDC_IMPORT_DATA_VALUE, text);
    std::snprintf(text, sizeof text, "%6.4f", double(settings_->EqualsValue));
    SetDlgItemText(IDC_IMPORT_EQUALS, text);

    CComboBox* units = Combo(this, IDC_IMPORT_UNITS);
    for (const ImportUnitChoice& u : kImportUnitChoices) {
        const int i = units->AddString(u.Text);
        units->SetItemData(i, u.Code);
        if (u.Code == settings_->Units)
            units->SetCurSel(i);
    }
    SetDlgItemText(IDC_IMPORT_LABEL_LINEAR, settings_->LabelLinear);
    SetDlgItemText(IDC_IMPORT_LABEL_LOG, settings_->LabelLog);
    filling_ = false;

    OnTypeChanged();
    OnScalingClicked();
    return TRUE;
}

void CFileImportDlg::OnTypeChanged()
{
    const int type = Combo(this, IDC_IMPORT_TYPE)->GetCurSel();
    const bool text = type == ImportSettings::kAsciiInteger || type == ImportSettings::kAsciiFloat;
    SetDlgItemText(IDC_IMPORT_HEADER_UNIT, text ? "Lines (ASCII file)" : "Bytes (binary file)");
    if (CWnd* w = GetDlgItem(IDC_IMPORT_COLUMN))
        w->EnableWindow(text);
}

void CFileImportDlg::OnHeaderSizeChanged()
{
    if (filling_)
        return;
    CheckRadioButton(IDC_IMPORT_NO_HEADER, IDC_IMPORT_HAS_HEADER, IDC_IMPORT_HAS_HEADER);
}

void CFileImportDlg::OnScalingClicked()
{
    const bool define = IsDlgButtonChecked(IDC_IMPORT_DEFINE) != 0;
    for (int id : {IDC_IMPORT_DATA_VALUE, IDC_IMPORT_EQUALS, IDC_IMPORT_UNITS, IDC_IMPORT_LABEL_LINEAR,
                   IDC_IMPORT_LABEL_LOG})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(define);
}

void CFileImportDlg::OnUnitsChanged()
{
    CComboBox* units = Combo(this, IDC_IMPORT_UNITS);
    const int i = units->GetCurSel();
    if (i < 0)
        return;
    const auto code = static_cast<WORD>(units->GetItemData(i));
    for (const ImportUnitChoice& u : kImportUnitChoices)
        if (u.Code == code) {
            SetDlgItemText(IDC_IMPORT_LABEL_LINEAR, u.LabelLinear);
            SetDlgItemText(IDC_IMPORT_LABEL_LOG, u.LabelLog);
            break;
        }
}

void CFileImportDlg::OnOK()
{
    // Read into a copy and store only an accepted record, so a refusal changes nothing.
    ImportSettings s = *settings_;
    const int type = Combo(this, IDC_IMPORT_TYPE)->GetCurSel();
    s.Format = static_cast<WORD>(type < 0 ? 0 : type);
    // Each number is the whole text in its field's range; the checks below then say what the
    // import needs of it.
    double rate = 0.0, header = 0.0, column = s.Column, dataValue = s.DataValue, equals = s.EqualsValue;
    if (!ReadNumberField(*this, IDC_IMPORT_RATE, NumberField{"Sampling Rate", 0.0, 4294967295.0, true}, rate) ||
        !ReadNumberField(*this, IDC_IMPORT_HEADER_SIZE, NumberField{"Header Size", INT32_MIN, INT32_MAX, true}, header))
        return;
    // A disabled box is not the user's to correct: what it holds is taken when it is a number,
    // else the record's value stays.
    const auto read = [this](int id, const NumberField& field, double& value) {
        const CWnd* box = GetDlgItem(id);
        if (box && box->IsWindowEnabled())
            return ReadNumberField(*this, id, field, value);
        std::string text;
        GetDlgItemText(id, text);
        double typed = 0.0;
        if (CheckTypedNumber(text, field, typed).empty())
            value = typed;
        return true;
    };
    if (!read(IDC_IMPORT_COLUMN, NumberField{"Column Index", 0.0, 4294967295.0, true}, column) ||
        !read(IDC_IMPORT_DATA_VALUE, NumberField{"Data Value", -1e30, 1e30}, dataValue) ||
        !read(IDC_IMPORT_EQUALS, NumberField{"Equals", -1e30, 1e30}, equals))
        return;
    s.SampleRate = static_cast<DWORD>(rate);
    const int precision = Combo(this, IDC_IMPORT_PRECISION)->GetCurSel();
    s.BytesPerSample = static_cast<WORD>((precision < 0 ? 0 : precision) + 2);
    s.HasHeader = IsDlgButtonChecked(IDC_IMPORT_HAS_HEADER) ? 1 : 0;
    s.HeaderSize = static_cast<std::int32_t>(header);
    s.Column = static_cast<DWORD>(column);
    s.ScalingMode = IsDlgButtonChecked(IDC_IMPORT_TRUNCATE) ? ImportSettings::kTruncate
                    : IsDlgButtonChecked(IDC_IMPORT_DEFINE) ? ImportSettings::kDefineUnits
                                                            : ImportSettings::kRescale;
    s.DataValue = static_cast<float>(dataValue);
    s.EqualsValue = static_cast<float>(equals);
    CComboBox* units = Combo(this, IDC_IMPORT_UNITS);
    if (units->GetCurSel() >= 0)
        s.Units = static_cast<WORD>(units->GetItemData(units->GetCurSel()));
    GetDlgItemText(IDC_IMPORT_LABEL_LINEAR, s.LabelLinear, sizeof s.LabelLinear);
    GetDlgItemText(IDC_IMPORT_LABEL_LOG, s.LabelLog, sizeof s.LabelLog);

    const std::string refusal = CheckImportSettings(s);
    if (!refusal.empty()) {
        AfxMessageBox(refusal, MB_OK | MB_ICONSTOP);
        return;
    }
    *settings_ = s;
    CDialog::OnOK();
}
