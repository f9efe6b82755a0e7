// Processing Settings from the frame: the advanced-user question, the sheet on working
// copies, and what OK puts in force.
#include "FilesFrameFixture.h"

#include "app/CToolbar2.h"
#include "plots/CToolBtn.h"
#include "dialogs/COptionsMain.h"
#include "dsp/SpectralData.h"
#include "res/ProcessingDialogIds.h"
#include "res/resource.h"
#include "wave/WaveCalibrationBlock.h"

#include "support/QtTestAccess.h"

using namespace filesframe;

namespace {
void PickText(CWnd& d, int id, const char* text)
{
    auto* c = dynamic_cast<QComboBox*>(QtWidgetOf(d.GetDlgItem(id)));
    ASSERT_NE(c, nullptr);
    c->setCurrentIndex(c->findText(text));
}

class ProcessingSettings : public FilesFrame {};
} // namespace

TEST_F(ProcessingSettings, NoLeavesEverythingAndOkPutsTheSheetsChoicesInForce)
{
    ASSERT_NE(Start(), nullptr);
    const DWORD before = frame->Settings.Processing[0].FFTsize;
    user.ExpectBox(IDNO, "Changing the Processing Settings is for advanced users only.  Are you sure you want to continue?");
    frame->SendMessage(WM_COMMAND, ID_PROCESSING_SETTINGS);
    EXPECT_EQ(frame->Settings.Processing[0].FFTsize, before);

    // Cancel: the sheet's edits are thrown away.
    user.ExpectBox(IDYES, "advanced users");
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        PickText(s.m_FftPage, kFftSizeIds[0], "8192");
        dlgtest::Click(s, IDCANCEL);
    });
    frame->SendMessage(WM_COMMAND, ID_PROCESSING_SETTINGS);
    EXPECT_EQ(frame->Settings.Processing[0].FFTsize, before);

    // OK: the records change and the channel's engine is rebuilt for the new size.
    user.ExpectBox(IDYES, "advanced users");
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        PickText(s.m_FftPage, kFftSizeIds[0], "8192");
        PickText(s.m_FftPage, kFftWindowIds[0], "Flattop");
        dlgtest::Click(s, IDOK);
    });
    frame->SendMessage(WM_COMMAND, ID_PROCESSING_SETTINGS);
    EXPECT_EQ(frame->Settings.Processing[0].FFTsize, 8192u);
    EXPECT_EQ(frame->Settings.Processing[0].SmoothingWindow, 3);
    if (frame->Spectral[0] != nullptr)
        EXPECT_EQ(frame->Spectral[0]->GetFftSize(), 8192);
}

TEST_F(ProcessingSettings, SettingsButtonsOpenTheirPage)
{
    ASSERT_NE(Start(), nullptr);
    std::vector<int> shown;
    for (UINT button : {403u, 402u, 401u, 404u, 406u, 407u}) {
        user.ExpectBox(IDYES, "advanced users");
        CDialog::ScriptModal([&](CWnd& w) {
            auto& s = static_cast<COptionsMain&>(w);
            shown.push_back(s.GetActiveIndex());
            dlgtest::Click(s, IDCANCEL);
        });
        auto* qb = qobject_cast<QAbstractButton*>(QtWidgetOf(frame->Toolbar2->Button(button)));
        ASSERT_NE(qb, nullptr);
        qb->click();
        AfxPumpMessages();
    }
    // Calibration, Scaling, FFT, Triggering, Device Input, Run Control
    EXPECT_EQ(shown, (std::vector<int>{4, 2, 1, 3, 0, 5}));
}

TEST_F(ProcessingSettings, ChangingTheUnitsOfACompositeSourceWarnsAboutItsLabels)
{
    ASSERT_NE(Start(), nullptr);
    CompositeChannelSettings& a = frame->Settings.Composite[0];
    a.bIsEnabled = 1;
    a.CompositeType = 5;
    std::fill(std::begin(a.IncludeInAverage), std::end(a.IncludeInAverage), BYTE(0));
    a.IncludeInAverage[1] = 1;
    frame->Settings.Device.Channels[1].bIsEnabled = 1;
    user.ExpectBox(IDYES, "advanced users");
    user.ExpectBox(IDOK, "You have changed the calibration of one or more source channels for a composite channel.");
    CDialog::ScriptModal([](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        s.SetActivePage(COptionsMain::kCalibrationPage);
        PickText(s.m_CalibrationPage, kCalComboFirstId + 1, "Millivolts");
        // Channel 2 feeds no composite: no warning of its own.
        PickText(s.m_CalibrationPage, kCalComboFirstId + 2, "RPM");
        dlgtest::Click(s, IDOK);
    });
    frame->SendMessage(WM_COMMAND, ID_PROCESSING_SETTINGS);
    EXPECT_EQ(+frame->Settings.Calibration[1].RefUnits, kUnitMillivolts);
    EXPECT_EQ(+frame->Settings.Calibration[2].RefUnits, kUnitRpm);
}

TEST_F(ProcessingSettings, AChangedCalibrationGoesIntoTheChannelsWaveFile)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WriteWave(Data("wave/take.wav"), 8000, std::vector<int>(800, 100)));
    ASSERT_TRUE(OpenChannel(0, Data("wave/take.wav")));
    auto fileUnits = [this] {
        WaveCalibrationBlock block;
        frame->Settings.Files[0].File->GetCalibrationBlock(block);
        return DWORD(block.Channel[0].RefUnits);
    };
    auto choose = [this](const char* entry) {
        user.ExpectBox(IDYES, "advanced users");
        CDialog::ScriptModal([entry](CWnd& w) {
            auto& s = static_cast<COptionsMain&>(w);
            s.SetActivePage(COptionsMain::kCalibrationPage);
            PickText(s.m_CalibrationPage, kCalComboFirstId + 0, entry);
            dlgtest::Click(s, IDOK);
        });
        frame->SendMessage(WM_COMMAND, ID_PROCESSING_SETTINGS);
    };
    frame->Settings.Calibration[0].IsEnabled = 1;
    frame->Settings.FileIO.IncludeCalibrationData = 1;
    choose("Millivolts");
    EXPECT_EQ(+frame->Settings.Calibration[0].RefUnits, kUnitMillivolts);
    EXPECT_EQ(fileUnits(), DWORD(kUnitMillivolts));
    choose("RPM");
    EXPECT_EQ(fileUnits(), DWORD(kUnitRpm));
}
