#include "dialogs/COptionsMain.h"

#include "dialogs/CCopyProcessingSettingsDlg.h"
#include "platform/ui/Rect.h"
#include "res/ProcessingDialogIds.h"

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
                           INT* inputDeviceIndex, int pageCode)
    : CPropertySheet(caption, parent, 0), m_pageCode(pageCode)
{
    for (CSheetPage* page : {static_cast<CSheetPage*>(&m_FftPage), static_cast<CSheetPage*>(&m_ScalingPage),
                             static_cast<CSheetPage*>(&m_CalibrationPage)}) {
        page->m_OpMode = mode;
        page->m_SheetInitialising = &m_initialising;
    }
    m_FftPage.m_Processing = processing;
    m_ScalingPage.m_Scaling = scaling;
    m_CalibrationPage.m_Calibration = calibration;
    m_CalibrationPage.m_Device = device;
    m_CalibrationPage.m_InputDeviceIndex = inputDeviceIndex;
    AddPage(&m_FftPage);
    AddPage(&m_ScalingPage);
    AddPage(&m_CalibrationPage);
}

int COptionsMain::LastPageCode() { return g_lastPageCode; }
int& COptionsMain::CopySource() { return g_copySource; }
BYTE* COptionsMain::CopyDestinations() { return g_copyDestinations; }

BOOL COptionsMain::OnInitDialog()
{
    m_initialising = 1;
    const BOOL result = CPropertySheet::OnInitDialog();
    if (CWnd* apply = GetDlgItem(ID_APPLY_NOW))
        apply->ShowWindow(SW_HIDE);
    if (CWnd* help = GetDlgItem(IDHELP))
        help->ShowWindow(SW_HIDE);
    CRect client;
    GetClientRect(&client);
    if (CWnd* ok = GetDlgItem(IDOK)) {
        CRect r;
        ok->GetWindowRect(&r);
        ScreenToClient(&r);
        ok->MoveWindow(client.right - r.Width() - 10, client.bottom - r.Height() - 4, r.Width(), r.Height());
        if (CWnd* cancel = GetDlgItem(IDCANCEL)) {
            CRect c;
            cancel->GetWindowRect(&c);
            ScreenToClient(&c);
            cancel->MoveWindow(client.right - 166, client.bottom - r.Height() - 4, c.Width(), c.Height());
        }
    }
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
    // Every page's window is made and filled now; the sheet opens on the FFT page.
    SetActivePage(&m_CalibrationPage);
    SetActivePage(&m_ScalingPage);
    SetActivePage(&m_FftPage);
    // A caller that names a page (a tool-window button) gets that page; -1 the one last used.
    const int code = m_pageCode == -1 ? g_lastPageCode : m_pageCode;
    if (code == 2)
        SetActivePage(&m_ScalingPage);
    else if (code == 4)
        SetActivePage(&m_CalibrationPage);
    m_initialising = 0;
    return result;
}

CSheetPage* COptionsMain::ActiveSheetPage() const { return dynamic_cast<CSheetPage*>(GetActivePage()); }

void COptionsMain::OnSheetOk()
{
    CSheetPage* pages[3] = {&m_FftPage, &m_ScalingPage, &m_CalibrationPage};
    for (CSheetPage* page : pages)
        if (!page->ValidateAndStore()) {
            if (GetActivePage() != page)
                SetActivePage(page);
            return;
        }
    CSheetPage* active = ActiveSheetPage();
    g_lastPageCode = active == &m_ScalingPage ? 2 : active == &m_CalibrationPage ? 4 : 1;
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
    const char* prompt = page == &m_FftPage       ? "This will only copy the FFT page settings"
                         : page == &m_ScalingPage ? "This will only copy the Scaling settings"
                                                  : "This will copy the Calibration settings (except the Channel Name)";
    CCopyProcessingSettingsDlg dialog(this, prompt, &g_copySource, g_copyDestinations);
    if (dialog.DoModal() == IDOK)
        page->Copy(g_copySource, g_copyDestinations);
}
