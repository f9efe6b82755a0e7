// A two-page sheet built from templates: page changes that a page refuses, OK at sheet level,
// and a sheet that rearranges its button strip and adds controls of its own.
#include "DialogTestSupport.h"

#include "platform/ui/PropertySheet.h"
#include "support/ScriptedUser.h"
#include "support/QtTestAccess.h"

#include <gtest/gtest.h>

#include <QTabWidget>

using namespace dlgtest;

namespace {

constexpr UINT kGeneralPage = 9101;
constexpr UINT kDisplayPage = 9102;
enum : int { IDC_RATE = 201, IDC_GRID = 301, IDC_STYLE = 302, IDC_CHANNEL = 401, IDC_PREV = 402, IDC_NEXT = 403 };

void RegisterPages()
{
    using namespace dlg;
    RegisterDialogTemplate({kGeneralPage, "General", Column({Row({Label("Rate (Hz):"), Edit(IDC_RATE).Chars(8)})})});
    RegisterDialogTemplate({kDisplayPage, "Display",
                            Column({CheckBox(IDC_GRID, "Show &Grid"), Row({Label("Style:"), ComboDropList(IDC_STYLE)})})});
}

struct Settings {
    int rate = 4000;
    bool grid = false;
    int style = 0;
};

class CGeneralPage : public CPropertyPage {
public:
    explicit CGeneralPage(Settings* s) : CPropertyPage(kGeneralPage), s_(s) {}
    int inits = 0, activations = 0, oks = 0, cancels = 0;
    bool quiet = false; // set while the sheet initialises: leaving does not validate

    BOOL OnInitDialog() override
    {
        ++inits;
        SetDlgItemInt(IDC_RATE, static_cast<UINT>(s_->rate));
        return TRUE;
    }
    BOOL OnSetActive() override
    {
        ++activations;
        return TRUE;
    }
    BOOL OnKillActive() override { return quiet || Store(); }
    bool Store()
    {
        BOOL ok = FALSE;
        const UINT rate = GetDlgItemInt(IDC_RATE, &ok, FALSE);
        if (!ok || rate < 1 || rate > 100000) {
            AfxMessageBox("Sampling Rate must be greater than zero!", MB_OK | MB_ICONSTOP);
            return false;
        }
        s_->rate = static_cast<int>(rate);
        return true;
    }
    void OnOK() override { ++oks; }
    void OnCancel() override { ++cancels; }

private:
    Settings* s_;
};

class CDisplayPage : public CPropertyPage {
public:
    explicit CDisplayPage(Settings* s) : CPropertyPage(kDisplayPage), s_(s) {}
    int inits = 0, oks = 0;
    bool refuseShow = false;

    BOOL OnInitDialog() override
    {
        ++inits;
        CheckDlgButton(IDC_GRID, s_->grid ? BST_CHECKED : BST_UNCHECKED);
        auto* style = static_cast<CComboBox*>(GetDlgItem(IDC_STYLE));
        style->AddString("Solid");
        style->AddString("Dashed");
        style->SetCurSel(s_->style);
        return TRUE;
    }
    BOOL OnSetActive() override { return refuseShow ? FALSE : TRUE; }
    void OnOK() override
    {
        ++oks;
        s_->grid = IsDlgButtonChecked(IDC_GRID) == BST_CHECKED;
        s_->style = static_cast<CComboBox*>(GetDlgItem(IDC_STYLE))->GetCurSel();
    }

private:
    Settings* s_;
};

// A sheet that rearranges its strip and carries a channel list and two buttons of its own,
// and validates every page itself on OK.
class CChannelSheet : public CPropertySheet {
public:
    CChannelSheet(CGeneralPage* g, CDisplayPage* d) : CPropertySheet("Channel Options"), general(g), display(d)
    {
        AddPage(general);
        AddPage(display);
    }
    CGeneralPage* general;
    CDisplayPage* display;
    CComboBox channel;
    CButton prev, next;
    int channelChanges = 0;
    int okAttempts = 0;

    BOOL OnInitDialog() override
    {
        general->quiet = true;
        const BOOL result = CPropertySheet::OnInitDialog();
        GetDlgItem(ID_APPLY_NOW)->ShowWindow(SW_HIDE);
        GetDlgItem(IDHELP)->ShowWindow(SW_HIDE);
        CRect client;
        GetClientRect(&client);
        CWnd* ok = GetDlgItem(IDOK);
        CRect r;
        ok->GetWindowRect(&r);
        ScreenToClient(&r);
        ok->MoveWindow(client.right - r.Width() - 10, client.bottom - r.Height() - 4, r.Width(), r.Height());
        channel.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                       CRect(10, client.bottom - 28, 140, 2000), this, IDC_CHANNEL);
        prev.Create("&Prev Channel", WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(150, client.bottom - 28, 230, client.bottom - 4),
                    this, IDC_PREV);
        next.Create("&Next Channel", WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(240, client.bottom - 28, 320, client.bottom - 4),
                    this, IDC_NEXT);
        channel.SetFont(GetFont());
        for (const char* name : {"Channel - Crown", "Channel - Brow"})
            channel.AddString(name);
        channel.SetCurSel(0);
        SetActivePage(1);
        SetActivePage(0);
        general->quiet = false;
        return result;
    }

protected:
    DECLARE_MESSAGE_MAP()
    void OnChannel() { ++channelChanges; }
    void OnOK()
    {
        ++okAttempts;
        if (!general->Store()) {
            SetActivePage(general);
            return;
        }
        display->OnOK();
        EndDialog(IDOK);
    }
};

BEGIN_MESSAGE_MAP(CChannelSheet, CPropertySheet)
    ON_COMMAND(IDOK, &CChannelSheet::OnOK)
    ON_CBN_SELCHANGE(IDC_CHANNEL, &CChannelSheet::OnChannel)
END_MESSAGE_MAP()

QTabWidget* Tabs(CWnd& sheet) { return QtWidgetOf(&sheet)->findChild<QTabWidget*>(); }

// The user clicks a tab.
void ClickTab(CWnd& sheet, int index) { Tabs(sheet)->setCurrentIndex(index); }

class PropertySheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        RegisterPages();
        CDialog::ClearModalScripts();
    }
    void TearDown() override { EXPECT_EQ(CDialog::PendingModalScripts(), 0u); }
    Settings settings;
    CGeneralPage general{&settings};
    CDisplayPage display{&settings};
};

} // namespace

TEST_F(PropertySheetTest, OpensOnTheStartPageAndCreatesPagesWhenShown)
{
    CPropertySheet sheet("Options", nullptr, 1);
    sheet.AddPage(&general);
    sheet.AddPage(&display);
    EXPECT_EQ(sheet.GetPageCount(), 2);
    CDialog::ScriptModal([this](CWnd& w) {
        auto& s = static_cast<CPropertySheet&>(w);
        EXPECT_EQ(s.GetActiveIndex(), 1);
        EXPECT_EQ(s.GetActivePage(), &display);
        EXPECT_EQ(general.inits, 0); // not shown yet, so not created
        EXPECT_EQ(display.inits, 1);
        EXPECT_EQ(Tabs(s)->tabText(0), "General");
        EXPECT_EQ(Tabs(s)->tabText(1), "Display");
        // The page's controls notify the page; the page's parent is the sheet.
        EXPECT_EQ(display.GetParent(), &s);
        Click(display, IDC_GRID);
        Pick(display, IDC_STYLE, 1);
        ClickTab(s, 0);
        EXPECT_EQ(general.inits, 1);
        EXPECT_EQ(general.activations, 1);
        Click(s, IDOK);
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(general.oks, 1);
    EXPECT_EQ(display.oks, 1);
    EXPECT_TRUE(settings.grid);
    EXPECT_EQ(settings.style, 1);
    EXPECT_EQ(general.GetSafeHwnd(), nullptr); // page windows go with the sheet's
}

TEST_F(PropertySheetTest, PageThatRefusesToGoKeepsTheTabAndTheUsersText)
{
    CPropertySheet sheet("Options");
    sheet.AddPage(&general);
    sheet.AddPage(&display);
    ScriptedUser user;
    user.ExpectBox(IDOK, "Sampling Rate must be greater than zero!");
    user.ExpectBox(IDOK, "Sampling Rate");
    CDialog::ScriptModal([this](CWnd& w) {
        auto& s = static_cast<CPropertySheet&>(w);
        general.SetDlgItemText(IDC_RATE, "0");
        ClickTab(s, 1);
        EXPECT_EQ(s.GetActiveIndex(), 0);
        EXPECT_EQ(Tabs(s)->currentIndex(), 0);
        EXPECT_EQ(display.inits, 0);
        // SetActivePage asks the page the same way.
        EXPECT_FALSE(s.SetActivePage(1));
        std::string text;
        general.GetDlgItemText(IDC_RATE, text);
        EXPECT_EQ(text, "0");
        general.SetDlgItemText(IDC_RATE, "8000");
        ClickTab(s, 1);
        EXPECT_EQ(s.GetActiveIndex(), 1);
        Key(W(display, IDC_GRID), Qt::Key_Escape);
    });
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(settings.rate, 8000); // stored by the page when it let go
    EXPECT_EQ(general.cancels, 1);
    EXPECT_EQ(general.oks, 0);
}

TEST_F(PropertySheetTest, PageThatRefusesToShowLeavesTheOldPage)
{
    CPropertySheet sheet("Options");
    sheet.AddPage(&general);
    sheet.AddPage(&display);
    display.refuseShow = true;
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<CPropertySheet&>(w);
        ClickTab(s, 1);
        EXPECT_EQ(s.GetActiveIndex(), 0);
        EXPECT_EQ(Tabs(s)->currentIndex(), 0);
        s.EndDialog(IDCANCEL);
    });
    sheet.DoModal();
}

TEST_F(PropertySheetTest, DefaultOkAsksTheActivePageFirst)
{
    CPropertySheet sheet("Options");
    sheet.AddPage(&general);
    sheet.AddPage(&display);
    ScriptedUser user;
    user.ExpectBox(IDOK, "Sampling Rate");
    CDialog::ScriptModal([this](CWnd& w) {
        auto& s = static_cast<CPropertySheet&>(w);
        general.SetDlgItemText(IDC_RATE, "abc");
        // Enter in the page's edit is the sheet's OK.
        Focus(W(general, IDC_RATE));
        Key(W(general, IDC_RATE), Qt::Key_Return);
        EXPECT_TRUE(s.IsModalRunning());
        general.SetDlgItemText(IDC_RATE, "250");
        Key(W(general, IDC_RATE), Qt::Key_Return);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(settings.rate, 250);
}

TEST_F(PropertySheetTest, SheetRearrangesItsStripAndHandlesItsOwnControls)
{
    CChannelSheet sheet(&general, &display);
    ScriptedUser user;
    user.ExpectBox(IDOK, "Sampling Rate"); // leaving the page
    user.ExpectBox(IDOK, "Sampling Rate"); // the sheet's OK
    CDialog::ScriptModal([this](CWnd& w) {
        auto& s = static_cast<CChannelSheet&>(w);
        // Every page was shown once during set-up without being validated; the first is in front.
        EXPECT_EQ(general.inits, 1);
        EXPECT_EQ(display.inits, 1);
        EXPECT_EQ(s.GetActiveIndex(), 0);
        EXPECT_FALSE(s.GetDlgItem(ID_APPLY_NOW)->IsWindowVisible());
        EXPECT_FALSE(s.GetDlgItem(IDHELP)->IsWindowVisible());
        CRect client, ok;
        s.GetClientRect(&client);
        s.GetDlgItem(IDOK)->GetWindowRect(&ok);
        s.ScreenToClient(&ok);
        EXPECT_EQ(ok.right, client.right - 10);
        EXPECT_EQ(ok.bottom, client.bottom - 4);
        // The sheet's own combo notifies the sheet, only when the user picks.
        EXPECT_EQ(s.channel.GetCount(), 2);
        EXPECT_EQ(s.channelChanges, 0);
        Pick(s, IDC_CHANNEL, 1);
        EXPECT_EQ(s.channelChanges, 1);
        // OK at sheet level with a bad field on a page that is not in front brings it forward.
        general.SetDlgItemText(IDC_RATE, "-5");
        ClickTab(s, 1);
        EXPECT_EQ(s.GetActiveIndex(), 0); // refused by the page
        general.quiet = true;
        ClickTab(s, 1);
        general.quiet = false;
        EXPECT_EQ(s.GetActiveIndex(), 1);
        Click(s, IDOK);
        EXPECT_EQ(s.okAttempts, 1);
        EXPECT_EQ(s.GetActiveIndex(), 0);
        EXPECT_TRUE(s.IsModalRunning());
        general.SetDlgItemText(IDC_RATE, "48000");
        Click(s, IDOK);
    });
    ASSERT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(sheet.okAttempts, 2);
    EXPECT_EQ(settings.rate, 48000);
    EXPECT_EQ(display.oks, 1);
}

TEST_F(PropertySheetTest, SheetOwningItsPagesAsMembersEndsCleanly)
{
    struct COwnSheet : CPropertySheet {
        explicit COwnSheet(Settings* s) : CPropertySheet("Own"), g(s), d(s)
        {
            AddPage(&g);
            AddPage(&d);
        }
        CGeneralPage g;
        CDisplayPage d;
    };
    {
        COwnSheet never(&settings); // destroyed without ever being shown
        EXPECT_EQ(never.GetPageCount(), 2);
    }
    auto sheet = std::make_unique<COwnSheet>(&settings);
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<COwnSheet&>(w);
        ClickTab(s, 1);
        s.d.SetDlgItemText(IDC_STYLE, "ignored by a list-only combo");
        Click(s, IDCANCEL);
    });
    EXPECT_EQ(sheet->DoModal(), IDCANCEL);
    EXPECT_EQ(sheet->g.cancels, 1);
    sheet.reset();
    SUCCEED();
}
