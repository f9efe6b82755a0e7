// The plot selection dialogs: they edit only what they are given, on OK only, and refuse
// inconsistent composite channels.
#include "dialogs/CSelectCompositeViewDlg.h"
#include "dialogs/CSelectSingleViewDlg.h"
#include "platform/core/Resources.h"
#include "res/PlotSelectionDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstring>

namespace {
class PlotSelection : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    static QWidget* Item(CWnd& d, int id)
    {
        CWnd* c = d.GetDlgItem(id);
        return c ? QtWidgetOf(c) : nullptr;
    }
    static void Click(CWnd& d, int id)
    {
        if (auto* b = qobject_cast<QAbstractButton*>(Item(d, id)))
            b->click();
    }
    static bool Checked(CWnd& d, int id)
    {
        auto* b = qobject_cast<QAbstractButton*>(Item(d, id));
        return b && b->isChecked();
    }
};
} // namespace

TEST_F(PlotSelection, SingleChannelBoxesStartFromTheArraysAndOkWritesThemBack)
{
    BYTE series[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    BYTE spectrum[8] = {0, 1, 0, 0, 0, 0, 0, 0};
    BYTE phase[8] = {};
    BYTE spectrogram[8] = {};
    BYTE surface[8] = {};
    const BYTE enabled[8] = {1, 1, 1, 0, 1, 0, 0, 0};
    bool seen = false;
    CDialog::ScriptModal([&](CWnd& d) {
        seen = true;
        EXPECT_EQ(d.GetWindowTextString(), "Single Channel Plot Selection");
        EXPECT_TRUE(Checked(d, kSingleViewSeriesIds[0]));
        EXPECT_TRUE(Checked(d, kSingleViewSpectrumIds[1]));
        EXPECT_FALSE(Checked(d, kSingleViewPhaseIds[0]));
        // A disabled channel's row cannot be chosen outside Post Process; row 8 is hidden.
        EXPECT_FALSE(Item(d, kSingleViewSeriesIds[3])->isEnabled());
        EXPECT_TRUE(Item(d, kSingleViewSeriesIds[2])->isEnabled());
        EXPECT_TRUE(Item(d, kSingleViewSurfaceIds[7])->isHidden());
        Click(d, kSingleViewSeriesIds[0]);   // off
        Click(d, kSingleViewSurfaceIds[4]);  // on
        Click(d, kSingleViewPhaseIds[2]);    // on
        Click(d, IDOK);
    });
    CSelectSingleViewDlg dialog(nullptr, 0, series, spectrum, phase, spectrogram, surface, enabled);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(seen);
    EXPECT_EQ(series[0], 0);
    EXPECT_EQ(spectrum[1], 1);
    EXPECT_EQ(surface[4], 1);
    EXPECT_EQ(phase[2], 1);
    EXPECT_EQ(spectrogram[0], 0);
}

TEST_F(PlotSelection, SingleChannelCancelChangesNothingAndPostProcessEnablesEveryRow)
{
    BYTE a[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    BYTE b[8] = {}, c[8] = {}, d8[8] = {}, e[8] = {};
    const BYTE enabled[8] = {};
    CDialog::ScriptModal([&](CWnd& d) {
        for (int row = 0; row < 7; ++row)
            EXPECT_TRUE(Item(d, kSingleViewSpectrumIds[row])->isEnabled()) << row;
        Click(d, kSingleViewSeriesIds[0]);
        Click(d, kSingleViewSpectrumIds[5]);
        Click(d, IDCANCEL);
    });
    CSelectSingleViewDlg dialog(nullptr, 2, a, b, c, d8, e, enabled);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(b[5], 0);
}

TEST(CompositeOperationText, SumsTransferFunctionsAndCrossSpectra)
{
    CompositeChannelSettings r;
    std::string s, l;
    r.CompositeType = 0;
    for (int i = 0; i <= 6; ++i)
        r.IncludeInAverage[i] = 1;
    FormatCompositeOperation(r, &s, &l);
    EXPECT_EQ(s, "Sum (Complex): 0,1,2,3,4,5...");
    EXPECT_EQ(l, "Sum (Complex) of Channels: 0,1,2,3,4,5,6");

    std::memset(r.IncludeInAverage, 0, sizeof r.IncludeInAverage);
    r.IncludeInAverage[3] = 1;
    r.CompositeType = 5;
    FormatCompositeOperation(r, &s, &l);
    EXPECT_EQ(s, "Channel: 3");
    EXPECT_EQ(l, "Channel: 3");

    r.IncludeInAverage[5] = 1;
    FormatCompositeOperation(r, &s, nullptr);
    EXPECT_EQ(s, "Sum (Real): 3,5");

    r.CompositeType = 1;
    r.TransferChannel = 1;
    r.ReferenceChannel = 0;
    FormatCompositeOperation(r, &s, &l);
    EXPECT_EQ(s, "Real T/F: 1 vs 0");
    EXPECT_EQ(l, "Real Transfer Function: 1 vs 0");
    r.CompositeType = 3;
    FormatCompositeOperation(r, &s, &l);
    EXPECT_EQ(s, "Complex T/F + Coh: 1 vs 0");
    EXPECT_EQ(l, "Complex Transfer Function: 1 vs 0");
    r.CompositeType = 4;
    FormatCompositeOperation(r, nullptr, &l);
    EXPECT_EQ(l, "Cross Spectrum: 1 vs 0");
    r.CompositeType = 9;
    FormatCompositeOperation(r, &s, &l);
    EXPECT_EQ(s, "TBD");
    EXPECT_EQ(l, "TBD");
}

namespace {
struct CompositeCase {
    CompositeChannelSettings records[16];
    ChannelProcessingSettings processing[8];
    BYTE spectrum[16] = {}, phase[16] = {}, spectrogram[16] = {}, surface[16] = {};
    BYTE enabled[8] = {1, 1, 1, 1, 1, 0, 0, 0};
    CompositeCase()
    {
        for (int c = 0; c < 16; ++c)
            records[c].SetDefaults(c);
        for (auto& p : processing) {
            p.FFTsize = 4096;
            p.DecimationRatio = 1;
        }
    }
};
} // namespace

TEST_F(PlotSelection, EnablingCompositeKStoresItsRecordAndPlots)
{
    CompositeCase k;
    CDialog::ScriptModal([&](CWnd& d) {
        EXPECT_EQ(d.GetWindowTextString(), "Composite Channel and Plot Settings");
        EXPECT_TRUE(Checked(d, kCompositeEnableIds[0]));
        EXPECT_FALSE(Item(d, kCompositePlotFirstId + 4 * 10)->isEnabled());
        Click(d, kCompositeEnableIds[10]);
        EXPECT_TRUE(Item(d, kCompositePlotFirstId + 4 * 10)->isEnabled());
        Click(d, kCompositePlotFirstId + 4 * 10 + 2); // spectrogram of K
        auto* name = qobject_cast<QLineEdit*>(Item(d, kCompositeNameFirstId + 10));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text().toStdString(), "Ch K");
        name->setText("Kettle");
        Click(d, IDOK);
    });
    CSelectCompositeViewDlg dialog(nullptr, 0, k.records, k.processing, k.spectrum, k.phase, k.spectrogram, k.surface,
                                   k.enabled);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(k.records[10].bIsEnabled, 1);
    EXPECT_STREQ(k.records[10].ChannelName, "Kettle");
    EXPECT_EQ(k.spectrogram[10], 1);
    EXPECT_EQ(k.spectrum[10], 0);
}

TEST_F(PlotSelection, ASumOverChannelsOfDifferentFftSizesRefusesOk)
{
    CompositeCase k;
    k.records[2].bIsEnabled = 1;
    k.records[2].CompositeType = 0;
    k.records[2].IncludeInAverage[0] = 1;
    k.records[2].IncludeInAverage[1] = 1;
    k.processing[1].FFTsize = 8192;
    int steps = 0;
    ScriptedUser user;
    user.ExpectBox(IDOK, "Composite Channel C:  All of the Channels included in the Average must use the same FFT size.");
    CDialog::ScriptModal([&](CWnd& d) {
        ++steps;
        Click(d, IDOK); // refused: the dialog stays
        EXPECT_TRUE(QtWidgetOf(&d)->isVisible());
        Click(d, IDCANCEL);
    });
    CSelectCompositeViewDlg dialog(nullptr, 0, k.records, k.processing, k.spectrum, k.phase, k.spectrogram, k.surface,
                                   k.enabled);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(steps, 1);
}

TEST_F(PlotSelection, TransferFunctionChannelsMustShareTheDecimationRatio)
{
    CompositeCase k;
    k.records[0].CompositeType = 2;
    k.records[0].TransferChannel = 3;
    k.records[0].ReferenceChannel = 1;
    k.processing[3].DecimationRatio = 4;
    ScriptedUser user;
    user.ExpectBox(IDOK, "Composite Channel A: The Transfer Channel and Reference Channels must use the same Decimation Ratio.");
    CSelectCompositeViewDlg dialog(nullptr, 0, k.records, k.processing, k.spectrum, k.phase, k.spectrogram, k.surface,
                                   k.enabled);
    EXPECT_FALSE(dialog.CheckCompositeConsistency());
    k.processing[3].DecimationRatio = 1;
    EXPECT_TRUE(dialog.CheckCompositeConsistency());
}
