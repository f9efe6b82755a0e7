// The controls one by one, in a modeless dialog: lists, combo edge cases, multi-line edits,
// up-down arrows, progress, date-time, report lists, tooltips, fonts, and controls the code
// creates with Windows styles.
#include "DialogTestSupport.h"

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/GdiObjects.h"
#include "support/QtTestAccess.h"

#include <gtest/gtest.h>

#include <QDateTimeEdit>
#include <QMouseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>

#include <ctime>

using namespace dlgtest;

namespace {

constexpr UINT kTemplate = 9201;
enum : int {
    IDC_LIST = 501,
    IDC_SORTED = 502,
    IDC_DROP = 503,
    IDC_NOTES = 504,
    IDC_BUDDY = 505,
    IDC_SPIN = 506,
    IDC_PROGRESS = 507,
    IDC_DATE = 508,
    IDC_REPORT = 509,
    IDC_MULTI = 510,
    IDC_LABEL = 511,
    IDC_MADE = 520,
};

void RegisterTemplate()
{
    using namespace dlg;
    RegisterDialogTemplate(
        {kTemplate, "Controls",
         Column({Row({ListBox(IDC_LIST).Lines(4), ListBox(IDC_MULTI).MultiSelect().Lines(4)}),
                 Row({ComboDropList(IDC_SORTED).Sort(), ComboDropDown(IDC_DROP)}),
                 Edit(IDC_NOTES).Multiline().WantReturn().Lines(4).Limit(40),
                 Row({Edit(IDC_BUDDY).Chars(6), Spin(IDC_SPIN), Progress(IDC_PROGRESS).Smooth(), DateTime(IDC_DATE)}),
                 ReportList(IDC_REPORT).CheckBoxes().Header("Channel", 12).Header("Gain", 6).Lines(4),
                 Label("Plot Range", IDC_LABEL), OkCancel()})});
}

class CHostDlg : public CDialog {
public:
    CHostDlg() : CDialog(kTemplate) {}
    std::vector<std::pair<int, UINT>> commands; // (id, code)
    std::vector<std::pair<int, UINT>> notifies; // (id, code)
    std::vector<std::pair<UINT, int>> vscrolls; // (code, pos)
    int refuseSpin = 0;

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        return CDialog::OnCommand(wParam, lParam);
    }
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        notifies.emplace_back(static_cast<int>(hdr->idFrom), hdr->code);
        if (hdr->code == UDN_DELTAPOS && refuseSpin) {
            --refuseSpin;
            *pResult = 1;
            return TRUE;
        }
        return CDialog::OnNotify(wParam, lParam, pResult);
    }
    bool Saw(int id, UINT code) const
    {
        for (auto& c : commands)
            if (c.first == id && c.second == code)
                return true;
        return false;
    }

protected:
    DECLARE_MESSAGE_MAP()
    void OnVScroll(UINT code, UINT pos, CScrollBar*) { vscrolls.emplace_back(code, static_cast<int>(static_cast<short>(pos))); }
};

BEGIN_MESSAGE_MAP(CHostDlg, CDialog)
    ON_WM_VSCROLL()
END_MESSAGE_MAP()

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        RegisterTemplate();
        ASSERT_TRUE(dlg.Create(kTemplate));
    }
    void TearDown() override { dlg.DestroyWindow(); }
    template <class T> T& Ctl(int id) { return *static_cast<T*>(dlg.GetDlgItem(id)); }
    CHostDlg dlg;
};

} // namespace

TEST_F(ControlsTest, TemplateControlsAreWrappedInTheirClasses)
{
    EXPECT_NE(dynamic_cast<CListBox*>(dlg.GetDlgItem(IDC_LIST)), nullptr);
    EXPECT_NE(dynamic_cast<CComboBox*>(dlg.GetDlgItem(IDC_DROP)), nullptr);
    EXPECT_NE(dynamic_cast<CEdit*>(dlg.GetDlgItem(IDC_NOTES)), nullptr);
    EXPECT_NE(dynamic_cast<CSpinButtonCtrl*>(dlg.GetDlgItem(IDC_SPIN)), nullptr);
    EXPECT_NE(dynamic_cast<CProgressCtrl*>(dlg.GetDlgItem(IDC_PROGRESS)), nullptr);
    EXPECT_NE(dynamic_cast<CDateTimeCtrl*>(dlg.GetDlgItem(IDC_DATE)), nullptr);
    EXPECT_NE(dynamic_cast<CListCtrl*>(dlg.GetDlgItem(IDC_REPORT)), nullptr);
    EXPECT_NE(dynamic_cast<CStatic*>(dlg.GetDlgItem(IDC_LABEL)), nullptr);
    EXPECT_NE(dynamic_cast<CButton*>(dlg.GetDlgItem(IDOK)), nullptr);
    EXPECT_EQ(dlg.GetDlgItem(IDC_LIST)->GetParent(), &dlg);
    dlg.SetDlgItemText(IDC_LABEL, "Plot Bottom");
    EXPECT_EQ(dlg.GetDlgItem(IDC_LABEL)->GetWindowTextString(), "Plot Bottom");
}

TEST_F(ControlsTest, ComboBoxKeepsWindowsSelectionRules)
{
    auto& c = Ctl<CComboBox>(IDC_SORTED);
    EXPECT_EQ(c.GetCurSel(), CB_ERR);
    EXPECT_EQ(c.AddString("Volts"), 0);
    EXPECT_EQ(c.GetCurSel(), CB_ERR); // adding selects nothing
    EXPECT_EQ(c.AddString("Amps"), 0); // sorted in, case-insensitively
    EXPECT_EQ(c.AddString("millivolts"), 1);
    EXPECT_EQ(c.AddString("RPM"), 2);
    std::string text;
    c.GetLBText(1, text);
    EXPECT_EQ(text, "millivolts");
    EXPECT_EQ(c.FindString(-1, "MILLI"), 1);
    EXPECT_EQ(c.FindString(1, "v"), 3);  // after index 1
    EXPECT_EQ(c.FindString(3, "a"), 0);  // searching round
    EXPECT_EQ(c.FindStringExact(-1, "rpm"), 2);
    EXPECT_EQ(c.FindStringExact(-1, "RP"), CB_ERR);
    EXPECT_EQ(c.SetItemData(2, 7), CB_OKAY);
    EXPECT_EQ(c.GetItemData(2), 7u);
    EXPECT_EQ(c.GetItemData(9), static_cast<DWORD_PTR>(CB_ERR));
    EXPECT_EQ(c.SetCurSel(2), 2);
    EXPECT_EQ(c.InsertString(0, "Watts"), 0); // unsorted insert at the index
    EXPECT_EQ(c.GetCurSel(), 3);              // the selection follows its item
    EXPECT_EQ(c.GetItemData(3), 7u);
    EXPECT_EQ(c.DeleteString(3), 4);          // deleting the selected item clears the selection
    EXPECT_EQ(c.GetCurSel(), CB_ERR);
    EXPECT_EQ(c.SetCurSel(99), CB_ERR);
    EXPECT_EQ(c.DeleteString(99), CB_ERR);
    c.ResetContent();
    EXPECT_EQ(c.GetCount(), 0);
    EXPECT_TRUE(dlg.commands.empty()); // none of this was the user's doing

    // A drop-down combo: the text is the edit's; typing notifies CBN_EDITCHANGE.
    auto& d = Ctl<CComboBox>(IDC_DROP);
    d.AddString("1.0");
    d.SetWindowText("2.5");
    EXPECT_EQ(d.GetWindowTextString(), "2.5");
    EXPECT_EQ(d.GetCurSel(), CB_ERR);
    Focus(QtWidgetOf(&d));
    Type(As<QComboBox>(dlg, IDC_DROP)->lineEdit(), "0");
    EXPECT_TRUE(dlg.Saw(IDC_DROP, CBN_EDITCHANGE));
}

TEST_F(ControlsTest, ListBoxSelectionAndData)
{
    auto& l = Ctl<CListBox>(IDC_LIST);
    for (const char* s : {"Crown", "Brow", "Throat"})
        l.AddString(s);
    EXPECT_EQ(l.GetCount(), 3);
    EXPECT_EQ(l.GetCurSel(), LB_ERR);
    l.SetItemData(1, 42);
    EXPECT_EQ(l.SetCurSel(1), 1);
    EXPECT_EQ(l.GetCurSel(), 1);
    EXPECT_EQ(l.GetItemData(1), 42u);
    EXPECT_FALSE(dlg.Saw(IDC_LIST, LBN_SELCHANGE));
    // The user clicks an item.
    auto* w = As<QListWidget>(dlg, IDC_LIST);
    w->setCurrentRow(2);
    EXPECT_TRUE(dlg.Saw(IDC_LIST, LBN_SELCHANGE));
    EXPECT_EQ(l.GetCurSel(), 2);
    std::string t;
    l.GetText(2, t);
    EXPECT_EQ(t, "Throat");
    EXPECT_EQ(l.GetTextLen(0), 5);
    EXPECT_EQ(l.DeleteString(0), 2);
    EXPECT_EQ(l.FindStringExact(-1, "throat"), 1);
    EXPECT_EQ(l.SetSel(0), LB_ERR); // a single-selection box refuses SetSel

    auto& m = Ctl<CListBox>(IDC_MULTI);
    for (const char* s : {"a", "b", "c", "d"})
        m.AddString(s);
    EXPECT_EQ(m.SetSel(1), LB_OKAY);
    EXPECT_EQ(m.SetSel(3), LB_OKAY);
    int items[4] = {};
    EXPECT_EQ(m.GetSelCount(), 2);
    EXPECT_EQ(m.GetSelItems(4, items), 2);
    EXPECT_EQ(items[0], 1);
    EXPECT_EQ(items[1], 3);
    m.SetSel(-1, FALSE);
    EXPECT_EQ(m.GetSelCount(), 0);
}

TEST_F(ControlsTest, MultiLineEditKeepsWindowsLineBreaksAndLines)
{
    auto& e = Ctl<CEdit>(IDC_NOTES);
    e.SetWindowText("first\r\nsecond\r\n\r\nfourth");
    EXPECT_EQ(e.GetLineCount(), 4);
    EXPECT_EQ(e.GetLine(1), "second");
    EXPECT_EQ(e.GetLine(2), "");
    EXPECT_EQ(e.GetLine(7), "");
    EXPECT_EQ(e.GetWindowTextString(), "first\r\nsecond\r\n\r\nfourth");
    char buf[4] = {};
    EXPECT_EQ(e.GetLine(0, buf, 3), 3); // no room for the terminator: not written
    EXPECT_EQ(std::string(buf, 3), "fir");
    // Text longer than the limit is cut to it.
    e.SetWindowText(std::string(50, 'x'));
    EXPECT_EQ(e.GetWindowTextString().size(), 40u);
    EXPECT_EQ(e.GetLimitText(), 40u);
    EXPECT_TRUE(dlg.Saw(IDC_NOTES, EN_CHANGE));
    // With ES_WANTRETURN, Enter is a line break, not the default button.
    e.SetWindowText("a");
    Focus(QtWidgetOf(&e));
    As<QPlainTextEdit>(dlg, IDC_NOTES)->moveCursor(QTextCursor::End);
    Key(QtWidgetOf(&e), Qt::Key_Return, "\r");
    EXPECT_EQ(e.GetLineCount(), 2);
    EXPECT_TRUE(QtWidgetOf(&dlg)->isVisible());
}

TEST_F(ControlsTest, UpDownStepsItsBuddyAndMayBeRefused)
{
    auto& spin = Ctl<CSpinButtonCtrl>(IDC_SPIN);
    int lo = 0, hi = 0;
    spin.GetRange32(lo, hi);
    EXPECT_EQ(lo, 100); // Windows' default range runs backwards
    EXPECT_EQ(hi, 0);
    spin.SetRange32(0, 3);
    spin.SetBuddy(dlg.GetDlgItem(IDC_BUDDY));
    EXPECT_EQ(spin.GetBuddy(), dlg.GetDlgItem(IDC_BUDDY));
    spin.SetPos32(2);
    auto* arrows = QtWidgetOf(&spin);
    auto buttons = arrows->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 2);
    buttons[0]->click(); // up
    EXPECT_EQ(spin.GetPos32(), 3);
    buttons[0]->click(); // at the top: stays
    EXPECT_EQ(spin.GetPos32(), 3);
    ASSERT_FALSE(dlg.vscrolls.empty());
    EXPECT_EQ(dlg.vscrolls[0], (std::pair<UINT, int>(SB_THUMBPOSITION, 3)));
    dlg.refuseSpin = 1;
    buttons[1]->click(); // down, refused by the parent
    EXPECT_EQ(spin.GetPos32(), 3);
    buttons[1]->click();
    EXPECT_EQ(spin.GetPos32(), 2);
    EXPECT_TRUE(std::count(dlg.notifies.begin(), dlg.notifies.end(), std::pair<int, UINT>(IDC_SPIN, UDN_DELTAPOS)) >= 3);
}

TEST_F(ControlsTest, UpDownWithBuddyIntegerWritesTheBuddy)
{
    CSpinButtonCtrl made;
    ASSERT_TRUE(made.Create(WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_WRAP, CRect(0, 0, 16, 22), &dlg, IDC_MADE));
    made.SetBuddy(dlg.GetDlgItem(IDC_BUDDY));
    made.SetRange32(1, 5);
    made.SetPos32(5);
    EXPECT_EQ(dlg.GetDlgItem(IDC_BUDDY)->GetWindowTextString(), "5");
    made.Step(+1); // wraps
    EXPECT_EQ(made.GetPos32(), 1);
    EXPECT_EQ(dlg.GetDlgItem(IDC_BUDDY)->GetWindowTextString(), "1");
}

TEST_F(ControlsTest, ProgressClampsAndSteps)
{
    auto& p = Ctl<CProgressCtrl>(IDC_PROGRESS);
    int lo = -1, hi = -1;
    p.GetRange(lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 100);
    EXPECT_EQ(p.SetPos(40), 0);
    EXPECT_EQ(p.GetPos(), 40);
    p.SetPos(250);
    EXPECT_EQ(p.GetPos(), 100);
    p.SetRange32(0, 1000);
    p.SetPos(995);
    p.SetStep(10);
    EXPECT_EQ(p.StepIt(), 995);
    EXPECT_EQ(p.GetPos(), 0); // past the top it starts over
    p.OffsetPos(30);
    EXPECT_EQ(p.GetPos(), 30);
}

TEST_F(ControlsTest, DateTimeRoundTripsAndNotifiesTheUsersChange)
{
    auto& d = Ctl<CDateTimeCtrl>(IDC_DATE);
    const time64_t t = 1700000000; // 2023-11-14
    EXPECT_TRUE(d.SetTime(t));
    time64_t back = 0;
    EXPECT_EQ(d.GetTime(back), GDT_VALID);
    EXPECT_EQ(back, t);
    EXPECT_TRUE(dlg.notifies.empty());
    As<QDateTimeEdit>(dlg, IDC_DATE)->setDate(QDate(2024, 2, 29));
    ASSERT_FALSE(dlg.notifies.empty());
    EXPECT_EQ(dlg.notifies.back(), (std::pair<int, UINT>(IDC_DATE, DTN_DATETIMECHANGE)));
}

TEST_F(ControlsTest, ReportListWithCheckBoxes)
{
    auto& r = Ctl<CListCtrl>(IDC_REPORT);
    EXPECT_TRUE(r.GetExtendedStyle() & LVS_EX_CHECKBOXES);
    EXPECT_EQ(r.InsertColumn(0, "Channel", LVCFMT_LEFT, 80), 0);
    EXPECT_EQ(r.InsertColumn(1, "Gain", LVCFMT_RIGHT, 40), 1);
    EXPECT_EQ(r.InsertItem(0, "Crown"), 0);
    EXPECT_EQ(r.InsertItem(1, "Brow"), 1);
    EXPECT_EQ(r.InsertItem(0, "Base"), 0);
    EXPECT_TRUE(r.SetItemText(1, 1, "x10"));
    EXPECT_FALSE(r.SetItemText(1, 5, "no such column"));
    EXPECT_EQ(r.GetItemText(1, 0), "Crown");
    EXPECT_EQ(r.GetItemText(1, 1), "x10");
    EXPECT_EQ(r.GetItemCount(), 3);
    EXPECT_FALSE(r.GetCheck(2));
    r.SetCheck(2, TRUE);
    EXPECT_TRUE(r.GetCheck(2));
    EXPECT_TRUE(dlg.notifies.empty()); // code's own changes
    // The user ticks an item.
    As<QTreeWidget>(dlg, IDC_REPORT)->topLevelItem(0)->setCheckState(0, Qt::Checked);
    ASSERT_FALSE(dlg.notifies.empty());
    EXPECT_EQ(dlg.notifies.back(), (std::pair<int, UINT>(IDC_REPORT, LVN_ITEMCHANGED)));
    r.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(r.GetNextItem(-1, LVNI_SELECTED), 1);
    EXPECT_EQ(r.GetSelectedCount(), 1u);
    EXPECT_TRUE(r.DeleteItem(0));
    EXPECT_EQ(r.GetItemText(0, 0), "Crown");
    EXPECT_TRUE(r.DeleteAllItems());
    EXPECT_EQ(r.GetItemCount(), 0);
}

TEST_F(ControlsTest, ControlsMadeByCodeFollowTheirStyles)
{
    CButton flat, check, group;
    ASSERT_TRUE(flat.Create("+", WS_CHILD | WS_VISIBLE | BS_FLAT, CRect(0, 0, 20, 20), &dlg, 600));
    ASSERT_TRUE(check.Create("Manual", WS_CHILD | WS_VISIBLE | BS_CHECKBOX, CRect(0, 30, 80, 50), &dlg, 601));
    EXPECT_EQ(flat.GetButtonStyle(), BS_PUSHBUTTON);
    EXPECT_EQ(check.GetButtonStyle(), BS_CHECKBOX);
    // A BS_CHECKBOX does not toggle itself; the click still notifies.
    Click(dlg, 601);
    EXPECT_EQ(check.GetCheck(), BST_UNCHECKED);
    EXPECT_TRUE(dlg.Saw(601, BN_CLICKED));
    check.SetCheck(BST_INDETERMINATE);
    EXPECT_EQ(check.GetCheck(), BST_INDETERMINATE);
    CRect r;
    flat.GetWindowRect(&r);
    EXPECT_EQ(r.Width(), 20);
    EXPECT_EQ(r.Height(), 20);

    CEdit edit;
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_RIGHT, CRect(0, 60, 80, 80), &dlg, 602));
    edit.SetWindowText("12.5");
    EXPECT_TRUE(dlg.Saw(602, EN_CHANGE));
    EXPECT_EQ(edit.GetLineCount(), 1);
    edit.SetSel(0, -1);
    int a = -1, b = -1;
    edit.GetSel(a, b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 4);

    CEdit notes; // placed in pixels: the rectangle holds, whatever a template would ask
    ASSERT_TRUE(notes.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, CRect(0, 100, 300, 300), &dlg, 605));
    CRect nr;
    notes.GetWindowRect(&nr);
    EXPECT_EQ(nr.Height(), 200);
    EXPECT_EQ(nr.Width(), 300);

    CScrollBar bar;
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(100, 0, 116, 60), &dlg, 603));
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 95;
    bar.SetScrollInfo(&si);
    EXPECT_EQ(bar.GetScrollPos(), 90); // the largest position is max - page + 1
    EXPECT_EQ(bar.GetScrollLimit(), 90);
    int mn = -1, mx = -1;
    bar.GetScrollRange(&mn, &mx);
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 99);
    As<QScrollBar>(dlg, 603)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    ASSERT_GE(dlg.vscrolls.size(), 2u);
    EXPECT_EQ(dlg.vscrolls[0].first, SB_LINEUP);
    EXPECT_EQ(dlg.vscrolls[1].first, SB_ENDSCROLL);
    EXPECT_EQ(bar.GetScrollPos(), 90);

    CComboBox combo;
    ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL, CRect(0, 90, 130, 2000), &dlg, 604));
    CRect cr;
    combo.GetWindowRect(&cr);
    EXPECT_LT(cr.Height(), 100); // the drop-down height is not the box's
    const int oneLine = cr.Height();

    // Moved with a list's height (as the RT-60 window places its boxes, 500 pixels), the box
    // stays one line high where it was put, and the list shows more items for the taller height.
    combo.MoveWindow(10, 20, 100, 500);
    combo.GetWindowRect(&cr);
    EXPECT_EQ(cr.Width(), 100);
    EXPECT_EQ(cr.Height(), oneLine);
    EXPECT_EQ(QtWidgetOf(&combo)->geometry(), QRect(10, 20, 100, oneLine));
    const int tallList = As<QComboBox>(dlg, 604)->maxVisibleItems();
    combo.MoveWindow(10, 20, 100, oneLine + 60);
    EXPECT_LT(As<QComboBox>(dlg, 604)->maxVisibleItems(), tallList);
    EXPECT_GE(As<QComboBox>(dlg, 604)->maxVisibleItems(), 1);
    combo.SetWindowPos(nullptr, 0, 0, 80, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(QtWidgetOf(&combo)->geometry(), QRect(10, 20, 80, oneLine));
}

TEST_F(ControlsTest, FontsAndTooltips)
{
    CFont big;
    ASSERT_TRUE(big.CreateFont(-30, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
    auto& label = Ctl<CStatic>(IDC_LABEL);
    label.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(big.GetSafeHandle()), TRUE);
    EXPECT_EQ(QtWidgetOf(&label)->font().pixelSize(), 30);
    LOGFONTA lf;
    ASSERT_TRUE(label.GetFont()->GetLogFont(&lf));
    EXPECT_EQ(lf.lfHeight, -30);
    EXPECT_EQ(lf.lfWeight, 700);
    LOGFONTA dlf;
    ASSERT_NE(dlg.GetFont(), nullptr);
    ASSERT_TRUE(dlg.GetFont()->GetLogFont(&dlf));
    EXPECT_LT(dlf.lfHeight, 0);

    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&dlg));
    CWnd* ok = dlg.GetDlgItem(IDOK);
    tips.AddTool(ok, "Accept the settings");
    EXPECT_EQ(QtWidgetOf(ok)->toolTip(), "Accept the settings");
    tips.UpdateTipText("Apply", ok);
    EXPECT_EQ(tips.GetText(ok), "Apply");
    tips.Activate(FALSE);
    EXPECT_TRUE(QtWidgetOf(ok)->toolTip().isEmpty());
    tips.Activate(TRUE);
    EXPECT_EQ(QtWidgetOf(ok)->toolTip(), "Apply");
    tips.DelTool(ok);
    EXPECT_EQ(tips.GetToolCount(), 0);
}

TEST_F(ControlsTest, DialogItemIntegersReadAsWindowsReadsThem)
{
    BOOL ok = FALSE;
    dlg.SetDlgItemInt(IDC_BUDDY, static_cast<UINT>(-42), TRUE);
    EXPECT_EQ(static_cast<int>(dlg.GetDlgItemInt(IDC_BUDDY, &ok, TRUE)), -42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(dlg.GetDlgItemInt(IDC_BUDDY, &ok, FALSE), 0u); // no sign when unsigned
    EXPECT_FALSE(ok);
    for (const char* bad : {"", "12a", "1.5", "99999999999", "--3"}) {
        dlg.SetDlgItemText(IDC_BUDDY, bad);
        dlg.GetDlgItemInt(IDC_BUDDY, &ok, TRUE);
        EXPECT_FALSE(ok) << bad;
    }
    dlg.SetDlgItemText(IDC_BUDDY, "  17 ");
    EXPECT_EQ(dlg.GetDlgItemInt(IDC_BUDDY, &ok, FALSE), 17u);
    EXPECT_TRUE(ok);
    dlg.SetDlgItemText(IDC_BUDDY, "4294967295");
    EXPECT_EQ(dlg.GetDlgItemInt(IDC_BUDDY, &ok, FALSE), 4294967295u);
    EXPECT_TRUE(ok);
    // Items that do not exist read as nothing.
    char buf[8] = "x";
    EXPECT_EQ(dlg.GetDlgItemText(4242, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
}

TEST_F(ControlsTest, StaticShowsABitmap)
{
    // A 4 x 2 bitmap, 24 bits, rows padded to 2 bytes: blue left half, green right half.
    std::vector<BYTE> bits;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool left = x < 2;
            bits.insert(bits.end(), {BYTE(left ? 255 : 0), BYTE(left ? 0 : 255), 0});
        }
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateBitmap(4, 2, 1, 24, bits.data()));
    CStatic image;
    ASSERT_TRUE(image.Create("", WS_CHILD | WS_VISIBLE | SS_BITMAP, CRect(0, 0, 4, 2), &dlg, 610));
    EXPECT_EQ(image.SetBitmap(static_cast<HBITMAP>(bmp.GetSafeHandle())), nullptr);
    EXPECT_EQ(image.GetBitmap(), static_cast<HBITMAP>(bmp.GetSafeHandle()));
    const QImage shot = QtWidgetOf(&image)->grab().toImage();
    EXPECT_EQ(Pixel(shot, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(Pixel(shot, 3, 1), RGB(0, 255, 0));
}

TEST_F(ControlsTest, ScrollBarWithoutARangeStillReportsItsArrows)
{
    // Spin-like bars are clicked without any range set; their owner steps a number.
    CScrollBar spin;
    ASSERT_TRUE(spin.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(0, 0, 16, 60), &dlg, 620));
    int mn = -1, mx = -1;
    spin.GetScrollRange(&mn, &mx);
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 0);
    QWidget* w = QtWidgetOf(&spin);
    for (const QPoint at : {QPoint(8, 57), QPoint(8, 3)}) {
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &release);
    }
    std::vector<UINT> codes;
    for (auto& v : dlg.vscrolls)
        if (v.first != SB_ENDSCROLL)
            codes.push_back(v.first);
    EXPECT_EQ(codes, (std::vector<UINT>{SB_LINEDOWN, SB_LINEUP}));
    EXPECT_EQ(spin.GetScrollPos(), 0);
    spin.SetScrollPos(5);
    EXPECT_EQ(spin.GetScrollPos(), 0); // nowhere to go in an empty range
}

TEST_F(ControlsTest, EditsAndComboBoxesReportTheFocusArrivingAndLeaving)
{
    dlg.ShowWindow(SW_SHOW);
    dlg.commands.clear();
    Focus(W(dlg, IDC_NOTES));
    EXPECT_TRUE(dlg.Saw(IDC_NOTES, EN_SETFOCUS));
    Focus(W(dlg, IDC_DROP));
    EXPECT_TRUE(dlg.Saw(IDC_NOTES, EN_KILLFOCUS));
    EXPECT_TRUE(dlg.Saw(IDC_DROP, CBN_SETFOCUS));
    Focus(W(dlg, IDC_BUDDY));
    EXPECT_TRUE(dlg.Saw(IDC_DROP, CBN_KILLFOCUS));
    EXPECT_TRUE(dlg.Saw(IDC_BUDDY, EN_SETFOCUS));
}
