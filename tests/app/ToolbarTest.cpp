// The two tool windows: every button reaches its command, the arrangement by mode, the
// configuration list, the display gain, the averaging table and the position bar.
#include "LayoutFixture.h"

#include "plots/TSeriesPlot.h"
#include "records/AppMessages.h"
#include "plots/spectrum/TSpectraPlot.h"
#include "utilities/CAnalysisView.h"
#include "wave/TWaveFile.h"

#include "support/QtTestAccess.h"

#include <fstream>

using namespace layouttest;

namespace {
class ToolWindows : public FrameFixture {
protected:
    void Click(CToolBtn* b)
    {
        ASSERT_NE(b, nullptr);
        auto* qb = qobject_cast<QAbstractButton*>(QtWidgetOf(b));
        ASSERT_NE(qb, nullptr);
        qb->click();
        AfxPumpMessages();
    }
    RECT InToolbar(CWnd* w) const
    {
        RECT r{};
        w->GetWindowRect(&r);
        frame->Toolbar->ScreenToClient(&r);
        return r;
    }
};
} // namespace

// Save (203) calls the frame's handler itself, past the greying of File > Save in Real Time
// mode: KeptSamples tests it on a run's buffers.
TEST_F(ToolWindows, EverySecondToolWindowButtonReachesItsCommand)
{
    const std::vector<std::pair<UINT, UINT>> map = {
        {201, ID_FILE_NEW},
        {202, ID_FILE_OPEN},
        {204, ID_FILE_PRINT},
        {601, ID_SELECT_SINGLE_PLOTS},
        {602, ID_SELECT_COMPOSITE_PLOTS},
        {501, ID_UTIL_SIGNAL_GENERATOR},
        {502, ID_UTIL_PEAK_FREQ},
        {503, ID_UTIL_PEAK_AMP},
        {504, ID_UTIL_TOTAL_POWER},
        {505, ID_UTIL_THD},
        {506, ID_UTIL_THD_N},
        {507, ID_UTIL_THD_VS_FREQ},
        {508, ID_UTIL_IMD},
        {509, ID_UTIL_SNR},
        {515, ID_UTIL_LEQ},
        {514, ID_UTIL_DATA_LOGGING},
        {511, ID_UTIL_RT60},
    };
    std::vector<UINT> expected;
    for (const auto& [button, command] : map) {
        frame->swallow.insert(command);
        expected.push_back(command);
    }
    for (const auto& [button, command] : map)
        Click(frame->Toolbar2->Button(button));
    EXPECT_EQ(frame->commands, expected);
}

TEST_F(ToolWindows, SecondToolWindowPlacesItsButtonsInOneRow)
{
    for (const CToolbar2::ButtonSpec& s : CToolbar2::Buttons()) {
        CToolBtn* b = frame->Toolbar2->Button(s.id);
        ASSERT_NE(b, nullptr);
        RECT r{};
        b->GetWindowRect(&r);
        frame->Toolbar2->ScreenToClient(&r);
        EXPECT_TRUE(SameRect(r, s.x, 2, s.x + 28, 30)) << s.id << " " << RectText(r);
    }
    EXPECT_EQ(frame->Toolbar2->Button(510), nullptr);
    RECT snr{}, leq{};
    frame->Toolbar2->Button(509)->GetWindowRect(&snr);
    frame->Toolbar2->Button(515)->GetWindowRect(&leq);
    EXPECT_EQ(leq.left - snr.left, 30);
}

TEST_F(ToolWindows, MainToolButtonsReachRunAndStop)
{
    frame->swallow = {ID_RUN, ID_STOP};
    frame->Toolbar->SetMode(0);
    Click(frame->Toolbar->Button(CToolbar::IDC_RUN));
    Click(frame->Toolbar->Button(CToolbar::IDC_STOP));
    frame->Toolbar->SetMode(1);
    Click(frame->Toolbar->Button(CToolbar::IDC_RECORD));
    EXPECT_EQ(frame->commands, (std::vector<UINT>{ID_RUN, ID_STOP, ID_RUN}));

    frame->AcquisitionRunning = true;
    frame->Toolbar->UpdateRunButtons();
    EXPECT_TRUE(frame->Toolbar->Button(CToolbar::IDC_RUN)->IsPressed());
    EXPECT_TRUE(frame->Toolbar->Button(CToolbar::IDC_RECORD)->IsPressed());
    EXPECT_FALSE(frame->Toolbar->Button(CToolbar::IDC_STOP)->IsPressed());
    frame->AcquisitionRunning = false;
    frame->Toolbar->UpdateRunButtons();
    EXPECT_FALSE(frame->Toolbar->Button(CToolbar::IDC_RUN)->IsPressed());
    EXPECT_TRUE(frame->Toolbar->Button(CToolbar::IDC_STOP)->IsPressed());
}

TEST_F(ToolWindows, ArrangementFollowsTheMode)
{
    CToolbar* t = frame->Toolbar.get();
    struct Expect {
        CWnd* wnd;
        int x, y, w, h;
        bool shown;
    };
    auto check = [&](const std::vector<Expect>& list, int mode) {
        t->SetMode(static_cast<WORD>(mode));
        AfxPumpMessages();
        for (const Expect& e : list) {
            EXPECT_EQ(e.wnd->IsWindowVisible() != 0, e.shown) << "mode " << mode << " id " << e.wnd->GetDlgCtrlID();
            if (!e.shown)
                continue;
            const RECT r = InToolbar(e.wnd);
            EXPECT_EQ(r.left, e.x) << "mode " << mode << " id " << e.wnd->GetDlgCtrlID();
            EXPECT_EQ(r.top, e.y) << "mode " << mode << " id " << e.wnd->GetDlgCtrlID();
            EXPECT_EQ(r.right - r.left, e.w) << "mode " << mode << " id " << e.wnd->GetDlgCtrlID();
        }
    };
    auto* run = t->Button(CToolbar::IDC_RUN);
    auto* rec = t->Button(CToolbar::IDC_RECORD);
    auto* stop = t->Button(CToolbar::IDC_STOP);
    auto* rwd = t->Button(CToolbar::IDC_REWIND);
    auto* fwd = t->Button(CToolbar::IDC_FORWARD);
    auto* tile = t->Button(CToolbar::IDC_TILE);
    check({{run, 2, 1, 40, 32, true}, {rec, 0, 0, 0, 0, false}, {stop, 44, 1, 40, 32, true},
           {rwd, 0, 0, 0, 0, false}, {fwd, 0, 0, 0, 0, false}, {t->PositionBar(), 0, 0, 0, 0, false},
           {t->GainBox(), 180, 8, 26, 20, true}, {t->GainSpinner(), 210, 1, 16, 32, true},
           {tile, 240, 1, 40, 32, true}, {t->ConfigurationList(), 290, 6, 300, 0, true},
           {t->AveragingList(), 0, 0, 0, 0, false}},
          0);
    for (int mode : {1, 2})
        check({{run, 2, 1, 40, 32, mode == 2}, {rec, 2, 1, 40, 32, mode == 1}, {stop, 44, 1, 40, 32, true},
               {rwd, 86, 1, 40, 32, true}, {fwd, 128, 1, 40, 32, true}, {t->PositionBar(), 240, 9, 150, 16, true},
               {t->GainBox(), 540, 8, 26, 20, true}, {t->GainSpinner(), 570, 1, 16, 32, true},
               {tile, 600, 1, 40, 32, true}, {t->ConfigurationList(), 650, 6, 300, 0, true},
               {t->AveragingList(), 0, 0, 0, 0, false}},
              mode);
}

TEST_F(ToolWindows, PaintsTheGainLabelAndFileTimesByMode)
{
    ShowAllToolWindows();
    frame->Toolbar->SetMode(0);
    QImage img = ClientPicture();
    auto inkIn = [](const QImage& im, int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += qGray(im.pixel(x, y)) < 100;
        return n;
    };
    EXPECT_GT(inkIn(img, 100, 176, 8, 26), 20) << "Display Gain left of x 176";
    EXPECT_EQ(inkIn(img, 470, 536, 8, 26), 0);
    frame->Settings.OpMode = 2;
    frame->Toolbar->SetMode(2);
    img = ClientPicture();
    EXPECT_GT(inkIn(img, 460, 536, 8, 26), 20) << "Display Gain left of x 536";
    EXPECT_GT(inkIn(img, 180, 238, 8, 26), 10) << "position";
    EXPECT_GT(inkIn(img, 393, 460, 8, 26), 10) << "length";
}

TEST_F(ToolWindows, ConfigurationListLoadsTheChosenFile)
{
    const std::filesystem::path cfg = dir / "configs";
    std::filesystem::create_directories(cfg);
    std::strncpy(frame->Settings.Paths.cfg, cfg.c_str(), sizeof frame->Settings.Paths.cfg - 1);
    CComboBox* list = frame->Toolbar->ConfigurationList();

    frame->Toolbar->FillConfigurations();
    ASSERT_EQ(list->GetCount(), 1);
    std::string text;
    list->GetLBText(0, text);
    EXPECT_EQ(text, "Load Configuration");

    std::ofstream(cfg / "a.cfg") << "[x]\n";
    std::ofstream(cfg / "Bench.CFG") << "[x]\n";
    std::ofstream(cfg / "notes.txt") << "x\n";
    frame->Toolbar->FillConfigurations();
    ASSERT_EQ(list->GetCount(), 3);
    list->GetLBText(1, text);
    EXPECT_EQ(text, "a");
    list->GetLBText(2, text);
    EXPECT_EQ(text, "Bench");
    EXPECT_EQ(list->GetCurSel(), 0);

    // The first entry does nothing; another posts its file's path to the frame.
    frame->Toolbar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_CONFIGURATION, CBN_SELCHANGE),
                                reinterpret_cast<LPARAM>(list->GetSafeHwnd()));
    list->SetCurSel(2);
    frame->Toolbar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_CONFIGURATION, CBN_SELCHANGE),
                                reinterpret_cast<LPARAM>(list->GetSafeHwnd()));
    AfxPumpMessages(20);
    ASSERT_EQ(frame->loads.size(), 1u);
    EXPECT_EQ(frame->loads[0], (cfg / "Bench.CFG").string()) << "the name as it is on disk";
}

TEST_F(ToolWindows, GainBoxAppliesItsValueAfterTypingAndTheSpinnerSteps)
{
    CEdit* box = frame->Toolbar->GainBox();
    EXPECT_EQ(box->GetWindowTextString(), "0");
    box->SetWindowText("7");
    EXPECT_EQ(frame->Settings.MasterDisplayGain, 0) << "waits for the timer";
    AfxPumpMessages(800);
    EXPECT_EQ(frame->Settings.MasterDisplayGain, 7);
    EXPECT_FLOAT_EQ(frame->Settings.SpectrumOpts[0].PlotTop, -62.0f);

    CScrollBar* spin = frame->Toolbar->GainSpinner();
    frame->Toolbar->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(spin->GetSafeHwnd()));
    EXPECT_EQ(box->GetWindowTextString(), "8");
    frame->Toolbar->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(spin->GetSafeHwnd()));
    frame->Toolbar->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(spin->GetSafeHwnd()));
    EXPECT_EQ(box->GetWindowTextString(), "6");
    box->SetWindowText("20");
    frame->Toolbar->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(spin->GetSafeHwnd()));
    EXPECT_EQ(box->GetWindowTextString(), "20") << "held at the limit";
    AfxPumpMessages(800);
    EXPECT_EQ(frame->Settings.MasterDisplayGain, 20);

    // While a run is active the value goes through within about 10 ms.
    frame->AcquisitionRunning = true;
    box->SetWindowText("-3");
    AfxPumpMessages(200);
    frame->AcquisitionRunning = false;
    EXPECT_EQ(frame->Settings.MasterDisplayGain, -3);
}

// Text that is no number changes nothing and gives way to the gain in force when the box is
// left; a number out of range shows the limit it was held at.
TEST_F(ToolWindows, GainBoxRefusesTextAndShowsAClampedValue)
{
    CEdit* box = frame->Toolbar->GainBox();
    box->SetWindowText("5");
    AfxPumpMessages(800);
    ASSERT_EQ(frame->Settings.MasterDisplayGain, 5);
    box->SetWindowText("abc");
    AfxPumpMessages(800);
    EXPECT_EQ(frame->Settings.MasterDisplayGain, 5);
    frame->Toolbar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_GAIN, EN_KILLFOCUS),
                                reinterpret_cast<LPARAM>(box->GetSafeHwnd()));
    EXPECT_EQ(box->GetWindowTextString(), "5");
    box->SetWindowText("99");
    AfxPumpMessages(800);
    EXPECT_EQ(frame->Settings.MasterDisplayGain, 20);
    EXPECT_EQ(box->GetWindowTextString(), "20");
}

TEST(AveragingTable, CountsSnapToTheNearestEntry)
{
    const std::vector<std::pair<DWORD, int>> cases = {
        {0, 0},    {1, 0},    {10, 9},   {11, 9},    {12, 9},    {13, 10},   {17, 10},   {18, 11},
        {24, 11},  {25, 12},  {34, 12},  {35, 13},   {85, 18},   {94, 18},   {95, 19},   {149, 19},
        {150, 20}, {249, 20}, {250, 21}, {949, 27},  {950, 28},  {1999, 28}, {2000, 0},  {2001, 29},
        {100000, 29}};
    for (const auto& [count, index] : cases)
        EXPECT_EQ(CToolbar::FindAveragingIndex(count), index) << count;
}

TEST_F(ToolWindows, PositionBarMovesEveryChannelsFileAndClamps)
{
    // A ten-second file on channel 0 (4000 Hz).
    TPcmFormat format;
    format.Set(4000, 1, 2);
    auto* file = new TWaveFile(40000, format, dir.string());
    std::vector<std::int16_t> samples(40000, 0);
    ASSERT_TRUE(file->WriteBytes(samples.data(), 80000));
    file->Rewind();
    frame->Settings.Files[0].File.reset(file);
    ASSERT_NEAR(frame->GetChannelFileDuration(0), 10.0f, 0.01f);

    frame->Settings.OpMode = 2;
    frame->Toolbar->SetMode(2);
    CScrollBar* bar = frame->Toolbar->PositionBar();
    auto scroll = [&](UINT code, UINT pos = 0) {
        frame->Toolbar->SendMessage(WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(bar->GetSafeHwnd()));
    };
    scroll(SB_THUMBTRACK, 420);
    // Redrawn from the file's position: 4.2 s in frames, truncated.
    EXPECT_NEAR(bar->GetScrollPos(), 420, 1);
    EXPECT_NEAR(frame->GetChannelFileTime(0), 4.2, 0.01);
    scroll(SB_THUMBPOSITION, 5);
    scroll(SB_LINELEFT);
    EXPECT_EQ(bar->GetScrollPos(), 0) << "5 - 10 is held at 0";
    EXPECT_NEAR(frame->GetChannelFileTime(0), 0.0, 0.01);
    scroll(SB_THUMBTRACK, 995);
    scroll(SB_PAGERIGHT);
    EXPECT_EQ(bar->GetScrollPos(), 1000);
    EXPECT_NEAR(frame->GetChannelFileTime(0), 10.0, 0.01);
    scroll(SB_PAGELEFT);
    EXPECT_NEAR(bar->GetScrollPos(), 900, 1);

    // Real Time mode has no file position.
    frame->Settings.OpMode = 0;
    frame->Toolbar->SetMode(0);
    scroll(SB_LINELEFT);
    EXPECT_NEAR(frame->GetChannelFileTime(0), 9.0, 0.01);
}

TEST_F(ToolWindows, UtilityButtonsStayPressedWhileTheirWindowIsOpen)
{
    CToolBtn* peak = frame->Toolbar2->Button(502);
    frame->ExecuteCommand(ID_UTIL_PEAK_FREQ);
    AfxPumpMessages(10);
    ASSERT_NE(frame->PeakFreqView, nullptr);
    EXPECT_TRUE(peak->IsPressed());
    RECT first{};
    frame->PeakFreqView->GetWindowRect(&first);
    frame->PeakFreqView->MoveWindow(first.left + 37, first.top + 11, 300, 200);
    AfxPumpMessages(10);
    RECT moved{};
    frame->PeakFreqView->GetWindowRect(&moved);

    frame->ExecuteCommand(ID_UTIL_PEAK_FREQ);
    EXPECT_EQ(frame->PeakFreqView, nullptr);
    EXPECT_FALSE(peak->IsPressed());

    // Opened again, it stands where it was closed.
    frame->ExecuteCommand(ID_UTIL_PEAK_FREQ);
    AfxPumpMessages(10);
    ASSERT_NE(frame->PeakFreqView, nullptr);
    RECT again{};
    frame->PeakFreqView->GetWindowRect(&again);
    EXPECT_EQ(again.left, moved.left);
    EXPECT_EQ(again.top, moved.top);

    frame->ExecuteCommand(ID_UTIL_SIGNAL_GENERATOR);
    frame->ExecuteCommand(ID_UTIL_RT60);
    frame->ExecuteCommand(ID_UTIL_SINAD);
    AfxPumpMessages(10);
    EXPECT_NE(frame->SigGen, nullptr);
    EXPECT_NE(frame->ReverbWnd, nullptr);
    EXPECT_NE(frame->SINADView, nullptr);
    EXPECT_TRUE(frame->Toolbar2->Button(501)->IsPressed());
    EXPECT_TRUE(frame->Toolbar2->Button(511)->IsPressed());

    frame->ExecuteCommand(ID_CLOSE_ALL_UTILITIES);
    AfxPumpMessages(10);
    for (int kind = 6; kind <= 19; ++kind)
        EXPECT_EQ(frame->GetUtilityWindow(kind), nullptr) << kind;
    EXPECT_FALSE(frame->Toolbar2->Button(501)->IsPressed());
    EXPECT_FALSE(frame->Toolbar2->Button(511)->IsPressed());
    EXPECT_FALSE(peak->IsPressed());

    // Ids outside the utility buttons are ignored.
    frame->Toolbar2->SetUtilityButton(510, true);
    frame->Toolbar2->SetUtilityButton(201, true);
    EXPECT_FALSE(frame->Toolbar2->Button(201)->IsPressed());
    frame->Settings.Logging.IsLogging = 1;
    frame->Toolbar2->UpdateUtilityButtons();
    EXPECT_TRUE(frame->Toolbar2->Button(514)->IsPressed());
    frame->Settings.Logging.IsLogging = 0;
}

TEST_F(ToolWindows, AveragingListFollowsTheActivePlotsChannel)
{
    CComboBox* list = frame->Toolbar->AveragingList();
    frame->OpenSpectrumPlot(2);
    frame->OpenTimeSeriesPlot(2);
    AfxPumpMessages(10);
    ASSERT_NE(frame->SpectrumPlot[2], nullptr);
    ASSERT_NE(frame->TimeSeriesPlot[2], nullptr);

    // A time series has no averaging.
    frame->MDIActivate(frame->TimeSeriesPlot[2]);
    AfxPumpMessages(10);
    frame->Toolbar->FillAveraging();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_FALSE(list->IsWindowEnabled());

    ChannelProcessingSettings& p = frame->Settings.Processing[2];
    p.AverageMode = 0;
    p.AverageBlocks = 37;
    frame->MDIActivate(frame->SpectrumPlot[2]);
    AfxPumpMessages(10);
    frame->Toolbar->FillAveraging();
    EXPECT_TRUE(list->IsWindowEnabled());
    ASSERT_EQ(list->GetCount(), 30);
    std::string text;
    list->GetLBText(list->GetCurSel(), text);
    EXPECT_EQ(text, "40");
    list->GetLBText(29, text);
    EXPECT_EQ(text, "Infinite");
    EXPECT_FALSE(list->IsWindowVisible()) << "kept hidden";

    list->SetCurSel(29);
    frame->Toolbar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_AVERAGING, CBN_SELCHANGE),
                                reinterpret_cast<LPARAM>(list->GetSafeHwnd()));
    EXPECT_EQ(p.AverageBlocks, 100000u);

    p.AverageMode = 1;
    p.AverageSpeed = 3;
    frame->Toolbar->FillAveraging();
    ASSERT_EQ(list->GetCount(), 5);
    list->GetLBText(list->GetCurSel(), text);
    EXPECT_EQ(text, "Slow");
    list->SetCurSel(1);
    frame->Toolbar->SendMessage(WM_COMMAND, MAKEWPARAM(CToolbar::IDC_AVERAGING, CBN_SELCHANGE),
                                reinterpret_cast<LPARAM>(list->GetSafeHwnd()));
    EXPECT_EQ(p.AverageSpeed, 1);
}

TEST_F(ToolWindows, ClosingAUtilityByItsCloseBoxReleasesItsButton)
{
    frame->ExecuteCommand(ID_UTIL_THD);
    AfxPumpMessages(10);
    ASSERT_NE(frame->THDView, nullptr);
    EXPECT_TRUE(frame->Toolbar2->Button(505)->IsPressed());
    frame->THDView->SendMessage(WM_CLOSE);
    AfxPumpMessages(20);
    EXPECT_EQ(frame->THDView, nullptr);
    EXPECT_FALSE(frame->Toolbar2->Button(505)->IsPressed());
}

// Each generator and utility window goes once when its close box is used: a late second close
// notice from the same window finds nothing to delete, and the command opens a fresh window,
// which the frame still owns when it goes (ASan watches for a double delete or a leak).
TEST_F(ToolWindows, AUtilityWindowClosedTwiceIsDeletedOnceAndOpensAgain)
{
    for (int kind = 6; kind <= 19; ++kind) {
        SCOPED_TRACE(kind);
        frame->ExecuteCommand(CMainFrame::UtilityCommand(kind));
        AfxPumpMessages(10);
        CWnd* wnd = frame->GetUtilityWindow(kind);
        ASSERT_NE(wnd, nullptr);
        const LPARAM sender = frame->UtilityWindowParam(kind);
        wnd->SendMessage(WM_CLOSE);
        AfxPumpMessages(20);
        EXPECT_EQ(frame->GetUtilityWindow(kind), nullptr);
        frame->SendMessage(WM_UTILITY_CLOSING, 0, sender);
        AfxPumpMessages(10);
        EXPECT_EQ(frame->GetUtilityWindow(kind), nullptr);
        frame->ExecuteCommand(CMainFrame::UtilityCommand(kind));
        AfxPumpMessages(10);
        EXPECT_NE(frame->GetUtilityWindow(kind), nullptr);
    }
}
