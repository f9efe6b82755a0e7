#include "utilities/CSoundPowerOptionsDialog.h"

#include "records/NumberText.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Controls.h"
#include "res/UtilityDialogIds.h"

#include <cstdio>
#include <cstdlib>
#include <string>

BEGIN_MESSAGE_MAP(CSoundPowerOptionsDialog, CDialog)
    ON_CBN_SELCHANGE(IDC_UTIL_CHANNEL, &CSoundPowerOptionsDialog::OnChannelChange)
    ON_BN_CLICKED(IDC_UTIL_DEFAULTS, &CSoundPowerOptionsDialog::OnDefaults)
    ON_BN_CLICKED(IDC_UTIL_COPY_ALL, &CSoundPowerOptionsDialog::OnCopyAll)
    ON_BN_CLICKED(IDC_UTIL_HELP, &CSoundPowerOptionsDialog::OnHelpButton)
END_MESSAGE_MAP()

CSoundPowerOptionsDialog::CSoundPowerOptionsDialog(CWnd* parent, SoundPowerChannelSettings* settings)
    : TChannelRecordsDialog(IDD_SOUNDPOWER_OPTIONS, parent, settings)
{
}

BOOL CSoundPowerOptionsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* c = static_cast<CComboBox*>(GetDlgItem(IDC_UTIL_CHANNEL))) {
        for (char letter = 'A'; letter <= 'P'; ++letter)
            c->AddString((std::string("Channel ") + letter).c_str());
        c->SetCurSel(m_channel);
    }
    Load();
    return TRUE;
}

void CSoundPowerOptionsDialog::Load()
{
    const SoundPowerChannelSettings& s = Shown();
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(s.EnvironmentalCorrection));
    SetDlgItemText(IDC_SP_ENVIRONMENT, text);
    std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(s.BackgroundCorrection));
    SetDlgItemText(IDC_SP_BACKGROUND, text);
    std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(s.SurfaceArea));
    SetDlgItemText(IDC_SP_AREA, text);
}

bool CSoundPowerOptionsDialog::Store()
{
    SoundPowerChannelSettings& s = Shown();
    // Text that is no number is refused, naming its field, rather than read as 0.
    double environment = 0.0, background = 0.0, typedArea = 0.0;
    if (!ReadNumberField(*this, IDC_SP_ENVIRONMENT, NumberField{"The Environmental Correction"}, environment) ||
        !ReadNumberField(*this, IDC_SP_BACKGROUND, NumberField{"The Background Noise Correction"}, background) ||
        !ReadNumberField(*this, IDC_SP_AREA, NumberField{"The Surface Area"}, typedArea))
        return false;
    s.EnvironmentalCorrection = NarrowToFloat(environment, s.EnvironmentalCorrection);
    s.BackgroundCorrection = NarrowToFloat(background, s.BackgroundCorrection);
    const float area = NarrowToFloat(typedArea, 0.0f);
    if (!(area > 0.0f)) {
        AfxMessageBox("The Surface Area must be greater than zero", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    s.SurfaceArea = area;
    return true;
}

void CSoundPowerOptionsDialog::OnDefaults()
{
    SetDlgItemText(IDC_SP_ENVIRONMENT, "0.0");
    SetDlgItemText(IDC_SP_BACKGROUND, "0.0");
    SetDlgItemText(IDC_SP_AREA, "10.0");
}
