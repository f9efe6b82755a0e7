// Wrapped widgets and child windows: control notifications to the parent, GetDlgItem and
// subclassing, Default() handing events back to the widget, keys and cursors.
#include "platform/core/Resources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WinApp.h"
#include "res/resource.h"
#include "support/QtTestAccess.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBitmap>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <string>
#include <vector>

namespace {
constexpr UINT IDC_GO = 1001;
constexpr UINT IDC_NAME = 1002;
constexpr UINT IDC_SPIN = 1003;

class Host : public CWnd {
public:
    void OnGo() { log.push_back("go"); }
    void OnNameChange() { log.push_back("name"); }
    void OnDelta(NMHDR* hdr, LRESULT* result)
    {
        auto* ud = reinterpret_cast<NMUPDOWN*>(hdr);
        log.push_back("delta" + std::to_string(ud->iDelta) + "from" + std::to_string(hdr->idFrom));
        *result = 1; // refuse the change
    }
    std::vector<std::string> log;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Host, CWnd)
    ON_BN_CLICKED(IDC_GO, &Host::OnGo)
    ON_EN_CHANGE(IDC_NAME, &Host::OnNameChange)
    ON_NOTIFY(UDN_DELTAPOS, IDC_SPIN, &Host::OnDelta)
END_MESSAGE_MAP()

// Eats every key but 'X', which goes back to the edit through Default().
class FilteringEdit : public CWnd {
public:
    void OnChar(UINT ch, UINT, UINT)
    {
        chars.push_back(ch);
        if (ch == 'X')
            Default();
    }
    std::vector<UINT> chars;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(FilteringEdit, CWnd)
    ON_WM_CHAR()
END_MESSAGE_MAP()

class KeyWnd : public CWnd {
public:
    void OnKeyDown(UINT vk, UINT, UINT) { log.push_back("down" + std::to_string(vk)); }
    void OnKeyUp(UINT vk, UINT, UINT) { log.push_back("up" + std::to_string(vk)); }
    void OnChar(UINT ch, UINT, UINT) { log.push_back("char" + std::to_string(ch)); }
    BOOL OnSetCursor(CWnd*, UINT hit, UINT msg)
    {
        ++setCursor;
        EXPECT_EQ(hit, HTCLIENT);
        EXPECT_EQ(msg, WM_MOUSEMOVE);
        ::SetCursor(AfxGetApp() ? AfxGetApp()->LoadCursor(IDC_PLOT_CROSS) : LoadCursor(nullptr, IDC_PLOT_CROSS));
        return TRUE;
    }
    void OnLButtonDblClk(UINT, CPoint) { log.push_back("dblclk"); }
    void OnLButtonDown(UINT, CPoint) { log.push_back("down-click"); }
    std::vector<std::string> log;
    int setCursor = 0;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(KeyWnd, CWnd)
    ON_WM_KEYDOWN()
    ON_WM_KEYUP()
    ON_WM_CHAR()
    ON_WM_SETCURSOR()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

class Wrapping : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    void SetUp() override
    {
        ASSERT_TRUE(host.CreateEx(0, nullptr, "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
        button = new QPushButton("Go", QtClientWidgetOf(&host));
        edit = new QLineEdit(QtClientWidgetOf(&host));
        button->setProperty("durnexCtrlId", IDC_GO);
        edit->setProperty("durnexCtrlId", IDC_NAME);
    }
    void TearDown() override
    {
        host.DestroyWindow();
        AfxPumpMessages();
    }
    Host host;
    QPushButton* button = nullptr;
    QLineEdit* edit = nullptr;
};

void TypeChar(QWidget* w, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}
} // namespace

TEST_F(Wrapping, ControlsNotifyTheirParentThroughItsMap)
{
    CWnd* go = host.GetDlgItem(IDC_GO);
    ASSERT_NE(go, nullptr);
    EXPECT_EQ(go->GetDlgCtrlID(), int(IDC_GO));
    EXPECT_EQ(go->GetParent(), &host);
    EXPECT_EQ(host.GetDlgItem(IDC_GO), go) << "one wrapper per control";
    go->NotifyParent(BN_CLICKED);
    host.GetDlgItem(IDC_NAME)->NotifyParent(EN_CHANGE);
    host.GetDlgItem(IDC_NAME)->NotifyParent(EN_KILLFOCUS); // not mapped
    EXPECT_EQ(host.log, (std::vector<std::string>{"go", "name"}));

    CWnd spin;
    auto* spinWidget = new QWidget(QtClientWidgetOf(&host));
    ASSERT_TRUE(QtAttach(&spin, spinWidget, IDC_SPIN));
    NMUPDOWN ud;
    ud.hdr.code = UDN_DELTAPOS;
    ud.iDelta = -1;
    EXPECT_EQ(spin.NotifyParent(ud.hdr), 1);
    EXPECT_EQ(host.log.back(), "delta-1from1003");
    QtDetach(&spin);

    EXPECT_EQ(host.GetDlgItem(4242), nullptr);
}

TEST_F(Wrapping, SubclassingTakesOverAControlAndDefaultHandsEventsBack)
{
    CWnd* temp = host.GetDlgItem(IDC_NAME);
    ASSERT_NE(temp, nullptr);
    FilteringEdit filter;
    ASSERT_TRUE(filter.SubclassDlgItem(IDC_NAME, &host));
    EXPECT_EQ(host.GetDlgItem(IDC_NAME), &filter);
    EXPECT_EQ(QtWidgetOf(&filter), edit);
    TypeChar(edit, Qt::Key_A, "a");
    TypeChar(edit, Qt::Key_X, "X");
    EXPECT_EQ(filter.chars, (std::vector<UINT>{'a', 'X'}));
    EXPECT_EQ(edit->text(), "X") << "only the character passed on through Default() reaches the edit";
    filter.SetWindowText("typed");
    EXPECT_EQ(edit->text(), "typed");
    EXPECT_EQ(filter.GetWindowTextString(), "typed");
    filter.UnsubclassWindow();
    TypeChar(edit, Qt::Key_B, "b");
    EXPECT_EQ(edit->text(), "typedb");
}

TEST_F(Wrapping, DeletingAControlWithATemporaryWrapperInvalidatesItsHandle)
{
    CWnd* temp = host.GetDlgItem(IDC_GO);
    ASSERT_NE(temp, nullptr);
    const HWND h = temp->GetSafeHwnd();
    EXPECT_TRUE(IsWindow(h));
    delete button; // the wrapper goes with it
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(host.GetDlgItem(IDC_GO), nullptr);
}

TEST(Keys, KeyDownCharAndKeyUpInWindowsOrder)
{
    AfxEnsureQtApplication();
    KeyWnd w;
    ASSERT_TRUE(w.CreateEx(0, nullptr, "Keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 100, 100), nullptr, 0));
    QWidget* c = QtClientWidgetOf(&w);
    TypeChar(c, Qt::Key_Return, "\r");
    TypeChar(c, Qt::Key_F5, "");
    EXPECT_EQ(w.log, (std::vector<std::string>{"down13", "char13", "up13", "down116", "up116"}));
    w.DestroyWindow();
}

TEST(Cursors, ResourceCursorsLoadAndWmSetCursorAppliesThem)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    const HCURSOR cross = LoadCursor(nullptr, IDC_PLOT_CROSS);
    ASSERT_NE(cross, nullptr);
    EXPECT_EQ(LoadCursor(nullptr, IDC_PLOT_CROSS), cross) << "loaded once";
    EXPECT_NE(LoadCursor(nullptr, IDC_PLOT_HIDDEN), nullptr);
    EXPECT_NE(LoadCursor(nullptr, IDC_PLOT_SELECT), nullptr);
    EXPECT_EQ(LoadCursor(nullptr, 999u), nullptr);
    EXPECT_NE(LoadCursor(nullptr, IDC_ARROW), nullptr);

    KeyWnd w;
    ASSERT_TRUE(w.CreateEx(0, AfxRegisterWndClass(CS_DBLCLKS), "Cursor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           CRect(0, 0, 100, 100), nullptr, 0));
    QWidget* c = QtClientWidgetOf(&w);
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 20), c->mapToGlobal(QPointF(20, 20)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(c, &move);
    EXPECT_EQ(w.setCursor, 1);
    EXPECT_EQ(c->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(c->cursor().hotSpot(), QPoint(15, 15));

    // With CS_DBLCLKS the second click of a pair is a double click.
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), c->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(c, &dbl);
    ASSERT_FALSE(w.log.empty());
    EXPECT_EQ(w.log.back(), "dblclk");
    w.DestroyWindow();

    KeyWnd plain; // no CS_DBLCLKS: a plain button-down
    ASSERT_TRUE(plain.CreateEx(0, nullptr, "Plain", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 100, 100), nullptr, 0));
    QWidget* pc = QtClientWidgetOf(&plain);
    QMouseEvent dbl2(QEvent::MouseButtonDblClick, QPointF(5, 5), pc->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pc, &dbl2);
    ASSERT_FALSE(plain.log.empty());
    EXPECT_EQ(plain.log.back(), "down-click");
    plain.DestroyWindow();
}

TEST(MenuResources, ParseErrorsAreRefusedAndRemovedPopupsStayUsable)
{
    RegisterBuiltInResources();
    EXPECT_EQ(ParseMenuText("POPUP \"&File\"\n MENUITEM \"Open\", 12\n"), nullptr) << "missing END";
    EXPECT_EQ(ParseMenuText("MENUITEM \"Open\", twelve\n"), nullptr);
    EXPECT_EQ(ParseAcceleratorText("Ctrl+O\n"), nullptr);
    EXPECT_EQ(ParseAcceleratorText("Ctrl+O 0\n"), nullptr);
    HACCEL ok = ParseAcceleratorText("// comment\nCtrl+O 57776\n\nF1 57784 // About\n");
    ASSERT_NE(ok, nullptr);
    auto entries = GetAcceleratorEntries(ok);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].keys, "F1");
    EXPECT_EQ(entries[1].id, 57784u);
    DestroyAcceleratorTable(ok);

    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_MAINFRAME));
    CMenu* edit = menu.GetSubMenu(1);
    ASSERT_NE(edit, nullptr);
    const HMENU hEdit = edit->GetSafeHmenu();
    ASSERT_TRUE(menu.RemoveMenu(1, MF_BYPOSITION));
    CMenu* again = CMenu::FromHandle(hEdit);
    ASSERT_NE(again, nullptr) << "RemoveMenu keeps a pop-up";
    EXPECT_EQ(again->GetMenuItemID(0), UINT(ID_EDIT_UNDO));
    CMenu owner;
    ASSERT_TRUE(owner.Attach(hEdit)); // owned again, destroyed with `owner`
    EXPECT_EQ(menu.GetMenuString(ID_FILE_OPEN, MF_BYCOMMAND), "&Open...\tCtrl+O");
    EXPECT_FALSE(menu.LoadMenu(IDR_MAINFRAME)) << "a CMenu holds one menu";
    CMenu missing;
    EXPECT_FALSE(missing.LoadMenu(4242));
}

TEST(Icons, ResourceIconsLoadByNameAndIdAndGoOnTheirWindows)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    const HICON app = LoadIcon(AfxGetInstanceHandle(), "IDI_MAIN_APP");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(LoadIcon(nullptr, "idi_main_app"), app) << "resource names ignore case";
    for (UINT id : {106u, 107u, 108u})
        EXPECT_NE(LoadIcon(nullptr, id), nullptr) << id;
    EXPECT_EQ(LoadIcon(nullptr, 4242u), nullptr);

    // A frame copies the default frame class and registers its own with the icon.
    WNDCLASSA wc;
    CFrameWnd probe;
    CREATESTRUCT cs;
    ASSERT_TRUE(probe.PreCreateWindow(cs));
    ASSERT_TRUE(GetClassInfo(AfxGetInstanceHandle(), cs.lpszClass, &wc));
    wc.lpszClassName = "DurnexTest";
    wc.hIcon = app;
    ASSERT_TRUE(AfxRegisterClass(&wc));
    EXPECT_FALSE(AfxRegisterClass(&wc)) << "a name registers once";
    CWnd w;
    ASSERT_TRUE(w.CreateEx(0, "DurnexTest", "Icon", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));
    EXPECT_FALSE(QtWidgetOf(&w)->windowIcon().isNull());
    EXPECT_EQ(QtWidgetOf(&w)->windowIcon().pixmap(32, 32).toImage().pixelColor(0, 0), QColor(0x1F, 0x3A, 0x93));
    w.DestroyWindow();

    // The main frame's icon becomes that of every window without one of its own (tool and
    // plot windows), not the toolkit's logo.
    ASSERT_EQ(AfxGetMainWnd(), nullptr);
    struct IconFrame : CFrameWnd {
        BOOL PreCreateWindow(CREATESTRUCT& cs) override
        {
            cs.lpszClass = "DurnexTest";
            return TRUE;
        }
    };
    auto* frame = new IconFrame;
    ASSERT_TRUE(frame->Create(nullptr, "Main", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100)));
    CWnd tool;
    ASSERT_TRUE(tool.CreateEx(WS_EX_TOOLWINDOW, nullptr, "Tool", WS_POPUP | WS_CAPTION, CRect(0, 0, 50, 50), frame, 0));
    EXPECT_EQ(QtWidgetOf(&tool)->windowIcon().pixmap(32, 32).toImage().pixelColor(0, 0), QColor(0x1F, 0x3A, 0x93));
    frame->DestroyWindow();
}

// The program makes its frame the main window before it creates it; plot windows opened later
// must still draw the frame's icon in their title bars, not the toolkit's logo.
TEST(Icons, AFrameMadeMainBeforeItIsCreatedLendsItsIconToItsChildren)
{
    AfxEnsureQtApplication();
    RegisterBuiltInResources();
    QApplication::setWindowIcon(QIcon());
    WNDCLASSA wc;
    CMDIFrameWnd probe;
    CREATESTRUCT cs;
    ASSERT_TRUE(probe.PreCreateWindow(cs));
    ASSERT_TRUE(GetClassInfo(AfxGetInstanceHandle(), cs.lpszClass, &wc));
    wc.lpszClassName = "DurnexMainIcon";
    wc.hIcon = LoadIcon(AfxGetInstanceHandle(), "IDI_MAIN_APP");
    AfxRegisterClass(&wc);
    struct MainFrame : CMDIFrameWnd {
        BOOL PreCreateWindow(CREATESTRUCT& c) override
        {
            if (!CMDIFrameWnd::PreCreateWindow(c))
                return FALSE;
            c.lpszClass = "DurnexMainIcon";
            return TRUE;
        }
    };
    CWinApp app;
    auto* frame = new MainFrame;
    app.m_pMainWnd = frame;
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    frame->MoveWindow(0, 0, 400, 300);
    frame->ShowWindow(SW_SHOW);
    auto* child = new CMDIChildWnd;
    ASSERT_TRUE(child->Create(nullptr, "Plot", WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 150), frame));
    AfxPumpMessages();
    const QImage title = QtWidgetOf(child)->grab(QRect(0, 0, 200, 30)).toImage();
    int iconPixels = 0;
    for (int y = 0; y < title.height(); ++y)
        for (int x = 0; x < title.width(); ++x)
            iconPixels += title.pixelColor(x, y) == QColor(0x1F, 0x3A, 0x93);
    EXPECT_GT(iconPixels, 20);
    frame->DestroyWindow();
    app.m_pMainWnd = nullptr;
    AfxPumpMessages();
}

TEST(Keys, KeysAFocusedChildIgnoresDoNotReachItsParentWindow)
{
    AfxEnsureQtApplication();
    KeyWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
    auto* edit = new QLineEdit(QtClientWidgetOf(&parent));
    edit->show();
    QtWidgetOf(&parent)->activateWindow();
    edit->setFocus();
    AfxPumpMessages();
    if (QApplication::focusWidget() != edit)
        GTEST_SKIP() << "the platform gives no keyboard focus";
    TypeChar(edit, Qt::Key_Return, "\r"); // QLineEdit lets Return pass on to its parent
    EXPECT_TRUE(parent.log.empty());
    parent.SetFocus();
    AfxPumpMessages();
    TypeChar(QtClientWidgetOf(&parent), Qt::Key_Return, "\r");
    EXPECT_FALSE(parent.log.empty());
    parent.DestroyWindow();
}
