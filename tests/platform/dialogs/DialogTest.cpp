// A dialog built from a template and driven as a user drives it: typing, picking, clicking,
// Enter and Esc, an OK that refuses, and the notifications the dialog's message map receives.
#include "DialogTestSupport.h"

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiObjects.h"
#include "support/ScriptedUser.h"
#include "support/QtTestAccess.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>

using namespace dlgtest;

namespace {

constexpr UINT kTemplate = 9001;
enum : int {
    IDC_NAME = 101,
    IDC_COUNT = 102,
    IDC_KIND = 103,
    IDC_LOW = 104,
    IDC_MID = 105,
    IDC_HIGH = 106,
    IDC_ENABLE = 107,
    IDC_NOTES = 108,
    IDC_SWATCH = 109,
    IDC_PAINTED = 110,
    IDC_POS = 111,
    IDC_DEFAULTS = 117,
    IDC_TEST0 = 121,
    IDC_REF0 = 131,
};

void RegisterTestTemplate()
{
    using namespace dlg;
    std::vector<Node> rows;
    for (int r = 0; r < 3; ++r) {
        rows.push_back(Label("Ch " + std::to_string(r)));
        rows.push_back(RadioButton(IDC_TEST0 + r, "").InGroup("test"));
        rows.push_back(RadioButton(IDC_REF0 + r, "").InGroup("ref"));
    }
    RegisterDialogTemplate(
        {kTemplate, "Channel Settings",
         Column({
             Grid(2, {Label("Name:"), Edit(IDC_NAME).Limit(10).Chars(20), Label("Count:"), Edit(IDC_COUNT),
                      Label("Kind:"), ComboDropList(IDC_KIND)}),
             Group("Level", {Row({RadioButton(IDC_LOW, "&Low"), RadioButton(IDC_MID, "&Mid"),
                                  RadioButton(IDC_HIGH, "&High")})}),
             CheckBox(IDC_ENABLE, "&Enabled"),
             Edit(IDC_NOTES).Multiline().Lines(3),
             Row({Frame(IDC_SWATCH).Chars(4), OwnerDrawButton(IDC_PAINTED).Chars(6), HScrollBar(IDC_POS).Chars(20)}),
             Grid(3, rows),
             Row({PushButton(IDC_DEFAULTS, "&Defaults"), Stretch(), DefPushButton(IDOK, "OK"),
                  PushButton(IDCANCEL, "Cancel")}),
         })});
}

// A button painted by its owner: red, blue while pressed, grey when disabled.
class CPaintedButton : public CButton {
public:
    int draws = 0;
    UINT lastState = 0;
    void DrawItem(LPDRAWITEMSTRUCT dis) override
    {
        ++draws;
        lastState = dis->itemState;
        CDC* dc = CDC::FromHandle(dis->hDC);
        const COLORREF c = (dis->itemState & ODS_DISABLED) ? RGB(128, 128, 128)
                           : (dis->itemState & ODS_SELECTED) ? RGB(0, 0, 255)
                                                             : RGB(255, 0, 0);
        CBrush brush(c);
        dc->FillRect(&dis->rcItem, &brush);
    }
};

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(kTemplate) {}

    // What the dialog was given and what it saw.
    std::string name = "start";
    int level = 1;
    int nameChanges = 0;
    int nameKillFocus = 0;
    int kindChanges = 0;
    int defaultsClicks = 0;
    int scrollCode = -1;
    int scrollPos = -1;
    int okCalls = 0;
    bool initDone = false;
    CPaintedButton painted;
    CBrush swatchBrush{RGB(0, 255, 225)};

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        painted.SubclassDlgItem(IDC_PAINTED, this);
        SetDlgItemText(IDC_NAME, name);
        auto* kind = static_cast<CComboBox*>(GetDlgItem(IDC_KIND));
        for (const char* k : {"Volts", "Millivolts", "RPM"}) {
            // Added first, so the data is 100 + the count including this item.
            const int index = kind->AddString(k);
            kind->SetItemData(index, 100 + kind->GetCount());
        }
        kind->SetCurSel(1);
        CheckRadioButton(IDC_LOW, IDC_HIGH, IDC_LOW + level);
        auto* pos = static_cast<CScrollBar*>(GetDlgItem(IDC_POS));
        pos->SetScrollRange(0, 100);
        pos->SetScrollPos(50);
        initDone = true;
        return TRUE;
    }

    void OnOK() override
    {
        ++okCalls;
        BOOL ok = FALSE;
        const UINT count = GetDlgItemInt(IDC_COUNT, &ok, FALSE);
        if (!ok || count == 0 || count > 16) {
            AfxMessageBox("Count must be between 1 and 16.", MB_OK | MB_ICONSTOP);
            return; // stays open
        }
        GetDlgItemText(IDC_NAME, name);
        level = GetCheckedRadioButton(IDC_LOW, IDC_HIGH) - IDC_LOW;
        CDialog::OnOK();
    }

protected:
    DECLARE_MESSAGE_MAP()
    void OnNameChange() { ++nameChanges; }
    void OnNameKillFocus() { ++nameKillFocus; }
    void OnKindChange() { ++kindChanges; }
    void OnDefaults()
    {
        ++defaultsClicks;
        SetDlgItemText(IDC_COUNT, "8");
    }
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar)
    {
        scrollCode = static_cast<int>(code);
        scrollPos = static_cast<int>(pos);
        if (bar && code == SB_LINEDOWN)
            bar->SetScrollPos(bar->GetScrollPos() + 1);
    }
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
    {
        if (pWnd && pWnd->GetDlgCtrlID() == IDC_SWATCH) {
            pDC->SetBkColor(RGB(0, 255, 225));
            return static_cast<HBRUSH>(swatchBrush.GetSafeHandle());
        }
        return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    }
};

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
    ON_EN_CHANGE(IDC_NAME, &CTestDlg::OnNameChange)
    ON_EN_KILLFOCUS(IDC_NAME, &CTestDlg::OnNameKillFocus)
    ON_CBN_SELCHANGE(IDC_KIND, &CTestDlg::OnKindChange)
    ON_BN_CLICKED(IDC_DEFAULTS, &CTestDlg::OnDefaults)
    ON_WM_HSCROLL()
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        RegisterTestTemplate();
        CDialog::ClearModalScripts();
    }
    void TearDown() override { EXPECT_EQ(CDialog::PendingModalScripts(), 0u); }
};

} // namespace

TEST(DialogTemplateModel, ControlsInDeclarationOrderAndLookupByIdOrName)
{
    RegisterTestTemplate();
    const DialogTemplate* t = FindDialogTemplate(kTemplate);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->caption, "Channel Settings");
    const auto controls = t->Controls();
    std::vector<int> ids;
    for (const auto* c : controls)
        if (c->id > 0)
            ids.push_back(c->id);
    ASSERT_GE(ids.size(), 5u);
    EXPECT_EQ((std::vector<int>(ids.begin(), ids.begin() + 5)),
              (std::vector<int>{IDC_NAME, IDC_COUNT, IDC_KIND, IDC_LOW, IDC_MID}));
    ASSERT_NE(t->Find(IDC_HIGH), nullptr);
    EXPECT_EQ(t->Find(IDC_HIGH)->text, "&High");
    EXPECT_EQ(t->Find(4242), nullptr);

    RegisterDialogTemplate({std::string("Test Named Dialog"), "Named", dlg::OkCancel()});
    EXPECT_NE(FindDialogTemplate("test named DIALOG"), nullptr);
    EXPECT_EQ(FindDialogTemplate("other"), nullptr);
}

TEST_F(DialogTest, OkStoresWhatTheUserTypedAndPicked)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        EXPECT_TRUE(d.initDone);
        EXPECT_EQ(d.GetWindowTextString(), "Channel Settings");
        QLineEdit* name = As<QLineEdit>(d, IDC_NAME);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), "start");
        Focus(name);
        name->selectAll();
        Type(name, "crown");
        Focus(W(d, IDC_COUNT));
        Type(W(d, IDC_COUNT), "12");
        Click(d, IDC_HIGH);
        Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.name, "crown");
    EXPECT_EQ(dlg.level, 2);
    EXPECT_EQ(dlg.okCalls, 1);
    EXPECT_GE(dlg.nameKillFocus, 1);
    // After DoModal the window is gone, the object stays.
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST_F(DialogTest, RefusedOkKeepsTheDialogOpenWithTheUsersEntries)
{
    CTestDlg dlg;
    ScriptedUser user;
    user.ExpectBox(IDOK, "Count must be between 1 and 16.");
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        d.SetDlgItemText(IDC_COUNT, "99");
        Click(d, IDOK);
        // Still open, the text still there; Defaults mends it and Enter (the default button) closes.
        EXPECT_TRUE(d.IsModalRunning());
        std::string count;
        d.GetDlgItemText(IDC_COUNT, count);
        EXPECT_EQ(count, "99");
        Click(d, IDC_DEFAULTS);
        Focus(W(d, IDC_NAME));
        Key(W(d, IDC_NAME), Qt::Key_Return);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.okCalls, 2);
    EXPECT_EQ(dlg.defaultsClicks, 1);
}

TEST_F(DialogTest, EscapeAndTheCloseBoxCancel)
{
    {
        CTestDlg dlg;
        CDialog::ScriptModal([](CWnd& w) {
            Focus(W(w, IDC_COUNT));
            Type(W(w, IDC_COUNT), "3");
            Key(W(w, IDC_COUNT), Qt::Key_Escape);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(dlg.okCalls, 0);
        EXPECT_EQ(dlg.name, "start");
    }
    {
        CTestDlg dlg;
        CDialog::ScriptModal([](CWnd& w) { QtWidgetOf(&w)->close(); });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
}

TEST_F(DialogTest, EnterOnAFocusedPushButtonPressesThatButton)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        const QImage plain = W(d, IDC_DEFAULTS)->grab().toImage();
        // A mouse click focuses the button, and its focus ring shows which button Enter presses.
        QtMouseClick(&d, IDC_DEFAULTS);
        EXPECT_EQ(d.defaultsClicks, 1);
        ASSERT_EQ(CWnd::GetFocus(), d.GetDlgItem(IDC_DEFAULTS));
        EXPECT_NE(W(d, IDC_DEFAULTS)->grab().toImage(), plain) << "no focus ring";
        Key(W(d, IDC_DEFAULTS), Qt::Key_Return);
        EXPECT_EQ(d.defaultsClicks, 2);
        EXPECT_TRUE(d.IsModalRunning());
        // Focus leaving a button that is disabled goes on in tab order, to OK here.
        d.GetDlgItem(IDC_DEFAULTS)->EnableWindow(FALSE);
        EXPECT_EQ(CWnd::GetFocus(), d.GetDlgItem(IDOK));
        d.GetDlgItem(IDC_DEFAULTS)->EnableWindow(TRUE);
        // A disabled default button takes no Enter.
        d.GetDlgItem(IDOK)->EnableWindow(FALSE);
        Focus(W(d, IDC_NAME));
        Key(W(d, IDC_NAME), Qt::Key_Return);
        EXPECT_EQ(d.okCalls, 0);
        d.EndDialog(IDABORT);
    });
    EXPECT_EQ(dlg.DoModal(), IDABORT);
}

TEST_F(DialogTest, EditChangeIsSentForCodeAndUserButNotForOtherControls)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        const int afterInit = d.nameChanges;
        EXPECT_GE(afterInit, 1); // the text set in OnInitDialog
        d.SetDlgItemText(IDC_NAME, "brow");
        EXPECT_EQ(d.nameChanges, afterInit + 1);
        d.SetDlgItemText(IDC_NAME, "brow"); // the same text again still notifies
        EXPECT_EQ(d.nameChanges, afterInit + 2);
        Focus(W(d, IDC_NAME));
        Type(W(d, IDC_NAME), "x");
        EXPECT_EQ(d.nameChanges, afterInit + 3);
        // The text limit of the template holds for typing.
        Type(W(d, IDC_NAME), "yyyyyyyyyy");
        EXPECT_EQ(As<QLineEdit>(d, IDC_NAME)->text().size(), 10);
        d.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST_F(DialogTest, ComboSelectionNotifiesOnlyWhenTheUserPicks)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        auto* kind = static_cast<CComboBox*>(d.GetDlgItem(IDC_KIND));
        EXPECT_EQ(d.kindChanges, 0); // filling and SetCurSel in OnInitDialog sent nothing
        EXPECT_EQ(kind->GetCount(), 3);
        EXPECT_EQ(kind->GetCurSel(), 1);
        EXPECT_EQ(kind->GetItemData(2), 103u);
        Pick(d, IDC_KIND, 2);
        EXPECT_EQ(d.kindChanges, 1);
        EXPECT_EQ(kind->GetCurSel(), 2);
        kind->SetCurSel(0);
        EXPECT_EQ(d.kindChanges, 1);
        EXPECT_EQ(d.GetDlgItem(IDC_KIND)->GetWindowTextString(), "Volts");
        d.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST_F(DialogTest, AutoRadiosClearTheirOwnGroupOnly)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        EXPECT_EQ(d.GetCheckedRadioButton(IDC_LOW, IDC_HIGH), IDC_MID);
        Click(d, IDC_LOW);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_LOW), BST_CHECKED);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_MID), BST_UNCHECKED);
        // Clicking the checked radio keeps it checked.
        Click(d, IDC_LOW);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_LOW), BST_CHECKED);
        // Interleaved named groups: a test radio and a reference radio per row.
        Click(d, IDC_TEST0 + 1);
        Click(d, IDC_REF0 + 2);
        Click(d, IDC_TEST0 + 0);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_TEST0 + 0), BST_CHECKED);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_TEST0 + 1), BST_UNCHECKED);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_REF0 + 2), BST_CHECKED);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_LOW), BST_CHECKED);
        // Code may clear a whole group, which Qt's own exclusive groups would refuse.
        d.CheckDlgButton(IDC_LOW, BST_UNCHECKED);
        EXPECT_EQ(d.GetCheckedRadioButton(IDC_LOW, IDC_HIGH), 0);
        // A check box toggles itself.
        Click(d, IDC_ENABLE);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_ENABLE), BST_CHECKED);
        Click(d, IDC_ENABLE);
        EXPECT_EQ(d.IsDlgButtonChecked(IDC_ENABLE), BST_UNCHECKED);
        d.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST_F(DialogTest, ScrollBarReportsCodesAndMovesOnlyWhenTheOwnerSaysSo)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        auto* bar = As<QScrollBar>(d, IDC_POS);
        ASSERT_NE(bar, nullptr);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(d.scrollCode, SB_ENDSCROLL); // the last message of the click
        EXPECT_EQ(static_cast<CScrollBar*>(d.GetDlgItem(IDC_POS))->GetScrollPos(), 51); // the owner moved it
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        EXPECT_EQ(static_cast<CScrollBar*>(d.GetDlgItem(IDC_POS))->GetScrollPos(), 51); // not handled: stays
        d.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST_F(DialogTest, OwnerDrawnButtonAndColouredStaticArePainted)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        QWidget* painted = W(d, IDC_PAINTED);
        ASSERT_NE(painted, nullptr);
        QImage img = painted->grab().toImage();
        EXPECT_EQ(Pixel(img, img.width() / 2, img.height() / 2), RGB(255, 0, 0));
        EXPECT_GE(d.painted.draws, 1);
        d.painted.SetState(TRUE);
        img = painted->grab().toImage();
        EXPECT_EQ(Pixel(img, img.width() / 2, img.height() / 2), RGB(0, 0, 255));
        EXPECT_TRUE(d.painted.lastState & ODS_SELECTED);
        d.painted.SetState(FALSE);
        d.painted.EnableWindow(FALSE);
        img = painted->grab().toImage();
        EXPECT_EQ(Pixel(img, img.width() / 2, img.height() / 2), RGB(128, 128, 128));

        QWidget* swatch = W(d, IDC_SWATCH);
        ASSERT_NE(swatch, nullptr);
        const QImage sw = swatch->grab().toImage();
        EXPECT_EQ(Pixel(sw, sw.width() / 2, sw.height() / 2), RGB(0, 255, 225));
        d.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST_F(DialogTest, FocusMovesInTabOrderAndNextDlgCtlMessage)
{
    CTestDlg dlg;
    CDialog::ScriptModal([](CWnd& w) {
        auto& d = static_cast<CTestDlg&>(w);
        // OnInitDialog returned TRUE: the first control has the focus.
        EXPECT_EQ(QApplication::focusWidget(), W(d, IDC_NAME));
        d.NextDlgCtrl();
        EXPECT_EQ(QApplication::focusWidget(), W(d, IDC_COUNT));
        d.PrevDlgCtrl();
        EXPECT_EQ(QApplication::focusWidget(), W(d, IDC_NAME));
        d.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(d.GetDlgItem(IDOK)->GetSafeHwnd()), TRUE);
        EXPECT_EQ(QApplication::focusWidget(), W(d, IDOK));
        d.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST_F(DialogTest, MissingTemplateFailsWithoutAWindow)
{
    CDialog dlg(4711u);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST_F(DialogTest, UnscriptedModalDialogUnderAResponderIsCancelled)
{
    ScriptedUser user;
    CTestDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, ModelessDialogShowsAndHidesOnEndDialog)
{
    CTestDlg dlg;
    ASSERT_TRUE(dlg.Create(kTemplate));
    EXPECT_TRUE(dlg.initDone);
    EXPECT_TRUE(QtWidgetOf(&dlg)->isVisible());
    dlg.EndDialog(IDOK);
    EXPECT_FALSE(QtWidgetOf(&dlg)->isVisible());
    dlg.DestroyWindow();
}

TEST_F(DialogTest, AreaLeavesRoomForAControlTheCodePlaces)
{
    using namespace dlg;
    RegisterDialogTemplate({9002u, "Version information",
                            Column({Row({Area(245 + 24, 227 + 24), Label("QLM436", 1813)}), OkCancel()})});
    CDialog about(9002u);
    ASSERT_TRUE(about.Create(9002u));
    CButton logo;
    ASSERT_TRUE(logo.Create("", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(0, 0, 1, 1), &about, 102));
    logo.MoveWindow(24, 24, 245, 227);
    CRect l, ok, text;
    logo.GetWindowRect(&l);
    about.GetDlgItem(IDOK)->GetWindowRect(&ok);
    about.GetDlgItem(1813)->GetWindowRect(&text);
    EXPECT_GE(ok.top, l.bottom);
    EXPECT_GE(text.left, l.right);
    about.DestroyWindow();
}

// A small dialog with a long caption is wide enough for the title bar to show it whole.
TEST_F(DialogTest, ASmallDialogIsAsWideAsItsCaption)
{
    using namespace dlg;
    const char* caption = "Enter Gain Adjustment For Every Selected Channel";
    RegisterDialogTemplate({9004u, caption, Column({Edit(10), OkCancel()})});
    CDialog d(9004u);
    ASSERT_TRUE(d.Create(9004u));
    QFont bold = QtWidgetOf(&d)->font();
    bold.setBold(true);
    CRect r;
    d.GetWindowRect(&r);
    EXPECT_GT(r.Width(), QFontMetrics(bold).horizontalAdvance(caption));
    d.DestroyWindow();
}

TEST_F(DialogTest, TemplateFontIsMappedToAnInstalledFace)
{
    DialogTemplate t(9003u, "Fonts", dlg::Column({dlg::Label("Text", 10), dlg::OkCancel()}));
    t.fontFace = "MS Sans Serif";
    t.fontPoints = 8;
    RegisterDialogTemplate(t);
    CDialog d(9003u);
    ASSERT_TRUE(d.Create(9003u));
    const QFont f = QtWidgetOf(d.GetDlgItem(10))->font();
    EXPECT_EQ(f.pointSize(), 8);
    EXPECT_NE(f.family(), "MS Sans Serif");
    LOGFONTA lf;
    ASSERT_TRUE(d.GetFont()->GetLogFont(&lf));
    EXPECT_STREQ(lf.lfFaceName, f.family().toStdString().c_str());
    d.DestroyWindow();
}
