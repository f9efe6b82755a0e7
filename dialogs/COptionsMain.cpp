#include "dialogs/COptionsMain.h"

#include "dialogs/CCopyProcessingSettingsDlg.h"
#include "dialogs/PageHelpers.h"
#include "platform/ui/Rect.h"
#include "res/ProcessingDialogIds.h"
#include "res/SheetPageDialogIds.h"

#include <algorithm>

namespace {
int g_lastPageCode = 1;
int g_copySource = 0;
BYTE g_copyDestinations[8] = {};
} // namespace

BEGIN_MESSAGE_MAP(COptionsMain, CPropertySheet)
    ON_COMMAND(IDOK, &COptionsMain::OnSheetOk)
    ON_BN_CLICKED(IDC_SHEET_DEFAULTS, &COptionsMain::OnDefaults)
    ON_BN_CLICKED(IDC_SHEET_COPY, &COptionsMain::OnCopyChannels)
    ON_BN_CLICKED(IDC_SHEET_HELP, &COptionsMain::OnHelp)
END_MESSAGE_MAP()

COptionsMain::COptionsMain(LPCSTR caption, CWnd* parent, WORD mode, ChannelProcessingSettings* processing,
                           ChannelScalingSettings* scaling, UsbDeviceSettings* device, ChannelCalibration* calibration,
                           TriggerSettings* trigger, RunControlSettings* runControl, INT* inputDeviceIndex,
                           INT* outputDeviceIndex, DWORD* soundCardIndex, BYTE* useSoundCard,
                           OutputDeviceSettings* output, int pageCode)
    : CPropertySheet(caption, parent, 0), m_pageCode(pageCode)
{
    m_FftPage.m_Processing = processing;
    m_ScalingPage.m_Scaling = scaling;
    m_TriggerPage.m_Trigger = trigger;
    m_CalibrationPage.m_Calibration = calibration;
    m_CalibrationPage.m_Device = device;
    m_CalibrationPage.m_InputDeviceIndex = inputDeviceIndex;
    m_InputPage.m_Device = device;
    m_OutputPage.m_OutputDeviceIndex = outputDeviceIndex;
    m_OutputPage.m_SoundCardIndex = soundCardIndex;
    m_OutputPage.m_UseSoundCard = useSoundCard;
    m_OutputPage.m_Output = output;
    m_RunControlPage.m_RunControl = runControl;
    // Added in page-code order, so that a page's index is its code.
    for (int code = kInputPage; code <= kOutputPage; ++code) {
        CSheetPage* page = PageOfCode(code);
        page->m_OpMode = mode;
        page->m_SheetInitialising = &m_initialising;
        AddPage(page);
    }
}

CSheetPage* COptionsMain::PageOfCode(int code)
{
    switch (code) {
    case kInputPage: return &m_InputPage;
    case kScalingPage: return &m_ScalingPage;
    case kTriggerPage: return &m_TriggerPage;
    case kCalibrationPage: return &m_CalibrationPage;
    case kRunControlPage: return &m_RunControlPage;
    case kOutputPage: return &m_OutputPage;
    default: return &m_FftPage;
    }
}

int COptionsMain::LastPageCode() { return g_lastPageCode; }
int& COptionsMain::CopySource() { return g_copySource; }
BYTE* COptionsMain::CopyDestinations() { return g_copyDestinations; }

BOOL COptionsMain::OnInitDialog()
{
    m_initialising = 1;
    const BOOL result = CPropertySheet::OnInitDialog();
    sheet::PlaceOkCancel(*this);
    CRect client;
    GetClientRect(&client);
    struct ButtonPlace {
        std::unique_ptr<CButton>* button;
        const char* text;
        int width;
        UINT id;
    };
    const ButtonPlace places[3] = {{&m_help, "Help", 80, IDC_SHEET_HELP},
                           {&m_copy, "Copy Channels...", 160, IDC_SHEET_COPY},
                           {&m_defaults, "&Defaults", 80, IDC_SHEET_DEFAULTS}};
    int x = 10;
    for (const ButtonPlace& s : places) {
        *s.button = std::make_unique<CButton>();
        (*s.button)->Create(s.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                            CRect(x, client.bottom - 28, x + s.width, client.bottom - 4), this, s.id);
        (*s.button)->ShowWindow(SW_SHOW);
        (*s.button)->SetFont(GetFont());
        x += s.width + 10;
    }
    // Every page's window is made and filled now, so OK can validate pages never shown.
    for (int code = kOutputPage; code >= kInputPage; --code)
        SetActivePage(PageOfCode(code));
    // The channel rows of these pages follow the device-input page's channel boxes.
    for (CSheetPage* page : {static_cast<CSheetPage*>(&m_FftPage), static_cast<CSheetPage*>(&m_ScalingPage),
                             static_cast<CSheetPage*>(&m_CalibrationPage)}) {
        for (int r = 0; r < 8; ++r)
            page->m_ChannelEnable[r] = m_InputPage.GetDlgItem(kInputEnableFirstId + r);
        page->ApplyChannelEnables();
    }
    // A caller that names a page (a tool-window button) gets that page; -1 the one last used.
    SetActivePage(PageOfCode(m_pageCode == -1 ? g_lastPageCode : m_pageCode));
    m_initialising = 0;
    return result;
}

CSheetPage* COptionsMain::ActiveSheetPage() const { return dynamic_cast<CSheetPage*>(GetActivePage()); }

void COptionsMain::OnSheetOk()
{
    for (int code = kInputPage; code <= kOutputPage; ++code) {
        CSheetPage* page = PageOfCode(code);
        if (!page->ValidateAndStore()) {
            if (GetActivePage() != page)
                SetActivePage(page);
            return;
        }
    }
    g_lastPageCode = std::max(0, GetActiveIndex());
    EndDialog(IDOK);
}

void COptionsMain::OnDefaults()
{
    if (CSheetPage* page = ActiveSheetPage())
        page->Defaults();
}

void COptionsMain::OnCopyChannels()
{
    CSheetPage* page = ActiveSheetPage();
    if (!page)
        return;
    const char* prompt = nullptr;
    if (page == &m_FftPage)
        prompt = "This will only copy the FFT page settings";
    else if (page == &m_ScalingPage)
        prompt = "This will only copy the Scaling settings";
    else if (page == &m_CalibrationPage)
        prompt = "This will copy the Calibration settings (except the Channel Name)";
    else if (page == &m_InputPage)
        prompt = "This will only copy the Device Input settings";
    else
        return; // the other pages hold no channel rows
    CCopyProcessingSettingsDlg dialog(this, prompt, &g_copySource, g_copyDestinations);
    if (dialog.DoModal() == IDOK)
        page->Copy(g_copySource, g_copyDestinations);
}
