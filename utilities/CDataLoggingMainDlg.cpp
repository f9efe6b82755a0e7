#include "utilities/CDataLoggingMainDlg.h"

#include "records/NumberText.h"
#include "platform/core/MessageBox.h"
#include "platform/core/SystemFolders.h"
#include "platform/ui/Controls.h"
#include "res/UtilityDialogIds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- File Options page ------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDataLogFileOptionsDlg, CPropertyPage)
    ON_CBN_SELCHANGE(IDC_LOG_FORMAT, &CDataLogFileOptionsDlg::OnFormatChange)
END_MESSAGE_MAP()

CDataLogFileOptionsDlg::CDataLogFileOptionsDlg(DataLoggingBlock* block)
    : CPropertyPage(IDD_LOG_FILE_OPTIONS), m_block(block)
{
}

BOOL CDataLogFileOptionsDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    CheckDlgButton(IDC_LOG_ENABLE, m_block->IsLogging ? BST_CHECKED : BST_UNCHECKED);
    if (auto* c = static_cast<CComboBox*>(GetDlgItem(IDC_LOG_FORMAT))) {
        c->AddString("Channel_Number.txt");
        c->AddString("Channel_Number_Date_Time.txt");
        c->SetCurSel(m_block->FilenameFormat == 1 ? 1 : 0);
    }
    CheckRadioButton(IDC_LOG_OVERWRITE, IDC_LOG_APPEND, m_block->OverwriteFlag ? IDC_LOG_OVERWRITE : IDC_LOG_APPEND);
    CheckDlgButton(IDC_LOG_TIMESTAMP, m_block->IncludeTimeStampFlag ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_LOG_HEADER, m_block->IncludeHeaderFlag ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(IDC_LOG_VIEWER, m_block->ViewerProgram);
    OnFormatChange();
    return TRUE;
}

void CDataLogFileOptionsDlg::OnFormatChange()
{
    auto* c = static_cast<CComboBox*>(GetDlgItem(IDC_LOG_FORMAT));
    const bool dated = c && c->GetCurSel() == 1;
    // Dated names never meet an old file: overwriting is the only sense.
    if (dated)
        CheckRadioButton(IDC_LOG_OVERWRITE, IDC_LOG_APPEND, IDC_LOG_OVERWRITE);
    for (int id : {IDC_LOG_OVERWRITE, IDC_LOG_APPEND})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(dated ? FALSE : TRUE);
}

void CDataLogFileOptionsDlg::Store()
{
    if (!GetSafeHwnd())
        return;
    m_block->IsLogging = IsDlgButtonChecked(IDC_LOG_ENABLE) ? 1 : 0;
    auto* c = static_cast<CComboBox*>(GetDlgItem(IDC_LOG_FORMAT));
    m_block->FilenameFormat = c && c->GetCurSel() == 1 ? 1 : 0;
    m_block->OverwriteFlag = m_block->FilenameFormat == 1 || IsDlgButtonChecked(IDC_LOG_OVERWRITE) ? 1 : 0;
    m_block->IncludeTimeStampFlag = IsDlgButtonChecked(IDC_LOG_TIMESTAMP) ? 1 : 0;
    m_block->IncludeHeaderFlag = IsDlgButtonChecked(IDC_LOG_HEADER) ? 1 : 0;
    std::string viewer;
    GetDlgItemText(IDC_LOG_VIEWER, viewer);
    CopyField(m_block->ViewerProgram, viewer.c_str());
}

void CDataLogFileOptionsDlg::Defaults()
{
    if (auto* c = static_cast<CComboBox*>(GetDlgItem(IDC_LOG_FORMAT)))
        c->SetCurSel(0);
    CheckRadioButton(IDC_LOG_OVERWRITE, IDC_LOG_APPEND, IDC_LOG_OVERWRITE);
    CheckDlgButton(IDC_LOG_TIMESTAMP, BST_CHECKED);
    CheckDlgButton(IDC_LOG_HEADER, BST_CHECKED);
    SetDlgItemText(IDC_LOG_VIEWER, "Notepad.exe");
    OnFormatChange();
}

// ---- Channel page -----------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDataLogChannelOptionsDlg, CPropertyPage)
    ON_BN_CLICKED(IDC_LOGCH_ENABLE, &CDataLogChannelOptionsDlg::OnEnableClicked)
    ON_BN_CLICKED(IDC_LOGCH_ASOFTEN, &CDataLogChannelOptionsDlg::OnIntervalChoice)
    ON_BN_CLICKED(IDC_LOGCH_INTERVALS, &CDataLogChannelOptionsDlg::OnIntervalChoice)
    ON_BN_CLICKED(IDC_LOGCH_COPY_ALL, &CDataLogChannelOptionsDlg::OnCopyAll)
    ON_BN_CLICKED(IDC_LOGCH_VIEW_FILE, &CDataLogChannelOptionsDlg::OnViewFile)
    ON_BN_CLICKED(IDC_LOGCH_VIEW_FOLDER, &CDataLogChannelOptionsDlg::OnViewFolder)
END_MESSAGE_MAP()

namespace {
const char* const kItemTexts[CDataLogChannelOptionsDlg::kItems] = {
    "Peak Frequency", "Peak Level", "Total Power Flat", "Total Power A", "Total Power B", "Total Power C",
    "Total Harmonic Distortion (THD)", "Total Harmonic Distortion + Noise (THD+N)",
    "InterModulation Distortion (IMD)", "Signal to Noise Ratio (SNR)", "Signal to Noise And Distortion (SINAD)",
    "Equivalent Noise Values (Leq)", "Spectrum Values", "Peak Hold Spectrum Values", "Phase Values",
    "Marker 1 Level", "Marker 2 Level", "Marker 3 Level", "Marker 4 Level", "Marker 5 Level", "Marker 6 Level",
    "Marker 7 Level", "Marker 8 Level", "Peak Frequency between marker 1 and 2", "Peak Level between marker 1 and 2",
    "Total Power Flat between marker 1 and 2", "Total Power A between marker 1 and 2",
    "Total Power B between marker 1 and 2", "Total Power C between marker 1 and 2",
    "Spectrum Values between marker 1 and 2", "Peak Hold Spectrum Values between marker 1 and 2",
    "Phase Values between marker 1 and 2", "Tachometer (RPM)", "Complex Spectrum Values",
    "Complex Spectrum Values between marker 1 and 2"};
// The list shows the items in this order.
constexpr int kOrder[CDataLogChannelOptionsDlg::kItems] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                                           12, 13, 14, 33, 15, 16, 17, 18, 19, 20, 21, 22,
                                                           23, 24, 25, 26, 27, 28, 29, 30, 31, 34, 32};
} // namespace

CDataLogChannelOptionsDlg::CDataLogChannelOptionsDlg(CDataLoggingMainDlg* sheet, DataLoggingSettings* record,
                                                     std::string caption, std::string logFolder, const char* viewer)
    : CPropertyPage(IDD_LOG_CHANNEL_OPTIONS), m_owner(sheet), m_record(record), m_logFolder(std::move(logFolder)),
      m_viewer(viewer)
{
    m_caption = std::move(caption);
    m_psp.dwFlags |= PSP_USETITLE;
    m_psp.pszTitle = m_caption.c_str();
}

BOOL CDataLogChannelOptionsDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    if (auto* list = static_cast<CListCtrl*>(GetDlgItem(IDC_LOGCH_ITEMS))) {
        list->DeleteAllItems();
        for (int row = 0; row < kItems; ++row) {
            const int item = kOrder[row];
            list->InsertItem(row, kItemTexts[item]);
            list->SetItemData(row, static_cast<DWORD_PTR>(item));
        }
    }
    Load();
    return TRUE;
}

void CDataLogChannelOptionsDlg::Load()
{
    CheckDlgButton(IDC_LOGCH_ENABLE, m_record->Enable ? BST_CHECKED : BST_UNCHECKED);
    if (auto* list = static_cast<CListCtrl*>(GetDlgItem(IDC_LOGCH_ITEMS)))
        for (int row = 0; row < list->GetItemCount(); ++row) {
            const auto item = static_cast<int>(list->GetItemData(row));
            list->SetCheck(row, item >= 0 && item < kItems && m_record->DataItem[item] ? TRUE : FALSE);
        }
    CheckRadioButton(IDC_LOGCH_ASOFTEN, IDC_LOGCH_INTERVALS,
                     m_record->IntervalFlag ? IDC_LOGCH_INTERVALS : IDC_LOGCH_ASOFTEN);
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(m_record->IntervalSecs));
    SetDlgItemText(IDC_LOGCH_INTERVAL, text);
    EnableControls(m_record->Enable != 0);
}

void CDataLogChannelOptionsDlg::EnableControls(bool enable)
{
    for (int id : {IDC_LOGCH_ITEMS, IDC_LOGCH_ASOFTEN, IDC_LOGCH_INTERVALS, IDC_LOGCH_INTERVAL, IDC_LOGCH_COPY_ALL,
                   IDC_LOGCH_VIEW_FILE, IDC_LOGCH_VIEW_FOLDER})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(enable ? TRUE : FALSE);
    if (!enable)
        return;
    if (CWnd* w = GetDlgItem(IDC_LOGCH_INTERVAL))
        w->EnableWindow(IsDlgButtonChecked(IDC_LOGCH_INTERVALS) ? TRUE : FALSE);
    std::FILE* f = m_record->LogFilePath[0] ? std::fopen(m_record->LogFilePath, "r") : nullptr;
    if (CWnd* w = GetDlgItem(IDC_LOGCH_VIEW_FILE))
        w->EnableWindow(f ? TRUE : FALSE);
    if (f)
        std::fclose(f);
}

void CDataLogChannelOptionsDlg::StoreChecks()
{
    auto* list = static_cast<CListCtrl*>(GetDlgItem(IDC_LOGCH_ITEMS));
    if (!list)
        return;
    for (int row = 0; row < list->GetItemCount(); ++row) {
        const auto item = static_cast<int>(list->GetItemData(row));
        if (item >= 0 && item < kItems)
            m_record->DataItem[item] = list->GetCheck(row) ? 1 : 0;
    }
}

void CDataLogChannelOptionsDlg::OnEnableClicked()
{
    if (IsDlgButtonChecked(IDC_LOGCH_ENABLE)) {
        EnableControls(true);
        Load();
        m_record->Enable = 1;
        CheckDlgButton(IDC_LOGCH_ENABLE, BST_CHECKED);
        EnableControls(true);
    } else {
        StoreChecks();
        EnableControls(false);
    }
}

void CDataLogChannelOptionsDlg::OnIntervalChoice()
{
    if (CWnd* w = GetDlgItem(IDC_LOGCH_INTERVAL))
        w->EnableWindow(IsDlgButtonChecked(IDC_LOGCH_INTERVALS) ? TRUE : FALSE);
}

bool CDataLogChannelOptionsDlg::Validate()
{
    if (!GetSafeHwnd())
        return true;
    m_record->Enable = IsDlgButtonChecked(IDC_LOGCH_ENABLE) ? 1 : 0;
    StoreChecks();
    int marked = 0;
    for (BYTE flag : m_record->DataItem)
        marked += flag ? 1 : 0;
    if (m_record->Enable && marked == 0) {
        AfxMessageBox("You must select at least one data item.", MB_OK | MB_ICONERROR);
        return false;
    }
    m_record->IntervalFlag = IsDlgButtonChecked(IDC_LOGCH_INTERVALS) ? 1 : 0;
    if (m_record->IntervalFlag) {
        double seconds = 0.0;
        if (!ReadNumberField(*this, IDC_LOGCH_INTERVAL, NumberField{"The Logging Update Interval"}, seconds))
            return false;
        if (seconds > 3600.0) {
            AfxMessageBox("The Logging Update Interval must be less than 3600 seconds", MB_OK | MB_ICONERROR);
            return false;
        }
        if (seconds < 0.0)
            seconds = 0.0;
        m_record->IntervalSecs = static_cast<float>(seconds);
    }
    return true;
}

BOOL CDataLogChannelOptionsDlg::OnKillActive()
{
    if (m_owner && m_owner->IsCreating())
        return TRUE;
    return Validate() ? TRUE : FALSE;
}

void CDataLogChannelOptionsDlg::Defaults()
{
    std::memset(m_record->DataItem, 0, sizeof m_record->DataItem);
    m_record->DataItem[0] = 1;
    const BYTE enabled = IsDlgButtonChecked(IDC_LOGCH_ENABLE) ? 1 : 0;
    m_record->Enable = enabled;
    m_record->IntervalFlag = 1;
    Load();
    SetDlgItemText(IDC_LOGCH_INTERVAL, "1.00");
}

void CDataLogChannelOptionsDlg::OnCopyAll()
{
    if (!Validate())
        return;
    if (m_owner)
        m_owner->CopyToAll(this);
}

void CDataLogChannelOptionsDlg::OnViewFile()
{
    std::FILE* f = m_record->LogFilePath[0] ? std::fopen(m_record->LogFilePath, "r") : nullptr;
    if (f) {
        std::fclose(f);
        WinExec((std::string(m_viewer ? m_viewer : "Notepad.exe") + " " + m_record->LogFilePath).c_str(), SW_SHOWNORMAL);
    } else {
        WinExec(("Explorer.exe " + m_logFolder).c_str(), SW_SHOWNORMAL);
    }
}

void CDataLogChannelOptionsDlg::OnViewFolder()
{
    WinExec(("Explorer.exe " + m_logFolder).c_str(), SW_SHOWNORMAL);
}

// ---- Sheet ------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDataLoggingMainDlg, CPropertySheet)
    ON_BN_CLICKED(IDOK, &CDataLoggingMainDlg::OnOkButton)
    ON_BN_CLICKED(CDataLoggingMainDlg::kDefaults, &CDataLoggingMainDlg::OnDefaultsButton)
    ON_BN_CLICKED(CDataLoggingMainDlg::kHelp, &CDataLoggingMainDlg::OnHelpButton)
END_MESSAGE_MAP()

CDataLoggingMainDlg::CDataLoggingMainDlg(CWnd* parent, DataLoggingBlock* block, const bool* inputAvailable,
                                         const bool* compositeEnabled, std::string logFolder)
    : CPropertySheet("Data Logging Settings", parent), m_filePage(block)
{
    AddPage(&m_filePage);
    for (int ch = 0; ch < 8; ++ch)
        if (inputAvailable[ch])
            m_pages.push_back(std::make_unique<CDataLogChannelOptionsDlg>(
                this, &block->Channel[ch], "Ch " + std::to_string(ch), logFolder, block->ViewerProgram));
    for (int k = 0; k < 16; ++k)
        if (compositeEnabled[k])
            m_pages.push_back(std::make_unique<CDataLogChannelOptionsDlg>(
                this, &block->Composite[k], std::string("Ch ") + static_cast<char>('A' + k), logFolder,
                block->ViewerProgram));
    for (auto& p : m_pages)
        AddPage(p.get());
}

CDataLoggingMainDlg::~CDataLoggingMainDlg()
{
    for (auto& b : m_buttons)
        b.reset();
}

INT_PTR CDataLoggingMainDlg::DoModal()
{
    if (m_pages.empty())
        AfxMessageBox("No channels are enabled yet!", MB_OK | MB_ICONINFORMATION);
    return CPropertySheet::DoModal();
}

BOOL CDataLoggingMainDlg::OnInitDialog()
{
    CPropertySheet::OnInitDialog();
    m_creating = true;
    if (CWnd* apply = GetDlgItem(ID_APPLY_NOW))
        apply->ShowWindow(SW_HIDE);
    RECT client{};
    GetClientRect(&client);
    const int top = static_cast<int>(client.bottom) - 24 - 8;
    m_buttons[0] = std::make_unique<CButton>();
    m_buttons[0]->Create("Help", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{10, top, 90, top + 24}, this, kHelp);
    m_buttons[1] = std::make_unique<CButton>();
    m_buttons[1]->Create("&Defaults", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{100, top, 180, top + 24}, this,
                         kDefaults);
    for (auto& p : m_pages)
        SetActivePage(p.get());
    SetActivePage(&m_filePage);
    m_creating = false;
    return TRUE;
}

void CDataLoggingMainDlg::CopyToAll(CDataLogChannelOptionsDlg* from)
{
    const DataLoggingSettings& src = *from->Record();
    for (auto& p : m_pages) {
        if (p.get() == from)
            continue;
        DataLoggingSettings& dst = *p->Record();
        dst.Enable = src.Enable;
        dst.IntervalFlag = src.IntervalFlag;
        dst.IntervalSecs = src.IntervalSecs;
        dst.Threshold = src.Threshold;
        std::memcpy(dst.DataItem, src.DataItem, sizeof dst.DataItem);
        if (p->GetSafeHwnd())
            p->Load();
    }
}

void CDataLoggingMainDlg::OnOkButton()
{
    m_filePage.Store();
    for (auto& p : m_pages)
        if (!p->Validate()) {
            SetActivePage(p.get());
            return;
        }
    EndDialog(IDOK);
}

void CDataLoggingMainDlg::OnDefaultsButton()
{
    CPropertyPage* active = GetActivePage();
    if (active == &m_filePage) {
        m_filePage.Defaults();
        return;
    }
    for (auto& p : m_pages)
        if (p.get() == active)
            p->Defaults();
}
