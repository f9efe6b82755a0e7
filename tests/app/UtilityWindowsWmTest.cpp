// Windows under a real window manager (openbox on its own Xvfb display, 1920 x 1080): a utility
// window with no stored place opens with its title bar on the screen, utility windows opened
// together (also by quick clicks, or by a configuration) leave each other's tables readable at
// their normal size, and placements are kept in device pixels.
#include "FrameFixture.h"

#include "support/RealDisplay.h"
#include "support/QtTestAccess.h"
#include "XServerTruth.h"

#include "app/CToolbar2.h"
#include "app/settings/WindowPlacement.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <optional>
#include <thread>

using namespace frametest;

namespace {

// The framed window's rectangle on the screen once the window manager has framed and placed it
// (it does so some time after the window is mapped): unchanged for half a second.
QRect Framed(CWnd& w)
{
    QWidget* q = QtWidgetOf(&w)->window();
    QRect last = q->frameGeometry();
    for (int settled = 0, tries = 0; settled < 10 && tries < 200; ++tries) {
        AfxPumpMessages(50);
        const QRect now = q->frameGeometry();
        settled = now == last && now != q->geometry() ? settled + 1 : 0;
        last = now;
    }
    return last;
}

// Each test starts with the frame up, framed and placed.
class UtilityWindowsWm : public OnRealDisplay<FrameFixture> {
protected:
    explicit UtilityWindowsWm(std::string scale = "") : OnRealDisplay("1920x1080x24", std::move(scale)) {}
    void SetUp() override
    {
        OnRealDisplay::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_NE(Start(), nullptr);
        Framed(*frame);
    }
};

class UtilityWindowsWmAt200 : public UtilityWindowsWm {
protected:
    UtilityWindowsWmAt200() : UtilityWindowsWm("2") {}
};

std::string Text(const QRect& r)
{
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

// The normal place a placement's text records, read from the text itself: the parser pulls
// negative values to 0.
bool NormalPlace(const char* text, RECT& r)
{
    int flags = 0, show = 0, minX = 0, minY = 0, maxX = 0, maxY = 0, left = 0, top = 0, right = 0, bottom = 0;
    if (std::sscanf(text, "%d, %d, {%d,%d}, {%d,%d}, {%d,%d,%d,%d}", &flags, &show, &minX, &minY, &maxX, &maxY, &left,
                    &top, &right, &bottom) != 10)
        return false;
    r = {left, top, right, bottom};
    return true;
}

} // namespace

// The RPM window has no fixed place of its own: opened with no stored placement, its title bar
// lies on the screen below the frame's menu, and the place it is closed at is on the screen too.
TEST_F(UtilityWindowsWm, TheRpmWindowWithoutAPlaceOpensWithItsTitleBarOnTheScreen)
{
    frame->OnUtilityRPM();
    CWnd* rpm = frame->GetUtilityWindow(18);
    ASSERT_NE(rpm, nullptr);
    const QRect outer = Framed(*rpm);
    const QRect client(QtWidgetOf(rpm)->window()->geometry());
    EXPECT_GE(outer.top(), 0) << Text(outer);
    EXPECT_GT(client.top(), outer.top()) << "no title bar above the client: " << Text(outer);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(screen.contains(outer)) << Text(outer);

    frame->OnUtilityRPM(); // records the place and closes
    ASSERT_EQ(frame->GetUtilityWindow(18), nullptr);
    WINDOWPLACEMENT wp{};
    const DesktopInfo desktop{1920, 1080, false};
    const auto& record = frame->Settings.Placements[WindowPlacementIndex(18, 0, false)];
    ASSERT_TRUE(ParsePlacement(record.PlacementText, &wp, desktop)) << record.PlacementText;
    RECT place{};
    ASSERT_TRUE(NormalPlace(record.PlacementText, place)) << record.PlacementText;
    EXPECT_GE(place.left, 0) << record.PlacementText;
    EXPECT_GE(place.top, 0) << record.PlacementText;
}

// THD, THD+N and Leq opened one after the other, none with a stored place: no window covers
// another, and each lies wholly on the screen.
TEST_F(UtilityWindowsWm, UtilityWindowsOpenedTogetherDoNotCoverOneAnother)
{
    std::vector<std::pair<int, QRect>> placed;
    for (int kind : {10, 11, 15, 13}) {
        ASSERT_TRUE(frame->ToggleUtilityWindow(kind)) << kind;
        CWnd* w = frame->GetUtilityWindow(kind);
        ASSERT_NE(w, nullptr) << kind;
        placed.emplace_back(kind, Framed(*w));
    }
    // Later windows settling may not move earlier ones: measure all again.
    for (auto& [kind, rect] : placed)
        rect = Framed(*frame->GetUtilityWindow(kind));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_TRUE(screen.contains(placed[i].second)) << placed[i].first << " " << Text(placed[i].second);
        for (std::size_t j = i + 1; j < placed.size(); ++j)
            EXPECT_FALSE(placed[i].second.intersects(placed[j].second))
                << placed[i].first << " " << Text(placed[i].second) << " and " << placed[j].first << " "
                << Text(placed[j].second);
    }
    if (const char* folder = std::getenv("DURNEX_PLACEMENT_SHOTS"))
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString(folder) + "/utilities.png");
}

// At twice the scale the frame's place is recorded in the screen's device pixels, so that the
// next session at normal scale brings it back over the same part of the screen, not at half its
// size in a corner.
TEST_F(UtilityWindowsWmAt200, PlacementsAreRecordedInDevicePixels)
{
    const QRect outer = Framed(*frame);
    frame->RecordWindowPlacement(0, 0, false);
    const char* text = frame->Settings.Placements[0].PlacementText;
    RECT place{};
    ASSERT_TRUE(NormalPlace(text, place)) << text;
    EXPECT_NEAR(place.right - place.left, 2 * outer.width(), 4) << text << " for " << Text(outer);
    EXPECT_NEAR(place.bottom - place.top, 2 * outer.height(), 4) << text << " for " << Text(outer);

    // A rectangle recorded in device pixels comes back at its logical half.
    frame->OnUtilityRPM();
    CWnd* rpm = frame->GetUtilityWindow(18);
    ASSERT_NE(rpm, nullptr);
    Framed(*rpm);
    frame->OnUtilityRPM();
    std::snprintf(frame->Settings.Placements[WindowPlacementIndex(18, 0, false)].PlacementText, 256,
                  "0, 1, {-1,-1}, {-1,-1}, {400,300,760,420}");
    frame->OnUtilityRPM();
    rpm = frame->GetUtilityWindow(18);
    ASSERT_NE(rpm, nullptr);
    const QRect back = Framed(*rpm);
    // Within a title bar: a loaded window manager may frame the window late (kept in device
    // pixels it would stand at 400, 300).
    EXPECT_NEAR(back.left(), 200, 30) << Text(back);
    EXPECT_NEAR(back.top(), 150, 30) << Text(back);
}

namespace {

// Every row of a results window's table lies wholly within the table's drawn area, and no other
// control of the window covers the table.
void ExpectWholeRows(int kind, CWnd* w, CDataGrid* grid)
{
    ASSERT_NE(grid, nullptr) << kind;
    grid->Invalidate();
    grid->UpdateWindow();
    AfxPumpMessages(100);
    RECT client{};
    grid->GetClientRect(&client);
    const int rows = grid->GetRowCount();
    ASSERT_GT(grid->GetRowHeight(), 0) << kind << ": the table was not painted";
    EXPECT_LE(rows * grid->GetRowHeight(), client.bottom - client.top)
        << kind << ": " << rows << " rows of " << grid->GetRowHeight() << " in " << client.bottom - client.top;
    const QWidget* table = QtWidgetOf(grid);
    const QRect own = table->geometry();
    for (const QObject* o : table->parentWidget()->children()) {
        const auto* other = qobject_cast<const QWidget*>(o);
        if (!other || other == table || !other->isVisible())
            continue;
        EXPECT_FALSE(own.intersects(other->geometry()))
            << kind << ": table " << Text(own) << " under a control at " << Text(other->geometry());
    }
    // The table's last row is drawn inside the window's client area.
    const QRect inner = QtWidgetOf(w)->window()->rect();
    EXPECT_TRUE(inner.contains(QRect(own.topLeft(), QSize(own.width(), rows * grid->GetRowHeight()))))
        << kind << ": client " << Text(inner) << ", table " << Text(own);
}

void ExpectUtilityTablesShowEveryRow(CMainFrame& frame)
{
    for (int kind : {10, 11, 15, 13}) {
        ASSERT_TRUE(frame.ToggleUtilityWindow(kind)) << kind;
        ASSERT_NE(frame.GetUtilityWindow(kind), nullptr) << kind;
        Framed(*frame.GetUtilityWindow(kind));
    }
    for (int kind : {10, 11, 15, 13}) {
        CWnd* w = frame.GetUtilityWindow(kind);
        Framed(*w);
        CDataGrid* grid = nullptr;
        if (auto* leq = dynamic_cast<CLeqAnalysisView*>(w))
            grid = leq->GetGrid();
        else if (auto* view = dynamic_cast<CAnalysisView*>(w))
            grid = view->GetGrid();
        ExpectWholeRows(kind, w, grid);
    }
}

} // namespace

// The THD, THD+N and Leq windows, opened together at their created size, show every row of
// their tables whole, above the buttons.
TEST_F(UtilityWindowsWm, ResultTablesShowTheirLastRowWhole)
{
    ExpectUtilityTablesShowEveryRow(*frame);
}

TEST_F(UtilityWindowsWmAt200, ResultTablesShowTheirLastRowWhole)
{
    ExpectUtilityTablesShowEveryRow(*frame);
}

namespace {

// A utility window as the X server has it: its client area and the frame around it.
struct OnServer {
    int kind = 0;
    QRect client, frame;
};

std::vector<OnServer> WhereTheServerHas(CMainFrame& frame, const std::vector<int>& kinds)
{
    std::vector<OnServer> found;
    for (int kind : kinds) {
        CWnd* w = frame.GetUtilityWindow(kind);
        if (w == nullptr)
            continue;
        QWidget* top = QtWidgetOf(w)->window();
        const std::optional<QRect> client = xtruth::ClientRect(top);
        const std::optional<xtruth::Extents> e = xtruth::FrameExtents(top);
        if (client && e)
            found.push_back({kind, *client, client->adjusted(-e->left, -e->top, e->right, e->bottom)});
    }
    return found;
}

// The utility windows once every one is framed and still; then what is wrong with them: a frame
// over another window's client area, a window the server has at another size than the toolkit,
// or a table not at its normal row height.
std::string Faults(CMainFrame& frame, const std::vector<int>& kinds)
{
    std::string fault;
    std::vector<QWidget*> tops;
    for (int kind : kinds) {
        if (frame.GetUtilityWindow(kind) == nullptr)
            return "no window " + std::to_string(kind);
        tops.push_back(QtWidgetOf(frame.GetUtilityWindow(kind))->window());
    }
    // All framed and unchanged for half a second: later windows settling may move earlier ones.
    auto frames = [&] {
        std::vector<QRect> r;
        for (QWidget* t : tops)
            r.push_back(t->frameGeometry() != t->geometry() ? t->frameGeometry() : QRect());
        return r;
    };
    std::vector<QRect> last = frames();
    for (int settled = 0, tries = 0; settled < 10 && tries < 400; ++tries) {
        AfxPumpMessages(50);
        const std::vector<QRect> now = frames();
        settled = now == last && std::none_of(now.begin(), now.end(), [](const QRect& r) { return r.isNull(); })
                      ? settled + 1
                      : 0;
        last = now;
    }
    const std::vector<OnServer> placed = WhereTheServerHas(frame, kinds);
    if (placed.size() != kinds.size())
        return "the server does not know every window";
    for (const OnServer& a : placed) {
        for (const OnServer& b : placed)
            if (&a != &b && a.frame.intersects(b.client))
                fault += std::to_string(a.kind) + "'s frame " + Text(a.frame) + " over " + std::to_string(b.kind) +
                         "'s client " + Text(b.client) + "; ";
        CWnd* w = frame.GetUtilityWindow(a.kind);
        if (QtWidgetOf(w)->window()->size() != a.client.size())
            fault += std::to_string(a.kind) + " is " + Text(a.client) + " on the server; ";
        CDataGrid* grid = nullptr;
        if (auto* leq = dynamic_cast<CLeqAnalysisView*>(w))
            grid = leq->GetGrid();
        else if (auto* view = dynamic_cast<CAnalysisView*>(w))
            grid = view->GetGrid();
        else if (auto* power = dynamic_cast<CSoundPowerAnalysisView*>(w))
            grid = power->GetGrid();
        if (grid != nullptr && grid->GetRowHeight() != 16)
            fault += std::to_string(a.kind) + " has rows of " + std::to_string(grid->GetRowHeight()) + " at " +
                     Text(a.client) + "; ";
    }
    if (const char* folder = std::getenv("DURNEX_PLACEMENT_SHOTS"))
        QGuiApplication::primaryScreen()->grabWindow(0).save(
            QString(folder) + "/" + QString::fromStdString(testing::UnitTest::GetInstance()->current_test_info()->name()) +
            ".png");
    return fault;
}

// The secondary tool window's buttons clicked by xdotool, `apart` seconds apart, while the
// program goes on: nothing waits for a window to be framed before the next click.
void ClickButtons(CMainFrame& frame, const std::vector<UINT>& buttons, const char* apart)
{
    std::string command = "xdotool";
    for (UINT id : buttons) {
        QWidget* b = QtWidgetOf(frame.Toolbar2->Button(id));
        ASSERT_NE(b, nullptr) << id;
        const QPoint c = b->mapToGlobal(b->rect().center());
        command += " mousemove " + std::to_string(c.x()) + " " + std::to_string(c.y()) + " click 1 sleep " + apart;
    }
    std::atomic<bool> done{false};
    int result = -1;
    std::thread user([&] {
        result = std::system(command.c_str());
        done = true;
    });
    (void)PumpUntil([&] { return done.load(); }, 60000);
    user.join();
    ASSERT_EQ(result, 0) << command;
}

// Utility windows that have never been placed, so that each takes its place beside the others.
void ForgetUtilityPlaces(CMainFrame& frame)
{
    for (int kind = 7; kind <= 19; ++kind) {
        WindowPlacementRecord& r = frame.Settings.Placements[WindowPlacementIndex(kind, 0, false)];
        r.IsOpen = 0;
        r.PlacementText[0] = '\0';
    }
}

class UtilityWindowsClicked : public UtilityWindowsWm {
protected:
    void SetUp() override
    {
        UtilityWindowsWm::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!DurnexToolInstalled("xdotool") || !xtruth::ToolsInstalled())
            DURNEX_SKIP_WITHOUT("xdotool, xwininfo and xprop are needed");
        ForgetUtilityPlaces(*frame);
        frame->Settings.Buttons = 1;
        frame->ApplyToolWindowFlags();
        Framed(*frame);
    }
    // THD, THD+N, Leq, SNR and IMD clicked 0.3 s apart, and the window manager starved of the
    // processor (or not) while they open.
    void ClickFive(bool starve)
    {
        {
            std::optional<StarvedWindowManager> starved;
            if (starve)
                starved.emplace(display_.OpenboxPid(), 400, 5000);
            ASSERT_NO_FATAL_FAILURE(ClickButtons(*frame, {505, 506, 515, 509, 508}, "0.3"));
            AfxPumpMessages(starve ? 3000 : 100);
        }
        EXPECT_EQ(Faults(*frame, {10, 11, 15, 13, 12}), "");
    }
    // Nine utility windows a configuration marks open, opened at once.
    void OpenNine(bool starve)
    {
        const std::vector<int> nine{7, 8, 9, 10, 11, 12, 13, 15, 19};
        for (int kind : nine)
            frame->Settings.Placements[WindowPlacementIndex(kind, 0, false)].IsOpen = 1;
        {
            std::optional<StarvedWindowManager> starved;
            if (starve)
                starved.emplace(display_.OpenboxPid(), 400, 5000);
            frame->ReopenUtilityWindows();
            AfxPumpMessages(starve ? 3000 : 100);
        }
        EXPECT_EQ(Faults(*frame, nine), "");
    }
};

} // namespace

// Windows opened by clicks that come faster than the window manager frames them: each frame
// lies clear of every other window's client area, and each window has its normal size.
TEST_F(UtilityWindowsClicked, ClickedTogetherTheyLieApart) { ClickFive(false); }
TEST_F(UtilityWindowsClicked, ClickedTogetherUnderAStarvedWindowManagerTheyLieApart) { ClickFive(true); }
TEST_F(UtilityWindowsClicked, NineFromAConfigurationLieApart) { OpenNine(false); }
TEST_F(UtilityWindowsClicked, NineFromAConfigurationUnderAStarvedWindowManagerLieApart) { OpenNine(true); }
