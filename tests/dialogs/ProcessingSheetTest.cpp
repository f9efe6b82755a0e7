// The processing-settings sheet: its FFT, Scaling and Calibration pages on working copies,
// the copy dialog, and page changes and OK refused by a page.
#include "dialogs/COptionsMain.h"
#include "dialogs/CCopyProcessingSettingsDlg.h"
#include "platform/core/Resources.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "acquisition/TUsbDevice.h"
#include "res/ProcessingDialogIds.h"
#include "res/SheetPageDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

using namespace dlgtest;

namespace {
std::string Shown(CWnd& d, int id)
{
    auto* c = As<QComboBox>(d, id);
    return c ? c->currentText().toStdString() : std::string("<none>");
}

void PickText(CWnd& d, int id, const char* text)
{
    auto* c = As<QComboBox>(d, id);
    ASSERT_NE(c, nullptr) << id;
    const int at = c->findText(text);
    ASSERT_GE(at, 0) << text;
    c->setCurrentIndex(at);
}

void SetText(CWnd& d, int id, const char* text)
{
    if (auto* e = As<QLineEdit>(d, id))
        e->setText(text);
}

void ClickTab(CWnd& sheet, int index) { QtWidgetOf(&sheet)->findChild<QTabWidget*>()->setCurrentIndex(index); }

class ProcessingSheet : public TemplateDialogTest {
protected:
    void SetUp() override
    {
        TemplateDialogTest::SetUp();
        folder = std::filesystem::temp_directory_path() / ("durnex-sheet-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "mic");
        std::filesystem::create_directories(folder / "cal");
        for (int ch = 0; ch < 8; ++ch)
            calibration[ch].SetDefaults(ch);
        COptionsMain::CopySource() = 0;
        std::fill_n(COptionsMain::CopyDestinations(), 8, BYTE(0));
    }
    void TearDown() override
    {
        TemplateDialogTest::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::unique_ptr<COptionsMain> Sheet(WORD mode = 0, int page = 1)
    {
        auto sheet = std::make_unique<COptionsMain>("Processing Settings", nullptr, mode, processing, scaling, &device,
                                                    calibration, &trigger, &runControl, &inputIndex, &outputIndex,
                                                    &soundCardIndex, &useSoundCard, &output, page);
        sheet->m_ScalingPage.m_CompensationFolder = (folder / "mic").string();
        sheet->m_CalibrationPage.m_Context.CalibrationFolder = (folder / "cal").string();
        return sheet;
    }

    std::filesystem::path folder;
    ChannelProcessingSettings processing[8];
    ChannelScalingSettings scaling[8];
    UsbDeviceSettings device;
    ChannelCalibration calibration[8];
    TriggerSettings trigger;
    RunControlSettings runControl;
    INT inputIndex = 0;
    INT outputIndex = 0;
    DWORD soundCardIndex = 0;
    BYTE useSoundCard = 1;
    OutputDeviceSettings output;
};
} // namespace

TEST_F(ProcessingSheet, AveragingCountsSnapToTheListAndLargeOnesAreInfinite)
{
    EXPECT_EQ(CSettingsDlg::SnapCount(0), 1u);
    EXPECT_EQ(CSettingsDlg::SnapCount(7), 7u);
    EXPECT_EQ(CSettingsDlg::SnapCount(12), 10u);
    EXPECT_EQ(CSettingsDlg::SnapCount(13), 15u);
    EXPECT_EQ(CSettingsDlg::SnapCount(149), 100u);
    EXPECT_EQ(CSettingsDlg::SnapCount(1999), 1000u);
    // 2000 is past the last finite step: an unbounded average, not a single block.
    EXPECT_EQ(CSettingsDlg::SnapCount(2000), 100000u);
    EXPECT_EQ(CSettingsDlg::SnapCount(2001), 100000u);
}

TEST_F(ProcessingSheet, FftPageShowsStoresClampsAndCopiesRows)
{
    processing[0].AverageBlocks = 12;
    processing[1].AverageBlocks = 2000;
    processing[2].AverageMode = 1;
    processing[2].AverageSpeed = 3;
    processing[3].FFTsize = 1000; // not a listed size: shows the first
    processing[7].OverlapPercent = 42;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        CSettingsDlg& p = s.m_FftPage;
        EXPECT_EQ(s.GetWindowTextString(), "Processing Settings");
        EXPECT_EQ(s.GetActiveIndex(), COptionsMain::kFftPage);
        EXPECT_EQ(s.GetPageCount(), 7);
        EXPECT_EQ(Shown(p, kFftCountIds[0]), "10");
        EXPECT_EQ(Shown(p, kFftCountIds[1]), "Infinite");
        EXPECT_EQ(Shown(p, kFftCountIds[2]), "Slow");
        EXPECT_EQ(Shown(p, kFftSizeIds[3]), "32");
        EXPECT_EQ(Shown(p, kFftWindowIds[0]), "Hanning");
        EXPECT_TRUE(W(p, kFftSizeIds[7])->isHidden());
        EXPECT_TRUE(W(p, kFftDecimationIds[0])->isHidden());
        // Sound Level Meter replaces the counts by the speeds at once.
        processing[4].AverageSpeed = 2;
        PickText(p, kFftModeIds[4], "Sound Level Meter");
        EXPECT_EQ(processing[4].AverageMode, 1);
        EXPECT_EQ(As<QComboBox>(p, kFftCountIds[4])->count(), 5);
        EXPECT_EQ(Shown(p, kFftCountIds[4]), "Medium");
        SetText(p, kFftOverlapIds[0], "150");
        SetText(p, kFftOverlapIds[1], "-5e12"); // clamped too: no message names another range
        // Copy row 2 (Sound Level Meter) into row 0: row 0's list follows the copied mode.
        CDialog::ScriptModal([](CWnd& copy) {
            EXPECT_EQ(copy.GetWindowTextString(), "Copy Processing Settings");
            Click(copy, kCopySourceFirstId + 2);
            Click(copy, kCopyDestinationFirstId + 0);
            Click(copy, IDOK);
        });
        Click(s, IDC_SHEET_COPY);
        EXPECT_EQ(As<QComboBox>(p, kFftCountIds[0])->count(), 5);
        EXPECT_EQ(Shown(p, kFftCountIds[0]), "Slow");
        EXPECT_EQ(Shown(p, kFftModeIds[0]), "Sound Level Meter");
        // Text that is no number is refused and the sheet stays open, rather than an overlap of 0.
        SetText(p, kFftOverlapIds[2], "abc");
        Click(s, IDOK);
        EXPECT_EQ(processing[2].OverlapPercent, 90);
        SetText(p, kFftOverlapIds[2], " 12 ");
        Click(s, IDOK);
    });
    ScriptedUser user;
    user.ExpectBox(IDOK, "The overlap of Throat: \"abc\" is not a number.");
    auto sheet = Sheet();
    ASSERT_EQ(sheet->DoModal(), IDOK);
    EXPECT_EQ(processing[0].AverageMode, 1);
    EXPECT_EQ(processing[0].AverageSpeed, 3);
    EXPECT_EQ(processing[0].OverlapPercent, 90); // copied from row 2 over the typed 150
    EXPECT_EQ(processing[1].OverlapPercent, 0);
    EXPECT_EQ(processing[1].AverageBlocks, 100000u);
    EXPECT_EQ(processing[2].OverlapPercent, 12);
    EXPECT_EQ(processing[3].FFTsize, 32u);
    EXPECT_EQ(processing[4].AverageSpeed, 2);
    EXPECT_EQ(processing[7].OverlapPercent, 42); // the hidden row is stored too
}

// Where the heading `text` stands on `page` against the columns of controls from firstId to
// lastId (first row): over them, and directly above them or their column headers.
static void ExpectHeadingOverColumns(CWnd& page, const char* text, int firstId, int lastId)
{
    QWidget* root = QtWidgetOf(&page);
    // Measure the laid-out page, not geometry a pending relayout is about to replace.
    if (root->layout())
        root->layout()->activate();
    QLabel* heading = nullptr;
    for (QLabel* l : root->findChildren<QLabel*>())
        if (l->text().contains(text))
            heading = l;
    ASSERT_NE(heading, nullptr) << text;
    const QRect h(heading->mapTo(root, QPoint(0, 0)), heading->size());
    const QRect first(W(page, firstId)->mapTo(root, QPoint(0, 0)), W(page, firstId)->size());
    const QRect last(W(page, lastId)->mapTo(root, QPoint(0, 0)), W(page, lastId)->size());
    EXPECT_TRUE(heading->isVisible()) << text;
    EXPECT_GE(h.left(), first.left() - 1) << text;
    EXPECT_LE(h.right(), last.right() + 1) << text;
    // Only the column headers (two lines at most) lie between the heading's line and the first
    // row (a label may be taller than its line: its text stands in the middle).
    const int line = QFontMetrics(heading->font()).height();
    EXPECT_LE(h.center().y() + line / 2, first.top()) << text;
    EXPECT_LT(first.top() - h.center().y(), 4 * line) << text;
}

TEST_F(ProcessingSheet, PageHeadingsStandOverTheirColumns)
{
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        // Taller than the pages need, as a maximised sheet or a taller page makes it.
        QWidget* top = QtWidgetOf(&s);
        top->resize(top->width() + 200, top->height() + 300);
        QApplication::processEvents();
        ExpectHeadingOverColumns(s.m_FftPage, "Smoothing", kFftWindowIds[0], kFftWindowIds[0]);
        ExpectHeadingOverColumns(s.m_FftPage, "Spectral Averaging", kFftModeIds[0], kFftCountIds[0]);
        ClickTab(s, COptionsMain::kScalingPage);
        ExpectHeadingOverColumns(s.m_ScalingPage, "Weighting", kSpectrumWeightingIds[0], kWidebandWeightingIds[0]);
        ClickTab(s, COptionsMain::kCalibrationPage);
        ExpectHeadingOverColumns(s.m_CalibrationPage, "File Operations", kCalEditFirstId, kCalNewFirstId);
        Click(s, IDCANCEL);
    });
    auto sheet = Sheet();
    EXPECT_EQ(sheet->DoModal(), IDCANCEL);
}

TEST_F(ProcessingSheet, ScalingPageRefusesDensityWithOctavesAndListsCompensationFiles)
{
    std::ofstream(folder / "mic" / "Mic1.mic") << "0 0\n";
    std::ofstream(folder / "mic" / "notes.txt") << "x";
    scaling[2].FreqScaleType = 2;
    scaling[2].OctaveNumber = 5; // not a listed band: shows Linear and keeps 5
    scaling[1].MicCompEnable = 1;
    std::snprintf(scaling[1].MicCompFilename, sizeof scaling[1].MicCompFilename, "%s",
                  (folder / "mic" / "Gone.mic").string().c_str());
    ScriptedUser user;
    user.ExpectBox(IDOK, "PSD cannot be used with Octave frequency scaling!");
    user.ExpectBox(IDOK, "PSD cannot be used with Octave frequency scaling!");
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        ClickTab(s, COptionsMain::kScalingPage);
        ASSERT_EQ(s.GetActiveIndex(), COptionsMain::kScalingPage);
        CScalingDlg& p = s.m_ScalingPage;
        EXPECT_EQ(Shown(p, kFreqScaleIds[2]), "Linear");
        EXPECT_EQ(Shown(p, kCompensationIds[1]), "None"); // its file is gone
        EXPECT_EQ(As<QComboBox>(p, kCompensationIds[0])->count(), 2);
        PickText(p, kCompensationIds[0], "Mic1");
        PickText(p, kAmpScaleIds[1], "Log Magnitude");
        PickText(p, kDensityIds[3], "Units/Sqrt(Hz)");
        PickText(p, kFreqScaleIds[3], "1/3 Octave");
        ClickTab(s, COptionsMain::kFftPage); // leaving is refused
        EXPECT_EQ(s.GetActiveIndex(), COptionsMain::kScalingPage);
        Click(s, IDOK); // and so is OK
        EXPECT_TRUE(s.IsModalRunning());
        EXPECT_EQ(scaling[1].AmpScaleType, 2); // rows before the refused one are stored
        PickText(p, kDensityIds[3], "Off");
        Click(s, IDOK);
    });
    auto sheet = Sheet();
    ASSERT_EQ(sheet->DoModal(), IDOK);
    EXPECT_EQ(scaling[0].MicCompEnable, 1);
    EXPECT_EQ(std::string(scaling[0].MicCompFilename), (folder / "mic" / "Mic1.mic").string());
    EXPECT_EQ(scaling[1].MicCompEnable, 0);
    EXPECT_NE(std::string(scaling[1].MicCompFilename).find("Gone.mic"), std::string::npos);
    EXPECT_EQ(scaling[2].FreqScaleType, 0);
    EXPECT_EQ(scaling[2].OctaveNumber, 5);
    EXPECT_EQ(scaling[3].FreqScaleType, 2);
    EXPECT_EQ(scaling[3].OctaveNumber, 3);
    EXPECT_EQ(scaling[3].SpectralDensityFlag, 0);
}

TEST_F(ProcessingSheet, CopyDialogChecksItsChoiceAndCancelCopiesNothing)
{
    int source = 6; // a hidden channel given by the caller
    BYTE flags[8] = {};
    ScriptedUser user;
    user.ExpectBox(IDOK, "You must select at least one Destination channel");
    user.ExpectBox(IDOK, "The Source and Destination channels must be different");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_TRUE(W(d, kCopySourceFirstId + 6)->isHidden());
        Click(d, IDOK);
        Click(d, kCopyDestinationFirstId + 6); // hidden, so the user can only reach it by Select All
        Click(d, IDC_COPY_SELECT_ALL);
        Click(d, IDC_COPY_CLEAR_ALL);
        Click(d, kCopySourceFirstId + 1);
        Click(d, kCopyDestinationFirstId + 1);
        Click(d, IDOK);
        Click(d, IDC_COPY_SELECT_ALL);
        Click(d, IDOK); // several destinations, the source among them: accepted
    });
    CCopyProcessingSettingsDlg dialog(nullptr, "This will only copy the FFT page settings", &source, flags);
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(source, 1);
    for (int ch = 0; ch < 8; ++ch)
        EXPECT_EQ(flags[ch], 1) << ch;

    // Cancel in the sheet's copy dialog leaves the page as it was.
    processing[1].FFTsize = 4096;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        CDialog::ScriptModal([](CWnd& copy) {
            Click(copy, kCopySourceFirstId + 1);
            Click(copy, kCopyDestinationFirstId + 0);
            Click(copy, IDCANCEL);
        });
        Click(s, IDC_SHEET_COPY);
        EXPECT_EQ(Shown(s.m_FftPage, kFftSizeIds[0]), "1024");
        Click(s, IDOK);
    });
    auto sheet = Sheet();
    ASSERT_EQ(sheet->DoModal(), IDOK);
    EXPECT_EQ(processing[0].FFTsize, 1024u);
}

TEST_F(ProcessingSheet, CalibrationPageAppliesPresetsAndTheWaveFilesCalibration)
{
    calibration[0].DTGain = 2.0f;
    // Channel 1 carries a calibration of its file that matches no entry of the list.
    calibration[1].CalCreateMode = 2;
    calibration[1].RefUnits = kUnitSplAir;
    calibration[1].RefLevel = 94.0f;
    std::snprintf(calibration[1].Filename, sizeof calibration[1].Filename, "Embedded");
    const ChannelCalibration entry1 = calibration[1];
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        EXPECT_EQ(s.GetActiveIndex(), COptionsMain::kCalibrationPage); // the page asked for
        CCalibrationDlg& p = s.m_CalibrationPage;
        EXPECT_EQ(Shown(p, kCalComboFirstId + 0), "Volts");
        EXPECT_EQ(Shown(p, kCalComboFirstId + 1), "Embedded in wave file");
        EXPECT_EQ(Shown(p, kCalComboFirstId + 2), "Volts"); // no file open on channel 2
        PickText(p, kCalComboFirstId + 0, "Millivolts");
        EXPECT_FLOAT_EQ(calibration[0].CalRatio, 5000.0f);
        EXPECT_STREQ(calibration[0].LabelLog, "dBmV rms");
        PickText(p, kCalComboFirstId + 1, "Volts");
        EXPECT_EQ(+calibration[1].RefUnits, kUnitVolts);
        PickText(p, kCalComboFirstId + 1, "Embedded in wave file");
        EXPECT_EQ(std::memcmp(&calibration[1], &entry1, sizeof entry1), 0);
        // Unticking a row disables its controls; OK still applies its entry.
        Click(p, kCalEnableFirstId + 3);
        EXPECT_FALSE(W(p, kCalComboFirstId + 3)->isEnabled());
        EXPECT_FALSE(W(p, kCalNewFirstId + 3)->isEnabled());
        // Copying "Embedded in wave file" goes only where that entry exists.
        CDialog::ScriptModal([](CWnd& copy) {
            Click(copy, kCopySourceFirstId + 1);
            Click(copy, kCopyDestinationFirstId + 2);
            Click(copy, IDOK);
        });
        Click(s, IDC_SHEET_COPY);
        EXPECT_EQ(Shown(p, kCalComboFirstId + 2), "Volts");
        SetText(p, kCalNameFirstId + 0, "Left ear");
        Click(s, IDOK);
    });
    auto sheet = Sheet(2, 4);
    sheet->m_CalibrationPage.m_HasWaveFile[1] = 1;
    ASSERT_EQ(sheet->DoModal(), IDOK);
    EXPECT_EQ(+calibration[0].RefUnits, kUnitMillivolts);
    EXPECT_STREQ(calibration[0].ChannelName, "Left ear");
    EXPECT_FLOAT_EQ(calibration[1].RefLevel, 94.0f);
    EXPECT_EQ(+calibration[3].IsEnabled, 0u);
    EXPECT_EQ(+calibration[3].RefUnits, kUnitVolts);
    EXPECT_EQ(COptionsMain::LastPageCode(), 4);
}

TEST_F(ProcessingSheet, ACalibrationFileNamedOnWindowsWithACapitalExtensionIsReadAndSavedInPlace)
{
    // Written on Windows, where "Probe.CAL" and "Probe.cal" are one file.
    std::ofstream(folder / "cal" / "Probe.CAL", std::ios::binary)
        << "[Calibration]\r\nRefLevel=94.000000\r\nRefUnits=2\r\nRefType=1\r\nLabelLinear=Pascals (PA)\r\n"
           "LabelLog=SPL (dB re 20uPA)\r\nCalRatioLeft=200.000000\r\nDTGain=1.000000\r\nDTCalVersion=1000\r\n"
           "CalCreateMode=1\r\nTransducerSensitivityVolts=5.000000e-02\r\nMeasuredInputVoltage=0.050000\r\n";
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        CCalibrationDlg& p = s.m_CalibrationPage;
        PickText(p, kCalComboFirstId + 0, "Probe");
        EXPECT_EQ(+calibration[0].RefUnits, kUnitSplAir);
        EXPECT_FLOAT_EQ(calibration[0].TransducerSensitivityVolts, 0.05f);
        CDialog::ScriptModal([](CWnd& d) {
            SetText(d, IDC_CAL_SENSITIVITY, "40");
            Click(d, IDC_CAL_SAVE);
        });
        Click(p, kCalEditFirstId + 0);
        EXPECT_EQ(Shown(p, kCalComboFirstId + 0), "Probe");
        Click(s, IDOK);
    });
    auto sheet = Sheet(0, 4);
    ASSERT_EQ(sheet->DoModal(), IDOK);
    EXPECT_FLOAT_EQ(calibration[0].TransducerSensitivityVolts, 0.04f);
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder / "cal"))
        files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"Probe.CAL"});
}

namespace {
template <class T>
bool Same(const T& a, const T& b)
{
    return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b), sizeof(T)) == 0;
}
} // namespace

// Every refusal of the device input, triggering, run control and output pages keeps the sheet
// on the page and leaves the working records as they were; the corrected values are stored.
TEST_F(ProcessingSheet, NewPagesRefuseBadValuesWithoutStoringAndStoreGoodOnes)
{
    TUsbDevice input, outputDevice;
    useSoundCard = 0;
    const UsbDeviceSettings device0 = device;
    const TriggerSettings trigger0 = trigger;
    const RunControlSettings run0 = runControl;
    const OutputDeviceSettings output0 = output;
    ScriptedUser user;
    for (const char* refusal :
         {"Sampling Rate must be greater than zero!",
          "The Sampling Rate is greater than the maximum supported sampling rate of 4000 Hz",
          "The Sampling Rate is less than the minimum supported sampling rate of 4000 Hz", "No channels are enabled!",
          "The Trigger Threshold must be greater than 0 and less than 10 Volts.",
          "The Trigger Threshold must be greater than 0 and less than 10 Volts.",
          "The Trigger Delay must be at least 0 and less than 1000 milliseconds.",
          "Only Post Trigger Delay is supported when using External TTL Triggering.",
          "The FFT run limit must be greater than zero.", "The run time limit must be greater than zero.",
          "The start delay time limit must be greater than zero.",
          "The Output Sampling Rate must be greater than zero!", "The Output Sampling Rate cannot exceed 192000 Hz",
          "Output Level must be between 0.0 and -96 dB"})
        user.ExpectBox(IDOK, refusal);
    // The record of the page that refuses is as it was (OK stores the pages before it).
    auto unchanged = [&](int page) {
        switch (page) {
        case COptionsMain::kInputPage: return Same(device, device0);
        case COptionsMain::kTriggerPage: return Same(trigger, trigger0);
        case COptionsMain::kRunControlPage: return Same(runControl, run0);
        default: return Same(output, output0) && useSoundCard == 0;
        }
    };
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        auto refused = [&](int page) {
            Click(s, IDOK);
            EXPECT_TRUE(s.IsModalRunning());
            EXPECT_EQ(s.GetActiveIndex(), page);
            EXPECT_TRUE(unchanged(page)) << page;
        };
        ASSERT_EQ(s.GetActiveIndex(), COptionsMain::kInputPage);
        CDeviceInputDlg& in = s.m_InputPage;
        EXPECT_EQ(W(in, IDC_INPUT_SAMPLING)->property("text").toString().toStdString(), "Simultaneous");
        EXPECT_EQ(As<QComboBox>(in, IDC_INPUT_BITS)->count(), 1); // the device samples 24 bits only
        // One fixed input range and eight channels: every shown row can be edited.
        ASSERT_EQ(in.GetInputRanges().size(), 1u);
        EXPECT_EQ(in.GetInputRanges()[0], std::make_pair(1.0, 1.0));
        EXPECT_TRUE(in.GetInputCapability1());
        EXPECT_FALSE(in.GetInputCapability2());
        EXPECT_EQ(in.GetDeviceChannels(), 8);
        EXPECT_TRUE(W(in, kInputFilterFirstId + 6)->isEnabled());
        // The stored 20 kHz filter is not one the device offers: it stays listed and chosen.
        EXPECT_EQ(Shown(in, kInputFilterFirstId + 0), "20000.0 Hz");
        SetText(in, IDC_INPUT_RATE, "0");
        ClickTab(s, COptionsMain::kFftPage);
        EXPECT_EQ(s.GetActiveIndex(), COptionsMain::kInputPage);
        SetText(in, IDC_INPUT_RATE, "5000");
        refused(COptionsMain::kInputPage);
        SetText(in, IDC_INPUT_RATE, "3000");
        refused(COptionsMain::kInputPage);
        SetText(in, IDC_INPUT_RATE, "4000");
        for (int ch = 0; ch < 5; ++ch)
            Click(in, kInputEnableFirstId + ch);
        refused(COptionsMain::kInputPage);
        Click(in, kInputEnableFirstId + 0);
        PickText(in, kInputFilterFirstId + 0, " 200.0 Hz");

        // The other pages' rows follow the channel boxes.
        ClickTab(s, COptionsMain::kFftPage);
        ASSERT_EQ(s.GetActiveIndex(), COptionsMain::kFftPage);
        EXPECT_TRUE(W(s.m_FftPage, kFftSizeIds[0])->isEnabled());
        EXPECT_FALSE(W(s.m_FftPage, kFftSizeIds[2])->isEnabled());
        s.SetActivePage(COptionsMain::kCalibrationPage);
        EXPECT_FALSE(W(s.m_CalibrationPage, kCalEnableFirstId + 2)->isEnabled());
        EXPECT_FALSE(W(s.m_CalibrationPage, kCalComboFirstId + 2)->isEnabled());
        EXPECT_TRUE(W(s.m_CalibrationPage, kCalComboFirstId + 0)->isEnabled());
        const UsbDeviceSettings stored = device; // the input page was left: its values are in
        EXPECT_EQ(stored.Channels[2].bIsEnabled, 0);

        s.SetActivePage(COptionsMain::kTriggerPage);
        CTriggeringDlg& tp = s.m_TriggerPage;
        Click(tp, IDC_TRIG_ENABLE);
        SetText(tp, IDC_TRIG_THRESHOLD, "10");
        refused(COptionsMain::kTriggerPage);
        SetText(tp, IDC_TRIG_THRESHOLD, "0");
        refused(COptionsMain::kTriggerPage);
        SetText(tp, IDC_TRIG_THRESHOLD, "0.25");
        SetText(tp, IDC_TRIG_DELAY, "1000");
        refused(COptionsMain::kTriggerPage);
        SetText(tp, IDC_TRIG_DELAY, "12.5");
        PickText(tp, IDC_TRIG_SOURCE, "External Trigger (TTL)");
        Click(tp, IDC_TRIG_PRE);
        refused(COptionsMain::kTriggerPage);
        PickText(tp, IDC_TRIG_SOURCE, "Analog Input Channel");
        PickText(tp, IDC_TRIG_CHANNEL, "Throat");
        Click(tp, IDC_TRIG_NEGATIVE);

        s.SetActivePage(COptionsMain::kRunControlPage);
        CRunControlDlg& rp = s.m_RunControlPage;
        EXPECT_FALSE(W(rp, IDC_RUN_INTERVAL_MSEC)->isEnabled()); // files only
        Click(rp, IDC_RUN_FFTS);
        SetText(rp, IDC_RUN_FFT_LIMIT, "0");
        refused(COptionsMain::kRunControlPage);
        SetText(rp, IDC_RUN_FFT_LIMIT, "25");
        Click(rp, IDC_RUN_SECONDS);
        SetText(rp, IDC_RUN_TIME_LIMIT, "-1");
        refused(COptionsMain::kRunControlPage);
        SetText(rp, IDC_RUN_TIME_LIMIT, "7.5");
        Click(rp, IDC_RUN_START_DELAY);
        SetText(rp, IDC_RUN_START_DELAY_SECS, "x");
        refused(COptionsMain::kRunControlPage);
        SetText(rp, IDC_RUN_START_DELAY_SECS, "1.5");

        s.SetActivePage(COptionsMain::kOutputPage);
        CDeviceOutputDlg& op = s.m_OutputPage;
        EXPECT_EQ(W(op, IDC_OUT_DEVICE_NOTE)->property("text").toString().toStdString(),
                  "This model does not support D/A output operations.");
        Click(op, IDC_OUT_SOUND);
        // The sound card's units replace the device's; the stored dB level fits them.
        EXPECT_EQ(Shown(op, IDC_OUT_UNITS), "dB Full Scale");
        EXPECT_FALSE(W(op, IDC_OUT_LEVEL2)->isEnabled());
        SetText(op, IDC_OUT_RATE, "0");
        refused(COptionsMain::kOutputPage);
        SetText(op, IDC_OUT_RATE, "200000");
        refused(COptionsMain::kOutputPage);
        SetText(op, IDC_OUT_RATE, "44100");
        PickText(op, IDC_OUT_BITS, "16");
        SetText(op, IDC_OUT_LEVEL1, "3.0");
        refused(COptionsMain::kOutputPage);
        SetText(op, IDC_OUT_LEVEL1, "-96");
        Click(s, IDOK);
    });
    auto sheet = Sheet(0, COptionsMain::kInputPage);
    sheet->m_InputPage.m_InputDevice = &input;
    sheet->m_OutputPage.m_Device = &outputDevice;
    ASSERT_EQ(sheet->DoModal(), IDOK);
    EXPECT_EQ(device.Channels[0].bIsEnabled, 1);
    EXPECT_EQ(device.Channels[1].bIsEnabled, 0);
    EXPECT_DOUBLE_EQ(device.Channels[0].FilterFreq, 200.0);
    EXPECT_DOUBLE_EQ(device.Channels[1].FilterFreq, 20000.0);
    EXPECT_EQ(device.SamplingRate, 4000u);
    EXPECT_EQ(trigger.TriggerEnabled, 1);
    EXPECT_EQ(trigger.TriggerChannel, 2u);
    EXPECT_EQ(trigger.TriggerSource, 0u);
    EXPECT_EQ(trigger.Polarity, 1);
    EXPECT_EQ(trigger.DelayType, 0);
    EXPECT_FLOAT_EQ(trigger.ThresholdVolts, 0.25f);
    EXPECT_FLOAT_EQ(trigger.DelayMsec, 12.5f);
    EXPECT_EQ(runControl.RunMode, 2);
    EXPECT_EQ(runControl.FftLimit, 25u);
    EXPECT_FLOAT_EQ(runControl.TimeLimitSecs, 7.5f);
    EXPECT_EQ(runControl.StartDelayFlag, 1);
    EXPECT_FLOAT_EQ(runControl.StartDelaySecs, 1.5f);
    EXPECT_EQ(useSoundCard, 1);
    EXPECT_EQ(output.SigGenSamplingRate, 44100u);
    EXPECT_EQ(output.SigGenBitsPerSample, 16u);
    EXPECT_EQ(output.SigGenNumChannels, 1u);
    EXPECT_FLOAT_EQ(output.OutputLevel1, -96.0f);
    EXPECT_EQ(output.OutputLevelUnit, 0u);
    EXPECT_EQ(COptionsMain::LastPageCode(), COptionsMain::kOutputPage);
}

// A device's output levels in rms units reach up to the rms of a full-scale sine, full scale
// over sqrt(2): that is accepted, a little more refused (the KDR-5200 itself has no output
// channels, so the page never asks it).
TEST(OutputLevelRange, RmsUnitsStopAtAFullScaleSine)
{
    constexpr DWORD kVoltsRms = 2, kMillivoltsRms = 3, kDbvRms = 4;
    for (double fs : {1.0, 10.0}) {
        const double rms = fs * std::sqrt(0.5);
        EXPECT_EQ(CDeviceOutputDlg::LevelRefusal(kVoltsRms, fs, rms * 0.9999), "") << fs;
        EXPECT_EQ(CDeviceOutputDlg::LevelRefusal(kVoltsRms, fs, rms * 1.0001),
                  fs == 1.0 ? "Output Level must be between 0.0 and   0.71 Volts rms"
                            : "Output Level must be between 0.0 and   7.07 Volts rms");
        EXPECT_NE(CDeviceOutputDlg::LevelRefusal(kVoltsRms, fs, 0.0), "") << fs;
        EXPECT_EQ(CDeviceOutputDlg::LevelRefusal(kMillivoltsRms, fs, 1000.0 * rms * 0.9999), "") << fs;
        EXPECT_NE(CDeviceOutputDlg::LevelRefusal(kMillivoltsRms, fs, 1000.0 * rms * 1.0001), "") << fs;
        const double top = 20.0 * std::log10(rms);
        EXPECT_EQ(CDeviceOutputDlg::LevelRefusal(kDbvRms, fs, top - 0.001), "") << fs;
        EXPECT_NE(CDeviceOutputDlg::LevelRefusal(kDbvRms, fs, top + 0.001), "") << fs;
    }
}

// In Post Process mode the device input page shows the device but edits nothing, and every
// channel row of the other pages stays open; the page last used is where -1 opens.
TEST_F(ProcessingSheet, PostProcessModeLeavesTheDeviceAloneAndDefaultsFillThePages)
{
    TUsbDevice input;
    device.Channels[2].bIsEnabled = 0;
    device.SamplingRate = 8000;
    const UsbDeviceSettings device0 = device;
    trigger.ThresholdVolts = 3.0f;
    runControl.FftLimit = 7;
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        s.SetActivePage(COptionsMain::kRunControlPage);
        Click(s, IDOK);
    });
    ASSERT_EQ(Sheet(2, COptionsMain::kFftPage)->DoModal(), IDOK);
    CDialog::ScriptModal([&](CWnd& w) {
        auto& s = static_cast<COptionsMain&>(w);
        EXPECT_EQ(s.GetActiveIndex(), COptionsMain::kRunControlPage); // the last OK's page
        CDeviceInputDlg& in = s.m_InputPage;
        EXPECT_FALSE(W(in, kInputEnableFirstId + 0)->isEnabled());
        EXPECT_FALSE(W(in, IDC_INPUT_RATE)->isEnabled());
        EXPECT_TRUE(W(s.m_FftPage, kFftSizeIds[2])->isEnabled());
        s.SetActivePage(COptionsMain::kInputPage);
        Click(s, IDC_SHEET_DEFAULTS);
        s.SetActivePage(COptionsMain::kTriggerPage);
        EXPECT_EQ(Shown(s.m_TriggerPage, IDC_TRIG_SOURCE), "Wave File");
        EXPECT_FALSE(W(s, IDC_SHEET_COPY)->isEnabled());
        Click(s, IDC_SHEET_DEFAULTS);
        s.SetActivePage(COptionsMain::kRunControlPage);
        EXPECT_TRUE(W(s.m_RunControlPage, IDC_RUN_INTERVAL_MSEC)->isEnabled());
        Click(s, IDC_SHEET_DEFAULTS);
        Click(s, IDOK);
    });
    auto sheet = Sheet(2, -1);
    sheet->m_InputPage.m_InputDevice = &input;
    ASSERT_EQ(sheet->DoModal(), IDOK);
    EXPECT_TRUE(Same(device, device0));
    EXPECT_FLOAT_EQ(trigger.ThresholdVolts, 1.0f);
    EXPECT_FLOAT_EQ(trigger.DelayMsec, 5.0f);
    EXPECT_EQ(runControl.FftLimit, 100u);
    EXPECT_EQ(runControl.RunMode, 0);
}
