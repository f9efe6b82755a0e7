// Windows under a real window manager (openbox on its own Xvfb display, 1920 x 1080): a utility
// window with no stored place opens with its title bar on the screen, utility windows opened
// together leave each other's tables readable, and placements are kept in device pixels.
#include "FrameFixture.h"

#include "support/RealDisplay.h"
#include "support/QtTestAccess.h"

#include "app/settings/WindowPlacement.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"

#include <cstdlib>
#include <cstdio>

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
