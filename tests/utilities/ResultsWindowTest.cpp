// The single-number results windows as a user reads them: a calibrated microphone's tone of
// known pressure, and the peak frequency, peak level and total power rows against the
// definition of sound pressure level and IEC 61672's A-weighting.
#include "utilities/CAnalysisView.h"
#include "HostRecords.h"
#include "platform/ui/GdiDC.h"
#include "support/MdiFrameFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace hosttest;

namespace {
class ResultsWindow : public MdiFrameTest<CMDIFrameWnd, 900, 700> {
protected:
    HostRecords records;
    std::unique_ptr<SpectralData> engine; // channel 0's

    void SetUp() override
    {
        MdiFrameTest::SetUp();
        records.processing[0].FFTsize = 8192; // lines 0.49 Hz apart
        records.composites[0].bIsEnabled = 0;
    }

    // A window of `kind` over the engine, reset.
    std::unique_ptr<CAnalysisView> Open(WORD kind)
    {
        UtilityHost host = records.Host();
        host.spectral = [this](int ch) { return ch == 0 ? engine.get() : nullptr; };
        auto view = std::make_unique<CAnalysisView>();
        view->SetHost(host);
        EXPECT_TRUE(view->Create(frame, 20, 20, 0, 0, kind));
        view->Reset();
        return view;
    }

    // The value row of channel 0 in a window of `kind` over the engine.
    double Shown(WORD kind)
    {
        auto view = Open(kind);
        EXPECT_EQ(view->GetGrid()->GetRowCount(), 2); // header, channel 0
        return std::atof(view->GetGrid()->GetCellText(1, 1));
    }
};

// The dark (text) pixels inside each cell, borders left out, of the grid drawn width x height.
std::vector<int> TextPixelsPerCell(CDataGrid& grid, int width, int height)
{
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(&mem, width, height);
    CBitmap* old = mem.SelectObject(&bmp);
    grid.Draw(&mem, RECT{0, 0, width, height}, true);
    const int rh = height / grid.GetRowCount();
    const int cw = width / grid.GetColumnCount();
    std::vector<int> counts;
    for (int r = 0; r < grid.GetRowCount(); ++r)
        for (int c = 0; c < grid.GetColumnCount(); ++c) {
            int n = 0;
            for (int y = r * rh + 1; y < (r + 1) * rh - 1; ++y)
                for (int x = c * cw + 1; x < (c + 1) * cw - 1; ++x) {
                    const COLORREF p = mem.GetPixel(x, y);
                    n += GetRValue(p) + GetGValue(p) + GetBValue(p) < 3 * 160 ? 1 : 0;
                }
            counts.push_back(n);
        }
    mem.SelectObject(old);
    return counts;
}
} // namespace

TEST_F(ResultsWindow, PeakAndTotalPowerOfACalibratedToneReadItsSoundPressureLevel)
{
    engine = records.Spectrum(1.0, 1000.0);
    ASSERT_NE(engine, nullptr);
    EXPECT_NEAR(Shown(7), 1000.0, 0.5);     // Peak Frequency, Hz
    EXPECT_NEAR(Shown(8), Spl(1.0), 0.05);  // Peak Level: the line of a tone on a bin
    EXPECT_NEAR(Shown(9), Spl(1.0), 0.05);  // Total Power, flat

    // 100 Hz through the A-weighting of total power: IEC 61672-1 gives -19.1 dB.
    records.scaling[0].TotalPowerWeighting = 1;
    engine = records.Spectrum(2.0, 100.0);
    ASSERT_NE(engine, nullptr);
    EXPECT_NEAR(Shown(9), Spl(2.0) - 19.1, 0.1);
}

// A user who makes the rows taller and the window as narrow as it goes still reads every text
// whole: a long amplitude label, a long channel name. The reference is the same grid drawn far
// wider than any text.
TEST_F(ResultsWindow, TallRowsInTheNarrowestWindowShowEveryTextWhole)
{
    std::strcpy(records.calibration[0].LabelLog, "Relative Amplitude (dB)");
    engine = records.Spectrum(1.0, 1000.0);
    ASSERT_NE(engine, nullptr);
    engine->SetUnitsLabel("Left ear simulator");
    for (WORD kind : {WORD(0), WORD(8)}) // THD: channel name; Peak Level: its units too
        for (int rowHeight : {16, 24, 36, 48}) {
            auto view = Open(kind);
            CDataGrid* grid = view->GetGrid();
            const int rows = grid->GetRowCount();
            view->SendMessage(WM_SIZE, 0, MAKELPARAM(50, rows * rowHeight));
            RECT client{};
            grid->GetClientRect(&client);
            ASSERT_EQ(view->GetRowHeight(), rowHeight);
            ASSERT_EQ(client.bottom, rows * rowHeight);
            const std::vector<int> shown = TextPixelsPerCell(*grid, client.right, client.bottom);
            const std::vector<int> whole = TextPixelsPerCell(*grid, 800 * grid->GetColumnCount(), client.bottom);
            for (std::size_t cell = 0; cell < shown.size(); ++cell)
                EXPECT_EQ(shown[cell], whole[cell])
                    << "kind " << kind << ", rows " << rowHeight << " px, cell " << cell << ": \""
                    << grid->GetCellText(static_cast<WORD>(cell / grid->GetColumnCount()),
                                         static_cast<WORD>(cell % grid->GetColumnCount()))
                    << "\"";
        }
}

// Rows that go (files closed, channels switched off) leave the others at the height the user
// gave them, the window as wide as it was; rows that come are fitted into the window as ever.
TEST_F(ResultsWindow, RowsKeepTheirHeightWhenChannelsGo)
{
    engine = records.Spectrum(1.0, 1000.0);
    ASSERT_NE(engine, nullptr);
    for (int ch = 0; ch < 4; ++ch)
        records.device.Channels[ch].bIsEnabled = 1;
    auto view = Open(0); // THD: header and channels 0..3
    ASSERT_EQ(view->GetGrid()->GetRowCount(), 5);
    view->SendMessage(WM_SIZE, 0, MAKELPARAM(400, 5 * 30));
    ASSERT_EQ(view->GetRowHeight(), 30);
    auto clientSize = [&] {
        RECT r{};
        view->GetClientRect(&r);
        return std::pair<int, int>(r.right, r.bottom);
    };
    const int width = clientSize().first;

    struct Step {
        int channels; // enabled from channel 0 on
        int rowHeight, clientHeight;
    };
    for (const Step step : {Step{1, 30, 2 * 30}, Step{3, 16, 4 * 16}, Step{2, 16, 3 * 16}}) {
        for (int ch = 0; ch < 4; ++ch)
            records.device.Channels[ch].bIsEnabled = ch < step.channels ? 1 : 0;
        view->Reset();
        EXPECT_EQ(view->GetGrid()->GetRowCount(), step.channels + 1);
        EXPECT_EQ(view->GetRowHeight(), step.rowHeight) << step.channels << " channels";
        EXPECT_EQ(clientSize(), std::make_pair(width, step.clientHeight)) << step.channels << " channels";
    }
}
