// "Data Logging Settings": the File Options page and one page per available channel, on a
// working copy of the frame's data logging block. OK stores the file options and validates
// every channel page in order; the first page that fails comes to the front and the sheet
// stays open.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/PropertyPage.h"
#include "platform/ui/PropertySheet.h"
#include "records/DataLoggingSettings.h"

#include <memory>
#include <string>
#include <vector>

class CDataLoggingMainDlg;

class CDataLogFileOptionsDlg : public CPropertyPage {
public:
    explicit CDataLogFileOptionsDlg(DataLoggingBlock* block);
    BOOL OnInitDialog() override;
    void Store();
    void Defaults();

protected:
    void OnFormatChange();
    DECLARE_MESSAGE_MAP()

private:
    DataLoggingBlock* m_block;
};

class CDataLogChannelOptionsDlg : public CPropertyPage {
public:
    static constexpr int kItems = DataLoggingSettings::kDataItems;

    CDataLogChannelOptionsDlg(CDataLoggingMainDlg* sheet, DataLoggingSettings* record, std::string caption,
                              std::string logFolder, const char* viewer);
    BOOL OnInitDialog() override;
    BOOL OnKillActive() override;
    // Stores the controls into the record; false (with its message shown) when refused.
    bool Validate();
    void Load();
    void Defaults();
    DataLoggingSettings* Record() const { return m_record; }

protected:
    void OnEnableClicked();
    void OnIntervalChoice();
    void OnCopyAll();
    void OnViewFile();
    void OnViewFolder();
    DECLARE_MESSAGE_MAP()

private:
    void StoreChecks();
    void EnableControls(bool enable);

    CDataLoggingMainDlg* m_owner;
    DataLoggingSettings* m_record;
    std::string m_caption; // the tab text m_psp points to
    std::string m_logFolder;
    const char* m_viewer;
};

class CDataLoggingMainDlg : public CPropertySheet {
public:
    static constexpr UINT kDefaults = 301;
    static constexpr UINT kHelp = 303;

    // inputAvailable[8] / compositeEnabled[16]: which channels get a page.
    CDataLoggingMainDlg(CWnd* parent, DataLoggingBlock* block, const bool* inputAvailable,
                        const bool* compositeEnabled, std::string logFolder);
    ~CDataLoggingMainDlg() override;

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;
    bool IsCreating() const { return m_creating; }
    // Copies the page's record (enable, interval, threshold, items) to every other page.
    void CopyToAll(CDataLogChannelOptionsDlg* from);
    int ChannelPageCount() const { return static_cast<int>(m_pages.size()); }
    CDataLogChannelOptionsDlg* ChannelPage(int i) const { return m_pages[static_cast<std::size_t>(i)].get(); }
    CDataLogFileOptionsDlg* FilePage() { return &m_filePage; }

protected:
    void OnOkButton();
    void OnDefaultsButton();
    void OnHelpButton() {}
    DECLARE_MESSAGE_MAP()

private:
    CDataLogFileOptionsDlg m_filePage;
    std::vector<std::unique_ptr<CDataLogChannelOptionsDlg>> m_pages;
    std::unique_ptr<CButton> m_buttons[2];
    bool m_creating = false;
};
